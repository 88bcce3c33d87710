// Layout of the file each process writes while the allocation counter
// (libscm_alloc_count.so, LD_PRELOAD) is loaded into it, and its reader.
//
// The library maps "<SCM_ALLOC_COUNT_DIR>/alloc-<pid>.count" shared and keeps
// its counters there as the process runs, so the counts survive a process
// that is killed. Every allocation (malloc, calloc, realloc, aligned_alloc,
// posix_memalign, memalign, valloc, pvalloc and every operator new) counts
// once, in the slot of the thread that made it. The process is "started" from
// the moment a thread names itself ".../cyclic" or ".../check" (the stand-in
// names each task's thread after the task as the task begins): allocations
// from then on count as after start. Both sides run on the same machine and
// share this layout as a plain structure.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace ScmAllocCount {

/// Magic of a written file ("SACF").
inline constexpr uint32_t kMagic = 0x46434153u;
/// Threads the file tells apart; later threads share the last slot.
inline constexpr unsigned kThreadSlots = 64;
/// Bytes of a thread or program name, NUL included.
inline constexpr unsigned kNameBytes = 16;
/// Return addresses kept of the first allocations after start.
inline constexpr unsigned kSitesKept = 16;
/// Bytes of a site's object name, NUL included.
inline constexpr unsigned kObjectBytes = 48;

/// Where an allocation after start was made.
struct Site {
  uint64_t offset;             ///< return address minus the base of the object holding it
  char object[kObjectBytes];   ///< that object's file name (end of its path)
};

/// One thread's counts.
struct ThreadSlot {
  std::atomic<int32_t> tid;       ///< kernel thread id, 0 while the slot is free
  char name[kNameBytes];          ///< the thread's name at its latest allocation
  std::atomic<uint64_t> before;   ///< allocations before start
  std::atomic<uint64_t> after;    ///< allocations after start
};

/// The whole file.
struct File {
  std::atomic<uint32_t> magic;        ///< kMagic once written
  std::atomic<uint32_t> started;      ///< 1 once a cyclic or check task began
  int32_t pid;                        ///< the process
  char program[kNameBytes];           ///< the program's short name
  std::atomic<uint64_t> before;       ///< allocations before start, all threads
  std::atomic<uint64_t> after;        ///< allocations after start, all threads
  std::atomic<uint32_t> sitesKept;    ///< entries of sites in use
  Site sites[kSitesKept];             ///< the first allocations after start
  ThreadSlot threads[kThreadSlots];   ///< per thread
};

/// What a reader makes of one file.
struct ThreadCounts {
  int32_t tid;          ///< kernel thread id
  std::string name;     ///< thread name
  uint64_t before;      ///< allocations before start
  uint64_t after;       ///< allocations after start
};
struct ProcessCounts {
  int32_t pid;                        ///< the process
  std::string program;                ///< its short name
  bool started;                       ///< a cyclic or check task began
  uint64_t before;                    ///< allocations before start
  uint64_t after;                     ///< allocations after start
  std::vector<std::string> sites;     ///< the first allocations after start, as "object+0xoffset"
  std::vector<ThreadCounts> threads;  ///< threads that allocated
};

/// Every count file in dir (unreadable or foreign files are skipped).
std::vector<ProcessCounts> ReadDirectory(const std::string& dir);

}  // namespace ScmAllocCount
