#include "NodeFaults.h"

#include <charconv>

namespace SimNodes {

namespace {

/// Parses a decimal or 0x-prefixed hexadecimal number that fits max.
std::optional<u32> ParseNumber(std::string_view text, u32 max) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) {
    return std::nullopt;
  }
  u64 value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size() || value > max) {
    return std::nullopt;
  }
  return static_cast<u32>(value);
}

/// Formats "G/C" of an SN FAIL.
std::string GroupCode(const SnFailFault& f) {
  return std::to_string(f.group) + "/" + std::to_string(f.code);
}

}  // namespace

const std::vector<std::string_view>& AllFaultNames() {
  static const std::vector<std::string_view> names = {
      FaultNames::Silent,        FaultNames::SilentAfter,    FaultNames::SilentAfterOp,
      FaultNames::WrongVendor,   FaultNames::WrongProduct,   FaultNames::WrongRevision,
      FaultNames::WrongChecksum, FaultNames::WrongTimestamp, FaultNames::ShortTimestamp,
      FaultNames::UdidMismatch,  FaultNames::Busy,           FaultNames::AlwaysBusy,
      FaultNames::SnFail,        FaultNames::SnFailAlways,   FaultNames::PreloadRefused,
      FaultNames::Oversize};
  return names;
}

std::string ApplyFault(std::string_view text, NodeFaults& faults) {
  const std::size_t eq = text.find('=');
  const std::string_view name = text.substr(0, eq);
  const bool hasValue = eq != std::string_view::npos;
  const std::string_view value = hasValue ? text.substr(eq + 1) : std::string_view{};
  const std::string quoted = "fault \"" + std::string(text) + "\"";

  struct Flag {
    std::string_view name;  ///< fault name
    bool NodeFaults::*field;  ///< flag it sets
  };
  static const Flag flags[] = {
      {FaultNames::WrongVendor, &NodeFaults::wrongVendor},
      {FaultNames::WrongProduct, &NodeFaults::wrongProduct},
      {FaultNames::WrongRevision, &NodeFaults::wrongRevision},
      {FaultNames::WrongChecksum, &NodeFaults::wrongChecksum},
      {FaultNames::WrongTimestamp, &NodeFaults::wrongTimestamp},
      {FaultNames::ShortTimestamp, &NodeFaults::shortTimestamp},
      {FaultNames::UdidMismatch, &NodeFaults::udidMismatch},
      {FaultNames::AlwaysBusy, &NodeFaults::alwaysBusy},
      {FaultNames::PreloadRefused, &NodeFaults::preloadRefused},
      {FaultNames::Oversize, &NodeFaults::oversize},
  };
  for (const Flag& f : flags) {
    if (name == f.name) {
      if (hasValue) {
        return quoted + ": takes no value";
      }
      faults.*f.field = true;
      return {};
    }
  }
  if (name == FaultNames::Silent || name == FaultNames::SilentAfterOp) {
    if (hasValue) {
      return quoted + ": takes no value";
    }
    faults.silence = name == FaultNames::Silent ? Silence::FromStart : Silence::AfterOperational;
    return {};
  }
  if (name == FaultNames::SilentAfter || name == FaultNames::Busy) {
    const std::optional<u32> n = hasValue ? ParseNumber(value, 0xFFFFFFFFu) : std::nullopt;
    if (!n) {
      return quoted + ": needs a count, as in " + std::string(name) + "=3";
    }
    if (name == FaultNames::Busy) {
      faults.busyAnswers = *n;
    } else {
      faults.silence = Silence::AfterFrames;
      faults.silenceAfterFrames = *n;
    }
    return {};
  }
  if (name == FaultNames::SnFail || name == FaultNames::SnFailAlways) {
    const std::size_t slash = value.find('/');
    const std::optional<u32> group =
        hasValue && slash != std::string_view::npos ? ParseNumber(value.substr(0, slash), 0xFF) : std::nullopt;
    const std::optional<u32> code =
        hasValue && slash != std::string_view::npos ? ParseNumber(value.substr(slash + 1), 0xFF) : std::nullopt;
    if (!group || !code) {
      return quoted + ": needs group/code (0..255 each), as in " + std::string(name) + "=6/2";
    }
    faults.snFail = SnFailFault{static_cast<u8>(*group), static_cast<u8>(*code), name == FaultNames::SnFailAlways};
    return {};
  }
  return quoted + ": unknown fault; the valid ones: " + ValidFaultForms();
}

const std::vector<FaultUsage>& FaultUsages() {
  static const std::vector<FaultUsage> usages = {
      {"silent", "never sends anything"},
      {"silent-after=K", "sends K frames, then nothing"},
      {"silent-after-op", "silent from its operational answer on"},
      {"wrong-vendor", "reports another vendor id"},
      {"wrong-product", "reports another product code"},
      {"wrong-revision", "reports another revision number"},
      {"wrong-checksum", "starts with another parameter checksum (the download road)"},
      {"wrong-timestamp", "starts with another parameter timestamp"},
      {"short-timestamp", "answers the parameter timestamp read with its first 2 bytes (segmented)"},
      {"udid-mismatch", "the device carries another UDID than the node list expects"},
      {"busy=N", "N busy answers to set-to-operational before the outcome"},
      {"always-busy", "answers set-to-operational with busy for ever"},
      {"sn-fail=G/C", "SN FAIL group G code C at the first set-to-operational"},
      {"sn-fail-always=G/C", "SN FAIL group G code C at every set-to-operational"},
      {"preload-refused", "refuses segmented downloads with preload"},
      {"oversize", "SSDO answers as long as a frame allows, beyond the payload limit"},
  };
  return usages;
}

std::string ValidFaultForms() {
  std::string text;
  for (const FaultUsage& u : FaultUsages()) text += (text.empty() ? "" : ", ") + std::string(u.form);
  return text;
}

std::vector<std::string> DescribeFaults(const NodeFaults& faults) {
  std::vector<std::string> out;
  switch (faults.silence) {
    case Silence::None:
      break;
    case Silence::FromStart:
      out.emplace_back(FaultNames::Silent);
      break;
    case Silence::AfterFrames:
      out.push_back(std::string(FaultNames::SilentAfter) + "=" + std::to_string(faults.silenceAfterFrames));
      break;
    case Silence::AfterOperational:
      out.emplace_back(FaultNames::SilentAfterOp);
      break;
  }
  const std::pair<bool, std::string_view> flags[] = {
      {faults.wrongVendor, FaultNames::WrongVendor},       {faults.wrongProduct, FaultNames::WrongProduct},
      {faults.wrongRevision, FaultNames::WrongRevision},   {faults.wrongChecksum, FaultNames::WrongChecksum},
      {faults.wrongTimestamp, FaultNames::WrongTimestamp}, {faults.shortTimestamp, FaultNames::ShortTimestamp},
      {faults.udidMismatch, FaultNames::UdidMismatch},
  };
  for (const auto& [set, name] : flags) {
    if (set) {
      out.emplace_back(name);
    }
  }
  if (faults.busyAnswers) {
    out.push_back(std::string(FaultNames::Busy) + "=" + std::to_string(*faults.busyAnswers));
  }
  if (faults.alwaysBusy) {
    out.emplace_back(FaultNames::AlwaysBusy);
  }
  if (faults.snFail) {
    out.push_back(std::string(faults.snFail->always ? FaultNames::SnFailAlways : FaultNames::SnFail) + "=" +
                  GroupCode(*faults.snFail));
  }
  if (faults.preloadRefused) {
    out.emplace_back(FaultNames::PreloadRefused);
  }
  if (faults.oversize) {
    out.emplace_back(FaultNames::Oversize);
  }
  return out;
}

}  // namespace SimNodes
