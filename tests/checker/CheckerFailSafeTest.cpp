// scmchecker's unlock deadline and fail-safe under the two-sided harness. The
// tests move the stand-in's real-time clock; the timeout task still polls once
// a real second, so each test takes a few seconds.
#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <thread>

#include "CheckerHarness.h"
#include "MessageBuilder.h"
#include "rtp_clock.h"

namespace {

using ScmTest::Bytes;
using ScmTest::CheckerHarness;
using ScmTest::LogRecord;

/// Virtual real-time seconds (the stand-in's clock, moved by the tests).
int64_t Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec;
}

/// Moves the virtual clock so that it reads target seconds now.
void MoveClockTo(int64_t target) {
  ASSERT_EQ(ScmSimClockAdvanceRealtime((target - Now()) * 1000000000LL), 0);
}

/// Waits until the host recorded count controller resets.
bool WaitPlcResets(CheckerHarness& harness, uint32_t count, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (harness.Host().Resets().plcRequests >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return harness.Host().Resets().plcRequests >= count;
}

/// Waits until the checker deleted the frame queues (the timeout task does so right after the reset).
bool WaitFrameQueuesGone(CheckerHarness& harness, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (harness.Host().Waiting("frame-receive") != -1 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return harness.Host().Waiting("frame-receive") == -1;
}

int Count(const std::vector<LogRecord>& log, uint16_t code) {
  int n = 0;
  for (const LogRecord& record : log) n += record.code == code;
  return n;
}

/// The frame queues are gone for every user: opens fail, old handles fail, frames stop.
void ExpectFrameQueuesGone(CheckerHarness& harness, MSG_Q_ID firmwareFrameSend,
                           MSG_Q_ID firmwareFrameReceive) {
  for (const char* name : {"frame-send", "~frame-send", "~frame-receive", "frame-receive"}) {
    EXPECT_EQ(msgQOpen(harness.Host().FullName(name).c_str(), 0, 0, 0, 0, nullptr), nullptr) << name;
    EXPECT_EQ(harness.Host().Waiting(name), -1) << name;
  }
  char byte = 0;
  errno = 0;
  EXPECT_EQ(msgQSend(firmwareFrameReceive, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_INVALID_ID) << "deleted, not merely full";
  errno = 0;
  EXPECT_EQ(msgQReceive(firmwareFrameSend, &byte, 1, NO_WAIT), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_INVALID_ID) << "deleted, not merely empty";
  EXPECT_FALSE(harness.HostSend("frame-send", Bytes(20, 1)));
}

TEST(CheckerFailSafeTest, UnlockDeadlineFiresOnceAndFailsSafe) {
  CheckerHarness harness;
  harness.Start();
  ASSERT_TRUE(harness.Handshake());
  MSG_Q_ID frameSend = harness.FirmwareQueue("frame-send");
  MSG_Q_ID frameReceive = harness.FirmwareQueue("frame-receive");
  ASSERT_NE(frameSend, nullptr);
  ASSERT_NE(frameReceive, nullptr);
  ASSERT_TRUE(harness.TakeCycle());
  // The first request, 5 bytes long, arms the deadline.
  const int64_t armed = Now();
  ASSERT_TRUE(harness.HostSend("unlock-request", Bytes(5, 0x5A)));
  harness.GiveCycle();
  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.FirmwareCollect("unlock-request"), std::vector<Bytes>{Bytes(5, 0x5A)});
  // A second request 15 s later does not move it.
  MoveClockTo(armed + 15);
  ASSERT_TRUE(harness.HostSend("unlock-request", Bytes(21, 0x21)));
  harness.GiveCycle();
  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.FirmwareCollect("unlock-request"), std::vector<Bytes>{Bytes(21, 0x21)});
  // Nothing happens before 20 s.
  MoveClockTo(armed + 17);
  harness.GiveCycle();
  EXPECT_FALSE(WaitPlcResets(harness, 1, std::chrono::milliseconds(2000)));
  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(Count(harness.CollectLog(), 0xE20E), 0);
  harness.GiveCycle();
  // Past it: one record, one controller reset, then fail-safe.
  MoveClockTo(armed + 22);
  ASSERT_TRUE(WaitPlcResets(harness, 1, std::chrono::seconds(20)));
  ASSERT_TRUE(WaitFrameQueuesGone(harness, std::chrono::seconds(20)));
  ASSERT_TRUE(harness.TakeCycle());
  const auto log = harness.CollectLog();
  EXPECT_EQ(Count(log, 0xE20E), 1);
  EXPECT_EQ(log.size(), 1u);
  const auto calls = harness.Host().CallLog();
  for (const auto& call : calls) {
    if (call.number == 0x93) {
      EXPECT_EQ(call.values[0], 32u);
    }
  }
  ExpectFrameQueuesGone(harness, frameSend, frameReceive);
  // Unlock relay and the cycle go on; there is never a second reset.
  ASSERT_TRUE(harness.HostSend("unlock-request", Bytes(21, 0x77)));
  harness.GiveCycle();
  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.FirmwareCollect("unlock-request"), std::vector<Bytes>{Bytes(21, 0x77)});
  MoveClockTo(armed + 40);
  harness.GiveCycle();
  EXPECT_FALSE(WaitPlcResets(harness, 2, std::chrono::milliseconds(1500)));
  ASSERT_TRUE(harness.Cycle());
  EXPECT_TRUE(harness.Running());
}

TEST(CheckerFailSafeTest, FailSafeFromTheHandshakeKeepsRelayingAndTheDeadlineStillFires) {
  CheckerHarness harness;
  harness.Start();
  const auto ident = harness.WaitCondition1();
  ASSERT_TRUE(ident);
  MSG_Q_ID frameSend = harness.FirmwareQueue("frame-send");
  MSG_Q_ID frameReceive = harness.FirmwareQueue("frame-receive");
  harness.AnswerCondition2(*ident ^ 0x00010000u);
  ASSERT_TRUE(harness.TakeCycle());
  ExpectFrameQueuesGone(harness, frameSend, frameReceive);
  // Command, event, response and unlock relay go on; status responses are marked.
  ASSERT_TRUE(harness.HostSend("command", TestFrames::BuildCommand({})));
  ASSERT_TRUE(harness.FirmwareSend("event", TestFrames::BuildEvent(1, 0x61230001u, 0, 0)));
  TestFrames::StatusSpec status;
  status.result = 3;  // not successful: nothing to inspect
  ASSERT_TRUE(harness.FirmwareSend("status", TestFrames::BuildStatus(status)));
  const int64_t armed = Now();
  ASSERT_TRUE(harness.HostSend("unlock-request", Bytes(21, 0x01)));
  harness.GiveCycle();
  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.FirmwareCollect("command").size(), 1u);
  EXPECT_EQ(harness.FirmwareCollect("unlock-request").size(), 1u);
  auto responses = harness.HostCollect("status");
  ASSERT_EQ(responses.size(), 1u);
  EXPECT_EQ(responses[0][TestFrames::ResponseOffsets::FailSafeByte], 4) << "marked checker fail-safe";
  // The deadline still fires in fail-safe.
  MoveClockTo(armed + 22);
  harness.GiveCycle();
  ASSERT_TRUE(WaitPlcResets(harness, 1, std::chrono::seconds(20)));
  ASSERT_TRUE(harness.TakeCycle());
  const auto log = harness.CollectLog();
  EXPECT_EQ(Count(log, 0xE203), 1);
  EXPECT_EQ(Count(log, 0xE20E), 1);
  // It never reverts.
  ExpectFrameQueuesGone(harness, frameSend, frameReceive);
  harness.GiveCycle();
  ASSERT_TRUE(harness.Cycle());
}

}  // namespace
