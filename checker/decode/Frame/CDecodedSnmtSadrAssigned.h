// SNMT SADR assigned response of a node: id 0x2B, any service byte.
#pragma once
#include "CDecodedFrame.h"

namespace Frame {

class CDecodedSnmtSadrAssigned : public CDecodedFrame {
 public:
  static constexpr u8 ms_Id = 0x2B;  ///< frame id
  static constexpr u8 ms_LeMin = 6;  ///< smallest LE: the UDID

  CDecodedSnmtSadrAssigned();
  ~CDecodedSnmtSadrAssigned() override;

  void Accept(CDecodedFrameVisitor& visitor) const override;
  /// Checks and binds the frame; an LE below ms_LeMin throws 0xE2BF.
  void Initialize(u16 length, const u8* frame, const u8* key);

  /// True for 0x2B with any service byte (a service byte needs LE of at least 1).
  static bool IsSnmtSadrAssigned(u16 length, const u8* frame);

  /// The 6-byte UDID at payload byte 0, inside the frame.
  const u8* GetUdid() const;
  /// The node's safety address: TADR.
  u16 GetSafetyAddress() const;
};

}  // namespace Frame
