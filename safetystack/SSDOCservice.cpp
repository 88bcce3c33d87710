// SSDO client: the service machines (request frame, sequence number, timer,
// abort frame) and the assignment of responses to them.
#include <cstring>

#include "ScmProfile.h"
#include "SCFM.h"
#include "SDN.h"
#include "SERR.h"
#include "SSDOCint.h"

SSDOC_ServFsm SSDOC_as_Serv[SSDOC_k_NUM_CLIENTS];
SSDOC_Timer SSDOC_as_Timer[SSDOC_k_NUM_CLIENTS];

namespace {
SOD_Access s_TimeoutAcs;  ///< 0x1201 sub 1, response time-out
SOD_Access s_RepeatAcs;   ///< 0x1201 sub 2, number of repetitions
constexpr u16 k_MAX_SANO = 0xFFFF;  ///< highest sequence number before the wrap to 1

bool ReadValue(SOD_Access* acc, void* out, u32 n) {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const void* p = SOD_ReadVirt(acc, &err);
  if (p == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  std::memcpy(out, p, n);
  return true;
}

}  // namespace

bool SSDOC_BindTimer() {
  SCFM_Tack();
  return SOD_AccessBind(&s_TimeoutAcs, 0x1201, 1) && SOD_AccessBind(&s_RepeatAcs, 0x1201, 2);
}

void SSDOC_ServReset(u8 c) {
  SCFM_Tack();
  SSDOC_as_Serv[c] = SSDOC_ServFsm{};
  SSDOC_as_Serv[c].ucReady = 1;
  SSDOC_as_Timer[c] = SSDOC_Timer{};
}

u16 SSDOC_NextSaNo(u16 sano) {
  SCFM_Tack();
  return sano >= k_MAX_SANO ? 1 : static_cast<u16>(sano + 1);
}

u16 SSDOC_PrevSaNo(u16 sano) {
  SCFM_Tack();
  return sano <= 1 ? k_MAX_SANO : static_cast<u16>(sano - 1);
}

u16 SSDOC_SaNoDist(u16 from, u16 to) {
  SCFM_Tack();
  const u16 d = static_cast<u16>(to - from);
  // Passing the wrap skips the value 0.
  return (to < from && d > 0) ? static_cast<u16>(d - 1) : d;
}

bool SSDOC_TimerStart(u8 c, u32 ct) {
  SCFM_Tack();
  u32 timeout = 0;
  u8 repeat = 0;
  if (!ReadValue(&s_TimeoutAcs, &timeout, sizeof timeout) || !ReadValue(&s_RepeatAcs, &repeat, sizeof repeat)) {
    return false;
  }
  SSDOC_as_Timer[c].ulTimeout = timeout;
  SSDOC_as_Timer[c].ucRepLeft = repeat;
  SSDOC_as_Timer[c].ulDeadline = ct + timeout;
  return true;
}

bool SSDOC_ServTransmit(u8 c) {
  SCFM_Tack();
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  const u8 type = s->sReqHdr.ucId == SSDOC_k_ID_REQ_SLIM ? SFS_k_TT_SSDO_SLIM : SFS_k_TT_SSDO;
  u8* block = SFS_GetMemBlock(type, s->sReqHdr.ucLe);
  if (block == nullptr) {
    return false;
  }
  std::memcpy(block + SFS_k_BLOCK_PAYLOAD, s->aucReqPayload, s->sReqHdr.ucLe);
  return SFS_FrmSerialize(&s->sReqHdr, block);
}

bool SSDOC_ServSendNew(u8 c, u32 ct) {
  SCFM_Tack();
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  if (s->ucReady == 0 && !SSDOC_InPreload(c)) {
    SERR_SetError(0xFA27, c);
    return false;
  }
  s->sReqHdr.usCt = SSDOC_NextSaNo(s->sReqHdr.usCt);
  s->ucReady = 0;
  const bool timer = SSDOC_TimerStart(c, ct);
  if (timer && SSDOC_ServTransmit(c)) {
    s->ucUnsent = 0;
    return true;
  }
  // The frame stays the request; the next time-out check sends it.
  s->ucUnsent = 1;
  SSDOC_as_Timer[c].ulDeadline = ct;
  return false;
}

bool SSDOC_ServSendAbort(u8 c) {
  SCFM_Tack();
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  if (!SSDOC_ServTransmit(c)) {
    return false;
  }
  const u16 err = s->usAbortError;
  const u32 info = s->ulAbortErrorInfo;
  const u32 length = s->ulAbortLength;
  const u32 code = s->ulAbortCode;
  if (err != 0) {
    SERR_SetError(err, info);
  }
  SSDOC_ServReset(c);
  SSDOC_End(c, length, code);
  return true;
}

bool SSDOC_ServAbort(u8 c, u32 abortCode, u32 complLength, u32 complCode, u16 errCode, u32 errInfo) {
  SCFM_Tack();
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  SSDOC_PutHeader(c, SSDOC_k_CMD_ABORT);
  for (u8 i = 0; i < 4; ++i) {
    s->aucReqPayload[SSDOC_k_HDR_LEN + i] = static_cast<u8>(abortCode >> (8 * i));
  }
  s->sReqHdr.ucLe = SSDOC_k_SEG_INIT_LEN;
  s->ucReady = 0;
  s->ucAbortPending = 1;
  s->ulAbortLength = complLength;
  s->ulAbortCode = complCode;
  s->usAbortError = errCode;
  s->ulAbortErrorInfo = errInfo;
  return SSDOC_ServSendAbort(c);
}

i16 SSDOC_ServiceResponseAssign(const SFS_FrameHeader* hdr) {
  SCFM_Tack();
  const u8 reqId = static_cast<u8>(hdr->ucId & 0xFE);
  const u16 sdn = SDN_GetSdn();
  for (u8 c = 0; c < SSDOC_k_NUM_CLIENTS; ++c) {
    const SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
    // A request still to be sent, or an abort on its way, has no valid answer.
    const bool preloading = SSDOC_InPreload(c);
    const bool waiting = (s->ucReady == 0 || preloading) && s->ucAbortPending == 0 && (s->ucUnsent == 0 || preloading);
    if (SSDOC_as_Prot[c].ulState != SSDOC_k_IDLE && waiting && s->sReqHdr.ucId == reqId &&
        s->sReqHdr.usAdr == hdr->usTadr && s->sReqHdr.usTadr == hdr->usAdr && hdr->usSdn == sdn) {
      return c;
    }
  }
  return -1;
}

bool SSDOC_ServiceCheck(u8 c, const SFS_FrameHeader* hdr) {
  SCFM_Tack();
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  const u16 sano = hdr->usCt;
  // The older release takes only responses whose TR is 0, before the sequence number.
  if constexpr (SCM_kLegacy) {
    if (hdr->ucTr != 0) {
      SERR_SetError(0x2A29, hdr->ucTr);
      return false;
    }
  }
  if constexpr (!SCM_kLegacy) {
    if (SSDOC_InPreload(c)) {
      return SSDOC_PreloadServiceCheck(c, sano);
    }
  }
  if (sano != s->sReqHdr.usCt) {
    SERR_SetError(0x2A2A, (static_cast<u32>(sano) << 16) | s->sReqHdr.usCt);
    return false;
  }
  s->ucReady = 1;
  return true;
}
