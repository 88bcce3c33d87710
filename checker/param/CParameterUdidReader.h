// The UDIDs of the SADR-to-UDID objects 0xCC01 to 0xCFFF, sub-indices 1 to 254.
#pragma once
#include "CParameterReader.h"
#include "CUdidReader.h"

namespace Param {

class CParameterUdidReader : public CUdidReader {
 public:
  explicit CParameterUdidReader(CParameterReader& records) : m_Records(records) {}

  void Open() override { m_Records.Open(); }
  /// Next UDID, SADR = index - 0xCC00; length not 6: 0xE2B4 (info1 length).
  bool TryReadNext(u16& sadr, const u8*& udid) override;
  void Close() override { m_Records.Close(); }

 private:
  CParameterReader& m_Records;  ///< the record stream read
};

}  // namespace Param
