// Access structures of the object dictionary: resolved once, then read and
// written through, for real entries and (in the current release) virtual objects.
#include "SCFM.h"
#include "SERR.h"
#include "SOD.h"

namespace {
constexpr u32 k_ABORT_GENERAL = 0x08000000;  ///< general error
constexpr u32 k_ABORT_STATE = 0x08000022;    ///< refused in the present state
constexpr u32 k_ABORT_BOUNDS = 0x06070012;   ///< offset or size beyond the object
constexpr u32 k_ABORT_NO_OBJ = 0x06020000;   ///< object does not exist
constexpr u32 k_ABORT_NO_SUB = 0x06090011;   ///< sub-index does not exist

void SetErr(SOD_ErrorInfo* err, u16 number, u32 abortCode) {
  SCFM_Tack();
  err->usErrNum = number;
  err->ulAbortCode = abortCode;
}

bool IsVirtual(const SOD_Access* acc) {
  SCFM_Tack();
  return acc->pHdl == nullptr;
}
}  // namespace

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
  return SOD_AttrGetRange(acc, err);
}

const SOD_AttrPart* SOD_UnknownObject(const SOD_Access* acc, bool rangeKnowsIndex, SOD_ErrorInfo* err) {
  SCFM_Tack();
  const bool indexKnown = rangeKnowsIndex || SOD_IndexExists(acc->obj.usIndex);
  SetErr(err, 0xF745, indexKnown ? k_ABORT_NO_SUB : k_ABORT_NO_OBJ);
  return nullptr;
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
