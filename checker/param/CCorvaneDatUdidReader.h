// The valid UDIDs of "corvane.dat" (all-zero UDIDs skipped).
#pragma once
#include "CCorvaneDat.h"
#include "CCorvaneDatSectionUdids.h"
#include "CUdidReader.h"

namespace Param {

class CCorvaneDatUdidReader : public CUdidReader {
 public:
  explicit CCorvaneDatUdidReader(CCorvaneDat& file) : m_Stream(file, true) {}

  /// Takes the UDID section; held or unread: 0xE200.
  void Open() override { m_Stream.Open(); }
  /// Next valid UDID; an error frees the section and passes on.
  bool TryReadNext(u16& sadr, const u8*& udid) override { return m_Stream.TryReadNext(sadr, udid); }
  /// Frees the section.
  void Close() override { m_Stream.Close(); }

 private:
  CCorvaneDatSectionUdids<CCorvaneDat> m_Stream;  ///< the section stream
};

}  // namespace Param
