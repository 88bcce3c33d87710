// The normal build's side of a target: every seed and every committed crash
// input of the target (tests/fuzz/regressions/<target>/) runs once, each in a
// heap buffer of exactly its length, and must keep every promise.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "FuzzTarget.h"

namespace ScmFuzz {

void Finding(const std::string& what) { throw FindingError(what); }

}  // namespace ScmFuzz

namespace {

/// Runs one input; a finding or any other exception fails the test with the input's name.
void Replay(const std::string& name, const ScmFuzz::Bytes& input) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[input.size() + 1]);
  std::copy(input.begin(), input.end(), buffer.get());
  try {
    ScmFuzz::RunOne(buffer.get(), input.size());
  } catch (const ScmFuzz::FindingError& e) {
    ADD_FAILURE() << name << ": " << e.what();
  } catch (const std::exception& e) {
    ADD_FAILURE() << name << ": escaped exception " << e.what();
  }
}

TEST(SCM_FUZZ_SUITE, EverySeedKeepsThePromises) {
  const std::vector<ScmFuzz::Bytes> seeds = ScmFuzz::Seeds();
  ASSERT_FALSE(seeds.empty());
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    Replay("seed " + std::to_string(i), seeds[i]);
  }
}

TEST(SCM_FUZZ_SUITE, EveryCommittedCrashInputKeepsThePromises) {
  const std::filesystem::path dir = SCM_FUZZ_REGRESSIONS;
  if (!std::filesystem::is_directory(dir)) {
    GTEST_SKIP() << "no crash input committed for this target";
  }
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const ScmFuzz::Bytes input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Replay(entry.path().filename().string(), input);
    ++count;
  }
  EXPECT_GT(count, 0);
}

}  // namespace
