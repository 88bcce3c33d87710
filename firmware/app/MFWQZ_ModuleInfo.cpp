// Module table: one record per SADR, built once from the node list of the
// object dictionary, the per-SADR bit arrays beside it, the module counters
// and the registration of missing, invalid and parameter-error modules.
#include <cstring>

#include "HNFevt.h"
#include "MFWQZ.h"
#include "ScmProfile.h"
#include "SCM.h"
#include "SOD.h"

MFWQZ_ModuleInfoEntry MFWQZ_ModuleInfo[MFWQZ_kModuleCount];
u8 MFWQZ_gaaucModuleFlagArrays[4][MFWQZ_kSadrSetBytes];
u8 (&MFWQZ_gaucOptFlags)[MFWQZ_kSadrSetBytes] = MFWQZ_gaaucModuleFlagArrays[0];
u8 (&MFWQZ_gaucStpFlags)[MFWQZ_kSadrSetBytes] = MFWQZ_gaaucModuleFlagArrays[1];
u8 (&MFWQZ_gaucNprFlags)[MFWQZ_kSadrSetBytes] = MFWQZ_gaaucModuleFlagArrays[2];
u8 (&MFWQZ_aucMissStpFlags)[MFWQZ_kSadrSetBytes] = MFWQZ_gaaucModuleFlagArrays[3];
u8 MFWQZ_gaucBcmFlags[MFWQZ_kSadrSetBytes];
u8 MFWQZ_gaucOptFlags_SOD[MFWQZ_kSadrSetBytes];
u8 MFWQZ_gaucStpFlags_SOD[MFWQZ_kSadrSetBytes];
u8 MFWQZ_gaucNprFlags_SOD[MFWQZ_kSadrSetBytes];
u32 MFWQZ_gbModuleFlagsStatus;
u8 MFWQZ_gaucPassword[MFWQZ_kPasswordKeptBytes];
u32 MFWQZ_ulNumberOfUdidMisMatches;
u32 MFWQZ_ulNumberOfDiffFirmware;
u32 MFWQZ_ulNumberOfErroneousModules;
u32 MFWQZ_gulModuleCount;
u32 MFWQZ_gulModuleScanned;
u32 MFWQZ_gulModuleFound;
u16 MFWQZ_usSaddr;

/// Object of the configuration mode that must read 0.
static constexpr u16 MFWQZ_kObjConfigMode = 0x101B;
/// Object of the SCM's own SADR.
static constexpr u16 MFWQZ_kObjScmSadr = 0x1200;
/// Sub-index of the SCM's own SADR.
static constexpr u8 MFWQZ_kSubScmSadr = 2;
/// First object of the node list.
static constexpr u16 MFWQZ_kObjNodeListFirst = 0xC400;
/// Last object of the node list.
static constexpr u16 MFWQZ_kObjNodeListLast = 0xC7FE;
/// Node-list objects that must exist.
static constexpr u16 MFWQZ_kNodeListRequired = 2;
/// Object of the SADR-UDID list for SADR 0 (index = this + SADR).
static constexpr u16 MFWQZ_kObjUdidBase = 0xCC00;

u8 MFWQZ_TestSadrBit(const u8* array, u16 sadr) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return 0;
  }
  return static_cast<u8>((array[sadr / 8] >> (sadr % 8)) & 1u);
}

void MFWQZ_SetSadrBit(u8* array, u16 sadr) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return;
  }
  array[sadr / 8] = static_cast<u8>(array[sadr / 8] | (1u << (sadr % 8)));
}

void MFWQZ_EnregisterEvent(u32 code, u16 information0, u32 information1) {
  HNFevt_EnregisterEventInfo(code, information0, information1);
}

void MFWQZ_EnregisterEventLevel(u32 code, u16 information0, u32 information1, u8 level) {
  HNFevt_EnregisterEventLevel(code, information0, information1, level);
}

/// Resolves an object of the real or virtual table; 1 when it exists.
static u8 MFWQZ_SodLookup(SOD_Access* acc, u16 index, u8 subIndex) {
  *acc = SOD_Access{};
  acc->obj.usIndex = index;
  acc->obj.ucSubIndex = subIndex;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  return SOD_AttrGetVirt(acc, &err) != nullptr ? 1 : 0;
}

/// Reads a resolved object of the given type and length into value; raises the
/// attribute (0x9200C00A) or read (0x9200C009) event; 1 read.
static u8 MFWQZ_SodReadTyped(SOD_Access* acc, u32 type, u32 length, void* value) {
  const u16 usIndex = acc->obj.usIndex;
  const u8 ucSub = acc->obj.ucSubIndex;
  if (acc->obj.attr.ulDataType != type || acc->obj.attr.ulLength != length) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtSodAttr, usIndex, ucSub);
    return 0;
  }
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const void* pvData = SOD_ReadVirt(acc, &err);
  if (pvData == nullptr) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtSodRead, usIndex, ucSub);
    return 0;
  }
  std::memcpy(value, pvData, length);
  return 1;
}

/// Step 2 of the build: the configuration mode (0x101B/1) must be 0.
static u8 MFWQZ_CheckConfigMode(void) {
  SOD_Access acc;
  if (MFWQZ_SodLookup(&acc, MFWQZ_kObjConfigMode, 1) == 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtSodRead, MFWQZ_kObjConfigMode, 1);
    return 0;
  }
  u8 ucMode = 0;
  if (MFWQZ_SodReadTyped(&acc, SOD_k_UINT8, 1, &ucMode) == 0) {
    if (acc.obj.attr.ulDataType != SOD_k_UINT8 || acc.obj.attr.ulLength != 1) {
      // Wrong attributes also count as a failed read.
      MFWQZ_EnregisterEvent(MFWQZ_kEvtSodRead, MFWQZ_kObjConfigMode, 1);
    }
    return 0;
  }
  if (ucMode != 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtConfigMode, ucMode, 0);
    return 0;
  }
  return 1;
}

/// Step 3 of the build: the node list; 1 when every present entry is sound.
static u8 MFWQZ_ReadNodeList(void) {
  for (u32 ulIndex = MFWQZ_kObjNodeListFirst; ulIndex <= MFWQZ_kObjNodeListLast; ++ulIndex) {
    const u16 usIndex = static_cast<u16>(ulIndex);
    SOD_Access acc;
    if (MFWQZ_SodLookup(&acc, usIndex, 1) == 0) {
      if (ulIndex < MFWQZ_kObjNodeListFirst + MFWQZ_kNodeListRequired) {
        MFWQZ_EnregisterEvent(MFWQZ_kEvtSodRead, usIndex, 1);
        return 0;
      }
      continue;
    }
    u16 usSadr = 0;
    if (MFWQZ_SodReadTyped(&acc, SOD_k_UINT16, 2, &usSadr) == 0) {
      return 0;
    }
    if (usSadr == 0) {
      continue;
    }
    if (usSadr > MFWQZ_kSadrMax || (MFWQZ_ModuleInfo[usSadr].ulFlags & MFWQZ_kFlagConfigured) != 0) {
      MFWQZ_EnregisterEvent(MFWQZ_kEvtNodeList, usIndex, 1);
      return 0;
    }
    MFWQZ_ModuleInfo[usSadr].ulFlags = MFWQZ_kFlagConfigured | MFWQZ_kFlagNotScanned;
  }
  return 1;
}

u8 MFWQZ_GetModuleInfo(void) {
  std::memset(MFWQZ_ModuleInfo, 0, sizeof(MFWQZ_ModuleInfo));
  for (u32 i = 0; i < MFWQZ_kModuleCount; ++i) {
    MFWQZ_ModuleInfo[i].ulNodeState = MFWQZ_kNodeStateUnknown;
  }
  if (MFWQZ_CheckConfigMode() == 0) {
    std::memset(MFWQZ_gaucBcmFlags, 0, sizeof(MFWQZ_gaucBcmFlags));
    return 0;
  }
  if (MFWQZ_ReadNodeList() == 0) {
    return 0;
  }
  for (u16 usSadr = 1; usSadr <= MFWQZ_kSadrMax; ++usSadr) {
    if (MFWQZ_TestSadrBit(MFWQZ_gaucBcmFlags, usSadr) == 0) {
      continue;
    }
    if ((MFWQZ_ModuleInfo[usSadr].ulFlags & MFWQZ_kFlagConfigured) == 0) {
      MFWQZ_EnregisterEvent(MFWQZ_kEvtAutoCnfSaddr, usSadr, 0);
      return 0;
    }
    MFWQZ_ModuleInfo[usSadr].ulFlags |= MFWQZ_kFlagAutoConfigured;
  }
  return 1;
}

u8 MFWQZ_CheckSaddrRange(u16 sadr) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtSaddr, 0, sadr);
    return 0;
  }
  return 1;
}

u8 MFWQZ_CheckSaddr(u16 sadr) {
  if (MFWQZ_CheckSaddrRange(sadr) == 0) {
    return 0;
  }
  if ((MFWQZ_ModuleInfo[sadr].ulFlags & MFWQZ_kFlagConfigured) == 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtSaddr, 1, sadr);
    return 0;
  }
  return 1;
}

u8 MFWQZ_GetOwnSaddr(void) {
  SOD_Access acc;
  if (MFWQZ_SodLookup(&acc, MFWQZ_kObjScmSadr, MFWQZ_kSubScmSadr) == 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtSodRead, MFWQZ_kObjScmSadr, MFWQZ_kSubScmSadr);
    return 0;
  }
  u16 usSadr = 0;
  if (MFWQZ_SodReadTyped(&acc, SOD_k_UINT16, 2, &usSadr) == 0 || MFWQZ_CheckSaddrRange(usSadr) == 0) {
    return 0;
  }
  MFWQZ_usSaddr = usSadr;
  return 1;
}

u8 MFWQZ_StoreCnfRev(u16 sadr, u16 rev) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return 0;
  }
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  if ((rEntry.ulFlags & MFWQZ_kFlagConfigured) == 0) {
    return 1;
  }
  if ((rEntry.ulFlags & MFWQZ_kFlagCnfRevStored) != 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtCnfRevTwice, sadr, rev);
    return 0;
  }
  rEntry.usConfiguredRev = rev;
  if constexpr (!SCM_kLegacy) {
    MFWQZ_SetStoredRev(sadr, rev);
    // The older release leaves a firmware difference as it is.
    rEntry.ulFlags &= ~MFWQZ_kFlagFirmwareDiff;
  }
  rEntry.ulFlags |= MFWQZ_kFlagCnfRevStored;
  return 1;
}

u8 MFWQZ_ReadCnfRev(u16 sadr, u16* rev) {
  if (rev == nullptr) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtNullPointer, 0, 0);
    return 0;
  }
  *rev = 0;
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return 0;
  }
  const MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  if ((rEntry.ulFlags & (MFWQZ_kFlagCnfRevStored | MFWQZ_kFlagFirmwareDiff)) == 0) {
    return 0;
  }
  *rev = rEntry.usConfiguredRev;
  return 1;
}

u8 MFWQZ_ClearCnfRev(void) {
  for (u16 usSadr = 1; usSadr <= MFWQZ_kSadrMax; ++usSadr) {
    MFWQZ_ModuleInfo[usSadr].ulFlags &= ~MFWQZ_kFlagCnfRevStored;
    MFWQZ_ModuleInfo[usSadr].usConfiguredRev = 0;
  }
  return 1;
}

u8 MFWQZ_ClearAutoCnfUdid(void) {
  for (u16 usSadr = 1; usSadr <= MFWQZ_kSadrMax; ++usSadr) {
    MFWQZ_ModuleInfo[usSadr].ulFlags &= ~MFWQZ_kFlagAutoConfigured;
  }
  return 1;
}

u8 MFWQZ_StoreAutoCnfUdid(u16 sadr, const u8 udid[MFWQZ_kUdidBytes]) {
  if (MFWQZ_CheckSaddr(sadr) == 0) {
    return 0;
  }
  if ((MFWQZ_ModuleInfo[sadr].ulFlags & MFWQZ_kFlagAutoConfigured) == 0 || udid == nullptr) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtAutoCnfNotMarked, 0, sadr);
    return 0;
  }
  const u16 usIndex = static_cast<u16>(MFWQZ_kObjUdidBase + sadr);
  SOD_Access acc;
  // The list serves its UDIDs as octet strings of 6 bytes.
  if (MFWQZ_SodLookup(&acc, usIndex, 1) == 0 || acc.obj.attr.ulDataType != SOD_k_OSTRING ||
      acc.obj.attr.ulLength != MFWQZ_kUdidBytes) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtSodAttr, usIndex, 1);
    return 0;
  }
  if (!SOD_WriteVirt(&acc, udid, true)) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtAutoCnfWrite, usIndex, 1);
    return 0;
  }
  return 1;
}

u8 MFWQZ_IsModuleOptionalSADR(u16 sadr) {
  return (MFWQZ_TestSadrBit(MFWQZ_gaucOptFlags, sadr) | MFWQZ_TestSadrBit(MFWQZ_aucMissStpFlags, sadr) |
          MFWQZ_TestSadrBit(MFWQZ_gaucNprFlags, sadr)) != 0
             ? 1
             : 0;
}

u32 MFWQZ_GetNoConfiguredModules(void) {
  u32 ulCount = 0;
  for (u16 usSadr = 1; usSadr <= MFWQZ_kSadrMax; ++usSadr) {
    ulCount += (MFWQZ_ModuleInfo[usSadr].ulFlags & MFWQZ_kFlagConfigured) != 0 ? 1 : 0;
  }
  return ulCount;
}

void MFWQZ_RegisterMissingModule(u16 sadr) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return;
  }
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  if ((rEntry.ulFlags & MFWQZ_kFlagMissingRegistered) != 0 || MFWQZ_IsModuleOptionalSADR(sadr) != 0) {
    return;
  }
  rEntry.ulFlags |= MFWQZ_kFlagMissingRegistered;
  MFWQZ_EnregisterEvent(MFWQZ_kEvtMissing, 0, sadr);
}

void MFWQZ_RegisterInvalidModule(u16 sadr) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return;
  }
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  // The older release registers an invalid module on its first report.
  if constexpr (!SCM_kLegacy) {
    if (MFWQZ_InvalidReportRegisters(sadr) == 0) {
      return;
    }
  }
  if ((rEntry.ulFlags & (MFWQZ_kFlagInvalidRegistered | MFWQZ_kFlagFirmwareDiff)) != 0) {
    return;
  }
  rEntry.ulFlags |= MFWQZ_kFlagInvalidRegistered;
  MFWQZ_EnregisterEvent(MFWQZ_kEvtInvalid, 0, sadr);
}

void MFWQZ_RegisterParamErrModule(u16 sadr) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return;
  }
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  if ((rEntry.ulFlags & MFWQZ_kFlagParamErrRegistered) != 0) {
    return;
  }
  rEntry.ulFlags |= MFWQZ_kFlagParamErrRegistered;
  MFWQZ_EnregisterEvent(MFWQZ_kEvtParamErr, 0, sadr);
}

/// 1 when the module never counts as erroneous (optional or missing at start-up).
static u8 MFWQZ_NotCounted(u16 sadr) {
  return (MFWQZ_TestSadrBit(MFWQZ_gaucOptFlags, sadr) | MFWQZ_TestSadrBit(MFWQZ_aucMissStpFlags, sadr)) != 0 ? 1
                                                                                                             : 0;
}

void MFWQZ_GetMissStpFlags(u16 sadr) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return;
  }
  const MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  if ((rEntry.ulFlags & MFWQZ_kFlagConfigured) == 0 || MFWQZ_TestSadrBit(MFWQZ_gaucStpFlags, sadr) == 0 ||
      MFWQZ_IsModuleOptionalSADR(sadr) != 0 || (rEntry.ulFlags & MFWQZ_kFlagAnswered) != 0) {
    return;
  }
  // A module that never answered counts as erroneous only while its last
  // report (0 or 1) says so; it leaves the count as it becomes missing at start-up.
  if (rEntry.ulNodeState == SCM_k_NS_NO_ANSWER || rEntry.ulNodeState == SCM_k_NS_DEVICE_MISMATCH) {
    MFWQZ_DecErroneous(sadr);
  }
  MFWQZ_SetSadrBit(MFWQZ_aucMissStpFlags, sadr);
}

void MFWQZ_IncErroneous(u16 sadr) {
  if (MFWQZ_NotCounted(sadr) == 0) {
    ++MFWQZ_ulNumberOfErroneousModules;
  }
}

void MFWQZ_DecErroneous(u16 sadr) {
  // Symmetric with the increment: a module that was never counted is not taken off.
  if (MFWQZ_NotCounted(sadr) != 0) {
    return;
  }
  if (MFWQZ_ulNumberOfErroneousModules == 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtErroneousUnderflow, 0, sadr);
    return;
  }
  --MFWQZ_ulNumberOfErroneousModules;
}

void MFWQZ_DecUdidMisMatches(u16 sadr) {
  if (MFWQZ_ulNumberOfUdidMisMatches == 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtMisMatchUnderflow, 0, sadr);
    return;
  }
  --MFWQZ_ulNumberOfUdidMisMatches;
}

u8 MFWQZ_IsStartUpFor(u16 sadr) {
  return (MFWQZ_gbStartUp != 0 || (MFWQZ_gbEndOfStartUp != 0 && sadr >= MFWQZ_gusStartUpModule)) ? 1 : 0;
}
