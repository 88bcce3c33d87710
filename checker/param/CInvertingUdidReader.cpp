#include "CInvertingUdidReader.h"

#include "CUdid.h"

namespace Param {

bool CInvertingUdidReader::TryReadNext(u16& sadr, const u8*& udid) {
  u16 entrySadr = 0;
  const u8* entryUdid = nullptr;
  if (!m_Source.TryReadNext(entrySadr, entryUdid)) {
    return false;
  }
  for (unsigned i = 0; i < Util::CUdid::ms_Length; ++i) {
    m_Udid[i] = static_cast<u8>(~entryUdid[i]);
  }
  sadr = entrySadr;
  udid = m_Udid;
  return true;
}

}  // namespace Param
