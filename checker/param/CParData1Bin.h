// "pardata1.bin", the additional parameter sets: checks the header, the data
// area's layout and its block CRCs, and hands the data area out to one reader
// at a time. Every refusal is one code with the failing step.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CParData1Bin {
 public:
  static constexpr u16 ms_HeaderLength = 64;        ///< header length word and first-entry offset
  static constexpr u16 ms_Version = 0x0100;         ///< version without skipped blocks
  static constexpr u16 ms_VersionSkipping = 0x0200; ///< version whose blocks of SADR 2000 and above are skipped

  /// Null buffer: 0xE200.
  CParData1Bin(u32 capacity, const u8* buffer);

  /// Checks the first length bytes of the buffer; 0 is the absent file (empty content).
  void ReadContent(u32 length);
  /// Header timestamp; before reading: 0xE200.
  u32 GetTimestamp() const;
  /// File version of the last read (0 for an empty file); before reading: 0xE200.
  u16 GetVersion() const;
  /// Hands out the data area; before reading or while in use: 0xE200.
  void StartReadingData(u32& count, u32& length, const u8*& data);
  /// Frees the data area; not in use: 0xE200.
  void StopReadingData();

 private:
  u32 m_Capacity;              ///< bytes in the buffer
  const u8* m_Buffer;          ///< the caller's buffer
  u32 m_ContentLength = 0;     ///< bytes of the last good read
  u16 m_Count = 0;             ///< header's parameter count, kept only
  u16 m_Version = 0;           ///< file version
  u32 m_DataLength = 0;        ///< data area length
  const u8* m_Data = nullptr;  ///< data area start
  u32 m_Timestamp = 0;         ///< header timestamp
  bool m_ContentRead = false;  ///< a read succeeded
  bool m_DataInUse = false;    ///< a reader holds the data area
};

}  // namespace Param
