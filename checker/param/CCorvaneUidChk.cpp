#include "CCorvaneUidChk.h"

#include "CException.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "CUdid.h"
#include "ErrorCodes.h"

namespace Param {

CCorvaneUidChk::CCorvaneUidChk(u32 capacity, u8* buffer) : CCorvaneUid(capacity, buffer) {
  if (capacity < ms_RecordLength) {
    throw Util::CException(Util::ErrorCodes::ms_CorvaneUidLength, capacity);
  }
}

void CCorvaneUidChk::ReadContent(u32 length) {
  CCorvaneUid::ReadContent(length);
  m_ContentUnchanged = true;
}

const u8* CCorvaneUidChk::GetInvertedQorUdid() const {
  UTIL_CHECK(m_ContentRead);
  return m_InvertedQorUdid;
}

u64 CCorvaneUidChk::GetInvertedTimestamp() const {
  UTIL_CHECK(m_ContentRead);
  return m_InvertedTimestamp;
}

void CCorvaneUidChk::SetInvertedQorUdid(const u8* invertedUdid) {
  UTIL_CHECK(invertedUdid != nullptr);
  UTIL_CHECK(m_ContentRead);
  for (unsigned i = 0; i < Util::CUdid::ms_Length; ++i) {
    m_InvertedQorUdid[i] = invertedUdid[i];
  }
  m_ContentUnchanged = false;
}

void CCorvaneUidChk::SetInvertedTimestamp(u64 invertedTimestamp) {
  UTIL_CHECK(m_ContentRead);
  m_InvertedTimestamp = invertedTimestamp;
  m_ContentUnchanged = false;
}

void CCorvaneUidChk::WriteContent() {
  UTIL_CHECK(m_ContentRead);
  if (m_ContentUnchanged) {
    return;
  }
  CLittleEndian::PutU32(m_Buffer, ms_Version);
  for (unsigned i = 0; i < Util::CUdid::ms_Length; ++i) {
    m_Buffer[ms_UdidOffset + i] = m_InvertedQorUdid[i];
  }
  CLittleEndian::PutU64(m_Buffer + ms_TimestampOffset, m_InvertedTimestamp);
  m_ContentLength = ms_RecordLength;
  m_QorUdid = m_Buffer + ms_UdidOffset;
  m_Timestamp = m_InvertedTimestamp;
  m_ContentUnchanged = true;
}

void CCorvaneUidChk::InitializeWithEmptyContent() {
  CCorvaneUid::InitializeWithEmptyContent();
  for (unsigned i = 0; i < Util::CUdid::ms_Length; ++i) {
    m_InvertedQorUdid[i] = 0xFF;
  }
  m_InvertedTimestamp = ~static_cast<u64>(0);
}

void CCorvaneUidChk::ReadQorUdid(u32& position) {
  for (unsigned i = 0; i < Util::CUdid::ms_Length; ++i) {
    m_InvertedQorUdid[i] = m_Buffer[position + i];
  }
  CCorvaneUid::ReadQorUdid(position);
}

void CCorvaneUidChk::ReadTimestamp(u32& position) {
  CCorvaneUid::ReadTimestamp(position);
  m_InvertedTimestamp = m_Timestamp;
}

}  // namespace Param
