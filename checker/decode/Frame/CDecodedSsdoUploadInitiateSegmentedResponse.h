// SSDO response to a segmented upload initiate: id 0x39 or 0x3B, service byte 0x28, 0x2A.
#pragma once
#include "CDecodedFrame.h"

namespace Frame {

class CDecodedSsdoUploadInitiateSegmentedResponse : public CDecodedFrame {
 public:
  static constexpr u8 ms_IdBasic = 0x39;  ///< frame id (basic)
  static constexpr u8 ms_IdSlim = 0x3B;  ///< frame id (slim)
  static constexpr u8 ms_LeMin = 8;  ///< smallest LE: command, index, sub-index and the data size

  CDecodedSsdoUploadInitiateSegmentedResponse();
  ~CDecodedSsdoUploadInitiateSegmentedResponse() override;

  void Accept(CDecodedFrameVisitor& visitor) const override;
  /// Checks and binds the frame; an LE below ms_LeMin throws 0xE2BF.
  void Initialize(u16 length, const u8* frame, const u8* key);

  /// True for 0x39 or 0x3B with service byte 0x28, 0x2A (a service byte needs LE of at least 1).
  static bool IsDecodedSsdoUploadInitiateSegmentedResponse(u16 length, const u8* frame);

  /// Object index, u16 at payload bytes 1-2.
  u16 GetIndex() const;
  /// Sub-index, payload byte 3.
  u8 GetSubIndex() const;
  /// Parameter data from payload byte 4 to the end of the payload.
  const u8* GetParameterData() const;
  /// LE - 4.
  u8 GetParameterDataLength() const;
  /// The node's safety address: TADR.
  u16 GetSafetyAddress() const;
};

}  // namespace Frame
