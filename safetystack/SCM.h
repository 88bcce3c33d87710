// Safety configuration manager: the per-node state machines that bring every
// safety node of the domain to operational and guard it, their activation,
// the acknowledges of the application and the completions of the masters.
#pragma once
#include "ScmProfile.h"
#include "ScmTypes.h"

/// Number of node blocks (nodes the SCM can configure): 12, the older release 101.
constexpr u16 SCM_k_MAX_NODES = static_cast<u16>(SCM_kProfileMaxNodes);
/// Number of states of a node machine (the older release has no extended-CT state).
constexpr u32 SCM_k_NUM_STATES = SCM_ProfileValue<u32>(27, 26);
/// Bytes of an SNMT response kept per node.
constexpr u8 SCM_k_RESP_DATA = 7;
/// Bytes of a UDID.
constexpr u8 SCM_k_UDID_LEN = 6;
#if !SCM_PROFILE_LEGACY
/// Bytes of the extended CT start value (40 bits).
constexpr u8 SCM_k_EXT_CT_LEN = 5;
#endif

/// Node status written to 0xC400+i sub 5 and reported to the application.
enum : u8 {
  SCM_k_NS_NO_ANSWER = 0x00,       ///< no answer or restart
  SCM_k_NS_DEVICE_MISMATCH = 0x01, ///< device data mismatch or UDID not unique
  SCM_k_NS_WRONG_ASSIGN = 0x02,    ///< wrong answer to the SADR assignment
  SCM_k_NS_UDID_MISMATCH = 0x03,   ///< UDID mismatch
  SCM_k_NS_DOWNLOAD_FAIL = 0x04,   ///< parameter download failed
  SCM_k_NS_ADD_PARAM_FAIL = 0x05,  ///< additional parameter set refused
  SCM_k_NS_EXT_CT_FAIL = 0x07,     ///< extended CT initialisation failed
  SCM_k_NS_SADR_ASSIGNED = 0x80,   ///< SADR assigned
  SCM_k_NS_OPERATIONAL = 0x81      ///< operational
};

/// Event bits of a node machine.
enum : u16 {
  SCM_k_EVT_GO = 0x0001,          ///< run the state's action
  SCM_k_EVT_SSDO_DONE = 0x0002,   ///< SSDO transfer done
  SCM_k_EVT_SNMT_RESP = 0x0004,   ///< SNMT response received
  SCM_k_EVT_ACK = 0x0008,         ///< operator or SN-failure acknowledge
  SCM_k_EVT_SNMT_TMO = 0x0010,    ///< SNMT request timed out
  SCM_k_EVT_SSDO_TMO = 0x0020,    ///< SSDO transfer timed out
  SCM_k_EVT_SSDO_ABORT = 0x0040,  ///< SSDO transfer aborted
  SCM_k_EVT_TIMER = 0x0080,       ///< timer expired
  SCM_k_EVT_RESET_GUARD = 0x0100  ///< reset guarding
};

/// One node machine (one per configured node, indexed by the FSM index).
struct SCM_FsmCb {
  u8* pucExpUdid;            ///< data of 0xCC00+SADR sub 1 (or the list entry found); a recovery overwrites it
  u8 ucSadrAssigned;         ///< 1 once the SADR assignment was accepted or sent; cleared with status 0
  u16 usSadr;                ///< SADR of the node, 1..1023
  u16 usSsdoPayloadLen;      ///< 0xC400+i sub 8: largest SSDO payload of the node
  u32 ulPollTime;            ///< 0xC400+i sub 9: wait after busy and between SN-failure reports
  u32 ulState;               ///< state, index into the state table
  u16 usEvents;              ///< pending event bits
  u8 ucNodeStatus;           ///< last status written to 0xC400+i sub 5
  u8 ucNotify;               ///< report the next failure status even when unchanged
  u32 ulDeadline;            ///< CT of the retry wait, poll wait or next guard request
  u32 ulLifeDeadline;        ///< CT after which a guard time-out is final
  u16 usAddSadrCursor;       ///< last additional SADR assigned (0 = none yet)
  u8 ucSnErrGroup;           ///< error group of the last SN FAIL
  u8 ucSnErrCode;            ///< error code of the last SN FAIL
  u32 ulSsdoAbortCode;       ///< abort code of the last aborted SSDO transfer
  u32 ulSsdoLength;          ///< bytes moved by the last SSDO transfer
  u16 usRespSadr;            ///< TADR of the last SNMT response
  u16 usRespSdn;             ///< SDN of the last SNMT response
  u8 aucRespData[SCM_k_RESP_DATA];  ///< payload of the last SNMT response; destination of 4-byte reads
  u8 aucRecvUdid[SCM_k_UDID_LEN];   ///< UDID the node reported when it did not match
#if !SCM_PROFILE_LEGACY
  u8 aucExtCtStart[SCM_k_EXT_CT_LEN];  ///< 40-bit CT sent to the node (low byte first); kept across activations
#endif
  u8* pucChkSumBuf;          ///< data of 0xC400+i sub 15, the destination of the checksum read
  u32 ulChkSumBufLen;        ///< size of that buffer
  u16 usListIdx;             ///< node list entry (0xC400 + this) the block was built from
};

/// A state function: (node block, FSM index, CT) -> false on an error or an unsent request.
using SCM_StateFunc = bool (*)(SCM_FsmCb* cb, u16 fsmIndex, u32 ct);

/// One entry of the state table.
struct SCM_StateEntry {
  u32 ulResKind;        ///< resources the state needs: 0 none, 1 SNMT slot, 2 SSDO client, 3 both
  SCM_StateFunc pfFunc; ///< the state's function
};

/// Stopped; the 40-bit CT counter takes the application's start value.
void SCM_Init();
/// Scheduler: advances at most one node; spends free frames.
void SCM_Trigger(u32 ct, u8* freeFrames);

/// Stops the SCM (set to stop by the own node's service 0x04); the node machines keep their state.
void SCM_Deactivate();
/// Builds the node table and starts the SCM; false when it cannot.
bool SCM_Activate();

/// Operator acknowledge of a UDID mismatch for the node with this handle; 1 when accepted.
u8 SCM_OperatorAck(u16 fsmIndex);
/// Acknowledge of a safety node failure (group, code) for the node with this handle; 1 when accepted.
u8 SCM_SnFailAck(u16 fsmIndex, u8 group, u8 code);
/// What a node's machine waits for from the application (read-only, raises nothing).
enum : u8 {
  SCM_k_AWAIT_NONE = 0,      ///< nothing (or no such node)
  SCM_k_AWAIT_OPERATOR = 1,  ///< the operator acknowledge of a UDID mismatch (SCM_OperatorAck)
  SCM_k_AWAIT_SN_FAIL = 2    ///< an SN-failure acknowledge not yet given (SCM_SnFailAck)
};
/// What the node with this FSM index waits for; any index, nothing raised.
u8 SCM_AwaitedAck(u16 fsmIndex);
/// Every node: notify flag set; the operator wait restarts, the guard and retry waits end at once.
void SCM_ResetNodeGuarding();

/// Reset guarding received from a node: the guard and retry waits end at once.
void SCM_SNMTM_ResetGuardClbk();
/// Completion of an SNMT request: the response (7 bytes) or the final time-out.
void SCM_SNMTM_RespClbk(u16 fsmIndex, u16 respSadr, u16 respSdn, const u8* data, u8 timedOut);
/// Completion of an SSDO transfer: length and abort code (0 success, 0x05040000 time-out).
void SCM_SsdocClbk(u16 fsmIndex, u32 length, u32 abortCode);

/// True when the node blocks do not hold this UDID for an assigned node (others holding it are cleared).
bool SCM_UniqueUdid(const u8* udid);
/// Smallest additional SADR above start that belongs to the main SADR, 0 when none.
u16 SCM_GetNextAddSadr(u16 mainSadr, u16 start);

/// Address of the node count.
u16* SCM_GetPtrTo_w_SnRealNum();
/// The state table (SCM_k_NUM_STATES entries).
const SCM_StateEntry* SCM_GetFsmStateFunctionsPtr();
