// The Qor controller's variables as the older checker reads them: one read of
// a variable, whether a read ever failed, and whether the controller has come
// back since (the check task then resets the safety domain once).
#pragma once
#include "ScmTypes.h"

namespace Main {

class CQorVariableStorage {
 public:
  virtual ~CQorVariableStorage() = default;

  /// Reads variable into destination (at most maxLength bytes) and returns the
  /// payload length; every failure throws and marks the storage failed.
  virtual u8 Read(u8 variable, u8 maxLength, void* destination) = 0;
  /// True once a read failed.
  virtual bool HasFailed() const = 0;
  /// True once the controller answers again after a failure (latched).
  virtual bool HasRecovered() = 0;
};

}  // namespace Main
