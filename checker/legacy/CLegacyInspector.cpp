#include "CLegacyInspector.h"

#include "CCorvane.h"
#include "CInternalError.h"
#include "Check/CFirmwareInspector.h"
#include "Check/CUdidInspector.h"
#include "Hmi/CDecodedCombinedAcknowledgement.h"

namespace Main {

CLegacyInspector::CLegacyInspector(CCorvane& corvane, CAuthentification& authentification,
                                   Check::CUdidInspector& udidInspector, Check::CFirmwareInspector& firmwareInspector,
                                   Check::CParameterInspector& parameterInspector,
                                   Check::CAdditionalParameterInspector& additionalParameterInspector)
    : CDispatchingInspectorBase(corvane, authentification, udidInspector, firmwareInspector, parameterInspector,
                                additionalParameterInspector),
      m_PartCommand{} {}

CLegacyInspector::~CLegacyInspector() = default;

void CLegacyInspector::InspectEvent(const Event::CDecodedEvent&) { UTIL_RAISE_INTERNAL(); }

void CLegacyInspector::InspectCommand(const Hmi::CDecodedCommand& command) {
  const auto* combined = dynamic_cast<const Hmi::CDecodedCombinedAcknowledgement*>(&command);
  if (combined == nullptr) {
    InspectSingleCommand(command);
    return;
  }
  // The firmware acknowledges the parts one after the other, each as its single command.
  const u16 data = combined->GetData();
  if ((data & Hmi::CDecodedCombinedAcknowledgement::ms_CorvanePart) != 0) {
    const u8 length = combined->CopyAsPart(Hmi::CDecodedCombinedAcknowledgement::ms_CorvanePart,
                                           sizeof(m_PartCommand), m_PartCommand);
    m_CorvanePart.Initialize(length, m_PartCommand);
    InspectSingleCommand(m_CorvanePart);
  }
  if ((data & Hmi::CDecodedCombinedAcknowledgement::ms_FirmwarePart) != 0) {
    const u8 length = combined->CopyAsPart(Hmi::CDecodedCombinedAcknowledgement::ms_FirmwarePart,
                                           sizeof(m_PartCommand), m_PartCommand);
    m_FirmwarePart.Initialize(length, m_PartCommand);
    InspectSingleCommand(m_FirmwarePart);
  }
  const u16 modules = static_cast<u16>(data & Hmi::CDecodedCombinedAcknowledgement::ms_ModulesMask);
  if (modules != 0) {
    const u8 length = combined->CopyAsPart(modules, sizeof(m_PartCommand), m_PartCommand);
    m_ModulesPart.Initialize(length, m_PartCommand);
    InspectSingleCommand(m_ModulesPart);
  }
}

void CLegacyInspector::InspectSingleCommand(const Hmi::CDecodedCommand& command) {
  if (!HasValidPassword(command)) {
    return;
  }
  // A key-medium acknowledgement reaches the checks only from the next command on.
  if (m_Corvane.IsAcknowledged()) {
    m_UdidInspector.InspectCommand(command);
    m_FirmwareInspector.InspectCommand(command);
  }
  command.Accept(static_cast<Hmi::CDecodedCommandVisitor&>(*this));
}

void CLegacyInspector::VisitAcknowledgeCorvane(const Hmi::CDecodedAcknowledgeCorvane& command) {
  m_Corvane.Acknowledge();
  KeepPassword(command);
}

}  // namespace Main
