// PLACEHOLDER: see MFWQZ_Confirm_Placeholder.h. The confirmation takes an
// accepted remote order, runs its action after half a second and completes
// it 0.8 s later (5 s for the long confirmation); the writer of
// "fwrevcnf.bin" writes nothing, releases the reset hold-off as the real one
// does and reports what the test asks.
#include "MFWQZ_Confirm_Placeholder.h"

#include "HNFevt.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "MFWQZ_Placeholder.h"
#include "MFWQZ_Remote.h"
#include "ScmSystemCalls.h"

MFWQZ_ConfirmState MFWQZ_Confirm;
MFWQZ_MachineState MFWQZ_KeyCnf;
MFWQZ_MachineState MFWQZ_KeyFormat;
u32 MFWQZ_gulPlaceholderRevStoreCalls;
u32 MFWQZ_gulPlaceholderRevStoreAccept;
u32 MFWQZ_gulPlaceholderRevStoreResult = 1;
u32 MFWQZ_gulPlaceholderSetupMode;

u32 MFWQZ_IsSetupModeActive(void) { return MFWQZ_gulPlaceholderSetupMode; }

u32 MFWQZ_RevStore(u32 acceptCurrent) {
  ++MFWQZ_gulPlaceholderRevStoreCalls;
  MFWQZ_gulPlaceholderRevStoreAccept = acceptCurrent;
  (void)ScmUnlockReset(HNFstp_usSdn);
  return MFWQZ_gulPlaceholderRevStoreResult;
}

/// Microseconds since the current state was entered (wrap-safe).
static u32 MFWQZ_ConfirmElapsedUs(void) {
  return static_cast<u32>(ScmGetUSecCounter()) - MFWQZ_Confirm.ulEntryUs;
}

static void MFWQZ_ConfirmEnter(u32 state) {
  MFWQZ_Confirm.ulPrevious = MFWQZ_Confirm.ulState;
  MFWQZ_Confirm.ulState = state;
  // Only the timed states need their entry time; idle waits for nothing.
  MFWQZ_Confirm.ulEntryUs = state == MFWQZ_k_CNF_IDLE ? 0 : static_cast<u32>(ScmGetUSecCounter());
}

/// The action of a confirmed order; 1 done.
static u32 MFWQZ_ConfirmAction(u32 code) {
  if (MFWQZ_IsQuitCode(code) == 1) {
    return MFWQZ_StartToQuitUdidMismatches();
  }
  switch (code) {
    case MFWQZ_kCodeRescan:
      return MFWQZ_StartScan(0);
    case MFWQZ_kCodeLongHold:
      MFWQZ_Remote.ulState = MFWQZ_k_RS_RUNNING;
      MFWQZ_Remote.ulLongHold = 1;
      return 1;
    case MFWQZ_kCodePassword:
      return MFWQZ_CnfPasswordChange();
    default:
      return 0;
  }
}

u8 MFWQZ_Confirmation(void) {
  // The call is recorded with the other machines' stand-ins; a test may make it hold the cycle.
  const u8 ucRecorded = MFWQZ_PhCall(MFWQZ_kPhConfirmation);
  return (MFWQZ_ConfirmStep() == 1 && ucRecorded == 1) ? 1 : 0;
}

u8 MFWQZ_ConfirmStep(void) {
  switch (MFWQZ_Confirm.ulState) {
    case MFWQZ_k_CNF_IDLE:
      if (MFWQZ_Remote.ulState == MFWQZ_k_RS_ACCEPTED) {
        MFWQZ_Confirm.ulRemote = 1;
        MFWQZ_Remote.ulCode = MFWQZ_GetU16(MFWQZ_RemoteCmd + MFWQZ_kCmdOffCode);
        MFWQZ_SetRemoteEnterState(MFWQZ_Remote.ulCode, MFWQZ_k_RS_CONFIRMING);
        MFWQZ_ConfirmEnter(MFWQZ_k_CNF_WAIT);
      }
      return 1;
    case MFWQZ_k_CNF_WAIT:
      if (MFWQZ_ConfirmElapsedUs() > MFWQZ_kConfirmWaitUs) {
        const u32 ulDone = MFWQZ_ConfirmAction(MFWQZ_Remote.ulCode);
        HNFevt_EnregisterEventLevel(MFWQZ_kEvtRemote, static_cast<u16>(ulDone == 1 ? 3 : 4), MFWQZ_Remote.ulCode,
                                    MFWQZ_kRemoteEventLevel);
        MFWQZ_ConfirmEnter(MFWQZ_k_CNF_HOLD);
        return static_cast<u8>(ulDone);
      }
      return 1;
    case MFWQZ_k_CNF_HOLD: {
      const u32 ulHoldUs = MFWQZ_Remote.ulLongHold != 0 ? MFWQZ_kConfirmLongHoldUs : MFWQZ_kConfirmHoldUs;
      if (MFWQZ_ConfirmElapsedUs() >= ulHoldUs) {
        MFWQZ_Remote.ulLongHold = 0;
        if (MFWQZ_Remote.ulState != MFWQZ_k_RS_FINAL) {
          MFWQZ_Remote.ulState = MFWQZ_k_RS_NONE;
        }
        MFWQZ_Remote.ulLastCompleted = MFWQZ_Remote.ulCode;
        MFWQZ_Confirm.ulRemote = 0;
        MFWQZ_ConfirmEnter(MFWQZ_k_CNF_IDLE);
      }
      return 1;
    }
    default:
      // Power-up state: ready for the first order.
      MFWQZ_Confirm.ulRemote = 0;
      MFWQZ_ConfirmEnter(MFWQZ_k_CNF_IDLE);
      return 1;
  }
}
