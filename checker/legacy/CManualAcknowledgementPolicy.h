// The older build's acknowledgement policy for module UDIDs and firmware
// versions: every operator acknowledgement that reaches the checks is allowed
// (the dispatching inspector passes on only commands with a valid password, a
// successful response and an acknowledged key medium), and nothing is
// acknowledged automatically, since that firmware reports no acknowledgements.
#pragma once
#include "Check/CFirmwareCommissioner.h"
#include "Check/CUdidCommissioner.h"

namespace Check {

class CManualAcknowledgementPolicy : public CUdidCommissioner, public CFirmwareCommissioner {
 public:
  /// Always true.
  bool CanManuallyAcknowledgeUdids() const override { return true; }
  /// Always false.
  bool CanAutomaticallyAcknowledgeUdids() const override { return false; }
  /// Always true.
  bool CanManuallyAcknowledgeFirmware() const override { return true; }
  /// Always false.
  bool CanAutomaticallyAcknowledgeFirmware() const override { return false; }
};

}  // namespace Check
