// Command: switch setup mode off (command 0x0100, data 0x9100).
#pragma once
#include "CDecodedCommand.h"

namespace Hmi {

class CDecodedDeactivateSetupMode : public CDecodedCommand {
 public:
  static constexpr u16 ms_Data = 0x9100;  ///< selection code

  CDecodedDeactivateSetupMode();
  ~CDecodedDeactivateSetupMode() override;

  void Accept(CDecodedCommandVisitor& visitor) const override;

  /// Type 3, then the command word, then data 0x9100.
  static bool IsDeactivateSetupMode(u8 length, const u8* command);
};

}  // namespace Hmi
