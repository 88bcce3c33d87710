// Reads 4-byte minor revision entries of a region in place: u16 SADR, u16 revision.
#pragma once
#include "CByteRegion.h"
#include "CMinorRevisionReader.h"

namespace Param {

class CByteArrayMinorRevisionReader : public CMinorRevisionReader {
 public:
  static constexpr u32 ms_EntryLength = 4;  ///< bytes of one entry

  CByteArrayMinorRevisionReader() = default;

  void Open() override;
  /// Next entry; ends when fewer than 4 bytes are left; SADR outside 1 to 1023: 0xE2AE.
  bool TryReadNext(u16& sadr, u16& minorRevision) override;
  void Close() override;
  /// Binds the region and resets the position; while open or with a null buffer: 0xE200.
  void Initialize(u32 size, const u8* buffer);

 private:
  CByteRegion m_Region;  ///< the bound region and cursor
};

}  // namespace Param
