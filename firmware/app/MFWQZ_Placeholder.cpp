// PLACEHOLDER for the parts of the firmware application that are not built
// yet: remote control, the operator confirmation machines, setup mode, the Qor
// variable channel and the application files. Each function keeps the name
// and signature its owner will give it, so that the owner replaces bodies,
// not calls. The files behave as in a commissioned domain: the key medium is
// known and unchanged, the running hardware and the node list's revisions are
// the accepted ones, and no auto-configuration is loaded.
#include "MFWQZ_Placeholder.h"

#include <cstring>

#include "MFWQZ.h"
#include "SOD.h"

u32 MFWQZ_ValidFiles = 1;
u32 MFWQZ_gbLockPostFw;
u32 MFWQZ_geMachineOptionsStatus;

u16 MFWQZ_gausPlaceholderOptionalList[10];
u32 MFWQZ_gaulPlaceholderQorSends[4];
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

/// Machine-option status once the automatic configuration was read.
static constexpr u32 MFWQZ_kMachineOptionsLoaded = 2;
/// First and last object of the node list.
static constexpr u16 MFWQZ_kPhNodeListFirst = 0xC400;
static constexpr u16 MFWQZ_kPhNodeListLast = 0xC7FE;
/// Node-list sub-indices of the SADR and of the expected revision.
static constexpr u8 MFWQZ_kPhSubSadr = 1;
static constexpr u8 MFWQZ_kPhSubRevision = 4;


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

u8 MFWQZ_ReadCorvaneId(const u8* qorUdid) {
  MFWQZ_pucActQzUdid = qorUdid;
  std::memset(&MFWQZ_sReqHardwareId, 0, sizeof(MFWQZ_sReqHardwareId));
  MFWQZ_bCvnFromQorAvailable = 1;
  MFWQZ_bCvnChanged = 0;
  return MFWQZ_PhCall(MFWQZ_kPhReadCorvaneId);
}

/// Reads a u16 or u32 object of the node list into value; 1 read.
static u8 MFWQZ_PhReadNode(u16 index, u8 subIndex, u32 length, void* value) {
  SOD_Access acc = SOD_Access{};
  acc.obj.usIndex = index;
  acc.obj.ucSubIndex = subIndex;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  if (SOD_AttrGetVirt(&acc, &err) == nullptr || acc.obj.attr.ulLength != length) {
    return 0;
  }
  const void* pvData = SOD_ReadVirt(&acc, &err);
  if (pvData == nullptr) {
    return 0;
  }
  std::memcpy(value, pvData, length);
  return 1;
}

u8 MFWQZ_RevLoad(void) {
  static const u8 s_aucNoUdid[MFWQZ_kUdidBytes] = {};
  (void)MFWQZ_AuthorSetReqUdid(MFWQZ_pucActQzUdid != nullptr ? MFWQZ_pucActQzUdid : s_aucNoUdid,
                               MFWQZ_aActTargetId);
  (void)MFWQZ_ClearCnfRev();
  for (u32 ulIndex = MFWQZ_kPhNodeListFirst; ulIndex <= MFWQZ_kPhNodeListLast; ++ulIndex) {
    u16 usSadr = 0;
    u32 ulRevision = 0;
    if (MFWQZ_PhReadNode(static_cast<u16>(ulIndex), MFWQZ_kPhSubSadr, 2, &usSadr) == 0 || usSadr == 0 ||
        usSadr > MFWQZ_kSadrMax) {
      continue;
    }
    if (MFWQZ_PhReadNode(static_cast<u16>(ulIndex), MFWQZ_kPhSubRevision, 4, &ulRevision) == 0) {
      continue;
    }
    (void)MFWQZ_StoreCnfRev(usSadr, static_cast<u16>(ulRevision));
  }
  return MFWQZ_PhCall(MFWQZ_kPhRevLoad);
}

u8 MFWQZ_AutoLoad(void) {
  MFWQZ_gbModuleFlagsStatus = 1;
  MFWQZ_geMachineOptionsStatus = MFWQZ_kMachineOptionsLoaded;
  return MFWQZ_PhCall(MFWQZ_kPhAutoLoad);
}

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
