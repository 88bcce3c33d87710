// The valid UDIDs of "autocnf.bin"'s UDID section; the list is handed out once per read of the file.
#pragma once
#include "CAutoCnfBin.h"
#include "CByteArrayUdidReader.h"
#include "CUdidReader.h"

namespace Param {

class CAutoCnfBinUdidSectionUdidReader : public CUdidReader {
 public:
  explicit CAutoCnfBinUdidSectionUdidReader(CAutoCnfBin& file) : m_File(file) {}

  /// Takes the section (checked now) and opens the entry codec; a second Open after one read throws 0xE200.
  void Open() override;
  /// Next entry whose UDID is not all zero.
  bool TryReadNext(u16& sadr, const u8*& udid) override;
  /// Closes the codec.
  void Close() override { m_Entries.Close(); }

 private:
  CAutoCnfBin& m_File;            ///< the file whose section is streamed
  CByteArrayUdidReader m_Entries; ///< the entry codec over the section
};

}  // namespace Param
