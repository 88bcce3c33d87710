// The whole road of a node, checked only through the frames the peer receives
// and the callback records.
#include "ScmProfile.h"
#include "ManagerFixture.h"

namespace MgrTest {
namespace {

/// Request codes as the peer saw them: 0x28/0x2A as id | 0x40, services by byte 0,
/// SSDO requests as 0x80 | command without toggle.
u8 Code(const ParsedFrame& r) {
  if (r.id == 0x2C) {
    return r.payload.empty() ? 0xFF : r.payload[0];
  }
  if (r.id == 0x38 || r.id == 0x3A) {
    return static_cast<u8>(0x80 | (r.payload.empty() ? 0 : r.payload[0] & 0x6F));
  }
  return static_cast<u8>(0x40 | r.id);
}

std::vector<u8> Codes(const SimNode& n) {
  std::vector<u8> v;
  for (const ParsedFrame& r : n.received) {
    v.push_back(Code(r));
  }
  return v;
}

std::size_t CountCode(const SimNode& n, u8 code) {
  const std::vector<u8> v = Codes(n);
  return static_cast<std::size_t>(std::count(v.begin(), v.end(), code));
}

/// CTs (cycle numbers) at which the node got requests of this code.
std::vector<u32> Times(const std::vector<std::pair<u32, u8>>& log, u8 code) {
  std::vector<u32> t;
  for (auto [c, k] : log) {
    if (k == code) {
      t.push_back(c);
    }
  }
  return t;
}

constexpr u8 k_ASSIGN = 0x6A;    ///< assign SADR
constexpr u8 k_UDIDREQ = 0x68;   ///< UDID request
constexpr u8 k_UPLOAD = 0xA0;    ///< SSDO upload initiate
constexpr u8 k_DNEXP = 0xA1;     ///< SSDO expedited download
constexpr u8 k_DNSEG = 0xAB;     ///< SSDO segmented download with preload

class RoadTest : public ManagerFixture {
 protected:
  /// Runs cycles while recording (cycle, request code) of node n's requests.
  void RunLogged(u32 cycles, const SimNode& n, std::vector<std::pair<u32, u8>>* log) {
    for (u32 i = 0; i < cycles; ++i) {
      const std::size_t before = n.received.size();
      const u32 at = cycle;
      (void)Cycle();
      for (std::size_t k = before; k < n.received.size(); ++k) {
        log->emplace_back(at, Code(n.received[k]));
      }
    }
  }
};

struct IdealCase {
  const char* name;   ///< what differs
  u32 flags;          ///< 0xC400 sub 12
  u32 ctStart;        ///< CT of the first cycle
  std::vector<u8> road;  ///< requests up to set-to-operational
};

class IdealRoad : public RoadTest, public ::testing::WithParamInterface<IdealCase> {};

TEST_P(IdealRoad, GoesThroughTheRoadInOrder) {
  const IdealCase& c = GetParam();
  ct = c.ctStart;
  SimNode& node = AddNode(0, 5);
  g_v.nodes[0].flags = c.flags;
  if constexpr (SCM_kLegacy) {
    // The older release compares checksums only and downloads to a node that answers none.
    node.objects[Key(0x1018, 6)] = {1, 2, 3, 4};
    std::memcpy(g_v.nodes[0].chk, "\1\2\3\4", 4);
    g_v.nodes[0].chkVar.ulActLen = 4;
  }
  ASSERT_TRUE(SCM_Activate()) << Errors();
  Run(40);
  EXPECT_EQ(Node(0).ulState, SCM_StateNo(22)) << Errors();
  EXPECT_EQ((std::vector<u8>{0x80, 0x81}), StatusesOf(5));
  std::vector<u8> got = Codes(node);
  got.resize(std::min(got.size(), c.road.size()));
  EXPECT_EQ(c.road, got);
  EXPECT_TRUE(g_fakes.errors.empty()) << Errors();
}

INSTANTIATE_TEST_SUITE_P(
    Modes, IdealRoad,
    ::testing::Values(
        IdealCase{"Checksum", 0, 0x1000, {k_ASSIGN, 0x0E, k_UPLOAD, k_UPLOAD, k_UPLOAD, k_UPLOAD, 0x02}},
        IdealCase{"Timestamp", 0x80000000u, 0x1000, {k_ASSIGN, 0x0E, k_UPLOAD, k_UPLOAD, k_UPLOAD, k_UPLOAD, 0x02}},
        // flags bit 1 asks for the extended CT (service 0x10), which the older release does not know
        IdealCase{"ExtCt", 0x2, 0x1000,
                  SCM_kLegacy ? std::vector<u8>{k_ASSIGN, 0x0E, k_UPLOAD, k_UPLOAD, k_UPLOAD, k_UPLOAD, 0x02}
                              : std::vector<u8>{k_ASSIGN, 0x0E, 0x10, k_UPLOAD, k_UPLOAD, k_UPLOAD, k_UPLOAD, 0x02}},
        IdealCase{"ExtCtTimestampNearSignedWrap", 0x80000002u, 0x7FFFFF00u,
                  SCM_kLegacy ? std::vector<u8>{k_ASSIGN, 0x0E, k_UPLOAD, k_UPLOAD, k_UPLOAD, k_UPLOAD, 0x02}
                              : std::vector<u8>{k_ASSIGN, 0x0E, 0x10, k_UPLOAD, k_UPLOAD, k_UPLOAD, k_UPLOAD, 0x02}},
        IdealCase{"NearUnsignedWrap", 0, 0xFFFFFF00u, {k_ASSIGN, 0x0E, k_UPLOAD, k_UPLOAD, k_UPLOAD, k_UPLOAD, 0x02}}),
    [](const ::testing::TestParamInfo<IdealCase>& i) { return std::string(i.param.name); });

TEST_F(RoadTest, ExtendedCtStartValueIsTheCounterAndSurvivesActivation) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no extended CT";
  }
  g_fakes.initialCt = 0x12345678ABULL;
  SCM_Init();
  SimNode& node = AddNode(0, 5);
  g_v.nodes[0].flags = 0x2;
  ASSERT_TRUE(SCM_Activate());
  Run(20);
  Bytes sent;
  for (const ParsedFrame& r : node.received) {
    if (r.id == 0x2C && !r.payload.empty() && r.payload[0] == 0x10) {
      sent = r.payload;
    }
  }
  ASSERT_EQ(sent.size(), 6u);
  // The counter is the initial value plus the CT so far (the first delta is the whole CT).
  u64 value = 0;
  for (int i = 0; i < 5; ++i) {
    value |= static_cast<u64>(sent[1 + i]) << (8 * i);
  }
  EXPECT_GE(value, 0x12345678ABULL + 0x1000);
  EXPECT_LE(value, 0x12345678ABULL + 0x1000 + 20 * 10);
  node.received.clear();
  ASSERT_TRUE(SCM_Activate());
  Run(20);
  for (const ParsedFrame& r : node.received) {
    if (r.id == 0x2C && !r.payload.empty() && r.payload[0] == 0x10) {
      EXPECT_EQ(r.payload, sent);
    }
  }
}

TEST_F(RoadTest, EqualChecksumSendsNeitherPreOpNorDownload) {
  SimNode& node = AddNode(0, 5);
  const Bytes chk = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  node.objects[Key(0x1018, 6)] = chk;
  std::copy(chk.begin(), chk.end(), g_v.nodes[0].chk);
  g_v.nodes[0].chkVar.ulActLen = static_cast<u32>(chk.size());
  ASSERT_TRUE(SCM_Activate());
  Run(40);
  EXPECT_EQ(Node(0).ulState, SCM_StateNo(22)) << Errors();
  EXPECT_EQ(CountCode(node, 0x00), 0u);
  EXPECT_EQ(CountCode(node, k_DNEXP) + CountCode(node, k_DNSEG), 0u);
}

struct DownloadCase {
  const char* name;  ///< how the set travels
  u32 setLen;        ///< parameter set length
  u8 window;         ///< preload window the node offers (0: plain)
  bool refuse;       ///< the node refuses preload once
  bool lenDiffers;   ///< the checksum differs in length too
};

class Download : public RoadTest, public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(Download, DifferentChecksumDownloadsAssignsAdditionalSadrsAndSetsOperational) {
  const DownloadCase& c = GetParam();
  if (SCM_kLegacy && c.lenDiffers) {
    GTEST_SKIP() << "the older release retries a checksum of another length (LegacyScm's checksum verdicts)";
  }
  SimNode& node = AddNode(0, 5);
  node.window = c.window;
  node.refusePreload = c.refuse;
  node.objects[Key(0x1018, 6)] = c.lenDiffers ? Bytes{9, 9, 9} : Bytes{9, 9, 9, 9};
  g_v.nodes[0].chk[0] = 1;
  g_v.nodes[0].chkVar.ulActLen = 4;
  g_v.nodes[0].paramLen = c.setLen;
  for (u32 i = 0; i < c.setLen; ++i) {
    g_v.nodes[0].param[i] = static_cast<u8>(i * 7 + 3);
  }
  g_v.nodes[0].paramVar.ulActLen = c.setLen;
  g_v.addMain[7] = 5;   // additional SADR 7 of node 5
  g_v.addTx[7] = 70;
  g_v.addMain[9] = 5;   // additional SADR 9 of node 5
  g_v.addTx[9] = 90;
  ASSERT_TRUE(SCM_Activate());
  ASSERT_TRUE(RunUntilState(0, SCM_StateNo(22), 200)) << Errors() << " state " << Node(0).ulState;
  const Bytes expect(g_v.nodes[0].param, g_v.nodes[0].param + c.setLen);
  EXPECT_EQ(node.objects[Key(0x101A, 0)], expect);
  EXPECT_EQ(HasError(0x1117), c.lenDiffers);
  // pre-operational, then the download, the additional SADRs in order, then operational
  std::vector<Bytes> addSadrs;
  for (const ParsedFrame& r : node.received) {
    if (r.id == 0x2C && r.payload[0] == 0x0A) {
      addSadrs.push_back(r.payload);
    }
  }
  EXPECT_EQ(addSadrs, (std::vector<Bytes>{{0x0A, 7, 0, 70, 0}, {0x0A, 9, 0, 90, 0}}));
  const std::vector<u8> codes = Codes(node);
  const auto preop = std::find(codes.begin(), codes.end(), 0x00);
  const auto op = std::find(codes.begin(), codes.end(), 0x02);
  ASSERT_NE(preop, codes.end());
  EXPECT_LT(preop, op);
  // every download frame is slim
  for (const ParsedFrame& r : node.received) {
    if (r.id == 0x38 || r.id == 0x3A) {
      const bool download = (r.payload[0] & 0x0F) == 0x01 || (r.payload[0] & 0x0F) == 0x09 ||
                            (r.payload[0] & 0x0F) == 0x0B;
      if (download && r.payload[0] != 0x20) {
        EXPECT_EQ(r.id, 0x3A);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Download,
    ::testing::Values(DownloadCase{"Expedited", 10, 1, false, false},
                      DownloadCase{"ExpeditedLengthDiffers", 10, 1, false, true},
                      DownloadCase{"Plain", 100, 0, false, false},
                      DownloadCase{"PreloadWindow1", 100, 1, false, false},
                      DownloadCase{"PreloadWindow3", 130, 3, false, false},
                      DownloadCase{"PreloadRefused", 60, 1, true, false}),
    [](const ::testing::TestParamInfo<DownloadCase>& i) { return std::string(i.param.name); });

TEST_F(RoadTest, SilentNode) {
  g_v.guardTime = 400;
  SimNode& node = AddNode(0, 5);
  node.script = [](SimNode&, const ParsedFrame&) { return Action{Action::Silent, {}, 0}; };
  ASSERT_TRUE(SCM_Activate());
  std::vector<std::pair<u32, u8>> log;
  RunLogged(150, node, &log);
  const std::vector<u32> assigns = Times(log, k_ASSIGN);
  const std::vector<u32> udids = Times(log, k_UDIDREQ);
  ASSERT_GE(assigns.size(), 6u);
  ASSERT_GE(udids.size(), 3u);
  // 1 + R assignments spaced by the time-out (10 cycles), then as many UDID requests
  EXPECT_EQ(assigns[1] - assigns[0], 10u);
  EXPECT_EQ(assigns[2] - assigns[1], 10u);
  // the node takes the final time-out at its next turn, in the next cycle
  EXPECT_GE(udids[0] - assigns[2], 10u);
  EXPECT_LE(udids[0] - assigns[2], 11u);
  EXPECT_EQ(udids[1] - udids[0], 10u);
  EXPECT_EQ(udids[2] - udids[1], 10u);
  // a new round one guard time (40 cycles) after the final time-out
  EXPECT_GE(assigns[3] - udids[2], 50u);
  EXPECT_LE(assigns[3] - udids[2], 53u);
  // one status report in the first round, none later
  EXPECT_EQ(StatusesOf(5), (std::vector<u8>{0}));
  EXPECT_GE(CountError(0x150B), 3u) << Errors();
  EXPECT_EQ(CountError(0x150B), g_fakes.errors.size()) << Errors();
}

TEST_F(RoadTest, VendorMismatchReportsAndRetriesEachRound) {
  g_v.guardTime = 300;
  SimNode& node = AddNode(0, 5);
  node.objects[Key(0x1018, 1)] = {1, 2, 3, 4};
  ASSERT_TRUE(SCM_Activate());
  std::vector<std::pair<u32, u8>> log;
  RunLogged(100, node, &log);
  const std::vector<u32> assigns = Times(log, k_ASSIGN);
  ASSERT_GE(assigns.size(), 2u);
  EXPECT_GE(assigns[1] - assigns[0], 30u);
  // only the vendor id is read in each round
  EXPECT_EQ(CountCode(node, k_UPLOAD), assigns.size());
  const std::vector<u8> st = StatusesOf(5);
  ASSERT_GE(st.size(), 4u);
  EXPECT_EQ((std::vector<u8>(st.begin(), st.begin() + 4)), (std::vector<u8>{0x80, 1, 0x80, 1}));
}

TEST_F(RoadTest, UdidMismatchWaitsForTheOperator) {
  g_v.guardTime = 300;
  SimNode& node = AddNode(0, 5);
  const Udid other = {0x00, 0x11, 0x22, 0x33, 0x44, 0x99};
  node.udid = other;  // the node was exchanged
  ASSERT_TRUE(SCM_Activate());
  ASSERT_TRUE(RunUntilState(0, SCM_StateNo(5), 100)) << Errors();
  ASSERT_EQ(g_fakes.mismatches.size(), 1u);
  EXPECT_EQ(g_fakes.mismatches[0].udid, Bytes(other.begin(), other.end()));
  EXPECT_EQ(g_fakes.mismatches[0].fsm, 0u);
  EXPECT_EQ(StatusesOf(5), (std::vector<u8>{3}));
  const std::size_t frames = node.received.size();
  Run(100);
  EXPECT_EQ(node.received.size(), frames);  // silence until the operator acknowledges
  EXPECT_EQ(SCM_OperatorAck(0), 1);
  ASSERT_TRUE(RunUntilState(0, SCM_StateNo(22), 100)) << Errors();
  EXPECT_EQ(Bytes(g_v.udid[5], g_v.udid[5] + 6), Bytes(other.begin(), other.end()));
  EXPECT_EQ(node.received[frames].id, 0x2A);
  EXPECT_EQ(node.received[frames].payload, Bytes(other.begin(), other.end()));
}

TEST_F(RoadTest, UdidMismatchInConfigurationModeRetriesWithoutTheOperator) {
  g_v.guardTime = 300;
  g_v.configMode = 1;
  SimNode& node = AddNode(0, 5);
  node.udid = {0x00, 0x11, 0x22, 0x33, 0x44, 0x99};
  ASSERT_TRUE(SCM_Activate());
  std::vector<std::pair<u32, u8>> log;
  RunLogged(160, node, &log);
  EXPECT_GE(g_fakes.mismatches.size(), 2u);
  EXPECT_NE(Node(0).ulState, SCM_StateNo(5));
  // the node ignores assignments to the old UDID: each round ends with one UDID request,
  // one guard time wait plus 1 + R assignments after the previous one
  const std::vector<u32> udids = Times(log, k_UDIDREQ);
  ASSERT_GE(udids.size(), 2u);
  EXPECT_GE(udids[1] - udids[0], 60u);
  // once the list holds the node's UDID, the node is configured
  std::memcpy(g_v.udid[5], node.udid.data(), 6);
  EXPECT_TRUE(RunUntilState(0, SCM_StateNo(22), 200)) << Errors();
}

TEST_F(RoadTest, BusyNodeIsAskedAgainAfterThePollTime) {
  SimNode& node = AddNode(0, 5);
  g_v.nodes[0].poll = 200;  // 20 cycles
  int busy = 1;
  node.script = [&busy](SimNode&, const ParsedFrame& r) {
    if (r.id == 0x2C && r.payload[0] == 0x02 && busy-- > 0) {
      return Action{Action::Replace, {ScriptedPeer::AnswerTo(r, {0x09})}, 0};
    }
    return Action{};
  };
  ASSERT_TRUE(SCM_Activate());
  std::vector<std::pair<u32, u8>> log;
  RunLogged(80, node, &log);
  const std::vector<u32> ops = Times(log, 0x02);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_GE(ops[1] - ops[0], 20u);
  EXPECT_LE(ops[1] - ops[0], 22u);
  EXPECT_EQ(StatusesOf(5), (std::vector<u8>{0x80, 0x81}));
}

TEST_F(RoadTest, SsdoTimeoutRepeatsAbortsAndRestarts) {
  SimNode& node = AddNode(0, 5);
  node.script = [](SimNode&, const ParsedFrame& r) {
    return r.id == 0x38 ? Action{Action::Silent, {}, 0} : Action{};
  };
  ASSERT_TRUE(SCM_Activate());
  Run(60);
  // 1 + R uploads of the vendor id, then the abort frame with 0x05040000
  std::vector<const ParsedFrame*> ssdo;
  for (const ParsedFrame& r : node.received) {
    if (r.id == 0x38) {
      ssdo.push_back(&r);
    }
  }
  ASSERT_GE(ssdo.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ssdo[i]->payload[0], 0x20);
    EXPECT_EQ(ssdo[i]->ct, ssdo[0]->ct);  // a repetition keeps its sequence number
  }
  EXPECT_EQ(ssdo[3]->payload, (Bytes{0x04, 0x18, 0x10, 0x01, 0x00, 0x00, 0x04, 0x05}));
  const std::vector<u8> st = StatusesOf(5);
  ASSERT_GE(st.size(), 2u);
  EXPECT_EQ(st[1], 0);  // restarted
  EXPECT_GE(CountCode(node, k_ASSIGN), 2u);
}

TEST_F(RoadTest, GuardingRestartsAPreOperationalNodeAtOnce) {
  g_v.guardTime = 200;
  SimNode& node = AddNode(0, 5);
  int guards = 0;
  node.script = [&guards](SimNode&, const ParsedFrame& r) {
    if (r.id == 0x2C && r.payload[0] == 0x08 && ++guards == 2) {
      return Action{Action::Replace, {ScriptedPeer::AnswerTo(r, {0x01})}, 0};
    }
    return Action{};
  };
  ASSERT_TRUE(SCM_Activate());
  std::vector<std::pair<u32, u8>> log;
  RunLogged(120, node, &log);
  const std::vector<u32> g = Times(log, 0x08);
  ASSERT_GE(g.size(), 2u);
  EXPECT_GE(g[1] - g[0], 20u);
  const std::vector<u32> assigns = Times(log, k_ASSIGN);
  ASSERT_GE(assigns.size(), 2u);
  EXPECT_LE(assigns[1] - g[1], 3u);  // restarted at once
  const std::vector<u8> st = StatusesOf(5);
  ASSERT_GE(st.size(), 3u);
  EXPECT_EQ((std::vector<u8>(st.begin(), st.begin() + 3)), (std::vector<u8>{0x80, 0x81, 0}));
}

struct SilentCase {
  const char* name;  ///< when the node falls silent
  int answeredGuards;  ///< guard requests still answered
  u32 ctStart;       ///< CT of the first cycle
};

class GuardSilence : public RoadTest, public ::testing::WithParamInterface<SilentCase> {};

TEST_P(GuardSilence, IsGuardedAgainBeforeTheLifeDeadlineAndRestartedAfter) {
  g_v.guardTime = 300;   // 30 cycles; SNMT time-out 10 cycles x 3 sends
  g_v.lifeFactor = 3;    // life 90 cycles
  SimNode& node = AddNode(0, 5);
  const int answered = GetParam().answeredGuards;
  ct = GetParam().ctStart;
  int guards = 0;
  bool silent = false;
  node.script = [&](SimNode&, const ParsedFrame& r) {
    if (r.id == 0x2C && r.payload[0] == 0x08 && guards++ >= answered) {
      silent = true;
    }
    return silent ? Action{Action::Silent, {}, 0} : Action{};
  };
  ASSERT_TRUE(SCM_Activate());
  std::vector<std::pair<u32, u8>> log;
  RunLogged(400, node, &log);
  const std::vector<u8> st = StatusesOf(5);
  ASSERT_GE(st.size(), 3u) << Errors();
  EXPECT_EQ((std::vector<u8>(st.begin(), st.begin() + 3)), (std::vector<u8>{0x80, 0x81, 0}));
  // the unanswered guard requests: the first round's three and at least one later round
  const std::vector<u32> g = Times(log, 0x08);
  if constexpr (SCM_kLegacy) {
    // No life time tolerance: the first unanswered request with its repetitions restarts the node.
    EXPECT_EQ(g.size(), static_cast<std::size_t>(answered) + 3u);
  } else {
    EXPECT_GE(g.size(), static_cast<std::size_t>(answered) + 6u);
  }
  EXPECT_GE(CountCode(node, k_ASSIGN), 2u);
}

INSTANTIATE_TEST_SUITE_P(When, GuardSilence,
                         ::testing::Values(SilentCase{"RightAfterOperational", 0, 0x1000},
                                           SilentCase{"Later", 2, 0x1000},
                                           SilentCase{"LaterNearSignedWrap", 2, 0x7FFFF000u},
                                           SilentCase{"RightAfterNearUnsignedWrap", 0, 0xFFFFF800u}),
                         [](const ::testing::TestParamInfo<SilentCase>& i) { return std::string(i.param.name); });

TEST_F(RoadTest, SnFailGroup5DownloadsTheAdditionalSetAndSetsOperationalAgain) {
  SimNode& node = AddNode(0, 5);
  int ops = 0;
  node.script = [&ops](SimNode&, const ParsedFrame& r) {
    if (r.id == 0x2C && r.payload[0] == 0x02 && ops++ == 0) {
      return Action{Action::Replace, {ScriptedPeer::AnswerTo(r, {0x07, 5, 0x02})}, 0};
    }
    return Action{};
  };
  // additional set number 3 (sub 3) of SADR 5: 16 bytes, version 1, SADR 5
  u8* set = g_v.addParam[5][2];
  for (u32 i = 0; i < 16; ++i) {
    set[i] = static_cast<u8>(0x40 + i);
  }
  set[1] = 1;
  set[2] = 5;
  set[3] = 0;
  g_v.addParamVar[5][2].ulActLen = 20;
  ASSERT_TRUE(SCM_Activate());
  ASSERT_TRUE(RunUntilState(0, SCM_StateNo(22), 200)) << Errors() << " state " << Node(0).ulState;
  EXPECT_EQ(node.objects[Key(0x101A, 0)], Bytes(set, set + 16));
  std::vector<Bytes> acks;
  for (const ParsedFrame& r : node.received) {
    if (r.id == 0x2C && r.payload[0] == 0x0C) {
      acks.push_back(r.payload);
    }
  }
  EXPECT_EQ(acks, (std::vector<Bytes>{{0x0C, 5, 0x02}}));
  EXPECT_EQ(CountCode(node, 0x02), 2u);
}

struct SnFailCase {
  const char* name;  ///< the failure
  u8 group;          ///< reported group
  u8 code;           ///< reported code
  bool waits;        ///< waits for SCM_SnFailAck
};

class SnFail : public RoadTest, public ::testing::WithParamInterface<SnFailCase> {};

TEST_P(SnFail, AcknowledgesAndRestarts) {
  const SnFailCase& c = GetParam();
  g_v.guardTime = 300;
  SimNode& node = AddNode(0, 5);
  g_v.nodes[0].poll = 200;
  int ops = 0;
  node.script = [&](SimNode&, const ParsedFrame& r) {
    if (r.id == 0x2C && r.payload[0] == 0x02 && ops++ == 0) {
      return Action{Action::Replace, {ScriptedPeer::AnswerTo(r, {0x07, c.group, c.code})}, 0};
    }
    return Action{};
  };
  ASSERT_TRUE(SCM_Activate());
  ASSERT_TRUE(RunUntilState(0, SCM_StateNo(19), 60));
  Run(3);
  ASSERT_EQ(g_fakes.snFails.size(), 1u);
  EXPECT_EQ(g_fakes.snFails[0].group, c.group);
  EXPECT_EQ(g_fakes.snFails[0].code, c.code);
  if (c.waits) {
    EXPECT_EQ(Node(0).ulState, SCM_StateNo(21));
    EXPECT_EQ(StatusesOf(5), (std::vector<u8>{0x80, 0x80}));  // the unchanged status is reported
    Run(25);
    EXPECT_EQ(g_fakes.snFails.size(), 2u);  // one poll time later, notify still set from activation
    Run(25);
    EXPECT_EQ(g_fakes.snFails.size(), 2u);  // the report cleared notify
    SCM_ResetNodeGuarding();
    Run(25);
    EXPECT_EQ(g_fakes.snFails.size(), 3u);
    Run(25);
    EXPECT_EQ(g_fakes.snFails.size(), 3u);
    EXPECT_EQ(SCM_SnFailAck(0, c.group, c.code), 1);
  }
  ASSERT_TRUE(RunUntilState(0, SCM_StateNo(22), 100)) << Errors() << " state " << Node(0).ulState;
  std::vector<Bytes> acks;
  for (const ParsedFrame& r : node.received) {
    if (r.id == 0x2C && r.payload[0] == 0x0C) {
      acks.push_back(r.payload);
    }
  }
  EXPECT_EQ(acks, (std::vector<Bytes>{{0x0C, c.group, c.code}}));
}

INSTANTIATE_TEST_SUITE_P(Groups, SnFail,
                         ::testing::Values(SnFailCase{"Stack41", 4, 1, false}, SnFailCase{"Stack44", 4, 4, SCM_kLegacy},
                                           SnFailCase{"Application", 2, 7, true}),
                         [](const ::testing::TestParamInfo<SnFailCase>& i) { return std::string(i.param.name); });

TEST_F(RoadTest, TwelveNodesKeepTheBudgetAndOneNodePerCall) {
  for (u16 i = 0; i < 12; ++i) {
    AddNode(i, static_cast<u16>(10 + i));
  }
  ASSERT_TRUE(SCM_Activate());
  for (int k = 0; k < 5; ++k) {
    const std::size_t before = g_fakes.processed.size();
    const std::vector<Bytes> frames = Cycle();
    EXPECT_LE(frames.size(), 10u);
    // one SAPL_ScmProcessSn per trigger call, in the table's order
    for (std::size_t j = before + 1; j < g_fakes.processed.size(); ++j) {
      const u16 prev = g_fakes.processed[j - 1];
      EXPECT_EQ(g_fakes.processed[j], prev == 21 ? 10 : prev + 1);
    }
  }
  Run(200);
  for (u16 i = 0; i < 12; ++i) {
    EXPECT_EQ(Node(i).ulState == SCM_StateNo(22) || Node(i).ulState == SCM_StateNo(23), true) << i << " " << Node(i).ulState;
  }
}

}  // namespace
}  // namespace MgrTest
