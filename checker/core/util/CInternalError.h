// Internal assertion errors: code 0xE200 with information0 = the source line
// and information1 = the Adler-32 of the source file's base name, computed at
// compile time, so that a log record names the exact place of the failed check.
#pragma once
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace Util {

class CInternalError {
 public:
  /// Adler-32 of a text (the file identifier of 0xE200).
  static constexpr std::uint32_t Adler32(std::string_view text) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (char c : text) {
      a = (a + static_cast<unsigned char>(c)) % 65521u;
      b = (b + a) % 65521u;
    }
    return (b << 16) | a;
  }

  /// Throws Util::CException(0xE200, line, fileId).
  [[noreturn]] static void Raise(std::uint32_t line, std::uint32_t fileId);
};

}  // namespace Util

/// Throw the internal assertion error for this source line and file.
#define UTIL_RAISE_INTERNAL()                                                        \
  ::Util::CInternalError::Raise(static_cast<std::uint32_t>(__LINE__),                \
                                std::integral_constant<std::uint32_t,                \
                                    ::Util::CInternalError::Adler32(__FILE_NAME__)>::value)

/// Check an internal precondition; throws 0xE200 when it does not hold.
#define UTIL_CHECK(condition)   \
  do {                          \
    if (!(condition)) {         \
      UTIL_RAISE_INTERNAL();    \
    }                           \
  } while (false)
