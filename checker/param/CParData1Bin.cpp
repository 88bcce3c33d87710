#include "CParData1Bin.h"

#include "CException.h"
#include "CFileFrame.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "ErrorCodes.h"

namespace Param {

namespace {
using Util::ErrorCodes;
/// Refusal steps of the file.
enum : u16 {
  ms_StepLength = 1,          ///< length above the capacity or below the header
  ms_StepHeaderLength = 2,    ///< header length word
  ms_StepVersion = 3,         ///< file version
  ms_StepEntryOffset = 4,     ///< first-entry offset
  ms_StepBlockCrc = 11,       ///< block CRC
  ms_StepHeaderCrc = 10,      ///< header CRC
};
/// The layout refusals of the data area, steps 5 to 9.
constexpr CFileFrame::SLayoutRefusals ms_LayoutRefusals = {
    {ErrorCodes::ms_ParData1Bin, 5}, {ErrorCodes::ms_ParData1Bin, 6}, {ErrorCodes::ms_ParData1Bin, 7},
    {ErrorCodes::ms_ParData1Bin, 8}, {ErrorCodes::ms_ParData1Bin, 9}};

[[noreturn]] void Refuse(u16 step, u32 value) { throw Util::CException(ErrorCodes::ms_ParData1Bin, step, value); }
}  // namespace

CParData1Bin::CParData1Bin(u32 capacity, const u8* buffer) : m_Capacity(capacity), m_Buffer(buffer) {
  UTIL_CHECK(buffer != nullptr);
}

void CParData1Bin::ReadContent(u32 length) {
  UTIL_CHECK(!m_DataInUse);
  m_ContentRead = false;
  if (length > m_Capacity) {
    Refuse(ms_StepLength, length);
  }
  const u8* b = m_Buffer;
  if (length == 0) {
    m_ContentLength = 0;
    m_Count = 0;
    m_Version = 0;
    m_DataLength = 0;
    m_Data = b;
    m_Timestamp = 0;
    m_ContentRead = true;
    return;
  }
  if (length < CFileFrame::ms_HeaderLength) {
    Refuse(ms_StepLength, length);
  }
  if (CLittleEndian::GetU16(b + 2) != ms_HeaderLength) {
    Refuse(ms_StepHeaderLength, CLittleEndian::GetU16(b + 2));
  }
  const u16 version = CLittleEndian::GetU16(b + 4);
  if (version != ms_Version && version != ms_VersionSkipping) {
    Refuse(ms_StepVersion, version);
  }
  if (CLittleEndian::GetU16(b + 6) != ms_HeaderLength) {
    Refuse(ms_StepEntryOffset, CLittleEndian::GetU16(b + 6));
  }
  const u16 count = CLittleEndian::GetU16(b);
  const u32 timestamp = CLittleEndian::GetU32(b + 8);
  const CFileFrame::SArea data = {CLittleEndian::GetU32(b + 16), CLittleEndian::GetU32(b + 12),
                                  CLittleEndian::GetU32(b + 24), CLittleEndian::GetU32(b + 20)};
  const u32 storedCrc = CLittleEndian::GetU32(b + 60);
  if (CFileFrame::HeaderCrc32(b) != storedCrc) {
    Refuse(ms_StepHeaderCrc, storedCrc);
  }
  CFileFrame::CheckArea(b, length, data, ms_LayoutRefusals, {ErrorCodes::ms_ParData1Bin, ms_StepBlockCrc});
  m_ContentLength = length;
  m_Count = count;
  m_Version = version;
  m_DataLength = data.m_Length;
  m_Data = b + data.m_Offset;
  m_Timestamp = timestamp;
  m_ContentRead = true;
}

u32 CParData1Bin::GetTimestamp() const {
  UTIL_CHECK(m_ContentRead);
  return m_Timestamp;
}

u16 CParData1Bin::GetVersion() const {
  UTIL_CHECK(m_ContentRead);
  return m_Version;
}

void CParData1Bin::StartReadingData(u32& count, u32& length, const u8*& data) {
  UTIL_CHECK(m_ContentRead);
  UTIL_CHECK(!m_DataInUse);
  m_DataInUse = true;
  count = m_Count;
  length = m_DataLength;
  data = m_Data;
}

void CParData1Bin::StopReadingData() {
  UTIL_CHECK(m_DataInUse);
  m_DataInUse = false;
}

}  // namespace Param
