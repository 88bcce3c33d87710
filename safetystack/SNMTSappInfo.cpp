// SNMT slave: the application's answers, the identity objects of the own
// node (UDID, main SADR, SCM UDID, parameter timestamp) and the SN FAIL memory.
#include <cstring>

#include "SAPL.h"
#include "SCFM.h"
#include "SERR.h"
#include "SNMTS.h"
#include "SNMTSint.h"

namespace {
SOD_Access s_OwnUdidAcc = {};    ///< 0x1019/0 own UDID
SOD_Access s_MainSadrAcc = {};   ///< 0x1C00/1 own main SADR
const u8* s_pucMainSadr = nullptr;  ///< value of 0x1C00/1, kept from start-up
SOD_Access s_ScmUdidAcc = {};    ///< 0x1200/4 SCM UDID
SOD_Access s_TimestampAcc = {};  ///< 0x1018/7 parameter timestamp

u8 s_ucChkSumComputed = 0;  ///< 1 once the application reported a valid checksum
u8 s_ucAppConfirmed = 0;    ///< 1 when the application confirmed the switch to OPERATIONAL
u8 s_ucAppErrGroup = 0;     ///< error group of the application's refusal
u8 s_ucAppErrCode = 0;      ///< error code of the application's refusal

u8 s_ucSnFailSent = 0;    ///< 1 while an SN FAIL waits for its acknowledge
u8 s_ucSnFailGroup = 0;   ///< group of the last SN FAIL sent
u8 s_ucSnFailCode = 0;    ///< code of the last SN FAIL sent
}  // namespace

bool SNMTS_ReadUnsigned(SOD_Access* acc, u32* out) {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const u8* value = static_cast<const u8*>(SOD_ReadVirt(acc, &err));
  if (value == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  switch (acc->obj.attr.ulLength) {
    case 1: *out = value[0]; return true;
    case 2: {
      u16 v = 0;
      std::memcpy(&v, value, sizeof(v));
      *out = v;
      return true;
    }
    case 4: std::memcpy(out, value, sizeof(*out)); return true;
    default:
      SERR_SetError(0xF644, acc->obj.attr.ulLength);
      return false;
  }
}

bool SNMTS_AppInfoInit() {
  SCFM_Tack();
  s_ucChkSumComputed = 0;
  s_ucAppConfirmed = 0;
  s_ucAppErrGroup = 0;
  s_ucAppErrCode = 0;
  s_ucSnFailSent = 0;
  s_ucSnFailGroup = 0;
  s_ucSnFailCode = 0;
  return SOD_AccessBind(&s_TimestampAcc, 0x1018, 7);
}

bool SNMTS_OwnUdidInit() {
  SCFM_Tack();
  return SOD_AccessBind(&s_OwnUdidAcc, 0x1019, 0);
}

bool SNMTS_SadrAccInit() {
  SCFM_Tack();
  s_pucMainSadr = nullptr;
  if (!SOD_AccessBind(&s_MainSadrAcc, 0x1C00, 1)) {
    return false;
  }
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  s_pucMainSadr = static_cast<const u8*>(SOD_ReadVirt(&s_MainSadrAcc, &err));
  if (s_pucMainSadr == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  return SOD_AccessBind(&s_ScmUdidAcc, 0x1200, 4);
}

const u8* SNMTS_OwnUdid() {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const u8* udid = static_cast<const u8*>(SOD_ReadVirt(&s_OwnUdidAcc, &err));
  if (udid == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return nullptr;
  }
  if (s_OwnUdidAcc.obj.attr.ulLength < SNMTS_k_UDID_LEN) {
    SERR_SetError(0xF645, s_OwnUdidAcc.obj.attr.ulLength);
    return nullptr;
  }
  return udid;
}

bool SNMTS_IsOwnUdid(const u8* udid) {
  SCFM_Tack();
  const u8* own = SNMTS_OwnUdid();
  return own != nullptr && std::memcmp(own, udid, SNMTS_k_UDID_LEN) == 0;
}

bool SNMTS_TimestampValid(const u8* timestampLe) {
  SCFM_Tack();
  if (s_ucChkSumComputed == 0) {
    SERR_SetError(0x2646, 0);
    return false;
  }
  u32 stored = 0;
  if (!SNMTS_ReadUnsigned(&s_TimestampAcc, &stored)) {
    return false;
  }
  const u32 received = static_cast<u32>(timestampLe[0]) | (static_cast<u32>(timestampLe[1]) << 8) |
                       (static_cast<u32>(timestampLe[2]) << 16) | (static_cast<u32>(timestampLe[3]) << 24);
  if (received != stored) {
    SERR_SetError(0x2647, stored);
    return false;
  }
  return true;
}

bool SNMTS_AppConfirmed(u8* group, u8* code) {
  SCFM_Tack();
  *group = s_ucAppErrGroup;
  *code = s_ucAppErrCode;
  return s_ucAppConfirmed != 0;
}

void SNMTS_SnFailRemember(u8 group, u8 code) {
  SCFM_Tack();
  s_ucSnFailSent = 1;
  s_ucSnFailGroup = group;
  s_ucSnFailCode = code;
}

bool SNMTS_SnFailAck(u8 group, u8 code) {
  SCFM_Tack();
  if (s_ucSnFailSent == 0) {
    // A late or repeated acknowledge comes from a peer: refused, not fatal.
    SERR_SetError(0x264C, 0);
    return false;
  }
  if (group != s_ucSnFailGroup || code != s_ucSnFailCode) {
    SERR_SetError(0x264B, (static_cast<u32>(s_ucSnFailGroup) << 24) | (static_cast<u32>(s_ucSnFailCode) << 16) |
                              (static_cast<u32>(group) << 8) | code);
    return false;
  }
  s_ucSnFailSent = 0;
  SAPL_SNMTS_ErrorAckClbk();
  return false;
}

bool SNMTS_PassParamChkSumValid(bool valid) {
  SCFM_Tack();
  SNMTS_EvtCtx ctx = {0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  const bool result = SNMTS_SnStateFsm(SNMTS_k_EVT_CHKSUM, &ctx);
  s_ucChkSumComputed = valid ? 1 : 0;
  return result;
}

bool SNMTS_EnterOpState(bool confirmed, u8 errorGroup, u8 errorCode) {
  SCFM_Tack();
  if (!confirmed && errorGroup == SNMTS_k_GROUP_STACK) {
    // Group 4 names the stack's own failures; the application may not use it.
    SERR_SetError(0xF606, 0);
    return false;
  }
  SNMTS_EvtCtx ctx = {0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  const bool result = SNMTS_SnStateFsm(SNMTS_k_EVT_APP_OP, &ctx);
  s_ucAppConfirmed = confirmed ? 1 : 0;
  s_ucAppErrGroup = errorGroup;
  s_ucAppErrCode = errorCode;
  return result;
}

u16 SNMTS_MainSadrGet() {
  SCFM_Tack();
  if (s_pucMainSadr == nullptr) {
    return 0;
  }
  u16 sadr = 0;
  std::memcpy(&sadr, s_pucMainSadr, sizeof(sadr));
  return sadr;
}

bool SNMTS_MainSadrSet(u16 sadr) {
  SCFM_Tack();
  return SOD_WriteVirt(&s_MainSadrAcc, &sadr, false);
}

bool SNMTS_UdidScmSet(const u8 udid[6]) {
  SCFM_Tack();
  // Exactly six bytes, never the object's whole maximum.
  if (!SOD_ActualLenSetVirt(&s_ScmUdidAcc, SNMTS_k_UDID_LEN)) {
    return false;
  }
  s_ScmUdidAcc.ulSegOffset = 0;
  s_ScmUdidAcc.ulSegSize = SNMTS_k_UDID_LEN;
  const bool ok = SOD_WriteVirt(&s_ScmUdidAcc, udid, false);
  s_ScmUdidAcc.ulSegSize = 0;
  return ok;
}
