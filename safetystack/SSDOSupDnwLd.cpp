// SSDO server: expedited and segmented uploads, expedited and segmented
// downloads, and segmented downloads with preload.
#include <cstring>

#include "SCFM.h"
#include "SERR.h"
#include "SFS.h"
#include "SSDOSint.h"

namespace {
/// Size of the value buffer of an expedited download (the largest slim data).
constexpr u8 k_EXP_BUFFER = 24;

/// Successor of a preload CT: the client's numbering skips 0 after 0xFFFF.
u16 NextPreloadCt(u16 ct) {
  SCFM_Tack();
  return (ct == 0xFFFF) ? 1 : static_cast<u16>(ct + 1);
}

/// Largest value of the running transfer's object.
u32 ObjectMax() {
  SCFM_Tack();
  return SSDOS_s_Transfer.acc.obj.attr.ulLength;
}

/// Payload bytes of the request from offset on (the frame's LE bounds them).
const u8* ReqData(const SSDOS_Ctx* ctx, u8 offset) {
  SCFM_Tack();
  return ctx->pucReq + offset;
}

/// Writes one received segment at the bytes done so far; 0 or the abort code.
u32 WriteSegment(const u8* data, u32 count) {
  SCFM_Tack();
  if (count == 0) {
    return 0;
  }
  const u32 abortCode = SSDOS_SodAcsWrite(data, SSDOS_s_Segment.ulDone, count);
  if (abortCode == 0) {
    SSDOS_s_Transfer.ucPartial = 1;
    SSDOS_s_Segment.ulDone += count;
    SSDOS_s_Segment.ucSegLen = static_cast<u8>(count);
  }
  return abortCode;
}

/// True when a middle segment of n bytes stays inside the announced size (or the maximum).
bool MiddleFits(u32 n) {
  SCFM_Tack();
  const SSDOS_Segment& s = SSDOS_s_Segment;
  const u32 end = s.ulDone + n;
  return (s.ucUnknownSize != 0) ? end <= ObjectMax() : end < s.ulTotal;
}

/// Middle segment, with or without preload, once its place is known to be right.
bool MiddleSegment(SSDOS_Ctx* ctx, u32 n) {
  SCFM_Tack();
  if (!MiddleFits(n)) {
    SSDOS_SodAcsAbortResp(ctx, SSDOS_Refuse(0x2B12, SSDOS_k_AB_SIZE));
    return true;
  }
  const u32 abortCode = WriteSegment(ReqData(ctx, 1), n);
  if (abortCode != 0) {
    SSDOS_SodAcsAbortResp(ctx, abortCode);
    return true;
  }
  SSDOS_SodAcsResp(ctx, ctx->pucReq[0], 1, false, 0);
  return true;
}

/// Preloaded middle segment: written only when it is the one expected next.
bool PreloadSegment(SSDOS_Ctx* ctx, u32 n) {
  SCFM_Tack();
  const u16 expected = NextPreloadCt(SSDOS_s_Segment.usLastCt);
  if (ctx->pReq->usCt != expected) {
    // A gap: nothing is written, and the client is asked for the expected segment.
    SSDOS_SodAcsResp(ctx, ctx->pucReq[0], 1, false, SSDOS_k_TR_PRELOAD);
    ctx->pResp->usCt = expected;
    return true;
  }
  const u32 doneBefore = SSDOS_s_Segment.ulDone;
  const bool answered = MiddleSegment(ctx, n);
  if (SSDOS_s_Segment.ulDone != doneBefore) {
    SSDOS_s_Segment.usLastCt = ctx->pReq->usCt;
  }
  return answered;
}

bool LastSegment(SSDOS_Ctx* ctx, u32 n) {
  SCFM_Tack();
  SSDOS_Segment& s = SSDOS_s_Segment;
  const u32 end = s.ulDone + n;
  const bool fits = (s.ucUnknownSize != 0) ? end <= ObjectMax() : end == s.ulTotal;
  if (!fits) {
    SSDOS_SodAcsAbortResp(ctx, SSDOS_Refuse(0x2B13, SSDOS_k_AB_SIZE));
    return true;
  }
  // The value ends with this segment, so its after-write callback runs now.
  SSDOS_SodAcsSetActLen(end);
  const u32 abortCode = WriteSegment(ReqData(ctx, 1), n);
  if (abortCode != 0) {
    SSDOS_SodAcsAbortResp(ctx, abortCode);
    return true;
  }
  SSDOS_SodAcsResp(ctx, ctx->pucReq[0], 1, false, 0);
  SSDOS_s_Transfer.ucPartial = 0;
  SSDOS_SodAcsReset(false);
  return true;
}

/// Expedited download: the whole value from request bytes 4..
bool ExpeditedDownload(SSDOS_Ctx* ctx) {
  SCFM_Tack();
  const u32 n = static_cast<u32>(ctx->pReq->ucLe) - 4;
  const SOD_AttrPart& a = SSDOS_s_Transfer.acc.obj.attr;
  u32 abortCode = 0;
  if (!SOD_IsVarType(a.ulDataType)) {
    if (n != a.ulLength) {
      SSDOS_SodAcsAbortResp(ctx, SSDOS_Refuse(0x2B0E, SSDOS_k_AB_LEN));
      return true;
    }
    u8 value[k_EXP_BUFFER] = {};
    if (!SFS_NetworkCopyGen(value, ReqData(ctx, 4), n, static_cast<u8>(a.ulDataType))) {
      SSDOS_SodAcsAbortResp(ctx, SSDOS_k_AB_GENERAL);
      return true;
    }
    abortCode = SSDOS_SodAcsWrite(value, 0, 0);
  } else {
    if (n > a.ulLength) {
      SSDOS_SodAcsAbortResp(ctx, SSDOS_Refuse(0x2B0F, SSDOS_k_AB_LEN));
      return true;
    }
    SSDOS_SodAcsSetActLen(n);
    abortCode = SSDOS_SodAcsWrite(ReqData(ctx, 4), 0, n);
    if (abortCode != 0) {
      // A refused value leaves no length over the old bytes.
      SSDOS_SodAcsSetActLen(0);
    }
  }
  if (abortCode != 0) {
    SSDOS_SodAcsAbortResp(ctx, abortCode);
    return true;
  }
  SSDOS_SodAcsResp(ctx, SSDOS_k_CMD_DN_EXP, 4, true, 0);
  SSDOS_SodAcsReset(false);
  return true;
}

/// Segmented download initiate answered: lock, first data, response.
bool SegmentedDownload(SSDOS_Ctx* ctx, u8 cmd) {
  SCFM_Tack();
  if (!SOD_Lock()) {
    SSDOS_SodAcsAbortResp(ctx, SERR_GetLastAddInfo());
    return true;
  }
  SSDOS_s_Transfer.ucLockHeld = 1;
  const u32 abortCode = WriteSegment(ReqData(ctx, 8), static_cast<u32>(ctx->pReq->ucLe) - 8);
  if (abortCode != 0) {
    SSDOS_SodAcsAbortResp(ctx, abortCode);
    return true;
  }
  SSDOS_s_Segment.usLastCt = ctx->pReq->usCt;
  const u8 tr = (cmd == SSDOS_k_CMD_DN_PRELD) ? static_cast<u8>(SSDOS_k_TR_PRELOAD | SSDOS_ucQueueSize) : 0;
  SSDOS_SodAcsResp(ctx, cmd, 4, true, tr);
  SSDOS_s_Server.ucState = SSDOS_k_ST_DN_SEG;
  return true;
}
}  // namespace

u32 SSDOS_UploadInit() {
  SCFM_Tack();
  u32 abortCode = SSDOS_SodAcsResolve(true);
  if (abortCode != 0) {
    return abortCode;
  }
  SOD_Access& acc = SSDOS_s_Transfer.acc;
  if ((acc.obj.attr.usAttr & (SOD_k_ATTR_CONST | SOD_k_ATTR_READ)) == 0) {
    return SSDOS_k_AB_NO_READ;
  }
  u32 size = 0;
  if (!SOD_ActualLenGetVirt(&acc, &size)) {
    return SSDOS_k_AB_GENERAL;
  }
  SSDOS_Segment& s = SSDOS_s_Segment;
  s.ulTotal = size;
  if (size <= SSDOS_k_EXPEDITED_MAX) {
    SSDOS_s_Server.ucCmd = SSDOS_k_CMD_UP_INIT;
    return SSDOS_SodAcsRead(0, 0, &s.pucData);
  }
  if (!SOD_Lock()) {
    return SSDOS_k_AB_STATE;
  }
  SSDOS_s_Transfer.ucLockHeld = 1;
  SSDOS_s_Server.ucCmd = SSDOS_k_CMD_UP_SEGD;
  abortCode = SSDOS_SodAcsRead(0, 4, &s.pucData);
  return abortCode;
}

bool SSDOS_UploadInitResp(SSDOS_Ctx* ctx) {
  SCFM_Tack();
  SSDOS_Segment& s = SSDOS_s_Segment;
  const SOD_AttrPart& a = SSDOS_s_Transfer.acc.obj.attr;
  switch (SSDOS_s_Server.ucCmd) {
    case SSDOS_k_CMD_UP_INIT:
      if (!SFS_NetworkCopyGen(ctx->pucResp + 4, s.pucData, s.ulTotal, static_cast<u8>(a.ulDataType))) {
        SSDOS_SodAcsAbortResp(ctx, SSDOS_k_AB_GENERAL);
        return true;
      }
      SSDOS_SodAcsResp(ctx, SSDOS_k_CMD_UP_INIT, static_cast<u8>(s.ulTotal + 4), true, 0);
      SSDOS_SodAcsReset(false);
      return true;
    case SSDOS_k_CMD_UP_SEGD:
      SSDOS_SodAcsResp(ctx, SSDOS_k_CMD_UP_SEGD, 12, true, 0);
      for (u8 i = 0; i < 4; ++i) {
        ctx->pucResp[4 + i] = static_cast<u8>(s.ulTotal >> (8 * i));
      }
      std::memcpy(ctx->pucResp + 8, s.pucData, 4);
      s.ulDone = 4;
      SSDOS_s_Server.ucState = SSDOS_k_ST_UP_SEG;
      return true;
    default:
      SERR_SetError(0xFB0B, SSDOS_s_Server.ucCmd);
      SSDOS_SodAcsReset(true);
      return false;
  }
}

bool SSDOS_UploadSegment(SSDOS_Ctx* ctx) {
  SCFM_Tack();
  const u8 le = ctx->pReq->ucLe;
  if (le < 4 || le > ctx->ucMaxLe) {
    SSDOS_SodAcsAbortResp(ctx, SSDOS_Refuse(0x2B0C, SSDOS_k_AB_LEN));
    return true;
  }
  const u8 cmd = ctx->pucReq[0];
  if ((cmd & static_cast<u8>(~SSDOS_k_TOGGLE)) != SSDOS_k_CMD_UP_SEG) {
    // An abort must name the running transfer; anything else ends it and starts anew.
    if (cmd == SSDOS_k_CMD_ABORT && !SSDOS_SodAcsReqValid(ctx, true)) {
      return false;
    }
    SSDOS_SodAcsReset(true);
    return SSDOS_Initiate(ctx);
  }
  if (le != 4) {
    SSDOS_SodAcsAbortResp(ctx, SSDOS_Refuse(0x2B0D, SSDOS_k_AB_LEN));
    return true;
  }
  if (!SSDOS_SodAcsReqValid(ctx, true)) {
    return false;
  }
  SSDOS_Segment& s = SSDOS_s_Segment;
  const u32 remaining = s.ulTotal - s.ulDone;
  const bool last = remaining <= SSDOS_k_UP_SEG_DATA;
  const u32 n = last ? remaining : SSDOS_k_UP_SEG_DATA;
  const u32 abortCode = SSDOS_SodAcsRead(s.ulDone, n, &s.pucData);
  if (abortCode != 0) {
    SSDOS_SodAcsAbortResp(ctx, abortCode);
    return true;
  }
  SSDOS_SodAcsResp(ctx, static_cast<u8>(cmd | (last ? SSDOS_k_LAST : 0)), static_cast<u8>(n + 1), false, 0);
  std::memcpy(ctx->pucResp + 1, s.pucData, n);
  s.ulDone += n;
  s.ucSegLen = static_cast<u8>(n);
  if (last) {
    SSDOS_SodAcsReset(false);
  }
  return true;
}

u32 SSDOS_DownloadInit(const SSDOS_Ctx* ctx, u8 cmd) {
  SCFM_Tack();
  u32 abortCode = SSDOS_SodAcsResolve(false);
  if (abortCode != 0) {
    return abortCode;
  }
  const bool segmented = cmd != SSDOS_k_CMD_DN_EXP;
  abortCode = SSDOS_SodAcsWritePermission(segmented);
  if (abortCode != 0 || !segmented) {
    return abortCode;
  }
  const u8 le = ctx->pReq->ucLe;
  if (le < 8) {
    return SSDOS_Refuse(0x2B11, SSDOS_k_AB_LEN);
  }
  // Only the types with an actual length can be written in segments.
  if (!SOD_IsVarType(SSDOS_s_Transfer.acc.obj.attr.ulDataType)) {
    return SSDOS_Refuse(0x2B0E, SSDOS_k_AB_LEN);
  }
  const u32 size = SSDOS_Le32(ctx->pucReq + 4);
  const u32 first = static_cast<u32>(le) - 8;
  if (size > ObjectMax() || first > ObjectMax() || (size != 0 && first > size)) {
    return SSDOS_Refuse(0x2B10, SSDOS_k_AB_SIZE);
  }
  SSDOS_s_Segment.ucUnknownSize = (size == 0) ? 1 : 0;
  SSDOS_s_Segment.ulTotal = size;
  return 0;
}

bool SSDOS_DownloadInitResp(SSDOS_Ctx* ctx) {
  SCFM_Tack();
  const u8 cmd = SSDOS_s_Server.ucCmd;
  switch (cmd) {
    case SSDOS_k_CMD_DN_EXP: return ExpeditedDownload(ctx);
    case SSDOS_k_CMD_DN_SEGD:
    case SSDOS_k_CMD_DN_PRELD: return SegmentedDownload(ctx, cmd);
    default:
      SERR_SetError(0xFB09, cmd);
      SSDOS_SodAcsReset(true);
      return false;
  }
}

bool SSDOS_DownloadSegment(SSDOS_Ctx* ctx) {
  SCFM_Tack();
  const u8 le = ctx->pReq->ucLe;
  if (le < 2 || le > ctx->ucMaxLe) {
    SSDOS_SodAcsAbortResp(ctx, SSDOS_Refuse(0x2B0A, SSDOS_k_AB_LEN));
    return true;
  }
  const u8 plain = SSDOS_KnownCommand(ctx->pucReq[0] & static_cast<u8>(~SSDOS_k_TOGGLE));
  if (plain != SSDOS_k_CMD_DN_SEG && plain != SSDOS_k_CMD_DN_PRE && plain != SSDOS_k_CMD_DN_LAST) {
    SSDOS_SodAcsReset(true);
    return SSDOS_Initiate(ctx);
  }
  if (!SSDOS_SodAcsReqValid(ctx, false)) {
    return false;
  }
  const u32 n = static_cast<u32>(le) - 1;
  switch (plain) {
    case SSDOS_k_CMD_DN_SEG: return MiddleSegment(ctx, n);
    case SSDOS_k_CMD_DN_PRE: return PreloadSegment(ctx, n);
    default: return LastSegment(ctx, n);
  }
}
