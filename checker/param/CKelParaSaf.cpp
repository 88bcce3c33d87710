#include "CKelParaSaf.h"

#include "CException.h"
#include "CFileFrame.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "ErrorCodes.h"

namespace Param {

namespace {
using Util::ErrorCodes;
/// The layout refusals of the SCM section, in check order.
constexpr CFileFrame::SLayoutRefusals ms_LayoutRefusals = {
    {ErrorCodes::ms_KelParaSafSectionOffset, 0}, {ErrorCodes::ms_KelParaSafSectionLength, 0},
    {ErrorCodes::ms_KelParaSafCrcOffset, 0},     {ErrorCodes::ms_KelParaSafCrcCount, 0},
    {ErrorCodes::ms_KelParaSafCrcList, 0}};
}  // namespace

CKelParaSaf::CKelParaSaf(u32 capacity, const u8* buffer) : m_Capacity(capacity), m_Buffer(buffer) {
  UTIL_CHECK(buffer != nullptr);
}

void CKelParaSaf::ReadContent(u32 length) {
  m_ContentRead = false;
  if (length > m_Capacity) {
    throw Util::CException(ErrorCodes::ms_KelParaSafLength, static_cast<u16>(m_Capacity), length);
  }
  if (length == 0) {
    m_ContentLength = 0;
    m_SectionLength = 0;
    m_Section = m_Buffer;
    m_ContentRead = true;
    return;
  }
  if (length < CFileFrame::ms_HeaderLength) {
    throw Util::CException(ErrorCodes::ms_KelParaSafLength, length);
  }
  const u8* b = m_Buffer;
  CFileFrame::RequireU16(b, 0, ms_HeaderLength, ErrorCodes::ms_KelParaSafHeaderLength);
  CFileFrame::RequireU16(b, 2, ms_Version, ErrorCodes::ms_KelParaSafVersion);
  CFileFrame::RequireU32(b, 4, length, ErrorCodes::ms_KelParaSafTotalLength);
  const CFileFrame::SArea section = {CLittleEndian::GetU32(b + ms_ScmSectionOffsetOffset),
                                     CLittleEndian::GetU32(b + ms_ScmSectionOffsetOffset + 4),
                                     CLittleEndian::GetU32(b + ms_ScmSectionOffsetOffset + 8),
                                     CLittleEndian::GetU32(b + ms_ScmSectionOffsetOffset + 12)};
  CFileFrame::RequireU32(b, 44, ms_ScmSectionVersion, ErrorCodes::ms_KelParaSafScmSectionVersion);
  const u16 storedCrc = CLittleEndian::GetU16(b + 62);
  if (CFileFrame::HeaderCrc16(b) != storedCrc) {
    throw Util::CException(ErrorCodes::ms_KelParaSafHeaderCrc, storedCrc);
  }
  CFileFrame::CheckArea(b, length, section, ms_LayoutRefusals, {ErrorCodes::ms_KelParaSafBlockCrc, 0});
  m_ContentLength = length;
  m_SectionLength = section.m_Length;
  m_Section = b + section.m_Offset;
  m_ContentRead = true;
}

void CKelParaSaf::StartReadingScmSection(u32& length, const u8*& section) {
  UTIL_CHECK(m_ContentRead);
  UTIL_CHECK(!m_SectionInUse);
  m_SectionInUse = true;
  length = m_SectionLength;
  section = m_Section;
}

void CKelParaSaf::StopReadingScmSection() {
  UTIL_CHECK(m_SectionInUse);
  m_SectionInUse = false;
}

}  // namespace Param
