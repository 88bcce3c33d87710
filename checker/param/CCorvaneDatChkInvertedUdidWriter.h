// Writes the acknowledged, complemented UDIDs into "corvane.dat.chk"'s section.
#pragma once
#include "CByteArrayParameterWriter.h"
#include "CCorvaneDatChk.h"
#include "CInvertedUdidWriter.h"
#include "CParameterUdidWriter.h"

namespace Param {

class CCorvaneDatChkInvertedUdidWriter : public CInvertedUdidWriter {
 public:
  explicit CCorvaneDatChkInvertedUdidWriter(CCorvaneDatChk& file) : m_File(file) {}

  /// Takes the room for the section and opens the record writer on it.
  void Open() override;
  /// One record 0xCC00 + SADR, sub-index 1, the 6 given bytes; SADR 0xE2B8, no room 0xE2B1.
  void WriteNext(u16 sadr, const u8* invertedUdid) override;
  /// Ends the section with the written length.
  void Close() override;
  /// Bytes written (since Open, or by the last Open and Close).
  u32 GetContentLength() const override;

 private:
  CCorvaneDatChk& m_File;                   ///< the file written
  CByteArrayParameterWriter m_Records;      ///< the record writer over the room
  CParameterUdidWriter m_Udids{m_Records};  ///< the UDID objects written
  u32 m_Written = 0;                        ///< section length of the last Close
  bool m_Open = false;                      ///< between Open and Close
};

}  // namespace Param
