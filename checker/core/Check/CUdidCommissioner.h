// Policy: may module UDIDs be acknowledged now, by the operator or by the firmware itself?
#pragma once

namespace Check {

class CUdidCommissioner {
 public:
  virtual ~CUdidCommissioner() = default;

  /// An operator command may acknowledge module UDIDs.
  virtual bool CanManuallyAcknowledgeUdids() const = 0;
  /// The firmware's acknowledgement event may acknowledge module UDIDs.
  virtual bool CanAutomaticallyAcknowledgeUdids() const = 0;
};

}  // namespace Check
