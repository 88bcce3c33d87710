#include "CDefaultInspector.h"

#include "CCorvane.h"
#include "CCorvaneCommissioner.h"
#include "Check/CFirmwareInspector.h"
#include "Check/CUdidInspector.h"
#include "Event/CDecodedEvent.h"
#include "Hmi/CDecodedAcknowledgeCorvane.h"
#include "Hmi/CDecodedCommand.h"

namespace Main {

CDefaultInspector::CDefaultInspector(CCorvane& corvane, CCorvaneCommissioner& corvaneCommissioner,
                                     CAuthentification& authentification, Check::CUdidInspector& udidInspector,
                                     Check::CFirmwareInspector& firmwareInspector,
                                     Check::CParameterInspector& parameterInspector,
                                     Check::CAdditionalParameterInspector& additionalParameterInspector)
    : CDispatchingInspectorBase(corvane, authentification, udidInspector, firmwareInspector, parameterInspector,
                                additionalParameterInspector),
      m_CorvaneCommissioner(corvaneCommissioner) {}

CDefaultInspector::~CDefaultInspector() = default;

void CDefaultInspector::InspectEvent(const Event::CDecodedEvent& event) {
  event.Accept(static_cast<Event::CDecodedEventVisitor&>(*this));
  m_UdidInspector.InspectEvent(event);
  m_FirmwareInspector.InspectEvent(event);
}

void CDefaultInspector::VisitCorvaneAcknowledged(const Event::CDecodedCorvaneAcknowledged&) {
  if (m_CorvaneCommissioner.CanAutomaticallyAcknowledgeCorvane()) {
    m_Corvane.Acknowledge();
  }
}

void CDefaultInspector::InspectCommand(const Hmi::CDecodedCommand& command) {
  if (!HasValidPassword(command)) {
    return;
  }
  command.Accept(static_cast<Hmi::CDecodedCommandVisitor&>(*this));
  m_UdidInspector.InspectCommand(command);
  m_FirmwareInspector.InspectCommand(command);
}

void CDefaultInspector::VisitAcknowledgeCorvane(const Hmi::CDecodedAcknowledgeCorvane& command) {
  if (!m_CorvaneCommissioner.CanManuallyAcknowledgeCorvane()) {
    return;
  }
  m_Corvane.Acknowledge();
  KeepPassword(command);
}

void CDefaultInspector::VisitActivateSetupMode(const Hmi::CDecodedActivateSetupMode&) {
  m_Corvane.SetSetupModeActive(true);
}

void CDefaultInspector::VisitDeactivateSetupMode(const Hmi::CDecodedDeactivateSetupMode&) {
  m_Corvane.SetSetupModeActive(false);
}

}  // namespace Main
