// SNMT slave: start-up, request acceptance and the entry points of the
// platform, the application and the SSDO server.
#include "SCFM.h"
#include "SDN.h"
#include "SERR.h"
#include "SNMTS.h"
#include "SNMTSint.h"
#include "SSC.h"

namespace {
/// Ids accepted whatever their address fields say (UDID request, SADR assignment).
bool AnyAddress(u8 id) {
  SCFM_Tack();
  return id == 0x28 || id == 0x2A;
}

/// Event without a frame, as the application and the timer give it.
bool AppEvent(u8 event, u32 ct, u8* freeFrames) {
  SCFM_Tack();
  SNMTS_EvtCtx ctx = {ct, nullptr, nullptr, nullptr, nullptr, nullptr, freeFrames};
  return SNMTS_SnStateFsm(event, &ctx);
}
}  // namespace

bool SNMTS_Init() {
  SCFM_Tack();
  SNMTS_ucSnState = SNMTS_k_ST_INIT;
  if (!SNMTS_RefreshInit() || !SNMTS_LifeInit() || !SNMTS_OwnUdidInit() || !SNMTS_SadrAccInit() ||
      !SNMTS_AppInfoInit()) {
    SCFM_Tack();
    return false;
  }
  SNMTS_ucSnState = SNMTS_k_ST_INIT;
  return true;
}

bool SNMTS_ProcessRequest(u32 ct, const SFS_FrameHeader* request, SFS_FrameHeader* response, u8* busy) {
  SCFM_Tack();
  if (busy == nullptr) {
    SERR_SetError(0xF643, 0);
    return false;
  }
  // Busy belongs to this call only: the step that needs another call sets it again.
  const bool again = *busy != 0;
  *busy = 0;
  const u8* reqData = SSC_GetRxPayload(request);
  u8* respData = SSC_GetTxPayload(response);
  if (request == nullptr || response == nullptr || reqData == nullptr || respData == nullptr) {
    SERR_SetError(0xF643, 0);
    return false;
  }
  if (!again) {
    if (request->usCt != 0) {
      SERR_SetError(0x1615, request->usCt);
      return false;
    }
    if (request->ucTr != 0) {
      SERR_SetError(0x1616, request->ucTr);
      return false;
    }
    const u16 sadr = SNMTS_MainSadrGet();
    const u16 sdn = SDN_GetSdn();
    const bool addressed = sadr != 0 && sadr == request->usAdr && sdn != 0 && sdn == request->usSdn;
    if (!addressed && !AnyAddress(request->ucId)) {
      SERR_SetError(0x1617, (static_cast<u32>(request->usAdr) << 16) | request->usSdn);
      return false;
    }
  }
  SNMTS_EvtCtx ctx = {ct, request, reqData, response, respData, busy, nullptr};
  return SNMTS_ProcessReq(&ctx);
}

bool SNMTS_PerformTransPreOp(u32 ct) {
  SCFM_Tack();
  return AppEvent(SNMTS_k_EVT_TRANS_PREOP, ct, nullptr);
}

void SNMTS_TimerCheck(u32 ct, u8* freeFrames) {
  SCFM_Tack();
  if (freeFrames == nullptr) {
    SERR_SetError(0xF602, 0);
    return;
  }
  if (*freeFrames == 0) {
    SERR_SetError(0x1603, 0);
    return;
  }
  static_cast<void>(AppEvent(SNMTS_k_EVT_TIMER, ct, freeFrames));
}

bool SNMTS_GetSnState(u32* out) {
  SCFM_Tack();
  if (out == nullptr) {
    SERR_SetError(0xF61B, 0);
    return false;
  }
  if (SNMTS_ucSnState == SNMTS_k_ST_INIT) {
    *out = 0;
  } else if (SNMTS_ucSnState == SNMTS_k_ST_OP || SNMTS_ucSnState == SNMTS_k_ST_OP_SADR) {
    *out = 2;
  } else {
    *out = 1;
  }
  return true;
}
