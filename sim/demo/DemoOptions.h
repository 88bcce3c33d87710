// What a person asks of one run of the simulated domain, and the exit
// statuses with which the run reports how it ended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PcapFile.h"

namespace ScmDemo {

/// Exit statuses of scmdemo.
namespace ExitStatus {
constexpr int Success = 0;        ///< the goal was reached and the domain never went fail-safe
constexpr int SetupFailed = 1;    ///< the host, the storage or a program could not be set up
constexpr int TimeLimit = 2;      ///< the time limit passed before the goal was reached
constexpr int FailSafe = 3;       ///< the domain went fail-safe (class-9 event or frame queue deleted)
constexpr int ProgramExited = 4;  ///< scmchecker or scmfirmware ended by itself
constexpr int BadOptions = 5;     ///< bad options or a bad domain description
constexpr int NodeLost = 6;       ///< an operational node left operational during --duration
constexpr int OperatorFailed = 7; ///< a step of the scripted operator failed
constexpr int DownloadFailed = 8; ///< the download step did not go as the operator expects
constexpr int ScenarioDiffers = 9; ///< --scenario: every node operational where the scenario expects one out
constexpr int Interrupted = 130;  ///< stopped by Ctrl-C, SIGTERM or SIGHUP
}  // namespace ExitStatus

/// Most nodes a domain of the current release holds.
inline constexpr unsigned kMaxNodes = 12;
/// Most nodes a domain of the older release holds (--legacy).
inline constexpr unsigned kMaxNodesOlder = 101;
/// Most nodes of a run, with or without --legacy.
constexpr unsigned MaxNodes(bool legacy) { return legacy ? kMaxNodesOlder : kMaxNodes; }

/// One fault given on the command line: "SADR:NAME" or "SADR:NAME=VALUE" (the domain checks the name).
struct FaultOption {
  uint16_t sadr = 0;  ///< the node it applies to
  std::string fault;  ///< the fault as the node library names it
};

/// The options of one run.
struct DemoOptions {
  unsigned nodes = 0;                      ///< uniform domain of this many nodes; 0 = the default domain
  std::string description;                 ///< domain description file; empty = none
  std::vector<FaultOption> faults;         ///< node faults, in the order given
  std::vector<std::string> wireFaults;     ///< wire faults NODE:to|from:K|rate=P:KIND, in the order given
  uint64_t seed = 1;                       ///< seed of the rated wire faults
  double durationSeconds = 0;              ///< run on this long once the goal is reached
  bool countLostNodes = false;             ///< a node leaving operational during --duration is counted, not the end;
                                           ///< at the end of --duration the run waits up to --time-limit for it to return
  double timeLimitSeconds = 60;            ///< the goal must be reached within this
  std::string traceFile;                   ///< frame trace; empty = none
  std::string pcapFile;                    ///< the frames as a pcap capture; empty = none
  uint16_t pcapPort = ScmSim::kDefaultPcapPort;  ///< the capture's UDP port of the firmware side (the nodes' is the next)
  bool keepStorage = false;                ///< keep the run's directory with the storage files
  std::string summaryFile = "scmdemo-summary.json";  ///< machine-readable summary
  std::string checkerPath;                 ///< scmchecker to start
  std::string firmwarePath;                ///< scmfirmware to start
  bool legacy = false;                     ///< the older release: its pair, its file layout, up to 101 nodes
  std::string legacyCheckerPath;           ///< scmchecker-legacy, started for an older domain unless --checker names one
  std::string legacyFirmwarePath;          ///< scmfirmware-legacy, started for an older domain unless --firmware names one
  bool checkerGiven = false;               ///< --checker was given
  bool firmwareGiven = false;              ///< --firmware was given
  bool cleanupOnly = false;                ///< only remove what dead runs left behind, then end
  std::vector<std::string> emulator;       ///< command (and its arguments) that runs both programs; empty = none
  std::string download;                    ///< description whose "kel_para.saf" is downloaded after the goal; empty = none
  std::string downloadFault = "none";      ///< the host's fault on the firmware's first write after the request: none, short, refuse
  bool commitDamagedWrites = true;         ///< the storage commits a damaged write at its close (else discards it)
  bool qorFirstWriteFails = false;         ///< the Qor controller answers the first variable write with a failing reply
  uint32_t unlockWord = 0x5A5AA5C3u;       ///< word the download is locked with
  std::string operatorFile;                ///< the scripted operator's steps; empty = none
  std::string scenario;                    ///< a scenario of the CI scenario file; empty = none
  std::vector<std::string> operatorSteps;  ///< the scenario's operator steps (in place of --operator)
  bool scenarioOperational = true;         ///< the scenario's expected outcome: every node operational
  double statusPeriodSeconds = 2;          ///< seconds between reads of the status record; 0 = none
};

/// Outcome of reading the command line.
struct ParseOutcome {
  bool run = false;      ///< go on and run
  int exitStatus = 0;    ///< otherwise: end with this status
  std::string message;   ///< what to print (help text, or the error naming the option)
};

/// Reads the command line into options, checking every value.
ParseOutcome ParseOptions(int argc, const char* const* argv, DemoOptions& options);

/// The older release's programs for a domain of the older release, where the command line
/// named no program of its own.
void UseLegacyPrograms(DemoOptions& options);

}  // namespace ScmDemo
