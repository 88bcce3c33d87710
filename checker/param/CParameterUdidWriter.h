// Writes SADR-to-UDID objects: index 0xCC00 + SADR, sub-index 1, length 6.
#pragma once
#include "CParameterWriter.h"
#include "CUdidWriter.h"

namespace Param {

class CParameterUdidWriter : public CUdidWriter {
 public:
  explicit CParameterUdidWriter(CParameterWriter& records) : m_Records(records) {}

  void Open() override { m_Records.Open(); }
  /// One record; SADR outside 1 to 1023: 0xE2B8, the stream stays open.
  void WriteNext(u16 sadr, const u8* udid) override;
  void Close() override { m_Records.Close(); }
  /// The record writer's written length.
  u32 GetContentLength() const { return m_Records.GetContentLength(); }

 private:
  CParameterWriter& m_Records;  ///< the record stream written
};

}  // namespace Param
