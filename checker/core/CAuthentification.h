// The operator password, held and compared complemented only.
#pragma once
#include "ScmTypes.h"

namespace Main {

class CAuthentification {
 public:
  /// Bytes of a password.
  static constexpr u32 ms_PasswordLength = 16;

  virtual ~CAuthentification() = default;

  /// True when a password is stored.
  virtual bool HasPassword() const = 0;
  /// True when the 16 complemented bytes equal the stored password, or when none is stored;
  /// a null pointer throws 0xE200.
  virtual bool IsValidInvertedPassword(const u8* invertedPassword) const = 0;
  /// Stores the 16 complemented bytes as the password; a null pointer throws 0xE200.
  virtual void SetInvertedPassword(const u8* invertedPassword) = 0;
};

}  // namespace Main
