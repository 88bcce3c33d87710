// The older release has no setup mode: it is never active, nothing is
// initialised or run for it each cycle, a confirmed switch is not taken and no
// Qor variable 6 exists to be sent.
#include "MFWQZ.h"

void MFWQZ_SetupModeInit(void) {}

u8 MFWQZ_SetupMode(void) { return 1; }

u32 MFWQZ_IsSetupModeActive(void) { return 0; }

u8 MFWQZ_SetupModeOrder(u32 on) {
  (void)on;
  return 0;
}

void MFWQZ_TriggerSetupModeToQor(void) {}

void MFWQZ_SetupModeToQorWhenTriggered(void) {}
