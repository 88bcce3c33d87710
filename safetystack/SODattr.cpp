// Real table of the object dictionary: bounds, lookup, iteration, handles,
// range checks and actual lengths.
#include <cstdint>
#include <cstring>

#include "SAPL.h"
#include "SCFM.h"
#include "SERR.h"
#include "SOD.h"

namespace {
constexpr u32 k_ABORT_GENERAL = 0x08000000;   ///< general error
constexpr u32 k_ABORT_HANDLE = 0x08000021;    ///< invalid handle or unknown type
constexpr u32 k_ABORT_NO_OBJ = 0x06020000;    ///< object does not exist
constexpr u32 k_ABORT_NO_SUB = 0x06090011;    ///< sub-index does not exist
constexpr u32 k_ABORT_STRING = 0x06090030;    ///< invalid characters in a visible string
constexpr u32 k_ABORT_ABOVE = 0x06090031;     ///< value above the range
constexpr u32 k_ABORT_BELOW = 0x06090032;     ///< value below the range

const SOD_Entry* s_pFirst = nullptr;   ///< first entry of the real table
const SOD_Entry* s_pEnd = nullptr;     ///< end record
const SOD_Entry* s_pCursor = nullptr;  ///< iteration cursor
u16 s_usCount = 0;                     ///< number of entries before the end record

void SetErr(SOD_ErrorInfo* err, u16 number, u32 abortCode) {
  SCFM_Tack();
  err->usErrNum = number;
  err->ulAbortCode = abortCode;
}

/// Compares a value with a bound by type: -1 below, 0 equal, 1 above.
template <typename T>
int CompareAs(const u8* value, const u8* bound) {
  SCFM_Tack();
  T v;
  T b;
  std::memcpy(&v, value, sizeof(T));
  std::memcpy(&b, bound, sizeof(T));
  return (v < b) ? -1 : ((b < v) ? 1 : 0);
}
}  // namespace

int SOD_CompareByType(u32 type, const void* a, const void* b) {
  SCFM_Tack();
  const u8* pa = static_cast<const u8*>(a);
  const u8* pb = static_cast<const u8*>(b);
  switch (type) {
    case SOD_k_INT8: return CompareAs<i8>(pa, pb);
    case SOD_k_INT16: return CompareAs<i16>(pa, pb);
    case SOD_k_INT32: return CompareAs<i32>(pa, pb);
    case SOD_k_INT64: return CompareAs<i64>(pa, pb);
    case SOD_k_BOOLEAN:
    case SOD_k_UINT8: return CompareAs<u8>(pa, pb);
    case SOD_k_UINT16: return CompareAs<u16>(pa, pb);
    case SOD_k_UINT32: return CompareAs<u32>(pa, pb);
    case SOD_k_UINT64: return CompareAs<u64>(pa, pb);
    case SOD_k_REAL32: return CompareAs<float>(pa, pb);
    case SOD_k_REAL64: return CompareAs<double>(pa, pb);
    default: return 0;
  }
}

bool SOD_InitAddr() {
  SCFM_Tack();
  s_pFirst = nullptr;
  s_pEnd = nullptr;
  s_pCursor = nullptr;
  s_usCount = 0;
  const SOD_Entry* table = SAPL_ps_OD;
  if (table == nullptr) {
    SERR_SetError(0xF71B, 0);
    return false;
  }
  if (table[0].usIndex == SOD_k_END_INDEX) {
    SERR_SetError(0xF71C, 0);
    return false;
  }
  u16 count = 0;
  while (table[count].usIndex != SOD_k_END_INDEX) {
    SCFM_Tack();
    ++count;
  }
  s_pFirst = table;
  s_pEnd = table + count;
  s_pCursor = table;
  s_usCount = count;
  return true;
}

const SOD_AttrPart* SOD_AttrGet(u16 index, u8 subIndex, const SOD_Entry** handle, u8 /*reserved*/,
                                SOD_ErrorInfo* err) {
  SCFM_Tack();
  if (err == nullptr) {
    return nullptr;
  }
  if (handle == nullptr) {
    SetErr(err, 0xF71E, k_ABORT_GENERAL);
    return nullptr;
  }
  *handle = nullptr;
  // Binary search on (index, sub-index); remember whether the index exists at all.
  bool indexSeen = false;
  i32 lo = 0;
  i32 hi = static_cast<i32>(s_usCount) - 1;
  while (lo <= hi) {
    SCFM_Tack();
    const i32 mid = lo + (hi - lo) / 2;
    const SOD_Entry* e = s_pFirst + mid;
    const u32 key = (static_cast<u32>(e->usIndex) << 8) | e->ucSubIndex;
    const u32 want = (static_cast<u32>(index) << 8) | subIndex;
    if (e->usIndex == index) {
      indexSeen = true;
    }
    if (key == want) {
      *handle = e;
      SetErr(err, SOD_k_NO_ERROR, 0);
      return &e->attr;
    }
    if (key < want) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  SetErr(err, 0xF721, indexSeen ? k_ABORT_NO_SUB : k_ABORT_NO_OBJ);
  return nullptr;
}

bool SOD_IndexExists(u16 index) {
  SCFM_Tack();
  i32 lo = 0;
  i32 hi = static_cast<i32>(s_usCount) - 1;
  while (lo <= hi) {
    SCFM_Tack();
    const i32 mid = lo + (hi - lo) / 2;
    const u16 i = s_pFirst[mid].usIndex;
    if (i == index) {
      return true;
    }
    if (i < index) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return false;
}

const SOD_AttrPart* SOD_AttrGetNext(bool first, const SOD_Entry** handle, SOD_ErrorInfo* err) {
  SCFM_Tack();
  if (err == nullptr) {
    return nullptr;
  }
  if (handle == nullptr) {
    SetErr(err, 0xF723, k_ABORT_GENERAL);
    return nullptr;
  }
  *handle = nullptr;
  SetErr(err, SOD_k_NO_ERROR, 0);
  if (s_pFirst == nullptr) {
    return nullptr;
  }
  if (first) {
    s_pCursor = s_pFirst;
  } else if (s_pCursor + 1 < s_pEnd) {
    ++s_pCursor;
  } else {
    // At the end record the cursor stays on the last entry.
    return nullptr;
  }
  *handle = s_pCursor;
  return &s_pCursor->attr;
}

const SOD_Entry* SOD_GetSodStartAddr() {
  SCFM_Tack();
  return s_pFirst;
}

bool SOD_HdlValid(const SOD_Entry* handle, SOD_ErrorInfo* err) {
  SCFM_Tack();
  bool valid = false;
  if (handle != nullptr && s_pFirst != nullptr) {
    const auto addr = reinterpret_cast<std::uintptr_t>(handle);
    const auto first = reinterpret_cast<std::uintptr_t>(s_pFirst);
    const auto end = reinterpret_cast<std::uintptr_t>(s_pEnd);
    valid = addr >= first && addr < end && ((addr - first) % sizeof(SOD_Entry)) == 0;
  }
  if (!valid && err != nullptr) {
    SetErr(err, 0xF724, k_ABORT_HANDLE);
  }
  return valid;
}

bool SOD_DataValid(const void* value, const SOD_AttrPart* attr, u32 offset, u32 size) {
  SCFM_Tack();
  const u8* v = static_cast<const u8*>(value);
  const u32 type = attr->ulDataType;
  if (type == SOD_k_BOOLEAN) {
    if (v[0] > 1) {
      SERR_SetError(0x270F, k_ABORT_ABOVE);
      return false;
    }
    return true;
  }
  if (type <= SOD_k_REAL64) {
    if (attr->pvRange != nullptr) {
      const u8* range = static_cast<const u8*>(attr->pvRange);
      if (SOD_CompareByType(type, v, range + attr->ulLength) > 0) {
        SERR_SetError(0x270D, k_ABORT_ABOVE);
        return false;
      }
      if (SOD_CompareByType(type, v, range) < 0) {
        SERR_SetError(0x270E, k_ABORT_BELOW);
        return false;
      }
    }
    return true;
  }
  if (type == SOD_k_VSTRING) {
    const u32 span = (offset == 0 && size == 0) ? attr->ulLength : size;
    for (u32 i = 0; i < span; ++i) {
      SCFM_Tack();
      // The span of a visible string may hold 0 (end padding) or printable bytes.
      if (v[i] != 0 && (v[i] < 32 || v[i] > 126)) {
        SERR_SetError(0x270C, k_ABORT_STRING);
        return false;
      }
    }
    return true;
  }
  if (type == SOD_k_OSTRING || type == SOD_k_DOMAIN) {
    return true;
  }
  SERR_SetError(0x2710, k_ABORT_HANDLE);
  return false;
}

u32 SOD_ActualLen(const SOD_AttrPart* attr) {
  SCFM_Tack();
  if (attr->ulDataType >= SOD_k_VSTRING && attr->ulDataType <= SOD_k_DOMAIN) {
    if (attr->pvData == nullptr) {
      return 0;
    }
    return static_cast<const SOD_VarData*>(attr->pvData)->ulActLen;
  }
  return attr->ulLength;
}

bool SOD_ActualLenGet(const SOD_Entry* handle, u32* out) {
  SCFM_Tack();
  if (out == nullptr) {
    SERR_SetError(0xF719, k_ABORT_GENERAL);
    return false;
  }
  if (!SOD_HdlValid(handle, nullptr)) {
    SERR_SetError(0xF724, k_ABORT_HANDLE);
    return false;
  }
  *out = SOD_ActualLen(&handle->attr);
  return true;
}

bool SOD_ActualLenSet(const SOD_Entry* handle, u32 length) {
  SCFM_Tack();
  if (!SOD_HdlValid(handle, nullptr)) {
    SERR_SetError(0xF724, k_ABORT_HANDLE);
    return false;
  }
  const SOD_AttrPart* attr = &handle->attr;
  if (attr->ulDataType < SOD_k_VSTRING || attr->ulDataType > SOD_k_DOMAIN || attr->pvData == nullptr) {
    SERR_SetError(0xF717, k_ABORT_GENERAL);
    return false;
  }
  if (length > attr->ulLength) {
    SERR_SetError(0xF716, k_ABORT_GENERAL);
    return false;
  }
  static_cast<SOD_VarData*>(attr->pvData)->ulActLen = length;
  return true;
}
