// The range of safety addresses that every file entry must keep.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CSafetyAddress {
 public:
  static constexpr u16 ms_Min = 1;     ///< lowest SADR
  static constexpr u16 ms_Max = 1023;  ///< highest SADR

  /// True for 1 to 1023.
  static bool IsValid(u32 sadr) { return sadr >= ms_Min && sadr <= ms_Max; }

  /// Throws (code, sadr) unless the SADR is 1 to 1023.
  static void Require(u32 sadr, u16 code);

  CSafetyAddress() = delete;
};

}  // namespace Param
