// The required parameter checksums: sub-index 1 (SADR) and 14 (checksum) of
// each node list object, sub-index 1 first.
#pragma once
#include "CParameterChecksumReader.h"
#include "CParameterReader.h"

namespace Param {

class CParameterParameterChecksumReader : public CParameterChecksumReader {
 public:
  static constexpr u16 ms_InvalidIndex = 0xFFFF;  ///< no object seen yet
  static constexpr u8 ms_ChecksumSubIndex = 14;   ///< sub-index of the checksum
  static constexpr u32 ms_ChecksumLengthMax = 256; ///< longest checksum an inverting adapter can hold

  explicit CParameterParameterChecksumReader(CParameterReader& records) : m_Records(records) {}

  void Open() override;
  /// Next checksum; bad lengths 0xE2B4 (14, length), SADR range 0xE2B6, no SADR before it 0xE2B5.
  bool TryReadNext(u16& sadr, u32& length, const u8*& checksum) override;
  void Close() override { m_Records.Close(); }

 private:
  CParameterReader& m_Records;       ///< the record stream read
  u16 m_LastIndex = ms_InvalidIndex; ///< index of the last node object seen
};

}  // namespace Param
