// Event hook through which host-library code reports. The library only
// declares it: each program defines it (the firmware's event store, the
// checker's own sink) and tests define a recording one.
#pragma once

#include "ScmTypes.h"

/// Registers an event with an explicit level (1 information, 2 warning, 3 fatal).
void HNFevt_EnregisterEventLevel(u32 code, u16 information0, u32 information1, u8 level);
