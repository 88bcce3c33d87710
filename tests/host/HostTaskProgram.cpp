// A program of the domain with two tasks: one waits for host condition 1 in
// the host, the other must run meanwhile and then sets the condition. It
// hangs if a task blocked in the host kept its process's run lock.
#include <atomic>
#include <cstdio>

#include "ScmSystemCalls.h"
#include "vxworks.h"

namespace {

/// Set by the waiter once it has reported, so that the process does not end before.
std::atomic<bool> gWaiterDone{false};

int Waiter(_Vx_usr_arg_t sdn, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
           _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  u32 value = 0;
  const i32 r = ScmWaitForCondition(static_cast<u16>(sdn), 1, &value);
  std::printf("waiter woke %d %u\n", static_cast<int>(r), static_cast<unsigned>(value));
  std::fflush(stdout);
  gWaiterDone = true;
  return 0;
}

}  // namespace

int main() {
  const u16 sdn = ScmGetSafetyDomainNumberFromEnvironment(SCM_SDN_ENVIRONMENT_NAME);
  if (taskSpawn("waiter", 100, 0, 65536, Waiter, sdn, 0, 0, 0, 0, 0, 0, 0, 0, 0) == TASK_ID_ERROR) return 2;
  taskDelay(sysClkRateGet() / 50);
  std::printf("initial ran while the waiter waits\n");
  std::fflush(stdout);
  ScmSetCondition(sdn, 1, 42);
  // A loaded machine may take a while to wake the waiter: give it up to 10 s.
  for (int i = 0; i < 500 && !gWaiterDone; ++i) taskDelay(sysClkRateGet() / 50);
  std::printf("initial done\n");
  std::fflush(stdout);
  return 0;
}
