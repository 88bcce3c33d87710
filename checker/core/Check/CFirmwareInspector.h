// The firmware-version check as the dispatching inspector sees it.
#pragma once

namespace Frame {
class CDecodedFrame;
}
namespace Event {
class CDecodedEvent;
}
namespace Hmi {
class CDecodedCommand;
}

namespace Check {

class CFirmwareInspector {
 public:
  virtual ~CFirmwareInspector() = default;

  /// An operator command whose password was valid and whose status reported success.
  virtual void InspectCommand(const Hmi::CDecodedCommand& command) = 0;
  /// An event from the firmware.
  virtual void InspectEvent(const Event::CDecodedEvent& event) = 0;
  /// A frame received from the network.
  virtual void InspectReceivedFrame(const Frame::CDecodedFrame& frame) = 0;
  /// A frame the firmware sends.
  virtual void InspectSentFrame(const Frame::CDecodedFrame& frame) = 0;
  /// False for good after a refused set-to-operational frame.
  virtual bool IsValid() const = 0;
};

}  // namespace Check
