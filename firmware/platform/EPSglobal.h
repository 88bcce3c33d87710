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
  u32 ulRequests;           ///< own-node requests: bit 0 switch to operational, bit 1 parameter checksum, bit 2 parameter set pending
  u32 ulMachineOptions;     ///< machine-option word: bit n-1 mirrors object 0x2100/n
  u8 ucParamError;          ///< set by any faulty record of a parameter stream
  u8 ucStackInitialised;    ///< set once the stack initialisation ran
};

/// Request bit: the own node is asked to switch to operational.
constexpr u32 EPS_kReqSwitchToOp = 0x1u;
/// Request bit: the own parameter checksum is to be computed.
constexpr u32 EPS_kReqCalcChecksum = 0x2u;
/// Request bit: a parameter set is still pending.
constexpr u32 EPS_kReqParameterSetPending = 0x4u;

extern EPS_Global EPS_gGlobal;

/// Stack error counter index (0 to 15) of its unit; -1 for a larger index.
i64 EPS_GetErrorCounter(u32 index);
/// The stack's common event counter index (0 to 12) with selector 0; -1 otherwise.
i64 EPS_GetCommonEventCounter(u32 selector, u32 index);
