#include "CComputedInvertedAdditionalParameterHeaderReader.h"

#include "CException.h"
#include "CFileFrame.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "CObjectRecord.h"
#include "CSafetyAddress.h"
#include "ErrorCodes.h"

namespace Param {

void CComputedInvertedAdditionalParameterHeaderReader::Open() {
  UTIL_CHECK(!m_Open);
  m_Open = true;
  m_Delivered = false;
}

bool CComputedInvertedAdditionalParameterHeaderReader::TryReadNext(u16& sadr, u8& parameterNumber,
                                                                   const u8*& header) {
  UTIL_CHECK(m_Open);
  if (!m_Set || m_Delivered) {
    return false;
  }
  m_Delivered = true;
  sadr = static_cast<u16>(~CLittleEndian::GetU16(m_Header + 2));
  parameterNumber = static_cast<u8>(~m_Header[0]);
  header = m_Header;
  return true;
}

void CComputedInvertedAdditionalParameterHeaderReader::Close() {
  UTIL_CHECK(m_Open);
  m_Open = false;
}

void CComputedInvertedAdditionalParameterHeaderReader::SetAdditionalParameter(u16 sadr, u8 parameterNumber,
                                                                              u32 timestamp, u32 length,
                                                                              const u8* data) {
  UTIL_CHECK(!m_Set);
  UTIL_CHECK(!m_Open);
  UTIL_CHECK(data != nullptr);
  CSafetyAddress::Require(sadr, Util::ErrorCodes::ms_HeaderSafetyAddress);
  if (parameterNumber > CObjectRecord::ms_ParameterNumberMax) {
    throw Util::CException(Util::ErrorCodes::ms_HeaderParameterNumber, parameterNumber);
  }
  m_Header[0] = parameterNumber;
  m_Header[1] = ms_HeaderVersion;
  CLittleEndian::PutU16(m_Header + 2, sadr);
  CLittleEndian::PutU32(m_Header + 4, length);
  CLittleEndian::PutU32(m_Header + 8, CFileFrame::Crc32(data, length));
  CLittleEndian::PutU32(m_Header + 12, timestamp);
  for (u32 i = 0; i < ms_HeaderLength; ++i) {
    m_Header[i] = static_cast<u8>(~m_Header[i]);
  }
  m_Set = true;
}

}  // namespace Param
