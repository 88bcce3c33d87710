// Configuration manager: the node state machine from the additional SADRs to
// operational, guarding, SN-failure acknowledges and additional parameter sets.
#include <cstring>

#include "SAPL.h"
#include "SCFM.h"
#include "SERR.h"
#include "SCMint.h"
#include "SNMTM.h"
#include "SSDOC.h"

namespace {
constexpr u8 k_SN_FAIL = 0x07;         ///< SN FAIL answer
constexpr u8 k_SN_OPERATIONAL = 0x03;  ///< SN status operational
constexpr u8 k_SN_PREOP = 0x01;        ///< SN status pre-operational
constexpr u8 k_SN_BUSY = 0x09;         ///< SN busy
constexpr u8 k_GROUP_STACK = 4;        ///< error group of the node's stack
constexpr u8 k_CODE_STACK_ACK = 4;     ///< stack code acknowledged and restarted at once
constexpr u8 k_GROUP_ADD_PARAM = 5;    ///< error group asking for an additional parameter set
constexpr u8 k_ADD_PARAM_WHOLE = 0xF0; ///< codes from here on download the whole set
constexpr u32 k_ADD_PARAM_PART = 16;   ///< bytes downloaded otherwise
constexpr u32 k_ADD_PARAM_MIN = 16;    ///< shortest acceptable set
constexpr u8 k_ADD_PARAM_VERSION = 1;  ///< version byte of a set
constexpr u16 k_IDX_IDENTITY = 0x1018; ///< identity object of a node

/// Operational (or still guarded): status 0x81, next guard one guard time later, life deadline anew.
bool Guarded(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if (!SCM_SetNodeStatus(cb, n, SCM_k_NS_OPERATIONAL, cb->ucNotify)) {
    return false;
  }
  cb->ulDeadline = ct + SCM_s.ulGuardTime;
  cb->ulLifeDeadline = ct + SCM_s.ulTotalGuardTime;
  cb->ulState = SCM_k_ST_WF_GUARD_TIMER;
  return true;
}

/// Enters the wait for the SN-failure acknowledge with (group, code) as the bytes to acknowledge.
void EnterSaplAck(SCM_FsmCb* cb, u8 group, u8 code) {
  SCFM_Tack();
  cb->ucSnErrGroup = group;
  cb->ucSnErrCode = code;
  cb->aucRespData[0] = group;
  cb->aucRespData[1] = code;
  cb->ulState = SCM_k_ST_WF_SAPL_ACK;
}

/// Checks an additional parameter set; 0 when accepted, else the refusal's code.
u16 CheckAddParam(const u8* set, u32 len, u16 sadr) {
  SCFM_Tack();
  if (len < k_ADD_PARAM_MIN) {
    return 0x2112;
  }
  if (set[1] != k_ADD_PARAM_VERSION) {
    return 0x2110;
  }
  if (static_cast<u16>(set[2] | (set[3] << 8)) != sadr) {
    return 0x2111;
  }
  return 0;
}
}  // namespace

/// Assigns the next additional SADR of the node, or goes on to operational (state 13).
bool SCM_AssignAddSadr(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_GO) == 0) {
    return true;
  }
  const u16 ev = SCM_TakeEvents(cb);
  const u16 a = SCM_GetNextAddSadr(cb->usSadr, cb->usAddSadrCursor);
  if (a == 0) {
    SCM_Next(cb, SCM_k_ST_SEND_PUT_TO_OP);
    return true;
  }
  u16 txSpdo = 0;
  if (!SCM_SodReadVal(static_cast<u16>(SCM_k_IDX_ADD_SADR + a), 2, &txSpdo, sizeof txSpdo)) {
    return false;
  }
  if (!SNMTM_ReqAssgnAddSadr(ct, n, cb->usSadr, a, txSpdo)) {
    return SCM_PutBack(cb, ev);
  }
  SCM_NumFreeFrmsDec();
  cb->usAddSadrCursor = a;
  cb->ulState = SCM_k_ST_WF_ADD_SADR;
  return true;
}

/// Waits for the answer to an additional SADR (state 14).
bool SCM_WfAddSadrResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SNMT_RESP) != 0) {
    (void)SCM_TakeEvents(cb);
    const u16 echoed = static_cast<u16>(cb->aucRespData[1] | (cb->aucRespData[2] << 8));
    if (echoed != cb->usAddSadrCursor) {
      return SCM_FailWait(cb, n, SCM_k_NS_DOWNLOAD_FAIL, ct);
    }
    SCM_Next(cb, SCM_k_ST_ASSIGN_ADD_SADR);
    return true;
  }
  if ((cb->usEvents & SCM_k_EVT_SNMT_TMO) != 0) {
    (void)SCM_TakeEvents(cb);
    return SCM_Restart(cb, n);
  }
  return true;
}

/// Waits for the answer to the assignment with the new UDID (state 15).
bool SCM_WfAssignSadrResp2(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SNMT_RESP) != 0) {
    const u16 ev = SCM_TakeEvents(cb);
    return SCM_AssignAnswered(cb, n, ct, ev);
  }
  if ((cb->usEvents & SCM_k_EVT_SNMT_TMO) != 0) {
    (void)SCM_TakeEvents(cb);
    return SCM_Restart(cb, n);
  }
  return true;
}

/// Assigns the SADR to the new UDID when no assigned node holds it (state 16).
bool SCM_VerifyUniqUdid(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_GO) == 0) {
    return true;
  }
  const u16 ev = SCM_TakeEvents(cb);
  if (!SCM_UniqueUdid(cb->aucRecvUdid)) {
    return SCM_FailWait(cb, n, SCM_k_NS_DEVICE_MISMATCH, ct);
  }
  if (!SNMTM_ReqAssgnSadr(ct, n, cb->usSadr, cb->aucRecvUdid)) {
    return SCM_PutBack(cb, ev);
  }
  SCM_NumFreeFrmsDec();
  std::memcpy(cb->pucExpUdid, cb->aucRecvUdid, SCM_k_UDID_LEN);
  cb->ucSadrAssigned = 1;
  cb->ulState = SCM_k_ST_WF_ASSIGN_SADR2;
  return true;
}

/// Sends set-to-operational with the parameter timestamp (state 17).
bool SCM_SendPutToOp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_GO) == 0) {
    return true;
  }
  const u16 ev = SCM_TakeEvents(cb);
  u32 timestamp = 0;
  if (!SCM_SodReadVal(SCM_NodeIdx(cb), SCM_k_SUB_TIMESTAMP, &timestamp, sizeof timestamp)) {
    return false;
  }
  if (!SNMTM_ReqSnTrans(ct, n, cb->usSadr, SNMTM_k_TRANS_OP, timestamp)) {
    return SCM_PutBack(cb, ev);
  }
  SCM_NumFreeFrmsDec();
  cb->ulState = SCM_k_ST_WF_OP;
  return true;
}

/// Reads the parameter timestamp (state 18).
bool SCM_SendReadTimestamp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_GO) == 0) {
    return true;
  }
  const u16 ev = SCM_TakeEvents(cb);
  if (!SCM_ReadU32(cb, n, ct, k_IDX_IDENTITY, 7)) {
    return SCM_PutBack(cb, ev);
  }
  cb->ulState = SCM_k_ST_WF_TIMESTAMP;
  return true;
}

/// Waits for the answer to set-to-operational (state 19).
bool SCM_WfOpResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SNMT_RESP) != 0) {
    (void)SCM_TakeEvents(cb);
    const u8 answer = cb->aucRespData[0];
    const u8 group = cb->aucRespData[1];
    const u8 code = cb->aucRespData[2];
    switch (answer) {
      case k_SN_OPERATIONAL:
        return Guarded(cb, n, ct);
      case k_SN_FAIL:
        // The older release has no special case for group 4 code 4: it waits for the acknowledge.
        if (!SCM_kLegacy && group == k_GROUP_STACK && code == k_CODE_STACK_ACK) {
          EnterSaplAck(cb, group, code);
          cb->usEvents = SCM_k_EVT_ACK;
          SAPL_ScmSnFailClbk(cb->usSadr, group, code, n);
          return true;
        }
        if (group == k_GROUP_ADD_PARAM) {
          cb->ucSnErrGroup = group;
          cb->ucSnErrCode = code;
          SCM_Next(cb, SCM_k_ST_SEND_SAPL_ACK);
          return true;
        }
        EnterSaplAck(cb, group, code);
        cb->ulDeadline = ct + cb->ulPollTime;
        SAPL_ScmNodeStatusChangedClbk(cb->usSadr, cb->ucNodeStatus, cb->ucNodeStatus);
        SAPL_ScmSnFailClbk(cb->usSadr, group, code, n);
        return true;
      case k_SN_BUSY:
        cb->ulDeadline = ct + cb->ulPollTime;
        cb->ulState = SCM_k_ST_WF_POLL_TIMEOUT;
        return true;
      default:
        // An answer the master matched but this state does not name: the node starts again.
        SERR_SetError(0x210A, answer);
        return SCM_Restart(cb, n);
    }
  }
  if ((cb->usEvents & SCM_k_EVT_SNMT_TMO) != 0) {
    (void)SCM_TakeEvents(cb);
    return SCM_Restart(cb, n);
  }
  return true;
}

/// Waits one poll time after a busy answer (state 20).
bool SCM_WfPollTimeout(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  (void)n;
  (void)ct;
  return SCM_TimerNext(cb, SCM_k_ST_SEND_PUT_TO_OP);
}

/// Waits for the SN-failure acknowledge; reports again once per poll time while notify is set (state 21).
bool SCM_WfSaplAck(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_ACK) != 0) {
    // The acknowledge wins over a timer that expired in the same turn.
    (void)SCM_TakeEvents(cb);
    if (!SNMTM_SnErrorAck(cb->usSadr, cb->aucRespData[0], cb->aucRespData[1])) {
      return SCM_PutBack(cb, SCM_k_EVT_ACK);
    }
    SCM_NumFreeFrmsDec();
    // The older release goes on with the timestamp read, not with a new SADR assignment.
    SCM_Next(cb, SCM_kLegacy ? SCM_k_ST_SEND_READ_TIMESTAMP : SCM_k_ST_SEND_ASSIGN_SADR);
    return true;
  }
  if ((cb->usEvents & SCM_k_EVT_TIMER) != 0) {
    (void)SCM_TakeEvents(cb);
    cb->ulDeadline = ct + cb->ulPollTime;
    if (cb->ucNotify != 0) {
      cb->ucNotify = 0;
      SAPL_ScmNodeStatusChangedClbk(cb->usSadr, cb->ucNodeStatus, cb->ucNodeStatus);
      SAPL_ScmSnFailClbk(cb->usSadr, cb->ucSnErrGroup, cb->ucSnErrCode, n);
    }
    return true;
  }
  return true;
}

/// Sends the guard request when the guard time is over (state 22).
bool SCM_WfGuardTimer(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_TIMER) == 0) {
    return true;
  }
  const u16 ev = SCM_TakeEvents(cb);
  if (!SNMTM_ReqGuarding(ct, n, cb->usSadr)) {
    return SCM_PutBack(cb, ev);
  }
  SCM_NumFreeFrmsDec();
  cb->ulState = SCM_k_ST_WF_GUARD;
  return true;
}

/// Waits for the guard answer (state 23).
bool SCM_WfGuardResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SNMT_RESP) != 0) {
    (void)SCM_TakeEvents(cb);
    const u8 answer = cb->aucRespData[0];
    if (answer == k_SN_OPERATIONAL) {
      return Guarded(cb, n, ct);
    }
    if (answer != k_SN_PREOP) {
      // SN FAIL or an even code to a guard request: the node starts again.
      SERR_SetError(0x210B, answer);
    }
    return SCM_Restart(cb, n);
  }
  if ((cb->usEvents & SCM_k_EVT_SNMT_TMO) != 0) {
    (void)SCM_TakeEvents(cb);
    // The older release has no life time tolerance: a guard request that timed out restarts the node.
    if (!SCM_kLegacy && static_cast<i32>(ct - cb->ulLifeDeadline) < 0) {
      cb->ulDeadline = ct + SCM_s.ulGuardTime;
      cb->ulState = SCM_k_ST_WF_GUARD_TIMER;
      return true;
    }
    return SCM_Restart(cb, n);
  }
  return true;
}

/// Acknowledges an SN failure of group 5 (state 24).
bool SCM_SendSaplAck(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  (void)n;
  (void)ct;
  if ((cb->usEvents & SCM_k_EVT_GO) == 0) {
    return true;
  }
  const u16 ev = SCM_TakeEvents(cb);
  if (!SNMTM_SnErrorAck(cb->usSadr, cb->ucSnErrGroup, cb->ucSnErrCode)) {
    return SCM_PutBack(cb, ev);
  }
  SCM_NumFreeFrmsDec();
  SCM_Next(cb, SCM_k_ST_SEND_ADD_PARAM);
  return true;
}

/// Checks and sends the additional parameter set the node asked for (state 25).
bool SCM_SendAddParam(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_GO) == 0) {
    return true;
  }
  const u16 ev = SCM_TakeEvents(cb);
  const u16 index = static_cast<u16>(SCM_k_IDX_ADD_PARAM + cb->usSadr);
  const u8 sub = static_cast<u8>((cb->ucSnErrCode & 0x0F) + 1);
  const u32 info = (static_cast<u32>(sub) << 16) | index;
  u8 failed = 0;
  const u8* set = static_cast<const u8*>(SCM_SodQueryRead(index, sub, &failed));
  u16 refusal = 0x2113;
  u32 len = 0;
  if (set != nullptr) {
    len = SCM_SodGetActLen(index, sub);
    refusal = CheckAddParam(set, len, cb->usSadr);
  }
  if (refusal != 0) {
    SERR_SetError(refusal, info);
    return SCM_FailWait(cb, n, SCM_k_NS_ADD_PARAM_FAIL, ct);
  }
  const u32 length = cb->ucSnErrCode >= k_ADD_PARAM_WHOLE ? len : k_ADD_PARAM_PART;
  if (!SCM_Download(cb, n, ct, const_cast<u8*>(set), length)) {
    return SCM_PutBack(cb, ev);
  }
  cb->ulState = SCM_k_ST_WF_ADD_PARAM;
  return true;
}

/// Waits for the additional parameter download (state 26).
bool SCM_WfAddParamResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SSDO_DONE) != 0) {
    (void)SCM_TakeEvents(cb);
    SCM_Next(cb, SCM_k_ST_SEND_PUT_TO_OP);
    return true;
  }
  return SCM_SsdoFailed(cb, n, ct, SCM_k_NS_DOWNLOAD_FAIL);
}
