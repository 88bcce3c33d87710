// EPS_gGlobal: the firmware platform's one record of cycle-wide state. Every
// firmware module that needs a field adds it here with a one-line comment.
#pragma once
#include "ScmTypes.h"

/// Number of per-unit stack error counters (one per SERR unit nibble).
constexpr unsigned EPS_kErrorCounterCount = 16;

struct EPS_Global {
  u32 ulModuleState;        ///< copy of the module-state word taken once per cycle (0xFF00AA55 = normal)
  u32 ulCt;                 ///< consecutive time (CT) of the current cycle
  u64 ullCtMultiplier = 0x02752546u;  ///< CT multiplier chosen by the time base 0x1200/3 (time base 2 until written)
  u32 aulErrorCounters[EPS_kErrorCounterCount];  ///< stack errors counted per unit
};

extern EPS_Global EPS_gGlobal;
