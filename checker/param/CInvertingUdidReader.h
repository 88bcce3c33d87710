// Turns a plain UDID stream into a complemented one: SADR plain, the UDID
// complemented into an own buffer.
#pragma once
#include "CInvertedUdidReader.h"
#include "CUdidReader.h"

namespace Param {

class CInvertingUdidReader : public CInvertedUdidReader {
 public:
  explicit CInvertingUdidReader(CUdidReader& source) : m_Source(source) {}

  void Open() override { m_Source.Open(); }
  /// The source's next entry, its UDID complemented; false at its end (outputs untouched).
  bool TryReadNext(u16& sadr, const u8*& udid) override;
  void Close() override { m_Source.Close(); }

 private:
  CUdidReader& m_Source;                                  ///< the plain stream
  u8 m_Udid[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};    ///< the last UDID, complemented
};

}  // namespace Param
