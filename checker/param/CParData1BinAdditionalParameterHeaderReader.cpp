#include "CParData1BinAdditionalParameterHeaderReader.h"

#include "CException.h"
#include "CFileFrame.h"
#include "CInternalError.h"
#include "CLittleEndian.h"
#include "CObjectRecord.h"
#include "CSafetyAddress.h"
#include "ErrorCodes.h"

namespace Param {

namespace {
[[noreturn]] void Refuse(u16 step, u32 value) {
  throw Util::CException(Util::ErrorCodes::ms_ParData1BinEntry, step, value);
}
}  // namespace

void CParData1BinAdditionalParameterHeaderReader::Open() {
  UTIL_CHECK(!m_Open);
  u32 count = 0;
  m_File.StartReadingData(count, m_Length, m_Data);
  m_Skipping = m_File.GetVersion() == CParData1Bin::ms_VersionSkipping;
  m_Position = 0;
  m_Open = true;
}

bool CParData1BinAdditionalParameterHeaderReader::TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) {
  UTIL_CHECK(m_Open);
  constexpr u32 headLength = CObjectRecord::ms_HeaderLength;
  while (m_Length - m_Position >= headLength) {
    const u8* block = m_Data + m_Position;
    const u16 blockSadr = CLittleEndian::GetU16(block + 2);
    const u32 payloadLength = CLittleEndian::GetU32(block + 4);
    const u32 left = m_Length - m_Position - headLength;
    const bool skipped = m_Skipping && blockSadr >= ms_SkippedSadrMin;
    if (!skipped) {
      if (block[1] != 1) {
        Refuse(1, block[1]);
      }
      if (!CSafetyAddress::IsValid(blockSadr)) {
        Refuse(2, blockSadr);
      }
    }
    if (payloadLength > left) {
      Refuse(3, payloadLength);
    }
    if (skipped) {
      m_Position += headLength + payloadLength;
      continue;
    }
    const u32 storedCrc = CLittleEndian::GetU32(block + 8);
    if (CFileFrame::Crc32(block + headLength, payloadLength) != storedCrc) {
      Refuse(4, storedCrc);
    }
    sadr = blockSadr;
    parameterNumber = block[0];
    header = block;
    m_Position += headLength + payloadLength;
    return true;
  }
  return false;
}

void CParData1BinAdditionalParameterHeaderReader::Close() {
  UTIL_CHECK(m_Open);
  m_Open = false;
  m_File.StopReadingData();
}

}  // namespace Param
