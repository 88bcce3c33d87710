#include "CParameterConfigurationDataReader.h"

#include "CLittleEndian.h"
#include "CObjectRecord.h"
#include "ErrorCodes.h"

namespace Param {

void CParameterConfigurationDataReader::Open() {
  m_Records.Open();
  m_Delivered = false;
}

void CParameterConfigurationDataReader::Close() {
  m_Records.Close();
  m_Delivered = false;
}

bool CParameterConfigurationDataReader::TryReadNext(bool& externalMachineOptionsActive) {
  if (m_Delivered) {
    return false;
  }
  externalMachineOptionsActive = false;
  bool objectSeen = false;  // any record of the object
  u16 index = 0;
  u8 subIndex = 0;
  u32 length = 0;
  const u8* data = nullptr;
  while (m_Records.TryReadNext(index, subIndex, length, data)) {
    if (index != CObjectRecord::ms_ConfigurationIndex) {
      continue;
    }
    objectSeen = true;
    if (subIndex != ms_MachineOptionsSubIndex) {
      continue;
    }
    if (length != CObjectRecord::ms_FlagLength) {
      CObjectRecord::CloseAndRefuse(m_Records, Util::ErrorCodes::ms_ObjectLength, subIndex, length);
    }
    externalMachineOptionsActive = CLittleEndian::GetU32(data) != 0;
    m_Delivered = true;
    return true;
  }
  m_Delivered = true;
  return objectSeen;
}

}  // namespace Param
