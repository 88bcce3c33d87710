// Turns a plain firmware version stream into a complemented one.
#pragma once
#include "CFirmwareVersionReader.h"
#include "CInvertedFirmwareVersionReader.h"

namespace Param {

class CInvertingFirmwareVersionReader : public CInvertedFirmwareVersionReader {
 public:
  explicit CInvertingFirmwareVersionReader(CFirmwareVersionReader& source) : m_Source(source) {}

  void Open() override { m_Source.Open(); }
  /// The source's next entry, the four values complemented; false at its end (outputs untouched).
  bool TryReadNext(u16& sadr, u32& vendorId, u32& productCode, u16& revisionHigh, u16& revisionLow) override;
  void Close() override { m_Source.Close(); }

 private:
  CFirmwareVersionReader& m_Source;  ///< the plain stream
};

}  // namespace Param
