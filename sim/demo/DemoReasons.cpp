#include "DemoReasons.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace ScmDemo {

namespace {

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
  std::string text;
  char two[4];
  for (uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02X", b);
    text += (text.empty() ? "" : " ") + std::string(two);
  }
  return text.empty() ? "(none)" : text;
}

/// The little-endian u32 the node answered for a 0x1018 sub-index, if it answered four bytes.
std::optional<uint32_t> ReadU32(const SimNodes::NodeRecord& r, uint8_t sub) {
  const auto it = r.identityRead.find(sub);
  if (it == r.identityRead.end() || it->second.size() != 4) return std::nullopt;
  const std::vector<uint8_t>& v = it->second;
  return static_cast<uint32_t>(v[0]) | (static_cast<uint32_t>(v[1]) << 8) | (static_cast<uint32_t>(v[2]) << 16) |
         (static_cast<uint32_t>(v[3]) << 24);
}

void Add(std::string& text, const std::string& reason) { text += (text.empty() ? "" : "; ") + reason; }

}  // namespace

std::string NotOperationalReason(const PlannedNode& planned, const SimNodes::NodeRecord& r) {
  if (SimNodes::HostSeesOperational(r)) return "";
  std::string text;
  if (r.operationalEndedAt) Add(text, "operational time ended by " + r.operationalEndedBy);
  if (!planned.expectedUdid.empty() && planned.expectedUdid != planned.udid) {
    Add(text, "UDID mismatch: the device is " + planned.udid + ", the node list expects " + planned.expectedUdid);
  }
  const struct {
    uint8_t sub;
    const char* name;
    uint32_t expected;
  } identity[] = {{1, "vendor id", planned.expectedVendorId},
                  {2, "product code", planned.expectedProductCode},
                  {3, "revision", planned.expectedRevision}};
  for (const auto& i : identity) {
    const std::optional<uint32_t> read = ReadU32(r, i.sub);
    if (read && *read != i.expected) {
      Add(text, std::string(i.name) + " read " + Hex32(*read) + " expected " + Hex32(i.expected));
    }
  }
  const auto checksum = r.identityRead.find(6);
  if (checksum != r.identityRead.end() && checksum->second != planned.expectedChecksum) {
    Add(text, "parameter checksum read " + HexBytes(checksum->second) + " expected " +
                  HexBytes(planned.expectedChecksum));
  }
  if (r.pendingSnFail) {
    Add(text, "SN FAIL group " + std::to_string((*r.pendingSnFail)[0]) + " code " +
                  std::to_string((*r.pendingSnFail)[1]));
  }
  // no counts here: the reason changes only when the cause does (the record holds the counts)
  // counted since the node's last operational time ended: what came before is no reason now
  if (r.busyAnswers > r.busyAnswersAtLastEnd) Add(text, "busy answers");
  if (r.requestsUnanswered > r.requestsUnansweredAtLastEnd) Add(text, "silent: requests unanswered");
  if (r.framesReceived == 0) Add(text, "no request reached the node");
  return text;
}

std::optional<NodeEvent> NodeEventOf(const ScmSim::EventRecord& e) {
  // events whose information1 is the SADR
  constexpr uint32_t kBySadr[] = {0x6200C089u, 0x6200C08Du, 0x6200C08Eu, 0x6200C030u};
  // the configuration manager's events with (something << 16 | SADR) in information1
  constexpr uint32_t kByLowSadr[] = {0x6200A105u, 0x6200A10Fu};
  // the revision difference: information0 the SADR, information1 the revision received
  constexpr uint32_t kRevision = 0x6200C08Au;
  NodeEvent n;
  const std::string name = ScmSim::EventCodeName(e.code);
  for (uint32_t code : kBySadr) {
    if (e.code == code && e.information1 <= 0xFFFFu) n.sadr = static_cast<uint16_t>(e.information1);
  }
  for (uint32_t code : kByLowSadr) {
    if (e.code == code) n.sadr = static_cast<uint16_t>(e.information1 & 0xFFFFu);
  }
  if (e.code == kRevision) {
    n.sadr = e.information0;
    n.text = "firmware: " + name + " (received " + Hex32(e.information1) + ")";
    return n.sadr != 0 ? std::optional<NodeEvent>(n) : std::nullopt;
  }
  if (n.sadr == 0) return std::nullopt;
  n.text = "firmware: " + name;
  return n;
}

}  // namespace ScmDemo
