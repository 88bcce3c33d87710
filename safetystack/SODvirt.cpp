// Access structures and the virtual object ranges of the object dictionary.
#include "SAPL.h"
#include "SCFM.h"
#include "SERR.h"
#include "SOD.h"

namespace {
constexpr u32 k_ABORT_GENERAL = 0x08000000;  ///< general error
constexpr u32 k_ABORT_STATE = 0x08000022;    ///< refused in the present state
constexpr u32 k_ABORT_BOUNDS = 0x06070012;   ///< offset or size beyond the object
constexpr u32 k_ABORT_NO_OBJ = 0x06020000;   ///< object does not exist
constexpr u32 k_ABORT_NO_SUB = 0x06090011;   ///< sub-index does not exist

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

bool IsVirtual(const SOD_Access* acc) {
  SCFM_Tack();
  return acc->pHdl == nullptr;
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

const SOD_AttrPart* SOD_AttrGetVirt(SOD_Access* acc, SOD_ErrorInfo* err) {
  SCFM_Tack();
  if (err == nullptr) {
    return nullptr;
  }
  if (acc == nullptr) {
    SetErr(err, 0xF743, k_ABORT_GENERAL);
    return nullptr;
  }
  const SOD_Entry* hdl = nullptr;
  const SOD_AttrPart* attr = SOD_AttrGet(acc->obj.usIndex, acc->obj.ucSubIndex, &hdl, 0, err);
  if (attr != nullptr) {
    acc->obj.attr = *attr;
    acc->pHdl = hdl;
    return &acc->obj.attr;
  }
  acc->pHdl = nullptr;
  const SOD_VirtRange* r = FindRange(acc->obj.usIndex);
  if (r == nullptr || acc->obj.ucSubIndex < r->ucFirstSub || acc->obj.ucSubIndex > r->ucLastSub) {
    // A missing sub-index is named as such whenever either table knows the index.
    const bool indexKnown = r != nullptr || SOD_IndexExists(acc->obj.usIndex);
    SetErr(err, 0xF745, indexKnown ? k_ABORT_NO_SUB : k_ABORT_NO_OBJ);
    return nullptr;
  }
  return ResolveInRange(r, acc, err);
}

void* SOD_ReadVirt(SOD_Access* acc, SOD_ErrorInfo* err) {
  SCFM_Tack();
  if (err == nullptr) {
    return nullptr;
  }
  if (acc == nullptr) {
    SetErr(err, 0xF749, k_ABORT_GENERAL);
    return nullptr;
  }
  if (!IsVirtual(acc)) {
    return SOD_Read(acc->pHdl, acc->ulSegOffset, acc->ulSegSize, err);
  }
  const SOD_AttrPart* a = &acc->obj.attr;
  if ((acc->ulSegOffset != 0 || acc->ulSegSize != 0) && !SOD_IsVarType(a->ulDataType)) {
    SetErr(err, 0xF74A, k_ABORT_GENERAL);
    return nullptr;
  }
  if (acc->ulSegOffset >= a->ulLength || a->ulLength - acc->ulSegOffset < acc->ulSegSize) {
    SetErr(err, 0xF74C, k_ABORT_BOUNDS);
    return nullptr;
  }
  if ((a->usAttr & (SOD_k_ATTR_VIRT | SOD_k_ATTR_BEF_RD)) != 0 && a->pfCallback != nullptr) {
    u32 abortCode = 0;
    if (!a->pfCallback(SOD_k_SRV_BEFORE_READ, &acc->obj, nullptr, acc->ulSegOffset, acc->ulSegSize,
                       &abortCode)) {
      SetErr(err, 0x274B, abortCode);
      return nullptr;
    }
  }
  // The callback may have changed the offset and the attribute part.
  u8* value = SOD_ValueAddr(&acc->obj.attr);
  if (value == nullptr) {
    SetErr(err, 0xF749, k_ABORT_GENERAL);
    return nullptr;
  }
  SetErr(err, SOD_k_NO_ERROR, 0);
  return value + acc->ulSegOffset;
}

bool SOD_WriteVirt(SOD_Access* acc, const void* data, bool appWrite) {
  SCFM_Tack();
  if (acc == nullptr) {
    SERR_SetError(0xF74E, k_ABORT_GENERAL);
    return false;
  }
  if (!IsVirtual(acc)) {
    return SOD_Write(acc->pHdl, data, appWrite, acc->ulSegOffset, acc->ulSegSize);
  }
  if (data == nullptr) {
    SERR_SetError(0xF74F, k_ABORT_GENERAL);
    return false;
  }
  if (!SOD_WriteAccess()) {
    SERR_SetError(0x2750, k_ABORT_STATE);
    return false;
  }
  const SOD_AttrPart* a = &acc->obj.attr;
  const u32 offset = acc->ulSegOffset;
  const u32 size = acc->ulSegSize;
  const bool empty = data == SOD_pvEmptyValue;
  if ((offset != 0 || size != 0 || empty) && !SOD_IsVarType(a->ulDataType)) {
    SERR_SetError(0xF751, k_ABORT_GENERAL);
    return false;
  }
  if (empty && (offset != 0 || size != 0)) {
    SERR_SetError(0xF751, k_ABORT_GENERAL);
    return false;
  }
  // Reported as the real-table write does, so that the last info names this failure.
  if (offset >= a->ulLength || a->ulLength - offset < size) {
    SERR_SetError(0xF709, k_ABORT_BOUNDS);
    return false;
  }
  if (SOD_ObjectReadOnly(a, data, appWrite)) {
    return true;
  }
  if (!SOD_ObjectWriteable(a, appWrite)) {
    return false;
  }
  if (!empty && !SOD_DataValid(data, a, offset, size)) {
    return false;
  }
  if (a->pfCallback != nullptr) {
    u32 abortCode = 0;
    if ((a->usAttr & SOD_k_ATTR_VIRT) != 0) {
      if (!a->pfCallback(SOD_k_SRV_BEFORE_WRITE, &acc->obj, data, offset, size, &abortCode)) {
        SERR_SetError(0x2752, abortCode);
        return false;
      }
    } else if ((a->usAttr & SOD_k_ATTR_BEF_WR) != 0) {
      if (!a->pfCallback(SOD_k_SRV_BEFORE_WRITE, &acc->obj, data, offset, size, &abortCode)) {
        SERR_SetError(0x2753, abortCode);
        return false;
      }
    }
  }
  SOD_DataCpy(data, &acc->obj.attr, offset, size);
  return SOD_CallAfterWriteClbk(&acc->obj, offset, size);
}

bool SOD_ActualLenGetVirt(SOD_Access* acc, u32* out) {
  SCFM_Tack();
  if (acc == nullptr) {
    SERR_SetError(0xF759, k_ABORT_GENERAL);
    return false;
  }
  if (out == nullptr) {
    SERR_SetError(0xF75A, k_ABORT_GENERAL);
    return false;
  }
  if (!IsVirtual(acc)) {
    return SOD_ActualLenGet(acc->pHdl, out);
  }
  *out = SOD_ActualLen(&acc->obj.attr);
  return true;
}

bool SOD_ActualLenSetVirt(SOD_Access* acc, u32 length) {
  SCFM_Tack();
  if (acc == nullptr) {
    SERR_SetError(0xF755, k_ABORT_GENERAL);
    return false;
  }
  if (!IsVirtual(acc)) {
    return SOD_ActualLenSet(acc->pHdl, length);
  }
  const SOD_AttrPart* a = &acc->obj.attr;
  if (!SOD_IsVarType(a->ulDataType) || a->pvData == nullptr) {
    SERR_SetError(0xF757, k_ABORT_GENERAL);
    return false;
  }
  if (length > a->ulLength) {
    SERR_SetError(0xF756, k_ABORT_GENERAL);
    return false;
  }
  static_cast<SOD_VarData*>(a->pvData)->ulActLen = length;
  return true;
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

bool SOD_SetDefaultValuesVirt() {
  SCFM_Tack();
  static SOD_Access s_DefAcc;  // the virtual object whose default is loaded
  s_DefAcc = SOD_Access{};
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  for (const SOD_AttrPart* a = SOD_AttrGetNextVirt(true, &s_DefAcc, &err); a != nullptr;
       a = SOD_AttrGetNextVirt(false, &s_DefAcc, &err)) {
    if (!SOD_SetDefault(a)) {
      return false;
    }
  }
  if (err.usErrNum != SOD_k_NO_ERROR) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  return true;
}

bool SOD_AccessBind(SOD_Access* acc, u16 index, u8 subIndex) {
  SCFM_Tack();
  *acc = SOD_Access{};
  acc->obj.usIndex = index;
  acc->obj.ucSubIndex = subIndex;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  if (SOD_AttrGetVirt(acc, &err) == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  return true;
}
