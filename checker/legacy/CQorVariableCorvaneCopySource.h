// The older build's controller copy of the key medium's identity: Qor
// controller variable 4, which the older firmware writes. A failed read is no
// copy, logged by nobody: the variable storage has marked itself failed and
// the check task resets the domain once the controller answers again.
#pragma once
#include "CCorvaneCopySource.h"
#include "CQorVariableStorage.h"

namespace Main {

class CQorVariableCorvaneCopySource : public CCorvaneCopySource {
 public:
  static constexpr u8 ms_CorvaneVariable = 4;  ///< the variable holding the identity
  static constexpr u8 ms_CorvaneLength = 18;   ///< bytes of the identity

  explicit CQorVariableCorvaneCopySource(CQorVariableStorage& storage) : m_Storage(storage) {}

  /// Reads variable 4 with a maximum of min(capacity, 18) bytes: its length, or
  /// ms_NoCopy when the read threw.
  i32 ReadCorvaneCopy(u32 capacity, u8* buffer) override;

 private:
  CQorVariableStorage& m_Storage;  ///< the controller's variables, not owned
};

}  // namespace Main
