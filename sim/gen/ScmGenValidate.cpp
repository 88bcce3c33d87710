// The rules a domain must meet before its files are written: each names the
// field that breaks it.
#include <set>
#include <sstream>
#include <tuple>
#include <utility>

#include "ScmGen.h"
#include "ScmGenFormat.h"

namespace ScmGen {

namespace {

/// Builds a message from streamable parts.
template <typename... Parts>
std::string Msg(const Parts&... parts) {
  std::ostringstream out;
  (out << ... << parts);
  return out.str();
}

std::string CheckScm(const ScmSettings& s, Layout layout) {
  if (s.guardTime < 60000 || s.guardTime > 600000) {
    // The object holds CT ticks of the time base; the description gives microseconds.
    return Msg("guarding.time_us: ", s.guardTime, " CT ticks of time base ", s.timeBase, " is outside 60000 to 600000 ticks");
  }
  if (s.lifeTimeFactor < 1) {
    return Msg("guarding.life_factor: ", unsigned{s.lifeTimeFactor}, " is outside 1 to 255");
  }
  if (s.timeBase < 0 || s.timeBase > 3) {
    return Msg("scm.time_base: ", s.timeBase, " is outside 0 to 3");
  }
  if (s.ssdoTimeout < 1 || s.ssdoTimeout > 65535) {
    return Msg("scm.ssdo_timeout: ", s.ssdoTimeout, " is outside 1 to 65535");
  }
  if (s.snmtTimeout < 1) {
    return Msg("scm.snmt_timeout: 0 is below 1");
  }
  std::set<unsigned> options;
  for (const auto& o : s.machineOptions) {
    if (o.number < 1 || o.number > 32) {
      return Msg("scm.machine_options: number ", unsigned{o.number}, " is outside 1 to 32");
    }
    if (!options.insert(o.number).second) {
      return Msg("scm.machine_options: number ", unsigned{o.number}, " is given twice");
    }
  }
  if (s.commissioning && layout == Layout::Older) {
    return Msg("scm.commissioning: the older release has no commissioning settings (0x210B)");
  }
  if (s.configuration) {
    if (s.configuration->startupFlagsActive > 1) {
      return Msg("scm.configuration: start-up flags active ", s.configuration->startupFlagsActive, " is neither 0 nor 1");
    }
    if (s.configuration->scansAtStartup < 1 || s.configuration->scansAtStartup > 10) {
      return Msg("scm.configuration: scans at start-up ", s.configuration->scansAtStartup, " is outside 1 to 10");
    }
  }
  return {};
}

std::string CheckNode(const Node& n, std::set<std::uint16_t>& sadrs) {
  const std::string at = Msg("node(SADR ", n.sadr, ").");
  if (n.sadr < 1 || n.sadr > kMaxNodeSadr) {
    return Msg(at, "sadr: ", n.sadr, " is outside 1 to ", kMaxNodeSadr);
  }
  if (!sadrs.insert(n.sadr).second) {
    return Msg(at, "sadr: duplicate SADR ", n.sadr);
  }
  if (n.ssdoPayloadLength < kMinSsdoPayload || n.ssdoPayloadLength > kMaxSsdoPayload) {
    return Msg(at, "payload_length: ", n.ssdoPayloadLength, " is outside ", kMinSsdoPayload, " to ",
               kMaxSsdoPayload, " bytes");
  }
  if (n.checksum.size() < 4 || n.checksum.size() > 256 || n.checksum.size() % 4 != 0) {
    return Msg(at, "checksum: ", n.checksum.size(), " bytes, must be 4 to 256 and a multiple of 4");
  }
  if (n.parameterSet.size() > kDomainMax) {
    return Msg(at, "parameter_set: ", n.parameterSet.size(), " bytes, at most ", kDomainMax);
  }
  if (int{n.optional} + int{n.requiredAtStartup} + int{n.notProcessed} > 1) {
    return Msg(at, "marks: SADR ", n.sadr, " is marked in more than one of optional, required at start-up and not processed");
  }
  return {};
}

std::string CheckAdditionalSadrs(const Domain& d, const std::set<std::uint16_t>& nodeSadrs) {
  std::set<std::uint16_t> seen;
  for (size_t i = 0; i < d.nodes.size(); ++i) {
    for (const auto a : d.nodes[i].additionalSadrs) {
      const std::string at = Msg("node(SADR ", d.nodes[i].sadr, ").additional_sadrs: ");
      if (a < 1 || a > kMaxNodeSadr) {
        return Msg(at, a, " is outside 1 to ", kMaxNodeSadr);
      }
      if (nodeSadrs.count(a) != 0 || !seen.insert(a).second) {
        return Msg(at, "duplicate SADR ", a);
      }
    }
  }
  return {};
}

std::string CheckSets(const Domain& d, const std::set<std::uint16_t>& nodeSadrs) {
  // Each file carries a SADR's set number once; the two files may both carry it. The
  // older layout has the node list alone.
  std::set<std::tuple<std::uint16_t, std::uint8_t, bool>> seen;
  for (size_t i = 0; i < d.sets.size(); ++i) {
    const auto& s = d.sets[i];
    const std::string at = s.origin.empty() ? Msg("set[", i, "].") : s.origin + ".";
    if (s.sadr == 1 || nodeSadrs.count(s.sadr) == 0) {
      return Msg(at, "sadr: ", s.sadr, " is not the SADR of a node-list node other than 1");
    }
    if (s.number < 1 || s.number > 15) {
      return Msg(at, "number: ", unsigned{s.number}, " is outside 1 to 15");
    }
    if (!seen.insert({s.sadr, s.number, s.inNodeList || d.layout == Layout::Older}).second) {
      return Msg(at, "number: set ", unsigned{s.number}, " of SADR ", s.sadr, " is given twice");
    }
    if (s.payload.size() + kEntryHeaderSize > kDomainMax) {
      return Msg(at, "payload: ", s.payload.size(), " bytes, at most ", kDomainMax - kEntryHeaderSize);
    }
  }
  return {};
}

/// True when the bit of sadr is set in a module-flag array (bit SADR mod 8 of byte SADR div 8).
bool FlagSet(const Bytes& array, std::uint16_t sadr) {
  const std::size_t at = sadr / 8u;
  return at < array.size() && (array[at] & (1u << (sadr % 8u))) != 0;
}

std::string CheckAutoCnf(const AutoCnf& a, Layout layout) {
  if (a.udids.size() > MaxAutoUdids(layout)) {
    return Msg("autocnf.udids: ", a.udids.size(), " entries, at most ", MaxAutoUdids(layout));
  }
  if (!a.udidSection && !a.udids.empty()) {
    return Msg("autocnf.udids: entries without a UDID section");
  }
  std::set<std::uint16_t> sadrs;
  for (std::size_t i = 0; i < a.udids.size(); ++i) {
    const std::uint16_t sadr = a.udids[i].sadr;
    if (sadr < 1 || sadr > kSadrCount) {
      return Msg("autocnf.udids[", i, "].sadr: ", sadr, " is outside 1 to ", kSadrCount);
    }
    if (!sadrs.insert(sadr).second) {
      return Msg("autocnf.udids[", i, "].sadr: duplicate SADR ", sadr);
    }
  }
  if (a.oldLayout) {
    if (a.timestamp != 0 || a.machineOptions || a.moduleFlags || !a.udidSection) {
      return Msg("autocnf.old_layout: holds the UDID section alone, with no time stamp");
    }
    return {};
  }
  if (a.machineOptions && a.machineOptions->size() != kMachineOptionSize) {
    return Msg("autocnf.machine_options: ", a.machineOptions->size(), " bytes, must be ", kMachineOptionSize);
  }
  if (a.moduleFlags) {
    const ModuleFlags& m = *a.moduleFlags;
    for (const auto& [name, array] : {std::pair{"optional", &m.optional}, std::pair{"startup", &m.startup},
                                      std::pair{"no_process", &m.noProcess}}) {
      if (array->size() > kFlagArraySize) {
        return Msg("autocnf.module_flags.", name, ": ", array->size(), " bytes, at most ", kFlagArraySize);
      }
    }
    for (std::uint16_t sadr = 1; sadr <= kSadrCount; ++sadr) {
      const int marks = FlagSet(m.optional, sadr) + FlagSet(m.startup, sadr) +
                        (m.threeArrays && FlagSet(m.noProcess, sadr));
      if (marks > 1) {
        return Msg("autocnf.module_flags: SADR ", sadr, " is marked in more than one array");
      }
    }
  }
  return {};
}

/// The firmware accepts UDIDs only for auto-configured nodes and module-flag marks only
/// for SADRs of its node list.
std::string CheckAutoCnfAgainstNodes(const AutoCnf& a, const std::vector<Node>& nodes) {
  std::set<std::uint16_t> listed;
  std::set<std::uint16_t> autoConfigured;
  for (const Node& n : nodes) {
    listed.insert(n.sadr);
    if (n.autoConfigured) {
      autoConfigured.insert(n.sadr);
    }
  }
  for (std::size_t i = 0; i < a.udids.size(); ++i) {
    if (autoConfigured.count(a.udids[i].sadr) == 0) {
      return Msg("autocnf.udids[", i, "].sadr: ", a.udids[i].sadr, " is not an auto-configured node");
    }
  }
  if (a.moduleFlags) {
    const ModuleFlags& m = *a.moduleFlags;
    for (const auto& [name, array] : {std::pair{"optional", &m.optional}, std::pair{"startup", &m.startup},
                                      std::pair{"no_process", &m.noProcess}}) {
      for (std::uint16_t sadr = 1; sadr <= kSadrCount; ++sadr) {
        if (FlagSet(*array, sadr) && listed.count(sadr) == 0) {
          return Msg("autocnf.module_flags.", name, ": SADR ", sadr, " is not in the node list");
        }
      }
    }
  }
  return {};
}

/// The firmware takes the machine-option and module-flag sections only when the configuration
/// data require them, and goes fail-safe over a section that is missing or not required (the
/// older firmware counts the module flags valid after every load: a missing section is no error).
std::string CheckAutoCnfAgainstConfiguration(const AutoCnf& a, const ScmSettings& s, Layout layout) {
  const bool optionsRequired = s.configuration && s.configuration->machineOptionsActive != 0;
  const bool flagsRequired = s.configuration && s.configuration->startupFlagsActive == 1;
  if (a.machineOptions.has_value() != optionsRequired) {
    return Msg("autocnf.machine_options: ", optionsRequired ? "missing, but" : "present, but not",
               " required by scm.configuration");
  }
  if (a.moduleFlags.has_value() != flagsRequired && !(layout == Layout::Older && flagsRequired)) {
    return Msg("autocnf.module_flags: ", flagsRequired ? "missing, but" : "present, but not",
               " required by scm.configuration");
  }
  return {};
}

std::string CheckFwRevCnf(const FwRevCnf& f, Layout layout) {
  std::uint16_t last = 0;
  for (std::size_t i = 0; i < f.entries.size(); ++i) {
    const std::uint16_t sadr = f.entries[i].sadr;
    if (sadr < 1 || sadr > kSadrCount) {
      return Msg("fwrevcnf.entries[", i, "].sadr: ", sadr, " is outside 1 to ", kSadrCount);
    }
    if (sadr <= last) {
      return Msg("fwrevcnf.entries[", i, "].sadr: ", sadr, " does not ascend");
    }
    last = sadr;
  }
  const std::uint16_t known = FwRevKnownFlags(layout);
  if ((f.flags & kFwRevAlwaysFlags) != kFwRevAlwaysFlags || (f.flags & ~known) != 0) {
    return Msg("fwrevcnf.flags: 0x", std::hex, f.flags, " must hold 0x06 and no bit above 0x", (known + 1) / 2,
               layout == Layout::Older ? " (the older release has no 0x08 and 0x10)" : "");
  }
  return {};
}

std::string CheckCorvaneUid(const CorvaneUid& c) {
  if (c.time >> kCorvaneUidTimeBits != 0) {
    return Msg("corvane_uid.time: ", c.time, " has more than ", kCorvaneUidTimeBits, " bits");
  }
  return {};
}

}  // namespace

std::string Validate(const Domain& d) {
  if (std::string e = CheckScm(d.scm, d.layout); !e.empty()) {
    return e;
  }
  if (d.nodes.empty() || d.nodes.size() > MaxNodes(d.layout)) {
    return Msg("node: ", d.nodes.size(), " nodes, must be 1 to ", MaxNodes(d.layout));
  }
  std::set<std::uint16_t> sadrs;
  for (size_t i = 0; i < d.nodes.size(); ++i) {
    if (std::string e = CheckNode(d.nodes[i], sadrs); !e.empty()) {
      return e;
    }
  }
  if (std::string e = CheckAdditionalSadrs(d, sadrs); !e.empty()) {
    return e;
  }
  if (std::string e = CheckSets(d, sadrs); !e.empty()) {
    return e;
  }
  if (d.sdn && (*d.sdn < 1 || *d.sdn > 1023)) {
    return Msg("sdn: ", *d.sdn, " is outside 1 to 1023");
  }
  if (d.autoCnf) {
    if (std::string e = CheckAutoCnf(*d.autoCnf, d.layout); !e.empty()) {
      return e;
    }
    if (std::string e = CheckAutoCnfAgainstNodes(*d.autoCnf, d.nodes); !e.empty()) {
      return e;
    }
    if (std::string e = CheckAutoCnfAgainstConfiguration(*d.autoCnf, d.scm, d.layout); !e.empty()) {
      return e;
    }
  }
  if (d.fwRevCnf) {
    if (std::string e = CheckFwRevCnf(*d.fwRevCnf, d.layout); !e.empty()) {
      return e;
    }
  }
  if (d.corvaneUid) {
    return CheckCorvaneUid(*d.corvaneUid);
  }
  return {};
}

}  // namespace ScmGen
