// The 52-byte new-format status response (answer to status request 0x5000);
// bit 0x10 of the u32 flags word at bytes 44-47 is the fail-safe mark.
#pragma once
#include "CDecodedResponse.h"

namespace Hmi {

class CDecodedStatusNew : public CDecodedResponse {
 public:
  static constexpr u16 ms_StatusNewLength = 52;  ///< bytes every operation needs
  static constexpr u16 ms_StatusRequest = 0x0200;  ///< class of the request
  static constexpr u16 ms_DataWord = 0x5000;     ///< code of the request, bytes 10-11
  static constexpr u8 ms_Version2 = 2;           ///< the record version the firmware writes, byte 12
  static constexpr u32 ms_DataWordOffset = 10;   ///< u16 code of the request
  static constexpr u32 ms_VersionOffset = 12;    ///< u8 record version
  static constexpr u32 ms_FlagsOffset = 44;      ///< u32 flags word
  static constexpr u32 ms_FailSafeFlag = 0x10;   ///< flags word: fail-safe

  CDecodedStatusNew();
  ~CDecodedStatusNew() override;

  void Accept(CDecodedResponseVisitor& visitor) override;

  /// At least 52 bytes (tested first), type 4, command 0x0200, data word 0x5000, version 2.
  static bool IsStatusNew(u16 length, const u8* response);

  /// The operations need 52 bytes, else 0xE2CA (i1 length); null 0xE200.
  u16 GetStatus() const;
  /// Status 0.
  bool IsSuccessful() const;
  /// Bit 0x10 of the flags word.
  bool GetFailSafeFlag() const;
  /// The fail-safe bit is clear.
  bool IsOk() const;
  /// Sets the fail-safe bit when the checker is in fail-safe; false leaves the word unchanged.
  void SetFailSafeFlag(bool checkerFailSafe);

 private:
  /// The flags word of the bound response.
  u32 GetFlags() const;
};

}  // namespace Hmi
