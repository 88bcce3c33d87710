// Event: the firmware acknowledged the key medium itself (information0 7).
#pragma once
#include "CDecodedAcknowledged.h"

namespace Event {

class CDecodedCorvaneAcknowledged : public CDecodedAcknowledged {
 public:
  static constexpr u16 ms_Information0 = 7;  ///< information0 that names the key medium

  CDecodedCorvaneAcknowledged();
  ~CDecodedCorvaneAcknowledged() override;

  void Accept(CDecodedEventVisitor& visitor) const override;

  /// An acknowledgement event with information0 7.
  static bool IsCorvaneAcknowledged(u8 length, const u8* event);
};

}  // namespace Event
