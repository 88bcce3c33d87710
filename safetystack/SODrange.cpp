// The virtual object ranges of the object dictionary: objects without an
// entry of their own, described on demand by their range's callback.
#include "SAPL.h"
#include "SCFM.h"
#include "SERR.h"
#include "SOD.h"

namespace {
constexpr u32 k_ABORT_GENERAL = 0x08000000;  ///< general error

const SOD_VirtRange* s_pFirstRange = nullptr;  ///< first virtual range
const SOD_VirtRange* s_pCurRange = nullptr;    ///< iteration cursor: range
u16 s_usCurIndex = 0;                          ///< iteration cursor: index
u8 s_ucCurSub = 0;                             ///< iteration cursor: sub-index
u16 s_usRangeCount = 0;                        ///< number of ranges before the end record

void SetErr(SOD_ErrorInfo* err, u16 number, u32 abortCode) {
  SCFM_Tack();
  err->usErrNum = number;
  err->ulAbortCode = abortCode;
}

/// The range whose index span holds the index, or null.
const SOD_VirtRange* FindRange(u16 index) {
  SCFM_Tack();
  i32 lo = 0;
  i32 hi = static_cast<i32>(s_usRangeCount) - 1;
  while (lo <= hi) {
    SCFM_Tack();
    const i32 mid = lo + (hi - lo) / 2;
    const SOD_VirtRange* r = s_pFirstRange + mid;
    if (index < r->usFirstIndex) {
      hi = mid - 1;
    } else if (index > r->usLastIndex) {
      lo = mid + 1;
    } else {
      return r;
    }
  }
  return nullptr;
}

/// Fills the structure from a range that holds its (index, sub-index).
const SOD_AttrPart* ResolveInRange(const SOD_VirtRange* r, SOD_Access* acc, SOD_ErrorInfo* err) {
  SCFM_Tack();
  acc->pHdl = nullptr;
  SOD_AttrPart& a = acc->obj.attr;
  a.usAttr = r->usAttr;
  a.ulDataType = r->ulDataType;
  a.ulLength = r->ulLength;
  a.pvDefault = r->pvDefault;
  a.pvRange = r->pvRange;
  a.pvData = r->pvData;
  a.pfCallback = r->pfCallback;
  if ((r->usAttr & SOD_k_ATTR_ARRAY) != 0 && r->pvData != nullptr) {
    // Array ranges address their element by sub-index only.
    a.pvData = static_cast<u8*>(r->pvData) + (acc->obj.ucSubIndex - r->ucFirstSub) * r->ulLength;
  }
  if ((r->usAttr & SOD_k_ATTR_VIRT) != 0 && r->pfCallback != nullptr) {
    u32 abortCode = 0;
    if (!r->pfCallback(SOD_k_SRV_ATTR_GET, &acc->obj, nullptr, acc->ulSegOffset, acc->ulSegSize,
                       &abortCode)) {
      SetErr(err, 0xF744, abortCode);
      return nullptr;
    }
  }
  SetErr(err, SOD_k_NO_ERROR, 0);
  return &acc->obj.attr;
}

}  // namespace

void SOD_InitVirt() {
  SCFM_Tack();
  s_pFirstRange = SAPL_ps_SOD_VIRT;
  s_pCurRange = s_pFirstRange;
  s_usCurIndex = 0;
  s_ucCurSub = 0;
  s_usRangeCount = 0;
  if (s_pFirstRange == nullptr) {
    return;
  }
  while (s_pFirstRange[s_usRangeCount].usFirstIndex != SOD_k_END_INDEX) {
    SCFM_Tack();
    ++s_usRangeCount;
  }
}

const SOD_AttrPart* SOD_AttrGetRange(SOD_Access* acc, SOD_ErrorInfo* err) {
  SCFM_Tack();
  const SOD_VirtRange* r = FindRange(acc->obj.usIndex);
  if (r == nullptr || acc->obj.ucSubIndex < r->ucFirstSub || acc->obj.ucSubIndex > r->ucLastSub) {
    return SOD_UnknownObject(acc, r != nullptr, err);
  }
  return ResolveInRange(r, acc, err);
}

const SOD_AttrPart* SOD_AttrGetNextVirt(bool first, SOD_Access* acc, SOD_ErrorInfo* err) {
  SCFM_Tack();
  if (err == nullptr) {
    return nullptr;
  }
  if (acc == nullptr) {
    SetErr(err, 0xF747, k_ABORT_GENERAL);
    return nullptr;
  }
  SetErr(err, SOD_k_NO_ERROR, 0);
  if (first) {
    s_pCurRange = s_pFirstRange;
    if (s_usRangeCount == 0) {
      return nullptr;
    }
    s_usCurIndex = s_pCurRange->usFirstIndex;
    s_ucCurSub = s_pCurRange->ucFirstSub;
  } else {
    if (s_pCurRange == nullptr || s_pCurRange >= s_pFirstRange + s_usRangeCount) {
      return nullptr;
    }
    if (s_ucCurSub < s_pCurRange->ucLastSub) {
      ++s_ucCurSub;
    } else if (s_usCurIndex < s_pCurRange->usLastIndex) {
      ++s_usCurIndex;
      s_ucCurSub = s_pCurRange->ucFirstSub;
    } else {
      ++s_pCurRange;
      if (s_pCurRange >= s_pFirstRange + s_usRangeCount) {
        return nullptr;
      }
      s_usCurIndex = s_pCurRange->usFirstIndex;
      s_ucCurSub = s_pCurRange->ucFirstSub;
    }
  }
  acc->obj.usIndex = s_usCurIndex;
  acc->obj.ucSubIndex = s_ucCurSub;
  acc->ulSegOffset = 0;
  acc->ulSegSize = 0;
  return ResolveInRange(s_pCurRange, acc, err);
}
