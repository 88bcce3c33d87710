#include "CAutoCnfBinUdidSection.h"

#include "CException.h"
#include "CFileFrame.h"
#include "CLittleEndian.h"
#include "ErrorCodes.h"

namespace Param {

using Util::ErrorCodes;

void CAutoCnfBinUdidSection::Bind(u32 length, const u8* section) {
  m_SectionLength = length;
  m_Section = section;
  m_EntriesLength = 0;
  m_Entries = nullptr;
  m_HandedOut = false;
}

void CAutoCnfBinUdidSection::StartReadingUdids(u32& length, const u8*& entries) {
  if (m_HandedOut) {
    length = 0;
    entries = nullptr;
    return;
  }
  if (m_SectionLength == 0) {
    length = 0;
    entries = m_Section;
    return;
  }
  // A bound section is at least 8 bytes long (the file's read refuses shorter ones).
  const u8* s = m_Section;
  const u16 count = CLittleEndian::GetU16(s);
  if (count > ms_CountMax) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinUdidCount, count);
  }
  const u32 entriesLength = static_cast<u32>(count) * ms_EntryLength;
  if (m_SectionLength < ms_FixedLength + entriesLength) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinUdidSectionLength, entriesLength);
  }
  CFileFrame::RequireU16(s, 2, ms_EntryLength, ErrorCodes::ms_AutoCnfBinUdidEntryLength);
  CFileFrame::RequireU16(s, 4, ms_Version, ErrorCodes::ms_AutoCnfBinUdidVersion);
  CFileFrame::RequireU16(s, 6, ms_EntryOffset, ErrorCodes::ms_AutoCnfBinUdidEntryOffset);
  const u32 storedCrc = CLittleEndian::GetU32(s + ms_EntryOffset + entriesLength);
  if (CFileFrame::Crc32(s, ms_EntryOffset + entriesLength) != storedCrc) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinUdidCrc, storedCrc);
  }
  m_EntriesLength = entriesLength;
  m_Entries = s + ms_EntryOffset;
  m_HandedOut = true;
  length = m_EntriesLength;
  entries = m_Entries;
}

}  // namespace Param
