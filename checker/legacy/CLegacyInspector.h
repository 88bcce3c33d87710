// The older build's dispatching inspector: the shared checks of every frame,
// and commands without events, commissioners or setup mode. A command with a
// valid password reaches the UDID and firmware checks first, and only while
// the key medium is acknowledged; then the inspector's own visit stores the
// password or acknowledges the key medium. A combined acknowledgement code
// is applied as its single parts in the firmware's order: key medium,
// firmware, modules.
#pragma once
#include "CDispatchingInspectorBase.h"
#include "Hmi/CDecodedAcknowledgeCorvane.h"
#include "Hmi/CDecodedAcknowledgeFirmware.h"
#include "Hmi/CDecodedAcknowledgeModules.h"
#include "Hmi/CDecodedCommand.h"

namespace Main {

class CLegacyInspector : public CDispatchingInspectorBase {
 public:
  CLegacyInspector(CCorvane& corvane, CAuthentification& authentification, Check::CUdidInspector& udidInspector,
                   Check::CFirmwareInspector& firmwareInspector, Check::CParameterInspector& parameterInspector,
                   Check::CAdditionalParameterInspector& additionalParameterInspector);
  ~CLegacyInspector() override;

  CLegacyInspector(const CLegacyInspector&) = delete;
  CLegacyInspector& operator=(const CLegacyInspector&) = delete;

  /// A combined code part by part, any other command as it is.
  void InspectCommand(const Hmi::CDecodedCommand& command) override;
  /// This build has no events: 0xE200.
  void InspectEvent(const Event::CDecodedEvent& event) override;

 private:
  /// Password test, the UDID and firmware checks while the key medium is acknowledged, then the visit.
  void InspectSingleCommand(const Hmi::CDecodedCommand& command);
  /// Acknowledges the key medium and keeps the password; no commissioner is asked.
  void VisitAcknowledgeCorvane(const Hmi::CDecodedAcknowledgeCorvane& command) override;

  u8 m_PartCommand[Hmi::CDecodedCommand::ms_ChangedPasswordLength];  ///< one part of a combined command
  Hmi::CDecodedAcknowledgeCorvane m_CorvanePart;     ///< the key-medium part
  Hmi::CDecodedAcknowledgeFirmware m_FirmwarePart;   ///< the firmware part
  Hmi::CDecodedAcknowledgeModules m_ModulesPart;     ///< the modules part
};

}  // namespace Main
