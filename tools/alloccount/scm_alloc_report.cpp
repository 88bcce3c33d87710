// scm_alloc_report DIR: prints the allocation counts of every process that ran
// with the counter preloaded and SCM_ALLOC_COUNT_DIR=DIR, one line per process
// and one per thread that allocated, with the places of the first allocations
// after start as object+offset (for addr2line -e OBJECT OFFSET).
#include <cstdio>
#include <cstring>

#include "AllocCountFile.h"

int main(int argc, char** argv) {
  static constexpr const char* kUsage = "usage: scm_alloc_report DIR\n";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    for (int i = 1; i < argc; ++i) {
      if (argv[i][0] == '-') std::fprintf(stderr, "scm_alloc_report: unknown option %s\n", argv[i]);
    }
    std::fputs(kUsage, stderr);
    return 2;
  }
  for (const ScmAllocCount::ProcessCounts& p : ScmAllocCount::ReadDirectory(argv[1])) {
    std::printf("%s pid %d: %s, %llu before start, %llu after\n", p.program.c_str(), p.pid,
                p.started ? "started" : "never started", static_cast<unsigned long long>(p.before),
                static_cast<unsigned long long>(p.after));
    for (const ScmAllocCount::ThreadCounts& t : p.threads) {
      std::printf("  thread %d %-15s %llu before, %llu after\n", t.tid, t.name.c_str(),
                  static_cast<unsigned long long>(t.before), static_cast<unsigned long long>(t.after));
    }
    for (const std::string& site : p.sites) std::printf("  site %s\n", site.c_str());
  }
  return 0;
}
