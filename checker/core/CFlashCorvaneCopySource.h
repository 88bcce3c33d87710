// The current build's controller copy of the key medium's identity: the
// controller's flash area 16, read whole.
#pragma once
#include "CCorvaneCopySource.h"

namespace Main {

class CFlashCorvaneCopySource : public CCorvaneCopySource {
 public:
  static constexpr u8 ms_CorvaneFlashFile = 16;              ///< controller flash file of the identity
  static constexpr u32 ms_FlashFileWholeArea = 0xFFFFFFFFu;  ///< offset word that reads the file from its start

  /// ScmReadQorFlashFile's result: -1 (empty or unreadable) is no copy.
  i32 ReadCorvaneCopy(u32 capacity, u8* buffer) override;
};

/// The one flash source of the process (for the persistence's one-argument form).
CFlashCorvaneCopySource& GetFlashCorvaneCopySource();

}  // namespace Main
