// SNMT slave: the response frames of the own node.
#include <cstring>

#include "SCFM.h"
#include "SDN.h"
#include "SNMTS.h"
#include "SNMTSint.h"

namespace {
constexpr u8 k_ID_UDID_RESP = 0x29;     ///< UDID response
constexpr u8 k_ID_SADR_RESP = 0x2B;     ///< SADR assigned
constexpr u8 k_ID_SERVICE_RESP = 0x2D;  ///< service response
constexpr u8 k_SRV_SN_FAIL = 0x07;      ///< SN FAIL response service

/// Response header addressed back to the requester, with CT 0 and TR 0.
void Header(SNMTS_EvtCtx* ctx, u8 id, u8 le) {
  SCFM_Tack();
  SFS_FrameHeader* r = ctx->pResp;
  *r = SFS_FrameHeader{};
  r->usAdr = ctx->pReq->usTadr;
  r->ucId = id;
  r->usSdn = ctx->pReq->usSdn;
  r->ucLe = le;
  r->usCt = 0;
  r->usTadr = ctx->pReq->usAdr;
  r->ucTr = 0;
}
}  // namespace

const u8 SNMTS_aucErrorUdid[SNMTS_k_UDID_LEN] = {0, 0, 0, 0, 0, 0};

void SNMTS_RespUdid(SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  const u8* udid = SNMTS_OwnUdid();
  Header(ctx, k_ID_UDID_RESP, SNMTS_k_UDID_LEN);
  std::memcpy(ctx->pucResp, (udid != nullptr) ? udid : SNMTS_aucErrorUdid, SNMTS_k_UDID_LEN);
}

void SNMTS_RespSadrAssigned(SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  Header(ctx, k_ID_SADR_RESP, SNMTS_k_UDID_LEN);
  ctx->pResp->usSdn = SDN_GetSdn();
  ctx->pResp->usTadr = SNMTS_MainSadrGet();
  std::memcpy(ctx->pucResp, ctx->pucReq, SNMTS_k_UDID_LEN);
}

void SNMTS_RespService(SNMTS_EvtCtx* ctx, u8 service, const u8* data, u8 len) {
  SCFM_Tack();
  Header(ctx, k_ID_SERVICE_RESP, static_cast<u8>(len + 1));
  ctx->pucResp[0] = service;
  if (len != 0) {
    std::memcpy(ctx->pucResp + 1, data, len);
  }
}

void SNMTS_RespSnFail(SNMTS_EvtCtx* ctx, u8 group, u8 code) {
  SCFM_Tack();
  const u8 data[2] = {group, code};
  SNMTS_RespService(ctx, k_SRV_SN_FAIL, data, sizeof(data));
  SNMTS_SnFailRemember(group, code);
}
