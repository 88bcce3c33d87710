// The application's frame: the two initialisation steps, the one cycle the
// background task runs, the start-up timer, and the comparison of the running
// hardware (target id, Qor-controller UDID) with the accepted one, which
// decides whether the key medium counts as changed.
#include <cstring>

#include "ScmProfile.h"
#include "HNFcyc.h"
#include "MFWQZ.h"
#include "MFWQZ_Remote.h"
#include "ScmSystemCalls.h"

u32 MFWQZ_InitState;
u8 MFWQZ_aActTargetId[MFWQZ_kTargetIdBytes];
u32 MFWQZ_bMacIdInitialized;
MFWQZ_ReqHardwareId MFWQZ_sReqHardwareId;
const u8* MFWQZ_pucActQzUdid;
u32 MFWQZ_bCorvaneChanged;
u32 MFWQZ_bTargetMacAvailable;
u32 MFWQZ_bCvnChanged;
u32 MFWQZ_bCvnFromQorAvailable;
u32 MFWQZ_ulSeconds;
u64 MFWQZ_ullLastCheckUs;
u32 MFWQZ_bHaveLastCheck;
u32 MFWQZ_gbStartupFinished;
u32 MFWQZ_ulStartupTimerSeconds;
u32 MFWQZ_bStartupTimerRunning;
u32 MFWQZ_gbTriggerReloadRev;
u32 MFWQZ_gbScanAfterReloadRev;
u32 MFWQZ_gbTriggerReloadCVid;
u8 MFWqz_gucPtDbgInfo;

/// Release from which a released firmware carries debug information.
static constexpr u16 MFWQZ_kDbgInfoRelease = 256;
/// What a hardware comparison finds.
enum : u8 {
  MFWQZ_kCmpEqual = 0,     ///< both known and equal
  MFWQZ_kCmpUnknown = 1,   ///< either is all 0x00 or all 0xFF
  MFWQZ_kCmpDiffer = 2     ///< both known and different
};
/// What MFWQZ_kEvtNullPointer's information1 names.
enum : u32 {
  MFWQZ_kNullSetReq = 1,   ///< MFWQZ_AuthorSetReqUdid
  MFWQZ_kNullGetAct = 2    ///< MFWQZ_AuthorGetActUdid
};

u8 MFWQZ_GetTargetId(void) {
  if (MFWQZ_bMacIdInitialized != 0) {
    return 1;
  }
  const u32 ulProduct = ScmGetCpuProductCode();
  const u32 ulSerial = ScmGetCpuSerialNumber();
  MFWQZ_PutU32(MFWQZ_aActTargetId, ulProduct);
  MFWQZ_PutU32(MFWQZ_aActTargetId + 4, ulSerial);
  MFWQZ_bMacIdInitialized = 1;
  // The frame pump asks every cycle; it need not wait for the first 5-s check.
  if (ulProduct != 0 && ulSerial != 0) {
    MFWQZ_bTargetMacAvailable = 1;
  }
  return 1;
}

u8 MFWQZ_Init(const u8* qorUdid, u16 release) {
  MFWQZ_pucActQzUdid = qorUdid;
  if (MFWQZ_gucPtRelease == 1 && release >= MFWQZ_kDbgInfoRelease) {
    MFWqz_gucPtDbgInfo = 1;
  }
  const u8 ucIdentity = MFWQZ_ReadCorvaneId(qorUdid);
  if (MFWQZ_GetOwnSaddr() == 0) {
    return 1;
  }
  if (ucIdentity == 0 || MFWQZ_InitState != 0 || qorUdid == nullptr) {
    return 1;
  }
  MFWQZ_InitState = 1;
  return 0;
}

u8 MFWQZ_InitModuleInfo(void) {
  if (MFWQZ_InitState != 1) {
    MFWQZ_ValidFiles = MFWQZ_FwRevLoad(1);
    return 1;
  }
  std::memcpy(MFWQZ_gaucOptFlags, MFWQZ_gaucOptFlags_SOD, MFWQZ_kSadrSetBytes);
  std::memcpy(MFWQZ_gaucStpFlags, MFWQZ_gaucStpFlags_SOD, MFWQZ_kSadrSetBytes);
  std::memcpy(MFWQZ_gaucNprFlags, MFWQZ_gaucNprFlags_SOD, MFWQZ_kSadrSetBytes);
  std::memset(MFWQZ_aucMissStpFlags, 0, MFWQZ_kSadrSetBytes);
  const u8 ucTable = MFWQZ_GetModuleInfo();
  MFWQZ_ValidFiles = ucTable != 0 ? MFWQZ_FwRevLoad(1) : 0;
  const u8 ucAuto = ucTable != 0 ? MFWQZ_AutoLoad() : 0;
  MFWQZ_gulModuleCount = 0;
  for (u16 usSadr = 1; usSadr <= MFWQZ_kSadrMax; ++usSadr) {
    if ((MFWQZ_ModuleInfo[usSadr].ulFlags & MFWQZ_kFlagConfigured) != 0 &&
        MFWQZ_TestSadrBit(MFWQZ_gaucNprFlags, usSadr) == 0) {
      ++MFWQZ_gulModuleCount;
    }
  }
  if (ucTable == 0 || MFWQZ_ValidFiles == 0 || ucAuto == 0) {
    MFWQZ_SetupModeInit();
    return 1;
  }
  // The key medium's state from the files just loaded: the stack asks before its first
  // set-to-operational, which comes long before the first 5-s check.
  if (MFWQZ_bTargetMacAvailable != 0) {
    (void)MFWQZ_AuthorCheckTarget();
  }
  MFWQZ_ulScansAtStartup = MFWQZ_gulScansAtStartup;
  const u8 ucScan = MFWQZ_StartScan(0);
  MFWQZ_InitState = 2;
  MFWQZ_SetupModeInit();
  return ucScan != 0 ? 0 : 1;
}

u8 MFWQZ_AppliStates(void) {
  if (MFWQZ_gbStartUp != 0 || MFWQZ_gbEndOfStartUp != 0 || MFWQZ_gbStartupFinished != 0) {
    return 1;
  }
  if (MFWQZ_bStartupTimerRunning == 0) {
    MFWQZ_bStartupTimerRunning = 1;
    MFWQZ_ulStartupTimerSeconds = MFWQZ_ulSeconds;
    return 1;
  }
  if (MFWQZ_ulSeconds - MFWQZ_ulStartupTimerSeconds > MFWQZ_kStartupFinishSeconds) {
    MFWQZ_gbStartupFinished = 1;
  }
  return 1;
}

/// Compares two hardware ids of the given length.
static u8 MFWQZ_CompareHardware(const u8* running, const u8* accepted, u32 length) {
  if (running == nullptr || accepted == nullptr) {
    return MFWQZ_kCmpUnknown;
  }
  const u8* apucIds[2] = {running, accepted};
  for (const u8* pucId : apucIds) {
    u32 ulZero = 0;
    u32 ulOnes = 0;
    for (u32 i = 0; i < length; ++i) {
      ulZero += pucId[i] == 0x00 ? 1 : 0;
      ulOnes += pucId[i] == 0xFF ? 1 : 0;
    }
    if (ulZero == length || ulOnes == length) {
      return MFWQZ_kCmpUnknown;
    }
  }
  return std::memcmp(running, accepted, length) == 0 ? MFWQZ_kCmpEqual : MFWQZ_kCmpDiffer;
}

u8 MFWQZ_QorUdidIsAccepted(void) {
  return MFWQZ_CompareHardware(MFWQZ_pucActQzUdid, MFWQZ_sReqHardwareId.aucQzUdid, MFWQZ_kUdidBytes) ==
                 MFWQZ_kCmpEqual
             ? 1
             : 0;
}

u8 MFWQZ_AuthorCheckTarget(void) {
  const u8 ucT = MFWQZ_CompareHardware(MFWQZ_aActTargetId, MFWQZ_sReqHardwareId.aucTargetId, MFWQZ_kTargetIdBytes) ==
                         MFWQZ_kCmpEqual
                     ? 0
                     : 1;
  MFWQZ_bTargetMacAvailable = 1;
  if (MFWQZ_bCvnFromQorAvailable == 0) {
    return 0;
  }
  const u8 ucU = MFWQZ_CompareHardware(MFWQZ_pucActQzUdid, MFWQZ_sReqHardwareId.aucQzUdid, MFWQZ_kUdidBytes);
  const u32 ulIdentityChanged = (MFWQZ_bCvnChanged != 0 && MFWQZ_bCvnFromQorAvailable != 0) ? 1 : 0;
  if (ucU == MFWQZ_kCmpUnknown) {
    MFWQZ_bCorvaneChanged = 1;
    return 0;
  }
  if (ucU == MFWQZ_kCmpDiffer && ucT == 1) {
    MFWQZ_bCorvaneChanged = 1;
  } else if (ucU == MFWQZ_kCmpEqual && ucT == 0) {
    MFWQZ_bCorvaneChanged = ulIdentityChanged;
  } else {
    MFWQZ_bCorvaneChanged = MFWQZ_bSioChanged != 0 ? 1 : ulIdentityChanged;
  }
  return 1;
}

u8 MFWQZ_RequestSwitchOperational(void) {
  if (MFWQZ_bTargetMacAvailable == 0) {
    return 2;
  }
  return MFWQZ_bCorvaneChanged != 0 ? 1 : 0;
}

u8 MFWQZ_AuthorSetReqUdid(const u8 udid[MFWQZ_kUdidBytes], const u8 targetId[MFWQZ_kTargetIdBytes]) {
  if (udid == nullptr || targetId == nullptr) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtNullPointer, 0, MFWQZ_kNullSetReq);
    return 0;
  }
  std::memcpy(MFWQZ_sReqHardwareId.aucQzUdid, udid, MFWQZ_kUdidBytes);
  std::memcpy(MFWQZ_sReqHardwareId.aucTargetId, targetId, MFWQZ_kTargetIdBytes);
  return 1;
}

u8 MFWQZ_AuthorGetActUdid(u8 udid[MFWQZ_kUdidBytes], u8 targetId[MFWQZ_kTargetIdBytes]) {
  if (udid == nullptr || targetId == nullptr) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtNullPointer, 0, MFWQZ_kNullGetAct);
    return 0;
  }
  if (MFWQZ_pucActQzUdid != nullptr) {
    std::memcpy(udid, MFWQZ_pucActQzUdid, MFWQZ_kUdidBytes);
  } else {
    std::memset(udid, 0, MFWQZ_kUdidBytes);
  }
  std::memcpy(targetId, MFWQZ_aActTargetId, MFWQZ_kTargetIdBytes);
  return MFWQZ_bMacIdInitialized != 0 ? 1 : 0;
}

/// Step 1: every 5 s the hardware check, the application seconds and the missing timer.
static void MFWQZ_FiveSecondCheck(void) {
  const u64 ullNow = ScmGetUSecCounter();
  if (ullNow - MFWQZ_ullLastCheckUs <= MFWQZ_kCheckPeriodUs) {
    return;
  }
  (void)MFWQZ_AuthorCheckTarget();
  MFWQZ_ullLastCheckUs = ullNow;
  MFWQZ_bHaveLastCheck = 1;
  MFWQZ_ulSeconds += MFWQZ_kCheckPeriodSeconds;
  MFWQZ_ChkMissingModules();
}

/// Step 6: the reloads an action asked for.
[[maybe_unused]] static void MFWQZ_Reloads(void) {  // the older release has no reloads
  if (MFWQZ_gbTriggerReloadRev != 0) {
    MFWQZ_gbTriggerReloadRev = 0;
    MFWQZ_ValidFiles = MFWQZ_FwRevLoad(1);
    if (MFWQZ_ValidFiles == 0) {
      return;
    }
    if (MFWQZ_gbScanAfterReloadRev != 0) {
      MFWQZ_gbScanAfterReloadRev = 0;
      (void)MFWQZ_StartScan(0);
    }
  }
  if (MFWQZ_gbTriggerReloadCVid != 0 && MFWQZ_pucActQzUdid != nullptr) {
    MFWQZ_gbTriggerReloadCVid = 0;
    if (MFWQZ_ReadCorvaneId(MFWQZ_pucActQzUdid) != 0) {
      MFWQZ_ValidFiles = MFWQZ_FwRevLoad(1);
    }
  }
}

u8 MFWQZ_Main(u32 stackRunning) {
  u8 ucChain = (MFWQZ_InitState == 2 && HNFcyc_gbCalledFromCyc == 0) ? 1 : 0;
  // Step 1: hardware check and missing timer (the stack runs).
  if (stackRunning != 0) {
    MFWQZ_FiveSecondCheck();
  }
  // Step 2: module exchange and key-medium change (the stack runs).
  if (stackRunning != 0) {
    u8 ucResult = MFWQZ_ModuleXChg();
    if (ucResult == 1) {
      ucResult = MFWQZ_CorvaneChgCnf();
    }
    if (ucResult != 1) {
      ucChain = 0;
    }
  }
  // Step 3: confirmation, key-medium format, user-data format.
  u8 ucMachines = MFWQZ_Confirmation();
  if (ucMachines == 1) {
    ucMachines = MFWQZ_CorvaneFormat();
  }
  if (ucMachines == 1) {
    ucMachines = MFWQZ_UsrDataFormatMain();
  }
  if (ucMachines != 1) {
    ucChain = 0;
  }
  // Step 4: end of a scan after a quit, then the start-up timer.
  const u8 ucSignal = MFWQZ_SignalMain();
  const u8 ucTimer = MFWQZ_AppliStates();
  if (ucSignal != 1 || ucTimer != 1) {
    ucChain = 0;
  }
  // Step 5: the background side of the scan and quit handshakes.
  if (MFWQZ_gbScanInit == 1) {
    MFWQZ_ResetScanResults();
  }
  if (MFWQZ_gbQuitAll == 1 && MFWQZ_QuitUdidMismatches() == 0) {
    ucChain = 0;
  }
  // Step 6: reloads, only after a cycle in which every step went on (the
  // older release has none).
  if constexpr (!SCM_kLegacy) {
    if (ucChain == 1) {
      MFWQZ_Reloads();
    }
  }
  // Step 7: setup mode.
  const u8 ucSetup = MFWQZ_SetupMode();
  return (ucSetup == 0 || ucChain == 0) ? 1 : 0;
}

u32 MFWQZ_gbMachineOptionsActive;
u32 MFWQZ_gbStartupFlagsActive;
u32 MFWQZ_gbRemoteActive;
u32 MFWQZ_gulScansAtStartup;
u8 MFWQZ_gucPtRelease;
u32 MFWQZ_gSodCommisioningParameter[MFWQZ_kCommissioningCount];
