// Decodes operator commands into one of its preallocated kinds. Nothing is
// allocated after construction; the result stays valid until the next call
// and while the caller's buffer is unchanged.
#pragma once
#include "CCommandDecoding.h"
#include "CCommandKinds.h"
#include "CDecodedActivateSetupMode.h"
#include "CDecodedDeactivateSetupMode.h"
#include "CDecodedUnknownCommand.h"

namespace Hmi {

class CCommandDecoder : public CCommandDecoding {
 public:
  CCommandDecoder();
  ~CCommandDecoder() override;

  CCommandDecoder(const CCommandDecoder&) = delete;
  CCommandDecoder& operator=(const CCommandDecoder&) = delete;

  /// First matching kind in table order (the five common kinds, then setup mode on and
  /// off), else the unknown command. Null 0xE200; shorter than 26 bytes 0xE2C6 (i1 length).
  const CDecodedCommand* GetDecodedCommand(u8 length, const u8* command) override;

 private:
  CCommandKinds m_CommonKinds;                        ///< password change, acknowledgements, status request
  CDecodedActivateSetupMode m_ActivateSetupMode;      ///< data 0x9000
  CDecodedDeactivateSetupMode m_DeactivateSetupMode;  ///< data 0x9100
  CDecodedUnknownCommand m_Unknown;                   ///< any other command
};

}  // namespace Hmi
