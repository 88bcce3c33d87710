// The older checker's Qor variable channel at start-up and its recovery, with
// the real scmchecker-legacy under the two-sided harness: an unknown
// controller state holds back condition 1 until it is known; a read of
// variable 4 that fails (no answer, a fail-safe controller, a channel fault)
// fails safe without a record of its own and resets the safety domain exactly
// once when the controller answers again, every storage file unchanged; a
// variable 4 never written logs 0xE216, fails safe and resets nothing.
// (Options() holds variable 4 as the first answer: a scripted failure takes
// its place, and the controller then answers as it holds.)
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "CheckerHarness.h"
#include "MessageBuilder.h"

namespace {

using ScmTest::Bytes;
using ScmTest::CheckerHarness;
using ScmTest::CheckerHarnessOptions;

/// The older checker on the installed empty domain.
CheckerHarnessOptions Options() { return ScmTest::LegacyCheckerOptions(CheckerHarnessOptions{}); }

/// Every file on the host's storage the options put there, as it is now.
std::map<std::string, std::optional<Bytes>> Files(CheckerHarness& harness) {
  std::map<std::string, std::optional<Bytes>> files;
  for (const auto& [name, bytes] : harness.Options().storage) files[name] = harness.Host().GetFile(name);
  return files;
}

/// Runs cycles until the host saw count domain-reset requests or cycles ran out.
void CycleUntilResets(CheckerHarness& harness, uint32_t count, int cycles) {
  for (int i = 0; i < cycles && harness.Host().Resets().domainRequests < count; ++i) {
    ASSERT_TRUE(harness.Cycle());
  }
}

TEST(LegacyChannelRecovery, AnUnknownControllerStateHoldsBackConditionOne) {
  CheckerHarness harness(Options());
  harness.Host().SetQorFailSafeState(0xFF);
  harness.Start();
  EXPECT_FALSE(harness.WaitCondition1(std::chrono::milliseconds(500)).has_value());
  harness.Host().SetQorFailSafeState(0);
  ASSERT_TRUE(harness.Handshake());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(harness.Cycle());
  EXPECT_TRUE(harness.CollectLog().empty());
  EXPECT_EQ(harness.Host().Waiting("frame-send"), 0) << "healthy";
  EXPECT_EQ(harness.Host().Resets().domainRequests, 0u);
}

struct FailureRow {
  const char* name;                                ///< what fails at start-up
  std::function<void(CheckerHarness&)> beforeStart;  ///< sets the failure up
  std::function<void(CheckerHarness&)> recover;      ///< lets the controller answer again
  bool moveCounter = false;  ///< the counter runs ahead during start-up: the 10-s wait ends at once
};

TEST(LegacyChannelRecovery, AFailedReadFailsSafeSilentlyAndResetsTheDomainOnceTheControllerIsBack) {
  const FailureRow rows[] = {
      {"no answer",
       [](CheckerHarness& h) {
         ScmSim::QorReplyScript none;
         none.kind = ScmSim::QorReplyScript::Kind::None;
         h.Host().ScriptQorReply(none);
       },
       [](CheckerHarness&) {}, true},
      {"a fail-safe controller", [](CheckerHarness& h) { h.Host().SetQorFailSafeState(2); },
       [](CheckerHarness& h) { h.Host().SetQorFailSafeState(0); }, false},
      {"channel 6 cannot be opened", [](CheckerHarness& h) { h.Host().InjectFault(0x89, 1); },
       [](CheckerHarness&) {}, false},
      // Kept as specified: an error answer to variable 4 marks the channel failed, and the
      // working channel then resets the domain once in every start.
      {"an error answer",
       [](CheckerHarness& h) {
         ScmSim::QorReplyScript error;
         error.kind = ScmSim::QorReplyScript::Kind::Raw;
         error.bytes = {0xC4, 0x00};
         h.Host().ScriptQorReply(error);
       },
       [](CheckerHarness&) {}, false},
  };
  for (const FailureRow& row : rows) {
    SCOPED_TRACE(row.name);
    CheckerHarness harness(Options());
    row.beforeStart(harness);
    harness.Start();
    std::thread mover;
    if (row.moveCounter) {
      mover = std::thread([&harness] {
        for (int i = 0; i < 400 && !harness.Host().Condition(1); ++i) {
          harness.Host().AdvanceCounter(1000000);
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      });
    }
    const bool handshake = harness.Handshake();
    if (mover.joinable()) mover.join();
    ASSERT_TRUE(handshake);
    const auto files = Files(harness);
    ASSERT_TRUE(harness.Cycle());
    EXPECT_EQ(harness.Host().Waiting("frame-send"), -1) << "fail-safe";
    // While the controller stays away nothing is reset.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(harness.Cycle());
    if (std::string(row.name) == "a fail-safe controller") {
      EXPECT_EQ(harness.Host().Resets().domainRequests, 0u);
    }
    row.recover(harness);
    CycleUntilResets(harness, 1, 50);
    EXPECT_EQ(harness.Host().Resets().domainRequests, 1u);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(harness.Cycle());
    EXPECT_EQ(harness.Host().Resets().domainRequests, 1u) << "never a second reset";
    EXPECT_TRUE(harness.CollectLog().empty()) << "the failed read is no record of its own";
    EXPECT_EQ(Files(harness), files);
  }
}

TEST(LegacyChannelRecovery, AVariableNeverWrittenLogsE216AndResetsNothing) {
  CheckerHarnessOptions options = Options();
  options.qorVariable4.reset();
  CheckerHarness harness(options);
  harness.Start();
  ASSERT_TRUE(harness.Handshake());
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(harness.Cycle());
  const auto log = harness.CollectLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].level, 3);
  EXPECT_EQ(log[0].code, 0xE216);
  EXPECT_EQ(log[0].information1, 0u);
  EXPECT_EQ(harness.Host().Waiting("frame-send"), -1) << "fail-safe";
  EXPECT_EQ(harness.Host().Resets().domainRequests, 0u);
}

// Kept as specified: the recovery probe takes and gives back the reset lock itself, so it
// also releases the lock the check task took for a command whose response is still to come.
TEST(LegacyChannelRecovery, TheProbeReleasesTheResetLockOfAPendingCommand) {
  CheckerHarness harness(Options());
  harness.Host().SetQorFailSafeState(2);
  harness.Start();
  ASSERT_TRUE(harness.Handshake());
  ASSERT_TRUE(harness.Cycle());
  TestFrames::CommandSpec command;
  command.commandClass = TestFrames::kStatusRequest;
  ASSERT_TRUE(harness.HostSend("command", TestFrames::BuildCommand(command)));
  ASSERT_TRUE(harness.Cycle());
  ASSERT_TRUE(harness.Cycle());
  EXPECT_TRUE(harness.Host().ResetLock().locked) << "the command holds the lock until its response";
  harness.Host().SetQorFailSafeState(0);
  CycleUntilResets(harness, 1, 50);
  EXPECT_EQ(harness.Host().Resets().domainRequests, 1u);
  EXPECT_FALSE(harness.Host().ResetLock().locked) << "released by the probe, no response came";
}

}  // namespace
