// Process-level behaviour of the POSIX stand-in: the initial task of a program,
// rtpInfoGet and its hooks, and the movable real-time clock.
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "RtpTestSupport.h"
#include "rtp_clock.h"

namespace rtptest {
namespace {

/// The probe program built with scm_rtp_program.
const std::string kProbe = RTP_PROBE_PATH;

using RtpProcessTest = RtpTest;

std::string NamespaceSetting(const std::string& ns) { return "SCM_SIM_NAMESPACE=" + ns; }

TEST_F(RtpProcessTest, InitialTaskExitEndsOnlyItAndTheProcessEndsWithItsLastTask) {
  const RunResult run = RunProgram({kProbe, "exit-initial"}, {NamespaceSetting(ns_)});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("initial is-task 1\n"), std::string::npos) << run.output;
  const size_t exited = run.output.find("initial exits\n");
  ASSERT_NE(exited, std::string::npos) << run.output;
  for (const char* line : {"task 1 round 0\n", "task 1 round 2\n", "task 2 round 0\n", "task 2 round 2\n"}) {
    const size_t at = run.output.find(line);
    ASSERT_NE(at, std::string::npos) << line << " missing in\n" << run.output;
    EXPECT_GT(at, exited) << line;
  }
}

TEST_F(RtpProcessTest, EndedInitialTaskLeavesNoZombieWhileOtherTasksRun) {
  const char* emulator = std::getenv("SCM_SIM_EMULATOR");
  if (emulator != nullptr && *emulator != '\0') {
    // Listed in the README: under user-mode emulation the process seen in /proc is the emulator's.
    GTEST_SKIP() << "not runnable under user-mode emulation: /proc shows the emulator's process state";
  }
  const RunResult run = RunProgram({kProbe, "park-initial"}, {NamespaceSetting(ns_)});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "process state S\n");
}

TEST_F(RtpProcessTest, TasksOfAProgramIncludingTheInitialOneNeverOverlap) {
  const RunResult run = RunProgram({kProbe, "overlap"}, {NamespaceSetting(ns_)});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "max-inside 1\n");
}

TEST_F(RtpProcessTest, AProgramTakesItsClockRateOnceBeforeMain) {
  // A test process reads the setting at every call (RtpClkRateTest); a program
  // keeps what its environment said when it started.
  const RunResult run = RunProgram({kProbe, "clock-rate"}, {NamespaceSetting(ns_), "SCM_SIM_CLK_RATE=200"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "rate 200 then 200\n");
}

TEST_F(RtpProcessTest, RtpInfoGetGivesTheRealPathOfTheExecutable) {
  RTP_DESC desc{};
  ASSERT_EQ(rtpInfoGet(getpid(), &desc), OK);
  char* real = realpath("/proc/self/exe", nullptr);
  ASSERT_NE(real, nullptr);
  EXPECT_STREQ(desc.pathName, real);
  EXPECT_EQ(desc.pid, getpid());
  free(real);
  errno = 0;
  EXPECT_EQ(rtpInfoGet(getpid(), nullptr), ERROR);
  EXPECT_NE(errno, 0);
  EXPECT_EQ(rtpInfoGet(getpid() + 100000, &desc), ERROR);
}

TEST_F(RtpProcessTest, RtpInfoGetReportsPathsLongerThan255Characters) {
  // a copy of the probe deep enough that its real path exceeds 255 characters
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("rtpinfo-" + ns_);
  std::filesystem::path deep = dir;
  while (deep.string().size() < 300) {
    deep /= "a-rather-long-directory-name";
  }
  std::filesystem::create_directories(deep);
  const std::filesystem::path copy = deep / "probe";
  std::filesystem::copy_file(kProbe, copy);
  const RunResult run = RunProgram({copy.string(), "rtpinfo"}, {NamespaceSetting(ns_)});
  std::filesystem::remove_all(dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "path " + copy.string() + "\n");
  EXPECT_GT(copy.string().size(), 255u);
}

/// One rtpInfoGet hook setting through the environment and what the probe prints.
struct InfoEnvCase {
  std::vector<std::string> env;  ///< settings
  std::string output;            ///< expected output
};

class RtpInfoEnvTest : public RtpTest, public ::testing::WithParamInterface<InfoEnvCase> {};

TEST_P(RtpInfoEnvTest, EnvironmentHooks) {
  std::vector<std::string> env = GetParam().env;
  env.push_back(NamespaceSetting(ns_));
  const RunResult run = RunProgram({kProbe, "rtpinfo"}, env);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Hooks, RtpInfoEnvTest,
    ::testing::Values(InfoEnvCase{{"SCM_SIM_RTPINFO_PATH=/some/where/else"}, "path /some/where/else\n"},
                      InfoEnvCase{{"SCM_SIM_RTPINFO_FAIL=0x3D0005"}, "fail 3997701\n"},
                      InfoEnvCase{{"SCM_SIM_RTPINFO_FAIL=13", "SCM_SIM_RTPINFO_PATH=/x"}, "fail 13\n"}));

TEST_F(RtpProcessTest, RtpInfoGetInProcessHooksOverrideTheEnvironment) {
  setenv("SCM_SIM_RTPINFO_PATH", "/from/env", 1);
  RTP_DESC desc{};
  ASSERT_EQ(rtpInfoGet(getpid(), &desc), OK);
  EXPECT_STREQ(desc.pathName, "/from/env");
  const std::string longPath = "/" + std::string(400, 'p');
  ScmSimSetRtpInfoPath(longPath.c_str());
  ASSERT_EQ(rtpInfoGet(getpid(), &desc), OK);
  EXPECT_EQ(std::string(desc.pathName), longPath);
  ScmSimSetRtpInfoFail(0x1234);
  errno = 0;
  EXPECT_EQ(rtpInfoGet(getpid(), &desc), ERROR);
  EXPECT_EQ(errno, 0x1234);
  ScmSimSetRtpInfoFail(-1);
  ScmSimSetRtpInfoPath(nullptr);
  unsetenv("SCM_SIM_RTPINFO_PATH");
  ASSERT_EQ(rtpInfoGet(getpid(), &desc), OK);
  EXPECT_NE(std::string(desc.pathName), "/from/env");
}

int64_t SystemRealtimeNs() {
  timespec ts{};
  syscall(SYS_clock_gettime, CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

int64_t RealtimeNs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

TEST_F(RtpProcessTest, RealtimeMovesByTheNamespaceOffsetAndOtherClocksDoNot) {
  constexpr int64_t kHour = 3600LL * 1000000000LL;
  constexpr int64_t kSlack = 1000000000LL;
  EXPECT_EQ(ScmSimClockGetRealtimeOffset(), 0);
  EXPECT_LT(std::llabs(RealtimeNs() - SystemRealtimeNs()), kSlack);
  ASSERT_EQ(ScmSimClockSetRealtimeOffset(kHour), 0);
  EXPECT_LT(std::llabs(RealtimeNs() - SystemRealtimeNs() - kHour), kSlack);
  ASSERT_EQ(ScmSimClockAdvanceRealtime(-2 * kHour - 123), 0);
  EXPECT_EQ(ScmSimClockGetRealtimeOffset(), -kHour - 123);
  EXPECT_LT(std::llabs(RealtimeNs() - SystemRealtimeNs() + kHour), kSlack);
  timespec mono{};
  timespec raw{};
  clock_gettime(CLOCK_MONOTONIC, &mono);
  syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &raw);
  EXPECT_LT(std::llabs(static_cast<long long>(raw.tv_sec - mono.tv_sec)), 2);
  // another process of the namespace sees the same offset
  const RunResult run = RunProgram({kProbe, "clock"}, {NamespaceSetting(ns_)});
  ASSERT_EQ(run.status, 0);
  const long long seconds = std::stoll(run.output);
  EXPECT_LT(std::llabs(seconds - (SystemRealtimeNs() - kHour) / 1000000000LL), 3);
  // and one of another namespace does not
  const RunResult other = RunProgram({kProbe, "clock"}, {NamespaceSetting(ns_ + "-other")});
  EXPECT_LT(std::llabs(std::stoll(other.output) - SystemRealtimeNs() / 1000000000LL), 3);
  ASSERT_EQ(ScmSimClockRemove(), 0);
  EXPECT_EQ(ScmSimClockGetRealtimeOffset(), 0);
  EXPECT_LT(std::llabs(RealtimeNs() - SystemRealtimeNs()), kSlack);
}

TEST_F(RtpProcessTest, AProcessThatMapsTheOffsetSeesItReplacedAfterARemove) {
  ASSERT_EQ(ScmSimClockSetRealtimeOffset(5), 0);
  Child child([](Child& self) {
    if (ScmSimClockGetRealtimeOffset() != 5) {
      return 1;
    }
    self.Send('m');
    if (self.Receive() != 'r') {
      return 2;
    }
    return ScmSimClockGetRealtimeOffset() == 7 ? 0 : 3;
  });
  ASSERT_EQ(child.Receive(), 'm');
  ASSERT_EQ(ScmSimClockRemove(), 0);
  ASSERT_EQ(ScmSimClockSetRealtimeOffset(7), 0);
  child.Send('r');
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(ScmSimClockRemove(), 0);
}

TEST_F(RtpProcessTest, RemovingTheNamespaceRemovesEveryObjectAndOnlyThose) {
  MSG_Q_ID queue = CreateQueue("/scm0001/event", 2, 11);
  SEM_ID sem = CreateSem("/scm0001/~frame-send");
  ASSERT_EQ(ScmSimClockSetRealtimeOffset(5), 0);
  const std::string mine = ns_;
  setenv("SCM_SIM_NAMESPACE", (mine + "x").c_str(), 1);
  MSG_Q_ID neighbour = CreateQueue("/scm0001/event", 2, 11);
  ASSERT_NE(neighbour, nullptr);
  setenv("SCM_SIM_NAMESPACE", mine.c_str(), 1);
  EXPECT_EQ(ScmSimRemoveNamespaceObjects(), 3);
  char byte = 0;
  EXPECT_EQ(msgQSend(queue, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR);
  EXPECT_EQ(semGive(sem), ERROR);
  EXPECT_EQ(ScmSimClockGetRealtimeOffset(), 0);
  EXPECT_EQ(msgQSend(neighbour, &byte, 1, NO_WAIT, MSG_PRI_NORMAL), OK);
  EXPECT_EQ(msgQDelete(neighbour), OK);
}

}  // namespace
}  // namespace rtptest
