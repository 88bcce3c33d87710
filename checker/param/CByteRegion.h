// The bound region and cursor that every byte-array codec keeps: the region a
// file object handed out, the offset reached, and whether the stream is open.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CByteRegion {
 public:
  CByteRegion() = default;

  /// Binds the region and resets the cursor; while open or with a null buffer: 0xE200.
  void Initialize(u32 size, u8* buffer);
  /// The same for a region that is only read.
  void Initialize(u32 size, const u8* buffer);
  /// Cursor to 0 and open; already open or never bound: 0xE200.
  void Open();
  /// Not open: 0xE200.
  void Close();
  /// Throws 0xE200 unless open.
  void CheckOpen() const;
  /// True between Open and Close.
  bool IsOpen() const { return m_Open; }
  /// Bytes behind the cursor.
  u32 GetLeft() const { return m_Size - m_Position; }
  /// The cursor's offset.
  u32 GetPosition() const { return m_Position; }
  /// Bytes in the region.
  u32 GetSize() const { return m_Size; }
  /// The byte at the cursor.
  u8* GetCursor() const { return m_Region + m_Position; }
  /// Moves the cursor on; the caller has checked that count bytes are left.
  void Advance(u32 count) { m_Position += count; }

 private:
  u8* m_Region = nullptr;  ///< bound region, null until Initialize
  u32 m_Size = 0;          ///< bytes in the region
  u32 m_Position = 0;      ///< offset of the next entry, or bytes written
  bool m_Open = false;     ///< between Open and Close
};

}  // namespace Param
