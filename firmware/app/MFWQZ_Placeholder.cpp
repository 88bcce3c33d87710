// PLACEHOLDER for the firmware application: fixed answers and recorded calls
// so that the platform runs before the application exists. The application
// that brings the real functions deletes this file and MFWQZ_Placeholder.h.
#include "MFWQZ.h"
#include "MFWQZ_Placeholder.h"
#include "SAPL.h"

#include <cstring>

MFWQZ_ModuleInfoEntry MFWQZ_ModuleInfo[MFWQZ_kModuleCount];
u8 MFWQZ_gaucOptFlags[MFWQZ_kSadrSetBytes];
u8 MFWQZ_gaucStpFlags[MFWQZ_kSadrSetBytes];
u8 MFWQZ_gaucNprFlags[MFWQZ_kSadrSetBytes];
u8 MFWQZ_aucMissStpFlags[MFWQZ_kSadrSetBytes];
u8 MFWQZ_gaucPassword[MFWQZ_kPasswordBytes];
u32 MFWQZ_gbStartScan;
u32 MFWQZ_gbScanInit;
u32 MFWQZ_gbScanStarted;
u32 MFWQZ_gbStartQuit;
u32 MFWQZ_gbQuitAll;
u32 MFWQZ_gbQuitUdid;
u32 MFWQZ_gbAckDone;
u32 MFWQZ_gbAckError;
u16 MFWQZ_gusQuitSaddr;
u16 MFWQZ_susQuitSaddr;
u16 MFWQZ_gusAckHandle;
u32 MFWQZ_gbUdidSaving;
u32 MFWQZ_bCvnFromQorAvailable;
u32 MFWQZ_gbMachineOptionsActive;
u32 MFWQZ_gbStartupFlagsActive;
u32 MFWQZ_gbRemoteActive;
u32 MFWQZ_gulScansAtStartup;
u8 MFWQZ_gucPtRelease;
u32 MFWQZ_gSodCommisioningParameter[MFWQZ_kCommissioningCount];

MFWQZ_PlaceholderRcv MFWQZ_gPlaceholderRcv;
u32 MFWQZ_gulPlaceholderResetGuardingCount;
u32 MFWQZ_gulPlaceholderMainCount;
u16 MFWQZ_gausPlaceholderOptionalList[10];
u32 MFWQZ_gaulPlaceholderQorSends[4];
u8 MFWQZ_gaucPlaceholderQorLatches[2];
MFWQZ_PlaceholderEncoderChg MFWQZ_gPlaceholderEncoderChg;
MFWQZ_PlaceholderNodeStatus MFWQZ_gaPlaceholderNodeStatus[MFWQZ_kModuleCount];

u8 MFWQZ_GetTargetId(void) { return 1; }
u8 MFWQZ_Init(const u8* /*qorUdid*/, u16 /*release*/) { return 0; }
u8 MFWQZ_InitModuleInfo(void) { return 0; }
u8 MFWQZ_Main(u32 /*stackRunning*/) {
  ++MFWQZ_gulPlaceholderMainCount;
  return 0;
}
u32 MFWQZ_EndOfStartUp(u32 previous) { return previous; }

void MFWQZ_RemoteControlRcv(const u8* payload, u16 length, u32 reply) {
  ++MFWQZ_gPlaceholderRcv.ulCount;
  MFWQZ_gPlaceholderRcv.usLength = length;
  MFWQZ_gPlaceholderRcv.ulReply = reply;
  const u32 ulKeep = length < MFWQZ_kPlaceholderPayloadMax ? length : MFWQZ_kPlaceholderPayloadMax;
  if (payload != nullptr && ulKeep > 0) {
    std::memcpy(MFWQZ_gPlaceholderRcv.aucPayload, payload, ulKeep);
  }
}

u8 MFWQZ_RequestSwitchOperational(void) { return 0; }
u8 MFWQZ_QorHasFailed(void) { return MFWQZ_gaucPlaceholderQorLatches[0]; }
u8 MFWQZ_QorHasRecovered(void) { return MFWQZ_gaucPlaceholderQorLatches[1]; }
i32 MFWQZ_SendScmVersionToQor(u16 /*version*/) {
  ++MFWQZ_gaulPlaceholderQorSends[0];
  return 0;
}
i32 MFWQZ_SendPasswordToQor(const u8* /*password*/) {
  ++MFWQZ_gaulPlaceholderQorSends[1];
  return 0;
}
i32 MFWQZ_SendOptionalModulesToQor(const u16* sadrs) {
  ++MFWQZ_gaulPlaceholderQorSends[2];
  std::memcpy(MFWQZ_gausPlaceholderOptionalList, sadrs, sizeof(MFWQZ_gausPlaceholderOptionalList));
  return 0;
}
i32 MFWQZ_SendSetupModeToQor(u32 /*on*/) {
  ++MFWQZ_gaulPlaceholderQorSends[3];
  return 0;
}
u32 MFWQZ_IsSetupModeActive(void) { return 0; }
void MFWQZ_ResetNodeGuarding(void) { ++MFWQZ_gulPlaceholderResetGuardingCount; }
void MFWQZ_EncoderChg(u16 sadr, u16 handle) {
  ++MFWQZ_gPlaceholderEncoderChg.ulCount;
  MFWQZ_gPlaceholderEncoderChg.usSadr = sadr;
  MFWQZ_gPlaceholderEncoderChg.usHandle = handle;
}
// The stand-in reads only the optional set, which stays empty unless a test fills it.
u8 MFWQZ_IsModuleOptionalSADR(u16 sadr) {
  if (sadr == 0 || sadr >= MFWQZ_kModuleCount) {
    return 0;
  }
  return (MFWQZ_gaucOptFlags[sadr / 8] >> (sadr % 8)) & 1u;
}

// The configuration manager's node callbacks: every SADR of the domain is
// processed, revisions are accepted only when equal, reports are recorded.
bool SAPL_ScmProcessSn(u16 SADR) { return SADR >= 1 && SADR < MFWQZ_kModuleCount; }
void SAPL_ScmNodeStatusChangedClbk(u16 SADR, u8 oldStatus, u8 newStatus) {
  if (SADR >= MFWQZ_kModuleCount) {
    return;
  }
  MFWQZ_PlaceholderNodeStatus& rEntry = MFWQZ_gaPlaceholderNodeStatus[SADR];
  ++rEntry.ulCount;
  rEntry.ucOldStatus = oldStatus;
  rEntry.ucNewStatus = newStatus;
}
void SAPL_ScmUdidMismatchClbk(u16 /*SADR*/, const u8* /*receivedUdid*/, u16 /*fsmIndex*/) {}
bool SAPL_ScmRevisionNumberClbk(u16 /*SADR*/, u32 expected, u32 received) { return expected == received; }

// Machine options: none until a test sets them.
u8 MFWQZ_gaucPlaceholderMachineOptions[MFWQZ_kPlaceholderMachineOptionsSize];
u8 MFWQZ_gbPlaceholderMachineOptionsSet;
u32 MFWQZ_GetMachineOptions(u8* buffer, u32 length) {
  if (MFWQZ_gbPlaceholderMachineOptionsSet == 0 || buffer == nullptr || length > MFWQZ_kPlaceholderMachineOptionsSize) {
    return 2;
  }
  for (u32 i = 0; i < length; ++i) {
    buffer[i] = MFWQZ_gaucPlaceholderMachineOptions[i];
  }
  return 1;
}
