// Turns a plain minor revision stream into a complemented one.
#pragma once
#include "CInvertedMinorRevisionReader.h"
#include "CMinorRevisionReader.h"

namespace Param {

class CInvertingMinorRevisionReader : public CInvertedMinorRevisionReader {
 public:
  explicit CInvertingMinorRevisionReader(CMinorRevisionReader& source) : m_Source(source) {}

  void Open() override { m_Source.Open(); }
  /// The source's next entry, its revision complemented; false at its end (outputs untouched).
  bool TryReadNext(u16& sadr, u16& minorRevision) override;
  void Close() override { m_Source.Close(); }

 private:
  CMinorRevisionReader& m_Source;  ///< the plain stream
};

}  // namespace Param
