// The required safety addresses: sub-index 1 of every node list object.
#pragma once
#include "CParameterReader.h"
#include "CSafetyAddressReader.h"

namespace Param {

class CParameterSafetyAddressReader : public CSafetyAddressReader {
 public:
  explicit CParameterSafetyAddressReader(CParameterReader& records) : m_Records(records) {}

  void Open() override { m_Records.Open(); }
  /// Next SADR; length not 2: 0xE2B4 (1, length), value outside 1 to 1023: 0xE2B6.
  bool TryReadNext(u16& sadr) override;
  void Close() override { m_Records.Close(); }

 private:
  CParameterReader& m_Records;  ///< the record stream read
};

}  // namespace Param
