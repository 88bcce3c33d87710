// Object dictionary start-up, read and write of real entries, and the write
// steps that the access interface shares.
#include <cstring>

#include "SCFM.h"
#include "SERR.h"
#include "SOD.h"

namespace {
constexpr u32 k_ABORT_GENERAL = 0x08000000;  ///< general error
constexpr u32 k_ABORT_HANDLE = 0x08000021;   ///< invalid handle
constexpr u32 k_ABORT_STATE = 0x08000022;    ///< refused in the present state
constexpr u32 k_ABORT_BOUNDS = 0x06070012;   ///< offset or size beyond the object
constexpr u32 k_ABORT_RDONLY = 0x06010002;   ///< write of a read-only object
const u8 s_ucEmptyMarker = 0;                ///< address that marks the empty-value write

void SetErr(SOD_ErrorInfo* err, u16 number, u32 abortCode) {
  SCFM_Tack();
  err->usErrNum = number;
  err->ulAbortCode = abortCode;
}

/// Loads the default values of the real table in table order.
bool SetDefaultValues() {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const SOD_Entry* hdl = nullptr;
  for (const SOD_AttrPart* attr = SOD_AttrGetNext(true, &hdl, &err); attr != nullptr;
       attr = SOD_AttrGetNext(false, &hdl, &err)) {
    if (!SOD_SetDefault(attr)) {
      return false;
    }
  }
  return true;
}
}  // namespace

const void* const SOD_pvEmptyValue = &s_ucEmptyMarker;

bool SOD_Init() {
  SCFM_Tack();
  SOD_InitLock();
  if (!SOD_InitAddr()) {
    return false;
  }
  SOD_InitVirt();
  if (!SOD_Check()) {
    return false;
  }
  if (!SetDefaultValues()) {
    return false;
  }
  return SOD_SetDefaultValuesVirt();
}

u8* SOD_ValueAddr(const SOD_AttrPart* attr) {
  SCFM_Tack();
  if (attr->pvData == nullptr) {
    return nullptr;
  }
  if (SOD_IsVarType(attr->ulDataType)) {
    return static_cast<const SOD_VarData*>(attr->pvData)->pucData;
  }
  if ((attr->usAttr & SOD_k_ATTR_PTR) != 0) {
    void* stored = nullptr;
    std::memcpy(&stored, attr->pvData, sizeof(stored));
    return static_cast<u8*>(stored);
  }
  return static_cast<u8*>(attr->pvData);
}

bool SOD_SetDefault(const SOD_AttrPart* attr) {
  SCFM_Tack();
  u8* value = SOD_ValueAddr(attr);
  if (value == nullptr) {
    return true;
  }
  if (attr->pvDefault != nullptr) {
    if (!SOD_DataValid(attr->pvDefault, attr, 0, 0)) {
      return false;
    }
    std::memcpy(value, attr->pvDefault, attr->ulLength);
    return true;
  }
  // Without a default the value starts as zero, whether or not its range holds zero.
  std::memset(value, 0, attr->ulLength);
  return true;
}

void* SOD_Read(const SOD_Entry* handle, u32 offset, u32 size, SOD_ErrorInfo* err) {
  SCFM_Tack();
  if (err == nullptr) {
    return nullptr;
  }
  if (!SOD_HdlValid(handle, err)) {
    return nullptr;
  }
  const SOD_AttrPart* attr = &handle->attr;
  if ((offset != 0 || size != 0) && !SOD_IsVarType(attr->ulDataType)) {
    SetErr(err, 0xF702, k_ABORT_GENERAL);
    return nullptr;
  }
  if (offset >= attr->ulLength || attr->ulLength - offset < size) {
    SetErr(err, 0xF703, k_ABORT_BOUNDS);
    return nullptr;
  }
  if ((attr->usAttr & SOD_k_ATTR_BEF_RD) != 0 && attr->pfCallback != nullptr) {
    u32 abortCode = 0;
    if (!attr->pfCallback(SOD_k_SRV_BEFORE_READ, const_cast<SOD_Entry*>(handle), nullptr, offset, size,
                          &abortCode)) {
      SetErr(err, 0x2711, abortCode);
      return nullptr;
    }
  }
  u8* value = SOD_ValueAddr(attr);
  if (value == nullptr) {
    SetErr(err, 0xF724, k_ABORT_HANDLE);
    return nullptr;
  }
  SetErr(err, SOD_k_NO_ERROR, 0);
  return value + offset;
}

bool SOD_ObjectReadOnly(const SOD_AttrPart* attr, const void* data, bool appWrite) {
  SCFM_Tack();
  if ((attr->usAttr & (SOD_k_ATTR_READ | SOD_k_ATTR_WRITE)) != SOD_k_ATTR_READ || appWrite ||
      SOD_IsVarType(attr->ulDataType) || data == SOD_pvEmptyValue) {
    return false;
  }
  // Compare at the value itself, which for pointer objects is behind the stored pointer.
  const u8* value = SOD_ValueAddr(attr);
  return value != nullptr && std::memcmp(value, data, attr->ulLength) == 0;
}

bool SOD_ObjectWriteable(const SOD_AttrPart* attr, bool appWrite) {
  SCFM_Tack();
  const bool writable = (attr->usAttr & SOD_k_ATTR_WRITE) != 0;
  const bool allowed = appWrite ? ((attr->usAttr & SOD_k_ATTR_CONST) == 0 || writable) : writable;
  if (!allowed) {
    SERR_SetError(0x270B, k_ABORT_RDONLY);
  }
  return allowed;
}

void SOD_DataCpy(const void* value, const SOD_AttrPart* attr, u32 offset, u32 size) {
  SCFM_Tack();
  u8* dest = SOD_ValueAddr(attr);
  if (dest == nullptr) {
    return;
  }
  if (value == SOD_pvEmptyValue) {
    // The empty value copies nothing; it only ends the value at length 0.
    static_cast<SOD_VarData*>(attr->pvData)->ulActLen = 0;
    return;
  }
  const u32 count = (offset == 0 && size == 0) ? attr->ulLength : size;
  std::memmove(dest + offset, value, count);
}

bool SOD_CallAfterWriteClbk(SOD_Entry* record, u32 offset, u32 size) {
  SCFM_Tack();
  const SOD_AttrPart* attr = &record->attr;
  if ((attr->usAttr & SOD_k_ATTR_AFT_WR) == 0 || attr->pfCallback == nullptr) {
    return true;
  }
  const u32 total = SOD_ActualLen(attr);
  if (!((offset == 0 && size == 0) || offset + size == total)) {
    SCFM_Tack();
    return true;
  }
  u32 abortCode = 0;
  if (!attr->pfCallback(SOD_k_SRV_AFTER_WRITE, record, nullptr, offset, size, &abortCode)) {
    SERR_SetError(0x2713, abortCode);
    return false;
  }
  return true;
}

bool SOD_Write(const SOD_Entry* handle, const void* data, bool appWrite, u32 offset, u32 size) {
  SCFM_Tack();
  if (data == nullptr) {
    SERR_SetError(0xF706, k_ABORT_GENERAL);
    return false;
  }
  if (!SOD_WriteAccess()) {
    SERR_SetError(0x2707, k_ABORT_STATE);
    return false;
  }
  if (!SOD_HdlValid(handle, nullptr)) {
    SERR_SetError(0xF724, k_ABORT_HANDLE);
    return false;
  }
  const SOD_AttrPart* attr = &handle->attr;
  const bool empty = data == SOD_pvEmptyValue;
  // The empty value exists only for the types with an actual length, and only as a whole write.
  if (((offset != 0 || size != 0) || empty) && !SOD_IsVarType(attr->ulDataType)) {
    SERR_SetError(0xF708, k_ABORT_GENERAL);
    return false;
  }
  if (empty && (offset != 0 || size != 0)) {
    SERR_SetError(0xF708, k_ABORT_GENERAL);
    return false;
  }
  if (offset >= attr->ulLength || attr->ulLength - offset < size) {
    SERR_SetError(0xF709, k_ABORT_BOUNDS);
    return false;
  }
  if (SOD_ObjectReadOnly(attr, data, appWrite)) {
    return true;
  }
  if (!SOD_ObjectWriteable(attr, appWrite)) {
    return false;
  }
  if (!empty && !SOD_DataValid(data, attr, offset, size)) {
    return false;
  }
  SOD_Entry* record = const_cast<SOD_Entry*>(handle);
  if ((attr->usAttr & SOD_k_ATTR_BEF_WR) != 0 && attr->pfCallback != nullptr) {
    u32 abortCode = 0;
    if (!attr->pfCallback(SOD_k_SRV_BEFORE_WRITE, record, data, offset, size, &abortCode)) {
      SERR_SetError(0x2712, abortCode);
      return false;
    }
  }
  SOD_DataCpy(data, attr, offset, size);
  return SOD_CallAfterWriteClbk(record, offset, size);
}
