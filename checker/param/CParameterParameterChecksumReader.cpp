#include "CParameterParameterChecksumReader.h"

#include "CObjectRecord.h"
#include "ErrorCodes.h"

namespace Param {

using Util::ErrorCodes;

void CParameterParameterChecksumReader::Open() {
  m_Records.Open();
  m_LastIndex = ms_InvalidIndex;
}

bool CParameterParameterChecksumReader::TryReadNext(u16& sadr, u32& length, const u8*& checksum) {
  bool sadrSeen = false;  // sub-index 1 of this object read in this call
  u16 sadrValue = 0;
  u16 index = 0;
  u8 subIndex = 0;
  u32 recordLength = 0;
  const u8* data = nullptr;
  while (m_Records.TryReadNext(index, subIndex, recordLength, data)) {
    if (!CObjectRecord::IsNodeIndex(index)) {
      continue;
    }
    if (index != m_LastIndex) {
      m_LastIndex = index;
      sadrSeen = false;
    }
    if (subIndex == 1) {
      sadrValue = CObjectRecord::TakeSafetyAddress(m_Records, recordLength, data);
      sadrSeen = true;
    } else if (subIndex == ms_ChecksumSubIndex) {
      if (recordLength < 4 || recordLength % 4 != 0 || recordLength > ms_ChecksumLengthMax) {
        CObjectRecord::CloseAndRefuse(m_Records, ErrorCodes::ms_ObjectLength, ms_ChecksumSubIndex, recordLength);
      }
      if (!sadrSeen) {
        CObjectRecord::CloseAndRefuse(m_Records, ErrorCodes::ms_ObjectIncomplete, 0, index);
      }
      sadr = sadrValue;
      length = recordLength;
      checksum = data;
      return true;
    }
  }
  return false;
}

}  // namespace Param
