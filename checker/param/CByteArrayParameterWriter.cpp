#include "CByteArrayParameterWriter.h"

#include "CByteArrayParameterReader.h"
#include "CException.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "ErrorCodes.h"

namespace Param {

void CByteArrayParameterWriter::Initialize(u32 size, u8* buffer) { m_Region.Initialize(size, buffer); }

void CByteArrayParameterWriter::Open() { m_Region.Open(); }

void CByteArrayParameterWriter::WriteNext(u16 index, u8 subIndex, u32 length, const u8* data) {
  m_Region.CheckOpen();
  UTIL_CHECK(data != nullptr);
  constexpr u32 headLength = CByteArrayParameterReader::ms_RecordHeadLength;
  const u32 left = m_Region.GetLeft();
  if (left < headLength || length > left - headLength) {
    throw Util::CException(Util::ErrorCodes::ms_WriterRoom, static_cast<u16>(m_Region.GetPosition()),
                           m_Region.GetSize());
  }
  u8* head = m_Region.GetCursor();
  CLittleEndian::PutU16(head, index);
  head[2] = subIndex;
  CLittleEndian::PutU32(head + 3, length);
  for (u32 i = 0; i < length; ++i) {
    head[headLength + i] = data[i];
  }
  m_Region.Advance(headLength + length);
}

void CByteArrayParameterWriter::Close() { m_Region.Close(); }

u32 CByteArrayParameterWriter::GetContentLength() const {
  m_Region.CheckOpen();
  return m_Region.GetPosition();
}

}  // namespace Param
