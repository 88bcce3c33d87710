// SSDO server: access to the own object dictionary, response headers, the
// sequence check and the reset of a transfer.
#include "SCFM.h"
#include "SERR.h"
#include "SNMTS.h"
#include "SSDOSint.h"

namespace {
constexpr u16 k_IDX_IDENTITY = 0x1018;  ///< identity object whose sub-indices 1 and 2 may be redirected
constexpr u16 k_IDX_REDIRECT = 0xE100;  ///< redirect object: sub 0 non-zero switches the redirect on
constexpr u16 k_IDX_OP_WRITABLE = 0x101A;  ///< object writable in OPERATIONAL
constexpr u16 k_IDX_OP_FIRST = 0x2800;  ///< first index writable in OPERATIONAL
constexpr u16 k_IDX_OP_LAST = 0x2FFF;   ///< last index writable in OPERATIONAL
constexpr u8 k_ID_RESPONSE = 0x39;      ///< SSDO service response
constexpr u32 k_SN_PREOP = 1;           ///< SN state value of PRE-OPERATIONAL

/// Abort code of a failed dictionary call: never 0, which a client takes for success.
u32 NonZero(u32 abortCode) {
  SCFM_Tack();
  return (abortCode != 0) ? abortCode : SSDOS_k_AB_GENERAL;
}

/// True when 0xE100/0 exists and holds a non-zero value (failures: false, not reported).
bool RedirectActive() {
  SCFM_Tack();
  static SOD_Access s_ProbeAcc;  // 0xE100/0
  s_ProbeAcc = SOD_Access{};
  s_ProbeAcc.obj.usIndex = k_IDX_REDIRECT;
  s_ProbeAcc.obj.ucSubIndex = 0;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  if (SOD_AttrGetVirt(&s_ProbeAcc, &err) == nullptr) {
    return false;
  }
  const SOD_AttrPart& a = s_ProbeAcc.obj.attr;
  if (SOD_IsVarType(a.ulDataType) || a.ulLength == 0 || a.ulLength > 8) {
    return false;
  }
  const u8* value = static_cast<const u8*>(SOD_ReadVirt(&s_ProbeAcc, &err));
  if (value == nullptr) {
    return false;
  }
  for (u32 i = 0; i < a.ulLength; ++i) {
    SCFM_Tack();
    if (value[i] != 0) {
      return true;
    }
  }
  return false;
}
}  // namespace

u32 SSDOS_Refuse(u16 code, u32 abortCode) {
  SCFM_Tack();
  SERR_SetError(code, abortCode);
  return abortCode;
}

void SSDOS_SodAcsTakeIndex(const u8* req) {
  SCFM_Tack();
  SSDOS_s_Transfer.usIndex = static_cast<u16>(req[1] | (req[2] << 8));
  SSDOS_s_Transfer.ucSubIndex = req[3];
}

u32 SSDOS_SodAcsResolve(bool upload) {
  SCFM_Tack();
  SOD_Access& acc = SSDOS_s_Transfer.acc;
  acc = SOD_Access{};
  acc.obj.usIndex = SSDOS_s_Transfer.usIndex;
  acc.obj.ucSubIndex = SSDOS_s_Transfer.ucSubIndex;
  if (upload && acc.obj.usIndex == k_IDX_IDENTITY && (acc.obj.ucSubIndex == 1 || acc.obj.ucSubIndex == 2) &&
      RedirectActive()) {
    acc.obj.usIndex = k_IDX_REDIRECT;
  }
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  if (SOD_AttrGetVirt(&acc, &err) == nullptr) {
    // A lookup failure is the peer's request for a missing object: answered, not reported.
    return NonZero(err.ulAbortCode);
  }
  return 0;
}

u32 SSDOS_SodAcsRead(u32 offset, u32 size, const u8** value) {
  SCFM_Tack();
  SOD_Access& acc = SSDOS_s_Transfer.acc;
  if ((acc.obj.attr.usAttr & (SOD_k_ATTR_CONST | SOD_k_ATTR_READ)) == 0) {
    return SSDOS_k_AB_NO_READ;
  }
  acc.ulSegOffset = offset;
  acc.ulSegSize = size;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  *value = static_cast<const u8*>(SOD_ReadVirt(&acc, &err));
  acc.ulSegOffset = 0;
  acc.ulSegSize = 0;
  if (*value != nullptr) {
    return 0;
  }
  if (err.usErrNum == 0x2711) {
    // The object's own refusal keeps its own code.
    return NonZero(err.ulAbortCode);
  }
  SERR_SetError(err.usErrNum, err.ulAbortCode);
  return SSDOS_k_AB_GENERAL;
}

u32 SSDOS_SodAcsWritePermission(bool segmented) {
  SCFM_Tack();
  u32 snState = 0;
  if (!SNMTS_GetSnState(&snState)) {
    return SSDOS_Refuse(0x2B19, SSDOS_k_AB_STATE);
  }
  if (!SOD_WriteAccess()) {
    return SSDOS_Refuse(0x2B17, SSDOS_k_AB_STATE);
  }
  if (segmented && SOD_IsLocked()) {
    return SSDOS_Refuse(0x2B18, SSDOS_k_AB_STATE);
  }
  const u16 index = SSDOS_s_Transfer.usIndex;
  if (snState != k_SN_PREOP && index != k_IDX_OP_WRITABLE && (index < k_IDX_OP_FIRST || index > k_IDX_OP_LAST)) {
    return SSDOS_Refuse(0x2B19, SSDOS_k_AB_STATE);
  }
  SSDOS_SodAcsSetActLen(0);
  return 0;
}

void SSDOS_SodAcsSetActLen(u32 length) {
  SCFM_Tack();
  SOD_Access& acc = SSDOS_s_Transfer.acc;
  // A download the object refuses anyway must not change its value.
  if (!SOD_IsVarType(acc.obj.attr.ulDataType) || (acc.obj.attr.usAttr & SOD_k_ATTR_WRITE) == 0) {
    return;
  }
  static_cast<void>(SOD_ActualLenSetVirt(&acc, length));
}

u32 SSDOS_SodAcsWrite(const u8* data, u32 offset, u32 count) {
  SCFM_Tack();
  SOD_Access& acc = SSDOS_s_Transfer.acc;
  const void* value = data;
  if (SOD_IsVarType(acc.obj.attr.ulDataType)) {
    if (count == 0 && offset == 0) {
      value = SOD_pvEmptyValue;
    } else {
      acc.ulSegOffset = offset;
      acc.ulSegSize = count;
    }
  }
  const bool ok = SOD_WriteVirt(&acc, value, false);
  acc.ulSegOffset = 0;
  acc.ulSegSize = 0;
  // Every failing write reports; its info is the abort code.
  return ok ? 0 : NonZero(SERR_GetLastAddInfo());
}

void SSDOS_SodAcsResp(SSDOS_Ctx* ctx, u8 cmd, u8 le, bool withIndex, u8 tr) {
  SCFM_Tack();
  SFS_FrameHeader* r = ctx->pResp;
  *r = SFS_FrameHeader{};
  r->usAdr = ctx->pReq->usTadr;
  r->ucId = k_ID_RESPONSE;
  r->usSdn = ctx->pReq->usSdn;
  r->ucLe = le;
  r->usCt = ctx->pReq->usCt;
  r->usTadr = ctx->pReq->usAdr;
  r->ucTr = tr;
  ctx->pucResp[0] = cmd;
  if (withIndex) {
    ctx->pucResp[1] = static_cast<u8>(SSDOS_s_Transfer.usIndex & 0xFF);
    ctx->pucResp[2] = static_cast<u8>(SSDOS_s_Transfer.usIndex >> 8);
    ctx->pucResp[3] = SSDOS_s_Transfer.ucSubIndex;
  }
  SSDOS_s_Transfer.ucToggle ^= 1;
}

void SSDOS_SodAcsAbortResp(SSDOS_Ctx* ctx, u32 abortCode) {
  SCFM_Tack();
  const u32 code = NonZero(abortCode);
  SSDOS_SodAcsResp(ctx, SSDOS_k_CMD_ABORT, 8, true, 0);
  for (u8 i = 0; i < 4; ++i) {
    ctx->pucResp[4 + i] = static_cast<u8>(code >> (8 * i));
  }
  SSDOS_SodAcsReset(true);
}

bool SSDOS_SodAcsReqValid(const SSDOS_Ctx* ctx, bool checkIndex) {
  SCFM_Tack();
  const u8 cmd = ctx->pucReq[0];
  const u8 plain = cmd & static_cast<u8>(~SSDOS_k_TOGGLE);
  if (plain != SSDOS_k_CMD_ABORT && plain != SSDOS_k_CMD_DN_PRE &&
      ((cmd & SSDOS_k_TOGGLE) != 0) != (SSDOS_s_Transfer.ucToggle != 0)) {
    SERR_SetError(0x2B16, 0);
    return false;
  }
  if (checkIndex) {
    const u16 index = static_cast<u16>(ctx->pucReq[1] | (ctx->pucReq[2] << 8));
    if (ctx->pReq->ucLe < 4 || index != SSDOS_s_Transfer.usIndex || ctx->pucReq[3] != SSDOS_s_Transfer.ucSubIndex) {
      SERR_SetError(0x2B15, 0);
      return false;
    }
  }
  return true;
}

void SSDOS_SodAcsReset(bool rollback) {
  SCFM_Tack();
  SSDOS_Transfer& t = SSDOS_s_Transfer;
  if (t.ucLockHeld != 0) {
    if (rollback && t.ucPartial != 0) {
      SSDOS_SodAcsSetActLen(0);
    }
    static_cast<void>(SOD_Unlock());
    t.ucLockHeld = 0;
  } else if (t.ucPartial != 0) {
    SERR_SetError(0xFB14, 0);
  }
  const u8* ownSadr = SSDOS_s_Server.pucOwnSadr;
  SSDOS_s_Server = SSDOS_Server{};
  SSDOS_s_Server.pucOwnSadr = ownSadr;
  t = SSDOS_Transfer{};
  SSDOS_s_Segment = SSDOS_Segment{};
}
