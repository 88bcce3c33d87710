// SSDO server: start-up, entry checks, the server's state machine and the
// handling of initiate requests.
#include <cstring>

#include "SCFM.h"
#include "SDN.h"
#include "SERR.h"
#include "SSC.h"
#include "SSDOS.h"
#include "SSDOSint.h"

SSDOS_Server SSDOS_s_Server = {};
SSDOS_Transfer SSDOS_s_Transfer = {};
SSDOS_Segment SSDOS_s_Segment = {};
u8 SSDOS_ucQueueSize = 1;

namespace {

/// Answers the initiate in the next dispatcher step.
bool AnswerNext(SSDOS_Ctx* ctx, u8 state, u32 abortCode) {
  SCFM_Tack();
  SSDOS_s_Server.ulPendingAbort = abortCode;
  SSDOS_s_Server.ucState = (abortCode != 0) ? static_cast<u8>(SSDOS_k_ST_ABORT) : state;
  *ctx->pucBusy = 1;
  return true;
}

bool EntryValid(const SFS_FrameHeader* req) {
  SCFM_Tack();
  if (req->ucTr != 0) {
    SERR_SetError(0x2B02, req->ucTr);
    return false;
  }
  u16 sadr = 0;
  if (SSDOS_s_Server.pucOwnSadr != nullptr) {
    std::memcpy(&sadr, SSDOS_s_Server.pucOwnSadr, sizeof(sadr));
  }
  if (req->usSdn != SDN_GetSdn() || req->usAdr != sadr) {
    SERR_SetError(0x1B01, (static_cast<u32>(req->usAdr) << 16) | req->usSdn);
    return false;
  }
  return true;
}
}  // namespace

bool SSDOS_Initiate(SSDOS_Ctx* ctx) {
  SCFM_Tack();
  const u8 le = ctx->pReq->ucLe;
  if (le < 4 || le > ctx->ucMaxLe) {
    SERR_SetError(0x2B08, le);
    SSDOS_SodAcsReset(false);
    return false;
  }
  const u8 cmd = ctx->pucReq[0];
  SSDOS_s_Server.ucCmd = cmd;
  // The older release has no preload: its initiate is an unknown command there.
  switch (SSDOS_KnownCommand(cmd)) {
    case SSDOS_k_CMD_ABORT:
      if (le != 8) {
        SERR_SetError(0x2B06, le);
        return false;
      }
      SERR_SetError(0x2B04, SSDOS_Le32(ctx->pucReq + 4));
      SSDOS_SodAcsReset(true);
      return false;
    case SSDOS_k_CMD_UP_INIT:
      if (le != 4) {
        SERR_SetError(0x2B05, le);
        return false;
      }
      SSDOS_SodAcsTakeIndex(ctx->pucReq);
      return AnswerNext(ctx, SSDOS_k_ST_UP_INIT, SSDOS_UploadInit());
    case SSDOS_k_CMD_DN_EXP:
    case SSDOS_k_CMD_DN_SEGD:
    case SSDOS_k_CMD_DN_PRELD:
      SSDOS_SodAcsTakeIndex(ctx->pucReq);
      return AnswerNext(ctx, SSDOS_k_ST_DN_INIT, SSDOS_DownloadInit(ctx, cmd));
    default:
      SERR_SetError(0x2B07, cmd);
      SSDOS_SodAcsTakeIndex(ctx->pucReq);
      return AnswerNext(ctx, SSDOS_k_ST_ABORT, SSDOS_k_AB_CMD);
  }
}

bool SSDOS_Init() {
  SCFM_Tack();
  // No lock can be held yet: the records are cleared without releasing anything.
  SSDOS_s_Server = SSDOS_Server{};
  SSDOS_s_Transfer = SSDOS_Transfer{};
  SSDOS_s_Segment = SSDOS_Segment{};
  SSDOS_ucQueueSize = 1;
  static SOD_Access s_OwnSadrAcc;  // 0x1C00/1, resolved once
  s_OwnSadrAcc = SOD_Access{};
  s_OwnSadrAcc.obj.usIndex = 0x1C00;
  s_OwnSadrAcc.obj.ucSubIndex = 1;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const void* value = nullptr;
  if (SOD_AttrGetVirt(&s_OwnSadrAcc, &err) != nullptr) {
    value = SOD_ReadVirt(&s_OwnSadrAcc, &err);
  }
  if (value == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  SSDOS_s_Server.pucOwnSadr = static_cast<const u8*>(value);
  return true;
}

bool SSDOS_ProcessRequest(const SFS_FrameHeader* request, SFS_FrameHeader* response, u8* busy) {
  SCFM_Tack();
  if (busy == nullptr) {
    return false;
  }
  // Busy belongs to this call only: state 0 sets it again when it needs the answer step.
  const bool again = *busy != 0;
  *busy = 0;
  SSDOS_Ctx ctx = {request, SSC_GetRxPayload(request), response, SSC_GetTxPayload(response), busy, 0};
  if (request == nullptr || response == nullptr || ctx.pucReq == nullptr || ctx.pucResp == nullptr) {
    return false;
  }
  ctx.ucMaxLe = SFS_IsSlim(request->ucId) ? SSDOS_k_MAX_LE_SLIM : SSDOS_k_MAX_LE;
  if (!EntryValid(request)) {
    return false;
  }
  const u8 state = SSDOS_s_Server.ucState;
  if (!again && (state == SSDOS_k_ST_DN_INIT || state == SSDOS_k_ST_UP_INIT || state == SSDOS_k_ST_ABORT)) {
    // The answer step of an earlier initiate was lost (its request was dropped): start afresh.
    SSDOS_SodAcsReset(true);
    return SSDOS_Initiate(&ctx);
  }
  switch (state) {
    case SSDOS_k_ST_WAIT: return SSDOS_Initiate(&ctx);
    case SSDOS_k_ST_DN_INIT: return SSDOS_DownloadInitResp(&ctx);
    case SSDOS_k_ST_DN_SEG: return SSDOS_DownloadSegment(&ctx);
    case SSDOS_k_ST_UP_INIT: return SSDOS_UploadInitResp(&ctx);
    case SSDOS_k_ST_UP_SEG: return SSDOS_UploadSegment(&ctx);
    case SSDOS_k_ST_ABORT:
      SSDOS_SodAcsAbortResp(&ctx, SSDOS_s_Server.ulPendingAbort);
      return true;
    default:
      SERR_SetError(0xFB03, state);
      return false;
  }
}
