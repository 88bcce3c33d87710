// Control-flow counter.
#include "SCFM.h"

u32 SCFM_dw_PathProgress = 0;

void SCFM_Init() {
  SCFM_dw_PathProgress = 0;
  SCFM_Tack();
}

u32 SCFM_GetResetPath() {
  SCFM_Tack();
  const u32 value = SCFM_dw_PathProgress;
  SCFM_dw_PathProgress = 0;
  return value;
}
