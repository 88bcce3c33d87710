// An inspector that checks nothing: it only removes the four check-bit pairs
// from every sent frame, as the four checks do when all of them pass, so that
// the session's comparison holds and the relay runs end to end.
#pragma once
#include "CInspector.h"

namespace Main {

class CPassThroughInspector : public CInspector {
 public:
  /// The four check-bit pairs, in the order the checks remove them.
  static constexpr u8 ms_CheckBitMasks[] = {0x03, 0x0C, 0x30, 0xC0};

  CPassThroughInspector() = default;
  ~CPassThroughInspector() override = default;

  void InspectCommand(const Hmi::CDecodedCommand& command) override;
  void InspectEvent(const Event::CDecodedEvent& event) override;
  void InspectReceivedFrame(const Frame::CDecodedFrame& frame) override;
  /// XORs the buffer with each check-bit pair in turn; a null buffer throws 0xE200.
  void InspectSentFrame(const Frame::CDecodedFrame& frame, u16 length, u8* invertedFrame) override;
  bool IsValid() const override;

  /// XORs each of the first length bytes with mask; a null buffer throws 0xE200.
  static void InvertCheckBits(u16 length, u8* buffer, u8 mask);
};

}  // namespace Main
