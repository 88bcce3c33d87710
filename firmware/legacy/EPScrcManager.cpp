// The older release's block-wise parameter check, in place of the idle checks:
// on request it walks the real objects (the only ones that release has) and
// feeds the saved parameters into the shared block checker. A differing block
// is reported and the blocks of the same object are still compared (each
// difference its own event); the walk stops after that object and the result
// is 0, whatever a later block says. The older release reports no growing
// error counters.
#include "EPSglobal.h"
#include "HNFhwt.h"
#include "SOD.h"

namespace {

/// True while the walk has an object in hand.
bool HasObject(const SOD_AttrPart* attr, const SOD_Entry* handle) {
  return attr != nullptr && handle != nullptr && handle->usIndex != SOD_k_END_INDEX;
}

/// Walks the real objects in table order; the result (1 every block equal, 0 otherwise).
u8 WalkRealObjects(void) {
  EPS_ParCheckStartBlockwise();
  const SOD_Entry* pEntry = nullptr;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const SOD_AttrPart* pAttr = SOD_AttrGetNext(true, &pEntry, &err);
  for (u32 ulObjects = 0; HasObject(pAttr, pEntry); ++ulObjects) {
    if (ulObjects == EPS_kParWalkMaxSteps) {
      // More objects than a walk may take: the parameters cannot be confirmed.
      return 0;
    }
    EPS_ParCheckFeedObject(pAttr);
    if (EPS_ParCheckEnded() != 0 || EPS_ParCheckDiffered() != 0) {
      break;
    }
    pAttr = SOD_AttrGetNext(false, &pEntry, &err);
  }
  return EPS_ParCheckFinish();
}

}  // namespace

void EPS_CrcCalculationManager(void) { EPS_ParCheckOnRequest(WalkRealObjects); }
