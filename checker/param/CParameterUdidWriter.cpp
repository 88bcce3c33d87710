#include "CParameterUdidWriter.h"

#include "CObjectRecord.h"
#include "CSafetyAddress.h"
#include "CUdid.h"
#include "ErrorCodes.h"

namespace Param {

void CParameterUdidWriter::WriteNext(u16 sadr, const u8* udid) {
  CSafetyAddress::Require(sadr, Util::ErrorCodes::ms_UdidWriterSafetyAddress);
  m_Records.WriteNext(static_cast<u16>(CObjectRecord::ms_UdidIndexBase + sadr), 1, Util::CUdid::ms_Length, udid);
}

}  // namespace Param
