// Message queues of the POSIX stand-in: the semantics the programs rely on.
#include <cerrno>
#include <cstring>
#include <thread>

#include "RtpTestSupport.h"

namespace rtptest {
namespace {

/// Queue name used by most tests (a real firmware-side name, '/' and '~' included).
constexpr const char* kQueue = "/scm0007/~frame-send";

using RtpQueueTest = RtpTest;

TEST_F(RtpQueueTest, OpenWithoutCreateFindsNothingAndNullNameFails) {
  errno = 0;
  EXPECT_EQ(OpenQueue(kQueue), nullptr);
  EXPECT_EQ(errno, SCM_ERRNO_NOT_FOUND);
  errno = 0;
  EXPECT_EQ(OpenQueue(nullptr), nullptr);
  EXPECT_EQ(errno, SCM_ERRNO_NOT_FOUND);
  errno = 0;
  EXPECT_EQ(CreateQueue(nullptr, 4, 8), nullptr);
  EXPECT_NE(errno, 0);
}

TEST_F(RtpQueueTest, ExclusiveCreateRefusesAnExistingQueueAndPlainCreateOpensIt) {
  MSG_Q_ID queue = CreateQueue(kQueue, 4, 8);
  ASSERT_NE(queue, nullptr);
  errno = 0;
  EXPECT_EQ(CreateQueue(kQueue, 4, 8), nullptr);
  EXPECT_EQ(errno, SCM_ERRNO_EXISTS);
  MSG_Q_ID same = msgQOpen(kQueue, 99, 99, 0, OM_CREATE, nullptr);
  ASSERT_NE(same, nullptr);
  MSG_Q_INFO info{};
  ASSERT_EQ(msgQInfoGet(same, &info), OK);
  EXPECT_EQ(info.maxMsgs, 4);  // the existing queue, not a new one
  char byte = 'x';
  ASSERT_EQ(msgQSend(queue, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), OK);
  char got = 0;
  EXPECT_EQ(msgQReceive(same, &got, 1, NO_WAIT), 1);
  EXPECT_EQ(got, 'x');
  EXPECT_EQ(msgQDelete(queue), OK);
}

TEST_F(RtpQueueTest, EmptyAndFullShowAsUnavailable) {
  MSG_Q_ID queue = CreateQueue(kQueue, 2, 8);
  ASSERT_NE(queue, nullptr);
  char buffer[8] = {1, 2, 3};
  errno = 0;
  EXPECT_EQ(msgQReceive(queue, buffer, sizeof(buffer), NO_WAIT), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_UNAVAILABLE);
  EXPECT_EQ(msgQSend(queue, buffer, 3, NO_WAIT, MSG_PRI_NORMAL), OK);
  EXPECT_EQ(msgQSend(queue, buffer, 3, NO_WAIT, MSG_PRI_NORMAL), OK);
  errno = 0;
  EXPECT_EQ(msgQSend(queue, buffer, 3, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_UNAVAILABLE);
  MSG_Q_INFO info{};
  ASSERT_EQ(msgQInfoGet(queue, &info), OK);
  EXPECT_EQ(info.numMsgs, 2);
  EXPECT_EQ(msgQDelete(queue), OK);
}

/// One receive: message length, receive maximum, expected result.
struct TruncationCase {
  unsigned int length;   ///< bytes sent
  unsigned int maximum;  ///< receive maximum
  ssize_t expected;      ///< bytes copied
};

class RtpQueueTruncationTest : public RtpTest, public ::testing::WithParamInterface<TruncationCase> {};

TEST_P(RtpQueueTruncationTest, CopiesTheShorterAndRemovesTheWholeMessage) {
  const TruncationCase c = GetParam();
  MSG_Q_ID queue = CreateQueue(kQueue, 4, 16);
  ASSERT_NE(queue, nullptr);
  char sent[16];
  for (unsigned int i = 0; i < sizeof(sent); ++i) {
    sent[i] = static_cast<char>(0xA0 + i);
  }
  char next = 'n';
  ASSERT_EQ(msgQSend(queue, sent, c.length, NO_WAIT, MSG_PRI_NORMAL), OK);
  ASSERT_EQ(msgQSend(queue, &next, 1, NO_WAIT, MSG_PRI_NORMAL), OK);
  char got[17];
  memset(got, 0x55, sizeof(got));
  EXPECT_EQ(msgQReceive(queue, c.maximum == 0 ? nullptr : got, c.maximum, NO_WAIT), c.expected);
  EXPECT_EQ(memcmp(got, sent, static_cast<size_t>(c.expected)), 0);
  EXPECT_EQ(static_cast<unsigned char>(got[c.expected]), 0x55) << "wrote past the copied bytes";
  // the rest of a truncated or discarded message is gone: the next receive gets the next message
  char after = 0;
  EXPECT_EQ(msgQReceive(queue, &after, 1, NO_WAIT), 1);
  EXPECT_EQ(after, 'n');
  EXPECT_EQ(msgQDelete(queue), OK);
}

INSTANTIATE_TEST_SUITE_P(Lengths, RtpQueueTruncationTest,
                         ::testing::Values(TruncationCase{5, 3, 3}, TruncationCase{5, 5, 5},
                                           TruncationCase{5, 16, 5}, TruncationCase{16, 16, 16},
                                           TruncationCase{5, 0, 0}, TruncationCase{0, 16, 0},
                                           TruncationCase{0, 0, 0}));

TEST_F(RtpQueueTest, EmptyMessagesAreMessages) {
  MSG_Q_ID queue = CreateQueue(kQueue, 2, 8);
  ASSERT_NE(queue, nullptr);
  EXPECT_EQ(msgQSend(queue, nullptr, 0, NO_WAIT, MSG_PRI_NORMAL), OK);
  MSG_Q_INFO info{};
  ASSERT_EQ(msgQInfoGet(queue, &info), OK);
  EXPECT_EQ(info.numMsgs, 1);
  char got[8];
  EXPECT_EQ(msgQReceive(queue, got, sizeof(got), NO_WAIT), 0);
  ASSERT_EQ(msgQInfoGet(queue, &info), OK);
  EXPECT_EQ(info.numMsgs, 0);
  EXPECT_EQ(msgQDelete(queue), OK);
}

TEST_F(RtpQueueTest, TooLongIsRefusedWithAnotherErrnoAndLeavesTheQueueAlone) {
  MSG_Q_ID queue = CreateQueue(kQueue, 2, 11);
  ASSERT_NE(queue, nullptr);
  char buffer[12] = {};
  errno = 0;
  EXPECT_EQ(msgQSend(queue, buffer, 12, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_TOO_LONG);
  EXPECT_EQ(msgQSend(queue, buffer, 11, NO_WAIT, MSG_PRI_NORMAL), OK);
  MSG_Q_INFO info{};
  ASSERT_EQ(msgQInfoGet(queue, &info), OK);
  EXPECT_EQ(info.numMsgs, 1);
  errno = 0;
  EXPECT_EQ(msgQSend(queue, nullptr, 3, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_BAD_ARGUMENT);
  EXPECT_EQ(msgQDelete(queue), OK);
}

TEST_F(RtpQueueTest, InfoCountsFollowSendsAndReceivesAcrossTheRing) {
  MSG_Q_ID queue = CreateQueue(kQueue, 3, 280);
  ASSERT_NE(queue, nullptr);
  MSG_Q_INFO info{};
  ASSERT_EQ(msgQInfoGet(queue, &info), OK);
  EXPECT_EQ(info.numMsgs, 0);
  EXPECT_EQ(info.maxMsgs, 3);
  EXPECT_EQ(info.maxMsgLength, 280);
  errno = 0;
  EXPECT_EQ(msgQInfoGet(queue, nullptr), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_BAD_ARGUMENT);
  // several rounds so that the ring wraps; order and contents must survive
  for (int round = 0; round < 4; ++round) {
    for (char i = 0; i < 3; ++i) {
      char message[2] = {static_cast<char>(round), i};
      ASSERT_EQ(msgQSend(queue, message, 2, NO_WAIT, MSG_PRI_NORMAL), OK);
      ASSERT_EQ(msgQInfoGet(queue, &info), OK);
      EXPECT_EQ(info.numMsgs, i + 1);
    }
    for (char i = 0; i < 3; ++i) {
      char got[2] = {};
      ASSERT_EQ(msgQReceive(queue, got, 2, NO_WAIT), 2);
      EXPECT_EQ(got[0], round);
      EXPECT_EQ(got[1], i);
    }
  }
  EXPECT_EQ(msgQDelete(queue), OK);
}

TEST_F(RtpQueueTest, CloseEndsOnlyThisHandle) {
  MSG_Q_ID queue = CreateQueue(kQueue, 2, 8);
  MSG_Q_ID other = OpenQueue(kQueue);
  ASSERT_NE(queue, nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(msgQClose(other), OK);
  char byte = 1;
  MSG_Q_INFO info{};
  errno = 0;
  EXPECT_EQ(msgQSend(other, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_INVALID_ID);
  EXPECT_EQ(msgQReceive(other, &byte, 1, NO_WAIT), ERROR);
  EXPECT_EQ(msgQInfoGet(other, &info), ERROR);
  EXPECT_EQ(msgQClose(other), ERROR);
  EXPECT_EQ(msgQDelete(other), ERROR);
  // the queue itself lives on
  EXPECT_EQ(msgQSend(queue, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), OK);
  EXPECT_NE(OpenQueue(kQueue), nullptr);
  EXPECT_EQ(msgQDelete(queue), OK);
}

TEST_F(RtpQueueTest, DeleteOnLastCloseRemovesTheQueueWithItsLastHandle) {
  MSG_Q_ID queue = msgQOpen(kQueue, 2, 8, 0, OM_CREATE | OM_DELETE_ON_LAST_CLOSE, nullptr);
  ASSERT_NE(queue, nullptr);
  MSG_Q_ID other = OpenQueue(kQueue);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(msgQClose(queue), OK);
  MSG_Q_ID third = OpenQueue(kQueue);
  ASSERT_NE(third, nullptr) << "still open through other";
  EXPECT_EQ(msgQClose(third), OK);
  EXPECT_EQ(msgQClose(other), OK);
  EXPECT_EQ(OpenQueue(kQueue), nullptr);
}

TEST_F(RtpQueueTest, NullClosedAndForeignHandlesFailWithoutCrashing) {
  int notAHandle = 0;
  const MSG_Q_ID bad[] = {nullptr, reinterpret_cast<MSG_Q_ID>(&notAHandle),
                          reinterpret_cast<MSG_Q_ID>(CreateSem("/scm0007/~frame-send"))};
  char byte = 0;
  MSG_Q_INFO info{};
  for (MSG_Q_ID queue : bad) {
    errno = 0;
    EXPECT_EQ(msgQSend(queue, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR);
    EXPECT_EQ(errno, SCM_ERRNO_INVALID_ID);
    errno = 0;
    EXPECT_EQ(msgQReceive(queue, &byte, 1, NO_WAIT), ERROR);
    EXPECT_EQ(errno, SCM_ERRNO_INVALID_ID);
    EXPECT_EQ(msgQInfoGet(queue, &info), ERROR);
    EXPECT_EQ(msgQClose(queue), ERROR);
    EXPECT_EQ(msgQDelete(queue), ERROR);
  }
}

TEST_F(RtpQueueTest, DeleteIsSeenThroughEveryHandleAndByName) {
  MSG_Q_ID queue = CreateQueue(kQueue, 2, 8);
  MSG_Q_ID other = OpenQueue(kQueue);
  ASSERT_NE(other, nullptr);
  char byte = 1;
  ASSERT_EQ(msgQSend(queue, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), OK);
  EXPECT_EQ(msgQDelete(queue), OK);
  for (MSG_Q_ID handle : {queue, other}) {
    MSG_Q_INFO info{};
    errno = 0;
    EXPECT_EQ(msgQReceive(handle, &byte, 1, NO_WAIT), ERROR);
    EXPECT_NE(errno, SCM_ERRNO_UNAVAILABLE);
    EXPECT_NE(errno, 0);
    errno = 0;
    EXPECT_EQ(msgQSend(handle, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR);
    EXPECT_NE(errno, SCM_ERRNO_UNAVAILABLE);
    EXPECT_NE(errno, 0);
    EXPECT_EQ(msgQInfoGet(handle, &info), ERROR);
    EXPECT_EQ(msgQDelete(handle), ERROR);
  }
  errno = 0;
  EXPECT_EQ(OpenQueue(kQueue), nullptr);
  EXPECT_EQ(errno, SCM_ERRNO_NOT_FOUND);
}

TEST_F(RtpQueueTest, DeleteIsSeenByASecondProcessAtOnce) {
  MSG_Q_ID queue = CreateQueue(kQueue, 2, 8);
  ASSERT_NE(queue, nullptr);
  Child child([](Child& self) {
    MSG_Q_ID mine = OpenQueue(kQueue);
    if (mine == nullptr) {
      return 10;
    }
    char byte = 1;
    if (msgQSend(mine, &byte, 1, NO_WAIT, MSG_PRI_NORMAL) != OK) {
      return 11;
    }
    self.Send('o');
    if (self.Receive() != 'd') {
      return 12;
    }
    errno = 0;
    if (msgQSend(mine, &byte, 1, NO_WAIT, MSG_PRI_NORMAL) != ERROR || errno == SCM_ERRNO_UNAVAILABLE) {
      return 13;
    }
    errno = 0;
    if (msgQReceive(mine, &byte, 1, NO_WAIT) != ERROR || errno == SCM_ERRNO_UNAVAILABLE || errno == 0) {
      return 14;
    }
    MSG_Q_INFO info{};
    if (msgQInfoGet(mine, &info) != ERROR || OpenQueue(kQueue) != nullptr) {
      return 15;
    }
    return 0;
  });
  ASSERT_EQ(child.Receive(), 'o');
  EXPECT_EQ(msgQDelete(queue), OK);
  child.Send('d');
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(RtpQueueTest, ReCreatedQueueIsNotReachableThroughOldHandles) {
  MSG_Q_ID old = CreateQueue(kQueue, 2, 8);
  MSG_Q_ID oldOther = OpenQueue(kQueue);
  ASSERT_NE(oldOther, nullptr);
  ASSERT_EQ(msgQDelete(old), OK);
  MSG_Q_ID fresh = CreateQueue(kQueue, 5, 8);
  ASSERT_NE(fresh, nullptr);
  char byte = 7;
  ASSERT_EQ(msgQSend(fresh, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), OK);
  for (MSG_Q_ID handle : {old, oldOther}) {
    MSG_Q_INFO info{};
    EXPECT_EQ(msgQReceive(handle, &byte, 1, NO_WAIT), ERROR);
    EXPECT_EQ(msgQSend(handle, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR);
    EXPECT_EQ(msgQInfoGet(handle, &info), ERROR);
    EXPECT_EQ(msgQDelete(handle), ERROR) << "must not delete the new queue";
  }
  MSG_Q_ID reopened = OpenQueue(kQueue);
  ASSERT_NE(reopened, nullptr);
  MSG_Q_INFO info{};
  ASSERT_EQ(msgQInfoGet(reopened, &info), OK);
  EXPECT_EQ(info.maxMsgs, 5);
  EXPECT_EQ(info.numMsgs, 1);
  EXPECT_EQ(msgQDelete(fresh), OK);
}

TEST_F(RtpQueueTest, QueuesAndSemaphoresAreSeparateNameSpaces) {
  MSG_Q_ID queue = CreateQueue(kQueue, 2, 8);
  SEM_ID sem = CreateSem(kQueue);
  ASSERT_NE(queue, nullptr);
  ASSERT_NE(sem, nullptr);
  ASSERT_EQ(msgQDelete(queue), OK);
  EXPECT_EQ(semGive(sem), OK);
  EXPECT_NE(OpenSem(kQueue), nullptr);
  EXPECT_EQ(OpenQueue(kQueue), nullptr);
  EXPECT_EQ(semDelete(sem), OK);
}

TEST_F(RtpQueueTest, TimedReceiveRunsOutAfterItsTicks) {
  MSG_Q_ID queue = CreateQueue(kQueue, 1, 8);
  ASSERT_NE(queue, nullptr);
  char byte = 0;
  const auto start = std::chrono::steady_clock::now();
  errno = 0;
  EXPECT_EQ(msgQReceive(queue, &byte, 1, 20), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  ASSERT_EQ(msgQSend(queue, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), OK);
  errno = 0;
  EXPECT_EQ(msgQSend(queue, &byte, 1, 5, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_TIMEOUT);
  EXPECT_EQ(msgQDelete(queue), OK);
}

TEST_F(RtpQueueTest, WaitingReceiveGetsAMessageFromAnotherProcess) {
  MSG_Q_ID queue = CreateQueue(kQueue, 1, 8);
  ASSERT_NE(queue, nullptr);
  Child child([](Child& self) {
    MSG_Q_ID mine = OpenQueue(kQueue);
    self.Receive();
    char message[3] = {'a', 'b', 'c'};
    return msgQSend(mine, message, 3, NO_WAIT, MSG_PRI_NORMAL) == OK ? 0 : 1;
  });
  child.Send('g');
  char got[8] = {};
  EXPECT_EQ(msgQReceive(queue, got, sizeof(got), WAIT_FOREVER), 3);
  EXPECT_EQ(std::string(got, 3), "abc");
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(msgQDelete(queue), OK);
}

TEST_F(RtpQueueTest, DeleteWakesAWaitingReceiver) {
  MSG_Q_ID queue = CreateQueue(kQueue, 1, 8);
  ASSERT_NE(queue, nullptr);
  int result = 0;
  int error = 0;
  std::thread waiter([&] {
    char byte = 0;
    result = static_cast<int>(msgQReceive(queue, &byte, 1, 10000));
    error = errno;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(msgQDelete(queue), OK);
  waiter.join();
  EXPECT_EQ(result, ERROR);
  EXPECT_NE(error, SCM_ERRNO_UNAVAILABLE);
  EXPECT_NE(error, 0);
}

TEST_F(RtpQueueTest, HolderKilledWhileHoldingTheLockDoesNotWedgeOthers) {
  MSG_Q_ID queue = CreateQueue(kQueue, 2, 8);
  ASSERT_NE(queue, nullptr);
  Child child([](Child& self) {
    MSG_Q_ID mine = OpenQueue(kQueue);
    if (mine == nullptr || ScmSimHoldQueueLock(mine) != OK) {
      return 1;
    }
    self.Send('h');
    pause();
    return 0;
  });
  ASSERT_EQ(child.Receive(), 'h');
  child.Kill();
  char byte = 3;
  EXPECT_EQ(msgQSend(queue, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), OK);
  byte = 0;
  EXPECT_EQ(msgQReceive(queue, &byte, 1, NO_WAIT), 1);
  EXPECT_EQ(byte, 3);
  EXPECT_EQ(msgQDelete(queue), OK);
}

}  // namespace
}  // namespace rtptest
