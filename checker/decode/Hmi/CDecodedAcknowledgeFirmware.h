// Command: accept firmware differences (command 0x0100, data 0x0100).
#pragma once
#include "CDecodedCommand.h"

namespace Hmi {

class CDecodedAcknowledgeFirmware : public CDecodedCommand {
 public:
  static constexpr u16 ms_Data = 0x0100;  ///< selection code

  CDecodedAcknowledgeFirmware();
  ~CDecodedAcknowledgeFirmware() override;

  void Accept(CDecodedCommandVisitor& visitor) const override;

  /// Type 3, then the command word, then data 0x0100.
  static bool IsAcknowledgeFirmware(u8 length, const u8* command);
};

}  // namespace Hmi
