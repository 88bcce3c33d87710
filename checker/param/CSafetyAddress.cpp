#include "CSafetyAddress.h"

#include "CException.h"

namespace Param {

void CSafetyAddress::Require(u32 sadr, u16 code) {
  if (!IsValid(sadr)) {
    throw Util::CException(code, sadr);
  }
}

}  // namespace Param
