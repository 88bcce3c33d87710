// The older release's configuration manager where it differs from the current
// one: the checksum verdict after a parameter read, the timestamp read after
// an SN-failure acknowledge, SN failures that always wait for their
// acknowledge, guarding without a life time tolerance, and a round over all
// 101 nodes.
#include <algorithm>

#include "ManagerFixture.h"
#include "SNMTMint.h"
#include "ScmProfile.h"

static_assert(SCM_kLegacy, "built only in the older release's profile");

namespace MgrTest {
namespace {

/// SNMT service of set-to-pre-operational and set-to-operational as the peer sees them.
constexpr u8 k_PREOP = 0x00;
constexpr u8 k_OP = 0x02;

/// Service codes the peer received from a node, in order (SNMT services only).
std::vector<u8> Services(const SimNode& n) {
  std::vector<u8> v;
  for (const ParsedFrame& r : n.received) {
    if (r.id == 0x2C && !r.payload.empty()) {
      v.push_back(r.payload[0]);
    }
  }
  return v;
}

/// SSDO reads (index, sub) the peer received from a node, in order.
std::vector<u32> Reads(const SimNode& n) {
  std::vector<u32> v;
  for (const ParsedFrame& r : n.received) {
    if ((r.id == 0x38 || r.id == 0x3A) && r.payload.size() >= 4 && (r.payload[0] & 0x6F) == 0x20) {
      v.push_back(Key(static_cast<u16>(r.payload[1] | (r.payload[2] << 8)), r.payload[3]));
    }
  }
  return v;
}

class LegacyScm : public ManagerFixture {
 protected:
  /// Node 0 with SADR 5 whose expected checksum and checksum buffer hold these bytes.
  SimNode& ChecksumNode(const Bytes& expected, const Bytes& buffer) {
    SimNode& node = AddNode(0, 5);
    std::copy(expected.begin(), expected.end(), g_v.nodes[0].chk);
    g_v.nodes[0].chkVar.ulActLen = static_cast<u32>(expected.size());
    std::copy(buffer.begin(), buffer.end(), g_v.nodes[0].chkBuf);
    return node;
  }
  /// Puts node 0 into the checksum wait with an answer of this many bytes.
  static void AnswerOf(u32 length) {
    SCM_as_FsmCb[0].ulState = SCM_k_ST_WF_TIMESTAMP;
    SCM_as_FsmCb[0].usEvents = SCM_k_EVT_SSDO_DONE;
    SCM_as_FsmCb[0].ulSsdoLength = length;
  }
};

struct VerdictCase {
  const char* name;   ///< what the answer holds
  Bytes expected;     ///< sub 14 of the node list entry
  Bytes buffer;       ///< the checksum buffer (sub 15)
  u32 answerLength;   ///< SSDO length of the answer
  u32 flags;          ///< sub 12
  u32 state;          ///< state after the verdict
  u16 error;          ///< error raised (0: none)
};

class ChecksumVerdict : public LegacyScm, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(ChecksumVerdict, DecidesBetweenOperationalDownloadAndRetry) {
  const VerdictCase& c = GetParam();
  ChecksumNode(c.expected, c.buffer);
  g_v.nodes[0].flags = c.flags;
  ASSERT_TRUE(SCM_Activate()) << Errors();
  AnswerOf(c.answerLength);
  u8 budget = 10;
  SCM_Trigger(ct, &budget);
  EXPECT_EQ(Node(0).ulState, c.state) << Errors();
  if (c.error != 0) {
    ASSERT_EQ(g_fakes.errors.size(), 1u) << Errors();
    EXPECT_EQ(g_fakes.errors[0].code, c.error);
    EXPECT_EQ(g_fakes.errors[0].info, c.answerLength);  // FSM index 0 << 16 | the answer's length
    EXPECT_EQ(Node(0).ulDeadline, ct + g_v.guardTime);
  } else {
    EXPECT_TRUE(g_fakes.errors.empty()) << Errors();
  }
  if (c.state == SCM_k_ST_SEND_PUT_TO_OP) {
    EXPECT_EQ(Node(0).usEvents, SCM_k_EVT_GO);
  }
  // The verdict writes no node status: a retry keeps what the node had.
  EXPECT_TRUE(g_fakes.statuses.empty());
  EXPECT_FALSE(HasError(0x1117));  // the older release has no such report
}

const Bytes k_CHK12 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
const Bytes k_OTHER12 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 99};

INSTANTIATE_TEST_SUITE_P(
    Answers, ChecksumVerdict,
    ::testing::Values(VerdictCase{"Equal", k_CHK12, k_CHK12, 12, 0, SCM_k_ST_SEND_PUT_TO_OP, 0},
                      // Flags bit 31 (compare the timestamp) is not used by the older release.
                      VerdictCase{"EqualWithTimestampFlag", k_CHK12, k_CHK12, 12, 0x80000000u, SCM_k_ST_SEND_PUT_TO_OP,
                                  0},
                      VerdictCase{"OtherBytes", k_CHK12, k_OTHER12, 12, 0, SCM_k_ST_WF_PREOP, 0},
                      VerdictCase{"EmptyAnswer", k_CHK12, k_CHK12, 0, 0, SCM_k_ST_WF_PREOP, 0},
                      VerdictCase{"ShorterAnswer", k_CHK12, k_CHK12, 4, 0, SCM_k_ST_IDLE2, 0x2115},
                      VerdictCase{"LongerAnswer", Bytes{1, 2, 3, 4}, Bytes{1, 2, 3, 4}, 8, 0, SCM_k_ST_IDLE2, 0x2115}),
    [](const ::testing::TestParamInfo<VerdictCase>& i) { return std::string(i.param.name); });

struct AfterAckCase {
  const char* name;    ///< the node's expected checksum
  Bytes checksum;      ///< what the node holds in 0x1018/6 and the list in sub 14
  u16 error;           ///< error after the timestamp read (0: none)
  u32 stateAfterRead;  ///< state the verdict leads to
};

class TimestampAfterAck : public LegacyScm, public ::testing::WithParamInterface<AfterAckCase> {};

// After an acknowledged SN failure the older release reads the timestamp
// (0x1018/7, four bytes into the response data) and then judges the checksum
// buffer as if the checksum had been read again: checksums over four bytes
// differ in length (0x2115, retry after one guard time); a checksum of exactly
// four bytes is compared from the buffer's earlier contents, whatever the
// timestamp holds.
TEST_P(TimestampAfterAck, JudgesTheChecksumBufferOfTheEarlierRead) {
  const AfterAckCase& c = GetParam();
  SimNode& node = ChecksumNode(c.checksum, {});
  node.objects[Key(0x1018, 6)] = c.checksum;
  node.objects[Key(0x1018, 7)] = {0x99, 0x99, 0x99, 0x99};
  node.opAnswer = {0x07, 3, 2};
  ASSERT_TRUE(SCM_Activate());
  ASSERT_TRUE(RunUntilState(0, SCM_k_ST_WF_SAPL_ACK, 200)) << Errors();
  ASSERT_EQ(g_fakes.snFails.size(), 1u);
  node.opAnswer = {0x03};
  const std::size_t readsBefore = Reads(node).size();
  ASSERT_EQ(SCM_SnFailAck(0, 3, 2), 1);
  ASSERT_TRUE(RunUntilState(0, c.stateAfterRead, 50)) << Errors() << " state " << Node(0).ulState;
  const std::vector<u32> reads = Reads(node);
  ASSERT_EQ(reads.size(), readsBefore + 1);
  EXPECT_EQ(reads.back(), Key(0x1018, 7));
  EXPECT_EQ(HasError(0x2115), c.error == 0x2115) << Errors();
  if (c.error == 0x2115) {
    EXPECT_EQ(g_fakes.errors.back().info, 4u);  // FSM index 0, an answer of 4 bytes
  }
  // No pre-operational request follows the timestamp read in either case.
  const std::vector<u8> services = Services(node);
  EXPECT_EQ(std::count(services.begin(), services.end(), k_PREOP), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Checksums, TimestampAfterAck,
    ::testing::Values(AfterAckCase{"OverFourBytesRetries", k_CHK12, 0x2115, SCM_k_ST_IDLE2},
                      AfterAckCase{"FourBytesComparesTheStaleBuffer", Bytes{1, 2, 3, 4}, 0, SCM_k_ST_WF_GUARD_TIMER}),
    [](const ::testing::TestParamInfo<AfterAckCase>& i) { return std::string(i.param.name); });

TEST_F(LegacyScm, AnSnFailureOfGroupFourCodeFourWaitsForItsAcknowledge) {
  SimNode& node = ChecksumNode(k_CHK12, {});
  node.objects[Key(0x1018, 6)] = k_CHK12;
  node.opAnswer = {0x07, 4, 4};
  ASSERT_TRUE(SCM_Activate());
  ASSERT_TRUE(RunUntilState(0, SCM_k_ST_WF_SAPL_ACK, 200)) << Errors();
  Run(20);
  EXPECT_EQ(Node(0).ulState, SCM_k_ST_WF_SAPL_ACK);
  ASSERT_FALSE(g_fakes.snFails.empty());
  EXPECT_EQ(g_fakes.snFails[0].group, 4);
  EXPECT_EQ(g_fakes.snFails[0].code, 4);
  const std::vector<u8> services = Services(node);
  EXPECT_EQ(std::count(services.begin(), services.end(), k_OP), 1);
}

TEST_F(LegacyScm, AGuardRequestWithoutAnswerRestartsTheNodeAtOnce) {
  g_v.guardTime = 300;  // 30 cycles; SNMT time-out 10 cycles x 3 sends
  g_v.lifeFactor = 3;   // the current release would tolerate 90 cycles
  SimNode& node = ChecksumNode(k_CHK12, {});
  node.objects[Key(0x1018, 6)] = k_CHK12;
  bool silent = false;
  node.script = [&](SimNode&, const ParsedFrame& r) {
    if (r.id == 0x2C && r.payload[0] == 0x08) {
      silent = true;
    }
    return silent ? Action{Action::Silent, {}, 0} : Action{};
  };
  ASSERT_TRUE(SCM_Activate());
  ASSERT_TRUE(RunUntilState(0, SCM_k_ST_WF_GUARD, 200)) << Errors();
  ASSERT_TRUE(RunUntilState(0, SCM_k_ST_WF_ASSIGN_SADR, 100)) << Errors();
  // One guard request with its repetitions, then the restart: no second guard round.
  const std::vector<u8> services = Services(node);
  EXPECT_EQ(std::count(services.begin(), services.end(), 0x08), 3);
  const std::vector<u8> st = StatusesOf(5);
  ASSERT_GE(st.size(), 3u);
  EXPECT_EQ(st.back(), 0);
}

TEST_F(LegacyScm, OneRoundBringsAllNodesToOperational) {
  for (u16 i = 0; i < SCM_k_MAX_NODES; ++i) {
    SimNode& node = AddNode(i, static_cast<u16>(2 + i));
    std::copy(k_CHK12.begin(), k_CHK12.end(), g_v.nodes[i].chk);
    g_v.nodes[i].chkVar.ulActLen = static_cast<u32>(k_CHK12.size());
    node.objects[Key(0x1018, 6)] = k_CHK12;
  }
  ASSERT_TRUE(SCM_Activate()) << Errors();
  Run(3000);
  for (u16 i = 0; i < SCM_k_MAX_NODES; ++i) {
    EXPECT_EQ(g_v.nodes[i].status, SCM_k_NS_OPERATIONAL) << "FSM index " << i << " state " << Node(i).ulState;
  }
  EXPECT_TRUE(g_fakes.errors.empty()) << Errors();
}

}  // namespace
}  // namespace MgrTest
