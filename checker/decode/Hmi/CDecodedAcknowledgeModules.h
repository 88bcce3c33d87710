// Command: accept exchanged modules (command 0x0100, data 0x0020, 0x0030, 0x0040, 0x0050, 0x0060).
#pragma once
#include "CDecodedCommand.h"

namespace Hmi {

class CDecodedAcknowledgeModules : public CDecodedCommand {
 public:

  CDecodedAcknowledgeModules();
  ~CDecodedAcknowledgeModules() override;

  void Accept(CDecodedCommandVisitor& visitor) const override;

  /// Type 3, then the command word, then data 0x0020, 0x0030, 0x0040, 0x0050, 0x0060.
  static bool IsAcknowledgeModules(u8 length, const u8* command);

  /// Modules acknowledged: data 0x0020 gives 5 (all), 0x0030 4, 0x0040 3,
  /// 0x0050 2, 0x0060 1; any other data throws 0xE200.
  u32 GetAcknowledgedModuleCount() const;
};

}  // namespace Hmi
