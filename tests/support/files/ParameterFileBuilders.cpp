#include "ParameterFileBuilders.h"

namespace TestFiles {

namespace {
/// Number of 16,384-byte blocks of length bytes.
std::uint32_t Blocks(std::size_t length) { return static_cast<std::uint32_t>((length + 16383) / 16384); }
}  // namespace

Bytes Records(const std::vector<Record>& records) {
  Bytes out;
  for (const auto& r : records) {
    AppendU16(out, r.index);
    out.push_back(r.subIndex);
    AppendU32(out, static_cast<std::uint32_t>(r.data.size()));
    Append(out, r.data);
  }
  return out;
}

Record U16Record(std::uint16_t index, std::uint8_t subIndex, std::uint16_t value) {
  Record r{index, subIndex, {}};
  AppendU16(r.data, value);
  return r;
}

Record U32Record(std::uint16_t index, std::uint8_t subIndex, std::uint32_t value) {
  Record r{index, subIndex, {}};
  AppendU32(r.data, value);
  return r;
}

std::vector<Record> NodeRecords(std::uint16_t index, std::uint16_t sadr, std::uint32_t vendorId,
                                std::uint32_t productCode, std::uint32_t revision) {
  return {U16Record(index, 1, sadr), U32Record(index, 2, vendorId), U32Record(index, 3, productCode),
          U32Record(index, 4, revision)};
}

Bytes BuildKelParaSaf(const Bytes& parameterArea, const Bytes& firstArea) {
  const std::uint32_t firstOffset = 64;
  const std::uint32_t firstCrcOffset = firstOffset + static_cast<std::uint32_t>(firstArea.size());
  const std::uint32_t firstCount = Blocks(firstArea.size());
  const std::uint32_t areaOffset = firstCrcOffset + 4 * firstCount;
  const std::uint32_t areaCrcOffset = areaOffset + static_cast<std::uint32_t>(parameterArea.size());
  const std::uint32_t areaCount = Blocks(parameterArea.size());
  const std::uint32_t total = areaCrcOffset + 4 * areaCount;
  Bytes file(64, 0);
  PutU16(file, 0, 64);
  PutU16(file, 2, 0x0200);
  PutU32(file, 4, total);
  PutU32(file, 8, firstOffset);
  PutU32(file, 12, static_cast<std::uint32_t>(firstArea.size()));
  PutU32(file, 16, firstCrcOffset);
  PutU32(file, 20, firstCount);
  PutU32(file, 28, areaOffset);
  PutU32(file, 32, static_cast<std::uint32_t>(parameterArea.size()));
  PutU32(file, 36, areaCrcOffset);
  PutU32(file, 40, areaCount);
  PutU32(file, 44, 257);
  RefreshKelParaSafHeaderCrc(file);
  Append(file, firstArea);
  Append(file, BlockCrcList(firstArea));
  Append(file, parameterArea);
  Append(file, BlockCrcList(parameterArea));
  return file;
}

void RefreshKelParaSafHeaderCrc(Bytes& file) { PutU16(file, 62, Crc16(file.data(), 62)); }

Bytes CorvaneDatRecords(const std::vector<UdidEntry>& entries) {
  std::vector<Record> records;
  for (const auto& e : entries) {
    records.push_back({static_cast<std::uint16_t>(0xCC00 + e.sadr), 1, Bytes(e.udid.begin(), e.udid.end())});
  }
  return Records(records);
}

Bytes BuildCorvaneDat(const Bytes& data) {
  const std::uint32_t crcOffset = 64 + static_cast<std::uint32_t>(data.size());
  const std::uint32_t count = Blocks(data.size());
  Bytes file(64, 0);
  PutU16(file, 0, 64);
  PutU16(file, 2, 2);
  PutU32(file, 4, crcOffset + 4 * count);
  PutU32(file, 8, 64);
  PutU32(file, 12, static_cast<std::uint32_t>(data.size()));
  PutU32(file, 16, crcOffset);
  PutU32(file, 20, count);
  RefreshCorvaneDatHeaderCrc(file);
  Append(file, data);
  Append(file, BlockCrcList(data));
  return file;
}

Bytes BuildCorvaneDatFull(const std::vector<UdidEntry>& entries) {
  std::vector<UdidEntry> all;
  for (std::uint16_t sadr = 1; sadr <= 1023; ++sadr) {
    all.push_back({sadr, Udid{}});
  }
  for (const auto& e : entries) {
    all.at(e.sadr - 1u).udid = e.udid;
  }
  return BuildCorvaneDat(CorvaneDatRecords(all));
}

void RefreshCorvaneDatHeaderCrc(Bytes& file) { PutU16(file, 62, Crc16(file.data(), 62)); }

Bytes ParDataBlock(const ParBlock& block) {
  Bytes out;
  out.push_back(block.number);
  out.push_back(block.version);
  AppendU16(out, block.sadr);
  AppendU32(out, static_cast<std::uint32_t>(block.payload.size()));
  AppendU32(out, Crc32(block.payload.data(), block.payload.size()));
  AppendU32(out, block.timestamp);
  Append(out, block.payload);
  return out;
}

Bytes BuildParData1(const std::vector<ParBlock>& blocks, std::uint16_t version, std::uint32_t timestamp) {
  Bytes data;
  for (const auto& b : blocks) {
    Append(data, ParDataBlock(b));
  }
  return BuildParData1Raw(data, static_cast<std::uint16_t>(blocks.size()), version, timestamp);
}

Bytes BuildParData1Raw(const Bytes& data, std::uint16_t count, std::uint16_t version, std::uint32_t timestamp) {
  Bytes file(64, 0);
  PutU16(file, 0, count);
  PutU16(file, 2, 64);
  PutU16(file, 4, version);
  PutU16(file, 6, 64);
  PutU32(file, 8, timestamp);
  PutU32(file, 12, static_cast<std::uint32_t>(data.size()));
  PutU32(file, 16, 64);
  PutU32(file, 20, Blocks(data.size()));
  PutU32(file, 24, 64 + static_cast<std::uint32_t>(data.size()));
  RefreshParData1HeaderCrc(file);
  Append(file, data);
  Append(file, BlockCrcList(data));
  return file;
}

void RefreshParData1HeaderCrc(Bytes& file) { PutU32(file, 60, Crc32(file.data(), 60)); }

}  // namespace TestFiles
