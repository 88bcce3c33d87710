#include "CCorvaneUid.h"

#include "CException.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "CUdid.h"
#include "ErrorCodes.h"

namespace Param {

using Util::ErrorCodes;

CCorvaneUid::CCorvaneUid(u32 capacity, u8* buffer) : m_Capacity(capacity), m_Buffer(buffer) {
  UTIL_CHECK(buffer != nullptr);
}

void CCorvaneUid::ReadContent(u32 length) {
  m_ContentRead = false;
  if (length > m_Capacity) {
    throw Util::CException(ErrorCodes::ms_CorvaneUidLength, length);
  }
  if (length == 0) {
    InitializeWithEmptyContent();
    m_ContentLength = 0;
    m_ContentRead = true;
    return;
  }
  if (length < ms_RecordLength) {
    throw Util::CException(ErrorCodes::ms_CorvaneUidLength, length);
  }
  const u32 version = CLittleEndian::GetU32(m_Buffer);
  if (version != ms_Version) {
    throw Util::CException(ErrorCodes::ms_CorvaneUidVersion, version);
  }
  u32 position = ms_UdidOffset;
  ReadQorUdid(position);
  ReadTimestamp(position);
  m_ContentLength = length;
  m_ContentRead = true;
}

const u8* CCorvaneUid::GetQorUdid() const {
  UTIL_CHECK(m_ContentRead);
  return m_QorUdid;
}

u64 CCorvaneUid::GetTimestamp() const {
  UTIL_CHECK(m_ContentRead);
  return m_Timestamp;
}

u32 CCorvaneUid::GetContentLength() const {
  UTIL_CHECK(m_ContentRead);
  return m_ContentLength;
}

void CCorvaneUid::InitializeWithEmptyContent() {
  m_QorUdid = Util::CUdid::ms_Zero;
  m_Timestamp = 0;
}

void CCorvaneUid::ReadQorUdid(u32& position) {
  m_QorUdid = m_Buffer + position;
  position += Util::CUdid::ms_Length;
}

void CCorvaneUid::ReadTimestamp(u32& position) {
  m_Timestamp = CLittleEndian::GetU64(m_Buffer + position);
  position += 8;
}

}  // namespace Param
