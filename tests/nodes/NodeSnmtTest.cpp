// Each SNMT request in each node state: the protocol's answer or none.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "NodeTestSupport.h"

namespace NodeTest {
namespace {

using SimNodes::NodeState;
using SimNodes::SimNode;

/// Brings a fresh node into a state.
void Bring(SimNode& node, NodeState state) {
  switch (state) {
    case NodeState::Unassigned:
      break;
    case NodeState::WaitScmUdid:
      ASSERT_TRUE(node.Receive(Snmt(0x2A, Bytes(kNodeUdid.begin(), kNodeUdid.end())), {}));
      break;
    case NodeState::PreOperational:
      Configure(node);
      break;
    case NodeState::Operational:
      MakeOperational(node);
      break;
  }
  ASSERT_EQ(node.Record().state, state);
}

Bytes UdidBytes(const Udid& u) { return Bytes(u.begin(), u.end()); }
Bytes OtherUdid() {
  Udid u = kNodeUdid;
  u[5] ^= 0x01;
  return UdidBytes(u);
}
Bytes ScmUdidService() {
  Bytes p(1 + kScmUdid.size());
  p[0] = 0x0E;
  std::copy(kScmUdid.begin(), kScmUdid.end(), p.begin() + 1);
  return p;
}

struct SnmtCase {
  const char* name;                     ///< case name
  NodeState state;                      ///< state before the request
  std::function<Bytes()> request;       ///< the request
  u8 answerId;                          ///< expected answer id, 0 = no answer
  Bytes answerPayload;                  ///< expected answer payload
  NodeState after;                      ///< state after the request
};

const Bytes kUdidAnswer = UdidBytes(kNodeUdid);
const Bytes kScmUdidAnswer{0x0F, 0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};
const Bytes kExtCt{0x10, 1, 2, 3, 4, 5};

std::vector<SnmtCase> Cases() {
  using S = NodeState;
  return {
      {"UnassignedUdid", S::Unassigned, [] { return Snmt(0x28, {}); }, 0x29, kUdidAnswer, S::Unassigned},
      {"UnassignedUdidAnyAdrSdn", S::Unassigned, [] { return Snmt(0x28, {}, 9, 77); }, 0x29, kUdidAnswer,
       S::Unassigned},
      {"UnassignedUdidWithPayload", S::Unassigned, [] { return Snmt(0x28, {0}); }, 0, {}, S::Unassigned},
      {"UnassignedAssignOwn", S::Unassigned, [] { return Snmt(0x2A, UdidBytes(kNodeUdid)); }, 0x2B, kUdidAnswer,
       S::WaitScmUdid},
      {"UnassignedAssignOther", S::Unassigned, [] { return Snmt(0x2A, OtherUdid()); }, 0, {}, S::Unassigned},
      {"UnassignedAssignShort", S::Unassigned, [] { return Snmt(0x2A, {1, 2, 3}); }, 0, {}, S::Unassigned},
      {"UnassignedAssignCt", S::Unassigned, [] { return Snmt(0x2A, UdidBytes(kNodeUdid), kPosition, kSdn, 1); }, 0,
       {}, S::Unassigned},
      {"UnassignedPreOp", S::Unassigned, [] { return Service({0x00}); }, 0, {}, S::Unassigned},
      {"UnassignedGuard", S::Unassigned, [] { return Service({0x08}); }, 0, {}, S::Unassigned},
      {"UnassignedScmUdid", S::Unassigned, [] { return Service(ScmUdidService()); }, 0, {}, S::Unassigned},
      {"WaitUdid", S::WaitScmUdid, [] { return Snmt(0x28, {}); }, 0x29, kUdidAnswer, S::WaitScmUdid},
      {"WaitAssignAgain", S::WaitScmUdid, [] { return Snmt(0x2A, UdidBytes(kNodeUdid)); }, 0x2B, kUdidAnswer,
       S::WaitScmUdid},
      {"WaitPreOp", S::WaitScmUdid, [] { return Service({0x00}); }, 0, {}, S::WaitScmUdid},
      {"WaitSetOp", S::WaitScmUdid, [] { return SetOp(); }, 0, {}, S::WaitScmUdid},
      {"WaitGuard", S::WaitScmUdid, [] { return Service({0x08}); }, 0x2D, {0x01}, S::WaitScmUdid},
      {"WaitScmUdid", S::WaitScmUdid, [] { return Service(ScmUdidService()); }, 0x2D, kScmUdidAnswer,
       S::PreOperational},
      {"WaitScmUdidShort", S::WaitScmUdid, [] { return Service({0x0E, 1, 2}); }, 0, {}, S::WaitScmUdid},
      {"WaitExtCtOutOfTurn", S::WaitScmUdid, [] { return Service(kExtCt); }, 0x2D, {0x07, 4, 4}, S::Unassigned},
      {"WaitErrorAck", S::WaitScmUdid, [] { return Service({0x0C, 4, 1}); }, 0, {}, S::WaitScmUdid},
      {"WaitOtherSadr", S::WaitScmUdid, [] { return Service({0x08}, kPosition + 1); }, 0, {}, S::WaitScmUdid},
      {"WaitOtherSdn", S::WaitScmUdid, [] { return Service({0x08}, kPosition, kSdn + 1); }, 0, {}, S::WaitScmUdid},
      {"PreOpPreOp", S::PreOperational, [] { return Service({0x00}); }, 0x2D, {0x01}, S::PreOperational},
      {"PreOpSetOp", S::PreOperational, [] { return SetOp(); }, 0x2D, {0x03}, S::Operational},
      {"PreOpSetOpOtherTimestamp", S::PreOperational, [] { return SetOp(kTimestamp + 1); }, 0x2D, {0x07, 4, 1},
       S::PreOperational},
      {"PreOpSetOpShort", S::PreOperational, [] { return Service({0x02}); }, 0, {}, S::PreOperational},
      {"PreOpGuard", S::PreOperational, [] { return Service({0x08}); }, 0x2D, {0x01}, S::PreOperational},
      {"PreOpGuardTr", S::PreOperational, [] { return Snmt(0x2C, {0x08}, kPosition, kSdn, 0, 1); }, 0, {},
       S::PreOperational},
      {"PreOpGuardCt", S::PreOperational, [] { return Snmt(0x2C, {0x08}, kPosition, kSdn, 7, 0); }, 0, {},
       S::PreOperational},
      {"PreOpScmUdidAgain", S::PreOperational, [] { return Service(ScmUdidService()); }, 0x2D,
       {0x0F, 0, 0, 0, 0, 0, 0}, S::PreOperational},
      {"PreOpExtCt", S::PreOperational, [] { return Service(kExtCt); }, 0x2D, {0x11, 1, 2, 3, 4, 5},
       S::PreOperational},
      {"PreOpAddSadr", S::PreOperational, [] { return Service({0x0A, 9, 0, 4, 0}); }, 0x2D, {0x05, 9, 0, 4, 0},
       S::PreOperational},
      {"PreOpErrorAck", S::PreOperational, [] { return Service({0x0C, 4, 1}); }, 0, {}, S::PreOperational},
      {"PreOpScmStop", S::PreOperational, [] { return Service({0x04}); }, 0, {}, S::PreOperational},
      {"PreOpScmOperational", S::PreOperational, [] { return Service({0x06}); }, 0, {}, S::PreOperational},
      {"PreOpUnknownService", S::PreOperational, [] { return Service({0x12}); }, 0, {}, S::PreOperational},
      {"PreOpServiceEmpty", S::PreOperational, [] { return Service({}); }, 0, {}, S::PreOperational},
      {"PreOpId2E", S::PreOperational, [] { return Snmt(0x2E, {0x08}); }, 0, {}, S::PreOperational},
      {"PreOpAssign", S::PreOperational, [] { return Snmt(0x2A, UdidBytes(kNodeUdid)); }, 0x2B, kUdidAnswer,
       S::WaitScmUdid},
      {"OpGuard", S::Operational, [] { return Service({0x08}); }, 0x2D, {0x03}, S::Operational},
      {"OpSetOp", S::Operational, [] { return SetOp(); }, 0x2D, {0x03}, S::Operational},
      {"OpPreOp", S::Operational, [] { return Service({0x00}); }, 0x2D, {0x01}, S::PreOperational},
      {"OpAssignKeepsOperational", S::Operational, [] { return Snmt(0x2A, UdidBytes(kNodeUdid)); }, 0x2B,
       kUdidAnswer, S::Operational},
      {"OpScmUdid", S::Operational, [] { return Service(ScmUdidService()); }, 0x2D, kScmUdidAnswer,
       S::Operational},
      {"OpExtCt", S::Operational, [] { return Service(kExtCt); }, 0x2D, {0x11, 1, 2, 3, 4, 5}, S::Operational},
      {"OpErrorAck", S::Operational, [] { return Service({0x0C, 4, 1}); }, 0, {}, S::Operational},
      {"OpUdid", S::Operational, [] { return Snmt(0x28, {}); }, 0x29, kUdidAnswer, S::Operational},
      {"OpOtherSdn", S::Operational, [] { return Service({0x08}, kPosition, kSdn + 1); }, 0, {}, S::Operational},
  };
}

class SnmtTable : public ::testing::TestWithParam<SnmtCase> {};

TEST_P(SnmtTable, AnswersAsTheProtocolSays) {
  const SnmtCase& c = GetParam();
  SimNode node(DefaultConfig());
  ASSERT_NO_FATAL_FAILURE(Bring(node, c.state));
  const Bytes request = c.request();
  const TestFrames::ParsedFrame sent = TestFrames::ParseFrame(request);
  const std::optional<Bytes> answer = node.Receive(request, {});
  if (c.answerId == 0) {
    EXPECT_FALSE(answer.has_value());
  } else {
    ASSERT_TRUE(answer.has_value());
    const TestFrames::ParsedFrame a = Parse(*answer);
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.id, c.answerId);
    EXPECT_EQ(a.payload, c.answerPayload);
    EXPECT_EQ(a.adr, kScmSadr);
    EXPECT_EQ(a.ct, 0);
    EXPECT_EQ(a.tr, 0);
    EXPECT_EQ(a.sdn, c.answerId == 0x29 ? sent.sdn : kSdn);
    EXPECT_EQ(a.tadr, c.answerId == 0x29 ? sent.adr : kPosition);
  }
  EXPECT_EQ(node.Record().state, c.after);
}

INSTANTIATE_TEST_SUITE_P(Requests, SnmtTable, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NodeSnmt, AssignmentTakesSadrAndDomainAndRecordsTheMoment) {
  SimNode node(DefaultConfig());
  const std::optional<Bytes> a = node.Receive(Snmt(0x2A, UdidBytes(kNodeUdid), kPosition, 9), {4, 400});
  ASSERT_TRUE(a);
  EXPECT_EQ(node.Record().sadr, kPosition);
  EXPECT_EQ(node.Record().sdn, 9);
  ASSERT_TRUE(node.Record().assignedAt);
  EXPECT_EQ(node.Record().assignedAt->cycle, 4u);
  EXPECT_EQ(Parse(*a).sdn, 9);
}

TEST(NodeSnmt, BusyAnswersComeFirstThenOperational) {
  SimNodes::NodeConfig c = DefaultConfig();
  c.busyAnswers = 2;
  SimNode node(c);
  Configure(node);
  for (int i = 0; i < 2; ++i) {
    const auto a = node.Receive(SetOp(), {});
    ASSERT_TRUE(a);
    EXPECT_EQ(Parse(*a).payload, Bytes{0x09});
  }
  const auto a = node.Receive(SetOp(), {7, 700});
  ASSERT_TRUE(a);
  EXPECT_EQ(Parse(*a).payload, Bytes{0x03});
  EXPECT_EQ(node.Record().busyAnswers, 2u);
  ASSERT_TRUE(node.Record().operationalAt);
  EXPECT_EQ(node.Record().operationalAt->cycle, 7u);
}

// A restarted SCM assigns an operational node anew and sets it operational again: the node
// stays operational throughout, and its answer to the new set-to-operational begins the
// operational time the host sees; a repeated request while that time runs moves nothing.
TEST(NodeSnmt, SetOperationalAfterAStartOverBeginsANewOperationalTime) {
  SimNode node(DefaultConfig());
  MakeOperational(node);
  ASSERT_TRUE(node.Receive(SetOp(), {5, 500}));
  EXPECT_EQ(node.Record().operationalAt->cycle, 0u) << "nothing ended it: the first answer's time stands";
  EXPECT_EQ(node.Record().operationalCount, 1u);
  ASSERT_TRUE(node.Receive(Snmt(0x2A, UdidBytes(kNodeUdid)), {10, 1000}));
  EXPECT_EQ(node.Record().state, NodeState::Operational);
  EXPECT_FALSE(SimNodes::HostSeesOperational(node.Record()));
  const auto a = node.Receive(SetOp(), {12, 1200});
  ASSERT_TRUE(a);
  EXPECT_EQ(Parse(*a).payload, Bytes{0x03});
  EXPECT_TRUE(SimNodes::HostSeesOperational(node.Record()));
  EXPECT_EQ(node.Record().operationalAt->cycle, 12u);
  EXPECT_EQ(node.Record().operationalCount, 2u);
  ASSERT_TRUE(node.Receive(SetOp(), {13, 1300}));
  EXPECT_EQ(node.Record().operationalAt->cycle, 12u);
  EXPECT_EQ(node.Record().operationalCount, 2u);
  EXPECT_EQ(node.Record().operationalEnds, 1u);
}

TEST(NodeSnmt, AStartOverLeavesTheEarlierBusyAnswersAndReadsBehindAndAnAcknowledgeIsNoSilence) {
  SimNodes::NodeConfig c = DefaultConfig();
  c.busyAnswers = 2;
  SimNode node(c);
  MakeOperational(node);
  ASSERT_EQ(node.Record().busyAnswers, 2u);
  ASSERT_TRUE(node.Receive(Ssdo(WithIndex(0x20, 0x1018, 1), 1), {}));
  ASSERT_EQ(node.Record().identityRead.count(1), 1u);
  // an SN error acknowledge is never answered: no request is left unanswered by it
  EXPECT_FALSE(node.Receive(Service({0x0C, 4, 1}), {}));
  EXPECT_EQ(node.Record().requestsUnanswered, 0u);
  EXPECT_FALSE(node.Receive(Service({0x08, 0x00}), {}));  // a guard request one byte too long
  EXPECT_EQ(node.Record().requestsUnanswered, 1u);
  ASSERT_TRUE(node.Receive(Snmt(0x2A, UdidBytes(kNodeUdid)), {10, 1000}));
  EXPECT_EQ(node.Record().busyAnswersAtLastEnd, 2u);
  EXPECT_EQ(node.Record().requestsUnansweredAtLastEnd, 1u);
  EXPECT_TRUE(node.Record().identityRead.empty());
}

TEST(NodeSnmt, ErrorAcknowledgeClearsOnlyTheSentGroupAndCode) {
  SimNode node(DefaultConfig());
  Configure(node);
  ASSERT_TRUE(node.Receive(SetOp(kTimestamp + 1), {}));
  ASSERT_TRUE(node.Record().pendingSnFail);
  EXPECT_FALSE(node.Receive(Service({0x0C, 7, 4}), {}));  // the SCM's first response bytes: refused
  EXPECT_TRUE(node.Record().pendingSnFail);
  EXPECT_EQ(node.Record().acksRefused, 1u);
  EXPECT_FALSE(node.Receive(Service({0x0C, 4, 1}), {}));
  EXPECT_FALSE(node.Record().pendingSnFail);
  EXPECT_EQ(node.Record().acksAccepted, 1u);
  EXPECT_FALSE(node.Receive(Service({0x0C, 4, 1}), {}));  // nothing due any more
  EXPECT_EQ(node.Record().acksRefused, 2u);
}

TEST(NodeSnmt, GuardingKeepsOperationalAndLifeTimeLossReturnsToPreOperational) {
  SimNodes::NodeConfig c = DefaultConfig();
  c.guardTimeUs = 1000;
  c.lifeFactor = 2;
  SimNode node(c);
  MakeOperational(node);
  for (u64 t = 500; t <= 5000; t += 500) {
    node.Tick({t / 100, t});
    const auto a = node.Receive(Service({0x08}), {t / 100, t});
    ASSERT_TRUE(a);
    EXPECT_EQ(Parse(*a).payload, Bytes{0x03});
  }
  EXPECT_EQ(node.Record().guardAnswers, 10u);
  node.Tick({0, 6999});
  EXPECT_EQ(node.Record().state, NodeState::Operational);
  node.Tick({0, 7000});
  EXPECT_EQ(node.Record().state, NodeState::PreOperational);
  EXPECT_EQ(node.Record().lifeTimeLosses, 1u);
  const auto a = node.Receive(Service({0x08}), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(Parse(*a).payload, Bytes{0x01});
}

TEST(NodeSnmt, ResetGuardingWhileUnassignedUpToItsLimit) {
  SimNodes::NodeConfig c = DefaultConfig();
  c.resetGuarding = true;
  c.resetGuardIntervalUs = 100;
  c.resetGuardLimit = 3;
  SimNode node(c);
  std::vector<u64> sentAt;
  for (u64 t = 0; t <= 1000; t += 10) {
    if (const auto f = node.Tick({t, t})) {
      const TestFrames::ParsedFrame p = TestFrames::ParseFrame(*f);
      ASSERT_TRUE(p.ok) << p.error;
      EXPECT_EQ(p.id, 0x2F);
      EXPECT_EQ(p.adr, 1);
      EXPECT_EQ(p.sdn, 1);
      EXPECT_EQ(p.tadr, 1);
      EXPECT_EQ(p.le, 0);
      sentAt.push_back(t);
    }
  }
  EXPECT_EQ(sentAt, (std::vector<u64>{100, 200, 300}));
  EXPECT_EQ(node.Record().resetGuardingSent, 3u);
}

TEST(NodeSnmt, NoResetGuardingByDefaultNorOnceAssigned) {
  SimNode plain(DefaultConfig());
  for (u64 t = 0; t <= 5000000; t += 100000) {
    EXPECT_FALSE(plain.Tick({t, t}));
  }
  SimNodes::NodeConfig c = DefaultConfig();
  c.resetGuarding = true;
  c.resetGuardIntervalUs = 100;
  SimNode node(c);
  Configure(node);
  for (u64 t = 0; t <= 1000; t += 10) {
    EXPECT_FALSE(node.Tick({t, t}));
  }
}

TEST(NodeSnmt, BrokenFramesAreDropped) {
  SimNode node(DefaultConfig());
  Bytes good = Snmt(0x28, {});
  Bytes badCrc = good;
  badCrc[4] ^= 0x01;
  Bytes shortFrame(good.begin(), good.end() - 1);
  EXPECT_FALSE(node.Receive(badCrc, {}));
  EXPECT_FALSE(node.Receive(shortFrame, {}));
  EXPECT_FALSE(node.Receive(Bytes{0x01}, {}));
  EXPECT_FALSE(node.Receive(Snmt(0x29, {}), {}));  // a response, not a request
  EXPECT_EQ(node.Record().framesDropped, 4u);
  EXPECT_TRUE(node.Receive(good, {}));
}

}  // namespace
}  // namespace NodeTest
