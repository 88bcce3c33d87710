#include "CAutoCnfBin.h"

#include "CException.h"
#include "CFileFrame.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "ErrorCodes.h"

namespace Param {

using Util::ErrorCodes;

CAutoCnfBin::CAutoCnfBin(u32 capacity, const u8* buffer) : m_Capacity(capacity), m_Buffer(buffer) {
  UTIL_CHECK(buffer != nullptr);
}

void CAutoCnfBin::ReadContent(u32 length) {
  m_ContentRead = false;
  if (length > m_Capacity) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinCapacity, static_cast<u16>(m_Capacity), length);
  }
  const u8* b = m_Buffer;
  m_Timestamp = 0;
  m_MachineOptionLength = 0;
  m_MachineOptions = nullptr;
  if (length == 0) {
    m_UdidSection.Bind(0, b);
    m_ContentLength = 0;
    m_ContentRead = true;
    return;
  }
  if (length >= ms_OldLayoutLengthMin && CLittleEndian::GetU16(b + 4) == ms_OldLayoutVersion) {
    // The whole file is the UDID section; its own checks run when a reader takes it.
    m_UdidSection.Bind(length, b);
    m_ContentLength = length;
    m_ContentRead = true;
    return;
  }
  if (length < ms_HeaderLength) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinLength, length);
  }
  if (CLittleEndian::GetU16(b) > ms_SectionCountMax) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinSectionCount, CLittleEndian::GetU16(b));
  }
  CFileFrame::RequireU16(b, 2, ms_HeaderLength, ErrorCodes::ms_AutoCnfBinHeaderLength);
  CFileFrame::RequireU16(b, 4, ms_Version, ErrorCodes::ms_AutoCnfBinVersion);
  CFileFrame::RequireU16(b, 6, ms_SectionInformationOffset, ErrorCodes::ms_AutoCnfBinInformationOffset);
  const u32 timestamp = CLittleEndian::GetU32(b + 8);
  const u32 udidLength = CLittleEndian::GetU32(b + 12);
  const u32 udidOffset = CLittleEndian::GetU32(b + 16);
  const u32 optionLength = CLittleEndian::GetU32(b + 20);
  const u32 optionOffset = CLittleEndian::GetU32(b + 24);
  const u32 flagLength = CLittleEndian::GetU32(b + 28);
  const u32 flagOffset = CLittleEndian::GetU32(b + 32);

  // UDID section: at 64 when present; its length rule comes after the bounds.
  if (udidLength != 0 ? udidOffset != ms_HeaderLength : udidOffset != 0) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinUdidSectionOffset, udidOffset);
  }
  if (static_cast<u64>(udidOffset) + udidLength > length) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinUdidSectionBeyond, static_cast<u16>(udidOffset),
                           udidLength & 0xFFFFu);
  }
  if (udidLength != 0 && udidLength < ms_SectionLengthMin) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinUdidSectionShort, udidLength);
  }
  if (optionLength != 0 && optionLength != ms_MachineOptionLength) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinMachineOptionLength, optionLength);
  }
  CheckSection(optionLength, optionOffset, length, ErrorCodes::ms_AutoCnfBinMachineOptionOffset,
               ErrorCodes::ms_AutoCnfBinMachineOptionBeyond);
  if (flagLength != 0 && flagLength != ms_ModuleFlagLengthShort && flagLength != ms_ModuleFlagLengthLong) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinModuleFlagLength, flagLength);
  }
  CheckSection(flagLength, flagOffset, length, ErrorCodes::ms_AutoCnfBinModuleFlagOffset,
               ErrorCodes::ms_AutoCnfBinModuleFlagBeyond);
  const u32 computedHeaderCrc = CFileFrame::HeaderCrc32(b);
  if (computedHeaderCrc != CLittleEndian::GetU32(b + 60)) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinHeaderCrc, computedHeaderCrc);
  }
  // The sections follow the header back to back, so the file CRC stands behind all three;
  // it must lie inside the content, and no section may reach past it unprotected.
  const u64 crcPosition = static_cast<u64>(ms_HeaderLength) + udidLength + optionLength + flagLength;
  if (crcPosition + CFileFrame::ms_CrcLength > length) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinFileCrc, 1, static_cast<u32>(crcPosition));
  }
  if (static_cast<u64>(udidOffset) + udidLength > crcPosition) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinUdidSectionBeyond, static_cast<u16>(udidOffset),
                           udidLength & 0xFFFFu);
  }
  if (static_cast<u64>(optionOffset) + optionLength > crcPosition) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinMachineOptionBeyond, static_cast<u16>(optionOffset),
                           optionLength);
  }
  if (static_cast<u64>(flagOffset) + flagLength > crcPosition) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinModuleFlagBeyond, static_cast<u16>(flagOffset), flagLength);
  }
  const u32 position = static_cast<u32>(crcPosition);
  const u32 computedFileCrc = CFileFrame::Crc32(b, position);
  if (computedFileCrc != CLittleEndian::GetU32(b + position)) {
    throw Util::CException(ErrorCodes::ms_AutoCnfBinFileCrc, computedFileCrc);
  }
  m_UdidSection.Bind(udidLength, udidLength != 0 ? b + udidOffset : b);
  m_Timestamp = timestamp;
  m_MachineOptionLength = static_cast<u16>(optionLength);
  m_MachineOptions = optionLength != 0 ? b + optionOffset : nullptr;
  m_ContentLength = length;
  m_ContentRead = true;
}

void CAutoCnfBin::CheckSection(u32 length, u32 offset, u32 contentLength, u16 offsetCode, u16 beyondCode) const {
  if (length != 0 ? offset < ms_HeaderLength : offset != 0) {
    throw Util::CException(offsetCode, offset);
  }
  if (static_cast<u64>(offset) + length > contentLength) {
    throw Util::CException(beyondCode, static_cast<u16>(offset), length);
  }
}

u32 CAutoCnfBin::GetTimestamp() const {
  UTIL_CHECK(m_ContentRead);
  return m_Timestamp;
}

bool CAutoCnfBin::HasMachineOptionSection() const {
  UTIL_CHECK(m_ContentRead);
  return m_MachineOptionLength != 0;
}

void CAutoCnfBin::GetRawMachineOptionSection(u16& length, const u8*& data) const {
  UTIL_CHECK(m_ContentRead);
  length = m_MachineOptionLength;
  data = m_MachineOptions;
}

CAutoCnfBinUdidSection& CAutoCnfBin::GetUdidSection() {
  UTIL_CHECK(m_ContentRead);
  return m_UdidSection;
}

}  // namespace Param
