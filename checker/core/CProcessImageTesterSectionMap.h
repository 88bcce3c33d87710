// Bounds of one protected section of the program image and of the writable
// table that holds one reference CRC-32 per started 16 KiB block of it.
#pragma once
#include "ScmTypes.h"

namespace Util {

class CProcessImageTesterSectionMap {
 public:
  /// start/end bracket the section (end one past its last byte); the table holds the block CRCs.
  constexpr CProcessImageTesterSectionMap(const u8* start, const u8* end, u32* crcTableStart,
                                          u32* crcTableEnd)
      : m_Start(start), m_End(end), m_CrcTableStart(crcTableStart), m_CrcTableEnd(crcTableEnd) {}

  constexpr const u8* GetStart() const { return m_Start; }
  constexpr const u8* GetEnd() const { return m_End; }
  constexpr u32* GetCrcTableStart() const { return m_CrcTableStart; }
  constexpr u32* GetCrcTableEnd() const { return m_CrcTableEnd; }

 private:
  const u8* m_Start;     ///< first byte of the section
  const u8* m_End;       ///< one past the last byte of the section
  u32* m_CrcTableStart;  ///< first reference CRC
  u32* m_CrcTableEnd;    ///< one past the last reference CRC
};

}  // namespace Util
