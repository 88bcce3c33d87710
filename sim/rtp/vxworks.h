// The VxWorks real-time-process calls the system's programs use, served on
// this machine by the stand-in platform over POSIX (shared-memory queues and
// semaphores with process-shared robust locks, threads, the clock) and by the
// host-runtime simulator for the host system calls. The system's code includes
// only this header for its platform calls and calls it exactly as on the target.
//
// errno values set by these calls:
//   SCM_ERRNO_UNAVAILABLE (0x3D0002) queue empty or full, semaphore not available
//   SCM_ERRNO_STORAGE_BUSY (0x10C00) set by the host: storage busy
//   SCM_ERRNO_INVALID_ID   (0x3D0003) handle null, closed or its object deleted
//   SCM_ERRNO_TOO_LONG     (0x3D0004) message longer than the queue's maximum
//   SCM_ERRNO_NOT_FOUND    (0x3D0005) no object of that name / name null
//   SCM_ERRNO_EXISTS       (0x3D0006) OM_EXCL and the object exists
//   SCM_ERRNO_TIMEOUT      (0x3D0007) a timed take, send or receive ran out
//   SCM_ERRNO_DELETED      (0x3D0008) the object was deleted while waiting
//   SCM_ERRNO_HOST_CALL    (0x3D0010) host call not sent: unknown number, name too long, host unreachable, reply too large
//   SCM_ERRNO_NO_MEMORY    (0x3D0011) no resource for a new object or task, or a spawn refused
//   SCM_ERRNO_BAD_ARGUMENT (0x3D0012) null buffer with a non-zero length, bad type, priority or timeout
//   SCM_ERRNO_SIM_BLOCKED  (0x3D0013) in-memory variant only: the call would have blocked
//
// Stand-in behaviour beyond the target's (see sim/rtp/README.md for the details):
//   - Object names carry the prefix of the environment variable SCM_SIM_NAMESPACE,
//     queues and semaphores are separate name spaces.
//   - Tasks of one process never run in parallel (run lock); a task gives the
//     processor away only inside taskDelay, a waiting semTake/msgQSend/msgQReceive,
//     taskExit and the host's condition wait. No preemption.
//   - Environment: SCM_SIM_CLK_RATE (ticks per second, default 1000),
//     SCM_SIM_REFUSE_SPAWN (name substring of spawns to refuse),
//     SCM_SIM_RTPINFO_PATH (path reported by rtpInfoGet), SCM_SIM_RTPINFO_FAIL
//     (errno with which rtpInfoGet fails).
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

// ---- status and timeouts ----
#define OK 0                  ///< success
#define ERROR (-1)            ///< failure, errno set
#define NO_WAIT 0             ///< never block
#define WAIT_FOREVER (-1)     ///< block without limit
#define MSG_PRI_NORMAL 0      ///< normal message priority
#define MSG_Q_FIFO 0x00       ///< queue option: FIFO order of waiters
#define SEM_Q_FIFO 0x00       ///< semaphore option: FIFO order of waiters
#define SEM_TYPE_BINARY 1     ///< binary semaphore
#define SEM_EMPTY 0           ///< initial state: not available
#define SEM_FULL 1            ///< initial state: available
#define OM_CREATE 0x10000000  ///< create the named object
#define OM_EXCL 0x20000000    ///< with OM_CREATE: fail if it exists
#define OM_DELETE_ON_LAST_CLOSE 0x40000000  ///< with OM_CREATE: delete when the last handle closes

#define SCM_ERRNO_UNAVAILABLE 0x3D0002
#define SCM_ERRNO_STORAGE_BUSY 0x10C00
#define SCM_ERRNO_INVALID_ID 0x3D0003
#define SCM_ERRNO_TOO_LONG 0x3D0004
#define SCM_ERRNO_NOT_FOUND 0x3D0005
#define SCM_ERRNO_EXISTS 0x3D0006
#define SCM_ERRNO_TIMEOUT 0x3D0007
#define SCM_ERRNO_DELETED 0x3D0008
#define SCM_ERRNO_HOST_CALL 0x3D0010
#define SCM_ERRNO_NO_MEMORY 0x3D0011
#define SCM_ERRNO_BAD_ARGUMENT 0x3D0012  ///< bad argument (null buffer, type, priority, timeout)
#define SCM_ERRNO_SIM_BLOCKED 0x3D0013  ///< in-memory variant: the call would have blocked

typedef int STATUS;                 ///< OK or ERROR
typedef intptr_t _Vx_usr_arg_t;     ///< one task argument / system-call word
typedef struct ScmSimMsgQ* MSG_Q_ID;  ///< message-queue handle, NULL = none
typedef struct ScmSimSem* SEM_ID;     ///< semaphore handle, NULL = none
typedef intptr_t TASK_ID;           ///< task id
typedef pid_t RTP_ID;               ///< real-time process id
#define TASK_ID_ERROR ((TASK_ID)-1)  ///< taskSpawn failure

/// Task entry: ten word arguments.
typedef int (*FUNCPTR)(_Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                       _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t);

/// Message count and capacity of a queue.
typedef struct {
  int numMsgs;       ///< messages waiting
  int maxMsgs;       ///< capacity
  int maxMsgLength;  ///< longest message
} MSG_Q_INFO;

/// Real-time process information.
typedef struct {
  char* pathName;  ///< real path of the process's executable (buffer of the stand-in, long paths included)
  RTP_ID pid;      ///< process id
} RTP_DESC;

// ---- message queues ----
/// Opens the named queue (mode 0: it must exist, sizes ignored) or creates it (OM_CREATE, with
/// OM_EXCL: must not exist; OM_DELETE_ON_LAST_CLOSE); NULL with errno set on failure.
MSG_Q_ID msgQOpen(const char* name, size_t maxMsgs, size_t maxMsgLength, int options, int mode,
                  void* context);
/// Appends one message of nBytes (0: an empty message); full with NO_WAIT: ERROR, SCM_ERRNO_UNAVAILABLE;
/// longer than the maximum: ERROR, SCM_ERRNO_TOO_LONG. Priority is ignored (FIFO).
STATUS msgQSend(MSG_Q_ID queue, char* buffer, unsigned int nBytes, int timeout, int priority);
/// Removes the oldest message; empty with NO_WAIT: ERROR, SCM_ERRNO_UNAVAILABLE.
/// Returns the bytes copied (min(length, maxNBytes)) or ERROR; maxNBytes 0 discards the message.
ssize_t msgQReceive(MSG_Q_ID queue, char* buffer, unsigned int maxNBytes, int timeout);
/// Message count, capacity and longest message.
STATUS msgQInfoGet(MSG_Q_ID queue, MSG_Q_INFO* info);
/// Ends this handle only; the queue lives on.
STATUS msgQClose(MSG_Q_ID queue);
/// Deletes the object for every process at once; later calls through any handle fail.
STATUS msgQDelete(MSG_Q_ID queue);

// ---- semaphores (own name space) ----
/// Opens or creates as msgQOpen; type (SEM_TYPE_BINARY) and initial state count only when creating.
SEM_ID semOpen(const char* name, int type, int initState, int options, int mode, void* context);
/// Takes the semaphore, waiting up to timeout ticks (WAIT_FOREVER: no limit); empty with NO_WAIT:
/// ERROR, SCM_ERRNO_UNAVAILABLE; deleted while waiting: ERROR, SCM_ERRNO_DELETED.
STATUS semTake(SEM_ID sem, int timeout);
/// Makes the semaphore available (binary: a full one stays full).
STATUS semGive(SEM_ID sem);
/// Releases every waiting take (they return OK); the semaphore stays as it was.
STATUS semFlush(SEM_ID sem);
/// Ends this handle only.
STATUS semClose(SEM_ID sem);
/// Deletes the semaphore for every process at once; waiters return ERROR.
STATUS semDelete(SEM_ID sem);

// ---- tasks and clock ----
/// Starts a task (a thread; stack max(stackSize, 1 MiB); full name kept, thread name its first
/// 15 characters; priority 0 highest to 255); TASK_ID_ERROR with errno set on failure.
TASK_ID taskSpawn(const char* name, int priority, int options, size_t stackSize, FUNCPTR entry,
                  _Vx_usr_arg_t a1, _Vx_usr_arg_t a2, _Vx_usr_arg_t a3, _Vx_usr_arg_t a4,
                  _Vx_usr_arg_t a5, _Vx_usr_arg_t a6, _Vx_usr_arg_t a7, _Vx_usr_arg_t a8,
                  _Vx_usr_arg_t a9, _Vx_usr_arg_t a10);
/// Ends the calling task only (the initial task too); a program ends with its last task, status 0.
[[noreturn]] void taskExit(int code);
/// Sleeps ticks ticks, letting the process's other tasks run; 0 hands over to the ready ones.
STATUS taskDelay(int ticks);
/// Ticks per second: 1000, or SCM_SIM_CLK_RATE.
int sysClkRateGet(void);

// ---- process information ----
/// For the calling process (id getpid() or 0): pathName is the real path of its executable.
STATUS rtpInfoGet(RTP_ID id, RTP_DESC* desc);

// ---- host system calls ----
/// The host runtime's eight-word system call; result is a signed word, -1 on failure with errno set.
_Vx_usr_arg_t rtpSyscall(_Vx_usr_arg_t w0, _Vx_usr_arg_t w1, _Vx_usr_arg_t w2, _Vx_usr_arg_t w3,
                         _Vx_usr_arg_t w4, _Vx_usr_arg_t w5, _Vx_usr_arg_t w6, _Vx_usr_arg_t w7,
                         int number);
