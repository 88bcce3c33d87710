// Starts the domain's programs with the domain's environment, captures their
// standard output and exit status, stops them, and kills and restarts them
// for a domain reset.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

#include "ProgramLauncher.h"

namespace ScmSim {

/// What the supervisor knows of one started program.
struct ProgramInfo {
  int id = 0;                          ///< supervisor's number for it
  std::string path;                    ///< executable
  std::vector<std::string> args;       ///< arguments after the program name
  pid_t pid = 0;                       ///< current or last process
  bool running = false;                ///< the process has not been reaped yet
  bool stopped = false;                ///< stopped on request: a reset does not restart it
  std::optional<int> exitStatus;       ///< last wait status (as waitpid gives it)
  uint32_t starts = 0;                 ///< times started (1 + restarts)
  std::string output;                  ///< standard output of every start so far
};

/// The programs a host started.
class Supervisor {
 public:
  /// Programs get the current environment with these variables set over it.
  explicit Supervisor(std::map<std::string, std::string> environment);
  ~Supervisor();
  Supervisor(const Supervisor&) = delete;
  Supervisor& operator=(const Supervisor&) = delete;

  /// Starts a program; its id, or -1 when it cannot be started.
  int Start(const std::string& path, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& extraEnvironment = {});
  /// SIGTERM, then SIGKILL after grace; true once it has ended. A reset will not restart it.
  bool Stop(int id, std::chrono::milliseconds grace = std::chrono::milliseconds(2000));
  /// Waits until the program's current process has ended.
  bool WaitExit(int id, std::chrono::milliseconds timeout);
  /// Waits until the output holds text.
  bool WaitOutput(int id, const std::string& text, std::chrono::milliseconds timeout);
  std::optional<ProgramInfo> Info(int id) const;
  std::vector<ProgramInfo> All() const;

  /// Reset: kills every running program and waits for each to end.
  void KillAll();
  /// Reset: starts again every program not stopped on request.
  void RestartAll();
  /// Host stop: stops everything for good.
  void StopAll();

 private:
  struct Program {
    ProgramInfo info;                           ///< what is reported
    std::map<std::string, std::string> env;     ///< extra environment
    std::thread watcher;                        ///< reads output, then reaps
  };
  bool Launch(Program& p);
  void Watch(Program* p, pid_t pid, int readFd);

  std::map<std::string, std::string> environment_;  ///< variables set for every program
  ProgramLauncher launcher_;                        ///< forks the programs so they die with the host
  mutable std::mutex mutex_;                        ///< guards programs_
  std::condition_variable changed_;                 ///< output grew or a process ended
  std::map<int, std::unique_ptr<Program>> programs_;  ///< by id
  int nextId_ = 1;                                  ///< next id
};

}  // namespace ScmSim
