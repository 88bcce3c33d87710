#include "NodeRecord.h"

#include "NodeConfig.h"

namespace SimNodes {

std::string_view StateName(NodeState state) {
  switch (state) {
    case NodeState::Unassigned:
      return "unassigned";
    case NodeState::WaitScmUdid:
      return "wait-scm-udid";
    case NodeState::PreOperational:
      return "pre-operational";
    case NodeState::Operational:
      return "operational";
  }
  return "?";
}

std::string_view ServiceName(Service service) {
  static constexpr std::string_view names[kServiceCount] = {
      "udid",     "assign-sadr", "pre-op",      "set-op",        "scm-stop",      "scm-op",
      "guard",    "add-sadr",    "error-ack",   "scm-udid",      "ext-ct",        "snmt-other",
      "ssdo-upload", "ssdo-download", "ssdo-segment", "ssdo-abort", "ssdo-other"};
  const auto i = static_cast<std::size_t>(service);
  return i < kServiceCount ? names[i] : "?";
}

Service ClassifyRequest(u8 id, const Bytes& payload) {
  if ((id & 0x38) == 0x28) {
    if (id == 0x28) {
      return Service::UdidRequest;
    }
    if (id == 0x2A) {
      return Service::AssignSadr;
    }
    if (id != 0x2C || payload.empty()) {
      return Service::SnmtOther;
    }
    switch (payload[0]) {
      case 0x00: return Service::SetPreOp;
      case 0x02: return Service::SetOp;
      case 0x04: return Service::ScmStop;
      case 0x06: return Service::ScmOperational;
      case 0x08: return Service::Guard;
      case 0x0A: return Service::AddSadr;
      case 0x0C: return Service::ErrorAck;
      case 0x0E: return Service::AssignScmUdid;
      case 0x10: return Service::ExtCt;
      default: return Service::SnmtOther;
    }
  }
  if (payload.empty()) {
    return Service::SsdoOther;
  }
  const u8 command = payload[0];
  if (command == 0x04) {
    return Service::SsdoAbort;
  }
  if (command == 0x20) {
    return Service::SsdoUpload;
  }
  if (command == 0x21 || command == 0x29 || command == 0x2B) {
    return Service::SsdoDownload;
  }
  const u8 plain = command & 0xEF;
  if (plain == 0x08 || plain == 0x09 || plain == 0x0B || plain == 0x49) {
    return Service::SsdoSegment;
  }
  return Service::SsdoOther;
}

Udid DeviceUdid(const NodeConfig& config) {
  Udid udid = config.udid;
  if (config.faults.udidMismatch) {
    udid[5] ^= 0x80;
  }
  return udid;
}

}  // namespace SimNodes

namespace SimNodes {

bool HostSeesOperational(const NodeRecord& record) {
  if (record.state != NodeState::Operational || !record.operationalAt) return false;
  return !record.operationalEndedAt || record.operationalEndedAt->timeUs < record.operationalAt->timeUs;
}

}  // namespace SimNodes
