// Appends 4-byte minor revision entries to a region: u16 SADR, u16 revision.
#pragma once
#include "CByteRegion.h"
#include "CMinorRevisionWriter.h"

namespace Param {

class CByteArrayMinorRevisionWriter : public CMinorRevisionWriter {
 public:
  CByteArrayMinorRevisionWriter() = default;

  void Open() override;
  /// Appends one entry; no room 0xE2B1, SADR outside 1 to 1023 0xE2B2 (nothing written).
  void WriteNext(u16 sadr, u16 minorRevision) override;
  void Close() override;
  /// Bytes written since Open; not open: 0xE200.
  u32 GetContentLength() const override;
  /// Binds the region and resets the length; while open or with a null buffer: 0xE200.
  void Initialize(u32 size, u8* buffer);

 private:
  CByteRegion m_Region;  ///< the bound region and cursor
};

}  // namespace Param
