// SNMT slave timers: reset guarding (refresh) while the node has no SADR, and
// life guarding while it is OPERATIONAL. Interval 50, retry limit 3, guard
// time 100, life time factor 2 unless a test sets others.
#include "SlaveFixture.h"
#include "ScmProfile.h"

namespace SlaveTest {
namespace {

class SnmtsTimer : public SlaveFixture {
 protected:
  /// One timer check with the given budget; the budget left.
  static u8 Check(u32 ct, u8 budget = 5) {
    SNMTS_TimerCheck(ct, &budget);
    return budget;
  }

  /// Runs checks every `step` from `from` for `count` checks; the CTs at which a frame went out.
  std::vector<u32> Run(u32 from, u32 step, int count) {
    std::vector<u32> sentAt;
    for (int i = 0; i < count; ++i) {
      const u32 ct = from + static_cast<u32>(i) * step;
      const size_t before = g_tx.frames.size();
      const u8 left = Check(ct);
      if (g_tx.frames.size() != before) {
        sentAt.push_back(ct);
        EXPECT_EQ(left, 4) << ct;
        const std::vector<ParsedFrame> f = SentSince(before);
        EXPECT_EQ(f.size(), 1u);
        EXPECT_EQ(f[0].id, 0x2F);
        EXPECT_EQ(f[0].adr, 1);
        EXPECT_EQ(f[0].sdn, 1);
        EXPECT_EQ(f[0].tadr, 1);
        EXPECT_EQ(f[0].le, 0);
        EXPECT_EQ(f[0].ct, 0);
        EXPECT_EQ(f[0].tr, 0);
        EXPECT_EQ(g_tx.types.back(), 4);
      } else {
        EXPECT_EQ(left, 5) << ct;
      }
    }
    return sentAt;
  }

  static size_t Count(u16 code) {
    size_t n = 0;
    for (const ErrorReport& e : g_errors) {
      n += (e.code == code) ? 1 : 0;
    }
    return n;
  }
};

TEST_F(SnmtsTimer, RetryLimitThreeSendsThreeFramesOneIntervalApart) {
  ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
  EXPECT_EQ(Run(1000, 10, 40), (std::vector<u32>{1050, 1100, 1150}));
  EXPECT_EQ(Count(0x164A), 3u);
  EXPECT_LE(StackTest::MaxErrorCode(), 0x3FFF);
}

TEST_F(SnmtsTimer, RetryLimit255MeansNoLimit) {
  g_v.refreshRetries = 255;
  ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
  EXPECT_EQ(Run(0, 50, 12).size(), 11u);
}

TEST_F(SnmtsTimer, FirstFrameAfterPreOpLeavesOneIntervalAfterTheFirstCheck) {
  // The platform calls with CT 0; the first cycle's CT can be anywhere.
  for (u32 first : {0u, 40u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF0u}) {
    SCOPED_TRACE(first);
    SetUp();
    ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
    EXPECT_EQ(Run(first, 1, 51), (std::vector<u32>{first + 50}));
  }
}

TEST_F(SnmtsTimer, RefreshDeadlineHoldsAcrossTheWrap) {
  ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
  EXPECT_EQ(Run(0xFFFFFFC0u, 10, 20), (std::vector<u32>{0xFFFFFFF2u, 0x24u, 0x56u}));
}

TEST_F(SnmtsTimer, ZeroBudgetSkipsTheCycle) {
  // In state 0 a timer event would be unexpected: with no budget it is not run at all.
  u8 none = 0;
  SNMTS_TimerCheck(5, &none);
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x1603, 0}}));
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_INIT);
  ClearErrors();
  SNMTS_TimerCheck(5, nullptr);
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0xF602, 0}}));
}

TEST_F(SnmtsTimer, ZeroBudgetDelaysTheFrame) {
  ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
  Check(0);
  EXPECT_EQ(Check(50, 0), 0);
  EXPECT_TRUE(g_tx.frames.empty());
  EXPECT_EQ(Check(51), 4);
  EXPECT_EQ(g_tx.frames.size(), 1u);
}

TEST_F(SnmtsTimer, FailedSendSpendsNoFrame) {
  ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
  Check(0);
  g_tx.refuseSend = true;
  EXPECT_EQ(Check(50), 5);
  EXPECT_EQ(g_tx.requests.size(), 1u);
}

TEST_F(SnmtsTimer, LifeFactorTwoLeavesOperationalAtTheSecondDeadline) {
  const u32 t0 = 5000;
  ToOp(t0);
  ClearErrors();
  const size_t sent = g_tx.frames.size();
  Check(t0 + 99);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_OP);
  Check(t0 + 100);  // first deadline: renewed
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_OP);
  Check(t0 + 199);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_OP);
  EXPECT_TRUE(g_errors.empty());
  Check(t0 + 200);  // second deadline: elapsed
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x1649, 0}}));
  EXPECT_EQ(g_tx.frames.size(), sent);
}

TEST_F(SnmtsTimer, GuardRequestRestartsTheCount) {
  const u32 t0 = 5000;
  ToOp(t0);
  Check(t0 + 100);
  EXPECT_EQ(One(Service({0x08}, t0 + 150)).payload, (Bytes{0x03}));
  Check(t0 + 249);
  Check(t0 + 250);  // first deadline after the request: renewed
  Check(t0 + 349);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_OP);
  Check(t0 + 350);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
}

TEST_F(SnmtsTimer, LifeDeadlineHoldsAcrossTheWrap) {
  const u32 t0 = 0xFFFFFFC0u;
  ToOp(t0);
  Check(0xFFFFFFFFu);
  Check(0x23u);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_OP);
  Check(0x24u);   // renewed
  Check(0x87u);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_OP);
  Check(0x88u);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
}

TEST_F(SnmtsTimer, LifeFactorZeroGuardsAsOne) {
  g_v.lifeFactor = 0;
  ToOp(0);
  Check(99);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_OP);
  Check(100);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
}

TEST_F(SnmtsTimer, LifeLossRestartsResetGuardingWithFreshRetries) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release keeps the state at an unexpected event, so state 1 is not reached this way";
  }
  ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
  ASSERT_EQ(Run(0, 50, 10).size(), 3u);  // limit used up
  ToOp(1000);
  Check(1100);
  Check(1200);  // elapsed: reset guarding starts at 1200
  ASSERT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
  // An unexpected event takes the node to state 1, where the reset guarding runs again.
  EXPECT_FALSE(SNMTS_PassParamChkSumValid(true));
  ASSERT_EQ(SNMTS_ucSnState, SNMTS_k_ST_NO_SADR);
  EXPECT_EQ(Run(1210, 10, 20), (std::vector<u32>{1250, 1300, 1350}));
}

TEST_F(SnmtsTimer, PendingSadrRequestLosesItsLifeToState2) {
  ToOp(0);
  SNMTS_ucSnState = SNMTS_k_ST_OP_SADR;
  Check(100);
  Check(200);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_SADR_TAKEN);
}

}  // namespace
}  // namespace SlaveTest
