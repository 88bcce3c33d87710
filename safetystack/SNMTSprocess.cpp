// SNMT slave: handling of an accepted request by its id and service.
#include "SCFM.h"
#include "SCM.h"
#include "SERR.h"
#include "SNMTSint.h"

namespace {
/// Extended services of request 0x2C.
enum : u8 {
  k_SRV_SET_PREOP = 0x00,   ///< SN set to PRE-OPERATIONAL
  k_SRV_SET_OP = 0x02,      ///< SN set to OPERATIONAL
  k_SRV_SCM_STOP = 0x04,    ///< SCM stop
  k_SRV_SCM_OP = 0x06,      ///< SCM operational
  k_SRV_GUARD = 0x08,       ///< guard SN
  k_SRV_ADD_SADR = 0x0A,    ///< assign additional SADR
  k_SRV_ERR_ACK = 0x0C,     ///< SN error acknowledge
  k_SRV_SCM_UDID = 0x0E,    ///< assign SCM UDID
  k_SRV_EXT_CT = 0x10       ///< initialize extended CT
};

/// Response service of an additional SADR assignment.
constexpr u8 k_RESP_ADD_SADR = 0x05;

/// One extended service: its exact LE, the code of a wrong LE and the event it raises (0xFF: none).
struct Service {
  u8 ucService;   ///< service byte
  u8 ucLe;        ///< required LE
  u16 usLeError;  ///< error of a wrong LE
  u8 ucEvent;     ///< state machine event, or 0xFF for services handled here
};

constexpr u8 k_NO_EVENT = 0xFF;  ///< the service is handled outside the state machine

/// The extended services by service byte.
constexpr Service k_services[] = {
    {k_SRV_SET_PREOP, 1, 0x260B, SNMTS_k_EVT_SET_PREOP},
    {k_SRV_SET_OP, 5, 0x260C, SNMTS_k_EVT_SET_OP},
    {k_SRV_SCM_STOP, 1, 0x260D, k_NO_EVENT},
    {k_SRV_SCM_OP, 1, 0x260E, k_NO_EVENT},
    {k_SRV_GUARD, 1, 0x260F, SNMTS_k_EVT_GUARD},
    {k_SRV_ADD_SADR, 5, 0x2610, k_NO_EVENT},
    {k_SRV_ERR_ACK, 3, 0x2612, SNMTS_k_EVT_ERR_ACK},
    {k_SRV_SCM_UDID, 7, 0x2613, SNMTS_k_EVT_SCM_UDID},
    {k_SRV_EXT_CT, 6, 0x264E, SNMTS_k_EVT_EXT_CT},
};

/// The services that act outside the state machine.
bool DirectService(u8 service, SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  switch (service) {
    case k_SRV_SCM_STOP:
      // Acts on the SCM only; the own node sends nothing.
      SCM_Deactivate();
      return true;
    case k_SRV_SCM_OP:
      // Acts on the SCM only; a failed activation is counted by the dispatcher.
      return SCM_Activate();
    default: {
      // This node has no additional SADRs: the assignment is answered with SADR 0.
      SERR_SetError(0x1611, 0);
      const u8 data[4] = {0, 0, ctx->pucReq[3], ctx->pucReq[4]};
      SNMTS_RespService(ctx, k_RESP_ADD_SADR, data, sizeof(data));
      return true;
    }
  }
}

bool ServiceRequest(SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  const u8 le = ctx->pReq->ucLe;
  if (le == 0) {
    SERR_SetError(0x2609, 0);
    return false;
  }
  const u8 service = ctx->pucReq[0];
  for (const Service& s : k_services) {
    SCFM_Tack();
    if (s.ucService != service) {
      continue;
    }
    if (le != s.ucLe) {
      SERR_SetError(s.usLeError, le);
      return false;
    }
    if (s.ucEvent == k_NO_EVENT) {
      return DirectService(service, ctx);
    }
    return SNMTS_SnStateFsm(s.ucEvent, ctx);
  }
  SERR_SetError(0x2614, service);
  return false;
}
}  // namespace

bool SNMTS_ProcessReq(SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  const SFS_FrameHeader* req = ctx->pReq;
  switch (req->ucId & 7) {
    case 0:  // 0x28 UDID request: answered in every state
      if (req->ucLe != 0) {
        SERR_SetError(0x2608, req->ucLe);
        return false;
      }
      SNMTS_RespUdid(ctx);
      return true;
    case 2:  // 0x2A assign SADR
      if (req->ucLe != SNMTS_k_UDID_LEN) {
        SERR_SetError(0x2618, req->ucLe);
        return false;
      }
      if (!SNMTS_IsOwnUdid(ctx->pucReq)) {
        SERR_SetError(0x1619, 0);
        return false;
      }
      return SNMTS_SnStateFsm(SNMTS_k_EVT_ASSIGN_SADR, ctx);
    case 4:  // 0x2C extended services
      return ServiceRequest(ctx);
    default:  // 0x2E is not served by a node
      SERR_SetError(0x260A, req->ucId);
      return false;
  }
}
