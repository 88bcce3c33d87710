// The current release's parts of a module record: the revision read from
// "fwrevcnf.bin" and the toggle that lets every second invalid report register
// (the older release's 16-byte record has neither).
#include "MFWQZ.h"

void MFWQZ_SetStoredRev(u16 sadr, u16 rev) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return;
  }
  MFWQZ_ModuleInfo[sadr].usStoredRev = rev;
}

u16 MFWQZ_StoredRev(u16 sadr) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return 0;
  }
  return MFWQZ_ModuleInfo[sadr].usStoredRev;
}

u8 MFWQZ_InvalidReportRegisters(u16 sadr) {
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  if (rEntry.ucInvalidToggle == 0) {
    rEntry.ucInvalidToggle = 1;
    return 0;
  }
  rEntry.ucInvalidToggle = 0;
  return 1;
}
