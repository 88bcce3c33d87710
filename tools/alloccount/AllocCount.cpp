// libscm_alloc_count.so: counts every heap allocation of the process it is
// preloaded into (LD_PRELOAD), per thread and before/after the start of the
// cyclic or check task, into the file described in AllocCountFile.h. The
// allocations themselves are glibc's (its __libc_ entry points), so the
// counter never calls back into itself and allocates nothing of its own.
// Without SCM_ALLOC_COUNT_DIR it only passes the calls on.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "AllocCountFile.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
extern char* program_invocation_short_name;
}

namespace {

using ScmAllocCount::File;
using ScmAllocCount::ThreadSlot;

/// Longest count-file path.
constexpr size_t kPathMax = 512;
/// Thread name suffixes that mark the start: the firmware's cyclic task, the checker's check task.
constexpr const char* kStartSuffixes[] = {"/cyclic", "/check"};

File* gFile = nullptr;  ///< this process's count file, null when not counting
__attribute__((tls_model("initial-exec"))) thread_local int tSlot = -1;  ///< this thread's slot, -1 unknown

/// Appends text at *at within end; false when it does not fit.
bool Append(char*& at, char* end, const char* text) {
  const size_t n = std::strlen(text);
  if (static_cast<size_t>(end - at) <= n) return false;
  std::memcpy(at, text, n + 1);
  at += n;
  return true;
}

/// Maps a fresh count file for this process.
void OpenFile() {
  gFile = nullptr;
  tSlot = -1;
  const char* dir = std::getenv("SCM_ALLOC_COUNT_DIR");
  if (dir == nullptr || *dir == '\0') return;
  char path[kPathMax];
  char digits[16];
  const pid_t pid = ::getpid();
  int n = 0;
  for (pid_t v = pid; n == 0 || v > 0; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
  char number[16];
  for (int i = 0; i < n; ++i) number[i] = digits[n - 1 - i];
  number[n] = '\0';
  char* at = path;
  char* end = path + sizeof path;
  if (!Append(at, end, dir) || !Append(at, end, "/alloc-") || !Append(at, end, number) ||
      !Append(at, end, ".count")) {
    return;
  }
  const int fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  void* base = MAP_FAILED;
  if (::ftruncate(fd, sizeof(File)) == 0) {
    base = ::mmap(nullptr, sizeof(File), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  ::close(fd);
  if (base == MAP_FAILED) return;
  File* f = static_cast<File*>(base);
  f->pid = pid;
  std::strncpy(f->program, program_invocation_short_name, sizeof f->program - 1);
  f->magic.store(ScmAllocCount::kMagic);
  gFile = f;
}

/// A forked child counts into a file of its own.
void AfterFork() { OpenFile(); }

__attribute__((constructor(101))) void Init() {
  OpenFile();
  pthread_atfork(nullptr, nullptr, AfterFork);
}

/// This thread's slot (claimed on first use; the last slot when all are taken).
ThreadSlot& Slot(File& f) {
  const int32_t tid = static_cast<int32_t>(::syscall(SYS_gettid));
  if (tSlot >= 0 && f.threads[tSlot].tid.load(std::memory_order_relaxed) == tid) return f.threads[tSlot];
  for (unsigned i = 0; i < ScmAllocCount::kThreadSlots; ++i) {
    int32_t expected = 0;
    if (f.threads[i].tid.load() == tid ||
        f.threads[i].tid.compare_exchange_strong(expected, tid)) {
      tSlot = static_cast<int>(i);
      return f.threads[i];
    }
  }
  tSlot = ScmAllocCount::kThreadSlots - 1;
  return f.threads[tSlot];
}

/// Counts one allocation made from site.
void Count(void* site) {
  File* f = gFile;
  if (f == nullptr) return;
  ThreadSlot& slot = Slot(*f);
  ::prctl(PR_GET_NAME, slot.name);
  if (f->started.load(std::memory_order_relaxed) != 0) {
    slot.after.fetch_add(1, std::memory_order_relaxed);
    f->after.fetch_add(1, std::memory_order_relaxed);
    const uint32_t i = f->sitesKept.fetch_add(1);
    if (i < ScmAllocCount::kSitesKept) {
      ScmAllocCount::Site& s = f->sites[i];
      Dl_info info{};
      const uint64_t address = reinterpret_cast<uint64_t>(site);
      if (::dladdr(site, &info) != 0 && info.dli_fname != nullptr) {
        const char* slash = std::strrchr(info.dli_fname, '/');
        std::strncpy(s.object, slash != nullptr ? slash + 1 : info.dli_fname, sizeof s.object - 1);
        s.offset = address - reinterpret_cast<uint64_t>(info.dli_fbase);
      } else {
        s.offset = address;
      }
    } else {
      f->sitesKept.store(ScmAllocCount::kSitesKept);
    }
  } else {
    slot.before.fetch_add(1, std::memory_order_relaxed);
    f->before.fetch_add(1, std::memory_order_relaxed);
  }
}

/// True when the thread name marks the start of the cyclic or check task.
bool MarksStart(const char* name) {
  const size_t n = std::strlen(name);
  for (const char* suffix : kStartSuffixes) {
    const size_t k = std::strlen(suffix);
    if (n >= k && std::strcmp(name + n - k, suffix) == 0) return true;
  }
  return false;
}

void* Aligned(size_t alignment, size_t size, void* site) {
  Count(site);
  return __libc_memalign(alignment, size);
}

}  // namespace

extern "C" {

void* malloc(size_t size) {
  Count(__builtin_return_address(0));
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  Count(__builtin_return_address(0));
  return __libc_calloc(count, size);
}

void* realloc(void* p, size_t size) {
  Count(__builtin_return_address(0));
  return __libc_realloc(p, size);
}

void free(void* p) { __libc_free(p); }

void* aligned_alloc(size_t alignment, size_t size) { return Aligned(alignment, size, __builtin_return_address(0)); }

void* memalign(size_t alignment, size_t size) { return Aligned(alignment, size, __builtin_return_address(0)); }

int posix_memalign(void** out, size_t alignment, size_t size) {
  if (alignment == 0 || (alignment & (alignment - 1)) != 0 || alignment % sizeof(void*) != 0) return EINVAL;
  void* p = Aligned(alignment, size, __builtin_return_address(0));
  if (p == nullptr) return ENOMEM;
  *out = p;
  return 0;
}

void* valloc(size_t size) {
  Count(__builtin_return_address(0));
  return __libc_valloc(size);
}

void* pvalloc(size_t size) {
  Count(__builtin_return_address(0));
  return __libc_pvalloc(size);
}

int pthread_setname_np(pthread_t thread, const char* name) {
  int rc = 0;
  if (std::strlen(name) >= ScmAllocCount::kNameBytes) {
    rc = ERANGE;
  } else if (pthread_equal(thread, pthread_self())) {
    rc = ::prctl(PR_SET_NAME, name) == 0 ? 0 : errno;
  } else {
    using SetName = int (*)(pthread_t, const char*);
    static const auto next = reinterpret_cast<SetName>(::dlsym(RTLD_NEXT, "pthread_setname_np"));
    rc = next != nullptr ? next(thread, name) : ENOSYS;
  }
  if (rc == 0 && gFile != nullptr && MarksStart(name)) {
    gFile->started.store(1);
  }
  return rc;
}

}  // extern "C"

// Every operator new counts once and takes glibc's memory directly; the
// matching operator delete of the C++ library frees it through free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
void* CountedNew(size_t size, void* site) {
  Count(site);
  void* p = __libc_malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* CountedAlignedNew(size_t size, std::align_val_t alignment, void* site) {
  void* p = Aligned(static_cast<size_t>(alignment), size == 0 ? 1 : size, site);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(size_t size) { return CountedNew(size, __builtin_return_address(0)); }
void* operator new[](size_t size) { return CountedNew(size, __builtin_return_address(0)); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  Count(__builtin_return_address(0));
  return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  Count(__builtin_return_address(0));
  return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new(size_t size, std::align_val_t alignment) {
  return CountedAlignedNew(size, alignment, __builtin_return_address(0));
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return CountedAlignedNew(size, alignment, __builtin_return_address(0));
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return Aligned(static_cast<size_t>(alignment), size == 0 ? 1 : size, __builtin_return_address(0));
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return Aligned(static_cast<size_t>(alignment), size == 0 ? 1 : size, __builtin_return_address(0));
}
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }
void operator delete(void* p, std::align_val_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { __libc_free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { __libc_free(p); }
#pragma GCC diagnostic pop
