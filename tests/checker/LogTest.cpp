// The checker's log: record layout, levels, the life-time limit of four
// attempts (failed ones included) and independence from the messaging. The
// limit is per process, so every case runs in a child process of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "CDefaultMessaging.h"
#include "CException.h"
#include "CheckerTestDomain.h"
#include "ScmLog.h"
#include "rtp_mem_control.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kEventQueue = "/scm0007/event";

/// Ends the child: 0 when the condition holds, else 1 with the reason on stderr.
void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "failed: %s\n", what);
    std::_Exit(1);
  }
}

void Prepare(int capacity) {
  ScmMemReset();
  SetCheckerTestDomain(7);
  if (capacity > 0) {
    Require(ScmMemCreateQueue(kEventQueue, capacity, 11) == OK, "create event queue");
  }
}

void RecordLayoutAndLevelsScenario() {
  Prepare(8);
  ScmLogError(0xE24D, 1, 3);
  Util::CException::LogWarning(Util::CException(0xE246, 0x0102, 0x0A0B0C0D));
  const auto records = ScmMemQueueContents(kEventQueue);
  Require(records.size() == 2, "two records");
  Require(records[0] == (Bytes{0x03, 0x4D, 0xE2, 0x00, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00}), "error");
  Require(records[1] == (Bytes{0x02, 0x46, 0xE2, 0x00, 0x00, 0x02, 0x01, 0x0D, 0x0C, 0x0B, 0x0A}), "warning");
  std::_Exit(0);
}

TEST(LogTest, RecordLayoutAndLevels) {
  EXPECT_EXIT(RecordLayoutAndLevelsScenario(), ::testing::ExitedWithCode(0), "");
}

void FifthCallSendsNothingWhateverItsLevelScenario() {
  Prepare(8);
  ScmLogWarning(0xE205, 0, 1);
  ScmLogError(0xE201, 0, 2);
  ScmLogError(0xE201, 0, 3);
  Util::CException::LogError(Util::CException(0xE201, 4));
  ScmLogWarning(0xE205, 0, 5);
  ScmLogError(0xE201, 0, 6);
  const auto records = ScmMemQueueContents(kEventQueue);
  Require(records.size() == 4, "four records");
  Require(records[3][7] == 4, "the fourth is the last");
  std::_Exit(0);
}

TEST(LogTest, FifthCallSendsNothingWhateverItsLevel) {
  EXPECT_EXIT(FifthCallSendsNothingWhateverItsLevelScenario(), ::testing::ExitedWithCode(0), "");
}

void AttemptWithoutEventQueueCountsScenario() {
  Prepare(0);
  ScmLogError(0xE201, 0, 1);
  Require(ScmMemCreateQueue(kEventQueue, 8, 11) == OK, "create event queue");
  for (u32 i = 2; i <= 5; ++i) {
    ScmLogError(0xE201, 0, i);
  }
  const auto records = ScmMemQueueContents(kEventQueue);
  Require(records.size() == 3, "three records after a failed open");
  Require(records[0][7] == 2, "the first sent is the second attempt");
  std::_Exit(0);
}

TEST(LogTest, AttemptWithoutEventQueueCounts) {
  EXPECT_EXIT(AttemptWithoutEventQueueCountsScenario(), ::testing::ExitedWithCode(0), "");
}

void AttemptOnFullQueueCountsScenario() {
  Prepare(1);
  ScmLogError(0xE201, 0, 1);
  ScmLogError(0xE201, 0, 2);  // lost: the queue is full
  Require(ScmMemQueueClear(kEventQueue) == OK, "clear");
  ScmLogError(0xE201, 0, 3);
  Require(ScmMemQueueClear(kEventQueue) == OK, "clear");
  ScmLogError(0xE201, 0, 4);
  Require(ScmMemQueueClear(kEventQueue) == OK, "clear");
  ScmLogError(0xE201, 0, 5);
  Require(ScmMemQueueCount(kEventQueue) == 0, "the fifth attempt sends nothing");
  std::_Exit(0);
}

TEST(LogTest, AttemptOnFullQueueCounts) {
  EXPECT_EXIT(AttemptOnFullQueueCountsScenario(), ::testing::ExitedWithCode(0), "");
}

void WorksAfterFramesAreInhibitedScenario() {
  Prepare(8);
  const char* names[] = {"unlock-request", "~unlock-request", "~unlock-response", "unlock-response",
                         "frame-send",     "~frame-send",     "~frame-receive",   "frame-receive",
                         "command",        "~command",        "~status",          "status",
                         "~event"};
  for (const char* suffix : names) {
    const std::string name = std::string("/scm0007/") + suffix;
    Require(ScmMemCreateQueue(name.c_str(), 4, 521) == OK, "create queue");
  }
  Main::CDefaultMessaging messaging;
  messaging.Initialize();
  messaging.InhibitFrames();
  ScmLogError(0xE20B, 1, 2);
  Require(ScmMemQueueCount(kEventQueue) == 1, "logged after the inhibit");
  std::_Exit(0);
}

TEST(LogTest, WorksAfterFramesAreInhibited) {
  EXPECT_EXIT(WorksAfterFramesAreInhibitedScenario(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
