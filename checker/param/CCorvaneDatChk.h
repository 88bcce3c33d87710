// "corvane.dat.chk", the checker's acknowledged SADR-to-UDID list: the layout
// of "corvane.dat" with every UDID complemented, the section at 64 and its CRC
// list right behind it.
#pragma once
#include "CCorvaneDat.h"

namespace Param {

class CCorvaneDatChk : private CCorvaneDat {
 public:
  static constexpr u32 ms_CapacityMin = 68;  ///< smallest buffer the room formula holds for

  /// Null buffer: 0xE200.
  CCorvaneDatChk(u32 capacity, u8* buffer);

  /// The base's read; the content then counts as unchanged.
  void ReadContent(u32 length);
  using CCorvaneDat::StartReadingUdidSection;
  using CCorvaneDat::StopReadingUdidSection;

  /// Bytes of the file to store; before reading or writing: 0xE200.
  virtual u32 GetContentLength() const;
  /// Hands out the room for the section at offset 64; in use or a capacity below 68: 0xE200.
  virtual void StartWritingUdidSection(u32& room, u8*& section);
  /// Ends writing with length bytes written; not writing or above the room: 0xE200.
  virtual void StopWritingUdidSection(u32 length);
  /// Writes the header and the CRC list around the section when the content changed.
  void WriteContent();

 private:
  u32 m_Room = 0;                  ///< room handed out by the last StartWritingUdidSection
  bool m_ContentUnchanged = true;  ///< nothing to write since the last read or write
};

}  // namespace Param
