// SNMT extended service response: the node reports a failure: id 0x2D, service byte 0x07.
#pragma once
#include "CDecodedFrame.h"

namespace Frame {

class CDecodedSnmtSnFail : public CDecodedFrame {
 public:
  static constexpr u8 ms_Id = 0x2D;  ///< frame id
  static constexpr u8 ms_LeMin = 3;  ///< smallest LE: service byte, error group and code

  CDecodedSnmtSnFail();
  ~CDecodedSnmtSnFail() override;

  void Accept(CDecodedFrameVisitor& visitor) const override;
  /// Checks and binds the frame; an LE below ms_LeMin throws 0xE2BF.
  void Initialize(u16 length, const u8* frame, const u8* key);

  /// True for 0x2D with service byte 0x07 (a service byte needs LE of at least 1).
  static bool IsSnmtSnFail(u16 length, const u8* frame);

  /// Payload byte 1.
  u8 GetErrorGroup() const;
  /// Payload byte 2.
  u8 GetErrorCode() const;
  /// The node's safety address: TADR.
  u16 GetSafetyAddress() const;
};

}  // namespace Frame
