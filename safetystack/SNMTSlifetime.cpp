// SNMT slave: life guarding of the own node while it is OPERATIONAL.
#include "SCFM.h"
#include "SERR.h"
#include "SNMTSint.h"

namespace {
SOD_Access s_GuardTimeAcc = {};   ///< 0x100C/1 guard time (CT units)
SOD_Access s_LifeFactorAcc = {};  ///< 0x100C/2 life time factor
u8 s_ucRunning = 0;               ///< 1 while guarding runs
u32 s_ulDeadline = 0;             ///< CT of the next guard deadline
u8 s_ucRemaining = 0;             ///< deadlines that may still pass without a guard request
}  // namespace

bool SNMTS_LifeInit() {
  SCFM_Tack();
  SNMTS_LifeStop();
  return SOD_AccessBind(&s_GuardTimeAcc, 0x100C, 1) && SOD_AccessBind(&s_LifeFactorAcc, 0x100C, 2);
}

bool SNMTS_LifeStart(u32 ct) {
  SCFM_Tack();
  u32 guardTime = 0;
  u32 factor = 0;
  if (!SNMTS_ReadUnsigned(&s_GuardTimeAcc, &guardTime) || !SNMTS_ReadUnsigned(&s_LifeFactorAcc, &factor)) {
    return false;
  }
  s_ulDeadline = ct + guardTime;
  // A factor of 0 is outside the object's range; it guards as a factor of 1.
  s_ucRemaining = (factor == 0) ? 0 : static_cast<u8>(factor - 1);
  s_ucRunning = 1;
  return true;
}

void SNMTS_LifeStop() {
  SCFM_Tack();
  s_ucRunning = 0;
  s_ucRemaining = 0;
  s_ulDeadline = 0;
}

u8 SNMTS_LifeCheck(u32 ct) {
  SCFM_Tack();
  if (s_ucRunning == 0) {
    SERR_SetError(0xF648, 0);
    return SNMTS_k_LIFE_ERROR;
  }
  if (SNMTS_Before(ct, s_ulDeadline)) {
    return SNMTS_k_LIFE_OK;
  }
  if (s_ucRemaining > 0) {
    u32 guardTime = 0;
    if (!SNMTS_ReadUnsigned(&s_GuardTimeAcc, &guardTime)) {
      return SNMTS_k_LIFE_ERROR;
    }
    s_ulDeadline = ct + guardTime;
    --s_ucRemaining;
    return SNMTS_k_LIFE_OK;
  }
  SERR_SetError(0x1649, 0);
  return SNMTS_k_LIFE_ELAPSED;
}
