// The libFuzzer side of a target. With SCM_FUZZ_WRITE_SEEDS=DIR in the
// environment the target writes its seeds into DIR (seed-000, ...) and exits,
// so that the corpus of a run always comes from the current builders.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "FuzzTarget.h"

namespace ScmFuzz {

void Finding(const std::string& what) {
  std::fprintf(stderr, "FUZZ FINDING: %s\n", what.c_str());
  std::abort();
}

}  // namespace ScmFuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Fixtures shared with the unit tests report through GoogleTest; a failed
  // assertion there must stop the run like any other finding.
  GTEST_FLAG_SET(break_on_failure, true);
  if (const char* dir = std::getenv("SCM_FUZZ_WRITE_SEEDS")) {
    std::filesystem::create_directories(dir);
    int n = 0;
    for (const ScmFuzz::Bytes& seed : ScmFuzz::Seeds()) {
      char name[32];
      std::snprintf(name, sizeof(name), "seed-%03d", n++);
      std::ofstream out(std::filesystem::path(dir) / name, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
    }
    std::printf("%d seeds written to %s\n", n, dir);
    std::exit(0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ScmFuzz::RunOne(data, size);
  return 0;
}
