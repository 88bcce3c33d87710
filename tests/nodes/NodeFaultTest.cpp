// Each fault changes exactly what it names: one script of requests, run
// against an ideal node and a node with the fault, differs only in the steps
// the fault names; and the fault names parse as the descriptions write them.
#include <gtest/gtest.h>

#include <set>

#include "NodeTestSupport.h"

namespace NodeTest {
namespace {

using SimNodes::SimNode;

/// The script's steps.
enum Step : int {
  kUdid, kAssign, kScmUdidStep, kVendor, kProduct, kRevision, kChecksum, kTimestampRead,
  kSetOp1, kSetOp2, kGuard, kVendorAgain, kPreload, kStepCount
};

Bytes ScriptRequest(int step) {
  switch (step) {
    case kUdid: return Snmt(0x28, {});
    case kAssign: return Snmt(0x2A, Bytes(kNodeUdid.begin(), kNodeUdid.end()));
    case kScmUdidStep: {
      Bytes p{0x0E};
      p.insert(p.end(), kScmUdid.begin(), kScmUdid.end());
      return Service(p);
    }
    case kVendor: return Ssdo(WithIndex(0x20, 0x1018, 1), 1);
    case kProduct: return Ssdo(WithIndex(0x20, 0x1018, 2), 2);
    case kRevision: return Ssdo(WithIndex(0x20, 0x1018, 3), 3);
    case kChecksum: return Ssdo(WithIndex(0x20, 0x1018, 6), 4);
    case kTimestampRead: return Ssdo(WithIndex(0x20, 0x1018, 7), 5);
    case kSetOp1:
    case kSetOp2: return SetOp();
    case kGuard: return Service({0x08});
    case kVendorAgain: return Ssdo(WithIndex(0x20, 0x1018, 1), 6);
    case kPreload: {
      Bytes init = SegmentedInitiate(0x2B, 40, 14, 1);
      return Ssdo(init, 7, true);
    }
    default: return {};
  }
}

/// Runs the script; one text per step ("none" or the answer's fields).
std::vector<std::string> RunScript(SimNode& node) {
  std::vector<std::string> out;
  for (int step = 0; step < kStepCount; ++step) {
    const std::optional<Bytes> a = node.Receive(ScriptRequest(step), {static_cast<u64>(step), 0});
    if (!a) {
      out.emplace_back("none");
      continue;
    }
    EXPECT_LE(a->size(), 37u);
    const TestFrames::ParsedFrame p = Parse(*a);
    std::string text = std::to_string(p.id) + "/" + std::to_string(p.ct) + "/" + std::to_string(p.tr) + ":";
    for (u8 b : p.payload) {
      text += std::to_string(b) + ",";
    }
    out.push_back(text + (p.ok ? "" : "bad"));
  }
  return out;
}

struct FaultCase {
  const char* name;          ///< case name
  const char* fault;         ///< the fault as written
  std::set<int> differing;   ///< steps whose answer differs from the ideal node's
};

std::set<int> From(int first) {
  std::set<int> s;
  for (int i = first; i < kStepCount; ++i) s.insert(i);
  return s;
}

class FaultTable : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTable, ChangesOnlyWhatItNames) {
  const FaultCase& c = GetParam();
  SimNode ideal(DefaultConfig());
  SimNodes::NodeConfig config = DefaultConfig();
  ASSERT_EQ(SimNodes::ApplyFault(c.fault, config.faults), "");
  SimNode faulty(config);
  const std::vector<std::string> want = RunScript(ideal);
  const std::vector<std::string> got = RunScript(faulty);
  std::set<int> differing;
  for (int i = 0; i < kStepCount; ++i) {
    if (want[i] != got[i]) differing.insert(i);
  }
  EXPECT_EQ(differing, c.differing);
  const std::string base = std::string(c.fault).substr(0, std::string(c.fault).find('='));
  for (const auto& [name, count] : faulty.Record().faultsApplied) {
    EXPECT_EQ(name, base);
    EXPECT_GT(count, 0u);
  }
  EXPECT_EQ(faulty.Record().faultsApplied.count(base), 1u);
  EXPECT_TRUE(ideal.Record().faultsApplied.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTable,
    ::testing::Values(
        FaultCase{"Silent", "silent", From(0)}, FaultCase{"SilentAfter3", "silent-after=3", From(kVendor)},
        FaultCase{"SilentAfterOp", "silent-after-op", From(kSetOp2)},
        FaultCase{"WrongVendor", "wrong-vendor", {kVendor, kVendorAgain}},
        FaultCase{"WrongProduct", "wrong-product", {kProduct}},
        FaultCase{"WrongRevision", "wrong-revision", {kRevision}},
        FaultCase{"WrongChecksum", "wrong-checksum", {kChecksum}},
        FaultCase{"WrongTimestamp", "wrong-timestamp", {kTimestampRead, kSetOp1, kSetOp2, kGuard}},
        FaultCase{"ShortTimestamp", "short-timestamp", {kTimestampRead}},
        FaultCase{"UdidMismatch", "udid-mismatch", From(kUdid)},
        FaultCase{"Busy2", "busy=2", {kSetOp1, kSetOp2, kGuard}},
        FaultCase{"Busy1", "busy=1", {kSetOp1}},
        FaultCase{"AlwaysBusy", "always-busy", {kSetOp1, kSetOp2, kGuard}},
        FaultCase{"SnFailOnce", "sn-fail=6/2", {kSetOp1}},
        FaultCase{"SnFailAlways", "sn-fail-always=6/2", {kSetOp1, kSetOp2, kGuard}},
        FaultCase{"PreloadRefused", "preload-refused", {kPreload}},
        FaultCase{"Oversize", "oversize", {kVendor, kProduct, kRevision, kChecksum, kTimestampRead, kVendorAgain}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NodeFaults, UdidMismatchAnswersTheUdidRequestWithTheDeviceUdid) {
  SimNodes::NodeConfig config = DefaultConfig();
  config.faults.udidMismatch = true;
  SimNode node(config);
  const auto a = node.Receive(Snmt(0x28, {}), {});
  ASSERT_TRUE(a);
  const Udid device = SimNodes::DeviceUdid(config);
  EXPECT_NE(device, kNodeUdid);
  EXPECT_EQ(Parse(*a).payload, Bytes(device.begin(), device.end()));
  // The assignment with the device's own UDID is taken, as after an operator acknowledge.
  EXPECT_TRUE(node.Receive(Snmt(0x2A, Bytes(device.begin(), device.end())), {}));
}

TEST(NodeFaults, SnFailWaitsForItsOwnAcknowledge) {
  SimNodes::NodeConfig config = DefaultConfig();
  ASSERT_EQ(SimNodes::ApplyFault("sn-fail=0x30/7", config.faults), "");
  SimNode node(config);
  Configure(node);
  const auto a = node.Receive(SetOp(), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(Parse(*a).payload, (Bytes{0x07, 0x30, 0x07}));
  ASSERT_TRUE(node.Record().pendingSnFail);
  EXPECT_FALSE(node.Receive(Service({0x0C, 0x30, 0x07}), {}));
  EXPECT_FALSE(node.Record().pendingSnFail);
}

TEST(NodeFaults, AdditionalSetAskedBySnFailGroup5UntilItArrives) {
  SimNodes::NodeConfig config = DefaultConfig();
  config.askAdditional = SimNodes::AdditionalSetAsk{0x01, Bytes(15, 0xE1)};
  SimNode node(config);
  Configure(node);
  auto a = node.Receive(SetOp(), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(Parse(*a).payload, (Bytes{0x07, 0x05, 0x01}));
  EXPECT_FALSE(node.Receive(Service({0x0C, 0x05, 0x01}), {}));
  EXPECT_EQ(node.Record().acksAccepted, 1u);
  // Other bytes do not satisfy it, nor change the parameter checksum.
  Bytes init = SegmentedInitiate(0x29, 15, 4, 0xE2);
  ASSERT_TRUE(node.Receive(Ssdo(init, 1), {}));
  Bytes last{0x59};
  last.insert(last.end(), 11, 0xE2);
  ASSERT_TRUE(node.Receive(Ssdo(last, 2), {}));
  EXPECT_EQ(node.Record().downloadsComplete, 1u);
  EXPECT_EQ(node.Checksum(), config.checksum);
  a = node.Receive(SetOp(), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(Parse(*a).payload, (Bytes{0x07, 0x05, 0x01}));
  // The expected set satisfies it.
  init = SegmentedInitiate(0x29, 15, 4, 0xE1);
  ASSERT_TRUE(node.Receive(Ssdo(init, 3), {}));
  std::fill(last.begin() + 1, last.end(), 0xE1);
  ASSERT_TRUE(node.Receive(Ssdo(last, 4), {}));
  EXPECT_EQ(node.Record().additionalSetsReceived, 1u);
  a = node.Receive(SetOp(), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(Parse(*a).payload, Bytes{0x03});
  EXPECT_EQ(node.Checksum(), config.checksum);
  EXPECT_EQ(node.Timestamp(), config.timestamp);
}

struct ParseCase {
  const char* text;   ///< the fault as written
  bool ok;            ///< accepted
};

class FaultNameTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(FaultNameTable, ParsesOrNamesTheFault) {
  SimNodes::NodeFaults faults;
  const std::string error = SimNodes::ApplyFault(GetParam().text, faults);
  if (GetParam().ok) {
    EXPECT_EQ(error, "");
    const std::vector<std::string> described = SimNodes::DescribeFaults(faults);
    ASSERT_EQ(described.size(), 1u);
    SimNodes::NodeFaults again;
    EXPECT_EQ(SimNodes::ApplyFault(described[0], again), "");
    EXPECT_EQ(SimNodes::DescribeFaults(again), described);
  } else {
    EXPECT_NE(error.find(GetParam().text), std::string::npos) << error;
  }
}

INSTANTIATE_TEST_SUITE_P(Names, FaultNameTable,
                         ::testing::Values(ParseCase{"silent", true}, ParseCase{"silent-after=0", true},
                                           ParseCase{"silent-after-op", true}, ParseCase{"wrong-vendor", true},
                                           ParseCase{"wrong-product", true}, ParseCase{"wrong-revision", true},
                                           ParseCase{"wrong-checksum", true}, ParseCase{"wrong-timestamp", true},
                                           ParseCase{"short-timestamp", true},
                                           ParseCase{"udid-mismatch", true}, ParseCase{"busy=4", true},
                                           ParseCase{"always-busy", true}, ParseCase{"sn-fail=5/0xF0", true},
                                           ParseCase{"sn-fail-always=6/1", true},
                                           ParseCase{"preload-refused", true}, ParseCase{"oversize", true},
                                           ParseCase{"loud", false}, ParseCase{"busy", false},
                                           ParseCase{"busy=x", false}, ParseCase{"busy=-1", false},
                                           ParseCase{"silent=2", false}, ParseCase{"sn-fail=6", false},
                                           ParseCase{"sn-fail=256/1", false}, ParseCase{"wrong-vendor=1", false}));

TEST(NodeFaults, EveryNameIsListed) {
  EXPECT_EQ(SimNodes::AllFaultNames().size(), 16u);
}

// Each listed usage names one fault, in the order of the names, and its
// written form is accepted (values filled in); an unknown name is told them all.
TEST(NodeFaults, EveryUsageNamesItsFaultAndAnUnknownNameListsThem) {
  const auto& usages = SimNodes::FaultUsages();
  ASSERT_EQ(usages.size(), SimNodes::AllFaultNames().size());
  for (size_t i = 0; i < usages.size(); ++i) {
    const std::string form(usages[i].form);
    EXPECT_EQ(form.substr(0, form.find('=')), SimNodes::AllFaultNames()[i]);
    std::string written = form;
    for (const auto& [placeholder, value] : {std::pair<std::string, std::string>{"=K", "=3"}, {"=N", "=2"},
                                             {"=G/C", "=6/2"}}) {
      if (written.size() > placeholder.size() &&
          written.compare(written.size() - placeholder.size(), placeholder.size(), placeholder) == 0) {
        written.replace(written.size() - placeholder.size(), placeholder.size(), value);
      }
    }
    SimNodes::NodeFaults f;
    EXPECT_EQ(SimNodes::ApplyFault(written, f), "") << written;
    EXPECT_FALSE(usages[i].meaning.empty());
  }
  SimNodes::NodeFaults f;
  EXPECT_EQ(SimNodes::ApplyFault("loud", f),
            "fault \"loud\": unknown fault; the valid ones: silent, silent-after=K, silent-after-op, wrong-vendor, "
            "wrong-product, wrong-revision, wrong-checksum, wrong-timestamp, short-timestamp, udid-mismatch, busy=N, "
            "always-busy, sn-fail=G/C, sn-fail-always=G/C, preload-refused, oversize");
}

}  // namespace
}  // namespace NodeTest
