// PLACEHOLDER: the module counters, scan and quit flags and the scan and quit
// starters that remote control reads, until the module table and main cycle
// bring the real ones; delete this file and MFWQZ_MainCycle_Placeholder.cpp
// with them.
#pragma once
#include "ScmTypes.h"

/// UDID mismatches.
extern u32 MFWQZ_ulNumberOfUdidMisMatches;
/// Modules with a firmware difference.
extern u32 MFWQZ_ulNumberOfDiffFirmware;
/// Erroneous modules.
extern u32 MFWQZ_ulNumberOfErroneousModules;
/// Configured modules that are to be processed.
extern u32 MFWQZ_gulModuleCount;
/// Modules scanned in the current scan.
extern u32 MFWQZ_gulModuleScanned;
/// Modules found in the current scan.
extern u32 MFWQZ_gulModuleFound;
/// A scan is running.
extern u32 MFWQZ_gbScanning;
/// Start-up phase.
extern u32 MFWQZ_gbStartUp;
/// The key medium counts as changed.
extern u32 MFWQZ_bCorvaneChanged;
/// The target id could be read.
extern u32 MFWQZ_bTargetMacAvailable;
/// "fwrevcnf.bin" was loaded.
extern u32 MFWQZ_ValidFiles;
/// Reload "fwrevcnf.bin" in the next cycle.
extern u32 MFWQZ_gbTriggerReloadRev;
/// Scan after that reload.
extern u32 MFWQZ_gbScanAfterReloadRev;

/// Starts a scan (afterQuit 1: the SADR-UDID list is stored at its end); 1.
u8 MFWQZ_StartScan(u32 afterQuit);
/// Starts the quit of every UDID mismatch; 1.
u8 MFWQZ_StartToQuitUdidMismatches(void);
