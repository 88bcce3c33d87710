// Remote control records: the classic status record and the status requests
// (password information and check, controller UDID, address list, module
// flags); the new status record is built in a source of its own, which the
// older release's build leaves out.
#include <cstring>

#include "HNFevt.h"
#include "HNFiff_CmdChnl.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "MFWQZ_BusOd.h"
#include "MFWQZ_Remote.h"
#include "ScmProfile.h"

/// information0 of MFWQZ_kEvtNullArgument raised by the record builders.
static constexpr u16 k_NULL_RECORDS = 3;
/// information1 of a null argument: classic status record.
static constexpr u32 k_REC_STATUS = 0;
/// information1 of a null argument: password information.
static constexpr u32 k_REC_PWD_INFO = 1;
/// information1 of a null argument: address list.
static constexpr u32 k_REC_ADDRESS_LIST = 5;
/// information1 of a null argument: module flags.
static constexpr u32 k_REC_MODULE_FLAGS = 6;

// Module flag bits the records read.
static constexpr u32 k_FLAG_MISSING = 0x00000800u;      ///< missing registered
static constexpr u32 k_FLAG_FW_DIFF = 0x00008000u;      ///< firmware differs
static constexpr u32 k_FLAG_MISMATCH = 0x00000400u;     ///< UDID mismatch
static constexpr u32 k_FLAG_ENCODER = 0x00800000u;      ///< UDID change waiting for the operator



static void MFWQZ_SetBit(u8* bits, u32 j) { bits[j / 8] = static_cast<u8>(bits[j / 8] | (1u << (j % 8))); }

u32 MFWQZ_RecordArgs(const u8* answer, const u8* cmd, u32 record) {
  if (answer == nullptr || cmd == nullptr) {
    HNFevt_EnregisterEventInfo(MFWQZ_kEvtNullArgument, k_NULL_RECORDS, record);
    return 0;
  }
  return 1;
}

void MFWQZ_PutHead(u8* answer, const u8* cmd, u16 result) {
  std::memcpy(answer, cmd, 4);
  MFWQZ_PutU16(answer + 4, result);
}

/// While the firmware acceptance has become final, firmware differences are not shown.
static u32 MFWQZ_FirmwareHidden(void) {
  return ((MFWQZ_Remote.ulLastCompleted & MFWQZ_kCodeFirmware) != 0 && MFWQZ_Remote.ulState == MFWQZ_k_RS_FINAL)
             ? 1
             : 0;
}

u32 MFWQZ_KeyChangeAcceptable(void) {
  if constexpr (SCM_kLegacy) {
    // The older release's whole rule: changed, with a target id, while the Qor controller's identity is known.
    return (MFWQZ_bCvnFromQorAvailable != 0 && MFWQZ_bTargetMacAvailable != 0 && MFWQZ_bCorvaneChanged != 0) ? 1
                                                                                                              : 0;
  }
  if ((MFWQZ_Remote.ulLastCompleted & MFWQZ_kCodeKeyMedium) != 0 && MFWQZ_Remote.ulState == MFWQZ_k_RS_FINAL) {
    return 0;
  }
  return (MFWQZ_bCvnFromQorAvailable != 0 && MFWQZ_bTargetMacAvailable != 0 && MFWQZ_bCorvaneChanged != 0 &&
          MFWQZ_gbRemoteActive != 0 && HNFstp_IsCorvaneEmpty() == 0 && MFWQZ_IsSetupModeActive() == 0)
             ? 1
             : 0;
}

MFWQZ_ModuleCounts MFWQZ_CountModules(u8* record) {
  MFWQZ_ModuleCounts counts{};
  const u32 ulHideFw = MFWQZ_FirmwareHidden();
  for (u32 sadr = 1; sadr < MFWQZ_kModuleCount; ++sadr) {
    const u32 ulFlags = MFWQZ_ModuleInfo[sadr].ulFlags;
    if ((ulFlags & MFWQZ_kFlagConfigured) == 0) {
      continue;
    }
    if (SCM_kLegacy && counts.ulConfigured == MFWQZ_kStatusModules) {
      // The older release examines only the modules the record can show; its counts cover them alone.
      break;
    }
    const u32 j = counts.ulConfigured++;
    const u32 ulMismatch = ((ulFlags & k_FLAG_MISMATCH) != 0 ? 1u : 0u) + ((ulFlags & k_FLAG_ENCODER) != 0 ? 1u : 0u);
    u32 ulArray = 0;  // 0 none, else the offset of the module's bit array
    if (ulMismatch != 0) {
      counts.ulMismatches += ulMismatch;
      ulArray = 244;
    } else if ((ulFlags & k_FLAG_FW_DIFF) != 0 && ulHideFw == 0) {
      ++counts.ulFirmware;
      ulArray = 260;
    } else if ((ulFlags & k_FLAG_MISSING) != 0) {
      ++counts.ulMissing;
      ulArray = 228;
    }
    if (record != nullptr && j < MFWQZ_kStatusModules) {
      MFWQZ_PutU16(record + 26 + 2 * j, sadr);
      if (ulArray != 0) {
        MFWQZ_SetBit(record + ulArray, j);
      }
    }
  }
  if (MFWQZ_IsSetupModeActive() != 0) {
    counts.ulMismatches = 0;
    counts.ulFirmware = 0;
  }
  return counts;
}

u32 MFWQZ_RCStatus_Build(u8* answer, const u8* cmd, u16 result) {
  if (MFWQZ_RecordArgs(answer, cmd, k_REC_STATUS) == 0) {
    return 0;
  }
  std::memset(answer, 0, MFWQZ_kStatusSize);
  MFWQZ_PutHead(answer, cmd, result);
  const u16 usStoredCode = MFWQZ_GetU16(MFWQZ_RemoteCmd + MFWQZ_kCmdOffCode);
  const u32 ulState = MFWQZ_Remote.ulState;
  const u32 ulShown = ((MFWQZ_Remote.ulLastCompleted | MFWQZ_Remote.ulCode) == usStoredCode ||
                       (ulState != MFWQZ_k_RS_NONE && ulState != MFWQZ_k_RS_FINAL))
                          ? ulState
                          : MFWQZ_k_RS_CONFIRMING;
  MFWQZ_PutU16(answer + 6, ulShown);
  MFWQZ_PutU16(answer + 8, usStoredCode);
  std::memcpy(answer + 10, MFWQZ_RemoteCmd + MFWQZ_kCmdOffEcho, 2);
  MFWQZ_PutU16(answer + 12, MFWQZ_Remote.ulLastCompleted);
  answer[15] = static_cast<u8>(MFWQZ_KeyChangeAcceptable());
  answer[17] = static_cast<u8>((MFWQZ_gbStartUp != 0 || MFWQZ_gbScanning != 0) ? 1 : 0);
  answer[19] = static_cast<u8>(HNFiff_ModuleStateRead());
  const MFWQZ_ModuleCounts counts = MFWQZ_CountModules(answer);
  MFWQZ_PutU16(answer + 20, counts.ulMissing);
  MFWQZ_PutU16(answer + 22, counts.ulMismatches);
  MFWQZ_PutU16(answer + 24, counts.ulFirmware);
  return 1;
}

u32 MFWQZ_RCPwdInfo_Build(u8* answer, const u8* cmd, u32 checkPassword) {
  if (MFWQZ_RecordArgs(answer, cmd, k_REC_PWD_INFO) == 0) {
    return 0;
  }
  std::memset(answer, 0, MFWQZ_kPwdInfoSize);
  MFWQZ_PutHead(answer, cmd, MFWQZ_k_RES_OK);
  std::memcpy(answer + 6, cmd + MFWQZ_kCmdOffCode, 2);
  u32 ulAnswer = MFWQZ_IsPasswordEmpty() == 0 ? 1 : 0;
  if (checkPassword != 0 && ulAnswer == 1 &&
      std::memcmp(cmd + MFWQZ_kCmdOffPassword, MFWQZ_gaucPassword, MFWQZ_kPasswordBytes) != 0) {
    ulAnswer = 0;
  }
  answer[8] = static_cast<u8>(ulAnswer);
  return 1;
}

/// Calls visit(position on the page, SADR, flags) for the configured modules of the command's page;
/// the result code, 32 when the page begins past the list.
template <typename Visit>
static u16 MFWQZ_VisitPage(const u8* cmd, Visit visit) {
  const u32 ulFirst = (MFWQZ_GetU16(cmd + MFWQZ_kCmdOffCode) & 0xFu) * MFWQZ_kPageModules;
  u32 ulPosition = 0;
  for (u32 sadr = 1; sadr < MFWQZ_kModuleCount; ++sadr) {
    const u32 ulFlags = MFWQZ_ModuleInfo[sadr].ulFlags;
    if ((ulFlags & MFWQZ_kFlagConfigured) == 0) {
      continue;
    }
    if (ulPosition >= ulFirst && ulPosition < ulFirst + MFWQZ_kPageModules) {
      visit(ulPosition - ulFirst, sadr, ulFlags);
    }
    ++ulPosition;
  }
  return ulFirst < ulPosition ? MFWQZ_k_RES_OK : MFWQZ_k_RES_STATUS_CODE;
}

u16 MFWQZ_RCS_AddressListBuild(u8* answer, const u8* cmd) {
  if (MFWQZ_RecordArgs(answer, cmd, k_REC_ADDRESS_LIST) == 0) {
    return MFWQZ_k_RES_STATUS_CODE;
  }
  std::memset(answer, 0, MFWQZ_kAddressListSize);
  std::memcpy(answer + 6, cmd + MFWQZ_kCmdOffCode, 2);
  const u16 usResult = MFWQZ_VisitPage(cmd, [answer](u32 k, u32 sadr, u32) { MFWQZ_PutU16(answer + 8 + 2 * k, sadr); });
  MFWQZ_PutHead(answer, cmd, usResult);
  if (usResult != MFWQZ_k_RES_OK) {
    std::memset(answer + 8, 0, MFWQZ_kAddressListSize - 8);
  }
  return usResult;
}

u16 MFWQZ_RCModuleFlagsBuild(u8* answer, const u8* cmd) {
  if (MFWQZ_RecordArgs(answer, cmd, k_REC_MODULE_FLAGS) == 0) {
    return MFWQZ_k_RES_STATUS_CODE;
  }
  std::memset(answer, 0, MFWQZ_kModuleFlagsSize);
  std::memcpy(answer + 6, cmd + MFWQZ_kCmdOffCode, 2);
  const u32 ulHideFw = MFWQZ_FirmwareHidden();
  const u16 usResult = MFWQZ_VisitPage(cmd, [answer, ulHideFw](u32 k, u32, u32 flags) {
    if ((flags & k_FLAG_MISSING) != 0) {
      MFWQZ_SetBit(answer + 8, k);
    }
    if ((flags & (k_FLAG_MISMATCH | k_FLAG_ENCODER)) != 0) {
      MFWQZ_SetBit(answer + 24, k);
    }
    if ((flags & k_FLAG_FW_DIFF) != 0 && ulHideFw == 0) {
      MFWQZ_SetBit(answer + 40, k);
    }
  });
  MFWQZ_PutHead(answer, cmd, usResult);
  return usResult;
}

u16 MFWQZ_ProcessStatusCommand(const u8* cmd, u8** answer, u32* length) {
  if (cmd == nullptr || answer == nullptr || length == nullptr) {
    HNFevt_EnregisterEventInfo(MFWQZ_kEvtNullArgument, k_NULL_RECORDS, k_REC_STATUS);
    return MFWQZ_k_RES_STATUS_CODE;
  }
  const u16 usCode = MFWQZ_GetU16(cmd + MFWQZ_kCmdOffCode);
  u8* pucAnswer = MFWQZ_aucRemoteAnswer;
  u16 usResult = MFWQZ_k_RES_OK;
  u32 ulLength = 0;
  if (usCode == 0) {
    (void)MFWQZ_RCStatus_Build(pucAnswer, cmd, MFWQZ_k_RES_OK);
    ulLength = MFWQZ_kStatusSize;
  } else if (usCode == MFWQZ_kCodeLongHold || usCode == MFWQZ_kCodeRescan) {
    (void)MFWQZ_RCPwdInfo_Build(pucAnswer, cmd, usCode == MFWQZ_kCodeRescan ? 1 : 0);
    ulLength = MFWQZ_kPwdInfoSize;
  } else if (usCode == MFWQZ_kCodeNoAction3) {
    std::memset(pucAnswer, 0, MFWQZ_kUdidAnswerSize);
    MFWQZ_PutHead(pucAnswer, cmd, MFWQZ_k_RES_OK);
    std::memcpy(pucAnswer + 6, cmd + MFWQZ_kCmdOffCode, 2);
    std::memcpy(pucAnswer + 8, HNFstp_aucQorUdid, HNFstp_kUdidSize);
    ulLength = MFWQZ_kUdidAnswerSize;
  } else if (usCode == MFWQZ_kCodePassword && MFWQZ_NewStatusRecord(pucAnswer, cmd) != 0) {
    // The older release has no new status record, address list or module flags: those codes answer 32.
    ulLength = MFWQZ_kNewStatusSize;
  } else if (!SCM_kLegacy && (usCode & 0xFFF0u) == MFWQZ_kCodeAddressList) {
    usResult = MFWQZ_RCS_AddressListBuild(pucAnswer, cmd);
    ulLength = MFWQZ_kAddressListSize;
  } else if (!SCM_kLegacy && (usCode & 0xFFF0u) == MFWQZ_kCodeModuleFlags) {
    usResult = MFWQZ_RCModuleFlagsBuild(pucAnswer, cmd);
    ulLength = MFWQZ_kModuleFlagsSize;
  } else {
    usResult = MFWQZ_k_RES_STATUS_CODE;
    (void)MFWQZ_RCStatus_Build(pucAnswer, cmd, usResult);
    ulLength = MFWQZ_kStatusSize;
  }
  if (usResult != MFWQZ_k_RES_OK) {
    HNFevt_EnregisterEventLevel(MFWQZ_kEvtRemote, usResult, usCode, MFWQZ_kRemoteEventLevel);
  }
  *answer = pucAnswer;
  *length = ulLength;
  return usResult;
}
