// Test tables describe families of objects as virtual ranges. The older
// release has no virtual ranges, so in its build the same description becomes
// real entries: the table a test uses is the real table with every object of
// the ranges added, and the range callbacks describe their objects to the
// expansion through a service of the tests' own.
#pragma once
#include <algorithm>
#include <vector>

#include "SOD.h"
#include "ScmProfile.h"

namespace TestOd {

#if !SCM_PROFILE_LEGACY
/// The service with which a range callback describes its object: the attribute get.
constexpr u8 k_SRV_DESCRIBE = SOD_k_SRV_ATTR_GET;
#else
/// The service with which a range callback describes its object to the expansion
/// (the older release's object dictionary has no attribute get).
constexpr u8 k_SRV_DESCRIBE = 0xFF;
#endif

/// The real table with every object of the ranges as a real entry, kept in `store`.
/// The attributes lose the virtual and array bits and gain the range's own callback
/// bits (0x0100, 0x0200, 0x0400: the services in which the range's callback takes
/// part; the current release's resolve replaces them with the described
/// attributes); an object left without a callback bit keeps no callback. An
/// object its callback refuses to describe does not exist. Null stays null.
inline const SOD_Entry* ExpandRanges(const SOD_Entry* real, const SOD_VirtRange* ranges,
                                     std::vector<SOD_Entry>& store) {
  store.clear();
  if (real == nullptr) {
    return nullptr;
  }
  std::vector<SOD_Entry> family;  // the ranges' objects in (index, sub-index) order
  for (const SOD_VirtRange* r = ranges; r != nullptr && r->usFirstIndex != SOD_k_END_INDEX; ++r) {
    for (u32 index = r->usFirstIndex; index <= r->usLastIndex; ++index) {
      for (u32 sub = r->ucFirstSub; sub <= r->ucLastSub; ++sub) {
        SOD_Entry rec{static_cast<u16>(index), static_cast<u8>(sub),
                      {r->usAttr, r->ulDataType, r->ulLength, r->pvDefault, r->pvData, r->pvRange, r->pfCallback}};
        if ((r->usAttr & SOD_k_ATTR_ARRAY) != 0 && r->pvData != nullptr) {
          rec.attr.pvData = static_cast<u8*>(r->pvData) + (sub - r->ucFirstSub) * r->ulLength;
        }
        if ((r->usAttr & SOD_k_ATTR_VIRT) != 0 && r->pfCallback != nullptr) {
          u32 abortCode = 0;
          if (!r->pfCallback(k_SRV_DESCRIBE, &rec, nullptr, 0, 0, &abortCode)) {
            continue;
          }
        }
        constexpr u16 k_cbBits = SOD_k_ATTR_BEF_RD | SOD_k_ATTR_BEF_WR | SOD_k_ATTR_AFT_WR;
        rec.attr.usAttr = static_cast<u16>((rec.attr.usAttr | (r->usAttr & k_cbBits)) &
                                           ~(SOD_k_ATTR_VIRT | SOD_k_ATTR_ARRAY));
        if ((rec.attr.usAttr & k_cbBits) == 0) {
          rec.attr.pfCallback = nullptr;
        }
        family.push_back(rec);
      }
    }
  }
  const auto before = [](const SOD_Entry& a, const SOD_Entry& b) {
    return a.usIndex != b.usIndex ? a.usIndex < b.usIndex : a.ucSubIndex < b.ucSubIndex;
  };
  std::stable_sort(family.begin(), family.end(), before);
  // Merged in front of the first real entry they precede; the real table keeps its
  // own order, faults included.
  auto next = family.begin();
  for (const SOD_Entry* e = real; e->usIndex != SOD_k_END_INDEX; ++e) {
    for (; next != family.end() && before(*next, *e); ++next) {
      store.push_back(*next);
    }
    store.push_back(*e);
  }
  store.insert(store.end(), next, family.end());
  store.push_back(SOD_Entry{SOD_k_END_INDEX, 0, {}});
  return store.data();
}

/// The tables a test's object dictionary starts from: as they are in the current
/// release; in the older release's build the ranges expanded into the real table.
inline void InstallTables(const SOD_Entry* real, const SOD_VirtRange* ranges, std::vector<SOD_Entry>& store,
                          const SOD_Entry** od, const SOD_VirtRange** virt) {
  if constexpr (SCM_kLegacy) {
    *od = ExpandRanges(real, ranges, store);
    *virt = nullptr;
  } else {
    *od = real;
    *virt = ranges;
  }
}

}  // namespace TestOd
