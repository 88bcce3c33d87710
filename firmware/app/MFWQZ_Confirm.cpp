// The operator-confirmation machines. Remote control stores an accepted order;
// the confirmation machine takes it, waits half a second, checks the code
// once more and runs its action; the action machines (module exchange,
// key-medium change, user-data format) do the work over later cycles and end
// the order themselves: remote state 0 and the code as last completed when
// the work is done, 4 when it failed or a reset follows. Setup mode hands
// selections to the confirmation without an order.
#include "MFWQZ_Confirm.h"

#include "HNFffs.h"
#include "HNFcyc.h"
#include "MFWQZ.h"
#include "MFWQZ_Remote.h"
#include "ScmProfile.h"
#include "ScmSystemCalls.h"

MFWQZ_ConfirmState MFWQZ_Confirm;
MFWQZ_MachineState MFWQZ_ModChg;
MFWQZ_MachineState MFWQZ_KeyCnf;
MFWQZ_MachineState MFWQZ_KeyFormat;
MFWQZ_UsrDataFormatState MFWQZ_UsrDataFormat;
u32 MFWQZ_gulConfirmCode;
u32 MFWQZ_gulHandedSelection;

/// Information0 of the confirmation event: the action ran, or it failed / the code was invalid.
static constexpr u16 MFWQZ_kConfirmDone = 3;
static constexpr u16 MFWQZ_kConfirmFailed = 4;

/// The low 32 bits of the microsecond counter.
static u32 MFWQZ_NowUs(void) { return static_cast<u32>(ScmGetUSecCounter()); }

u8 MFWQZ_FirstCall(u32 state, u32* previous, u32* entryUs) {
  if (*previous == state) {
    return 0;
  }
  *previous = state;
  *entryUs = MFWQZ_NowUs();
  return 1;
}

u32 MFWQZ_SinceUs(u32 entryUs) { return MFWQZ_NowUs() - entryUs; }

/// 1 when the code may be confirmed now; raises the fatal code event for a code no order can carry.
static u8 MFWQZ_ConfirmCodeValid(u32 code) {
  switch (code) {
    case MFWQZ_kCodeQuit5:
    case MFWQZ_kCodeQuit4:
    case MFWQZ_kCodeQuit3:
    case MFWQZ_kCodeQuit2:
    case MFWQZ_kCodeQuit1:
    case MFWQZ_kCodeFirmware:
    case MFWQZ_kCodeKeyMedium:
    case MFWQZ_kCodeLongHold:
    case MFWQZ_kCodeRescan:
    case MFWQZ_kCodeNoAction3:
    case MFWQZ_kCodeNoAction4:
    case MFWQZ_kCodePassword:
    case MFWQZ_kCodeFormat:
      return 1;
    case MFWQZ_kCodeSetupOn:
    case MFWQZ_kCodeSetupOff:
      if constexpr (SCM_kLegacy) {
        // The older release has no setup mode: no order can carry these codes.
        MFWQZ_EnregisterEvent(MFWQZ_kEvtConfirmCode, 0, code);
        return 0;
      }
      return (MFWQZ_IsSetupModeActive() != 0 ? 1u : 0u) == (code == MFWQZ_kCodeSetupOff ? 1u : 0u) ? 1 : 0;
    case MFWQZ_kCodeAddressList:
    case MFWQZ_kCodeModuleFlags:
      return 0;
    default:
      MFWQZ_EnregisterEvent(MFWQZ_kEvtConfirmCode, 0, code);
      return 0;
  }
}

u32 MFWQZ_EndsAtHold(u32 code) {
  return (code == MFWQZ_kCodeLongHold || code == MFWQZ_kCodeNoAction3 || code == MFWQZ_kCodeNoAction4) ? 1 : 0;
}

u8 MFWQZ_StateTestFailed(u32 tag, u32 state) {
  MFWQZ_EnregisterEvent(MFWQZ_kEvtMachineState, 0, tag | state);
  return 0;
}

u8 MFWQZ_ConfirmAction(u32 code, u32 fromRemote) {
  if (MFWQZ_IsQuitCode(code) == 1) {
    const u32 ulState = MFWQZ_ModChg.ulState;
    // A handover may meet the machine one step on: 1 and 2 both stand for waiting mismatches.
    if (fromRemote == 0 && ulState != MFWQZ_k_XCHG_FEW && ulState != MFWQZ_k_XCHG_MANY) {
      return MFWQZ_StateTestFailed(code == MFWQZ_kCodeQuit5 ? MFWQZ_kTagExpect2 : MFWQZ_kTagExpect1, ulState);
    }
    MFWQZ_ModChg.ulState = code == MFWQZ_kCodeQuit5 ? MFWQZ_k_XCHG_QUIT_MANY : MFWQZ_k_XCHG_QUIT;
    return 1;
  }
  switch (code) {
    case MFWQZ_kCodeFirmware: {
      const u32 ulState = MFWQZ_ModChg.ulState;
      if (fromRemote == 0 && ulState != MFWQZ_k_XCHG_FIRMWARE && ulState != MFWQZ_k_XCHG_IDLE) {
        return MFWQZ_StateTestFailed(MFWQZ_kTagExpect7, ulState);
      }
      MFWQZ_ModChg.ulState = MFWQZ_k_XCHG_ACCEPT;
      return 1;
    }
    case MFWQZ_kCodeKeyMedium: {
      const u32 ulState = MFWQZ_KeyCnf.ulState;
      if (fromRemote == 0 && ulState != MFWQZ_k_KEY_CHANGED && ulState != MFWQZ_k_KEY_IDLE) {
        return MFWQZ_StateTestFailed(MFWQZ_kTagKeyChange, ulState);
      }
      MFWQZ_KeyCnf.ulState = MFWQZ_k_KEY_WRITE;
      return 1;
    }
    case MFWQZ_kCodeRescan:
      return MFWQZ_StartScan(0);
    case MFWQZ_kCodePassword:
      return MFWQZ_CnfPasswordChange() == 1 ? 1 : 0;
    case MFWQZ_kCodeFormat:
      if (MFWQZ_UsrDataFormat.ulState != MFWQZ_k_USR_IDLE) {
        return MFWQZ_StateTestFailed(MFWQZ_kTagUsrData, MFWQZ_UsrDataFormat.ulState);
      }
      MFWQZ_UsrDataFormat.ulState = MFWQZ_k_USR_START;
      return 1;
    case MFWQZ_kCodeSetupOn:
      return MFWQZ_SetupModeOrder(1);
    case MFWQZ_kCodeSetupOff:
      return MFWQZ_SetupModeOrder(0);
    default:
      return 0;
  }
}

u8 MFWQZ_ConfirmEntry(void) {
  if (MFWQZ_Confirm.ulRemote == 0) {
    const u32 ulSelection = MFWQZ_gulHandedSelection;
    MFWQZ_gulHandedSelection = 0;
    return ulSelection != 0 ? MFWQZ_ConfirmAction(ulSelection, 0) : 1;
  }
  const u32 ulCode = MFWQZ_gulConfirmCode;
  if (ulCode == MFWQZ_kCodeLongHold) {
    MFWQZ_Remote.ulState = MFWQZ_k_RS_RUNNING;
    MFWQZ_Remote.ulLongHold = 1;
    MFWQZ_EnregisterEventLevel(MFWQZ_kEvtRemote, MFWQZ_kConfirmDone, ulCode, MFWQZ_kRemoteEventLevel);
    return 1;
  }
  const u8 ucResult = MFWQZ_ConfirmAction(ulCode, 1);
  MFWQZ_EnregisterEventLevel(MFWQZ_kEvtRemote, ucResult == 1 ? MFWQZ_kConfirmDone : MFWQZ_kConfirmFailed, ulCode,
                             MFWQZ_kRemoteEventLevel);
  if (ucResult != 1 && MFWQZ_EndsAtHold(ulCode) == 0) {
    // The action will not end the order; it is final now.
    MFWQZ_SetRemoteEnterState(ulCode, MFWQZ_k_RS_FINAL);
  }
  return ucResult;
}

u8 MFWQZ_ConfirmCommonState(void) {
  MFWQZ_ConfirmState& rC = MFWQZ_Confirm;
  switch (rC.ulState) {
    case MFWQZ_k_CNF_START:
      (void)MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs);
      rC.ulRemote = 0;
      rC.ulState = MFWQZ_k_CNF_IDLE;
      return 1;
    case MFWQZ_k_CNF_TAKEN:
      (void)MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs);
      if (rC.ulRemote == 1) {
        rC.ulState = MFWQZ_k_CNF_WAIT;
      }
      return 1;
    case MFWQZ_k_CNF_WAIT:
      (void)MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs);
      if (rC.ulRemote == 1 && MFWQZ_SinceUs(rC.ulEntryUs) > MFWQZ_kConfirmWaitUs) {
        rC.ulState = MFWQZ_ConfirmCodeValid(MFWQZ_gulConfirmCode) == 1 ? MFWQZ_k_CNF_HOLD : MFWQZ_k_CNF_INVALID;
      }
      return 1;
    case MFWQZ_k_CNF_INVALID:
      (void)MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs);
      if (MFWQZ_SinceUs(rC.ulEntryUs) >= MFWQZ_kConfirmLongHoldUs) {
        rC.ulState = MFWQZ_k_CNF_START;
        MFWQZ_EnregisterEventLevel(MFWQZ_kEvtRemote, MFWQZ_kConfirmFailed, MFWQZ_gulConfirmCode,
                                   MFWQZ_kRemoteEventLevel);
        if (rC.ulRemote == 1) {
          MFWQZ_Remote.ulLastCompleted &= ~MFWQZ_gulConfirmCode;
          MFWQZ_Remote.ulState = MFWQZ_k_RS_NONE;
        }
      }
      return 1;
    default:
      return 0;
  }
}

void MFWQZ_ConfirmTake(u32 code) {
  MFWQZ_ConfirmState& rC = MFWQZ_Confirm;
  rC.ulRemote = 1;
  MFWQZ_gulConfirmCode = code;
  MFWQZ_Remote.ulCode = code;
  MFWQZ_SetRemoteEnterState(code, MFWQZ_k_RS_CONFIRMING);
  rC.ulState = MFWQZ_k_CNF_TAKEN;
}

u32 MFWQZ_ConfirmHoldUs(void) {
  return MFWQZ_Remote.ulLongHold != 0 ? MFWQZ_kConfirmLongHoldUs : MFWQZ_kConfirmHoldUs;
}

/// Accepts the firmware differences: writes "fwrevcnf.bin" with the configured revisions; 1 written.
static u8 MFWQZ_AcceptFirmware(void) {
  if (MFWQZ_FwRevStore(1) != 1) {
    // The file and the state are as before; the order failed.
    MFWQZ_SetRemoteEnterState(MFWQZ_kCodeFirmware, MFWQZ_k_RS_FINAL);
    return 0;
  }
  if constexpr (SCM_kLegacy) {
    // The older release reloads nothing: the new revisions take effect through a reset, which the
    // confirmation machine does once every part of a remote order is done, and this machine does at once
    // for an acceptance confirmed on the controller.
    if (MFWQZ_RemoteOrderPending(MFWQZ_kCodeFirmware) == 1) {
      MFWQZ_SetRemoteEnterState(MFWQZ_kCodeFirmware, MFWQZ_k_RS_FINAL);
    } else {
      (void)HNFiff_SafePlcReset();
    }
    return 1;
  }
  MFWQZ_ValidFiles = 0;
  MFWQZ_CompleteRemoteOrder(MFWQZ_kCodeFirmware);
  MFWQZ_gbTriggerReloadRev = 1;
  MFWQZ_gbScanAfterReloadRev = 1;
  return 1;
}

u8 MFWQZ_ModuleXChg(void) {
  MFWQZ_MachineState& rM = MFWQZ_ModChg;
  const u32 ulMismatches = MFWQZ_ulNumberOfUdidMisMatches;
  const u32 ulFirmware = MFWQZ_ulNumberOfDiffFirmware;
  (void)MFWQZ_FirstCall(rM.ulState, &rM.ulPrevious, &rM.ulEntryUs);
  switch (rM.ulState) {
    case MFWQZ_k_XCHG_IDLE:
      if (ulMismatches != 0) {
        rM.ulState = MFWQZ_k_XCHG_FEW;
      } else if (ulFirmware != 0) {
        rM.ulState = MFWQZ_k_XCHG_FIRMWARE;
      } else if (MFWQZ_ulNumberOfErroneousModules != 0 && MFWQZ_gbStartUp == 0) {
        rM.ulState = MFWQZ_k_XCHG_ERROR;
      }
      return 1;
    case MFWQZ_k_XCHG_FEW:
      if (ulMismatches > MFWQZ_kFewMismatchesMax) {
        rM.ulState = MFWQZ_k_XCHG_MANY;
      } else if (ulMismatches == 0) {
        rM.ulState = MFWQZ_k_XCHG_IDLE;
      }
      return 1;
    case MFWQZ_k_XCHG_MANY:
      if (ulMismatches <= MFWQZ_kFewMismatchesMax) {
        rM.ulState = MFWQZ_k_XCHG_IDLE;
      }
      return 1;
    case MFWQZ_k_XCHG_QUIT:
    case MFWQZ_k_XCHG_QUIT_MANY:
      rM.ulState = MFWQZ_k_XCHG_IDLE;
      return MFWQZ_StartToQuitUdidMismatches();
    case MFWQZ_k_XCHG_ACCEPT:
      rM.ulState = MFWQZ_k_XCHG_IDLE;
      return MFWQZ_AcceptFirmware();
    case MFWQZ_k_XCHG_ERROR:
      if (MFWQZ_ulNumberOfErroneousModules == 0 || MFWQZ_gbStartUp != 0 || ulMismatches != 0 || ulFirmware != 0) {
        rM.ulState = MFWQZ_k_XCHG_IDLE;
      }
      return 1;
    case MFWQZ_k_XCHG_FIRMWARE:
      if (ulFirmware == 0 || ulMismatches != 0) {
        rM.ulState = MFWQZ_k_XCHG_IDLE;
      }
      return 1;
    default:
      return MFWQZ_StateTestFailed(0, rM.ulState);
  }
}

u8 MFWQZ_KeyWatch(void) {
  MFWQZ_MachineState& rK = MFWQZ_KeyCnf;
  if (rK.ulState == MFWQZ_k_KEY_IDLE && MFWQZ_bCorvaneChanged != 0) {
    rK.ulState = MFWQZ_k_KEY_CHANGED;
  } else if (rK.ulState == MFWQZ_k_KEY_CHANGED && MFWQZ_bCorvaneChanged == 0) {
    rK.ulState = MFWQZ_k_KEY_IDLE;
  }
  return 1;
}

u8 MFWQZ_CorvaneFormat(void) { return 1; }

u8 MFWQZ_KeyFailedHold(void) {
  MFWQZ_MachineState& rK = MFWQZ_KeyCnf;
  if (MFWQZ_SinceUs(rK.ulEntryUs) >= MFWQZ_kConfirmLongHoldUs) {
    rK.ulState = MFWQZ_k_KEY_IDLE;
    MFWQZ_SetRemoteEnterState(MFWQZ_kCodeKeyMedium, MFWQZ_k_RS_FINAL);
  }
  return 1;
}

u32 MFWQZ_EmptyUserFile(const char* name, u32 emptied, u32 next, u32 failed) {
  MFWQZ_UsrDataFormatState& rU = MFWQZ_UsrDataFormat;
  const i32 lHandle = HNFffs_Open(name, "w");
  if (lHandle == HNFffs_kBusy) {
    return MFWQZ_SinceUs(rU.ulEntryUs) > MFWQZ_kUsrBusyUs ? failed : rU.ulState;
  }
  // The pseudo handle of a refused "PARDATA1.BIN" empties nothing.
  if (lHandle < 0 || lHandle == SCM_PARDATA_PSEUDO_HANDLE) {
    return failed;
  }
  if (HNFffs_Close(lHandle) != 0) {
    return failed;
  }
  MFWQZ_EnregisterEventLevel(MFWQZ_kEvtFileEmptied, 0, emptied, MFWQZ_kFileEventLevel);
  return next;
}

void MFWQZ_UsrDataHoldThenReset(u8 first, u32 failed) {
  MFWQZ_UsrDataFormatState& rU = MFWQZ_UsrDataFormat;
  if (first == 1) {
    const u32 ulRemote = MFWQZ_RemoteOrderPending(MFWQZ_kCodeFormat);
    rU.ulHoldUs = (failed == 1 || ulRemote == 1) ? MFWQZ_kConfirmLongHoldUs : MFWQZ_kConfirmHoldUs;
    // A reset follows: the order is final.
    MFWQZ_SetRemoteEnterState(MFWQZ_kCodeFormat, MFWQZ_k_RS_FINAL);
  }
  if (MFWQZ_SinceUs(rU.ulEntryUs) >= rU.ulHoldUs) {
    rU.ulState = MFWQZ_k_USR_IDLE;
    (void)HNFiff_SafePlcReset();
  }
}

u8 MFWQZ_UsrDataFormatRun(const MFWQZ_UsrDataStep* steps, u32 count, u32 done, u32 failed) {
  MFWQZ_UsrDataFormatState& rU = MFWQZ_UsrDataFormat;
  const u8 ucFirst = MFWQZ_FirstCall(rU.ulState, &rU.ulPrevious, &rU.ulEntryUs);
  if (rU.ulState == MFWQZ_k_USR_IDLE) {
    return 1;
  }
  if (rU.ulState == done || rU.ulState == failed) {
    MFWQZ_UsrDataHoldThenReset(ucFirst, rU.ulState == failed ? 1 : 0);
    return 1;
  }
  for (u32 i = 0; i < count; ++i) {
    if (steps[i].ulState == rU.ulState) {
      rU.ulState = MFWQZ_EmptyUserFile(steps[i].pcName, steps[i].ulEmptied, steps[i].ulNext, failed);
      return 1;
    }
  }
  return 0;
}
