// Receiver of decoded events by double dispatch; every operation is empty by
// default. The operation order is fixed.
#pragma once

namespace Event {

class CDecodedCorvaneAcknowledged;
class CDecodedModulesAcknowledged;
class CDecodedFirmwareAcknowledged;

class CDecodedEventVisitor {
 public:
  virtual ~CDecodedEventVisitor() = default;

  virtual void VisitCorvaneAcknowledged(const CDecodedCorvaneAcknowledged& /*event*/) {}
  virtual void VisitModulesAcknowledged(const CDecodedModulesAcknowledged& /*event*/) {}
  virtual void VisitFirmwareAcknowledged(const CDecodedFirmwareAcknowledged& /*event*/) {}
};

}  // namespace Event
