// The older release's confirmation, key-medium change and user-data format
// machines, in place of the current release's (firmware/app).
//
// An order may combine parts (key medium 0x200, firmware 0x100, an exchange
// 0x20..0x60): the confirmation takes one part per pass, waits until that
// part's action has ended, adds it to the last completed code and hands the
// order back to itself (remote state 1) while parts remain. Once every part is
// done an order that changed the key medium or the firmware resets the safe
// controller. The key-medium change writes Qor variable 4 and reloads nothing:
// the reset makes the new identity count.
#include "HNFcyc.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"

namespace {

/// Parts of an order that end in a reset of the safe controller (key medium, firmware).
constexpr u32 kResettingParts = MFWQZ_kCodeKeyMedium | MFWQZ_kCodeFirmware;
/// The exchange part of an order.
constexpr u32 kExchangePart = 0x00F0;
/// An exchange part is confirmed only while the last completed code's low byte is at most this.
constexpr u32 kExchangeLowMax = 15;

/// The part of the stored order to confirm next: the key medium, then the firmware, then the exchange;
/// an order without parts is confirmed whole.
u32 NextPart(u32 code, u32 lastCompleted) {
  if ((code & MFWQZ_kCodeKeyMedium) != 0 && (lastCompleted & MFWQZ_kCodeKeyMedium) == 0) {
    return MFWQZ_kCodeKeyMedium;
  }
  if ((code & MFWQZ_kCodeFirmware) != 0 && (lastCompleted & MFWQZ_kCodeFirmware) == 0) {
    return MFWQZ_kCodeFirmware;
  }
  if ((code & kExchangePart) != 0 && (lastCompleted & 0xFFu) <= kExchangeLowMax) {
    return code & kExchangePart;
  }
  return code;
}

/// State 4 after its hold, for a remote order: waits for the part's action, then books the part.
void PartEnded(MFWQZ_ConfirmState& rC) {
  if (MFWQZ_gulConfirmCode == MFWQZ_kCodeLongHold) {
    MFWQZ_Remote.ulLongHold = 0;
    MFWQZ_Remote.ulState = MFWQZ_k_RS_NONE;
  }
  const u32 ulState = MFWQZ_Remote.ulState;
  if (ulState != MFWQZ_k_RS_NONE && ulState != MFWQZ_k_RS_FINAL) {
    if (MFWQZ_SinceUs(rC.ulEntryUs) > MFWQZ_kConfirmPartWaitUs) {
      rC.ulState = MFWQZ_k_CNF_INVALID;
    }
    return;
  }
  MFWQZ_Remote.ulLastCompleted |= MFWQZ_gulConfirmCode;
  const u32 ulOrder = MFWQZ_GetU16(MFWQZ_RemoteCmd + MFWQZ_kCmdOffCode);
  if (MFWQZ_Remote.ulLastCompleted == ulOrder) {
    rC.ulState = (ulOrder & kResettingParts) != 0 ? MFWQZ_k_CNF_RESET : MFWQZ_k_CNF_START;
    return;
  }
  // Parts remain: the order goes back to the confirmation, whatever the part's action left as remote state.
  MFWQZ_Remote.ulState = MFWQZ_k_RS_ACCEPTED;
  rC.ulState = MFWQZ_k_CNF_START;
}

}  // namespace

u8 MFWQZ_Confirmation(void) {
  MFWQZ_ConfirmState& rC = MFWQZ_Confirm;
  switch (rC.ulState) {
    case MFWQZ_k_CNF_IDLE:
      (void)MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs);
      if (MFWQZ_Remote.ulState == MFWQZ_k_RS_ACCEPTED) {
        MFWQZ_ConfirmTake(NextPart(MFWQZ_GetU16(MFWQZ_RemoteCmd + MFWQZ_kCmdOffCode), MFWQZ_Remote.ulLastCompleted));
      }
      return 1;
    case MFWQZ_k_CNF_HOLD:
      if (MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs) == 1) {
        return MFWQZ_ConfirmEntry();
      }
      if (MFWQZ_SinceUs(rC.ulEntryUs) >= MFWQZ_ConfirmHoldUs()) {
        if (rC.ulRemote == 1) {
          PartEnded(rC);
        } else {
          rC.ulState = MFWQZ_k_CNF_START;
        }
      }
      return 1;
    case MFWQZ_k_CNF_RESET:
      (void)MFWQZ_FirstCall(rC.ulState, &rC.ulPrevious, &rC.ulEntryUs);
      if (MFWQZ_SinceUs(rC.ulEntryUs) > MFWQZ_kConfirmResetUs) {
        rC.ulState = MFWQZ_k_CNF_START;
        (void)HNFiff_SafePlcReset();
      }
      return 1;
    default:
      return MFWQZ_ConfirmCommonState();
  }
}

u8 MFWQZ_CorvaneChgCnf(void) {
  MFWQZ_MachineState& rK = MFWQZ_KeyCnf;
  (void)MFWQZ_FirstCall(rK.ulState, &rK.ulPrevious, &rK.ulEntryUs);
  switch (rK.ulState) {
    case MFWQZ_k_KEY_IDLE:
    case MFWQZ_k_KEY_CHANGED:
      return MFWQZ_KeyWatch();
    case MFWQZ_k_KEY_WRITE: {
      // Revision reports wait while the configured revisions are rebuilt from the file and written back.
      MFWQZ_gbLockPostFw = 1;
      (void)MFWQZ_ClearCnfRev();
      u8 ucDone = 0;
      if (MFWQZ_RevLoad() != 1) {
        // Nothing is written: the hold-off of the host's resets the order took ends here.
        MFWQZ_AllowResets();
      } else {
        ucDone = MFWQZ_RevStore() == 1 && MFWQZ_SetCorvaneId() == 1 ? 1 : 0;
      }
      rK.ulState = ucDone == 1 ? MFWQZ_k_KEY_HOLD : MFWQZ_k_KEY_OLD_FAILED;
      MFWQZ_gbLockPostFw = 0;
      return 1;
    }
    case MFWQZ_k_KEY_HOLD:
      if (MFWQZ_SinceUs(rK.ulEntryUs) >= MFWQZ_kKeyHoldUs) {
        rK.ulState = MFWQZ_k_KEY_IDLE;
        if (MFWQZ_RemoteOrderPending(MFWQZ_kCodeKeyMedium) == 1) {
          MFWQZ_SetRemoteEnterState(MFWQZ_kCodeKeyMedium, MFWQZ_k_RS_FINAL);
          MFWQZ_bCorvaneChanged = 0;
        } else {
          (void)HNFiff_SafePlcReset();
        }
      }
      return 1;
    case MFWQZ_k_KEY_OLD_FAILED:
      return MFWQZ_KeyFailedHold();
    default:
      // A state the machine cannot be in: back to idle, and this cycle's later steps wait.
      rK.ulState = MFWQZ_k_KEY_IDLE;
      return 0;
  }
}

u8 MFWQZ_UsrDataFormatMain(void) {
  // "PARDATA1.BIN" stays as it is. "AUTOCNF.BIN" opened for writing is emptied, and closed again like
  // every file the format empties.
  static constexpr MFWQZ_UsrDataStep kSteps[] = {
      {MFWQZ_k_USR_OLD_AUTOCNF, MFWQZ_kAutoCnfName, MFWQZ_kEmptiedAutoCnf, MFWQZ_k_USR_OLD_DONE},
  };
  return MFWQZ_UsrDataFormatRun(kSteps, 1, MFWQZ_k_USR_OLD_DONE, MFWQZ_k_USR_OLD_FAILED);
}
