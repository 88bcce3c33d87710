// Where the controller keeps its copy of the key medium's identity (the 18
// bytes of "corvane.uid"): the current build reads the controller's flash
// area 16, the older build Qor variable 4. The persistence handles what comes
// back the same way in both.
#pragma once
#include "ScmTypes.h"

namespace Main {

class CCorvaneCopySource {
 public:
  /// Result of a read that found no copy.
  static constexpr i32 ms_NoCopy = -1;

  virtual ~CCorvaneCopySource() = default;

  /// Reads the copy into buffer (at most capacity bytes): its length, or ms_NoCopy.
  virtual i32 ReadCorvaneCopy(u32 capacity, u8* buffer) = 0;
};

}  // namespace Main
