// Module-internal parts of the configuration manager shared by its source files.
#pragma once
#include <array>

#include "SCM.h"
#include "SOD.h"
#include "ScmProfile.h"

/// Module-wide state of the SCM.
struct SCM_State {
  u8 ucStopped;          ///< 1 while stopped (after init and deactivation)
  u64 ullCtCounter;      ///< 40-bit CT counter (low 40 bits meaningful)
  u32 ulPrevCt;          ///< CT of the previous trigger
  u16 usNodeCount;       ///< nodes in the table, 0..12
  u16 usCurNode;         ///< node the next trigger visits
  u32 ulGuardTime;       ///< 0x100C sub 1, CT units
  u32 ulTotalGuardTime;  ///< guard time x life time factor (0x100C sub 2)
  u8 ucConfigMode;       ///< 0x101B sub 1
  u8* pucFreeFrames;     ///< the cycle's free-frame counter remembered for the state functions
};

/// The states of a node machine by name. The older release has no
/// SCM_WfInitExtCtResp: every later state is numbered one lower there, and
/// SCM_k_ST_WF_EXT_CT names no state (SCM_k_ST_NONE).
constexpr u32 SCM_k_ST_NONE = 0xFFFFFFFFu;
/// A state's number in this release from its number in the current release's table.
constexpr u32 SCM_StateNo(u32 current) {
  if (!SCM_kLegacy) {
    return current;
  }
  return current < 4 ? current : (current == 4 ? SCM_k_ST_NONE : current - 1);
}
enum : u32 {
  SCM_k_ST_SEND_ASSIGN_SADR = SCM_StateNo(0),        ///< sends the SADR assignment
  SCM_k_ST_WF_ASSIGN_SADR = SCM_StateNo(1),          ///< waits for the SADR assignment answer
  SCM_k_ST_WF_SCM_UDID = SCM_StateNo(2),             ///< waits for the SCM UDID answer
  SCM_k_ST_WF_UDID = SCM_StateNo(3),                 ///< waits for the node's UDID
  SCM_k_ST_WF_EXT_CT = SCM_StateNo(4),               ///< waits for the extended CT answer (current release only)
  SCM_k_ST_WF_OPERATOR_ACK = SCM_StateNo(5),         ///< waits for the operator after a UDID mismatch
  SCM_k_ST_IDLE2 = SCM_StateNo(6),                   ///< retry wait of one guard time
  SCM_k_ST_WF_VENDOR_ID = SCM_StateNo(7),            ///< waits for the vendor id
  SCM_k_ST_WF_PRODUCT_CODE = SCM_StateNo(8),         ///< waits for the product code
  SCM_k_ST_WF_REVISION = SCM_StateNo(9),             ///< waits for the revision number
  SCM_k_ST_WF_TIMESTAMP = SCM_StateNo(10),            ///< waits for the timestamp or checksum
  SCM_k_ST_WF_PREOP = SCM_StateNo(11),                ///< waits for the pre-operational answer
  SCM_k_ST_WF_PARAM_DL = SCM_StateNo(12),             ///< waits for the parameter download
  SCM_k_ST_ASSIGN_ADD_SADR = SCM_StateNo(13),         ///< assigns the next additional SADR
  SCM_k_ST_WF_ADD_SADR = SCM_StateNo(14),             ///< waits for the additional SADR answer
  SCM_k_ST_WF_ASSIGN_SADR2 = SCM_StateNo(15),         ///< waits for the assignment with the new UDID
  SCM_k_ST_VERIFY_UNIQ_UDID = SCM_StateNo(16),        ///< checks that the new UDID is unique
  SCM_k_ST_SEND_PUT_TO_OP = SCM_StateNo(17),          ///< sends set-to-operational
  SCM_k_ST_SEND_READ_TIMESTAMP = SCM_StateNo(18),     ///< reads the timestamp
  SCM_k_ST_WF_OP = SCM_StateNo(19),                   ///< waits for the set-to-operational answer
  SCM_k_ST_WF_POLL_TIMEOUT = SCM_StateNo(20),         ///< waits one poll time after busy
  SCM_k_ST_WF_SAPL_ACK = SCM_StateNo(21),             ///< waits for the SN-failure acknowledge
  SCM_k_ST_WF_GUARD_TIMER = SCM_StateNo(22),          ///< waits for the next guard request
  SCM_k_ST_WF_GUARD = SCM_StateNo(23),                ///< waits for the guard answer
  SCM_k_ST_SEND_SAPL_ACK = SCM_StateNo(24),           ///< acknowledges an additional-parameter request
  SCM_k_ST_SEND_ADD_PARAM = SCM_StateNo(25),          ///< sends the additional parameter set
  SCM_k_ST_WF_ADD_PARAM = SCM_StateNo(26),            ///< waits for the additional parameter download
};

/// Resource kinds of the state table.
enum : u32 {
  SCM_k_RES_NONE = 0,  ///< nothing
  SCM_k_RES_SNMT = 1,  ///< a free SNMT request slot
  SCM_k_RES_SSDO = 2,  ///< a free SSDO client
  SCM_k_RES_BOTH = 3   ///< both
};

/// Node list objects.
enum : u16 {
  SCM_k_IDX_NODE = 0xC400,      ///< node list, one index per node
  SCM_k_IDX_ADD_SADR = 0xC800,  ///< additional SADRs (0xC800 + SADR)
  SCM_k_IDX_UDID = 0xCC00,      ///< UDID list of a SADR (0xCC00 + SADR)
  SCM_k_IDX_ADD_PARAM = 0xE3FF  ///< additional parameter sets (0xE3FF + SADR)
};

/// Sub-indices of a node list entry.
enum : u8 {
  SCM_k_SUB_SADR = 1,        ///< SADR
  SCM_k_SUB_VENDOR = 2,      ///< vendor id
  SCM_k_SUB_PRODUCT = 3,     ///< product code
  SCM_k_SUB_REVISION = 4,    ///< revision number
  SCM_k_SUB_STATUS = 5,      ///< node status
  SCM_k_SUB_TIMESTAMP = 7,   ///< parameter timestamp
  SCM_k_SUB_PAYLOAD = 8,     ///< SSDO payload length
  SCM_k_SUB_POLL = 9,        ///< poll time
  SCM_k_SUB_PARAM_LEN = 10,  ///< parameter set length
  SCM_k_SUB_PARAM = 11,      ///< parameter set
  SCM_k_SUB_FLAGS = 12,      ///< flags
  SCM_k_SUB_CHKSUM = 14,     ///< expected parameter checksum
  SCM_k_SUB_CHKBUF = 15      ///< checksum buffer
};

/// Flags of 0xC400+i sub 12.
enum : u32 {
  SCM_k_FLAG_EXT_CT = 0x00000002,    ///< initialise the extended CT
  SCM_k_FLAG_TIMESTAMP = 0x80000000  ///< compare the timestamp in place of the checksum
};

extern SCM_State SCM_s;                               ///< the module state
extern SCM_FsmCb SCM_as_FsmCb[SCM_k_MAX_NODES];       ///< the node blocks
extern u16 SCM_aw_MainSadr[1023];                     ///< main SADR of each additional SADR (0 = none)
extern const std::array<SCM_StateEntry, SCM_k_NUM_STATES> as_FsmStateFunctions;  ///< the state table

// ---- object dictionary access ----
/// Data of an object, or null (the SOD's error is raised).
const void* SCM_SodRead(u16 index, u8 sub);
/// Data of an object, or null: *failed 0 when it does not exist (nothing raised), 1 when unreadable (raised).
const void* SCM_SodQueryRead(u16 index, u8 sub, u8* failed);
/// Data pointer kept for direct access; refused (0xF10C) for objects with read or write callbacks.
u8* SCM_SodPtrAcs(u16 index, u8 sub);
/// Actual length of an object (0 when unresolvable).
u32 SCM_SodGetActLen(u16 index, u8 sub);
/// Writes an object as the application; a refusal raises 0xF108.
bool SCM_SodWrite(u16 index, u8 sub, const void* data);
/// Value of n bytes of an object (false, raised, when unreadable).
bool SCM_SodReadVal(u16 index, u8 sub, void* out, u32 n);

// ---- the operating part of the road (states 13 to 26, SCMfsmOp) ----
bool SCM_AssignAddSadr(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_WfAddSadrResp(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_WfAssignSadrResp2(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_VerifyUniqUdid(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_SendPutToOp(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_SendReadTimestamp(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_WfOpResp(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_WfPollTimeout(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_WfSaplAck(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_WfGuardTimer(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_WfGuardResp(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_SendSaplAck(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_SendAddParam(SCM_FsmCb* cb, u16 n, u32 ct);
bool SCM_WfAddParamResp(SCM_FsmCb* cb, u16 n, u32 ct);

// ---- helpers of the state functions ----
/// Remembers the cycle's free-frame counter.
void SCM_NumFreeFrmsSet(u8* freeFrames);
/// One frame sent: the counter decreases.
void SCM_NumFreeFrmsDec();
/// First byte of an SN FAIL answer.
constexpr u8 SCM_k_SN_FAIL = 0x07;
/// SN FAIL in a service answer: the node waits for the acknowledge of (group, code).
bool SCM_SnFail(SCM_FsmCb* cb, u16 fsmIndex);
/// SSDO read of the node's vendor id (0x1018 sub 1), then state 7; false with the events back when not sent.
bool SCM_ReadVendorId(SCM_FsmCb* cb, u16 fsmIndex, u32 ct, u16 events);

// ---- the extended CT (SCMctCounter; the current release only: the older
// release's build leaves the source out, so a use there fails to link) ----
/// Starts the 40-bit CT counter from the platform's initial value (reports a value above 40 bits).
void SCM_InitCtCounter();
/// Sends the node its extended CT start (the counter's value when none was sent yet), then state 4.
bool SCM_SendInitExtCt(SCM_FsmCb* cb, u16 fsmIndex, u32 ct, u16 events);
/// Waits for the answer to the extended CT (state 4).
bool SCM_WfInitExtCtResp(SCM_FsmCb* cb, u16 fsmIndex, u32 ct);
/// A node block cleared for a new activation; the extended CT start sent to the node stays.
void SCM_ClearKeepingExtCt(SCM_FsmCb* cb);
/// Writes the node status (force: report even when unchanged); false when not written.
bool SCM_SetNodeStatus(SCM_FsmCb* cb, u16 fsmIndex, u8 status, u8 force);
/// Status 0 (S), events go, state 0.
bool SCM_Restart(SCM_FsmCb* cb, u16 fsmIndex);
/// Failure status (S+n), then the retry wait (deadline := CT + guard time, state 6).
bool SCM_FailWait(SCM_FsmCb* cb, u16 fsmIndex, u8 status, u32 ct);
/// Moves the node to the next state with the go event.
void SCM_Next(SCM_FsmCb* cb, u32 state);
/// Index of the node's list entry.
u16 SCM_NodeIdx(const SCM_FsmCb* cb);
/// SSDO read of a u32 of the node into its response data.
bool SCM_ReadU32(SCM_FsmCb* cb, u16 fsmIndex, u32 ct, u16 index, u8 sub);
/// SSDO download of an octet string to 0x101A sub 0 with slim frames.
bool SCM_Download(SCM_FsmCb* cb, u16 fsmIndex, u32 ct, u8* data, u32 length);
/// The little-endian u32 at the start of the node's response data.
u32 SCM_RespU32(const SCM_FsmCb* cb);
/// The answer to an SADR assignment: from the node, status 0x80 and the SCM UDID is
/// sent (state 2); else status 2 and the retry wait. False when nothing could be sent.
bool SCM_AssignAnswered(SCM_FsmCb* cb, u16 fsmIndex, u32 ct, u16 events);
/// Consumes the events: returns them and clears the word.
u16 SCM_TakeEvents(SCM_FsmCb* cb);
/// A request that could not be sent: the events come back, the state stays; false.
bool SCM_PutBack(SCM_FsmCb* cb, u16 events);
/// True when the last SNMT response came from the node in the own domain.
bool SCM_FromNode(const SCM_FsmCb* cb);
/// A timer wait: on the timer event the node moves to the next state with the go event.
bool SCM_TimerNext(SCM_FsmCb* cb, u32 state);
/// The end of an SSDO wait that failed: a time-out restarts, an abort writes the
/// status and waits; any other event is left to the scheduler.
bool SCM_SsdoFailed(SCM_FsmCb* cb, u16 fsmIndex, u32 ct, u8 abortStatus);
