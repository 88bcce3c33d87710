// SNMT extended service: set the node to operational: id 0x2C, service byte 0x02.
#pragma once
#include "CDecodedFrame.h"

namespace Frame {

class CDecodedSnmtSnSetToOp : public CDecodedFrame {
 public:
  static constexpr u8 ms_Id = 0x2C;  ///< frame id
  static constexpr u8 ms_LeMin = 1;  ///< smallest LE: the service byte

  CDecodedSnmtSnSetToOp();
  ~CDecodedSnmtSnSetToOp() override;

  void Accept(CDecodedFrameVisitor& visitor) const override;
  /// Checks and binds the frame; an LE below ms_LeMin throws 0xE2BF.
  void Initialize(u16 length, const u8* frame, const u8* key);

  /// True for 0x2C with service byte 0x02 (a service byte needs LE of at least 1).
  static bool IsSnmtSnSetToOp(u16 length, const u8* frame);

  /// The node's safety address: ADR.
  u16 GetSafetyAddress() const;
};

}  // namespace Frame
