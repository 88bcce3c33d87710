#include "CAutoCnfBinUdidSectionUdidReader.h"

#include "CUdid.h"

namespace Param {

void CAutoCnfBinUdidSectionUdidReader::Open() {
  u32 length = 0;
  const u8* entries = nullptr;
  m_File.GetUdidSection().StartReadingUdids(length, entries);
  m_Entries.Initialize(length, entries);
  m_Entries.Open();
}

bool CAutoCnfBinUdidSectionUdidReader::TryReadNext(u16& sadr, const u8*& udid) {
  u16 entrySadr = 0;
  const u8* entryUdid = nullptr;
  while (m_Entries.TryReadNext(entrySadr, entryUdid)) {
    if (Util::CUdid::IsValid(entryUdid)) {
      sadr = entrySadr;
      udid = entryUdid;
      return true;
    }
  }
  return false;
}

}  // namespace Param
