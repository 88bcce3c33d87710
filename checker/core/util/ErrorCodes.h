// The single register of the checker's error codes 0xE200 to 0xE2ED.
// Each component adds the names it raises, in its own block, in code order.
#pragma once
#include <cstdint>

namespace Util {

class ErrorCodes {
 public:
  // --- start-up, session and timeout ---
  static constexpr std::uint16_t ms_InternalError = 0xE200;  ///< internal assertion (i0 line, i1 file id)

  ErrorCodes() = delete;
};

}  // namespace Util
