// The build tool that writes an executable's CRC companion.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "HNFiff_Crc.h"

namespace {

using Bytes = std::vector<u8>;

/// Bitwise CRC-32 MSB-first, polynomial 0x1EDC6F41, seed 0, no final XOR.
u32 Crc32(const u8* data, std::size_t n) {
  u32 reg = 0;
  for (std::size_t i = 0; i < n; ++i) {
    reg ^= static_cast<u32>(data[i]) << 24;
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x80000000u) ? ((reg << 1) ^ 0x1EDC6F41u) : (reg << 1);
    }
  }
  return reg;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

class VxegenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = "/tmp/scm-vxegen-" + std::to_string(getpid()) + "-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0); }

  /// Runs the tool with the arguments; its exit status.
  int Run(const std::string& arguments) {
    const std::string command = std::string(SCM_VXEGEN_PATH) + " " + arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string dir_;  ///< this test's own temporary directory
};

TEST_F(VxegenTest, WritesOneLittleEndianCrcPerBlockAndNothingAfter) {
  const std::size_t B = 16384;
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, B - 1, B, B + 1, 3 * B, 3 * B + 5}) {
    SCOPED_TRACE(size);
    Bytes exe(size);
    for (std::size_t i = 0; i < size; ++i) {
      exe[i] = static_cast<u8>((i * 31) ^ (i >> 7));
    }
    const std::string in = dir_ + "/prog";
    const std::string out = in + ".vxe";
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(exe.data()), exe.size());
    ASSERT_EQ(Run("'" + in + "' '" + out + "'"), 0);
    Bytes expected;
    for (std::size_t at = 0; at < size; at += B) {
      const u32 crc = Crc32(exe.data() + at, std::min(B, size - at));
      for (int i = 0; i < 4; ++i) {
        expected.push_back(static_cast<u8>(crc >> (8 * i)));
      }
    }
    EXPECT_EQ(ReadAll(out), expected);
    EXPECT_EQ(ReadAll(out).size(), 4 * ((size + B - 1) / B));
    EXPECT_FALSE(Exists(out + ".tmp"));
  }
}

TEST_F(VxegenTest, ReplacesAnOldCompanionWhole) {
  const std::string in = dir_ + "/prog";
  const std::string out = in + ".vxe";
  std::ofstream(out, std::ios::binary) << std::string(100, 'x');
  std::ofstream(in, std::ios::binary) << "abc";
  ASSERT_EQ(Run("'" + in + "' '" + out + "'"), 0);
  EXPECT_EQ(ReadAll(out).size(), 4u);
}

TEST_F(VxegenTest, MissingInputOrWrongUsageFailsAndLeavesNoCompanion) {
  const std::string out = dir_ + "/none.vxe";
  EXPECT_EQ(Run("'" + dir_ + "/none' '" + out + "'"), 1);
  EXPECT_FALSE(Exists(out));
  EXPECT_FALSE(Exists(out + ".tmp"));
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(Run("'" + dir_ + "/none'"), 2);
  // an unreadable input (a directory) must not give an empty companion
  EXPECT_EQ(Run("'" + dir_ + "' '" + out + "'"), 1);
  EXPECT_FALSE(Exists(out));
}

}  // namespace
