// Cyclic memory test of the checker's own code and constant data: reference
// CRC-32s of every 16 KiB block are taken once, then each call recomputes at
// most 256 bytes, so every block is compared with its reference in turn.
#pragma once
#include "CProcessImageTesterSectionMap.h"
#include "ScmTypes.h"

namespace Util {

class CProcessImageTester {
 public:
  static constexpr u32 ms_CrcBlockLength = 16384;       ///< bytes per reference CRC
  static constexpr u32 ms_PartialCrcBlockLength = 256;  ///< bytes tested per step

  /// Validates the maps (0xE200 on the first bad one); 0 sections makes both operations no-ops.
  CProcessImageTester(u32 sectionCount, const CProcessImageTesterSectionMap* const* maps);
  virtual ~CProcessImageTester();

  CProcessImageTester(const CProcessImageTester&) = delete;
  CProcessImageTester& operator=(const CProcessImageTester&) = delete;

  /// Takes the reference CRC of every block (one full pass from the current position).
  void Initialize();
  /// One step of the cyclic test; a completed block whose CRC differs throws 0xE24D (section, block).
  void TestOneMemoryBlock();

 private:
  /// Bytes from the current block's start to its section's end, capped at one block plus one.
  u32 GetRemaining() const;
  /// Moves to the next block, or to the next section's first block.
  void Advance();
  /// CRC-32 continued from seed over length bytes, read past the sanitizer's checks.
  static u32 ContinueCrc(u32 seed, const u8* data, u32 length);

  u32 m_SectionCount;                                  ///< number of protected sections
  const CProcessImageTesterSectionMap* const* m_Maps;  ///< one map per section
  u32 m_Section;                                       ///< current section index
  u32 m_Block;                                         ///< current block index within the section
  u32 m_Tested;                                        ///< bytes of the current block already tested
  u32 m_Crc;                                           ///< running CRC of the current block
};

}  // namespace Util
