#include "ParamDomain.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "HNFiff_Crc.h"

namespace ParamTest {

namespace {
/// Bytes 0, 1, ... n-1 shifted by a seed, so that sets differ.
Bytes Pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) {
    b[i] = static_cast<std::uint8_t>(seed + i * 3);
  }
  return b;
}
}  // namespace

ScmGen::Domain DemoDomain() {
  ScmGen::Domain d;
  d.scm.guardTime = 150000;
  d.scm.lifeTimeFactor = 3;
  d.scm.timeBase = 1;
  d.scm.ssdoTimeout = 30000;
  d.scm.ssdoRetries = 4;
  d.scm.snmtTimeout = 40000;
  d.scm.snmtRetries = 6;
  d.scm.machineOptions = {{1, 1}, {32, 1}, {7, 0}};
  d.scm.commissioning = std::array<std::uint32_t, 3>{1, 0, 1};
  d.scm.configuration = ScmGen::ConfigurationData{1, 1, 1, 3};
  for (std::uint16_t i = 0; i < 12; ++i) {
    ScmGen::Node n;
    n.sadr = static_cast<std::uint16_t>(i == 0 ? 1 : 10 + i);
    n.udid = {0x00, 0x11, 0x22, 0x33, 0x44, static_cast<std::uint8_t>(0x50 + i)};
    n.vendorId = 0x00AB0000u + i;
    n.productCode = 0x1000u + i;
    n.revision = 0x00020001u + i;
    n.parameterSet = Pattern(i == 10 ? 300 : 24 + 8 * i, static_cast<std::uint8_t>(i));
    n.checksum = Pattern(i % 2 == 0 ? 4 : 8, static_cast<std::uint8_t>(0x80 + i));
    n.timestamp = 0x60000000u + i;
    n.flags = i == 3 ? 0x2u : 0u;
    n.ssdoPayloadLength = static_cast<std::uint16_t>(i == 5 ? 128 : 8);
    n.pollTime = 1000u * (i + 1);
    d.nodes.push_back(n);
  }
  d.nodes[1].additionalSadrs = {200, 201};
  d.nodes[4].additionalSadrs = {300};
  d.sets.push_back({12, 1, Pattern(20, 0x40), 0x01020304, {}});
  d.sets.push_back({14, 2, Pattern(33, 0x41), 0x05060708, {}});
  d.sdn = 7;
  d.qorUdid = ScmGen::Udid{0x02, 0x5C, 0x3E, 0x11, 0x22, 0x33};
  return d;
}

ScmGen::FileSet Files(const ScmGen::Domain& domain) {
  ScmGen::Result r = ScmGen::Generate(domain);
  EXPECT_EQ(r.error, "");
  return r.files;
}

std::uint16_t Get16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }
std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return Get16(b, at) | (static_cast<std::uint32_t>(Get16(b, at + 2)) << 16);
}
void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, static_cast<std::uint16_t>(v));
  Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
void RefreshKelHeader(Bytes& f) { Put16(f, 62, HNFiff_Crc16_755B_CalcSwp(0, 62, f.data())); }
void RefreshCorvaneHeader(Bytes& f, bool version1) {
  Put16(f, 62, version1 ? HNFiff_Crc16CalcSwp(0, 62, f.data()) : HNFiff_Crc16_755B_CalcSwp(0, 62, f.data()));
}
void RefreshParDataHeader(Bytes& f) { Put32(f, 60, HNFiff_Crc32CalcSwp(0, 60, f.data())); }
void RefreshBlocks(Bytes& f, std::size_t areaOffset, std::size_t areaLength, std::size_t crcOffset) {
  for (std::size_t at = 0, b = 0; at < areaLength; at += 16384, ++b) {
    const std::size_t n = std::min<std::size_t>(16384, areaLength - at);
    Put32(f, crcOffset + 4 * b, HNFiff_Crc32CalcSwp(0, static_cast<std::int32_t>(n), f.data() + areaOffset + at));
  }
}

}  // namespace ParamTest
