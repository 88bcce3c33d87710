// Reader of the allocation count files: see AllocCountFile.h.
#include "AllocCountFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace ScmAllocCount {

namespace {

/// A name field as a string (it may lack its NUL when cut).
std::string Name(const char* field) {
  size_t n = 0;
  while (n < kNameBytes && field[n] != '\0') ++n;
  return std::string(field, n);
}

}  // namespace

std::vector<ProcessCounts> ReadDirectory(const std::string& dir) {
  std::vector<ProcessCounts> out;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string path = entry.path().string();
    if (entry.path().extension() != ".count") continue;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    void* base = MAP_FAILED;
    if (::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) >= sizeof(File)) {
      base = ::mmap(nullptr, sizeof(File), PROT_READ, MAP_SHARED, fd, 0);
    }
    ::close(fd);
    if (base == MAP_FAILED) continue;
    const auto* f = static_cast<const File*>(base);
    if (f->magic.load() == kMagic) {
      ProcessCounts p;
      p.pid = f->pid;
      p.program = Name(f->program);
      p.started = f->started.load() != 0;
      p.before = f->before.load();
      p.after = f->after.load();
      const uint32_t kept = f->sitesKept.load();
      for (uint32_t i = 0; i < kept && i < kSitesKept; ++i) {
        const Site& s = f->sites[i];
        size_t n = 0;
        while (n < kObjectBytes && s.object[n] != '\0') ++n;
        char offset[32];
        std::snprintf(offset, sizeof offset, "+0x%llx", static_cast<unsigned long long>(s.offset));
        p.sites.push_back(std::string(s.object, n) + offset);
      }
      for (const ThreadSlot& t : f->threads) {
        const int32_t tid = t.tid.load();
        if (tid == 0) continue;
        p.threads.push_back({tid, Name(t.name), t.before.load(), t.after.load()});
      }
      out.push_back(std::move(p));
    }
    ::munmap(base, sizeof(File));
  }
  return out;
}

}  // namespace ScmAllocCount
