// Runs scmdemo as a process, as a person or CI would, and reads back what the
// host side wrote: the exit status, the printed output, the JSON summary and
// the frame trace. Every run has a directory of its own, removed afterwards.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace ScmDemoTest {

/// How one run of scmdemo ended.
struct Ended {
  int status = -1;     ///< exit status, -1 when it did not exit normally
  pid_t pid = 0;       ///< its process id (names its shared-memory objects)
  std::string output;  ///< standard output and error
};

/// One trace line, split into its key=value fields.
using TraceFields = std::map<std::string, std::string>;

/// A directory for the runs of one test, with the summary and trace files in it.
class DemoProcess {
 public:
  /// demoPath: the scmdemo to run; tag names the directory.
  DemoProcess(std::string demoPath, const std::string& tag);
  ~DemoProcess();
  DemoProcess(const DemoProcess&) = delete;
  DemoProcess& operator=(const DemoProcess&) = delete;

  /// Runs scmdemo with "--summary FILE" and the arguments; signal, when set, is sent as soon as
  /// signalWhen (asked with the run's pid every 10 ms) holds, unless the run ended before.
  Ended Run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
            int signal = 0, const std::function<bool(pid_t)>& signalWhen = {}) const;
  /// The summary of the last run (an empty object when there is none).
  nlohmann::json Summary() const;
  /// True when the last run wrote a summary.
  bool HasSummary() const;
  /// The lines of a trace file, each split into its fields.
  static std::vector<TraceFields> ReadTrace(const std::string& path);
  /// The last count lines of a file, for failure messages.
  static std::string Tail(const std::string& path, size_t count);
  /// Shared-memory objects a run with that pid left behind.
  static std::vector<std::string> Leftovers(pid_t pid);
  /// Live processes of this account whose environment names the object namespace of the run
  /// with that pid: the programs it started.
  static std::vector<std::string> ProgramsOf(pid_t pid);

  const std::string& Directory() const { return directory_; }    ///< this test's files
  const std::string& SummaryFile() const { return summary_; }   ///< the summary file of a run

 private:
  std::string demo_;       ///< the program run
  std::string directory_;  ///< this test's files
  std::string summary_;    ///< the summary file of a run
};

}  // namespace ScmDemoTest
