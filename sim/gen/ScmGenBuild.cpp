// The builders of "kel_para.saf", "corvane.dat" and "pardata1.bin": a 64-byte
// header, the data areas and their block CRC lists.
#include "ScmGenBuild.h"

#include <algorithm>

#include "HNFiff_Crc.h"
#include "ScmGenFormat.h"

namespace ScmGen {

namespace {

/// Number of block CRCs of an area.
std::uint32_t BlockCount(std::size_t length) { return static_cast<std::uint32_t>((length + kCrcBlock - 1) / kCrcBlock); }

/// CRC-32, seed 0, of n bytes.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t n) {
  return HNFiff_Crc32CalcSwp(0, static_cast<std::int32_t>(n), data);
}

}  // namespace

void AppendRecord(Bytes& out, std::uint16_t index, std::uint8_t sub, const Bytes& data) {
  ByteWriter w(out);
  w.U16(index);
  w.U8(sub);
  w.U32(static_cast<std::uint32_t>(data.size()));
  w.Append(data);
}

Bytes BlockCrcList(const Bytes& area) {
  Bytes list;
  ByteWriter w(list);
  for (std::size_t at = 0; at < area.size(); at += kCrcBlock) {
    w.U32(Crc32(area.data() + at, std::min<std::size_t>(kCrcBlock, area.size() - at)));
  }
  return list;
}

Bytes KelParaSafFile(const Bytes& parameterArea, const Bytes& firstArea) {
  const auto firstLength = static_cast<std::uint32_t>(firstArea.size());
  const std::uint32_t firstCrcs = BlockCount(firstArea.size());
  const std::uint32_t areaOffset = kHeaderSize + firstLength + 4 * firstCrcs;
  const auto areaLength = static_cast<std::uint32_t>(parameterArea.size());
  const std::uint32_t areaCrcs = BlockCount(parameterArea.size());
  Bytes f(kHeaderSize, 0);
  PutU16(f, 0, kHeaderSize);
  PutU16(f, 2, 0x0200);
  PutU32(f, 4, areaOffset + areaLength + 4 * areaCrcs);
  PutU32(f, 8, kHeaderSize);  // first data area and its CRC list right behind it
  PutU32(f, 12, firstLength);
  PutU32(f, 16, kHeaderSize + firstLength);
  PutU32(f, 20, firstCrcs);
  PutU32(f, 28, areaOffset);  // parameter area and its CRC list right behind it
  PutU32(f, 32, areaLength);
  PutU32(f, 36, areaOffset + areaLength);
  PutU32(f, 40, areaCrcs);
  PutU32(f, 44, 257);
  SealKelParaSafHeader(f);
  ByteWriter w(f);
  w.Append(firstArea);
  w.Append(BlockCrcList(firstArea));
  w.Append(parameterArea);
  w.Append(BlockCrcList(parameterArea));
  return f;
}

void SealKelParaSafHeader(Bytes& file) { PutU16(file, 62, HNFiff_Crc16_755B_CalcSwp(0, 62, file.data())); }

Bytes CorvaneDatRecords(const std::vector<UdidEntry>& entries) {
  Bytes data;
  for (const auto& e : entries) {
    AppendRecord(data, static_cast<std::uint16_t>(0xCC00 + e.sadr), 1, Bytes(e.udid.begin(), e.udid.end()));
  }
  return data;
}

Bytes CorvaneDatAllRecords(const std::vector<UdidEntry>& entries) {
  std::vector<UdidEntry> all(kSadrCount);
  for (std::uint16_t sadr = 1; sadr <= kSadrCount; ++sadr) {
    all[sadr - 1].sadr = sadr;
  }
  for (const auto& e : entries) {
    all.at(e.sadr - 1u).udid = e.udid;
  }
  return CorvaneDatRecords(all);
}

Bytes CorvaneDatFile(const Bytes& data) {
  const auto length = static_cast<std::uint32_t>(data.size());
  const std::uint32_t crcs = BlockCount(data.size());
  Bytes f(kHeaderSize, 0);
  PutU16(f, 0, kHeaderSize);
  PutU16(f, 2, 2);
  PutU32(f, 4, kHeaderSize + length + 4 * crcs);
  PutU32(f, 8, kHeaderSize);
  PutU32(f, 12, length);
  PutU32(f, 16, kHeaderSize + length);
  PutU32(f, 20, crcs);
  SealCorvaneDatHeader(f);
  ByteWriter w(f);
  w.Append(data);
  w.Append(BlockCrcList(data));
  return f;
}

void SealCorvaneDatHeader(Bytes& file) { PutU16(file, 62, HNFiff_Crc16_755B_CalcSwp(0, 62, file.data())); }

Bytes ParData1Entry(std::uint8_t number, std::uint16_t sadr, const Bytes& payload, std::uint32_t timestamp) {
  Bytes e;
  ByteWriter w(e);
  w.U8(number);
  w.U8(1);
  w.U16(sadr);
  w.U32(static_cast<std::uint32_t>(payload.size()));
  w.U32(Crc32(payload.data(), payload.size()));
  w.U32(timestamp);
  w.Append(payload);
  return e;
}

Bytes ParData1File(const Bytes& data, std::uint16_t count, std::uint32_t timestamp) {
  const auto length = static_cast<std::uint32_t>(data.size());
  Bytes f(kHeaderSize, 0);
  PutU16(f, 0, count);
  PutU16(f, 2, kHeaderSize);
  PutU16(f, 4, 0x0100);
  PutU16(f, 6, kHeaderSize);
  PutU32(f, 8, timestamp);
  PutU32(f, 12, length);
  PutU32(f, 16, kHeaderSize);
  PutU32(f, 20, BlockCount(data.size()));
  PutU32(f, 24, kHeaderSize + length);
  SealParData1Header(f);
  ByteWriter w(f);
  w.Append(data);
  w.Append(BlockCrcList(data));
  return f;
}

void SealParData1Header(Bytes& file) { PutU32(file, 60, Crc32(file.data(), 60)); }

}  // namespace ScmGen
