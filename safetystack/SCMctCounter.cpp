// The configuration manager's 40-bit CT counter, from which the extended
// consecutive time of the nodes starts, and the node state that sends it
// (the older release has neither).
#include <cstring>

#include "SAPL.h"
#include "SCFM.h"
#include "SCMint.h"
#include "SERR.h"
#include "SNMTM.h"

namespace {
constexpr u64 k_CT40_MAX = 0xFFFFFFFFFFULL;  ///< largest 40-bit value
}  // namespace

void SCM_InitCtCounter() {
  SCFM_Tack();
  SCM_s.ullCtCounter = SAPL_SCM_GetInitialCtValueClbk();
  if (SCM_s.ullCtCounter > k_CT40_MAX) {
    SERR_SetError(0xF116, static_cast<u32>(SCM_s.ullCtCounter >> 32));
  }
  SCM_s.ulPrevCt = 0;
}

bool SCM_SendInitExtCt(SCM_FsmCb* cb, u16 n, u32 ct, u16 ev) {
  SCFM_Tack();
  static const u8 k_zero[SCM_k_EXT_CT_LEN] = {};
  if (std::memcmp(cb->aucExtCtStart, k_zero, SCM_k_EXT_CT_LEN) == 0) {
    for (u8 i = 0; i < SCM_k_EXT_CT_LEN; ++i) {
      cb->aucExtCtStart[i] = static_cast<u8>(SCM_s.ullCtCounter >> (8 * i));
    }
  }
  if (!SNMTM_ReqInitializeCtSn(ct, n, cb->usSadr, cb->aucExtCtStart)) {
    return SCM_PutBack(cb, ev);
  }
  SCM_NumFreeFrmsDec();
  cb->ulState = SCM_k_ST_WF_EXT_CT;
  return true;
}

bool SCM_WfInitExtCtResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SNMT_RESP) != 0) {
    const u16 ev = SCM_TakeEvents(cb);
    if (cb->aucRespData[0] == SCM_k_SN_FAIL) {
      return SCM_SnFail(cb, n);
    }
    if (std::memcmp(cb->aucRespData + 1, cb->aucExtCtStart, SCM_k_EXT_CT_LEN) != 0 || !SCM_FromNode(cb)) {
      return SCM_FailWait(cb, n, SCM_k_NS_EXT_CT_FAIL, ct);
    }
    return SCM_ReadVendorId(cb, n, ct, ev);
  }
  if ((cb->usEvents & SCM_k_EVT_SNMT_TMO) != 0) {
    (void)SCM_TakeEvents(cb);
    return SCM_FailWait(cb, n, SCM_k_NS_EXT_CT_FAIL, ct);
  }
  return true;
}

void SCM_ClearKeepingExtCt(SCM_FsmCb* cb) {
  SCFM_Tack();
  u8 extCt[SCM_k_EXT_CT_LEN];
  std::memcpy(extCt, cb->aucExtCtStart, sizeof extCt);
  *cb = SCM_FsmCb{};
  std::memcpy(cb->aucExtCtStart, extCt, sizeof extCt);
}
