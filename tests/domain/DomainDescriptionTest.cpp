// Domain descriptions: contradictions refused with the field named, defaults,
// the shipped default domain, fault options and the written form read back.
#include <gtest/gtest.h>

#include <algorithm>

#include "DomainDescription.h"
#include "FrameNetwork.h"

namespace {

using SimDomain::Domain;
using SimDomain::LoadResult;
using SimDomain::ParseDomain;

/// A valid two-node description to which a case adds its lines.
std::string TwoNodes(const std::string& top, const std::string& node2 = "") {
  return "sdn = 9\n" + top + "\n[[node]]\nsadr = 1\n[[node]]\nsadr = 5\n" + node2;
}

struct RefusalCase {
  const char* name;     ///< case name
  std::string text;     ///< the description
  const char* field;    ///< the field the message must name
};

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, AreRefusedNamingTheField) {
  const LoadResult r = ParseDomain(GetParam().text, "case.toml");
  EXPECT_FALSE(r.domain);
  EXPECT_NE(r.error.find(GetParam().field), std::string::npos) << r.error;
}

INSTANTIATE_TEST_SUITE_P(
    Domain, Refusals,
    ::testing::Values(
        RefusalCase{"Syntax", "sdn = = 3", "case.toml:1"},
        RefusalCase{"SdnZero", "sdn = 0\n[[node]]\nsadr = 2\n", "sdn"},
        RefusalCase{"SdnHigh", "sdn = 1024\n[[node]]\nsadr = 2\n", "sdn"},
        RefusalCase{"SdnNotInteger", "sdn = \"one\"\n[[node]]\nsadr = 2\n", "sdn"},
        RefusalCase{"QorUdidShort", "qor_udid = \"02-5C\"\n[[node]]\nsadr = 2\n", "qor_udid"},
        RefusalCase{"QorUdidZero", "qor_udid = \"00-00-00-00-00-00\"\n[[node]]\nsadr = 2\n", "qor_udid"},
        RefusalCase{"QorUdidNotHex", "qor_udid = \"02-5C-3E-10-20-XY\"\n[[node]]\nsadr = 2\n", "qor_udid"},
        RefusalCase{"UnknownTopKey", "colour = 3\n[[node]]\nsadr = 2\n", "colour"},
        RefusalCase{"KeyMediumUnknown", "[install]\nkey_medium = \"lost\"\n[[node]]\nsadr = 2\n", "install.key_medium"},
        RefusalCase{"CpuUnknown", "[install]\ncpu = \"lost\"\n[[node]]\nsadr = 2\n",
                    "install.cpu: must be \"accepted\" or \"exchanged\""},
        RefusalCase{"InstallNotTable", "install = 3\n[[node]]\nsadr = 2\n", "install"},
        RefusalCase{"InstallUnknownKey", "[install]\ncolour = 1\n[[node]]\nsadr = 2\n", "colour"},
        RefusalCase{"NoNodes", "sdn = 3\n", "node"},
        RefusalCase{"ThirteenNodes",
                    [] {
                      std::string t;
                      for (int i = 2; i <= 14; ++i) t += "[[node]]\nsadr = " + std::to_string(i) + "\n";
                      return t;
                    }(),
                    "node"},
        RefusalCase{"ReleaseUnknown", "release = \"newest\"\n[[node]]\nsadr = 2\n", "case.toml: release: must be"},
        RefusalCase{"OlderWith102Nodes",
                    [] {
                      std::string t = "release = \"older\"\n";
                      for (int i = 2; i <= 103; ++i) t += "[[node]]\nsadr = " + std::to_string(i) + "\n";
                      return t;
                    }(),
                    "case.toml: node: 102 nodes, the domain holds 1..101 (release \"older\")"},
        RefusalCase{"SadrMissing", "[[node]]\nvendor_id = 1\n", "case.toml: node(number 1 in the file).sadr: missing"},
        RefusalCase{"MarkNotBoolean", "[[node]]\nsadr = 2\noptional = 1\n", "case.toml: node(SADR 2).optional"},
        RefusalCase{"SadrZero", "[[node]]\nsadr = 0\n", "node(number 1 in the file).sadr: 0 is outside 1..1023"},
        RefusalCase{"DuplicateSadr", TwoNodes("", "[[node]]\nsadr = 5\n"), "node(SADR 5).sadr: 5 is also the SADR of an earlier node"},
        RefusalCase{"DuplicatePosition", TwoNodes("", "[[node]]\nsadr = 6\n[node.device]\nposition = 5\n"),
                    "node(SADR 6).device.position: 5 is taken by node(SADR 5)"},
        RefusalCase{"PositionHigh", TwoNodes("", "[[node]]\nsadr = 6\n[node.device]\nposition = 1024\n"),
                    "node(SADR 6).device.position: 1024 is outside 1..1023"},
        RefusalCase{"DuplicateUdid", TwoNodes("", "[[node]]\nsadr = 6\nudid = \"02-5C-3E-A0-00-05\"\n"),
                    "node(SADR 6).udid: 02-5C-3E-A0-00-05 is taken by node(SADR 5)"},
        RefusalCase{"QorNodeOtherUdid", "[[node]]\nsadr = 1\nudid = \"02-5C-3E-A0-00-01\"\n", "node(SADR 1).udid"},
        RefusalCase{"QorDeviceOtherUdid", "[[node]]\nsadr = 1\n[node.device]\nudid = \"02-5C-3E-A0-00-01\"\n",
                    "node(SADR 1).device.udid"},
        RefusalCase{"UnknownFault", TwoNodes("", "[[node]]\nsadr = 6\nfaults = [\"loud\"]\n"), "node(SADR 6).faults"},
        RefusalCase{"FaultBadValue", TwoNodes("", "[[node]]\nsadr = 6\nfaults = [\"busy=x\"]\n"),
                    "node(SADR 6).faults"},
        RefusalCase{"FaultForMissingNode", TwoNodes("faults = [\"7:silent\"]"), "faults"},
        RefusalCase{"UnknownDomainFault", TwoNodes("faults = [\"5:loud\"]"), "faults"},
        RefusalCase{"FaultWithoutSadr", TwoNodes("faults = [\"silent\"]"), "faults"},
        RefusalCase{"PayloadLow", TwoNodes("", "[[node]]\nsadr = 6\npayload_length = 7\n"),
                    "node(SADR 6).payload_length: 7 is outside 8..254 bytes"},
        RefusalCase{"PayloadLimitHigh", TwoNodes("", "[[node]]\nsadr = 6\n[node.device]\npayload_limit = 255\n"),
                    "node(SADR 6).device.payload_limit: 255 is outside 8..254 bytes"},
        RefusalCase{"WindowZero", TwoNodes("", "[[node]]\nsadr = 6\n[node.device]\npreload_window = 0\n"),
                    "node(SADR 6).device.preload_window: 0 is outside 1..15 segments"},
        RefusalCase{"WindowHigh", TwoNodes("", "[[node]]\nsadr = 6\n[node.device]\npreload_window = 16\n"),
                    "node(SADR 6).device.preload_window"},
        RefusalCase{"VendorNegative", TwoNodes("", "[[node]]\nsadr = 6\nvendor_id = -1\n"), "node(SADR 6).vendor_id"},
        RefusalCase{"VendorZero", TwoNodes("", "[[node]]\nsadr = 6\nvendor_id = 0\n"), "node(SADR 6).vendor_id"},
        RefusalCase{"ProductZero", TwoNodes("", "[[node]]\nsadr = 6\nproduct_code = 0\n"), "node(SADR 6).product_code"},
        RefusalCase{"RevisionMinorZero", TwoNodes("", "[[node]]\nsadr = 6\nrevision = 0x00010000\n"),
                    "node(SADR 6).revision"},
        RefusalCase{"RevisionMajorZero", TwoNodes("", "[[node]]\nsadr = 6\nrevision = 0x00000001\n"),
                    "node(SADR 6).revision"},
        RefusalCase{"TimestampHigh", TwoNodes("", "[[node]]\nsadr = 6\ntimestamp = 0x100000000\n"),
                    "node(SADR 6).timestamp"},
        RefusalCase{"ChecksumNotHex", TwoNodes("", "[[node]]\nsadr = 6\nchecksum = \"ABC\"\n"), "node(SADR 6).checksum"},
        RefusalCase{"UnknownNodeKey", TwoNodes("", "[[node]]\nsadr = 6\ncolour = 1\n"), "node(SADR 6).colour"},
        RefusalCase{"UnknownDeviceKey", TwoNodes("", "[[node]]\nsadr = 6\n[node.device]\ncolour = 1\n"),
                    "node(SADR 6).device.colour"},
        RefusalCase{"AskForMissingSet", TwoNodes("", "[[node]]\nsadr = 6\n[node.device]\nask_additional = 2\n"),
                    "node(SADR 6).device.ask_additional"},
        RefusalCase{"ResetGuardingNotBool",
                    TwoNodes("", "[[node]]\nsadr = 6\n[node.device]\nreset_guarding = 1\n"),
                    "node(SADR 6).device.reset_guarding"},
        RefusalCase{"LifeFactorZero", TwoNodes("[guarding]\nlife_factor = 0\n"), "case.toml: guarding.life_factor: 0 is outside 1..255 guard times"},
        RefusalCase{"GuardTimeZero", TwoNodes("[guarding]\ntime_us = 0\n"), "case.toml: guarding.time_us: 0 is outside 1..140737488355327 us"},
        // 4473924267 us are 2^32 CT ticks at time base 0: one more than 0x100C/1 holds
        RefusalCase{"GuardTimeBeyondTheObject", TwoNodes("[guarding]\ntime_us = 4473924267\n[scm]\ntime_base = 0\n"),
                    "guarding.time_us"},
        RefusalCase{"TimeBaseHigh", TwoNodes("[scm]\ntime_base = 4\n"), "scm.time_base"},
        RefusalCase{"TimeBaseNegative", TwoNodes("[scm]\ntime_base = -1\n"), "scm.time_base"},
        RefusalCase{"UnknownGuardingKey", TwoNodes("[guarding]\nperiod = 1\n"), "guarding.period"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TicksCase {
  u64 microseconds;         ///< the described span
  i32 timeBase;             ///< the domain's time base
  std::optional<u32> ticks; ///< CT ticks as written, none when refused
};

TEST(DomainDescription, MicrosecondsBecomeCtTicksRoundedUp) {
  const TicksCase cases[] = {
      {62500, 0, 60000},        {625000, 1, 60000},         {6250000, 2, 60000},     {62500000, 3, 60000},
      {625001, 1, 60001},       {1, 1, 1},                  {0, 2, 0},               {10000000, 2, 96000},
      {4473924266, 0, 0xFFFFFFFFu}, {4473924267, 0, std::nullopt}, {1000, 4, std::nullopt}, {1000, -1, std::nullopt},
  };
  for (const TicksCase& c : cases) {
    EXPECT_EQ(SimDomain::MicrosecondsToCtTicks(c.microseconds, c.timeBase), c.ticks)
        << c.microseconds << " us at time base " << c.timeBase;
  }
  // the domain's guard time at its time base
  SimDomain::Domain d = SimDomain::UniformDomain(1);
  d.guardTimeUs = 625000;
  d.scm.timeBase = 1;
  EXPECT_EQ(SimDomain::GuardTimeTicks(d), std::optional<u32>(60000));
}

TEST(DomainDescription, DefaultsApply) {
  const LoadResult r = ParseDomain("[[node]]\nsadr = 1\n[[node]]\nsadr = 7\n");
  ASSERT_TRUE(r.domain) << r.error;
  const Domain& d = *r.domain;
  EXPECT_EQ(d.sdn, SimDomain::DomainDefaults::Sdn);
  EXPECT_EQ(d.qorUdid, SimDomain::DomainDefaults::QorUdid);
  EXPECT_EQ(d.guardTimeUs, SimDomain::DomainDefaults::GuardTimeUs);
  EXPECT_EQ(d.lifeFactor, SimDomain::DomainDefaults::LifeFactor);
  ASSERT_EQ(d.nodes.size(), 2u);
  EXPECT_EQ(d.nodes[0].udid, d.qorUdid);
  const SimDomain::NodeEntry& n = d.nodes[1];
  EXPECT_EQ(n.productCode, SimDomain::DomainDefaults::ProductCodeBase + 7);
  EXPECT_EQ(n.payloadLength, SimDomain::DomainDefaults::PayloadLength);
  EXPECT_EQ(n.parameterSet.size(), SimDomain::DomainDefaults::ParameterSetSize);
  EXPECT_EQ(n.checksum.size(), 4u);
  // The set ends with the checksum record 0x1018/6 carrying the node list's checksum.
  const SimNodes::Bytes checksumRecord = {0x18, 0x10, 6, 4, 0, 0, 0, n.checksum[0], n.checksum[1], n.checksum[2],
                                          n.checksum[3]};
  EXPECT_EQ(SimNodes::Bytes(n.parameterSet.end() - 11, n.parameterSet.end()), checksumRecord);
  EXPECT_EQ(n.revision >> 16, 1u);
  EXPECT_EQ(n.revision & 0xFFFFu, 1u);
  // The device is what the node list expects.
  EXPECT_EQ(n.device.position, 7);
  EXPECT_EQ(n.device.udid, n.udid);
  EXPECT_EQ(n.device.vendorId, n.vendorId);
  EXPECT_EQ(n.device.productCode, n.productCode);
  EXPECT_EQ(n.device.revision, n.revision);
  EXPECT_EQ(n.device.checksum, n.checksum);
  EXPECT_EQ(n.device.timestamp, n.timestamp);
  EXPECT_FALSE(n.device.initialChecksum);
  EXPECT_FALSE(n.device.initialTimestamp);
  EXPECT_EQ(n.device.payloadLimit, n.payloadLength);
  EXPECT_EQ(n.device.preloadWindow, 1);
  EXPECT_EQ(n.device.busyAnswers, 0u);
  EXPECT_FALSE(n.device.resetGuarding);
  EXPECT_EQ(n.device.guardTimeUs, d.guardTimeUs);
  EXPECT_EQ(n.device.lifeFactor, d.lifeFactor);
  EXPECT_TRUE(SimNodes::DescribeFaults(n.device.faults).empty());
}

TEST(DomainDescription, DeviceFollowsChangedExpectationsUnlessGivenItself) {
  const LoadResult r = ParseDomain(
      "[[node]]\nsadr = 4\nvendor_id = 0x77\nparameter_set = \"01 02 03\"\npayload_length = 20\n"
      "[node.device]\nrevision = 9\ntimestamp = 5\nchecksum = \"EE\"\n");
  ASSERT_TRUE(r.domain) << r.error;
  const SimDomain::NodeEntry& n = r.domain->nodes[0];
  EXPECT_EQ(n.device.vendorId, 0x77u);
  EXPECT_EQ(n.device.parameterSet, (SimDomain::Bytes{1, 2, 3}));
  EXPECT_EQ(n.device.payloadLimit, 20);
  EXPECT_EQ(n.device.revision, 9u);
  EXPECT_NE(n.revision, 9u);
  EXPECT_EQ(n.device.initialTimestamp, 5u);
  EXPECT_EQ(n.device.initialChecksum, SimDomain::Bytes{0xEE});
  // A checksum left out with a given set is the set's CRC-32.
  EXPECT_EQ(n.checksum.size(), 4u);
  EXPECT_NE(n.checksum, SimDomain::DefaultNode(4).checksum);
}

TEST(DomainDescription, FaultsFromNodeDomainAndOption) {
  LoadResult r = ParseDomain(TwoNodes("faults = [\"5:sn-fail=6/2\"]", "[[node]]\nsadr = 8\nfaults = [\"silent\"]\n"));
  ASSERT_TRUE(r.domain) << r.error;
  Domain& d = *r.domain;
  EXPECT_EQ(SimNodes::DescribeFaults(d.nodes[1].device.faults), std::vector<std::string>{"sn-fail=6/2"});
  EXPECT_EQ(SimNodes::DescribeFaults(d.nodes[2].device.faults), std::vector<std::string>{"silent"});
  EXPECT_EQ(SimDomain::ApplyFaultOption(d, "1:wrong-vendor"), "");
  EXPECT_TRUE(d.nodes[0].device.faults.wrongVendor);
  EXPECT_NE(SimDomain::ApplyFaultOption(d, "2:wrong-vendor").find("no node has SADR 2"), std::string::npos);
  EXPECT_NE(SimDomain::ApplyFaultOption(d, "x:silent").find("no SADR"), std::string::npos);
  EXPECT_NE(SimDomain::ApplyFaultOption(d, "1:loud").find("unknown fault"), std::string::npos);
}

TEST(DomainDescription, AdditionalSetAskTakesTheSetAsItArrives) {
  const std::string set20 = "\"01 01 06 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10\"";
  LoadResult r = ParseDomain("[[node]]\nsadr = 6\nadditional_sets = [" + set20 + "]\n[node.device]\nask_additional = 1\n");
  ASSERT_TRUE(r.domain) << r.error;
  ASSERT_TRUE(r.domain->nodes[0].device.askAdditional);
  EXPECT_EQ(r.domain->nodes[0].device.askAdditional->expected.size(), 16u);
  r = ParseDomain("[[node]]\nsadr = 6\nadditional_sets = [" + set20 + "]\n[node.device]\nask_additional = 0xF1\n");
  ASSERT_TRUE(r.domain) << r.error;
  EXPECT_EQ(r.domain->nodes[0].device.askAdditional->expected.size(), 16u + 20u);  // entry header + payload
}

TEST(DomainDescription, WrittenFormReadsBackTheSame) {
  Domain d = SimDomain::UniformDomain(4, 33);
  d.nodes[2].device.faults.busyAnswers = 3;
  d.nodes[2].device.initialChecksum = SimDomain::Bytes{1, 2};
  d.nodes[3].additionalSets.push_back(SimDomain::Bytes(16, 0x44));
  d.nodes[3].additionalSetTimestamps.push_back(0x5A5A0001);
  d.nodes[3].device.askAdditional = SimNodes::AdditionalSetAsk{1, SimDomain::Bytes(16, 0x44)};
  d.nodes[1].device.preloadWindow = 4;
  d.nodes[0].optional = true;
  d.nodes[1].requiredAtStartup = true;
  d.nodes[2].notProcessed = true;
  d.nodes[3].autoConfigured = true;
  d.keyMedium = SimDomain::KeyMedium::OtherController;
  d.cpu = SimDomain::InstalledCpu::Exchanged;
  const std::string text = SimDomain::WriteDomain(d);
  const LoadResult r = ParseDomain(text);
  ASSERT_TRUE(r.domain) << r.error << "\n" << text;
  EXPECT_EQ(SimDomain::WriteDomain(*r.domain), text);
  EXPECT_EQ(r.domain->sdn, 33);
  EXPECT_TRUE(r.domain->nodes[0].optional);
  EXPECT_TRUE(r.domain->nodes[1].requiredAtStartup);
  EXPECT_TRUE(r.domain->nodes[2].notProcessed);
  EXPECT_TRUE(r.domain->nodes[3].autoConfigured);
  EXPECT_EQ(r.domain->keyMedium, SimDomain::KeyMedium::OtherController);
  EXPECT_EQ(r.domain->cpu, SimDomain::InstalledCpu::Exchanged);
  EXPECT_EQ(r.domain->release, SimDomain::Release::Current);
  EXPECT_FALSE(r.domain->nodes[3].optional || r.domain->nodes[3].requiredAtStartup || r.domain->nodes[3].notProcessed);
}

TEST(DomainDescription, UniformDomainsHoldForOneToTwelveNodes) {
  for (u16 n = 1; n <= 12; ++n) {
    const Domain d = SimDomain::UniformDomain(n);
    EXPECT_EQ(SimDomain::ValidateDomain(d), "") << n;
    EXPECT_EQ(d.nodes.size(), n);
    EXPECT_EQ(d.nodes[0].udid, d.qorUdid);
  }
  EXPECT_NE(SimDomain::ValidateDomain(SimDomain::UniformDomain(13)), "");
}

TEST(DomainDescription, TheOlderReleaseHoldsUpTo101NodesAndReadsBack) {
  Domain d = SimDomain::UniformDomain(101, 5, SimDomain::Release::Older);
  d.keyMedium = SimDomain::KeyMedium::FreshController;
  EXPECT_EQ(SimDomain::ValidateDomain(d), "");
  const std::string text = SimDomain::WriteDomain(d);
  const LoadResult r = ParseDomain(text);
  ASSERT_TRUE(r.domain) << r.error;
  EXPECT_EQ(r.domain->release, SimDomain::Release::Older);
  EXPECT_EQ(r.domain->keyMedium, SimDomain::KeyMedium::FreshController);
  EXPECT_EQ(r.domain->cpu, SimDomain::InstalledCpu::Accepted);
  EXPECT_EQ(r.domain->nodes.size(), 101u);
  EXPECT_EQ(r.domain->nodes.back().sadr, 101);
  EXPECT_EQ(SimDomain::WriteDomain(*r.domain), text);
  // the same nodes are too many for the current release
  d.release = SimDomain::Release::Current;
  EXPECT_EQ(SimDomain::ValidateDomain(d), "node: 101 nodes, the domain holds 1..12 (release \"older\": 1..101)");
  EXPECT_EQ(SimDomain::ValidateDomain(SimDomain::UniformDomain(102, 5, SimDomain::Release::Older)),
            "node: 102 nodes, the domain holds 1..101 (release \"older\")");
}

TEST(DomainDescription, ShippedDefaultDomainHoldsTheRoadsItPromises) {
  const LoadResult r = SimDomain::LoadDomainFile(SimDomain::DefaultDomainPath());
  ASSERT_TRUE(r.domain) << r.error;
  const Domain& d = *r.domain;
  bool downloadRoad = false;
  bool additional = false;
  for (const SimDomain::NodeEntry& n : d.nodes) {
    downloadRoad = downloadRoad || n.device.faults.wrongChecksum;
    additional = additional || n.device.askAdditional.has_value();
  }
  EXPECT_TRUE(downloadRoad);
  EXPECT_TRUE(additional);
  EXPECT_GE(d.nodes.size(), 3u);
}

TEST(DomainDescription, MissingFileIsNamed) {
  const LoadResult r = SimDomain::LoadDomainFile("/nonexistent/domain.toml");
  EXPECT_FALSE(r.domain);
  EXPECT_NE(r.error.find("/nonexistent/domain.toml"), std::string::npos);
}

}  // namespace

namespace {

TEST(Scenarios, ShippedScenariosApplyToTheDefaultDomain) {
  const SimDomain::ScenarioResult s = SimDomain::LoadScenarioFile(SimDomain::DefaultScenariosPath());
  ASSERT_EQ(s.error, "");
  ASSERT_GE(s.scenarios.size(), 5u);
  for (const SimDomain::Scenario& sc : s.scenarios) {
    SimDomain::LoadResult d =
        SimDomain::LoadDomainFile(sc.domain.empty() ? SimDomain::DefaultDomainPath() : sc.domain);
    ASSERT_TRUE(d.domain) << sc.name << ": " << d.error;
    for (const std::string& f : sc.faults) {
      EXPECT_EQ(SimDomain::ApplyFaultOption(*d.domain, f), "") << sc.name << ": " << f;
    }
    EXPECT_EQ(SimDomain::ValidateDomain(*d.domain), "") << sc.name;
    for (const std::string& w : sc.wireFaults) {
      ScmSim::WireFaultPlan plan;
      EXPECT_EQ(ScmSim::ParseWireFault(w, plan), "") << sc.name << ": " << w;
    }
  }
  EXPECT_EQ(s.scenarios[0].name, "all-good");
  EXPECT_TRUE(s.scenarios[0].operational);
  // A scenario with a description of its own: node 2 is not processed.
  const auto own = std::find_if(s.scenarios.begin(), s.scenarios.end(),
                                [](const SimDomain::Scenario& sc) { return sc.name == "not-processed"; });
  ASSERT_NE(own, s.scenarios.end());
  const SimDomain::LoadResult d = SimDomain::LoadDomainFile(own->domain);
  ASSERT_TRUE(d.domain) << d.error;
  ASSERT_GE(d.domain->nodes.size(), 2u);
  EXPECT_TRUE(d.domain->nodes[1].notProcessed);
  EXPECT_FALSE(own->operational);
}

TEST(Scenarios, MissingFileIsNamed) {
  const SimDomain::ScenarioResult s = SimDomain::LoadScenarioFile("/nonexistent/scenarios.toml");
  EXPECT_NE(s.error.find("/nonexistent/scenarios.toml"), std::string::npos) << s.error;
}

}  // namespace
