// The storage behind the node list, the additional SADRs, the SADR-to-UDID
// list and the additional parameter lists, the empty dummy and the own copies
// of the copied domains, the domain maximum, and the bounds rule of a domain
// whose bytes lie in the file spaces. The current release describes these
// objects through its virtual ranges, the older one through real entries;
// both reach the same storage.
#include "EPSod.h"

namespace {
constexpr u32 k_ABORT_GENERAL = 0x08000000;  ///< general error
constexpr u32 k_ABORT_BOUNDS = 0x06070012;   ///< span beyond the value

u8 s_aucDummy[EPS_kDomainMaxInit];                      ///< the empty dummy of unfilled pointed domains
u8 s_aaucNodeCopy[3][EPS_kDomainMax];                   ///< own storage of the last node's sub 11, 14, 15
u8 s_aaucAddParCopy[EPS_kAddSetCount][EPS_kDomainMax];  ///< own storage of 0xE7FE/1-16
u32 s_ulDomainMax = EPS_kDomainMaxInit;                 ///< current domain maximum

/// True when the bytes are a copied domain's own storage of the full maximum.
bool HasOwnStorage(const u8* bytes) {
  for (const auto& copy : s_aaucNodeCopy) {
    if (bytes == copy) {
      return true;
    }
  }
  for (const auto& copy : s_aaucAddParCopy) {
    if (bytes == copy) {
      return true;
    }
  }
  return false;
}

/// Points a domain at its storage with nothing in it.
void EmptyDomain(SOD_VarData* value, u8* storage) {
  value->pucData = storage;
  value->ulActLen = 0;
}
}  // namespace

EPS_NodeBlock EPS_gaNodes[EPS_kNodeCount];
u8 EPS_gaucUdid[EPS_kSadrCount][EPS_kUdidBytes];
u16 EPS_gausAddSadr[EPS_kSadrCount][2];
SOD_VarData EPS_gaAddPar[EPS_kSadrCount][EPS_kAddSetCount];
u16 EPS_gusOwnSadr;
u16 EPS_gusTxSpdo2;
u8 EPS_gucTxSpdo3;
u32 EPS_gulNodeNoStorage;
SOD_VarData EPS_gaUdidVar[EPS_kSadrCount];
u8 EPS_gaucSubZero[EPS_kSubZeroCount];

void EPS_OdBindStorage(void) {
  EPS_OdBindRealStorage();
  for (u32 i = 0; i < EPS_kSadrCount; ++i) {
    EPS_gaUdidVar[i].pucData = EPS_gaucUdid[i];
    EPS_gaUdidVar[i].ulActLen = EPS_kUdidBytes;
    const bool copied = i == EPS_kSadrCount - 1;
    for (u32 s = 0; s < EPS_kAddSetCount; ++s) {
      EmptyDomain(&EPS_gaAddPar[i][s], copied ? s_aaucAddParCopy[s] : s_aucDummy);
    }
  }
  for (u32 n = 0; n < EPS_kNodeCount; ++n) {
    const bool copied = n == EPS_kNodeCount - 1;
    EmptyDomain(&EPS_gaNodes[n].ParSet, copied ? s_aaucNodeCopy[0] : s_aucDummy);
    EmptyDomain(&EPS_gaNodes[n].Checksum, copied ? s_aaucNodeCopy[1] : s_aucDummy);
    EmptyDomain(&EPS_gaNodes[n].Compare, copied ? s_aaucNodeCopy[2] : s_aucDummy);
  }
}

u32 EPS_OdDomainMax(void) { return s_ulDomainMax; }

void EPS_OdSetDomainMax(u32 maximum) {
  s_ulDomainMax = maximum;
  if constexpr (SCM_kLegacy) {
    // The older release's domains are real entries: their maximum is in the table.
    EPS_OdResizeDomains(maximum);
  }
}

const u8* EPS_OdDummy(void) { return s_aucDummy; }

bool EPS_OdIsPointedDomain(u16 index, u8 subIndex) {
  if (index >= EPS_kNodeListFirst && index < EPS_kNodeListLast) {
    return subIndex == EPS_kNodeSubParSet || subIndex == EPS_kNodeSubChecksum || subIndex == EPS_kNodeSubCompare;
  }
  return index >= EPS_kAddParFirst && index < EPS_kAddParLast && subIndex >= 1 && subIndex <= EPS_kAddSetCount;
}

bool EPS_OdDomainAccess(u8 service, const SOD_Entry* record, const void* data, u32 offset, u32 size,
                        u32* abortCode) {
  if (record == nullptr || record->attr.pvData == nullptr) {
    if (abortCode != nullptr) {
      *abortCode = k_ABORT_GENERAL;
    }
    return false;
  }
  const SOD_VarData* pVar = static_cast<const SOD_VarData*>(record->attr.pvData);
  const bool ownStorage = HasOwnStorage(pVar->pucData);
  if (service == SOD_k_SRV_AFTER_WRITE || data == SOD_pvEmptyValue) {
    return true;
  }
  const u32 ulActLen = pVar->ulActLen;
  const bool whole = offset == 0 && size == 0;
  bool inside = offset <= ulActLen && size <= ulActLen - offset;
  if (service == SOD_k_SRV_BEFORE_WRITE && whole) {
    inside = ownStorage;
  }
  if (!inside) {
    if (abortCode != nullptr) {
      *abortCode = k_ABORT_BOUNDS;
    }
    return false;
  }
  return true;
}
