// PLACEHOLDER for the parts of the firmware application that are not built
// yet: the operator confirmation machines, setup mode and the Qor variable
// channel. Each function keeps the name and signature its owner will give it,
// so that the owner replaces bodies, not calls.
#include "MFWQZ_Placeholder.h"

#include <cstring>

#include "MFWQZ.h"


u16 MFWQZ_gausPlaceholderOptionalList[10];
u32 MFWQZ_gaulPlaceholderQorSends[5];
MFWQZ_PlaceholderQorSend MFWQZ_gaPlaceholderQorLog[MFWQZ_kPlaceholderQorLogMax];
u32 MFWQZ_gulPlaceholderQorLogCount;
u8 MFWQZ_gaucPlaceholderPassword[16];
u8 MFWQZ_gaucPlaceholderQorLatches[2];
u8 MFWQZ_gaucPlaceholderCalls[MFWQZ_kPlaceholderCallsMax];
u32 MFWQZ_gulPlaceholderCallCount;
u8 MFWQZ_gaucPlaceholderResults[MFWQZ_kPhStepCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

u8 MFWQZ_PhCall(MFWQZ_PlaceholderStep step) {
  if (MFWQZ_gulPlaceholderCallCount < MFWQZ_kPlaceholderCallsMax) {
    MFWQZ_gaucPlaceholderCalls[MFWQZ_gulPlaceholderCallCount] = step;
  }
  ++MFWQZ_gulPlaceholderCallCount;
  return MFWQZ_gaucPlaceholderResults[step];
}

u8 MFWQZ_ModuleXChg(void) { return MFWQZ_PhCall(MFWQZ_kPhModuleXChg); }
u8 MFWQZ_CorvaneChgCnf(void) { return MFWQZ_PhCall(MFWQZ_kPhCorvaneChgCnf); }
u8 MFWQZ_CorvaneFormat(void) { return MFWQZ_PhCall(MFWQZ_kPhCorvaneFormat); }
u8 MFWQZ_UsrDataFormatMain(void) { return MFWQZ_PhCall(MFWQZ_kPhUsrDataFormat); }
void MFWQZ_SetupModeInit(void) { (void)MFWQZ_PhCall(MFWQZ_kPhSetupModeInit); }
u8 MFWQZ_SetupMode(void) { return MFWQZ_PhCall(MFWQZ_kPhSetupMode); }

u8 MFWQZ_QorHasFailed(void) { return MFWQZ_gaucPlaceholderQorLatches[0]; }
u8 MFWQZ_QorHasRecovered(void) { return MFWQZ_gaucPlaceholderQorLatches[1]; }
/// Counts a send of the kind and logs it while the log has room.
static void PlaceholderQorSent(u32 kind, u32 value) {
  ++MFWQZ_gaulPlaceholderQorSends[kind];
  if (MFWQZ_gulPlaceholderQorLogCount < MFWQZ_kPlaceholderQorLogMax) {
    MFWQZ_gaPlaceholderQorLog[MFWQZ_gulPlaceholderQorLogCount] = MFWQZ_PlaceholderQorSend{kind, value};
    ++MFWQZ_gulPlaceholderQorLogCount;
  }
}
i32 MFWQZ_SendScmVersionToQor(u16 version) {
  PlaceholderQorSent(0, version);
  return 0;
}
i32 MFWQZ_SendPasswordToQor(const u8* password) {
  std::memcpy(MFWQZ_gaucPlaceholderPassword, password, sizeof(MFWQZ_gaucPlaceholderPassword));
  PlaceholderQorSent(1, 0);
  return 0;
}
i32 MFWQZ_SendOptionalModulesToQor(const u16* sadrs) {
  std::memcpy(MFWQZ_gausPlaceholderOptionalList, sadrs, sizeof(MFWQZ_gausPlaceholderOptionalList));
  PlaceholderQorSent(2, 0);
  return 0;
}
i32 MFWQZ_SendSetupModeToQor(u32 on) {
  PlaceholderQorSent(3, on);
  return 0;
}

// The older release's write of the key-medium identity as Qor variable 4,
// recorded like the other sends until the variable writes land.
i32 MFWQZ_SaveCorvaneIdToQor(const u8* id) {
  (void)id;
  PlaceholderQorSent(4, 0);
  return MFWQZ_gaucPlaceholderQorLatches[0] != 0 ? -1 : 0;
}
