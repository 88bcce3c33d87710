// Configuration manager: scheduler, activation, acknowledges, completions and status reports.
#include "ScmProfile.h"
#include "ManagerFixture.h"
#include "SNMTMint.h"

namespace MgrTest {
namespace {

class ScmTest : public ManagerFixture {
 protected:
  /// Three nodes with SADRs 5, 6, 7, activated.
  void ThreeNodes() {
    AddNode(0, 5);
    AddNode(1, 6);
    AddNode(2, 7);
    ASSERT_TRUE(SCM_Activate()) << Errors();
  }
  /// Parks every node in the retry wait far in the future (nothing runs).
  static void ParkAll(u32 now) {
    for (u16 i = 0; i < SCM_k_MAX_NODES; ++i) {
      SCM_as_FsmCb[i].ulState = SCM_StateNo(6);
      SCM_as_FsmCb[i].ulDeadline = now + 0x10000000u;
      SCM_as_FsmCb[i].usEvents = 0;
    }
  }
  static u8 Trigger(u32 t, u8 budget = 10) {
    SCM_Trigger(t, &budget);
    return budget;
  }
};

TEST_F(ScmTest, SchedulerVisitsEachNodeInTurnAndSkipsRefusedOnes) {
  ThreeNodes();
  g_fakes.skipSadr = {6};
  for (int i = 0; i < 6; ++i) {
    Trigger(ct);
  }
  EXPECT_EQ(g_fakes.processed, (std::vector<u16>{5, 6, 7, 5, 6, 7}));
  EXPECT_EQ(Node(1).ulState, SCM_StateNo(0));  // skipped: still waiting to send
  EXPECT_EQ(Node(0).ulState, SCM_StateNo(1));
  EXPECT_EQ(Node(2).ulState, SCM_StateNo(1));
}

TEST_F(ScmTest, OneFramePerNodeTurn) {
  ThreeNodes();
  EXPECT_EQ(Trigger(ct, 10), 9);
  EXPECT_EQ(g_fakes.sent.size(), 1u);
}

class TimerStates : public ScmTest, public ::testing::WithParamInterface<u32> {};

TEST_P(TimerStates, FireAtTheirDeadline) {
  const u32 t = GetParam();
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  for (u32 state : {SCM_k_ST_IDLE2, SCM_k_ST_WF_POLL_TIMEOUT, SCM_k_ST_WF_SAPL_ACK, SCM_k_ST_WF_GUARD_TIMER}) {
    SCM_as_FsmCb[0].ulState = state;
    SCM_as_FsmCb[0].usEvents = 0;
    SCM_as_FsmCb[0].ulDeadline = t + 1;
    Trigger(t);
    EXPECT_EQ(Node(0).ulState, state) << state;
    EXPECT_EQ(Node(0).usEvents, 0) << state;
    SCM_as_FsmCb[0].ulDeadline = t;
    Trigger(t);
    if (state == SCM_k_ST_WF_SAPL_ACK) {
      EXPECT_EQ(Node(0).ulDeadline, t + Node(0).ulPollTime);  // the next report one poll time later
    } else {
      EXPECT_NE(Node(0).ulState, state) << state;  // acted on the timer
    }
  }
  g_fakes.sent.clear();
}

INSTANTIATE_TEST_SUITE_P(Deadlines, TimerStates, ::testing::Values(0x1000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0u));

TEST_F(ScmTest, MissingResourcesKeepTheEvents) {
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  EXPECT_EQ(Trigger(ct, 0), 0);  // no frame left
  EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_GO);
  for (u8 i = 0; i < SNMTM_k_NUM_SLOTS; ++i) {
    SNMTM_as_Fsm[i].ucFree = 0;
  }
  Trigger(ct);
  EXPECT_EQ(Node(0).ulState, SCM_StateNo(0));
  EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_GO);
  EXPECT_TRUE(g_fakes.sent.empty());
  ASSERT_TRUE(SNMTM_InitFsm());
  Trigger(ct);
  EXPECT_EQ(Node(0).ulState, SCM_StateNo(1));
}

TEST_F(ScmTest, ANodeWhoseTransferStillRunsIsSkippedWithItsEvents) {
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  u8 dst[4];
  SSDOC_TransferReq r = {0x1018, 1, SOD_k_UINT32, 12, dst, 4};
  ASSERT_TRUE(SSDOC_SendReadReq(5, 0, SCM_SsdocClbk, ct, &r));  // e.g. left over from before a restart
  SCM_as_FsmCb[0].ulState = SCM_StateNo(2);
  SCM_as_FsmCb[0].usEvents = SCM_k_EVT_SNMT_RESP;
  Trigger(ct);
  EXPECT_EQ(Node(0).ulState, SCM_StateNo(2));
  EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_SNMT_RESP);
  EXPECT_FALSE(HasError(0xFA28));
}

TEST_F(ScmTest, AnUnexpectedEventRestartsTheNode) {
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  SCM_as_FsmCb[0].ulState = SCM_StateNo(6);
  SCM_as_FsmCb[0].ulDeadline = ct + 1000;
  SCM_as_FsmCb[0].usEvents = SCM_k_EVT_SNMT_RESP;
  Trigger(ct);
  ASSERT_EQ(g_fakes.errors.size(), 1u);
  // The older release makes the unconsumed event fatal, with the same information and restart.
  EXPECT_EQ(g_fakes.errors[0].code, SCM_kLegacy ? 0xF105 : 0x2105);
  EXPECT_EQ(g_fakes.errors[0].info, (0x0004u << 16) | 5);
  if constexpr (SCM_kLegacy) {
    expectMaxCode = 0xF105;
  }
  EXPECT_EQ(Node(0).ulState, SCM_StateNo(0));
  EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_GO);
}

TEST_F(ScmTest, NoCounterAndABadStateAreReported) {
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  SCM_Trigger(ct, nullptr);
  SCM_as_FsmCb[0].ulState = SCM_k_NUM_STATES;
  Trigger(ct);
  ASSERT_EQ(g_fakes.errors.size(), 2u);
  EXPECT_EQ(g_fakes.errors[0].code, 0xF10D);
  EXPECT_EQ(g_fakes.errors[1].code, 0xF106);
  EXPECT_EQ(g_fakes.errors[1].info, SCM_kLegacy ? 26u : 27u);
  expectMaxCode = 0xFFFF;
}

TEST_F(ScmTest, ActivationReadsTheTimingAndTheAdditionalSadrs) {
  g_v.guardTime = 1234;
  g_v.lifeFactor = 3;
  g_v.configMode = 1;
  g_v.addMain[3] = 3;   // names itself: no additional SADR
  g_v.addMain[4] = 9;
  g_v.addMain[1023] = 9;
  AddNode(0, 9);
  ASSERT_TRUE(SCM_Activate());
  EXPECT_EQ(SCM_s.ulGuardTime, 1234u);
  EXPECT_EQ(SCM_s.ulTotalGuardTime, SCM_kLegacy ? 0u : 3702u);  // the older release reads no life time factor
  EXPECT_EQ(SCM_s.ucConfigMode, 1);
  EXPECT_EQ(SCM_aw_MainSadr[2], 0);
  EXPECT_EQ(SCM_aw_MainSadr[3], 9);
  EXPECT_EQ(SCM_GetNextAddSadr(9, 0), 4);
  EXPECT_EQ(SCM_GetNextAddSadr(9, 4), 1023);
  EXPECT_EQ(SCM_GetNextAddSadr(9, 1023), 0);
  EXPECT_EQ(SCM_GetNextAddSadr(3, 0), 0);
  EXPECT_EQ(*SCM_GetPtrTo_w_SnRealNum(), 1);
  EXPECT_EQ(SCM_GetFsmStateFunctionsPtr(), as_FsmStateFunctions.data());
}

TEST_F(ScmTest, AListWithAGapUsesEachNodesOwnEntry) {
  AddNode(0, 5);
  g_v.nodes[1].sadr = 0;
  AddNode(2, 7);
  g_v.nodes[3].present = false;  // the walk stops here
  ApplyNodeListChanges();
  AddNode(4, 8);
  ASSERT_TRUE(SCM_Activate());
  EXPECT_EQ(*SCM_GetPtrTo_w_SnRealNum(), 2);
  EXPECT_EQ(Node(1).usSadr, 7);
  EXPECT_EQ(Node(1).usListIdx, 2);
  Run(40);
  EXPECT_EQ(g_v.nodes[2].status, 0x81);  // the second node's status lands in its own entry
  EXPECT_EQ(g_v.nodes[1].status, 0);
  EXPECT_EQ(Node(1).ulState, SCM_StateNo(22)) << Errors();
}

TEST_F(ScmTest, ActivationFailures) {
  EXPECT_FALSE(SCM_Activate());
  ASSERT_EQ(g_fakes.errors.size(), 1u);
  EXPECT_EQ(g_fakes.errors[0].code, 0xF107);
  g_fakes.errors.clear();
  AddNode(0, 5);
  g_v.addUnreadable = true;
  EXPECT_FALSE(SCM_Activate());
  EXPECT_FALSE(g_fakes.errors.empty());
  expectMaxCode = 0xFFFF;
}

TEST_F(ScmTest, AChecksumBufferWithCallbacksCannotBeBound) {
  AddNode(0, 5);
  g_v.nodes[0].chkBufCallback = true;
  ApplyNodeListChanges();
  EXPECT_FALSE(SCM_Activate());
  ASSERT_EQ(g_fakes.errors.size(), 1u);
  EXPECT_EQ(g_fakes.errors[0].code, 0xF10C);
  EXPECT_EQ(g_fakes.errors[0].info, 0xC400u);
  expectMaxCode = 0xFFFF;
}

TEST_F(ScmTest, StartValueAbove40BitsIsReportedAndKept) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release keeps no CT counter";
  }
  g_fakes.initialCt = 0x10000000000ULL;
  SCM_Init();
  ASSERT_EQ(g_fakes.errors.size(), 1u);
  EXPECT_EQ(g_fakes.errors[0].code, 0xF116);
  EXPECT_EQ(SCM_s.ullCtCounter, 0x10000000000ULL);
  expectMaxCode = 0xFFFF;
}

TEST_F(ScmTest, DeactivationFreezesTheNodesButNotTheCounter) {
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  Trigger(0x100);
  const u64 c0 = SCM_s.ullCtCounter;
  SCM_Deactivate();
  const u32 st = Node(0).ulState;
  Trigger(0x200);
  Trigger(0x300);
  EXPECT_EQ(Node(0).ulState, st);
  EXPECT_EQ(SCM_s.ullCtCounter, SCM_kLegacy ? c0 : c0 + 0x200);  // the older release keeps no counter
  ASSERT_TRUE(SCM_Activate());
  EXPECT_EQ(Node(0).ulState, SCM_StateNo(0));
  EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_GO);
}

struct AckCase {
  const char* name;  ///< the call
  bool sn;           ///< SN-failure acknowledge (else operator)
  u16 index;         ///< FSM index
  u32 state;         ///< node state
  u16 code;          ///< error (0: accepted)
};

class Acks : public ScmTest, public ::testing::WithParamInterface<AckCase> {};

TEST_P(Acks, AreTakenOnlyInTheirState) {
  const AckCase& c = GetParam();
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  SCM_as_FsmCb[0].ulState = c.state;
  SCM_as_FsmCb[0].usEvents = 0;
  const u8 ok = c.sn ? SCM_SnFailAck(c.index, 3, 2) : SCM_OperatorAck(c.index);
  EXPECT_EQ(ok, c.code == 0 ? 1 : 0);
  if (c.code == 0) {
    EXPECT_TRUE(g_fakes.errors.empty());
    EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_ACK);
    if (c.sn) {
      EXPECT_EQ(Node(0).aucRespData[0], 3);
      EXPECT_EQ(Node(0).aucRespData[1], 2);
    }
  } else {
    ASSERT_EQ(g_fakes.errors.size(), 1u);
    EXPECT_EQ(g_fakes.errors[0].code, c.code);
    EXPECT_EQ(g_fakes.errors[0].info, c.index);
    EXPECT_EQ(Node(0).usEvents, 0);
  }
  expectMaxCode = 0xFFFF;
}

INSTANTIATE_TEST_SUITE_P(All, Acks,
                         ::testing::Values(AckCase{"Operator", false, 0, SCM_k_ST_WF_OPERATOR_ACK, 0},
                                           AckCase{"OperatorIndexPastTheNodes", false, SCM_kLegacy ? 101 : 12, SCM_k_ST_WF_OPERATOR_ACK, 0xF101},
                                           AckCase{"OperatorWrongState", false, 0, SCM_k_ST_WF_SAPL_ACK, 0xF102},
                                           AckCase{"SnFail", true, 0, SCM_k_ST_WF_SAPL_ACK, 0},
                                           AckCase{"SnFailIndexPastTheNodes", true, SCM_kLegacy ? 101 : 12, SCM_k_ST_WF_SAPL_ACK, 0xF103},
                                           AckCase{"SnFailInState19", true, 0, SCM_StateNo(19), 0xF104}),
                         [](const ::testing::TestParamInfo<AckCase>& i) { return std::string(i.param.name); });

TEST_F(ScmTest, ResetGuardingSetsNotifyAndWakesTheWaits) {
  ThreeNodes();
  SCM_as_FsmCb[0].ulState = SCM_StateNo(5);
  SCM_as_FsmCb[1].ulState = SCM_StateNo(6);
  SCM_as_FsmCb[2].ulState = SCM_StateNo(22);
  for (u16 i = 0; i < 3; ++i) {
    SCM_as_FsmCb[i].usEvents = 0;
    SCM_as_FsmCb[i].ucNotify = 0;
  }
  SCM_ResetNodeGuarding();
  EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_RESET_GUARD);
  EXPECT_EQ(Node(1).usEvents, SCM_k_EVT_TIMER);
  EXPECT_EQ(Node(2).usEvents, SCM_k_EVT_TIMER);
  for (u16 i = 0; i < 3; ++i) {
    EXPECT_EQ(Node(i).ucNotify, 1);
  }
  // reset guarding alone in state 5 restarts the node with status 0
  SCM_as_FsmCb[0].ucNodeStatus = 3;
  Trigger(ct);
  EXPECT_EQ(Node(0).ulState, SCM_StateNo(0));
  EXPECT_EQ(g_v.nodes[0].status, 0);
}

TEST_F(ScmTest, Completions) {
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  SCM_as_FsmCb[0].usEvents = 0;
  SCM_SNMTM_RespClbk(0, 0, 0, nullptr, 1);
  EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_SNMT_TMO);
  const u8 d[7] = {1, 2, 3, 4, 5, 6, 7};
  SCM_SNMTM_RespClbk(0, 5, 1, d, 0);
  EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_SNMT_TMO | SCM_k_EVT_SNMT_RESP);
  EXPECT_EQ(Bytes(Node(0).aucRespData, Node(0).aucRespData + 7), Bytes(d, d + 7));
  EXPECT_EQ(Node(0).usRespSadr, 5);
  SCM_as_FsmCb[0].usEvents = 0;
  SCM_SsdocClbk(0, 4, 0);
  EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_SSDO_DONE);
  SCM_SsdocClbk(0, 4, 0x05040000);
  EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_SSDO_DONE | SCM_k_EVT_SSDO_TMO);
  EXPECT_TRUE(g_fakes.errors.empty());
  SCM_as_FsmCb[0].ulState = SCM_StateNo(7);
  SCM_SsdocClbk(0, 0, 0x06020000);
  EXPECT_EQ(Node(0).usEvents & SCM_k_EVT_SSDO_ABORT, SCM_k_EVT_SSDO_ABORT);
  EXPECT_EQ(Node(0).ulSsdoAbortCode, 0x06020000u);
  ASSERT_EQ(g_fakes.errors.size(), 2u);
  EXPECT_EQ(g_fakes.errors[0].code, 0x210F);
  EXPECT_EQ(g_fakes.errors[0].info, (SCM_StateNo(7) << 16) | 5);
  EXPECT_EQ(g_fakes.errors[1].code, 0x210E);
  EXPECT_EQ(g_fakes.errors[1].info, 0x06020000u);
}

TEST_F(ScmTest, UniqueUdid) {
  ThreeNodes();
  const Udid u1 = NodeUdid(1);
  SCM_as_FsmCb[1].ucSadrAssigned = 1;
  EXPECT_FALSE(SCM_UniqueUdid(u1.data()));
  SCM_as_FsmCb[1].ucSadrAssigned = 0;
  EXPECT_TRUE(SCM_UniqueUdid(u1.data()));
  EXPECT_EQ(Bytes(g_v.udid[6], g_v.udid[6] + 6), Bytes(6, 0));  // the unassigned holder is cleared
  const Udid u0 = NodeUdid(0);
  EXPECT_EQ(Bytes(g_v.udid[5], g_v.udid[5] + 6), Bytes(u0.begin(), u0.end()));
}

struct StatusCase {
  const char* name;  ///< the write
  u8 last;           ///< last status
  u8 status;         ///< new status
  u8 force;          ///< S+n with the notify flag set
  bool reported;     ///< the application hears of it
};

class StatusReports : public ScmTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusReports, SVersusSPlusN) {
  const StatusCase& c = GetParam();
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  SCM_as_FsmCb[0].ucNodeStatus = c.last;
  SCM_as_FsmCb[0].ucNotify = c.force;
  SCM_as_FsmCb[0].ucSadrAssigned = 1;
  ASSERT_TRUE(SCM_SetNodeStatus(&SCM_as_FsmCb[0], 0, c.status, c.force));
  EXPECT_EQ(g_v.nodes[0].status, c.status);
  EXPECT_EQ(g_fakes.statuses.size(), c.reported ? 1u : 0u);
  if (c.reported) {
    EXPECT_EQ(g_fakes.statuses[0].oldSt, c.last);
    EXPECT_EQ(g_fakes.statuses[0].newSt, c.status);
  }
  EXPECT_EQ(Node(0).ucNotify, 0);  // a forced report clears it; without force it was clear
  EXPECT_EQ(Node(0).ucSadrAssigned, c.status == 0 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Table, StatusReports,
                         ::testing::Values(StatusCase{"SChanged", 0, 0x80, 0, true},
                                           StatusCase{"SUnchanged", 0x80, 0x80, 0, false},
                                           StatusCase{"SnUnchangedNotify", 1, 1, 1, true},
                                           StatusCase{"SnChangedNotify", 0x80, 1, 1, true},
                                           StatusCase{"SnUnchangedNoNotify", 1, 1, 0, false},
                                           StatusCase{"ZeroClearsAssigned", 0x81, 0, 0, true}),
                         [](const ::testing::TestParamInfo<StatusCase>& i) { return std::string(i.param.name); });

TEST_F(ScmTest, ChecksumLengthDifferenceStartsTheDownloadAndIsReported) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release retries after one guard time (LegacyScm's checksum verdicts)";
  }
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  g_v.nodes[0].chkVar.ulActLen = 4;
  std::memcpy(g_v.nodes[0].chk, "\1\2\3\4", 4);
  std::memcpy(g_v.nodes[0].chkBuf, "\1\2\3\4", 4);
  SCM_as_FsmCb[0].ulState = SCM_StateNo(10);
  SCM_as_FsmCb[0].ulSsdoLength = 5;
  SCM_as_FsmCb[0].usEvents = SCM_k_EVT_SSDO_DONE;
  Trigger(ct);
  EXPECT_EQ(Node(0).ulState, SCM_StateNo(11));
  EXPECT_TRUE(HasError(0x1117));
  EXPECT_EQ(g_fakes.errors.back().info, 5u);
}

}  // namespace
}  // namespace MgrTest
