#include "CInternalError.h"

#include "CException.h"
#include "ErrorCodes.h"

namespace Util {

void CInternalError::Raise(std::uint32_t line, std::uint32_t fileId) {
  throw CException(ErrorCodes::ms_InternalError, static_cast<std::uint16_t>(line), fileId);
}

}  // namespace Util
