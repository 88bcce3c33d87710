// The new status record and its state bits, only in the current release's
// build (the older release answers its code 32).
#include <cstring>

#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "MFWQZ_Remote.h"

/// information1 of a null argument: new status record.
static constexpr u32 k_REC_NEW_STATUS = 4;

// New status state bits.
static constexpr u32 k_BIT_KEY_ACCEPTABLE = 0x01;  ///< a key-medium change can be accepted
static constexpr u32 k_BIT_STARTUP_SCAN = 0x04;    ///< start-up or scan
static constexpr u32 k_BIT_NOT_NORMAL = 0x10;      ///< the module-state word is not normal
static constexpr u32 k_BIT_SETUP_MODE = 0x20;      ///< setup mode on
static constexpr u32 k_BIT_KEY_FILE = 0x40;        ///< key-medium parameter file not empty at start-up
static constexpr u32 k_BIT_PASSWORD = 0x80;        ///< a password is set
static constexpr u32 k_BITS_ALWAYS = 0x0E00;       ///< 0x200, 0x400, 0x800

u32 MFWQZ_NewStatusBits(void) {
  u32 ulBits = k_BITS_ALWAYS;
  if (MFWQZ_KeyChangeAcceptable() != 0) {
    ulBits |= k_BIT_KEY_ACCEPTABLE;
  }
  if (MFWQZ_gbStartUp != 0 || MFWQZ_gbScanning != 0) {
    ulBits |= k_BIT_STARTUP_SCAN;
  }
  if (HNFiff_ModuleStateRead() != HNFiff_kModuleStateNormal) {
    ulBits |= k_BIT_NOT_NORMAL;
  }
  if (MFWQZ_IsSetupModeActive() != 0) {
    ulBits |= k_BIT_SETUP_MODE;
  }
  if (HNFstp_IsCorvaneEmpty() == 0) {
    ulBits |= k_BIT_KEY_FILE;
  }
  if (MFWQZ_IsPasswordEmpty() == 0) {
    ulBits |= k_BIT_PASSWORD;
  }
  return ulBits;
}

u32 MFWQZ_RCNewStatusBuild(u8* answer, const u8* cmd) {
  if (MFWQZ_RecordArgs(answer, cmd, k_REC_NEW_STATUS) == 0) {
    return 0;
  }
  std::memset(answer, 0, MFWQZ_kNewStatusSize);
  MFWQZ_PutHead(answer, cmd, MFWQZ_k_RES_OK);
  std::memcpy(answer + 6, cmd + MFWQZ_kCmdOffCode, 2);
  answer[8] = MFWQZ_kNewStatusVersion;
  const MFWQZ_ModuleCounts counts = MFWQZ_CountModules(nullptr);
  MFWQZ_PutU16(answer + 10, counts.ulMissing);
  MFWQZ_PutU16(answer + 12, counts.ulMismatches);
  MFWQZ_PutU16(answer + 14, counts.ulFirmware);
  MFWQZ_PutU16(answer + 16, counts.ulConfigured);
  MFWQZ_PutU32(answer + 40, MFWQZ_NewStatusBits());
  return 1;
}

u32 MFWQZ_NewStatusRecord(u8* answer, const u8* cmd) { return MFWQZ_RCNewStatusBuild(answer, cmd); }
