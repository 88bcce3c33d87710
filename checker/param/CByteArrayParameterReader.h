// Reads the parameter records of a region in place: u16 index, u8 sub-index,
// u32 length, then length data bytes, with no padding between records.
#pragma once
#include "CByteRegion.h"
#include "CParameterReader.h"

namespace Param {

class CByteArrayParameterReader : public CParameterReader {
 public:
  static constexpr u32 ms_RecordHeadLength = 7;  ///< bytes before a record's data

  CByteArrayParameterReader() = default;

  void Open() override;
  /// Next record; 1 to 6 stray bytes throw 0xE2AA, data beyond the region 0xE2AC.
  bool TryReadNext(u16& index, u8& subIndex, u32& length, const u8*& data) override;
  void Close() override;
  /// Binds the region and resets the position; while open or with a null buffer: 0xE200.
  void Initialize(u32 size, const u8* buffer);
  /// True between Open and Close.
  bool IsOpen() const { return m_Region.IsOpen(); }

 private:
  CByteRegion m_Region;  ///< the bound region and cursor
};

}  // namespace Param
