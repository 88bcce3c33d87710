// PLACEHOLDER: see MFWQZ_MainCycle_Placeholder.h. Starting a scan or a quit
// only sets the request flags the real functions set.
#include "MFWQZ_MainCycle_Placeholder.h"

#include "MFWQZ.h"
#include "MFWQZ_Remote.h"

u32 MFWQZ_ulNumberOfUdidMisMatches;
u32 MFWQZ_ulNumberOfDiffFirmware;
u32 MFWQZ_ulNumberOfErroneousModules;
u32 MFWQZ_gulModuleCount;
u32 MFWQZ_gulModuleScanned;
u32 MFWQZ_gulModuleFound;
u32 MFWQZ_gbScanning;
u32 MFWQZ_gbStartUp = 1;
u32 MFWQZ_bCorvaneChanged;
u32 MFWQZ_bTargetMacAvailable;
u32 MFWQZ_ValidFiles = 1;
u32 MFWQZ_gbTriggerReloadRev;
u32 MFWQZ_gbScanAfterReloadRev;

u8 MFWQZ_StartScan(u32 /*afterQuit*/) {
  MFWQZ_gbScanning = 1;
  MFWQZ_gbStartScan = 1;
  MFWQZ_SetRemoteEnterState(MFWQZ_kCodeRescan, MFWQZ_k_RS_RUNNING);
  return 1;
}

u8 MFWQZ_StartToQuitUdidMismatches(void) {
  MFWQZ_gbStartQuit = 1;
  return 1;
}
