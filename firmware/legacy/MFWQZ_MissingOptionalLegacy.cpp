// The older release's Qor variable 3: the configured modules that have not
// answered and are not registered missing, so that the Qor controller knows
// which ones may still come. The value's layout (10 SADRs and their CRC-32)
// is the current release's optional-module list.
#include "MFWQZ.h"

void MFWQZ_BuildMissingOptionalList(u16 sadrs[MFWQZ_kOptionalListCount]) {
  u32 ulCount = 0;
  for (u32 i = 0; i < MFWQZ_kOptionalListCount; ++i) {
    sadrs[i] = 0;
  }
  // SADR 1 is the Qor controller itself.
  for (u32 ulSadr = MFWQZ_kQorSadr + 1u; ulSadr < MFWQZ_kModuleCount && ulCount < MFWQZ_kOptionalListCount;
       ++ulSadr) {
    const u32 ulFlags = MFWQZ_ModuleInfo[ulSadr].ulFlags;
    if ((ulFlags & MFWQZ_kFlagConfigured) != 0 &&
        (ulFlags & (MFWQZ_kFlagMissingRegistered | MFWQZ_kFlagAnswered)) == 0) {
      sadrs[ulCount++] = static_cast<u16>(ulSadr);
    }
  }
}

i32 MFWQZ_SendMissingOptionalModulesToQor(const u16 sadrs[MFWQZ_kOptionalListCount]) {
  return MFWQZ_SendOptionalModulesToQor(sadrs);
}
