// Events of the object callbacks. The callbacks themselves are declared where
// their callers expect them (EPSod.h, and SAPL.h for the stack's).
#pragma once
#include "ScmTypes.h"

/// Fatal: a time base outside 0 to 3 reached the CT multiplier (information1 = 1).
inline constexpr u32 EPS_kEvtCtTimeBase = 0x9200AF08u;
/// Fatal: the CT multiplier callback found no value.
inline constexpr u32 EPS_kEvtCtValueMissing = 0x9200AF16u;
/// Fatal: the machine-option callback found no value.
inline constexpr u32 EPS_kEvtMachineOptionMissing = 0x9200AF42u;
