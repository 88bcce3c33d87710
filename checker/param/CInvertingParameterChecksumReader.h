// Turns a plain parameter checksum stream into a complemented one, the bytes
// complemented into an own 256-byte buffer.
#pragma once
#include "CInvertedParameterChecksumReader.h"
#include "CParameterChecksumReader.h"

namespace Param {

class CInvertingParameterChecksumReader : public CInvertedParameterChecksumReader {
 public:
  static constexpr u32 ms_ChecksumLengthMax = 256;  ///< bytes of the own buffer

  explicit CInvertingParameterChecksumReader(CParameterChecksumReader& source);

  void Open() override { m_Source.Open(); }
  /// The source's next entry, its bytes complemented; false at its end (outputs untouched);
  /// a checksum longer than the buffer closes the source and throws 0xE2B4 (14, length).
  bool TryReadNext(u16& sadr, u32& length, const u8*& checksum) override;
  void Close() override { m_Source.Close(); }

 private:
  CParameterChecksumReader& m_Source;      ///< the plain stream
  u8 m_Checksum[ms_ChecksumLengthMax];     ///< the last checksum, complemented
};

}  // namespace Param
