#include "CUdid.h"

#include "CInternalError.h"

namespace Util {

const std::uint8_t CUdid::ms_Zero[CUdid::ms_Length] = {0, 0, 0, 0, 0, 0};

bool CUdid::AreEqual(const std::uint8_t* a, const std::uint8_t* b) {
  UTIL_CHECK(a != nullptr);
  UTIL_CHECK(b != nullptr);
  for (unsigned i = 0; i < ms_Length; ++i) {
    if (a[i] != b[i]) {
      return false;
    }
  }
  return true;
}

bool CUdid::AreDifferent(const std::uint8_t* a, const std::uint8_t* b) { return !AreEqual(a, b); }

bool CUdid::IsZero(const std::uint8_t* udid) { return AreEqual(udid, ms_Zero); }

bool CUdid::IsValid(const std::uint8_t* udid) { return !IsZero(udid); }

bool CUdid::IsInvalid(const std::uint8_t* udid) { return IsZero(udid); }

}  // namespace Util
