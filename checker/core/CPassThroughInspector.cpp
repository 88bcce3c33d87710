#include "CPassThroughInspector.h"

#include "CInternalError.h"

namespace Main {

void CPassThroughInspector::InspectCommand(const Hmi::CDecodedCommand&) {}

void CPassThroughInspector::InspectEvent(const Event::CDecodedEvent&) {}

void CPassThroughInspector::InspectReceivedFrame(const Frame::CDecodedFrame&) {}

void CPassThroughInspector::InspectSentFrame(const Frame::CDecodedFrame&, u16 length, u8* invertedFrame) {
  for (u8 mask : ms_CheckBitMasks) {
    InvertCheckBits(length, invertedFrame, mask);
  }
}

void CPassThroughInspector::InvertCheckBits(u16 length, u8* buffer, u8 mask) {
  UTIL_CHECK(buffer != nullptr);
  for (u16 i = 0; i < length; ++i) {
    buffer[i] = static_cast<u8>(buffer[i] ^ mask);
  }
}

bool CPassThroughInspector::IsValid() const { return true; }

}  // namespace Main
