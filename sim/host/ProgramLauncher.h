// Starts the host's programs so that they die with the host: each child asks
// the kernel for SIGKILL when its parent goes (also when the host itself is
// killed with SIGKILL). The kernel ties that signal to the thread that forked
// the child, not to the process, so every fork happens on one thread that
// lives as long as the launcher; a program restarted from a short-lived thread
// (a reset handled by a connection's thread) is not killed when that ends.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace ScmSim {

/// The launching thread and its one pending request.
class ProgramLauncher {
 public:
  ProgramLauncher();
  ~ProgramLauncher();
  ProgramLauncher(const ProgramLauncher&) = delete;
  ProgramLauncher& operator=(const ProgramLauncher&) = delete;

  /// Starts path with argv and envp (null-terminated) and its standard output on stdoutFd;
  /// the child's pid, or -1 with errno set when it could not be started (exec failures included).
  pid_t Spawn(const char* path, char* const* argv, char* const* envp, int stdoutFd);

 private:
  void Serve();
  /// Forks and execs on the calling thread; what Spawn returns.
  static pid_t ForkExec(const char* path, char* const* argv, char* const* envp, int stdoutFd, int* error);

  std::mutex callers_;               ///< one Spawn at a time
  std::mutex mutex_;                 ///< guards the request below
  std::condition_variable changed_;  ///< a request came or its answer is ready
  std::function<void()> request_;    ///< the pending fork, empty when none
  bool done_ = false;                ///< the pending request was served
  bool stopping_ = false;            ///< the launcher is going away
  std::thread thread_;               ///< the one thread that forks
};

}  // namespace ScmSim
