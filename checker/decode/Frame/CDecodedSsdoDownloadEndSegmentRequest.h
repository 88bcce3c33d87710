// SSDO download end segment: id 0x38 or 0x3A, service byte 0x49, 0x59, 0x4B, 0x5B.
#pragma once
#include "CDecodedFrame.h"

namespace Frame {

class CDecodedSsdoDownloadEndSegmentRequest : public CDecodedFrame {
 public:
  static constexpr u8 ms_IdBasic = 0x38;  ///< frame id (basic)
  static constexpr u8 ms_IdSlim = 0x3A;  ///< frame id (slim)
  static constexpr u8 ms_LeMin = 1;  ///< smallest LE: the command

  CDecodedSsdoDownloadEndSegmentRequest();
  ~CDecodedSsdoDownloadEndSegmentRequest() override;

  void Accept(CDecodedFrameVisitor& visitor) const override;
  /// Checks and binds the frame; an LE below ms_LeMin throws 0xE2BF.
  void Initialize(u16 length, const u8* frame, const u8* key);

  /// True for 0x38 or 0x3A with service byte 0x49, 0x59, 0x4B, 0x5B (a service byte needs LE of at least 1).
  static bool IsDecodedSsdoDownloadEndSegmentRequest(u16 length, const u8* frame);

  /// Segment data from payload byte 1 to the end of the payload.
  const u8* GetParameterData() const;
  /// LE - 1.
  u8 GetParameterDataLength() const;
  /// The node's safety address: ADR.
  u16 GetSafetyAddress() const;
};

}  // namespace Frame
