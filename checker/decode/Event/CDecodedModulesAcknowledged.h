// Event: the firmware acknowledged the modules itself (information0 8).
#pragma once
#include "CDecodedAcknowledged.h"

namespace Event {

class CDecodedModulesAcknowledged : public CDecodedAcknowledged {
 public:
  static constexpr u16 ms_Information0 = 8;  ///< information0 that names the modules

  CDecodedModulesAcknowledged();
  ~CDecodedModulesAcknowledged() override;

  void Accept(CDecodedEventVisitor& visitor) const override;

  /// An acknowledgement event with information0 8.
  static bool IsModulesAcknowledged(u8 length, const u8* event);

  /// The number of acknowledged modules: information1.
  u32 GetAcknowledgedModuleCount() const;
};

}  // namespace Event
