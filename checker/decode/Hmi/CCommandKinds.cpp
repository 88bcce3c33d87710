#include "CCommandKinds.h"

namespace Hmi {

CCommandKinds::CCommandKinds() = default;

CCommandKinds::~CCommandKinds() = default;

CDecodedCommand* CCommandKinds::Recognize(u8 length, const u8* command) {
  if (CDecodedChangePassword::IsChangePassword(length, command)) {
    return &m_ChangePassword;
  }
  if (CDecodedAcknowledgeCorvane::IsAcknowledgeCorvane(length, command)) {
    return &m_AcknowledgeCorvane;
  }
  if (CDecodedAcknowledgeModules::IsAcknowledgeModules(length, command)) {
    return &m_AcknowledgeModules;
  }
  if (CDecodedAcknowledgeFirmware::IsAcknowledgeFirmware(length, command)) {
    return &m_AcknowledgeFirmware;
  }
  if (CDecodedRequestStatus::IsRequestStatus(length, command)) {
    return &m_RequestStatus;
  }
  return nullptr;
}

}  // namespace Hmi
