// Stack initialisation: the object list's storage, the stack, the own node
// brought to pre-operational, the identity, the three parameter files and the
// activation of the SCM.
#include "EPSinit.h"

#include "EPSglobal.h"
#include "EPSod.h"
#include "EPSpar.h"
#include "EPSudid.h"
#include "HNFevt.h"
#include "HNFhwt.h"
#include "SCM.h"
#include "SNMTS.h"
#include "SOD.h"
#include "SPDO.h"
#include "SSC.h"
#include "ScmSystemCalls.h"

namespace {
/// Own-node state of initialisation.
constexpr u32 k_SN_INIT = 0;
/// Own-node state pre-operational.
constexpr u32 k_SN_PREOP = 1;
/// Offset of the ident word in the ident block.
constexpr u32 k_IDENT_WORD_OFFSET = 22;

SOD_Access s_Acc;  ///< access structure of the identity writes

/// Writes a value as the application; the stack reports a refusal itself.
void WriteApp(u16 index, u8 sub, const void* value) {
  s_Acc = SOD_Access{};
  s_Acc.obj.usIndex = index;
  s_Acc.obj.ucSubIndex = sub;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  if (SOD_AttrGetVirt(&s_Acc, &err) != nullptr) {
    (void)SOD_WriteVirt(&s_Acc, value, true);
  }
}

/// Reads a u8 object; false when it cannot be read.
bool ReadU8(u16 index, u8 sub, u8* out) {
  s_Acc = SOD_Access{};
  s_Acc.obj.usIndex = index;
  s_Acc.obj.ucSubIndex = sub;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  if (SOD_AttrGetVirt(&s_Acc, &err) == nullptr) {
    return false;
  }
  const void* value = SOD_ReadVirt(&s_Acc, &err);
  if (value == nullptr) {
    return false;
  }
  *out = *static_cast<const u8*>(value);
  return true;
}

/// Steps 4 and 5: the stack and the own node; false when either failed.
bool StartStack() {
  if (!SSC_InitAll()) {
    EPS_gGlobal.ucStackInitialised = 1;
    return false;
  }
  u32 ulState = 0xFFFFFFFFu;
  if (!SNMTS_GetSnState(&ulState) || ulState != k_SN_INIT) {
    return false;
  }
  if (!SNMTS_PerformTransPreOp(0)) {
    return false;
  }
  return SNMTS_GetSnState(&ulState) && ulState == k_SN_PREOP;
}

/// Step 6: the identity objects and the extended CT.
void FillIdentity(const HNFstp_Identity* identity) {
  const u8* pucUdid = identity->pucScmUdid;
  const u8* pucIdent = identity->pucIdentBlock + k_IDENT_WORD_OFFSET;
  const u32 ulVendor = static_cast<u32>(pucUdid[3]) | (static_cast<u32>(pucUdid[4]) << 8) |
                       (static_cast<u32>(pucUdid[5]) << 16);
  const u32 ulProduct = ScmGetCpuProductCode();
  const u32 ulRevision = static_cast<u32>(pucIdent[0]) | (static_cast<u32>(pucIdent[1]) << 8) |
                         (static_cast<u32>(pucIdent[2]) << 16) | (static_cast<u32>(pucIdent[3]) << 24);
  const u32 ulSerial = ScmGetCpuSerialNumber();
  WriteApp(0x1018, 1, &ulVendor);
  WriteApp(0x1018, 2, &ulProduct);
  WriteApp(0x1018, 3, &ulRevision);
  WriteApp(0x1018, 4, &ulSerial);
  EPS_OdSetOwnUdid(pucUdid);
  const u16 usSdn = HNFstp_usSdn;
  const u16 usScmSadr = EPS_kScmSadr;
  WriteApp(0x1200, 1, &usSdn);
  WriteApp(0x1200, 2, &usScmSadr);
  WriteApp(0x1200, 4, pucUdid);
  if constexpr (!SCM_kLegacy) {
    SPDO_InitExtCt();
  }
}
}  // namespace

void EPS_Init(const HNFstp_File* files, const HNFstp_Identity* identity) {
  EPS_gGlobal.ucStackInitialised = 0;
  if (files == nullptr || identity == nullptr || identity->pucIdentBlock == nullptr ||
      identity->pucScmUdid == nullptr) {
    HNFevt_EnregisterEvent(EPS_kEvtInit, EPS_kInitMissingArgument);
    return;
  }
  EPS_IdleInit();
  EPS_gGlobal.ulModuleState = EPS_kModuleStateNormal;
  EPS_gGlobal.ulMachineOptions = 0;
  EPS_gGlobal.ulRequests = 0;
  EPS_gGlobal.ucParamError = 0;
  // A static zero would freeze CT until 0x1200/3 is written.
  EPS_gGlobal.ullCtMultiplier = EPS_kDefaultCtMultiplier;
  EPS_OdSetDomainMax(EPS_kDomainMaxInit);
  EPS_OdBindStorage();
  EPS_StoreSadrUdidInit();
  u32 ulReason = 0;
  // No file loads into a stack that did not start.
  if (!StartStack()) {
    ulReason = EPS_kInitStackFailed;
  } else {
    EPS_gGlobal.ucStackInitialised = 1;
    EPS_OdSetDomainMax(EPS_kDomainMax);
    FillIdentity(identity);
    const u8 ucKelLoaded = EPS_KelParser(files[0].ulSize, files[0].pucData);
    u8 ucConfigMode = 1;
    if (ReadU8(0x101B, 1, &ucConfigMode) && ucConfigMode == 0) {
      (void)EPS_CorvaneParser(files[1].ulSize, files[1].pucData);
    }
    const bool activated = SCM_Activate();
    // Without a node list every entry of a sound "pardata1.bin" would be
    // refused and the file emptied on storage: it is not even parsed then.
    // The older release has no additional-parameter file.
    if constexpr (!SCM_kLegacy) {
      if (ucKelLoaded != 0 && activated) {
        (void)EPS_AddParParser(&files[2]);
      }
    }
    if (!activated) {
      ulReason = EPS_kInitActivateFailed;
    }
  }
  if (ulReason != 0) {
    HNFevt_EnregisterEvent(EPS_kEvtInit, ulReason);
  }
}
