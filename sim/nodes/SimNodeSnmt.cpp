// The node's SNMT slave: UDID request, SADR assignment and the extended
// services, with the node's SN state machine.
#include <algorithm>

#include "FrameBuilder.h"
#include "SimNode.h"

namespace SimNodes {

namespace {

/// SNMT ids.
constexpr u8 kUdidRequest = 0x28;      ///< UDID request
constexpr u8 kUdidResponse = 0x29;     ///< UDID response
constexpr u8 kAssignSadr = 0x2A;       ///< assign SADR
constexpr u8 kSadrAssigned = 0x2B;     ///< SADR assigned
constexpr u8 kService = 0x2C;          ///< extended service request
constexpr u8 kServiceResponse = 0x2D;  ///< extended service response
/// Service response codes.
constexpr u8 kPreOpAnswer = 0x01;      ///< SN status pre-operational
constexpr u8 kOpAnswer = 0x03;         ///< SN status operational
constexpr u8 kAddSadrAnswer = 0x05;    ///< additional SADR assigned
constexpr u8 kSnFailAnswer = 0x07;     ///< SN FAIL
constexpr u8 kBusyAnswer = 0x09;       ///< SN busy
constexpr u8 kScmUdidAnswer = 0x0F;    ///< SCM UDID assigned
constexpr u8 kExtCtAnswer = 0x11;      ///< extended CT initialised
/// SN FAIL the stack sends itself.
constexpr u8 kStackGroup = 4;          ///< error group of the stack
constexpr u8 kTimestampCode = 1;       ///< code: parameter timestamp differs
constexpr u8 kUnexpectedCode = 4;      ///< code: unexpected request
constexpr u8 kAdditionalGroup = 5;     ///< error group asking for an additional parameter set

/// Exact payload length of each extended service; 0 = not served.
u8 ServiceLength(u8 service) {
  switch (service) {
    case 0x00: return 1;
    case 0x02: return 5;
    case 0x08: return 1;
    case 0x0A: return 5;
    case 0x0C: return 3;
    case 0x0E: return 7;
    case 0x10: return 6;
    default: return 0;
  }
}

/// Little-endian u32 at p.
u32 GetU32(const u8* p) { return static_cast<u32>(p[0] | (p[1] << 8) | (p[2] << 16)) | (static_cast<u32>(p[3]) << 24); }

}  // namespace

std::optional<Bytes> SimNode::SnmtAnswer(const NodeRequest& req, u8 id, Bytes payload, u16 tadr, u16 sdn) {
  TestFrames::FrameSpec fields;
  fields.id = id;
  fields.adr = req.tadr;
  fields.sdn = sdn;
  fields.tadr = tadr;
  fields.payload = std::move(payload);
  return Send(TestFrames::BuildFrame(fields));
}

std::optional<Bytes> SimNode::ServiceAnswer(const NodeRequest& req, Bytes payload) {
  return SnmtAnswer(req, kServiceResponse, std::move(payload), record_.sadr, req.sdn);
}

std::optional<Bytes> SimNode::HandleSnmt(const NodeRequest& req, const Moment& now) {
  if (req.ct != 0 || req.tr != 0) {
    return std::nullopt;
  }
  if (req.id == kUdidRequest) {
    if (!req.payload.empty()) {
      return std::nullopt;
    }
    if (config_.faults.udidMismatch) {
      Applied(FaultNames::UdidMismatch);
    }
    return SnmtAnswer(req, kUdidResponse, Bytes(deviceUdid_.begin(), deviceUdid_.end()), req.adr, req.sdn);
  }
  if (req.id == kAssignSadr) {
    if (req.payload.size() != deviceUdid_.size()) {
      return std::nullopt;
    }
    if (!std::equal(deviceUdid_.begin(), deviceUdid_.end(), req.payload.begin())) {
      if (config_.faults.udidMismatch && std::equal(config_.udid.begin(), config_.udid.end(), req.payload.begin())) {
        Applied(FaultNames::UdidMismatch);
      }
      return std::nullopt;
    }
    if (record_.state != NodeState::Operational) {
      Enter(NodeState::WaitScmUdid, now);
      record_.sadr = req.adr;
      record_.sdn = req.sdn;
      record_.assignedAt = now;
    }
    return SnmtAnswer(req, kSadrAssigned, req.payload, record_.sadr, record_.sdn);
  }
  // Every other request must be addressed to the node's SADR in its domain.
  if (record_.sadr == 0 || record_.sadr != req.adr || record_.sdn != req.sdn) {
    return std::nullopt;
  }
  if (req.id != kService || req.payload.empty()) {
    return std::nullopt;
  }
  return HandleService(req, now);
}

std::optional<Bytes> SimNode::HandleService(const NodeRequest& req, const Moment& now) {
  const u8 service = req.payload[0];
  const u8 length = ServiceLength(service);
  if (length == 0 || req.payload.size() != length) {
    return std::nullopt;
  }
  const NodeState state = record_.state;
  const bool configured = state == NodeState::PreOperational || state == NodeState::Operational;
  switch (service) {
    case 0x00:  // SN set to pre-operational
      if (!configured) {
        return std::nullopt;
      }
      Enter(NodeState::PreOperational, now);
      return ServiceAnswer(req, Bytes{kPreOpAnswer});
    case 0x02:  // SN set to operational
      if (!configured) {
        return std::nullopt;
      }
      if (state == NodeState::Operational) {
        if (!HostSeesOperational(record_)) {
          // Started over by a restarted SCM while still operational: this answer begins the
          // operational time the host sees anew.
          ++record_.operationalCount;
          record_.operationalAt = now;
          lastGuardUs_ = now.timeUs;
        }
        return ServiceAnswer(req, Bytes{kOpAnswer});
      }
      return HandleSetOp(req, now);
    case 0x08:  // guard SN
      if (state != NodeState::Operational) {
        return ServiceAnswer(req, Bytes{kPreOpAnswer});
      }
      lastGuardUs_ = now.timeUs;
      ++record_.guardAnswers;
      return ServiceAnswer(req, Bytes{kOpAnswer});
    case 0x0A:  // assign additional SADR: taken as sent
      return ServiceAnswer(req, Bytes{kAddSadrAnswer, req.payload[1], req.payload[2], req.payload[3], req.payload[4]});
    case 0x0C:  // SN error acknowledge: never answered
      if (state == NodeState::PreOperational && record_.pendingSnFail &&
          (*record_.pendingSnFail)[0] == req.payload[1] && (*record_.pendingSnFail)[1] == req.payload[2]) {
        record_.pendingSnFail.reset();
        ++record_.acksAccepted;
      } else {
        ++record_.acksRefused;
      }
      return std::nullopt;
    case 0x0E: {  // assign SCM UDID
      if (state == NodeState::WaitScmUdid || state == NodeState::Operational) {
        std::copy(req.payload.begin() + 1, req.payload.end(), scmUdid_.begin());
        if (state == NodeState::WaitScmUdid) {
          Enter(NodeState::PreOperational, now);
        }
        return ServiceAnswer(req, Bytes{kScmUdidAnswer, scmUdid_[0], scmUdid_[1], scmUdid_[2], scmUdid_[3],
                                        scmUdid_[4], scmUdid_[5]});
      }
      // Already configured: the request comes out of turn and gets the error UDID.
      return ServiceAnswer(req, Bytes{kScmUdidAnswer, 0, 0, 0, 0, 0, 0});
    }
    case 0x10:  // initialise extended CT
      if (!configured) {
        // Out of turn: SN FAIL 4/4 and back to the start.
        ++record_.snFailsSent;
        record_.pendingSnFail = std::array<u8, 2>{kStackGroup, kUnexpectedCode};
        std::optional<Bytes> answer = ServiceAnswer(req, Bytes{kSnFailAnswer, kStackGroup, kUnexpectedCode});
        Enter(NodeState::Unassigned, now);
        return answer;
      }
      return ServiceAnswer(req, Bytes{kExtCtAnswer, req.payload[1], req.payload[2], req.payload[3], req.payload[4],
                                      req.payload[5]});
    default:
      return std::nullopt;
  }
}

u32 SimNode::BusyAnswersDue() const {
  return config_.faults.busyAnswers ? *config_.faults.busyAnswers : config_.busyAnswers;
}

std::optional<Bytes> SimNode::HandleSetOp(const NodeRequest& req, const Moment& now) {
  if (!attempt_) {
    attempt_ = true;
    busyLeft_ = BusyAnswersDue();
  }
  if (config_.faults.alwaysBusy || busyLeft_ > 0) {
    if (config_.faults.alwaysBusy) {
      Applied(FaultNames::AlwaysBusy);
    } else {
      --busyLeft_;
      if (config_.faults.busyAnswers) {
        Applied(FaultNames::Busy);
      }
    }
    ++record_.busyAnswers;
    return ServiceAnswer(req, Bytes{kBusyAnswer});
  }
  attempt_ = false;
  bool fail = true;
  u8 group = 0;
  u8 code = 0;
  if (GetU32(req.payload.data() + 1) != timestamp_) {
    if (config_.faults.wrongTimestamp || config_.faults.wrongChecksum) {
      Applied(config_.faults.wrongTimestamp ? FaultNames::WrongTimestamp : FaultNames::WrongChecksum);
    }
    group = kStackGroup;
    code = kTimestampCode;
  } else if (config_.faults.snFail && (config_.faults.snFail->always || !snFailDone_)) {
    snFailDone_ = true;
    Applied(config_.faults.snFail->always ? FaultNames::SnFailAlways : FaultNames::SnFail);
    group = config_.faults.snFail->group;
    code = config_.faults.snFail->code;
  } else if (config_.askAdditional && !additionalSatisfied_) {
    additionalAsked_ = true;
    group = kAdditionalGroup;
    code = config_.askAdditional->code;
  } else {
    fail = false;
  }
  if (fail) {
    ++record_.snFailsSent;
    record_.pendingSnFail = std::array<u8, 2>{group, code};
    return ServiceAnswer(req, Bytes{kSnFailAnswer, group, code});
  }
  record_.state = NodeState::Operational;
  lastGuardUs_ = now.timeUs;
  ++record_.operationalCount;
  record_.operationalAt = now;
  std::optional<Bytes> answer = ServiceAnswer(req, Bytes{kOpAnswer});
  if (config_.faults.silence == Silence::AfterOperational) {
    silencedAfterOp_ = true;
  }
  return answer;
}

}  // namespace SimNodes
