// What the session hands every decoded message to before it relays it. For
// frames that the firmware sends, the inspector also removes its check bits
// from the complemented buffer, proving to the session that every check ran.
#pragma once
#include "ScmTypes.h"

namespace Frame {
class CDecodedFrame;
}
namespace Event {
class CDecodedEvent;
}
namespace Hmi {
class CDecodedCommand;
}

namespace Main {

class CInspector {
 public:
  virtual ~CInspector() = default;

  /// The postponed command, once the firmware's status response reported success.
  virtual void InspectCommand(const Hmi::CDecodedCommand& command) = 0;
  /// Every event from the firmware, after decoding.
  virtual void InspectEvent(const Event::CDecodedEvent& event) = 0;
  /// Every frame received from the network, after decoding.
  virtual void InspectReceivedFrame(const Frame::CDecodedFrame& frame) = 0;
  /// Every frame the firmware sends; invertedFrame holds it as it came, every byte complemented.
  virtual void InspectSentFrame(const Frame::CDecodedFrame& frame, u16 length, u8* invertedFrame) = 0;
  /// False for good once a check refused something.
  virtual bool IsValid() const = 0;
};

}  // namespace Main
