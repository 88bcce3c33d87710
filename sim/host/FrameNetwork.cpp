#include "FrameNetwork.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace ScmSim {

namespace {

/// Sub-frame ONE offsets read without decoding.
constexpr std::size_t kOneAdrLow = 0;     ///< ADR bits 0..7
constexpr std::size_t kOneIdAdrHigh = 1;  ///< ID << 2 | ADR bits 8..9
constexpr std::size_t kOneLe = 2;         ///< LE
constexpr std::size_t kOnePayload = 4;    ///< first payload byte

/// Parses an unsigned decimal number.
std::optional<u32> Number(std::string_view text) {
  u32 v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return v;
}

/// Splits text at ':'.
std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t from = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ':') {
      parts.push_back(text.substr(from, i - from));
      from = i + 1;
    }
  }
  return parts;
}

std::string Hex2(u32 v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
  return buf;
}

/// Name of an SNMT service response code.
std::string SnmtResponseName(const FrameBytes& p) {
  if (p.empty()) {
    return "service-response";
  }
  switch (p[0]) {
    case 0x01: return "pre-op-status";
    case 0x03: return "op-status";
    case 0x05: return "add-sadr-assigned";
    case 0x07: return p.size() >= 3 ? "sn-fail=" + std::to_string(p[1]) + "/" + std::to_string(p[2]) : "sn-fail";
    case 0x09: return "busy";
    case 0x0F: return "scm-udid-assigned";
    case 0x11: return "ext-ct-initialised";
    default: return "service-response-" + Hex2(p[0]);
  }
}

/// Name of an SSDO command in a request or response.
std::string SsdoName(const FrameBytes& p, bool response) {
  if (p.empty()) {
    return "ssdo-empty";
  }
  const u8 c = p[0];
  const auto withIndex = [&p](std::string name) {
    if (p.size() >= 4) {
      name += "@" + Hex2(p[2]) + Hex2(p[1]) + "/" + Hex2(p[3]);
    }
    return name;
  };
  if (c == 0x04) {
    std::string name = withIndex("ssdo-abort");
    if (p.size() >= 8) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "=%08X", static_cast<u32>(p[4] | (p[5] << 8) | (p[6] << 16)) |
                                                  (static_cast<u32>(p[7]) << 24));
      name += buf;
    }
    return name;
  }
  switch (c) {
    case 0x20: return withIndex(response ? "ssdo-upload-expedited" : "ssdo-upload");
    case 0x28: return withIndex("ssdo-upload-segmented");
    case 0x21: return withIndex("ssdo-download-expedited");
    case 0x29: return withIndex("ssdo-download-segmented");
    case 0x2B: return withIndex("ssdo-download-preload");
    default: break;
  }
  const std::string toggle = (c & 0x10) != 0 ? "-t1" : "-t0";
  if ((c & 0xAF) == 0x08) {
    return ((c & 0x40) != 0 ? "ssdo-upload-last" : "ssdo-upload-segment") + toggle;
  }
  switch (c & 0xEF) {
    case 0x09: return "ssdo-download-segment" + toggle;
    case 0x49: return "ssdo-download-last" + toggle;
    case 0x0B: return "ssdo-preload-segment" + toggle;
    default: break;
  }
  return "ssdo-" + Hex2(c);
}

std::string FaultText(const std::optional<WireFault>& f) {
  if (!f) {
    return "-";
  }
  switch (f->kind) {
    case WireFaultKind::Drop: return "drop";
    case WireFaultKind::Duplicate: return "duplicate";
    case WireFaultKind::Delay: return "delay=" + std::to_string(f->delayCycles);
    case WireFaultKind::Corrupt: return "corrupt";
  }
  return "?";
}

/// The frame with one bit flipped in the last byte that CRC1 covers.
FrameBytes Corrupted(FrameBytes frame) {
  if (frame.size() > kOneLe) {
    const std::size_t at = std::min<std::size_t>(3 + frame[kOneLe], frame.size() - 1);
    frame[at] ^= 0x01;
  } else if (!frame.empty()) {
    frame.back() ^= 0x01;
  }
  return frame;
}

}  // namespace

std::string ParseWireFault(std::string_view text, WireFaultPlan& plan) {
  const std::string quoted = "wire fault \"" + std::string(text) + "\"";
  const std::vector<std::string_view> parts = Split(text);
  if (parts.size() != 4) {
    return quoted + ": expected NODE:to|from:K|rate=P:drop|duplicate|delay=D|corrupt";
  }
  const std::optional<u32> node = Number(parts[0]);
  if (!node || *node < 1 || *node > 1023) {
    return quoted + ": node must be a position 1..1023";
  }
  WireDirection direction;
  if (parts[1] == "to") {
    direction = WireDirection::ToNode;
  } else if (parts[1] == "from") {
    direction = WireDirection::FromNode;
  } else {
    return quoted + ": direction must be to or from";
  }
  WireFault fault;
  const std::string_view kind = parts[3];
  if (kind == "drop") {
    fault.kind = WireFaultKind::Drop;
  } else if (kind == "duplicate") {
    fault.kind = WireFaultKind::Duplicate;
  } else if (kind == "corrupt") {
    fault.kind = WireFaultKind::Corrupt;
  } else if (kind.substr(0, 6) == "delay=" && Number(kind.substr(6)) && *Number(kind.substr(6)) > 0) {
    fault.kind = WireFaultKind::Delay;
    fault.delayCycles = *Number(kind.substr(6));
  } else {
    return quoted + ": fault must be drop, duplicate, delay=D (D > 0) or corrupt";
  }
  const std::string_view when = parts[2];
  if (when.substr(0, 5) == "rate=") {
    const std::string rateText(when.substr(5));
    char* end = nullptr;
    const double rate = std::strtod(rateText.c_str(), &end);
    if (rateText.empty() || end != rateText.c_str() + rateText.size() || !(rate >= 0.0 && rate <= 1.0)) {
      return quoted + ": rate must lie in 0..1";
    }
    plan.rated.push_back(RatedWireFault{static_cast<u16>(*node), direction, rate, fault});
    return {};
  }
  const std::optional<u32> k = Number(when);
  if (!k || *k == 0) {
    return quoted + ": K counts frames from 1";
  }
  plan.scheduled.push_back(ScheduledWireFault{static_cast<u16>(*node), direction, *k, fault});
  return {};
}

std::string DescribeFrame(const FrameBytes& frame) {
  if (frame.size() <= kOneLe) {
    return "short";
  }
  const u8 id = frame[kOneIdAdrHigh] >> 2;
  const std::size_t le = frame[kOneLe];
  FrameBytes payload;
  if (frame.size() >= kOnePayload + le) {
    payload.assign(frame.begin() + kOnePayload, frame.begin() + static_cast<std::ptrdiff_t>(kOnePayload + le));
  }
  switch (id) {
    case 0x28:
    case 0x2A:
    case 0x2C:
    case 0x2E:
      return std::string(SimNodes::ServiceName(SimNodes::ClassifyRequest(id, payload)));
    case 0x29: return "udid-response";
    case 0x2B: return "sadr-assigned";
    case 0x2D: return SnmtResponseName(payload);
    case 0x2F: return "reset-guarding";
    case 0x38:
    case 0x3A: return SsdoName(payload, false);
    case 0x39:
    case 0x3B: return SsdoName(payload, true);
    default: return "id-" + Hex2(id);
  }
}

std::string FormatTraceLine(const TraceLine& l) {
  std::string bytes;
  for (u8 b : l.bytes) {
    bytes += Hex2(b);
  }
  char head[96];
  std::snprintf(head, sizeof head, "cycle=%llu time_us=%llu dir=%s node=%u id=0x%02X ",
                static_cast<unsigned long long>(l.cycle), static_cast<unsigned long long>(l.timeUs),
                l.direction.c_str(), static_cast<unsigned>(l.node), static_cast<unsigned>(l.id));
  return std::string(head) + "service=" + l.service + " le=" + std::to_string(l.le) + " fault=" + l.fault +
         " note=" + l.note + " bytes=" + (bytes.empty() ? "-" : bytes);
}

FrameNetwork::FrameNetwork(std::vector<SimNodes::NodeConfig> nodes, WireFaultPlan plan)
    : plan_(std::move(plan)), rng_(plan_.seed) {
  for (SimNodes::NodeConfig& c : nodes) {
    byPosition_[c.position] = nodes_.size();
    nodes_.emplace_back(std::move(c));
  }
}

const SimNodes::SimNode* FrameNetwork::NodeAt(u16 position) const {
  const auto it = byPosition_.find(position);
  return it == byPosition_.end() ? nullptr : &nodes_[it->second];
}

SimNodes::SimNode* FrameNetwork::NodeAt(u16 position) {
  const auto it = byPosition_.find(position);
  return it == byPosition_.end() ? nullptr : &nodes_[it->second];
}

std::optional<WireFault> FrameNetwork::NextFault(u16 position, WireDirection direction) {
  const u32 k = ++frameCounts_[{position, direction}];
  std::optional<WireFault> hit;
  for (const ScheduledWireFault& f : plan_.scheduled) {
    if (!hit && f.node == position && f.direction == direction && f.frame == k) {
      hit = f.fault;
    }
  }
  for (const RatedWireFault& f : plan_.rated) {
    if (f.node != position || f.direction != direction) {
      continue;
    }
    // Every rated fault draws for every frame it covers, so that runs repeat exactly.
    const double draw = static_cast<double>(rng_() >> 11) / static_cast<double>(1ull << 53);
    if (!hit && draw < f.rate) {
      hit = f.fault;
    }
  }
  return hit;
}

void FrameNetwork::Record(u64 cycle, u64 timeUs, std::string_view direction, u16 node, const FrameBytes& frame,
                          std::string_view fault, std::string_view note) {
  TraceLine line;
  line.cycle = cycle;
  line.timeUs = timeUs;
  line.direction = direction;
  line.node = node;
  line.id = frame.size() > kOneIdAdrHigh ? frame[kOneIdAdrHigh] >> 2 : 0;
  line.le = frame.size() > kOneLe ? frame[kOneLe] : 0;
  line.service = DescribeFrame(frame);
  line.fault = fault;
  line.note = note;
  line.bytes = frame;
  if (sink_) {
    sink_(FormatTraceLine(line));
  }
  trace_.push_back(std::move(line));
}

void FrameNetwork::FromFirmware(const FrameBytes& frame, u64 cycle, u64 timeUs) {
  ++counts_.fromFirmware;
  if (frame.size() <= kOneLe) {
    ++counts_.notRequest;
    Record(cycle, timeUs, "fw>none", 0, frame, "-", "not-request");
    return;
  }
  const u8 id = frame[kOneIdAdrHigh] >> 2;
  const u16 adr = static_cast<u16>(frame[kOneAdrLow] | ((frame[kOneIdAdrHigh] & 3) << 8));
  const bool request = (id & 1) == 0 && ((id & 0x38) == 0x28 || (id & 0x38) == 0x38);
  if (!request) {
    ++counts_.notRequest;
    Record(cycle, timeUs, "fw>none", adr, frame, "-", "not-request");
    return;
  }
  const auto it = byPosition_.find(adr);
  if (it == byPosition_.end()) {
    ++counts_.noNode;
    Record(cycle, timeUs, "fw>none", adr, frame, "-", "no-node");
    return;
  }
  const std::optional<WireFault> fault = NextFault(adr, WireDirection::ToNode);
  Record(cycle, timeUs, "fw>node", adr, frame, FaultText(fault), "-");
  if (!fault) {
    Deliver(it->second, frame, cycle, timeUs);
    return;
  }
  switch (fault->kind) {
    case WireFaultKind::Drop:
      ++counts_.dropped;
      return;
    case WireFaultKind::Duplicate:
      ++counts_.duplicated;
      Deliver(it->second, frame, cycle, timeUs);
      Deliver(it->second, frame, cycle, timeUs);
      return;
    case WireFaultKind::Delay:
      ++counts_.delayed;
      toNodes_.push_back(InFlight{cycle + fault->delayCycles, seq_++, it->second, frame});
      return;
    case WireFaultKind::Corrupt:
      ++counts_.corrupted;
      Deliver(it->second, Corrupted(frame), cycle, timeUs);
      return;
  }
}

void FrameNetwork::Deliver(std::size_t i, const FrameBytes& frame, u64 cycle, u64 timeUs) {
  ++counts_.toNodes;
  std::optional<FrameBytes> answer = nodes_[i].Receive(frame, SimNodes::Moment{cycle, timeUs});
  if (answer) {
    FromNode(i, std::move(*answer), cycle, timeUs);
  }
}

void FrameNetwork::FromNode(std::size_t i, FrameBytes frame, u64 cycle, u64 timeUs) {
  const u16 position = nodes_[i].Config().position;
  const std::optional<WireFault> fault = NextFault(position, WireDirection::FromNode);
  u64 due = cycle;
  int copies = 1;
  if (fault) {
    switch (fault->kind) {
      case WireFaultKind::Drop:
        ++counts_.dropped;
        Record(cycle, timeUs, "node>fw", position, frame, FaultText(fault), "-");
        return;
      case WireFaultKind::Duplicate:
        ++counts_.duplicated;
        copies = 2;
        break;
      case WireFaultKind::Delay:
        ++counts_.delayed;
        due = cycle + fault->delayCycles;
        break;
      case WireFaultKind::Corrupt:
        ++counts_.corrupted;
        frame = Corrupted(std::move(frame));
        break;
    }
  }
  Record(cycle, timeUs, "node>fw", position, frame, FaultText(fault), "-");
  for (int c = 0; c < copies; ++c) {
    toFirmware_.push_back(InFlight{due, seq_++, i, frame});
  }
}

std::vector<FrameNetwork::InFlight> FrameNetwork::TakeUpTo(std::vector<InFlight>& frames, u64 cycle) {
  std::vector<InFlight> due;
  for (auto it = frames.begin(); it != frames.end();) {
    if (it->dueCycle <= cycle) {
      due.push_back(std::move(*it));
      it = frames.erase(it);
    } else {
      ++it;
    }
  }
  std::sort(due.begin(), due.end(), [](const InFlight& a, const InFlight& b) { return a.seq < b.seq; });
  return due;
}

void FrameNetwork::Tick(u64 cycle, u64 timeUs) {
  // Delayed frames for nodes, oldest first.
  for (const InFlight& f : TakeUpTo(toNodes_, cycle)) {
    Deliver(f.node, f.frame, cycle, timeUs);
  }
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    std::optional<FrameBytes> frame = nodes_[i].Tick(SimNodes::Moment{cycle, timeUs});
    if (frame) {
      FromNode(i, std::move(*frame), cycle, timeUs);
    }
  }
}

std::vector<DueFrame> FrameNetwork::TakeDue(u64 cycle) {
  std::vector<DueFrame> out;
  for (InFlight& f : TakeUpTo(toFirmware_, cycle)) {
    ++counts_.toFirmware;
    out.push_back(DueFrame{f.dueCycle, std::move(f.frame)});
  }
  return out;
}

}  // namespace ScmSim
