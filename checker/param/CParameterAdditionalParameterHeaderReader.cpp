#include "CParameterAdditionalParameterHeaderReader.h"

#include "CLittleEndian.h"
#include "CObjectRecord.h"
#include "CSafetyAddress.h"
#include "ErrorCodes.h"

namespace Param {

using Util::ErrorCodes;

bool CParameterAdditionalParameterHeaderReader::TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) {
  u16 index = 0;
  u8 subIndex = 0;
  u32 length = 0;
  const u8* data = nullptr;
  while (m_Records.TryReadNext(index, subIndex, length, data)) {
    if (index < CObjectRecord::ms_HeaderIndexFirst || index > CObjectRecord::ms_HeaderIndexLast || subIndex < 1 ||
        subIndex > 17) {
      continue;
    }
    if (length < CObjectRecord::ms_HeaderLength) {
      CObjectRecord::CloseAndRefuse(m_Records, ErrorCodes::ms_HeaderLength, index, length);
    }
    const u16 sadrValue = CLittleEndian::GetU16(data + 2);
    if (!CSafetyAddress::IsValid(sadrValue)) {
      CObjectRecord::CloseAndRefuse(m_Records, ErrorCodes::ms_HeaderSafetyAddress, 0, sadrValue);
    }
    if (data[0] > CObjectRecord::ms_ParameterNumberMax) {
      CObjectRecord::CloseAndRefuse(m_Records, ErrorCodes::ms_HeaderParameterNumber, 0, data[0]);
    }
    sadr = sadrValue;
    parameterNumber = data[0];
    header = data;
    return true;
  }
  return false;
}

}  // namespace Param
