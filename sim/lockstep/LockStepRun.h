// The firmware as it starts (the target id, its object list over the domain's
// generated files through EPS_Init, the application's initialisation), cycled
// in-process against the simulated nodes built from the same description:
// each cycle is one cyclic pass (IRQ) and one background pass (the
// application's cycle); while the background task waits (the quit's tests),
// the cyclic passes go on. The host's microsecond counter is advanced per
// cycle, with no real time. Runs over the in-memory platform (scm_rtp_mem):
// the caller creates the domain's firmware-side queues, opens the channels and
// serves the counter; the run moves the frames between the queues and the
// nodes. Its cycle count is the reference of the benchmark's measured runs.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "DomainDescription.h"
#include "SimNode.h"

namespace SimLockStep {

/// Settings of a run.
struct LockStepSettings {
  u64 cycleUs = 10000;    ///< host microseconds per firmware cycle
  u64 startUs = 5000000;  ///< host counter at the first cycle
  u16 queueSdn = 0;       ///< domain of the firmware-side queues (0: the description's)
  /// Puts the installed application files (firmware's names) and the controller's copy of the
  /// key-medium identity (flash area 16; Qor variable 4 for the older release) on the host the
  /// caller serves, before the application starts; none: the caller serves no storage.
  std::function<void(const std::vector<std::pair<std::string, std::vector<u8>>>& files, const std::vector<u8>& flash)>
      installFiles;
  std::optional<SimNodes::Bytes> corvaneDat;  ///< loaded in place of the generated "corvane.dat" (a file the firmware wrote)
};

/// One run of the firmware against the nodes of a description.
class LockStepRun {
 public:
  /// setCounter puts the host's microsecond counter where the caller's host serves it.
  LockStepRun(SimDomain::Domain description, std::function<void(u64)> setCounter, LockStepSettings settings = {});
  ~LockStepRun();
  LockStepRun(const LockStepRun&) = delete;
  LockStepRun& operator=(const LockStepRun&) = delete;

  /// The description, changeable until Start.
  SimDomain::Domain& Description() { return description_; }
  /// Generates the files, starts the firmware as its start-up does and builds the nodes; empty on success.
  std::string Start();
  /// One firmware cycle: the cyclic pass, then one background pass (the application's cycle).
  void Cycle();
  /// The cyclic task's pass: the answers of the last cycle in, IRQ, the firmware's frames out to the nodes.
  void CyclicPass();
  /// Cycles until every node but the outsider is operational, at most limit; the cycles run (limit when not reached).
  u64 RunUntilOperational(u16 outsider, u64 limit);
  /// Whether the node and the configuration manager both hold it operational.
  bool IsOperational(const SimNodes::SimNode& node) const;
  /// The cycle that carried the last node's operational answer to the firmware (counted from 1); none
  /// while a node is not operational. The same count as the measured run's cycles to operational.
  std::optional<u64> CyclesToOperational() const;
  /// The cycle that carried this node's operational answer to the firmware; none before.
  std::optional<u64> CyclesToOperational(const SimNodes::SimNode& node) const;

  /// The node the network finds at this position, or null.
  SimNodes::SimNode* NodeAt(u16 position);
  /// The simulated nodes, in description order.
  std::vector<SimNodes::SimNode>& Nodes() { return nodes_; }
  /// Cycles run.
  u64 Cycles() const { return cycle_; }
  /// Cycles of one guard time.
  u64 GuardCycles() const { return guardCycles_; }
  /// Frames the firmware transmitted.
  u64 FramesSent() const { return framesSent_; }
  /// Frames for an address without a node.
  u64 Undeliverable() const { return undeliverable_; }
  /// Answers lost because the firmware's "frame-send" queue was full.
  u64 AnswersLost() const { return answersLost_; }
  /// The SCM UDID the firmware started with.
  const std::array<u8, 6>& ScmUdid() const { return scmUdid_; }
  /// The nodes' frames the next cycle puts on "frame-send" (plain).
  const std::vector<SimNodes::Bytes>& Pending() const { return pending_; }

 private:
  /// Puts plain bytes complemented on a firmware-side queue.
  bool Put(const char* suffix, const SimNodes::Bytes& plain) const;
  /// Waiting messages of a firmware-side queue, complemented back, consumed.
  std::vector<SimNodes::Bytes> Take(const char* suffix) const;

  SimDomain::Domain description_;          ///< the description the run starts from
  std::function<void(u64)> setCounter_;    ///< where the host counter goes
  LockStepSettings settings_;              ///< cycle length, start, queue domain
  u64 counter_ = 0;                        ///< host microsecond counter
  bool started_ = false;                   ///< EPS_Init ran on this run's files
  SimNodes::Bytes kel_, corvane_, parData_;  ///< the loaded files the object dictionary points into
  std::array<u8, 6> scmUdid_{};            ///< the SCM UDID the firmware starts with
  std::vector<SimNodes::SimNode> nodes_;   ///< the simulated nodes, in description order
  std::vector<SimNodes::Bytes> pending_;   ///< the nodes' frames for the next cycle
  u64 cycle_ = 0;                          ///< cycles run
  u64 framesSent_ = 0;                     ///< frames the firmware transmitted
  u64 undeliverable_ = 0;                  ///< frames for an address without a node
  u64 answersLost_ = 0;                    ///< answers the full "frame-send" queue refused
  u64 guardCycles_ = 0;                    ///< cycles of one guard time
};

}  // namespace SimLockStep
