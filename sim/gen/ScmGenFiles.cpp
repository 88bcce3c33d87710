// The three files of a domain and their atomic writing.
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>

#include "HNFiff_Crc.h"
#include "ScmGen.h"
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

/// Number of block CRCs of an area.
std::uint32_t BlockCount(std::size_t length) { return static_cast<std::uint32_t>((length + kCrcBlock - 1) / kCrcBlock); }

/// One CRC-32 (seed 0) per 16 KiB block of an area.
void AppendBlockCrcs(Bytes& out, const Bytes& area) {
  ByteWriter w(out);
  for (std::size_t at = 0; at < area.size(); at += kCrcBlock) {
    const std::size_t n = std::min<std::size_t>(kCrcBlock, area.size() - at);
    w.U32(HNFiff_Crc32CalcSwp(0, static_cast<std::int32_t>(n), area.data() + at));
  }
}

/// Appends one parameter record.
void Record(Bytes& out, std::uint16_t index, std::uint8_t sub, const Bytes& data) {
  ByteWriter w(out);
  w.U16(index);
  w.U8(sub);
  w.U32(static_cast<std::uint32_t>(data.size()));
  w.Append(data);
}

Bytes Le16(std::uint16_t v) { return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; }
Bytes Le32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}
Bytes Le8(std::uint8_t v) { return {v}; }

/// The SCM's own records.
void ScmRecords(Bytes& out, const ScmSettings& s) {
  Record(out, 0x100C, 1, Le32(s.guardTime));
  Record(out, 0x100C, 2, Le8(s.lifeTimeFactor));
  Record(out, 0x1200, 3, Le8(static_cast<std::uint8_t>(s.timeBase)));
  Record(out, 0x1201, 1, Le32(s.ssdoTimeout));
  Record(out, 0x1201, 2, Le8(s.ssdoRetries));
  Record(out, 0x1202, 1, Le32(s.snmtTimeout));
  Record(out, 0x1202, 2, Le8(s.snmtRetries));
  auto options = s.machineOptions;
  std::sort(options.begin(), options.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
  for (const auto& o : options) {
    Record(out, 0x2100, o.number, Le8(o.value));
  }
  if (s.configuration) {
    Record(out, 0x2106, 4, Le32(s.configuration->machineOptionsActive));
    Record(out, 0x2106, 5, Le32(s.configuration->startupFlagsActive));
    Record(out, 0x2106, 6, Le32(s.configuration->remoteActive));
    Record(out, 0x2106, 7, Le32(s.configuration->scansAtStartup));
  }
  if (s.commissioning) {
    for (std::uint8_t i = 0; i < 3; ++i) {
      Record(out, 0x210B, static_cast<std::uint8_t>(i + 1), Le32((*s.commissioning)[i]));
    }
  }
}

/// The records of node-list object 0xC400 + i, sub-indices ascending.
void NodeRecords(Bytes& out, const Node& n, std::uint16_t index) {
  Record(out, index, 1, Le16(n.sadr));
  Record(out, index, 2, Le32(n.vendorId));
  Record(out, index, 3, Le32(n.productCode));
  Record(out, index, 4, Le32(n.revision));
  Record(out, index, 7, Le32(n.timestamp));
  Record(out, index, 8, Le16(n.ssdoPayloadLength));
  Record(out, index, 9, Le32(n.pollTime));
  Record(out, index, 10, Le32(static_cast<std::uint32_t>(n.parameterSet.size())));
  Record(out, index, 11, n.parameterSet);
  Record(out, index, 12, Le32(n.flags));
  Record(out, index, 14, n.checksum);
  Record(out, index, 15, Bytes(n.checksum.size(), 0));
}

/// The parameter area of "kel_para.saf".
Bytes ParameterArea(const Domain& d) {
  Bytes area;
  ScmRecords(area, d.scm);
  for (std::size_t i = 0; i < d.nodes.size(); ++i) {
    NodeRecords(area, d.nodes[i], static_cast<std::uint16_t>(0xC400 + i));
  }
  std::vector<std::pair<std::uint16_t, std::uint16_t>> additional;
  for (const auto& n : d.nodes) {
    for (const auto a : n.additionalSadrs) {
      additional.emplace_back(a, n.sadr);
    }
  }
  std::sort(additional.begin(), additional.end());
  for (const auto& [sadr, main] : additional) {
    Record(area, static_cast<std::uint16_t>(0xC800 + sadr), 1, Le16(main));
  }
  return area;
}

Bytes KelParaSaf(const Domain& d) {
  const Bytes area = ParameterArea(d);
  const std::uint32_t crcs = BlockCount(area.size());
  Bytes f(kHeaderSize, 0);
  const auto areaLen = static_cast<std::uint32_t>(area.size());
  PutU16(f, 0, kHeaderSize);
  PutU16(f, 2, 0x0200);
  PutU32(f, 4, kHeaderSize + areaLen + 4 * crcs);
  PutU32(f, 8, kHeaderSize);   // first data area: empty
  PutU32(f, 12, 0);
  PutU32(f, 16, kHeaderSize);
  PutU32(f, 20, 0);
  PutU32(f, 28, kHeaderSize);  // parameter area and its CRC list right behind it
  PutU32(f, 32, areaLen);
  PutU32(f, 36, kHeaderSize + areaLen);
  PutU32(f, 40, crcs);
  PutU32(f, 44, 257);
  PutU16(f, 62, HNFiff_Crc16_755B_CalcSwp(0, 62, f.data()));
  ByteWriter(f).Append(area);
  AppendBlockCrcs(f, area);
  return f;
}

Bytes CorvaneDat(const Domain& d) {
  std::vector<Udid> udids(kSadrCount, Udid{});
  for (const auto& n : d.nodes) {
    udids[n.sadr - 1] = n.udid;
  }
  Bytes data;
  for (std::uint16_t sadr = 1; sadr <= kSadrCount; ++sadr) {
    Record(data, static_cast<std::uint16_t>(0xCC00 + sadr), 1, Bytes(udids[sadr - 1].begin(), udids[sadr - 1].end()));
  }
  const std::uint32_t crcs = BlockCount(data.size());
  const auto len = static_cast<std::uint32_t>(data.size());
  Bytes f(kHeaderSize, 0);
  PutU16(f, 0, kHeaderSize);
  PutU16(f, 2, 2);
  PutU32(f, 4, kHeaderSize + len + 4 * crcs);
  PutU32(f, 8, kHeaderSize);
  PutU32(f, 12, len);
  PutU32(f, 16, kHeaderSize + len);
  PutU32(f, 20, crcs);
  PutU16(f, 62, HNFiff_Crc16_755B_CalcSwp(0, 62, f.data()));
  ByteWriter(f).Append(data);
  AppendBlockCrcs(f, data);
  return f;
}

Bytes ParData1(const Domain& d) {
  Bytes data;
  ByteWriter w(data);
  for (const auto& s : d.sets) {
    w.U8(s.number);
    w.U8(1);
    w.U16(s.sadr);
    w.U32(static_cast<std::uint32_t>(s.payload.size()));
    w.U32(HNFiff_Crc32CalcSwp(0, static_cast<std::int32_t>(s.payload.size()), s.payload.data()));
    w.U32(s.timestamp);
    w.Append(s.payload);
  }
  const std::uint32_t crcs = BlockCount(data.size());
  const auto len = static_cast<std::uint32_t>(data.size());
  Bytes f(kHeaderSize, 0);
  PutU16(f, 0, static_cast<std::uint16_t>(d.sets.size()));
  PutU16(f, 2, kHeaderSize);
  PutU16(f, 4, 0x0100);
  PutU16(f, 6, kHeaderSize);
  PutU32(f, 12, len);
  PutU32(f, 16, kHeaderSize);
  PutU32(f, 20, crcs);
  PutU32(f, 24, kHeaderSize + len);
  PutU32(f, 60, HNFiff_Crc32CalcSwp(0, 60, f.data()));
  ByteWriter(f).Append(data);
  AppendBlockCrcs(f, data);
  return f;
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
  r.files.kelParaSaf = KelParaSaf(domain);
  r.files.corvaneDat = CorvaneDat(domain);
  if (!domain.sets.empty()) {
    r.files.parData1 = ParData1(domain);
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

std::string WriteFileSet(const FileSet& files, const std::filesystem::path& dir) {
  struct Item {
    const char* name;    ///< final name
    const Bytes* bytes;  ///< contents
  };
  std::vector<Item> items = {{kKelParaSafName, &files.kelParaSaf}, {kCorvaneDatName, &files.corvaneDat}};
  if (files.parData1) {
    items.push_back({kParData1Name, &*files.parData1});
  }
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
