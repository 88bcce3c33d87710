// Appends parameter records to a region: u16 index, u8 sub-index, u32 length,
// then the data, byte by byte.
#pragma once
#include "CByteRegion.h"
#include "CParameterWriter.h"

namespace Param {

class CByteArrayParameterWriter : public CParameterWriter {
 public:
  CByteArrayParameterWriter() = default;

  void Open() override;
  /// Appends one record; null data 0xE200, no room 0xE2B1 (nothing written).
  void WriteNext(u16 index, u8 subIndex, u32 length, const u8* data) override;
  void Close() override;
  /// Bytes written since Open; not open: 0xE200.
  u32 GetContentLength() const override;
  /// Binds the region and resets the length; while open or with a null buffer: 0xE200.
  void Initialize(u32 size, u8* buffer);

 private:
  CByteRegion m_Region;  ///< the bound region and cursor
};

}  // namespace Param
