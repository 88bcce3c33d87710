// Initialisation of the whole stack in its fixed order.
#include "SCFM.h"
#include "SCM.h"
#include "SDN.h"
#include "SERR.h"
#include "SFS.h"
#include "SNMTM.h"
#include "SNMTS.h"
#include "SOD.h"
#include "SSC.h"
#include "SSDOC.h"
#include "SSDOS.h"

bool SSC_InitAll() {
  SCFM_Tack();
  SERR_Init();
  SCFM_Init();
  SSC_InitFsm();
  // The dictionary comes first: every later module resolves its objects in it.
  using InitFn = bool (*)();
  static constexpr InitFn k_steps[] = {SOD_Init,  SFS_Init,  SDN_Init,  SNMTS_Init,
                                       SSDOS_Init, SSDOC_Init, SNMTM_Init};
  for (InitFn step : k_steps) {
    SCFM_Tack();
    if (!step()) {
      return false;
    }
  }
  SCM_Init();
  return true;
}
