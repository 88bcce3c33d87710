// The simulated safety network of one domain: it carries the frames the
// firmware transmits to the simulated node at each request's address and the
// nodes' answers back, with wire faults per node and direction, and writes a
// frame trace. It never returns the firmware's own frames to it.
//
// A cycle is one give of the firmware-side "frame-send" semaphore; the caller
// passes the count with every call. An answer is due in the cycle of its
// request unless a delay fault moves it d cycles later.
//
// Trace line (one per frame, fields separated by single spaces):
//   cycle=12 time_us=48211 dir=fw>node node=3 id=0x2C service=guard le=1 fault=- note=- bytes=03B0...
// dir is fw>node (a request carried to a node), node>fw (a node's frame put on
// host "frame-send") or fw>none (a frame carried nowhere; note tells why:
// no-node, not-request). fault is -, drop, duplicate, delay=D or corrupt.
// bytes are the frame as it crossed the host-side queue (as sent by a node for
// node>fw, after a corruption).
#pragma once
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "SimNode.h"

namespace ScmSim {

using FrameBytes = std::vector<u8>;  ///< one frame in queue form, plain

/// Direction of a frame on the wire, seen from the node.
enum class WireDirection : u8 {
  ToNode,   ///< firmware to node
  FromNode  ///< node to firmware
};

/// What a wire fault does to a frame.
enum class WireFaultKind : u8 {
  Drop,       ///< the frame never arrives
  Duplicate,  ///< the frame arrives twice
  Delay,      ///< the frame arrives delayCycles cycles later
  Corrupt     ///< one bit flipped, which the receiver's CRC check catches
};

/// One wire fault.
struct WireFault {
  WireFaultKind kind = WireFaultKind::Drop;  ///< what it does
  u32 delayCycles = 0;                       ///< cycles of a delay
};

/// A fault on the k-th frame (from 1) in one direction of one node.
struct ScheduledWireFault {
  u16 node = 0;                                     ///< the node's position
  WireDirection direction = WireDirection::ToNode;  ///< direction
  u32 frame = 1;                                    ///< which frame, counted from 1
  WireFault fault;                                  ///< what happens to it
};

/// A fault on each frame of one direction of one node with a given probability.
struct RatedWireFault {
  u16 node = 0;                                     ///< the node's position
  WireDirection direction = WireDirection::ToNode;  ///< direction
  double rate = 0.0;                                ///< probability per frame, 0..1
  WireFault fault;                                  ///< what happens to a hit frame
};

/// Every wire fault of a run; a seeded rate makes each run repeatable.
struct WireFaultPlan {
  std::vector<ScheduledWireFault> scheduled;  ///< explicit schedule
  std::vector<RatedWireFault> rated;          ///< seeded rates
  u64 seed = 1;                               ///< seed of the rate draws
};

/// Adds a wire fault written as NODE:to|from:K|rate=P:drop|duplicate|delay=D|corrupt
/// (e.g. "3:to:2:drop", "4:from:rate=0.05:corrupt"); empty on success, else a message.
std::string ParseWireFault(std::string_view text, WireFaultPlan& plan);

/// The service or command a frame carries, read from sub-frame ONE.
std::string DescribeFrame(const FrameBytes& frame);

/// One line of the frame trace.
struct TraceLine {
  u64 cycle = 0;          ///< cycle count when the frame crossed
  u64 timeUs = 0;         ///< host time in microseconds
  std::string direction;  ///< fw>node, node>fw or fw>none
  u16 node = 0;           ///< the node's position (the request's ADR for fw>none)
  u8 id = 0;              ///< frame id
  std::string service;    ///< decoded service or command
  u8 le = 0;              ///< payload length
  std::string fault;      ///< wire fault applied, "-" for none
  std::string note;       ///< why a frame went nowhere, "-" otherwise
  FrameBytes bytes;       ///< the frame as it crossed the host-side queue
};

/// The trace line as text.
std::string FormatTraceLine(const TraceLine& line);

/// Frame counts of the network.
struct NetworkCounts {
  u64 fromFirmware = 0;  ///< frames taken from host "frame-receive"
  u64 toNodes = 0;       ///< frames handed to nodes (duplicates included)
  u64 noNode = 0;        ///< requests for an address without a node
  u64 notRequest = 0;    ///< frames that are no request (responses, reset guarding, unknown ids)
  u64 toFirmware = 0;    ///< frames handed out for host "frame-send"
  u64 dropped = 0;       ///< frames dropped by a wire fault
  u64 duplicated = 0;    ///< frames duplicated by a wire fault
  u64 delayed = 0;       ///< frames delayed by a wire fault
  u64 corrupted = 0;     ///< frames corrupted by a wire fault
};

/// A frame due for host "frame-send".
struct DueFrame {
  u64 dueCycle = 0;  ///< cycle in which it was due
  FrameBytes frame;  ///< the frame
};

class FrameNetwork {
 public:
  explicit FrameNetwork(std::vector<SimNodes::NodeConfig> nodes, WireFaultPlan plan = {});

  /// A frame the firmware transmitted (taken from host "frame-receive").
  void FromFirmware(const FrameBytes& frame, u64 cycle, u64 timeUs);
  /// Runs delayed deliveries to nodes and the nodes' timers.
  void Tick(u64 cycle, u64 timeUs);
  /// Takes the frames due for host "frame-send" by this cycle, in order.
  std::vector<DueFrame> TakeDue(u64 cycle);

  /// The node at a position, or null.
  const SimNodes::SimNode* NodeAt(u16 position) const;
  /// The node at a position for a change of its configuration, or null.
  SimNodes::SimNode* NodeAt(u16 position);
  /// Every node, in description order.
  const std::vector<SimNodes::SimNode>& Nodes() const { return nodes_; }
  /// Frame counts.
  const NetworkCounts& Counts() const { return counts_; }
  /// The trace so far.
  const std::vector<TraceLine>& Trace() const { return trace_; }
  /// Also hands every trace line, formatted, to sink (a trace file).
  void SetTraceSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

 private:
  /// A frame on its way.
  struct InFlight {
    u64 dueCycle = 0;  ///< cycle from which it is delivered
    u64 seq = 0;       ///< order of creation
    std::size_t node = 0;  ///< index of the node (to-node frames)
    FrameBytes frame;  ///< the frame
  };

  /// The fault for the next frame of a node in a direction, if any.
  std::optional<WireFault> NextFault(u16 position, WireDirection direction);
  /// Hands a frame to node i and queues its answer.
  void Deliver(std::size_t i, const FrameBytes& frame, u64 cycle, u64 timeUs);
  /// Sends a node's frame towards the firmware through the wire faults.
  void FromNode(std::size_t i, FrameBytes frame, u64 cycle, u64 timeUs);
  /// Removes and returns the frames due by cycle, oldest first.
  static std::vector<InFlight> TakeUpTo(std::vector<InFlight>& frames, u64 cycle);
  /// Records a trace line.
  void Record(u64 cycle, u64 timeUs, std::string_view direction, u16 node, const FrameBytes& frame,
              std::string_view fault, std::string_view note);

  std::vector<SimNodes::SimNode> nodes_;                  ///< the nodes
  std::map<u16, std::size_t> byPosition_;                 ///< position -> node index
  WireFaultPlan plan_;                                    ///< wire faults
  std::mt19937_64 rng_;                                   ///< rate draws
  std::map<std::pair<u16, WireDirection>, u32> frameCounts_;  ///< frames per node and direction so far
  std::vector<InFlight> toNodes_;                         ///< delayed frames for nodes
  std::vector<InFlight> toFirmware_;                      ///< frames for host "frame-send"
  u64 seq_ = 0;                                           ///< next in-flight number
  NetworkCounts counts_;                                  ///< frame counts
  std::vector<TraceLine> trace_;                          ///< the trace
  std::function<void(const std::string&)> sink_;          ///< trace file, if any
};

}  // namespace ScmSim
