// The domain a run takes: the shipped default, a uniform domain, a description
// file, the command line's faults, and every refusal before anything starts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "DemoDomain.h"

#ifdef SCM_DEMO_HAVE_DOMAIN

namespace {

using ScmDemo::DemoOptions;
using ScmDemo::DomainPlan;

const std::vector<uint8_t>* File(const DomainPlan& plan, const std::string& name) {
  for (const auto& [n, bytes] : plan.files) {
    if (n == name) return &bytes;
  }
  return nullptr;
}

class DemoDomainTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!file_.empty()) std::filesystem::remove(file_);
  }
  std::string Write(const std::string& text) {
    file_ = "/tmp/scmdemo-domain-" + std::to_string(getpid()) + ".toml";
    std::ofstream(file_) << text;
    return file_;
  }
  std::string file_;  ///< a description written by the test
};

TEST_F(DemoDomainTest, DefaultDomainGivesItsNodesAndFiles) {
  DomainPlan plan;
  ASSERT_EQ(ScmDemo::PlanDomain(DemoOptions{}, plan), "");
  EXPECT_NE(plan.source.find("default"), std::string::npos) << plan.source;
  EXPECT_FALSE(plan.nodes.empty());
  EXPECT_EQ(plan.nodes[0].sadr, 1);
  ASSERT_NE(File(plan, "KEL_PARA.SAF"), nullptr);
  EXPECT_FALSE(File(plan, "KEL_PARA.SAF")->empty());
  ASSERT_NE(File(plan, "CORVANE.DAT"), nullptr);
  EXPECT_FALSE(plan.descriptionText.empty());
}

TEST_F(DemoDomainTest, UniformDomainOfNNodes) {
  for (unsigned n : {1u, 4u, 12u, 13u, 101u}) {
    DemoOptions options;
    options.nodes = n;
    options.legacy = n > 12;
    DomainPlan plan;
    ASSERT_EQ(ScmDemo::PlanDomain(options, plan), "") << n;
    ASSERT_EQ(plan.nodes.size(), n);
    for (unsigned i = 0; i < n; ++i) {
      EXPECT_EQ(plan.nodes[i].sadr, i + 1);
      EXPECT_TRUE(plan.nodes[i].faults.empty());
    }
    EXPECT_EQ(plan.sdn, 1);
  }
}

TEST_F(DemoDomainTest, AnOlderDomainWritesVariableFourInsteadOfFlashAreaSixteen) {
  struct Case {
    const char* name;              ///< the domain
    std::string text;              ///< its description; empty: --legacy on the default domain
    bool flash;                    ///< flash area 16 present
    std::vector<uint8_t> variable; ///< Qor variable 4 (empty: none)
  };
  DomainPlan current;
  ASSERT_EQ(ScmDemo::PlanDomain(DemoOptions{}, current), "");
  ASSERT_TRUE(current.flash.has_value());
  const std::vector<uint8_t> identity = *current.flash;
  ASSERT_EQ(identity.size(), 18u);
  ASSERT_NE(File(current, "corvane.uid"), nullptr);
  EXPECT_EQ(*File(current, "corvane.uid"), identity);
  std::vector<uint8_t> other = identity;
  other[9] ^= 0xFF;
  other[10] ^= 0xFF;
  const Case cases[] = {
      {"installed, by --legacy", "", false, identity},
      {"installed, by its release", "release = \"older\"\n[[node]]\nsadr = 1\n", false, identity},
      {"another controller's", "release = \"older\"\n[install]\nkey_medium = \"other-controller\"\n[[node]]\nsadr = 1\n",
       false, other},
      {"a fresh controller", "release = \"older\"\n[install]\nkey_medium = \"fresh-controller\"\n[[node]]\nsadr = 1\n",
       false, std::vector<uint8_t>(18, 0)},
      {"a fresh current controller", "[install]\nkey_medium = \"fresh-controller\"\n[[node]]\nsadr = 1\n", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DemoOptions options;
    if (c.text.empty()) {
      options.legacy = true;
    } else {
      options.description = Write(c.text);
    }
    DomainPlan plan;
    ASSERT_EQ(ScmDemo::PlanDomain(options, plan), "");
    EXPECT_EQ(plan.legacy, std::string(c.name).find("current") == std::string::npos);
    EXPECT_EQ(plan.flash.has_value(), c.flash);
    EXPECT_EQ(plan.qorVariable4.value_or(std::vector<uint8_t>{}), c.variable);
    EXPECT_EQ(File(plan, "PARDATA1.BIN"), nullptr) << "the older layout has none, nor these domains";
  }
}

// "fwrevcnf.bin" and its ".chk" accept the host's CPU, or with an exchanged CPU the one it replaced
// (the ".chk" complemented); the key medium stays this one's either way.
TEST_F(DemoDomainTest, TheInstalledFilesAcceptTheHostsCpuOrTheOneItReplaced) {
  const std::vector<uint8_t> host = {0x45, 0x23, 0x01, 0x00, 0xEE, 0xFF, 0xC0, 0x00};
  const std::vector<uint8_t> replaced(ScmDemo::kReplacedTargetId.begin(), ScmDemo::kReplacedTargetId.end());
  const auto complemented = [](std::vector<uint8_t> bytes) {
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(~b);
    return bytes;
  };
  const auto holds = [](const std::vector<uint8_t>* file, const std::vector<uint8_t>& bytes) {
    return file != nullptr && std::search(file->begin(), file->end(), bytes.begin(), bytes.end()) != file->end();
  };
  struct Case {
    const char* install;          ///< the description's [install] table
    std::vector<uint8_t> target;  ///< the target id the files accept
    std::vector<uint8_t> other;   ///< the one they do not
  };
  const Case cases[] = {
      {"", host, replaced},
      {"[install]\ncpu = \"accepted\"\n", host, replaced},
      {"[install]\ncpu = \"exchanged\"\n", replaced, host},
  };
  for (const Case& c : cases) {
    for (const char* release : {"current", "older"}) {
      SCOPED_TRACE(std::string(c.install) + release);
      DemoOptions options;
      options.description =
          Write(std::string("release = \"") + release + "\"\n" + c.install + "[[node]]\nsadr = 1\n[[node]]\nsadr = 2\n");
      DomainPlan plan;
      ASSERT_EQ(ScmDemo::PlanDomain(options, plan), "");
      const std::vector<uint8_t>* plain = File(plan, "fwrevcnf.bin");
      const std::vector<uint8_t>* chk = File(plan, "fwrevcnf.bin.chk");
      EXPECT_TRUE(holds(plain, c.target));
      EXPECT_FALSE(holds(plain, c.other));
      EXPECT_TRUE(holds(chk, complemented(c.target)));
      EXPECT_FALSE(holds(chk, complemented(c.other)));
      // the controller's copy of the key-medium identity is "corvane.uid" as ever
      const std::optional<std::vector<uint8_t>>& copy = plan.legacy ? plan.qorVariable4 : plan.flash;
      ASSERT_TRUE(copy.has_value());
      ASSERT_NE(File(plan, "corvane.uid"), nullptr);
      EXPECT_EQ(*copy, *File(plan, "corvane.uid"));
    }
  }
}

TEST_F(DemoDomainTest, FaultsFromTheCommandLineReachTheirNode) {
  DemoOptions options;
  options.nodes = 3;
  options.faults = {{2, "wrong-vendor"}, {3, "busy=2"}};
  DomainPlan plan;
  ASSERT_EQ(ScmDemo::PlanDomain(options, plan), "");
  EXPECT_TRUE(plan.nodes[0].faults.empty());
  EXPECT_EQ(plan.nodes[1].faults, std::vector<std::string>{"wrong-vendor"});
  EXPECT_EQ(plan.nodes[2].faults, std::vector<std::string>{"busy=2"});
}

TEST_F(DemoDomainTest, DescriptionFileSetsDomainAndQorUdid) {
  DemoOptions options;
  options.description = Write("sdn = 9\nqor_udid = \"02-5C-3E-01-02-03\"\n[[node]]\nsadr = 1\n[[node]]\nsadr = 5\n");
  DomainPlan plan;
  ASSERT_EQ(ScmDemo::PlanDomain(options, plan), "");
  EXPECT_EQ(plan.sdn, 9);
  ASSERT_TRUE(plan.qorUdid);
  EXPECT_EQ((*plan.qorUdid)[5], 0x03);
  ASSERT_EQ(plan.nodes.size(), 2u);
  EXPECT_EQ(plan.nodes[1].sadr, 5);
  EXPECT_EQ(plan.source, options.description);
}

struct RefusedCase {
  unsigned nodes;                        ///< --nodes, 0 = none
  std::string description;               ///< description text, empty = none
  std::vector<ScmDemo::FaultOption> faults;  ///< --fault
  const char* named;                     ///< what the message must name
};

TEST_F(DemoDomainTest, ContradictionsAreRefusedWithTheFieldNamed) {
  const std::vector<RefusedCase> cases{
      {2, "", {{3, "silent"}}, "SADR 3"},
      {2, "", {{1, "frobnicate"}}, "frobnicate"},
      {0, "sdn = 0\n[[node]]\nsadr = 1\n", {}, "sdn"},
      {0, "[[node]]\nsadr = 2\n[[node]]\nsadr = 2\n", {}, "sadr"},
      {0, "[[node]]\nsadr = 1\nfaults = [\"nonsense\"]\n", {}, "nonsense"},
  };
  for (const RefusedCase& c : cases) {
    DemoOptions options;
    options.nodes = c.nodes;
    options.faults = c.faults;
    if (!c.description.empty()) options.description = Write(c.description);
    DomainPlan plan;
    const std::string message = ScmDemo::PlanDomain(options, plan);
    EXPECT_NE(message.find(c.named), std::string::npos) << "'" << message << "' should name " << c.named;
  }
}

TEST_F(DemoDomainTest, WireFaultsNeedTheirFormAndANode) {
  struct Case {
    std::vector<std::string> wire;  ///< --wire-fault values
    std::string refusal;            ///< part of the message, empty when taken
  };
  const std::vector<Case> cases{
      {{"3:from:1:corrupt", "2:to:rate=0.5:drop"}, ""},
      {{"9:to:1:drop"}, "no node at position 9"},
      {{"3:sideways:1:drop"}, "direction"},
      {{"3:to:0:drop"}, "K counts frames from 1"},
  };
  for (const Case& c : cases) {
    DemoOptions options;
    options.nodes = 4;
    options.wireFaults = c.wire;
    options.seed = 7;
    DomainPlan plan;
    const std::string problem = ScmDemo::PlanDomain(options, plan);
    if (c.refusal.empty()) {
      EXPECT_EQ(problem, "") << c.wire[0];
      EXPECT_EQ(plan.wire.scheduled.size() + plan.wire.rated.size(), c.wire.size());
      EXPECT_EQ(plan.wire.seed, 7u);
    } else {
      EXPECT_NE(problem.find("--wire-fault"), std::string::npos) << problem;
      EXPECT_NE(problem.find(c.refusal), std::string::npos) << problem;
    }
  }
}

TEST_F(DemoDomainTest, NodesGuardOnTheFirmwaresTimeBase) {
  // the described guard time (60000 CT ticks at each time base) reaches the node as it stands
  const std::vector<std::pair<int, u64>> cases{{0, 62500}, {1, 625000}, {2, 6250000}, {3, 62500000}};
  for (const auto& [timeBase, micros] : cases) {
    const std::string file = Write("[guarding]\ntime_us = " + std::to_string(micros) + "\n[scm]\ntime_base = " +
                                   std::to_string(timeBase) +
                                   "\n[[node]]\nsadr = 1\n");
    DemoOptions options;
    options.description = file;
    DomainPlan plan;
    ASSERT_EQ(ScmDemo::PlanDomain(options, plan), "") << timeBase;
    ASSERT_EQ(plan.nodes.size(), 1u);
    // within 0.1 % of the span the CT multiplier gives
    EXPECT_NEAR(static_cast<double>(plan.nodes[0].device.guardTimeUs), static_cast<double>(micros), micros / 1000.0)
        << timeBase;
  }
}

}  // namespace

#endif
