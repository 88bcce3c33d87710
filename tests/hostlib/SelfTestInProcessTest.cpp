// The executable self-test run in-process against crafted files: the fake
// process information points at them and the recording hook collects events.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "HNFhwt_SelfTest.h"
#include "HNFiff_Crc.h"
#include "HostlibFakes.h"

namespace {

using Bytes = std::vector<u8>;

/// Open descriptors of this process, to show every path closes what it opened.
int OpenDescriptorCount() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) {
    return -1;
  }
  while (readdir(dir) != nullptr) {
    ++count;
  }
  closedir(dir);
  return count;
}

Bytes Content(std::size_t size, u32 salt = 1) {
  Bytes bytes(size);
  u32 state = 0x9E3779B9u * salt;
  for (u8& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<u8>(state >> 24);
  }
  return bytes;
}

/// The companion the build writes: one little-endian CRC-32 per 16 KiB block.
Bytes CompanionOf(const Bytes& executable) {
  Bytes out;
  for (std::size_t at = 0; at < executable.size(); at += HNFHWT_BLOCK_SIZE) {
    const std::size_t n = std::min<std::size_t>(HNFHWT_BLOCK_SIZE, executable.size() - at);
    const u32 crc = HNFiff_Crc32CalcSwp(0, static_cast<i32>(n), executable.data() + at);
    for (int i = 0; i < 4; ++i) {
      out.push_back(static_cast<u8>(crc >> (8 * i)));
    }
  }
  return out;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!bytes.empty()) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  }
  std::fclose(f);
}

class SelfTestInProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hostlibfake::Reset();
    std::string pattern = "/tmp/scm-hostlib-selftest-" + std::to_string(getpid()) + "-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    hostlibfake::Reset();
    const std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }

  /// Runs the check on path; expects reason (0 = pass) and information1, and no descriptor left open.
  void Expect(const std::string& path, u16 reason, u32 information1 = 0, bool countDescriptors = true) {
    hostlibfake::processPath = path;
    hostlibfake::events.clear();
    const int before = OpenDescriptorCount();
    const u8 result = HNFhwt_VerifyExecutable();
    if (countDescriptors) {
      EXPECT_EQ(OpenDescriptorCount(), before) << "a descriptor was left open";
    }
    if (reason == 0) {
      EXPECT_EQ(result, 1);
      EXPECT_TRUE(hostlibfake::events.empty());
      return;
    }
    EXPECT_EQ(result, 0);
    ASSERT_EQ(hostlibfake::events.size(), 1u);
    const hostlibfake::EventRecord& e = hostlibfake::events[0];
    EXPECT_EQ(e.code, 0x92008610u);
    EXPECT_EQ(e.information0, reason);
    EXPECT_EQ(e.information1, information1);
    EXPECT_EQ(e.level, 3);
  }

  std::string dir_;  ///< this test's own temporary directory
};

/// How the companion is spoilt.
enum class Edit { None, ExtraCrc, MissingCrc, TruncatedCrc, WrongCrc, FlippedByte };

TEST_F(SelfTestInProcessTest, CompanionShapesAgainstExecutableSizes) {
  struct Case {
    std::size_t size;  ///< executable size
    Edit edit;         ///< what is spoilt
    u16 reason;        ///< expected reason, 0 = pass
  };
  const u32 B = HNFHWT_BLOCK_SIZE;
  const Case table[] = {
      {0, Edit::None, 0},
      {1, Edit::None, 0},
      {B - 1, Edit::None, 0},
      {B, Edit::None, 0},
      {B + 1, Edit::None, 0},
      {3 * B, Edit::None, 0},
      {3 * B + 100, Edit::None, 0},
      {0, Edit::ExtraCrc, 7},
      {B, Edit::ExtraCrc, 7},
      {3 * B, Edit::ExtraCrc, 7},
      {B + 1, Edit::ExtraCrc, 7},
      {B, Edit::MissingCrc, 8},
      {3 * B, Edit::MissingCrc, 8},
      {3 * B + 100, Edit::MissingCrc, 8},
      {2 * B, Edit::TruncatedCrc, 8},
      {1, Edit::TruncatedCrc, 8},
      {2 * B, Edit::WrongCrc, 9},
      {5, Edit::WrongCrc, 9},
      {3 * B, Edit::FlippedByte, 9},
      {3 * B + 100, Edit::FlippedByte, 9},
  };
  for (const Case& c : table) {
    SCOPED_TRACE("size " + std::to_string(c.size) + " edit " + std::to_string(static_cast<int>(c.edit)));
    Bytes exe = Content(c.size);
    Bytes companion = CompanionOf(exe);
    switch (c.edit) {
      case Edit::None:
        break;
      case Edit::ExtraCrc:
        companion.insert(companion.end(), {0x11, 0x22, 0x33, 0x44});
        break;
      case Edit::MissingCrc:
        companion.resize(companion.size() - 4);
        break;
      case Edit::TruncatedCrc:
        companion.resize(companion.size() - 2);
        break;
      case Edit::WrongCrc:
        companion.back() ^= 0x01;
        break;
      case Edit::FlippedByte:
        exe[exe.size() - 1 - HNFHWT_BLOCK_SIZE] ^= 0x80;
        break;
    }
    const std::string path = dir_ + "/prog";
    WriteFile(path, exe);
    WriteFile(path + ".vxe", companion);
    Expect(path, c.reason);
  }
}

TEST_F(SelfTestInProcessTest, CompanionNameAppendsVxeToTheFullPath) {
  // an executable already called x.vxe has its companion at x.vxe.vxe
  const Bytes exe = Content(100);
  WriteFile(dir_ + "/prog.vxe", exe);
  WriteFile(dir_ + "/prog.vxe.vxe", CompanionOf(exe));
  Expect(dir_ + "/prog.vxe", 0);
}

TEST_F(SelfTestInProcessTest, MissingFilesReportTheOpenErrno) {
  const Bytes exe = Content(100);
  WriteFile(dir_ + "/alone", exe);
  Expect(dir_ + "/alone", HNFHWT_REASON_OPEN_COMPANION, ENOENT);
  Expect(dir_ + "/absent", HNFHWT_REASON_OPEN_EXECUTABLE, ENOENT);
}

TEST_F(SelfTestInProcessTest, UnreadableFilesOpenButFailTheirRead) {
  // a directory opens read-only but every read fails
  ASSERT_EQ(mkdir((dir_ + "/exe-dir").c_str(), 0700), 0);
  WriteFile(dir_ + "/exe-dir.vxe", {});
  Expect(dir_ + "/exe-dir", HNFHWT_REASON_READ_EXECUTABLE);

  WriteFile(dir_ + "/prog", Content(10));
  ASSERT_EQ(mkdir((dir_ + "/prog.vxe").c_str(), 0700), 0);
  Expect(dir_ + "/prog", HNFHWT_REASON_READ_COMPANION);
}

TEST_F(SelfTestInProcessTest, PathOf255CharactersPassesAnd256IsRefusedWithItsLength) {
  const std::size_t base = dir_.size() + 1;  // directory and its slash
  const std::string shortDir = dir_ + "/" + std::string(255 - base - 2, 'a');
  const std::string longDir = dir_ + "/" + std::string(255 - base - 1, 'b');
  ASSERT_EQ(mkdir(shortDir.c_str(), 0700), 0);
  ASSERT_EQ(mkdir(longDir.c_str(), 0700), 0);
  const std::string path255 = shortDir + "/x";
  const std::string path256 = longDir + "/x";
  ASSERT_EQ(path255.size(), 255u);
  ASSERT_EQ(path256.size(), 256u);
  const Bytes exe = Content(HNFHWT_BLOCK_SIZE + 3);
  for (const std::string& p : {path255, path256}) {
    WriteFile(p, exe);
    WriteFile(p + ".vxe", CompanionOf(exe));
  }
  Expect(path255, 0);
  Expect(path256, HNFHWT_REASON_PATH_TOO_LONG, 256);
  const std::string path1000 = std::string(1000, '/') + path255.substr(1);
  Expect(path1000, HNFHWT_REASON_PATH_TOO_LONG, static_cast<u32>(path1000.size()));
}

TEST_F(SelfTestInProcessTest, FailingProcessInformationReportsErrno) {
  hostlibfake::processInfoErrno = 0x3D0005;
  Expect(dir_ + "/whatever", HNFHWT_REASON_NO_PROCESS_INFO, 0x3D0005);
  hostlibfake::processInfoErrno = 0;
  hostlibfake::processPathNull = true;
  Expect(dir_ + "/whatever", HNFHWT_REASON_NO_PROCESS_INFO, 0);
}

/// Feeds bytes into a FIFO in small pieces through a one-page pipe, so that the reader sees short reads.
void FeedInPieces(const std::string& fifo, const Bytes& bytes, std::size_t piece) {
  const int fd = open(fifo.c_str(), O_WRONLY);
  if (fd < 0) {
    return;
  }
  // the smallest pipe: no read can ever get more than one page at a time
  fcntl(fd, F_SETPIPE_SZ, 4096);
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const std::size_t n = std::min(piece, bytes.size() - at);
    if (write(fd, bytes.data() + at, n) != static_cast<ssize_t>(n)) {
      break;
    }
    std::this_thread::yield();
  }
  close(fd);
}

TEST_F(SelfTestInProcessTest, ShortReadsNeverShiftTheBlockBoundaries) {
  // Pipes hand out what has been written so far; the result must not depend on it.
  const Bytes exe = Content(2 * HNFHWT_BLOCK_SIZE + 777, 3);
  const std::string path = dir_ + "/piped";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((path + ".vxe").c_str(), 0600), 0);
  std::thread exeWriter(FeedInPieces, path, exe, 1000);
  std::thread crcWriter(FeedInPieces, path + ".vxe", CompanionOf(exe), 1);
  Expect(path, 0, 0, false);  // the writers hold descriptors of their own meanwhile
  exeWriter.join();
  crcWriter.join();
}

}  // namespace
