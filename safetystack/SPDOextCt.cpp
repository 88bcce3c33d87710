// Extended (40-bit) consecutive time of the own node.
#include "SCFM.h"
#include "SPDO.h"

namespace {
SPDO_ExtCt s_ExtCt = {};  ///< the one extended-CT record
}  // namespace

void SPDO_InitExtCt() {
  SCFM_Tack();
  s_ExtCt = SPDO_ExtCt{};
}

void SPDO_SetExtCtInitValue(u64 value) {
  SCFM_Tack();
  s_ExtCt.ullCurrent = value;
  s_ExtCt.ullInitial = value;
  s_ExtCt.ulLastCt = 0;
  s_ExtCt.ucInit = 1;
}

const SPDO_ExtCt* SPDO_GetExtCt() {
  SCFM_Tack();
  return &s_ExtCt;
}

void SPDO_UpdateExtCtValue(u32 ct) {
  SCFM_Tack();
  // Unsigned 32-bit difference: a CT wrap between two updates still adds the elapsed time.
  s_ExtCt.ullCurrent += static_cast<u32>(ct - s_ExtCt.ulLastCt);
  s_ExtCt.ulLastCt = ct;
}
