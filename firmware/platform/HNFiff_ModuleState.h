// The doubled module-state word: both words hold the normal pattern while the
// firmware may act, both the fail-safe pattern once a fatal event was raised.
// The two words sit in different data sections so that one corrupted section
// cannot fake the normal state.
#pragma once
#include "ScmTypes.h"

/// Both words hold this while the module runs normally.
inline constexpr u32 HNFiff_kModuleStateNormal = 0xFF00AA55u;
/// Both words hold this once the module is fail-safe.
inline constexpr u32 HNFiff_kModuleStateFailSafe = 0x00FF55AAu;
/// Fatal event: the two state words disagree or hold no known pattern.
inline constexpr u32 HNFiff_kEvtStateWordMismatch = 0x92008701u;

/// Word A, in initialised data (starts normal).
extern volatile u32 glFailSafeA;
/// Word B, in zeroed data (normal only after HNFiff_ModuleStateInit).
extern volatile u32 glFailSafeB;

/// Copies word A into word B when A holds the normal pattern; first call of main.
void HNFiff_ModuleStateInit(void);
/// Writes the fail-safe pattern into both words.
void HNFiff_ModuleStateFailSafe(void);
/// The normal pattern when both words hold it; otherwise reports the
/// inconsistency, forces both words fail-safe and returns the fail-safe pattern.
u32 HNFiff_ModuleStateRead(void);
/// 1 when both words hold the normal pattern; reads without reporting.
u8 HNFiff_ModuleStateIsNormal(void);
