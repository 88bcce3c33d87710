// Command: switch setup mode on (command 0x0100, data 0x9000).
#pragma once
#include "CDecodedCommand.h"

namespace Hmi {

class CDecodedActivateSetupMode : public CDecodedCommand {
 public:
  static constexpr u16 ms_Data = 0x9000;  ///< selection code

  CDecodedActivateSetupMode();
  ~CDecodedActivateSetupMode() override;

  void Accept(CDecodedCommandVisitor& visitor) const override;

  /// Type 3, then the command word, then data 0x9000.
  static bool IsActivateSetupMode(u8 length, const u8* command);
};

}  // namespace Hmi
