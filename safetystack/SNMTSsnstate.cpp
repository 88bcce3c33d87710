// SNMT slave: the SN state machine, a table of state x event -> named step.
#include "SAPL.h"
#include "SCFM.h"
#include "SDN.h"
#include "SERR.h"
#include "SNMTS.h"
#include "SNMTSint.h"
#include "SPDO.h"
#include "ScmProfile.h"

u8 SNMTS_ucSnState = SNMTS_k_ST_INIT;

namespace {
/// Service bytes of the responses.
enum : u8 {
  k_RESP_PREOP = 0x01,     ///< status PRE-OPERATIONAL
  k_RESP_OP = 0x03,        ///< status OPERATIONAL
  k_RESP_BUSY = 0x09,      ///< busy
  k_RESP_SCM_UDID = 0x0F,  ///< SCM UDID assigned
  k_RESP_EXT_CT = 0x11     ///< extended CT initialised
};

/// Named steps of the table.
enum class Step : u8 {
  Other,             ///< falls to the row's unexpected step
  True,              ///< nothing to do
  Goto,              ///< next state, nothing else
  Assign,            ///< own main SADR := request ADR, state 2, call again
  PreOpAnswer,       ///< service 1 response
  NoUdid,            ///< error, SCM UDID response with the error UDID
  AckCheck,          ///< SN error acknowledge, never answered
  Fail,              ///< error, no answer
  SetScmUdid,        ///< SCM UDID written and answered; ok: next state
  ExtCt,             ///< extended CT initialised and answered
  RefreshStart,      ///< reset guarding started from the application: next state
  RefreshCheck,      ///< reset guarding due?
  SadrTaken,         ///< own SDN := request SDN, SADR assigned response, next state
  ParamProcessed,    ///< parameters processed: checksum callback, busy answer, next state
  BusyAnswer,        ///< service 9 response
  TimestampCheck,    ///< timestamp equal: switch-to-op callback, busy answer, next state
  AppConfirmed,      ///< confirmed: guarding, service 3 answer, next state
  OpSadrRequest,     ///< SADR request in OPERATIONAL: next state, call again
  OpAnswer,          ///< service 3 response
  OpPreOp,           ///< service 1 response, next state
  OpGuard,           ///< guarding restarted, service 3 response
  LifeCheck,         ///< elapsed: reset guarding, next state, guarding stopped
  OpSetScmUdid,      ///< SCM UDID in OPERATIONAL; failure: error UDID answered, state 1
  PendingSadrAnswer  ///< SADR assigned response with the current SADR, next state
};

/// One cell: the step, its error code and the state it leads to.
struct Cell {
  Step step;   ///< named step
  u16 code;    ///< error code of Fail / NoUdid
  u8 next;     ///< state after the step where it changes the state
};

/// One row: a cell per event and the code of the unexpected step.
struct Row {
  bool valid;                       ///< false for the state value 5, never entered
  Cell cells[SNMTS_k_EVENTS];       ///< cells by event 0..10
  u16 unexpected;                   ///< error code of an event the row does not name
};

constexpr Cell k_x = {Step::Other, 0, 0};  ///< event not named in the row
constexpr Cell k_t = {Step::True, 0, 0};   ///< event accepted without action
constexpr Cell A() { return {Step::Assign, 0, SNMTS_k_ST_SADR_TAKEN}; }
constexpr Cell P() { return {Step::PreOpAnswer, 0, 0}; }
constexpr Cell F(u16 code) { return {Step::Fail, code, 0}; }
constexpr Cell N(u16 code) { return {Step::NoUdid, code, 0}; }
constexpr Cell K() { return {Step::AckCheck, 0, 0}; }
constexpr Cell G(u8 next) { return {Step::Goto, 0, next}; }
constexpr Cell S(Step step, u8 next = 0) { return {step, 0, next}; }

// clang-format off
/// The SN state machine: rows by state, cells by event
/// (0 assign SADR, 1 set OP, 2 checksum, 3 app OP, 4 set PREOP, 5 trans PREOP,
///  6 guard, 7 timer, 8 error ack, 9 SCM UDID, 10 extended CT).
constexpr Row k_table[SNMTS_k_STATES] = {
  /* 0 */ {true, {k_x, k_x, k_x, k_x, k_x, S(Step::RefreshStart, SNMTS_k_ST_NO_SADR), k_x, k_x, k_x, k_x, k_x}, 0x261D},
  /* 1 */ {true, {A(), F(0x261E), k_x, k_x, F(0x2622), k_t, P(), S(Step::RefreshCheck), F(0x2621), N(0x261F), k_x}, 0x2623},
  /* 2 */ {true, {S(Step::SadrTaken, SNMTS_k_ST_WAIT_UDID), k_x, k_x, k_x, k_x, k_t, k_x, k_t, k_x, k_x, k_x}, 0x2625},
  /* 3 */ {true, {A(), F(0x2628), k_x, k_x, F(0x2626), k_t, P(), k_t, F(0x2627), S(Step::SetScmUdid, SNMTS_k_ST_PREOP), k_x}, 0x262A},
  /* 4 */ {true, {A(), S(Step::ParamProcessed, SNMTS_k_ST_WAIT_CHKSUM), k_x, k_x, P(), k_t, P(), k_t, K(), N(0x262B), S(Step::ExtCt)}, 0x262C},
  /* 5 */ {false, {k_x, k_x, k_x, k_x, k_x, k_x, k_x, k_x, k_x, k_x, k_x}, 0},
  /* 6 */ {true, {A(), S(Step::BusyAnswer), G(SNMTS_k_ST_CHKSUM_OK), k_x, F(0x2630), k_t, P(), k_t, K(), N(0x2631), k_x}, 0x2632},
  /* 7 */ {true, {A(), S(Step::TimestampCheck, SNMTS_k_ST_WAIT_APP), k_x, k_x, F(0x2634), k_t, P(), k_t, K(), N(0x2635), k_x}, 0x2636},
  /* 8 */ {true, {A(), S(Step::BusyAnswer), k_x, G(SNMTS_k_ST_READY_OP), F(0x2638), k_t, P(), k_t, K(), N(0x2639), k_x}, 0x263A},
  /* 9 */ {true, {A(), S(Step::AppConfirmed, SNMTS_k_ST_OP), k_x, k_x, F(0x263C), k_t, P(), k_t, K(), N(0x263D), k_x}, 0x263E},
  /*10 */ {true, {S(Step::OpSadrRequest, SNMTS_k_ST_OP_SADR), S(Step::OpAnswer), k_x, k_x, S(Step::OpPreOp, SNMTS_k_ST_PREOP),
                  G(SNMTS_k_ST_PREOP), S(Step::OpGuard), S(Step::LifeCheck, SNMTS_k_ST_PREOP), F(0x2640),
                  S(Step::OpSetScmUdid), S(Step::ExtCt)}, 0x2641},
  /*11 */ {true, {S(Step::PendingSadrAnswer, SNMTS_k_ST_OP), k_x, k_x, k_x, k_x, G(SNMTS_k_ST_SADR_TAKEN), k_x,
                  S(Step::LifeCheck, SNMTS_k_ST_SADR_TAKEN), k_x, k_x, k_x}, 0x2642},
};
// clang-format on

/// True for the events that the application and the timer give without a frame.
bool FramelessEvent(u8 event) {
  SCFM_Tack();
  return event == SNMTS_k_EVT_CHKSUM || event == SNMTS_k_EVT_APP_OP || event == SNMTS_k_EVT_TRANS_PREOP ||
         event == SNMTS_k_EVT_TIMER;
}

bool HasHeaders(const SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  return ctx->pReq != nullptr && ctx->pucReq != nullptr && ctx->pResp != nullptr && ctx->pucResp != nullptr;
}

/// Class and type bits that make an unexpected event fatal in the older release.
constexpr u16 k_FATAL_CLASS_TYPE = 0xF000;

/// An event the state does not expect: reported, answered with SN FAIL when a frame came, state 1.
/// The older release makes it fatal instead: the code with class and type 3, no answer, the state kept.
bool Unexpected(u16 code, u8 event, SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  if constexpr (SCM_kLegacy) {
    SERR_SetError(static_cast<u16>(code | k_FATAL_CLASS_TYPE), event);
    return false;
  }
  SERR_SetError(code, event);
  SNMTS_ucSnState = SNMTS_k_ST_NO_SADR;
  if (!HasHeaders(ctx)) {
    return false;
  }
  SNMTS_RespSnFail(ctx, SNMTS_k_GROUP_STACK, SNMTS_k_CODE_UNEXPECTED);
  return true;
}

/// Writes the SCM UDID of request bytes 1..6 and answers with it (or the error UDID).
bool WriteScmUdid(SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  const u8* udid = ctx->pucReq + 1;
  const bool ok = SNMTS_UdidScmSet(udid);
  SNMTS_RespService(ctx, k_RESP_SCM_UDID, ok ? udid : SNMTS_aucErrorUdid, SNMTS_k_UDID_LEN);
  return ok;
}

/// Extended CT of request bytes 1..5 (40 bits, low byte first), answered with them.
bool InitExtCt(SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  u64 value = 0;
  for (u8 i = 0; i < 5; ++i) {
    value |= static_cast<u64>(ctx->pucReq[1 + i]) << (8 * i);
  }
  SPDO_SetExtCtInitValue(value);
  SNMTS_RespService(ctx, k_RESP_EXT_CT, ctx->pucReq + 1, 5);
  return true;
}

bool RunStep(const Cell& cell, u8 event, u16 unexpected, SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  switch (cell.step) {
    case Step::Other: return Unexpected(unexpected, event, ctx);
    case Step::True: return true;
    case Step::Goto:
      SNMTS_ucSnState = cell.next;
      return true;
    case Step::Assign:
      // A refused write keeps the state; the dispatcher counts the request.
      if (!SNMTS_MainSadrSet(ctx->pReq->usAdr)) {
        return false;
      }
      SNMTS_ucSnState = cell.next;
      *ctx->pucBusy = 1;
      return true;
    case Step::PreOpAnswer:
      SNMTS_RespService(ctx, k_RESP_PREOP, nullptr, 0);
      return true;
    case Step::NoUdid:
      SERR_SetError(cell.code, 0);
      SNMTS_RespService(ctx, k_RESP_SCM_UDID, SNMTS_aucErrorUdid, SNMTS_k_UDID_LEN);
      return true;
    case Step::AckCheck: return SNMTS_SnFailAck(ctx->pucReq[1], ctx->pucReq[2]);
    case Step::Fail:
      SERR_SetError(cell.code, 0);
      return false;
    case Step::SetScmUdid:
      if (WriteScmUdid(ctx)) {
        SNMTS_ucSnState = cell.next;
      }
      return true;
    case Step::ExtCt: return InitExtCt(ctx);
    case Step::RefreshStart:
      if (!SNMTS_RefreshStart(ctx->ulCt, true)) {
        return false;
      }
      SNMTS_ucSnState = cell.next;
      return true;
    case Step::RefreshCheck: return SNMTS_RefreshCheck(ctx->ulCt, ctx->pucFree);
    case Step::SadrTaken:
      // A refused write keeps the state; the dispatcher counts the request.
      if (!SDN_SetSdn(ctx->pReq->usSdn)) {
        return false;
      }
      SNMTS_RespSadrAssigned(ctx);
      SNMTS_ucSnState = cell.next;
      return true;
    case Step::ParamProcessed:
      if (SAPL_SNMTS_ParameterSetProcessed()) {
        SAPL_SNMTS_CalcParamChkSumClbk();
        SNMTS_ucSnState = cell.next;
      }
      SNMTS_RespService(ctx, k_RESP_BUSY, nullptr, 0);
      return true;
    case Step::BusyAnswer:
      SNMTS_RespService(ctx, k_RESP_BUSY, nullptr, 0);
      return true;
    case Step::TimestampCheck:
      if (SNMTS_TimestampValid(ctx->pucReq + 1)) {
        SAPL_SNMTS_SwitchToOpReqClbk();
        SNMTS_RespService(ctx, k_RESP_BUSY, nullptr, 0);
        SNMTS_ucSnState = cell.next;
      } else {
        SNMTS_RespSnFail(ctx, SNMTS_k_GROUP_STACK, SNMTS_k_CODE_TIMESTAMP);
        SNMTS_ucSnState = SNMTS_k_ST_PREOP;
      }
      return true;
    case Step::AppConfirmed: {
      u8 group = 0;
      u8 code = 0;
      if (!SNMTS_AppConfirmed(&group, &code)) {
        SNMTS_RespSnFail(ctx, group, code);
        SNMTS_ucSnState = SNMTS_k_ST_PREOP;
        return true;
      }
      if (!SNMTS_LifeStart(ctx->ulCt)) {
        return false;
      }
      SNMTS_RespService(ctx, k_RESP_OP, nullptr, 0);
      SNMTS_ucSnState = cell.next;
      return true;
    }
    case Step::OpSadrRequest:
      SNMTS_ucSnState = cell.next;
      *ctx->pucBusy = 1;
      return true;
    case Step::OpAnswer:
      SNMTS_RespService(ctx, k_RESP_OP, nullptr, 0);
      return true;
    case Step::OpPreOp:
      SNMTS_RespService(ctx, k_RESP_PREOP, nullptr, 0);
      SNMTS_ucSnState = cell.next;
      return true;
    case Step::OpGuard:
      if (!SNMTS_LifeStart(ctx->ulCt)) {
        return false;
      }
      SNMTS_RespService(ctx, k_RESP_OP, nullptr, 0);
      return true;
    case Step::LifeCheck: {
      const u8 life = SNMTS_LifeCheck(ctx->ulCt);
      if (life == SNMTS_k_LIFE_ERROR) {
        return false;
      }
      if (life == SNMTS_k_LIFE_ELAPSED) {
        SNMTS_LifeStop();
        SNMTS_ucSnState = cell.next;
        return SNMTS_RefreshStart(ctx->ulCt, false);
      }
      return true;
    }
    case Step::OpSetScmUdid:
      if (!WriteScmUdid(ctx)) {
        SNMTS_ucSnState = SNMTS_k_ST_NO_SADR;
      }
      return true;
    case Step::PendingSadrAnswer:
      SNMTS_RespSadrAssigned(ctx);
      SNMTS_ucSnState = cell.next;
      return true;
  }
  return false;
}
}  // namespace

bool SNMTS_SnStateFsm(u8 event, SNMTS_EvtCtx* ctx) {
  SCFM_Tack();
  if (event >= SNMTS_k_EVENTS || (!FramelessEvent(event) && (!HasHeaders(ctx) || ctx->pucBusy == nullptr))) {
    SERR_SetError(0xF643, event);
    return false;
  }
  const u8 state = SNMTS_ucSnState;
  if (state >= SNMTS_k_STATES || !k_table[state].valid) {
    SERR_SetError(0xF61C, state);
    return false;
  }
  const Row& row = k_table[state];
  // The older release has no extended CT: its initialisation falls to the unexpected step in every state.
  const bool extCtUnknown = SCM_kLegacy && event == SNMTS_k_EVT_EXT_CT;
  return RunStep(extCtUnknown ? k_x : row.cells[event], event, row.unexpected, ctx);
}
