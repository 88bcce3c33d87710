// Policy: may module firmware versions be acknowledged now, by the operator or by the firmware itself?
#pragma once

namespace Check {

class CFirmwareCommissioner {
 public:
  virtual ~CFirmwareCommissioner() = default;

  /// An operator command may acknowledge module firmware versions.
  virtual bool CanManuallyAcknowledgeFirmware() const = 0;
  /// The firmware's acknowledgement event may acknowledge module firmware versions.
  virtual bool CanAutomaticallyAcknowledgeFirmware() const = 0;
};

}  // namespace Check
