#include "CParameterCommissioningFlagReader.h"

#include "CLittleEndian.h"
#include "CObjectRecord.h"
#include "ErrorCodes.h"

namespace Param {

void CParameterCommissioningFlagReader::Open() {
  m_Records.Open();
  m_Delivered = false;
}

void CParameterCommissioningFlagReader::Close() {
  m_Records.Close();
  m_Delivered = false;
}

bool CParameterCommissioningFlagReader::TryReadNext(bool& setupModeActive, bool& autoConfirmCorvane,
                                                    bool& autoConfirmFirmware) {
  if (m_Delivered) {
    return false;
  }
  setupModeActive = autoConfirmCorvane = autoConfirmFirmware = false;
  bool objectSeen = false;  // any record of the object
  unsigned seen = 0;        // bit s - 1 set when sub-index s was read
  u16 index = 0;
  u8 subIndex = 0;
  u32 length = 0;
  const u8* data = nullptr;
  while (m_Records.TryReadNext(index, subIndex, length, data)) {
    if (index != CObjectRecord::ms_CommissioningIndex) {
      continue;
    }
    objectSeen = true;
    if (subIndex < 1 || subIndex > 3) {
      continue;
    }
    if (length != CObjectRecord::ms_FlagLength) {
      CObjectRecord::CloseAndRefuse(m_Records, Util::ErrorCodes::ms_ObjectLength, subIndex, length);
    }
    // The firmware reads setup mode as non-zero and the two confirmations as equal to 1.
    const u32 value = CLittleEndian::GetU32(data);
    if (subIndex == 1) {
      setupModeActive = value != 0;
    } else if (subIndex == 2) {
      autoConfirmFirmware = value == 1;
    } else {
      autoConfirmCorvane = value == 1;
    }
    seen |= 1u << (subIndex - 1);
    if (seen == 7u) {
      m_Delivered = true;
      return true;
    }
  }
  m_Delivered = true;
  return objectSeen;
}

}  // namespace Param
