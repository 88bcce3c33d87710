// Tasks, the run lock and the clock rate of the POSIX stand-in.
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "RtpTestSupport.h"
#include "rtp_runlock.h"

namespace rtptest {
namespace {

using RtpTaskTest = RtpTest;

/// What a task saw of itself.
struct SelfReport {
  std::atomic<bool> done{false};  ///< the task finished its report
  std::string name;               ///< ScmSimTaskName
  char threadName[32] = {};       ///< the system's thread name
  size_t stackSize = 0;           ///< the thread's stack size
  _Vx_usr_arg_t args[10] = {};    ///< arguments received
  int isTask = 0;                 ///< ScmSimIsTask
};

int ReportSelf(_Vx_usr_arg_t a1, _Vx_usr_arg_t a2, _Vx_usr_arg_t a3, _Vx_usr_arg_t a4, _Vx_usr_arg_t a5,
               _Vx_usr_arg_t a6, _Vx_usr_arg_t a7, _Vx_usr_arg_t a8, _Vx_usr_arg_t a9, _Vx_usr_arg_t a10) {
  auto* report = reinterpret_cast<SelfReport*>(a1);
  const _Vx_usr_arg_t args[10] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10};
  memcpy(report->args, args, sizeof(args));
  report->name = ScmSimTaskName();
  report->isTask = ScmSimIsTask();
  pthread_getname_np(pthread_self(), report->threadName, sizeof(report->threadName));
  pthread_attr_t attr;
  pthread_getattr_np(pthread_self(), &attr);
  pthread_attr_getstacksize(&attr, &report->stackSize);
  pthread_attr_destroy(&attr);
  report->done = true;
  return 0;
}

/// One spawn: requested stack and the least the task must get.
struct StackCase {
  size_t requested;  ///< stack size asked for
  size_t minimum;    ///< least stack size expected
};

class RtpTaskStackTest : public RtpTest, public ::testing::WithParamInterface<StackCase> {};

TEST_P(RtpTaskStackTest, TaskKeepsItsFullNameArgumentsAndGetsAtLeastTheStack) {
  const StackCase c = GetParam();
  SelfReport report;
  const TASK_ID id = taskSpawn("scm0007/background-long-name", 128, 0, c.requested, ReportSelf,
                               reinterpret_cast<_Vx_usr_arg_t>(&report), 2, 3, 4, 5, 6, 7, 8, 9, -10);
  ASSERT_NE(id, TASK_ID_ERROR);
  ASSERT_TRUE(WaitFor([&] { return report.done.load(); }));
  EXPECT_EQ(report.name, "scm0007/background-long-name");
  EXPECT_STREQ(report.threadName, "scm0007/backgro");  // 15 characters
  EXPECT_EQ(report.isTask, 1);
  EXPECT_GE(report.stackSize, c.minimum);
  EXPECT_EQ(report.args[1], 2);
  EXPECT_EQ(report.args[9], -10);
}

INSTANTIATE_TEST_SUITE_P(Stacks, RtpTaskStackTest,
                         ::testing::Values(StackCase{4096, size_t{1} << 20}, StackCase{16384, size_t{1} << 20},
                                           StackCase{size_t{4} << 20, size_t{4} << 20}));

TEST_F(RtpTaskTest, TestThreadsAreNotTasks) {
  EXPECT_EQ(ScmSimIsTask(), 0);
  EXPECT_EQ(ScmSimTaskName(), nullptr);
  ScmSimBlockingBegin();  // no-ops outside tasks
  ScmSimBlockingEnd();
}

/// One refusal setting: in-process setter or environment, and which names are refused.
struct RefuseCase {
  const char* setter;  ///< ScmSimSetRefuseSpawn argument, null: use env
  const char* env;     ///< SCM_SIM_REFUSE_SPAWN, null: unset
  const char* name;    ///< task name spawned
  bool refused;        ///< expected outcome
};

class RtpTaskRefuseTest : public RtpTest, public ::testing::WithParamInterface<RefuseCase> {};

TEST_P(RtpTaskRefuseTest, SpawnRefusalHook) {
  const RefuseCase c = GetParam();
  if (c.env != nullptr) {
    setenv("SCM_SIM_REFUSE_SPAWN", c.env, 1);
  }
  ScmSimSetRefuseSpawn(c.setter);
  SelfReport report;
  errno = 0;
  const TASK_ID id = taskSpawn(c.name, 127, 0, 4096, ReportSelf, reinterpret_cast<_Vx_usr_arg_t>(&report), 0, 0,
                               0, 0, 0, 0, 0, 0, 0);
  ScmSimSetRefuseSpawn(nullptr);
  unsetenv("SCM_SIM_REFUSE_SPAWN");
  if (c.refused) {
    EXPECT_EQ(id, TASK_ID_ERROR);
    EXPECT_EQ(errno, SCM_ERRNO_NO_MEMORY);
  } else {
    ASSERT_NE(id, TASK_ID_ERROR);
    EXPECT_TRUE(WaitFor([&] { return report.done.load(); }));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, RtpTaskRefuseTest,
    ::testing::Values(RefuseCase{"/timeout", nullptr, "scm0007/timeout", true},
                      RefuseCase{"/timeout", nullptr, "scm0007/check", false},
                      RefuseCase{nullptr, "cyclic", "scm0007/cyclic", true},
                      RefuseCase{nullptr, "cyclic", "scm0007/background", false},
                      RefuseCase{"", "cyclic", "scm0007/cyclic", false},  // setter overrides env
                      RefuseCase{nullptr, "", "scm0007/cyclic", false}));

TEST_F(RtpTaskTest, BadSpawnArgumentsGiveTheErrorId) {
  EXPECT_EQ(taskSpawn("x", 127, 0, 4096, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), TASK_ID_ERROR);
  SelfReport report;
  const auto arg = reinterpret_cast<_Vx_usr_arg_t>(&report);
  EXPECT_EQ(taskSpawn("x", 256, 0, 4096, ReportSelf, arg, 0, 0, 0, 0, 0, 0, 0, 0, 0), TASK_ID_ERROR);
  EXPECT_EQ(taskSpawn("x", -1, 0, 4096, ReportSelf, arg, 0, 0, 0, 0, 0, 0, 0, 0, 0), TASK_ID_ERROR);
}

/// Shared state of the run-lock tests' tasks.
struct TurnLog {
  std::mutex lock;                  ///< guards order
  std::vector<std::string> order;   ///< who ran, in order
  std::atomic<int> inside{0};       ///< tasks inside their stretch now
  std::atomic<int> maxInside{0};    ///< most inside at once
  std::atomic<int> switches{0};     ///< times the runner changed
  std::atomic<long> last{-1};       ///< last runner
  std::atomic<int> finished{0};     ///< tasks done
  std::atomic<int> started{0};      ///< tasks started
  SEM_ID sem = nullptr;             ///< semaphore of the handover test
};

int Alternate(_Vx_usr_arg_t logArg, _Vx_usr_arg_t who, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
              _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  auto* log = reinterpret_cast<TurnLog*>(logArg);
  ++log->started;
  while (log->started.load() < 2) {
    taskDelay(0);  // until both run: ready, so the other takes over as soon as it starts
  }
  for (int i = 0; i < 300; ++i) {
    const int now = ++log->inside;
    int seen = log->maxInside.load();
    while (now > seen && !log->maxInside.compare_exchange_weak(seen, now)) {
    }
    if (log->last.exchange(who) != who) {
      ++log->switches;
    }
    for (int spin = 0; spin < 1000; ++spin) {
      asm volatile("" ::: "memory");  // work the compiler cannot drop
    }
    --log->inside;
    taskDelay(0);
  }
  ++log->finished;
  return 0;
}

TEST_F(RtpTaskTest, TwoTasksOfAProcessNeverRunAtOnceButTakeTurns) {
  TurnLog log;
  const auto arg = reinterpret_cast<_Vx_usr_arg_t>(&log);
  ASSERT_NE(taskSpawn("a", 127, 0, 0, Alternate, arg, 1, 0, 0, 0, 0, 0, 0, 0, 0), TASK_ID_ERROR);
  ASSERT_NE(taskSpawn("b", 127, 0, 0, Alternate, arg, 2, 0, 0, 0, 0, 0, 0, 0, 0), TASK_ID_ERROR);
  ASSERT_TRUE(WaitFor([&] { return log.finished.load() == 2; }));
  EXPECT_EQ(log.maxInside.load(), 1);
  EXPECT_GT(log.switches.load(), 500) << "taskDelay(0) must hand over to the other ready task";
}

void Record(TurnLog* log, const char* what) {
  std::lock_guard<std::mutex> guard(log->lock);
  log->order.emplace_back(what);
}

int RecordAndEnd(_Vx_usr_arg_t logArg, _Vx_usr_arg_t what, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                 _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  auto* log = reinterpret_cast<TurnLog*>(logArg);
  Record(log, reinterpret_cast<const char*>(what));
  ++log->finished;
  return 0;
}

int SpawnTwoThenYield(_Vx_usr_arg_t logArg, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                      _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  auto* log = reinterpret_cast<TurnLog*>(logArg);
  static const char kLow[] = "low";
  static const char kHigh[] = "high";
  taskSpawn("low", 150, 0, 0, RecordAndEnd, logArg, reinterpret_cast<_Vx_usr_arg_t>(kLow), 0, 0, 0, 0, 0, 0, 0, 0);
  taskSpawn("high", 50, 0, 0, RecordAndEnd, logArg, reinterpret_cast<_Vx_usr_arg_t>(kHigh), 0, 0, 0, 0, 0, 0, 0, 0);
  // holding the run lock without blocking: both new tasks queue up behind it
  while (ScmSimReadyTaskCount() < 2) {
    sched_yield();
  }
  Record(log, "spawner");
  taskDelay(0);
  Record(log, "spawner again");
  ++log->finished;
  return 0;
}

TEST_F(RtpTaskTest, HandoverPrefersTheHighestPriorityReadyTask) {
  TurnLog log;
  ASSERT_NE(taskSpawn("spawner", 100, 0, 0, SpawnTwoThenYield, reinterpret_cast<_Vx_usr_arg_t>(&log), 0, 0, 0, 0,
                      0, 0, 0, 0, 0),
            TASK_ID_ERROR);
  ASSERT_TRUE(WaitFor([&] { return log.finished.load() == 3; }));
  const std::vector<std::string> expected = {"spawner", "high", "spawner again", "low"};
  EXPECT_EQ(log.order, expected);
}

int TakeThenRecord(_Vx_usr_arg_t logArg, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                   _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  auto* log = reinterpret_cast<TurnLog*>(logArg);
  Record(log, semTake(log->sem, 10000) == OK ? "taken" : "take failed");
  ++log->finished;
  return 0;
}

int GiveThenRecord(_Vx_usr_arg_t logArg, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                   _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  auto* log = reinterpret_cast<TurnLog*>(logArg);
  while (ScmSimSemWaiters(log->sem) < 1) {
    taskDelay(1);
  }
  Record(log, "giving");
  semGive(log->sem);
  Record(log, "given");
  ++log->finished;
  return 0;
}

TEST_F(RtpTaskTest, WaitingTakeLetsTheOtherTaskRun) {
  TurnLog log;
  log.sem = CreateSem("/scm0007/~frame-send");
  ASSERT_NE(log.sem, nullptr);
  const auto arg = reinterpret_cast<_Vx_usr_arg_t>(&log);
  ASSERT_NE(taskSpawn("taker", 100, 0, 0, TakeThenRecord, arg, 0, 0, 0, 0, 0, 0, 0, 0, 0), TASK_ID_ERROR);
  ASSERT_NE(taskSpawn("giver", 100, 0, 0, GiveThenRecord, arg, 0, 0, 0, 0, 0, 0, 0, 0, 0), TASK_ID_ERROR);
  ASSERT_TRUE(WaitFor([&] { return log.finished.load() == 2; }));
  // the giver keeps the processor after its give until it ends; only then does the taker run
  const std::vector<std::string> expected = {"giving", "given", "taken"};
  EXPECT_EQ(log.order, expected);
  EXPECT_EQ(semDelete(log.sem), OK);
}

int BlockOutsideThePlatform(_Vx_usr_arg_t logArg, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                            _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  auto* log = reinterpret_cast<TurnLog*>(logArg);
  Record(log, "blocking");
  ScmSimBlockingBegin();  // as the host-call seam does around its condition wait
  const bool otherRan = WaitFor([&] { return log->started.load() == 1; });
  ScmSimBlockingEnd();
  Record(log, otherRan ? "woken" : "other never ran");
  ++log->finished;
  return 0;
}

int RunWhileOtherBlocks(_Vx_usr_arg_t logArg, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                        _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  auto* log = reinterpret_cast<TurnLog*>(logArg);
  Record(log, "other");
  ++log->started;
  ++log->finished;
  return 0;
}

TEST_F(RtpTaskTest, BlockingBracketOfTheHostCallSeamLetsOtherTasksRun) {
  TurnLog log;
  const auto arg = reinterpret_cast<_Vx_usr_arg_t>(&log);
  ASSERT_NE(taskSpawn("blocker", 100, 0, 0, BlockOutsideThePlatform, arg, 0, 0, 0, 0, 0, 0, 0, 0, 0), TASK_ID_ERROR);
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard<std::mutex> guard(log.lock);
    return !log.order.empty();
  }));
  ASSERT_NE(taskSpawn("other", 100, 0, 0, RunWhileOtherBlocks, arg, 0, 0, 0, 0, 0, 0, 0, 0, 0), TASK_ID_ERROR);
  ASSERT_TRUE(WaitFor([&] { return log.finished.load() == 2; }));
  const std::vector<std::string> expected = {"blocking", "other", "woken"};
  EXPECT_EQ(log.order, expected);
}

TEST_F(RtpTaskTest, DelaySleepsItsTicksAndRejectsNegativeTicks) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(taskDelay(15), OK);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(15));
  EXPECT_EQ(taskDelay(0), OK);
  errno = 0;
  EXPECT_EQ(taskDelay(-1), ERROR);
  EXPECT_EQ(errno, SCM_ERRNO_BAD_ARGUMENT);
}

/// One SCM_SIM_CLK_RATE setting and the rate it gives.
struct RateCase {
  const char* env;  ///< value, null: unset
  int rate;         ///< sysClkRateGet
};

class RtpClkRateTest : public RtpTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(RtpClkRateTest, ClockRateComesFromTheEnvironment) {
  const RateCase c = GetParam();
  if (c.env != nullptr) {
    setenv("SCM_SIM_CLK_RATE", c.env, 1);
  }
  EXPECT_EQ(sysClkRateGet(), c.rate);
  unsetenv("SCM_SIM_CLK_RATE");
}

INSTANTIATE_TEST_SUITE_P(Values, RtpClkRateTest,
                         ::testing::Values(RateCase{nullptr, 1000}, RateCase{"100", 100}, RateCase{"60", 60},
                                           RateCase{"0", 1000}, RateCase{"-5", 1000}, RateCase{"12x", 1000},
                                           RateCase{"", 1000}, RateCase{"99999999999", 1000}));

}  // namespace
}  // namespace rtptest
