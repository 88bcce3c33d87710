#include "CFwRevCnfBinChk.h"

#include "CException.h"
#include "CFileFrame.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "CUdid.h"
#include "ErrorCodes.h"

namespace Param {

namespace {
/// Copies count bytes.
void CopyBytes(u8* target, const u8* source, u32 count) {
  for (u32 i = 0; i < count; ++i) {
    target[i] = source[i];
  }
}
/// Sets count bytes to 0xFF, the complement of an absent value.
void FillOnes(u8* target, u32 count) {
  for (u32 i = 0; i < count; ++i) {
    target[i] = 0xFF;
  }
}
}  // namespace

CFwRevCnfBinChk::CFwRevCnfBinChk(u32 capacity, u8* buffer, u16 flagSet) : CFwRevCnfBin(capacity, buffer, flagSet) {
  if (capacity < ms_FixedLength) {
    throw Util::CException(Util::ErrorCodes::ms_FwRevCnfBinLength, capacity);
  }
  FillOnes(m_InvertedCpuId, ms_CpuIdLength);
  FillOnes(m_InvertedQorUdid, Util::CUdid::ms_Length);
  FillOnes(m_InvertedPassword, ms_PasswordLength);
}

void CFwRevCnfBinChk::ReadContent(u32 length) {
  CFwRevCnfBin::ReadContent(length);
  m_ContentUnchanged = true;
}

const u8* CFwRevCnfBinChk::GetInvertedCpuId() const {
  CheckRead();
  return m_InvertedCpuId;
}

const u8* CFwRevCnfBinChk::GetInvertedQorUdid() const {
  CheckRead();
  return m_InvertedQorUdid;
}

const u8* CFwRevCnfBinChk::GetInvertedPassword() const {
  CheckRead();
  return m_InvertedPassword;
}

void CFwRevCnfBinChk::CheckSetter(const u8* value) const {
  UTIL_CHECK(value != nullptr);
  CheckRead();
}

void CFwRevCnfBinChk::SetInvertedCpuId(const u8* invertedCpuId) {
  CheckSetter(invertedCpuId);
  CopyBytes(m_InvertedCpuId, invertedCpuId, ms_CpuIdLength);
  m_CpuIdValid = true;
  m_ContentUnchanged = false;
}

void CFwRevCnfBinChk::SetInvertedQorUdid(const u8* invertedUdid) {
  CheckSetter(invertedUdid);
  CopyBytes(m_InvertedQorUdid, invertedUdid, Util::CUdid::ms_Length);
  m_QorUdidValid = true;
  m_ContentUnchanged = false;
}

void CFwRevCnfBinChk::SetInvertedPassword(const u8* invertedPassword) {
  CheckSetter(invertedPassword);
  CopyBytes(m_InvertedPassword, invertedPassword, ms_PasswordLength);
  m_PasswordPresent = true;
  m_ContentUnchanged = false;
}

void CFwRevCnfBinChk::SetCorvaneEmpty(bool empty) {
  CheckRead();
  UTIL_CHECK((m_FlagSet & ms_FlagCorvaneEmpty) != 0);
  m_CorvaneEmpty = empty;
  m_ContentUnchanged = false;
}

void CFwRevCnfBinChk::SetSetupModeActive(bool active) {
  CheckRead();
  UTIL_CHECK((m_FlagSet & ms_FlagSetupMode) != 0);
  m_SetupModeActive = active;
  m_ContentUnchanged = false;
}

void CFwRevCnfBinChk::StartWritingModuleSection(u32& room, u8*& entries) {
  CheckRead();
  UTIL_CHECK(!m_SectionInUse);
  m_Room = m_Capacity - ms_FixedLength;
  m_SectionInUse = true;
  m_SectionWriting = true;
  m_ContentUnchanged = false;
  room = m_Room;
  entries = m_Buffer + ms_EntryOffset;
}

void CFwRevCnfBinChk::StopWritingModuleSection(u32 length) {
  UTIL_CHECK(m_SectionInUse && m_SectionWriting);
  UTIL_CHECK(length <= m_Room);
  UTIL_CHECK(length % ms_EntryLength == 0);
  UTIL_CHECK(length / ms_EntryLength <= ms_CountMax);
  m_SectionInUse = false;
  m_SectionWriting = false;
  m_EntriesLength = length;
  m_Entries = m_Buffer + ms_EntryOffset;
}

void CFwRevCnfBinChk::WriteContent() {
  CheckRead();
  UTIL_CHECK(!m_SectionInUse);
  if (m_ContentUnchanged) {
    return;
  }
  u8* b = m_Buffer;
  const u32 entriesLength = m_EntriesLength;
  CLittleEndian::PutU16(b, static_cast<u16>(entriesLength / ms_EntryLength));
  CLittleEndian::PutU16(b + 2, ms_EntryLength);
  CLittleEndian::PutU16(b + 4, ms_Version);
  CLittleEndian::PutU16(b + 6, ms_EntryOffset);
  CLittleEndian::PutU32(b + ms_HeaderLength + entriesLength, CFileFrame::Crc32(b, ms_HeaderLength + entriesLength));
  const u32 p = ms_MinimumLength + entriesLength;
  // Only the build's flag set is written: the older copy has bits 3 to 15 clear.
  const u16 flags = static_cast<u16>(((m_CpuIdValid ? ms_FlagCpuId : 0) | (m_QorUdidValid ? ms_FlagQorUdid : 0) |
                                      (m_PasswordPresent ? ms_FlagPassword : 0) |
                                      (m_CorvaneEmpty ? ms_FlagCorvaneEmpty : 0) |
                                      (m_SetupModeActive ? ms_FlagSetupMode : 0)) &
                                     m_FlagSet);
  CLittleEndian::PutU16(b + p, ms_PretendedAuthentificationSectionLength);
  CLittleEndian::PutU16(b + p + 2, ms_AuthentificationDataOffset);
  CLittleEndian::PutU16(b + p + 4, flags);
  CopyBytes(b + p + 6, m_InvertedQorUdid, Util::CUdid::ms_Length);
  CopyBytes(b + p + 12, m_InvertedCpuId, ms_CpuIdLength);
  CopyBytes(b + p + 20, m_InvertedPassword, ms_PasswordLength);
  b[p + 20 + ms_PasswordLength] = 0;
  CLittleEndian::PutU32(b + p + ms_AuthentificationCrcLength, CFileFrame::Crc32(b + p, ms_AuthentificationCrcLength));
  m_QorUdid = b + p + 6;
  m_CpuId = b + p + 12;
  m_Password = b + p + 20;
  m_ContentLength = ms_FixedLength + entriesLength;
  m_ContentUnchanged = true;
}

u32 CFwRevCnfBinChk::GetContentLength() const {
  CheckRead();
  return m_ContentLength;
}

void CFwRevCnfBinChk::InitializeEmptyAuthentification() {
  CFwRevCnfBin::InitializeEmptyAuthentification();
  FillOnes(m_InvertedCpuId, ms_CpuIdLength);
  FillOnes(m_InvertedQorUdid, Util::CUdid::ms_Length);
  FillOnes(m_InvertedPassword, ms_PasswordLength);
}

void CFwRevCnfBinChk::ReadCpuId(u32& position) {
  CopyBytes(m_InvertedCpuId, m_Buffer + position, ms_CpuIdLength);
  CFwRevCnfBin::ReadCpuId(position);
}

void CFwRevCnfBinChk::ReadQorUdid(u32& position) {
  CopyBytes(m_InvertedQorUdid, m_Buffer + position, Util::CUdid::ms_Length);
  CFwRevCnfBin::ReadQorUdid(position);
}

void CFwRevCnfBinChk::ReadPassword(u32& position) {
  CopyBytes(m_InvertedPassword, m_Buffer + position, ms_PasswordLength);
  CFwRevCnfBin::ReadPassword(position);
}

}  // namespace Param
