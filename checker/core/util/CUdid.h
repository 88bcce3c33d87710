// Static operations on 6-byte UDIDs; a UDID is valid when any byte is not 0.
#pragma once
#include <cstdint>

namespace Util {

class CUdid {
 public:
  static constexpr unsigned ms_Length = 6;  ///< bytes in a UDID
  static const std::uint8_t ms_Zero[ms_Length];  ///< six zero bytes

  /// Compares 6 bytes; a null argument throws 0xE200.
  static bool AreEqual(const std::uint8_t* a, const std::uint8_t* b);
  static bool AreDifferent(const std::uint8_t* a, const std::uint8_t* b);
  static bool IsZero(const std::uint8_t* udid);
  static bool IsValid(const std::uint8_t* udid);
  static bool IsInvalid(const std::uint8_t* udid);

  CUdid() = delete;
};

}  // namespace Util
