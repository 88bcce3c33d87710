// Doubled module-state word.
#include "HNFiff_ModuleState.h"

#include "HNFevt.h"

volatile u32 glFailSafeA = HNFiff_kModuleStateNormal;
volatile u32 glFailSafeB;

void HNFiff_ModuleStateInit(void) {
  if (glFailSafeA == HNFiff_kModuleStateNormal) {
    glFailSafeB = glFailSafeA;
  }
}

void HNFiff_ModuleStateFailSafe(void) {
  glFailSafeA = HNFiff_kModuleStateFailSafe;
  glFailSafeB = HNFiff_kModuleStateFailSafe;
}

u8 HNFiff_ModuleStateIsNormal(void) {
  return (glFailSafeA == HNFiff_kModuleStateNormal && glFailSafeB == HNFiff_kModuleStateNormal) ? 1 : 0;
}

u32 HNFiff_ModuleStateRead(void) {
  const u32 ulWordA = glFailSafeA;
  const u32 ulWordB = glFailSafeB;
  if (ulWordA == HNFiff_kModuleStateNormal && ulWordB == HNFiff_kModuleStateNormal) {
    return HNFiff_kModuleStateNormal;
  }
  // The values as found are reported; the first fatal event already forces both words.
  if (ulWordA != HNFiff_kModuleStateFailSafe) {
    HNFevt_EnregisterEvent(HNFiff_kEvtStateWordMismatch, ulWordA);
    HNFevt_EnregisterEvent(HNFiff_kEvtStateWordMismatch, ulWordB);
  }
  const u32 ulReadA = glFailSafeA;
  const u32 ulReadB = glFailSafeB;
  if (ulReadA != ulReadB) {
    HNFevt_EnregisterEvent(HNFiff_kEvtStateWordMismatch, ulReadA);
    HNFevt_EnregisterEvent(HNFiff_kEvtStateWordMismatch, ulReadB);
  }
  HNFiff_ModuleStateFailSafe();
  return HNFiff_kModuleStateFailSafe;
}
