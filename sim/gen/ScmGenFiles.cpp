// The files of a domain and their atomic writing.
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>

#include "ScmGen.h"
#include "ScmGenBuild.h"
#include "ScmGenFormat.h"

namespace ScmGen {

void PutU16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  PutU16(b, at, static_cast<std::uint16_t>(v));
  PutU16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

namespace {

Bytes Le16(std::uint16_t v) { return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; }
Bytes Le32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}
Bytes Le8(std::uint8_t v) { return {v}; }

/// The SCM's own records.
void ScmRecords(Bytes& out, const ScmSettings& s) {
  AppendRecord(out, 0x100C, 1, Le32(s.guardTime));
  AppendRecord(out, 0x100C, 2, Le8(s.lifeTimeFactor));
  AppendRecord(out, 0x1200, 3, Le8(static_cast<std::uint8_t>(s.timeBase)));
  AppendRecord(out, 0x1201, 1, Le32(s.ssdoTimeout));
  AppendRecord(out, 0x1201, 2, Le8(s.ssdoRetries));
  AppendRecord(out, 0x1202, 1, Le32(s.snmtTimeout));
  AppendRecord(out, 0x1202, 2, Le8(s.snmtRetries));
  auto options = s.machineOptions;
  std::sort(options.begin(), options.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
  for (const auto& o : options) {
    AppendRecord(out, 0x2100, o.number, Le8(o.value));
  }
  if (s.configuration) {
    AppendRecord(out, 0x2106, 4, Le32(s.configuration->machineOptionsActive));
    AppendRecord(out, 0x2106, 5, Le32(s.configuration->startupFlagsActive));
    AppendRecord(out, 0x2106, 6, Le32(s.configuration->remoteActive));
    AppendRecord(out, 0x2106, 7, Le32(s.configuration->scansAtStartup));
  }
  if (s.commissioning) {
    for (std::uint8_t i = 0; i < 3; ++i) {
      AppendRecord(out, 0x210B, static_cast<std::uint8_t>(i + 1), Le32((*s.commissioning)[i]));
    }
  }
}

/// The module marks of the nodes as the four 128-byte arrays 0x2106/1, /2, /3 and /8, in the
/// older layout 0xD000/1 to /4 (bit SADR mod 8 of byte SADR div 8); written only when a node
/// carries a mark.
void ModuleMarkRecords(Bytes& out, const std::vector<Node>& nodes, Layout layout) {
  Bytes arrays[4] = {Bytes(128), Bytes(128), Bytes(128), Bytes(128)};
  bool any = false;
  for (const Node& n : nodes) {
    const bool marks[4] = {n.optional, n.requiredAtStartup, n.notProcessed, n.autoConfigured};
    for (std::size_t a = 0; a < 4; ++a) {
      if (marks[a] && n.sadr / 8u < 128u) {
        arrays[a][n.sadr / 8u] = static_cast<std::uint8_t>(arrays[a][n.sadr / 8u] | (1u << (n.sadr % 8u)));
        any = true;
      }
    }
  }
  if (!any) {
    return;
  }
  const bool older = layout == Layout::Older;
  const std::uint8_t subs[4] = {1, 2, 3, static_cast<std::uint8_t>(older ? 4 : 8)};
  for (std::size_t a = 0; a < 4; ++a) {
    AppendRecord(out, older ? kModuleMarkIndexOlder : kModuleMarkIndex, subs[a], arrays[a]);
  }
}

/// The records of node-list object 0xC400 + i, sub-indices ascending.
void NodeRecords(Bytes& out, const Node& n, std::uint16_t index) {
  AppendRecord(out, index, 1, Le16(n.sadr));
  AppendRecord(out, index, 2, Le32(n.vendorId));
  AppendRecord(out, index, 3, Le32(n.productCode));
  AppendRecord(out, index, 4, Le32(n.revision));
  AppendRecord(out, index, 7, Le32(n.timestamp));
  AppendRecord(out, index, 8, Le16(n.ssdoPayloadLength));
  AppendRecord(out, index, 9, Le32(n.pollTime));
  AppendRecord(out, index, 10, Le32(static_cast<std::uint32_t>(n.parameterSet.size())));
  AppendRecord(out, index, 11, n.parameterSet);
  AppendRecord(out, index, 12, Le32(n.flags));
  AppendRecord(out, index, 14, n.checksum);
  AppendRecord(out, index, 15, Bytes(n.checksum.size(), 0));
}

/// The parameter area of "kel_para.saf".
Bytes ParameterArea(const Domain& d) {
  Bytes area;
  ScmRecords(area, d.scm);
  ModuleMarkRecords(area, d.nodes, d.layout);
  for (std::size_t i = 0; i < d.nodes.size(); ++i) {
    NodeRecords(area, d.nodes[i], static_cast<std::uint16_t>(0xC400 + i));
  }
  // Each additional SADR gets its main SADR and its TxSPDO number: a node's
  // TxSPDO 1 is its own, so its additional SADRs take 2, 3, ... in the order
  // described (the SNMT master refuses to assign one outside 2..1023).
  struct Additional {
    std::uint16_t sadr;    ///< the additional SADR
    std::uint16_t main;    ///< the node's own SADR
    std::uint16_t txSpdo;  ///< its TxSPDO number
  };
  std::vector<Additional> additional;
  for (const auto& n : d.nodes) {
    std::uint16_t txSpdo = 2;
    for (const auto a : n.additionalSadrs) {
      additional.push_back({a, n.sadr, txSpdo++});
    }
  }
  std::sort(additional.begin(), additional.end(),
            [](const Additional& x, const Additional& y) { return x.sadr < y.sadr; });
  for (const auto& a : additional) {
    const auto index = static_cast<std::uint16_t>(0xC800 + a.sadr);
    AppendRecord(area, index, 1, Le16(a.main));
    AppendRecord(area, index, 2, Le16(a.txSpdo));
  }
  // The node list's additional sets: object 0xE3FF + SADR, sub-index number + 1,
  // each the 16-byte entry header and the payload, as "pardata1.bin" carries them.
  // The older layout has no "pardata1.bin": every set is the node list's.
  std::vector<const AdditionalSet*> listed;
  for (const auto& s : d.sets) {
    if (s.inNodeList || d.layout == Layout::Older) {
      listed.push_back(&s);
    }
  }
  std::sort(listed.begin(), listed.end(), [](const AdditionalSet* x, const AdditionalSet* y) {
    return x->sadr != y->sadr ? x->sadr < y->sadr : x->number < y->number;
  });
  for (const AdditionalSet* s : listed) {
    AppendRecord(area, static_cast<std::uint16_t>(kAddParBase + s->sadr), static_cast<std::uint8_t>(s->number + 1),
                 ParData1Entry(s->number, s->sadr, s->payload, s->timestamp));
  }
  return area;
}

Bytes CorvaneDat(const Domain& d) {
  std::vector<UdidEntry> udids;
  for (const auto& n : d.nodes) {
    udids.push_back({n.sadr, n.udid});
  }
  return CorvaneDatFile(CorvaneDatAllRecords(udids));
}

/// "pardata1.bin" of the sets outside the node list; none when there is no such set
/// or the layout has no such file.
std::optional<Bytes> ParData1(const Domain& d) {
  if (d.layout == Layout::Older) {
    return std::nullopt;
  }
  Bytes data;
  std::uint16_t count = 0;
  for (const auto& s : d.sets) {
    if (!s.inNodeList) {
      ByteWriter(data).Append(ParData1Entry(s.number, s.sadr, s.payload, s.timestamp));
      ++count;
    }
  }
  if (count == 0) {
    return std::nullopt;
  }
  return ParData1File(data, count, 0);
}

/// Bytes a file takes in the firmware's file space.
std::size_t Rounded(std::size_t n) { return (n + 3) & ~static_cast<std::size_t>(3); }

}  // namespace

Result Generate(const Domain& domain) {
  Result r;
  r.error = Validate(domain);
  if (!r.error.empty()) {
    return r;
  }
  if (domain.sets.size() > 0xFFFF) {
    r.error = "additional_sets: more than 65535 sets";
    return r;
  }
  r.files.kelParaSaf = KelParaSafFile(ParameterArea(domain));
  r.files.corvaneDat = CorvaneDat(domain);
  r.files.parData1 = ParData1(domain);
  if (domain.autoCnf) {
    r.files.autoCnf = AutoCnfBin(*domain.autoCnf);
  }
  if (domain.fwRevCnf) {
    r.files.fwRevCnf = FwRevCnfBin(*domain.fwRevCnf);
  }
  if (domain.corvaneUid) {
    r.files.corvaneUid = CorvaneUidFile(*domain.corvaneUid);
  }
  const std::size_t parSize = r.files.parData1 ? r.files.parData1->size() : 0;
  std::ostringstream msg;
  if (parSize > kParData1Max) {
    msg << "additional_sets: \"" << kParData1Name << "\" would have " << parSize << " bytes, at most " << kParData1Max;
  } else if (Rounded(r.files.kelParaSaf.size()) + Rounded(parSize) > kSafeSpaceSize) {
    msg << "node: \"" << kKelParaSafName << "\" (" << r.files.kelParaSaf.size() << " bytes) and \"" << kParData1Name
        << "\" (" << parSize << " bytes) exceed the safe file space of " << kSafeSpaceSize << " bytes";
  }
  r.error = msg.str();
  if (!r.error.empty()) {
    r.files = FileSet{};
  }
  return r;
}

std::string WriteNamedFiles(const std::vector<NamedBytes>& items, const std::filesystem::path& dir) {
  const std::string suffix = ".tmp-" + std::to_string(getpid());
  std::vector<std::filesystem::path> written;
  auto discard = [&written] {
    std::error_code ec;
    for (const auto& p : written) {
      std::filesystem::remove(p, ec);
    }
  };
  for (const auto& item : items) {
    const auto tmp = dir / (std::string(item.name) + suffix);
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    written.push_back(tmp);
    out.write(reinterpret_cast<const char*>(item.bytes->data()), static_cast<std::streamsize>(item.bytes->size()));
    out.close();
    if (!out) {
      discard();
      return "cannot write " + tmp.string();
    }
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::error_code ec;
    std::filesystem::rename(written[i], dir / items[i].name, ec);
    if (ec) {
      discard();
      return "cannot rename into " + (dir / items[i].name).string() + ": " + ec.message();
    }
  }
  return {};
}

std::string WriteFileSet(const FileSet& files, const std::filesystem::path& dir) {
  std::vector<NamedBytes> items = {{kKelParaSafName, &files.kelParaSaf}, {kCorvaneDatName, &files.corvaneDat}};
  for (const auto& [name, bytes] : {std::pair{kParData1Name, &files.parData1}, std::pair{kAutoCnfName, &files.autoCnf},
                                     std::pair{kFwRevCnfName, &files.fwRevCnf},
                                     std::pair{kCorvaneUidName, &files.corvaneUid}}) {
    if (*bytes) {
      items.push_back({name, &**bytes});
    }
  }
  const std::string error = WriteNamedFiles(items, dir);
  if (!error.empty()) {
    return error;
  }
  if (!files.parData1) {
    std::error_code ec;
    std::filesystem::remove(dir / kParData1Name, ec);
  }
  return {};
}

std::string GenerateInto(const Domain& domain, const std::filesystem::path& dir) {
  const Result r = Generate(domain);
  if (!r.error.empty()) {
    return r.error;
  }
  return WriteFileSet(r.files, dir);
}

}  // namespace ScmGen
