// The host's counter page: see hostclock.h.
#include "hostclock.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace ScmHostClock {

namespace {

/// Magic of a live page ("SCLK"); 0 once the host removed it.
constexpr uint32_t kMagic = 0x4B4C4353u;
/// Attempts to read a consistent page before giving up (the writer holds it for a few stores only).
constexpr int kReadAttempts = 1000;

/// The page as both sides map it.
struct Page {
  std::atomic<uint32_t> magic;     ///< kMagic while the host keeps the page
  std::atomic<uint32_t> sequence;  ///< odd while the host changes the page
  std::atomic<uint32_t> valid;     ///< 1: readers compute the counter; 0: they ask the host
  std::atomic<uint32_t> reserved;  ///< 0
  std::atomic<uint64_t> baseUs;    ///< counter value at epochNs, in microseconds
  std::atomic<int64_t> epochNs;    ///< CLOCK_MONOTONIC nanoseconds when baseUs held
};
static_assert(std::atomic<uint64_t>::is_always_lock_free, "the page needs lock-free 64-bit atomics");

/// This process's mapping of a host's page.
struct ReaderCache {
  pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;  ///< guards the fields below
  const Page* page = nullptr;                       ///< mapping, null when none
  char socketPath[kPathMax] = {};                   ///< socket path the mapping belongs to
  dev_t device = 0;                                 ///< file identity of the mapping
  ino_t inode = 0;                                  ///< file identity of the mapping
};

ReaderCache gReader;  ///< the process's reader state (constant-initialised, never destroyed)

/// Drops the mapping. Cache locked.
void UnmapLocked(ReaderCache& c) {
  if (c.page != nullptr) {
    ::munmap(const_cast<Page*>(c.page), sizeof(Page));
  }
  c.page = nullptr;
  c.socketPath[0] = '\0';
}

/// Maps the page of the host at socketPath unless the mapping is of that very file already. Cache locked.
void MapLocked(ReaderCache& c, const char* socketPath) {
  char path[kPathMax];
  if (!PagePath(socketPath, path)) {
    UnmapLocked(c);
    return;
  }
  const int savedErrno = errno;
  struct stat st {};
  if (::stat(path, &st) != 0 || static_cast<size_t>(st.st_size) < sizeof(Page)) {
    UnmapLocked(c);
    errno = savedErrno;
    return;
  }
  if (c.page != nullptr && c.device == st.st_dev && c.inode == st.st_ino &&
      std::strcmp(c.socketPath, socketPath) == 0) {
    errno = savedErrno;
    return;
  }
  UnmapLocked(c);
  // Mapped writable although only read: 64-bit atomic loads on some 32-bit
  // processors need a writable line.
  const int fd = ::open(path, O_RDWR | O_CLOEXEC);
  if (fd >= 0) {
    void* base = ::mmap(nullptr, sizeof(Page), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    struct stat opened {};
    if (base != MAP_FAILED && ::fstat(fd, &opened) == 0) {
      c.page = static_cast<const Page*>(base);
      c.device = opened.st_dev;
      c.inode = opened.st_ino;
      std::strcpy(c.socketPath, socketPath);
    } else if (base != MAP_FAILED) {
      ::munmap(base, sizeof(Page));
    }
    ::close(fd);
  }
  errno = savedErrno;
}

/// Reads the page consistently; false when it is not valid (or never settles).
bool Snapshot(const Page& page, uint64_t* baseUs, int64_t* epochNs) {
  for (int i = 0; i < kReadAttempts; ++i) {
    const uint32_t before = page.sequence.load(std::memory_order_acquire);
    if ((before & 1u) != 0) {
      continue;
    }
    const uint32_t valid = page.valid.load(std::memory_order_relaxed);
    const uint64_t base = page.baseUs.load(std::memory_order_relaxed);
    const int64_t epoch = page.epochNs.load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (page.sequence.load(std::memory_order_relaxed) == before) {
      if (valid == 0 || page.magic.load(std::memory_order_relaxed) != kMagic) {
        return false;
      }
      *baseUs = base;
      *epochNs = epoch;
      return true;
    }
  }
  return false;
}

}  // namespace

bool PagePath(const char* socketPath, char* out) {
  if (socketPath == nullptr || *socketPath == '\0') {
    return false;
  }
  const size_t n = std::strlen(socketPath);
  const size_t suffix = std::strlen(kSuffix);
  if (n + suffix + 1 > kPathMax) {
    return false;
  }
  std::memcpy(out, socketPath, n);
  std::memcpy(out + n, kSuffix, suffix + 1);
  return true;
}

int64_t MonotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

Publisher::~Publisher() { Close(); }

bool Publisher::Open(const char* socketPath) {
  Close();
  if (!PagePath(socketPath, path_)) {
    return false;
  }
  // A new file (never the old one truncated): readers of an earlier host see its page marked gone.
  ::unlink(path_);
  const int fd = ::open(path_, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    return false;
  }
  void* base = MAP_FAILED;
  if (::ftruncate(fd, sizeof(Page)) == 0) {
    base = ::mmap(nullptr, sizeof(Page), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  ::close(fd);
  if (base == MAP_FAILED) {
    ::unlink(path_);
    return false;
  }
  page_ = base;
  auto* page = static_cast<Page*>(page_);
  page->valid.store(0);
  page->magic.store(kMagic, std::memory_order_release);
  return true;
}

void Publisher::Publish(bool valid, uint64_t baseUs, int64_t epochNs) {
  auto* page = static_cast<Page*>(page_);
  if (page == nullptr) {
    return;
  }
  page->sequence.fetch_add(1, std::memory_order_acq_rel);
  std::atomic_thread_fence(std::memory_order_release);
  page->valid.store(valid ? 1u : 0u, std::memory_order_relaxed);
  page->baseUs.store(baseUs, std::memory_order_relaxed);
  page->epochNs.store(epochNs, std::memory_order_relaxed);
  page->sequence.fetch_add(1, std::memory_order_release);
}

void Publisher::Close() {
  auto* page = static_cast<Page*>(page_);
  if (page == nullptr) {
    return;
  }
  page->sequence.fetch_add(1, std::memory_order_acq_rel);
  page->valid.store(0, std::memory_order_relaxed);
  page->magic.store(0, std::memory_order_relaxed);
  page->sequence.fetch_add(1, std::memory_order_release);
  ::munmap(page_, sizeof(Page));
  page_ = nullptr;
  ::unlink(path_);
  path_[0] = '\0';
}

bool ReadCounter(const char* socketPath, uint64_t* counterUs) {
  if (socketPath == nullptr || counterUs == nullptr) {
    return false;
  }
  ReaderCache& c = gReader;
  pthread_mutex_lock(&c.lock);
  uint64_t baseUs = 0;
  int64_t epochNs = 0;
  bool ok = false;
  if (c.page == nullptr || std::strcmp(c.socketPath, socketPath) != 0) {
    MapLocked(c, socketPath);
  }
  if (c.page != nullptr) {
    ok = Snapshot(*c.page, &baseUs, &epochNs);
    if (!ok && c.page->magic.load(std::memory_order_relaxed) != kMagic) {
      // The host that kept this page is gone; a new one may have put another beside the socket.
      MapLocked(c, socketPath);
      ok = c.page != nullptr && Snapshot(*c.page, &baseUs, &epochNs);
    }
  }
  pthread_mutex_unlock(&c.lock);
  if (!ok) {
    return false;
  }
  const int64_t elapsedNs = MonotonicNs() - epochNs;
  *counterUs = baseUs + static_cast<uint64_t>(elapsedNs > 0 ? elapsedNs / 1000 : 0);
  return true;
}

}  // namespace ScmHostClock
