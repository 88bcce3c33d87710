// Turns a plain additional-parameter header stream into a complemented one,
// the 16 header bytes complemented into an own buffer.
#pragma once
#include "CAdditionalParameterHeaderReader.h"
#include "CInvertedAdditionalParameterHeaderReader.h"

namespace Param {

class CInvertingAdditionalParameterHeaderReader : public CInvertedAdditionalParameterHeaderReader {
 public:
  static constexpr u32 ms_HeaderLength = 16;  ///< bytes of a header

  explicit CInvertingAdditionalParameterHeaderReader(CAdditionalParameterHeaderReader& source);

  void Open() override { m_Source.Open(); }
  /// The source's next entry, its header complemented; false at its end (outputs untouched).
  bool TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) override;
  void Close() override { m_Source.Close(); }

 private:
  CAdditionalParameterHeaderReader& m_Source;  ///< the plain stream
  u8 m_Header[ms_HeaderLength];                ///< the last header, complemented
};

}  // namespace Param
