// "kel_para.saf", the domain's parameter file: checks the header, the SCM
// section's layout and its block CRCs, and hands the SCM section out to one
// reader at a time.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CKelParaSaf {
 public:
  static constexpr u16 ms_HeaderLength = 64;                ///< required header length word
  static constexpr u16 ms_Version = 0x0200;                 ///< required version
  static constexpr u32 ms_ScmSectionOffsetOffset = 28;      ///< header offset of the SCM section description
  static constexpr u32 ms_ScmSectionVersion = 0x101;        ///< required SCM section kind
  static constexpr u32 ms_ParameterCrcBlockLengthMax = 16384;  ///< bytes covered by one block CRC
  static constexpr u32 ms_ParameterCrcLength = 4;           ///< bytes of one block CRC

  /// Null buffer: 0xE200.
  CKelParaSaf(u32 capacity, const u8* buffer);

  /// Checks the first length bytes of the buffer; 0 is the absent file (empty content).
  void ReadContent(u32 length);
  /// Hands out the SCM section; before reading or while in use: 0xE200.
  void StartReadingScmSection(u32& length, const u8*& section);
  /// Frees the SCM section; not in use: 0xE200.
  void StopReadingScmSection();

 private:
  u32 m_Capacity;                  ///< bytes in the buffer
  const u8* m_Buffer;              ///< the caller's buffer
  u32 m_ContentLength = 0;         ///< bytes of the last good read
  u32 m_SectionLength = 0;         ///< SCM section length
  const u8* m_Section = nullptr;   ///< SCM section start
  bool m_ContentRead = false;      ///< a read succeeded
  bool m_SectionInUse = false;     ///< a reader holds the section
};

}  // namespace Param
