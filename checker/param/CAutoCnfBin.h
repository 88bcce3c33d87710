// "autocnf.bin", the automatic configuration delivered to the module: checks
// the header, the three sections' lengths and places, the header CRC and the
// file CRC; keeps the timestamp and the raw machine option section. A file of
// the old layout (version 0x0300) is one UDID section with no file header.
#pragma once
#include "CAutoCnfBinUdidSection.h"
#include "ScmTypes.h"

namespace Param {

class CAutoCnfBin {
 public:
  static constexpr u16 ms_SectionCountMax = 5;           ///< most sections accepted
  static constexpr u16 ms_HeaderLength = 64;             ///< header length word
  static constexpr u16 ms_Version = 0x0400;              ///< current layout
  static constexpr u16 ms_OldLayoutVersion = 0x0300;     ///< old layout: one bare UDID section
  static constexpr u16 ms_SectionInformationOffset = 8;  ///< word at offset 6
  static constexpr u32 ms_SectionLengthMin = 10;         ///< shortest non-empty UDID section
  static constexpr u32 ms_MachineOptionLength = 76;      ///< machine option section length
  static constexpr u32 ms_ModuleFlagLengthShort = 268;   ///< module flag section with two arrays of 2048 bits
  static constexpr u32 ms_ModuleFlagLengthLong = 396;    ///< module flag section with arrays of 3072 bits
  static constexpr u32 ms_OldLayoutLengthMin = 8;        ///< shortest file tested for the old layout

  /// Null buffer: 0xE200.
  CAutoCnfBin(u32 capacity, const u8* buffer);

  /// Checks the first length bytes of the buffer; 0 is the absent file (empty content).
  void ReadContent(u32 length);
  /// The header's timestamp (0 for an empty or old-layout file).
  u32 GetTimestamp() const;
  /// True when the file has a machine option section.
  bool HasMachineOptionSection() const;
  /// The raw machine option section; length 0 when absent.
  void GetRawMachineOptionSection(u16& length, const u8*& data) const;
  /// The UDID section, for its reader; before reading: 0xE200.
  CAutoCnfBinUdidSection& GetUdidSection();

 private:
  /// Checks one section's offset rule and its bounds against the content.
  void CheckSection(u32 length, u32 offset, u32 contentLength, u16 offsetCode, u16 beyondCode) const;

  u32 m_Capacity;                          ///< bytes in the buffer
  const u8* m_Buffer;                      ///< the caller's buffer
  u32 m_ContentLength = 0;                 ///< bytes of the last good read
  CAutoCnfBinUdidSection m_UdidSection;    ///< the UDID section of the last read
  u32 m_Timestamp = 0;                     ///< header timestamp
  u16 m_MachineOptionLength = 0;           ///< machine option section length, 0 when absent
  const u8* m_MachineOptions = nullptr;    ///< machine option section start
  bool m_ContentRead = false;              ///< a read succeeded
};

}  // namespace Param
