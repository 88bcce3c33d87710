// SSDO upload end segment: id 0x39 or 0x3B, service byte 0x48, 0x58, 0x4A, 0x5A.
#pragma once
#include "CDecodedFrame.h"

namespace Frame {

class CDecodedSsdoUploadEndSegmentResponse : public CDecodedFrame {
 public:
  static constexpr u8 ms_IdBasic = 0x39;  ///< frame id (basic)
  static constexpr u8 ms_IdSlim = 0x3B;  ///< frame id (slim)
  static constexpr u8 ms_LeMin = 1;  ///< smallest LE: the command

  CDecodedSsdoUploadEndSegmentResponse();
  ~CDecodedSsdoUploadEndSegmentResponse() override;

  void Accept(CDecodedFrameVisitor& visitor) const override;
  /// Checks and binds the frame; an LE below ms_LeMin throws 0xE2BF.
  void Initialize(u16 length, const u8* frame, const u8* key);

  /// True for 0x39 or 0x3B with service byte 0x48, 0x58, 0x4A, 0x5A (a service byte needs LE of at least 1).
  static bool IsDecodedSsdoUploadEndSegmentResponse(u16 length, const u8* frame);

  /// Segment data from payload byte 1 to the end of the payload.
  const u8* GetParameterData() const;
  /// LE - 1.
  u8 GetParameterDataLength() const;
  /// The node's safety address: TADR.
  u16 GetSafetyAddress() const;
};

}  // namespace Frame
