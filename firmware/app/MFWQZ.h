// What the firmware platform calls in the application and the application
// state it reads or writes (the single-writer handshake flags between the
// background task and the cyclic task, the module table, the bit sets).
//
// Sections: module table and module flags; node-state callbacks, scans and
// quits; application init and main cycle; functions whose bodies are still
// the remote control, confirmations, setup mode, Qor variables and
// application files the platform and the cycle call.
#pragma once
#include "MFWQZ_AppFiles.h"
#include "ScmProfile.h"
#include "ScmTypes.h"

// ============================================================================
// Module table and module flags
// ============================================================================

/// Entries of the module table, indexed by SADR (entry 0 unused).
inline constexpr u32 MFWQZ_kModuleCount = 1024;
/// Highest SADR of the table.
inline constexpr u16 MFWQZ_kSadrMax = 1023;
/// SADR of the Qor controller.
inline constexpr u16 MFWQZ_kQorSadr = 1;
/// Bytes of a per-SADR bit set (1024 bits).
inline constexpr u32 MFWQZ_kSadrSetBytes = 128;
/// Bytes of the password.
inline constexpr u32 MFWQZ_kPasswordBytes = 16;
/// Bytes the password is kept in: the older release keeps its terminating 0 too and writes
/// "fwrevcnf.bin"'s 17-byte field from all of them (the byte is never anything but 0).
inline constexpr u32 MFWQZ_kPasswordKeptBytes = SCM_ProfileValue<u32>(16, 17);
/// SADRs in the optional-module list sent to the Qor controller.
inline constexpr u32 MFWQZ_kOptionalListCount = 10;
/// Bytes of a UDID.
inline constexpr u32 MFWQZ_kUdidBytes = 6;
/// Bytes of a target id (CPU product code, CPU serial number).
inline constexpr u32 MFWQZ_kTargetIdBytes = 8;
/// Node state of an entry that has not been reported since the last scan reset.
inline constexpr u32 MFWQZ_kNodeStateUnknown = 255;

/// Module flag: configured (SADR in the node list).
inline constexpr u32 MFWQZ_kFlagConfigured = 0x00000001u;
/// Module flag: not yet reported in the current scan.
inline constexpr u32 MFWQZ_kFlagNotScanned = 0x00000002u;
/// Module flag: the node has answered at least once.
inline constexpr u32 MFWQZ_kFlagAnswered = 0x00000004u;
/// Module flag: invalid, registration pending (reported during start-up).
inline constexpr u32 MFWQZ_kFlagInvalidPending = 0x00000010u;
/// Module flag: parameter error, registration pending.
inline constexpr u32 MFWQZ_kFlagParamErrPending = 0x00000020u;
/// Module flag: missing, registration pending.
inline constexpr u32 MFWQZ_kFlagMissingPending = 0x00000080u;
/// Module flag: invalid registered (event raised).
inline constexpr u32 MFWQZ_kFlagInvalidRegistered = 0x00000100u;
/// Module flag: parameter error registered.
inline constexpr u32 MFWQZ_kFlagParamErrRegistered = 0x00000200u;
/// Module flag: UDID mismatch seen in the current node state (state 3).
inline constexpr u32 MFWQZ_kFlagUdidMismatch = 0x00000400u;
/// Module flag: missing registered.
inline constexpr u32 MFWQZ_kFlagMissingRegistered = 0x00000800u;
/// Module flag: missing-timer running (a module with a firmware difference went silent).
inline constexpr u32 MFWQZ_kFlagMissingTimer = 0x00001000u;
/// Module flag: major revision difference reported (reported once).
inline constexpr u32 MFWQZ_kFlagMajorRevReported = 0x00002000u;
/// Module flag: firmware differs from the accepted revision.
inline constexpr u32 MFWQZ_kFlagFirmwareDiff = 0x00008000u;
/// Module flag: configured revision stored.
inline constexpr u32 MFWQZ_kFlagCnfRevStored = 0x00010000u;
/// Module flag: UDID mismatch acknowledged by the operator (the SCM accepted it).
inline constexpr u32 MFWQZ_kFlagUdidAcknowledged = 0x00200000u;
/// Module flag: encoder (UDID) change waiting for the operator's acknowledge.
inline constexpr u32 MFWQZ_kFlagEncoderChanged = 0x00800000u;
/// Module flag: auto-configured (its UDID comes from "autocnf.bin").
inline constexpr u32 MFWQZ_kFlagAutoConfigured = 0x04000000u;
/// Module flag: the UDID of an auto-configured module was taken over and counts as erroneous.
inline constexpr u32 MFWQZ_kFlagAutoUdidTaken = 0x10000000u;
/// Module flag: state 7 (extended CT failed) reported once.
inline constexpr u32 MFWQZ_kFlagExtCtReported = 0x40000000u;
/// Module flag: a UDID mismatch of an auto-configured module counted as mismatch.
inline constexpr u32 MFWQZ_kFlagAutoUdidMismatch = 0x80000000u;
/// Flags a scan reset keeps (it clears 0x400, 0x800, 0x1000, 0x2000, 0x8000, 0x800000; the older
/// release also 0x2, which the reset sets again).
inline constexpr u32 MFWQZ_kScanResetKeep = SCM_ProfileValue(0xFF7F43FFu, 0xFF7F43FDu);

/// Fatal: the UDID-mismatch counter was decremented at 0 (information1 = SADR).
inline constexpr u32 MFWQZ_kEvtMisMatchUnderflow = 0x9200C002u;
/// Fatal: the erroneous-module counter was decremented at 0 (information1 = SADR).
inline constexpr u32 MFWQZ_kEvtErroneousUnderflow = 0x9200C003u;
/// Fatal: unknown node status (information0 = status, information1 = SADR).
inline constexpr u32 MFWQZ_kEvtUnknownStatus = 0x9200C004u;
/// Fatal: a node callback ran outside the cyclic task.
inline constexpr u32 MFWQZ_kEvtNotFromCyc = 0x9200C005u;
/// Fatal: an encoder change in a state that allows none (information0 = SADR, information1 = state).
inline constexpr u32 MFWQZ_kEvtEncoderState = 0x9200C006u;
/// Fatal: an encoder change met a firmware difference or UDID mismatch.
inline constexpr u32 MFWQZ_kEvtEncoderConflict = 0x9200C007u;
/// Fatal: an object of the application could not be read (index, sub-index).
inline constexpr u32 MFWQZ_kEvtSodRead = 0x9200C009u;
/// Fatal: an object of the application has other attributes (index, sub-index).
inline constexpr u32 MFWQZ_kEvtSodAttr = 0x9200C00Au;
/// Fatal: a node-list entry holds a bad or repeated SADR (index, sub-index).
inline constexpr u32 MFWQZ_kEvtNodeList = 0x9200C00Bu;
/// Fatal: a SADR out of range (0), not configured (1) or a refused UDID report (2).
inline constexpr u32 MFWQZ_kEvtSaddr = 0x9200C00Cu;
/// Fatal: a quit acknowledge failed (0) or timed out (1); information1 = SADR.
inline constexpr u32 MFWQZ_kEvtQuitAck = 0x9200C00Du;
/// Fatal: a handshake or end-of-start-up registration was broken (information1 says which).
inline constexpr u32 MFWQZ_kEvtHandshake = 0x9200C00Eu;
/// Fatal: a null pointer reached an application function (information1 says which).
inline constexpr u32 MFWQZ_kEvtNullPointer = 0x9200C00Fu;
/// Fatal: a configured revision was stored twice (information0 = SADR, information1 = revision).
inline constexpr u32 MFWQZ_kEvtCnfRevTwice = 0x9200C010u;
/// Fatal: an acknowledge was asked for a module with nothing to acknowledge.
inline constexpr u32 MFWQZ_kEvtNothingToAck = 0x9200C011u;
/// Fatal: 0x101B/1 is not 0 (information0 = value).
inline constexpr u32 MFWQZ_kEvtConfigMode = 0x9200C013u;
/// Fatal: an auto-configured SADR is not in the node list (information0 = SADR).
inline constexpr u32 MFWQZ_kEvtAutoCnfSaddr = 0x9200C014u;
/// Fatal: an auto-configuration UDID for a module that is not auto-configured (information1 = SADR).
inline constexpr u32 MFWQZ_kEvtAutoCnfNotMarked = 0x9200C015u;
/// Fatal: writing an auto-configuration UDID was refused (index, sub-index).
inline constexpr u32 MFWQZ_kEvtAutoCnfWrite = 0x9200C016u;
/// Fatal: the SCM asked about a SADR out of range (information1 = SADR).
inline constexpr u32 MFWQZ_kEvtProcessSnRange = 0x9200C01Du;
/// Information: a node reported state 7, extended CT failed (information0 = 7, information1 = SADR).
inline constexpr u32 MFWQZ_kEvtExtCtFailed = 0x6200C030u;
/// Operator information: a module is missing (information1 = SADR).
inline constexpr u32 MFWQZ_kEvtMissing = 0x6200C089u;
/// Operator information: a module has another major revision or a lower minor one (SADR, received).
inline constexpr u32 MFWQZ_kEvtRevision = 0x6200C08Au;
/// Operator information: a module is invalid (information1 = SADR).
inline constexpr u32 MFWQZ_kEvtInvalid = 0x6200C08Du;
/// Operator information: a module refused its parameters (information1 = SADR).
inline constexpr u32 MFWQZ_kEvtParamErr = 0x6200C08Eu;

/// What MFWQZ_kEvtHandshake's information1 names.
enum : u32 {
  MFWQZ_kHsScan = 0,             ///< a scan request met a pending scan reset
  MFWQZ_kHsQuit = 1,             ///< a quit request met a running quit
  MFWQZ_kHsStartUpCopy = 7,      ///< the cyclic task's start-up copy was 0 during start-up
  MFWQZ_kHsMissingTwice = 8,     ///< a pending missing fault was already registered
  MFWQZ_kHsInvalidTwice = 9,     ///< a pending invalid fault was already registered
  MFWQZ_kHsParamErrTwice = 10    ///< a pending parameter error was already registered
};

/// One module record of the table (the older release's 16 bytes lack the
/// revision read from the file and the invalid toggle).
struct MFWQZ_ModuleInfoEntry {
  u32 ulFlags;             ///< module flag bits (MFWQZ_kFlag...)
  u32 ulNodeState;         ///< last node status reported by the SCM, 255 = unknown
  u16 usAckHandle;         ///< FSM index of the last UDID mismatch or encoder change
  u16 usConfiguredRev;     ///< revision accepted for this module (low 16 bits)
#if !SCM_PROFILE_LEGACY
  u16 usStoredRev;         ///< revision read from "fwrevcnf.bin"
#endif
  u32 ulSecondsAtError;    ///< MFWQZ_ulSeconds when the missing-timer started (s)
#if !SCM_PROFILE_LEGACY
  u8 ucInvalidToggle;      ///< alternates on each invalid report
#endif
};

// The current release's parts of a module record (MFWQZ_ModuleExtras.cpp;
// the older release's build leaves the source out, so a use there fails to link).
/// Keeps the revision "fwrevcnf.bin" holds for the module.
void MFWQZ_SetStoredRev(u16 sadr, u16 rev);
/// The revision "fwrevcnf.bin" held for the module.
u16 MFWQZ_StoredRev(u16 sadr);
/// An invalid report: 1 when it registers (every second report), else 0 (the toggle turned).
u8 MFWQZ_InvalidReportRegisters(u16 sadr);

/// The module table.
extern MFWQZ_ModuleInfoEntry MFWQZ_ModuleInfo[MFWQZ_kModuleCount];
/// Optional, start-up, no-process and missing-at-start-up arrays, one after the other.
extern u8 MFWQZ_gaaucModuleFlagArrays[4][MFWQZ_kSadrSetBytes];
/// Optional modules (a missing optional module is no error).
extern u8 (&MFWQZ_gaucOptFlags)[MFWQZ_kSadrSetBytes];
/// Modules required at start-up.
extern u8 (&MFWQZ_gaucStpFlags)[MFWQZ_kSadrSetBytes];
/// Modules the SCM shall not process.
extern u8 (&MFWQZ_gaucNprFlags)[MFWQZ_kSadrSetBytes];
/// Modules registered missing at start-up.
extern u8 (&MFWQZ_aucMissStpFlags)[MFWQZ_kSadrSetBytes];
/// Auto-configuration flags: SADRs whose UDID "autocnf.bin" supplies (object 0x2106/8).
extern u8 MFWQZ_gaucBcmFlags[MFWQZ_kSadrSetBytes];
/// Optional modules as the parameter set wrote them (object 0x2106/1).
extern u8 MFWQZ_gaucOptFlags_SOD[MFWQZ_kSadrSetBytes];
/// Modules required at start-up as the parameter set wrote them (object 0x2106/2).
extern u8 MFWQZ_gaucStpFlags_SOD[MFWQZ_kSadrSetBytes];
/// Modules not to process as the parameter set wrote them (object 0x2106/3).
extern u8 MFWQZ_gaucNprFlags_SOD[MFWQZ_kSadrSetBytes];
/// 1 once the working flag arrays are valid.
extern u32 MFWQZ_gbModuleFlagsStatus;
/// Password, all zero = none.
extern u8 MFWQZ_gaucPassword[MFWQZ_kPasswordKeptBytes];

/// Modules waiting for a UDID acknowledge.
extern u32 MFWQZ_ulNumberOfUdidMisMatches;
/// Modules whose firmware differs from the accepted revision.
extern u32 MFWQZ_ulNumberOfDiffFirmware;
/// Modules in error (neither optional nor missing at start-up).
extern u32 MFWQZ_ulNumberOfErroneousModules;
/// Configured modules that are to be processed.
extern u32 MFWQZ_gulModuleCount;
/// Modules reported in the current scan.
extern u32 MFWQZ_gulModuleScanned;
/// Modules found (answering) in the current scan.
extern u32 MFWQZ_gulModuleFound;
/// The SCM's own SADR (object 0x1200/2).
extern u16 MFWQZ_usSaddr;

/// 1 when the SADR's bit is set in a per-SADR array (0 outside 1 to 1023).
u8 MFWQZ_TestSadrBit(const u8* array, u16 sadr);
/// Sets the SADR's bit in a per-SADR array (nothing outside 1 to 1023).
void MFWQZ_SetSadrBit(u8* array, u16 sadr);
/// Registers an application event at its default level.
void MFWQZ_EnregisterEvent(u32 code, u16 information0, u32 information1);
/// Registers an application event at an explicit level (1 for acknowledgements).
void MFWQZ_EnregisterEventLevel(u32 code, u16 information0, u32 information1, u8 level);

/// Builds the table from the object dictionary; 1 success, 0 failure.
u8 MFWQZ_GetModuleInfo(void);
/// 1 when 1..1023, else event 0x9200C00C (0, SADR) and 0.
u8 MFWQZ_CheckSaddrRange(u16 sadr);
/// 1 when in range and configured (a configured-test failure raises 0x9200C00C (1, SADR)).
u8 MFWQZ_CheckSaddr(u16 sadr);
/// Reads the SCM's own SADR (0x1200/2) into MFWQZ_usSaddr; 1/0.
u8 MFWQZ_GetOwnSaddr(void);
/// Stores the configured revision; 1 stored or not configured, 0 out of range or stored twice.
u8 MFWQZ_StoreCnfRev(u16 sadr, u16 rev);
/// 1 and the configured revision when one is stored or differs, else 0 and 0.
u8 MFWQZ_ReadCnfRev(u16 sadr, u16* rev);
/// Clears every stored configured revision; 1.
u8 MFWQZ_ClearCnfRev(void);
/// Clears every auto-configured mark; 1.
u8 MFWQZ_ClearAutoCnfUdid(void);
/// Writes an auto-configured module's UDID to 0xCC00+SADR/1; 1/0.
u8 MFWQZ_StoreAutoCnfUdid(u16 sadr, const u8 udid[MFWQZ_kUdidBytes]);
/// 1 when a missing module of this SADR is no error (optional, missing at start-up, not processed).
u8 MFWQZ_IsModuleOptionalSADR(u16 sadr);
/// Number of configured entries.
u32 MFWQZ_GetNoConfiguredModules(void);
/// Registers a module missing (event 0x6200C089 once) unless it may be missing.
void MFWQZ_RegisterMissingModule(u16 sadr);
/// Registers a module invalid on every second report (event 0x6200C08D once).
void MFWQZ_RegisterInvalidModule(u16 sadr);
/// Registers a parameter error (event 0x6200C08E once).
void MFWQZ_RegisterParamErrModule(u16 sadr);
/// Marks a start-up module that never answered as missing at start-up.
void MFWQZ_GetMissStpFlags(u16 sadr);
/// Counts a module erroneous unless it is optional or missing at start-up.
void MFWQZ_IncErroneous(u16 sadr);
/// Guarded decrement of the erroneous counter (0x9200C003 at 0).
void MFWQZ_DecErroneous(u16 sadr);
/// Guarded decrement of the UDID-mismatch counter (0x9200C002 at 0).
void MFWQZ_DecUdidMisMatches(u16 sadr);
/// 1 while faults of this SADR are only marked pending (start-up, or at or above the end-of-start-up cursor).
u8 MFWQZ_IsStartUpFor(u16 sadr);

// ============================================================================
// Node-state callbacks, scans and quits
// ============================================================================

/// Wait between two tests of the quit's acknowledge (divisor of a second).
inline constexpr int MFWQZ_kQuitPollDivisor = 10;
/// Longest wait for one acknowledge of the quit (microseconds).
inline constexpr u64 MFWQZ_kQuitTimeoutUs = 10000000u;
/// Silence of a module with a firmware difference before it counts missing (seconds).
inline constexpr u32 MFWQZ_kMissingTimerSeconds = 60;
/// SADRs the end-of-start-up registration handles per cycle.
inline constexpr u32 MFWQZ_kEndOfStartUpBatch = 10;
/// Start-up scans before the object dictionary sets them.
inline constexpr u32 MFWQZ_kScansAtStartupDefault = 5;

/// A scan is requested (background sets, cyclic clears).
extern u32 MFWQZ_gbStartScan;
/// Reset the scan results now (cyclic sets, background clears).
extern u32 MFWQZ_gbScanInit;
/// Scan results reset, restart guarding (background sets, cyclic clears).
extern u32 MFWQZ_gbScanStarted;
/// A quit of all UDID mismatches is requested (background sets, cyclic clears).
extern u32 MFWQZ_gbStartQuit;
/// Quit in progress (cyclic sets, background clears).
extern u32 MFWQZ_gbQuitAll;
/// Acknowledge MFWQZ_gusQuitSaddr with MFWQZ_gusAckHandle (background sets, cyclic clears).
extern u32 MFWQZ_gbQuitUdid;
/// The acknowledge finished (cyclic sets).
extern u32 MFWQZ_gbAckDone;
/// The acknowledge failed (cyclic sets; 0 on success or when nothing was awaited).
extern u32 MFWQZ_gbAckError;
/// SADR to acknowledge.
extern u16 MFWQZ_gusQuitSaddr;
/// Cursor of the quit loop.
extern u16 MFWQZ_susQuitSaddr;
/// Handle to acknowledge with.
extern u16 MFWQZ_gusAckHandle;
/// The SADR-UDID list is being written (cyclic copies the store state each cycle).
extern u32 MFWQZ_gbUdidSaving;
/// While 1, node reports are ignored (starts at 1: reports count from the first restart of guarding).
extern u32 MFWQZ_gbLockPost;
/// A scan is running.
extern u32 MFWQZ_gbScanning;
/// The running scan follows a quit: the SADR-UDID list is stored when it ends.
extern u32 MFWQZ_gbScanAfterQuit;
/// Start-up phase: faults are only marked pending (starts at 1).
extern u32 MFWQZ_gbStartUp;
/// Pending faults are being registered; SADRs below MFWQZ_gusStartUpModule are done.
extern u32 MFWQZ_gbEndOfStartUp;
/// Cursor of the end-of-start-up registration (starts at 1).
extern u16 MFWQZ_gusStartUpModule;
/// A module UDID changed since the last scan.
extern u32 MFWQZ_bSioChanged;
/// Scans still allowed at start-up until every module is found.
extern u32 MFWQZ_ulScansAtStartup;
/// 1 once the Qor controller (SADR 1) was found since it was last lost.
extern u32 MFWQZ_gbQorFound;

// SAPL_ScmProcessSn, SAPL_ScmNodeStatusChangedClbk, SAPL_ScmUdidMismatchClbk and
// SAPL_ScmRevisionNumberClbk are declared in SAPL.h, where the stack expects them.
/// The UDID-mismatch report behind SAPL_ScmUdidMismatchClbk; 1 accepted.
u8 MFWQZ_UdidCallBack(u16 sadr, const u8* udid, u16 handle);
/// Revision comparison on the low 16 bits; 1 when the received revision is accepted.
u8 MFWQZ_FirmwareCallBack(u16 sadr, u32 expected, u32 received);
/// Scan bookkeeping of one state report of a configured SADR.
void MFWQZ_StateCallBack(u16 sadr, u8 newStatus);
/// A node reported a changed encoder (UDID); handle for the later acknowledge.
void MFWQZ_EncoderChg(u16 sadr, u16 handle);
/// Requests a scan; afterQuit 1 stores the SADR-UDID list when it ends; 1.
u8 MFWQZ_StartScan(u32 afterQuit);
/// Requests the quit of every UDID mismatch; 1.
u8 MFWQZ_StartToQuitUdidMismatches(void);
/// One SADR of the quit; 1 continue, 0 failed.
u8 MFWQZ_QuitUdidMismatches(void);
/// The scan reset (background task).
void MFWQZ_ResetScanResults(void);
/// Restarts guarding of every node (cyclic task).
void MFWQZ_ResetNodeGuarding(void);
/// The missing-module timer, every 5 s.
void MFWQZ_ChkMissingModules(void);
/// End of a scan: flag 0 from the last report, 1 from MFWQZ_SignalMain after the store.
void MFWQZ_EndOfScan(u32 flag);
/// End-of-start-up registration, called each cycle with the value it returned last.
u32 MFWQZ_EndOfStartUp(u32 previous);
/// Ends a scan after a quit once the SADR-UDID list is stored; 1.
u8 MFWQZ_SignalMain(void);

// ============================================================================
// Application init and main cycle
// ============================================================================

/// Period of the target and UDID check and the missing timer (microseconds).
inline constexpr u64 MFWQZ_kCheckPeriodUs = 5000000u;
/// Application seconds added at each check.
inline constexpr u32 MFWQZ_kCheckPeriodSeconds = 5;
/// Application seconds after start-up before it counts finished.
inline constexpr u32 MFWQZ_kStartupFinishSeconds = 5;

/// Init state: 0 not initialised, 1 first step done, 2 table built and first scan started.
extern u32 MFWQZ_InitState;
/// The running target id (CPU product code, CPU serial number, little-endian).
extern u8 MFWQZ_aActTargetId[MFWQZ_kTargetIdBytes];
/// 1 once the running target id was read.
extern u32 MFWQZ_bMacIdInitialized;
/// The accepted Qor-controller UDID and target id (14 bytes, cleared before "corvane.uid" is read).
struct MFWQZ_ReqHardwareId {
  u8 aucQzUdid[MFWQZ_kUdidBytes];        ///< accepted Qor-controller UDID
  u8 aucTargetId[MFWQZ_kTargetIdBytes];  ///< accepted target id
};
/// The accepted hardware identity from "fwrevcnf.bin".
extern MFWQZ_ReqHardwareId MFWQZ_sReqHardwareId;
/// The running Qor-controller UDID (kept by pointer from MFWQZ_Init).
extern const u8* MFWQZ_pucActQzUdid;
/// The key medium counts as changed.
extern u32 MFWQZ_bCorvaneChanged;
/// The target id could be read.
extern u32 MFWQZ_bTargetMacAvailable;
/// Result of the key-medium identity check: changed.
extern u32 MFWQZ_bCvnChanged;
/// The Qor controller's key-medium identity is available.
extern u32 MFWQZ_bCvnFromQorAvailable;
/// Application seconds, advanced by 5 at each 5-s check.
extern u32 MFWQZ_ulSeconds;
/// Microsecond counter of the last 5-s check.
extern u64 MFWQZ_ullLastCheckUs;
/// 1 once the last 5-s check time was taken.
extern u32 MFWQZ_bHaveLastCheck;
/// 1 more than 5 application seconds after start-up ended.
extern u32 MFWQZ_gbStartupFinished;
/// Application seconds when the start-up timer began (valid while MFWQZ_bStartupTimerRunning).
extern u32 MFWQZ_ulStartupTimerSeconds;
/// 1 while the start-up timer runs.
extern u32 MFWQZ_bStartupTimerRunning;
/// Reload "fwrevcnf.bin" in the next cycle.
extern u32 MFWQZ_gbTriggerReloadRev;
/// Start a scan after that reload.
extern u32 MFWQZ_gbScanAfterReloadRev;
/// Read the key-medium identity again in the next cycle.
extern u32 MFWQZ_gbTriggerReloadCVid;
/// Debug-information flag (set for a released firmware of release 256 or later).
extern u8 MFWqz_gucPtDbgInfo;

/// Reads the target id once; 1.
u8 MFWQZ_GetTargetId(void);
/// First initialisation step; 0 to go on, 1 to stop.
u8 MFWQZ_Init(const u8* qorUdid, u16 release);
/// Second initialisation step (module table, files); 0 success, 1 failure.
u8 MFWQZ_InitModuleInfo(void);
/// One application cycle of the background task; 1 when a step failed.
u8 MFWQZ_Main(u32 stackRunning);
/// The start-up timer; 1.
u8 MFWQZ_AppliStates(void);
/// Compares running and accepted hardware; sets MFWQZ_bCorvaneChanged; 1 or 0.
u8 MFWQZ_AuthorCheckTarget(void);
/// 2 target id not available, 1 key medium changed, 0 the stack may go operational.
u8 MFWQZ_RequestSwitchOperational(void);
/// 1 when the running Qor-controller UDID equals the accepted one (both known).
u8 MFWQZ_QorUdidIsAccepted(void);
/// Sets the accepted Qor-controller UDID and target id; 1, 0 for a null pointer.
u8 MFWQZ_AuthorSetReqUdid(const u8 udid[MFWQZ_kUdidBytes], const u8 targetId[MFWQZ_kTargetIdBytes]);
/// The running Qor-controller UDID and target id; 1 when the target id was read.
u8 MFWQZ_AuthorGetActUdid(u8 udid[MFWQZ_kUdidBytes], u8 targetId[MFWQZ_kTargetIdBytes]);

// ============================================================================
// Remote control, confirmations, setup mode, Qor variables, application files
// ============================================================================

/// A remote-control command without its channel header.
void MFWQZ_RemoteControlRcv(const u8* payload, u16 length, u32 reply);
/// Changes the remote state of a pending command of this code.
void MFWQZ_SetRemoteEnterState(u32 code, u32 state);
/// Ends the pending order of code as done (remote state 0, last completed code).
void MFWQZ_CompleteRemoteOrder(u32 code);
/// Module exchange machine; 1 when it may go on.
u8 MFWQZ_ModuleXChg(void);
/// Key-medium change machine; 1 when it may go on.
u8 MFWQZ_CorvaneChgCnf(void);
/// Confirmation machine; 1 when it may go on.
u8 MFWQZ_Confirmation(void);
/// Key-medium format machine; 1 when it may go on.
u8 MFWQZ_CorvaneFormat(void);
/// User-data format machine; 1 when it may go on.
u8 MFWQZ_UsrDataFormatMain(void);
/// Initialises setup mode (the older release, which has none, does nothing).
void MFWQZ_SetupModeInit(void);
/// Setup mode, once per cycle; 0 on an error (the older release: always 1).
u8 MFWQZ_SetupMode(void);
/// 1 while setup mode is active (the older release: always 0).
u32 MFWQZ_IsSetupModeActive(void);
/// The confirmed switch of setup mode (on 1 switch on, 0 off); 1 taken, 0 when the build has no setup mode.
u8 MFWQZ_SetupModeOrder(u32 on);
/// Asks for the setup-mode state to be sent to the Qor controller (the older release: nothing).
void MFWQZ_TriggerSetupModeToQor(void);
/// Background pass: sends the setup-mode state when asked for (the older release: nothing).
void MFWQZ_SetupModeToQorWhenTriggered(void);
/// The Qor controller's failed latch.
u8 MFWQZ_QorHasFailed(void);
/// 1 when the failed Qor controller answered again.
u8 MFWQZ_QorHasRecovered(void);
/// Writes the SCM version to the Qor controller; 0 written, -1 not.
i32 MFWQZ_SendScmVersionToQor(u16 version);
/// Writes the password to the Qor controller; 0 written, -1 not.
i32 MFWQZ_SendPasswordToQor(const u8 password[MFWQZ_kPasswordBytes]);
/// Writes the optional-module list to the Qor controller; 0 written, -1 not.
i32 MFWQZ_SendOptionalModulesToQor(const u16 sadrs[MFWQZ_kOptionalListCount]);
/// Older release (in its stead): the first 10 SADRs of configured modules neither registered missing nor
/// answered yet, 0 after the last.
void MFWQZ_BuildMissingOptionalList(u16 sadrs[MFWQZ_kOptionalListCount]);
/// Older release (in its stead): writes that list and its CRC as variable 3; 0 written, -1 not.
i32 MFWQZ_SendMissingOptionalModulesToQor(const u16 sadrs[MFWQZ_kOptionalListCount]);
#if !SCM_PROFILE_LEGACY
/// Writes the setup-mode state to the Qor controller; 0 written, -1 not.
i32 MFWQZ_SendSetupModeToQor(u32 on);
#endif
/// Reads the key-medium identity; keeps the UDID pointer; 1 read.
u8 MFWQZ_ReadCorvaneId(const u8* qorUdid);
/// Loads "autocnf.bin" (UDIDs, machine options, module flags); 1 loaded or absent.
u8 MFWQZ_AutoLoad(void);

/// The application files are valid.
extern u32 MFWQZ_ValidFiles;
/// While 1, revisions are held off (neither accepted nor changed).
extern u32 MFWQZ_gbLockPostFw;
/// Machine-option status (2 = loaded or none required).
extern u32 MFWQZ_geMachineOptionsStatus;
/// Copies length (at most 76) bytes of the machine options; 1 valid, 2 none or refused.
u32 MFWQZ_GetMachineOptions(u8* buffer, u32 length);

/// Commissioning parameters of object 0x210B/1-3.
inline constexpr u32 MFWQZ_kCommissioningCount = 3;
/// External machine options required (object 0x2106/4).
extern u32 MFWQZ_gbMachineOptionsActive;
/// Start-up flags required (object 0x2106/5, 0 or 1).
extern u32 MFWQZ_gbStartupFlagsActive;
/// Remote control switched on (object 0x2106/6).
extern u32 MFWQZ_gbRemoteActive;
/// Scans allowed at start-up (object 0x2106/7, 1 to 10).
extern u32 MFWQZ_gulScansAtStartup;
/// Release flag of the firmware (object 0x2109/1).
extern u8 MFWQZ_gucPtRelease;
/// The commissioning parameters (objects 0x210B/1-3).
extern u32 MFWQZ_gSodCommisioningParameter[MFWQZ_kCommissioningCount];
