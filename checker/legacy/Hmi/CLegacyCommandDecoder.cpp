#include "CLegacyCommandDecoder.h"

namespace Hmi {

CLegacyCommandDecoder::CLegacyCommandDecoder() = default;

CLegacyCommandDecoder::~CLegacyCommandDecoder() = default;

const CDecodedCommand* CLegacyCommandDecoder::GetDecodedCommand(u8 length, const u8* command) {
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
  } else if (CDecodedCombinedAcknowledgement::IsCombinedAcknowledgement(length, command)) {
    chosen = &m_Combined;
  }
  chosen->Initialize(length, command);
  return chosen;
}

}  // namespace Hmi
