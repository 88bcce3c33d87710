// The executable self-test as the programs run it: the built probe, and copies
// of it spoilt in one way each, run as processes on the stand-in platform.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "rtp_emulator.h"

extern char** environ;

namespace {

using Bytes = std::vector<char>;

/// The probe's marker of bytes nothing reads.
constexpr const char* kFlipTarget = "scm-selftest-probe-flip-target:";
/// A failing process-information errno to inject.
constexpr int kInjectedErrno = 0x3D0005;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& bytes, mode_t mode) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
  }
  ASSERT_EQ(chmod(path.c_str(), mode), 0);
}

/// What one run of a probe printed and how it ended.
struct ProbeRun {
  int exitCode = -1;   ///< exit status, -1 when it did not exit normally
  std::string output;  ///< its standard output
};

/// Runs program with the extra environment entries; platform hooks of the
/// caller's environment are not inherited.
ProbeRun RunProbe(const std::string& program, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "SCM_SIM_RTPINFO_", 16) != 0) {
      env.emplace_back(*e);
    }
  }
  env.insert(env.end(), extra.begin(), extra.end());
  std::vector<char*> envp;
  for (std::string& e : env) {
    envp.push_back(e.data());
  }
  envp.push_back(nullptr);

  int pipeFds[2];
  ProbeRun run;
  if (pipe(pipeFds) != 0) {
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  std::vector<std::string> command = ScmSimProgramCommand(program);
  std::vector<char*> argv = ScmSimArgv(command);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned == 0) {
    char chunk[512];
    ssize_t n;
    while ((n = read(pipeFds[0], chunk, sizeof chunk)) > 0) {
      run.output.append(chunk, static_cast<std::size_t>(n));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  close(pipeFds[0]);
  return run;
}

std::string EventLine(unsigned reason, unsigned long information1) {
  char line[128];
  std::snprintf(line, sizeof line, "event code=0x92008610 information0=%u information1=%lu level=3\n", reason,
                information1);
  return line;
}

class SelfTestProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = "/tmp/scm-hostlib-probe-" + std::to_string(getpid()) + "-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    exe_ = ReadAll(SCM_PROBE_PATH);
    companion_ = ReadAll(std::string(SCM_PROBE_PATH) + ".vxe");
    ASSERT_FALSE(exe_.empty());
    ASSERT_EQ(companion_.size(), 4 * ((exe_.size() + 16383) / 16384));
  }
  void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0); }

  /// Places a copy of the probe (and, if given, a companion) at path; returns path.
  std::string Place(const std::string& path, const Bytes& exe, const Bytes* companion) {
    WriteAll(path, exe, 0755);
    if (companion != nullptr) {
      WriteAll(path + ".vxe", *companion, 0644);
    }
    return path;
  }

  /// Expects the run to fail with exactly one event of that reason and value.
  void ExpectFailure(const ProbeRun& run, unsigned reason, unsigned long information1) {
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, EventLine(reason, information1) + "result=0\n");
  }

  std::string dir_;   ///< this test's own temporary directory
  Bytes exe_;         ///< the probe as built
  Bytes companion_;   ///< its companion as built
};

TEST_F(SelfTestProbeTest, BuiltProbePassesAsBuilt) {
  const ProbeRun run = RunProbe(SCM_PROBE_PATH);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "result=1\n");
}

TEST_F(SelfTestProbeTest, IntactCopyPasses) {
  const ProbeRun run = RunProbe(Place(dir_ + "/probe", exe_, &companion_));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "result=1\n");
}

TEST_F(SelfTestProbeTest, ExtraCrcGivesReason7) {
  Bytes companion = companion_;
  companion.insert(companion.end(), {'\x01', '\x02', '\x03', '\x04'});
  ExpectFailure(RunProbe(Place(dir_ + "/probe", exe_, &companion)), 7, 0);
}

TEST_F(SelfTestProbeTest, MissingCrcGivesReason8) {
  Bytes companion = companion_;
  companion.resize(companion.size() - 4);
  ExpectFailure(RunProbe(Place(dir_ + "/probe", exe_, &companion)), 8, 0);
}

TEST_F(SelfTestProbeTest, FlippedExecutableByteGivesReason9) {
  Bytes exe = exe_;
  const std::string image(exe.begin(), exe.end());
  const std::size_t at = image.find(kFlipTarget);
  ASSERT_NE(at, std::string::npos);
  exe[at + std::strlen(kFlipTarget) + 3] ^= 0x01;
  ExpectFailure(RunProbe(Place(dir_ + "/probe", exe, &companion_)), 9, 0);
}

TEST_F(SelfTestProbeTest, NoCompanionGivesReason4WithErrno) {
  ExpectFailure(RunProbe(Place(dir_ + "/probe", exe_, nullptr)), 4, ENOENT);
}

TEST_F(SelfTestProbeTest, UnreadableExecutableGivesReason5) {
  // a directory opens read-only but cannot be read
  const std::string probe = Place(dir_ + "/probe", exe_, &companion_);
  const std::string directory = dir_ + "/unreadable";
  ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
  WriteAll(directory + ".vxe", companion_, 0644);
  ExpectFailure(RunProbe(probe, {"SCM_SIM_RTPINFO_PATH=" + directory}), 5, 0);
}

TEST_F(SelfTestProbeTest, PathOver255CharactersGivesReason2WithItsLength) {
  std::string directory = dir_;
  while (directory.size() < 260) {
    directory += "/" + std::string(60, 'd');
    ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
  }
  const std::string probe = Place(directory + "/probe", exe_, &companion_);
  char real[PATH_MAX];
  ASSERT_NE(realpath(probe.c_str(), real), nullptr);
  ASSERT_GT(std::strlen(real), 255u);
  ExpectFailure(RunProbe(probe), 2, std::strlen(real));
}

TEST_F(SelfTestProbeTest, FailingProcessInformationGivesReason1WithErrno) {
  const std::string probe = Place(dir_ + "/probe", exe_, &companion_);
  ExpectFailure(RunProbe(probe, {"SCM_SIM_RTPINFO_FAIL=" + std::to_string(kInjectedErrno)}), 1, kInjectedErrno);
}

}  // namespace
