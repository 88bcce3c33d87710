// The command kinds every build's firmware knows, as one set of preallocated
// decoded objects with their recognizers in table order: password change,
// key-medium acknowledgement, modules, firmware, status request. Each build's
// command decoder asks them first and adds its own kinds.
#pragma once
#include "CDecodedAcknowledgeCorvane.h"
#include "CDecodedAcknowledgeFirmware.h"
#include "CDecodedAcknowledgeModules.h"
#include "CDecodedChangePassword.h"
#include "CDecodedRequestStatus.h"

namespace Hmi {

class CCommandKinds {
 public:
  CCommandKinds();
  ~CCommandKinds();

  CCommandKinds(const CCommandKinds&) = delete;
  CCommandKinds& operator=(const CCommandKinds&) = delete;

  /// The first of the five kinds whose recognizer holds, not yet bound; null when none.
  /// Null 0xE200; shorter than 26 bytes 0xE2C6 (i1 length).
  CDecodedCommand* Recognize(u8 length, const u8* command);

 private:
  CDecodedChangePassword m_ChangePassword;            ///< data 0x5000
  CDecodedAcknowledgeCorvane m_AcknowledgeCorvane;    ///< data 0x0200
  CDecodedAcknowledgeModules m_AcknowledgeModules;    ///< data 0x0020 to 0x0060
  CDecodedAcknowledgeFirmware m_AcknowledgeFirmware;  ///< data 0x0100
  CDecodedRequestStatus m_RequestStatus;              ///< status request
};

}  // namespace Hmi
