// Reads 8-byte UDID entries of a region in place: u16 SADR, then the 6 UDID bytes.
#pragma once
#include "CByteRegion.h"
#include "CUdidReader.h"

namespace Param {

class CByteArrayUdidReader : public CUdidReader {
 public:
  static constexpr u32 ms_EntryLength = 8;  ///< bytes of one entry

  CByteArrayUdidReader() = default;

  void Open() override;
  /// Next entry; ends when fewer than 8 bytes are left; SADR outside 1 to 1023: 0xE2AE.
  bool TryReadNext(u16& sadr, const u8*& udid) override;
  void Close() override;
  /// Binds the region and resets the position; while open or with a null buffer: 0xE200.
  void Initialize(u32 size, const u8* buffer);

 private:
  CByteRegion m_Region;  ///< the bound region and cursor
};

}  // namespace Param
