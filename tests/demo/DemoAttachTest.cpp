// Attaching to a running domain: scmdemo says its socket and namespace at
// start; scmhostctl reaches it by the socket alone (the namespace comes over
// the socket) and, with no socket named, finds the single running domain of
// this account; probe finds a complete domain complete. A killed scmhost's
// next start with the same socket removes what the killed one left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "DemoProcess.h"
#include "DemoSpawn.h"
#include "HostControlClient.h"

namespace {

using namespace std::chrono_literals;

/// What one run of a tool printed and how it ended.
struct Ran {
  int status = -1;     ///< exit status, -1 when it did not exit
  std::string output;  ///< standard output and error
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Runs a program to its end with the environment (SCM_SIM_HOST_SOCKET and SCM_SIM_NAMESPACE always removed).
Ran RunTool(const std::string& directory, std::vector<std::string> argv, const std::map<std::string, std::string>& env) {
  const std::string log = directory + "/tool.txt";
  const char* inherited[] = {"SCM_SIM_HOST_SOCKET", "SCM_SIM_NAMESPACE"};
  std::vector<std::pair<std::string, std::string>> saved;
  for (const char* name : inherited) {
    if (const char* v = std::getenv(name)) saved.emplace_back(name, v);
    ::unsetenv(name);
  }
  const pid_t pid = ScmDemo::SpawnLogged(argv, log, env);
  for (const auto& [name, value] : saved) ::setenv(name.c_str(), value.c_str(), 1);
  Ran ran;
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) ran.status = WEXITSTATUS(status);
  ran.output = ReadAll(log);
  return ran;
}

/// Waits until the file holds the text; true when it does within the limit.
bool WaitForText(const std::string& path, const std::string& text, std::chrono::milliseconds limit) {
  for (auto waited = 0ms; waited < limit; waited += 20ms) {
    if (ReadAll(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

class DemoAttachTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // a directory of run directories of this test's own, so no other run is found
    runs_ = process_.Directory() + "/runs";
    std::filesystem::create_directories(runs_);
  }
  void TearDown() override {
    if (demo_ > 0) {
      ::kill(demo_, SIGTERM);
      int status = 0;
      ::waitpid(demo_, &status, 0);
    }
  }
  ScmDemoTest::DemoProcess process_{SCM_DEMO_PATH, "attach"};  ///< this test's directory
  std::string runs_;                                          ///< $TMPDIR of the runs
  pid_t demo_ = 0;                                            ///< the running scmdemo
};

TEST_F(DemoAttachTest, HostctlReachesTheRunningDemoBySocketAloneOrWithoutArguments) {
  const std::map<std::string, std::string> env{{"TMPDIR", runs_}};
  // nothing runs yet: said so, with the place looked in
  const Ran none = RunTool(process_.Directory(), {SCM_HOSTCTL_PATH, "status"}, env);
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.output.find("no running domain of this account in " + runs_), std::string::npos) << none.output;

  const std::string log = process_.Directory() + "/demo.txt";
  demo_ = ScmDemo::SpawnLogged({SCM_DEMO_PATH, "--nodes", "2", "--duration", "60", "--summary",
                                process_.Directory() + "/s.json"},
                               log, env);
  ASSERT_GT(demo_, 0);
  ASSERT_TRUE(WaitForText(log, "handshake: accepted", 20s)) << ReadAll(log);
  const std::string ns = "scmdemo" + std::to_string(demo_);
  const std::vector<std::string> found = [&] {
    ::setenv("TMPDIR", runs_.c_str(), 1);
    std::vector<std::string> f = ScmSim::FindRunningDomains();
    ::unsetenv("TMPDIR");
    return f;
  }();
  ASSERT_EQ(found.size(), 1u);
  const std::string socket = found.front();
  EXPECT_NE(ReadAll(log).find("scmdemo: host socket " + socket + ", object namespace " + ns), std::string::npos)
      << ReadAll(log);

  // without arguments: the one running domain
  const Ran status = RunTool(process_.Directory(), {SCM_HOSTCTL_PATH, "status"}, env);
  EXPECT_EQ(status.status, 0) << status.output;
  EXPECT_NE(status.output.find("sdn=1 running=yes queues=14/14 semaphores=2/2"), std::string::npos) << status.output;
  const Ran domain = RunTool(process_.Directory(), {SCM_HOSTCTL_PATH, "domain"}, env);
  EXPECT_EQ(domain.output, "sdn=1 namespace=" + ns + " socket=" + socket + "\n");
  // the socket alone is enough for probe: the namespace and the domain number come over it
  const Ran probe = RunTool(process_.Directory(), {SCM_HOSTCTL_PATH, "--socket", socket, "probe"}, {});
  EXPECT_EQ(probe.status, 0) << probe.output;
  EXPECT_NE(probe.output.find("domain complete"), std::string::npos) << probe.output;
  EXPECT_EQ(probe.output.find("MISSING"), std::string::npos) << probe.output;
  // remote commands go through the run's operator
  const Ran remote = RunTool(process_.Directory(), {SCM_HOSTCTL_PATH, "remote", "status"}, env);
  EXPECT_EQ(remote.status, 0) << remote.output;
  EXPECT_NE(remote.output.find("status -> "), std::string::npos) << remote.output;
}

// The README's download and unlock, typed by hand against a running scmdemo: the
// running "kel_para.saf" downloaded anew, unlocked by the firmware, one domain
// reset; the run counts every node out and back and ends well.
TEST_F(DemoAttachTest, HostctlDownloadsAndUnlocksTheKeyFileOfARunningDemo) {
  const std::map<std::string, std::string> env{{"TMPDIR", runs_}};
  const std::string dir = process_.Directory();
  const std::string log = dir + "/demo.txt";
  demo_ = ScmDemo::SpawnLogged({SCM_DEMO_PATH, "--nodes", "2", "--duration", "15", "--count-lost-nodes", "--summary",
                                dir + "/s.json"},
                               log, env);
  ASSERT_GT(demo_, 0);
  ASSERT_TRUE(WaitForText(log, "handshake: accepted", 20s)) << ReadAll(log);
  const auto hostctl = [&](std::vector<std::string> args) {
    args.insert(args.begin(), SCM_HOSTCTL_PATH);
    return RunTool(dir, args, env);
  };
  const std::string running = dir + "/running.saf";
  ASSERT_EQ(hostctl({"get-file", "kel_para.saf", running}).status, 0);
  const Ran download = hostctl({"download", "kel_para.saf", "@" + running, "0x5A5AA5C3"});
  ASSERT_EQ(download.status, 0) << download.output;
  const Ran unlock = hostctl({"unlock", "7", "kel_para.saf", "0x5A5AA5C3"});
  ASSERT_EQ(unlock.status, 0) << unlock.output;
  // the answer is asked for until it came (the firmware answers within a few cycles)
  Ran answer;
  for (auto waited = 0ms; waited < 10s; waited += 50ms) {
    answer = hostctl({"unlock-response"});
    if (answer.status == 0) break;
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(answer.output, "7 0\n");
  EXPECT_EQ(hostctl({"get", "kel_para.saf.swp"}).output, "-\n");
  const std::string unlocked = dir + "/unlocked.saf";
  ASSERT_EQ(hostctl({"get-file", "kel_para.saf", unlocked}).status, 0);
  EXPECT_EQ(ReadAll(unlocked), ReadAll(running));
  EXPECT_FALSE(ReadAll(running).empty());

  int status = 0;
  ASSERT_EQ(::waitpid(demo_, &status, 0), demo_);
  demo_ = 0;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << ReadAll(log);
  const nlohmann::json s = nlohmann::json::parse(ReadAll(dir + "/s.json"));
  // the firmware's one reset took both nodes out and both programs down; all came back
  EXPECT_EQ(s["nodeLeaves"], 2) << s.dump();
  EXPECT_EQ(s["nodeReturns"], 2) << s.dump();
  for (const auto& p : s["programs"]) EXPECT_EQ(p["starts"], 2) << p.dump();
  // the answer went through the run's operator, which saw it
  EXPECT_EQ(s["unlockResponses"], 1);
}

TEST(ScmhostLeftovers, ANewStartRemovesWhatAKilledHostLeftAtItsSocket) {
  ScmDemoTest::DemoProcess files(SCM_DEMO_PATH, "hostleft");
  const std::string dir = files.Directory();
  const std::string socket = dir + "/h.sock";
  const std::string ns = "hostleft" + std::to_string(::getpid());
  const std::vector<std::string> argv{SCM_HOST_PATH, "--sdn", "3", "--socket", socket, "--storage", dir + "/storage",
                                      "--namespace", ns};
  const std::string log = dir + "/host1.txt";
  const pid_t first = ScmDemo::SpawnLogged(argv, log);
  ASSERT_GT(first, 0);
  ASSERT_TRUE(WaitForText(log, "scmhost ready", 10s)) << ReadAll(log);
  ::kill(first, SIGKILL);
  int status = 0;
  ::waitpid(first, &status, 0);
  const auto objects = [&ns] {
    size_t n = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec)) {
      n += e.path().filename().string().rfind("scmsim." + ns + ".", 0) == 0 ? 1 : 0;
    }
    return n;
  };
  const size_t left = objects();
  EXPECT_GE(left, 16u) << "fourteen queues, two semaphores";
  EXPECT_TRUE(std::filesystem::exists(socket));

  const std::string log2 = dir + "/host2.txt";
  const pid_t second = ScmDemo::SpawnLogged(argv, log2);
  ASSERT_GT(second, 0);
  ASSERT_TRUE(WaitForText(log2, "scmhost ready", 10s)) << ReadAll(log2);
  EXPECT_NE(ReadAll(log2).find("scmhost: removed what a dead host left behind: the socket " + socket + " and " +
                               std::to_string(left) + " shared-memory object(s) of namespace " + ns),
            std::string::npos)
      << ReadAll(log2);
  ::kill(second, SIGTERM);
  ::waitpid(second, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(objects(), 0u);
  EXPECT_FALSE(std::filesystem::exists(socket));
}

// Storage names that begin with "@" ("@@temp.szp") or end in ".swp" are names to
// scmhostctl: only where hex is expected does @FILE stand for a file's bytes.
TEST(ScmhostctlFiles, NamesBeginningWithAnAtAndCompanionNamesAreTakenAsNames) {
  ScmDemoTest::DemoProcess files(SCM_DEMO_PATH, "atnames");
  const std::string dir = files.Directory();
  const std::string socket = dir + "/h.sock";
  const std::string ns = "atnames" + std::to_string(::getpid());
  const std::string log = dir + "/host.txt";
  const pid_t host = ScmDemo::SpawnLogged(
      {SCM_HOST_PATH, "--sdn", "4", "--socket", socket, "--storage", dir + "/storage", "--namespace", ns}, log);
  ASSERT_GT(host, 0);
  ASSERT_TRUE(WaitForText(log, "scmhost ready", 10s)) << ReadAll(log);
  const std::string local = dir + "/five.bin";
  std::ofstream(local, std::ios::binary) << std::string("\x01\x02\x03\x04\x05");
  struct Case {
    std::vector<std::string> args;  ///< after --socket
    std::string output;             ///< what it prints
  };
  const Case cases[] = {
      {{"put", "@@temp.szp", "@" + local}, ""},
      {{"get", "@@temp.szp"}, "0102030405\n"},
      {{"get-file", "@@temp.szp", dir + "/back.bin"}, ""},
      // locked with the word's bytes, low byte first, beside its companion of the four plain bytes
      {{"download", "@@temp.szp", "@" + local, "0x01020304"}, ""},
      {{"get", "@@temp.szp"}, "0501010505\n"},
      {{"get", "@@temp.szp.swp"}, "01020304\n"},
      {{"put", "kel_para.saf.swp", "0a0b"}, ""},
      {{"get", "KEL_PARA.SAF.SWP"}, "0a0b\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv{SCM_HOSTCTL_PATH, "--socket", socket};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const Ran ran = RunTool(dir, argv, {});
    EXPECT_EQ(ran.status, 0) << c.args[0] << " " << c.args[1] << ": " << ran.output;
    EXPECT_EQ(ran.output, c.output) << c.args[0] << " " << c.args[1];
  }
  EXPECT_EQ(ReadAll(dir + "/back.bin"), ReadAll(local));
  ::kill(host, SIGTERM);
  int status = 0;
  ::waitpid(host, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
