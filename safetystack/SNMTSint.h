// SNMT slave: what its module files share (not for other modules).
#pragma once
#include "SCFM.h"
#include "SFS.h"
#include "SOD.h"

/// Events of the SN state machine.
enum : u8 {
  SNMTS_k_EVT_ASSIGN_SADR = 0,  ///< SADR assignment carrying the own UDID
  SNMTS_k_EVT_SET_OP = 1,       ///< service 0x02, SN set to OPERATIONAL
  SNMTS_k_EVT_CHKSUM = 2,       ///< application: parameter checksum computed
  SNMTS_k_EVT_APP_OP = 3,       ///< application: answer to the switch to OPERATIONAL
  SNMTS_k_EVT_SET_PREOP = 4,    ///< service 0x00, SN set to PRE-OPERATIONAL
  SNMTS_k_EVT_TRANS_PREOP = 5,  ///< application: transition to PRE-OPERATIONAL
  SNMTS_k_EVT_GUARD = 6,        ///< service 0x08, guard SN
  SNMTS_k_EVT_TIMER = 7,        ///< timer check
  SNMTS_k_EVT_ERR_ACK = 8,      ///< service 0x0C, SN error acknowledge
  SNMTS_k_EVT_SCM_UDID = 9,     ///< service 0x0E, assign SCM UDID
  SNMTS_k_EVT_EXT_CT = 10,      ///< service 0x10, initialize extended CT
  SNMTS_k_EVENTS = 11           ///< number of events
};

/// SN states.
enum : u8 {
  SNMTS_k_ST_INIT = 0,         ///< initialisation
  SNMTS_k_ST_NO_SADR = 1,      ///< pre-operational, no SADR
  SNMTS_k_ST_SADR_TAKEN = 2,   ///< SADR taken, answer pending
  SNMTS_k_ST_WAIT_UDID = 3,    ///< wait for the SCM UDID
  SNMTS_k_ST_PREOP = 4,        ///< pre-operational
  SNMTS_k_ST_WAIT_CHKSUM = 6,  ///< wait for the parameter checksum
  SNMTS_k_ST_CHKSUM_OK = 7,    ///< checksum ready
  SNMTS_k_ST_WAIT_APP = 8,     ///< wait for the application
  SNMTS_k_ST_READY_OP = 9,     ///< ready for OPERATIONAL
  SNMTS_k_ST_OP = 10,          ///< operational
  SNMTS_k_ST_OP_SADR = 11,     ///< operational, SADR request pending
  SNMTS_k_STATES = 12          ///< number of state values (5 is never entered)
};

/// SN FAIL group the stack uses for its own failures.
constexpr u8 SNMTS_k_GROUP_STACK = 4;
/// SN FAIL code of a parameter timestamp mismatch.
constexpr u8 SNMTS_k_CODE_TIMESTAMP = 1;
/// SN FAIL code of an unexpected event.
constexpr u8 SNMTS_k_CODE_UNEXPECTED = 4;
/// Length of a UDID.
constexpr u8 SNMTS_k_UDID_LEN = 6;
/// Refresh retry limit that means "no limit".
constexpr u8 SNMTS_k_NO_RETRY_LIMIT = 255;

/// One event with what came with it; the header fields are null for events without a frame.
struct SNMTS_EvtCtx {
  u32 ulCt;                   ///< current consecutive time
  const SFS_FrameHeader* pReq;  ///< received request header or null
  const u8* pucReq;           ///< its payload or null
  SFS_FrameHeader* pResp;     ///< response header or null
  u8* pucResp;                ///< response payload or null
  u8* pucBusy;                ///< dispatcher's busy flag or null
  u8* pucFree;                ///< free-frame counter of the cycle or null
};

/// Current SN state (SNMTSsnstate).
extern u8 SNMTS_ucSnState;

// ---- state machine (SNMTSsnstate) ----
/// Runs one event in the current state; true when a response was prepared (or busy set) or the event succeeded.
bool SNMTS_SnStateFsm(u8 event, SNMTS_EvtCtx* ctx);

// ---- request handling (SNMTSprocess) ----
/// Handles an accepted request by its id.
bool SNMTS_ProcessReq(SNMTS_EvtCtx* ctx);

// ---- responses (SNMTSresponse) ----
/// UDID response with the own UDID, or the error UDID when it cannot be read.
void SNMTS_RespUdid(SNMTS_EvtCtx* ctx);
/// SADR assigned response: the request's six bytes, own SDN, own main SADR.
void SNMTS_RespSadrAssigned(SNMTS_EvtCtx* ctx);
/// Service response: service byte then len bytes of data (data may be null for len 0).
void SNMTS_RespService(SNMTS_EvtCtx* ctx, u8 service, const u8* data, u8 len);
/// SN FAIL response (service 7), remembered for the acknowledge.
void SNMTS_RespSnFail(SNMTS_EvtCtx* ctx, u8 group, u8 code);
/// Six zero bytes, answered where a UDID cannot be given.
extern const u8 SNMTS_aucErrorUdid[SNMTS_k_UDID_LEN];

// ---- application information, identity objects and SN FAIL memory (SNMTSappInfo) ----
/// Resolves 0x1018/7 and clears the application information.
bool SNMTS_AppInfoInit();
/// Resolves the own UDID 0x1019/0.
bool SNMTS_OwnUdidInit();
/// Resolves 0x1C00/1 (keeping its data pointer) and 0x1200/4.
bool SNMTS_SadrAccInit();
/// The own UDID's six bytes, or null (reported) when it cannot be read.
const u8* SNMTS_OwnUdid();
/// True when the request's six bytes equal the own UDID.
bool SNMTS_IsOwnUdid(const u8* udid);
/// Timestamp test of a set-to-operational request (0x2646, 0x2647).
bool SNMTS_TimestampValid(const u8* timestampLe);
/// Application confirmation, group and code of the last answer to the switch to OPERATIONAL.
bool SNMTS_AppConfirmed(u8* group, u8* code);
/// Remembers the last SN FAIL sent.
void SNMTS_SnFailRemember(u8 group, u8 code);
/// Ack-check of an SN error acknowledge (always false: never answered).
bool SNMTS_SnFailAck(u8 group, u8 code);
/// Reads an unsigned value of 1, 2 or 4 bytes through an access structure (reports its failure).
bool SNMTS_ReadUnsigned(SOD_Access* acc, u32* out);

// ---- life guarding (SNMTSlifetime) ----
/// Resolves 0x100C/1 and 0x100C/2; guarding stopped.
bool SNMTS_LifeInit();
/// Starts (or restarts) guarding: deadline = ct + guard time, remaining = factor - 1.
bool SNMTS_LifeStart(u32 ct);
/// Stops guarding.
void SNMTS_LifeStop();
/// Result of a life check.
enum : u8 {
  SNMTS_k_LIFE_OK = 0,       ///< not elapsed
  SNMTS_k_LIFE_ELAPSED = 1,  ///< life time elapsed
  SNMTS_k_LIFE_ERROR = 2     ///< guarding not running or unreadable (reported)
};
/// Checks the guard deadline.
u8 SNMTS_LifeCheck(u32 ct);

// ---- refresh / reset guarding (SNMTSrefresh) ----
/// Resolves 0x100D/0 and 0x100E/0; timer stopped.
bool SNMTS_RefreshInit();
/// Starts the refresh timer at ct + interval; deferred: at the first check's ct + interval.
bool SNMTS_RefreshStart(u32 ct, bool deferred);
/// Refresh check: sends the reset-guarding frame when due (spends one free frame).
bool SNMTS_RefreshCheck(u32 ct, u8* freeFrames);

/// True when a wrap-safe comparison puts ct before the deadline.
inline bool SNMTS_Before(u32 ct, u32 deadline) {
  SCFM_Tack();
  return static_cast<i32>(ct - deadline) < 0;
}
