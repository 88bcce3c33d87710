// The additional-parameter headers of the lists 0xE400 to 0xE7FE, sub-indices 1 to 17.
#pragma once
#include "CAdditionalParameterHeaderReader.h"
#include "CParameterReader.h"

namespace Param {

class CParameterAdditionalParameterHeaderReader : public CAdditionalParameterHeaderReader {
 public:
  explicit CParameterAdditionalParameterHeaderReader(CParameterReader& records) : m_Records(records) {}

  void Open() override { m_Records.Open(); }
  /// Next header; shorter than 16 0xE2B9, SADR 0xE2BA, number above 15 0xE2BB.
  bool TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) override;
  void Close() override { m_Records.Close(); }

 private:
  CParameterReader& m_Records;  ///< the record stream read
};

}  // namespace Param
