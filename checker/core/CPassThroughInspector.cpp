#include "CPassThroughInspector.h"

#include "CInternalError.h"

namespace Main {

void CPassThroughInspector::InspectCommand(const Hmi::CDecodedCommand&) {}

void CPassThroughInspector::InspectEvent(const Event::CDecodedEvent&) {}

void CPassThroughInspector::InspectReceivedFrame(const Frame::CDecodedFrame&) {}

void CPassThroughInspector::InspectSentFrame(const Frame::CDecodedFrame&, u16 length, u8* invertedFrame) {
  UTIL_CHECK(invertedFrame != nullptr);
  for (u8 mask : ms_CheckBitMasks) {
    for (u16 i = 0; i < length; ++i) {
      invertedFrame[i] = static_cast<u8>(invertedFrame[i] ^ mask);
    }
  }
}

bool CPassThroughInspector::IsValid() const { return true; }

}  // namespace Main
