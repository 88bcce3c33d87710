// Lock and write-enable flags of the object dictionary.
#include "SCFM.h"
#include "SERR.h"
#include "SOD.h"

namespace {
constexpr u32 k_ABORT_GENERAL = 0x08000000;  ///< general error
constexpr u32 k_ABORT_STATE = 0x08000022;    ///< refused in the present state
u8 s_ucLocked = 0;                           ///< 1 while a segmented transfer holds the dictionary
u8 s_ucWriteEnabled = 1;                     ///< 0 while writes are disabled
}  // namespace

void SOD_InitLock() {
  SCFM_Tack();
  s_ucLocked = 0;
  s_ucWriteEnabled = 1;
}

bool SOD_Lock() {
  SCFM_Tack();
  if (s_ucLocked != 0) {
    SERR_SetError(0x1726, k_ABORT_STATE);
    return false;
  }
  s_ucLocked = 1;
  return true;
}

bool SOD_Unlock() {
  SCFM_Tack();
  if (s_ucLocked == 0) {
    SERR_SetError(0xF729, k_ABORT_STATE);
    return false;
  }
  s_ucLocked = 0;
  return true;
}

bool SOD_IsLocked() {
  SCFM_Tack();
  return s_ucLocked != 0;
}

bool SOD_WriteAccess() {
  SCFM_Tack();
  return s_ucWriteEnabled != 0;
}

bool SOD_DisableSodWrite() {
  SCFM_Tack();
  if (s_ucWriteEnabled == 0 || s_ucLocked != 0) {
    SERR_SetError(0x172E, k_ABORT_GENERAL);
    return false;
  }
  s_ucWriteEnabled = 0;
  return true;
}

bool SOD_EnableSodWrite() {
  SCFM_Tack();
  if (s_ucWriteEnabled != 0) {
    SERR_SetError(0xF72C, k_ABORT_GENERAL);
    return false;
  }
  s_ucWriteEnabled = 1;
  return true;
}
