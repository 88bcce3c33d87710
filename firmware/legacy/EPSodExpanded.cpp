// The older release's object list: the current release's real objects with
// every virtual range expanded into real entries (attributes without the
// virtual bit), the node list for all 101 nodes (0xC400-0xC464), the
// additional parameter lists for every SADR, the configuration arrays of
// 0x2106/1, /2, /3 and /8 moved to 0xD000/1-4, and no 0x210B. The older stack
// registers no virtual range: every access resolves to one of these entries.
//
// The table lives in RAM, built once before the stack starts, because the
// maximum of the node and additional-parameter domains changes at run time (4
// bytes while the stack initialises, then 0x20000). The domains whose bytes
// lie in the file spaces keep the current release's bounds rule through a
// before-read and before-write callback.
#include "EPSod.h"
#include "SAPL.h"

namespace {
constexpr u16 k_CONST = SOD_k_ATTR_CONST;                           ///< constant
constexpr u16 k_RO = SOD_k_ATTR_READ;                               ///< read-only
constexpr u16 k_RW = SOD_k_ATTR_READ | SOD_k_ATTR_WRITE;            ///< readable and writable
constexpr u16 k_PAR = k_RW | SOD_k_ATTR_CRC;                        ///< writable saved parameter
constexpr u16 k_DOMAIN = k_RO | SOD_k_ATTR_BEF_RD | SOD_k_ATTR_BEF_WR;  ///< domain with the bounds rule
constexpr u16 k_NO_STORAGE = k_RW | SOD_k_ATTR_BEF_RD;              ///< value cleared before every read

/// Index of the moved configuration arrays.
constexpr u16 k_CONFIG_ARRAYS = 0xD000;
/// Sub-indices of 0x2106 that move to 0xD000/1-4, in that order.
constexpr u8 k_MOVED_SUBS[4] = {1, 2, 3, 8};
/// Highest sub-index 0x2106 keeps (its sub 0).
constexpr u8 k_AUTOCONFIG_SUBS = 7;
/// Sub-indices of 0xD000 (its sub 0).
constexpr u8 k_CONFIG_ARRAY_SUBS = 4;

// ---- slots of the sub-index-0 constants (as the current release's ranges use them) ----
constexpr u32 k_SLOT_TXSPDO = 0;   ///< 0x1C00/0
constexpr u32 k_SLOT_NODE = 1;     ///< node list
constexpr u32 k_SLOT_ADDSADR = 2;  ///< additional SADRs
constexpr u32 k_SLOT_UDID = 3;     ///< SADR-to-UDID list
constexpr u32 k_SLOT_ADDPAR = 4;   ///< additional parameter lists

constexpr u8 k_TXSPDO_COUNT = EPS_kTxSpdoSubs;    ///< 0x1C00/0
constexpr u8 k_NODE_COUNT = EPS_kNodeSubLast;     ///< 0xC400-0xC464/0
constexpr u8 k_ADDSADR_COUNT = EPS_kAddSadrSubs;  ///< 0xC801-0xCBFF/0
constexpr u8 k_UDID_COUNT = EPS_kUdidSubs;        ///< 0xCC01-0xCFFF/0
constexpr u8 k_ADDPAR_COUNT = EPS_kAddSetCount;   ///< 0xE400-0xE7FE/0
u8 s_ucAutoConfigCount = k_AUTOCONFIG_SUBS;       ///< default of 0x2106/0 in this list
u8 s_ucConfigArrayCount;                          ///< 0xD000/0
u8 s_ucConfigArrayDefault = k_CONFIG_ARRAY_SUBS;  ///< default of 0xD000/0

/// Entries: the current list's rows, 0x1C00/0-3, the node list, the additional
/// SADRs, the UDID list, 0xD000/0-4 and the additional parameter lists.
constexpr u32 k_BASE_MAX = 128;
constexpr u32 k_ENTRIES = k_BASE_MAX + (1 + EPS_kTxSpdoSubs) + EPS_kNodeCount * (1 + EPS_kNodeSubLast) +
                          EPS_kSadrCount * (1 + EPS_kAddSadrSubs) + EPS_kSadrCount * (1 + EPS_kUdidSubs) +
                          (1 + k_CONFIG_ARRAY_SUBS) + EPS_kSadrCount * (1 + EPS_kAddSetCount) + 1;

SOD_Entry s_aTable[k_ENTRIES];  ///< the table, closed by index 0xFFFF
u32 s_ulCount;                  ///< entries before the end record
u8 s_bBuilt;                    ///< the table has been built

/// Before-read and before-write of a domain: the bounds rule; after-write accepted.
bool DomainRule(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size, u32* abortCode) {
  return EPS_OdDomainAccess(service, record, data, offset, size, abortCode);
}

/// Before a read of node sub 13: the object keeps no value.
bool NoStorage(u8 /*service*/, SOD_Entry* /*record*/, const void* /*data*/, u32 /*offset*/, u32 /*size*/,
               u32* /*abortCode*/) {
  EPS_gulNodeNoStorage = 0;
  return true;
}

/// Appends one entry.
void Add(u16 index, u8 sub, u16 attr, u32 type, u32 length, const void* def, void* data, const void* range = nullptr,
         SOD_Callback cb = nullptr) {
  s_aTable[s_ulCount++] = SOD_Entry{index, sub, SOD_AttrPart{attr, type, length, def, data, range, cb}};
}

/// Appends a sub-index-0 constant.
void AddCount(u16 index, u32 slot, const u8* value) {
  Add(index, 0, k_CONST, SOD_k_UINT8, 1, value, &EPS_gaucSubZero[slot]);
}

/// Appends a domain of the file spaces (or the copy) at the start-up maximum.
void AddDomain(u16 index, u8 sub, SOD_VarData* value) {
  Add(index, sub, k_DOMAIN, SOD_k_DOMAIN, EPS_kDomainMaxInit, nullptr, value, nullptr, DomainRule);
}

/// Appends a node's checksum buffer (sub 15) at the start-up maximum: the
/// configuration manager binds it by pointer, which a callback would forbid, and
/// writes at most its actual length into it.
void AddCompareBuffer(u16 index, SOD_VarData* value) {
  Add(index, EPS_kNodeSubCompare, k_RO, SOD_k_DOMAIN, EPS_kDomainMaxInit, nullptr, value);
}

/// Appends the rows of the current list with index in [first, last]; 0x2106 keeps
/// sub 0 (now 7) and subs 4 to 7, its arrays are remembered for 0xD000.
void AddBaseRows(u16 first, u16 last, SOD_AttrPart* moved) {
  for (const SOD_Entry* r = EPS_OdBaseTable(); r->usIndex != SOD_k_END_INDEX; ++r) {
    if (r->usIndex < first || r->usIndex > last) {
      continue;
    }
    if (r->usIndex == 0x2106) {
      bool isMoved = false;
      for (u32 m = 0; m < 4; ++m) {
        if (r->ucSubIndex == k_MOVED_SUBS[m]) {
          moved[m] = r->attr;
          isMoved = true;
        }
      }
      if (isMoved) {
        continue;
      }
      if (r->ucSubIndex == 0) {
        s_aTable[s_ulCount] = *r;
        s_aTable[s_ulCount].attr.pvDefault = &s_ucAutoConfigCount;
        ++s_ulCount;
        continue;
      }
    }
    s_aTable[s_ulCount++] = *r;
  }
}

/// The node list: one object per node, as the current release's range describes it.
void AddNodeList() {
  for (u32 n = 0; n < EPS_kNodeCount; ++n) {
    const u16 i = static_cast<u16>(EPS_kNodeListFirst + n);
    EPS_NodeBlock& b = EPS_gaNodes[n];
    AddCount(i, k_SLOT_NODE, &k_NODE_COUNT);
    Add(i, EPS_kNodeSubSadr, k_PAR, SOD_k_UINT16, 2, nullptr, &b.usSadr, EPS_kRngSadr);
    Add(i, EPS_kNodeSubVendor, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulVendorId);
    Add(i, EPS_kNodeSubProduct, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulProductCode);
    Add(i, EPS_kNodeSubRevision, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulRevision);
    Add(i, EPS_kNodeSubStatus, k_RW, SOD_k_UINT8, 1, nullptr, &b.ucStatus, EPS_kRngStatus);
    Add(i, EPS_kNodeSubReserved, k_PAR, SOD_k_UINT16, 2, nullptr, &b.usReserved);
    Add(i, EPS_kNodeSubTimestamp, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulTimestamp);
    Add(i, EPS_kNodeSubSsdoLen, k_PAR, SOD_k_UINT16, 2, nullptr, &b.usSsdoLength, EPS_kRngSsdoLen);
    Add(i, EPS_kNodeSubPollTime, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulPollTime);
    Add(i, EPS_kNodeSubParLen, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulParSetLength);
    AddDomain(i, EPS_kNodeSubParSet, &b.ParSet);
    Add(i, EPS_kNodeSubFlags, k_PAR, SOD_k_UINT32, 4, nullptr, &b.ulFlags);
    Add(i, EPS_kNodeSubNoStorage, k_NO_STORAGE, SOD_k_UINT32, 4, nullptr, &EPS_gulNodeNoStorage, nullptr, NoStorage);
    AddDomain(i, EPS_kNodeSubChecksum, &b.Checksum);
    AddCompareBuffer(i, &b.Compare);
  }
}

/// Builds the table: every object in (index, sub-index) order.
void Build() {
  s_ulCount = 0;
  SOD_AttrPart moved[4] = {};
  AddBaseRows(0x0000, 0x1BFF, moved);
  AddCount(0x1C00, k_SLOT_TXSPDO, &k_TXSPDO_COUNT);
  Add(0x1C00, 1, k_RW, SOD_k_UINT16, 2, nullptr, &EPS_gusOwnSadr, EPS_kRngSadr);
  Add(0x1C00, 2, k_RW, SOD_k_UINT16, 2, nullptr, &EPS_gusTxSpdo2, EPS_kRngTxSpdo2);
  Add(0x1C00, 3, k_RW, SOD_k_UINT8, 1, nullptr, &EPS_gucTxSpdo3);
  AddBaseRows(0x1C01, EPS_kNodeListFirst - 1, moved);
  AddNodeList();
  for (u32 s = 0; s < EPS_kSadrCount; ++s) {
    const u16 i = static_cast<u16>(EPS_kAddSadrFirst + s);
    AddCount(i, k_SLOT_ADDSADR, &k_ADDSADR_COUNT);
    Add(i, 1, k_PAR, SOD_k_UINT16, 2, nullptr, &EPS_gausAddSadr[s][0], EPS_kRngSadr);
    Add(i, 2, k_PAR, SOD_k_UINT16, 2, nullptr, &EPS_gausAddSadr[s][1], EPS_kRngSadr);
  }
  for (u32 s = 0; s < EPS_kSadrCount; ++s) {
    const u16 i = static_cast<u16>(EPS_kUdidFirst + s);
    AddCount(i, k_SLOT_UDID, &k_UDID_COUNT);
    Add(i, 1, k_RW, SOD_k_OSTRING, EPS_kUdidBytes, nullptr, &EPS_gaUdidVar[s]);
  }
  Add(k_CONFIG_ARRAYS, 0, k_CONST, SOD_k_UINT8, 1, &s_ucConfigArrayDefault, &s_ucConfigArrayCount);
  for (u32 m = 0; m < 4; ++m) {
    s_aTable[s_ulCount++] = SOD_Entry{k_CONFIG_ARRAYS, static_cast<u8>(m + 1), moved[m]};
  }
  for (u32 s = 0; s < EPS_kSadrCount; ++s) {
    const u16 i = static_cast<u16>(EPS_kAddParFirst + s);
    AddCount(i, k_SLOT_ADDPAR, &k_ADDPAR_COUNT);
    for (u32 set = 0; set < EPS_kAddSetCount; ++set) {
      AddDomain(i, static_cast<u8>(set + 1), &EPS_gaAddPar[s][set]);
    }
  }
  Add(SOD_k_END_INDEX, 0, 0, 0, 0, nullptr, nullptr);
}

/// The older release registers no virtual range.
const SOD_VirtRange k_aNoRanges[] = {
    {0, 0, 0, nullptr, SOD_k_END_INDEX, SOD_k_END_INDEX, 0, 0, nullptr, nullptr, nullptr}};
}  // namespace

const SOD_VirtRange* EPS_OdVirtualRanges(void) { return k_aNoRanges; }

const SOD_Entry* EPS_OdBuildExpandedTable(void) {
  if (s_bBuilt == 0) {
    Build();
    s_bBuilt = 1;
  }
  return s_aTable;
}

void EPS_OdResizeDomains(u32 maximum) {
  for (u32 e = 0; e < s_ulCount; ++e) {
    const SOD_Entry& r = s_aTable[e];
    const bool compareBuffer = r.usIndex >= EPS_kNodeListFirst && r.usIndex <= EPS_kNodeListLast &&
                               r.ucSubIndex == EPS_kNodeSubCompare;
    if (r.attr.pfCallback == DomainRule || compareBuffer) {
      s_aTable[e].attr.ulLength = maximum;
    }
  }
}
