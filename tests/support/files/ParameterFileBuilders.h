// "kel_para.saf", "corvane.dat" and "pardata1.bin" for tests, built by the
// sample-file generator's builders; the variants the generator never writes
// (a "pardata1.bin" version or entry version other than its own) are
// generated files with those fields changed. The Refresh functions recompute a
// header's CRC after a test changed one of its fields.
#pragma once
#include <cstdint>
#include <vector>

#include "FileBytes.h"
#include "ScmGen.h"

namespace TestFiles {

using Udid = ScmGen::Udid;            ///< 6 UDID bytes
using UdidEntry = ScmGen::UdidEntry;  ///< one SADR-to-UDID entry

/// One parameter record: u16 index, u8 sub-index, u32 length, data.
struct Record {
  std::uint16_t index;     ///< object index
  std::uint8_t subIndex;   ///< sub-index
  Bytes data;              ///< record data
};

/// The record stream of records, back to back.
Bytes Records(const std::vector<Record>& records);
/// A record holding a u16 / u32 value.
Record U16Record(std::uint16_t index, std::uint8_t subIndex, std::uint16_t value);
Record U32Record(std::uint16_t index, std::uint8_t subIndex, std::uint32_t value);
/// The records of one node list object: SADR, vendor id, product code, revision.
std::vector<Record> NodeRecords(std::uint16_t index, std::uint16_t sadr, std::uint32_t vendorId,
                                std::uint32_t productCode, std::uint32_t revision);

/// "kel_para.saf": header, first area and its CRCs, parameter area and its CRCs.
Bytes BuildKelParaSaf(const Bytes& parameterArea, const Bytes& firstArea = {});
/// Recomputes the CRC-16 of bytes 0 to 61 into 62.
void RefreshKelParaSafHeaderCrc(Bytes& file);

/// The data area of "corvane.dat": one record 0xCC00 + SADR, sub-index 1, length 6 per entry.
Bytes CorvaneDatRecords(const std::vector<UdidEntry>& entries);
/// "corvane.dat" version 2 around a data area: header, data at 64, CRC list behind.
Bytes BuildCorvaneDat(const Bytes& data);
/// The file the firmware's writer stores: 1023 records for SADR 1 to 1023 (missing ones zero).
Bytes BuildCorvaneDatFull(const std::vector<UdidEntry>& entries);
/// Recomputes the CRC-16 of bytes 0 to 61 into 62.
void RefreshCorvaneDatHeaderCrc(Bytes& file);

/// One block of "pardata1.bin": header fields and payload.
struct ParBlock {
  std::uint8_t number;          ///< parameter number
  std::uint16_t sadr;           ///< safety address
  Bytes payload;                ///< payload bytes
  std::uint32_t timestamp = 0;  ///< block timestamp
  std::uint8_t version = 1;     ///< header version (other than 1: the generated entry changed)
};
/// A block's 16-byte header and payload.
Bytes ParDataBlock(const ParBlock& block);
/// "pardata1.bin": header, data at 64, CRC list behind; another version than 0x0100 is
/// the generated file with its version changed and the header CRC recomputed.
Bytes BuildParData1(const std::vector<ParBlock>& blocks, std::uint16_t version = 0x0100,
                    std::uint32_t timestamp = 0);
/// "pardata1.bin" around a raw data area.
Bytes BuildParData1Raw(const Bytes& data, std::uint16_t count, std::uint16_t version, std::uint32_t timestamp);
/// Recomputes the CRC-32 of bytes 0 to 59 into 60.
void RefreshParData1HeaderCrc(Bytes& file);

}  // namespace TestFiles
