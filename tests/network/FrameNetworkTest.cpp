// The simulated network in-process: routing and undeliverable frames, no
// echo, delays, each wire fault on an explicit schedule, seeded rates and
// the trace lines.
#include <gtest/gtest.h>

#include "FrameBuilder.h"
#include "FrameNetwork.h"

namespace {

using ScmSim::FrameBytes;
using ScmSim::FrameNetwork;

constexpr u16 kSdn = 5;       ///< domain of the tests
constexpr u16 kScmSadr = 20;  ///< the configuration manager's SADR

/// A node at a position with a UDID derived from it.
SimNodes::NodeConfig Node(u16 position) {
  SimNodes::NodeConfig c;
  c.position = position;
  c.udid = {0x02, 0x5C, 0x3E, 0xA0, 0x00, static_cast<u8>(position)};
  return c;
}

/// An SNMT frame from the firmware.
FrameBytes Frame(u8 id, u16 adr, FrameBytes payload = {}) {
  TestFrames::FrameSpec fields;
  fields.id = id;
  fields.adr = adr;
  fields.sdn = kSdn;
  fields.tadr = kScmSadr;
  fields.payload = std::move(payload);
  return TestFrames::BuildFrame(fields);
}

FrameBytes UdidRequest(u16 adr) { return Frame(0x28, adr); }

FrameNetwork Network(const std::vector<std::string>& faults = {}, u64 seed = 1) {
  ScmSim::WireFaultPlan plan;
  plan.seed = seed;
  for (const std::string& f : faults) {
    EXPECT_EQ(ScmSim::ParseWireFault(f, plan), "") << f;
  }
  return FrameNetwork({Node(2), Node(3)}, plan);
}

TEST(FrameNetwork, RequestGoesToTheNodeAtItsAddressOnly) {
  FrameNetwork net = Network();
  net.FromFirmware(UdidRequest(3), 7, 100);
  EXPECT_EQ(net.NodeAt(3)->Record().framesReceived, 1u);
  EXPECT_EQ(net.NodeAt(2)->Record().framesReceived, 0u);
  const auto due = net.TakeDue(7);
  ASSERT_EQ(due.size(), 1u);
  EXPECT_EQ(due[0].dueCycle, 7u);
  const TestFrames::ParsedFrame p = TestFrames::ParseFrame(due[0].frame);
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.id, 0x29);
  EXPECT_EQ(p.tadr, 3);
  EXPECT_TRUE(net.TakeDue(8).empty());
}

TEST(FrameNetwork, RequestWithoutNodeIsCountedAndTraced) {
  FrameNetwork net = Network();
  net.FromFirmware(UdidRequest(9), 1, 0);
  EXPECT_EQ(net.Counts().noNode, 1u);
  EXPECT_TRUE(net.TakeDue(1).empty());
  ASSERT_EQ(net.Trace().size(), 1u);
  EXPECT_EQ(net.Trace()[0].direction, "fw>none");
  EXPECT_EQ(net.Trace()[0].note, "no-node");
  EXPECT_EQ(net.Trace()[0].node, 9);
}

TEST(FrameNetwork, FirmwareFramesThatAreNoRequestsAreNeverEchoed) {
  FrameNetwork net = Network();
  net.FromFirmware(Frame(0x2F, 1), 1, 0);          // the firmware's own reset guarding
  net.FromFirmware(Frame(0x2D, 3, {0x03}), 1, 0);  // a response of the firmware's slave
  net.FromFirmware(Frame(0x29, 2, FrameBytes(6, 1)), 1, 0);
  net.FromFirmware(Frame(0x30, 3, {1, 2}), 1, 0);  // process data
  net.FromFirmware(FrameBytes{1, 2}, 1, 0);        // too short to carry an id
  EXPECT_EQ(net.Counts().notRequest, 5u);
  EXPECT_EQ(net.Counts().toNodes, 0u);
  EXPECT_TRUE(net.TakeDue(100).empty());
  for (const auto& line : net.Trace()) {
    EXPECT_EQ(line.direction, "fw>none");
    EXPECT_EQ(line.note, "not-request");
  }
}

struct WireCase {
  const char* name;       ///< case name
  std::string fault;      ///< the fault as written
  u32 requests;           ///< UDID requests sent to node 3 in cycle 10
  u32 nodeReceived;       ///< frames node 3 received by cycle 10
  std::vector<u64> due;   ///< due cycles of the answers
  u32 badAnswers;         ///< answers that fail the receiver's checks
};

class WireFaults : public ::testing::TestWithParam<WireCase> {};

TEST_P(WireFaults, DoWhatTheyName) {
  const WireCase& c = GetParam();
  FrameNetwork net = Network({c.fault});
  for (u32 i = 0; i < c.requests; ++i) {
    net.FromFirmware(UdidRequest(3), 10, 0);
  }
  net.Tick(10, 0);
  EXPECT_EQ(net.NodeAt(3)->Record().framesReceived, c.nodeReceived);
  std::vector<u64> due;
  u32 bad = 0;
  for (u64 cycle = 10; cycle <= 20; ++cycle) {
    net.Tick(cycle, 0);
    for (const auto& f : net.TakeDue(cycle)) {
      EXPECT_EQ(f.dueCycle, cycle);
      due.push_back(cycle);
      bad += TestFrames::ParseFrame(f.frame).ok ? 0 : 1;
    }
  }
  EXPECT_EQ(due, c.due);
  EXPECT_EQ(bad, c.badAnswers);
  EXPECT_EQ(net.NodeAt(2)->Record().framesReceived, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Schedule, WireFaults,
    ::testing::Values(WireCase{"None", "2:to:1:drop", 1, 1, {10}, 0},
                      WireCase{"ToDrop", "3:to:1:drop", 1, 0, {}, 0},
                      WireCase{"ToDropSecond", "3:to:2:drop", 3, 2, {10, 10}, 0},
                      WireCase{"ToDuplicate", "3:to:1:duplicate", 1, 2, {10, 10}, 0},
                      WireCase{"ToCorrupt", "3:to:1:corrupt", 1, 1, {}, 0},
                      WireCase{"ToDelay", "3:to:1:delay=3", 1, 0, {13}, 0},
                      WireCase{"FromDrop", "3:from:1:drop", 1, 1, {}, 0},
                      WireCase{"FromDuplicate", "3:from:1:duplicate", 1, 1, {10, 10}, 0},
                      WireCase{"FromCorrupt", "3:from:1:corrupt", 1, 1, {10}, 1},
                      WireCase{"FromDelay", "3:from:1:delay=2", 1, 1, {12}, 0},
                      WireCase{"FromDelaySecond", "3:from:2:delay=1", 2, 2, {10, 11}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameNetwork, CorruptedRequestIsDroppedByTheNode) {
  FrameNetwork net = Network({"3:to:1:corrupt"});
  net.FromFirmware(UdidRequest(3), 1, 0);
  EXPECT_EQ(net.NodeAt(3)->Record().framesDropped, 1u);
  EXPECT_EQ(net.Counts().corrupted, 1u);
  EXPECT_EQ(net.Trace()[0].fault, "corrupt");
}

TEST(FrameNetwork, SeededRatesRepeatAndReachTheirBounds) {
  const auto run = [](const std::string& fault, u64 seed) {
    FrameNetwork net = Network({fault}, seed);
    for (int i = 0; i < 200; ++i) {
      net.FromFirmware(UdidRequest(3), static_cast<u64>(i), 0);
    }
    std::string faults;
    for (const auto& line : net.Trace()) {
      faults += line.fault == "-" ? '.' : 'x';
    }
    return faults;
  };
  const std::string a = run("3:to:rate=0.3:drop", 42);
  EXPECT_EQ(a, run("3:to:rate=0.3:drop", 42));
  EXPECT_NE(a, run("3:to:rate=0.3:drop", 43));
  const auto hits = std::count(a.begin(), a.end(), 'x');
  EXPECT_GT(hits, 30);
  EXPECT_LT(hits, 90);
  EXPECT_EQ(run("3:to:rate=0:drop", 1).find('x'), std::string::npos);
  EXPECT_EQ(run("3:to:rate=1:drop", 1).find('.'), std::string::npos);
}

// A seed decides each frame's fate by the node, the direction and the frame's
// number: other nodes' traffic and the cycles and times the frames cross in
// change nothing, so a run repeats its wire faults.
TEST(FrameNetwork, RatedFaultsFollowTheFrameNumberAloneNotTimeOrOtherTraffic) {
  const std::vector<std::string> faults{"3:to:rate=0.3:drop", "2:to:rate=0.5:duplicate", "3:to:rate=0.2:delay=4"};
  const auto faultsOfNode3 = [](const FrameNetwork& net) {
    std::string text;
    for (const auto& line : net.Trace()) {
      if (line.direction == "fw>node" && line.node == 3) text += line.fault + ",";
    }
    return text;
  };
  FrameNetwork alone = Network(faults, 9);
  for (int i = 0; i < 100; ++i) alone.FromFirmware(UdidRequest(3), static_cast<u64>(i), 0);
  FrameNetwork mixed = Network(faults, 9);
  for (int i = 0; i < 100; ++i) {
    // another node's frames in between, other cycles and times
    mixed.FromFirmware(UdidRequest(2), static_cast<u64>(3 * i), static_cast<u64>(7777 * i));
    if (i % 3 == 0) mixed.FromFirmware(UdidRequest(2), static_cast<u64>(3 * i + 1), 5);
    mixed.FromFirmware(UdidRequest(3), static_cast<u64>(3 * i + 2), static_cast<u64>(1000 * i + 13));
  }
  const std::string expected = faultsOfNode3(alone);
  EXPECT_EQ(faultsOfNode3(mixed), expected);
  // the draws themselves: frame k of node 3 towards it under seed 9, rated fault 0 then 2
  std::string fromDraws;
  for (u32 k = 1; k <= 100; ++k) {
    fromDraws += ScmSim::RatedDraw(9, 0, 3, ScmSim::WireDirection::ToNode, k) < 0.3   ? "drop,"
                 : ScmSim::RatedDraw(9, 2, 3, ScmSim::WireDirection::ToNode, k) < 0.2 ? "delay=4,"
                                                                                       : "-,";
  }
  EXPECT_EQ(fromDraws, expected);
  EXPECT_NE(expected.find("drop"), std::string::npos);
  EXPECT_NE(expected.find("delay=4"), std::string::npos);
}

TEST(FrameNetwork, TraceLinesCarryEveryField) {
  FrameNetwork net = Network({"3:from:1:delay=2"});
  std::vector<std::string> sunk;
  net.SetTraceSink([&sunk](const std::string& line) { sunk.push_back(line); });
  const FrameBytes request = UdidRequest(3);
  net.FromFirmware(request, 4, 1234);
  ASSERT_EQ(net.Trace().size(), 2u);
  ASSERT_EQ(sunk.size(), 2u);
  std::string hex;
  char buf[3];
  for (u8 b : request) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    hex += buf;
  }
  EXPECT_EQ(sunk[0], "cycle=4 time_us=1234 dir=fw>node node=3 id=0x28 service=udid le=0 fault=- note=- bytes=" + hex);
  EXPECT_EQ(sunk[1].rfind("cycle=4 time_us=1234 dir=node>fw node=3 id=0x29 service=udid-response le=6 "
                          "fault=delay=2 note=- bytes=",
                          0),
            0u)
      << sunk[1];
  EXPECT_EQ(net.Trace()[1].bytes.size(), TestFrames::FrameLength(0x29, 6));
}

TEST(FrameNetwork, ResetGuardingFramesOfNodesReachTheFirmware) {
  SimNodes::NodeConfig c = Node(4);
  c.resetGuarding = true;
  c.resetGuardIntervalUs = 100;
  c.resetGuardLimit = 2;
  FrameNetwork net({c});
  for (u64 t = 0; t <= 1000; t += 50) {
    net.Tick(t / 50, t);
  }
  const auto due = net.TakeDue(100);
  ASSERT_EQ(due.size(), 2u);
  EXPECT_EQ(TestFrames::ParseFrame(due[0].frame).id, 0x2F);
}

struct DescribeCase {
  FrameBytes frame;        ///< the frame
  std::string service;     ///< its description
};

class Describe : public ::testing::TestWithParam<DescribeCase> {};

TEST_P(Describe, NamesServiceOrCommand) { EXPECT_EQ(ScmSim::DescribeFrame(GetParam().frame), GetParam().service); }

INSTANTIATE_TEST_SUITE_P(
    Frames, Describe,
    ::testing::Values(DescribeCase{Frame(0x2A, 3, FrameBytes(6, 0)), "assign-sadr"},
                      DescribeCase{Frame(0x2C, 3, {0x02, 0, 0, 0, 0}), "set-op"},
                      DescribeCase{Frame(0x2C, 3, {0x08}), "guard"},
                      DescribeCase{Frame(0x2D, 20, {0x07, 4, 1}), "sn-fail=4/1"},
                      DescribeCase{Frame(0x2D, 20, {0x09}), "busy"},
                      DescribeCase{Frame(0x2F, 1), "reset-guarding"},
                      DescribeCase{Frame(0x38, 3, {0x20, 0x18, 0x10, 0x01}), "ssdo-upload@1018/01"},
                      DescribeCase{Frame(0x39, 20, {0x04, 0x18, 0x10, 0x04, 0x11, 0x00, 0x09, 0x06}),
                                   "ssdo-abort@1018/04=06090011"},
                      DescribeCase{Frame(0x3A, 3, {0x1B, 1, 2}), "ssdo-preload-segment-t1"},
                      DescribeCase{Frame(0x39, 20, {0x58, 1}), "ssdo-upload-last-t1"},
                      DescribeCase{Frame(0x31, 3, {1}), "id-31"}));

struct ParseCase {
  const char* text;  ///< the wire fault as written
  bool ok;           ///< accepted
};

class ParseWire : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseWire, AcceptsTheFormOrSaysWhy) {
  ScmSim::WireFaultPlan plan;
  const std::string e = ScmSim::ParseWireFault(GetParam().text, plan);
  EXPECT_EQ(e.empty(), GetParam().ok) << e;
  EXPECT_EQ(plan.scheduled.size() + plan.rated.size(), GetParam().ok ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseWire,
                         ::testing::Values(ParseCase{"3:to:1:drop", true}, ParseCase{"3:from:9:duplicate", true},
                                           ParseCase{"3:to:2:delay=4", true}, ParseCase{"1:from:1:corrupt", true},
                                           ParseCase{"3:to:rate=0.25:drop", true}, ParseCase{"3:to:0:drop", false},
                                           ParseCase{"0:to:1:drop", false}, ParseCase{"3:up:1:drop", false},
                                           ParseCase{"3:to:1:melt", false}, ParseCase{"3:to:1:delay=0", false},
                                           ParseCase{"3:to:rate=2:drop", false}, ParseCase{"3:to:1", false}));

}  // namespace
