// SSDO upload middle segment: id 0x39 or 0x3B, service byte 0x08, 0x18, 0x0A, 0x1A.
#pragma once
#include "CDecodedFrame.h"

namespace Frame {

class CDecodedSsdoUploadMiddleSegmentResponse : public CDecodedFrame {
 public:
  static constexpr u8 ms_IdBasic = 0x39;  ///< frame id (basic)
  static constexpr u8 ms_IdSlim = 0x3B;  ///< frame id (slim)
  static constexpr u8 ms_LeMin = 1;  ///< smallest LE: the command

  CDecodedSsdoUploadMiddleSegmentResponse();
  ~CDecodedSsdoUploadMiddleSegmentResponse() override;

  void Accept(CDecodedFrameVisitor& visitor) const override;
  /// Checks and binds the frame; an LE below ms_LeMin throws 0xE2BF.
  void Initialize(u16 length, const u8* frame, const u8* key);

  /// True for 0x39 or 0x3B with service byte 0x08, 0x18, 0x0A, 0x1A (a service byte needs LE of at least 1).
  static bool IsDecodedSsdoUploadMiddleSegmentResponse(u16 length, const u8* frame);

  /// Segment data from payload byte 1 to the end of the payload.
  const u8* GetParameterData() const;
  /// LE - 1.
  u8 GetParameterDataLength() const;
  /// The node's safety address: TADR.
  u16 GetSafetyAddress() const;
};

}  // namespace Frame
