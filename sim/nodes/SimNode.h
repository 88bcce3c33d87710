// One simulated safety node: an SNMT slave and an SSDO server as a real node
// answers the configuration manager, with the node's parameter model and
// faults. Frames are in queue form (ONE then TWO), plain bytes.
//
// The node takes a frame, checks it completely (length, both CRCs, ids,
// payload copies, non-zero ADR/SDN/TADR; SSDO frames decoded with the SCM UDID
// it was given), and answers at once or not at all. Its timers (life guarding,
// reset guarding while unassigned) run from Tick.
#pragma once
#include <optional>

#include "NodeConfig.h"
#include "NodeRecord.h"

namespace SimNodes {

/// A decoded request as the node sees it.
struct NodeRequest {
  u8 id = 0;      ///< frame id
  u16 adr = 0;    ///< ADR
  u16 sdn = 0;    ///< SDN
  u16 ct = 0;     ///< CT (SSDO: the sequence number)
  u16 tadr = 0;   ///< TADR, the requester
  u8 tr = 0;      ///< TR
  Bytes payload;  ///< the payload
};

class SimNode {
 public:
  explicit SimNode(NodeConfig config);

  /// Hands one received frame to the node; the answer, if the node gives one.
  std::optional<Bytes> Receive(const Bytes& frame, const Moment& now);
  /// Runs the node's timers; a frame the node sends on its own, if any.
  std::optional<Bytes> Tick(const Moment& now);

  /// What the host can see of the node.
  const NodeRecord& Record() const { return record_; }
  /// The node as configured.
  const NodeConfig& Config() const { return config_; }
  /// A new configuration names another parameter set for the node: the set it takes as the
  /// described one from now on, with its checksum and timestamp. What the node holds now
  /// (0x1018/6 and 0x1018/7) stays until a download brings the new set.
  void ExpectParameterSet(const Bytes& parameterSet, const Bytes& checksum, u32 timestamp) {
    config_.parameterSet = parameterSet;
    config_.checksum = checksum;
    config_.timestamp = timestamp;
  }
  /// Current parameter checksum (0x1018/6).
  const Bytes& Checksum() const { return checksum_; }
  /// Current parameter timestamp (0x1018/7).
  u32 Timestamp() const { return timestamp_; }
  /// SCM UDID the node was given (all zero before the assignment).
  const Udid& ScmUdid() const { return scmUdid_; }

 private:
  /// A running SSDO transfer.
  struct Transfer {
    enum class Kind : u8 {
      None,     ///< no transfer
      Upload,   ///< segmented upload running
      Download  ///< segmented download running
    };
    Kind kind = Kind::None;  ///< what runs
    u16 index = 0;           ///< object index
    u8 sub = 0;              ///< sub-index
    Bytes data;              ///< upload: the value; download: the bytes taken so far
    u32 done = 0;            ///< upload: bytes sent so far
    u32 total = 0;           ///< announced size (download; 0 = unknown)
    bool preload = false;    ///< download with preload
    u16 lastCt = 0;          ///< preload: sequence number of the last segment taken
  };

  std::optional<Bytes> HandleSnmt(const NodeRequest& req, const Moment& now);
  std::optional<Bytes> HandleService(const NodeRequest& req, const Moment& now);
  std::optional<Bytes> HandleSetOp(const NodeRequest& req, const Moment& now);
  std::optional<Bytes> HandleSsdo(const NodeRequest& req);
  std::optional<Bytes> SsdoInitiate(const NodeRequest& req);
  std::optional<Bytes> SsdoUploadSegment(const NodeRequest& req);
  std::optional<Bytes> SsdoDownloadSegment(const NodeRequest& req);
  /// A request in a running transfer that is none of its segments: an abort or a new start.
  std::optional<Bytes> OutsideTransfer(const NodeRequest& req);

  /// An SNMT answer to req (ADR = its TADR, TADR = own SADR or its ADR).
  std::optional<Bytes> SnmtAnswer(const NodeRequest& req, u8 id, Bytes payload, u16 tadr, u16 sdn);
  /// An SNMT service answer (0x2D).
  std::optional<Bytes> ServiceAnswer(const NodeRequest& req, Bytes payload);
  /// An SSDO answer to req (0x39, 0x3B to a slim request), flipping the toggle.
  std::optional<Bytes> SsdoAnswer(const NodeRequest& req, Bytes payload, u16 ct, u8 tr);
  /// An SSDO abort answer with the request's index.
  std::optional<Bytes> SsdoAbort(const NodeRequest& req, u32 abortCode);
  /// Records the end of the node's operational time as the host sees it, when it has one.
  void EndOperational(const Moment& now, std::string by);
  /// Sends a built frame unless the node is silent; counts it.
  std::optional<Bytes> Send(Bytes frame);
  /// True while the node sends nothing.
  bool SilentNow() const;
  /// Counts one answer changed by a fault.
  void Applied(std::string_view fault);
  /// Moves to a state; leaving operational stops guarding, ends a set-to-operational attempt.
  void Enter(NodeState state, const Moment& now);
  /// Ends the running SSDO transfer (nothing taken is kept).
  void ResetTransfer();
  /// Largest LE of an SSDO answer.
  u8 AnswerLimit(bool slim) const;
  /// Largest LE of an SSDO request the node takes.
  u32 RequestLimit(bool slim) const;
  /// Reads an object for an upload; the abort code when it cannot be read.
  std::optional<u32> ReadObject(u16 index, u8 sub, Bytes& value);
  /// Checks a download target; the abort code when it cannot be written.
  std::optional<u32> CheckWrite(u16 index, u8 sub) const;
  /// A completed download of 0x101A/0: the parameter model.
  void TakeParameters(const Bytes& data);
  /// Busy answers due in a set-to-operational attempt.
  u32 BusyAnswersDue() const;
  /// The bytes complemented; a single 0xFF for an empty value, so that it differs.
  static Bytes Complemented(const Bytes& value);

  NodeConfig config_;       ///< the node as configured
  NodeRecord record_;       ///< what the host sees
  Udid deviceUdid_{};       ///< UDID the device carries
  Udid scmUdid_{};          ///< SCM UDID taken from the assignment
  Bytes checksum_;          ///< current 0x1018/6
  u32 timestamp_ = 0;       ///< current 0x1018/7
  bool attempt_ = false;    ///< a set-to-operational attempt is running (busy answers given)
  u32 busyLeft_ = 0;        ///< busy answers still due in the attempt
  bool snFailDone_ = false; ///< the once-only SN FAIL fault was sent
  bool additionalAsked_ = false;      ///< SN FAIL group 5 sent, waiting for the set
  bool additionalSatisfied_ = false;  ///< the additional set arrived
  bool silencedAfterOp_ = false;      ///< silent-after-op took effect
  u64 lastGuardUs_ = 0;     ///< time of the last guard start (operational)
  u64 lastGuardRequestUs_ = 0;  ///< time of the last guard request received, answered or not
  u64 nextResetGuardUs_ = 0;  ///< due time of the next reset-guarding frame
  u8 resetGuardsSent_ = 0;  ///< reset-guarding frames sent in this unassigned spell
  u8 toggle_ = 0;           ///< expected SSDO toggle bit (0 or 0x10)
  Transfer transfer_;       ///< running SSDO transfer
};

}  // namespace SimNodes
