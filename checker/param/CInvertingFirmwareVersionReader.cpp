#include "CInvertingFirmwareVersionReader.h"

namespace Param {

bool CInvertingFirmwareVersionReader::TryReadNext(u16& sadr, u32& vendorId, u32& productCode, u16& revisionHigh,
                                                  u16& revisionLow) {
  u16 entrySadr = 0;
  u32 entryVendor = 0;
  u32 entryProduct = 0;
  u16 entryHigh = 0;
  u16 entryLow = 0;
  if (!m_Source.TryReadNext(entrySadr, entryVendor, entryProduct, entryHigh, entryLow)) {
    return false;
  }
  sadr = entrySadr;
  vendorId = ~entryVendor;
  productCode = ~entryProduct;
  revisionHigh = static_cast<u16>(~entryHigh);
  revisionLow = static_cast<u16>(~entryLow);
  return true;
}

}  // namespace Param
