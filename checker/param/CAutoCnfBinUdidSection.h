// The UDID section of "autocnf.bin": bound by the file's read, checked when a
// reader takes it, and handed out once per read.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CAutoCnfBinUdidSection {
 public:
  static constexpr u16 ms_CountMax = 101;        ///< most entries accepted
  static constexpr u16 ms_EntryLength = 8;       ///< bytes of one entry
  static constexpr u16 ms_Version = 0x0300;      ///< section version
  static constexpr u16 ms_EntryOffset = 8;       ///< offset of the first entry
  static constexpr u32 ms_FixedLength = 12;      ///< section header and CRC

  CAutoCnfBinUdidSection() = default;

  /// Binds the section of a new read (length 0: empty) and allows handing it out again.
  void Bind(u32 length, const u8* section);
  /// Checks the section the first time and hands out its entries; later calls hand out (0, null).
  void StartReadingUdids(u32& length, const u8*& entries);

 private:
  u32 m_SectionLength = 0;          ///< bytes of the section
  const u8* m_Section = nullptr;    ///< section start
  u32 m_EntriesLength = 0;          ///< 8 x count, once checked
  const u8* m_Entries = nullptr;    ///< first entry, once checked
  bool m_HandedOut = false;         ///< the entries were handed out since Bind
};

}  // namespace Param
