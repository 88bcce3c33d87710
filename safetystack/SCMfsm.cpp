// Configuration manager: the node state machine up to the parameter check
// (assignment, UDID recovery, extended CT, identity and checksum) and the
// helpers all states share.
#include <array>
#include <cstring>

#include "SAPL.h"
#include "SCFM.h"
#include "SDN.h"
#include "SERR.h"
#include "SCMint.h"
#include "SNMTM.h"
#include "SSDOC.h"

namespace {
constexpr u16 k_IDX_IDENTITY = 0x1018; ///< identity object of a node
constexpr u16 k_IDX_SCM = 0x1200;      ///< SCM object (sub 4: SCM UDID)
constexpr u16 k_IDX_PARAM = 0x101A;    ///< parameter set object of a node
constexpr u8 k_U32_LEN = 4;            ///< bytes of a u32 read

/// Flags of the node (0xC400+i sub 12).
bool Flags(const SCM_FsmCb* cb, u32* flags) {
  SCFM_Tack();
  return SCM_SodReadVal(SCM_NodeIdx(cb), SCM_k_SUB_FLAGS, flags, sizeof *flags);
}

/// SCM assign SADR (state 0): the expected UDID.
bool SCM_SendAssignSadrReq(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_GO) == 0) {
    return true;
  }
  const u16 ev = SCM_TakeEvents(cb);
  if (!SNMTM_ReqAssgnSadr(ct, n, cb->usSadr, cb->pucExpUdid)) {
    return SCM_PutBack(cb, ev);
  }
  SCM_NumFreeFrmsDec();
  cb->ulState = SCM_k_ST_WF_ASSIGN_SADR;
  return true;
}

/// Waits for the answer to the SADR assignment (state 1).
bool SCM_WfAssignSadrResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SNMT_RESP) != 0) {
    const u16 ev = SCM_TakeEvents(cb);
    const bool sent = SCM_AssignAnswered(cb, n, ct, ev);
    if (sent && cb->ulState == SCM_k_ST_WF_SCM_UDID) {
      cb->ucSadrAssigned = 1;
    }
    return sent;
  }
  if ((cb->usEvents & SCM_k_EVT_SNMT_TMO) != 0) {
    const u16 ev = SCM_TakeEvents(cb);
    if (!SNMTM_ReqUdid(ct, n, cb->usSadr)) {
      return SCM_PutBack(cb, ev);
    }
    SCM_NumFreeFrmsDec();
    cb->ulState = SCM_k_ST_WF_UDID;
    return true;
  }
  return true;
}

/// Waits for the answer to the SCM UDID (state 2).
bool SCM_WfAssignScmUdidResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SNMT_RESP) != 0) {
    const u16 ev = SCM_TakeEvents(cb);
    // The older release neither tests for an SN failure here nor knows the
    // extended CT: a matching answer always goes on to the vendor id.
    if (!SCM_kLegacy && cb->aucRespData[0] == SCM_k_SN_FAIL) {
      return SCM_SnFail(cb, n);
    }
    const u8* scmUdid = static_cast<const u8*>(SCM_SodRead(k_IDX_SCM, 4));
    if (scmUdid == nullptr) {
      return false;
    }
    if (std::memcmp(cb->aucRespData + 1, scmUdid, SCM_k_UDID_LEN) != 0 || !SCM_FromNode(cb)) {
      return SCM_FailWait(cb, n, SCM_k_NS_NO_ANSWER, ct);
    }
    if constexpr (SCM_kLegacy) {
      return SCM_ReadVendorId(cb, n, ct, ev);
    } else {
      u32 flags = 0;
      if (!Flags(cb, &flags)) {
        return false;
      }
      if ((flags & SCM_k_FLAG_EXT_CT) == 0) {
        return SCM_ReadVendorId(cb, n, ct, ev);
      }
      return SCM_SendInitExtCt(cb, n, ct, ev);
    }
  }
  if ((cb->usEvents & SCM_k_EVT_SNMT_TMO) != 0) {
    (void)SCM_TakeEvents(cb);
    return SCM_FailWait(cb, n, SCM_k_NS_NO_ANSWER, ct);
  }
  return true;
}

/// True when the UDID is in the node's UDID list; the expected-UDID pointer then moves to it.
bool FindInUdidList(SCM_FsmCb* cb, const u8* udid, bool* found) {
  SCFM_Tack();
  *found = false;
  const u16 idx = static_cast<u16>(SCM_k_IDX_UDID + cb->usSadr);
  const void* countP = SCM_SodRead(idx, 0);
  if (countP == nullptr) {
    return false;
  }
  u8 count = 0;
  std::memcpy(&count, countP, 1);
  for (u8 k = 1; k <= count && k != 0; ++k) {
    u8 failed = 0;
    const void* entry = SCM_SodQueryRead(idx, k, &failed);
    if (entry == nullptr) {
      if (failed != 0) {
        return false;
      }
      continue;
    }
    if (std::memcmp(entry, udid, SCM_k_UDID_LEN) == 0) {
      u8* p = SCM_SodPtrAcs(idx, k);
      if (p == nullptr) {
        return false;
      }
      cb->pucExpUdid = p;
      *found = true;
      return true;
    }
  }
  return true;
}

/// Waits for the node's UDID (state 3).
bool SCM_WfUdidResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SNMT_RESP) != 0) {
    (void)SCM_TakeEvents(cb);
    const u8* udid = cb->aucRespData;
    bool found = false;
    if (SCM_s.ucConfigMode == 0) {
      found = std::memcmp(udid, cb->pucExpUdid, SCM_k_UDID_LEN) == 0;
    } else if (!FindInUdidList(cb, udid, &found)) {
      return false;
    }
    if (found) {
      SCM_Next(cb, SCM_k_ST_SEND_ASSIGN_SADR);
      return true;
    }
    std::memcpy(cb->aucRecvUdid, udid, SCM_k_UDID_LEN);
    if (!SCM_SetNodeStatus(cb, n, SCM_k_NS_UDID_MISMATCH, cb->ucNotify)) {
      return false;
    }
    if (SCM_s.ucConfigMode != 0) {
      cb->ulDeadline = ct + SCM_s.ulGuardTime;
      cb->ulState = SCM_k_ST_IDLE2;
    } else {
      cb->ulState = SCM_k_ST_WF_OPERATOR_ACK;
    }
    SAPL_ScmUdidMismatchClbk(cb->usSadr, cb->aucRecvUdid, n);
    return true;
  }
  if ((cb->usEvents & SCM_k_EVT_SNMT_TMO) != 0) {
    (void)SCM_TakeEvents(cb);
    return SCM_FailWait(cb, n, SCM_k_NS_NO_ANSWER, ct);
  }
  return true;
}

/// Waits for the operator after a UDID mismatch (state 5).
bool SCM_WfOperatorAck(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  (void)ct;
  if ((cb->usEvents & SCM_k_EVT_ACK) != 0) {
    (void)SCM_TakeEvents(cb);
    SCM_Next(cb, SCM_k_ST_VERIFY_UNIQ_UDID);
    return true;
  }
  if ((cb->usEvents & SCM_k_EVT_RESET_GUARD) != 0) {
    (void)SCM_TakeEvents(cb);
    return SCM_Restart(cb, n);
  }
  return true;
}

/// Retry wait (state 6).
bool SCM_Idle2(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  (void)n;
  (void)ct;
  return SCM_TimerNext(cb, SCM_k_ST_SEND_ASSIGN_SADR);
}

/// States 7 and 8: the read value must equal the node list's sub; then the next read.
bool WfIdentity(SCM_FsmCb* cb, u16 n, u32 ct, u8 expectSub, u8 nextSub, u32 nextState) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SSDO_DONE) != 0) {
    const u16 ev = SCM_TakeEvents(cb);
    u32 expected = 0;
    if (!SCM_SodReadVal(SCM_NodeIdx(cb), expectSub, &expected, sizeof expected)) {
      return false;
    }
    if (cb->ulSsdoLength != k_U32_LEN || SCM_RespU32(cb) != expected) {
      return SCM_FailWait(cb, n, SCM_k_NS_DEVICE_MISMATCH, ct);
    }
    if (!SCM_ReadU32(cb, n, ct, k_IDX_IDENTITY, nextSub)) {
      return SCM_PutBack(cb, ev);
    }
    cb->ulState = nextState;
    return true;
  }
  return SCM_SsdoFailed(cb, n, ct, SCM_k_NS_DEVICE_MISMATCH);
}

bool SCM_WfVendorIdResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  return WfIdentity(cb, n, ct, SCM_k_SUB_VENDOR, 2, SCM_k_ST_WF_PRODUCT_CODE);
}

bool SCM_WfProductCodeResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  return WfIdentity(cb, n, ct, SCM_k_SUB_PRODUCT, 3, SCM_k_ST_WF_REVISION);
}

/// Waits for the revision (state 9); then the timestamp or the checksum read.
bool SCM_WfRevisionNumberResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SSDO_DONE) != 0) {
    const u16 ev = SCM_TakeEvents(cb);
    u32 expected = 0;
    u32 flags = 0;
    if (!SCM_SodReadVal(SCM_NodeIdx(cb), SCM_k_SUB_REVISION, &expected, sizeof expected) || !Flags(cb, &flags)) {
      return false;
    }
    if (cb->ulSsdoLength != k_U32_LEN || !SAPL_ScmRevisionNumberClbk(cb->usSadr, expected, SCM_RespU32(cb))) {
      return SCM_FailWait(cb, n, SCM_k_NS_DEVICE_MISMATCH, ct);
    }
    bool sent = false;
    // The older release compares by checksum only: flags bit 31 is not used.
    if (!SCM_kLegacy && (flags & SCM_k_FLAG_TIMESTAMP) != 0) {
      sent = SCM_ReadU32(cb, n, ct, k_IDX_IDENTITY, 7);
    } else {
      if (cb->ulChkSumBufLen == 0 || cb->pucChkSumBuf == nullptr) {
        // No room to compare a checksum in: the node's parameters cannot be verified.
        return SCM_FailWait(cb, n, SCM_k_NS_DEVICE_MISMATCH, ct);
      }
      SSDOC_TransferReq req = {k_IDX_IDENTITY, 6, SOD_k_OSTRING, static_cast<u8>(cb->usSsdoPayloadLen),
                               cb->pucChkSumBuf, cb->ulChkSumBufLen};
      sent = SSDOC_SendReadReq(cb->usSadr, n, SCM_SsdocClbk, ct, &req);
      if (sent) {
        SCM_NumFreeFrmsDec();
      }
    }
    if (!sent) {
      return SCM_PutBack(cb, ev);
    }
    cb->ulState = SCM_k_ST_WF_TIMESTAMP;
    return true;
  }
  return SCM_SsdoFailed(cb, n, ct, SCM_k_NS_DEVICE_MISMATCH);
}

/// True when the node's parameters equal the expected ones; *lenDiffers for a timestamp or checksum of another length.
bool ParamsEqual(const SCM_FsmCb* cb, bool* equal, bool* lenDiffers) {
  SCFM_Tack();
  *lenDiffers = false;
  u32 flags = 0;
  if (!Flags(cb, &flags)) {
    return false;
  }
  const u16 idx = SCM_NodeIdx(cb);
  if (!SCM_kLegacy && (flags & SCM_k_FLAG_TIMESTAMP) != 0) {
    u32 expected = 0;
    if (!SCM_SodReadVal(idx, SCM_k_SUB_TIMESTAMP, &expected, sizeof expected)) {
      return false;
    }
    *lenDiffers = cb->ulSsdoLength != SCM_SodGetActLen(idx, SCM_k_SUB_TIMESTAMP);
    *equal = !*lenDiffers && SCM_RespU32(cb) == expected;
    return true;
  }
  const u8* expected = static_cast<const u8*>(SCM_SodRead(idx, SCM_k_SUB_CHKSUM));
  if (expected == nullptr) {
    return false;
  }
  const u32 len = SCM_SodGetActLen(idx, SCM_k_SUB_CHKSUM);
  *lenDiffers = cb->ulSsdoLength != len;
  *equal = !*lenDiffers && len <= cb->ulChkSumBufLen && std::memcmp(cb->pucChkSumBuf, expected, len) == 0;
  return true;
}

/// Sends SN set to pre-operational ahead of the parameter download; false when it could not go out.
bool SendPreOp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if (!SNMTM_ReqSnTrans(ct, n, cb->usSadr, SNMTM_k_TRANS_PREOP, 0)) {
    return false;
  }
  SCM_NumFreeFrmsDec();
  cb->ulState = SCM_k_ST_WF_PREOP;
  return true;
}

/// The older release's verdict on the checksum buffer: an empty answer or other
/// bytes download the parameters, an answer of another length than the expected
/// checksums is error 0x2115 and a retry after one guard time (no status write).
/// The buffer is compared whatever read filled the answer: after the timestamp
/// read of state SCM_k_ST_SEND_READ_TIMESTAMP (4 bytes into the response data) it
/// holds the checksums of the node's previous read.
[[maybe_unused]] bool LegacyChecksumVerdict(SCM_FsmCb* cb, u16 n, u32 ct, u16 ev) {
  SCFM_Tack();
  bool equal = false;
  bool lenDiffers = false;
  if (cb->ulSsdoLength != 0) {
    if (!ParamsEqual(cb, &equal, &lenDiffers)) {
      return false;
    }
    if (lenDiffers) {
      SERR_SetError(0x2115, (static_cast<u32>(n) << 16) | (cb->ulSsdoLength & 0xFFFF));
      cb->ulDeadline = ct + SCM_s.ulGuardTime;
      cb->ulState = SCM_k_ST_IDLE2;
      return true;
    }
    if (equal) {
      SCM_Next(cb, SCM_k_ST_SEND_PUT_TO_OP);
      return true;
    }
  }
  return SendPreOp(cb, n, ct) || SCM_PutBack(cb, ev);
}

/// Waits for the timestamp or checksum (state 10).
bool SCM_WfTimestamp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SSDO_DONE) != 0) {
    const u16 ev = SCM_TakeEvents(cb);
    if constexpr (SCM_kLegacy) {
      return LegacyChecksumVerdict(cb, n, ct, ev);
    }
    bool equal = false;
    bool lenDiffers = false;
    if (!ParamsEqual(cb, &equal, &lenDiffers)) {
      return false;
    }
    if (equal) {
      SCM_Next(cb, SCM_k_ST_SEND_PUT_TO_OP);
      return true;
    }
    if (!SendPreOp(cb, n, ct)) {
      return SCM_PutBack(cb, ev);
    }
    if (lenDiffers) {
      SERR_SetError(0x1117, (static_cast<u32>(n) << 16) | (cb->ulSsdoLength & 0xFFFF));
    }
    return true;
  }
  if ((cb->usEvents & SCM_k_EVT_SSDO_TMO) == 0 && (cb->usEvents & SCM_k_EVT_SSDO_ABORT) != 0 &&
      cb->ulSsdoAbortCode == 0x06070010) {
    SERR_SetError(0x2115, (static_cast<u32>(n) << 16) | (cb->ulSsdoLength & 0xFFFF));
  }
  return SCM_SsdoFailed(cb, n, ct, SCM_k_NS_DEVICE_MISMATCH);
}

/// After the answer to pre-operational (state 11): the parameter download.
bool SCM_WfPreOpResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SNMT_RESP) != 0) {
    const u16 ev = SCM_TakeEvents(cb);
    const u16 idx = SCM_NodeIdx(cb);
    u8 failed = 0;
    const void* lenP = SCM_SodQueryRead(idx, SCM_k_SUB_PARAM_LEN, &failed);
    if (lenP == nullptr) {
      return failed != 0 ? false : SCM_FailWait(cb, n, SCM_k_NS_DOWNLOAD_FAIL, ct);
    }
    u32 length = 0;
    std::memcpy(&length, lenP, sizeof length);
    const void* data = SCM_SodRead(idx, SCM_k_SUB_PARAM);
    if (data == nullptr) {
      return false;
    }
    // A length beyond the stored set would send bytes that are not the set's.
    if (length > SCM_SodGetActLen(idx, SCM_k_SUB_PARAM)) {
      return SCM_FailWait(cb, n, SCM_k_NS_DOWNLOAD_FAIL, ct);
    }
    if (!SCM_Download(cb, n, ct, const_cast<u8*>(static_cast<const u8*>(data)), length)) {
      return SCM_PutBack(cb, ev);
    }
    cb->ulState = SCM_k_ST_WF_PARAM_DL;
    return true;
  }
  if ((cb->usEvents & SCM_k_EVT_SNMT_TMO) != 0) {
    (void)SCM_TakeEvents(cb);
    return SCM_Restart(cb, n);
  }
  return true;
}

/// Waits for the end of the parameter download (state 12).
bool SCM_WfParamDlResp(SCM_FsmCb* cb, u16 n, u32 ct) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SSDO_DONE) != 0) {
    (void)SCM_TakeEvents(cb);
    cb->usAddSadrCursor = 0;
    SCM_Next(cb, SCM_k_ST_ASSIGN_ADD_SADR);
    return true;
  }
  return SCM_SsdoFailed(cb, n, ct, SCM_k_NS_DOWNLOAD_FAIL);
}
}  // namespace

/// The 27 states of a node machine: {resources needed, function}, by state number.
namespace {
/// One state of the table with its name.
struct NamedState {
  u32 ulNo;              ///< the state's number in this release (SCM_k_ST_NONE: not in it)
  SCM_StateEntry entry;  ///< resources and function
};

/// The extended-CT state's function: the current release's only.
constexpr SCM_StateFunc ExtCtStateFunc() {
  if constexpr (SCM_kLegacy) {
    return nullptr;
  } else {
    return SCM_WfInitExtCtResp;
  }
}

/// The state table as an ordered list of named entries; the older release
/// leaves out the extended-CT state, and its state 2 only reads over SSDO.
constexpr NamedState k_namedStates[] = {
    {SCM_k_ST_SEND_ASSIGN_SADR, {SCM_k_RES_SNMT, SCM_SendAssignSadrReq}},  // sends the SADR assignment
    {SCM_k_ST_WF_ASSIGN_SADR, {SCM_k_RES_SNMT, SCM_WfAssignSadrResp}},  // waits for the SADR assignment answer
    {SCM_k_ST_WF_SCM_UDID, {SCM_ProfileValue<u32>(SCM_k_RES_BOTH, SCM_k_RES_SSDO), SCM_WfAssignScmUdidResp}},  // waits for the SCM UDID answer
    {SCM_k_ST_WF_UDID, {SCM_k_RES_NONE, SCM_WfUdidResp}},  // waits for the node's UDID
    {SCM_k_ST_WF_EXT_CT, {SCM_k_RES_SSDO, ExtCtStateFunc()}},  // waits for the extended CT answer
    {SCM_k_ST_WF_OPERATOR_ACK, {SCM_k_RES_NONE, SCM_WfOperatorAck}},  // waits for the operator after a UDID mismatch
    {SCM_k_ST_IDLE2, {SCM_k_RES_NONE, SCM_Idle2}},  // retry wait of one guard time
    {SCM_k_ST_WF_VENDOR_ID, {SCM_k_RES_SSDO, SCM_WfVendorIdResp}},  // waits for the vendor id
    {SCM_k_ST_WF_PRODUCT_CODE, {SCM_k_RES_SSDO, SCM_WfProductCodeResp}},  // waits for the product code
    {SCM_k_ST_WF_REVISION, {SCM_k_RES_SSDO, SCM_WfRevisionNumberResp}},  // waits for the revision number
    {SCM_k_ST_WF_TIMESTAMP, {SCM_k_RES_SNMT, SCM_WfTimestamp}},  // waits for the timestamp or checksum
    {SCM_k_ST_WF_PREOP, {SCM_k_RES_SSDO, SCM_WfPreOpResp}},  // waits for the pre-operational answer
    {SCM_k_ST_WF_PARAM_DL, {SCM_k_RES_NONE, SCM_WfParamDlResp}},  // waits for the parameter download
    {SCM_k_ST_ASSIGN_ADD_SADR, {SCM_k_RES_SNMT, SCM_AssignAddSadr}},  // assigns the next additional SADR
    {SCM_k_ST_WF_ADD_SADR, {SCM_k_RES_NONE, SCM_WfAddSadrResp}},  // waits for the additional SADR answer
    {SCM_k_ST_WF_ASSIGN_SADR2, {SCM_k_RES_SNMT, SCM_WfAssignSadrResp2}},  // waits for the assignment with the new UDID
    {SCM_k_ST_VERIFY_UNIQ_UDID, {SCM_k_RES_SNMT, SCM_VerifyUniqUdid}},  // checks that the new UDID is unique
    {SCM_k_ST_SEND_PUT_TO_OP, {SCM_k_RES_SNMT, SCM_SendPutToOp}},  // sends set-to-operational
    {SCM_k_ST_SEND_READ_TIMESTAMP, {SCM_k_RES_SSDO, SCM_SendReadTimestamp}},  // reads the timestamp (only the older release comes here, after an SN-failure acknowledge)
    {SCM_k_ST_WF_OP, {SCM_k_RES_NONE, SCM_WfOpResp}},  // waits for the set-to-operational answer
    {SCM_k_ST_WF_POLL_TIMEOUT, {SCM_k_RES_NONE, SCM_WfPollTimeout}},  // waits one poll time after busy
    {SCM_k_ST_WF_SAPL_ACK, {SCM_k_RES_SNMT, SCM_WfSaplAck}},  // waits for the SN-failure acknowledge
    {SCM_k_ST_WF_GUARD_TIMER, {SCM_k_RES_SNMT, SCM_WfGuardTimer}},  // waits for the next guard request
    {SCM_k_ST_WF_GUARD, {SCM_k_RES_NONE, SCM_WfGuardResp}},  // waits for the guard answer
    {SCM_k_ST_SEND_SAPL_ACK, {SCM_k_RES_SNMT, SCM_SendSaplAck}},  // acknowledges an additional-parameter request
    {SCM_k_ST_SEND_ADD_PARAM, {SCM_k_RES_SSDO, SCM_SendAddParam}},  // sends the additional parameter set
    {SCM_k_ST_WF_ADD_PARAM, {SCM_k_RES_NONE, SCM_WfAddParamResp}},  // waits for the additional parameter download
};

/// The table indexed by state number.
constexpr std::array<SCM_StateEntry, SCM_k_NUM_STATES> BuildStateTable() {
  std::array<SCM_StateEntry, SCM_k_NUM_STATES> table{};
  for (const NamedState& named : k_namedStates) {
    if (named.ulNo != SCM_k_ST_NONE) {
      table[named.ulNo] = named.entry;
    }
  }
  return table;
}
}  // namespace

const std::array<SCM_StateEntry, SCM_k_NUM_STATES> as_FsmStateFunctions = BuildStateTable();

bool SCM_SnFail(SCM_FsmCb* cb, u16 n) {
  SCFM_Tack();
  cb->ucSnErrGroup = cb->aucRespData[1];
  cb->ucSnErrCode = cb->aucRespData[2];
  cb->aucRespData[0] = cb->ucSnErrGroup;
  cb->aucRespData[1] = cb->ucSnErrCode;
  cb->usEvents = SCM_k_EVT_ACK;
  cb->ulState = SCM_k_ST_WF_SAPL_ACK;
  SAPL_ScmSnFailClbk(cb->usSadr, cb->ucSnErrGroup, cb->ucSnErrCode, n);
  return true;
}

bool SCM_ReadVendorId(SCM_FsmCb* cb, u16 n, u32 ct, u16 events) {
  SCFM_Tack();
  if (!SCM_ReadU32(cb, n, ct, k_IDX_IDENTITY, 1)) {
    return SCM_PutBack(cb, events);
  }
  cb->ulState = SCM_k_ST_WF_VENDOR_ID;
  return true;
}

bool SCM_AssignAnswered(SCM_FsmCb* cb, u16 fsmIndex, u32 ct, u16 events) {
  SCFM_Tack();
  if (!SCM_FromNode(cb)) {
    return SCM_FailWait(cb, fsmIndex, SCM_k_NS_WRONG_ASSIGN, ct);
  }
  if (!SCM_SetNodeStatus(cb, fsmIndex, SCM_k_NS_SADR_ASSIGNED, 0)) {
    return false;
  }
  const u8* scmUdid = static_cast<const u8*>(SCM_SodRead(k_IDX_SCM, 4));
  if (scmUdid == nullptr) {
    return false;
  }
  if (!SNMTM_ReqAssgnScmUdid(ct, fsmIndex, cb->usSadr, scmUdid)) {
    return SCM_PutBack(cb, events);
  }
  SCM_NumFreeFrmsDec();
  cb->ulState = SCM_k_ST_WF_SCM_UDID;
  return true;
}

u16 SCM_TakeEvents(SCM_FsmCb* cb) {
  SCFM_Tack();
  const u16 ev = cb->usEvents;
  cb->usEvents = 0;
  return ev;
}

bool SCM_PutBack(SCM_FsmCb* cb, u16 events) {
  SCFM_Tack();
  cb->usEvents |= events;
  return false;
}

bool SCM_FromNode(const SCM_FsmCb* cb) {
  SCFM_Tack();
  return cb->usRespSdn == SDN_GetSdn() && cb->usRespSadr == cb->usSadr;
}

bool SCM_TimerNext(SCM_FsmCb* cb, u32 state) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_TIMER) != 0) {
    (void)SCM_TakeEvents(cb);
    SCM_Next(cb, state);
  }
  return true;
}

bool SCM_SsdoFailed(SCM_FsmCb* cb, u16 fsmIndex, u32 ct, u8 abortStatus) {
  SCFM_Tack();
  if ((cb->usEvents & SCM_k_EVT_SSDO_TMO) != 0) {
    (void)SCM_TakeEvents(cb);
    return SCM_Restart(cb, fsmIndex);
  }
  if ((cb->usEvents & SCM_k_EVT_SSDO_ABORT) != 0) {
    (void)SCM_TakeEvents(cb);
    return SCM_FailWait(cb, fsmIndex, abortStatus, ct);
  }
  return true;
}

u16 SCM_NodeIdx(const SCM_FsmCb* cb) {
  SCFM_Tack();
  return static_cast<u16>(SCM_k_IDX_NODE + cb->usListIdx);
}

void SCM_Next(SCM_FsmCb* cb, u32 state) {
  SCFM_Tack();
  cb->usEvents = SCM_k_EVT_GO;
  cb->ulState = state;
}

bool SCM_Restart(SCM_FsmCb* cb, u16 fsmIndex) {
  SCFM_Tack();
  if (!SCM_SetNodeStatus(cb, fsmIndex, SCM_k_NS_NO_ANSWER, 0)) {
    return false;
  }
  SCM_Next(cb, SCM_k_ST_SEND_ASSIGN_SADR);
  return true;
}

bool SCM_FailWait(SCM_FsmCb* cb, u16 fsmIndex, u8 status, u32 ct) {
  SCFM_Tack();
  if (!SCM_SetNodeStatus(cb, fsmIndex, status, cb->ucNotify)) {
    return false;
  }
  cb->ulDeadline = ct + SCM_s.ulGuardTime;
  cb->ulState = SCM_k_ST_IDLE2;
  return true;
}

u32 SCM_RespU32(const SCM_FsmCb* cb) {
  SCFM_Tack();
  const u8* d = cb->aucRespData;
  return static_cast<u32>(d[0]) | (static_cast<u32>(d[1]) << 8) | (static_cast<u32>(d[2]) << 16) |
         (static_cast<u32>(d[3]) << 24);
}

bool SCM_ReadU32(SCM_FsmCb* cb, u16 fsmIndex, u32 ct, u16 index, u8 sub) {
  SCFM_Tack();
  SSDOC_TransferReq req = {index, sub, SOD_k_UINT32, static_cast<u8>(cb->usSsdoPayloadLen), cb->aucRespData,
                           k_U32_LEN};
  if (!SSDOC_SendReadReq(cb->usSadr, fsmIndex, SCM_SsdocClbk, ct, &req)) {
    return false;
  }
  SCM_NumFreeFrmsDec();
  return true;
}

bool SCM_Download(SCM_FsmCb* cb, u16 fsmIndex, u32 ct, u8* data, u32 length) {
  SCFM_Tack();
  // Slim frames carry twice the payload of the node's normal ones, less the two header bytes.
  const u32 doubled = 2U * cb->usSsdoPayloadLen - 2U;
  const u8 payload = static_cast<u8>(doubled > SSDOC_k_MAX_PAYLOAD ? SSDOC_k_MAX_PAYLOAD : doubled);
  SSDOC_TransferReq req = {k_IDX_PARAM, 0, SOD_k_OSTRING, payload, data, length};
  if (!SSDOC_SendWriteReq(cb->usSadr, fsmIndex, SCM_SsdocClbk, ct, &req, 1)) {
    return false;
  }
  SCM_NumFreeFrmsDec();
  return true;
}
