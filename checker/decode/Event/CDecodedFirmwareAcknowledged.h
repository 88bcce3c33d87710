// Event: the firmware acknowledged the firmware itself (information0 9).
#pragma once
#include "CDecodedAcknowledged.h"

namespace Event {

class CDecodedFirmwareAcknowledged : public CDecodedAcknowledged {
 public:
  static constexpr u16 ms_Information0 = 9;  ///< information0 that names the firmware

  CDecodedFirmwareAcknowledged();
  ~CDecodedFirmwareAcknowledged() override;

  void Accept(CDecodedEventVisitor& visitor) const override;

  /// An acknowledgement event with information0 9.
  static bool IsFirmwareAcknowledged(u8 length, const u8* event);
};

}  // namespace Event
