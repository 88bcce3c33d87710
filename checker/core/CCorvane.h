// The key medium's state as the checks see it: whether it is acknowledged for
// this controller and whether the setup mode is active.
#pragma once

namespace Main {

class CCorvane {
 public:
  virtual ~CCorvane() = default;

  /// Marks the key medium acknowledged for the life of the process (memory only).
  virtual void Acknowledge() = 0;
  /// True once the key medium is acknowledged (at start-up or by Acknowledge).
  virtual bool IsAcknowledged() const = 0;
  /// True while the setup mode is active.
  virtual bool IsSetupModeActive() const = 0;
  /// Switches the setup mode and stores the choice.
  virtual void SetSetupModeActive(bool active) = 0;
};

}  // namespace Main
