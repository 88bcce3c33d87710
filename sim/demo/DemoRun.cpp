#include "DemoRun.h"

#include <cstdio>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include "DemoCleanup.h"
#include "DemoReasons.h"
#include "DemoRemote.h"
#include "DemoTimeline.h"
#include "FrameNetwork.h"
#include "HostControlClient.h"
#include "HostOperator.h"
#include "NetworkPump.h"
#include "PcapFile.h"
#include "ProcFiles.h"
#include "RemoteNames.h"
#include "ScmHostSim.h"
#include "rtp_testhooks.h"
#include "vxworks.h"

namespace ScmDemo {

namespace {

using Clock = std::chrono::steady_clock;

/// Call-log records the host keeps; the download step looks for the firmware's reset call in it.
constexpr size_t kCallLogRecords = 200000;
/// Name of the downloaded file.
constexpr const char* kDownloadName = "kel_para.saf";
/// The firmware resets the domain this long after the first request (seconds).
constexpr double kResetDelaySeconds = 5.0;
/// A reset later than this after the request is no longer "5 s or a little more" (seconds).
constexpr double kResetLateSeconds = 8.0;
/// How long an answer to an unlock request may take (seconds).
constexpr double kAnswerSeconds = 5.0;
/// How long the reset may take after the request, and the second goal after the reset (seconds).
constexpr double kRestartSeconds = 60.0;
/// The firmware's event of a failed unlock.
constexpr uint32_t kUnlockFailed = 0x6200AF1Du;
/// The checker's record of a passed unlock deadline.
constexpr uint32_t kUnlockDeadlinePassed = 0xE20Eu;
/// Bytes the host lets through of a write it cuts short.
constexpr uint32_t kShortWriteBytes = 16;
/// State of a node before the network has run.
constexpr const char* kNotStarted = "not started";
/// How the cycles are counted.
constexpr const char* kCycleCounting =
    "gives of the cycle semaphores: checker ~frame-send (the cycle), firmware ~frame-receive; "
    "a node is operational from the cycle that carries its operational answer to the firmware";
/// Drops and returns the summary names one by one (--count-lost-nodes); the counts go on beyond.
constexpr size_t kMostDropsNamed = 1000;
/// Microseconds between two passes of the network's pump: far below one cycle, so answers make their cycle.
constexpr u32 kPumpPeriodUs = 200;
/// How the summary shows a program that ran until the run stopped it.
constexpr const char* kStoppedByRun = "stopped by the run";
/// The firmware's operator information of remote control: (result, code) of commands and confirmations.
constexpr uint32_t kRemoteEventCode = 0x6200C08Bu;
/// Name suffix of the firmware's cyclic task thread ("scm0001/cyclic").
constexpr const char* kCyclicTaskSuffix = "/cyclic";

/// Counts the gives of one cycle semaphore over the whole run; a domain reset
/// re-creates the semaphore with a count of zero, so the count goes on from there.
class GiveCounter {
 public:
  explicit GiveCounter(std::string name) : name_(std::move(name)) {}
  ~GiveCounter() {
    if (sem_ != nullptr) semClose(sem_);
  }
  GiveCounter(const GiveCounter&) = delete;
  GiveCounter& operator=(const GiveCounter&) = delete;
  /// Gives so far.
  uint64_t Read() {
    long long now = sem_ != nullptr ? ScmSimSemGives(sem_) : -1;
    if (now < 0) {
      // deleted (a reset) or not open yet: keep what was counted, open the current one
      if (sem_ != nullptr) semClose(sem_);
      base_ += last_;
      last_ = 0;
      sem_ = semOpen(name_.c_str(), 0, 0, 0, 0, nullptr);
      now = sem_ != nullptr ? ScmSimSemGives(sem_) : -1;
      if (now < 0) return base_;
    }
    last_ = static_cast<uint64_t>(now);
    return base_ + last_;
  }

 private:
  std::string name_;        ///< full name of the semaphore
  SEM_ID sem_ = nullptr;    ///< our handle, null when not open
  uint64_t base_ = 0;       ///< gives of semaphores before the current one
  uint64_t last_ = 0;       ///< gives of the current one at the last read
};

double Since(Clock::time_point start, Clock::time_point at) {
  return std::chrono::duration<double>(at - start).count();
}

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string HexBytes(const ScmSim::Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 0xF];
  }
  return text;
}

/// What a thread's schedstat and status say: nanoseconds on the CPU, the times it was put on a
/// CPU, and of those the times it had gone to sleep (a wake-up) or had been preempted.
struct ThreadRun {
  double seconds = 0;                             ///< CPU seconds it has run
  unsigned long long slices = 0;                  ///< times it was switched in (each wake-up and each return
                                                  ///< from preemption)
  std::optional<unsigned long long> wakeUps;      ///< times it went to sleep (voluntary context switches), each
                                                  ///< ended by a wake-up; none when its status is unreadable
  std::optional<unsigned long long> preemptions;  ///< times it was switched out while it could run on (involuntary)
};

/// A program's CPU use so far; each part none when unreadable.
struct CpuSample {
  std::optional<double> process;                  ///< CPU seconds of all its threads
  std::optional<double> cyclic;                   ///< CPU seconds of its cyclic task, when it has one
  std::optional<unsigned long long> slices;       ///< times any of its threads was switched in
  std::optional<unsigned long long> wakeUps;      ///< times any of its threads went to sleep
  std::optional<unsigned long long> preemptions;  ///< times any of its threads was preempted
};

/// The value of a "key:<tab>number" line of a thread's status; none when missing.
std::optional<unsigned long long> StatusNumber(const std::string& status, const char* key) {
  const std::string wanted = std::string("\n") + key + ":";
  const size_t at = status.find(wanted);
  if (at == std::string::npos) return std::nullopt;
  char* end = nullptr;
  const char* number = status.c_str() + at + wanted.size();
  const unsigned long long value = std::strtoull(number, &end, 10);
  if (end == number) return std::nullopt;
  return value;
}

/// A thread's run so far from its schedstat and status; none when unreadable.
std::optional<ThreadRun> ReadThreadRun(const std::filesystem::path& task) {
  // The thread may end between any two reads: each file is read whole or not at all.
  const std::optional<std::string> schedstat = ScmSim::ReadProcFile(task / "schedstat");
  if (!schedstat) return std::nullopt;
  std::istringstream in(*schedstat);
  unsigned long long nanoseconds = 0;
  unsigned long long waited = 0;
  ThreadRun run;
  if (!(in >> nanoseconds >> waited >> run.slices)) return std::nullopt;
  run.seconds = static_cast<double>(nanoseconds) / 1e9;
  const std::string status = "\n" + ScmSim::ReadProcFile(task / "status").value_or("");
  run.wakeUps = StatusNumber(status, "voluntary_ctxt_switches");
  run.preemptions = StatusNumber(status, "nonvoluntary_ctxt_switches");
  return run;
}

/// CPU seconds, slices, wake-ups and preemptions of a process (all its threads) and the CPU seconds of its
/// thread whose name ends in suffix.
CpuSample SampleProcessCpu(int pid, const char* suffix) {
  CpuSample sample;
  if (pid <= 0) return sample;
  const std::string_view wanted(suffix);
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    const std::optional<ThreadRun> run = ReadThreadRun(task.path());
    if (!run) continue;
    sample.process = sample.process.value_or(0) + run->seconds;
    sample.slices = sample.slices.value_or(0) + run->slices;
    if (run->wakeUps) sample.wakeUps = sample.wakeUps.value_or(0) + *run->wakeUps;
    if (run->preemptions) sample.preemptions = sample.preemptions.value_or(0) + *run->preemptions;
    const std::string comm = ScmSim::ReadProcFile(task.path() / "comm").value_or("");
    const std::string name = comm.substr(0, comm.find('\n'));
    if (name.size() >= wanted.size() && std::string_view(name).substr(name.size() - wanted.size()) == wanted) {
      sample.cyclic = run->seconds;
    }
  }
  return sample;
}

/// What ended a node's last operational time, in words with its cycle and frame; empty when nothing did.
std::string OperationalEndedText(const SimNodes::NodeRecord& r) {
  if (!r.operationalEndedAt) return "";
  char text[160];
  std::snprintf(text, sizeof text, "operational time ended in cycle %llu at frame %u to the node: %s",
                static_cast<unsigned long long>(r.operationalEndedAt->cycle), r.operationalEndedFrame,
                r.operationalEndedBy.c_str());
  return text;
}

/// The domain's storage files, which the firmware and the checker load at start-up.
std::string PrepareStorage(ScmSim::HostSim& host, const DomainPlan& plan) {
  for (const auto& [name, bytes] : plan.files) {
    if (!host.PutFile(name, bytes)) return "cannot write " + name + " into the storage directory";
  }
  if (!host.SetFlash(plan.flash)) return "cannot set the controller's flash area 16";
  if (plan.qorVariable4 && !host.SetQorVariable(4, plan.qorVariable4)) return "cannot set the controller's Qor variable 4";
  return "";
}

/// The state of one run while it goes on.
class Run {
 public:
  Run(const DemoOptions& options, const DomainPlan& plan, const std::atomic<bool>& stop, View& view,
      Summary& summary)
      : options_(options), plan_(plan), stop_(stop), view_(view), summary_(summary) {}

  int Execute() {
    FillRequested();
    std::string pattern = ScmSim::RunDirectoryParent() + "/" + ScmSim::kRunDirectoryPrefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      return End(ExitStatus::SetupFailed, "setup-failed", "no run directory in " + ScmSim::RunDirectoryParent());
    }
    directory_ = pattern;
    // a later start removes this directory when the run dies without its clean-up
    if (!MarkRunDirectory(directory_)) return End(ExitStatus::SetupFailed, "setup-failed", "cannot write into " + directory_);
    ScmSim::HostConfig config;
    config.sdn = plan_.sdn;
    if (plan_.qorUdid) config.qorUdid = *plan_.qorUdid;
    config.socketPath = directory_ + "/" + ScmSim::kRunSocketName;
    config.storageDir = directory_ + "/storage";
    config.simNamespace = RunNamespace(::getpid());
    summary_.hostSocket = config.socketPath;
    summary_.simNamespace = config.simNamespace;
    // said before anything starts, so scmhostctl can attach from the first moment
    std::printf("scmdemo: host socket %s, object namespace %s (scmhostctl finds it alone when it is the only run)\n",
                config.socketPath.c_str(), config.simNamespace.c_str());
    std::fflush(stdout);
    if (!options_.operatorFile.empty()) {
      std::string error;
      script_ = ReadOperatorScript(options_.operatorFile, error);
      if (!error.empty()) return End(ExitStatus::BadOptions, "bad-options", error);
    }
    for (const std::string& line : options_.operatorSteps) {
      std::string error;
      const std::optional<OperatorStep> step = ParseOperatorStep(line, error);
      if (!step) return End(ExitStatus::BadOptions, "bad-options", "--scenario " + options_.scenario + ": " + error);
      script_.push_back(*step);
    }
    config.callLogLimit = kCallLogRecords;
    config.commitDamagedWrites = options_.commitDamagedWrites;
    host_ = std::make_unique<ScmSim::HostSim>(config);
    start_ = Clock::now();
    try {
      host_->Start();
    } catch (const std::exception& e) {
      return End(ExitStatus::SetupFailed, "setup-failed", std::string("the host simulator did not start: ") + e.what());
    }
    if (options_.qorFirstWriteFails) {
      ScmSim::QorReplyScript failing;
      failing.kind = ScmSim::QorReplyScript::Kind::Raw;
      failing.bytes = {0x00, 0x00, 0x00};
      host_->ScriptQorReply(failing);
    }
    const std::string storage = PrepareStorage(*host_, plan_);
    if (!storage.empty()) return End(ExitStatus::SetupFailed, "setup-failed", storage);
    if (!options_.traceFile.empty()) {
      trace_.open(options_.traceFile, std::ios::trunc);
      if (!trace_) return End(ExitStatus::SetupFailed, "setup-failed", "cannot write the trace " + options_.traceFile);
    }
    if (!options_.pcapFile.empty()) {
      const std::string failed = pcap_.Open(options_.pcapFile);
      if (!failed.empty()) return End(ExitStatus::SetupFailed, "setup-failed", failed);
    }
    const std::string network = StartNetwork();
    if (!network.empty()) return End(ExitStatus::SetupFailed, "setup-failed", network);
    operator_ = std::make_unique<ScmSim::HostOperator>(*host_);
    checker_ = StartProgram(options_.checkerPath);
    if (checker_ <= 0) return End(ExitStatus::SetupFailed, "setup-failed", "cannot start " + options_.checkerPath);
    firmware_ = StartProgram(options_.firmwarePath);
    if (firmware_ <= 0) return End(ExitStatus::SetupFailed, "setup-failed", "cannot start " + options_.firmwarePath);
    operator_->WatchProgram(checker_, CheckerName());
    operator_->WatchProgram(firmware_, FirmwareName());
    // scmhostctl's remote commands reach the run's operator, the one reader of "status"
    host_->OnRemoteCommand([this](const std::vector<std::string>& argv) { return mailbox_.Ask(argv); });
    return Loop();
  }

 private:
  int Loop() {
    for (;;) {
      const Clock::time_point now = Clock::now();
      if (stop_) return End(ExitStatus::Interrupted, "interrupted", "stopped by signal");
      const ScmSim::FailSafeState& failSafe = operator_->CheckFailSafe();
      ReadNetwork();
      CountCycles();
      UpdateHandshake(now);
      if (!download_) FollowResets();
      OperatorTurn(now);
      view_.Show(MakeSnapshot(now));
      if (!operatorFailure_.empty()) return End(ExitStatus::OperatorFailed, "operator-failed", operatorFailure_);
      // the first signal is the cause; what follows from it (a checker that ends
      // because its queues are gone) does not change the status
      if (failSafe.Any()) {
        const ScmSim::FailSafeCause cause = failSafe.First().cause;
        if (cause == ScmSim::FailSafeCause::ProgramExited) {
          return End(ExitStatus::ProgramExited, "program-exited", SignalText(cause));
        }
        return End(ExitStatus::FailSafe, "fail-safe", SignalText(cause));
      }
      const std::string notOperational = NotOperational();
      if (!goal_ && handshake_ && notOperational.empty() && step_ >= script_.size()) {
        goal_ = now;
        summary_.goalSeconds = Since(start_, now);
        summary_.firmwareCyclesAtGoal = summary_.firmwareCycles;
        SampleCpu(true);
      }
      if (download_) {
        const std::optional<int> ended = StepDownload(now, notOperational);
        if (ended) return *ended;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
        continue;
      }
      if (goal_ && !notOperational.empty() && !options_.countLostNodes) {
        return End(ExitStatus::NodeLost, "node-lost", "an operational node left operational: " + notOperational);
      }
      if (goal_) {
        CountLostNodes();
      }
      if (goal_ && Since(*goal_, now) >= options_.durationSeconds) {
        if (notOperational.empty()) {
          if (plan_.download) {
            StartDownload(now);
            continue;
          }
          return End(ExitStatus::Success, "success", "every node operational and guarded, no fail-safe");
        }
        // counted nodes that are out at the end get the time limit to come back
        if (Since(*goal_, now) >= options_.durationSeconds + options_.timeLimitSeconds) {
          return End(ExitStatus::NodeLost, "node-lost", "a node taken out did not come back: " + notOperational);
        }
      }
      if (!goal_ && Since(start_, now) >= options_.timeLimitSeconds) {
        return End(ExitStatus::TimeLimit, "time-limit",
                   !handshake_                  ? "the handshake did not complete in time"
                   : !notOperational.empty()    ? "not operational in time: " + notOperational
                                                : "the operator's script did not end in time at: " +
                                                   script_[step_].text);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
    }
  }

  /// Steps of the download after the goal.
  enum class DownloadPhase {
    Answer,        ///< waiting for the answer to the last request
    Reset,         ///< waiting for the firmware's domain reset
    SecondGoal,    ///< waiting for the handshake and every node operational again
  };

  /// Puts the new file locked beside its companion and sends the first unlock request.
  void StartDownload(Clock::time_point now) {
    DownloadSummary d;
    d.description = options_.download;
    d.word = options_.unlockWord;
    d.fault = options_.downloadFault;
    d.commitDamagedWrites = options_.commitDamagedWrites;
    summary_.download = d;
    download_ = DownloadPhase::Answer;
    const auto firmware = host_->Programs().Info(firmware_);
    firmwarePidBeforeReset_ = firmware ? firmware->pid : 0;
    if (!operator_->Download(kDownloadName, *plan_.download, options_.unlockWord)) {
      downloadProblem_ = "the host refused the download";
      return;
    }
    ExpectNewParameterSets();
    if (options_.downloadFault == "short") {
      host_->InjectShortTransfer(0x88, 1, kShortWriteBytes);
    } else if (options_.downloadFault == "refuse") {
      host_->InjectFault(0x88, 1);
    }
    SendUnlockRequest(now);
  }

  /// The devices follow the new configuration: a node whose parameter set it changes takes the
  /// new set as its described one (it holds the old one until the restarted firmware downloads it).
  void ExpectNewParameterSets() {
    for (const PlannedNode& next : plan_.downloadNodes) {
      for (const PlannedNode& now : plan_.nodes) {
        if (now.position != next.position) continue;
        const SimNodes::NodeConfig& a = now.device;
        const SimNodes::NodeConfig& b = next.device;
        if (a.parameterSet == b.parameterSet && a.checksum == b.checksum && a.timestamp == b.timestamp) continue;
        pump_->ChangeNetwork([&next](ScmSim::FrameNetwork& net) {
          if (SimNodes::SimNode* node = net.NodeAt(static_cast<u16>(next.position))) {
            node->ExpectParameterSet(next.device.parameterSet, next.device.checksum, next.device.timestamp);
          }
        });
        summary_.download->changedNodes.push_back(next.position);
      }
    }
  }

  void SendUnlockRequest(Clock::time_point now) {
    UnlockExchange r;
    r.identifier = static_cast<uint32_t>(summary_.download->requests.size() + 1);
    r.requestSeconds = Since(start_, now);
    if (!operator_->SendUnlockRequest(r.identifier, kDownloadName, options_.unlockWord)) {
      downloadProblem_ = "the unlock request could not be sent";
    }
    summary_.download->requests.push_back(r);
    download_ = DownloadPhase::Answer;
  }

  /// One look at the download step; the exit status once the run ends.
  std::optional<int> StepDownload(Clock::time_point now, const std::string& notOperational) {
    DownloadSummary& d = *summary_.download;
    auto fail = [this](const std::string& why) { return End(ExitStatus::DownloadFailed, "download-failed", why); };
    if (!downloadProblem_.empty()) return fail(downloadProblem_);
    const double sinceFirst = Since(start_, now) - d.requests.front().requestSeconds;
    const ScmSim::ResetState resets = host_->Resets();
    d.domainResets = resets.domainRequests;
    d.plcResets = resets.plcRequests;
    if (resets.plcRequests != 0) return fail("the controller was reset (the checker's deadline passed)");
    if (resets.domainRequests > 1) return fail("more than one domain reset");
    switch (*download_) {
      case DownloadPhase::Answer: {
        UnlockExchange& r = d.requests.back();
        if (std::optional<ScmSim::UnlockResponse> answer = operator_->ReadUnlockResponse()) {
          r.result = answer->result;
          r.answerSeconds = Since(start_, now);
          if (answer->identifier != r.identifier) return fail("the answer does not echo the request's identifier");
          const bool refusedFirst = options_.downloadFault != "none" && d.requests.size() == 1;
          if (answer->result != (refusedFirst ? -1 : 0)) {
            return fail("unexpected unlock result " + std::to_string(answer->result));
          }
          const ScmSim::Bytes locked = *ScmSim::LockForDownload(*plan_.download, options_.unlockWord);
          const ScmSim::Bytes companion(plan_.download->begin(), plan_.download->begin() + ScmSim::kLockedBytes);
          if (refusedFirst) {
            // file and companion stand as downloaded; a second request before the reset unlocks them
            if (host_->GetFile(kDownloadName) != locked ||
                host_->GetFile(ScmSim::CompanionName(kDownloadName)) != companion) {
              return fail("after the refused write, file and companion are not as downloaded");
            }
            SendUnlockRequest(now);
            return std::nullopt;
          }
          if (options_.downloadFault != "none" && !RefusedWriteReported()) {
            return fail("the refused write was not reported as 0x6200AF1D (level 2, reason 9)");
          }
          d.fileUnlocked = host_->GetFile(kDownloadName) == *plan_.download &&
                           host_->GetFile(ScmSim::CompanionName(kDownloadName)) == ScmSim::Bytes{};
          if (!d.fileUnlocked) return fail("the file is not unlocked or its companion not empty");
          download_ = DownloadPhase::Reset;
        } else if (Since(start_, now) - r.requestSeconds > kAnswerSeconds) {
          return fail("no answer to unlock request " + std::to_string(r.identifier));
        }
        return std::nullopt;
      }
      case DownloadPhase::Reset:
        if (resets.done >= 1) {
          const std::optional<double> at = FirmwareResetCall();
          d.resetByFirmware = at.has_value();
          if (!at) return fail("the domain reset was not asked for by scmfirmware");
          d.resetSeconds = *at - d.requests.front().requestSeconds;
          if (*d.resetSeconds < kResetDelaySeconds - 0.05 || *d.resetSeconds > kResetLateSeconds) {
            return fail("the reset came " + std::to_string(*d.resetSeconds) + " s after the request");
          }
          resetSeen_ = now;
          setOpAtReset_ = SetOperationalAnswers();
          downloadsAtReset_ = MatchingDownloads();
          download_ = DownloadPhase::SecondGoal;
          pumpReopened_ = pump_->Reopen();
        } else if (sinceFirst > kRestartSeconds) {
          return fail("no domain reset after the unlock");
        }
        return std::nullopt;
      case DownloadPhase::SecondGoal: {
        // the queues are re-created with the reset; the network follows them
        if (!pumpReopened_) pumpReopened_ = pump_->Reopen();
        const auto checker = host_->Programs().Info(checker_);
        const auto firmware = host_->Programs().Info(firmware_);
        const bool restarted = checker && firmware && checker->starts >= 2 && firmware->starts >= 2 &&
                               checker->running && firmware->running;
        const bool handshake = host_->Condition(1) && host_->Condition(2) && *host_->Condition(1) == *host_->Condition(2);
        if (restarted && handshake && notOperational.empty() && SetOperationalSinceReset() &&
            NewSetsDownloadedSinceReset()) {
          d.secondGoalSeconds = Since(start_, now);
          if (operator_->EventCounts().count(kUnlockDeadlinePassed) != 0) {
            return fail("the checker's unlock deadline passed");
          }
          return End(ExitStatus::Success, "success",
                     "every node operational, the download unlocked and every node operational again after the restart");
        }
        if (Since(resetSeen_, now) > kRestartSeconds) {
          return fail("not every node operational again after the restart");
        }
        return std::nullopt;
      }
    }
    return std::nullopt;
  }

  /// Exactly one unlock failure reached the host, at level 2 with reason 9 (the write).
  bool RefusedWriteReported() const {
    int failures = 0;
    bool reason9 = false;
    for (const ScmSim::OperatorEvent& e : operator_->Events()) {
      if (!e.record || e.record->code != kUnlockFailed) continue;
      ++failures;
      reason9 = e.record->level == 2 && e.record->information0 == 9;
    }
    return failures == 1 && reason9;
  }

  /// Downloads of the described set each node took so far, by position.
  std::map<unsigned, u32> MatchingDownloads() const {
    std::map<unsigned, u32> downloads;
    for (const NodeSummary& n : summary_.nodes) {
      downloads[n.position] = n.record ? n.record->downloadsMatching : 0;
    }
    return downloads;
  }

  /// Every node whose parameter set the new configuration changed took the new set from the restarted firmware.
  bool NewSetsDownloadedSinceReset() {
    const std::map<unsigned, u32> now = MatchingDownloads();
    for (unsigned position : summary_.download->changedNodes) {
      const auto before = downloadsAtReset_.find(position);
      const auto after = now.find(position);
      if (before == downloadsAtReset_.end() || after == now.end() || after->second <= before->second) return false;
    }
    return true;
  }

  /// Set-to-operational requests each node answered so far.
  std::vector<u32> SetOperationalAnswers() const {
    std::vector<u32> answers;
    for (const NodeSummary& n : summary_.nodes) {
      answers.push_back(n.record ? n.record->services[static_cast<size_t>(SimNodes::Service::SetOp)].answered : 0);
    }
    return answers;
  }

  /// Every node answered a set-to-operational request of the restarted firmware: only an answer
  /// given after the restart counts.
  bool SetOperationalSinceReset() const {
    const std::vector<u32> now = SetOperationalAnswers();
    for (size_t i = 0; i < now.size() && i < setOpAtReset_.size(); ++i) {
      if (now[i] <= setOpAtReset_[i]) return false;
    }
    return now.size() == setOpAtReset_.size();
  }

  /// When scmfirmware asked for the domain reset (0x8F), from the host's start; none when another process did.
  std::optional<double> FirmwareResetCall() const {
    for (const ScmSim::CallRecord& r : host_->CallLog()) {
      if (r.number != 0x8F) continue;
      if (r.pid != firmwarePidBeforeReset_) return std::nullopt;
      return Since(start_, r.at);
    }
    return std::nullopt;
  }

  /// Seconds between two reads of the record while a wait step waits.
  static constexpr double kWaitReadSeconds = 0.5;

  /// The node's mark in the classic record: "mismatch", "firmware", "missing", or empty.
  static std::string Mark(const TestFrames::StatusSpec& r, unsigned sadr) {
    for (size_t j = 0; j < r.sadrs.size(); ++j) {
      if (r.sadrs[j] != sadr) continue;
      const auto bit = [j](const std::array<u8, 16>& a) { return ((a[j / 8] >> (j % 8)) & 1u) != 0; };
      if (bit(r.mismatchBits)) return "mismatch";
      if (bit(r.firmwareBits)) return "firmware";
      if (bit(r.missingBits)) return "missing";
    }
    return "";
  }

  /// One turn of the operator: a waiting answer, a command of scmhostctl, the script's step or a periodic read.
  void OperatorTurn(Clock::time_point now) {
    if (pending_) {
      if (operator_->RemoteOpen()) {
        if (now - pending_->sent < ScmSim::HostOperator::kDefaultAnswerLimit) return;
        (void)operator_->AwaitRemote(std::chrono::milliseconds(0));  // closes it as timed out
      }
      const Pending p = *pending_;
      pending_.reset();
      if (p.script) ScriptAnswer(operator_->RemoteLog().back(), now);
      return;
    }
    if (std::optional<std::vector<std::string>> argv = mailbox_.Take()) {
      mailbox_.Answer(ScmSim::RunRemoteCommand(*operator_, *argv));
      return;
    }
    if (!handshake_) return;
    if (step_ < script_.size()) {
      ScriptTurn(now);
      return;
    }
    if (options_.statusPeriodSeconds > 0 && (!lastRead_ || Since(*lastRead_, now) >= options_.statusPeriodSeconds)) {
      Send(ScmSim::RemoteOrder{}, false, now);
    }
  }

  void Send(const ScmSim::RemoteOrder& order, bool script, Clock::time_point now) {
    if (order.kind == ScmSim::RemoteOrder::Kind::Status && order.code == 0) lastRead_ = now;
    if (operator_->SendRemote(order)) pending_ = Pending{script, now};
  }

  void NextStep() {
    ++step_;
    stepStart_.reset();
    unlockSent_.reset();
  }

  void FailStep(const std::string& why) {
    operatorFailure_ = "step " + std::to_string(step_ + 1) + " \"" + script_[step_].text + "\": " + why;
    summary_.operatorSide.failedStep = operatorFailure_;
  }

  void ScriptTurn(Clock::time_point now) {
    const OperatorStep& step = script_[step_];
    if (!stepStart_) stepStart_ = now;
    switch (step.kind) {
      case OperatorStep::Kind::Password:
        operator_->SetPassword(*step.order.password);
        NextStep();
        return;
      case OperatorStep::Kind::Pause:
        if (Since(*stepStart_, now) >= step.seconds) NextStep();
        return;
      case OperatorStep::Kind::Send:
        Send(step.order, true, now);
        if (!pending_) FailStep("the command could not be sent");
        return;
      case OperatorStep::Kind::Wait:
        if (step.condition == "reset") {
          if (ProgramsRestarted()) {
            NextStep();
          } else if (Since(*stepStart_, now) > step.seconds) {
            FailStep("the domain did not reset and both programs start again within " + std::to_string(step.seconds) +
                     " s");
          }
          return;
        }
        if (step.condition == "restarted") {
          if (RestartedSinceUnlock()) {
            NextStep();
          } else if (Since(*stepStart_, now) > step.seconds) {
            FailStep("the domain did not restart with every node operational again within " +
                     std::to_string(step.seconds) + " s");
          }
          return;
        }
        if (!lastRead_ || Since(*lastRead_, now) >= kWaitReadSeconds) Send(ScmSim::RemoteOrder{}, true, now);
        return;
      case OperatorStep::Kind::Download:
        ScriptDownload(step);
        return;
      case OperatorStep::Kind::Unlock:
        ScriptUnlock(step, now);
        return;
      case OperatorStep::Kind::Restart:
        MarkBeforeReset();
        host_->TriggerReset();
        NextStep();
        return;
      case OperatorStep::Kind::Fault:
      case OperatorStep::Kind::Cut:
        ScriptFault(step);
        return;
      case OperatorStep::Kind::Unchanged:
        ScriptUnchanged(step);
        return;
    }
  }

  /// A fault or cut step: armed for the running firmware's calls only, so that the checker's own
  /// storage calls pass; a cut is a reset, which "wait restarted" then waits for.
  void ScriptFault(const OperatorStep& step) {
    const auto firmware = host_->Programs().Info(firmware_);
    if (!firmware || firmware->pid <= 0) return FailStep("the firmware is not running");
    if (step.kind == OperatorStep::Kind::Cut) {
      MarkBeforeReset();
      host_->InjectCut(step.call, *step.limit, firmware->pid);
    } else if (step.limit) {
      host_->InjectShortTransfer(step.call, step.count, *step.limit, firmware->pid);
    } else {
      host_->InjectFault(step.call, step.count, firmware->pid);
    }
    NextStep();
  }

  /// An unchanged step: the storage's file (or, for "flash", flash area 16) byte-equal to what the run installed.
  void ScriptUnchanged(const OperatorStep& step) {
    if (step.file == "flash") {
      if (host_->Flash() != plan_.flash) return FailStep("flash area 16 differs from what the run installed");
      NextStep();
      return;
    }
    for (const auto& [name, bytes] : plan_.files) {
      if (strcasecmp(name.c_str(), step.file.c_str()) != 0) continue;
      if (host_->GetFile(name) != bytes) return FailStep("the file differs from the one the run installed");
      NextStep();
      return;
    }
    FailStep("the run put no file of that name on the storage");
  }

  /// The changes of the orders' progress (remote state, stored code, last completed code) the status
  /// records answered since the last call, each with the time its request went out; all are kept.
  std::vector<std::string> TakeProgress() {
    std::vector<std::string> fresh;
    for (const ScmSim::RemoteExchange& x : operator_->RemoteLog()) {
      if (x.seq <= progressSeen_ || (!x.answer && !x.timedOut)) continue;
      progressSeen_ = x.seq;
      const auto r = x.answer ? TestFrames::ReadStatus(*x.answer) : std::nullopt;
      if (!r) continue;
      const std::array<uint16_t, 3> now{r->remoteState, r->storedCode, r->lastCompleted};
      if (progressLast_ == now) continue;
      progressLast_ = now;
      char text[128];
      std::snprintf(text, sizeof text, "%.3f s: remote %s, stored 0x%04X, last completed 0x%04X", Since(start_, x.sentAt),
                    ScmSim::RemoteStateName(r->remoteState).c_str(), r->storedCode, r->lastCompleted);
      fresh.push_back(text);
      progress_.push_back(text);
    }
    return fresh;
  }

  /// What "wait restarted" compares with: the resets carried out and both programs' starts so far.
  void MarkBeforeReset() {
    resetsBefore_ = host_->Resets().done;
    const auto checker = host_->Programs().Info(checker_);
    const auto firmware = host_->Programs().Info(firmware_);
    startsBefore_ = {checker ? checker->starts : 0, firmware ? firmware->starts : 0};
  }

  /// A download step: the file's bytes (the given file, else the run's own file of that name)
  /// locked with the word beside its companion.
  void ScriptDownload(const OperatorStep& step) {
    std::optional<ScmSim::Bytes> plain;
    if (step.source.empty()) {
      for (const auto& [name, bytes] : plan_.files) {
        if (strcasecmp(name.c_str(), step.file.c_str()) == 0) plain = bytes;
      }
      if (!plain) return FailStep("the run put no file of that name on the storage");
    } else {
      std::ifstream in(step.source, std::ios::binary);
      if (!in) return FailStep("cannot read " + step.source);
      plain = ScmSim::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (plain->size() < ScmSim::kLockedBytes) return FailStep("a file under 4 bytes cannot be locked");
    if (!operator_->Download(step.file, *plain, step.word.value_or(options_.unlockWord))) {
      return FailStep("the host refused the download");
    }
    summary_.operatorSide.downloads.push_back(step.file);
    NextStep();
  }

  /// An unlock step: the request once, then its answer, which must echo the identifier with the expected result.
  void ScriptUnlock(const OperatorStep& step, Clock::time_point now) {
    if (!unlockSent_) {
      // answers no step waited for are not this step's
      while (operator_->ReadUnlockResponse()) {
      }
      MarkBeforeReset();
      if (!operator_->SendUnlockRequest(step.identifier, step.file, step.word.value_or(options_.unlockWord))) {
        return FailStep("the unlock request could not be sent");
      }
      unlockSent_ = now;
      return;
    }
    if (std::optional<ScmSim::UnlockResponse> answer = operator_->ReadUnlockResponse()) {
      summary_.operatorSide.unlocks.push_back(std::to_string(answer->identifier) + "," +
                                              std::to_string(answer->result));
      if (answer->identifier != step.identifier) return FailStep("the answer does not echo the identifier");
      if (answer->result != step.expectUnlock) {
        return FailStep("expected result " + std::to_string(step.expectUnlock) + ", got " +
                        std::to_string(answer->result));
      }
      NextStep();
    } else if (now - *unlockSent_ > ScmSim::HostOperator::kDefaultAnswerLimit) {
      FailStep("no answer within the limit");
    }
  }

  /// The pump follows the queues and semaphore a domain reset re-creates; the set-to-operational
  /// answers at each reset are kept so that only answers to the restarted firmware count.
  void FollowResets() {
    const uint32_t done = host_->Resets().done;
    if (done != resetsFollowed_) {
      resetsFollowed_ = done;
      setOpAtReset_ = SetOperationalAnswers();
      pumpFollows_ = pump_->Reopen();
    } else if (!pumpFollows_) {
      pumpFollows_ = pump_->Reopen();
    }
  }

  /// Since the last unlock step's request or restart step: the domain reset it armed was carried out, both programs
  /// started again, the handshake holds and every node answered the restarted firmware's
  /// set-to-operational and is operational.
  bool RestartedSinceUnlock() {
    return ProgramsRestarted() && SetOperationalSinceReset() && NotOperational().empty();
  }

  /// A reset since the mark was carried out and both programs run again past their handshake.
  bool ProgramsRestarted() {
    if (host_->Resets().done <= resetsBefore_ || !pumpFollows_) return false;
    const auto checker = host_->Programs().Info(checker_);
    const auto firmware = host_->Programs().Info(firmware_);
    const bool restarted = checker && firmware && checker->running && firmware->running &&
                           checker->starts > startsBefore_.first && firmware->starts > startsBefore_.second;
    const bool handshake = host_->Condition(1) && host_->Condition(2) && *host_->Condition(1) == *host_->Condition(2);
    return restarted && handshake;
  }

  void ScriptAnswer(const ScmSim::RemoteExchange& x, Clock::time_point now) {
    const OperatorStep& step = script_[step_];
    if (!x.answer) {
      FailStep("no answer within the limit");
      return;
    }
    if (step.kind == OperatorStep::Kind::Wait) {
      if (operator_->LastStatus() && ConditionHolds(step, *operator_->LastStatus())) {
        NextStep();
      } else if (Since(*stepStart_, now) > step.seconds) {
        FailStep("the condition did not hold within " + std::to_string(step.seconds) + " s; last: " + x.text);
      }
      return;
    }
    if (step.order.kind == ScmSim::RemoteOrder::Kind::ObjectRead) {
      const auto read = TestFrames::ReadObjectReadAnswer(*x.answer);
      if (!read || read->entries.size() != step.expectValues.size()) {
        FailStep("unexpected answer: " + x.text);
        return;
      }
      for (size_t i = 0; i < step.expectValues.size(); ++i) {
        const TestFrames::ObjectEntry& e = read->entries[i];
        if (step.expectValues[i] && (e.error != 0 || e.value != *step.expectValues[i])) {
          FailStep("unexpected value: " + x.text);
          return;
        }
      }
      NextStep();
      return;
    }
    if (x.Result() != step.expectResult) {
      FailStep("expected result " + std::to_string(*step.expectResult) + ": " + x.text);
      return;
    }
    NextStep();
  }

  std::string SignalText(ScmSim::FailSafeCause cause) const {
    for (const ScmSim::FailSafeSignal& s : operator_->FailSafe().signals) {
      if (s.cause == cause) return std::string(ScmSim::FailSafeCauseName(cause)) + ": " + s.detail;
    }
    return ScmSim::FailSafeCauseName(cause);
  }

  /// Builds the simulated network from the planned devices and starts its pump on the domain's queues.
  /// Starts one of the programs, under the emulator when one is named; its supervisor id or -1.
  int StartProgram(const std::string& path) {
    if (options_.emulator.empty()) return host_->Programs().Start(path, {});
    std::vector<std::string> args(options_.emulator.begin() + 1, options_.emulator.end());
    args.push_back(path);
    return host_->Programs().Start(options_.emulator.front(), args);
  }

  std::string StartNetwork() {
    std::vector<SimNodes::NodeConfig> devices;
    for (const PlannedNode& n : plan_.nodes) devices.push_back(n.device);
    network_ = std::make_unique<ScmSim::FrameNetwork>(std::move(devices), plan_.wire);
    if (trace_.is_open()) {
      // written by the pump's thread only, while it runs
      network_->SetTraceSink([this](const std::string& line) { trace_ << line << '\n'; });
    }
    if (pcap_.IsOpen()) {
      // the same frames as the trace, written by the pump's thread only, while it runs
      network_->SetLineSink([this](const ScmSim::TraceLine& line) {
        pcap_.Write(ScmSim::PcapFrame{line.timeUs, line.direction != "node>fw", line.bytes});
      });
    }
    const Clock::time_point start = start_;
    pump_ = std::make_unique<ScmSim::NetworkPump>(plan_.sdn, *network_, [start] {
      return static_cast<u64>(
          std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
    });
    if (!pump_->Open()) return "the network cannot open the domain's frame queues and cycle semaphore";
    pump_->Start(kPumpPeriodUs);
    summary_.nodesSimulated = true;
    return "";
  }

  /// Takes the Qor variables, the application files and flash area 16 the host holds into the summary.
  void ReadKept() {
    if (!host_) return;
    const auto hex = [](const std::vector<uint8_t>& bytes) {
      std::string text;
      char two[3];
      for (const uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        text += two;
      }
      return text;
    };
    KeptValues kept;
    for (unsigned id = 0; id < 8; ++id) {
      if (const auto value = host_->QorVariable(id)) kept.qorVariables.emplace_back(id, hex(*value));
    }
    for (const char* name : {"fwrevcnf.bin", "corvane.uid", "autocnf.bin", "pardata1.bin"}) {
      if (const auto content = host_->GetFile(name)) kept.files.emplace_back(name, hex(*content));
    }
    const auto flash = host_->Flash();
    kept.flash = flash ? hex(*flash) : "-";
    for (const ScmSim::Bytes& request : host_->QorRequests()) kept.qorRequests.push_back(hex(request));
    summary_.kept = kept;
  }

  /// Takes the nodes' records and the network's counts into the summary.
  void ReadNetwork() {
    if (!pump_) return;
    pump_->WithNetwork([this](const ScmSim::FrameNetwork& net) {
      for (size_t i = 0; i < net.Nodes().size() && i < summary_.nodes.size(); ++i) {
        summary_.nodes[i].record = net.Nodes()[i].Record();
      }
      summary_.network = net.Counts();
    });
    summary_.pump = pump_->Counts();
    summary_.framesFromFirmware = summary_.network.fromFirmware;
    for (size_t i = 0; i < summary_.nodes.size(); ++i) {
      NodeSummary& n = summary_.nodes[i];
      if (!n.record) continue;
      const SimNodes::NodeRecord& r = *n.record;
      n.reason = i < plan_.nodes.size() ? NotOperationalReason(plan_.nodes[i], r) : "";
      // the firmware's own events about the node, since it was last operational in the host's view
      std::vector<std::string>& said = firmwareSays_[n.sadr];
      if (SimNodes::HostSeesOperational(r)) said.clear();
      for (const std::string& text : said) n.reason += (n.reason.empty() ? "" : "; ") + text;
      n.state = SimNodes::StateName(r.state);
      n.lastService = r.lastRequest ? std::string(SimNodes::ServiceName(*r.lastRequest)) : "-";
      n.guardAnswers = r.guardAnswers;
      n.operationalEnded = OperationalEndedText(r);
      timeline_.State(i, summary_.checkerCycles,
                      SimNodes::HostSeesOperational(r)                   ? "operational"
                      : r.state == SimNodes::NodeState::Operational ? "lost"
                                                                         : std::string(SimNodes::StateName(r.state)));
      if (!n.cyclesToOperational && r.state == SimNodes::NodeState::Operational && r.operationalAt) {
        // the answer went out while the count stood at this cycle; the next cycle carries it to the firmware
        n.cyclesToOperational = r.operationalAt->cycle + 1;
        n.secondsToOperational = static_cast<double>(r.operationalAt->timeUs) / 1e6;
      }
    }
  }

  /// Counts each node leaving operational and coming back (--count-lost-nodes).
  void CountLostNodes() {
    if (out_.size() != summary_.nodes.size()) out_.assign(summary_.nodes.size(), false);
    for (std::size_t i = 0; i < summary_.nodes.size(); ++i) {
      const NodeSummary& n = summary_.nodes[i];
      const bool operational = n.record && SimNodes::HostSeesOperational(*n.record);
      if (!operational && !out_[i]) {
        out_[i] = true;
        ++summary_.nodeLeaves;
        if (summary_.nodeDrops.size() < kMostDropsNamed) {
          NodeDrop d;
          d.position = n.position;
          const bool ended = n.record && n.record->operationalEndedAt;
          d.leftCycle = ended ? n.record->operationalEndedAt->cycle : summary_.checkerCycles;
          d.why = ended ? n.record->operationalEndedBy : n.state;
          summary_.nodeDrops.push_back(d);
        }
      } else if (operational && out_[i]) {
        out_[i] = false;
        ++summary_.nodeReturns;
        for (auto d = summary_.nodeDrops.rbegin(); d != summary_.nodeDrops.rend(); ++d) {
          if (d->position != n.position) continue;
          if (!d->backCycle) d->backCycle = n.record->operationalAt ? n.record->operationalAt->cycle + 1 : summary_.checkerCycles;
          break;
        }
      }
    }
  }

  /// The nodes that are not operational ("node 2 (pre-operational: reason), ..."), empty when all are.
  std::string NotOperational() const {
    std::string text;
    for (const NodeSummary& n : summary_.nodes) {
      if (n.record && SimNodes::HostSeesOperational(*n.record)) continue;
      const std::string why =
          n.record && n.record->state == SimNodes::NodeState::Operational && !n.operationalEnded.empty()
              ? n.operationalEnded
              : n.state;
      text += (text.empty() ? "" : ", ") + std::string("node ") + std::to_string(n.position) + " (" + why +
              (n.reason.empty() || !n.operationalEnded.empty() ? "" : ": " + n.reason) + ")";
    }
    return text;
  }

  /// Both programs' CPU time, at the goal (atGoal) or at the end.
  void SampleCpu(bool atGoal) {
    const int ids[2] = {checker_, firmware_};
    for (int i = 0; i < 2; ++i) {
      const auto info = host_->Programs().Info(ids[i]);
      (atGoal ? cpuAtGoal_ : cpuAtEnd_)[i] = SampleProcessCpu(info && info->running ? info->pid : 0, kCyclicTaskSuffix);
    }
  }

  void CountCycles() {
    if (!checkerGives_) {
      checkerGives_ = std::make_unique<GiveCounter>(host_->FullName("~frame-send"));
      firmwareGives_ = std::make_unique<GiveCounter>(host_->FullName("~frame-receive"));
    }
    summary_.checkerCycles = checkerGives_->Read();
    summary_.firmwareCycles = firmwareGives_->Read();
  }

  void UpdateHandshake(Clock::time_point now) {
    const std::optional<uint32_t> c1 = host_->Condition(1);
    const std::optional<uint32_t> c2 = host_->Condition(2);
    if (!c1) {
      handshakeText_ = "waiting for the checker (condition 1)";
    } else if (!c2) {
      handshakeText_ = "waiting for the firmware (condition 2)";
    } else if (*c1 != *c2) {
      handshakeText_ = "refused: checker " + Hex32(*c1) + ", firmware " + Hex32(*c2);
    } else {
      handshakeText_ = "accepted (ident " + Hex32(*c1) + ")";
      if (!handshake_) {
        handshake_ = now;
        summary_.handshakeAccepted = true;
        summary_.identWord = *c1;
        summary_.handshakeSeconds = Since(start_, now);
      }
    }
  }

  Snapshot MakeSnapshot(Clock::time_point now) {
    Snapshot s;
    s.seconds = Since(start_, now);
    s.sdn = plan_.sdn;
    s.handshake = handshakeText_;
    const ScmSim::FailSafeState& f = operator_->FailSafe();
    s.failSafe = f.Any() ? std::string(ScmSim::FailSafeCauseName(f.First().cause)) + ": " + f.First().detail : "no";
    s.programs = ProgramFacts();
    s.nodesSimulated = summary_.nodesSimulated;
    const u64 cycle = summary_.checkerCycles;
    for (const NodeSummary& n : summary_.nodes) {
      NodeRow row;
      row.position = n.position;
      row.udid = n.udid;
      row.lastService = n.lastService;
      row.cycles = n.cyclesToOperational.value_or(cycle);
      row.reason = n.reason;
      row.operational = n.record && SimNodes::HostSeesOperational(*n.record);
      // one that calls itself operational after the firmware started it over is shown lost, as the timeline does
      row.state = n.record && n.record->state == SimNodes::NodeState::Operational && !row.operational ? "lost" : n.state;
      for (const std::string& f : n.faults) row.faults += (row.faults.empty() ? "" : " ") + f;
      s.nodes.push_back(row);
    }
    s.framesFromFirmware = summary_.framesFromFirmware;
    s.secondsLeft = goal_ ? options_.durationSeconds - Since(*goal_, now) : options_.timeLimitSeconds - s.seconds;
    if (*s.secondsLeft < 0) s.secondsLeft = 0.0;
    s.hostSocket = summary_.hostSocket;
    s.simNamespace = summary_.simNamespace;
    if (const auto& r = operator_->LastStatus()) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "remote %s, stored 0x%04X, last completed 0x%04X, missing %u, mismatches %u, firmware %u, "
                    "fail-safe byte %s",
                    ScmSim::RemoteStateName(r->remoteState).c_str(), r->storedCode, r->lastCompleted, r->missing,
                    r->mismatches, r->firmwareDifferences, ScmSim::FailSafeByteName(r->moduleStateLow).c_str());
      s.remoteRecord = text;
      for (const NodeRow& row : s.nodes) s.marks.push_back(Mark(*r, row.position));
    }
    for (const ScmSim::RemoteExchange& x : operator_->RemoteLog()) {
      if (x.seq <= commandsShown_) continue;
      s.newCommands.push_back(x.text);
      commandsShown_ = x.seq;
    }
    s.newProgress = TakeProgress();
    s.eventTotal = operator_->EventTotal();
    if (f.Any() && !timeline_.failSafeCycle) {
      timeline_.failSafeCycle = summary_.checkerCycles;
      timeline_.failSafeText = s.failSafe;
    }
    for (const ScmSim::OperatorEvent& e : operator_->NewEvents()) {
      if (e.record) timeline_.events.emplace_back(summary_.checkerCycles, ScmSim::DescribeEvent(*e.record));
      if (const std::optional<NodeEvent> about = e.record ? NodeEventOf(*e.record) : std::nullopt) {
        std::vector<std::string>& said = firmwareSays_[about->sadr];
        if (std::find(said.begin(), said.end(), about->text) == said.end()) said.push_back(about->text);
      }
      char at[32];
      std::snprintf(at, sizeof at, "%.3f s ", Since(start_, e.at));
      s.newEvents.push_back(at + (e.record ? ScmSim::DescribeEvent(*e.record)
                                           : "malformed record of " + std::to_string(e.bytes.size()) +
                                                 " bytes: " + HexBytes(e.bytes)));
    }
    return s;
  }

  /// The names of the two programs the run starts: the older release's for its domain.
  const char* CheckerName() const { return plan_.legacy ? "scmchecker-legacy" : "scmchecker"; }
  const char* FirmwareName() const { return plan_.legacy ? "scmfirmware-legacy" : "scmfirmware"; }

  /// Both programs as the supervisor knows them now, with their cycles.
  std::vector<ProgramSummary> ProgramFacts() const {
    std::vector<ProgramSummary> facts;
    const std::pair<const char*, int> programs[] = {{CheckerName(), checker_}, {FirmwareName(), firmware_}};
    for (const auto& [name, id] : programs) {
      const auto info = host_->Programs().Info(id);
      ProgramSummary p;
      p.name = name;
      p.pid = info ? info->pid : 0;
      p.starts = info ? info->starts : 0;
      p.state = info ? (info->running ? "running" : ScmSim::ProgramEndText(*info)) : "not started";
      p.cycles = id == checker_ ? summary_.checkerCycles : summary_.firmwareCycles;
      const size_t k = id == checker_ ? 0 : 1;
      p.cpuSecondsAtGoal = cpuAtGoal_[k].process;
      p.cyclicCpuSecondsAtGoal = cpuAtGoal_[k].cyclic;
      p.cpuSlicesAtGoal = cpuAtGoal_[k].slices;
      p.cpuSecondsAtEnd = cpuAtEnd_[k].process;
      p.cyclicCpuSecondsAtEnd = cpuAtEnd_[k].cyclic;
      p.cpuSlicesAtEnd = cpuAtEnd_[k].slices;
      p.wakeUpsAtGoal = cpuAtGoal_[k].wakeUps;
      p.wakeUpsAtEnd = cpuAtEnd_[k].wakeUps;
      p.preemptionsAtGoal = cpuAtGoal_[k].preemptions;
      p.preemptionsAtEnd = cpuAtEnd_[k].preemptions;
      facts.push_back(p);
    }
    return facts;
  }

  void FillRequested() {
    summary_.sdn = plan_.sdn;
    summary_.domainSource = plan_.source;
    for (const PlannedNode& n : plan_.nodes) {
      NodeSummary node;
      node.position = n.position;
      node.sadr = n.sadr;
      node.udid = n.udid;
      node.state = kNotStarted;
      node.lastService = "-";
      node.faults = n.faults;
      summary_.nodes.push_back(node);
      timeline_.rows.push_back({"SADR " + std::to_string(n.sadr), {}});
    }
    summary_.nodesRequested = options_.nodes;
    summary_.description = options_.description;
    for (const FaultOption& f : options_.faults) summary_.faults.push_back(std::to_string(f.sadr) + ":" + f.fault);
    summary_.wireFaults = options_.wireFaults;
    summary_.seed = options_.seed;
    summary_.durationSeconds = options_.durationSeconds;
    summary_.timeLimitSeconds = options_.timeLimitSeconds;
    summary_.cycleCounting = kCycleCounting;
  }

  /// Writes the SVG timeline beside the summary (the network's pump has stopped); empty or the failure.
  std::string WriteTimeline() {
    timeline_.lastCycle = std::max(timeline_.lastCycle, summary_.checkerCycles);
    if (network_) {
      for (const ScmSim::TraceLine& l : network_->Trace()) {
        ++timeline_.framesPerCycle[l.cycle];
        timeline_.lastCycle = std::max(timeline_.lastCycle, l.cycle);
      }
    }
    const std::string path = TimelinePath(options_.summaryFile);
    std::ofstream out(path, std::ios::trunc);
    out << TimelineSvg(timeline_);
    if (!out.flush()) return "cannot write the timeline " + path + ": " + std::strerror(errno);
    summary_.timelineFile = path;
    return "";
  }

  /// Takes the last messages, fills the summary, stops everything and removes the run's objects.
  int End(int status, const char* outcome, const std::string& reason) {
    mailbox_.Close();
    if (host_) host_->OnRemoteCommand({});
    summary_.exitStatus = status;
    summary_.outcome = outcome;
    summary_.reason = reason;
    if (host_ && operator_) {
      // a signal that came with the last look still spoils a success
      const ScmSim::FailSafeState& late = operator_->CheckFailSafe();
      if (status == ExitStatus::Success && late.Any()) {
        const bool exited = late.First().cause == ScmSim::FailSafeCause::ProgramExited;
        status = exited ? ExitStatus::ProgramExited : ExitStatus::FailSafe;
        summary_.exitStatus = status;
        summary_.outcome = exited ? "program-exited" : "fail-safe";
        summary_.reason = SignalText(late.First().cause);
      }
      CountCycles();
      const Clock::time_point now = Clock::now();
      ReadNetwork();
      ReadKept();
      // With --count-lost-nodes the verdict is the look that found every node back
      // at the end of the duration; a node the wire faults take out a moment later
      // belongs to no run. Without it every node must still be operational now.
      if (status == ExitStatus::Success && !options_.countLostNodes) {
        const std::string lost = NotOperational();
        if (!lost.empty()) {
          status = ExitStatus::NodeLost;
          summary_.exitStatus = status;
          summary_.outcome = "node-lost";
          summary_.reason = "an operational node left operational: " + lost;
        }
      }
      SampleCpu(false);
      view_.Show(MakeSnapshot(now));
      view_.Finish();
      summary_.wallSeconds = Since(start_, now);
      summary_.programs = ProgramFacts();
      // every end stops the programs still running, below
      for (ProgramSummary& p : summary_.programs) {
        if (p.state == "running") p.state = kStoppedByRun;
      }
      for (const ScmSim::FailSafeSignal& sig : operator_->FailSafe().signals) {
        summary_.failSafe.push_back({ScmSim::FailSafeCauseName(sig.cause), sig.detail, Since(start_, sig.at)});
      }
      summary_.eventTotal = operator_->EventTotal();
      summary_.malformedEvents = operator_->MalformedEvents();
      for (const auto& [code, count] : operator_->EventCounts()) {
        summary_.events.push_back({code, ScmSim::EventCodeName(code), count});
      }
      summary_.statusResponses = operator_->Responses().size();
      OperatorSummary& op = summary_.operatorSide;
      for (const ScmSim::OperatorEvent& e : operator_->Events()) {
        if (e.record && e.record->code == kRemoteEventCode) {
          char text[32];
          std::snprintf(text, sizeof text, "%u,0x%04X", static_cast<unsigned>(e.record->information0),
                        static_cast<unsigned>(e.record->information1));
          op.remoteEvents.push_back(text);
        }
      }
      for (const ScmSim::RemoteExchange& x : operator_->RemoteLog()) {
        if (x.answer && TestFrames::ReadStatus(*x.answer)) {
          ++op.classicRecords;
          if (x.answer->at(TestFrames::ResponseOffsets::FailSafeByte) == 0x55) ++op.classicRecordsSound;
        }
        op.commands.push_back(x.text);
        if (x.order.kind == ScmSim::RemoteOrder::Kind::ObjectRead) op.objectReads.push_back(x.text);
      }
      op.strayAnswers = operator_->StrayAnswers();
      (void)TakeProgress();
      op.orderProgress = progress_;
      if (const auto& r = operator_->LastStatus()) {
        op.lastStatus = ScmSim::DescribeAnswer(TestFrames::kStatusRequest, 0, TestFrames::BuildStatus(*r));
      }
      if (const auto& n = operator_->LastNewStatus()) {
        op.lastNewStatus = ScmSim::DescribeAnswer(TestFrames::kStatusRequest, 0x5000, TestFrames::BuildNewStatus(*n));
      }
      op.scriptSteps = static_cast<unsigned>(script_.size());
      op.stepsDone = static_cast<unsigned>(step_);
      summary_.unlockResponses = operator_->UnlockResponses().size();
    }
    // the pump goes before the queues it holds open; the trace is complete once it stopped
    if (pump_) pump_->Stop();
    pump_.reset();
    if (trace_.is_open()) {
      trace_.close();
      if (trace_.fail()) {
        // an asked-for output that is not complete fails the run
        status = ExitStatus::SetupFailed;
        summary_.exitStatus = status;
        summary_.outcome = "output-failed";
        summary_.reason = "cannot write the trace " + options_.traceFile + ": " + std::strerror(errno);
      }
    }
    if (!options_.summaryFile.empty() && host_) {
      const std::string failed = WriteTimeline();
      if (!failed.empty()) {
        status = ExitStatus::SetupFailed;
        summary_.exitStatus = status;
        summary_.outcome = "output-failed";
        summary_.reason = failed;
      }
    }
    if (pcap_.IsOpen()) {
      const std::string failed = pcap_.Close();
      if (!failed.empty()) {
        status = ExitStatus::SetupFailed;
        summary_.exitStatus = status;
        summary_.outcome = "output-failed";
        summary_.reason = failed;
      }
    }
    checkerGives_.reset();
    firmwareGives_.reset();
    operator_.reset();
    if (host_) {
      // The programs go first: a host that stops fails the condition waits still
      // blocked in it, and a checker woken that way would switch to fail-safe and
      // delete queues while it is being stopped.
      host_->Programs().StopAll();
      host_->Stop();  // deletes the queues, semaphores and socket
      // A program killed halfway through deleting a queue leaves its name; the
      // namespace is this run's alone, so whatever is left of it goes too.
      ScmSimRemoveNamespaceObjects();
    }
    host_.reset();
    if (!directory_.empty()) {
      std::error_code ec;
      if (options_.keepStorage) {
        // Kept on request, it is no dead run's leftover: without its owner file the
        // clean-up of the next runs leaves it alone.
        std::filesystem::remove(std::filesystem::path(directory_) / kOwnerFile, ec);
        summary_.runDirectory = directory_;
      } else {
        std::filesystem::remove_all(directory_, ec);
      }
    }
    return status;
  }

  const DemoOptions& options_;                      ///< what was asked
  const DomainPlan& plan_;                          ///< the domain run
  const std::atomic<bool>& stop_;                   ///< set by a signal
  View& view_;                                      ///< live view
  Summary& summary_;                                ///< filled as the run goes
  std::string directory_;                           ///< run directory (socket, storage)
  std::unique_ptr<ScmSim::HostSim> host_;           ///< the simulated host
  std::unique_ptr<ScmSim::HostOperator> operator_;  ///< its operator side
  RemoteMailbox mailbox_;                           ///< scmhostctl's remote commands for the operator
  std::vector<OperatorStep> script_;                ///< the scripted operator's steps
  size_t step_ = 0;                                 ///< the step under way (script_.size(): done)
  std::optional<Clock::time_point> stepStart_;      ///< when the step under way began
  std::optional<Clock::time_point> lastRead_;       ///< when the status record was last asked for
  /// A command sent by the run itself, waiting for its answer.
  struct Pending {
    bool script = false;                            ///< sent by the script (else a periodic read)
    Clock::time_point sent;                         ///< when
  };
  std::optional<Pending> pending_;                  ///< the run's open command
  std::string operatorFailure_;                     ///< the failed step and why; empty while none failed
  uint64_t commandsShown_ = 0;                      ///< running number of the last command handed to the view
  std::ofstream trace_;                             ///< frame trace, when asked for
  Timeline timeline_;                               ///< what the SVG timeline shows
  ScmSim::PcapWriter pcap_{options_.pcapPort};      ///< the frames as a capture, when asked for
  std::unique_ptr<ScmSim::FrameNetwork> network_;   ///< the simulated nodes on their network
  std::unique_ptr<ScmSim::NetworkPump> pump_;       ///< carries frames between the queues and the network
  /// CPU seconds (process, cyclic task) of checker [0] and firmware [1] at the goal and at the end.
  CpuSample cpuAtGoal_[2], cpuAtEnd_[2];
  int checker_ = 0;                                 ///< supervisor id of scmchecker
  int firmware_ = 0;                                ///< supervisor id of scmfirmware
  Clock::time_point start_ = Clock::now();          ///< when the host started
  std::optional<Clock::time_point> handshake_;      ///< when the ident words first matched
  std::optional<Clock::time_point> goal_;           ///< when the goal was reached
  std::vector<bool> out_;                           ///< per node: out of operational since the goal (--count-lost-nodes)
  std::map<uint16_t, std::vector<std::string>> firmwareSays_;  ///< per SADR: the firmware's events about it, in words
  std::unique_ptr<GiveCounter> checkerGives_;       ///< the checker's cycles
  std::unique_ptr<GiveCounter> firmwareGives_;      ///< the firmware's cycles
  std::optional<DownloadPhase> download_;           ///< the download step under way, none before it
  std::string downloadProblem_;                     ///< why the download step cannot go on
  Clock::time_point resetSeen_;                     ///< when the domain reset was seen carried out
  bool pumpReopened_ = false;                       ///< the network's pump opened the re-created queues
  std::vector<u32> setOpAtReset_;                   ///< set-to-operational answers per node when the reset was seen
  std::map<unsigned, u32> downloadsAtReset_;        ///< downloads of the described set per position at the reset
  int firmwarePidBeforeReset_ = 0;                  ///< scmfirmware's process that unlocked the file
  uint32_t resetsFollowed_ = 0;                     ///< domain resets the pump has followed (outside the download step)
  bool pumpFollows_ = true;                         ///< the pump opened the queues of the last reset
  std::optional<Clock::time_point> unlockSent_;     ///< when the unlock step under way sent its request
  uint64_t progressSeen_ = 0;                        ///< the last remote exchange TakeProgress looked at
  std::optional<std::array<uint16_t, 3>> progressLast_;  ///< remote state, stored and last completed code last seen
  std::vector<std::string> progress_;               ///< every change of the orders' progress, in order
  uint32_t resetsBefore_ = 0;                     ///< resets carried out at the last unlock request or restart step
  std::pair<uint32_t, uint32_t> startsBefore_;    ///< starts of checker and firmware then
  std::string handshakeText_ = "waiting for the checker (condition 1)";  ///< shown in the view
};

}  // namespace

int RunDomain(const DemoOptions& options, const DomainPlan& plan, const std::atomic<bool>& stop, View& view,
              Summary& summary) {
  Run run(options, plan, stop, view, summary);
  return run.Execute();
}

}  // namespace ScmDemo
