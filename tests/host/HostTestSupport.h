// Fixture of the host-simulator tests: an in-process simulated host with its
// own object namespace, socket and storage directory per test, child
// processes that talk to it through the real host-call wrappers, and a check
// that the host leaves nothing behind when it stops.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <sys/types.h>

#include "ScmHostSim.h"

namespace hosttest {

using ScmSim::Bytes;

/// Longest a test waits for a child, a reset or a program (ms); only reached when something is broken.
constexpr int kPatienceMs = 10000;

/// A test against its own simulated host for domain kSdn.
class HostTest : public ::testing::Test {
 protected:
  /// The domain served.
  static constexpr uint16_t kSdn = 5;

  void SetUp() override;
  void TearDown() override;
  /// Lets a test change the configuration before the host starts (call from its SetUp).
  virtual void Configure(ScmSim::HostConfig& config) { (void)config; }

  /// Shared-memory objects of this test's namespace that exist now.
  int ObjectsLeft() const;

  std::string dir_;                          ///< temporary directory of this test
  std::string ns_;                           ///< object namespace of this test
  ScmSim::HostConfig config_;                ///< what the host was started with
  std::unique_ptr<ScmSim::HostSim> host_;    ///< the host
};

/// A forked child that runs body (its return value is the exit status) and can report words through a pipe.
class Child {
 public:
  explicit Child(const std::function<int(Child&)>& body);
  ~Child();
  /// From the child: sends a word to the parent.
  void Tell(uint32_t word);
  /// From the parent: the next word, or none within timeoutMs.
  std::optional<uint32_t> Hear(int timeoutMs = kPatienceMs);
  /// From the parent: SIGKILL and reap.
  void Kill();
  /// From the parent: waits for the exit status (-1 on timeout, then kills).
  int Wait(int timeoutMs = kPatienceMs);
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;      ///< child process
  int readFd_ = -1;     ///< parent's end of the pipe
  int writeFd_ = -1;    ///< child's end of the pipe
  bool reaped_ = false; ///< waited for
};

/// Polls pred every millisecond until it holds or timeoutMs passed.
bool Eventually(const std::function<bool()>& pred, int timeoutMs = kPatienceMs);

}  // namespace hosttest
