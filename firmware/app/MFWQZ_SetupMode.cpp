// Setup mode: a commissioning aid. While it is on, the SCM accepts exchanged
// modules, firmware differences and a changed key medium by itself, handing
// the selection to the confirmation machine without an order; while it is
// off it may still accept firmware differences or a key-medium change when
// the commissioning settings ask for it. Switching writes "fwrevcnf.bin"
// (flag 0x10) and sends Qor variable 6; switching off by the operator ends in
// a reset of the safe controller. The older release has none of it
// (firmware/legacy/MFWQZ_NoSetupMode.cpp).
#include <cstring>

#include "HNFcyc.h"
#include "HNFevt.h"
#include "HNFiff_ModuleState.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "ScmSystemCalls.h"

MFWQZ_SetupModeRecord MFWQZ_SetupModeDesc;
u32 MFWQZ_gbSetupKeyDone;
u32 MFWQZ_gbSetupUdidDone;
u32 MFWQZ_gbSetupFwDone;
u32 MFWQZ_gbSetupErrorReported;
u64 MFWQZ_gullSetupLogUs;
/// 1 once the reset after an operator's switch-off was carried out.
static u32 MFWQZ_sbSetupResetDone;

/// Information0 of the setup-mode events.
enum : u16 {
  MFWQZ_kSmOnAtInit = 1,     ///< switched on at initialisation (level 2)
  MFWQZ_kSmOn = 2,           ///< switched on by the operator (level 2)
  MFWQZ_kSmOff = 3,          ///< switched off by the operator (level 1)
  MFWQZ_kSmHourly = 4,       ///< still on, every hour (level 2)
  MFWQZ_kSmError = 6,        ///< error state (level 3, information1 the previous state)
  MFWQZ_kSmKeyMedium = 7,    ///< key-medium change accepted by itself (level 1)
  MFWQZ_kSmExchange = 8,     ///< exchanged modules accepted by itself (level 1, information1 the count)
  MFWQZ_kSmFirmware = 9      ///< firmware differences accepted by itself (level 1, information1 the count)
};
/// Commissioning settings (0x210B/1, /2, /3) by index.
static constexpr u32 MFWQZ_kCommOnAfterEmpty = 0;
static constexpr u32 MFWQZ_kCommAcceptFirmware = 1;
static constexpr u32 MFWQZ_kCommAcceptKeyMedium = 2;
/// Selections for 1 to 5 or more mismatches.
static constexpr u32 MFWQZ_kQuitByCount[6] = {0, MFWQZ_kCodeQuit1, MFWQZ_kCodeQuit2, MFWQZ_kCodeQuit3,
                                              MFWQZ_kCodeQuit4, MFWQZ_kCodeQuit5};

u32 MFWQZ_IsSetupModeActive(void) { return MFWQZ_SetupModeDesc.ulState == MFWQZ_k_SM_ON ? 1 : 0; }

/// Goes to state, remembering the state left and the time.
static void MFWQZ_SetupGo(u32 state) {
  MFWQZ_SetupModeDesc.ulPrevious = MFWQZ_SetupModeDesc.ulState;
  MFWQZ_SetupModeDesc.ulState = state;
  MFWQZ_SetupModeDesc.ulChangeUs = static_cast<u32>(ScmGetUSecCounter());
}

void MFWQZ_ActivateSetupMode(u32 fromInit) {
  MFWQZ_SetupGo(MFWQZ_k_SM_ON_REQ);
  MFWQZ_SetupModeDesc.ulFromInit = fromInit;
}

void MFWQZ_DeActivateSetupMode(u32 fromInit) {
  MFWQZ_SetupGo(MFWQZ_k_SM_OFF_REQ);
  MFWQZ_SetupModeDesc.ulFromInit = fromInit;
}

u8 MFWQZ_SetupModeOrder(u32 on) {
  if (on != 0) {
    MFWQZ_ActivateSetupMode(0);
  } else {
    MFWQZ_DeActivateSetupMode(0);
  }
  return 1;
}

i32 MFWQZ_SendSetupModeToQor(u32 on) {
  u8 aucValue[2];
  MFWQZ_PutU16(aucValue, on != 0 ? 1 : 0);
  return WriteValueToQor(MFWQZ_kQorVarSetupMode, sizeof(aucValue), aucValue);
}

void MFWQZ_TriggerSetupModeToQor(void) { HNFcyc_TriggerSendSetupModeToQorInBgTask = 1; }

void MFWQZ_SetupModeToQorWhenTriggered(void) {
  if (HNFcyc_TriggerSendSetupModeToQorInBgTask != 0) {
    (void)MFWQZ_SendSetupModeToQor(MFWQZ_IsSetupModeActive());
    HNFcyc_TriggerSendSetupModeToQorInBgTask = 0;
  }
}

void MFWQZ_SetupModeInit(void) {
  const u32 ulAfterEmpty =
      (MFWQZ_CvEmptyBeforeBoot != 0 && MFWQZ_gSodCommisioningParameter[MFWQZ_kCommOnAfterEmpty] != 0) ? 1 : 0;
  const u32 ulKept = (MFWQZ_QorUdidIsAccepted() == 1 && MFWQZ_SetupModeFlagRead == 1) ? 1 : 0;
  MFWQZ_sbSetupResetDone = 0;
  if (ulAfterEmpty == 1 || ulKept == 1) {
    MFWQZ_ActivateSetupMode(1);
  } else {
    MFWQZ_DeActivateSetupMode(1);
  }
}

/// The writes of an operator's switch: resets held off, "fwrevcnf.bin", then files invalid and variable 6
/// sent; 1 written. A failed write changes neither (the file is the old one).
static u32 MFWQZ_SetupWrite(void) {
  MFWQZ_HoldOffResets();
  if (MFWQZ_FwRevStore(0) != 1) {
    return 0;
  }
  MFWQZ_ValidFiles = 0;
  HNFcyc_TriggerSendSetupModeToQorInBgTask = 1;
  return 1;
}

/// State 3: switch on.
static u8 MFWQZ_SetupSwitchOn(void) {
  MFWQZ_SetupGo(MFWQZ_k_SM_ON);
  MFWQZ_gullSetupLogUs = ScmGetUSecCounter();
  if (MFWQZ_SetupModeDesc.ulFromInit == 1) {
    MFWQZ_EnregisterEventLevel(MFWQZ_kEvtSetupMode, MFWQZ_kSmOnAtInit, 0, MFWQZ_kFileEventLevel);
    return 1;
  }
  if (MFWQZ_SetupWrite() != 1) {
    MFWQZ_SetupGo(MFWQZ_k_SM_ERROR);
    MFWQZ_SetRemoteEnterState(MFWQZ_kCodeSetupOn, MFWQZ_k_RS_FINAL);
    return 0;
  }
  MFWQZ_gbTriggerReloadRev = 1;
  MFWQZ_gbScanAfterReloadRev = 0;
  MFWQZ_CompleteRemoteOrder(MFWQZ_kCodeSetupOn);
  MFWQZ_EnregisterEventLevel(MFWQZ_kEvtSetupMode, MFWQZ_kSmOn, 0, MFWQZ_kFileEventLevel);
  return 1;
}

/// State 4: switch off.
static u8 MFWQZ_SetupSwitchOff(void) {
  MFWQZ_SetupGo(MFWQZ_k_SM_OFF);
  MFWQZ_gullSetupLogUs = ScmGetUSecCounter();
  const u32 ulRemote = MFWQZ_RemoteOrderPending(MFWQZ_kCodeSetupOff);
  MFWQZ_SetupModeDesc.ulHoldUs = ulRemote == 1 ? MFWQZ_kSetupOffHoldUs : MFWQZ_kSetupOffHoldLocalUs;
  if (ulRemote == 1) {
    // A reset follows: the order is final.
    MFWQZ_SetRemoteEnterState(MFWQZ_kCodeSetupOff, MFWQZ_k_RS_FINAL);
  }
  if (MFWQZ_SetupModeDesc.ulFromInit == 1) {
    return 1;
  }
  if (MFWQZ_SetupWrite() != 1) {
    MFWQZ_SetupGo(MFWQZ_k_SM_ERROR);
    return 0;
  }
  MFWQZ_EnregisterEventLevel(MFWQZ_kEvtSetupMode, MFWQZ_kSmOff, 0, MFWQZ_kRemoteEventLevel);
  return 1;
}

/// Hands a selection to the confirmation machine's state 4 with resets held off.
static void MFWQZ_HandOver(u32 selection, u32 event, u16 information0, u32 information1) {
  MFWQZ_HoldOffResets();
  MFWQZ_EnregisterEventLevel(event, information0, information1, MFWQZ_kRemoteEventLevel);
  MFWQZ_gulHandedSelection = selection;
  MFWQZ_Confirm.ulState = MFWQZ_k_CNF_HOLD;
}

/// 1 when automatic acceptance may look at the situation: confirmation idle, module normal, files valid.
static u32 MFWQZ_SetupMayAccept(void) {
  return (MFWQZ_Confirm.ulState == MFWQZ_k_CNF_IDLE && HNFiff_ModuleStateRead() == HNFiff_kModuleStateNormal &&
          MFWQZ_ValidFiles == 1)
             ? 1
             : 0;
}

/// A key-medium change waiting that the check table passes and that was not yet handed over.
static u32 MFWQZ_KeyMediumToAccept(void) {
  return (MFWQZ_KeyCnf.ulState == MFWQZ_k_KEY_CHANGED && MFWQZ_gbSetupKeyDone == 0 &&
          Check_Remote_Enter_Command(MFWQZ_kCodeKeyMedium, MFWQZ_kCodeKeyMedium, 0) == MFWQZ_k_RES_OK)
             ? 1
             : 0;
}

/// Firmware differences that the check table passes and that were not yet handed over.
static u32 MFWQZ_FirmwareToAccept(void) {
  return (MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_FIRMWARE && MFWQZ_gbSetupFwDone == 0 &&
          Check_Remote_Enter_Command(MFWQZ_kCodeFirmware, 0, 0) == MFWQZ_k_RES_OK)
             ? 1
             : 0;
}

/// State 1: the reset after an operator's switch-off, else the acceptances the settings ask for.
static u8 MFWQZ_SetupOff(void) {
  const MFWQZ_SetupModeRecord& rD = MFWQZ_SetupModeDesc;
  if (rD.ulPrevious == MFWQZ_k_SM_OFF_REQ && rD.ulFromInit == 0) {
    if (MFWQZ_sbSetupResetDone == 0 &&
        static_cast<u32>(ScmGetUSecCounter()) - rD.ulChangeUs >= rD.ulHoldUs && HNFiff_SafePlcReset() == 1) {
      MFWQZ_sbSetupResetDone = 1;
    }
    return 1;
  }
  if (MFWQZ_SetupMayAccept() == 0) {
    return 1;
  }
  if (MFWQZ_gSodCommisioningParameter[MFWQZ_kCommAcceptKeyMedium] == 1 && MFWQZ_KeyMediumToAccept() == 1) {
    MFWQZ_HandOver(MFWQZ_kCodeKeyMedium, MFWQZ_kEvtSetupOffAccept, MFWQZ_kSmKeyMedium, 0);
    MFWQZ_gbSetupKeyDone = 1;
  } else if (MFWQZ_gSodCommisioningParameter[MFWQZ_kCommAcceptFirmware] == 1 && MFWQZ_FirmwareToAccept() == 1) {
    MFWQZ_HandOver(MFWQZ_kCodeFirmware, MFWQZ_kEvtSetupOffAccept, MFWQZ_kSmFirmware, MFWQZ_ulNumberOfDiffFirmware);
    MFWQZ_gbSetupFwDone = 1;
  }
  return 1;
}

/// State 2: everything a commissioning needs is accepted by itself, once per situation.
static u8 MFWQZ_SetupOn(void) {
  if (MFWQZ_SetupModeDesc.ulPrevious != MFWQZ_k_SM_ON_REQ) {
    MFWQZ_SetupGo(MFWQZ_k_SM_ERROR);
    return 1;
  }
  const u64 ullNow = ScmGetUSecCounter();
  if (ullNow - MFWQZ_gullSetupLogUs >= MFWQZ_kSetupReminderUs) {
    MFWQZ_gullSetupLogUs = ullNow;
    MFWQZ_EnregisterEventLevel(MFWQZ_kEvtSetupMode, MFWQZ_kSmHourly, 0, MFWQZ_kFileEventLevel);
  }
  if (MFWQZ_SetupMayAccept() == 0) {
    return 1;
  }
  // One reading per pass: the count that chooses the selection is the one the check table saw.
  const u32 ulMismatches = MFWQZ_ulNumberOfUdidMisMatches;
  const u32 ulExchange = MFWQZ_ModChg.ulState;
  const u32 ulSelection = MFWQZ_kQuitByCount[ulMismatches < 5 ? ulMismatches : 5];
  if (MFWQZ_KeyMediumToAccept() == 1) {
    MFWQZ_HandOver(MFWQZ_kCodeKeyMedium, MFWQZ_kEvtSetupMode, MFWQZ_kSmKeyMedium, 0);
    MFWQZ_gbSetupKeyDone = 1;
  } else if ((ulExchange == MFWQZ_k_XCHG_FEW || ulExchange == MFWQZ_k_XCHG_MANY) && MFWQZ_gbSetupUdidDone == 0 &&
             ulSelection != 0 && Check_Remote_Enter_Command(static_cast<u16>(ulSelection), 0, 0) == MFWQZ_k_RES_OK) {
    MFWQZ_gbSetupUdidDone = 1;
    MFWQZ_HandOver(ulSelection, MFWQZ_kEvtSetupMode, MFWQZ_kSmExchange, ulMismatches);
  } else if (MFWQZ_FirmwareToAccept() == 1) {
    MFWQZ_HandOver(MFWQZ_kCodeFirmware, MFWQZ_kEvtSetupMode, MFWQZ_kSmFirmware, MFWQZ_ulNumberOfDiffFirmware);
    MFWQZ_gbSetupFwDone = 1;
  }
  return 1;
}

u8 MFWQZ_SetupMode(void) {
  if (MFWQZ_ulNumberOfUdidMisMatches == 0) {
    MFWQZ_gbSetupUdidDone = 0;
  }
  if (MFWQZ_ulNumberOfDiffFirmware == 0) {
    MFWQZ_gbSetupFwDone = 0;
  }
  switch (MFWQZ_SetupModeDesc.ulState) {
    case MFWQZ_k_SM_NONE:
      return 1;
    case MFWQZ_k_SM_OFF:
      return MFWQZ_SetupOff();
    case MFWQZ_k_SM_ON:
      return MFWQZ_SetupOn();
    case MFWQZ_k_SM_ON_REQ:
      return MFWQZ_SetupSwitchOn();
    case MFWQZ_k_SM_OFF_REQ:
      return MFWQZ_SetupSwitchOff();
    default:
      if (MFWQZ_gbSetupErrorReported == 0) {
        MFWQZ_gbSetupErrorReported = 1;
        MFWQZ_EnregisterEventLevel(MFWQZ_kEvtSetupMode, MFWQZ_kSmError, MFWQZ_SetupModeDesc.ulPrevious,
                                   HNFevt_kLevelFatal);
      }
      return 0;
  }
}
