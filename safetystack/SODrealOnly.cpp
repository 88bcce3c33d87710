// The older release's object dictionary has no virtual ranges: every object
// is an entry of the real table, and the access structures reach only those.
#include "SCFM.h"
#include "SOD.h"

void SOD_InitVirt() { SCFM_Tack(); }

const SOD_AttrPart* SOD_AttrGetRange(SOD_Access* acc, SOD_ErrorInfo* err) {
  SCFM_Tack();
  return SOD_UnknownObject(acc, false, err);
}

const SOD_AttrPart* SOD_AttrGetNextVirt(bool first, SOD_Access* acc, SOD_ErrorInfo* err) {
  SCFM_Tack();
  (void)first;
  if (err == nullptr) {
    return nullptr;
  }
  if (acc == nullptr) {
    err->usErrNum = 0xF747;
    err->ulAbortCode = 0x08000000;
    return nullptr;
  }
  // No range: the walk ends at once.
  err->usErrNum = SOD_k_NO_ERROR;
  err->ulAbortCode = 0;
  return nullptr;
}
