#include "CCorvaneDatChk.h"

#include "CFileFrame.h"
#include "CInternalError.h"
#include "CLittleEndian.h"

namespace Param {

CCorvaneDatChk::CCorvaneDatChk(u32 capacity, u8* buffer) : CCorvaneDat(capacity, buffer) {}

void CCorvaneDatChk::ReadContent(u32 length) {
  CCorvaneDat::ReadContent(length);
  m_ContentUnchanged = true;
}

u32 CCorvaneDatChk::GetContentLength() const {
  UTIL_CHECK(m_ContentRead);
  return m_ContentLength;
}

void CCorvaneDatChk::StartWritingUdidSection(u32& room, u8*& section) {
  UTIL_CHECK(!m_SectionInUse);
  UTIL_CHECK(m_Capacity >= ms_CapacityMin);
  // The largest section whose header and block CRCs still fit; computed in 64 bits
  // since capacity x 16384 does not fit a u32.
  constexpr u64 blockLength = CFileFrame::ms_CrcBlockLength;
  const u64 roomLength =
      (static_cast<u64>(m_Capacity) * blockLength - (ms_CapacityMin * blockLength - CFileFrame::ms_CrcLength)) /
      (blockLength + CFileFrame::ms_CrcLength);
  m_Room = static_cast<u32>(roomLength);
  m_SectionInUse = true;
  m_SectionWriting = true;
  room = m_Room;
  section = m_Buffer + CFileFrame::ms_HeaderLength;
}

void CCorvaneDatChk::StopWritingUdidSection(u32 length) {
  UTIL_CHECK(m_SectionInUse && m_SectionWriting);
  UTIL_CHECK(length <= m_Room);
  m_SectionInUse = false;
  m_SectionWriting = false;
  m_SectionLength = length;
  m_Section = m_Buffer + CFileFrame::ms_HeaderLength;
  m_ContentRead = true;
  m_ContentUnchanged = false;
}

void CCorvaneDatChk::WriteContent() {
  UTIL_CHECK(m_ContentRead);
  UTIL_CHECK(!m_SectionInUse);
  if (m_ContentUnchanged) {
    return;
  }
  const u32 length = m_SectionLength;
  const u32 crcCount = CFileFrame::BlockCount(length);
  const u32 crcOffset = CFileFrame::ms_HeaderLength + length;
  const u32 total = crcOffset + CFileFrame::ms_CrcLength * crcCount;
  u8* b = m_Buffer;
  CLittleEndian::PutU16(b, ms_HeaderLength);
  CLittleEndian::PutU16(b + 2, ms_Version);
  CLittleEndian::PutU32(b + 4, total);
  CLittleEndian::PutU32(b + 8, CFileFrame::ms_HeaderLength);
  CLittleEndian::PutU32(b + 12, length);
  CLittleEndian::PutU32(b + 16, crcOffset);
  CLittleEndian::PutU32(b + 20, crcCount);
  for (u32 i = 24; i < 62; ++i) {
    b[i] = 0;
  }
  CLittleEndian::PutU16(b + 62, CFileFrame::HeaderCrc16(b));
  CFileFrame::WriteBlockCrcs(b + CFileFrame::ms_HeaderLength, length, b + crcOffset);
  m_ContentLength = total;
  m_ContentUnchanged = true;
}

}  // namespace Param
