// Control-flow counter of the safety stack: every stack operation adds to it
// on every path it takes, so that a fixed sequence of calls yields a fixed value.
#pragma once
#include "ScmTypes.h"

/// Path progress of the stack's control flow; advanced by every stack function.
extern u32 SCFM_dw_PathProgress;

/// One step of the control flow (function entry, return or checkpoint).
inline void SCFM_Tack() { ++SCFM_dw_PathProgress; }

/// Counter := 0.
void SCFM_Init();
/// Returns the counter and sets it to 0.
u32 SCFM_GetResetPath();
