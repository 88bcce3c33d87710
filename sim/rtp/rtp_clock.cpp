// Time of the stand-in: the clock rate and ticks, and the movable
// CLOCK_REALTIME. clock_gettime defined here takes the place of the C
// library's in every program and test that links scm_rtp; CLOCK_REALTIME gets
// the namespace's shared offset added, every other clock passes through.
// The tick functions live in this file so that every user of a waiting call or
// of taskDelay (every program) links this clock_gettime, also in sanitizer
// builds, whose runtime library already offers one.
#include "rtp_clock.h"

#include "rtp_internal.h"
#include "rtp_testhooks.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

namespace scmsim {
namespace {

/// The C library's clock_gettime.
using ClockFunction = int (*)(clockid_t, timespec*);

/// The clock_gettime that this file's definition stands in front of (the C
/// library's, which reads the clocks through the vDSO without entering the
/// kernel), null when it cannot be found (then the system call serves).
ClockFunction NextClock() {
  static const ClockFunction next = [] {
    auto* found = reinterpret_cast<ClockFunction>(dlsym(RTLD_NEXT, "clock_gettime"));
    return found == &clock_gettime ? nullptr : found;
  }();
  return next;
}

/// Finds the C library's clock before main, so that no running task's first reading looks it up.
__attribute__((constructor)) void FindNextClock() { (void)NextClock(); }

}  // namespace

int SystemClockGetTime(clockid_t clock, timespec* ts) {
  const ClockFunction next = NextClock();
  if (next != nullptr) {
    return next(clock, ts);
  }
  return static_cast<int>(syscall(SYS_clock_gettime, clock, ts));
}

timespec DeadlineAfterTicks(int ticks) {
  timespec now{};
  SystemClockGetTime(CLOCK_MONOTONIC, &now);
  const int64_t ns = static_cast<int64_t>(ticks) * 1000000000LL / sysClkRateGet();
  int64_t total = now.tv_nsec + ns % 1000000000LL;
  timespec deadline{};
  deadline.tv_sec = now.tv_sec + static_cast<time_t>(ns / 1000000000LL + total / 1000000000LL);
  deadline.tv_nsec = static_cast<long>(total % 1000000000LL);
  return deadline;
}

void SleepTicks(int ticks) {
  const timespec deadline = DeadlineAfterTicks(ticks);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

}  // namespace scmsim

namespace {

/// Ticks per second when SCM_SIM_CLK_RATE is absent or not usable.
constexpr int kDefaultClkRate = 1000;
/// Highest clock rate accepted from SCM_SIM_CLK_RATE.
constexpr long kMaxClkRate = 1000000;
/// Magic of an initialised offset object ("SCK1").
constexpr uint32_t kClockMagic = 0x314B4353;
/// Name of the offset object inside the namespace's clock kind.
constexpr const char* kClockName = "realtime";

/// The shared offset object.
struct ClockObject {
  std::atomic<uint32_t> magic;     ///< kClockMagic once initialised
  std::atomic<int64_t> offsetNs;   ///< added to the system's CLOCK_REALTIME
  std::atomic<uint32_t> removed;   ///< 1 once removed: users drop their mapping and look for a new object
};
static_assert(std::atomic<int64_t>::is_always_lock_free, "the offset is one lock-free word on every target");
static_assert(sizeof(ClockObject) == 24 && offsetof(ClockObject, offsetNs) == 8 &&
                  offsetof(ClockObject, removed) == 16,
              "same layout on every target");

/// This process's mapping of the current namespace's offset object.
struct ClockCache {
  std::mutex lock;           ///< guards everything here
  std::string shmName;       ///< name of the mapped object, empty when none is mapped
  ClockObject* object = nullptr;  ///< mapping, null when none
};

ClockCache& Cache() {
  static ClockCache* cache = new ClockCache;  // never destroyed: clocks are read during exit
  return *cache;
}

/// Maps the namespace's offset object (creating it when asked); null when absent. Cache locked.
ClockObject* MapLocked(ClockCache& cache, bool create) {
  const std::string shmName = scmsim::ObjectName(scmsim::Kind::Clock, kClockName);
  if (cache.object != nullptr && cache.shmName == shmName && cache.object->removed.load() == 0) {
    return cache.object;
  }
  if (cache.object != nullptr) {
    munmap(cache.object, sizeof(ClockObject));
    cache.object = nullptr;
    cache.shmName.clear();
  }
  const int savedErrno = errno;
  int fd = shm_open(shmName.c_str(), O_RDWR, 0);
  if (fd < 0 && create) {
    fd = shm_open(shmName.c_str(), O_RDWR | O_CREAT, 0600);
  }
  ClockObject* object = nullptr;
  if (fd >= 0) {
    struct stat st{};
    if (fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) < sizeof(ClockObject)) {
      // new (size 0, all zero once extended: offset 0) or being extended by another process
      if (ftruncate(fd, sizeof(ClockObject)) != 0) {
        close(fd);
        errno = savedErrno;
        return nullptr;
      }
    }
    void* base = mmap(nullptr, sizeof(ClockObject), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (base != MAP_FAILED) {
      object = static_cast<ClockObject*>(base);
      object->magic.store(kClockMagic);
      cache.object = object;
      cache.shmName = shmName;
    }
  }
  errno = savedErrno;
  return object;
}

/// Tells every process that still maps the named offset object that it is gone.
void MarkRemoved(const std::string& shmName) {
  const int fd = shm_open(shmName.c_str(), O_RDWR, 0);
  if (fd < 0) {
    return;
  }
  struct stat st{};
  if (fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) >= sizeof(ClockObject)) {
    void* base = mmap(nullptr, sizeof(ClockObject), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base != MAP_FAILED) {
      static_cast<ClockObject*>(base)->removed.store(1);
      munmap(base, sizeof(ClockObject));
    }
  }
  close(fd);
}

int64_t CurrentOffset() {
  ClockCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.lock);
  ClockObject* object = MapLocked(cache, false);
  return object != nullptr ? object->offsetNs.load() : 0;
}

}  // namespace

int sysClkRateGet(void) {
  const char* env = scmsim::ReadSetting(scmsim::Setting::ClockRate);
  int rate = kDefaultClkRate;
  if (env != nullptr && *env != 0) {
    const int savedErrno = errno;
    char* end = nullptr;
    errno = 0;
    const long value = strtol(env, &end, 10);
    if (errno == 0 && *end == 0 && value >= 1 && value <= kMaxClkRate) {
      rate = static_cast<int>(value);
    }
    errno = savedErrno;
  }
  return rate;
}

extern "C" int clock_gettime(clockid_t clock, struct timespec* ts) noexcept {
  const int rc = scmsim::SystemClockGetTime(clock, ts);
  if (rc != 0 || clock != CLOCK_REALTIME) {
    return rc;
  }
  const int64_t offset = CurrentOffset();
  if (offset != 0) {
    int64_t ns = static_cast<int64_t>(ts->tv_sec) * 1000000000LL + ts->tv_nsec + offset;
    ts->tv_sec = static_cast<time_t>(ns / 1000000000LL);
    ts->tv_nsec = static_cast<long>(ns % 1000000000LL);
    if (ts->tv_nsec < 0) {
      ts->tv_nsec += 1000000000L;
      --ts->tv_sec;
    }
  }
  return 0;
}

extern "C" int ScmSimClockSetRealtimeOffset(int64_t offsetNs) {
  ClockCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.lock);
  ClockObject* object = MapLocked(cache, true);
  if (object == nullptr) {
    return -1;
  }
  object->offsetNs.store(offsetNs);
  return 0;
}

extern "C" int ScmSimClockAdvanceRealtime(int64_t deltaNs) {
  ClockCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.lock);
  ClockObject* object = MapLocked(cache, true);
  if (object == nullptr) {
    return -1;
  }
  object->offsetNs.fetch_add(deltaNs);
  return 0;
}

extern "C" int64_t ScmSimClockGetRealtimeOffset(void) { return CurrentOffset(); }

extern "C" int ScmSimClockRemove(void) {
  ClockCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.lock);
  const std::string shmName = scmsim::ObjectName(scmsim::Kind::Clock, kClockName);
  if (cache.object != nullptr) {
    munmap(cache.object, sizeof(ClockObject));
    cache.object = nullptr;
    cache.shmName.clear();
  }
  MarkRemoved(shmName);
  return shm_unlink(shmName.c_str()) == 0 || errno == ENOENT ? 0 : -1;
}

extern "C" int ScmSimRemoveNamespaceObjects(void) {
  {
    ClockCache& cache = Cache();
    std::lock_guard<std::mutex> guard(cache.lock);
    if (cache.object != nullptr) {
      munmap(cache.object, sizeof(ClockObject));
      cache.object = nullptr;
      cache.shmName.clear();
    }
  }
  const std::string prefix = scmsim::NamespacePrefix();
  int removed = 0;
  DIR* dir = opendir("/dev/shm");
  if (dir == nullptr) {
    return 0;
  }
  while (const dirent* entry = readdir(dir)) {
    if (strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0) {
      continue;
    }
    const std::string shmName = std::string("/") + entry->d_name;
    if (entry->d_name[prefix.size()] == static_cast<char>(scmsim::Kind::Clock)) {
      MarkRemoved(shmName);
    }
    int fd = shm_open(shmName.c_str(), O_RDWR, 0);
    if (fd >= 0) {
      // mark queues and semaphores deleted so that handles still open in other processes fail
      struct stat st{};
      if (fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) >= sizeof(scmsim::ObjectHeader) &&
          entry->d_name[prefix.size()] != static_cast<char>(scmsim::Kind::Clock)) {
        void* base = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (base != MAP_FAILED) {
          auto* object = static_cast<scmsim::ObjectHeader*>(base);
          if (object->magic.load() != 0) {
            scmsim::LockSync(&object->sync);
            object->sync.deleted = 1;
            scmsim::UnlockAndWakeAll(&object->sync);
          }
          munmap(base, static_cast<size_t>(st.st_size));
        }
      }
      close(fd);
    }
    if (shm_unlink(shmName.c_str()) == 0) {
      ++removed;
    }
  }
  closedir(dir);
  return removed;
}
