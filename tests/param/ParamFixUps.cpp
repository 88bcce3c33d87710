// CRC fix-ups of mutated files and the generated sample files, shared by the
// seeded mutation test and the fuzz target of the file classes.
#include <algorithm>
#include <array>

#include "ApplicationFileBuilders.h"
#include "ParamDrivers.h"
#include "ParameterFileBuilders.h"

namespace ParamDrivers {

namespace {

using namespace TestFiles;

/// True when [offset, offset + length) lies inside the file.
bool Inside(const Bytes& f, std::uint64_t offset, std::uint64_t length) { return offset + length <= f.size(); }

/// Rewrites the block CRC list of the area described at the header offset given.
void FixBlockCrcs(Bytes& f, std::uint32_t areaOffset, std::uint32_t areaLength, std::uint32_t crcOffset) {
  if (!Inside(f, areaOffset, areaLength)) return;
  const Bytes area(f.begin() + areaOffset, f.begin() + areaOffset + areaLength);
  const Bytes list = BlockCrcList(area);
  if (!Inside(f, crcOffset, list.size())) return;
  std::copy(list.begin(), list.end(), f.begin() + crcOffset);
}

/// The UDID section CRC of a section at offset.
void FixAutoCnfUdidSection(Bytes& f, std::uint64_t offset, std::uint64_t length) {
  if (length < 8 || !Inside(f, offset, length)) return;
  const std::uint64_t covered = 8 + 8ull * GetU16(f, offset);
  if (covered + 4 > length) return;
  PutU32(f, offset + covered, Crc32(f.data() + offset, covered));
}

}  // namespace

void FixKelParaSaf(Bytes& f) {
  if (f.size() < 64) return;
  FixBlockCrcs(f, GetU32(f, 28), GetU32(f, 32), GetU32(f, 36));
  RefreshKelParaSafHeaderCrc(f);
}

void FixCorvaneDat(Bytes& f) {
  if (f.size() < 64) return;
  FixBlockCrcs(f, GetU32(f, 8), GetU32(f, 12), GetU32(f, 16));
  RefreshCorvaneDatHeaderCrc(f);
}

void FixParData1(Bytes& f) {
  if (f.size() < 64) return;
  const std::uint32_t offset = GetU32(f, 16);
  const std::uint32_t length = GetU32(f, 12);
  if (Inside(f, offset, length)) {
    for (std::uint64_t q = 0; q + 16 <= length;) {
      const std::uint32_t payload = GetU32(f, offset + q + 4);
      if (q + 16 + payload > length) break;
      PutU32(f, offset + q + 8, Crc32(f.data() + offset + q + 16, payload));
      q += 16 + payload;
    }
  }
  FixBlockCrcs(f, offset, length, GetU32(f, 24));
  RefreshParData1HeaderCrc(f);
}

void FixAutoCnf(Bytes& f) {
  if (f.size() >= 8 && GetU16(f, 4) == 0x0300) {
    FixAutoCnfUdidSection(f, 0, f.size());
    return;
  }
  if (f.size() < 64) return;
  FixAutoCnfUdidSection(f, GetU32(f, 16), GetU32(f, 12));
  RefreshAutoCnfHeaderCrc(f);
  const std::uint64_t position = 64ull + GetU32(f, 12) + GetU32(f, 20) + GetU32(f, 28);
  if (Inside(f, position, 4)) PutU32(f, position, Crc32(f.data(), position));
}

void FixFwRevCnf(Bytes& f) {
  if (f.size() < 8) return;
  const std::uint64_t entries = 4ull * GetU16(f, 0);
  if (!Inside(f, 8 + entries, 4)) return;
  PutU32(f, 8 + entries, Crc32(f.data(), 8 + entries));
  const std::uint64_t p = 12 + entries;
  if (Inside(f, p, 41)) PutU32(f, p + 37, Crc32(f.data() + p, 37));
}

ScmGen::Udid SampleUdid(std::uint8_t v) { return {v, 1, 2, 3, 4, v}; }

ScmGen::Result GenerateEveryKindOfFile() {
  ScmGen::Domain d;
  for (const std::uint16_t sadr : {1, 9}) {
    ScmGen::Node n;
    n.sadr = sadr;
    n.udid = SampleUdid(static_cast<std::uint8_t>(sadr));
    n.parameterSet = Bytes(12, static_cast<std::uint8_t>(sadr));
    n.checksum = Bytes(8, 0xC5);
    n.additionalSadrs = {static_cast<std::uint16_t>(100 + sadr)};
    n.autoConfigured = true;  // both take their UDIDs from "autocnf.bin"
    d.nodes.push_back(n);
  }
  d.scm.commissioning = std::array<std::uint32_t, 3>{1, 1, 0};
  d.scm.configuration = ScmGen::ConfigurationData{1, 1, 0, 2};
  d.sets.push_back({9, 3, Bytes(10, 0x33), 4, {}});
  ScmGen::AutoCnf a;
  a.timestamp = 6;
  a.udids = {{9, SampleUdid(9)}, {1, Udid{}}};
  a.machineOptions = Bytes(64, 1);
  a.moduleFlags = ModuleFlags{};
  d.autoCnf = a;
  d.fwRevCnf = ScmGen::FwRevCnf{{{1, 3}, {9, 0}}, 0x17, SampleUdid(0x20), {1, 2, 3, 4, 5, 6, 7, 8}, {}};
  d.corvaneUid = ScmGen::CorvaneUid{SampleUdid(0x20), 0xFFFFF12345678ull};
  return ScmGen::Generate(d);
}

}  // namespace ParamDrivers
