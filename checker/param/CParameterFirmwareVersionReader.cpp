#include "CParameterFirmwareVersionReader.h"

#include "CLittleEndian.h"
#include "CObjectRecord.h"
#include "ErrorCodes.h"

namespace Param {

using Util::ErrorCodes;

void CParameterFirmwareVersionReader::Open() {
  m_Records.Open();
  m_LastIndex = ms_InvalidIndex;
}

bool CParameterFirmwareVersionReader::TryReadNext(u16& sadr, u32& vendorId, u32& productCode, u16& revisionHigh,
                                                  u16& revisionLow) {
  bool sadrSeen = false;       // sub-index 1 of this object read in this call
  bool vendorSeen = false;     // sub-index 2 of this object read in this call
  bool productSeen = false;    // sub-index 3 of this object read in this call
  u16 sadrValue = 0;
  u32 vendorValue = 0;
  u32 productValue = 0;
  u16 index = 0;
  u8 subIndex = 0;
  u32 length = 0;
  const u8* data = nullptr;
  while (m_Records.TryReadNext(index, subIndex, length, data)) {
    if (!CObjectRecord::IsNodeIndex(index)) {
      continue;
    }
    if (index != m_LastIndex) {
      m_LastIndex = index;
      sadrSeen = vendorSeen = productSeen = false;
    }
    switch (subIndex) {
      case 1:
        sadrValue = CObjectRecord::TakeSafetyAddress(m_Records, length, data);
        sadrSeen = true;
        break;
      case 2:
      case 3:
      case 4:
        if (length != 4) {
          CObjectRecord::CloseAndRefuse(m_Records, ErrorCodes::ms_ObjectLength, subIndex, length);
        }
        if (subIndex == 2) {
          vendorValue = CLittleEndian::GetU32(data);
          vendorSeen = true;
        } else if (subIndex == 3) {
          productValue = CLittleEndian::GetU32(data);
          productSeen = true;
        } else {
          if (!(sadrSeen && vendorSeen && productSeen)) {
            CObjectRecord::CloseAndRefuse(m_Records, ErrorCodes::ms_ObjectIncomplete, 0, index);
          }
          sadr = sadrValue;
          vendorId = vendorValue;
          productCode = productValue;
          revisionLow = CLittleEndian::GetU16(data);
          revisionHigh = CLittleEndian::GetU16(data + 2);
          return true;
        }
        break;
      default:
        break;
    }
  }
  return false;
}

}  // namespace Param
