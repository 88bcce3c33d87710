#include "CDispatchingInspectorBase.h"

#include "CAuthentification.h"
#include "CCorvane.h"
#include "CException.h"
#include "CInternalError.h"
#include "Check/CAdditionalParameterInspector.h"
#include "Check/CFirmwareInspector.h"
#include "Check/CParameterInspector.h"
#include "Check/CUdidInspector.h"
#include "ErrorCodes.h"
#include "Frame/CDecodedFrame.h"
#include "Hmi/CDecodedAcknowledgeFirmware.h"
#include "Hmi/CDecodedAcknowledgeModules.h"
#include "Hmi/CDecodedChangePassword.h"
#include "Hmi/CDecodedCommand.h"
#include "SafetyDomainNumber.h"

namespace Main {

using Util::CException;
using Util::ErrorCodes;

CDispatchingInspectorBase::CDispatchingInspectorBase(CCorvane& corvane, CAuthentification& authentification,
                                                     Check::CUdidInspector& udidInspector,
                                                     Check::CFirmwareInspector& firmwareInspector,
                                                     Check::CParameterInspector& parameterInspector,
                                                     Check::CAdditionalParameterInspector& additionalParameterInspector)
    : m_Corvane(corvane), m_Authentification(authentification), m_UdidInspector(udidInspector),
      m_FirmwareInspector(firmwareInspector), m_ParameterInspector(parameterInspector),
      m_AdditionalParameterInspector(additionalParameterInspector), m_Valid(true) {}

CDispatchingInspectorBase::~CDispatchingInspectorBase() = default;

void CDispatchingInspectorBase::InvertCheckBits(u16 length, u8* buffer, u8 mask) const {
  UTIL_CHECK(buffer != nullptr);
  for (u16 i = 0; i < length; ++i) {
    buffer[i] = static_cast<u8>(buffer[i] ^ mask);
  }
}

void CDispatchingInspectorBase::InspectSentFrame(const Frame::CDecodedFrame& frame, u16 length, u8* invertedFrame) {
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

void CDispatchingInspectorBase::VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp&) {
  if (m_Corvane.IsAcknowledged()) {
    return;
  }
  m_Valid = false;
  throw CException(ErrorCodes::ms_CorvaneNotAcknowledged);
}

void CDispatchingInspectorBase::InspectReceivedFrame(const Frame::CDecodedFrame& frame) {
  // The firmware's stack drops another domain's frames and those with address 0.
  if (frame.GetSdn() != GetSafetyDomainNumber() || frame.GetAdr() == 0 || frame.GetTadr() == 0) {
    return;
  }
  m_UdidInspector.InspectReceivedFrame(frame);
  m_FirmwareInspector.InspectReceivedFrame(frame);
  m_ParameterInspector.InspectReceivedFrame(frame);
  m_AdditionalParameterInspector.InspectReceivedFrame(frame);
}

bool CDispatchingInspectorBase::HasValidPassword(const Hmi::CDecodedCommand& command) const {
  const u8* password = command.GetPassword();
  UTIL_CHECK(password != nullptr);
  u8 inverted[ms_PasswordLength];
  for (u32 k = 0; k < ms_PasswordLength; ++k) {
    inverted[k] = static_cast<u8>(~password[k]);
  }
  return m_Authentification.IsValidInvertedPassword(inverted);
}

void CDispatchingInspectorBase::KeepPassword(const Hmi::CDecodedCommand& command) {
  u8 inverted[ms_PasswordLength];
  const u8* password = command.GetPassword();
  UTIL_CHECK(password != nullptr);
  const bool keep = m_Authentification.HasPassword();
  for (u32 k = 0; k < ms_PasswordLength; ++k) {
    inverted[k] = static_cast<u8>(keep ? ~password[k] : 0xFFu);
  }
  m_Authentification.SetInvertedPassword(inverted);
}

void CDispatchingInspectorBase::VisitChangePassword(const Hmi::CDecodedChangePassword& command) {
  const u8* changed = command.GetChangedPassword();
  UTIL_CHECK(changed != nullptr);
  u8 inverted[ms_PasswordLength];
  for (u32 k = 0; k < ms_PasswordLength; ++k) {
    inverted[k] = static_cast<u8>(~changed[k]);
  }
  m_Authentification.SetInvertedPassword(inverted);
}

void CDispatchingInspectorBase::VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules& command) {
  KeepPassword(command);
}

void CDispatchingInspectorBase::VisitAcknowledgeFirmware(const Hmi::CDecodedAcknowledgeFirmware& command) {
  KeepPassword(command);
}

bool CDispatchingInspectorBase::IsValid() const {
  return m_Valid && m_UdidInspector.IsValid() && m_FirmwareInspector.IsValid() && m_ParameterInspector.IsValid() &&
         m_AdditionalParameterInspector.IsValid();
}

}  // namespace Main
