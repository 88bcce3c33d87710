// Scans, the quit of UDID mismatches, the missing-module timer and the end of
// start-up. Scans and quits start in the background task and are carried out
// through single-writer flags that the cyclic task reads.
#include "EPSudid.h"
#include "HNFcyc.h"
#include "MFWQZ.h"
#include "SCM.h"
#include "ScmSystemCalls.h"
#include "vxworks.h"

u32 MFWQZ_gbStartScan;
u32 MFWQZ_gbScanInit;
u32 MFWQZ_gbScanStarted;
u32 MFWQZ_gbStartQuit;
u32 MFWQZ_gbQuitAll;
u32 MFWQZ_gbQuitUdid;
u32 MFWQZ_gbAckDone;
u32 MFWQZ_gbAckError;
u16 MFWQZ_gusQuitSaddr;
u16 MFWQZ_susQuitSaddr;
u16 MFWQZ_gusAckHandle;
u32 MFWQZ_gbUdidSaving;
// Until the first restart of guarding no report counts: the table build marks
// every module unscanned, and answers before the first scan's reset would end
// that scan before it began.
u32 MFWQZ_gbLockPost = 1;
u32 MFWQZ_gbScanning;
u32 MFWQZ_gbScanAfterQuit;
u32 MFWQZ_gbStartUp = 1;
u32 MFWQZ_gbEndOfStartUp;
u16 MFWQZ_gusStartUpModule = 1;
u32 MFWQZ_bSioChanged;
u32 MFWQZ_ulScansAtStartup = MFWQZ_kScansAtStartupDefault;
u32 MFWQZ_gbQorFound;

/// Remote commands completed when neither a scan runs nor start-up lasts.
static constexpr u32 MFWQZ_kScanCommands[] = {0x20, 0x30, 0x40, 0x50, 0x60, 0x2000};
/// Remote command that starts a scan.
static constexpr u32 MFWQZ_kCmdScan = 0x2000;
/// Remote state of a running command.
static constexpr u32 MFWQZ_kRemoteRunning = 2;

u8 MFWQZ_StartScan(u32 afterQuit) {
  MFWQZ_gbScanning = 1;
  MFWQZ_gbStartScan = 1;
  MFWQZ_gbScanAfterQuit = afterQuit;
  MFWQZ_gbScanStarted = 0;
  MFWQZ_SetRemoteEnterState(MFWQZ_kCmdScan, MFWQZ_kRemoteRunning);
  return 1;
}

u8 MFWQZ_StartToQuitUdidMismatches(void) {
  MFWQZ_gbStartQuit = 1;
  return 1;
}

void MFWQZ_ResetScanResults(void) {
  MFWQZ_gbLockPost = 1;
  for (u32 i = 1; i < MFWQZ_kModuleCount; ++i) {
    MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[i];
    if ((rEntry.ulFlags & MFWQZ_kFlagConfigured) != 0) {
      rEntry.ulFlags = (rEntry.ulFlags & MFWQZ_kScanResetKeep) | MFWQZ_kFlagNotScanned;
      rEntry.usAckHandle = 0;
    }
    rEntry.ulNodeState = MFWQZ_kNodeStateUnknown;
  }
  MFWQZ_gulModuleScanned = 0;
  MFWQZ_gulModuleFound = 0;
  MFWQZ_ulNumberOfErroneousModules = 0;
  MFWQZ_ulNumberOfDiffFirmware = 0;
  MFWQZ_ulNumberOfUdidMisMatches = 0;
  MFWQZ_gbQuitAll = 0;
  MFWQZ_bSioChanged = 0;
  MFWQZ_gbScanInit = 0;
  MFWQZ_gbScanStarted = 1;
}

void MFWQZ_ResetNodeGuarding(void) {
  MFWQZ_gbLockPost = 0;
  SCM_ResetNodeGuarding();
}

void MFWQZ_EndOfScan(u32 flag) {
  if (MFWQZ_gbScanAfterQuit != 0 && flag == 0) {
    // The list of accepted UDIDs is written first; MFWQZ_SignalMain ends the scan after it.
    MFWQZ_gbUdidSaving = 1;
    EPS_StartStoreSadrUdid();
    return;
  }
  MFWQZ_gbScanning = 0;
  MFWQZ_gbScanAfterQuit = 0;
  if (MFWQZ_ulScansAtStartup < 2) {
    MFWQZ_gbStartUp = 0;
  } else if (MFWQZ_gulModuleFound == MFWQZ_gulModuleCount) {
    MFWQZ_ulScansAtStartup = 0;
    MFWQZ_gbStartUp = 0;
  } else {
    --MFWQZ_ulScansAtStartup;
    (void)MFWQZ_StartScan(0);
  }
  if (MFWQZ_gbScanning == 0 && MFWQZ_gbStartUp == 0) {
    for (const u32 ulCode : MFWQZ_kScanCommands) {
      MFWQZ_CompleteRemoteOrder(ulCode);
    }
  }
}

u8 MFWQZ_SignalMain(void) {
  if (MFWQZ_gbScanAfterQuit != 0 && MFWQZ_gulModuleScanned >= MFWQZ_gulModuleCount && MFWQZ_gbUdidSaving == 0 &&
      MFWQZ_gbStartScan == 0 && MFWQZ_gbScanInit == 0 && MFWQZ_gbScanStarted == 0) {
    MFWQZ_EndOfScan(1);
  }
  return 1;
}

/// 1 when the entry waits for the operator's quit.
static u8 MFWQZ_WaitsForQuit(const MFWQZ_ModuleInfoEntry& entry) {
  if ((entry.ulFlags & MFWQZ_kFlagConfigured) == 0) {
    return 0;
  }
  if ((entry.ulFlags & (MFWQZ_kFlagUdidMismatch | MFWQZ_kFlagAutoConfigured)) == MFWQZ_kFlagUdidMismatch &&
      entry.ulNodeState == SCM_k_NS_UDID_MISMATCH) {
    return 1;
  }
  return ((entry.ulFlags & (MFWQZ_kFlagEncoderChanged | MFWQZ_kFlagUdidMismatch)) == MFWQZ_kFlagEncoderChanged &&
          entry.ulNodeState == SCM_k_NS_SADR_ASSIGNED)
             ? 1
             : 0;
}

/// Hands one SADR to the cyclic task and waits for its acknowledge; 1 acknowledged.
static u8 MFWQZ_QuitOne(u16 sadr) {
  MFWQZ_gusQuitSaddr = sadr;
  MFWQZ_gusAckHandle = MFWQZ_ModuleInfo[sadr].usAckHandle;
  MFWQZ_gbAckDone = 0;
  MFWQZ_gbQuitUdid = 1;
  const u64 ullStart = ScmGetUSecCounter();
  for (;;) {
    if (MFWQZ_gbAckDone == 1) {
      MFWQZ_ModuleInfo[sadr].ulNodeState = MFWQZ_kNodeStateUnknown;
      if (MFWQZ_gbAckError != 0) {
        MFWQZ_EnregisterEvent(MFWQZ_kEvtQuitAck, 0, sadr);
        MFWQZ_gbQuitAll = 0;
        return 0;
      }
      return 1;
    }
    if (ScmGetUSecCounter() - ullStart > MFWQZ_kQuitTimeoutUs) {
      MFWQZ_EnregisterEvent(MFWQZ_kEvtQuitAck, 1, sadr);
      MFWQZ_gbQuitAll = 0;
      return 0;
    }
    (void)taskDelay(GetTaskDelayTickCount(MFWQZ_kQuitPollDivisor));
  }
}

/// Ends the quit with a scan whose end stores the SADR-UDID list.
static u8 MFWQZ_QuitDone(void) {
  const u8 ucResult = MFWQZ_StartScan(1);
  MFWQZ_gbQuitAll = 0;
  return ucResult;
}

u8 MFWQZ_QuitUdidMismatches(void) {
  u32 ulSadr = MFWQZ_susQuitSaddr == 0 ? 1u : MFWQZ_susQuitSaddr;
  while (ulSadr <= MFWQZ_kSadrMax && MFWQZ_WaitsForQuit(MFWQZ_ModuleInfo[ulSadr]) == 0) {
    ++ulSadr;
  }
  if (ulSadr > MFWQZ_kSadrMax) {
    return MFWQZ_QuitDone();
  }
  const u16 usSadr = static_cast<u16>(ulSadr);
  const u8 ucAcknowledged = MFWQZ_QuitOne(usSadr);
  MFWQZ_susQuitSaddr = static_cast<u16>(usSadr + 1);
  if (ucAcknowledged == 0) {
    return 0;
  }
  if (usSadr == MFWQZ_kSadrMax) {
    return MFWQZ_QuitDone();
  }
  return 1;
}

void MFWQZ_ChkMissingModules(void) {
  if (MFWQZ_gbLockPost != 0) {
    return;
  }
  const u32 ulSilent = MFWQZ_kFlagMissingTimer | MFWQZ_kFlagFirmwareDiff;
  for (u16 usSadr = 1; usSadr <= MFWQZ_kSadrMax; ++usSadr) {
    MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[usSadr];
    if ((rEntry.ulFlags & ulSilent) != ulSilent ||
        MFWQZ_ulSeconds - rEntry.ulSecondsAtError <= MFWQZ_kMissingTimerSeconds) {
      continue;
    }
    rEntry.ulFlags &= ~(MFWQZ_kFlagMissingTimer | MFWQZ_kFlagMajorRevReported | MFWQZ_kFlagFirmwareDiff);
    if (MFWQZ_ulNumberOfDiffFirmware > 0) {
      --MFWQZ_ulNumberOfDiffFirmware;
    }
    MFWQZ_IncErroneous(usSadr);
    if (MFWQZ_IsStartUpFor(usSadr) != 0) {
      rEntry.ulFlags |= MFWQZ_kFlagMissingPending;
    } else {
      MFWQZ_RegisterMissingModule(usSadr);
    }
  }
}

/// Registers the pending faults of one SADR; 0 when one was registered already.
static u8 MFWQZ_RegisterPending(u16 sadr) {
  MFWQZ_GetMissStpFlags(sadr);
  const u32 ulFlags = MFWQZ_ModuleInfo[sadr].ulFlags;
  if ((ulFlags & MFWQZ_kFlagMissingPending) != 0) {
    if ((ulFlags & MFWQZ_kFlagMissingRegistered) != 0) {
      MFWQZ_EnregisterEvent(MFWQZ_kEvtHandshake, 0, MFWQZ_kHsMissingTwice);
      return 0;
    }
    MFWQZ_RegisterMissingModule(sadr);
  }
  if ((ulFlags & MFWQZ_kFlagInvalidPending) != 0) {
    if ((ulFlags & MFWQZ_kFlagInvalidRegistered) != 0) {
      MFWQZ_EnregisterEvent(MFWQZ_kEvtHandshake, 0, MFWQZ_kHsInvalidTwice);
      return 0;
    }
    MFWQZ_RegisterInvalidModule(sadr);
  }
  if ((ulFlags & MFWQZ_kFlagParamErrPending) != 0) {
    if ((ulFlags & MFWQZ_kFlagParamErrRegistered) != 0) {
      MFWQZ_EnregisterEvent(MFWQZ_kEvtHandshake, 0, MFWQZ_kHsParamErrTwice);
      return 0;
    }
    MFWQZ_RegisterParamErrModule(sadr);
  }
  return 1;
}

u32 MFWQZ_EndOfStartUp(u32 previous) {
  if (previous == MFWQZ_gbStartUp) {
    return previous;
  }
  if (previous == 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtHandshake, 0, MFWQZ_kHsStartUpCopy);
    return 0;
  }
  MFWQZ_gbEndOfStartUp = 1;
  for (u32 i = 0; i < MFWQZ_kEndOfStartUpBatch && MFWQZ_gusStartUpModule <= MFWQZ_kSadrMax; ++i) {
    const u16 usSadr = MFWQZ_gusStartUpModule;
    MFWQZ_gusStartUpModule = static_cast<u16>(usSadr + 1);
    if (MFWQZ_RegisterPending(usSadr) == 0) {
      return 0;
    }
  }
  if (MFWQZ_gusStartUpModule <= MFWQZ_kSadrMax) {
    return 1;
  }
  HNFcyc_TriggerSendOptionalModulesToQorInBgTask = 1;
  MFWQZ_gbEndOfStartUp = 0;
  return 0;
}
