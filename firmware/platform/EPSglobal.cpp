// The platform's cycle-wide record. The module-state copy starts as 0, so the
// cycle stays idle until the stack initialisation sets it normal.
#include "EPSglobal.h"

#include "SERR.h"

EPS_Global EPS_gGlobal;

i64 EPS_GetErrorCounter(u32 index) {
  if (index >= EPS_kErrorCounterCount) {
    return -1;
  }
  return EPS_gGlobal.aulErrorCounters[index];
}

i64 EPS_GetCommonEventCounter(u32 selector, u32 index) {
  u32 ulValue = 0;
  if ((selector & 0xFFu) != 0 || index >= SERR_kCommonCounters ||
      !SERR_GetCommonStatCtr(static_cast<u8>(index), &ulValue)) {
    return -1;
  }
  return ulValue;
}
