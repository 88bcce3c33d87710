#include "CObjectRecord.h"

#include "CException.h"
#include "CLittleEndian.h"
#include "CSafetyAddress.h"
#include "ErrorCodes.h"

namespace Param {

u16 CObjectRecord::TakeSafetyAddress(CParameterReader& records, u32 length, const u8* data) {
  if (length != ms_SafetyAddressLength) {
    CloseAndRefuse(records, Util::ErrorCodes::ms_ObjectLength, 1, length);
  }
  const u16 sadr = CLittleEndian::GetU16(data);
  if (!CSafetyAddress::IsValid(sadr)) {
    CloseAndRefuse(records, Util::ErrorCodes::ms_ObjectSafetyAddress, 0, sadr);
  }
  return sadr;
}

void CObjectRecord::CloseAndRefuse(CParameterReader& records, u16 code, u16 information0, u32 information1) {
  records.Close();
  throw Util::CException(code, information0, information1);
}

}  // namespace Param
