// Copy of payload values by data type.
#include <cstring>

#include "SCFM.h"
#include "SERR.h"
#include "SFS.h"
#include "SOD.h"

bool SFS_NetworkCopyGen(void* dest, const void* src, u32 length, u8 dataType) {
  SCFM_Tack();
  u32 count = 0;
  switch (dataType) {
    case SOD_k_BOOLEAN:
    case SOD_k_INT8:
    case SOD_k_UINT8: count = 1; break;
    case SOD_k_INT16:
    case SOD_k_UINT16: count = 2; break;
    case SOD_k_INT32:
    case SOD_k_UINT32:
    case SOD_k_REAL32: count = 4; break;
    case SOD_k_INT64:
    case SOD_k_UINT64:
    case SOD_k_REAL64: count = 8; break;
    case SOD_k_VSTRING:
    case SOD_k_OSTRING:
    case SOD_k_DOMAIN: count = length; break;
    default:
      SERR_SetError(0xF30B, dataType);
      return false;
  }
  if (dest == nullptr || src == nullptr) {
    SERR_SetError(0xF30B, dataType);
    return false;
  }
  // Both ends are little-endian: frame order is memory order.
  std::memmove(dest, src, count);
  return true;
}
