// Test hooks of the POSIX stand-in (scm_rtp): in-process setters for what the
// environment variables also control, plus helpers that tests and the host
// simulator use to clean up and to provoke a lock holder's death.
//
// Environment variables read by scm_rtp (read at each call, so a test may set
// them at run time; an in-process setter, once called, takes precedence):
//   SCM_SIM_NAMESPACE     prefix of every shared-memory object name (default "default")
//   SCM_SIM_CLK_RATE      sysClkRateGet() value, 1 to 1000000 (default and on bad values: 1000)
//   SCM_SIM_REFUSE_SPAWN  taskSpawn refuses (TASK_ID_ERROR, errno SCM_ERRNO_NO_MEMORY)
//                         every task whose name contains this substring; empty: none
//   SCM_SIM_RTPINFO_PATH  rtpInfoGet reports this path instead of the executable's real path
//   SCM_SIM_RTPINFO_FAIL  rtpInfoGet fails with this errno (decimal or 0x hex, non-zero)
#pragma once

#include "vxworks.h"

#ifdef __cplusplus
extern "C" {
#endif

/// Refuses spawns whose name contains substring; NULL goes back to SCM_SIM_REFUSE_SPAWN, "" refuses none.
void ScmSimSetRefuseSpawn(const char* substring);

/// rtpInfoGet reports path; NULL goes back to SCM_SIM_RTPINFO_PATH or the real path.
void ScmSimSetRtpInfoPath(const char* path);

/// rtpInfoGet fails with errnoValue; 0 succeeds again, -1 goes back to SCM_SIM_RTPINFO_FAIL.
void ScmSimSetRtpInfoFail(int errnoValue);

/// Removes every shared-memory object (queues, semaphores, clock) of the current namespace;
/// returns how many were removed. Open handles to them behave as after a delete.
int ScmSimRemoveNamespaceObjects(void);

/// Locks the queue's shared lock and keeps it (for a test that then kills this process).
STATUS ScmSimHoldQueueLock(MSG_Q_ID queue);

/// Locks the semaphore's shared lock and keeps it (for a test that then kills this process).
STATUS ScmSimHoldSemLock(SEM_ID sem);

/// Takes waiting on the semaphore now, in every process (-1 for a bad handle); lets a test
/// flush or delete only once its waiters are asleep.
int ScmSimSemWaiters(SEM_ID sem);

/// Successful semGive calls on the semaphore since it was created, in every process (-1 for a
/// bad handle); the simulator counts cycles with it, the system's programs never read it.
long long ScmSimSemGives(SEM_ID sem);

/// Tasks of this process waiting for the run lock now.
int ScmSimReadyTaskCount(void);

/// 1 when the calling thread is a task of the stand-in (it takes part in the run lock), else 0.
int ScmSimIsTask(void);

/// Full name of the calling task, or NULL for a thread that is not a task.
const char* ScmSimTaskName(void);

#ifdef __cplusplus
}
#endif
