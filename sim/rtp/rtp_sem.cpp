// Named binary semaphores of the stand-in, one shared-memory object each.
#include "rtp_internal.h"
#include "rtp_testhooks.h"

#include <cerrno>

struct ScmSimSem;  // handles are scmsim::Handle objects; the type only keeps the API apart

namespace scmsim {
namespace {

/// Magic of an initialised semaphore object ("SSB1").
constexpr uint32_t kSemMagic = 0x31425353;

/// A binary semaphore object.
struct SemObject {
  ObjectHeader header;  ///< lock, wake word, deleted flag
  uint32_t full;        ///< 1 available, 0 taken
  uint32_t flushes;     ///< bumped by every semFlush; a waiter that sees it move returns OK
  uint32_t waiters;     ///< takes waiting now (a waiter killed while waiting stays counted)
  uint64_t gives;       ///< successful semGive calls since creation (read by the simulator only)
};
static_assert(sizeof(SemObject) == 56 && offsetof(SemObject, gives) == 48, "same layout on every target");

void InitSem(ObjectHeader* object, const void* context) {
  auto* sem = reinterpret_cast<SemObject*>(object);
  sem->full = *static_cast<const int*>(context) == SEM_FULL ? 1 : 0;
  sem->flushes = 0;
  sem->waiters = 0;
  sem->gives = 0;
}

SemObject* Object(const HandleRef& ref) { return reinterpret_cast<SemObject*>(ref.get()->object.load()); }

/// Locks a semaphore; false (unlocked, errno set) when it was deleted.
bool LockLive(SemObject* sem) {
  LockSync(&sem->header.sync);
  if (sem->header.sync.deleted != 0) {
    UnlockSync(&sem->header.sync);
    errno = SCM_ERRNO_INVALID_ID;
    return false;
  }
  return true;
}

}  // namespace
}  // namespace scmsim

using namespace scmsim;

SEM_ID semOpen(const char* name, int type, int initState, int /*options*/, int mode, void* /*context*/) {
  if ((mode & OM_CREATE) != 0 &&
      (type != SEM_TYPE_BINARY || (initState != SEM_EMPTY && initState != SEM_FULL))) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return nullptr;
  }
  Handle* handle = OpenObject(Kind::Semaphore, name, mode, sizeof(SemObject), kSemMagic, InitSem, &initState);
  return reinterpret_cast<SEM_ID>(handle);
}

STATUS semTake(SEM_ID id, int timeout) {
  HandleRef ref(id, Kind::Semaphore);
  if (!ref) {
    return ERROR;
  }
  SemObject* sem = Object(ref);
  if (timeout < WAIT_FOREVER) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return ERROR;
  }
  if (!LockLive(sem)) {
    return ERROR;
  }
  if (sem->full == 0 && timeout == NO_WAIT) {
    UnlockSync(&sem->header.sync);
    errno = SCM_ERRNO_UNAVAILABLE;
    return ERROR;
  }
  const uint32_t flushes = sem->flushes;
  timespec deadline{};
  if (timeout != WAIT_FOREVER) {
    deadline = DeadlineAfterTicks(timeout);
  }
  ++sem->waiters;
  STATUS status = OK;
  while (sem->full == 0) {
    if (!WaitChange(&sem->header.sync, timeout == WAIT_FOREVER ? nullptr : &deadline)) {
      errno = SCM_ERRNO_TIMEOUT;
      status = ERROR;
      break;
    }
    if (sem->header.sync.deleted != 0) {
      errno = SCM_ERRNO_DELETED;
      status = ERROR;
      break;
    }
    if (sem->flushes != flushes) {
      break;  // released by a flush: returns without taking
    }
  }
  --sem->waiters;
  if (status == OK && sem->flushes == flushes) {
    sem->full = 0;
  }
  UnlockSync(&sem->header.sync);
  return status;
}

STATUS semGive(SEM_ID id) {
  HandleRef ref(id, Kind::Semaphore);
  if (!ref || !LockLive(Object(ref))) {
    return ERROR;
  }
  SemObject* sem = Object(ref);
  sem->full = 1;  // binary: a give on a full semaphore leaves it full
  ++sem->gives;
  UnlockAndWakeAll(&sem->header.sync);
  return OK;
}

STATUS semFlush(SEM_ID id) {
  HandleRef ref(id, Kind::Semaphore);
  if (!ref || !LockLive(Object(ref))) {
    return ERROR;
  }
  SemObject* sem = Object(ref);
  ++sem->flushes;
  UnlockAndWakeAll(&sem->header.sync);
  return OK;
}

STATUS semClose(SEM_ID id) {
  HandleRef ref(id, Kind::Semaphore);
  if (!ref) {
    return ERROR;
  }
  return CloseHandle(ref.get());
}

STATUS semDelete(SEM_ID id) {
  HandleRef ref(id, Kind::Semaphore);
  if (!ref) {
    return ERROR;
  }
  return DeleteObject(ref.get());
}

STATUS ScmSimHoldSemLock(SEM_ID id) {
  HandleRef ref(id, Kind::Semaphore);
  if (!ref) {
    return ERROR;
  }
  SemObject* sem = Object(ref);
  LockSync(&sem->header.sync);
  return OK;
}

int ScmSimSemWaiters(SEM_ID id) {
  HandleRef ref(id, Kind::Semaphore);
  if (!ref) {
    return -1;
  }
  SemObject* sem = Object(ref);
  LockSync(&sem->header.sync);
  const int waiters = static_cast<int>(sem->waiters);
  UnlockSync(&sem->header.sync);
  return waiters;
}

long long ScmSimSemGives(SEM_ID id) {
  HandleRef ref(id, Kind::Semaphore);
  if (!ref) {
    return -1;
  }
  SemObject* sem = Object(ref);
  LockSync(&sem->header.sync);
  const long long gives = static_cast<long long>(sem->gives);
  UnlockSync(&sem->header.sync);
  return gives;
}
