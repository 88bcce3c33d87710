// Decodes operator commands into one of its preallocated kinds. Nothing is
// allocated after construction; the result stays valid until the next call
// and while the caller's buffer is unchanged.
#pragma once
#include "CCommandDecoding.h"
#include "CDecodedAcknowledgeCorvane.h"
#include "CDecodedAcknowledgeFirmware.h"
#include "CDecodedAcknowledgeModules.h"
#include "CDecodedActivateSetupMode.h"
#include "CDecodedChangePassword.h"
#include "CDecodedDeactivateSetupMode.h"
#include "CDecodedRequestStatus.h"
#include "CDecodedUnknownCommand.h"

namespace Hmi {

class CCommandDecoder : public CCommandDecoding {
 public:
  CCommandDecoder();
  ~CCommandDecoder() override;

  CCommandDecoder(const CCommandDecoder&) = delete;
  CCommandDecoder& operator=(const CCommandDecoder&) = delete;

  /// First matching kind in table order, else the unknown command. Null
  /// 0xE200; shorter than 26 bytes 0xE2C6 (i1 length).
  const CDecodedCommand* GetDecodedCommand(u8 length, const u8* command) override;

 private:
  CDecodedChangePassword m_ChangePassword;            ///< data 0x5000
  CDecodedAcknowledgeCorvane m_AcknowledgeCorvane;    ///< data 0x0200
  CDecodedAcknowledgeModules m_AcknowledgeModules;    ///< data 0x0020 to 0x0060
  CDecodedAcknowledgeFirmware m_AcknowledgeFirmware;  ///< data 0x0100
  CDecodedRequestStatus m_RequestStatus;              ///< status request, data 0
  CDecodedActivateSetupMode m_ActivateSetupMode;      ///< data 0x9000
  CDecodedDeactivateSetupMode m_DeactivateSetupMode;  ///< data 0x9100
  CDecodedUnknownCommand m_Unknown;                   ///< any other command
};

}  // namespace Hmi
