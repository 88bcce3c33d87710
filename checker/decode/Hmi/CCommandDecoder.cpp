#include "CCommandDecoder.h"

namespace Hmi {

CCommandDecoder::CCommandDecoder() = default;

CCommandDecoder::~CCommandDecoder() = default;

const CDecodedCommand* CCommandDecoder::GetDecodedCommand(u8 length, const u8* command) {
  CDecodedCommand* chosen = &m_Unknown;
  if (CDecodedChangePassword::IsChangePassword(length, command)) {
    chosen = &m_ChangePassword;
  } else if (CDecodedAcknowledgeCorvane::IsAcknowledgeCorvane(length, command)) {
    chosen = &m_AcknowledgeCorvane;
  } else if (CDecodedAcknowledgeModules::IsAcknowledgeModules(length, command)) {
    chosen = &m_AcknowledgeModules;
  } else if (CDecodedAcknowledgeFirmware::IsAcknowledgeFirmware(length, command)) {
    chosen = &m_AcknowledgeFirmware;
  } else if (CDecodedRequestStatus::IsRequestStatus(length, command)) {
    chosen = &m_RequestStatus;
  } else if (CDecodedActivateSetupMode::IsActivateSetupMode(length, command)) {
    chosen = &m_ActivateSetupMode;
  } else if (CDecodedDeactivateSetupMode::IsDeactivateSetupMode(length, command)) {
    chosen = &m_DeactivateSetupMode;
  }
  chosen->Initialize(length, command);
  return chosen;
}

}  // namespace Hmi
