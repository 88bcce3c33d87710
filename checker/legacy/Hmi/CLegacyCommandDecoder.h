// The older build's command decoder: the five command kinds its firmware knows
// (no setup mode) and, since that firmware also accepts combined
// acknowledgement codes, those as a kind of their own. Nothing is allocated
// after construction; the result stays valid until the next call and while
// the caller's buffer is unchanged.
#pragma once
#include "CDecodedCombinedAcknowledgement.h"
#include "Hmi/CCommandDecoding.h"
#include "Hmi/CCommandKinds.h"
#include "Hmi/CDecodedUnknownCommand.h"

namespace Hmi {

class CLegacyCommandDecoder : public CCommandDecoding {
 public:
  CLegacyCommandDecoder();
  ~CLegacyCommandDecoder() override;

  CLegacyCommandDecoder(const CLegacyCommandDecoder&) = delete;
  CLegacyCommandDecoder& operator=(const CLegacyCommandDecoder&) = delete;

  /// Password change, key medium, modules, firmware, status request, combined
  /// acknowledgement, else the unknown command (0x9000 and 0x9100 among them).
  /// Null 0xE200; shorter than 26 bytes 0xE2C6 (i1 length).
  const CDecodedCommand* GetDecodedCommand(u8 length, const u8* command) override;

 private:
  CCommandKinds m_CommonKinds;                 ///< password change, acknowledgements, status request
  CDecodedCombinedAcknowledgement m_Combined;  ///< combined acknowledgement codes
  CDecodedUnknownCommand m_Unknown;            ///< any other command
};

}  // namespace Hmi
