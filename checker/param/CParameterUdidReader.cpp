#include "CParameterUdidReader.h"

#include "CObjectRecord.h"
#include "CUdid.h"
#include "ErrorCodes.h"

namespace Param {

bool CParameterUdidReader::TryReadNext(u16& sadr, const u8*& udid) {
  u16 index = 0;
  u8 subIndex = 0;
  u32 length = 0;
  const u8* data = nullptr;
  while (m_Records.TryReadNext(index, subIndex, length, data)) {
    if (index < CObjectRecord::ms_UdidIndexFirst || index > CObjectRecord::ms_UdidIndexLast || subIndex < 1 ||
        subIndex > 254) {
      continue;
    }
    if (length != Util::CUdid::ms_Length) {
      CObjectRecord::CloseAndRefuse(m_Records, Util::ErrorCodes::ms_ObjectLength, 0, length);
    }
    sadr = static_cast<u16>(index - CObjectRecord::ms_UdidIndexBase);
    udid = data;
    return true;
  }
  return false;
}

}  // namespace Param
