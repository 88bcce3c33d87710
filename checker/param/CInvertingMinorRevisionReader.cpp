#include "CInvertingMinorRevisionReader.h"

namespace Param {

bool CInvertingMinorRevisionReader::TryReadNext(u16& sadr, u16& minorRevision) {
  u16 entrySadr = 0;
  u16 entryRevision = 0;
  if (!m_Source.TryReadNext(entrySadr, entryRevision)) {
    return false;
  }
  sadr = entrySadr;
  minorRevision = static_cast<u16>(~entryRevision);
  return true;
}

}  // namespace Param
