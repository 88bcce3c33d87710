// The classic 280-byte status response; byte 23 carries the fail-safe marks
// the host sees: 0x55 sound, 2 firmware fail-safe, 4 checker fail-safe, 6 both.
#pragma once
#include "CDecodedResponse.h"

namespace Hmi {

class CDecodedStatus : public CDecodedResponse {
 public:
  static constexpr u16 ms_StatusLength = 280;      ///< bytes every operation needs
  static constexpr u32 ms_FailSafeOffset = 23;     ///< the fail-safe byte
  static constexpr u8 ms_Ok = 0x55;                ///< no fail-safe
  static constexpr u8 ms_ScmFailSafeFlag = 2;      ///< the firmware reports fail-safe
  static constexpr u8 ms_CheckerFailSafeFlag = 4;  ///< the checker is in fail-safe

  CDecodedStatus();
  ~CDecodedStatus() override;

  void Accept(CDecodedResponseVisitor& visitor) override;

  /// At least 280 bytes (tested before anything is read) and type 4.
  static bool IsStatus(u16 length, const u8* response);

  /// The operations need 280 bytes, else 0xE2CA (i1 length); null 0xE200.
  u16 GetStatus() const;
  /// Status 0.
  bool IsSuccessful() const;
  /// Byte 23.
  u8 GetFailSafeFlags() const;
  /// Byte 23 is 0x55.
  bool IsOk() const;
  /// Rewrites byte 23 from the value the firmware wrote: 0x55 stays 0x55 (4
  /// in checker fail-safe); any other value becomes 2 (6 in checker
  /// fail-safe). Marking the same response again starts from the firmware's
  /// value too, never from an earlier mark.
  void SetFailSafeFlags(bool checkerFailSafe);
  /// Writes byte 23 from the firmware's verdict ok and the checker's health:
  /// (ok, healthy) 0x55, (ok, not) 4, (not ok, healthy) 2, (neither) 6.
  void SetFailSafeFlags(bool ok, bool checkerHealthy);

 private:
  u32 m_MarkedBinding = 0;  ///< binding whose firmware byte is kept below; 0 none (bindings count from 1)
  u8 m_FirmwareFlags = 0;   ///< byte 23 as the firmware wrote it into that binding's response
};

}  // namespace Hmi
