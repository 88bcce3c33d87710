// Command: accept the changed key medium (command 0x0100, data 0x0200).
#pragma once
#include "CDecodedCommand.h"

namespace Hmi {

class CDecodedAcknowledgeCorvane : public CDecodedCommand {
 public:
  static constexpr u16 ms_Data = 0x0200;  ///< selection code

  CDecodedAcknowledgeCorvane();
  ~CDecodedAcknowledgeCorvane() override;

  void Accept(CDecodedCommandVisitor& visitor) const override;

  /// Type 3, then the command word, then data 0x0200.
  static bool IsAcknowledgeCorvane(u8 length, const u8* command);
};

}  // namespace Hmi
