#include "DomainDescription.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <toml++/toml.h>
#include <utility>

#include "HNFiff_Crc.h"
#include "ScmGenBuild.h"

namespace SimDomain {

namespace {

/// Keys a description may hold, per table.
const std::set<std::string_view> kTopKeys = {"sdn",  "qor_udid", "faults", "guarding",
                                             "node", "scm",      "install", "release"};
const std::set<std::string_view> kInstallKeys = {"key_medium", "cpu"};
const std::set<std::string_view> kScmKeys = {"time_base",    "ssdo_timeout",    "ssdo_retries",  "snmt_timeout",
                                             "snmt_retries", "machine_options", "commissioning", "configuration"};
const std::set<std::string_view> kGuardingKeys = {"time_us", "life_factor"};
const std::set<std::string_view> kNodeKeys = {"sadr",      "udid",           "vendor_id",       "product_code",
                                              "revision",  "timestamp",      "checksum",        "parameter_set",
                                              "payload_length", "additional_sets", "faults",      "device",
                                              "flags",     "poll_time",      "additional_sadrs", "additional_set_timestamps",
                                              "optional",  "required_at_startup", "not_processed", "auto_configured"};
const std::set<std::string_view> kDeviceKeys = {
    "position",      "udid",           "vendor_id",    "product_code",  "revision",
    "timestamp",     "checksum",       "payload_limit", "preload_window", "busy_answers",
    "reset_guarding", "reset_guard_interval_us", "reset_guard_limit", "ask_additional"};

/// Largest SN FAIL code of an additional set request that names a single set.
constexpr u8 kWholeSetCode = 0xF0;  ///< codes from here on ask for the whole set
constexpr std::size_t kAdditionalSetHeader = 16;  ///< bytes of an additional set's entry header

/// Parses "02-5C-3E-10-20-30" (separators '-', ':' or none).
std::optional<Bytes> ParseHex(std::string_view text) {
  Bytes out;
  int high = -1;
  for (const char ch : text) {
    if (ch == ' ' || ch == '-' || ch == ':') {
      if (high >= 0) {
        return std::nullopt;
      }
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(ch))) {
      return std::nullopt;
    }
    const int v = std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0' : std::toupper(ch) - 'A' + 10;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<u8>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) {
    return std::nullopt;
  }
  return out;
}

/// The unit of a field's value as messages name it (" us", " bytes", ...), empty for plain numbers.
std::string UnitOf(std::string_view key) {
  static const std::pair<std::string_view, const char*> units[] = {
      {"time_us", " us"},          {"reset_guard_interval_us", " us"}, {"payload_length", " bytes"},
      {"payload_limit", " bytes"}, {"ssdo_timeout", " CT ticks"},     {"snmt_timeout", " CT ticks"},
      {"preload_window", " segments"}, {"life_factor", " guard times"}, {"reset_guard_limit", " resets"},
  };
  for (const auto& [name, unit] : units) {
    if (key == name) return unit;
  }
  return "";
}

/// How messages name a node: by its SADR once it is known, else by its place in the file (from 1).
std::string NodeName(u16 sadr) { return "node(SADR " + std::to_string(sadr) + ")"; }
std::string NodeInFile(std::size_t index) { return "node(number " + std::to_string(index + 1) + " in the file)"; }

/// Reads fields of one table, keeping the first error with its field path.
class Reader {
 public:
  std::string error;  ///< first error, "path: message"

  bool Fail(const std::string& field, const std::string& message) {
    if (error.empty()) {
      error = field + ": " + message;
    }
    return false;
  }

  /// Refuses keys that are not known for this table.
  bool Keys(const toml::table& t, const std::string& path, const std::set<std::string_view>& known) {
    for (const auto& [key, value] : t) {
      if (known.count(key.str()) == 0) {
        return Fail(Join(path, std::string(key.str())), "unknown field");
      }
    }
    return true;
  }

  /// An integer field within [min, max]; absent leaves out unchanged.
  template <typename T>
  bool Int(const toml::table& t, std::string_view key, const std::string& path, T& out, i64 min, i64 max) {
    const toml::node* n = t.get(key);
    if (n == nullptr) {
      return true;
    }
    const std::string field = Join(path, std::string(key));
    const std::optional<i64> v = n->value_exact<i64>();
    if (!n->is_integer() || !v) {
      return Fail(field, "must be an integer");
    }
    if (*v < min || *v > max) {
      return Fail(field, std::to_string(*v) + " is outside " + std::to_string(min) + ".." + std::to_string(max) +
                             UnitOf(key));
    }
    out = static_cast<T>(*v);
    return true;
  }

  bool Bool(const toml::table& t, std::string_view key, const std::string& path, bool& out) {
    const toml::node* n = t.get(key);
    if (n == nullptr) {
      return true;
    }
    if (!n->is_boolean()) {
      return Fail(Join(path, std::string(key)), "must be true or false");
    }
    out = *n->value<bool>();
    return true;
  }

  bool Hex(const toml::node* n, const std::string& field, Bytes& out) {
    if (n == nullptr) {
      return true;
    }
    const std::optional<std::string_view> s = n->value<std::string_view>();
    if (!n->is_string() || !s) {
      return Fail(field, "must be a string of hex bytes");
    }
    const std::optional<Bytes> bytes = ParseHex(*s);
    if (!bytes) {
      return Fail(field, "\"" + std::string(*s) + "\" is no string of hex bytes");
    }
    if (bytes->size() > SimNodes::Limits::ParameterCapacity) {
      return Fail(field, std::to_string(bytes->size()) + " bytes, more than " +
                             std::to_string(SimNodes::Limits::ParameterCapacity));
    }
    out = *bytes;
    return true;
  }

  bool HexField(const toml::table& t, std::string_view key, const std::string& path, Bytes& out) {
    return Hex(t.get(key), Join(path, std::string(key)), out);
  }

  bool UdidField(const toml::table& t, std::string_view key, const std::string& path, Udid& out) {
    Bytes bytes;
    const std::string field = Join(path, std::string(key));
    if (!Hex(t.get(key), field, bytes)) {
      return false;
    }
    if (t.get(key) == nullptr) {
      return true;
    }
    if (bytes.size() != out.size()) {
      return Fail(field, "a UDID has 6 bytes, as in \"02-5C-3E-10-20-30\"");
    }
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return true;
  }

  /// An array of strings.
  bool Strings(const toml::table& t, std::string_view key, const std::string& path, std::vector<std::string>& out) {
    const toml::node* n = t.get(key);
    if (n == nullptr) {
      return true;
    }
    const std::string field = Join(path, std::string(key));
    const toml::array* a = n->as_array();
    if (a == nullptr) {
      return Fail(field, "must be an array of strings");
    }
    for (const toml::node& e : *a) {
      const std::optional<std::string_view> s = e.value<std::string_view>();
      if (!e.is_string() || !s) {
        return Fail(field, "must be an array of strings");
      }
      out.emplace_back(*s);
    }
    return true;
  }

  /// An array of integers, each within [min, max].
  bool Ints(const toml::node* n, const std::string& field, std::vector<i64>& out, i64 min, i64 max) {
    if (n == nullptr) {
      return true;
    }
    const toml::array* a = n->as_array();
    if (a == nullptr) {
      return Fail(field, "must be an array of integers");
    }
    for (const toml::node& e : *a) {
      const std::optional<i64> v = e.value_exact<i64>();
      if (!e.is_integer() || !v) {
        return Fail(field, "must be an array of integers");
      }
      if (*v < min || *v > max) {
        return Fail(field, std::to_string(*v) + " is outside " + std::to_string(min) + ".." + std::to_string(max));
      }
      out.push_back(*v);
    }
    return true;
  }
  static std::string Join(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
  }
};

/// The device as the node list expects it, with the domain's guarding.
void DeviceFromExpectations(NodeEntry& e) {
  SimNodes::NodeConfig& d = e.device;
  d.position = e.sadr;
  d.udid = e.udid;
  d.vendorId = e.vendorId;
  d.productCode = e.productCode;
  d.revision = e.revision;
  d.timestamp = e.timestamp;
  d.checksum = e.checksum;
  d.parameterSet = e.parameterSet;
  d.payloadLimit = e.payloadLength;
}

/// The additional set that a request with this code asks for, as it arrives.
/// The low nibble of the code is the set's number; the generator numbers a
/// node's sets 1, 2, ... in the order they are described (number 0 is unused).
std::optional<Bytes> AskedSet(const NodeEntry& e, u8 code) {
  const std::size_t number = code & 0x0Fu;
  if (number == 0 || number > e.additionalSets.size()) {
    return std::nullopt;
  }
  // The firmware holds the set as "pardata1.bin" carries it: the 16-byte entry
  // header, then the payload; it sends the header alone unless the whole set is asked for.
  const Bytes entry = ScmGen::ParData1Entry(static_cast<u8>(number), e.sadr, e.additionalSets[number - 1],
                                            e.additionalSetTimestamps[number - 1]);
  if (code >= kWholeSetCode) {
    return entry;
  }
  return Bytes(entry.begin(), entry.begin() + kAdditionalSetHeader);
}

/// Reads one [[node]] entry.
bool ReadNode(Reader& r, const toml::table& t, std::string path, const Domain& domain, NodeEntry& out) {
  u16 sadr = 0;
  if (t.get("sadr") == nullptr) {
    return r.Fail(path + ".sadr", "missing");
  }
  if (!r.Int(t, "sadr", path, sadr, 1, DomainLimits::MaxSadr)) {
    return false;
  }
  // from here on the node is named by its SADR
  path = NodeName(sadr);
  if (!r.Keys(t, path, kNodeKeys)) {
    return false;
  }
  out = DefaultNode(sadr, domain.qorUdid);
  std::vector<std::string> sets;
  if (!r.UdidField(t, "udid", path, out.udid) ||
      !r.Int(t, "vendor_id", path, out.vendorId, 0, 0xFFFFFFFFll) ||
      !r.Int(t, "product_code", path, out.productCode, 0, 0xFFFFFFFFll) ||
      !r.Int(t, "revision", path, out.revision, 0, 0xFFFFFFFFll) ||
      !r.Int(t, "timestamp", path, out.timestamp, 0, 0xFFFFFFFFll) ||
      !r.HexField(t, "parameter_set", path, out.parameterSet) ||
      !r.Int(t, "payload_length", path, out.payloadLength, SimNodes::Limits::MinPayload,
             SimNodes::Limits::MaxPayload) ||
      !r.Strings(t, "additional_sets", path, sets)) {
    return false;
  }
  // 0 means none in the key files, so the node list cannot expect it.
  if (out.vendorId == 0) {
    return r.Fail(path + ".vendor_id", "must not be 0");
  }
  if (out.productCode == 0) {
    return r.Fail(path + ".product_code", "must not be 0");
  }
  if ((out.revision >> 16) == 0 || (out.revision & 0xFFFFu) == 0) {
    return r.Fail(path + ".revision", "needs a major (upper 16 bits) and a minor (lower 16 bits) other than 0");
  }
  if (t.get("parameter_set") != nullptr && t.get("checksum") == nullptr) {
    const u32 crc = HNFiff_Crc32CalcSwp(0, static_cast<i32>(out.parameterSet.size()), out.parameterSet.data());
    out.checksum = {static_cast<u8>(crc), static_cast<u8>(crc >> 8), static_cast<u8>(crc >> 16),
                    static_cast<u8>(crc >> 24)};
  }
  if (!r.HexField(t, "checksum", path, out.checksum)) {
    return false;
  }
  if (sets.size() > DomainLimits::MaxAdditionalSets) {
    return r.Fail(path + ".additional_sets", "at most 16 sets");
  }
  for (std::size_t i = 0; i < sets.size(); ++i) {
    Bytes set;
    const toml::node* n = t.get("additional_sets")->as_array()->get(i);
    if (!r.Hex(n, path + ".additional_sets[" + std::to_string(i) + "]", set)) {
      return false;
    }
    out.additionalSets.push_back(set);
  }
  std::vector<i64> sadrs;
  std::vector<i64> stamps;
  if (!r.Int(t, "flags", path, out.flags, 0, 0xFFFFFFFFll) || !r.Int(t, "poll_time", path, out.pollTime, 0, 0xFFFFFFFFll) ||
      !r.Ints(t.get("additional_sadrs"), path + ".additional_sadrs", sadrs, 1, DomainLimits::MaxSadr) ||
      !r.Ints(t.get("additional_set_timestamps"), path + ".additional_set_timestamps", stamps, 0, 0xFFFFFFFFll) ||
      !r.Bool(t, "optional", path, out.optional) ||
      !r.Bool(t, "required_at_startup", path, out.requiredAtStartup) ||
      !r.Bool(t, "not_processed", path, out.notProcessed) ||
      !r.Bool(t, "auto_configured", path, out.autoConfigured)) {
    return false;
  }
  if (stamps.size() > out.additionalSets.size()) {
    return r.Fail(path + ".additional_set_timestamps", "more timestamps than additional sets");
  }
  out.additionalSadrs.assign(sadrs.begin(), sadrs.end());
  out.additionalSetTimestamps.assign(stamps.begin(), stamps.end());
  out.additionalSetTimestamps.resize(out.additionalSets.size(), 0);
  DeviceFromExpectations(out);
  out.device.guardTimeUs = domain.guardTimeUs;
  out.device.lifeFactor = domain.lifeFactor;

  if (const toml::node* dn = t.get("device")) {
    const toml::table* d = dn->as_table();
    const std::string dpath = path + ".device";
    if (d == nullptr) {
      return r.Fail(dpath, "must be a table");
    }
    SimNodes::NodeConfig& dev = out.device;
    u8 askCode = 0;
    u32 initialTimestamp = 0;
    Bytes initialChecksum;
    if (!r.Keys(*d, dpath, kDeviceKeys) || !r.Int(*d, "position", dpath, dev.position, 1, DomainLimits::MaxSadr) ||
        !r.UdidField(*d, "udid", dpath, dev.udid) ||
        !r.Int(*d, "vendor_id", dpath, dev.vendorId, 0, 0xFFFFFFFFll) ||
        !r.Int(*d, "product_code", dpath, dev.productCode, 0, 0xFFFFFFFFll) ||
        !r.Int(*d, "revision", dpath, dev.revision, 0, 0xFFFFFFFFll) ||
        !r.Int(*d, "timestamp", dpath, initialTimestamp, 0, 0xFFFFFFFFll) ||
        !r.HexField(*d, "checksum", dpath, initialChecksum) ||
        !r.Int(*d, "payload_limit", dpath, dev.payloadLimit, SimNodes::Limits::MinPayload,
               SimNodes::Limits::MaxPayload) ||
        !r.Int(*d, "preload_window", dpath, dev.preloadWindow, SimNodes::Limits::MinWindow,
               SimNodes::Limits::MaxWindow) ||
        !r.Int(*d, "busy_answers", dpath, dev.busyAnswers, 0, 0xFFFFFFFFll) ||
        !r.Bool(*d, "reset_guarding", dpath, dev.resetGuarding) ||
        !r.Int(*d, "reset_guard_interval_us", dpath, dev.resetGuardIntervalUs, 1, 0x7FFFFFFFFFFFll) ||
        !r.Int(*d, "reset_guard_limit", dpath, dev.resetGuardLimit, 1, 255) ||
        !r.Int(*d, "ask_additional", dpath, askCode, 0, 255)) {
      return false;
    }
    if (d->get("timestamp") != nullptr) {
      dev.initialTimestamp = initialTimestamp;
    }
    if (d->get("checksum") != nullptr) {
      dev.initialChecksum = initialChecksum;
    }
    if (d->get("ask_additional") != nullptr) {
      const std::optional<Bytes> expected = AskedSet(out, askCode);
      if (!expected) {
        return r.Fail(dpath + ".ask_additional",
                      "asks for additional set " + std::to_string(askCode & 0x0F) + ", which " + path +
                          ".additional_sets does not hold");
      }
      dev.askAdditional = SimNodes::AdditionalSetAsk{askCode, *expected};
    }
  }

  std::vector<std::string> faults;
  if (!r.Strings(t, "faults", path, faults)) {
    return false;
  }
  for (const std::string& f : faults) {
    const std::string e = SimNodes::ApplyFault(f, out.device.faults);
    if (!e.empty()) {
      return r.Fail(path + ".faults", e);
    }
  }
  return true;
}

}  // namespace

std::string FormatUdid(const Udid& udid) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < udid.size(); ++i) {
    std::snprintf(buf, sizeof buf, i == 0 ? "%02X" : "-%02X", udid[i]);
    out += buf;
  }
  return out;
}

std::string FormatHex(const Bytes& bytes) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, i == 0 ? "%02X" : " %02X", bytes[i]);
    out += buf;
  }
  return out;
}

NodeEntry DefaultNode(u16 sadr, const Udid& qorUdid) {
  NodeEntry e;
  e.sadr = sadr;
  e.udid = sadr == DomainLimits::QorSadr
               ? qorUdid
               : Udid{0x02, 0x5C, 0x3E, 0xA0, static_cast<u8>(sadr >> 8), static_cast<u8>(sadr & 0xFF)};
  e.vendorId = DomainDefaults::VendorId;
  e.productCode = DomainDefaults::ProductCodeBase + sadr;
  e.revision = DomainDefaults::Revision;
  e.timestamp = DomainDefaults::TimestampBase + sadr;
  // A filler record, then the checksum record: the checksum is the filler record's CRC-32.
  const u16 fillerIndex = static_cast<u16>(DomainDefaults::ParameterFillerIndex + sadr);
  const u32 fillerSize = static_cast<u32>(DomainDefaults::ParameterFillerSize);
  e.parameterSet = {static_cast<u8>(fillerIndex), static_cast<u8>(fillerIndex >> 8), 1,
                    static_cast<u8>(fillerSize), static_cast<u8>(fillerSize >> 8), static_cast<u8>(fillerSize >> 16),
                    static_cast<u8>(fillerSize >> 24)};
  for (std::size_t i = 0; i < DomainDefaults::ParameterFillerSize; ++i) {
    e.parameterSet.push_back(static_cast<u8>(sadr * 31 + i * 7));
  }
  const u32 crc = HNFiff_Crc32CalcSwp(0, static_cast<i32>(e.parameterSet.size()), e.parameterSet.data());
  e.checksum = {static_cast<u8>(crc), static_cast<u8>(crc >> 8), static_cast<u8>(crc >> 16),
                static_cast<u8>(crc >> 24)};
  const Bytes checksumRecord = {0x18, 0x10, 6, 4, 0, 0, 0};
  e.parameterSet.insert(e.parameterSet.end(), checksumRecord.begin(), checksumRecord.end());
  e.parameterSet.insert(e.parameterSet.end(), e.checksum.begin(), e.checksum.end());
  e.payloadLength = DomainDefaults::PayloadLength;
  DeviceFromExpectations(e);
  e.device.guardTimeUs = DomainDefaults::GuardTimeUs;
  e.device.lifeFactor = DomainDefaults::LifeFactor;
  return e;
}

Domain UniformDomain(u16 count, u16 sdn, Release release) {
  Domain d;
  d.sdn = sdn;
  d.release = release;
  for (u16 sadr = 1; sadr <= count; ++sadr) {
    d.nodes.push_back(DefaultNode(sadr, d.qorUdid));
  }
  return d;
}

std::optional<u32> MicrosecondsToCtTicks(u64 microseconds, i32 timeBase) {
  if (timeBase < 0 || timeBase > 3) {
    return std::nullopt;
  }
  // ticks = ceil(microseconds * multiplier / 2^32), the 96-bit product taken in two
  // 32-bit halves of the microseconds so that no wider integer is needed (32-bit targets)
  const u64 multiplier = CtMultiplier[static_cast<std::size_t>(timeBase)];
  const u64 high = (microseconds >> 32) * multiplier;  // weight 2^32: whole ticks
  const u64 low = (microseconds & 0xFFFFFFFFu) * multiplier;
  if (high > 0xFFFFFFFFu) {
    return std::nullopt;
  }
  // rounded up: the firmware never guards for less than the span described
  const u64 ticks = high + (low >> 32) + ((low & 0xFFFFFFFFu) != 0 ? 1 : 0);
  if (ticks > 0xFFFFFFFFu) {
    return std::nullopt;
  }
  return static_cast<u32>(ticks);
}

std::optional<u32> GuardTimeTicks(const Domain& domain) {
  return MicrosecondsToCtTicks(domain.guardTimeUs, domain.scm.timeBase);
}

std::string ValidateDomain(const Domain& domain) {
  if (domain.sdn < 1 || domain.sdn > DomainLimits::MaxSadr) {
    return "sdn: " + std::to_string(domain.sdn) + " is outside 1..1023";
  }
  if (std::all_of(domain.qorUdid.begin(), domain.qorUdid.end(), [](u8 b) { return b == 0; })) {
    return "qor_udid: must not be all zero";
  }
  if (domain.guardTimeUs == 0) {
    return "guarding.time_us: 0 is outside 1..140737488355327 us";
  }
  if (domain.lifeFactor == 0) {
    return "guarding.life_factor: 0 is outside 1..255 guard times";
  }
  if (domain.scm.timeBase < 0 || domain.scm.timeBase > 3) {
    return "scm.time_base: " + std::to_string(domain.scm.timeBase) + " is outside 0..3";
  }
  if (!GuardTimeTicks(domain)) {
    return "guarding.time_us: " + std::to_string(domain.guardTimeUs) + " us is more CT ticks than 0x100C/1 holds at time base " +
           std::to_string(domain.scm.timeBase);
  }
  const u16 maxNodes = DomainLimits::MaxNodesOf(domain.release);
  if (domain.nodes.empty() || domain.nodes.size() > maxNodes) {
    return "node: " + std::to_string(domain.nodes.size()) + " nodes, the domain holds 1.." + std::to_string(maxNodes) +
           (domain.release == Release::Older ? " (release \"older\")"
                                              : " (release \"older\": 1.." + std::to_string(DomainLimits::MaxNodesOlder) + ")");
  }
  std::map<u16, std::size_t> sadrs;
  std::map<u16, std::size_t> positions;
  std::map<Udid, std::size_t> udids;
  for (std::size_t i = 0; i < domain.nodes.size(); ++i) {
    const NodeEntry& n = domain.nodes[i];
    const std::string path = NodeName(n.sadr);
    const SimNodes::NodeConfig& d = n.device;
    if (n.sadr < 1 || n.sadr > DomainLimits::MaxSadr) {
      return path + ".sadr: " + std::to_string(n.sadr) + " is outside 1..1023";
    }
    if (!sadrs.emplace(n.sadr, i).second) {
      return path + ".sadr: " + std::to_string(n.sadr) + " is also the SADR of an earlier node";
    }
    if (d.position < 1 || d.position > DomainLimits::MaxSadr) {
      return path + ".device.position: " + std::to_string(d.position) + " is outside 1..1023";
    }
    if (!positions.emplace(d.position, i).second) {
      return path + ".device.position: " + std::to_string(d.position) + " is taken by " +
             NodeName(domain.nodes[positions[d.position]].sadr);
    }
    if (std::all_of(n.udid.begin(), n.udid.end(), [](u8 b) { return b == 0; })) {
      return path + ".udid: must not be all zero";
    }
    if (!udids.emplace(n.udid, i).second) {
      return path + ".udid: " + FormatUdid(n.udid) + " is taken by " + NodeName(domain.nodes[udids[n.udid]].sadr);
    }
    if (n.sadr == DomainLimits::QorSadr && n.udid != domain.qorUdid) {
      return path + ".udid: the node at SADR 1 stands for the Qor controller and carries qor_udid " +
             FormatUdid(domain.qorUdid);
    }
    if (d.position == DomainLimits::QorSadr && d.udid != domain.qorUdid) {
      return path + ".device.udid: the device at position 1 stands for the Qor controller and carries qor_udid " +
             FormatUdid(domain.qorUdid);
    }
    if (n.payloadLength < SimNodes::Limits::MinPayload || n.payloadLength > SimNodes::Limits::MaxPayload) {
      return path + ".payload_length: " + std::to_string(n.payloadLength) + " is outside 8..254 bytes";
    }
    if (d.payloadLimit < SimNodes::Limits::MinPayload || d.payloadLimit > SimNodes::Limits::MaxPayload) {
      return path + ".device.payload_limit: " + std::to_string(d.payloadLimit) + " is outside 8..254 bytes";
    }
    if (d.preloadWindow < SimNodes::Limits::MinWindow || d.preloadWindow > SimNodes::Limits::MaxWindow) {
      return path + ".device.preload_window: " + std::to_string(d.preloadWindow) + " is outside 1..15 segments";
    }
    if (n.additionalSets.size() > DomainLimits::MaxAdditionalSets) {
      return path + ".additional_sets: at most 16 sets";
    }
  }
  return {};
}

namespace {

/// Reads an optional key of a table whose value is one of the named choices into out; a value that
/// is none of them sets error, naming the key and every choice, and gives false.
template <typename T, size_t N>
bool ReadChoice(const toml::table& table, std::string_view path, std::string_view key,
                const std::pair<const char*, T> (&choices)[N], T& out, std::string& error) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return true;
  const std::optional<std::string> value = node->value<std::string>();
  for (const auto& [name, choice] : choices) {
    if (value && *value == name) {
      out = choice;
      return true;
    }
  }
  error = std::string(path) + "." + std::string(key) + ": must be ";
  for (size_t i = 0; i < N; ++i) {
    error += std::string(i == 0 ? "" : i + 1 == N ? " or " : ", ") + "\"" + choices[i].first + "\"";
  }
  return false;
}

/// Reads a description; messages name the field, not yet the file.
LoadResult ParseFields(std::string_view text, std::string_view source) {
  LoadResult result;
  toml::table root;
  try {
    root = toml::parse(text, source);
  } catch (const toml::parse_error& e) {
    std::ostringstream msg;
    msg << source << ":" << e.source().begin.line << ":" << e.source().begin.column << ": " << e.description();
    result.error = msg.str();
    return result;
  }
  Reader r;
  Domain domain;
  if (!r.Keys(root, "", kTopKeys) || !r.Int(root, "sdn", "", domain.sdn, 1, DomainLimits::MaxSadr) ||
      !r.UdidField(root, "qor_udid", "", domain.qorUdid)) {
    result.error = r.error;
    return result;
  }
  if (const toml::node* in = root.get("install")) {
    const toml::table* it = in->as_table();
    if (it == nullptr) {
      result.error = "install: must be a table";
      return result;
    }
    if (!r.Keys(*it, "install", kInstallKeys)) {
      result.error = r.error;
      return result;
    }
    static constexpr std::pair<const char*, KeyMedium> kKeyMedia[] = {
        {"acknowledged", KeyMedium::Acknowledged},
        {"other-controller", KeyMedium::OtherController},
        {"fresh-controller", KeyMedium::FreshController}};
    static constexpr std::pair<const char*, InstalledCpu> kCpus[] = {{"accepted", InstalledCpu::Accepted},
                                                                      {"exchanged", InstalledCpu::Exchanged}};
    if (!ReadChoice(*it, "install", "key_medium", kKeyMedia, domain.keyMedium, result.error) ||
        !ReadChoice(*it, "install", "cpu", kCpus, domain.cpu, result.error)) {
      return result;
    }
  }
  if (const toml::node* rel = root.get("release")) {
    const std::optional<std::string> value = rel->value<std::string>();
    if (!value || (*value != "current" && *value != "older")) {
      result.error = "release: must be \"current\" or \"older\"";
      return result;
    }
    domain.release = *value == "older" ? Release::Older : Release::Current;
  }
  if (const toml::node* g = root.get("guarding")) {
    const toml::table* gt = g->as_table();
    if (gt == nullptr) {
      result.error = "guarding: must be a table";
      return result;
    }
    if (!r.Keys(*gt, "guarding", kGuardingKeys) ||
        !r.Int(*gt, "time_us", "guarding", domain.guardTimeUs, 1, 0x7FFFFFFFFFFFll) ||
        !r.Int(*gt, "life_factor", "guarding", domain.lifeFactor, 1, 255)) {
      result.error = r.error;
      return result;
    }
  }
  if (const toml::node* s = root.get("scm")) {
    const toml::table* st = s->as_table();
    if (st == nullptr) {
      result.error = "scm: must be a table";
      return result;
    }
    ScmDescription& scm = domain.scm;
    std::vector<i64> options;
    std::vector<i64> commissioning;
    std::vector<i64> configuration;
    if (!r.Keys(*st, "scm", kScmKeys) || !r.Int(*st, "time_base", "scm", scm.timeBase, -128, 127) ||
        !r.Int(*st, "ssdo_timeout", "scm", scm.ssdoTimeout, 0, 0xFFFFFFFFll) ||
        !r.Int(*st, "ssdo_retries", "scm", scm.ssdoRetries, 0, 255) ||
        !r.Int(*st, "snmt_timeout", "scm", scm.snmtTimeout, 0, 0xFFFFFFFFll) ||
        !r.Int(*st, "snmt_retries", "scm", scm.snmtRetries, 0, 255) ||
        !r.Ints(st->get("commissioning"), "scm.commissioning", commissioning, 0, 0xFFFFFFFFll) ||
        !r.Ints(st->get("configuration"), "scm.configuration", configuration, 0, 0xFFFFFFFFll)) {
      result.error = r.error;
      return result;
    }
    if (const toml::node* mo = st->get("machine_options")) {
      const toml::array* a = mo->as_array();
      for (std::size_t i = 0; a != nullptr && i < a->size(); ++i) {
        std::vector<i64> pair;
        const std::string field = "scm.machine_options[" + std::to_string(i) + "]";
        if (!r.Ints(a->get(i), field, pair, 0, 255)) {
          result.error = r.error;
          return result;
        }
        if (pair.size() != 2) {
          result.error = field + ": must be [number, value]";
          return result;
        }
        scm.machineOptions.emplace_back(static_cast<u8>(pair[0]), static_cast<u8>(pair[1]));
      }
      if (a == nullptr) {
        result.error = "scm.machine_options: must be an array of [number, value]";
        return result;
      }
    }
    if (st->get("commissioning") != nullptr) {
      if (commissioning.size() != 3) {
        result.error = "scm.commissioning: must hold 3 values";
        return result;
      }
      scm.commissioning = std::array<u32, 3>{};
      std::copy(commissioning.begin(), commissioning.end(), scm.commissioning->begin());
    }
    if (st->get("configuration") != nullptr) {
      if (configuration.size() != 4) {
        result.error = "scm.configuration: must hold 4 values";
        return result;
      }
      scm.configuration = std::array<u32, 4>{};
      std::copy(configuration.begin(), configuration.end(), scm.configuration->begin());
    }
  }
  if (const toml::node* nodes = root.get("node")) {
    const toml::array* a = nodes->as_array();
    if (a == nullptr || !a->is_array_of_tables()) {
      result.error = "node: must be an array of tables ([[node]])";
      return result;
    }
    for (std::size_t i = 0; i < a->size(); ++i) {
      NodeEntry entry;
      if (!ReadNode(r, *a->get(i)->as_table(), NodeInFile(i), domain, entry)) {
        result.error = r.error;
        return result;
      }
      domain.nodes.push_back(std::move(entry));
    }
  }
  std::vector<std::string> faults;
  if (!r.Strings(root, "faults", "", faults)) {
    result.error = r.error;
    return result;
  }
  for (const std::string& f : faults) {
    const std::string e = ApplyFaultOption(domain, f);
    if (!e.empty()) {
      result.error = "faults: " + e;
      return result;
    }
  }
  result.error = ValidateDomain(domain);
  if (result.error.empty()) {
    result.domain = std::move(domain);
  }
  return result;
}

}  // namespace

std::vector<std::string> DescriptionKeys() {
  std::vector<std::string> keys;
  const auto add = [&keys](const std::string& prefix, const std::set<std::string_view>& names,
                           std::initializer_list<std::string_view> tables) {
    for (std::string_view n : names) {
      if (std::find(tables.begin(), tables.end(), n) == tables.end()) keys.push_back(prefix + std::string(n));
    }
  };
  add("", kTopKeys, {"guarding", "node", "scm", "install"});
  add("guarding.", kGuardingKeys, {});
  add("install.", kInstallKeys, {});
  add("scm.", kScmKeys, {});
  add("node.", kNodeKeys, {"device"});
  add("node.device.", kDeviceKeys, {});
  return keys;
}

LoadResult ParseDomain(std::string_view text, std::string_view source) {
  LoadResult result = ParseFields(text, source);
  // every refusal names the file first (a syntax error already does)
  const std::string prefix = std::string(source) + ":";
  if (!result.error.empty() && result.error.compare(0, prefix.size(), prefix) != 0) {
    result.error = prefix + " " + result.error;
  }
  return result;
}

LoadResult LoadDomainFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    LoadResult r;
    r.error = path + ": cannot be read";
    return r;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ParseDomain(text.str(), path);
}

std::string ApplyFaultOption(Domain& domain, std::string_view option) {
  const std::size_t colon = option.find(':');
  if (colon == std::string_view::npos) {
    return "\"" + std::string(option) + "\" is not SADR:fault";
  }
  const std::string_view number = option.substr(0, colon);
  u32 sadr = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), sadr);
  if (ec != std::errc() || end != number.data() + number.size()) {
    return "\"" + std::string(option) + "\": \"" + std::string(number) + "\" is no SADR";
  }
  for (NodeEntry& n : domain.nodes) {
    if (n.sadr == sadr) {
      return SimNodes::ApplyFault(option.substr(colon + 1), n.device.faults);
    }
  }
  return "\"" + std::string(option) + "\": no node has SADR " + std::to_string(sadr);
}

std::string WriteDomain(const Domain& domain) {
  std::ostringstream o;
  char hex[16];
  const auto h32 = [&hex](u32 v) {
    std::snprintf(hex, sizeof hex, "0x%08X", v);
    return std::string(hex);
  };
  o << "# Safety domain description\n";
  o << "sdn = " << domain.sdn << "\n";
  o << "qor_udid = \"" << FormatUdid(domain.qorUdid) << "\"\n\n";
  if (domain.release == Release::Older) o << "release = \"older\"\n\n";
  if (domain.keyMedium != KeyMedium::Acknowledged || domain.cpu != InstalledCpu::Accepted) o << "[install]\n";
  if (domain.keyMedium == KeyMedium::OtherController) o << "key_medium = \"other-controller\"\n";
  if (domain.keyMedium == KeyMedium::FreshController) o << "key_medium = \"fresh-controller\"\n";
  if (domain.cpu == InstalledCpu::Exchanged) o << "cpu = \"exchanged\"\n";
  if (domain.keyMedium != KeyMedium::Acknowledged || domain.cpu != InstalledCpu::Accepted) o << "\n";
  o << "[guarding]\ntime_us = " << domain.guardTimeUs << "\nlife_factor = " << unsigned(domain.lifeFactor) << "\n";
  const ScmDescription& scm = domain.scm;
  o << "\n[scm]\ntime_base = " << scm.timeBase << "\nssdo_timeout = " << scm.ssdoTimeout
    << "\nssdo_retries = " << unsigned(scm.ssdoRetries) << "\nsnmt_timeout = " << scm.snmtTimeout
    << "\nsnmt_retries = " << unsigned(scm.snmtRetries) << "\n";
  if (!scm.machineOptions.empty()) {
    o << "machine_options = [";
    for (std::size_t i = 0; i < scm.machineOptions.size(); ++i) {
      o << (i ? ", " : "") << "[" << unsigned(scm.machineOptions[i].first) << ", "
        << unsigned(scm.machineOptions[i].second) << "]";
    }
    o << "]\n";
  }
  if (scm.commissioning) {
    o << "commissioning = [" << (*scm.commissioning)[0] << ", " << (*scm.commissioning)[1] << ", "
      << (*scm.commissioning)[2] << "]\n";
  }
  if (scm.configuration) {
    o << "configuration = [" << (*scm.configuration)[0] << ", " << (*scm.configuration)[1] << ", "
      << (*scm.configuration)[2] << ", " << (*scm.configuration)[3] << "]\n";
  }
  for (const NodeEntry& n : domain.nodes) {
    const SimNodes::NodeConfig& d = n.device;
    o << "\n[[node]]\n";
    o << "sadr = " << n.sadr << "\n";
    o << "udid = \"" << FormatUdid(n.udid) << "\"\n";
    o << "vendor_id = " << h32(n.vendorId) << "\n";
    o << "product_code = " << h32(n.productCode) << "\n";
    o << "revision = " << h32(n.revision) << "\n";
    o << "timestamp = " << h32(n.timestamp) << "\n";
    o << "checksum = \"" << FormatHex(n.checksum) << "\"\n";
    o << "parameter_set = \"" << FormatHex(n.parameterSet) << "\"\n";
    o << "payload_length = " << n.payloadLength << "\n";
    o << "flags = " << h32(n.flags) << "\n";
    o << "poll_time = " << n.pollTime << "\n";
    for (const auto& [key, mark] : {std::pair{"optional", n.optional}, std::pair{"required_at_startup", n.requiredAtStartup},
                                    std::pair{"not_processed", n.notProcessed},
                                    std::pair{"auto_configured", n.autoConfigured}}) {
      if (mark) {
        o << key << " = true\n";
      }
    }
    if (!n.additionalSadrs.empty()) {
      o << "additional_sadrs = [";
      for (std::size_t i = 0; i < n.additionalSadrs.size(); ++i) {
        o << (i ? ", " : "") << n.additionalSadrs[i];
      }
      o << "]\n";
    }
    if (!n.additionalSetTimestamps.empty()) {
      o << "additional_set_timestamps = [";
      for (std::size_t i = 0; i < n.additionalSetTimestamps.size(); ++i) {
        o << (i ? ", " : "") << h32(n.additionalSetTimestamps[i]);
      }
      o << "]\n";
    }
    if (!n.additionalSets.empty()) {
      o << "additional_sets = [";
      for (std::size_t i = 0; i < n.additionalSets.size(); ++i) {
        o << (i ? ", " : "") << "\"" << FormatHex(n.additionalSets[i]) << "\"";
      }
      o << "]\n";
    }
    const std::vector<std::string> faults = SimNodes::DescribeFaults(d.faults);
    if (!faults.empty()) {
      o << "faults = [";
      for (std::size_t i = 0; i < faults.size(); ++i) {
        o << (i ? ", " : "") << "\"" << faults[i] << "\"";
      }
      o << "]\n";
    }
    o << "[node.device]\n";
    o << "position = " << d.position << "\n";
    o << "udid = \"" << FormatUdid(d.udid) << "\"\n";
    o << "vendor_id = " << h32(d.vendorId) << "\n";
    o << "product_code = " << h32(d.productCode) << "\n";
    o << "revision = " << h32(d.revision) << "\n";
    if (d.initialTimestamp) {
      o << "timestamp = " << h32(*d.initialTimestamp) << "\n";
    }
    if (d.initialChecksum) {
      o << "checksum = \"" << FormatHex(*d.initialChecksum) << "\"\n";
    }
    o << "payload_limit = " << d.payloadLimit << "\n";
    o << "preload_window = " << unsigned(d.preloadWindow) << "\n";
    o << "busy_answers = " << d.busyAnswers << "\n";
    o << "reset_guarding = " << (d.resetGuarding ? "true" : "false") << "\n";
    o << "reset_guard_interval_us = " << d.resetGuardIntervalUs << "\n";
    o << "reset_guard_limit = " << unsigned(d.resetGuardLimit) << "\n";
    if (d.askAdditional) {
      o << "ask_additional = " << unsigned(d.askAdditional->code) << "\n";
    }
  }
  return o.str();
}

std::string DefaultDomainPath() { return SCM_DEFAULT_DOMAIN_FILE; }

ScenarioResult LoadScenarioFile(const std::string& path) {
  ScenarioResult result;
  toml::table root;
  try {
    root = toml::parse_file(path);
  } catch (const toml::parse_error& e) {
    std::ostringstream msg;
    msg << path << ":" << e.source().begin.line << ":" << e.source().begin.column << ": " << e.description();
    result.error = msg.str();
    return result;
  }
  Reader r;
  if (!r.Keys(root, "", {"scenario"})) {
    result.error = r.error;
    return result;
  }
  const toml::array* a = root.get("scenario") != nullptr ? root.get("scenario")->as_array() : nullptr;
  if (a == nullptr || !a->is_array_of_tables()) {
    result.error = "scenario: must be an array of tables ([[scenario]])";
    return result;
  }
  for (std::size_t i = 0; i < a->size(); ++i) {
    const toml::table& t = *a->get(i)->as_table();
    const std::string where = "scenario[" + std::to_string(i) + "]";
    Scenario s;
    const std::optional<std::string_view> name = t["name"].value<std::string_view>();
    const std::optional<std::string_view> outcome = t["outcome"].value<std::string_view>();
    if (!r.Keys(t, where, {"name", "description", "faults", "wire_faults", "operator", "outcome", "domain"}) ||
        !r.Strings(t, "faults", where, s.faults) || !r.Strings(t, "wire_faults", where, s.wireFaults) ||
        !r.Strings(t, "operator", where, s.operatorSteps)) {
      result.error = r.error;
      return result;
    }
    if (!name || name->empty()) {
      result.error = where + ".name: missing";
      return result;
    }
    if (!outcome || (*outcome != "operational" && *outcome != "not-operational")) {
      result.error = where + ".outcome: must be \"operational\" or \"not-operational\"";
      return result;
    }
    s.name = *name;
    s.description = t["description"].value_or(std::string_view{});
    s.operational = *outcome == "operational";
    if (const std::optional<std::string_view> domain = t["domain"].value<std::string_view>()) {
      if (domain->empty()) {
        result.error = where + ".domain: must name a description file";
        return result;
      }
      s.domain = (std::filesystem::path(path).parent_path() / std::string(*domain)).string();
    } else if (t.get("domain") != nullptr) {
      result.error = where + ".domain: must be a string";
      return result;
    }
    result.scenarios.push_back(std::move(s));
  }
  return result;
}

std::string DefaultScenariosPath() { return SCM_CI_SCENARIOS_FILE; }

}  // namespace SimDomain
