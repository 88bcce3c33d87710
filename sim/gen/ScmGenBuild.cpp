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

/// Describes at `at` an area of `length` bytes at `offset` with its CRC list right behind it:
/// u32 offset, length, CRC list offset, CRC count. Returns the offset behind the CRC list.
std::uint32_t PutArea(Bytes& f, std::size_t at, std::uint32_t offset, std::size_t length) {
  const auto n = static_cast<std::uint32_t>(length);
  const std::uint32_t crcs = BlockCount(length);
  PutU32(f, at, offset);
  PutU32(f, at + 4, n);
  PutU32(f, at + 8, offset + n);
  PutU32(f, at + 12, crcs);
  return offset + n + 4 * crcs;
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
  Bytes f(kHeaderSize, 0);
  PutU16(f, 0, kHeaderSize);
  PutU16(f, 2, 0x0200);
  const std::uint32_t areaOffset = PutArea(f, 8, kHeaderSize, firstArea.size());
  PutU32(f, 4, PutArea(f, 28, areaOffset, parameterArea.size()));
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
  Bytes f(kHeaderSize, 0);
  PutU16(f, 0, kHeaderSize);
  PutU16(f, 2, 2);
  PutU32(f, 4, PutArea(f, 8, kHeaderSize, data.size()));
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
