// Wake-ups of the POSIX stand-in: a task that waits sleeps exactly once per
// wake-up. The programs' CPU time per cycle is mostly what the machine charges
// for each time a task is put to sleep and woken, so a wait that slept twice
// for one post (a timed wait woken by its timer and by the post, a waiter
// woken only to sleep again on the object's lock or on the run lock) would
// double a program's cost without changing what it does.
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "RtpTestSupport.h"

namespace rtptest {
namespace {

/// Semaphore the waits use (the firmware's cycle semaphore name, as on the target).
constexpr const char* kSem = "/scm0007/~frame-receive";
/// Queue the waits use.
constexpr const char* kQueue = "/scm0007/~frame-from-scm";
/// Ticks of a timed wait: far beyond the test, so only the post can end it.
constexpr int kLongWaitTicks = 60000;
/// Ticks of the delay case.
constexpr int kDelayTicks = 20;

/// Times the calling thread has gone to sleep so far (its voluntary context switches).
long OwnSleeps() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

/// The kernel's view of one thread of this process: its state letter and its voluntary context switches.
struct ThreadView {
  char state = '?';  ///< 'S' while it sleeps
  long sleeps = -1;  ///< voluntary_ctxt_switches
};

ThreadView ViewThread(pid_t tid) {
  ThreadView view;
  std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "State:") {
      fields >> view.state;
    } else if (key == "voluntary_ctxt_switches:") {
      fields >> view.sleeps;
    }
  }
  return view;
}

/// The waits a task of a program makes.
enum class Wait {
  SemForever,    ///< semTake(WAIT_FOREVER), as the firmware's cyclic task and the checker's check task
  SemTimed,      ///< semTake with ticks, given before they run out
  QueueForever,  ///< msgQReceive(WAIT_FOREVER)
  QueueTimed,    ///< msgQReceive with ticks, sent to before they run out
  Delay,         ///< taskDelay: nobody posts, the ticks run out
};

/// Who posts the wake-up.
enum class Poster {
  ThisProcess,   ///< a thread of the waiter's process
  OtherProcess,  ///< another process, as the checker gives the firmware's semaphore
  Nobody,        ///< the delay ends by itself
};

/// One wait and who ends it.
struct WakeCase {
  const char* name;  ///< for the test's name
  Wait wait;         ///< what the task waits in
  Poster poster;     ///< who wakes it
};

void PrintTo(const WakeCase& c, std::ostream* os) { *os << c.name; }

/// What the waiting task saw.
struct WaitReport {
  Wait wait = Wait::SemForever;     ///< the wait to make
  SEM_ID sem = nullptr;             ///< semaphore of the semaphore cases
  MSG_Q_ID queue = nullptr;         ///< queue of the queue cases
  std::atomic<pid_t> tid{0};        ///< the task's thread, once it runs
  std::atomic<long> before{-1};     ///< its sleeps just before the wait
  std::atomic<bool> done{false};    ///< the wait returned
  long after = -1;                  ///< its sleeps just after the wait
  long result = ERROR;              ///< what the wait returned
};

int WaitOnce(_Vx_usr_arg_t a1, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
             _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  auto* report = reinterpret_cast<WaitReport*>(a1);
  report->tid = static_cast<pid_t>(syscall(SYS_gettid));
  char message[8] = {};
  long result = ERROR;
  report->before = OwnSleeps();
  switch (report->wait) {
    case Wait::SemForever:
      result = semTake(report->sem, WAIT_FOREVER);
      break;
    case Wait::SemTimed:
      result = semTake(report->sem, kLongWaitTicks);
      break;
    case Wait::QueueForever:
      result = msgQReceive(report->queue, message, sizeof message, WAIT_FOREVER);
      break;
    case Wait::QueueTimed:
      result = msgQReceive(report->queue, message, sizeof message, kLongWaitTicks);
      break;
    case Wait::Delay:
      result = taskDelay(kDelayTicks);
      break;
  }
  report->after = OwnSleeps();
  report->result = result;
  report->done = true;
  return 0;
}

/// Posts what ends the wait: a give or a one-byte message.
STATUS Post(Wait wait, SEM_ID sem, MSG_Q_ID queue) {
  char message[1] = {'w'};
  return wait == Wait::SemForever || wait == Wait::SemTimed ? semGive(sem)
                                                             : msgQSend(queue, message, 1, NO_WAIT, MSG_PRI_NORMAL);
}

class RtpWakeTest : public RtpTest, public ::testing::WithParamInterface<WakeCase> {};

TEST_P(RtpWakeTest, AWaitingTaskSleepsExactlyOncePerWakeUp) {
  const char* emulator = std::getenv("SCM_SIM_EMULATOR");
  if (emulator != nullptr && *emulator != '\0') {
    GTEST_SKIP() << "under user-mode emulation the emulator's own locking adds sleeps to every thread";
  }
  const WakeCase c = GetParam();
  WaitReport report;
  report.wait = c.wait;
  report.sem = CreateSem(kSem);
  report.queue = CreateQueue(kQueue, 4, 8);
  ASSERT_NE(report.sem, nullptr);
  ASSERT_NE(report.queue, nullptr);
  // The other process opens the objects before the task waits, so that nothing
  // but the post reaches them while it sleeps.
  Child other([&](Child& self) {
    SEM_ID sem = OpenSem(kSem);
    MSG_Q_ID queue = OpenQueue(kQueue);
    if (sem == nullptr || queue == nullptr) {
      return 1;
    }
    self.Send('o');
    return self.Receive() == 'p' && Post(c.wait, sem, queue) == OK ? 0 : 2;
  });
  ASSERT_EQ(other.Receive(), 'o');
  ASSERT_NE(taskSpawn("scm0007/waiter", 100, 0, 0, WaitOnce, reinterpret_cast<_Vx_usr_arg_t>(&report), 0, 0, 0,
                      0, 0, 0, 0, 0, 0),
            TASK_ID_ERROR);
  if (c.poster != Poster::Nobody) {
    // Posted only once the task sleeps in its wait, so that the post is what wakes it.
    ASSERT_TRUE(WaitFor([&] {
      const long before = report.before.load();
      if (before < 0) {
        return false;
      }
      const ThreadView view = ViewThread(report.tid.load());
      return view.state == 'S' && view.sleeps > before;
    }));
    if (c.poster == Poster::ThisProcess) {
      ASSERT_EQ(Post(c.wait, report.sem, report.queue), OK);
    } else {
      other.Send('p');
      EXPECT_EQ(other.Wait(), 0);
    }
  }
  ASSERT_TRUE(WaitFor([&] { return report.done.load(); }));
  EXPECT_EQ(report.result, c.wait == Wait::QueueForever || c.wait == Wait::QueueTimed ? 1 : OK);
  EXPECT_EQ(report.after - report.before.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, RtpWakeTest,
    ::testing::Values(WakeCase{"SemTakeGivenHere", Wait::SemForever, Poster::ThisProcess},
                      WakeCase{"SemTakeGivenByAnotherProcess", Wait::SemForever, Poster::OtherProcess},
                      WakeCase{"TimedSemTakeGivenByAnotherProcess", Wait::SemTimed, Poster::OtherProcess},
                      WakeCase{"ReceiveSentHere", Wait::QueueForever, Poster::ThisProcess},
                      WakeCase{"ReceiveSentByAnotherProcess", Wait::QueueForever, Poster::OtherProcess},
                      WakeCase{"TimedReceiveSentByAnotherProcess", Wait::QueueTimed, Poster::OtherProcess},
                      WakeCase{"DelayRunningOut", Wait::Delay, Poster::Nobody}),
    [](const ::testing::TestParamInfo<WakeCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rtptest
