// SNMT master: builders, matching of answers and repetitions.
#include <functional>

#include "ScmProfile.h"
#include "ManagerFixture.h"
#include "SNMTMint.h"

namespace MgrTest {
namespace {

const u8 k_UDID[6] = {1, 2, 3, 4, 5, 6};
const u8 k_EXTCT[5] = {0x11, 0x22, 0x33, 0x44, 0x55};

class SnmtmTest : public ManagerFixture {
 protected:
  /// The last frame sent, parsed.
  static ParsedFrame LastSent() { return TestFrames::ParseFrame(g_fakes.sent.back().bytes); }
  /// Busy slots.
  static int Busy() {
    int n = 0;
    for (const SNMTM_ReqSlot& s : SNMTM_as_Fsm) {
      n += s.ucFree == 0 ? 1 : 0;
    }
    return n;
  }
  /// Feeds a response to the master.
  static bool Respond(u8 id, u16 tadr, const Bytes& payload, u16 adr = 1, u16 sdn = 1, u8 tr = 0, u16 rct = 0) {
    SFS_FrameHeader h = {};
    h.usAdr = adr;
    h.ucId = id;
    h.usSdn = sdn;
    h.ucLe = static_cast<u8>(payload.size());
    h.usCt = rct;
    h.usTadr = tadr;
    h.ucTr = tr;
    u8 buf[24] = {};
    std::copy(payload.begin(), payload.end(), buf);
    return SNMTM_ProcessResponse(0x1000, &h, buf);
  }
};

struct BuilderCase {
  const char* name;                         ///< builder
  std::function<bool(u32, u16, u16)> call;  ///< (ct, fsm, sadr) -> sent
  u8 id;                                    ///< frame id
  Bytes payload;                            ///< expected payload (its size is LE)
  u16 noSlot;                               ///< code without a free slot
};

class Builders : public SnmtmTest, public ::testing::WithParamInterface<BuilderCase> {};

TEST_P(Builders, BuildTheFrameAndTakeTheSlotOnlyWhenSent) {
  const BuilderCase& c = GetParam();
  ASSERT_TRUE(c.call(0x1000, 3, 77));
  ASSERT_EQ(g_fakes.sent.size(), 1u);
  EXPECT_EQ(g_fakes.sent[0].type, SFS_k_TT_SNMT);
  const ParsedFrame f = LastSent();
  ASSERT_TRUE(f.ok) << f.error;
  EXPECT_EQ(f.id, c.id);
  EXPECT_EQ(f.adr, 77);
  EXPECT_EQ(f.tadr, g_v.scmSadr);
  EXPECT_EQ(f.sdn, g_v.sdn);
  EXPECT_EQ(f.ct, 0);
  EXPECT_EQ(f.tr, 0);
  EXPECT_EQ(f.payload, c.payload);
  const bool slotted = c.noSlot != 0;
  EXPECT_EQ(Busy(), slotted ? 1 : 0);
  if (slotted) {
    EXPECT_EQ(SNMTM_as_Fsm[0].usFsmIdx, 3);
  }
  // a frame that does not go out takes no slot and leaves no block out
  g_fakes.refuseSend = true;
  EXPECT_FALSE(c.call(0x1000, 4, 77));
  EXPECT_EQ(Busy(), slotted ? 1 : 0);
  EXPECT_FALSE(g_fakes.out);
  g_fakes.refuseSend = false;
  g_fakes.refuseBlock = true;
  EXPECT_FALSE(c.call(0x1000, 4, 77));
  EXPECT_EQ(Busy(), slotted ? 1 : 0);
  g_fakes.refuseBlock = false;
  if (slotted) {
    while (SNMTM_CheckFsmAvailable()) {
      ASSERT_TRUE(c.call(0x1000, 5, 77));
    }
    g_fakes.errors.clear();
    EXPECT_FALSE(c.call(0x1000, 5, 77));
    ASSERT_EQ(g_fakes.errors.size(), 1u);
    EXPECT_EQ(g_fakes.errors[0].code, c.noSlot);
  }
  expectMaxCode = 0xFFFF;
}

INSTANTIATE_TEST_SUITE_P(
    All, Builders,
    ::testing::Values(
        BuilderCase{"Udid", [](u32 t, u16 f, u16 a) { return SNMTM_ReqUdid(t, f, a); }, 0x28, {}, 0xF506},
        BuilderCase{"AssignSadr", [](u32 t, u16 f, u16 a) { return SNMTM_ReqAssgnSadr(t, f, a, k_UDID); }, 0x2A,
                    {1, 2, 3, 4, 5, 6}, 0xF507},
        BuilderCase{"PreOp", [](u32 t, u16 f, u16 a) { return SNMTM_ReqSnTrans(t, f, a, 1, 0x11223344); }, 0x2C,
                    {0x00}, 0xF50A},
        BuilderCase{"Op", [](u32 t, u16 f, u16 a) { return SNMTM_ReqSnTrans(t, f, a, 0, 0x11223344); }, 0x2C,
                    {0x02, 0x44, 0x33, 0x22, 0x11}, 0xF50A},
        BuilderCase{"Guard", [](u32 t, u16 f, u16 a) { return SNMTM_ReqGuarding(t, f, a); }, 0x2C, {0x08}, 0xF509},
        BuilderCase{"AddSadr", [](u32 t, u16 f, u16 a) { return SNMTM_ReqAssgnAddSadr(t, f, a, 0x0123, 0x0302); },
                    0x2C, {0x0A, 0x23, 0x01, 0x02, 0x03}, 0xF508},
        BuilderCase{"ScmUdid", [](u32 t, u16 f, u16 a) { return SNMTM_ReqAssgnScmUdid(t, f, a, k_UDID); }, 0x2C,
                    {0x0E, 1, 2, 3, 4, 5, 6}, 0xF512},
        BuilderCase{"ExtCt", [](u32 t, u16 f, u16 a) { return SNMTM_ReqInitializeCtSn(t, f, a, k_EXTCT); }, 0x2C,
                    {0x10, 0x11, 0x22, 0x33, 0x44, 0x55}, 0xF514},
        BuilderCase{"ErrorAck", [](u32, u16, u16 a) { return SNMTM_SnErrorAck(a, 3, 9); }, 0x2C, {0x0C, 3, 9}, 0}),
    [](const ::testing::TestParamInfo<BuilderCase>& i) { return std::string(i.param.name); });

struct RefusalCase {
  const char* name;              ///< what is wrong
  std::function<bool()> call;    ///< the refused call
  u16 code;                      ///< its code
};

class Refusals : public SnmtmTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, ReportTheirCodeAndSendNothing) {
  EXPECT_FALSE(GetParam().call());
  ASSERT_EQ(g_fakes.errors.size(), 1u);
  EXPECT_EQ(g_fakes.errors[0].code, GetParam().code);
  EXPECT_TRUE(g_fakes.sent.empty());
  EXPECT_EQ(Busy(), 0);
  expectMaxCode = 0xFFFF;
}

INSTANTIATE_TEST_SUITE_P(
    All, Refusals,
    ::testing::Values(
        RefusalCase{"TransKind", [] { return SNMTM_ReqSnTrans(0, 0, 5, 2, 0); }, 0xF502},
        RefusalCase{"NoUdid", [] { return SNMTM_ReqAssgnSadr(0, 0, 5, nullptr); }, 0xF503},
        RefusalCase{"AddSadr0", [] { return SNMTM_ReqAssgnAddSadr(0, 0, 5, 0, 5); }, 0xF504},
        RefusalCase{"AddSadr1024", [] { return SNMTM_ReqAssgnAddSadr(0, 0, 5, 1024, 5); }, 0xF504},
        RefusalCase{"TxSpdo1", [] { return SNMTM_ReqAssgnAddSadr(0, 0, 5, 7, 1); }, 0xF505},
        RefusalCase{"TxSpdo1024", [] { return SNMTM_ReqAssgnAddSadr(0, 0, 5, 7, 1024); }, 0xF505}),
    [](const ::testing::TestParamInfo<RefusalCase>& i) { return std::string(i.param.name); });

struct MatchCase {
  const char* name;   ///< the rule
  std::function<void()> request;  ///< the request sent from slot 0 for FSM index 2 to SADR 9
  u8 id;              ///< answer id
  u16 tadr;           ///< answer TADR
  Bytes payload;      ///< answer payload
  u16 sdn;            ///< answer SDN
  bool matched;       ///< answered
};

class Matching : public SnmtmTest, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(Matching, OneRowPerRule) {
  const MatchCase& c = GetParam();
  c.request();
  ASSERT_EQ(Busy(), 1);
  SCM_as_FsmCb[2].usEvents = 0;
  const bool result = Respond(c.id, c.tadr, c.payload, 1, c.sdn);
  EXPECT_EQ(result, c.matched);
  if (c.matched) {
    EXPECT_EQ(Busy(), 0);
    EXPECT_EQ(SCM_as_FsmCb[2].usEvents, SCM_k_EVT_SNMT_RESP);
    EXPECT_EQ(SCM_as_FsmCb[2].usRespSadr, c.tadr);
    // the node gets the answer's bytes, zero-filled to seven
    Bytes want = c.payload;
    want.resize(7, 0);
    EXPECT_EQ(Bytes(SCM_as_FsmCb[2].aucRespData, SCM_as_FsmCb[2].aucRespData + 7), want);
    EXPECT_TRUE(g_fakes.errors.empty());
  } else {
    EXPECT_EQ(Busy(), 1);
    EXPECT_EQ(SCM_as_FsmCb[2].usEvents, 0);
    ASSERT_EQ(g_fakes.errors.size(), 1u);
    EXPECT_EQ(g_fakes.errors[0].code, 0x250C);
  }
}

const auto k_guard = [] { SNMTM_ReqGuarding(0x1000, 2, 9); };
const auto k_assign = [] { SNMTM_ReqAssgnSadr(0x1000, 2, 9, k_UDID); };
const auto k_udid = [] { SNMTM_ReqUdid(0x1000, 2, 9); };
const auto k_op = [] { SNMTM_ReqSnTrans(0x1000, 2, 9, 0, 7); };
const auto k_add = [] { SNMTM_ReqAssgnAddSadr(0x1000, 2, 9, 20, 30); };
const auto k_scm = [] { SNMTM_ReqAssgnScmUdid(0x1000, 2, 9, k_UDID); };
const auto k_ext = [] { SNMTM_ReqInitializeCtSn(0x1000, 2, 9, k_EXTCT); };
const auto k_pre = [] { SNMTM_ReqSnTrans(0x1000, 2, 9, 1, 0); };

INSTANTIATE_TEST_SUITE_P(
    Rules, Matching,
    ::testing::Values(
        MatchCase{"AssignByUdidEcho", k_assign, 0x2B, 44, {1, 2, 3, 4, 5, 6}, 1, true},
        MatchCase{"AssignOtherUdid", k_assign, 0x2B, 9, {1, 2, 3, 4, 5, 7}, 1, false},
        MatchCase{"AssignTruncated", k_assign, 0x2B, 9, {1, 2, 3, 4, 5}, 1, false},
        MatchCase{"UdidByTadr", k_udid, 0x29, 9, {9, 9, 9, 9, 9, 9}, 1, true},
        MatchCase{"UdidOtherTadr", k_udid, 0x29, 8, {9, 9, 9, 9, 9, 9}, 1, false},
        MatchCase{"UdidTruncated", k_udid, 0x29, 9, {9, 9, 9}, 1, false},
        MatchCase{"GuardOperational", k_guard, 0x2D, 9, {0x03}, 1, true},
        MatchCase{"GuardPreOp", k_guard, 0x2D, 9, {0x01}, 1, true},
        MatchCase{"GuardEvenCode", k_guard, 0x2D, 9, {0x02}, 1, true},
        // the older release's table takes an SN FAIL only as the answer to set-to-operational
        MatchCase{"GuardSnFail", k_guard, 0x2D, 9, {0x07, 1, 2}, 1, !SCM_kLegacy},
        MatchCase{"OpSnFail", k_op, 0x2D, 9, {0x07, 1, 2}, 1, true},
        MatchCase{"GuardSnFailShort", k_guard, 0x2D, 9, {0x07, 1}, 1, false},
        MatchCase{"GuardAddSadrAnswer", k_guard, 0x2D, 9, {0x05, 0, 0, 0, 0}, 1, false},
        MatchCase{"GuardLongAnswer", k_guard, 0x2D, 9, {0x03, 0}, 1, false},
        MatchCase{"GuardEmpty", k_guard, 0x2D, 9, {}, 1, false},
        MatchCase{"GuardOtherTadr", k_guard, 0x2D, 8, {0x03}, 1, false},
        MatchCase{"GuardOtherSdn", k_guard, 0x2D, 9, {0x03}, 2, false},
        MatchCase{"GuardUnnamedCode", k_guard, 0x2D, 9, {0x13}, 1, false},
        MatchCase{"OpBusy", k_op, 0x2D, 9, {0x09}, 1, true},
        MatchCase{"OpOperational", k_op, 0x2D, 9, {0x03}, 1, true},
        MatchCase{"PreOpAnswer", k_pre, 0x2D, 9, {0x01}, 1, true},
        MatchCase{"PreOpOperational", k_pre, 0x2D, 9, {0x03}, 1, false},
        MatchCase{"AddSadrAnswer", k_add, 0x2D, 9, {0x05, 20, 0, 30, 0}, 1, true},
        MatchCase{"ScmUdidAnswer", k_scm, 0x2D, 9, {0x0F, 1, 2, 3, 4, 5, 6}, 1, true},
        MatchCase{"ScmUdidShort", k_scm, 0x2D, 9, {0x0F, 1, 2, 3, 4, 5}, 1, false},
        // an answer code above 0x0F matches nothing in the older release
        MatchCase{"ExtCtAnswer", k_ext, 0x2D, 9, {0x11, 1, 2, 3, 4, 5}, 1, !SCM_kLegacy},
        MatchCase{"ServiceAnswerToUdidRequest", k_udid, 0x2D, 9, {0x03}, 1, false},
        MatchCase{"UdidAnswerToService", k_guard, 0x29, 9, {1, 2, 3, 4, 5, 6}, 1, false}),
    [](const ::testing::TestParamInfo<MatchCase>& i) { return std::string(i.param.name); });

TEST_F(SnmtmTest, FirstMatchingSlotWins) {
  ASSERT_TRUE(SNMTM_ReqAssgnAddSadr(0x1000, 1, 9, 20, 30));
  ASSERT_TRUE(SNMTM_ReqGuarding(0x1000, 2, 9));
  ASSERT_TRUE(SNMTM_ReqGuarding(0x1000, 3, 9));
  EXPECT_TRUE(Respond(0x2D, 9, {0x03}));
  EXPECT_EQ(SNMTM_as_Fsm[0].ucFree, 0);
  EXPECT_EQ(SNMTM_as_Fsm[1].ucFree, 1);
  EXPECT_EQ(SNMTM_as_Fsm[2].ucFree, 0);
  EXPECT_EQ(SCM_as_FsmCb[2].usEvents & SCM_k_EVT_SNMT_RESP, SCM_k_EVT_SNMT_RESP);
}

struct DropCase {
  const char* name;  ///< what is wrong with the answer
  u16 adr;           ///< answer ADR
  u8 tr;             ///< answer TR
  u16 rct;           ///< answer CT
  bool result;       ///< processing result
  u16 code;          ///< error
  u32 info;          ///< its info
};

class Drops : public SnmtmTest, public ::testing::WithParamInterface<DropCase> {};

TEST_P(Drops, AnswerIsDroppedAndTheRequestStillRepeats) {
  const DropCase& c = GetParam();
  ASSERT_TRUE(SNMTM_ReqGuarding(0x1000, 2, 9));
  EXPECT_EQ(Respond(0x2D, 9, {0x03}, c.adr, 1, c.tr, c.rct), c.result);
  ASSERT_EQ(g_fakes.errors.size(), 1u);
  EXPECT_EQ(g_fakes.errors[0].code, c.code);
  EXPECT_EQ(g_fakes.errors[0].info, c.info);
  EXPECT_EQ(Busy(), 1);
  u8 budget = 5;
  SNMTM_BuildRequest(0x1000 + g_v.snmtTimeout, &budget);
  EXPECT_EQ(budget, 4);
  EXPECT_EQ(g_fakes.sent.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(All, Drops,
                         ::testing::Values(DropCase{"TrNotZero", 1, 1, 0, true, 0x150F, 1},
                                           DropCase{"CtNotZero", 1, 0, 7, true, 0x1510, 7},
                                           DropCase{"NotTheScm", 2, 0, 0, false, 0x150E, 2}),
                         [](const ::testing::TestParamInfo<DropCase>& i) { return std::string(i.param.name); });

TEST_F(SnmtmTest, ResetGuardingReachesTheGuardAndRetryWaits) {
  g_v.nodes[0].sadr = 5;
  g_v.nodes[1].sadr = 6;
  g_v.nodes[2].sadr = 7;
  ASSERT_TRUE(SCM_Activate());
  SCM_as_FsmCb[0].ulState = SCM_StateNo(22);
  SCM_as_FsmCb[1].ulState = SCM_StateNo(6);
  SCM_as_FsmCb[2].ulState = SCM_StateNo(19);
  for (SCM_FsmCb& cb : SCM_as_FsmCb) {
    cb.usEvents = 0;
  }
  EXPECT_TRUE(Respond(0x2F, 1, {}, 1, 1));
  EXPECT_EQ(SCM_as_FsmCb[0].usEvents, SCM_k_EVT_TIMER);
  EXPECT_EQ(SCM_as_FsmCb[1].usEvents, SCM_k_EVT_TIMER);
  EXPECT_EQ(SCM_as_FsmCb[2].usEvents, 0);
}

class Repetitions : public SnmtmTest, public ::testing::WithParamInterface<u32> {};

TEST_P(Repetitions, OnePlusRSendsEachAtLeastTheTimeoutApartThenTimedOut) {
  const u32 t0 = GetParam();
  const u32 to = g_v.snmtTimeout;
  u32 rep0 = 0;
  u32 exp0 = 0;
  ASSERT_TRUE(SERR_GetAcycStatCtr(0, 3, &rep0));
  ASSERT_TRUE(SERR_GetAcycStatCtr(0, 2, &exp0));
  ASSERT_TRUE(SNMTM_ReqGuarding(t0, 2, 9));
  SCM_as_FsmCb[2].usEvents = 0;
  std::vector<u32> sends = {t0};
  for (u32 t = t0; t != t0 + 10 * to; t += 7) {
    u8 budget = 10;
    const std::size_t before = g_fakes.sent.size();
    SNMTM_BuildRequest(t, &budget);
    if (g_fakes.sent.size() > before) {
      sends.push_back(t);
      EXPECT_EQ(budget, 9);
    }
    if (SCM_as_FsmCb[2].usEvents != 0) {
      // final time-out: at or after the last send + the time-out
      EXPECT_GE(t - sends.back(), to);
      EXPECT_LT(t - sends.back(), to + 7);
      break;
    }
  }
  ASSERT_EQ(sends.size(), 1u + g_v.snmtRetries);
  for (std::size_t i = 1; i < sends.size(); ++i) {
    EXPECT_GE(sends[i] - sends[i - 1], to);
    EXPECT_LT(sends[i] - sends[i - 1], to + 7);
  }
  EXPECT_EQ(SCM_as_FsmCb[2].usEvents, SCM_k_EVT_SNMT_TMO);
  EXPECT_EQ(Busy(), 0);
  ASSERT_EQ(g_fakes.errors.size(), 1u);
  EXPECT_EQ(g_fakes.errors[0].code, 0x150B);
  EXPECT_EQ(g_fakes.errors[0].info, 9u);
  u32 rep = 0;
  u32 exp = 0;
  ASSERT_TRUE(SERR_GetAcycStatCtr(0, 3, &rep));
  ASSERT_TRUE(SERR_GetAcycStatCtr(0, 2, &exp));
  EXPECT_EQ(rep - rep0, g_v.snmtRetries);
  EXPECT_EQ(exp - exp0, 1u);
}

INSTANTIATE_TEST_SUITE_P(Deadlines, Repetitions, ::testing::Values(0x1000u, 0x7FFFFFD0u, 0xFFFFFFD0u));

TEST_F(SnmtmTest, RepetitionsOnlyWhileBudgetLasts) {
  ASSERT_TRUE(SNMTM_ReqGuarding(0x1000, 2, 9));
  ASSERT_TRUE(SNMTM_ReqGuarding(0x1000, 3, 10));
  u8 budget = 1;
  SNMTM_BuildRequest(0x1000 + g_v.snmtTimeout, &budget);
  EXPECT_EQ(budget, 0);
  EXPECT_EQ(g_fakes.sent.size(), 3u);
  budget = 0;
  SNMTM_BuildRequest(0x1000 + g_v.snmtTimeout, &budget);
  EXPECT_EQ(g_fakes.sent.size(), 3u);
  budget = 5;
  SNMTM_BuildRequest(0x1000 + g_v.snmtTimeout, &budget);
  EXPECT_EQ(g_fakes.sent.size(), 4u);
  EXPECT_EQ(budget, 4);
}

TEST_F(SnmtmTest, AnUnsentRepetitionLeavesTheSlotDueAndStopsTheWalk) {
  ASSERT_TRUE(SNMTM_ReqGuarding(0x1000, 2, 9));
  ASSERT_TRUE(SNMTM_ReqGuarding(0x1000, 3, 10));
  g_fakes.refuseBlock = true;
  u8 budget = 5;
  SNMTM_BuildRequest(0x1000 + g_v.snmtTimeout, &budget);
  EXPECT_EQ(budget, 5);
  EXPECT_EQ(g_fakes.blockRequests, 3u);  // the second slot was not tried
  EXPECT_EQ(Busy(), 2);
  g_fakes.refuseBlock = false;
  SNMTM_BuildRequest(0x1000 + g_v.snmtTimeout + 1, &budget);
  EXPECT_EQ(budget, 3);
  EXPECT_EQ(SNMTM_as_Fsm[0].ucRepDone, 1);
  expectMaxCode = 0xFFFF;  // the refused block is the platform's fatal report
}

TEST_F(SnmtmTest, NoCounterIsRefused) {
  SNMTM_BuildRequest(0, nullptr);
  ASSERT_EQ(g_fakes.errors.size(), 1u);
  EXPECT_EQ(g_fakes.errors[0].code, 0xF513);
  expectMaxCode = 0xFFFF;
}

}  // namespace
}  // namespace MgrTest
