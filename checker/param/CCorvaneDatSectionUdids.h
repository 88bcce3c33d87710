// The UDID stream both "corvane.dat" readers share: takes the file's UDID
// section, reads its UDID objects, and frees the section when an error passes
// through, so that the file is free again for the persistence's next step.
#pragma once
#include "CByteArrayParameterReader.h"
#include "CInternalError.h"
#include "CParameterUdidReader.h"
#include "CUdid.h"

namespace Param {

template <class TFile>
class CCorvaneDatSectionUdids {
 public:
  CCorvaneDatSectionUdids(TFile& file, bool skipZero) : m_File(file), m_SkipZero(skipZero) {}

  /// Takes the section and opens the record stream on it.
  void Open() {
    UTIL_CHECK(!m_Open);
    u32 length = 0;
    const u8* section = nullptr;
    m_File.StartReadingUdidSection(length, section);
    m_Records.Initialize(length, section);
    m_Udids.Open();
    m_Open = true;
  }

  /// Next UDID (all-zero ones skipped when asked); an error frees the section and passes on.
  bool TryReadNext(u16& sadr, const u8*& udid) {
    UTIL_CHECK(m_Open);
    try {
      u16 entrySadr = 0;
      const u8* entryUdid = nullptr;
      while (m_Udids.TryReadNext(entrySadr, entryUdid)) {
        if (!m_SkipZero || Util::CUdid::IsValid(entryUdid)) {
          sadr = entrySadr;
          udid = entryUdid;
          return true;
        }
      }
      return false;
    } catch (...) {
      // The UDID reader may have closed the records already.
      if (m_Records.IsOpen()) {
        m_Records.Close();
      }
      m_File.StopReadingUdidSection();
      m_Open = false;
      throw;
    }
  }

  /// Closes the record stream and frees the section.
  void Close() {
    UTIL_CHECK(m_Open);
    m_Records.Close();
    m_File.StopReadingUdidSection();
    m_Open = false;
  }

 private:
  TFile& m_File;                       ///< the file whose section is streamed
  bool m_SkipZero;                     ///< all-zero UDIDs are not delivered
  CByteArrayParameterReader m_Records; ///< the record codec over the section
  CParameterUdidReader m_Udids{m_Records}; ///< the UDID objects of the records
  bool m_Open = false;                 ///< between Open and Close
};

}  // namespace Param
