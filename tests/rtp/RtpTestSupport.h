// Fixture and helpers of the stand-in platform's conformance tests: a unique
// object namespace per test, child processes with a pipe to talk to them, and
// running the probe program.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "rtp_testhooks.h"
#include "vxworks.h"

namespace rtptest {

/// Longest a test waits for a child's word or exit before it gives up (ms).
constexpr int kChildTimeoutMs = 10000;

/// A test with its own object namespace; every object left behind is removed afterwards.
class RtpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    ns_ = "rtptest-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    setenv("SCM_SIM_NAMESPACE", ns_.c_str(), 1);
  }
  void TearDown() override {
    ScmSimRemoveNamespaceObjects();
    unsetenv("SCM_SIM_NAMESPACE");
  }
  /// Creates a queue that must not exist yet.
  static MSG_Q_ID CreateQueue(const char* name, size_t maxMsgs, size_t maxLength) {
    return msgQOpen(name, maxMsgs, maxLength, MSG_Q_FIFO, OM_CREATE | OM_EXCL, nullptr);
  }
  /// Opens an existing queue as the programs do.
  static MSG_Q_ID OpenQueue(const char* name) { return msgQOpen(name, 0, 0, 0, 0, nullptr); }
  /// Creates a binary semaphore that must not exist yet.
  static SEM_ID CreateSem(const char* name, int state = SEM_EMPTY) {
    return semOpen(name, SEM_TYPE_BINARY, state, SEM_Q_FIFO, OM_CREATE | OM_EXCL, nullptr);
  }
  /// Opens an existing semaphore as the programs do.
  static SEM_ID OpenSem(const char* name) { return semOpen(name, 0, 0, 0, 0, nullptr); }

  std::string ns_;  ///< this test's namespace
};

/// A child process running body (its result is the exit status), with a pipe each way.
class Child {
 public:
  explicit Child(const std::function<int(Child&)>& body) {
    int down[2];
    int up[2];
    if (pipe(down) != 0 || pipe(up) != 0) {
      ADD_FAILURE() << "pipe";
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      close(down[1]);
      close(up[0]);
      in_ = down[0];
      out_ = up[1];
      _exit(body(*this));
    }
    close(down[0]);
    close(up[1]);
    in_ = up[0];
    out_ = down[1];
  }
  ~Child() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(in_);
    close(out_);
  }
  /// Sends one byte to the other side.
  void Send(char c) { (void)!write(out_, &c, 1); }
  /// Waits for one byte from the other side; 0 when none came in time.
  char Receive() {
    pollfd fd{in_, POLLIN, 0};
    char c = 0;
    if (poll(&fd, 1, kChildTimeoutMs) == 1 && read(in_, &c, 1) == 1) {
      return c;
    }
    return 0;
  }
  /// Kills the child at once.
  void Kill() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    reaped_ = true;
  }
  /// Waits for the child's exit status (-1 when it was killed by a signal).
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;       ///< child process
  int in_ = -1;          ///< read end towards this side
  int out_ = -1;         ///< write end towards the other side
  bool reaped_ = false;  ///< exit status collected
};

/// Result of running a program.
struct RunResult {
  int status;          ///< exit status, -1 when killed by a signal
  std::string output;  ///< its standard output
};

/// Runs a program with extra environment settings ("NAME=value") and collects its output.
RunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env);

/// Polls cond every millisecond until it holds or the child timeout passes.
bool WaitFor(const std::function<bool()>& cond);

}  // namespace rtptest
