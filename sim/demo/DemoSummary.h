// The summary of one run: printed for a person at the end and written as a
// JSON file for tests and the benchmark.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "NetworkPump.h"
#include "NodeRecord.h"

namespace ScmDemo {

/// Events of one code.
struct EventCount {
  uint32_t code = 0;   ///< event code
  std::string name;    ///< its name, empty when unknown
  uint32_t count = 0;  ///< how often it reached the host
};

/// One program of the domain at the end.
struct ProgramSummary {
  std::string name;     ///< "scmchecker" or "scmfirmware"
  int pid = 0;          ///< last process
  uint32_t starts = 0;  ///< times started (resets restart it)
  std::string state;    ///< "stopped by the run" (ran until the end), or how it ended ("running" only while the run goes on)
  uint64_t cycles = 0;  ///< cycles counted for it
  std::optional<double> cpuSecondsAtGoal;        ///< process CPU time (user + system) when the goal was reached
  std::optional<double> cpuSecondsAtEnd;         ///< process CPU time at the end of the run
  std::optional<double> cyclicCpuSecondsAtGoal;  ///< CPU time of its cyclic task alone at the goal, when it has one
  std::optional<double> cyclicCpuSecondsAtEnd;   ///< the same at the end
  std::optional<uint64_t> cpuSlicesAtGoal;       ///< times any of its threads was switched in, at the goal
  std::optional<uint64_t> cpuSlicesAtEnd;        ///< the same at the end
  std::optional<uint64_t> wakeUpsAtGoal;         ///< times any of its threads went to sleep (and was woken), at the goal
  std::optional<uint64_t> wakeUpsAtEnd;          ///< the same at the end
  std::optional<uint64_t> preemptionsAtGoal;     ///< times any of its threads was preempted, at the goal
  std::optional<uint64_t> preemptionsAtEnd;      ///< the same at the end
};

/// One fail-safe signal.
struct FailSafeEntry {
  std::string cause;   ///< "fatal event", "frame queue deleted", "program exited"
  std::string detail;  ///< the event, queue or program
  double seconds = 0;  ///< when it was first seen, since the run began
};

/// One simulated node at the end.
struct NodeSummary {
  unsigned position = 0;                       ///< SADR at which the network finds it
  uint16_t sadr = 0;                           ///< its node-list SADR
  std::string udid;                            ///< the UDID the device carries
  std::string state;                           ///< last state
  std::optional<uint64_t> cyclesToOperational; ///< cycles until its operational answer
  std::optional<double> secondsToOperational;  ///< wall time until then
  uint32_t guardAnswers = 0;                   ///< guard requests answered
  std::vector<std::string> faults;             ///< faults the device carries
  std::string lastService;                     ///< the last request it received, "-" for none
  std::string operationalEnded;                ///< what ended its last operational time, empty when nothing did
  std::string reason;                          ///< why it is not operational, in words; empty when it is
  std::optional<SimNodes::NodeRecord> record;  ///< the node's record at the end (none before the network ran)
};

/// What the firmware keeps outside itself, as the host holds it at the end.
struct KeptValues {
  std::vector<std::pair<unsigned, std::string>> qorVariables;  ///< each written Qor variable and its bytes in hex
  std::vector<std::pair<std::string, std::string>> files;      ///< each application file present and its bytes in hex
  std::string flash;                                           ///< flash area 16 in hex, "-" when absent
  std::vector<std::string> qorRequests;                        ///< every request on the Qor variable channel in hex, in order
};

/// One unlock request of the download step and its answer.
struct UnlockExchange {
  uint32_t identifier = 0;                ///< request identifier
  double requestSeconds = 0;              ///< when it was sent (from the host's start)
  std::optional<int32_t> result;          ///< the answer's result, none when none came
  std::optional<double> answerSeconds;    ///< when the answer was taken
};

/// The download step after the goal: the file, the requests, the reset and the second goal.
struct DownloadSummary {
  std::string description;                ///< the description whose "kel_para.saf" was downloaded
  uint32_t word = 0;                      ///< the unlock word
  std::string fault;                      ///< the host's fault on the first write (none, short, refuse)
  bool commitDamagedWrites = true;        ///< the storage behaviour after a damaged write
  std::vector<UnlockExchange> requests;   ///< requests in the order sent
  std::vector<unsigned> changedNodes;     ///< positions of the nodes whose parameter set the new file changes
  bool fileUnlocked = false;              ///< "kel_para.saf" equals the download and its companion is empty
  uint32_t domainResets = 0;              ///< domain reset requests (0x8F) seen
  uint32_t plcResets = 0;                 ///< controller reset requests (0x93) seen
  std::optional<double> resetSeconds;     ///< the firmware's reset call, after the first request
  bool resetByFirmware = false;           ///< the 0x8F call came from scmfirmware
  std::optional<double> secondGoalSeconds;  ///< every node operational again after the restart
};


/// What the operator did with remote control.
struct OperatorSummary {
  std::vector<std::string> commands;   ///< each command with its decoded answer, in order
  std::vector<std::string> objectReads;  ///< the object reads among them
  std::string lastStatus;              ///< the last classic record, decoded; empty when none came
  std::string lastNewStatus;           ///< the last new record, decoded; empty when none came
  uint32_t strayAnswers = 0;           ///< answers that matched no command
  unsigned classicRecords = 0;         ///< classic status records that came back
  unsigned classicRecordsSound = 0;    ///< those whose fail-safe byte read 0x55
  std::vector<std::string> remoteEvents;  ///< the firmware's remote-control events as "result,0xCODE"
  std::vector<std::string> orderProgress;  ///< each change of remote state, stored and last completed code the status records showed
  std::vector<std::string> downloads;  ///< the files the script downloaded, in order
  std::vector<std::string> unlocks;    ///< the script's unlock answers as "identifier,result"
  unsigned scriptSteps = 0;            ///< steps of the scripted operator
  unsigned stepsDone = 0;              ///< steps that passed
  std::string failedStep;              ///< the step that failed and why; empty when none
};

/// One time a node left operational after the goal, and its return (--count-lost-nodes).
struct NodeDrop {
  unsigned position = 0;              ///< the node
  uint64_t leftCycle = 0;             ///< the cycle that ended its operational time
  std::string why;                    ///< what ended it ("assign-sadr request", "guarding stopped", ...)
  std::optional<uint64_t> backCycle;  ///< the cycle that carried its operational answer again; none while out
};

/// Everything the run reports.
struct Summary {
  std::string outcome;                 ///< "success", "time-limit", "fail-safe", "program-exited", ...
  int exitStatus = 0;                  ///< the program's exit status
  std::string reason;                  ///< one sentence on why it ended
  unsigned sdn = 0;                    ///< safety domain number
  std::string domainSource;            ///< where the domain came from
  std::string descriptionWritten;      ///< the domain's description written beside the run, if any
  double wallSeconds = 0;              ///< from the host's start to the end
  bool handshakeAccepted = false;      ///< both programs accepted each other's ident word
  std::optional<uint32_t> identWord;   ///< the ident word exchanged
  std::optional<double> handshakeSeconds;  ///< when both conditions held it
  std::optional<double> goalSeconds;   ///< when the goal was reached
  uint64_t firmwareCycles = 0;         ///< cycles the firmware ran
  uint64_t checkerCycles = 0;          ///< cycles the checker ran
  std::string cycleCounting;           ///< how the cycles were counted
  std::vector<ProgramSummary> programs;    ///< checker and firmware
  std::vector<FailSafeEntry> failSafe;     ///< the signals seen
  uint64_t eventTotal = 0;             ///< events taken
  uint32_t malformedEvents = 0;        ///< events that were not 11 bytes
  std::vector<EventCount> events;      ///< per code, ascending
  std::optional<uint64_t> firmwareCyclesAtGoal;  ///< firmware cycles when the goal was reached
  uint64_t framesFromFirmware = 0;     ///< frames the firmware sent towards the network
  ScmSim::NetworkCounts network;       ///< frame counts of the simulated network
  ScmSim::PumpCounts pump;             ///< what the network's pump saw of the queues (late answers)
  uint64_t statusResponses = 0;        ///< status responses taken
  uint32_t nodeLeaves = 0;             ///< times a node left operational after the goal (--count-lost-nodes)
  uint32_t nodeReturns = 0;            ///< times such a node was operational again
  std::vector<NodeDrop> nodeDrops;     ///< each drop and return, the first 1000
  uint64_t unlockResponses = 0;        ///< unlock responses taken
  bool nodesSimulated = false;         ///< the run had simulated nodes
  std::vector<NodeSummary> nodes;      ///< per node
  unsigned nodesRequested = 0;         ///< --nodes (0: the default domain)
  std::string description;             ///< --description
  std::vector<std::string> faults;     ///< --fault, as given
  std::vector<std::string> wireFaults; ///< --wire-fault, as given
  uint64_t seed = 1;                   ///< --seed: with the same wire faults it repeats their frames
  double durationSeconds = 0;          ///< --duration
  double timeLimitSeconds = 0;         ///< --time-limit
  std::string runDirectory;            ///< kept run directory, empty when removed
  std::optional<DownloadSummary> download;  ///< the download step, when asked for
  std::string hostSocket;              ///< the host's control socket (scmhostctl --socket)
  std::string simNamespace;            ///< the object namespace of the run's queues and semaphores
  OperatorSummary operatorSide;        ///< remote control
  KeptValues kept;                     ///< Qor variables, application files and flash area 16 at the end
  std::string timelineFile;            ///< the SVG timeline written beside the summary, empty when none
  std::string scenario;                ///< --scenario, empty when none
  std::string scenarioVerdict;         ///< the expected and the actual outcome, in words
  bool scenarioAsExpected = false;     ///< the run ended as the scenario expects
};

/// The summary for a person, several lines.
std::string SummaryText(const Summary& summary);
/// The summary as a JSON document.
std::string SummaryJson(const Summary& summary);
/// Writes the JSON summary (replacing the file); empty or the failure.
std::string WriteSummary(const Summary& summary, const std::string& path);

}  // namespace ScmDemo
