// Binary semaphores of the POSIX stand-in.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "RtpTestSupport.h"

namespace rtptest {
namespace {

/// Semaphore name used by the tests (the firmware-side frame queue names, as on the target).
constexpr const char* kSem = "/scm0007/~frame-send";
/// The other cycle semaphore.
constexpr const char* kOtherSem = "/scm0007/~frame-receive";

using RtpSemTest = RtpTest;

TEST_F(RtpSemTest, OpenWithoutCreateFindsNothing) {
  errno = 0;
  EXPECT_EQ(OpenSem(kSem), nullptr);
  EXPECT_EQ(errno, SCM_ERRNO_NOT_FOUND);
  errno = 0;
  EXPECT_EQ(OpenSem(nullptr), nullptr);
  EXPECT_EQ(errno, SCM_ERRNO_NOT_FOUND);
  errno = 0;
  EXPECT_EQ(semOpen(kSem, SEM_TYPE_BINARY + 1, SEM_EMPTY, 0, OM_CREATE, nullptr), nullptr);
  EXPECT_EQ(errno, SCM_ERRNO_BAD_ARGUMENT);
}

TEST_F(RtpSemTest, ExclusiveCreateAsTheOlderCheckerDoesRefusesAnExistingOne) {
  SEM_ID sem = CreateSem(kSem);
  ASSERT_NE(sem, nullptr);
  errno = 0;
  EXPECT_EQ(semOpen(kSem, SEM_TYPE_BINARY, SEM_EMPTY, 0, 0x70000000, nullptr), nullptr);
  EXPECT_EQ(errno, SCM_ERRNO_EXISTS);
  EXPECT_EQ(semDelete(sem), OK);
}

TEST_F(RtpSemTest, BinaryGiveGiveTakeTake) {
  SEM_ID sem = CreateSem(kSem);
  SEM_ID opened = OpenSem(kSem);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(semGive(sem), OK);
  EXPECT_EQ(semGive(opened), OK);  // full stays full
  EXPECT_EQ(semTake(opened, NO_WAIT), OK);
  errno = 0;
  EXPECT_EQ(semTake(sem, NO_WAIT), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_UNAVAILABLE);
  EXPECT_EQ(semDelete(sem), OK);
}

TEST_F(RtpSemTest, CreatedFullCanBeTakenOnce) {
  SEM_ID sem = CreateSem(kSem, SEM_FULL);
  ASSERT_NE(sem, nullptr);
  EXPECT_EQ(semTake(sem, NO_WAIT), OK);
  EXPECT_EQ(semTake(sem, NO_WAIT), ERROR);
  EXPECT_EQ(semDelete(sem), OK);
}

/// One timed take: clock rate, ticks, shortest wait.
struct TimeoutCase {
  const char* rate;  ///< SCM_SIM_CLK_RATE, null for the default
  int ticks;         ///< take timeout
  int minimumMs;     ///< it must not return earlier
};

class RtpSemTimeoutTest : public RtpTest, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(RtpSemTimeoutTest, TimedTakeRunsOutAfterItsTicks) {
  const TimeoutCase c = GetParam();
  if (c.rate != nullptr) {
    setenv("SCM_SIM_CLK_RATE", c.rate, 1);
  }
  SEM_ID sem = CreateSem(kSem);
  ASSERT_NE(sem, nullptr);
  const auto start = std::chrono::steady_clock::now();
  errno = 0;
  EXPECT_EQ(semTake(sem, c.ticks), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(c.minimumMs));
  unsetenv("SCM_SIM_CLK_RATE");
  EXPECT_EQ(semDelete(sem), OK);
}

INSTANTIATE_TEST_SUITE_P(Rates, RtpSemTimeoutTest,
                         ::testing::Values(TimeoutCase{nullptr, 1, 1}, TimeoutCase{nullptr, 25, 25},
                                           TimeoutCase{"100", 3, 30}));

TEST_F(RtpSemTest, TimedTakeSucceedsWhenGivenInTime) {
  SEM_ID sem = CreateSem(kSem);
  ASSERT_NE(sem, nullptr);
  std::thread giver([&] {
    ASSERT_TRUE(WaitFor([&] { return ScmSimSemWaiters(sem) == 1; }));
    semGive(sem);
  });
  EXPECT_EQ(semTake(sem, 10000), OK);
  giver.join();
  EXPECT_EQ(semTake(sem, NO_WAIT), ERROR);
  EXPECT_EQ(semDelete(sem), OK);
}

/// Starts count threads that each take sem without limit, waits until all are asleep in the take,
/// runs release, joins them and returns how many ended with outcome(result, errno).
int ReleaseWaiters(SEM_ID sem, int count, STATUS (*release)(SEM_ID), bool (*outcome)(STATUS, int)) {
  std::atomic<int> matched{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < count; ++i) {
    waiters.emplace_back([&] {
      const STATUS result = semTake(sem, WAIT_FOREVER);
      if (outcome(result, errno)) {
        ++matched;
      }
    });
  }
  EXPECT_TRUE(WaitFor([&] { return ScmSimSemWaiters(sem) == count; }));
  EXPECT_EQ(release(sem), OK);
  for (std::thread& t : waiters) {
    t.join();
  }
  return matched.load();
}

TEST_F(RtpSemTest, FlushWakesEveryWaiterAndStaysEmpty) {
  SEM_ID sem = CreateSem(kSem);
  ASSERT_NE(sem, nullptr);
  EXPECT_EQ(ReleaseWaiters(sem, 3, semFlush, [](STATUS result, int) { return result == OK; }), 3);
  errno = 0;
  EXPECT_EQ(semTake(sem, NO_WAIT), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_UNAVAILABLE);
  EXPECT_EQ(semDelete(sem), OK);
}

TEST_F(RtpSemTest, DeleteWakesWaitersWithAnError) {
  SEM_ID sem = CreateSem(kSem);
  ASSERT_NE(sem, nullptr);
  EXPECT_EQ(ReleaseWaiters(sem, 2, semDelete,
                           [](STATUS result, int error) {
                             return result == ERROR && error != SCM_ERRNO_UNAVAILABLE && error != 0;
                           }),
            2);
  EXPECT_EQ(semGive(sem), ERROR);
  EXPECT_EQ(semTake(sem, NO_WAIT), ERROR);
  EXPECT_EQ(semFlush(sem), ERROR);
  EXPECT_EQ(OpenSem(kSem), nullptr);
}

TEST_F(RtpSemTest, NullAndClosedHandlesFail) {
  SEM_ID sem = CreateSem(kSem);
  SEM_ID opened = OpenSem(kSem);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(semClose(opened), OK);
  for (SEM_ID bad : {static_cast<SEM_ID>(nullptr), opened}) {
    errno = 0;
    EXPECT_EQ(semTake(bad, NO_WAIT), ERROR);
    EXPECT_EQ(errno, SCM_ERRNO_INVALID_ID);
    EXPECT_EQ(semGive(bad), ERROR);
    EXPECT_EQ(semFlush(bad), ERROR);
    EXPECT_EQ(semClose(bad), ERROR);
    EXPECT_EQ(semDelete(bad), ERROR);
  }
  EXPECT_EQ(semGive(sem), OK);
  EXPECT_EQ(semDelete(sem), OK);
}

TEST_F(RtpSemTest, HandlesBeyondTheLockFreeTableWorkAndCloseAlone) {
  // More handles than the lookup table that needs no lock holds (4096): the
  // later ones are found in the registry, and closing one ends only it.
  constexpr int kHandles = 5000;
  SEM_ID sem = CreateSem(kSem);
  ASSERT_NE(sem, nullptr);
  std::vector<SEM_ID> handles;
  for (int i = 0; i < kHandles; ++i) {
    SEM_ID opened = OpenSem(kSem);
    ASSERT_NE(opened, nullptr) << "handle " << i;
    handles.push_back(opened);
  }
  EXPECT_EQ(semGive(handles.back()), OK);
  EXPECT_EQ(semTake(handles.front(), NO_WAIT), OK);
  EXPECT_EQ(semClose(handles.back()), OK);
  errno = 0;
  EXPECT_EQ(semGive(handles.back()), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_INVALID_ID);
  EXPECT_EQ(semGive(handles[kHandles - 2]), OK);
  EXPECT_EQ(semTake(sem, NO_WAIT), OK);
  EXPECT_EQ(semDelete(sem), OK);
}

TEST_F(RtpSemTest, ReCreatedSemaphoreIsNotReachableThroughOldHandles) {
  SEM_ID old = CreateSem(kSem);
  ASSERT_EQ(semDelete(old), OK);
  SEM_ID fresh = CreateSem(kSem);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(semGive(old), ERROR);
  EXPECT_EQ(semTake(fresh, NO_WAIT), ERROR) << "the old handle's give must not reach the new one";
  EXPECT_EQ(semDelete(fresh), OK);
}

TEST_F(RtpSemTest, CrossProcessGiveAndTakeKeepStep) {
  SEM_ID toChild = CreateSem(kSem);
  SEM_ID toParent = CreateSem(kOtherSem);
  ASSERT_NE(toChild, nullptr);
  ASSERT_NE(toParent, nullptr);
  constexpr int kRounds = 20;
  Child child([](Child&) {
    SEM_ID in = OpenSem(kSem);
    SEM_ID out = OpenSem(kOtherSem);
    if (in == nullptr || out == nullptr) {
      return 1;
    }
    for (int i = 0; i < kRounds; ++i) {
      if (semTake(in, WAIT_FOREVER) != OK || semGive(out) != OK) {
        return 2;
      }
    }
    return 0;
  });
  for (int i = 0; i < kRounds; ++i) {
    ASSERT_EQ(semGive(toChild), OK);
    ASSERT_EQ(semTake(toParent, 10000), OK) << "round " << i;
  }
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(semDelete(toChild), OK);
  EXPECT_EQ(semDelete(toParent), OK);
}

TEST_F(RtpSemTest, HolderKilledWhileHoldingTheLockDoesNotWedgeOthers) {
  SEM_ID sem = CreateSem(kSem);
  ASSERT_NE(sem, nullptr);
  Child child([](Child& self) {
    SEM_ID mine = OpenSem(kSem);
    if (mine == nullptr || ScmSimHoldSemLock(mine) != OK) {
      return 1;
    }
    self.Send('h');
    pause();
    return 0;
  });
  ASSERT_EQ(child.Receive(), 'h');
  child.Kill();
  EXPECT_EQ(semGive(sem), OK);
  EXPECT_EQ(semTake(sem, NO_WAIT), OK);
  EXPECT_EQ(semDelete(sem), OK);
}

TEST_F(RtpSemTest, WaiterKilledWhileWaitingDoesNotWedgeOthers) {
  SEM_ID sem = CreateSem(kSem);
  ASSERT_NE(sem, nullptr);
  Child child([](Child&) {
    SEM_ID mine = OpenSem(kSem);
    semTake(mine, WAIT_FOREVER);
    return 0;
  });
  ASSERT_TRUE(WaitFor([&] { return ScmSimSemWaiters(sem) == 1; }));
  child.Kill();
  std::thread waiter([&] { EXPECT_EQ(semTake(sem, 10000), OK); });
  ASSERT_TRUE(WaitFor([&] { return ScmSimSemWaiters(sem) == 2; }));  // the dead one stays counted
  EXPECT_EQ(semGive(sem), OK);
  waiter.join();
  EXPECT_EQ(semDelete(sem), OK);
}

}  // namespace
}  // namespace rtptest
