// SSDO segmented download initiate request: id 0x38 or 0x3A, service byte 0x29, 0x2B.
#pragma once
#include "CDecodedFrame.h"

namespace Frame {

class CDecodedSsdoDownloadInitiateSegmentedRequest : public CDecodedFrame {
 public:
  static constexpr u8 ms_IdBasic = 0x38;  ///< frame id (basic)
  static constexpr u8 ms_IdSlim = 0x3A;  ///< frame id (slim)
  static constexpr u8 ms_LeMin = 8;  ///< smallest LE: command, index, sub-index and the data size

  CDecodedSsdoDownloadInitiateSegmentedRequest();
  ~CDecodedSsdoDownloadInitiateSegmentedRequest() override;

  void Accept(CDecodedFrameVisitor& visitor) const override;
  /// Checks and binds the frame; an LE below ms_LeMin throws 0xE2BF.
  void Initialize(u16 length, const u8* frame, const u8* key);

  /// True for 0x38 or 0x3A with service byte 0x29, 0x2B (a service byte needs LE of at least 1).
  static bool IsDecodedSsdoDownloadInitiateSegmentedRequest(u16 length, const u8* frame);

  /// Object index, u16 at payload bytes 1-2.
  u16 GetIndex() const;
  /// Sub-index, payload byte 3.
  u8 GetSubIndex() const;
  /// Parameter data from payload byte 4 to the end of the payload.
  const u8* GetParameterData() const;
  /// LE - 4.
  u8 GetParameterDataLength() const;
  /// The node's safety address: ADR.
  u16 GetSafetyAddress() const;
};

}  // namespace Frame
