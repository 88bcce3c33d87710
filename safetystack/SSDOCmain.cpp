// SSDO client: initialisation, the read and write calls, the download
// segments and the build call (preload segments and time-outs).
#include <cstring>

#include "ScmProfile.h"
#include "SCFM.h"
#include "SDN.h"
#include "SERR.h"
#include "SSDOCint.h"

SSDOC_ProtFsm SSDOC_as_Prot[SSDOC_k_NUM_CLIENTS];

namespace {
SOD_Access s_ScmSadrAcs;  ///< 0x1200 sub 2, the SCM's SADR

constexpr u16 k_MAX_SADR = 1023;     ///< highest SADR
constexpr u8 k_MIN_PL_8BYTE = 12;    ///< smallest payload length for an 8-byte value

/// Acyclic counter kinds of the client.
enum : u8 {
  k_ACYC_EXPIRED = 0,  ///< transfer timed out
  k_ACYC_REPEAT = 1    ///< request repeated
};

/// Argument-check codes of one call.
struct ArgCodes {
  u16 usReq;       ///< no request
  u16 usSadr;      ///< SADR out of range
  u16 usData;      ///< no data pointer
  u16 usPayload;   ///< payload length out of range
  u16 usCompl;     ///< no completion
};
const ArgCodes k_READ_CODES = {0xFA06, 0xFA07, 0xFA08, 0xFA09, 0xFA0A};   ///< codes of the read call
const ArgCodes k_WRITE_CODES = {0xFA01, 0xFA02, 0xFA03, 0xFA04, 0xFA05};  ///< codes of the write call

/// Size of a fixed-size type; 0 for types 11..13; false for an unknown type or an 8-byte type
/// with a payload below 12 (both reported).
bool TypeSize(u32 type, u8 payloadLen, u32* size) {
  SCFM_Tack();
  switch (type) {
    case SOD_k_BOOLEAN: case SOD_k_INT8: case SOD_k_UINT8: *size = 1; return true;
    case SOD_k_INT16: case SOD_k_UINT16: *size = 2; return true;
    case SOD_k_INT32: case SOD_k_UINT32: case SOD_k_REAL32: *size = 4; return true;
    case SOD_k_INT64: case SOD_k_UINT64: case SOD_k_REAL64:
      if (payloadLen < k_MIN_PL_8BYTE) {
        SERR_SetError(0xFA0C, payloadLen);
        return false;
      }
      *size = 8;
      return true;
    case SOD_k_VSTRING: case SOD_k_OSTRING: case SOD_k_DOMAIN: *size = 0; return true;
    default:
      SERR_SetError(0xFA0D, type);
      return false;
  }
}

/// Checks common to both calls, in their order, up to the data type.
bool CheckArgs(const ArgCodes& codes, u16 sadr, const SSDOC_TransferReq* req, u32* size) {
  SCFM_Tack();
  if (req == nullptr) {
    SERR_SetError(codes.usReq, 0);
    return false;
  }
  if (sadr < 1 || sadr > k_MAX_SADR) {
    SERR_SetError(codes.usSadr, sadr);
    return false;
  }
  if (req->pucData == nullptr) {
    SERR_SetError(codes.usData, 0);
    return false;
  }
  if (req->ucPayloadLen < SSDOC_k_MIN_PAYLOAD || req->ucPayloadLen > SSDOC_k_MAX_PAYLOAD) {
    SERR_SetError(codes.usPayload, req->ucPayloadLen);
    return false;
  }
  return TypeSize(req->ulDataType, req->ucPayloadLen, size);
}

/// Checks that the SADR is free and a client is idle; the client's number.
i16 TakeClient(u16 sadr) {
  SCFM_Tack();
  if (SSDOC_TransferRunning(sadr)) {
    SERR_SetError(0xFA28, sadr);
    return -1;
  }
  for (u8 c = 0; c < SSDOC_k_NUM_CLIENTS; ++c) {
    if (SSDOC_as_Prot[c].ulState == SSDOC_k_IDLE) {
      return c;
    }
  }
  SERR_SetError(0xFA1D, sadr);
  return -1;
}

/// Fills the transfer and the request header of a new transfer.
bool Start(u8 c, u16 sadr, u16 handle, SSDOC_Completion completion, const SSDOC_TransferReq* req, u8 id) {
  SCFM_Tack();
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  u16 scmSadr = 0;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const void* v = SOD_ReadVirt(&s_ScmSadrAcs, &err);
  if (v == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  std::memcpy(&scmSadr, v, sizeof scmSadr);
  SSDOC_ProtReset(c);
  p->usHandle = handle;
  p->pfCompl = completion;
  p->usIndex = req->usIndex;
  p->ucSubIndex = req->ucSubIndex;
  p->ulDataType = req->ulDataType;
  p->ucPayloadLen = req->ucPayloadLen;
  p->pucData = req->pucData;
  p->ulTotalLen = req->ulLength;
  // A new transfer keeps the sequence number running, so that a late answer to
  // the previous transfer cannot pass for an answer to this one.
  const u16 sano = s->sReqHdr.usCt;
  *s = SSDOC_ServFsm{};
  s->ucReady = 1;
  s->sReqHdr.usAdr = sadr;
  s->sReqHdr.ucId = id;
  s->sReqHdr.usSdn = SDN_GetSdn();
  s->sReqHdr.usTadr = scmSadr;
  s->sReqHdr.usCt = sano;
  return true;
}

/// Sends the initiate of a transfer in state `state`; a failure frees it without a completion.
bool SendInitiate(u8 c, u32 ct, u32 state) {
  SCFM_Tack();
  SSDOC_as_Prot[c].ulState = state;
  if (!SSDOC_ServSendNew(c, ct)) {
    SSDOC_ProtReset(c);
    SSDOC_ServReset(c);
    return false;
  }
  return true;
}

/// Time-out check of one client; false when a frame could not be sent.
bool CheckTimeout(u8 c, u32 ct, u8* freeFrames) {
  SCFM_Tack();
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  SSDOC_Timer* t = &SSDOC_as_Timer[c];
  if (SSDOC_as_Prot[c].ulState == SSDOC_k_IDLE || (s->ucReady != 0 && !SSDOC_InPreload(c)) || *freeFrames == 0 ||
      static_cast<i32>(ct - t->ulDeadline) < 0) {
    return true;
  }
  if (s->ucAbortPending != 0) {
    if (!SSDOC_ServSendAbort(c)) {
      return false;
    }
    --*freeFrames;
    return true;
  }
  if (s->ucUnsent != 0) {
    // A frame that could not go out earlier: no repetition is used for it.
    if (!SSDOC_ServTransmit(c)) {
      return false;
    }
    s->ucUnsent = 0;
    t->ulDeadline = ct + t->ulTimeout;
    --*freeFrames;
    return true;
  }
  if (t->ucRepLeft > 0) {
    if (!SSDOC_ServTransmit(c)) {
      return false;
    }
    SERR_CountAcycEvt(c, k_ACYC_REPEAT);
    --t->ucRepLeft;
    t->ulDeadline = ct + t->ulTimeout;
    --*freeFrames;
    return true;
  }
  SERR_CountAcycEvt(c, k_ACYC_EXPIRED);
  if (SSDOC_as_Prot[c].pfCompl == nullptr) {
    SERR_SetError(0xFA2B, c);
  }
  if (!SSDOC_ServAbort(c, SSDOC_k_ABORT_TIMEOUT, SSDOC_k_HDR_LEN, SSDOC_k_ABORT_TIMEOUT, 0, 0)) {
    return false;
  }
  --*freeFrames;
  return true;
}
}  // namespace

void SSDOC_ProtReset(u8 c) {
  SCFM_Tack();
  SSDOC_as_Prot[c] = SSDOC_ProtFsm{};
  SSDOC_as_Prot[c].ulDataType = SOD_k_UINT8;
}

void SSDOC_End(u8 c, u32 length, u32 abortCode) {
  SCFM_Tack();
  const SSDOC_Completion completion = SSDOC_as_Prot[c].pfCompl;
  const u16 handle = SSDOC_as_Prot[c].usHandle;
  SSDOC_ProtReset(c);
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  s->ucReady = 1;
  if constexpr (!SCM_kLegacy) {
    SSDOC_PreloadEnd(c);
  }
  s->ucUnsent = 0;
  s->ucAbortPending = 0;
  if (completion != nullptr) {
    completion(handle, length, abortCode);
  }
}

void SSDOC_PutHeader(u8 c, u8 command) {
  SCFM_Tack();
  const SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  u8* pl = SSDOC_as_Serv[c].aucReqPayload;
  pl[0] = command;
  pl[1] = static_cast<u8>(p->usIndex);
  pl[2] = static_cast<u8>(p->usIndex >> 8);
  pl[3] = p->ucSubIndex;
}

bool SSDOC_Init() {
  SCFM_Tack();
  s_ScmSadrAcs = SOD_Access{};
  s_ScmSadrAcs.obj.usIndex = 0x1200;
  s_ScmSadrAcs.obj.ucSubIndex = 2;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  if (SOD_AttrGetVirt(&s_ScmSadrAcs, &err) == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  if (!SSDOC_BindTimer()) {
    return false;
  }
  for (u8 c = 0; c < SSDOC_k_NUM_CLIENTS; ++c) {
    SSDOC_ProtReset(c);
    SSDOC_ServReset(c);
  }
  return true;
}

bool SSDOC_CheckFsmAvailable() {
  SCFM_Tack();
  for (const SSDOC_ProtFsm& p : SSDOC_as_Prot) {
    if (p.ulState == SSDOC_k_IDLE) {
      return true;
    }
  }
  return false;
}

bool SSDOC_TransferRunning(u16 sadr) {
  SCFM_Tack();
  for (u8 c = 0; c < SSDOC_k_NUM_CLIENTS; ++c) {
    if (SSDOC_as_Prot[c].ulState != SSDOC_k_IDLE && SSDOC_as_Serv[c].sReqHdr.usAdr == sadr) {
      return true;
    }
  }
  return false;
}

bool SSDOC_SendReadReq(u16 sadr, u16 handle, SSDOC_Completion completion, u32 ct, const SSDOC_TransferReq* req) {
  SCFM_Tack();
  u32 size = 0;
  if (!CheckArgs(k_READ_CODES, sadr, req, &size)) {
    return false;
  }
  if (req->ulLength == 0 || req->ulLength < size) {
    SERR_SetError(0xFA0B, req->ulLength);
    return false;
  }
  if (completion == nullptr) {
    SERR_SetError(k_READ_CODES.usCompl, 0);
    return false;
  }
  const i16 c = TakeClient(sadr);
  if (c < 0 || !Start(static_cast<u8>(c), sadr, handle, completion, req, SSDOC_k_ID_REQ)) {
    return false;
  }
  SSDOC_PutHeader(static_cast<u8>(c), SSDOC_k_CMD_UP_INIT);
  SSDOC_as_Serv[c].sReqHdr.ucLe = SSDOC_k_HDR_LEN;
  return SendInitiate(static_cast<u8>(c), ct, SSDOC_k_UPLD_INIT);
}

bool SSDOC_SendWriteReq(u16 sadr, u16 handle, SSDOC_Completion completion, u32 ct, SSDOC_TransferReq* req,
                        u8 preload) {
  SCFM_Tack();
  u32 size = 0;
  if (!CheckArgs(k_WRITE_CODES, sadr, req, &size)) {
    return false;
  }
  if (size != 0) {
    req->ulLength = size;
    preload = 0;
  }
  if (completion == nullptr) {
    SERR_SetError(k_WRITE_CODES.usCompl, 0);
    return false;
  }
  const i16 ci = TakeClient(sadr);
  const u8 id = preload != 0 ? SSDOC_k_ID_REQ_SLIM : SSDOC_k_ID_REQ;
  if (ci < 0 || !Start(static_cast<u8>(ci), sadr, handle, completion, req, id)) {
    return false;
  }
  const u8 c = static_cast<u8>(ci);
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  const u32 pl = req->ucPayloadLen;
  if (size != 0 || req->ulLength <= pl - SSDOC_k_HDR_LEN) {
    SSDOC_PutHeader(c, SSDOC_k_CMD_DN_EXP);
    if (!SFS_NetworkCopyGen(s->aucReqPayload + SSDOC_k_HDR_LEN, req->pucData, req->ulLength,
                            static_cast<u8>(req->ulDataType))) {
      SSDOC_ProtReset(c);
      SSDOC_ServReset(c);
      return false;
    }
    s->sReqHdr.ucLe = static_cast<u8>(req->ulLength + SSDOC_k_HDR_LEN);
    return SendInitiate(c, ct, SSDOC_k_DNLD_EXP);
  }
  // The older release has no preload: a segmented download always starts with 0x29.
  SSDOC_PutHeader(c, SCM_kLegacy ? SSDOC_k_CMD_DN_SEG_INIT : SSDOC_k_CMD_DN_PRELOAD);
  for (u8 i = 0; i < 4; ++i) {
    s->aucReqPayload[SSDOC_k_HDR_LEN + i] = static_cast<u8>(req->ulLength >> (8 * i));
  }
  std::memcpy(s->aucReqPayload + SSDOC_k_SEG_INIT_LEN, req->pucData, pl - SSDOC_k_SEG_INIT_LEN);
  s->sReqHdr.ucLe = static_cast<u8>(pl);
  p->ulRemaining = req->ulLength;
  return SendInitiate(c, ct, SSDOC_k_DNLD_SEG_INIT);
}

void SSDOC_SendSegment(u8 c, u32 ct) {
  SCFM_Tack();
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  const u32 maxData = p->ucPayloadLen - 1U;
  p->ucToggle ^= 1U;
  const bool middle = p->ulRemaining > maxData;
  const u32 n = middle ? maxData : p->ulRemaining;
  const u8 toggle = p->ucToggle != 0 ? SSDOC_k_CMD_TOGGLE : 0;
  s->aucReqPayload[0] = static_cast<u8>((middle ? SSDOC_k_CMD_DN_SEG : SSDOC_k_CMD_DN_LAST) | toggle);
  std::memcpy(s->aucReqPayload + 1, p->pucData, n);
  s->sReqHdr.ucLe = static_cast<u8>(n + 1);
  p->pucData += n;
  p->ulRemaining -= n;
  p->ulState = middle ? SSDOC_k_DNLD_MIDDLE : SSDOC_k_DNLD_LAST;
  (void)SSDOC_ServSendNew(c, ct);
}

void SSDOC_BuildRequest(u32 ct, u8* freeFrames) {
  SCFM_Tack();
  if (freeFrames == nullptr) {
    SERR_SetError(0xFA25, 0);
    return;
  }
  for (u8 c = 0; c < SSDOC_k_NUM_CLIENTS; ++c) {
    if constexpr (!SCM_kLegacy) {
      if (!SSDOC_SendPreloadSegment(c, ct, freeFrames)) {
        return;
      }
    }
    if (!CheckTimeout(c, ct, freeFrames)) {
      return;
    }
  }
}
