// scmchecker's start-up under the two-sided harness: the handshake, the two
// tasks, the first cycles, and one table of every start-up failure.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "CheckerHarness.h"

namespace {

using ScmTest::CheckerHarness;
using ScmTest::CheckerHarnessOptions;
using ScmTest::LogRecord;

/// A copy of the checker in a directory of its own, with or without a (damaged) companion.
class CheckerCopy {
 public:
  enum class Companion { Missing, Damaged };
  explicit CheckerCopy(Companion companion) {
    char pattern[] = "/tmp/scmcopy.XXXXXX";
    directory_ = mkdtemp(pattern);
    path_ = directory_ + "/scmchecker";
    std::filesystem::copy_file(SCM_HARNESS_CHECKER_PATH, path_);
    chmod(path_.c_str(), 0755);
    if (companion == Companion::Damaged) {
      const std::string vxe = path_ + ".vxe";
      std::filesystem::copy_file(std::string(SCM_HARNESS_CHECKER_PATH) + ".vxe", vxe);
      std::fstream file(vxe, std::ios::in | std::ios::out | std::ios::binary);
      char byte = 0;
      file.seekg(0);
      file.get(byte);
      file.seekp(0);
      file.put(static_cast<char>(byte ^ 0x01));
    }
  }
  ~CheckerCopy() {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string directory_;  ///< the copy's directory
  std::string path_;       ///< the copy
};

/// One start-up failure and what it must produce.
struct StartupCase {
  const char* what;                                   ///< the case
  std::function<void(CheckerHarnessOptions&)> setUp;  ///< how the domain differs
  std::optional<CheckerCopy::Companion> copy;         ///< run a copy of the program
  const char* output;                                 ///< exact standard output, or null for none checked
  std::optional<uint16_t> code;                       ///< the one log record expected, none = nothing logged
  uint16_t information0;                              ///< its information0
  bool handshake;                                     ///< the failure comes after the handshake
};

TEST(CheckerStartupTest, EveryStartupFailure) {
  const std::vector<StartupCase> cases = {
      {"domain number missing",
       [](CheckerHarnessOptions& o) {
         o.domainVariable.reset();
         o.conditionZero = false;
       },
       std::nullopt, "SCM checker failed to start: environment not defined?\n", std::nullopt, 0, false},
      {"domain number 0",
       [](CheckerHarnessOptions& o) {
         o.domainVariable = "0";
         o.conditionZero = false;
       },
       std::nullopt, "SCM checker failed to start: environment not defined?\n", std::nullopt, 0, false},
      {"domain number 1024",
       [](CheckerHarnessOptions& o) {
         o.domainVariable = "1024";
         o.conditionZero = false;
       },
       std::nullopt, "SCM checker failed to start: environment not defined?\n", std::nullopt, 0, false},
      {"first queue missing", [](CheckerHarnessOptions& o) { o.omitQueues = {"unlock-request"}; },
       std::nullopt, "SCM checker failed to start: message queues are not available?\n", std::nullopt, 0,
       false},
      {"last queue missing", [](CheckerHarnessOptions& o) { o.omitQueues = {"event"}; }, std::nullopt,
       "SCM checker failed to start: message queues are not available?\n", std::nullopt, 0, false},
      {"firmware status queue missing", [](CheckerHarnessOptions& o) { o.omitQueues = {"~status"}; },
       std::nullopt, "SCM checker failed to start: message queues are not available?\n", std::nullopt, 0,
       false},
      {"frame-send semaphore missing", [](CheckerHarnessOptions& o) { o.omitSemaphores = {"~frame-send"}; },
       std::nullopt, "", 0xE206, 0, false},
      {"frame-receive semaphore missing",
       [](CheckerHarnessOptions& o) { o.omitSemaphores = {"~frame-receive"}; }, std::nullopt, "", 0xE206, 1,
       false},
      {"companion missing", [](CheckerHarnessOptions&) {}, CheckerCopy::Companion::Missing, "", 0xE202, 4,
       false},
      {"companion damaged", [](CheckerHarnessOptions&) {}, CheckerCopy::Companion::Damaged, "", 0xE202, 9,
       false},
      {"timeout task refused",
       [](CheckerHarnessOptions& o) { o.environment["SCM_SIM_REFUSE_SPAWN"] = "/timeout"; }, std::nullopt, "",
       0xE209, 0, false},
      {"check task refused",
       [](CheckerHarnessOptions& o) { o.environment["SCM_SIM_REFUSE_SPAWN"] = "/check"; }, std::nullopt, "",
       0xE204, 0, true},
  };
  for (const StartupCase& c : cases) {
    SCOPED_TRACE(c.what);
    CheckerHarnessOptions options;
    c.setUp(options);
    std::optional<CheckerCopy> copy;
    if (c.copy) {
      copy.emplace(*c.copy);
      options.executable = copy->Path();
    }
    CheckerHarness harness(options);
    harness.Start();
    if (c.handshake) {
      ASSERT_TRUE(harness.Handshake());
    }
    EXPECT_EQ(harness.WaitExit(), 255) << harness.Output();
    if (c.output != nullptr) {
      EXPECT_EQ(harness.Output(), c.output);
    }
    const std::vector<LogRecord> log = harness.CollectLog();
    if (c.code) {
      ASSERT_EQ(log.size(), 1u) << harness.Output();
      EXPECT_EQ(log[0].level, 3);
      EXPECT_EQ(log[0].code, *c.code);
      EXPECT_EQ(log[0].information0, c.information0);
    } else {
      EXPECT_TRUE(harness.Collected().empty()) << "nothing on the host event queue";
    }
    if (!c.handshake) {
      EXPECT_FALSE(harness.Host().Condition(1)) << "the handshake never began";
    }
  }
}

TEST(CheckerStartupTest, EnvironmentFailureEndsBeforeConditionZero) {
  CheckerHarnessOptions options;
  options.domainVariable = "abc";
  options.conditionZero = false;
  CheckerHarness harness(options);
  harness.Start();
  EXPECT_EQ(harness.WaitExit(), 255);
  EXPECT_EQ(harness.Output(), "SCM checker failed to start: environment not defined?\n");
}

TEST(CheckerStartupTest, HandshakeAndCycles) {
  CheckerHarness harness;
  harness.Start();
  const auto ident = harness.WaitCondition1();
  ASSERT_TRUE(ident);
  EXPECT_EQ(*ident, ScmTest::BuildIdentWord());
  // No cycle before condition 2.
  EXPECT_FALSE(harness.TakeCycle(std::chrono::milliseconds(200)));
  harness.AnswerCondition2(*ident);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(harness.Cycle());
  }
  EXPECT_TRUE(harness.Running());
  EXPECT_TRUE(harness.CollectLog().empty());
  EXPECT_EQ(harness.Host().Waiting("frame-send"), 0) << "frame queues still there";
  const auto tasks = ScmTest::TaskNames(harness.Pid());
  EXPECT_EQ(tasks.count("scm0042/timeout"), 1u);
  EXPECT_EQ(tasks.count("scm0042/check"), 1u);
}

TEST(CheckerStartupTest, OtherAnswerOnConditionTwoFailsSafeAndCycles) {
  CheckerHarness harness;
  harness.Start();
  const auto ident = harness.WaitCondition1();
  ASSERT_TRUE(ident);
  harness.AnswerCondition2(*ident + 1);
  ASSERT_TRUE(harness.Cycle());
  ASSERT_TRUE(harness.Cycle());
  const auto log = harness.CollectLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].code, 0xE203);
  EXPECT_EQ(log[0].information1, *ident + 1);
  EXPECT_EQ(harness.Host().Waiting("frame-send"), -1) << "frame queues deleted";
  EXPECT_EQ(harness.Host().Waiting("~frame-receive"), -1);
  EXPECT_TRUE(harness.Running());
}

// The firmware opens its queues early in its own start-up, which runs beside the
// checker's: a fail-safe the checker finds before the handshake is logged at once,
// but the frame queues stay until the firmware set condition 2, so that a firmware
// starting late still finds every queue it needs.
TEST(CheckerStartupTest, AFailSafeFoundBeforeTheHandshakeDeletesTheFrameQueuesOnlyOnceTheFirmwareAnswered) {
  struct Case {
    const char* what;                                   ///< where start-up fails safe
    std::function<void(CheckerHarnessOptions&)> setUp;  ///< how the domain differs
    std::vector<uint16_t> codes;                        ///< the records logged before the handshake
  };
  const Case cases[] = {
      {"busy storage", [](CheckerHarnessOptions& o) { o.storageBusy = true; }, {0xE231}},
      {"flash area 16 absent", [](CheckerHarnessOptions& o) { o.flash.reset(); }, {}},
  };
  const char* frameQueues[] = {"frame-send", "~frame-send", "~frame-receive", "frame-receive"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CheckerHarnessOptions options;
    c.setUp(options);
    CheckerHarness harness(options);
    harness.Start();
    const auto ident = harness.WaitCondition1();
    ASSERT_TRUE(ident);
    const std::vector<LogRecord> before = harness.CollectLog();
    ASSERT_EQ(before.size(), c.codes.size());
    for (size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ(before[i].code, c.codes[i]);
    }
    for (const char* queue : frameQueues) {
      EXPECT_EQ(harness.Host().Waiting(queue), 0) << queue << " still there before condition 2";
    }
    EXPECT_NE(harness.FirmwareQueue("frame-send"), nullptr) << "a late firmware still opens its queues";
    harness.AnswerCondition2(*ident);
    ASSERT_TRUE(harness.Cycle());
    ASSERT_TRUE(harness.Cycle());
    for (const char* queue : frameQueues) {
      EXPECT_EQ(harness.Host().Waiting(queue), -1) << queue << " gone";
    }
    EXPECT_EQ(harness.CollectLog().size(), c.codes.size()) << "nothing logged twice";
    EXPECT_TRUE(harness.Running());
  }
}

}  // namespace
