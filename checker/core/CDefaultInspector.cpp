#include "CDefaultInspector.h"

#include "CAuthentification.h"
#include "CCorvane.h"
#include "CCorvaneCommissioner.h"
#include "CException.h"
#include "CInternalError.h"
#include "Check/CAdditionalParameterInspector.h"
#include "Check/CFirmwareInspector.h"
#include "Check/CParameterInspector.h"
#include "Check/CUdidInspector.h"
#include "ErrorCodes.h"
#include "Event/CDecodedEvent.h"
#include "Frame/CDecodedFrame.h"
#include "Hmi/CDecodedAcknowledgeCorvane.h"
#include "Hmi/CDecodedAcknowledgeFirmware.h"
#include "Hmi/CDecodedAcknowledgeModules.h"
#include "Hmi/CDecodedChangePassword.h"
#include "Hmi/CDecodedCommand.h"
#include "SafetyDomainNumber.h"

namespace Main {

using Util::CException;
using Util::ErrorCodes;

CDefaultInspector::CDefaultInspector(CCorvane& corvane, CCorvaneCommissioner& corvaneCommissioner,
                                     CAuthentification& authentification, Check::CUdidInspector& udidInspector,
                                     Check::CFirmwareInspector& firmwareInspector,
                                     Check::CParameterInspector& parameterInspector,
                                     Check::CAdditionalParameterInspector& additionalParameterInspector)
    : m_Corvane(corvane), m_CorvaneCommissioner(corvaneCommissioner), m_Authentification(authentification),
      m_UdidInspector(udidInspector), m_FirmwareInspector(firmwareInspector), m_ParameterInspector(parameterInspector),
      m_AdditionalParameterInspector(additionalParameterInspector), m_Valid(true) {}

CDefaultInspector::~CDefaultInspector() = default;

void CDefaultInspector::InvertCheckBits(u16 length, u8* buffer, u8 mask) const {
  UTIL_CHECK(buffer != nullptr);
  for (u16 i = 0; i < length; ++i) {
    buffer[i] = static_cast<u8>(buffer[i] ^ mask);
  }
}

void CDefaultInspector::InspectSentFrame(const Frame::CDecodedFrame& frame, u16 length, u8* invertedFrame) {
  frame.Accept(static_cast<Frame::CDecodedFrameVisitor&>(*this));
  m_UdidInspector.InspectSentFrame(frame);
  InvertCheckBits(length, invertedFrame, ms_UdidCheckBitMask);
  m_FirmwareInspector.InspectSentFrame(frame);
  InvertCheckBits(length, invertedFrame, ms_FirmwareCheckBitMask);
  m_ParameterInspector.InspectSentFrame(frame);
  InvertCheckBits(length, invertedFrame, ms_ParameterCheckBitMask);
  m_AdditionalParameterInspector.InspectSentFrame(frame);
  InvertCheckBits(length, invertedFrame, ms_AdditionalParameterCheckBitMask);
}

void CDefaultInspector::VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp&) {
  if (m_Corvane.IsAcknowledged()) {
    return;
  }
  m_Valid = false;
  throw CException(ErrorCodes::ms_CorvaneNotAcknowledged);
}

void CDefaultInspector::InspectReceivedFrame(const Frame::CDecodedFrame& frame) {
  // The firmware's stack drops another domain's frames and those with address 0.
  if (frame.GetSdn() != GetSafetyDomainNumber() || frame.GetAdr() == 0 || frame.GetTadr() == 0) {
    return;
  }
  m_UdidInspector.InspectReceivedFrame(frame);
  m_FirmwareInspector.InspectReceivedFrame(frame);
  m_ParameterInspector.InspectReceivedFrame(frame);
  m_AdditionalParameterInspector.InspectReceivedFrame(frame);
}

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
  const u8* password = command.GetPassword();
  UTIL_CHECK(password != nullptr);
  u8 inverted[ms_PasswordLength];
  for (u32 k = 0; k < ms_PasswordLength; ++k) {
    inverted[k] = static_cast<u8>(~password[k]);
  }
  if (!m_Authentification.IsValidInvertedPassword(inverted)) {
    return;
  }
  command.Accept(static_cast<Hmi::CDecodedCommandVisitor&>(*this));
  m_UdidInspector.InspectCommand(command);
  m_FirmwareInspector.InspectCommand(command);
}

void CDefaultInspector::KeepPassword(const Hmi::CDecodedCommand& command) {
  u8 inverted[ms_PasswordLength];
  const u8* password = command.GetPassword();
  UTIL_CHECK(password != nullptr);
  const bool keep = m_Authentification.HasPassword();
  for (u32 k = 0; k < ms_PasswordLength; ++k) {
    inverted[k] = static_cast<u8>(keep ? ~password[k] : 0xFFu);
  }
  m_Authentification.SetInvertedPassword(inverted);
}

void CDefaultInspector::VisitChangePassword(const Hmi::CDecodedChangePassword& command) {
  const u8* changed = command.GetChangedPassword();
  UTIL_CHECK(changed != nullptr);
  u8 inverted[ms_PasswordLength];
  for (u32 k = 0; k < ms_PasswordLength; ++k) {
    inverted[k] = static_cast<u8>(~changed[k]);
  }
  m_Authentification.SetInvertedPassword(inverted);
}

void CDefaultInspector::VisitAcknowledgeCorvane(const Hmi::CDecodedAcknowledgeCorvane& command) {
  if (!m_CorvaneCommissioner.CanManuallyAcknowledgeCorvane()) {
    return;
  }
  m_Corvane.Acknowledge();
  KeepPassword(command);
}

void CDefaultInspector::VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules& command) { KeepPassword(command); }

void CDefaultInspector::VisitAcknowledgeFirmware(const Hmi::CDecodedAcknowledgeFirmware& command) {
  KeepPassword(command);
}

void CDefaultInspector::VisitActivateSetupMode(const Hmi::CDecodedActivateSetupMode&) {
  m_Corvane.SetSetupModeActive(true);
}

void CDefaultInspector::VisitDeactivateSetupMode(const Hmi::CDecodedDeactivateSetupMode&) {
  m_Corvane.SetSetupModeActive(false);
}

bool CDefaultInspector::IsValid() const {
  return m_Valid && m_UdidInspector.IsValid() && m_FirmwareInspector.IsValid() && m_ParameterInspector.IsValid() &&
         m_AdditionalParameterInspector.IsValid();
}

}  // namespace Main
