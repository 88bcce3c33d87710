// The in-memory variant of the platform API: the same queue and semaphore
// semantics as the POSIX stand-in, plus its control interface.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "rtp_mem_control.h"
#include "vxworks.h"

namespace {

/// Queue name used by the tests.
constexpr const char* kQueue = "/scm0007/~event";
/// Semaphore name used by the tests.
constexpr const char* kSem = "/scm0007/~frame-send";

class RtpMemTest : public ::testing::Test {
 protected:
  void SetUp() override { ScmMemReset(); }
  void TearDown() override { ScmMemReset(); }
  static MSG_Q_ID Open(const char* name) { return msgQOpen(name, 0, 0, 0, 0, nullptr); }
};

TEST_F(RtpMemTest, QueueEmptyFullTooLongAndInfo) {
  ASSERT_EQ(ScmMemCreateQueue(kQueue, 2, 11), OK);
  MSG_Q_ID queue = Open(kQueue);
  ASSERT_NE(queue, nullptr);
  char buffer[12] = {};
  errno = 0;
  EXPECT_EQ(msgQReceive(queue, buffer, sizeof(buffer), NO_WAIT), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_UNAVAILABLE);
  errno = 0;
  EXPECT_EQ(msgQSend(queue, buffer, 12, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_TOO_LONG);
  EXPECT_EQ(msgQSend(queue, buffer, 11, NO_WAIT, MSG_PRI_NORMAL), OK);
  EXPECT_EQ(msgQSend(queue, nullptr, 0, NO_WAIT, MSG_PRI_NORMAL), OK);
  errno = 0;
  EXPECT_EQ(msgQSend(queue, buffer, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_UNAVAILABLE);
  MSG_Q_INFO info{};
  ASSERT_EQ(msgQInfoGet(queue, &info), OK);
  EXPECT_EQ(info.numMsgs, 2);
  EXPECT_EQ(info.maxMsgs, 2);
  EXPECT_EQ(info.maxMsgLength, 11);
  errno = 0;
  EXPECT_EQ(Open("/scm0007/~status"), nullptr);
  EXPECT_EQ(errno, SCM_ERRNO_NOT_FOUND);
}

TEST_F(RtpMemTest, ReceiveTruncatesDiscardsWithMaximumZeroAndKeepsEmptyMessages) {
  ASSERT_EQ(ScmMemCreateQueue(kQueue, 4, 16), OK);
  MSG_Q_ID queue = Open(kQueue);
  char five[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(msgQSend(queue, five, 5, NO_WAIT, MSG_PRI_NORMAL), OK);
  ASSERT_EQ(msgQSend(queue, five, 5, NO_WAIT, MSG_PRI_NORMAL), OK);
  ASSERT_EQ(msgQSend(queue, nullptr, 0, NO_WAIT, MSG_PRI_NORMAL), OK);
  char got[8] = {};
  EXPECT_EQ(msgQReceive(queue, got, 3, NO_WAIT), 3);
  EXPECT_EQ(memcmp(got, five, 3), 0);
  EXPECT_EQ(msgQReceive(queue, nullptr, 0, NO_WAIT), 0);
  EXPECT_EQ(ScmMemQueueCount(kQueue), 1);
  EXPECT_EQ(msgQReceive(queue, got, sizeof(got), NO_WAIT), 0);
  EXPECT_EQ(ScmMemQueueCount(kQueue), 0);
}

TEST_F(RtpMemTest, CloseDeleteAndReCreationAsOnTheTarget) {
  ASSERT_EQ(ScmMemCreateQueue(kQueue, 2, 8), OK);
  MSG_Q_ID closed = Open(kQueue);
  MSG_Q_ID old = Open(kQueue);
  EXPECT_EQ(msgQClose(closed), OK);
  char byte = 1;
  errno = 0;
  EXPECT_EQ(msgQSend(closed, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_INVALID_ID);
  EXPECT_EQ(msgQDelete(old), OK);
  ASSERT_EQ(ScmMemCreateQueue(kQueue, 2, 8), OK);
  errno = 0;
  EXPECT_EQ(msgQSend(old, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_INVALID_ID);
  EXPECT_EQ(ScmMemQueueCount(kQueue), 0);
  EXPECT_EQ(msgQSend(nullptr, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  int notAHandle = 0;
  EXPECT_EQ(msgQReceive(reinterpret_cast<MSG_Q_ID>(&notAHandle), &byte, 1, NO_WAIT), ERROR);
}

/// One injected failure: operation, call that must fail.
struct InjectCase {
  ScmMemOp op;  ///< operation made to fail
  int which;    ///< 0 open, 1 send, 2 receive, 3 sem open, 4 take, 5 give
};

class RtpMemInjectTest : public RtpMemTest, public ::testing::WithParamInterface<InjectCase> {};

/// Runs call `which` once; true when it succeeded.
bool Call(int which) {
  char byte = 1;
  switch (which) {
    case 0:
      return msgQOpen(kQueue, 0, 0, 0, 0, nullptr) != nullptr;
    case 1:
      return msgQSend(msgQOpen(kQueue, 0, 0, 0, 0, nullptr), &byte, 1, NO_WAIT, 0) == OK;
    case 2:
      ScmMemQueuePut(kQueue, &byte, 1);
      return msgQReceive(msgQOpen(kQueue, 0, 0, 0, 0, nullptr), &byte, 1, NO_WAIT) == 1;
    case 3:
      return semOpen(kSem, 0, 0, 0, 0, nullptr) != nullptr;
    case 4:
      semGive(semOpen(kSem, 0, 0, 0, 0, nullptr));
      return semTake(semOpen(kSem, 0, 0, 0, 0, nullptr), NO_WAIT) == OK;
    default:
      return semGive(semOpen(kSem, 0, 0, 0, 0, nullptr)) == OK;
  }
}

TEST_P(RtpMemInjectTest, NextCallsFailWithTheGivenErrnoThenWorkAgain) {
  ASSERT_EQ(ScmMemCreateQueue(kQueue, 8, 8), OK);
  ASSERT_EQ(ScmMemCreateSemaphore(kSem, SEM_EMPTY), OK);
  ScmMemInjectFailures(GetParam().op, 2, 0x10C00);
  for (int i = 0; i < 2; ++i) {
    errno = 0;
    EXPECT_FALSE(Call(GetParam().which));
    EXPECT_EQ(errno, 0x10C00);
  }
  EXPECT_TRUE(Call(GetParam().which));
}

INSTANTIATE_TEST_SUITE_P(Ops, RtpMemInjectTest,
                         ::testing::Values(InjectCase{ScmMemOp::QueueOpen, 0}, InjectCase{ScmMemOp::Send, 1},
                                           InjectCase{ScmMemOp::Receive, 2}, InjectCase{ScmMemOp::SemOpen, 3},
                                           InjectCase{ScmMemOp::SemTake, 4}, InjectCase{ScmMemOp::SemGive, 5}));

TEST_F(RtpMemTest, ContentsCanBeInspectedPutAndCleared) {
  ASSERT_EQ(ScmMemCreateQueue(kQueue, 2, 4), OK);
  const uint8_t message[3] = {0xFE, 0x00, 0x7F};
  EXPECT_EQ(ScmMemQueuePut(kQueue, message, 3), OK);
  EXPECT_EQ(ScmMemQueuePut(kQueue, message, 5), ERROR);  // longer than the queue's maximum
  const std::vector<std::vector<uint8_t>> expected = {{0xFE, 0x00, 0x7F}};
  EXPECT_EQ(ScmMemQueueContents(kQueue), expected);
  EXPECT_EQ(ScmMemQueueClear(kQueue), OK);
  EXPECT_EQ(ScmMemQueueCount(kQueue), 0);
  EXPECT_EQ(ScmMemQueueCount("/absent"), -1);
}

TEST_F(RtpMemTest, BinarySemaphoreAndTakesThatWouldWait) {
  ASSERT_EQ(ScmMemCreateSemaphore(kSem, SEM_EMPTY), OK);
  SEM_ID sem = semOpen(kSem, 0, 0, 0, 0, nullptr);
  ASSERT_NE(sem, nullptr);
  EXPECT_EQ(semGive(sem), OK);
  EXPECT_EQ(semGive(sem), OK);
  EXPECT_EQ(semTake(sem, NO_WAIT), OK);
  errno = 0;
  EXPECT_EQ(semTake(sem, NO_WAIT), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_UNAVAILABLE);
  errno = 0;
  EXPECT_EQ(semTake(sem, 10), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_TIMEOUT);
  errno = 0;
  EXPECT_EQ(semTake(sem, WAIT_FOREVER), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_SIM_BLOCKED);
  EXPECT_EQ(ScmMemSemGiveCount(kSem), 2);
  EXPECT_EQ(ScmMemSemTakeCount(kSem), 1);
  // a test script plays the other side: the checker gives while the firmware would wait
  std::vector<std::string> waitedOn;
  ScmMemSetBlockHook([&](const char* name, int timeout) {
    waitedOn.emplace_back(name);
    EXPECT_EQ(timeout, WAIT_FOREVER);
    return semGive(sem) == OK;
  });
  EXPECT_EQ(semTake(sem, WAIT_FOREVER), OK);
  EXPECT_EQ(waitedOn, std::vector<std::string>{kSem});
  EXPECT_EQ(ScmMemSemState(kSem), 0);
  EXPECT_EQ(semDelete(sem), OK);
  EXPECT_EQ(ScmMemSemState(kSem), -1);
  EXPECT_EQ(semGive(sem), ERROR);
}

int CountingLoop(_Vx_usr_arg_t counter, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                 _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  for (;;) {
    ++*reinterpret_cast<int*>(counter);
    if (*reinterpret_cast<int*>(counter) == 100) {
      taskExit(7);
    }
    taskDelay(10);
  }
}

TEST_F(RtpMemTest, SpawnIsRecordedAndItsEntryRunsOnlyWhenTheTestCallsIt) {
  int counter = 0;
  const TASK_ID id = taskSpawn("scm0007/cyclic-task", 127, 0, 4096, CountingLoop,
                               reinterpret_cast<_Vx_usr_arg_t>(&counter), 2, 3, 4, 5, 6, 7, 8, 9, 10);
  ASSERT_NE(id, TASK_ID_ERROR);
  EXPECT_EQ(counter, 0);
  const std::vector<ScmMemSpawnRecord> spawns = ScmMemSpawns();
  ASSERT_EQ(spawns.size(), 1u);
  EXPECT_EQ(spawns[0].name, "scm0007/cyclic-task");
  EXPECT_EQ(spawns[0].priority, 127);
  EXPECT_EQ(spawns[0].stackSize, 4096u);
  EXPECT_EQ(spawns[0].entry, &CountingLoop);
  EXPECT_EQ(spawns[0].args[9], 10);
  EXPECT_EQ(spawns[0].id, id);
  // the delay hook ends the loop after three delays
  ScmMemSetDelayHook([](int) {
    if (ScmMemDelayCalls() == 3) {
      throw ScmMemTaskExit{-5};
    }
  });
  EXPECT_EQ(ScmMemRunSpawn(0), -5);
  EXPECT_EQ(counter, 4);
  EXPECT_EQ(ScmMemDelayCalls(), 3);
  EXPECT_EQ(ScmMemDelayTicks(), 30);
  ScmMemSetDelayHook(nullptr);
  EXPECT_EQ(ScmMemRunSpawn(0), 7);  // its own taskExit
  EXPECT_EQ(counter, 100);
  ScmMemRefuseSpawn("/timeout");
  errno = 0;
  EXPECT_EQ(taskSpawn("scm0007/timeout", 127, 0, 4096, CountingLoop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), TASK_ID_ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_NO_MEMORY);
}

TEST_F(RtpMemTest, SyscallGoesToTheHookAndFailsWithoutOne) {
  errno = 0;
  EXPECT_EQ(rtpSyscall(1, 2, 3, 4, 5, 6, 7, 8, 0x80), -1);
  EXPECT_EQ(errno, SCM_ERRNO_HOST_CALL);
  std::vector<_Vx_usr_arg_t> seen;
  ScmMemSetSyscallHook([&](const _Vx_usr_arg_t words[8], int number) -> _Vx_usr_arg_t {
    seen.assign(words, words + 8);
    seen.push_back(number);
    return 42;
  });
  EXPECT_EQ(rtpSyscall(1, 2, 3, 4, 5, 6, 7, 8, 0x91), 42);
  const std::vector<_Vx_usr_arg_t> expected = {1, 2, 3, 4, 5, 6, 7, 8, 0x91};
  EXPECT_EQ(seen, expected);
}

TEST_F(RtpMemTest, RtpInfoClockRateAndReset) {
  RTP_DESC desc{};
  ASSERT_EQ(rtpInfoGet(getpid(), &desc), OK);
  EXPECT_EQ(desc.pathName[0], '/');
  ScmMemSetRtpInfo("/x/y", 0);
  ASSERT_EQ(rtpInfoGet(getpid(), &desc), OK);
  EXPECT_STREQ(desc.pathName, "/x/y");
  ScmMemSetRtpInfo(nullptr, 0x77);
  errno = 0;
  EXPECT_EQ(rtpInfoGet(getpid(), &desc), ERROR);
  EXPECT_EQ(errno, 0x77);
  EXPECT_EQ(sysClkRateGet(), 1000);
  ScmMemSetClkRate(60);
  EXPECT_EQ(sysClkRateGet(), 60);
  ASSERT_EQ(ScmMemCreateQueue(kQueue, 2, 8), OK);
  MSG_Q_ID queue = Open(kQueue);
  ScmMemReset();
  EXPECT_EQ(sysClkRateGet(), 1000);
  EXPECT_EQ(rtpInfoGet(getpid(), &desc), OK);
  char byte = 0;
  EXPECT_EQ(msgQSend(queue, &byte, 1, NO_WAIT, 0), ERROR) << "handles from before a reset are dead";
  EXPECT_EQ(Open(kQueue), nullptr);
}

TEST_F(RtpMemTest, ResetFreesEveryHandleAndNoLaterHandleTakesAnOldId) {
  ASSERT_EQ(ScmMemCreateQueue(kQueue, 2, 8), OK);
  ASSERT_EQ(ScmMemCreateSemaphore(kSem, SEM_EMPTY), OK);
  MSG_Q_ID closed = Open(kQueue);
  ASSERT_EQ(msgQClose(closed), OK);
  MSG_Q_ID queue = Open(kQueue);
  SEM_ID sem = semOpen(kSem, SEM_TYPE_BINARY, SEM_EMPTY, 0, 0, nullptr);
  ASSERT_NE(sem, nullptr);
  EXPECT_EQ(ScmMemHandleCount(), 3u);
  ScmMemReset();
  EXPECT_EQ(ScmMemHandleCount(), 0u);
  // Opened again after the reset, the old handles still fail: their ids are not reused.
  ASSERT_EQ(ScmMemCreateQueue(kQueue, 2, 8), OK);
  ASSERT_EQ(ScmMemCreateSemaphore(kSem, SEM_EMPTY), OK);
  for (int i = 0; i < 8; ++i) {
    ASSERT_NE(Open(kQueue), nullptr);
    ASSERT_NE(semOpen(kSem, SEM_TYPE_BINARY, SEM_EMPTY, 0, 0, nullptr), nullptr);
  }
  EXPECT_EQ(ScmMemHandleCount(), 16u);
  char byte = 0;
  errno = 0;
  EXPECT_EQ(msgQSend(queue, &byte, 1, NO_WAIT, 0), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_INVALID_ID);
  EXPECT_EQ(semGive(sem), ERROR);
  EXPECT_EQ(ScmMemQueueCount(kQueue), 0);
  EXPECT_EQ(ScmMemSemState(kSem), 0);
}

}  // namespace
