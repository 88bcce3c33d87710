// Command: an enter command (0x0100) whose data combines acknowledgements the
// older firmware accepts in one code: the key medium (0x0200), the firmware
// (0x0100) and exchanged modules (0x0020-0x0060 in the 0xF0 part). The
// firmware acknowledges the parts in this order; the older inspector applies
// them as single commands with the same password.
#pragma once
#include "Hmi/CDecodedCommand.h"

namespace Hmi {

class CDecodedCombinedAcknowledgement : public CDecodedCommand {
 public:
  static constexpr u16 ms_PartBits = 0x03F0;      ///< bits that name parts
  static constexpr u16 ms_ForeignBits = 0xFC0F;   ///< bits no combined code has
  static constexpr u16 ms_CorvanePart = 0x0200;   ///< key-medium part
  static constexpr u16 ms_FirmwarePart = 0x0100;  ///< firmware part
  static constexpr u16 ms_ModulesMask = 0x00F0;   ///< modules part (0 or 0x20 to 0x60)
  static constexpr u32 ms_DataOffset = 8;         ///< bytes 8-9: the data word

  CDecodedCombinedAcknowledgement();
  ~CDecodedCombinedAcknowledgement() override;

  /// Visits nothing: the shared command visitors know only single commands.
  void Accept(CDecodedCommandVisitor& visitor) const override;

  /// A data word with a part bit, no foreign bit, a modules part of 0 or 0x20
  /// to 0x60, and not itself a single acknowledgement.
  static bool IsCombinedCode(u16 data);
  /// Type 3, enter command, combined data.
  static bool IsCombinedAcknowledgement(u8 length, const u8* command);

  /// Copies the bound command (at most capacity bytes) into target with the data
  /// word replaced by partData; returns the bytes written (capacity too small or
  /// null target: 0xE200).
  u8 CopyAsPart(u16 partData, u8 capacity, u8* target) const;
};

}  // namespace Hmi
