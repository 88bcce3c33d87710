#include "CFileFrame.h"

#include "CException.h"
#include "CLittleEndian.h"
#include "HNFiff_Crc.h"

namespace Param {

namespace {
constexpr u32 ms_CrcChunk = 0x40000000u;  ///< largest piece handed to the i32-length CRC routine
constexpr i32 ms_HeaderCrc16Length = 62;  ///< header bytes covered by the CRC-16
constexpr i32 ms_HeaderCrc32Length = 60;  ///< header bytes covered by the CRC-32
}  // namespace

u32 CFileFrame::Crc32(u32 seed, const u8* data, u32 length) {
  u32 crc = seed;
  while (length > 0) {
    const u32 piece = length < ms_CrcChunk ? length : ms_CrcChunk;
    crc = HNFiff_Crc32CalcSwp(crc, static_cast<i32>(piece), data);
    data += piece;
    length -= piece;
  }
  return crc;
}

u16 CFileFrame::HeaderCrc16(const u8* header) { return HNFiff_Crc16_755B_CalcSwp(0, ms_HeaderCrc16Length, header); }

u32 CFileFrame::HeaderCrc32(const u8* header) { return HNFiff_Crc32CalcSwp(0, ms_HeaderCrc32Length, header); }

void CFileFrame::Refuse(const SRefusal& refusal, u32 value) {
  throw Util::CException(refusal.m_Code, refusal.m_Information0, value);
}

void CFileFrame::RequireU16(const u8* file, u32 offset, u16 expected, u16 code) {
  const u16 value = CLittleEndian::GetU16(file + offset);
  if (value != expected) {
    throw Util::CException(code, value);
  }
}

void CFileFrame::RequireU32(const u8* file, u32 offset, u32 expected, u16 code) {
  const u32 value = CLittleEndian::GetU32(file + offset);
  if (value != expected) {
    throw Util::CException(code, value);
  }
}

void CFileFrame::CheckArea(const u8* file, u32 contentLength, const SArea& area, const SLayoutRefusals& refusals,
                           const SRefusal& blockRefusal) {
  CheckLayout(contentLength, area.m_Offset, area.m_Length, area.m_CrcOffset, area.m_CrcCount, refusals);
  CheckBlockCrcs(file + area.m_Offset, area.m_Length, file + area.m_CrcOffset, blockRefusal);
}

void CFileFrame::CheckLayout(u32 contentLength, u32 offset, u32 length, u32 crcOffset, u32 crcCount,
                             const SLayoutRefusals& refusals) {
  const u64 areaEnd = static_cast<u64>(offset) + length;
  if (offset < ms_HeaderLength) {
    Refuse(refusals.m_Offset, offset);
  }
  if (areaEnd > contentLength) {
    Refuse(refusals.m_Length, length);
  }
  if (crcOffset < areaEnd) {
    Refuse(refusals.m_CrcOffset, crcOffset);
  }
  const u32 expectedCount = BlockCount(length);
  if (crcCount != expectedCount) {
    Refuse(refusals.m_CrcCount, crcCount);
  }
  if (static_cast<u64>(crcOffset) + static_cast<u64>(ms_CrcLength) * expectedCount > contentLength) {
    Refuse(refusals.m_CrcList, expectedCount);
  }
}

void CFileFrame::CheckBlockCrcs(const u8* area, u32 length, const u8* crcList, const SRefusal& refusal) {
  u32 done = 0;
  while (done < length) {
    const u32 left = length - done;
    const u32 block = left < ms_CrcBlockLength ? left : ms_CrcBlockLength;
    const u32 computed = Crc32(area + done, block);
    if (computed != CLittleEndian::GetU32(crcList)) {
      Refuse(refusal, computed);
    }
    done += block;
    crcList += ms_CrcLength;
  }
}

void CFileFrame::WriteBlockCrcs(const u8* area, u32 length, u8* crcList) {
  u32 done = 0;
  while (done < length) {
    const u32 left = length - done;
    const u32 block = left < ms_CrcBlockLength ? left : ms_CrcBlockLength;
    CLittleEndian::PutU32(crcList, Crc32(area + done, block));
    done += block;
    crcList += ms_CrcLength;
  }
}

}  // namespace Param
