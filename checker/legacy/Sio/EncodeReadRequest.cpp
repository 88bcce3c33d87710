#include "EncodeReadRequest.h"

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"

namespace Sio {

u8 EncodeReadRequest(u8 variable, u8 capacity, u8* out) {
  UTIL_CHECK(out != nullptr);
  if (capacity == 0) {
    throw Util::CException(Util::ErrorCodes::ms_QorRequestNoRoom, 0u);
  }
  if (variable >= ms_VariableCount) {
    throw Util::CException(Util::ErrorCodes::ms_QorVariableNumber, static_cast<u32>(variable));
  }
  out[0] = variable;
  return 1;
}

}  // namespace Sio
