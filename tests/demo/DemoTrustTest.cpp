// scmdemo's verdicts and its clean-up, as a person meets them: a node the
// firmware lost ends the run whatever its own record says, an output that
// cannot be written stops the run before anything starts, a run killed with
// SIGKILL takes its programs with it and the next start removes what is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "DemoOptions.h"
#include "DemoOutputs.h"
#include "DemoProcess.h"
#include "DemoReasons.h"
#include "DemoSpawn.h"
#include "NodeRecord.h"

namespace {

using namespace std::chrono_literals;
namespace Exit = ScmDemo::ExitStatus;
using ScmDemoTest::DemoProcess;
using ScmDemoTest::Ended;

/// Run directories whose owner file names pid.
std::vector<std::string> RunDirectoriesOf(pid_t pid) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/tmp", ec)) {
    if (e.path().filename().string().rfind("scmdemo-", 0) != 0) continue;
    std::ifstream in(e.path() / "owner");
    long owner = 0;
    if (in >> owner && owner == pid) found.push_back(e.path().string());
  }
  return found;
}

/// Runs scmdemo with exactly these arguments (no summary of the test's own) and waits for it.
Ended RunBare(const std::string& directory, const std::vector<std::string>& args) {
  std::vector<std::string> all{SCM_DEMO_PATH};
  all.insert(all.end(), args.begin(), args.end());
  const std::string log = directory + "/bare.txt";
  Ended ended;
  ended.pid = ScmDemo::SpawnLogged(all, log, {});
  int status = 0;
  if (ended.pid > 0 && ::waitpid(ended.pid, &status, 0) == ended.pid && WIFEXITED(status)) {
    ended.status = WEXITSTATUS(status);
  }
  std::ifstream in(log);
  ended.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return ended;
}

class DemoTrustTest : public ::testing::Test {
 protected:
  DemoProcess process_{SCM_DEMO_PATH, "trusttest"};  ///< runs scmdemo in this test's directory
  const std::string& directory_ = process_.Directory();
};

TEST_F(DemoTrustTest, NodeTheFirmwareLostEndsTheRunNamingItsCycle) {
  const Ended e = process_.Run({"--nodes", "4", "--fault", "2:silent-after-op", "--duration", "4"});
  ASSERT_EQ(e.status, Exit::NodeLost) << e.output;
  const nlohmann::json s = process_.Summary();
  EXPECT_EQ(s["outcome"], "node-lost");
  const std::string reason = s["reason"];
  EXPECT_NE(reason.find("node 2 (operational time ended in cycle "), std::string::npos) << reason;
  const nlohmann::json& node = s["nodes"][1];
  // the node still calls itself operational; the host's view does not
  EXPECT_EQ(node["state"], "operational");
  EXPECT_EQ(node["operational"], false);
  EXPECT_NE(e.output.find("node 2 (02-5C-3E-A0-00-02): lost (its own record: operational)"), std::string::npos)
      << e.output;
  EXPECT_NE(e.output.find("] node 2: lost ("), std::string::npos) << "the view: " << e.output;
  for (size_t i : {0u, 2u, 3u}) EXPECT_EQ(s["nodes"][i]["operational"], true) << s["nodes"][i].dump();
  const nlohmann::json& record = node["record"];
  EXPECT_EQ(record["operationalEnds"], 1);
  const std::string by = record["operationalEndedBy"];
  EXPECT_TRUE(by == "assign-sadr request" || by == "udid request" || by == "guarding stopped") << by;
  EXPECT_GT(record["operationalEndedAt"]["cycle"].get<uint64_t>(), node["cyclesToOperational"].get<uint64_t>());
  EXPECT_NE(node["operationalEnded"].get<std::string>().find("at frame "), std::string::npos) << node.dump();
  for (size_t i : {0u, 2u, 3u}) EXPECT_EQ(s["nodes"][i]["operationalEnded"], "") << s["nodes"][i].dump();
}

// The reason joins what the host saw (the value read beside the one expected)
// and the firmware's own event about the node, in words.
TEST_F(DemoTrustTest, RefusedNodeIsGivenItsReasonInWords) {
  // the firmware's second refusal comes about a second after the handshake; the limit
  // leaves room for a slow start under an emulator or a loaded machine
  const Ended e = process_.Run({"--nodes", "2", "--fault", "2:wrong-vendor", "--time-limit", "10"});
  ASSERT_EQ(e.status, Exit::TimeLimit) << e.output;
  const nlohmann::json s = process_.Summary();
  // the device answers the complement of the described vendor id 0x0025C3E0; the
  // firmware marks the module invalid at its second refusal
  const std::string reason = "vendor id read 0xFFDA3C1F expected 0x0025C3E0; firmware: module invalid";
  EXPECT_EQ(s["nodes"][1]["reason"], reason) << s["nodes"][1].dump();
  EXPECT_EQ(s["nodes"][0]["reason"], "");
  // the limit finds the refused node in one of the two states it passes through while the
  // firmware tries it again and again
  const std::string runReason = s["reason"];
  EXPECT_TRUE(runReason == "not operational in time: node 2 (pre-operational: " + reason + ")" ||
              runReason == "not operational in time: node 2 (wait-scm-udid: " + reason + ")")
      << runReason;
  EXPECT_NE(e.output.find("not operational: " + reason), std::string::npos) << e.output;
}

// Every cause the host can see, in words: each row changes one thing of a node
// that has just been assigned and read.
TEST(NotOperationalReason, EachCauseTheHostSawInWords) {
  ScmDemo::PlannedNode planned;
  planned.udid = "02-5C-3E-A0-00-02";
  planned.expectedUdid = planned.udid;
  planned.expectedVendorId = 0x0025C3E0u;
  planned.expectedProductCode = 0x00000010u;
  planned.expectedRevision = 0x00010002u;
  planned.expectedChecksum = {0xEF, 0x26, 0x25, 0x79};
  SimNodes::NodeRecord read;
  read.state = SimNodes::NodeState::PreOperational;
  read.framesReceived = 6;
  read.identityRead = {{1, {0xE0, 0xC3, 0x25, 0x00}},
                       {2, {0x10, 0x00, 0x00, 0x00}},
                       {3, {0x02, 0x00, 0x01, 0x00}},
                       {6, {0xEF, 0x26, 0x25, 0x79}}};
  struct Case {
    const char* name;
    std::function<void(ScmDemo::PlannedNode&, SimNodes::NodeRecord&)> change;
    std::string reason;
  };
  const Case cases[] = {
      {"nothing to say", [](auto&, auto&) {}, ""},
      {"vendor", [](auto&, auto& r) { r.identityRead[1] = {0x1F, 0x3C, 0xDA, 0xFF}; },
       "vendor id read 0xFFDA3C1F expected 0x0025C3E0"},
      {"product", [](auto&, auto& r) { r.identityRead[2] = {0x11, 0x00, 0x00, 0x00}; },
       "product code read 0x00000011 expected 0x00000010"},
      {"revision", [](auto&, auto& r) { r.identityRead[3] = {0x03, 0x00, 0x01, 0x00}; },
       "revision read 0x00010003 expected 0x00010002"},
      {"checksum", [](auto&, auto& r) { r.identityRead[6] = {0x10, 0xD9, 0xDA, 0x86}; },
       "parameter checksum read 10 D9 DA 86 expected EF 26 25 79"},
      {"udid", [](auto& p, auto&) { p.udid = "02-5C-3E-A0-00-03"; },
       "UDID mismatch: the device is 02-5C-3E-A0-00-03, the node list expects 02-5C-3E-A0-00-02"},
      {"sn fail", [](auto&, auto& r) { r.pendingSnFail = std::array<uint8_t, 2>{5, 1}; }, "SN FAIL group 5 code 1"},
      {"busy", [](auto&, auto& r) { r.busyAnswers = 1; }, "busy answers"},
      {"silent", [](auto&, auto& r) { r.requestsUnanswered = 3; }, "silent: requests unanswered"},
      {"nothing reached it", [](auto&, auto& r) { r.framesReceived = 0; }, "no request reached the node"},
      // what came before the end of its last operational time is no reason now
      {"busy before the end",
       [](auto&, auto& r) {
         r.busyAnswers = 2;
         r.busyAnswersAtLastEnd = 2;
         r.requestsUnanswered = 4;
         r.requestsUnansweredAtLastEnd = 4;
       },
       ""},
      {"ended and silent since",
       [](auto&, auto& r) {
         r.operationalEndedAt = SimNodes::Moment{196, 2643885};
         r.operationalEndedBy = "assign-sadr request";
         r.requestsUnanswered = 8;
         r.requestsUnansweredAtLastEnd = 7;
       },
       "operational time ended by assign-sadr request; silent: requests unanswered"},
      {"two causes", [](auto&, auto& r) {
         r.identityRead[1] = {0x1F, 0x3C, 0xDA, 0xFF};
         r.busyAnswers = 1;
       },
       "vendor id read 0xFFDA3C1F expected 0x0025C3E0; busy answers"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScmDemo::PlannedNode p = planned;
    SimNodes::NodeRecord r = read;
    c.change(p, r);
    EXPECT_EQ(ScmDemo::NotOperationalReason(p, r), c.reason);
  }
}

struct NodeEventCase {
  ScmSim::EventRecord record;  ///< as the host took it
  bool aboutANode;             ///< names a node
  uint16_t sadr;               ///< which
  const char* text;            ///< in words
};

TEST(NodeEvents, TheFirmwaresEventsAboutANodeInWords) {
  const NodeEventCase cases[] = {
      {{2, 0x6200C08Du, 0, 2}, true, 2, "firmware: module invalid"},
      {{2, 0x6200C089u, 0, 7}, true, 7, "firmware: module missing"},
      {{2, 0x6200C08Eu, 0, 3}, true, 3, "firmware: module parameters refused"},
      {{2, 0x6200C08Au, 5, 0x0201}, true, 5,
       "firmware: module revision differs from the accepted one (received 0x00000201)"},
      {{2, 0x6200A105u, 0, 0x00040009u}, true, 9, "firmware: SCM: unexpected event, the node starts again"},
      {{2, 0x6200A10Fu, 0, 0x00070004u}, true, 4, "firmware: SCM: SSDO transfer aborted by the node (state, SADR)"},
      {{1, 0x6200AF40u, 0, 0x01040003u}, false, 0, ""},  // the host's own view already names an SN FAIL
      {{2, 0x6200C08Bu, 3, 0x0060}, false, 0, ""},
      {{2, 0x6200C08Du, 0, 0x10000}, false, 0, ""},  // no SADR
  };
  for (const NodeEventCase& c : cases) {
    const std::optional<ScmDemo::NodeEvent> n = ScmDemo::NodeEventOf(c.record);
    ASSERT_EQ(n.has_value(), c.aboutANode) << std::hex << c.record.code;
    if (!n) continue;
    EXPECT_EQ(n->sadr, c.sadr) << std::hex << c.record.code;
    EXPECT_EQ(n->text, c.text);
  }
}

TEST(HostSeesOperational, NeedsTheNodesWordAndNoEndSince) {
  struct Case {
    const char* name;
    SimNodes::NodeState state;
    std::optional<uint64_t> operationalUs;
    std::optional<uint64_t> endedUs;
    bool operational;
  };
  const Case cases[] = {
      {"never operational", SimNodes::NodeState::PreOperational, std::nullopt, std::nullopt, false},
      {"operational, nothing ended it", SimNodes::NodeState::Operational, 100, std::nullopt, true},
      {"ended after its answer", SimNodes::NodeState::Operational, 100, 200, false},
      {"ended at its answer", SimNodes::NodeState::Operational, 100, 100, false},
      {"operational again after an end", SimNodes::NodeState::Operational, 300, 200, true},
      {"left operational by its own word", SimNodes::NodeState::PreOperational, 100, std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimNodes::NodeRecord r;
    r.state = c.state;
    if (c.operationalUs) r.operationalAt = SimNodes::Moment{1, *c.operationalUs};
    if (c.endedUs) r.operationalEndedAt = SimNodes::Moment{2, *c.endedUs};
    EXPECT_EQ(SimNodes::HostSeesOperational(r), c.operational);
  }
}

TEST_F(DemoTrustTest, UnwritableOutputsStopTheRunBeforeItStarts) {
  struct Case {
    std::vector<std::string> args;
    std::string named;
  };
  const Case cases[] = {
      {{"--summary", "/nonexistent/x.json"}, "cannot write the summary /nonexistent/x.json: No such file or directory"},
      {{"--summary", directory_ + "/s.json", "--trace", "/nonexistent/t.txt"}, "cannot write the trace /nonexistent/t.txt: No such file or directory"},
      {{"--summary", directory_ + "/s.json", "--trace", directory_}, "cannot write the trace " + directory_ + ": it is a directory"},
      {{"--nodes", "1", "--summary", "/nonexistent/s.json"}, "cannot write the summary /nonexistent/s.json"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    const Ended e = RunBare(directory_, c.args);
    EXPECT_EQ(e.status, Exit::SetupFailed) << e.output;
    EXPECT_NE(e.output.find(c.named), std::string::npos) << e.output;
    // nothing started: no objects, no programs, no run directory
    EXPECT_TRUE(DemoProcess::Leftovers(e.pid).empty());
    EXPECT_TRUE(RunDirectoriesOf(e.pid).empty());
    EXPECT_EQ(e.output.find("domain "), std::string::npos) << e.output;
  }
}

TEST_F(DemoTrustTest, OutputThatCannotBeWrittenAtTheEndFailsTheRunNamingItsPath) {
  // the outputs' folder is there at the start and gone by the end: the run's verdict cannot be kept
  const std::string folder = directory_ + "/outputs";
  std::filesystem::create_directories(folder);
  const std::string summary = folder + "/s.json";
  const std::vector<std::string> all{SCM_DEMO_PATH, "--nodes", "1", "--duration", "2", "--summary", summary};
  Ended e;
  e.pid = ScmDemo::SpawnLogged(all, directory_ + "/end.txt", {});
  ASSERT_GT(e.pid, 0);
  // removed once both programs run, however long the start takes (the ceiling only as a backstop)
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(e.pid, &status, WNOHANG)) == 0 && DemoProcess::ProgramsOf(e.pid).size() != 2 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(done, 0) << "the run ended before both programs ran";
  std::filesystem::remove_all(folder);
  ASSERT_EQ(::waitpid(e.pid, &status, 0), e.pid);
  ASSERT_TRUE(WIFEXITED(status));
  std::ifstream in(directory_ + "/end.txt");
  e.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  EXPECT_EQ(WEXITSTATUS(status), Exit::SetupFailed) << e.output;
  EXPECT_NE(e.output.find("cannot write the summary " + summary + ": No such file or directory"), std::string::npos)
      << e.output;
  EXPECT_NE(e.output.find("cannot write the timeline " + folder + "/s.svg: "), std::string::npos) << e.output;
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_TRUE(DemoProcess::Leftovers(e.pid).empty());
}

TEST(DemoOutputs, CheckingLeavesAnExistingFileAsItWasAndCreatesNone) {
  const std::string dir = "/tmp/scmdemo-outputs-" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  const std::string existing = dir + "/existing.txt";
  std::ofstream(existing) << "kept";
  EXPECT_EQ(ScmDemo::CheckWritable("summary", existing), "");
  std::ifstream in(existing);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(ScmDemo::CheckWritable("trace", dir + "/new.txt"), "");
  EXPECT_FALSE(std::filesystem::exists(dir + "/new.txt"));
  EXPECT_EQ(ScmDemo::CheckOutputs({{"trace", ""}, {"summary", dir}}), "cannot write the summary " + dir + ": it is a directory");
  std::filesystem::remove_all(dir);
}

TEST_F(DemoTrustTest, StopSignalIsNoFailSafeAndStopsThePrograms) {
  // stopped once both programs run, however long the start takes
  const Ended e = process_.Run({"--duration", "60"}, {}, SIGHUP,
                               [](pid_t pid) { return DemoProcess::ProgramsOf(pid).size() == 2; });
  ASSERT_EQ(e.status, Exit::Interrupted) << e.output;
  const nlohmann::json s = process_.Summary();
  EXPECT_EQ(s["outcome"], "interrupted");
  EXPECT_EQ(s["reason"], "stopped by signal");
  EXPECT_TRUE(s["failSafe"].empty()) << s["failSafe"].dump();
  ASSERT_EQ(s["programs"].size(), 2u);
  for (const auto& p : s["programs"]) EXPECT_EQ(p["state"], "stopped by the run") << p.dump();
}

TEST_F(DemoTrustTest, KilledRunTakesItsProgramsAlongAndTheNextStartRemovesTheRest) {
  // killed once both programs run and the run's objects and directory exist, however long that takes
  const Ended killed = process_.Run({"--nodes", "2", "--duration", "60"}, {}, SIGKILL, [](pid_t pid) {
    return DemoProcess::ProgramsOf(pid).size() == 2 && RunDirectoriesOf(pid).size() == 1 &&
           !DemoProcess::Leftovers(pid).empty();
  });
  ASSERT_GT(killed.pid, 0);
  ASSERT_EQ(killed.status, -1) << killed.output;
  // the kill left objects and a run directory behind: the test shows their removal
  EXPECT_FALSE(DemoProcess::Leftovers(killed.pid).empty());
  EXPECT_EQ(RunDirectoriesOf(killed.pid).size(), 1u);
  // the programs it started die with it
  // the kernel kills them at once; their ends are waited for, with a deadline only as a backstop
  std::vector<std::string> programs = DemoProcess::ProgramsOf(killed.pid);
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!programs.empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
    programs = DemoProcess::ProgramsOf(killed.pid);
  }
  EXPECT_TRUE(programs.empty()) << programs.size() << " program(s) of the killed run still alive";

  const Ended next = process_.Run({"--nodes", "1"});
  ASSERT_EQ(next.status, Exit::Success) << next.output;
  EXPECT_NE(next.output.find("shared-memory object(s) of dead runs"), std::string::npos) << next.output;
  EXPECT_NE(next.output.find("removed the run directory /tmp/scmdemo-"), std::string::npos) << next.output;
  EXPECT_TRUE(DemoProcess::Leftovers(killed.pid).empty());
  EXPECT_TRUE(RunDirectoriesOf(killed.pid).empty());
  EXPECT_TRUE(DemoProcess::Leftovers(next.pid).empty());
  EXPECT_TRUE(RunDirectoriesOf(next.pid).empty());
}

TEST_F(DemoTrustTest, CleanupOnDemandSaysWhenNothingIsLeft) {
  const Ended e = process_.Run({"--cleanup"});
  EXPECT_EQ(e.status, Exit::Success) << e.output;
  EXPECT_NE(e.output.find("scmdemo: "), std::string::npos) << e.output;
  EXPECT_FALSE(process_.HasSummary());
}

}  // namespace
