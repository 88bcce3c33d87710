// Common base of the three events by which the firmware reports an
// acknowledgement it carried out itself (in setup mode or automatically).
#pragma once
#include "CDecodedEvent.h"

namespace Event {

class CDecodedAcknowledged : public CDecodedEvent {
 public:
  ~CDecodedAcknowledged() override;

  static constexpr u16 ScmSetupModeCode = 0xC094;  ///< low 16 bits of 0x6200C094: acknowledged in setup mode
  static constexpr u16 ScmAutomaticCode = 0xC095;  ///< low 16 bits of 0x6200C095: acknowledged automatically
  static constexpr u8 ms_InformationLevel = 1;     ///< level of the acknowledgement events

  /// Level 1 and a code whose low 16 bits are one of the two codes; the upper
  /// 16 bits are not looked at. Reads the level first and stops when it is not 1.
  static bool IsAcknowledged(u8 length, const u8* event);

 protected:
  CDecodedAcknowledged();
  /// IsAcknowledged and information0 equal to what.
  static bool IsAcknowledgedWhat(u8 length, const u8* event, u16 what);
};

}  // namespace Event
