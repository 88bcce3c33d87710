// Control interface of the in-memory variant of the platform API (scm_rtp_mem).
//
// scm_rtp_mem implements vxworks.h inside one process for unit tests that drive
// one program's code deterministically: queues and semaphores live in process
// memory and exist only once a test created them here; nothing ever blocks and
// there is no run lock:
//   - a send to a full queue, a receive from an empty one or a take of an empty
//     semaphore with NO_WAIT fails with SCM_ERRNO_UNAVAILABLE as on the target;
//     with a tick timeout it fails at once with SCM_ERRNO_TIMEOUT (as if the time
//     ran out); with WAIT_FOREVER it fails with SCM_ERRNO_SIM_BLOCKED, unless the
//     block hook (ScmMemSetBlockHook) makes the object ready and asks for a retry;
//   - taskDelay returns at once and records the ticks; an optional delay hook runs
//     first (it may throw ScmMemTaskExit to end a task loop under test);
//   - taskSpawn records the spawn without running it (ScmMemRunSpawn calls its entry);
//   - taskExit throws ScmMemTaskExit{code}, so the test that called the code gets control back;
//   - rtpSyscall calls the syscall hook (default: -1, errno SCM_ERRNO_HOST_CALL);
//   - rtpInfoGet reports the executable's real path unless a test set another or a failure;
//   - sysClkRateGet is 1000 unless set.
// Every function here is safe to call from several threads (one lock inside).
#pragma once

#include "vxworks.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// Thrown by taskExit (and by a delay hook that wants to end a task loop).
struct ScmMemTaskExit {
  int code;  ///< the task's exit code
};

/// Operations whose next calls a test can make fail.
enum class ScmMemOp {
  QueueOpen,  ///< msgQOpen
  Send,       ///< msgQSend
  Receive,    ///< msgQReceive
  SemOpen,    ///< semOpen
  SemTake,    ///< semTake
  SemGive,    ///< semGive
};

/// One recorded taskSpawn.
struct ScmMemSpawnRecord {
  std::string name;             ///< full task name as passed (empty for NULL)
  int priority;                 ///< priority as passed
  int options;                  ///< options as passed
  size_t stackSize;             ///< stack size as passed
  FUNCPTR entry;                ///< entry function
  _Vx_usr_arg_t args[10];       ///< the ten arguments
  TASK_ID id;                   ///< id returned to the caller
};

/// Called when a take would wait (name, timeout); true: the test made the object ready, retry once.
using ScmMemBlockHook = std::function<bool(const char* name, int timeout)>;
/// Called by taskDelay with the ticks before it records them.
using ScmMemDelayHook = std::function<void(int ticks)>;
/// Serves rtpSyscall: the eight words and the call number; sets errno itself on failure.
using ScmMemSyscallHook = std::function<_Vx_usr_arg_t(const _Vx_usr_arg_t words[8], int number)>;

/// Deletes every queue and semaphore, frees every handle (their ids are never
/// handed out again, so they fail from now on), clears hooks, injections,
/// records and settings.
void ScmMemReset();
/// Queue and semaphore handles held (open, closed or of deleted objects alike).
size_t ScmMemHandleCount();

/// Creates a queue (capacity, longest message); ERROR when it exists or the sizes are negative.
STATUS ScmMemCreateQueue(const char* name, int maxMsgs, int maxMsgLength);
/// Deletes a queue as msgQDelete does (open handles fail from now on); ERROR when absent.
STATUS ScmMemDeleteQueue(const char* name);
/// Creates a binary semaphore, SEM_EMPTY or SEM_FULL; ERROR when it exists.
STATUS ScmMemCreateSemaphore(const char* name, int initState);
/// Deletes a semaphore as semDelete does; ERROR when absent.
STATUS ScmMemDeleteSemaphore(const char* name);

/// The next count calls of op fail with errnoValue (count 0 clears).
void ScmMemInjectFailures(ScmMemOp op, int count, int errnoValue);

/// Messages waiting on a queue, oldest first; -1 when absent.
int ScmMemQueueCount(const char* name);
/// Copies of the messages waiting on a queue, oldest first (empty when absent).
std::vector<std::vector<uint8_t>> ScmMemQueueContents(const char* name);
/// Appends a message regardless of capacity checks' injections (capacity and length still hold).
STATUS ScmMemQueuePut(const char* name, const void* data, size_t length);
/// Removes every message of a queue; ERROR when absent.
STATUS ScmMemQueueClear(const char* name);

/// 1 full, 0 empty, -1 absent.
int ScmMemSemState(const char* name);
/// Successful semGive calls on the semaphore since it was created (-1 when absent).
int ScmMemSemGiveCount(const char* name);
/// Successful semTake calls on the semaphore since it was created (-1 when absent).
int ScmMemSemTakeCount(const char* name);
/// Sets the hook for takes that would wait (empty function: none).
void ScmMemSetBlockHook(ScmMemBlockHook hook);

/// Number of taskDelay calls since the last reset.
int ScmMemDelayCalls();
/// Sum of the ticks of every taskDelay call since the last reset.
int64_t ScmMemDelayTicks();
/// Sets the hook run by taskDelay (empty function: none).
void ScmMemSetDelayHook(ScmMemDelayHook hook);

/// Every recorded spawn, in order.
std::vector<ScmMemSpawnRecord> ScmMemSpawns();
/// Refuses spawns whose name contains substring (TASK_ID_ERROR, errno SCM_ERRNO_NO_MEMORY); "" none.
void ScmMemRefuseSpawn(const char* substring);
/// Calls the entry of recorded spawn index with its arguments; returns its result or its taskExit code.
int ScmMemRunSpawn(size_t index);

/// Sets the hook that serves rtpSyscall (empty function: -1 with errno SCM_ERRNO_HOST_CALL).
void ScmMemSetSyscallHook(ScmMemSyscallHook hook);

/// rtpInfoGet reports path (NULL: the real path) or fails with failErrno (0: succeeds).
void ScmMemSetRtpInfo(const char* path, int failErrno);

/// Sets what sysClkRateGet returns.
void ScmMemSetClkRate(int ticksPerSecond);
