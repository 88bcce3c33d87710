#include "CByteArrayParameterReader.h"

#include "CException.h"
#include "CLittleEndian.h"
#include "ErrorCodes.h"

namespace Param {

void CByteArrayParameterReader::Initialize(u32 size, const u8* buffer) { m_Region.Initialize(size, buffer); }

void CByteArrayParameterReader::Open() { m_Region.Open(); }

bool CByteArrayParameterReader::TryReadNext(u16& index, u8& subIndex, u32& length, const u8*& data) {
  m_Region.CheckOpen();
  const u32 left = m_Region.GetLeft();
  if (left < ms_RecordHeadLength) {
    if (left == 0) {
      return false;
    }
    throw Util::CException(Util::ErrorCodes::ms_RecordHead, 0, m_Region.GetPosition());
  }
  const u8* head = m_Region.GetCursor();
  const u32 recordLength = CLittleEndian::GetU32(head + 3);
  if (recordLength > left - ms_RecordHeadLength) {
    throw Util::CException(Util::ErrorCodes::ms_RecordLength,
                           static_cast<u16>(m_Region.GetPosition() + ms_RecordHeadLength), recordLength);
  }
  index = CLittleEndian::GetU16(head);
  subIndex = head[2];
  length = recordLength;
  data = head + ms_RecordHeadLength;
  m_Region.Advance(ms_RecordHeadLength + recordLength);
  return true;
}

void CByteArrayParameterReader::Close() { m_Region.Close(); }

}  // namespace Param
