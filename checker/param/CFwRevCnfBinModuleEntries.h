// The minor revision stream both "fwrevcnf.bin" readers share: takes the
// module section, reads its entries, and frees the section when an error
// passes through.
#pragma once
#include "CByteArrayMinorRevisionReader.h"
#include "CInternalError.h"

namespace Param {

template <class TFile>
class CFwRevCnfBinModuleEntries {
 public:
  CFwRevCnfBinModuleEntries(TFile& file, bool skipZero) : m_File(file), m_SkipZero(skipZero) {}

  /// Takes the module section and opens the entry codec on it.
  void Open() {
    UTIL_CHECK(!m_Open);
    u32 length = 0;
    const u8* entries = nullptr;
    m_File.StartReadingModuleSection(length, entries);
    m_Entries.Initialize(length, entries);
    m_Entries.Open();
    m_Open = true;
  }

  /// Next entry (revision 0 skipped when asked); an error frees the section and passes on.
  bool TryReadNext(u16& sadr, u16& minorRevision) {
    UTIL_CHECK(m_Open);
    try {
      u16 entrySadr = 0;
      u16 entryRevision = 0;
      while (m_Entries.TryReadNext(entrySadr, entryRevision)) {
        if (!m_SkipZero || entryRevision != 0) {
          sadr = entrySadr;
          minorRevision = entryRevision;
          return true;
        }
      }
      return false;
    } catch (...) {
      m_Entries.Close();
      m_File.StopReadingModuleSection();
      m_Open = false;
      throw;
    }
  }

  /// Closes the codec and frees the section.
  void Close() {
    UTIL_CHECK(m_Open);
    m_Entries.Close();
    m_File.StopReadingModuleSection();
    m_Open = false;
  }

 private:
  TFile& m_File;                            ///< the file whose section is streamed
  bool m_SkipZero;                          ///< entries of revision 0 are not delivered
  CByteArrayMinorRevisionReader m_Entries;  ///< the entry codec over the section
  bool m_Open = false;                      ///< between Open and Close
};

}  // namespace Param
