#include "CInvertingParameterChecksumReader.h"

#include "CException.h"
#include "ErrorCodes.h"

namespace Param {

CInvertingParameterChecksumReader::CInvertingParameterChecksumReader(CParameterChecksumReader& source)
    : m_Source(source) {
  for (u32 i = 0; i < ms_ChecksumLengthMax; ++i) {
    m_Checksum[i] = 0xFF;
  }
}

bool CInvertingParameterChecksumReader::TryReadNext(u16& sadr, u32& length, const u8*& checksum) {
  u16 entrySadr = 0;
  u32 entryLength = 0;
  const u8* entryChecksum = nullptr;
  if (!m_Source.TryReadNext(entrySadr, entryLength, entryChecksum)) {
    return false;
  }
  if (entryLength > ms_ChecksumLengthMax) {
    // Never copy past the own buffer, whatever source is wrapped.
    m_Source.Close();
    throw Util::CException(Util::ErrorCodes::ms_ObjectLength, 14, entryLength);
  }
  for (u32 i = 0; i < entryLength; ++i) {
    m_Checksum[i] = static_cast<u8>(~entryChecksum[i]);
  }
  sadr = entrySadr;
  length = entryLength;
  checksum = m_Checksum;
  return true;
}

}  // namespace Param
