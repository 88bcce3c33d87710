// PLACEHOLDER: what a test sees of the stand-in configuration manager, SNMT
// master and SSDO client until their modules are linked; delete both files then.
#pragma once
#include "ScmTypes.h"

/// Calls and answers of the stand-in manager entry points.
struct SCM_PlaceholderMgr {
  u8 ucActivateResult = 1;  ///< what SCM_Activate answers (tests set 0 for a refused activation)
  u32 ulInitCalls;          ///< SCM_Init calls
  u32 ulActivateCalls;      ///< SCM_Activate calls
  u32 ulTriggerCalls;       ///< SCM_Trigger calls
};

/// The stand-in's record.
extern SCM_PlaceholderMgr SCM_gPlaceholderMgr;
