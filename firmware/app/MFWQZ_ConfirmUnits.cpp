// The confirmation, key-medium change and user-data format machines of this
// release. The older release replaces this file (its confirmation takes a
// combined order part by part, its key-medium change writes Qor variable 4
// and its format leaves "PARDATA1.BIN" alone); both build on the shared
// states and helpers of MFWQZ_Confirm.cpp.
#include "HNFcyc.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"

u8 MFWQZ_Confirmation(void) {
  MFWQZ_ConfirmState& rC = MFWQZ_Confirm;
  switch (rC.ulState) {
    case MFWQZ_k_CNF_IDLE:
      (void)MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs);
      if (MFWQZ_Remote.ulState == MFWQZ_k_RS_ACCEPTED) {
        // The machine's own copy: a later command rewriting the stored one cannot change what is confirmed.
        MFWQZ_ConfirmTake(MFWQZ_GetU16(MFWQZ_RemoteCmd + MFWQZ_kCmdOffCode));
      }
      return 1;
    case MFWQZ_k_CNF_HOLD:
      if (MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs) == 1) {
        return MFWQZ_ConfirmEntry();
      }
      if (MFWQZ_SinceUs(rC.ulEntryUs) >= MFWQZ_ConfirmHoldUs()) {
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
    default:
      return MFWQZ_ConfirmCommonState();
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
    case MFWQZ_k_KEY_CHANGED:
      return MFWQZ_KeyWatch();
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
      return MFWQZ_KeyFailedHold();
    default:
      return 0;
  }
}

u8 MFWQZ_UsrDataFormatMain(void) {
  static constexpr MFWQZ_UsrDataStep kSteps[] = {
      {MFWQZ_k_USR_PARDATA, MFWQZ_kParDataName, MFWQZ_kEmptiedParData, MFWQZ_k_USR_AUTOCNF},
      {MFWQZ_k_USR_AUTOCNF, MFWQZ_kAutoCnfName, MFWQZ_kEmptiedAutoCnf, MFWQZ_k_USR_DONE},
  };
  return MFWQZ_UsrDataFormatRun(kSteps, 2, MFWQZ_k_USR_DONE, MFWQZ_k_USR_FAILED);
}
