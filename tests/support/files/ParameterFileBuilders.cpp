#include "ParameterFileBuilders.h"

#include "ScmGenBuild.h"

namespace TestFiles {

Bytes Records(const std::vector<Record>& records) {
  Bytes out;
  for (const auto& r : records) {
    ScmGen::AppendRecord(out, r.index, r.subIndex, r.data);
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
  return ScmGen::KelParaSafFile(parameterArea, firstArea);
}

void RefreshKelParaSafHeaderCrc(Bytes& file) { ScmGen::SealKelParaSafHeader(file); }

Bytes CorvaneDatRecords(const std::vector<UdidEntry>& entries) { return ScmGen::CorvaneDatRecords(entries); }

Bytes BuildCorvaneDat(const Bytes& data) { return ScmGen::CorvaneDatFile(data); }

Bytes BuildCorvaneDatFull(const std::vector<UdidEntry>& entries) {
  return ScmGen::CorvaneDatFile(ScmGen::CorvaneDatAllRecords(entries));
}

void RefreshCorvaneDatHeaderCrc(Bytes& file) { ScmGen::SealCorvaneDatHeader(file); }

Bytes ParDataBlock(const ParBlock& block) {
  Bytes entry = ScmGen::ParData1Entry(block.number, block.sadr, block.payload, block.timestamp);
  entry.at(1) = block.version;
  return entry;
}

Bytes BuildParData1(const std::vector<ParBlock>& blocks, std::uint16_t version, std::uint32_t timestamp) {
  Bytes data;
  for (const auto& b : blocks) {
    Append(data, ParDataBlock(b));
  }
  return BuildParData1Raw(data, static_cast<std::uint16_t>(blocks.size()), version, timestamp);
}

Bytes BuildParData1Raw(const Bytes& data, std::uint16_t count, std::uint16_t version, std::uint32_t timestamp) {
  Bytes file = ScmGen::ParData1File(data, count, timestamp);
  if (GetU16(file, 4) != version) {
    PutU16(file, 4, version);
    RefreshParData1HeaderCrc(file);
  }
  return file;
}

void RefreshParData1HeaderCrc(Bytes& file) { ScmGen::SealParData1Header(file); }

}  // namespace TestFiles
