// Remote control commands: length and class rules, the password, the pending
// order and the check table decide whether an enter command is accepted; an
// accepted one is stored for the confirmation machine. Every command gets
// exactly one answer, echoing the channel identifier.
#include <cstring>

#include "HNFcyc.h"
#include "HNFevt.h"
#include "HNFiff_CmdChnl.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "ScmProfile.h"
#include "ScmSystemCalls.h"

u8 MFWQZ_RemoteCmd[MFWQZ_kCmdPwdLength];
MFWQZ_RemoteState MFWQZ_Remote;
u8 MFWQZ_aucRemoteAnswer[MFWQZ_kStatusSize];

void MFWQZ_RemoteEvent(u16 result, u32 information1) {
  const u8 ucLevel = (result == MFWQZ_k_RES_NO_IDENTITY || result == MFWQZ_k_RES_SEND) ? HNFevt_kLevelWarning
                                                                                          : MFWQZ_kRemoteEventLevel;
  HNFevt_EnregisterEventLevel(MFWQZ_kEvtRemote, result, information1, ucLevel);
}

u32 MFWQZ_IsPasswordEmpty(void) {
  for (u32 i = 0; i < MFWQZ_kPasswordBytes; ++i) {
    if (MFWQZ_gaucPassword[i] != 0) {
      return 0;
    }
  }
  return 1;
}

/// The authorisation hook: this system grants every kind.
static u32 MFWQZ_IsAuthorised(u32 /*kind*/) { return 1; }

/// The first failing check of one row in column order; 0 when all pass.
static u16 MFWQZ_CheckRow(const MFWQZ_RemoteCheckRow& row, u32 keyAcceptOrdered) {
  if (row.usNotAuth != 0 && MFWQZ_IsAuthorised(row.ulAuthKind) == 0) {
    return row.usNotAuth;
  }
  if (row.usQuitting != 0 && MFWQZ_gbQuitAll == 1) {
    return row.usQuitting;
  }
  if (row.usScanning != 0 && MFWQZ_gbScanning == 1) {
    return row.usScanning;
  }
  if (row.usKeyBusy != 0 && MFWQZ_KeyCnf.ulState >= 2) {
    return row.usKeyBusy;
  }
  if (row.usKeyFormat != 0 && MFWQZ_KeyFormat.ulState != 0) {
    return row.usKeyFormat;
  }
  if (row.usKeyResult != 0) {
    const u32 ulChanged = MFWQZ_bCorvaneChanged == 1 ? 1 : 0;
    const u32 ulPass = row.ulKeyRule == 1   ? ulChanged
                       : row.ulKeyRule == 0 ? ((ulChanged == 0 || keyAcceptOrdered != 0) ? 1 : 0)
                                            : 1;
    if (ulPass == 0) {
      return row.usKeyResult;
    }
  }
  if (row.usRangeResult != 0 && (MFWQZ_ulNumberOfUdidMisMatches < row.ulMinMismatches ||
                                 MFWQZ_ulNumberOfUdidMisMatches > row.ulMaxMismatches)) {
    return row.usRangeResult;
  }
  if (row.usNoFwDiff != 0 && MFWQZ_ulNumberOfDiffFirmware == 0) {
    return row.usNoFwDiff;
  }
  return MFWQZ_k_RES_OK;
}

u16 Check_Remote_Enter_Command(u16 code, u32 keyAcceptOrdered, u32 raiseEvents) {
  for (u32 i = 0; i < MFWQZ_kCheckRows && MFWQZ_RemoteCheckTable[i].ulCode != 0; ++i) {
    const MFWQZ_RemoteCheckRow& rRow = MFWQZ_RemoteCheckTable[i];
    if (rRow.ulCode != code) {
      continue;
    }
    const u16 usResult = MFWQZ_CheckRow(rRow, keyAcceptOrdered);
    if (usResult != MFWQZ_k_RES_OK && raiseEvents == 1) {
      MFWQZ_RemoteEvent(usResult, code);
    }
    if (usResult != MFWQZ_k_RES_CODE) {
      return usResult;
    }
  }
  return MFWQZ_CheckCodeWithoutRow(code, raiseEvents);
}

u32 MFWQZ_RemoteOrderPending(u32 code) {
  return (MFWQZ_Remote.ulState != MFWQZ_k_RS_NONE && MFWQZ_Remote.ulState != MFWQZ_k_RS_FINAL &&
          MFWQZ_Remote.ulCode == code)
             ? 1
             : 0;
}

void MFWQZ_SetRemoteEnterState(u32 code, u32 state) {
  if (MFWQZ_RemoteOrderPending(code) == 1) {
    MFWQZ_Remote.ulState = state;
  }
}

void MFWQZ_CompleteRemoteOrder(u32 code) {
  if (MFWQZ_RemoteOrderPending(code) == 1) {
    MFWQZ_Remote.ulState = MFWQZ_k_RS_NONE;
    if constexpr (SCM_kLegacy) {
      // The older release's order may have parts: the parts done before this one stay completed.
      MFWQZ_Remote.ulLastCompleted |= code;
    } else {
      MFWQZ_Remote.ulLastCompleted = code;
    }
  }
}

void MFWQZ_HoldOffResets(void) {
  if (ScmLockReset(HNFstp_usSdn) != 0) {
    HNFevt_EnregisterEventInfo(MFWQZ_kEvtLockReset, 0, 0);
  }
}

u16 MFWQZ_ProcessEnterCommand(const u8* cmd, u16 length, u32 passwordEmpty) {
  const u16 usCode = MFWQZ_GetU16(cmd + MFWQZ_kCmdOffCode);
  u16 usResult = MFWQZ_k_RES_OK;
  if (!SCM_kLegacy && usCode == MFWQZ_kCodePassThrough) {
    // Overwriting a pending order would hand the confirmation a code it refuses as fatal.
    if (MFWQZ_Remote.ulState != MFWQZ_k_RS_NONE && MFWQZ_Remote.ulState != MFWQZ_k_RS_FINAL) {
      usResult = MFWQZ_k_RES_PENDING;
    }
  } else if (MFWQZ_gbRemoteActive == 0) {
    usResult = MFWQZ_k_RES_NOT_ACTIVE;
  } else if (passwordEmpty == 0 &&
             std::memcmp(cmd + MFWQZ_kCmdOffPassword, MFWQZ_gaucPassword, MFWQZ_kPasswordBytes) != 0) {
    usResult = MFWQZ_k_RES_PASSWORD;
  } else if (MFWQZ_Remote.ulState != MFWQZ_k_RS_NONE) {
    usResult = MFWQZ_k_RES_PENDING;
  } else if (MFWQZ_Confirm.ulState != MFWQZ_k_CNF_IDLE) {
    usResult = MFWQZ_k_RES_CONFIRM_BUSY;
  }
  if (usResult != MFWQZ_k_RES_OK) {
    MFWQZ_RemoteEvent(usResult, usCode);
    return usResult;
  }
  usResult = Check_Remote_Enter_Command(usCode, usCode & MFWQZ_kCodeKeyMedium, 1);
  if (usResult == MFWQZ_k_RES_CODE) {
    MFWQZ_RemoteEvent(usResult, usCode);
  }
  if (usResult != MFWQZ_k_RES_OK) {
    return usResult;
  }
  if (MFWQZ_bCvnFromQorAvailable == 0 && usCode != MFWQZ_kCodePassword && usCode != MFWQZ_kCodeFormat) {
    MFWQZ_RemoteEvent(MFWQZ_k_RES_NO_IDENTITY, usCode);
    return MFWQZ_k_RES_NO_IDENTITY;
  }
  // The command's own bytes only; the rest of the copy is zero.
  const u32 ulCopy = length < MFWQZ_kCmdPwdLength ? length : MFWQZ_kCmdPwdLength;
  std::memset(MFWQZ_RemoteCmd, 0, sizeof(MFWQZ_RemoteCmd));
  std::memcpy(MFWQZ_RemoteCmd, cmd, ulCopy);
  MFWQZ_Remote.ulLastCompleted = 0;
  if (!SCM_kLegacy && usCode == MFWQZ_kCodePassThrough) {
    MFWQZ_Remote.ulCode = MFWQZ_kCodePassThrough;
  } else {
    MFWQZ_Remote.ulState = MFWQZ_k_RS_ACCEPTED;
  }
  return MFWQZ_k_RES_OK;
}

/// 1 when an accepted enter command of this code needs the host's resets held off until its file is written
/// (an exchange, the firmware, the key medium, a combination of them, or the password).
static u32 MFWQZ_NeedsResetLock(u16 code) {
  return ((code & MFWQZ_kCodeParts) != 0 && (code & MFWQZ_kCodeNotParts) == 0) || code == MFWQZ_kCodePassword ? 1 : 0;
}

void MFWQZ_ProcessFixSizeCommand(const u8* cmd, u16 length, u32 reply) {
  const u32 ulPasswordEmpty = MFWQZ_IsPasswordEmpty();
  const u16 usClass = MFWQZ_GetU16(cmd + MFWQZ_kCmdOffClass);
  const u16 usCode = MFWQZ_GetU16(cmd + MFWQZ_kCmdOffCode);
  u8* pucAnswer = nullptr;
  u32 ulAnswerLength = 0;
  u16 usResult = MFWQZ_k_RES_OK;
  u32 ulLengthOk = 1;
  if (usClass == MFWQZ_kClassEnter && usCode == MFWQZ_kCodePassword) {
    if (length != MFWQZ_kCmdPwdLength) {
      usResult = MFWQZ_k_RES_PWD_LENGTH;
      ulLengthOk = 0;
    } else if (ulPasswordEmpty == 1) {
      // The first password switches remote control on and the password change goes unchecked.
      MFWQZ_gbRemoteActive = 1;
      MFWQZ_RemoteCheckRow& rRow = MFWQZ_RemoteCheckTable[MFWQZ_kCheckRowPassword];
      if (rRow.ulCode == MFWQZ_kCodePassword) {
        rRow = MFWQZ_RemoteCheckRow{};
        rRow.ulCode = MFWQZ_kCodePassword;
      }
    }
  } else if (length != MFWQZ_kCmdLength) {
    usResult = MFWQZ_k_RES_LENGTH;
    ulLengthOk = 0;
  }
  if (ulLengthOk == 0) {
    MFWQZ_RemoteEvent(usResult, length);
  } else if (usClass == MFWQZ_kClassEnter) {
    usResult = MFWQZ_ProcessEnterCommand(cmd, length, ulPasswordEmpty);
  } else if (usClass == MFWQZ_kClassStatus) {
    usResult = MFWQZ_ProcessStatusCommand(cmd, &pucAnswer, &ulAnswerLength);
  } else {
    usResult = MFWQZ_k_RES_CLASS;
    MFWQZ_RemoteEvent(usResult, usClass);
  }
  if (pucAnswer == nullptr) {
    pucAnswer = MFWQZ_aucRemoteAnswer;
    ulAnswerLength = MFWQZ_kStatusSize;
    if (ulLengthOk == 0) {
      // A command of the wrong length is answered with class, echo and result only.
      std::memset(pucAnswer, 0, MFWQZ_kStatusSize);
      std::memcpy(pucAnswer, cmd, 4);
      pucAnswer[4] = static_cast<u8>(usResult);
      pucAnswer[5] = static_cast<u8>(usResult >> 8);
      // The module state as in every record, so that the checker reads no fail-safe into it.
      pucAnswer[19] = static_cast<u8>(HNFiff_ModuleStateRead());
    } else {
      (void)MFWQZ_RCStatus_Build(pucAnswer, cmd, usResult);
    }
  }
  if (usResult == MFWQZ_k_RES_OK && usClass == MFWQZ_kClassEnter && MFWQZ_NeedsResetLock(usCode) == 1) {
    MFWQZ_HoldOffResets();
  }
  if (HNFiff_RemoteControlSnd(pucAnswer, ulAnswerLength, static_cast<u16>(reply)) != 1) {
    MFWQZ_RemoteEvent(MFWQZ_k_RES_SEND, 0);
  }
}

void MFWQZ_RemoteControlRcv(const u8* payload, u16 length, u32 reply) {
  if (payload == nullptr) {
    HNFevt_EnregisterEventInfo(MFWQZ_kEvtNullArgument, 0, 0);
    return;
  }
  // A zero-padded copy: class, echo and code read 0 where the command is too short for them.
  u8 aucCmd[MFWQZ_kCmdPwdLength] = {};
  std::memcpy(aucCmd, payload, length < MFWQZ_kCmdPwdLength ? length : MFWQZ_kCmdPwdLength);
  const u16 usClass = MFWQZ_GetU16(aucCmd + MFWQZ_kCmdOffClass);
  // The older release has only fixed-size commands: there a variable-size class is refused by length or class.
  if constexpr (!SCM_kLegacy) {
    if ((usClass & MFWQZ_kClassVariableBit) != 0) {
      MFWQZ_ProcessVariableSizeCommand(aucCmd, length, reply);
      return;
    }
  }
  MFWQZ_ProcessFixSizeCommand(aucCmd, length, reply);
}

u32 MFWQZ_CnfPasswordChange(void) {
  u8 aucOld[MFWQZ_kPasswordKeptBytes];
  std::memcpy(aucOld, MFWQZ_gaucPassword, sizeof(aucOld));
  // The file first: only a written password becomes the password in RAM and in the Qor controller.
  std::memcpy(MFWQZ_gaucPassword, MFWQZ_RemoteCmd + MFWQZ_kCmdOffNewPassword, MFWQZ_kPasswordBytes);
  if (MFWQZ_FwRevStore(0) != 1) {
    std::memcpy(MFWQZ_gaucPassword, aucOld, sizeof(aucOld));
    return 0;
  }
  HNFcyc_TriggerSendPasswordToQorInBgTask = 1;
  MFWQZ_CompleteRemoteOrder(MFWQZ_kCodePassword);
  if constexpr (SCM_kLegacy) {
    // The older release loads nothing again after a password change, so the write's hold-off of the
    // revision reports ends here; kept, it would refuse every returning node until the next restart.
    MFWQZ_gbLockPostFw = 0;
    return 1;
  }
  MFWQZ_ValidFiles = 0;
  MFWQZ_gbTriggerReloadRev = 1;
  MFWQZ_gbScanAfterReloadRev = 0;
  return 1;
}
