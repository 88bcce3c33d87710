// Small program built with scm_rtp_program for the tests that need a process
// whose main runs as the initial task. The first argument picks what it does:
//   exit-initial  spawns two tasks, ends the initial task; the tasks go on and
//                 the process ends with the last of them
//   overlap       the initial task and two tasks take turns; prints the most
//                 that ever ran at once
//   clock         prints CLOCK_REALTIME seconds
//   rtpinfo       prints rtpInfoGet's path or its errno
//   clock-rate    prints sysClkRateGet, changes SCM_SIM_CLK_RATE, prints it again
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "rtp_testhooks.h"
#include "vxworks.h"

namespace {

/// Rounds each task of the exit-initial mode runs after the initial task ended.
constexpr int kRounds = 3;
/// Rounds of each participant in the overlap mode.
constexpr int kOverlapRounds = 200;

/// Participants inside their critical stretch now (overlap mode).
std::atomic<int> gInside{0};
/// Most participants ever seen inside at once (overlap mode).
std::atomic<int> gMaxInside{0};
/// Participants still running (overlap mode).
std::atomic<int> gRunning{0};

int ExitInitialTask(_Vx_usr_arg_t which, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                    _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  for (int i = 0; i < kRounds; ++i) {
    printf("task %ld round %d\n", static_cast<long>(which), i);
    fflush(stdout);
    taskDelay(which == 1 ? 2 : 3);
  }
  if (which == 2) {
    taskExit(0);  // one ends by taskExit, the other by returning
  }
  return 0;
}

/// Reports the process's state as ps shows it ("S" for a parked initial thread, "Z" for an ended one).
int ReportProcessState(_Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                       _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  taskDelay(5);  // the initial task has ended by now
  char stat[512] = {0};
  FILE* file = fopen("/proc/self/stat", "r");
  if (file != nullptr) {
    if (fgets(stat, sizeof stat, file) == nullptr) stat[0] = 0;
    fclose(file);
  }
  const char* close = strrchr(stat, ')');
  printf("process state %c\n", close != nullptr && close[1] == ' ' ? close[2] : '?');
  fflush(stdout);
  return 0;
}

void OverlapStretch() {
  for (int i = 0; i < kOverlapRounds; ++i) {
    const int now = ++gInside;
    int seen = gMaxInside.load();
    while (now > seen && !gMaxInside.compare_exchange_weak(seen, now)) {
    }
    for (int spin = 0; spin < 2000; ++spin) {
      asm volatile("" ::: "memory");  // work the compiler cannot drop
    }
    --gInside;
    taskDelay(i % 10 == 0 ? 1 : 0);
  }
}

int OverlapTask(_Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  OverlapStretch();
  if (--gRunning == 0) {
    printf("max-inside %d\n", gMaxInside.load());
    fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (strcmp(mode, "exit-initial") == 0) {
    printf("initial is-task %d\n", ScmSimIsTask());
    for (long which = 1; which <= 2; ++which) {
      char name[32];
      snprintf(name, sizeof(name), "scm0007/probe-%ld", which);
      if (taskSpawn(name, 127, 0, 4096, ExitInitialTask, which, 0, 0, 0, 0, 0, 0, 0, 0, 0) == TASK_ID_ERROR) {
        return 2;
      }
    }
    printf("initial exits\n");
    fflush(stdout);
    taskExit(0);
  }
  if (strcmp(mode, "park-initial") == 0) {
    if (taskSpawn("scm0007/state", 127, 0, 4096, ReportProcessState, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) ==
        TASK_ID_ERROR) {
      return 2;
    }
    taskExit(0);
  }
  if (strcmp(mode, "overlap") == 0) {
    gRunning = 3;
    for (int i = 0; i < 2; ++i) {
      if (taskSpawn("scm0007/overlap", 127 + i, 0, 4096, OverlapTask, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) ==
          TASK_ID_ERROR) {
        return 2;
      }
    }
    OverlapTask(0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    taskExit(0);
  }
  if (strcmp(mode, "clock") == 0) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    printf("%lld\n", static_cast<long long>(now.tv_sec));
    return 0;
  }
  if (strcmp(mode, "clock-rate") == 0) {
    const int before = sysClkRateGet();
    setenv("SCM_SIM_CLK_RATE", "50", 1);
    printf("rate %d then %d\n", before, sysClkRateGet());
    return 0;
  }
  if (strcmp(mode, "rtpinfo") == 0) {
    RTP_DESC desc{};
    if (rtpInfoGet(getpid(), &desc) != OK) {
      printf("fail %d\n", errno);
      return 0;
    }
    printf("path %s\n", desc.pathName);
    return 0;
  }
  return 1;
}
