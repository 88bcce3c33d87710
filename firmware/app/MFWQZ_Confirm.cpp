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
#include "ScmSystemCalls.h"

MFWQZ_ConfirmState MFWQZ_Confirm;
MFWQZ_MachineState MFWQZ_ModChg;
MFWQZ_MachineState MFWQZ_KeyCnf;
MFWQZ_MachineState MFWQZ_KeyFormat;
MFWQZ_UsrDataFormatState MFWQZ_UsrDataFormat;
u32 MFWQZ_gulConfirmCode;
u32 MFWQZ_gulHandedSelection;

/// Names of the two user-data files the format empties.
static constexpr const char* MFWQZ_kParDataName = "PARDATA1.BIN";
static constexpr const char* MFWQZ_kAutoCnfName = "AUTOCNF.BIN";
/// Information1 of MFWQZ_kEvtFileEmptied for each file.
static constexpr u32 MFWQZ_kEmptiedParData = 2;
static constexpr u32 MFWQZ_kEmptiedAutoCnf = 3;
/// Information0 of the confirmation event: the action ran, or it failed / the code was invalid.
static constexpr u16 MFWQZ_kConfirmDone = 3;
static constexpr u16 MFWQZ_kConfirmFailed = 4;

/// The low 32 bits of the microsecond counter.
static u32 MFWQZ_NowUs(void) { return static_cast<u32>(ScmGetUSecCounter()); }

/// 1 on the first call in the current state: takes the entry time and marks the state entered.
static u8 MFWQZ_FirstCall(u32 state, u32* previous, u32* entryUs) {
  if (*previous == state) {
    return 0;
  }
  *previous = state;
  *entryUs = MFWQZ_NowUs();
  return 1;
}

/// Microseconds since entryUs (wrap-safe on 32 bits).
static u32 MFWQZ_SinceUs(u32 entryUs) { return MFWQZ_NowUs() - entryUs; }

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
      return MFWQZ_IsSetupModeActive() == 0 ? 1 : 0;
    case MFWQZ_kCodeSetupOff:
      return MFWQZ_IsSetupModeActive() != 0 ? 1 : 0;
    case MFWQZ_kCodeAddressList:
    case MFWQZ_kCodeModuleFlags:
      return 0;
    default:
      MFWQZ_EnregisterEvent(MFWQZ_kEvtConfirmCode, 0, code);
      return 0;
  }
}

/// 1 for the codes whose order the confirmation's hold ends itself (they have no action of their own).
static u32 MFWQZ_EndsAtHold(u32 code) {
  return (code == MFWQZ_kCodeLongHold || code == MFWQZ_kCodeNoAction3 || code == MFWQZ_kCodeNoAction4) ? 1 : 0;
}

/// A failed state test: the fatal event with tag OR state; 0.
static u8 MFWQZ_StateTestFailed(u32 tag, u32 state) {
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
      MFWQZ_UsrDataFormat.ulState = MFWQZ_k_USR_PARDATA;
      return 1;
    case MFWQZ_kCodeSetupOn:
      MFWQZ_ActivateSetupMode(0);
      return 1;
    case MFWQZ_kCodeSetupOff:
      MFWQZ_DeActivateSetupMode(0);
      return 1;
    default:
      return 0;
  }
}

/// State 4's entry: the action of the order or of the handed-over selection; its result.
static u8 MFWQZ_ConfirmEntry(void) {
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

u8 MFWQZ_Confirmation(void) {
  MFWQZ_ConfirmState& rC = MFWQZ_Confirm;
  switch (rC.ulState) {
    case MFWQZ_k_CNF_START:
      (void)MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs);
      rC.ulRemote = 0;
      rC.ulState = MFWQZ_k_CNF_IDLE;
      return 1;
    case MFWQZ_k_CNF_IDLE:
      (void)MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs);
      if (MFWQZ_Remote.ulState == MFWQZ_k_RS_ACCEPTED) {
        rC.ulRemote = 1;
        // The machine's own copy: a later command rewriting the stored one cannot change what is confirmed.
        MFWQZ_gulConfirmCode = MFWQZ_GetU16(MFWQZ_RemoteCmd + MFWQZ_kCmdOffCode);
        MFWQZ_Remote.ulCode = MFWQZ_gulConfirmCode;
        MFWQZ_SetRemoteEnterState(MFWQZ_gulConfirmCode, MFWQZ_k_RS_CONFIRMING);
        rC.ulState = MFWQZ_k_CNF_TAKEN;
      }
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
    case MFWQZ_k_CNF_HOLD: {
      if (MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs) == 1) {
        return MFWQZ_ConfirmEntry();
      }
      const u32 ulHoldUs = MFWQZ_Remote.ulLongHold != 0 ? MFWQZ_kConfirmLongHoldUs : MFWQZ_kConfirmHoldUs;
      if (MFWQZ_SinceUs(rC.ulEntryUs) >= ulHoldUs) {
        if (rC.ulRemote == 1) {
          MFWQZ_Remote.ulLongHold = 0;
          if (MFWQZ_EndsAtHold(MFWQZ_gulConfirmCode) == 1) {
            if (MFWQZ_Remote.ulState != MFWQZ_k_RS_FINAL) {
              MFWQZ_Remote.ulState = MFWQZ_k_RS_NONE;
            }
            MFWQZ_Remote.ulLastCompleted = MFWQZ_gulConfirmCode;
          }
        }
        rC.ulState = MFWQZ_k_CNF_START;
      }
      return 1;
    }
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

/// Accepts the firmware differences: writes "fwrevcnf.bin" with the configured revisions; 1 written.
static u8 MFWQZ_AcceptFirmware(void) {
  if (MFWQZ_RevStore(1) != 1) {
    // The file and the state are as before; the order failed.
    MFWQZ_SetRemoteEnterState(MFWQZ_kCodeFirmware, MFWQZ_k_RS_FINAL);
    return 0;
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

u8 MFWQZ_CvneReload(void) {
  MFWQZ_MachineState& rK = MFWQZ_KeyCnf;
  const u32 ulCameFrom = rK.ulPrevious;
  if (MFWQZ_FirstCall(rK.ulState, &rK.ulPrevious, &rK.ulEntryUs) == 1 && ulCameFrom != MFWQZ_k_KEY_HOLD) {
    rK.ulState = MFWQZ_k_KEY_FAILED;
    return MFWQZ_StateTestFailed(MFWQZ_kTagKeyReload, ulCameFrom);
  }
  if (MFWQZ_ValidFiles == 1) {
    rK.ulState = MFWQZ_k_KEY_IDLE;
  }
  return 1;
}

u8 MFWQZ_CorvaneChgCnf(void) {
  MFWQZ_MachineState& rK = MFWQZ_KeyCnf;
  if (rK.ulState == MFWQZ_k_KEY_RELOAD) {
    return MFWQZ_CvneReload();
  }
  (void)MFWQZ_FirstCall(rK.ulState, &rK.ulPrevious, &rK.ulEntryUs);
  switch (rK.ulState) {
    case MFWQZ_k_KEY_IDLE:
      if (MFWQZ_bCorvaneChanged != 0) {
        rK.ulState = MFWQZ_k_KEY_CHANGED;
      }
      return 1;
    case MFWQZ_k_KEY_CHANGED:
      if (MFWQZ_bCorvaneChanged == 0) {
        rK.ulState = MFWQZ_k_KEY_IDLE;
      }
      return 1;
    case MFWQZ_k_KEY_WRITE: {
      const u32 ulRev = MFWQZ_RevStore(0);
      const u8 ucFlash = ulRev == 1 ? MFWQZ_SetCorvaneId() : 0;
      if (ulRev == 1 && ucFlash == 0) {
        // "fwrevcnf.bin" was written and holds revisions off until it is loaded again.
        MFWQZ_gbTriggerReloadRev = 1;
        MFWQZ_gbScanAfterReloadRev = 0;
      }
      rK.ulState = (ulRev == 1 && ucFlash == 1) ? MFWQZ_k_KEY_HOLD : MFWQZ_k_KEY_FAILED;
      return 1;
    }
    case MFWQZ_k_KEY_HOLD:
      if (MFWQZ_SinceUs(rK.ulEntryUs) >= MFWQZ_kKeyHoldUs) {
        rK.ulState = MFWQZ_k_KEY_RELOAD;
        MFWQZ_ValidFiles = 0;
        MFWQZ_gbTriggerReloadCVid = 1;
        MFWQZ_bCorvaneChanged = 0;
        MFWQZ_CompleteRemoteOrder(MFWQZ_kCodeKeyMedium);
      }
      return 1;
    case MFWQZ_k_KEY_FAILED:
      if (MFWQZ_SinceUs(rK.ulEntryUs) >= MFWQZ_kConfirmLongHoldUs) {
        rK.ulState = MFWQZ_k_KEY_IDLE;
        MFWQZ_SetRemoteEnterState(MFWQZ_kCodeKeyMedium, MFWQZ_k_RS_FINAL);
      }
      return 1;
    default:
      return 0;
  }
}

u8 MFWQZ_CorvaneFormat(void) { return 1; }

/// Empties one user-data file; the state to go to, or the current state to retry (busy).
static u32 MFWQZ_EmptyFile(const char* name, u32 emptied, u32 next) {
  MFWQZ_UsrDataFormatState& rU = MFWQZ_UsrDataFormat;
  const i32 lHandle = HNFffs_Open(name, "w");
  if (lHandle == HNFffs_kBusy) {
    return MFWQZ_SinceUs(rU.ulEntryUs) > MFWQZ_kUsrBusyUs ? MFWQZ_k_USR_FAILED : rU.ulState;
  }
  // The pseudo handle of a refused "PARDATA1.BIN" empties nothing.
  if (lHandle < 0 || lHandle == SCM_PARDATA_PSEUDO_HANDLE) {
    return MFWQZ_k_USR_FAILED;
  }
  if (HNFffs_Close(lHandle) != 0) {
    return MFWQZ_k_USR_FAILED;
  }
  MFWQZ_EnregisterEventLevel(MFWQZ_kEvtFileEmptied, 0, emptied, MFWQZ_kFileEventLevel);
  return next;
}

u8 MFWQZ_UsrDataFormatMain(void) {
  MFWQZ_UsrDataFormatState& rU = MFWQZ_UsrDataFormat;
  const u8 ucFirst = MFWQZ_FirstCall(rU.ulState, &rU.ulPrevious, &rU.ulEntryUs);
  switch (rU.ulState) {
    case MFWQZ_k_USR_IDLE:
      return 1;
    case MFWQZ_k_USR_PARDATA:
      rU.ulState = MFWQZ_EmptyFile(MFWQZ_kParDataName, MFWQZ_kEmptiedParData, MFWQZ_k_USR_AUTOCNF);
      return 1;
    case MFWQZ_k_USR_AUTOCNF:
      rU.ulState = MFWQZ_EmptyFile(MFWQZ_kAutoCnfName, MFWQZ_kEmptiedAutoCnf, MFWQZ_k_USR_DONE);
      return 1;
    case MFWQZ_k_USR_DONE:
    case MFWQZ_k_USR_FAILED:
      if (ucFirst == 1) {
        const u32 ulRemote = MFWQZ_RemoteOrderPending(MFWQZ_kCodeFormat);
        rU.ulHoldUs = (rU.ulState == MFWQZ_k_USR_FAILED || ulRemote == 1) ? MFWQZ_kConfirmLongHoldUs
                                                                          : MFWQZ_kConfirmHoldUs;
        // A reset follows: the order is final.
        MFWQZ_SetRemoteEnterState(MFWQZ_kCodeFormat, MFWQZ_k_RS_FINAL);
      }
      if (MFWQZ_SinceUs(rU.ulEntryUs) >= rU.ulHoldUs) {
        rU.ulState = MFWQZ_k_USR_IDLE;
        (void)HNFiff_SafePlcReset();
      }
      return 1;
    default:
      return 0;
  }
}
