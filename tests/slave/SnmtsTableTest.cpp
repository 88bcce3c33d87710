// The SN state machine as one table of cases: state x request -> answer, next
// state, error report. Each row starts from a node driven to PRE-OPERATIONAL
// (or OPERATIONAL for the operational states) and then placed in its state.
#include <optional>

#include "SlaveFixture.h"
#include "ScmProfile.h"

namespace SlaveTest {
namespace {

/// Requests of the table, by the event they raise.
enum class Req : u8 {
  Assign,     ///< 0x2A with the own UDID (event 0)
  SetOp,      ///< service 0x02 with the timestamp (event 1)
  SetPreOp,   ///< service 0x00 (event 4)
  Guard,      ///< service 0x08 (event 6)
  ErrAck,     ///< service 0x0C 4/4 (event 8)
  ScmUdid,    ///< service 0x0E with a new SCM UDID (event 9)
  ExtCt       ///< service 0x10 (event 10)
};

/// SCM UDID the rows assign.
const Bytes k_newScmUdid = {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6};

struct Answer {
  u8 id;          ///< response id
  Bytes payload;  ///< response payload
};

struct Row {
  u8 state;                     ///< state the node is placed in
  Req req;                      ///< request sent
  std::optional<Answer> answer;  ///< expected answer, none when empty
  u8 next;                      ///< expected state afterwards
  u16 code;                     ///< expected error code (0: none)
  u32 info;                     ///< its info
};

const Bytes k_udidAnswer(k_OWN_UDID.begin(), k_OWN_UDID.end());               ///< the own UDID's bytes
const Answer k_sadr = {0x2B, k_udidAnswer};                                      ///< SADR assigned
const Answer k_preop = {0x2D, {0x01}};                                           ///< status PRE-OPERATIONAL
const Answer k_op = {0x2D, {0x03}};                                              ///< status OPERATIONAL
const Answer k_busy = {0x2D, {0x09}};                                            ///< busy
const Answer k_noUdid = {0x2D, {0x0F, 0, 0, 0, 0, 0, 0}};                        ///< SCM UDID: error UDID
const Answer k_udidSet = {0x2D, {0x0F, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6}};     ///< SCM UDID taken
const Answer k_extCt = {0x2D, {0x11, 1, 2, 3, 4, 5}};                            ///< extended CT taken
const Answer k_fail44 = {0x2D, {0x07, 4, 4}};                                    ///< SN FAIL of an unexpected event

/// Class and type bits of the older release's fatal unexpected event.
constexpr u16 k_FATAL = 0xF000;

/// Row of an unexpected event: SN FAIL 4/4, state 1, the row's code with the event as info;
/// in the older release fatal (class and type 3), not answered, the state kept.
Row Unexp(u8 state, Req req, u16 code, u32 event) {
  if (SCM_kLegacy) {
    return {state, req, std::nullopt, state, static_cast<u16>(code | k_FATAL), event};
  }
  return {state, req, k_fail44, 1, code, event};
}

/// Row of the extended-CT initialisation in a state that takes it: answered 0x11 and kept;
/// the older release has no extended CT, so there it is the state's unexpected event.
Row ExtCt(u8 state, u16 unexpected) {
  if (SCM_kLegacy) {
    return Unexp(state, Req::ExtCt, unexpected, 10);
  }
  return {state, Req::ExtCt, k_extCt, state, 0, 0};
}

// clang-format off
/// The table: every state with every framed request.
const Row k_rows[] = {
  // state 0: every request is unexpected
  Unexp(0, Req::Assign, 0x261D, 0), Unexp(0, Req::SetOp, 0x261D, 1), Unexp(0, Req::SetPreOp, 0x261D, 4),
  Unexp(0, Req::Guard, 0x261D, 6), Unexp(0, Req::ErrAck, 0x261D, 8), Unexp(0, Req::ScmUdid, 0x261D, 9),
  Unexp(0, Req::ExtCt, 0x261D, 10),
  // state 1: pre-op, no SADR
  {1, Req::Assign, k_sadr, 3, 0, 0},
  {1, Req::SetOp, {}, 1, 0x261E, 0},
  {1, Req::SetPreOp, {}, 1, 0x2622, 0},
  {1, Req::Guard, k_preop, 1, 0, 0},
  {1, Req::ErrAck, {}, 1, 0x2621, 0},
  {1, Req::ScmUdid, k_noUdid, 1, 0x261F, 0},
  Unexp(1, Req::ExtCt, 0x2623, 10),
  // state 2: SADR taken
  {2, Req::Assign, k_sadr, 3, 0, 0},
  Unexp(2, Req::SetOp, 0x2625, 1), Unexp(2, Req::SetPreOp, 0x2625, 4), Unexp(2, Req::Guard, 0x2625, 6),
  Unexp(2, Req::ErrAck, 0x2625, 8), Unexp(2, Req::ScmUdid, 0x2625, 9), Unexp(2, Req::ExtCt, 0x2625, 10),
  // state 3: wait for the SCM UDID
  {3, Req::Assign, k_sadr, 3, 0, 0},
  {3, Req::SetOp, {}, 3, 0x2628, 0},
  {3, Req::SetPreOp, {}, 3, 0x2626, 0},
  {3, Req::Guard, k_preop, 3, 0, 0},
  {3, Req::ErrAck, {}, 3, 0x2627, 0},
  {3, Req::ScmUdid, k_udidSet, 4, 0, 0},
  Unexp(3, Req::ExtCt, 0x262A, 10),
  // state 4: pre-operational
  {4, Req::Assign, k_sadr, 3, 0, 0},
  {4, Req::SetOp, k_busy, 6, 0, 0},
  {4, Req::SetPreOp, k_preop, 4, 0, 0},
  {4, Req::Guard, k_preop, 4, 0, 0},
  {4, Req::ErrAck, {}, 4, 0x264C, 0},
  {4, Req::ScmUdid, k_noUdid, 4, 0x262B, 0},
  ExtCt(4, 0x262C),
  // state 6: wait for the checksum
  {6, Req::Assign, k_sadr, 3, 0, 0},
  {6, Req::SetOp, k_busy, 6, 0, 0},
  {6, Req::SetPreOp, {}, 6, 0x2630, 0},
  {6, Req::Guard, k_preop, 6, 0, 0},
  {6, Req::ErrAck, {}, 6, 0x264C, 0},
  {6, Req::ScmUdid, k_noUdid, 6, 0x2631, 0},
  Unexp(6, Req::ExtCt, 0x2632, 10),
  // state 7: checksum ready (no checksum reported in this row)
  {7, Req::Assign, k_sadr, 3, 0, 0},
  {7, Req::SetOp, Answer{0x2D, {0x07, 4, 1}}, 4, 0x2646, 0},
  {7, Req::SetPreOp, {}, 7, 0x2634, 0},
  {7, Req::Guard, k_preop, 7, 0, 0},
  {7, Req::ErrAck, {}, 7, 0x264C, 0},
  {7, Req::ScmUdid, k_noUdid, 7, 0x2635, 0},
  Unexp(7, Req::ExtCt, 0x2636, 10),
  // state 8: wait for the application
  {8, Req::Assign, k_sadr, 3, 0, 0},
  {8, Req::SetOp, k_busy, 8, 0, 0},
  {8, Req::SetPreOp, {}, 8, 0x2638, 0},
  {8, Req::Guard, k_preop, 8, 0, 0},
  {8, Req::ErrAck, {}, 8, 0x264C, 0},
  {8, Req::ScmUdid, k_noUdid, 8, 0x2639, 0},
  Unexp(8, Req::ExtCt, 0x263A, 10),
  // state 9: ready for OPERATIONAL (the application has not confirmed in this row)
  {9, Req::Assign, k_sadr, 3, 0, 0},
  {9, Req::SetOp, Answer{0x2D, {0x07, 0, 0}}, 4, 0, 0},
  {9, Req::SetPreOp, {}, 9, 0x263C, 0},
  {9, Req::Guard, k_preop, 9, 0, 0},
  {9, Req::ErrAck, {}, 9, 0x264C, 0},
  {9, Req::ScmUdid, k_noUdid, 9, 0x263D, 0},
  Unexp(9, Req::ExtCt, 0x263E, 10),
  // state 10: operational
  {10, Req::Assign, k_sadr, 10, 0, 0},
  {10, Req::SetOp, k_op, 10, 0, 0},
  {10, Req::SetPreOp, k_preop, 4, 0, 0},
  {10, Req::Guard, k_op, 10, 0, 0},
  {10, Req::ErrAck, {}, 10, 0x2640, 0},
  {10, Req::ScmUdid, k_udidSet, 10, 0, 0},
  ExtCt(10, 0x2641),
  // state 11: operational, SADR request pending
  {11, Req::Assign, k_sadr, 10, 0, 0},
  Unexp(11, Req::SetOp, 0x2642, 1), Unexp(11, Req::SetPreOp, 0x2642, 4), Unexp(11, Req::Guard, 0x2642, 6),
  Unexp(11, Req::ErrAck, 0x2642, 8), Unexp(11, Req::ScmUdid, 0x2642, 9), Unexp(11, Req::ExtCt, 0x2642, 10),
};
// clang-format on

class SnmtsTable : public SlaveFixture, public ::testing::WithParamInterface<Row> {
 protected:
  std::vector<ParsedFrame> Send(Req req) {
    switch (req) {
      case Req::Assign: return Snmt(0x2A, k_udidAnswer);
      case Req::SetOp: return Service(Cat({0x02}, Le32(k_TIMESTAMP)));
      case Req::SetPreOp: return Service({0x00});
      case Req::Guard: return Service({0x08});
      case Req::ErrAck: return Service({0x0C, 4, 4});
      case Req::ScmUdid: return Service(Cat({0x0E}, k_newScmUdid));
      case Req::ExtCt: return Service({0x10, 1, 2, 3, 4, 5});
    }
    return {};
  }
};

TEST_P(SnmtsTable, AnswerNextStateAndError) {
  const Row& row = GetParam();
  Place(row.state);
  g_v.timestamp = k_TIMESTAMP;
  ClearErrors();
  const std::vector<ParsedFrame> sent = Send(row.req);
  if (row.answer.has_value()) {
    const ParsedFrame f = One(sent);
    EXPECT_EQ(f.id, row.answer->id);
    EXPECT_EQ(f.payload, row.answer->payload);
    EXPECT_EQ(f.adr, k_SCM_SADR);
    EXPECT_EQ(f.sdn, k_SDN);
    EXPECT_EQ(f.ct, 0);
    EXPECT_EQ(f.tr, 0);
    EXPECT_EQ(f.tadr, k_SADR);
  } else {
    EXPECT_TRUE(sent.empty());
  }
  EXPECT_EQ(SNMTS_ucSnState, row.next);
  ExpectFirstError(NewErrors(), row.code, row.info);
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  static const char* const k_req[] = {"Assign", "SetOp", "SetPreOp", "Guard", "ErrAck", "ScmUdid", "ExtCt"};
  return "State" + std::to_string(info.param.state) + "_" + k_req[static_cast<int>(info.param.req)];
}

INSTANTIATE_TEST_SUITE_P(StatesByRequests, SnmtsTable, ::testing::ValuesIn(k_rows), RowName);

/// Events that come without a frame: application calls and the timer.
enum class Call : u8 {
  ChkSum,    ///< SNMTS_PassParamChkSumValid(true), event 2
  AppOp,     ///< SNMTS_EnterOpState(true, 0, 0), event 3
  TransPreOp,  ///< SNMTS_PerformTransPreOp, event 5
  Timer      ///< SNMTS_TimerCheck with frames to spare, event 7
};

struct CallRow {
  u8 state;    ///< state the node is placed in
  Call call;   ///< the call
  bool result;  ///< its result (the timer: ignored)
  u8 next;     ///< state afterwards
  u16 code;    ///< error code (0: none)
  u32 info;    ///< its info
};

/// Row of an unexpected frameless event: false, state 1 and the row's code; in the older
/// release fatal (class and type 3) with the state kept.
CallRow UnexpCall(u8 state, Call call, u16 code, u32 event) {
  if (SCM_kLegacy) {
    return {state, call, false, state, static_cast<u16>(code | k_FATAL), event};
  }
  return {state, call, false, 1, code, event};
}

// clang-format off
/// The table: every state with every frameless event.
const CallRow k_callRows[] = {
  UnexpCall(0, Call::ChkSum, 0x261D, 2), UnexpCall(0, Call::AppOp, 0x261D, 3),
  {0, Call::TransPreOp, true, 1, 0, 0}, UnexpCall(0, Call::Timer, 0x261D, 7),
  UnexpCall(1, Call::ChkSum, 0x2623, 2), UnexpCall(1, Call::AppOp, 0x2623, 3),
  {1, Call::TransPreOp, true, 1, 0, 0}, {1, Call::Timer, true, 1, 0, 0},
  UnexpCall(2, Call::ChkSum, 0x2625, 2), UnexpCall(2, Call::AppOp, 0x2625, 3),
  {2, Call::TransPreOp, true, 2, 0, 0}, {2, Call::Timer, true, 2, 0, 0},
  UnexpCall(3, Call::ChkSum, 0x262A, 2), UnexpCall(3, Call::AppOp, 0x262A, 3),
  {3, Call::TransPreOp, true, 3, 0, 0}, {3, Call::Timer, true, 3, 0, 0},
  UnexpCall(4, Call::ChkSum, 0x262C, 2), UnexpCall(4, Call::AppOp, 0x262C, 3),
  {4, Call::TransPreOp, true, 4, 0, 0}, {4, Call::Timer, true, 4, 0, 0},
  {6, Call::ChkSum, true, 7, 0, 0}, UnexpCall(6, Call::AppOp, 0x2632, 3),
  {6, Call::TransPreOp, true, 6, 0, 0}, {6, Call::Timer, true, 6, 0, 0},
  UnexpCall(7, Call::ChkSum, 0x2636, 2), UnexpCall(7, Call::AppOp, 0x2636, 3),
  {7, Call::TransPreOp, true, 7, 0, 0}, {7, Call::Timer, true, 7, 0, 0},
  UnexpCall(8, Call::ChkSum, 0x263A, 2), {8, Call::AppOp, true, 9, 0, 0},
  {8, Call::TransPreOp, true, 8, 0, 0}, {8, Call::Timer, true, 8, 0, 0},
  UnexpCall(9, Call::ChkSum, 0x263E, 2), UnexpCall(9, Call::AppOp, 0x263E, 3),
  {9, Call::TransPreOp, true, 9, 0, 0}, {9, Call::Timer, true, 9, 0, 0},
  UnexpCall(10, Call::ChkSum, 0x2641, 2), UnexpCall(10, Call::AppOp, 0x2641, 3),
  {10, Call::TransPreOp, true, 4, 0, 0}, {10, Call::Timer, true, 10, 0, 0},
  UnexpCall(11, Call::ChkSum, 0x2642, 2), UnexpCall(11, Call::AppOp, 0x2642, 3),
  {11, Call::TransPreOp, true, 2, 0, 0}, {11, Call::Timer, true, 11, 0, 0},
  {5, Call::ChkSum, false, 5, 0xF61C, 5}, {5, Call::Timer, false, 5, 0xF61C, 5},
};
// clang-format on

class SnmtsCalls : public SlaveFixture, public ::testing::WithParamInterface<CallRow> {};

TEST_P(SnmtsCalls, ResultNextStateAndError) {
  const CallRow& row = GetParam();
  Place(row.state);
  ClearErrors();
  const size_t sentBefore = g_tx.frames.size();
  u8 free = 5;
  switch (row.call) {
    case Call::ChkSum: EXPECT_EQ(SNMTS_PassParamChkSumValid(true), row.result); break;
    case Call::AppOp: EXPECT_EQ(SNMTS_EnterOpState(true, 0, 0), row.result); break;
    case Call::TransPreOp: EXPECT_EQ(SNMTS_PerformTransPreOp(0), row.result); break;
    case Call::Timer: SNMTS_TimerCheck(1, &free); break;
  }
  EXPECT_EQ(g_tx.frames.size(), sentBefore);
  EXPECT_EQ(SNMTS_ucSnState, row.next);
  ExpectFirstError(NewErrors(), row.code, row.info);
}

std::string CallName(const ::testing::TestParamInfo<CallRow>& info) {
  static const char* const k_call[] = {"ChkSum", "AppOp", "TransPreOp", "Timer"};
  return "State" + std::to_string(info.param.state) + "_" + k_call[static_cast<int>(info.param.call)];
}

INSTANTIATE_TEST_SUITE_P(StatesByCalls, SnmtsCalls, ::testing::ValuesIn(k_callRows), CallName);

}  // namespace
}  // namespace SlaveTest
