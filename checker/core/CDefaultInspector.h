// The one inspector the session talks to. It runs the four checks (UDIDs,
// firmware versions, parameter checksums, additional parameters) in this
// order for every decoded frame, event and command, and handles itself what
// belongs to no single check: the operator password, the key-medium
// acknowledgement, the setup mode and the rule that no node goes operational
// before the key medium is acknowledged.
//
// For a sent frame each check that returned removes its two check bits from
// the firmware's complemented copy, so the session sees the plain frame only
// when all four ran.
#pragma once
#include "CDispatchingInspectorBase.h"
#include "Event/CDecodedEventVisitor.h"

namespace Main {

class CCorvaneCommissioner;

class CDefaultInspector : public CDispatchingInspectorBase, private Event::CDecodedEventVisitor {
 public:
  CDefaultInspector(CCorvane& corvane, CCorvaneCommissioner& corvaneCommissioner, CAuthentification& authentification,
                    Check::CUdidInspector& udidInspector, Check::CFirmwareInspector& firmwareInspector,
                    Check::CParameterInspector& parameterInspector,
                    Check::CAdditionalParameterInspector& additionalParameterInspector);
  ~CDefaultInspector() override;

  CDefaultInspector(const CDefaultInspector&) = delete;
  CDefaultInspector& operator=(const CDefaultInspector&) = delete;

  /// Commands with a valid password change the password, key-medium and setup
  /// state and reach the UDID and firmware checks; others change nothing.
  void InspectCommand(const Hmi::CDecodedCommand& command) override;
  /// The key-medium event, then the UDID and firmware checks.
  void InspectEvent(const Event::CDecodedEvent& event) override;

 private:
  void VisitAcknowledgeCorvane(const Hmi::CDecodedAcknowledgeCorvane& command) override;
  void VisitActivateSetupMode(const Hmi::CDecodedActivateSetupMode& command) override;
  void VisitDeactivateSetupMode(const Hmi::CDecodedDeactivateSetupMode& command) override;
  void VisitCorvaneAcknowledged(const Event::CDecodedCorvaneAcknowledged& event) override;

  CCorvaneCommissioner& m_CorvaneCommissioner;  ///< key-medium policy, not owned
};

}  // namespace Main
