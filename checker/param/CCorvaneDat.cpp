#include "CCorvaneDat.h"

#include "CException.h"
#include "CFileFrame.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "ErrorCodes.h"

namespace Param {

namespace {
using Util::ErrorCodes;
/// The layout refusals of the UDID section, in check order.
constexpr CFileFrame::SLayoutRefusals ms_LayoutRefusals = {
    {ErrorCodes::ms_CorvaneDatSectionOffset, 0}, {ErrorCodes::ms_CorvaneDatSectionLength, 0},
    {ErrorCodes::ms_CorvaneDatCrcOffset, 0},     {ErrorCodes::ms_CorvaneDatCrcCount, 0},
    {ErrorCodes::ms_CorvaneDatCrcList, 0}};
}  // namespace

CCorvaneDat::CCorvaneDat(u32 capacity, u8* buffer) : m_Capacity(capacity), m_Buffer(buffer) {
  UTIL_CHECK(buffer != nullptr);
}

void CCorvaneDat::ReadContent(u32 length) {
  UTIL_CHECK(!m_SectionInUse);
  m_ContentRead = false;
  if (length > m_Capacity) {
    throw Util::CException(ErrorCodes::ms_CorvaneDatCapacity, static_cast<u16>(m_Capacity), length);
  }
  u8* b = m_Buffer;
  if (length == 0) {
    m_ContentLength = 0;
    m_SectionLength = 0;
    m_Section = b;
    m_ContentRead = true;
    return;
  }
  if (length < CFileFrame::ms_HeaderLength) {
    throw Util::CException(ErrorCodes::ms_CorvaneDatLength, length);
  }
  CFileFrame::RequireU16(b, 0, ms_HeaderLength, ErrorCodes::ms_CorvaneDatHeaderLength);
  CFileFrame::RequireU16(b, 2, ms_Version, ErrorCodes::ms_CorvaneDatVersion);
  CFileFrame::RequireU32(b, 4, length, ErrorCodes::ms_CorvaneDatTotalLength);
  const CFileFrame::SArea section = {CLittleEndian::GetU32(b + 8), CLittleEndian::GetU32(b + 12),
                                     CLittleEndian::GetU32(b + 16), CLittleEndian::GetU32(b + 20)};
  const u16 computedCrc = CFileFrame::HeaderCrc16(b);
  if (computedCrc != CLittleEndian::GetU16(b + 62)) {
    throw Util::CException(ErrorCodes::ms_CorvaneDatHeaderCrc, computedCrc);
  }
  CFileFrame::CheckArea(b, length, section, ms_LayoutRefusals, {ErrorCodes::ms_CorvaneDatBlockCrc, 0});
  m_ContentLength = length;
  m_SectionLength = section.m_Length;
  m_Section = b + section.m_Offset;
  m_ContentRead = true;
}

void CCorvaneDat::StartReadingUdidSection(u32& length, const u8*& section) {
  UTIL_CHECK(m_ContentRead);
  UTIL_CHECK(!m_SectionInUse);
  m_SectionInUse = true;
  m_SectionWriting = false;
  length = m_SectionLength;
  section = m_Section;
}

void CCorvaneDat::StopReadingUdidSection() {
  UTIL_CHECK(m_SectionInUse && !m_SectionWriting);
  m_SectionInUse = false;
}

}  // namespace Param
