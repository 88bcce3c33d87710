// Frame intake, sending, silence and the timers of a simulated node.
#include "SimNode.h"

#include <algorithm>

#include "FrameBuilder.h"

namespace SimNodes {

namespace {

/// SSDO request ids the node serves.
constexpr u8 kSsdoRequest = 0x38;      ///< normal SSDO request
constexpr u8 kSlimSsdoRequest = 0x3A;  ///< slim SSDO request
/// Reset-guarding frame: id and the fixed address fields it carries.
constexpr u8 kResetGuarding = 0x2F;    ///< SNMT reset guarding of the SCM
constexpr u16 kResetGuardingAdr = 1;   ///< ADR, SDN and TADR of the reset-guarding frame

}  // namespace

Bytes SimNode::Complemented(const Bytes& value) {
  if (value.empty()) {
    return Bytes{0xFF};
  }
  Bytes out(value);
  for (u8& b : out) {
    b = static_cast<u8>(~b);
  }
  return out;
}

SimNode::SimNode(NodeConfig config) : config_(std::move(config)) {
  deviceUdid_ = DeviceUdid(config_);
  checksum_ = config_.initialChecksum.value_or(config_.checksum);
  timestamp_ = config_.initialTimestamp.value_or(config_.timestamp);
  if (config_.faults.wrongChecksum) {
    checksum_ = Complemented(checksum_);
  }
  if (config_.faults.wrongTimestamp) {
    timestamp_ = ~timestamp_;
  }
  nextResetGuardUs_ = config_.resetGuardIntervalUs;
}

std::optional<Bytes> SimNode::Receive(const Bytes& frame, const Moment& now) {
  ++record_.framesReceived;
  if (frame.size() <= TestFrames::Offsets::OneLe) {
    ++record_.framesDropped;
    return std::nullopt;
  }
  const u8 id = frame[TestFrames::Offsets::OneIdAdrHigh] >> 2;
  const bool ssdo = id == kSsdoRequest || id == kSlimSsdoRequest;
  const bool snmt = id == 0x28 || id == 0x2A || id == 0x2C || id == 0x2E;
  if (!ssdo && !snmt) {
    ++record_.framesDropped;
    return std::nullopt;
  }
  TestFrames::ParseOptions options;
  if (ssdo) {
    options.scmUdid = scmUdid_;
  }
  const TestFrames::ParsedFrame parsed = TestFrames::ParseFrame(frame, options);
  if (!parsed.ok || parsed.adr == 0 || parsed.sdn == 0 || parsed.tadr == 0) {
    ++record_.framesDropped;
    return std::nullopt;
  }
  const NodeRequest req{parsed.id, parsed.adr, parsed.sdn, parsed.ct, parsed.tadr, parsed.tr, parsed.payload};
  const Service service = ClassifyRequest(req.id, req.payload);
  ++record_.services[static_cast<std::size_t>(service)].received;
  record_.lastRequest = service;
  record_.lastRequestAt = now;
  if (service == Service::Guard) lastGuardRequestUs_ = now.timeUs;
  if (service == Service::UdidRequest || service == Service::AssignSadr || service == Service::AssignScmUdid) {
    // the firmware starts the node over: its operational time ends, whatever the node says
    EndOperational(now, std::string(ServiceName(service)) + " request");
  }
  if (SilentNow()) {
    Applied(config_.faults.silence == Silence::FromStart      ? FaultNames::Silent
            : config_.faults.silence == Silence::AfterFrames ? FaultNames::SilentAfter
                                                              : FaultNames::SilentAfterOp);
    ++record_.requestsUnanswered;
    return std::nullopt;
  }
  std::optional<Bytes> answer = ssdo ? HandleSsdo(req) : HandleSnmt(req, now);
  if (answer) {
    ++record_.services[static_cast<std::size_t>(service)].answered;
  } else if (service != Service::ErrorAck) {
    // an SN error acknowledge is never answered: its silence says nothing about the node
    ++record_.requestsUnanswered;
  }
  return answer;
}

std::optional<Bytes> SimNode::Tick(const Moment& now) {
  const u64 lifeTime = config_.guardTimeUs * config_.lifeFactor;
  if (SilentNow()) {
    // a silent node keeps its state, but the host sees its guarding stop
    const u64 lastGuard = std::max(lastGuardRequestUs_, record_.operationalAt ? record_.operationalAt->timeUs : 0);
    if (now.timeUs - lastGuard >= lifeTime) EndOperational(now, "guarding stopped");
    return std::nullopt;
  }
  if (record_.state == NodeState::Operational) {
    if (now.timeUs - lastGuardUs_ >= lifeTime) {
      ++record_.lifeTimeLosses;
      EndOperational(now, "guarding stopped");
      Enter(NodeState::PreOperational, now);
    }
    return std::nullopt;
  }
  if (record_.state != NodeState::Unassigned || !config_.resetGuarding || now.timeUs < nextResetGuardUs_) {
    return std::nullopt;
  }
  if (config_.resetGuardLimit != 255 && resetGuardsSent_ >= config_.resetGuardLimit) {
    return std::nullopt;
  }
  ++resetGuardsSent_;
  nextResetGuardUs_ = now.timeUs + config_.resetGuardIntervalUs;
  TestFrames::FrameSpec fields;
  fields.id = kResetGuarding;
  fields.adr = kResetGuardingAdr;
  fields.sdn = kResetGuardingAdr;
  fields.tadr = kResetGuardingAdr;
  std::optional<Bytes> frame = Send(TestFrames::BuildFrame(fields));
  if (frame) {
    ++record_.resetGuardingSent;
  }
  return frame;
}

std::optional<Bytes> SimNode::Send(Bytes frame) {
  if (SilentNow()) {
    return std::nullopt;
  }
  ++record_.framesSent;
  return frame;
}

bool SimNode::SilentNow() const {
  switch (config_.faults.silence) {
    case Silence::None:
      return false;
    case Silence::FromStart:
      return true;
    case Silence::AfterFrames:
      return record_.framesSent >= config_.faults.silenceAfterFrames;
    case Silence::AfterOperational:
      return silencedAfterOp_;
  }
  return false;
}

void SimNode::EndOperational(const Moment& now, std::string by) {
  if (!HostSeesOperational(record_)) return;
  record_.operationalEndedAt = now;
  record_.operationalEndedBy = std::move(by);
  record_.operationalEndedFrame = record_.framesReceived;
  ++record_.operationalEnds;
  // what the node answered before belongs to the time that ended; why it is out now comes after
  record_.busyAnswersAtLastEnd = record_.busyAnswers;
  record_.requestsUnansweredAtLastEnd = record_.requestsUnanswered;
  record_.identityRead.clear();
}

void SimNode::Applied(std::string_view fault) { ++record_.faultsApplied[std::string(fault)]; }

void SimNode::Enter(NodeState state, const Moment& now) {
  if (state == NodeState::Unassigned && record_.state != NodeState::Unassigned) {
    resetGuardsSent_ = 0;
    nextResetGuardUs_ = now.timeUs + config_.resetGuardIntervalUs;
  }
  if (state == NodeState::Unassigned) {
    record_.sadr = 0;
    record_.sdn = 0;
  }
  record_.state = state;
  attempt_ = false;
}

}  // namespace SimNodes
