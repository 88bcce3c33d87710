// SNMT extended service: assign the UDID of the SCM: id 0x2C, service byte 0x0E.
#pragma once
#include "CDecodedFrame.h"

namespace Frame {

class CDecodedSnmtAssignUdidScm : public CDecodedFrame {
 public:
  static constexpr u8 ms_Id = 0x2C;  ///< frame id
  static constexpr u8 ms_LeMin = 7;  ///< smallest LE: service byte and the SCM UDID

  CDecodedSnmtAssignUdidScm();
  ~CDecodedSnmtAssignUdidScm() override;

  void Accept(CDecodedFrameVisitor& visitor) const override;
  /// Checks and binds the frame; an LE below ms_LeMin throws 0xE2BF.
  void Initialize(u16 length, const u8* frame, const u8* key);

  /// True for 0x2C with service byte 0x0E (a service byte needs LE of at least 1).
  static bool IsSnmtAssignUdidScm(u16 length, const u8* frame);

  /// The 6-byte SCM UDID at payload byte 1, inside the frame.
  const u8* GetScmUdid() const;
};

}  // namespace Frame
