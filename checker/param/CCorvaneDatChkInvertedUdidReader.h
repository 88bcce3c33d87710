// The acknowledged UDIDs of "corvane.dat.chk", complemented as stored, none skipped.
#pragma once
#include "CCorvaneDatChk.h"
#include "CCorvaneDatSectionUdids.h"
#include "CInvertedUdidReader.h"

namespace Param {

class CCorvaneDatChkInvertedUdidReader : public CInvertedUdidReader {
 public:
  explicit CCorvaneDatChkInvertedUdidReader(CCorvaneDatChk& file) : m_Stream(file, false) {}

  /// Takes the UDID section; held or unread: 0xE200.
  void Open() override { m_Stream.Open(); }
  /// Next entry as stored; an error frees the section and passes on.
  bool TryReadNext(u16& sadr, const u8*& udid) override { return m_Stream.TryReadNext(sadr, udid); }
  /// Frees the section.
  void Close() override { m_Stream.Close(); }

 private:
  CCorvaneDatSectionUdids<CCorvaneDatChk> m_Stream;  ///< the section stream
};

}  // namespace Param
