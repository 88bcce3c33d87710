// "corvane.dat", the key medium's SADR-to-UDID list: checks the header, the
// UDID section's layout and its block CRCs, and hands the section out to one
// stream at a time.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CCorvaneDat {
 public:
  static constexpr u16 ms_HeaderLength = 64;  ///< header length word and section offset
  static constexpr u16 ms_Version = 2;        ///< version with the CRC-16 0x755B header

  /// Null buffer: 0xE200.
  CCorvaneDat(u32 capacity, u8* buffer);
  virtual ~CCorvaneDat() = default;

  /// Hands out the UDID section; before reading or while in use: 0xE200.
  virtual void StartReadingUdidSection(u32& length, const u8*& section);
  /// Frees the UDID section; not held by a reader: 0xE200.
  virtual void StopReadingUdidSection();

  /// Checks the first length bytes of the buffer; 0 is the absent file (empty content).
  void ReadContent(u32 length);

 protected:
  u32 m_Capacity;                ///< bytes in the buffer
  u8* m_Buffer;                  ///< the caller's buffer
  u32 m_ContentLength = 0;       ///< bytes of the file
  u32 m_SectionLength = 0;       ///< UDID section length
  u8* m_Section = nullptr;       ///< UDID section start
  bool m_ContentRead = false;    ///< a read (or a written section) gave valid content
  bool m_SectionInUse = false;   ///< a stream holds the section
  bool m_SectionWriting = false; ///< the holder is a writer
};

}  // namespace Param
