// Configuration manager: initialisation, activation, the scheduler, the
// acknowledges of the application and the completions of the masters.
#include <cstring>

#include "SAPL.h"
#include "SCFM.h"
#include "SERR.h"
#include "SCMint.h"
#include "SNMTM.h"
#include "SSDOC.h"

SCM_State SCM_s;
SCM_FsmCb SCM_as_FsmCb[SCM_k_MAX_NODES];
u16 SCM_aw_MainSadr[1023];

namespace {
constexpr u16 k_MAX_SADR = 1023;             ///< highest SADR
constexpr u16 k_IDX_GUARD = 0x100C;          ///< guard time (sub 1) and life time factor (sub 2)
constexpr u16 k_IDX_CONFIG = 0x101B;         ///< configuration mode (sub 1)
constexpr u16 k_MIN_PAYLOAD = 8;             ///< smallest SSDO payload length of a node
constexpr u16 k_MAX_PAYLOAD = 254;           ///< largest SSDO payload length of a node
/// Error of an event the state left unconsumed (the older release makes it fatal).
constexpr u16 k_ERR_UNEXPECTED_EVENT = SCM_ProfileValue<u16>(0x2105, 0xF105);

/// Reads a u8 object into out; false (raised) when unreadable.
bool ReadU8(u16 index, u8 sub, u8* out) {
  SCFM_Tack();
  const void* p = SCM_SodRead(index, sub);
  if (p == nullptr) {
    return false;
  }
  std::memcpy(out, p, 1);
  return true;
}

/// Builds the additional-SADR table; false when an existing entry cannot be read.
bool BuildMainSadr() {
  SCFM_Tack();
  for (u16 i = 0; i < k_MAX_SADR; ++i) {
    u8 failed = 0;
    const void* p = SCM_SodQueryRead(static_cast<u16>(SCM_k_IDX_ADD_SADR + 1 + i), 1, &failed);
    u16 v = 0;
    if (p == nullptr) {
      if (failed != 0) {
        return false;
      }
    } else {
      std::memcpy(&v, p, sizeof v);
    }
    // A SADR that names itself is no additional SADR.
    SCM_aw_MainSadr[i] = v == i + 1 ? 0 : v;
  }
  return true;
}

/// Fills the next node block from list entry listIdx; false when an object cannot be read or bound.
bool FillBlock(u16 listIdx, u16 sadr) {
  SCFM_Tack();
  const u16 idx = static_cast<u16>(SCM_k_IDX_NODE + listIdx);
  u16 payload = 0;
  u32 poll = 0;
  if (!SCM_SodReadVal(idx, SCM_k_SUB_PAYLOAD, &payload, sizeof payload) || !SCM_SodReadVal(idx, SCM_k_SUB_POLL, &poll, sizeof poll)) {
    return false;
  }
  u8* udid = SCM_SodPtrAcs(static_cast<u16>(SCM_k_IDX_UDID + sadr), 1);
  if (udid == nullptr) {
    return false;
  }
  u8* chk = SCM_SodPtrAcs(idx, SCM_k_SUB_CHKBUF);
  if (chk == nullptr) {
    return false;
  }
  SCM_FsmCb* cb = &SCM_as_FsmCb[SCM_s.usNodeCount];
  if constexpr (SCM_kLegacy) {
    *cb = SCM_FsmCb{};
  } else {
    SCM_ClearKeepingExtCt(cb);
  }
  cb->pucExpUdid = udid;
  cb->usSadr = sadr;
  // The object's range keeps the payload length in 8..254; a value outside it is clamped.
  cb->usSsdoPayloadLen = payload < k_MIN_PAYLOAD ? k_MIN_PAYLOAD : (payload > k_MAX_PAYLOAD ? k_MAX_PAYLOAD : payload);
  cb->ulPollTime = poll;
  cb->ulState = SCM_k_ST_SEND_ASSIGN_SADR;
  cb->usEvents = SCM_k_EVT_GO;
  cb->ucNotify = 1;
  cb->pucChkSumBuf = chk;
  cb->ulChkSumBufLen = SCM_SodGetActLen(idx, SCM_k_SUB_CHKBUF);
  cb->usListIdx = listIdx;
  ++SCM_s.usNodeCount;
  return true;
}

/// True when the node may run a state of this resource kind now.
bool ResourcesFree(const SCM_FsmCb* cb, u32 kind, bool* badKind) {
  SCFM_Tack();
  *badKind = false;
  const bool frame = SCM_s.pucFreeFrames != nullptr && *SCM_s.pucFreeFrames > 0;
  // A transfer still running for the node's SADR (after a restart or a new
  // activation) would be refused; the node waits until it ends.
  const bool ssdo = SSDOC_CheckFsmAvailable() && !SSDOC_TransferRunning(cb->usSadr);
  switch (kind) {
    case SCM_k_RES_NONE: return true;
    case SCM_k_RES_SNMT: return frame && SNMTM_CheckFsmAvailable();
    case SCM_k_RES_SSDO: return frame && ssdo;
    case SCM_k_RES_BOTH: return frame && ssdo && SNMTM_CheckFsmAvailable();
    default: *badKind = true; return false;
  }
}

/// One turn of node n.
void Turn(u16 n, u32 ct) {
  SCFM_Tack();
  SCM_FsmCb* cb = &SCM_as_FsmCb[n];
  if (!SAPL_ScmProcessSn(cb->usSadr)) {
    return;
  }
  if (cb->ulState >= SCM_k_NUM_STATES) {
    SERR_SetError(0xF106, cb->ulState);
    return;
  }
  const u32 state = cb->ulState;
  if ((state == SCM_k_ST_IDLE2 || state == SCM_k_ST_WF_POLL_TIMEOUT || state == SCM_k_ST_WF_SAPL_ACK ||
       state == SCM_k_ST_WF_GUARD_TIMER) &&
      static_cast<i32>(ct - cb->ulDeadline) >= 0) {
    cb->usEvents |= SCM_k_EVT_TIMER;
  }
  bool badKind = false;
  if (!ResourcesFree(cb, as_FsmStateFunctions[state].ulResKind, &badKind)) {
    if (badKind) {
      SERR_SetError(0xF109, as_FsmStateFunctions[state].ulResKind);
    }
    return;
  }
  if (cb->usEvents == 0) {
    return;
  }
  if (as_FsmStateFunctions[state].pfFunc(cb, n, ct) && cb->usEvents != 0 && cb->usEvents != SCM_k_EVT_GO &&
      cb->usEvents != SCM_k_EVT_ACK) {
    SERR_SetError(k_ERR_UNEXPECTED_EVENT, (static_cast<u32>(cb->usEvents) << 16) | cb->usSadr);
    cb->usEvents = SCM_k_EVT_GO;
    cb->ulState = SCM_k_ST_SEND_ASSIGN_SADR;
  }
}
}  // namespace

void SCM_Init() {
  SCFM_Tack();
  SCM_s = SCM_State{};
  SCM_s.ucStopped = 1;
  // The older release keeps no 40-bit CT counter.
  if constexpr (!SCM_kLegacy) {
    SCM_InitCtCounter();
  }
}

bool SCM_Activate() {
  SCFM_Tack();
  SCM_s.ucStopped = 0;
  SCM_s.pucFreeFrames = nullptr;
  SCM_s.usNodeCount = 0;
  SCM_s.usCurNode = 0;
  u32 guard = 0;
  u8 factor = 0;
  u8 config = 0;
  // The older release has no total guard time: it reads no life time factor.
  if (!SCM_SodReadVal(k_IDX_GUARD, 1, &guard, sizeof guard) || (!SCM_kLegacy && !ReadU8(k_IDX_GUARD, 2, &factor)) ||
      !ReadU8(k_IDX_CONFIG, 1, &config)) {
    return false;
  }
  SCM_s.ulGuardTime = guard;
  SCM_s.ulTotalGuardTime = guard * factor;
  SCM_s.ucConfigMode = config;
  if (!BuildMainSadr()) {
    return false;
  }
  for (u16 i = 0; i < SCM_k_MAX_NODES; ++i) {
    u8 failed = 0;
    const void* p = SCM_SodQueryRead(static_cast<u16>(SCM_k_IDX_NODE + i), SCM_k_SUB_SADR, &failed);
    if (p == nullptr) {
      if (failed != 0) {
        return false;
      }
      break;
    }
    u16 sadr = 0;
    std::memcpy(&sadr, p, sizeof sadr);
    if (sadr < 1 || sadr > k_MAX_SADR) {
      continue;
    }
    if (!FillBlock(i, sadr)) {
      return false;
    }
  }
  if (SCM_s.usNodeCount == 0) {
    SERR_SetError(0xF107, 0);
    return false;
  }
  return true;
}

void SCM_Deactivate() {
  SCFM_Tack();
  SCM_s.ucStopped = 1;
}

void SCM_Trigger(u32 ct, u8* freeFrames) {
  SCFM_Tack();
  if (freeFrames == nullptr) {
    SERR_SetError(0xF10D, 0);
    return;
  }
  if constexpr (!SCM_kLegacy) {
    SCM_s.ullCtCounter += static_cast<u32>(ct - SCM_s.ulPrevCt);
    SCM_s.ulPrevCt = ct;
  }
  if (SCM_s.ucStopped != 0 || SCM_s.usNodeCount == 0) {
    return;
  }
  const u16 n = SCM_s.usCurNode < SCM_s.usNodeCount ? SCM_s.usCurNode : 0;
  SCM_NumFreeFrmsSet(freeFrames);
  Turn(n, ct);
  SCM_s.usCurNode = static_cast<u16>((n + 1) % SCM_s.usNodeCount);
}

u8 SCM_OperatorAck(u16 fsmIndex) {
  SCFM_Tack();
  if (fsmIndex >= SCM_k_MAX_NODES) {
    SERR_SetError(0xF101, fsmIndex);
    return 0;
  }
  if (SCM_as_FsmCb[fsmIndex].ulState != SCM_k_ST_WF_OPERATOR_ACK) {
    SERR_SetError(0xF102, fsmIndex);
    return 0;
  }
  SCM_as_FsmCb[fsmIndex].usEvents |= SCM_k_EVT_ACK;
  return 1;
}

u8 SCM_SnFailAck(u16 fsmIndex, u8 group, u8 code) {
  SCFM_Tack();
  if (fsmIndex >= SCM_k_MAX_NODES) {
    SERR_SetError(0xF103, fsmIndex);
    return 0;
  }
  SCM_FsmCb* cb = &SCM_as_FsmCb[fsmIndex];
  if (cb->ulState != SCM_k_ST_WF_SAPL_ACK) {
    SERR_SetError(0xF104, fsmIndex);
    return 0;
  }
  cb->aucRespData[0] = group;
  cb->aucRespData[1] = code;
  cb->usEvents |= SCM_k_EVT_ACK;
  return 1;
}

u8 SCM_AwaitedAck(u16 fsmIndex) {
  if (fsmIndex >= SCM_k_MAX_NODES) {
    return SCM_k_AWAIT_NONE;
  }
  const SCM_FsmCb* cb = &SCM_as_FsmCb[fsmIndex];
  if (cb->ulState == SCM_k_ST_WF_OPERATOR_ACK) {
    return SCM_k_AWAIT_OPERATOR;
  }
  if (cb->ulState == SCM_k_ST_WF_SAPL_ACK && (cb->usEvents & SCM_k_EVT_ACK) == 0) {
    return SCM_k_AWAIT_SN_FAIL;
  }
  return SCM_k_AWAIT_NONE;
}

void SCM_ResetNodeGuarding() {
  SCFM_Tack();
  for (u16 i = 0; i < SCM_s.usNodeCount; ++i) {
    SCM_FsmCb* cb = &SCM_as_FsmCb[i];
    cb->ucNotify = 1;
    if (cb->ulState == SCM_k_ST_WF_OPERATOR_ACK) {
      cb->usEvents |= SCM_k_EVT_RESET_GUARD;
    } else if (cb->ulState == SCM_k_ST_IDLE2 || cb->ulState == SCM_k_ST_WF_GUARD_TIMER) {
      cb->usEvents |= SCM_k_EVT_TIMER;
    }
  }
}

void SCM_SNMTM_ResetGuardClbk() {
  SCFM_Tack();
  for (u16 i = 0; i < SCM_s.usNodeCount; ++i) {
    SCM_FsmCb* cb = &SCM_as_FsmCb[i];
    if (cb->ulState == SCM_k_ST_IDLE2 || cb->ulState == SCM_k_ST_WF_GUARD_TIMER) {
      cb->usEvents |= SCM_k_EVT_TIMER;
    }
  }
}

void SCM_SNMTM_RespClbk(u16 fsmIndex, u16 respSadr, u16 respSdn, const u8* data, u8 timedOut) {
  SCFM_Tack();
  if (fsmIndex >= SCM_k_MAX_NODES) {
    return;
  }
  SCM_FsmCb* cb = &SCM_as_FsmCb[fsmIndex];
  if (timedOut != 0) {
    cb->usEvents |= SCM_k_EVT_SNMT_TMO;
    return;
  }
  cb->usRespSadr = respSadr;
  cb->usRespSdn = respSdn;
  if (data != nullptr) {
    std::memcpy(cb->aucRespData, data, SCM_k_RESP_DATA);
  }
  cb->usEvents |= SCM_k_EVT_SNMT_RESP;
}

void SCM_SsdocClbk(u16 fsmIndex, u32 length, u32 abortCode) {
  SCFM_Tack();
  if (fsmIndex >= SCM_k_MAX_NODES) {
    return;
  }
  SCM_FsmCb* cb = &SCM_as_FsmCb[fsmIndex];
  cb->ulSsdoLength = length;
  if (abortCode == 0) {
    cb->usEvents |= SCM_k_EVT_SSDO_DONE;
  } else if (abortCode == 0x05040000) {
    cb->usEvents |= SCM_k_EVT_SSDO_TMO;
  } else {
    cb->ulSsdoAbortCode = abortCode;
    cb->usEvents |= SCM_k_EVT_SSDO_ABORT;
    SERR_SetError(0x210F, (cb->ulState << 16) | cb->usSadr);
    SERR_SetError(0x210E, abortCode);
  }
}

void SCM_NumFreeFrmsSet(u8* freeFrames) {
  SCFM_Tack();
  SCM_s.pucFreeFrames = freeFrames;
}

void SCM_NumFreeFrmsDec() {
  SCFM_Tack();
  if (SCM_s.pucFreeFrames != nullptr && *SCM_s.pucFreeFrames > 0) {
    --*SCM_s.pucFreeFrames;
  }
}

bool SCM_SetNodeStatus(SCM_FsmCb* cb, u16 fsmIndex, u8 status, u8 force) {
  SCFM_Tack();
  (void)fsmIndex;
  if (!SCM_SodWrite(SCM_NodeIdx(cb), SCM_k_SUB_STATUS, &status)) {
    return false;
  }
  const u8 old = cb->ucNodeStatus;
  if (force != 0) {
    SAPL_ScmNodeStatusChangedClbk(cb->usSadr, old, status);
    cb->ucNotify = 0;
  } else if (old != status) {
    SAPL_ScmNodeStatusChangedClbk(cb->usSadr, old, status);
  }
  if (status == SCM_k_NS_NO_ANSWER) {
    cb->ucSadrAssigned = 0;
  }
  cb->ucNodeStatus = status;
  return true;
}

bool SCM_UniqueUdid(const u8* udid) {
  SCFM_Tack();
  for (u16 i = 0; i < SCM_s.usNodeCount; ++i) {
    SCM_FsmCb* cb = &SCM_as_FsmCb[i];
    if (cb->pucExpUdid == nullptr || std::memcmp(cb->pucExpUdid, udid, SCM_k_UDID_LEN) != 0) {
      continue;
    }
    if (cb->ucSadrAssigned != 0) {
      return false;
    }
    std::memset(cb->pucExpUdid, 0, SCM_k_UDID_LEN);
  }
  return true;
}

u16 SCM_GetNextAddSadr(u16 mainSadr, u16 start) {
  SCFM_Tack();
  for (u32 n = static_cast<u32>(start) + 1; n <= k_MAX_SADR; ++n) {
    if (SCM_aw_MainSadr[n - 1] == mainSadr) {
      return static_cast<u16>(n);
    }
  }
  return 0;
}

u16* SCM_GetPtrTo_w_SnRealNum() {
  SCFM_Tack();
  return &SCM_s.usNodeCount;
}

const SCM_StateEntry* SCM_GetFsmStateFunctionsPtr() {
  SCFM_Tack();
  return as_FsmStateFunctions.data();
}
