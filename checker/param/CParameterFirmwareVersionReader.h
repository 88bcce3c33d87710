// The required firmware versions: sub-indices 1 to 4 (SADR, vendor id, product
// code, revision) of each node list object, which must come in one object
// before its sub-index 4.
#pragma once
#include "CFirmwareVersionReader.h"
#include "CParameterReader.h"

namespace Param {

class CParameterFirmwareVersionReader : public CFirmwareVersionReader {
 public:
  static constexpr u16 ms_InvalidIndex = 0xFFFF;  ///< no object seen yet

  explicit CParameterFirmwareVersionReader(CParameterReader& records) : m_Records(records) {}

  void Open() override;
  /// Next version; wrong lengths 0xE2B4, SADR range 0xE2B6, sub-index 4 before 1 to 3: 0xE2B5.
  bool TryReadNext(u16& sadr, u32& vendorId, u32& productCode, u16& revisionHigh, u16& revisionLow) override;
  void Close() override { m_Records.Close(); }

 private:
  CParameterReader& m_Records;       ///< the record stream read
  u16 m_LastIndex = ms_InvalidIndex; ///< index of the last node object seen
};

}  // namespace Param
