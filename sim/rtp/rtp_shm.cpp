// Named shared-memory objects of the stand-in: names, robust locks, waiting
// and the open/create/delete protocol common to queues and semaphores.
//
// Waiting uses a futex on a sequence word rather than a process-shared
// condition variable: a condition variable counts its waiters, and a waiter
// killed by a domain reset would leave that count behind and could wedge the
// next signaller; a futex keeps no waiter state in the shared object.
//
// The lock is the stand-in's own futex word holding the holder's process id,
// not a pthread mutex: a pthread_mutex_t differs in size and layout between a
// 64-bit and a 32-bit process, and its owner-died recovery rests on the
// kernel's robust list, which user-mode emulation does not register. A locker
// that finds the lock held sleeps for a bounded time and then asks whether the
// holder process still lives; a holder killed while holding it (a domain
// reset) is thus replaced on every target alike.
#include "rtp_internal.h"
#include "rtp_runlock.h"

#include <fcntl.h>
#include <pthread.h>
#include <linux/futex.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace scmsim {
namespace {

/// Attempts to find a usable object while another process creates or removes it.
constexpr int kOpenAttempts = 200;
/// Pause between two such attempts, in microseconds.
constexpr useconds_t kOpenRetryMicroseconds = 1000;
/// Attempts after which a creator removes a name left by a deleter that died before removing it.
constexpr int kStaleDeletedAttempts = 20;
/// Largest object the stand-in creates.
constexpr size_t kMaxObjectSize = size_t{256} << 20;
/// Longest a locker sleeps on a held lock before it checks that the holder process still lives.
constexpr long kLockCheckNanoseconds = 20 * 1000 * 1000;
/// Bits of the lock word that hold the holder's process id (Linux ids stay below 2^22).
constexpr uint32_t kSyncOwnerMask = ~kSyncWaiters;

/// Slots of the table that finds a handle without taking the registry lock (a power of two).
constexpr size_t kFindSlots = 4096;

/// Every handle this process ever opened, closed ones included (so a stale pointer is recognised).
/// A handle is never freed, so a pointer once found stays valid.
struct Registry {
  std::mutex lock;                                            ///< guards handles and the table's filling
  std::unordered_map<const void*, std::unique_ptr<Handle>> handles;  ///< by address
  std::atomic<Handle*> find[kFindSlots] = {};  ///< the first handles by hashed address (open addressing, never emptied)
  std::atomic<bool> overflowed{false};         ///< a handle did not fit the table: look in handles too
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: tasks may still run at exit
  return *registry;
}

/// First slot of the table for an address.
size_t FindSlot(const void* address) {
  return static_cast<size_t>((reinterpret_cast<uintptr_t>(address) >> 4) * 0x9E3779B1u) & (kFindSlots - 1);
}

/// Puts a new handle into the table when there is room (registry locked).
void AddToTable(Registry& registry, Handle* handle) {
  const size_t first = FindSlot(handle);
  for (size_t i = 0; i < kFindSlots; ++i) {
    std::atomic<Handle*>& slot = registry.find[(first + i) & (kFindSlots - 1)];
    if (slot.load(std::memory_order_relaxed) == nullptr) {
      slot.store(handle, std::memory_order_release);
      return;
    }
  }
  registry.overflowed.store(true);
}

/// The registered handle at that address, null when there is none; takes no lock while the table holds every handle.
Handle* FindHandle(const void* address) {
  Registry& registry = TheRegistry();
  const size_t first = FindSlot(address);
  for (size_t i = 0; i < kFindSlots; ++i) {
    Handle* h = registry.find[(first + i) & (kFindSlots - 1)].load(std::memory_order_acquire);
    if (h == address) {
      return h;
    }
    if (h == nullptr) {
      break;
    }
  }
  if (!registry.overflowed.load()) {
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(registry.lock);
  auto it = registry.handles.find(address);
  return it != registry.handles.end() ? it->second.get() : nullptr;
}

/// Ends a call's use of a handle; the last use of a closed handle unmaps its object.
void Unuse(Handle* handle) {
  if (handle->users.fetch_sub(1) == 1 && handle->closed.load()) {
    ObjectHeader* object = handle->object.exchange(nullptr);
    if (object != nullptr) {
      munmap(object, handle->size);
    }
  }
}

/// Appends name to out, keeping letters, digits, '-' and '_' and escaping everything else as %XX.
void AppendEscaped(std::string& out, const char* name) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
    const unsigned char c = *p;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
}

long Futex(std::atomic<uint32_t>* word, int op, uint32_t value, const timespec* timeout) {
  return syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), op, value, timeout, nullptr, 0);
}

bool DeadlinePassed(const timespec* deadline, timespec* remaining) {
  timespec now{};
  SystemClockGetTime(CLOCK_MONOTONIC, &now);
  int64_t ns = (static_cast<int64_t>(deadline->tv_sec) - now.tv_sec) * 1000000000LL +
               (deadline->tv_nsec - now.tv_nsec);
  if (ns <= 0) {
    return true;
  }
  remaining->tv_sec = static_cast<time_t>(ns / 1000000000LL);
  remaining->tv_nsec = static_cast<long>(ns % 1000000000LL);
  return false;
}

Handle* Register(Kind kind, ObjectHeader* object, size_t size, const std::string& shmName) {
  auto handle = std::make_unique<Handle>();
  handle->kind = kind;
  handle->object = object;
  handle->size = size;
  handle->shmName = shmName;
  handle->closed = false;
  handle->users = 0;
  Handle* raw = handle.get();
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  registry.handles.emplace(raw, std::move(handle));
  AddToTable(registry, raw);
  return raw;
}

/// This process's id as SelfPid gives it; 0 until first asked.
std::atomic<uint32_t> gSelfPid{0};

/// A forked child is another process: it takes its own id.
void RenewSelfPid() { gSelfPid.store(static_cast<uint32_t>(getpid()), std::memory_order_relaxed); }

/// Keeps the id current across fork from start-up on (registered before main).
__attribute__((constructor)) void WatchForks() {
  RenewSelfPid();
  pthread_atfork(nullptr, nullptr, RenewSelfPid);
}

/// True when the process holding a lock has ended (gone, or a zombie not yet collected by its parent).
bool HolderGone(uint32_t owner) {
  const pid_t pid = static_cast<pid_t>(owner & kSyncOwnerMask);
  if (static_cast<uint32_t>(pid) == SelfPid()) {
    return false;  // another thread of this process: it lives as long as the caller does
  }
  if (kill(pid, 0) != 0) {
    return errno == ESRCH;
  }
  char path[32];
  snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return errno == ENOENT;
  }
  char stat[256];
  const ssize_t n = read(fd, stat, sizeof stat - 1);
  close(fd);
  if (n <= 0) {
    return false;
  }
  stat[n] = 0;
  // "pid (comm) S ...": the state follows the last ')' (comm may hold ')' itself)
  const char* end = strrchr(stat, ')');
  return end != nullptr && end[1] == ' ' && (end[2] == 'Z' || end[2] == 'X');
}

void InitSync(SharedSync* sync, bool deleteOnLastClose) {
  sync->lock.store(0);
  sync->sequence.store(0);
  sync->sleepers = 0;
  sync->deleted = 0;
  sync->openCount = 0;
  sync->deleteOnLastClose = deleteOnLastClose ? 1 : 0;
}

/// Result of one attempt to reach an existing object.
enum class Probe {
  Opened,    ///< mapped, live, counted as open
  Absent,    ///< no object of that name
  NotReady,  ///< being created (no magic yet or too small)
  Deleted,   ///< deleted, its name not yet removed
  Failed,    ///< system failure (errno-like value in err)
};

Probe ProbeExisting(const std::string& shmName, uint32_t magic, ObjectHeader** out, size_t* size) {
  const int fd = shm_open(shmName.c_str(), O_RDWR, 0);
  if (fd < 0) {
    return errno == ENOENT ? Probe::Absent : Probe::Failed;
  }
  struct stat st{};
  if (fstat(fd, &st) != 0) {
    close(fd);
    return Probe::Failed;
  }
  if (static_cast<size_t>(st.st_size) < sizeof(ObjectHeader)) {
    close(fd);
    return Probe::NotReady;
  }
  void* base = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (base == MAP_FAILED) {
    return Probe::Failed;
  }
  auto* object = static_cast<ObjectHeader*>(base);
  if (object->magic.load(std::memory_order_acquire) != magic ||
      object->totalSize != static_cast<size_t>(st.st_size)) {
    munmap(base, static_cast<size_t>(st.st_size));
    return Probe::NotReady;
  }
  LockSync(&object->sync);
  const bool deleted = object->sync.deleted != 0;
  if (!deleted) {
    ++object->sync.openCount;
  }
  UnlockSync(&object->sync);
  if (deleted) {
    munmap(base, static_cast<size_t>(st.st_size));
    return Probe::Deleted;
  }
  *out = object;
  *size = static_cast<size_t>(st.st_size);
  return Probe::Opened;
}

}  // namespace

uint32_t SelfPid() {
  uint32_t pid = gSelfPid.load(std::memory_order_relaxed);
  if (pid == 0) {
    RenewSelfPid();
    pid = gSelfPid.load(std::memory_order_relaxed);
  }
  return pid;
}

std::string NamespacePrefix() {
  const char* ns = getenv("SCM_SIM_NAMESPACE");
  std::string prefix = "scmsim.";
  AppendEscaped(prefix, (ns != nullptr && *ns != 0) ? ns : "default");
  prefix.push_back('.');
  return prefix;
}

std::string ObjectName(Kind kind, const char* name) {
  std::string shmName = "/" + NamespacePrefix();
  shmName.push_back(static_cast<char>(kind));
  shmName.push_back('.');
  AppendEscaped(shmName, name);
  return shmName;
}

void LockSync(SharedSync* sync) {
  const uint32_t self = SelfPid() & kSyncOwnerMask;
  uint32_t free = 0;
  if (sync->lock.compare_exchange_strong(free, self, std::memory_order_acquire)) {
    return;
  }
  // Once this locker has slept it takes the lock marked contended, so that its
  // unlock wakes whoever else still sleeps.
  uint32_t contended = 0;
  bool checkHolder = false;
  for (;;) {
    uint32_t word = sync->lock.load(std::memory_order_relaxed);
    if (word == 0) {
      if (sync->lock.compare_exchange_weak(word, self | contended, std::memory_order_acquire)) {
        return;
      }
      continue;
    }
    if (checkHolder && HolderGone(word)) {
      if (sync->lock.compare_exchange_strong(word, self | (word & kSyncWaiters), std::memory_order_acquire)) {
        // Every change of state is completed before its counters move, so what the
        // dead holder left is consistent; waiters are told to look again.
        sync->sequence.fetch_add(1);
        Futex(&sync->sequence, FUTEX_WAKE, INT_MAX, nullptr);
        return;
      }
      continue;
    }
    if ((word & kSyncWaiters) == 0 &&
        !sync->lock.compare_exchange_weak(word, word | kSyncWaiters, std::memory_order_relaxed)) {
      continue;
    }
    contended = kSyncWaiters;
    const timespec bound{0, kLockCheckNanoseconds};
    const long rc = Futex(&sync->lock, FUTEX_WAIT, word | kSyncWaiters, &bound);
    checkHolder = rc != 0 && errno == ETIMEDOUT;
  }
}

void UnlockSync(SharedSync* sync) {
  if ((sync->lock.exchange(0, std::memory_order_release) & kSyncWaiters) != 0) {
    Futex(&sync->lock, FUTEX_WAKE, 1, nullptr);
  }
}

void UnlockAndWakeAll(SharedSync* sync) {
  sync->sequence.fetch_add(1);
  const bool sleepers = sync->sleepers != 0;
  UnlockSync(sync);
  // A waiter counts itself under the lock before it sleeps; one that comes
  // between the unlock and this wake sees the new word and at worst wakes once
  // for nothing, looks and sleeps again.
  if (sleepers) {
    Futex(&sync->sequence, FUTEX_WAKE, INT_MAX, nullptr);
  }
}

bool WaitChange(SharedSync* sync, const timespec* deadline) {
  timespec remaining{};
  if (deadline != nullptr && DeadlinePassed(deadline, &remaining)) {
    return false;
  }
  const uint32_t seen = sync->sequence.load();
  ++sync->sleepers;
  UnlockSync(sync);
  ScmSimBlockingBegin();
  Futex(&sync->sequence, FUTEX_WAIT, seen, deadline != nullptr ? &remaining : nullptr);
  ScmSimBlockingEnd();
  LockSync(sync);
  if (sync->sleepers > 0) {
    --sync->sleepers;
  }
  return true;
}

Handle* OpenObject(Kind kind, const char* name, int mode, size_t createSize, uint32_t magic,
                   ObjectInit init, const void* context) {
  if (name == nullptr) {
    errno = SCM_ERRNO_NOT_FOUND;
    return nullptr;
  }
  const std::string shmName = ObjectName(kind, name);
  if (shmName.size() >= NAME_MAX) {
    errno = SCM_ERRNO_NOT_FOUND;
    return nullptr;
  }
  const bool create = (mode & OM_CREATE) != 0;
  const bool exclusive = create && (mode & OM_EXCL) != 0;
  if (create && (createSize < sizeof(ObjectHeader) || createSize > kMaxObjectSize)) {
    errno = SCM_ERRNO_NO_MEMORY;
    return nullptr;
  }
  int deletedSeen = 0;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    if (create) {
      const int fd = shm_open(shmName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
      if (fd >= 0) {
        void* base = MAP_FAILED;
        if (ftruncate(fd, static_cast<off_t>(createSize)) == 0) {
          base = mmap(nullptr, createSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        }
        close(fd);
        if (base == MAP_FAILED) {
          shm_unlink(shmName.c_str());
          errno = SCM_ERRNO_NO_MEMORY;
          return nullptr;
        }
        auto* object = static_cast<ObjectHeader*>(base);
        object->totalSize = static_cast<uint32_t>(createSize);
        InitSync(&object->sync, (mode & OM_DELETE_ON_LAST_CLOSE) != 0);
        object->sync.openCount = 1;
        init(object, context);
        object->magic.store(magic, std::memory_order_release);
        return Register(kind, object, createSize, shmName);
      }
      if (errno != EEXIST) {
        errno = SCM_ERRNO_NO_MEMORY;
        return nullptr;
      }
    }
    ObjectHeader* object = nullptr;
    size_t size = 0;
    switch (ProbeExisting(shmName, magic, &object, &size)) {
      case Probe::Opened:
        if (exclusive) {
          LockSync(&object->sync);
          --object->sync.openCount;
          UnlockSync(&object->sync);
          munmap(object, size);
          errno = SCM_ERRNO_EXISTS;
          return nullptr;
        }
        return Register(kind, object, size, shmName);
      case Probe::Absent:
        if (!create) {
          errno = SCM_ERRNO_NOT_FOUND;
          return nullptr;
        }
        continue;  // removed meanwhile: create it
      case Probe::Deleted:
        if (!create) {
          errno = SCM_ERRNO_NOT_FOUND;
          return nullptr;
        }
        if (++deletedSeen >= kStaleDeletedAttempts) {
          shm_unlink(shmName.c_str());  // its deleter died before removing the name
          deletedSeen = 0;
        }
        break;
      case Probe::NotReady:
        break;
      case Probe::Failed:
        errno = create ? SCM_ERRNO_NO_MEMORY : SCM_ERRNO_NOT_FOUND;
        return nullptr;
    }
    usleep(kOpenRetryMicroseconds);
  }
  errno = create ? SCM_ERRNO_NO_MEMORY : SCM_ERRNO_NOT_FOUND;
  return nullptr;
}

HandleRef::HandleRef(const void* handle, Kind kind) : handle_(nullptr) {
  Handle* found = handle != nullptr ? FindHandle(handle) : nullptr;
  if (found != nullptr && found->kind == kind) {
    // Counted before closed is looked at, and close sets closed before its own
    // call's count is given back: either this call sees the handle closed, or
    // the last count given back (this call's) unmaps it.
    found->users.fetch_add(1);
    if (!found->closed.load()) {
      handle_ = found;
      return;
    }
    Unuse(found);
  }
  errno = SCM_ERRNO_INVALID_ID;
}

HandleRef::~HandleRef() {
  if (handle_ == nullptr) {
    return;
  }
  const int savedErrno = errno;
  Unuse(handle_);
  errno = savedErrno;
}

STATUS DeleteObject(Handle* handle) {
  SharedSync* sync = &handle->object.load()->sync;
  LockSync(sync);
  if (sync->deleted != 0) {
    UnlockSync(sync);
    errno = SCM_ERRNO_INVALID_ID;
    return ERROR;
  }
  sync->deleted = 1;
  UnlockAndWakeAll(sync);
  // Only the one who marked it deleted removes the name, so a re-created object keeps its name.
  shm_unlink(handle->shmName.c_str());
  return OK;
}

STATUS CloseHandle(Handle* handle) {
  if (handle->closed.exchange(true)) {
    errno = SCM_ERRNO_INVALID_ID;
    return ERROR;
  }
  // the caller's HandleRef unmaps once the last call through the handle ends
  SharedSync* sync = &handle->object.load()->sync;
  LockSync(sync);
  if (sync->openCount > 0) {
    --sync->openCount;
  }
  const bool deleteNow = sync->deleted == 0 && sync->deleteOnLastClose != 0 && sync->openCount == 0;
  UnlockSync(sync);
  if (deleteNow) {
    DeleteObject(handle);
  }
  return OK;
}

}  // namespace scmsim
