// The checks that the parameter files share: the 64-byte header's CRC, the
// layout of a data area with its block CRC list, and the block CRCs themselves.
// Every bound is computed in 64 bits, so that no offset or length near 2^32
// can wrap a check into passing.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CFileFrame {
 public:
  static constexpr u32 ms_HeaderLength = 64;      ///< every header is 64 bytes
  static constexpr u32 ms_CrcBlockLength = 16384; ///< bytes covered by one block CRC
  static constexpr u32 ms_CrcLength = 4;          ///< bytes of one stored CRC-32

  /// One refusal: the code and its information0 (the step for one-code files).
  struct SRefusal {
    u16 m_Code;          ///< error code
    u16 m_Information0;  ///< information0 of the error
  };

  /// The refusals of the five layout checks of a data area, in check order.
  struct SLayoutRefusals {
    SRefusal m_Offset;      ///< area offset inside the header (i1 offset)
    SRefusal m_Length;      ///< area beyond the content (i1 area length)
    SRefusal m_CrcOffset;   ///< CRC list before the area's end (i1 CRC offset)
    SRefusal m_CrcCount;    ///< CRC count not the area's block count (i1 count)
    SRefusal m_CrcList;     ///< CRC list beyond the content (i1 expected count)
  };

  /// A data area and its block CRC list as a header describes them.
  struct SArea {
    u32 m_Offset;     ///< area offset in the file
    u32 m_Length;     ///< area length
    u32 m_CrcOffset;  ///< offset of the CRC list
    u32 m_CrcCount;   ///< number of CRCs in the list
  };

  /// Number of 16,384-byte blocks of an area of length bytes, the last one shorter.
  static u32 BlockCount(u32 length) { return length / ms_CrcBlockLength + (length % ms_CrcBlockLength != 0 ? 1u : 0u); }

  /// CRC-32 (seed 0) of length bytes; any length a u32 can hold.
  static u32 Crc32(const u8* data, u32 length) { return Crc32(0, data, length); }
  /// CRC-32 chained from seed over length bytes.
  static u32 Crc32(u32 seed, const u8* data, u32 length);
  /// CRC-16 0x755B (seed 0) of bytes 0 to 61 of a header.
  static u16 HeaderCrc16(const u8* header);
  /// CRC-32 (seed 0) of bytes 0 to 59 of a header.
  static u32 HeaderCrc32(const u8* header);

  /// Throws refusal with information1 value.
  [[noreturn]] static void Refuse(const SRefusal& refusal, u32 value);

  /// Throws (code, the value) unless the u16 at offset is expected.
  static void RequireU16(const u8* file, u32 offset, u16 expected, u16 code);
  /// Throws (code, the value) unless the u32 at offset is expected.
  static void RequireU32(const u8* file, u32 offset, u32 expected, u16 code);
  /// Checks an area's layout against the content length, then its block CRCs.
  static void CheckArea(const u8* file, u32 contentLength, const SArea& area, const SLayoutRefusals& refusals,
                        const SRefusal& blockRefusal);
  /// Checks an area and its CRC list against the content length, in the order of SLayoutRefusals.
  static void CheckLayout(u32 contentLength, u32 offset, u32 length, u32 crcOffset, u32 crcCount,
                          const SLayoutRefusals& refusals);
  /// Compares each block of the area with its stored CRC in order; the first mismatch throws
  /// refusal with the computed CRC.
  static void CheckBlockCrcs(const u8* area, u32 length, const u8* crcList, const SRefusal& refusal);
  /// Stores the block CRCs of the area at crcList.
  static void WriteBlockCrcs(const u8* area, u32 length, u8* crcList);

  CFileFrame() = delete;
};

}  // namespace Param
