// Writes the acknowledged, complemented minor revisions into "fwrevcnf.bin.chk".
#pragma once
#include "CByteArrayMinorRevisionWriter.h"
#include "CFwRevCnfBinChk.h"
#include "CInvertedMinorRevisionWriter.h"

namespace Param {

class CFwRevCnfBinChkInvertedMinorRevisionWriter : public CInvertedMinorRevisionWriter {
 public:
  explicit CFwRevCnfBinChkInvertedMinorRevisionWriter(CFwRevCnfBinChk& file) : m_File(file) {}

  /// Takes the room for the entries and opens the entry writer on it.
  void Open() override;
  /// One entry; no room 0xE2B1, SADR 0xE2B2.
  void WriteNext(u16 sadr, u16 invertedMinorRevision) override;
  /// Ends the module section with the written length.
  void Close() override;
  /// Bytes written (since Open, or by the last Open and Close).
  u32 GetContentLength() const override;

 private:
  CFwRevCnfBinChk& m_File;                  ///< the file written
  CByteArrayMinorRevisionWriter m_Entries;  ///< the entry writer over the room
  u32 m_Written = 0;                        ///< entries length of the last Close
  bool m_Open = false;                      ///< between Open and Close
};

}  // namespace Param
