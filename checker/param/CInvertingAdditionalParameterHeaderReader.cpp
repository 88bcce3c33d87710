#include "CInvertingAdditionalParameterHeaderReader.h"

namespace Param {

CInvertingAdditionalParameterHeaderReader::CInvertingAdditionalParameterHeaderReader(
    CAdditionalParameterHeaderReader& source)
    : m_Source(source) {
  for (u32 i = 0; i < ms_HeaderLength; ++i) {
    m_Header[i] = 0xFF;
  }
}

bool CInvertingAdditionalParameterHeaderReader::TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) {
  u16 entrySadr = 0;
  u8 entryNumber = 0;
  const u8* entryHeader = nullptr;
  if (!m_Source.TryReadNext(entrySadr, entryNumber, entryHeader)) {
    return false;
  }
  for (u32 i = 0; i < ms_HeaderLength; ++i) {
    m_Header[i] = static_cast<u8>(~entryHeader[i]);
  }
  sadr = entrySadr;
  parameterNumber = entryNumber;
  header = m_Header;
  return true;
}

}  // namespace Param
