// Internal pieces of the POSIX stand-in shared by its source files: object
// names, the shared lock and wake word of every named object, handles, the
// run lock and tick conversion. Nothing outside sim/rtp includes this.
#pragma once

#include "vxworks.h"

#include <time.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace scmsim {

// Every shared object is laid out in fixed-width fields only, so that processes
// of different architectures (a 64-bit x86 host simulator and 32-bit ARM
// programs under emulation) map the same bytes the same way; the checks beside
// each layout keep it so.
static_assert(std::atomic<uint32_t>::is_always_lock_free && sizeof(std::atomic<uint32_t>) == 4,
              "shared 32-bit words must be plain lock-free words");
static_assert(alignof(uint64_t) == 8, "64-bit fields of shared objects are 8-byte aligned on every target");

/// Lock and wake word at the start of every named object, shared by all its users.
struct SharedSync {
  std::atomic<uint32_t> lock;      ///< 0 free, else the holder's process id | kSyncWaiters (futex word)
  std::atomic<uint32_t> sequence;  ///< bumped on every change of state; waiters sleep on it (futex)
  uint32_t sleepers;               ///< waiters sleeping on sequence now; a change wakes them only when
                                   ///< there are any (one killed asleep stays counted: wakes for nothing)
  uint32_t deleted;                ///< 1 once the object was deleted; never cleared
  uint32_t openCount;              ///< handles open in every process (for delete-on-last-close)
  uint32_t deleteOnLastClose;      ///< 1 when created with OM_DELETE_ON_LAST_CLOSE
};
static_assert(sizeof(SharedSync) == 24 && offsetof(SharedSync, sequence) == 4 && offsetof(SharedSync, sleepers) == 8,
              "SharedSync layout");

/// Bit of SharedSync::lock set while another locker sleeps on it (the unlock then wakes one).
inline constexpr uint32_t kSyncWaiters = 0x80000000u;

/// Header of every named object; the object's own fields follow it.
struct ObjectHeader {
  std::atomic<uint32_t> magic;  ///< kind's magic, stored last when the creator has initialised the object
  uint32_t totalSize;           ///< bytes of the whole object, checked against the file size
  SharedSync sync;              ///< lock and wake word
};
static_assert(sizeof(ObjectHeader) == 32 && offsetof(ObjectHeader, sync) == 8, "ObjectHeader layout");

/// Kinds of named objects; each kind is its own name space.
enum class Kind : char {
  Queue = 'q',      ///< message queue
  Semaphore = 's',  ///< binary semaphore
  Clock = 'c',      ///< real-time offset
};

/// One handle of this process to a named object (closed handles stay registered, marked closed,
/// so that a stale pointer is still recognised).
struct Handle {
  Kind kind;                           ///< kind of object
  std::atomic<ObjectHeader*> object;   ///< mapping of the very object opened (a re-created one is another);
                                       ///< null once unmapped
  size_t size;                         ///< bytes mapped
  std::string shmName;                 ///< shared-memory name, for the unlink on delete
  std::atomic<bool> closed;            ///< true after close; every later call fails
  std::atomic<int> users;              ///< calls inside through this handle now; the last one unmaps a closed handle
};

/// A call's use of a handle: resolves it and keeps its mapping until the call ends.
class HandleRef {
 public:
  /// Resolves handle; empty with errno SCM_ERRNO_INVALID_ID when null, unknown, closed or of another kind.
  HandleRef(const void* handle, Kind kind);
  ~HandleRef();
  HandleRef(const HandleRef&) = delete;
  HandleRef& operator=(const HandleRef&) = delete;
  /// True when the handle resolved.
  explicit operator bool() const { return handle_ != nullptr; }
  /// The resolved handle.
  Handle* get() const { return handle_; }

 private:
  Handle* handle_;  ///< resolved handle, null when none
};

/// Shared-memory name of an object: "/scmsim.<namespace>.<kind>.<name>", '/' and the like escaped.
std::string ObjectName(Kind kind, const char* name);
/// Name prefix of every object of the current namespace ("scmsim.<namespace>.", no leading '/').
std::string NamespacePrefix();

/// This process's id, kept so that taking a lock costs no system call (renewed in a forked child).
uint32_t SelfPid();

/// Locks an object's shared lock; a holder process that died leaves it usable (waiters told to look again).
void LockSync(SharedSync* sync);
/// Unlocks an object's shared lock.
void UnlockSync(SharedSync* sync);
/// Ends a change of state: bumps the wake word, unlocks, and then wakes every waiter, if any
/// sleeps (call with the lock held after changing state; the lock is released on return). Waking
/// after the unlock spares the woken a sleep on the lock the waker still held. A waker killed
/// between the two leaves its sleepers counted, so the object's next change wakes them.
void UnlockAndWakeAll(SharedSync* sync);
/// Waits for a change of state with the lock held: releases the lock (and the caller's run lock)
/// while sleeping and re-takes both; false when the monotonic deadline passed (null: none).
bool WaitChange(SharedSync* sync, const timespec* deadline);

/// Initialiser of a new object's own fields (the header is done by OpenObject).
using ObjectInit = void (*)(ObjectHeader* object, const void* context);

/// Opens (mode 0) or creates (OM_CREATE, OM_EXCL, OM_DELETE_ON_LAST_CLOSE) a named object;
/// returns a new registered handle or null with errno set.
Handle* OpenObject(Kind kind, const char* name, int mode, size_t createSize, uint32_t magic,
                   ObjectInit init, const void* context);
/// Marks an object deleted for every user, wakes its waiters and removes its name; ERROR when already deleted.
STATUS DeleteObject(Handle* handle);
/// Closes a handle (delete on last close when so created; unmapped when its last call ends);
/// ERROR when already closed.
STATUS CloseHandle(Handle* handle);

/// The system's clock (the C library's, through the vDSO where there is one), past the
/// stand-in's own clock_gettime; 0 or -1 with errno as clock_gettime.
int SystemClockGetTime(clockid_t clock, timespec* ts);

/// Settings of the stand-in taken from the environment at every use by test processes, and
/// once, before main, by a program (whose own environment does not change while it runs).
enum class Setting {
  ClockRate,   ///< SCM_SIM_CLK_RATE
  HostSocket,  ///< SCM_SIM_HOST_SOCKET
};
/// The setting's value, null when absent.
const char* ReadSetting(Setting setting);
/// Takes every setting's value now and keeps it for the rest of the process (program start-up).
void FreezeSettings();

/// Monotonic deadline ticks from now at the current clock rate.
timespec DeadlineAfterTicks(int ticks);
/// Sleeps for the given ticks (monotonic), without touching the run lock.
void SleepTicks(int ticks);

}  // namespace scmsim

namespace scmsim {

/// Makes the calling thread the process's initial task holding the run lock; from then on the
/// process ends when its last task ends (exit status 0).
void StartInitialTask();

}  // namespace scmsim
