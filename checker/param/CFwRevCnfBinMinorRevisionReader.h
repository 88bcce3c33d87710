// The acknowledged minor revisions of "fwrevcnf.bin"; entries of revision 0 are skipped.
#pragma once
#include "CFwRevCnfBin.h"
#include "CFwRevCnfBinModuleEntries.h"
#include "CMinorRevisionReader.h"

namespace Param {

class CFwRevCnfBinMinorRevisionReader : public CMinorRevisionReader {
 public:
  explicit CFwRevCnfBinMinorRevisionReader(CFwRevCnfBin& file) : m_Stream(file, true) {}

  /// Takes the module section; held or unread: 0xE200.
  void Open() override { m_Stream.Open(); }
  /// Next entry of a non-zero revision; an error frees the section and passes on.
  bool TryReadNext(u16& sadr, u16& minorRevision) override { return m_Stream.TryReadNext(sadr, minorRevision); }
  /// Frees the section.
  void Close() override { m_Stream.Close(); }

 private:
  CFwRevCnfBinModuleEntries<CFwRevCnfBin> m_Stream;  ///< the section stream
};

}  // namespace Param
