// Receiver of decoded commands by double dispatch; every operation is empty by
// default. The operation order is fixed.
#pragma once

namespace Hmi {

class CDecodedChangePassword;
class CDecodedAcknowledgeCorvane;
class CDecodedAcknowledgeModules;
class CDecodedAcknowledgeFirmware;
class CDecodedRequestStatus;
class CDecodedActivateSetupMode;
class CDecodedDeactivateSetupMode;

class CDecodedCommandVisitor {
 public:
  virtual ~CDecodedCommandVisitor() = default;

  virtual void VisitChangePassword(const CDecodedChangePassword& /*command*/) {}
  virtual void VisitAcknowledgeCorvane(const CDecodedAcknowledgeCorvane& /*command*/) {}
  virtual void VisitAcknowledgeModules(const CDecodedAcknowledgeModules& /*command*/) {}
  virtual void VisitAcknowledgeFirmware(const CDecodedAcknowledgeFirmware& /*command*/) {}
  virtual void VisitRequestStatus(const CDecodedRequestStatus& /*command*/) {}
  virtual void VisitActivateSetupMode(const CDecodedActivateSetupMode& /*command*/) {}
  virtual void VisitDeactivateSetupMode(const CDecodedDeactivateSetupMode& /*command*/) {}
};

}  // namespace Hmi
