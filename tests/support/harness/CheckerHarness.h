// Two-sided harness for scmchecker: runs the real program as a child process
// under the stand-in platform and plays both of its neighbours.
//   host side:     a simulated host runtime in this process creates the
//                  fourteen queues and two semaphores, serves the host calls
//                  (storage, counter, conditions, resets) and sets condition 0;
//   firmware side: the harness waits for condition 1, answers condition 2,
//                  takes "~frame-send", reads and writes the "~" queues
//                  complemented and gives "~frame-receive".
// Everything the firmware side does happens while the checker waits on
// "~frame-receive", so each cycle is deterministic. Every message the harness
// collects is recorded with its queue and the cycle it was collected in.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ScmHostSim.h"
#include "vxworks.h"

namespace ScmTest {

using Bytes = std::vector<uint8_t>;

/// The storage files of an installed, acknowledged key medium of an empty domain:
/// "corvane.uid" for the host's default controller UDID and its checker copy.
std::map<std::string, Bytes> InstalledEmptyDomainFiles();
/// Flash area 16 of that controller: the bytes of its "corvane.uid".
Bytes InstalledEmptyDomainFlash();

/// How the harness sets up the domain and starts the checker.
struct CheckerHarnessOptions {
  uint16_t sdn = 42;                                 ///< domain served by the host
  std::optional<std::string> domainVariable = "42";  ///< "SafetyDomainNumber" for the checker; none = absent
  std::map<std::string, uint32_t> capacities;        ///< capacity per relative queue name
  std::set<std::string> omitQueues;                  ///< relative queue names the host does not create
  std::set<std::string> omitSemaphores;              ///< relative semaphore names the host does not create
  std::string executable;                            ///< program to run; empty = the built scmchecker
  std::map<std::string, std::string> environment;    ///< further variables for the checker
  uint64_t counterStart = 0;                         ///< first value of the host's microsecond counter
  bool conditionZero = true;  ///< false: condition 0 is cleared before the checker starts
  std::map<std::string, Bytes> storage = InstalledEmptyDomainFiles();  ///< files on the host's storage at the start
  std::optional<Bytes> flash = InstalledEmptyDomainFlash();            ///< flash area 16 at the start; none = absent
  bool storageBusy = false;  ///< the storage refuses every open as busy from the checker's start on
  /// Qor variable 4 as the controller answers the first read on channel 6 (the older
  /// checker's copy of the key-medium identity); none = the controller's own answer
  /// (nothing written: no bytes).
  std::optional<Bytes> qorVariable4;
  /// The checker gives both cycle semaphores once before its first cycle (the older
  /// checker): the handshake then waits until that first cycle is over, so that the
  /// firmware side's cycles are in lock-step with the checker's from then on.
  bool checkerGivesInitially = false;
};

/// The options that run scmchecker-legacy on the same domain: its executable, variable 4
/// holding what flash area 16 held (none when none), its initial gives allowed for.
CheckerHarnessOptions LegacyCheckerOptions(CheckerHarnessOptions options);

/// One message the harness collected.
struct CollectedMessage {
  int cycle;          ///< cycles the harness had taken when it collected the message
  std::string queue;  ///< relative queue name ("event", "~command")
  Bytes plain;        ///< plain bytes (firmware-side messages complemented back)
};

/// A decoded log record of the checker (11 bytes, level 2 or 3).
struct LogRecord {
  uint8_t level;          ///< 3 error, 2 warning
  uint16_t code;          ///< error code
  uint16_t information0;  ///< first information field
  uint32_t information1;  ///< second information field
};

class CheckerHarness {
 public:
  explicit CheckerHarness(CheckerHarnessOptions options = {});
  /// Kills the checker if it still runs and stops the host.
  ~CheckerHarness();
  CheckerHarness(const CheckerHarness&) = delete;
  CheckerHarness& operator=(const CheckerHarness&) = delete;

  /// Starts the host (objects, condition 0) and then the checker.
  void Start();
  ScmSim::HostSim& Host() { return *host_; }
  const CheckerHarnessOptions& Options() const { return options_; }

  // ---- firmware side: start-up handshake ----
  /// Waits until the checker set condition 1; its value.
  std::optional<uint32_t> WaitCondition1(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  /// Sets condition 2 as the firmware would.
  void AnswerCondition2(uint32_t value);
  /// Condition 1 answered with the same value; false when condition 1 never came.
  bool Handshake();

  // ---- firmware side: the cycle ----
  /// Takes "~frame-send" (the checker's give); false on timeout.
  bool TakeCycle(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  /// Gives "~frame-receive" (the firmware finished its cycle).
  void GiveCycle();
  /// TakeCycle, the firmware's work, GiveCycle; false when the take timed out.
  bool Cycle(const std::function<void()>& firmwareWork = {});
  /// Cycles taken so far.
  int Cycles() const { return cycles_; }
  /// Opens the cycle semaphores the harness has no handle of yet (the older checker
  /// creates them when the host has not); true when both are open.
  bool OpenCycleSemaphores();
  /// Deletes the "~frame-receive" semaphore as a failing host would.
  void DeleteFrameReceiveSemaphore();
  /// Waits until the checker's cycle waits on "~frame-receive" for the firmware's end of
  /// cycle; false when the time ran out, the checker ended or the semaphore is not open.
  bool WaitCheckerAtCycleEnd(std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // ---- messages ----
  /// Puts plain bytes on a host-side queue.
  bool HostSend(const std::string& queue, const Bytes& plain);
  /// Puts bytes complemented on a firmware-side queue ("~" is added).
  bool FirmwareSend(const std::string& suffix, const Bytes& plain);
  /// Collects every waiting message of a host-side queue, as it stands.
  std::vector<Bytes> HostCollect(const std::string& queue);
  /// Collects every waiting message of a firmware-side queue ("~" is added), complemented back.
  std::vector<Bytes> FirmwareCollect(const std::string& suffix);
  /// Every message collected so far, in order.
  const std::vector<CollectedMessage>& Collected() const { return collected_; }
  /// Log records (level 2 and 3) among the host "event" messages collected so far.
  std::vector<LogRecord> LogRecords() const;
  /// Collects host "event" and returns the log records collected so far.
  std::vector<LogRecord> CollectLog();

  // ---- the firmware side's own queue handles (opened after Start) ----
  /// The firmware's handle of a "~" queue, opened once by name; null when it cannot be opened.
  MSG_Q_ID FirmwareQueue(const std::string& suffix);

  // ---- the process ----
  /// Waits until the checker ended; its exit code (or 128 + signal).
  std::optional<int> WaitExit(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  bool Running();
  /// Standard output so far.
  std::string Output();
  pid_t Pid() const { return pid_; }

 private:
  void Launch();
  void ReadOutput(int fd);
  void Kill();

  CheckerHarnessOptions options_;                   ///< as given
  std::string directory_;                           ///< temporary directory: socket, storage
  std::string namespace_;                           ///< SCM_SIM_NAMESPACE of this harness
  std::unique_ptr<ScmSim::HostSim> host_;           ///< the simulated host
  SEM_ID toScm_ = nullptr;                          ///< "~frame-send" semaphore
  SEM_ID fromScm_ = nullptr;                        ///< "~frame-receive" semaphore
  std::map<std::string, MSG_Q_ID> firmwareQueues_;  ///< firmware-side handles by suffix
  int cycles_ = 0;                                  ///< cycles taken
  std::vector<CollectedMessage> collected_;         ///< every collected message
  pid_t pid_ = -1;                                  ///< the checker's process, -1 before the start
  std::optional<int> exitCode_;                     ///< once reaped
  std::mutex outputMutex_;                          ///< guards output_
  std::string output_;                              ///< the checker's standard output
  std::thread outputReader_;                        ///< reads the output pipe
};

/// The ident word this build's programs carry.
uint32_t BuildIdentWord();
/// The ident word the older release's programs of this build carry.
uint32_t LegacyIdentWord();
/// The built scmchecker-legacy.
std::string LegacyCheckerPath();
/// Variable 4 of the older controller holding the installed empty domain's key-medium
/// identity: the bytes of its "corvane.uid".
Bytes InstalledEmptyDomainVariable4();

/// Names of the live threads of a process (the stand-in names each task's thread
/// after the task, cut to 15 characters).
std::set<std::string> TaskNames(pid_t pid);

}  // namespace ScmTest
