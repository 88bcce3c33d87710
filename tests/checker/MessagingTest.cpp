// The queue messaging against the in-memory platform: opening, the readiness
// queries, truncation, errors of every kind and the frame inhibit.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CDefaultMessaging.h"
#include "CException.h"
#include "CheckerTestDomain.h"
#include "ErrorCodes.h"
#include "ScmQueueNames.h"
#include "rtp_mem_control.h"

namespace {

using Main::CDefaultMessaging;
using Util::CException;
using Util::ErrorCodes;
using Bytes = std::vector<uint8_t>;

constexpr u16 kSdn = 7;

/// The fourteen queue names in the messaging's opening order, with the longest message.
struct QueueSpec {
  const char* name;
  int maxLength;
};
const QueueSpec kQueues[] = {
    {"/scm0007/unlock-request", 21},  {"/scm0007/~unlock-request", 21}, {"/scm0007/~unlock-response", 8},
    {"/scm0007/unlock-response", 8},  {"/scm0007/frame-send", 521},     {"/scm0007/~frame-send", 521},
    {"/scm0007/~frame-receive", 521}, {"/scm0007/frame-receive", 521},  {"/scm0007/command", 42},
    {"/scm0007/~command", 42},        {"/scm0007/~status", 280},        {"/scm0007/status", 280},
    {"/scm0007/~event", 11},          {"/scm0007/event", 11},
};

class MessagingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScmMemReset();
    SetCheckerTestDomain(kSdn);
  }
  void TearDown() override { ScmMemReset(); }

  static void CreateAll(int capacity = 2, int skip = -1) {
    for (int i = 0; i < 14; ++i) {
      if (i != skip) {
        ASSERT_EQ(ScmMemCreateQueue(kQueues[i].name, capacity, kQueues[i].maxLength), OK);
      }
    }
  }
  static void ExpectCode(const std::function<void()>& action, u16 code, u32 information1) {
    try {
      action();
      ADD_FAILURE() << "no exception";
    } catch (const CException& error) {
      EXPECT_EQ(error.GetCode(), code);
      EXPECT_EQ(error.GetInformation1(), information1);
    }
  }
  static void ExpectInternal(const std::function<void()>& action) {
    try {
      action();
      ADD_FAILURE() << "no exception";
    } catch (const CException& error) {
      EXPECT_EQ(error.GetCode(), ErrorCodes::ms_InternalError);
      EXPECT_NE(error.GetInformation0(), 0);
    }
  }
  static void Put(const char* name, const Bytes& bytes) {
    ASSERT_EQ(ScmMemQueuePut(name, bytes.data(), bytes.size()), OK);
  }
};

TEST_F(MessagingTest, NamesMatchTheHostLibrary) {
  char buffer[SCM_QUEUE_NAME_SIZE];
  EXPECT_STREQ(ScmGetUnlockRequestQueueFromRuntimeName(kSdn, buffer), kQueues[0].name);
  EXPECT_STREQ(ScmGetEventQueueToRuntimeName(kSdn, buffer), kQueues[13].name);
}

TEST_F(MessagingTest, EveryOperationBeforeInitializeIsInternalError) {
  CreateAll();
  CDefaultMessaging messaging;
  u8 buffer[600] = {};
  const std::vector<std::function<void()>> operations = {
      [&] { messaging.CanReceiveUnlockRequestFromRuntime(); },
      [&] { messaging.ReceiveUnlockRequestFromRuntime(21, buffer); },
      [&] { messaging.CanSendUnlockRequestToScm(); },
      [&] { messaging.SendInvertedUnlockRequestToScm(1, buffer); },
      [&] { messaging.CanReceiveUnlockResponseFromScm(); },
      [&] { messaging.ReceiveInvertedUnlockResponseFromScm(8, buffer); },
      [&] { messaging.CanSendUnlockResponseToRuntime(); },
      [&] { messaging.SendUnlockResponseToRuntime(1, buffer); },
      [&] { messaging.CanReceiveFrameFromRuntime(); },
      [&] { messaging.ReceiveFrameFromRuntime(521, buffer); },
      [&] { messaging.CanSendFrameToScm(); },
      [&] { messaging.SendInvertedFrameToScm(1, buffer); },
      [&] { messaging.CanReceiveFrameFromScm(); },
      [&] { messaging.ReceiveInvertedFrameFromScm(521, buffer); },
      [&] { messaging.CanSendFrameToRuntime(); },
      [&] { messaging.SendFrameToRuntime(1, buffer); },
      [&] { messaging.InhibitFrames(); },
      [&] { messaging.CanReceiveCommandFromRuntime(); },
      [&] { messaging.ReceiveCommandFromRuntime(42, buffer); },
      [&] { messaging.CanSendCommandToScm(); },
      [&] { messaging.SendInvertedCommandToScm(1, buffer); },
      [&] { messaging.CanReceiveResponseFromScm(); },
      [&] { messaging.ReceiveInvertedResponseFromScm(280, buffer); },
      [&] { messaging.CanSendResponseToRuntime(); },
      [&] { messaging.SendResponseToRuntime(1, buffer); },
      [&] { messaging.CanReceiveEventFromScm(); },
      [&] { messaging.ReceiveInvertedEventFromScm(11, buffer); },
      [&] { messaging.CanSendEventToRuntime(); },
      [&] { messaging.SendEventToRuntime(1, buffer); },
  };
  for (size_t i = 0; i < operations.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectInternal(operations[i]);
  }
}

TEST_F(MessagingTest, SecondInitializeIsInternalError) {
  CreateAll();
  CDefaultMessaging messaging;
  messaging.Initialize();
  ExpectInternal([&] { messaging.Initialize(); });
}

TEST_F(MessagingTest, AnyMissingQueueFailsWithErrnoAndKeepsTheOthers) {
  for (int missing = 0; missing < 14; ++missing) {
    SCOPED_TRACE(kQueues[missing].name);
    ScmMemReset();
    CreateAll(2, missing);
    CDefaultMessaging messaging;
    ExpectCode([&] { messaging.Initialize(); }, ErrorCodes::ms_QueueOpenFailed, SCM_ERRNO_NOT_FOUND);
    // The queues opened before the failure are neither closed nor deleted.
    for (int i = 0; i < missing; ++i) {
      EXPECT_EQ(ScmMemQueueCount(kQueues[i].name), 0);
    }
    // Still not initialized.
    ExpectInternal([&] { messaging.CanReceiveCommandFromRuntime(); });
  }
}

TEST_F(MessagingTest, ReadinessFollowsCountAndCapacity) {
  CreateAll(2);
  CDefaultMessaging messaging;
  messaging.Initialize();
  EXPECT_FALSE(messaging.CanReceiveCommandFromRuntime());
  Put("/scm0007/command", {1, 2, 3});
  EXPECT_TRUE(messaging.CanReceiveCommandFromRuntime());
  EXPECT_TRUE(messaging.CanSendFrameToRuntime());
  Put("/scm0007/frame-receive", {1});
  EXPECT_TRUE(messaging.CanSendFrameToRuntime());
  Put("/scm0007/frame-receive", {2});
  EXPECT_FALSE(messaging.CanSendFrameToRuntime());
  // A full host frame queue stops only that kind.
  EXPECT_TRUE(messaging.CanSendEventToRuntime());
  EXPECT_TRUE(messaging.CanSendResponseToRuntime());
}

TEST_F(MessagingTest, ReceiveCutsToTheMaximumAndZeroDiscards) {
  CreateAll(4);
  CDefaultMessaging messaging;
  messaging.Initialize();
  Put("/scm0007/~status", {1, 2, 3, 4, 5});
  Put("/scm0007/~status", {6, 7});
  u8 buffer[280] = {};
  EXPECT_EQ(messaging.ReceiveInvertedResponseFromScm(3, buffer), 3);
  EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{1, 2, 3}));
  EXPECT_EQ(messaging.ReceiveInvertedResponseFromScm(0, buffer), 0);
  EXPECT_EQ(ScmMemQueueCount("/scm0007/~status"), 0);
}

TEST_F(MessagingTest, SendsTheBytesAsGiven) {
  CreateAll();
  CDefaultMessaging messaging;
  messaging.Initialize();
  const u8 frame[] = {0xAA, 0x55, 0x00};
  messaging.SendFrameToRuntime(3, frame);
  messaging.SendInvertedCommandToScm(2, frame);
  EXPECT_EQ(ScmMemQueueContents("/scm0007/frame-receive"), (std::vector<Bytes>{{0xAA, 0x55, 0x00}}));
  EXPECT_EQ(ScmMemQueueContents("/scm0007/~command"), (std::vector<Bytes>{{0xAA, 0x55}}));
}

TEST_F(MessagingTest, PlatformFailuresCarryErrno) {
  CreateAll(1);
  CDefaultMessaging messaging;
  messaging.Initialize();
  u8 buffer[21] = {};
  ScmMemInjectFailures(ScmMemOp::Receive, 1, 0x1234);
  ExpectCode([&] { messaging.ReceiveUnlockRequestFromRuntime(21, buffer); },
             ErrorCodes::ms_QueueReceiveFailed, 0x1234);
  ScmMemInjectFailures(ScmMemOp::Send, 1, 0x4321);
  ExpectCode([&] { messaging.SendUnlockResponseToRuntime(1, buffer); }, ErrorCodes::ms_QueueSendFailed,
             0x4321);
  // Receiving from an empty queue and sending to a full one fail as the platform reports.
  ExpectCode([&] { messaging.ReceiveUnlockRequestFromRuntime(21, buffer); },
             ErrorCodes::ms_QueueReceiveFailed, SCM_ERRNO_UNAVAILABLE);
  messaging.SendUnlockResponseToRuntime(1, buffer);
  ExpectCode([&] { messaging.SendUnlockResponseToRuntime(1, buffer); }, ErrorCodes::ms_QueueSendFailed,
             SCM_ERRNO_UNAVAILABLE);
  ASSERT_EQ(ScmMemDeleteQueue("/scm0007/status"), OK);
  ExpectCode([&] { messaging.CanSendResponseToRuntime(); }, ErrorCodes::ms_QueueInfoFailed,
             SCM_ERRNO_INVALID_ID);
}

TEST_F(MessagingTest, NullBuffersAreInternalErrors) {
  CreateAll();
  CDefaultMessaging messaging;
  messaging.Initialize();
  Put("/scm0007/~event", {1});
  ExpectInternal([&] { messaging.ReceiveInvertedEventFromScm(11, nullptr); });
  ExpectInternal([&] { messaging.SendEventToRuntime(1, nullptr); });
  EXPECT_EQ(ScmMemQueueCount("/scm0007/~event"), 1);
}

TEST_F(MessagingTest, InhibitFramesDeletesTheFrameQueuesOnce) {
  CreateAll();
  CDefaultMessaging messaging;
  messaging.Initialize();
  Put("/scm0007/frame-send", {1});
  Put("/scm0007/~frame-receive", {2});
  messaging.InhibitFrames();
  for (const char* name :
       {"/scm0007/frame-send", "/scm0007/~frame-send", "/scm0007/~frame-receive", "/scm0007/frame-receive"}) {
    EXPECT_EQ(ScmMemQueueCount(name), -1) << name;
  }
  EXPECT_FALSE(messaging.CanReceiveFrameFromRuntime());
  EXPECT_FALSE(messaging.CanReceiveFrameFromScm());
  EXPECT_FALSE(messaging.CanSendFrameToScm());
  EXPECT_FALSE(messaging.CanSendFrameToRuntime());
  // A frame call on a zeroed handle ends in the operation's error code.
  u8 buffer[521] = {};
  EXPECT_THROW(messaging.SendFrameToRuntime(1, buffer), CException);
  EXPECT_THROW(messaging.ReceiveFrameFromRuntime(521, buffer), CException);
  // The other kinds keep working.
  Put("/scm0007/command", {9});
  EXPECT_TRUE(messaging.CanReceiveCommandFromRuntime());
  EXPECT_EQ(messaging.ReceiveCommandFromRuntime(42, buffer), 1);
  // A second inhibit deletes nothing: a queue made again under the same name survives.
  ASSERT_EQ(ScmMemCreateQueue("/scm0007/frame-send", 2, 521), OK);
  messaging.InhibitFrames();
  EXPECT_EQ(ScmMemQueueCount("/scm0007/frame-send"), 0);
}

}  // namespace
