// Consistency check of the object dictionary at start-up.
#include <cstring>

#include "SCFM.h"
#include "SERR.h"
#include "SOD.h"

namespace {
/// Error info of an object: (index << 16) | sub-index.
u32 ObjInfo(u16 index, u8 subIndex) {
  SCFM_Tack();
  return (static_cast<u32>(index) << 16) | subIndex;
}

/// Sort key of an object.
u32 ObjKey(const SOD_Entry* obj) {
  SCFM_Tack();
  return ObjInfo(obj->usIndex, obj->ucSubIndex);
}

/// Required length of a fixed-size type, 0 for types 11..13, -1 for unknown types.
i32 TypeSize(u32 type) {
  SCFM_Tack();
  switch (type) {
    case SOD_k_BOOLEAN:
    case SOD_k_INT8:
    case SOD_k_UINT8: return 1;
    case SOD_k_INT16:
    case SOD_k_UINT16: return 2;
    case SOD_k_INT32:
    case SOD_k_UINT32:
    case SOD_k_REAL32: return 4;
    case SOD_k_INT64:
    case SOD_k_UINT64:
    case SOD_k_REAL64: return 8;
    case SOD_k_VSTRING:
    case SOD_k_OSTRING:
    case SOD_k_DOMAIN: return 0;
    default: return -1;
  }
}

bool Fail(u16 code, const SOD_Entry* obj) {
  SCFM_Tack();
  SERR_SetError(code, ObjInfo(obj->usIndex, obj->ucSubIndex));
  return false;
}

bool CheckLength(const SOD_Entry* obj) {
  SCFM_Tack();
  const u32 type = obj->attr.ulDataType;
  const u32 len = obj->attr.ulLength;
  switch (TypeSize(type)) {
    case 1: return len == 1 || Fail(0xF73C, obj);
    case 2: return len == 2 || Fail(0xF73D, obj);
    case 4: return len == 4 || Fail(0xF73E, obj);
    case 8: return len == 8 || Fail(0xF73F, obj);
    case 0: return len > 0 || Fail(0xF740, obj);
    default: return Fail(0xF741, obj);
  }
}

bool CheckAttributes(const SOD_Entry* obj, bool virtualObj) {
  SCFM_Tack();
  const SOD_AttrPart& a = obj->attr;
  // A virtual object carries the virtual bit and may carry the array bit; the
  // older release reserves the virtual bit in its real table, which is all it has.
  const u16 reserved = virtualObj ? static_cast<u16>(SOD_k_ATTR_RESERVED & ~(SOD_k_ATTR_ARRAY | SOD_k_ATTR_VIRT))
                                  : static_cast<u16>(SOD_k_ATTR_RESERVED);
  if (a.usAttr == 0 || (a.usAttr & reserved) != 0) {
    return Fail(0xF735, obj);
  }
  const u16 access = SOD_k_ATTR_CONST | SOD_k_ATTR_READ | SOD_k_ATTR_WRITE;
  if ((a.usAttr & access) == 0) {
    return Fail(0xF736, obj);
  }
  if ((a.usAttr & SOD_k_ATTR_CONST) != 0 && (a.usAttr & (SOD_k_ATTR_READ | SOD_k_ATTR_WRITE)) != 0) {
    return Fail(0xF737, obj);
  }
  if ((a.usAttr & (SOD_k_ATTR_DEFAULT | SOD_k_ATTR_WRITE)) == (SOD_k_ATTR_DEFAULT | SOD_k_ATTR_WRITE) &&
      a.pvDefault == nullptr) {
    return Fail(0xF738, obj);
  }
  const u16 callbacks = SOD_k_ATTR_BEF_RD | SOD_k_ATTR_BEF_WR | SOD_k_ATTR_AFT_WR;
  if ((a.usAttr & callbacks) != 0 && a.pfCallback == nullptr) {
    return Fail(0xF739, obj);
  }
  // In the older release's real table only a callback bit allows a callback.
  const u16 allowCallback = (SCM_kLegacy && !virtualObj) ? callbacks : static_cast<u16>(callbacks | SOD_k_ATTR_VIRT);
  if (a.pfCallback != nullptr && (a.usAttr & allowCallback) == 0) {
    return Fail(0xF73A, obj);
  }
  return true;
}

bool CheckData(const SOD_Entry* obj) {
  SCFM_Tack();
  const SOD_AttrPart& a = obj->attr;
  if (a.pvData == nullptr) {
    return Fail(0xF731, obj);
  }
  const void* stored = nullptr;
  if (SOD_IsVarType(a.ulDataType)) {
    stored = static_cast<const SOD_VarData*>(a.pvData)->pucData;
  } else if ((a.usAttr & SOD_k_ATTR_PTR) != 0) {
    std::memcpy(&stored, a.pvData, sizeof(stored));
  } else {
    stored = a.pvData;
  }
  return stored != nullptr || Fail(0xF732, obj);
}
}  // namespace

bool SOD_CheckObject(const SOD_Entry* obj, bool virtualObj) {
  SCFM_Tack();
  if (!CheckLength(obj)) {
    return false;
  }
  const SOD_AttrPart& a = obj->attr;
  if (a.pvRange != nullptr) {
    if (a.ulDataType == SOD_k_BOOLEAN || SOD_IsVarType(a.ulDataType)) {
      return Fail(0xF730, obj);
    }
    const u8* range = static_cast<const u8*>(a.pvRange);
    if (SOD_CompareByType(a.ulDataType, range + a.ulLength, range) < 0) {
      return Fail(0xF73B, obj);
    }
  }
  if (!CheckAttributes(obj, virtualObj)) {
    return false;
  }
  return CheckData(obj);
}

bool SOD_Check() {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const SOD_Entry* real = nullptr;
  SOD_AttrGetNext(true, &real, &err);
  static SOD_Access s_VirtAcc;  // the virtual object under inspection
  s_VirtAcc = SOD_Access{};
  const SOD_Entry* virt = nullptr;
  if (SOD_AttrGetNextVirt(true, &s_VirtAcc, &err) != nullptr) {
    virt = &s_VirtAcc.obj;
  } else if (err.usErrNum != SOD_k_NO_ERROR) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  bool havePrev = false;
  u16 prevIndex = 0;
  u8 prevSub = 0;
  // Walk both tables merged in (index, sub-index) order, one linear pass.
  while (real != nullptr || virt != nullptr) {
    SCFM_Tack();
    const bool takeReal = virt == nullptr || (real != nullptr && ObjKey(real) <= ObjKey(virt));
    const SOD_Entry* obj = takeReal ? real : virt;
    if (real != nullptr && virt != nullptr && ObjKey(real) == ObjKey(virt)) {
      return Fail(0xF75B, obj);
    }
    if (!SOD_CheckObject(obj, !takeReal)) {
      return false;
    }
    if (havePrev) {
      if (obj->usIndex < prevIndex) {
        return Fail(0xF733, obj);
      }
      if (obj->usIndex == prevIndex && obj->ucSubIndex <= prevSub) {
        SERR_SetError(0xF734, ObjInfo(prevIndex, obj->ucSubIndex));
        return false;
      }
    }
    havePrev = true;
    prevIndex = obj->usIndex;
    prevSub = obj->ucSubIndex;
    if (takeReal) {
      if (SOD_AttrGetNext(false, &real, &err) == nullptr) {
        real = nullptr;
      }
    } else if (SOD_AttrGetNextVirt(false, &s_VirtAcc, &err) == nullptr) {
      if (err.usErrNum != SOD_k_NO_ERROR) {
        SERR_SetError(err.usErrNum, err.ulAbortCode);
        return false;
      }
      virt = nullptr;
    }
  }
  return true;
}
