// Command: change the password (command 0x0100, data 0x5000).
#pragma once
#include "CDecodedCommand.h"

namespace Hmi {

class CDecodedChangePassword : public CDecodedCommand {
 public:
  static constexpr u16 ms_Data = 0x5000;  ///< selection code
  static constexpr u32 ms_ChangedPasswordOffset = 26;  ///< the 16 new password bytes

  CDecodedChangePassword();
  ~CDecodedChangePassword() override;

  void Accept(CDecodedCommandVisitor& visitor) const override;

  /// Type 3, then the command word, then data 0x5000.
  static bool IsChangePassword(u8 length, const u8* command);

  /// The 16 new password bytes: length 41 or less 0xE2C6 (i1 length).
  const u8* GetChangedPassword() const;
  static const u8* GetChangedPassword(u8 length, const u8* command);
};

}  // namespace Hmi
