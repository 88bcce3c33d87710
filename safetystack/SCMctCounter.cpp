// The configuration manager's 40-bit CT counter, from which the extended
// consecutive time of the nodes starts (the older release has neither).
#include "SAPL.h"
#include "SCFM.h"
#include "SCMint.h"
#include "SERR.h"

namespace {
constexpr u64 k_CT40_MAX = 0xFFFFFFFFFFULL;  ///< largest 40-bit value
}  // namespace

void SCM_InitCtCounter() {
  SCFM_Tack();
  SCM_s.ullCtCounter = SAPL_SCM_GetInitialCtValueClbk();
  if (SCM_s.ullCtCounter > k_CT40_MAX) {
    SERR_SetError(0xF116, static_cast<u32>(SCM_s.ullCtCounter >> 32));
  }
  SCM_s.ulPrevCt = 0;
}
