// The acknowledged, complemented minor revisions of "fwrevcnf.bin.chk", as stored.
#pragma once
#include "CFwRevCnfBinChk.h"
#include "CFwRevCnfBinModuleEntries.h"
#include "CInvertedMinorRevisionReader.h"

namespace Param {

class CFwRevCnfBinChkInvertedMinorRevisionReader : public CInvertedMinorRevisionReader {
 public:
  explicit CFwRevCnfBinChkInvertedMinorRevisionReader(CFwRevCnfBinChk& file) : m_Stream(file, false) {}

  /// Takes the module section; held or unread: 0xE200.
  void Open() override { m_Stream.Open(); }
  /// Next entry as stored; an error frees the section and passes on.
  bool TryReadNext(u16& sadr, u16& minorRevision) override { return m_Stream.TryReadNext(sadr, minorRevision); }
  /// Frees the section.
  void Close() override { m_Stream.Close(); }

 private:
  CFwRevCnfBinModuleEntries<CFwRevCnfBinChk> m_Stream;  ///< the section stream
};

}  // namespace Param
