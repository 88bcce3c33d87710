// Tasks of the stand-in: threads that take turns under one run lock per
// process, so that the tasks of a program never run in parallel, as on the
// single-processor target. A task gives the run lock away only inside a
// blocking call; when it does, the highest-priority ready task (0 highest,
// first come first among equals) takes it. There is no preemption.
#include "rtp_internal.h"
#include "rtp_runlock.h"
#include "rtp_testhooks.h"

#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace scmsim {
namespace {

/// Smallest stack a task gets (sanitizer builds need far more than the target's sizes).
constexpr size_t kMinTaskStack = size_t{1} << 20;
/// Lowest priority a task may have (0 is the highest).
constexpr int kLowestPriority = 255;
/// Priority of the initial task (the target's default for an initial task).
constexpr int kInitialTaskPriority = 220;
/// Longest thread name the system keeps, without the terminating NUL.
constexpr size_t kThreadNameLength = 15;
/// First task id handed out.
constexpr TASK_ID kFirstTaskId = 0x10000;
/// Ready tasks the scheduler has room for without allocating (more still work, allocating).
constexpr size_t kReadyRoom = 64;

/// One task of this process.
struct Task {
  TASK_ID id;                  ///< id returned by taskSpawn
  std::string name;            ///< full name as given
  int priority;                ///< 0 highest
  FUNCPTR entry;               ///< entry function (null for the initial task)
  _Vx_usr_arg_t args[10];      ///< entry arguments
  uint64_t ticket;             ///< order of becoming ready, for first come first among equals
  int blockingDepth;           ///< nesting of ScmSimBlockingBegin without End
};

/// The process's run lock and task table.
struct Scheduler {
  std::mutex lock;                          ///< guards everything here
  std::condition_variable changed;          ///< run lock released or a task became ready
  Task* owner = nullptr;                    ///< task holding the run lock, null when free
  std::vector<Task*> ready;                 ///< tasks waiting for the run lock
  uint64_t tickets = 0;                     ///< last ticket handed out
  std::deque<std::unique_ptr<Task>> tasks;  ///< every task ever made (ids stay valid)
  int liveTasks = 0;                        ///< tasks not yet ended
  bool program = false;                     ///< the process has an initial task: it ends with its last task
  std::optional<std::string> refuseSpawn;   ///< in-process spawn refusal substring (overrides the environment)
};

Scheduler& Sched() {
  static Scheduler* scheduler = [] {
    auto* s = new Scheduler;  // never destroyed: tasks may run during exit
    // Taking turns must not allocate once the program runs.
    s->ready.reserve(kReadyRoom);
    return s;
  }();
  return *scheduler;
}

/// Body of the thread that ends at once (see WarmUpTaskExit).
void* EndAtOnce(void*) {
  pthread_exit(nullptr);
}

/// Ends one throwaway thread through pthread_exit, so that the C library
/// loads its unwinder now, at start-up, and no task's end (taskExit) later
/// allocates for it.
void WarmUpTaskExit() {
  pthread_t thread;
  if (pthread_create(&thread, nullptr, EndAtOnce, nullptr) == 0) {
    pthread_join(thread, nullptr);
  }
}

/// The task the calling thread is, null for other threads.
thread_local Task* tCurrent = nullptr;

/// The ready task that takes the run lock next (scheduler locked), null when none is ready.
Task* BestReady(const Scheduler& s) {
  Task* best = nullptr;
  for (Task* t : s.ready) {
    if (best == nullptr || t->priority < best->priority ||
        (t->priority == best->priority && t->ticket < best->ticket)) {
      best = t;
    }
  }
  return best;
}

/// Queues the task as ready and waits for its turn (scheduler locked by guard).
void WaitForTurn(Scheduler& s, std::unique_lock<std::mutex>& guard, Task* task) {
  task->ticket = ++s.tickets;
  if (s.owner == nullptr && s.ready.empty()) {
    s.owner = task;  // nobody else is ready (and so nobody waits): the turn is the caller's at once
    return;
  }
  s.ready.push_back(task);
  s.changed.notify_all();
  s.changed.wait(guard, [&] { return s.owner == nullptr && BestReady(s) == task; });
  s.ready.erase(std::find(s.ready.begin(), s.ready.end(), task));
  s.owner = task;
}

/// Takes the run lock for task once it is its turn.
void Acquire(Task* task) {
  Scheduler& s = Sched();
  std::unique_lock<std::mutex> guard(s.lock);
  WaitForTurn(s, guard, task);
}

/// Gives the run lock to the tasks ready now and queues the caller behind them, in one step,
/// so that a task becoming ready meanwhile cannot jump ahead of the caller.
void Yield(Task* task) {
  Scheduler& s = Sched();
  std::unique_lock<std::mutex> guard(s.lock);
  if (s.owner == task) {
    s.owner = nullptr;
  }
  WaitForTurn(s, guard, task);
}

/// Gives the run lock up, if task holds it, and lets the next ready task have it.
void Release(Task* task) {
  Scheduler& s = Sched();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.owner == task) {
    s.owner = nullptr;
  }
  if (!s.ready.empty()) {  // only ready tasks wait for a turn
    s.changed.notify_all();
  }
}

/// Ends the calling task: gives up the run lock and, in a program, ends the process with its last task.
void EndTask(Task* task) {
  Release(task);
  bool last = false;
  {
    Scheduler& s = Sched();
    std::lock_guard<std::mutex> guard(s.lock);
    --s.liveTasks;
    last = s.program && s.liveTasks == 0;
  }
  tCurrent = nullptr;
  if (last) {
    exit(0);
  }
}

/// Thread body of a spawned task: waits for its turn, runs the entry, ends the task.
void* TaskMain(void* arg) {
  Task* task = static_cast<Task*>(arg);
  tCurrent = task;
  pthread_setname_np(pthread_self(), task->name.substr(0, kThreadNameLength).c_str());
  Acquire(task);
  task->entry(task->args[0], task->args[1], task->args[2], task->args[3], task->args[4], task->args[5],
              task->args[6], task->args[7], task->args[8], task->args[9]);
  EndTask(task);
  return nullptr;
}

/// True when a spawn of that name is to be refused (called with the scheduler locked).
bool SpawnRefused(const Scheduler& s, const std::string& name) {
  std::string refuse;
  if (s.refuseSpawn.has_value()) {
    refuse = *s.refuseSpawn;
  } else {
    const char* env = getenv("SCM_SIM_REFUSE_SPAWN");
    refuse = env != nullptr ? env : "";
  }
  return !refuse.empty() && name.find(refuse) != std::string::npos;
}

}  // namespace

void StartInitialTask() {
  FreezeSettings();
  WarmUpTaskExit();
  Scheduler& s = Sched();
  Task* task = nullptr;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    auto made = std::make_unique<Task>();
    made->id = kFirstTaskId + static_cast<TASK_ID>(s.tasks.size());
    made->name = "initial";
    made->priority = kInitialTaskPriority;
    made->entry = nullptr;
    made->blockingDepth = 0;
    task = made.get();
    s.tasks.push_back(std::move(made));
    s.program = true;
    ++s.liveTasks;
  }
  tCurrent = task;
  Acquire(task);
}

}  // namespace scmsim

using namespace scmsim;

extern "C" void ScmSimBlockingBegin(void) {
  Task* task = tCurrent;
  if (task != nullptr && task->blockingDepth++ == 0) {
    Release(task);
  }
}

extern "C" void ScmSimBlockingEnd(void) {
  Task* task = tCurrent;
  if (task != nullptr && task->blockingDepth > 0 && --task->blockingDepth == 0) {
    Acquire(task);
  }
}

TASK_ID taskSpawn(const char* name, int priority, int /*options*/, size_t stackSize, FUNCPTR entry,
                  _Vx_usr_arg_t a1, _Vx_usr_arg_t a2, _Vx_usr_arg_t a3, _Vx_usr_arg_t a4,
                  _Vx_usr_arg_t a5, _Vx_usr_arg_t a6, _Vx_usr_arg_t a7, _Vx_usr_arg_t a8,
                  _Vx_usr_arg_t a9, _Vx_usr_arg_t a10) {
  if (entry == nullptr || priority < 0 || priority > kLowestPriority) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return TASK_ID_ERROR;
  }
  Scheduler& s = Sched();
  Task* task = nullptr;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    const TASK_ID id = kFirstTaskId + static_cast<TASK_ID>(s.tasks.size());
    std::string fullName = name != nullptr ? name : "t" + std::to_string(id);
    if (SpawnRefused(s, fullName)) {
      errno = SCM_ERRNO_NO_MEMORY;
      return TASK_ID_ERROR;
    }
    auto made = std::make_unique<Task>();
    made->id = id;
    made->name = std::move(fullName);
    made->priority = priority;
    made->entry = entry;
    const _Vx_usr_arg_t args[10] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10};
    memcpy(made->args, args, sizeof(args));
    made->blockingDepth = 0;
    task = made.get();
    s.tasks.push_back(std::move(made));
    ++s.liveTasks;
  }
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size_t stack = std::max(stackSize, kMinTaskStack);
  stack = (stack + page - 1) / page * page;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_attr_setstacksize(&attr, stack);
  pthread_t thread;
  const int rc = pthread_create(&thread, &attr, TaskMain, task);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    std::lock_guard<std::mutex> guard(s.lock);
    --s.liveTasks;
    errno = SCM_ERRNO_NO_MEMORY;
    return TASK_ID_ERROR;
  }
  return task->id;
}

void taskExit(int /*code*/) {
  Task* task = tCurrent;
  if (task != nullptr) {
    EndTask(task);
  }
  if (static_cast<pid_t>(syscall(SYS_gettid)) == getpid()) {
    // The initial thread stays, parked: a process whose initial thread has
    // ended shows as a zombie (<defunct>) while its other tasks run on.
    for (;;) {
      pause();
    }
  }
  pthread_exit(nullptr);
}

STATUS taskDelay(int ticks) {
  if (ticks < 0) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return ERROR;
  }
  Task* task = tCurrent;
  if (ticks == 0) {
    if (task != nullptr && task->blockingDepth == 0) {
      Yield(task);
    } else {
      sched_yield();
    }
    return OK;
  }
  ScmSimBlockingBegin();
  SleepTicks(ticks);
  ScmSimBlockingEnd();
  return OK;
}

extern "C" void ScmSimSetRefuseSpawn(const char* substring) {
  Scheduler& s = Sched();
  std::lock_guard<std::mutex> guard(s.lock);
  if (substring == nullptr) {
    s.refuseSpawn.reset();
  } else {
    s.refuseSpawn = substring;
  }
}

extern "C" int ScmSimIsTask(void) { return tCurrent != nullptr ? 1 : 0; }

extern "C" const char* ScmSimTaskName(void) { return tCurrent != nullptr ? tCurrent->name.c_str() : nullptr; }

extern "C" int ScmSimReadyTaskCount(void) {
  Scheduler& s = Sched();
  std::lock_guard<std::mutex> guard(s.lock);
  return static_cast<int>(s.ready.size());
}
