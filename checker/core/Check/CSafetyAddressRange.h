// The SADR range of the checker's per-SADR tables: 1 to 1023, entry SADR - 1.
#pragma once
#include "ScmTypes.h"

namespace Check {

class CSafetyAddressRange {
 public:
  static constexpr u16 ms_SafetyAddressCount = 1023;  ///< entries of every per-SADR table

  /// True for 1 to 1023.
  static constexpr bool IsInRange(u16 sadr) { return sadr >= 1 && sadr <= ms_SafetyAddressCount; }
  /// Table entry of a SADR in range.
  static constexpr u16 GetModuleIndex(u16 sadr) { return static_cast<u16>(sadr - 1); }

  CSafetyAddressRange() = delete;
};

}  // namespace Check
