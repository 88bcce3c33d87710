#include "CFwRevCnfBin.h"

#include "CException.h"
#include "CFileFrame.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "CUdid.h"
#include "ErrorCodes.h"

namespace Param {

using Util::ErrorCodes;

namespace {
const u8 ms_ZeroField[CFwRevCnfBin::ms_PasswordLength] = {};  ///< the fields of the absent file
}  // namespace

CFwRevCnfBin::CFwRevCnfBin(u32 capacity, u8* buffer, u16 flagSet)
    : m_FlagSet(flagSet), m_Capacity(capacity), m_Buffer(buffer) {
  UTIL_CHECK(buffer != nullptr);
}

void CFwRevCnfBin::ReadContent(u32 length) {
  if (length > m_Capacity) {
    throw Util::CException(ErrorCodes::ms_FwRevCnfBinLength, length);
  }
  UTIL_CHECK(!m_SectionInUse);
  m_ContentRead = false;
  u8* b = m_Buffer;
  if (length == 0) {
    m_ContentLength = 0;
    m_EntriesLength = 0;
    m_Entries = b + ms_EntryOffset;
    InitializeEmptyAuthentification();
    m_ContentRead = true;
    return;
  }
  if (length < ms_MinimumLength) {
    throw Util::CException(ErrorCodes::ms_FwRevCnfBinLength, length);
  }
  const u16 count = CLittleEndian::GetU16(b);
  if (count > ms_CountMax) {
    throw Util::CException(ErrorCodes::ms_FwRevCnfBinCount, count);
  }
  CFileFrame::RequireU16(b, 2, ms_EntryLength, ErrorCodes::ms_FwRevCnfBinEntryLength);
  CFileFrame::RequireU16(b, 4, ms_Version, ErrorCodes::ms_FwRevCnfBinVersion);
  CFileFrame::RequireU16(b, 6, ms_EntryOffset, ErrorCodes::ms_FwRevCnfBinEntryOffset);
  const u32 entriesLength = static_cast<u32>(count) * ms_EntryLength;
  if (ms_HeaderLength + entriesLength + CFileFrame::ms_CrcLength > length) {
    throw Util::CException(ErrorCodes::ms_FwRevCnfBinModuleSection, ms_EntryOffset, entriesLength);
  }
  const u32 moduleCrc = CFileFrame::Crc32(b, ms_HeaderLength + entriesLength);
  if (moduleCrc != CLittleEndian::GetU32(b + ms_HeaderLength + entriesLength)) {
    throw Util::CException(ErrorCodes::ms_FwRevCnfBinModuleCrc, moduleCrc);
  }
  const u32 p = ms_MinimumLength + entriesLength;
  if (p + ms_AuthentificationLength > length) {
    throw Util::CException(ErrorCodes::ms_FwRevCnfBinAuthentificationSection, p);
  }
  CFileFrame::RequireU16(b, p, ms_PretendedAuthentificationSectionLength,
                         ErrorCodes::ms_FwRevCnfBinAuthentificationLength);
  CFileFrame::RequireU16(b, p + 2, ms_AuthentificationDataOffset, ErrorCodes::ms_FwRevCnfBinAuthentificationOffset);
  const u16 flags = CLittleEndian::GetU16(b + p + 4);
  if ((flags & ~m_FlagSet) != 0) {
    throw Util::CException(ErrorCodes::ms_FwRevCnfBinFlags, flags);
  }
  u32 position = p + 6;
  ReadQorUdid(position);
  ReadCpuId(position);
  ReadPassword(position);
  const u32 authentificationCrc = CFileFrame::Crc32(b + p, ms_AuthentificationCrcLength);
  if (authentificationCrc != CLittleEndian::GetU32(b + p + ms_AuthentificationCrcLength)) {
    throw Util::CException(ErrorCodes::ms_FwRevCnfBinAuthentificationCrc, authentificationCrc);
  }
  m_CpuIdValid = (flags & ms_FlagCpuId) != 0;
  m_QorUdidValid = (flags & ms_FlagQorUdid) != 0;
  m_PasswordPresent = (flags & ms_FlagPassword) != 0;
  m_CorvaneEmpty = (flags & ms_FlagCorvaneEmpty) != 0;
  m_SetupModeActive = (flags & ms_FlagSetupMode) != 0;
  m_ContentLength = length;
  m_EntriesLength = entriesLength;
  m_Entries = b + ms_EntryOffset;
  m_ContentRead = true;
}

void CFwRevCnfBin::StartReadingModuleSection(u32& length, const u8*& entries) {
  CheckRead();
  UTIL_CHECK(!m_SectionInUse);
  m_SectionInUse = true;
  m_SectionWriting = false;
  length = m_EntriesLength;
  entries = m_Entries;
}

void CFwRevCnfBin::StopReadingModuleSection() {
  UTIL_CHECK(m_SectionInUse && !m_SectionWriting);
  m_SectionInUse = false;
}

void CFwRevCnfBin::CheckRead() const { UTIL_CHECK(m_ContentRead); }

bool CFwRevCnfBin::HasCpuId() const {
  CheckRead();
  return m_CpuIdValid;
}

const u8* CFwRevCnfBin::GetCpuId() const {
  CheckRead();
  return m_CpuId;
}

bool CFwRevCnfBin::HasQorUdid() const {
  CheckRead();
  return m_QorUdidValid;
}

const u8* CFwRevCnfBin::GetQorUdid() const {
  CheckRead();
  return m_QorUdid;
}

bool CFwRevCnfBin::HasPassword() const {
  CheckRead();
  return m_PasswordPresent;
}

const u8* CFwRevCnfBin::GetPassword() const {
  CheckRead();
  return m_Password;
}

bool CFwRevCnfBin::WasCorvaneEmpty() const {
  CheckRead();
  return m_CorvaneEmpty;
}

bool CFwRevCnfBin::IsSetupModeActive() const {
  CheckRead();
  return m_SetupModeActive;
}

void CFwRevCnfBin::InitializeEmptyAuthentification() {
  m_CpuIdValid = m_QorUdidValid = m_PasswordPresent = m_CorvaneEmpty = m_SetupModeActive = false;
  m_CpuId = ms_ZeroField;
  m_QorUdid = ms_ZeroField;
  m_Password = ms_ZeroField;
}

void CFwRevCnfBin::ReadCpuId(u32& position) {
  m_CpuId = m_Buffer + position;
  position += ms_CpuIdLength;
}

void CFwRevCnfBin::ReadQorUdid(u32& position) {
  m_QorUdid = m_Buffer + position;
  position += Util::CUdid::ms_Length;
}

void CFwRevCnfBin::ReadPassword(u32& position) {
  m_Password = m_Buffer + position;
  position += ms_PasswordLength + 1;
}

}  // namespace Param
