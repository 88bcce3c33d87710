// The virtual ranges of the current release's object list and the callbacks
// that describe each virtual object on demand (the storage is EPSodStore.cpp).
#include "EPSod.h"
#include "MFWQZ.h"
#include "SAPL.h"


namespace {
constexpr u16 k_VIRT = SOD_k_ATTR_VIRT;                                       ///< every virtual object
constexpr u16 k_CONST = k_VIRT | SOD_k_ATTR_CONST;                            ///< constant
constexpr u16 k_RO = k_VIRT | SOD_k_ATTR_READ;                                ///< read-only
constexpr u16 k_RW = k_VIRT | SOD_k_ATTR_READ | SOD_k_ATTR_WRITE;             ///< readable and writable
constexpr u16 k_PAR = k_RW | SOD_k_ATTR_CRC;                                  ///< writable saved parameter
constexpr u16 k_PAR_CB = k_PAR | SOD_k_ATTR_AFT_WR;                           ///< saved parameter, after-write callback
constexpr u32 k_ABORT_GENERAL = 0x08000000;                                   ///< general error
constexpr u32 k_ABORT_NO_OBJ = 0x06020000;                                    ///< object does not exist

// ---- constants of sub-index 0, one value per range ----
constexpr u8 k_TXSPDO_COUNT = EPS_kTxSpdoSubs;       ///< 0x1C00/0
constexpr u8 k_NODE_COUNT = EPS_kNodeSubLast;        ///< 0xC400-0xC40B/0
constexpr u8 k_ADDSADR_COUNT = EPS_kAddSadrSubs;     ///< 0xC801-0xCBFF/0
constexpr u8 k_UDID_COUNT = EPS_kUdidSubs;           ///< 0xCC01-0xCFFF/0
constexpr u8 k_ADDPAR_COUNT = EPS_kAddSetCount;      ///< 0xE400-0xE7FE/0
constexpr u8 k_COMMISSION_COUNT = 3;                 ///< 0x210B/0

// ---- ranges ----
constexpr const u16* k_RNG_SADR = EPS_kRngSadr;         ///< SADRs and TxSPDO numbers
constexpr const u16* k_RNG_TXSPDO2 = EPS_kRngTxSpdo2;   ///< 0x1C00/2
constexpr const u8* k_RNG_STATUS = EPS_kRngStatus;      ///< node status
constexpr const u16* k_RNG_SSDO_LEN = EPS_kRngSsdoLen;  ///< node SSDO payload length

/// Fills the attribute part of a virtual object; the callback stays the range's.
bool Describe(SOD_Entry* record, u16 attr, u32 type, u32 length, const void* def, void* data,
              const void* range = nullptr) {
  record->attr.usAttr = attr;
  record->attr.ulDataType = type;
  record->attr.ulLength = length;
  record->attr.pvDefault = def;
  record->attr.pvData = data;
  record->attr.pvRange = range;
  return true;
}

/// Describes a sub-index-0 constant.
bool DescribeCount(SOD_Entry* record, u32 slot, const u8* value) {
  return Describe(record, k_CONST, SOD_k_UINT8, 1, value, &EPS_gaucSubZero[slot]);
}

/// Refuses an object the range does not hold.
bool NoObject(u32* abortCode) {
  if (abortCode != nullptr) {
    *abortCode = k_ABORT_NO_OBJ;
  }
  return false;
}

/// Common handling of services 1 to 3: accepted; a missing record is refused.
bool OtherService(const SOD_Entry* record, u32* abortCode) {
  if (record == nullptr) {
    if (abortCode != nullptr) {
      *abortCode = k_ABORT_GENERAL;
    }
    return false;
  }
  return true;
}

/// True for the domain sub-indices of a node-list object.
bool IsNodeDomain(u8 subIndex) {
  return subIndex == EPS_kNodeSubParSet || subIndex == EPS_kNodeSubChecksum || subIndex == EPS_kNodeSubCompare;
}

/// Describes a domain of the current maximum.
bool DescribeDomain(SOD_Entry* record, SOD_VarData* value) {
  return Describe(record, k_RO, SOD_k_DOMAIN, EPS_OdDomainMax(), nullptr, value);
}

}  // namespace

/// The virtual ranges, sorted by first index and closed by first index 0xFFFF.
const SOD_VirtRange SAPL_s_SOD_VIRT_INST_0[] = {
    {k_VIRT, SOD_k_PLACEHOLDER, 0, nullptr, 0x1C00, 0x1C00, 0, 3, nullptr, nullptr, SOD_TxSpdoComm},
    {k_VIRT, SOD_k_PLACEHOLDER, 0, nullptr, 0x210B, 0x210B, 0, 3, nullptr, nullptr,
     SOD_MFWQZ_AutoCommissioningSettings},
    {k_VIRT, SOD_k_PLACEHOLDER, 0, nullptr, EPS_kNodeListFirst, EPS_kNodeListLast, 0, EPS_kNodeSubLast, nullptr,
     nullptr, SOD_SadrDviPar},
    {k_VIRT, SOD_k_PLACEHOLDER, 0, nullptr, EPS_kAddSadrFirst, EPS_kAddSadrLast, 0, 2, nullptr, nullptr, SOD_AddSadr},
    {k_VIRT, SOD_k_PLACEHOLDER, 0, nullptr, EPS_kUdidFirst, EPS_kUdidLast, 0, 1, nullptr, nullptr, SOD_SadrUdid},
    {k_VIRT, SOD_k_PLACEHOLDER, 0, nullptr, EPS_kAddParFirst, EPS_kAddParLast, 0, EPS_kAddSetCount, nullptr, nullptr,
     SOD_AddParaList},
    {0, 0, 0, nullptr, SOD_k_END_INDEX, SOD_k_END_INDEX, 0, 0, nullptr, nullptr, nullptr}};
const SOD_VirtRange* EPS_OdVirtualRanges(void) { return SAPL_s_SOD_VIRT_INST_0; }

bool SOD_TxSpdoComm(u8 service, SOD_Entry* record, const void* /*data*/, u32 /*offset*/, u32 /*size*/,
                    u32* abortCode) {
  if (service != SOD_k_SRV_ATTR_GET || record == nullptr) {
    return OtherService(record, abortCode);
  }
  switch (record->ucSubIndex) {
    case 0: return DescribeCount(record, 0, &k_TXSPDO_COUNT);
    case 1: return Describe(record, k_RW, SOD_k_UINT16, 2, nullptr, &EPS_gusOwnSadr, k_RNG_SADR);
    case 2: return Describe(record, k_RW, SOD_k_UINT16, 2, nullptr, &EPS_gusTxSpdo2, k_RNG_TXSPDO2);
    case 3: return Describe(record, k_RW, SOD_k_UINT8, 1, nullptr, &EPS_gucTxSpdo3);
    default: return NoObject(abortCode);
  }
}

bool SOD_SadrDviPar(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size, u32* abortCode) {
  if (service != SOD_k_SRV_ATTR_GET && record != nullptr && IsNodeDomain(record->ucSubIndex)) {
    return EPS_OdDomainAccess(service, record, data, offset, size, abortCode);
  }
  if (service != SOD_k_SRV_ATTR_GET || record == nullptr) {
    return OtherService(record, abortCode);
  }
  if (record->usIndex < EPS_kNodeListFirst || record->usIndex > EPS_kNodeListLast) {
    return NoObject(abortCode);
  }
  EPS_NodeBlock& b = EPS_gaNodes[record->usIndex - EPS_kNodeListFirst];
  switch (record->ucSubIndex) {
    case 0: return DescribeCount(record, 1, &k_NODE_COUNT);
    case EPS_kNodeSubSadr: return Describe(record, k_PAR, SOD_k_UINT16, 2, nullptr, &b.usSadr, k_RNG_SADR);
    case EPS_kNodeSubVendor: return Describe(record, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulVendorId);
    case EPS_kNodeSubProduct: return Describe(record, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulProductCode);
    case EPS_kNodeSubRevision: return Describe(record, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulRevision);
    case EPS_kNodeSubStatus: return Describe(record, k_RW, SOD_k_UINT8, 1, nullptr, &b.ucStatus, k_RNG_STATUS);
    case EPS_kNodeSubReserved: return Describe(record, k_PAR, SOD_k_UINT16, 2, nullptr, &b.usReserved);
    case EPS_kNodeSubTimestamp: return Describe(record, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulTimestamp);
    case EPS_kNodeSubSsdoLen:
      return Describe(record, k_PAR, SOD_k_UINT16, 2, nullptr, &b.usSsdoLength, k_RNG_SSDO_LEN);
    case EPS_kNodeSubPollTime: return Describe(record, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulPollTime);
    case EPS_kNodeSubParLen: return Describe(record, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulParSetLength);
    case EPS_kNodeSubParSet: return DescribeDomain(record, &b.ParSet);
    case EPS_kNodeSubFlags: return Describe(record, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulFlags);
    case EPS_kNodeSubNoStorage:
      EPS_gulNodeNoStorage = 0;
      return Describe(record, k_RW, SOD_k_UINT32, 4, nullptr, &EPS_gulNodeNoStorage);
    case EPS_kNodeSubChecksum: return DescribeDomain(record, &b.Checksum);
    case EPS_kNodeSubCompare: return DescribeDomain(record, &b.Compare);
    default: return NoObject(abortCode);
  }
}

bool SOD_AddSadr(u8 service, SOD_Entry* record, const void* /*data*/, u32 /*offset*/, u32 /*size*/,
                 u32* abortCode) {
  if (service != SOD_k_SRV_ATTR_GET || record == nullptr) {
    return OtherService(record, abortCode);
  }
  if (record->usIndex < EPS_kAddSadrFirst || record->usIndex > EPS_kAddSadrLast) {
    return NoObject(abortCode);
  }
  u16* pair = EPS_gausAddSadr[record->usIndex - EPS_kAddSadrFirst];
  switch (record->ucSubIndex) {
    case 0: return DescribeCount(record, 2, &k_ADDSADR_COUNT);
    case 1: return Describe(record, k_PAR, SOD_k_UINT16, 2, nullptr, &pair[0], k_RNG_SADR);
    case 2: return Describe(record, k_PAR, SOD_k_UINT16, 2, nullptr, &pair[1], k_RNG_SADR);
    default: return NoObject(abortCode);
  }
}

bool SOD_SadrUdid(u8 service, SOD_Entry* record, const void* /*data*/, u32 /*offset*/, u32 /*size*/,
                  u32* abortCode) {
  if (service != SOD_k_SRV_ATTR_GET || record == nullptr) {
    return OtherService(record, abortCode);
  }
  if (record->usIndex < EPS_kUdidFirst || record->usIndex > EPS_kUdidLast) {
    return NoObject(abortCode);
  }
  switch (record->ucSubIndex) {
    case 0: return DescribeCount(record, 3, &k_UDID_COUNT);
    case 1:
      return Describe(record, k_RW, SOD_k_OSTRING, EPS_kUdidBytes, nullptr,
                      &EPS_gaUdidVar[record->usIndex - EPS_kUdidFirst]);
    default: return NoObject(abortCode);
  }
}

bool SOD_AddParaList(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size, u32* abortCode) {
  if (service != SOD_k_SRV_ATTR_GET && record != nullptr && record->ucSubIndex != 0) {
    return EPS_OdDomainAccess(service, record, data, offset, size, abortCode);
  }
  if (service != SOD_k_SRV_ATTR_GET || record == nullptr) {
    return OtherService(record, abortCode);
  }
  if (record->usIndex < EPS_kAddParFirst || record->usIndex > EPS_kAddParLast) {
    return NoObject(abortCode);
  }
  if (record->ucSubIndex == 0) {
    return DescribeCount(record, 4, &k_ADDPAR_COUNT);
  }
  if (record->ucSubIndex > EPS_kAddSetCount) {
    return NoObject(abortCode);
  }
  return DescribeDomain(record, &EPS_gaAddPar[record->usIndex - EPS_kAddParFirst][record->ucSubIndex - 1]);
}

bool SOD_MFWQZ_AutoCommissioningSettings(u8 service, SOD_Entry* record, const void* /*data*/, u32 /*offset*/,
                                         u32 /*size*/, u32* abortCode) {
  if (service != SOD_k_SRV_ATTR_GET || record == nullptr) {
    return OtherService(record, abortCode);
  }
  if (record->ucSubIndex == 0) {
    return DescribeCount(record, 5, &k_COMMISSION_COUNT);
  }
  if (record->ucSubIndex > MFWQZ_kCommissioningCount) {
    return NoObject(abortCode);
  }
  return Describe(record, k_PAR_CB, SOD_k_UINT32, 4, nullptr,
                  &MFWQZ_gSodCommisioningParameter[record->ucSubIndex - 1]);
}
