#include "CParameterSafetyAddressReader.h"

#include "CObjectRecord.h"

namespace Param {

bool CParameterSafetyAddressReader::TryReadNext(u16& sadr) {
  u16 index = 0;
  u8 subIndex = 0;
  u32 length = 0;
  const u8* data = nullptr;
  while (m_Records.TryReadNext(index, subIndex, length, data)) {
    if (!CObjectRecord::IsNodeIndex(index) || subIndex != 1) {
      continue;
    }
    sadr = CObjectRecord::TakeSafetyAddress(m_Records, length, data);
    return true;
  }
  return false;
}

}  // namespace Param
