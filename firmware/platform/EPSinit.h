// Stack initialisation with the loaded parameter files.
#pragma once
#include "HNFstp.h"
#include "ScmTypes.h"

/// Fatal: the stack initialisation failed (information1 = reason).
inline constexpr u32 EPS_kEvtInit = 0x9200AF0Cu;
/// Reasons of the initialisation event.
enum : u32 {
  EPS_kInitMissingArgument = 1,  ///< files or identity missing
  EPS_kInitStackFailed = 4,      ///< the stack or the own node did not start
  EPS_kInitActivateFailed = 6    ///< the SCM could not be activated
};
/// Time-base-2 CT multiplier that holds until 0x1200/3 is written.
inline constexpr u64 EPS_kDefaultCtMultiplier = 0x02752546u;
/// Module-state copy of normal operation.
inline constexpr u32 EPS_kModuleStateNormal = 0xFF00AA55u;

/// Initialises the stack: files are the three list slots in list order.
void EPS_Init(const HNFstp_File* files, const HNFstp_Identity* identity);
