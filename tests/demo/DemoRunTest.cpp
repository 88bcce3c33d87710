// scmdemo as a process: each way a run ends gives its exit status and its
// summary file, and no run leaves a queue, semaphore or socket behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "DemoOptions.h"
#include "DemoProcess.h"

namespace {

using namespace std::chrono_literals;
namespace Exit = ScmDemo::ExitStatus;

using ScmDemoTest::Ended;

class DemoRunTest : public ::testing::Test {
 protected:
  /// Runs scmdemo with the arguments and extra environment.
  Ended Run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) {
    return process_.Run(args, env);
  }
  /// Runs scmdemo with the arguments and sends signal once both its programs run.
  Ended RunAndSignalOnceRunning(const std::vector<std::string>& args, int signal) {
    return process_.Run(args, {}, signal,
                        [](pid_t pid) { return ScmDemoTest::DemoProcess::ProgramsOf(pid).size() == 2; });
  }
  nlohmann::json Summary() const {
    EXPECT_TRUE(process_.HasSummary()) << "no summary " << summary_;
    return process_.Summary();
  }
  static std::vector<std::string> Leftovers(pid_t pid) { return ScmDemoTest::DemoProcess::Leftovers(pid); }

  ScmDemoTest::DemoProcess process_{SCM_DEMO_PATH, "demotest"};  ///< runs scmdemo in this test's directory
  const std::string& directory_ = process_.Directory();         ///< this test's files
  const std::string& summary_ = process_.SummaryFile();         ///< the summary file of the run
};

TEST_F(DemoRunTest, BothProgramsCycleForTheDuration) {
  const std::string trace = directory_ + "/trace.txt";
  const Ended e = Run({"--nodes", "1", "--duration", "2", "--trace", trace});
  ASSERT_EQ(e.status, Exit::Success) << e.output;
  const nlohmann::json s = Summary();
  EXPECT_EQ(s["outcome"], "success");
  EXPECT_EQ(s["exitStatus"], 0);
  EXPECT_TRUE(s["handshake"]["accepted"].get<bool>());
  EXPECT_EQ(s["handshake"]["identWord"].get<uint32_t>(), static_cast<uint32_t>(SCM_FIRMWARE_IDENT));
  EXPECT_TRUE(s["failSafe"].empty()) << s["failSafe"].dump();
  EXPECT_GE(s["wallSeconds"].get<double>(), 2.0);
  // cycled in lock-step: the two counts differ by at most the cycle under way
  const auto checker = s["cycles"]["checker"].get<int64_t>();
  const auto firmware = s["cycles"]["firmware"].get<int64_t>();
  EXPECT_GE(checker, 10);
  EXPECT_LE(std::llabs(checker - firmware), 2);
  for (const auto& p : s["programs"]) EXPECT_EQ(p["state"], "stopped by the run") << p.dump();
  EXPECT_TRUE(std::filesystem::exists(trace));
  EXPECT_TRUE(Leftovers(e.pid).empty());
  EXPECT_EQ(s["runDirectory"], "");
}

TEST_F(DemoRunTest, SummaryCountsEachProgramsWakeUpsApartFromPreemptions) {
  const Ended e = Run({"--nodes", "1", "--duration", "2"});
  ASSERT_EQ(e.status, Exit::Success) << e.output;
  const nlohmann::json s = Summary();
  const double guarding = s["cycles"]["firmware"].get<double>() - s["cycles"]["firmwareAtGoal"].get<double>();
  ASSERT_GE(guarding, 100.0);
  for (const auto& p : s["programs"]) {
    const nlohmann::json& w = p["wakeUps"];
    const nlohmann::json& q = p["preemptions"];
    ASSERT_TRUE(w["atGoal"].is_number() && w["atEnd"].is_number()) << p.dump();
    ASSERT_TRUE(q["atGoal"].is_number() && q["atEnd"].is_number()) << p.dump();
    EXPECT_GE(q["atEnd"].get<double>(), q["atGoal"].get<double>()) << p.dump();
    // Each program's tasks sleep about twice a cycle (the firmware's cyclic and
    // background tasks; the checker's check task for its period and for the
    // firmware's cycle): never none in most cycles, never twice as often.
    const double perCycle = (w["atEnd"].get<double>() - w["atGoal"].get<double>()) / guarding;
    EXPECT_GE(perCycle, 0.5) << p.dump();
    EXPECT_LE(perCycle, 3.0) << p.dump();
  }
}

TEST_F(DemoRunTest, KeptStorageHoldsTheFilesAndOutlivesTheCleanUpOfLaterRuns) {
  const Ended e = Run({"--nodes", "1", "--keep-storage"});
  ASSERT_EQ(e.status, Exit::Success) << e.output;
  const std::string kept = Summary()["runDirectory"];
  ASSERT_FALSE(kept.empty());
  EXPECT_TRUE(std::filesystem::exists(kept + "/storage/kel_para.saf"));
  EXPECT_FALSE(std::filesystem::exists(kept + "/host.sock"));
  // kept on request, it is no dead run's leftover
  const Ended cleanup = Run({"--cleanup"});
  EXPECT_EQ(cleanup.status, Exit::Success) << cleanup.output;
  EXPECT_EQ(cleanup.output.find(kept), std::string::npos) << cleanup.output;
  EXPECT_TRUE(std::filesystem::exists(kept + "/storage/kel_para.saf"));
  std::filesystem::remove_all(kept);
  EXPECT_TRUE(Leftovers(e.pid).empty());
}

TEST_F(DemoRunTest, TimeLimitBeforeTheGoal) {
  const Ended e = Run({"--time-limit", "0.001"});
  ASSERT_EQ(e.status, Exit::TimeLimit) << e.output;
  EXPECT_EQ(Summary()["outcome"], "time-limit");
  EXPECT_TRUE(Leftovers(e.pid).empty());
}

TEST_F(DemoRunTest, AProgramThatExits) {
  const Ended e = Run({"--firmware", "/bin/true"});
  ASSERT_EQ(e.status, Exit::ProgramExited) << e.output;
  const nlohmann::json s = Summary();
  EXPECT_EQ(s["outcome"], "program-exited");
  EXPECT_NE(s["reason"].get<std::string>().find("scmfirmware"), std::string::npos) << s["reason"];
  EXPECT_TRUE(Leftovers(e.pid).empty());
}

TEST_F(DemoRunTest, FailSafeSignals) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"fatal-event", "fatal event"},
      {"delete-queue", "frame queue deleted"},
  };
  for (const auto& [mode, cause] : cases) {
    SCOPED_TRACE(mode);
    const Ended e = Run({"--firmware", SCM_DEMO_FAKE_FIRMWARE, "--duration", "30"}, {{"SCM_DEMO_FAKE_MODE", mode}});
    ASSERT_EQ(e.status, Exit::FailSafe) << e.output;
    const nlohmann::json s = Summary();
    EXPECT_EQ(s["outcome"], "fail-safe");
    ASSERT_FALSE(s["failSafe"].empty());
    EXPECT_EQ(s["failSafe"][0]["cause"], cause);
    EXPECT_TRUE(Leftovers(e.pid).empty());
  }
}

TEST_F(DemoRunTest, FatalEventIsCountedByCode) {
  const Ended e = Run({"--firmware", SCM_DEMO_FAKE_FIRMWARE}, {{"SCM_DEMO_FAKE_MODE", "fatal-event"}});
  ASSERT_EQ(e.status, Exit::FailSafe) << e.output;
  const nlohmann::json s = Summary();
  ASSERT_EQ(s["events"]["byCode"].size(), 1u) << s["events"].dump();
  EXPECT_EQ(s["events"]["byCode"][0]["code"], "0x9200AF18");
  EXPECT_EQ(s["events"]["byCode"][0]["name"], "kel_para.saf refused");
  EXPECT_EQ(s["events"]["byCode"][0]["count"], 1);
  EXPECT_NE(e.output.find("0x9200AF18 kel_para.saf refused"), std::string::npos) << e.output;
}

TEST_F(DemoRunTest, StopSignalEndsTheRunCleanly) {
  for (int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    const Ended e = RunAndSignalOnceRunning({"--duration", "60"}, sig);
    ASSERT_EQ(e.status, Exit::Interrupted) << e.output;
    EXPECT_EQ(Summary()["outcome"], "interrupted");
    EXPECT_TRUE(Leftovers(e.pid).empty());
  }
}

TEST_F(DemoRunTest, UniformDomainIsWrittenBesideTheSummary) {
  const Ended e = Run({"--nodes", "2"});
  ASSERT_EQ(e.status, Exit::Success) << e.output;
  const nlohmann::json s = Summary();
  const std::string written = s["domain"]["descriptionWritten"];
  EXPECT_EQ(written, directory_ + "/scmdemo-domain.toml");
  EXPECT_TRUE(std::filesystem::exists(written));
  ASSERT_EQ(s["nodes"].size(), 2u);
  EXPECT_EQ(s["nodes"][1]["sadr"], 2);
  EXPECT_EQ(s["requested"]["nodes"], 2);
  // the written description runs the same domain again
  const Ended again = Run({"--description", written});
  ASSERT_EQ(again.status, Exit::Success) << again.output;
  EXPECT_EQ(Summary()["nodes"].size(), 2u);
}

TEST_F(DemoRunTest, BadDescriptionGivesItsStatusAndNoRun) {
  const std::string description = directory_ + "/bad.toml";
  std::ofstream(description) << "[[node]]\nsadr = 2\n[[node]]\nsadr = 2\n";
  const Ended e = Run({"--description", description});
  EXPECT_EQ(e.status, Exit::BadOptions) << e.output;
  EXPECT_NE(e.output.find("sadr"), std::string::npos) << e.output;
  EXPECT_FALSE(std::filesystem::exists(summary_));
  EXPECT_TRUE(Leftovers(e.pid).empty());
}

TEST_F(DemoRunTest, ARefusalOfTheGeneratorNamesTheDescriptionFile) {
  const std::string description = directory_ + "/slow.toml";
  std::ofstream(description) << "[scm]\nssdo_timeout = 0\n[[node]]\nsadr = 1\n[[node]]\nsadr = 2\n";
  const Ended e = Run({"--description", description});
  EXPECT_EQ(e.status, Exit::BadOptions) << e.output;
  EXPECT_NE(e.output.find("scmdemo: " + description + ": scm.ssdo_timeout: 0 is outside 1 to 65535"),
            std::string::npos)
      << e.output;
  EXPECT_FALSE(std::filesystem::exists(summary_));
}

TEST_F(DemoRunTest, BadOptionGivesItsStatusAndNoRun) {
  const Ended e = Run({"--nodes", "13"});
  EXPECT_EQ(e.status, Exit::BadOptions);
  EXPECT_NE(e.output.find("--nodes"), std::string::npos) << e.output;
  EXPECT_FALSE(std::filesystem::exists(summary_));
}

}  // namespace
