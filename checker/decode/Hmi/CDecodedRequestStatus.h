// Command: status request for the status record (command 0x0200, data 0x0000).
#pragma once
#include "CDecodedCommand.h"

namespace Hmi {

class CDecodedRequestStatus : public CDecodedCommand {
 public:
  static constexpr u16 ms_Data = 0x0000;  ///< selection code

  CDecodedRequestStatus();
  ~CDecodedRequestStatus() override;

  void Accept(CDecodedCommandVisitor& visitor) const override;

  /// Type 3, then the command word, then data 0x0000.
  static bool IsRequestStatus(u8 length, const u8* command);
};

}  // namespace Hmi
