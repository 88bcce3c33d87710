// The parameter-checksum check as the dispatching inspector sees it.
#pragma once

namespace Frame {
class CDecodedFrame;
}

namespace Check {

class CParameterInspector {
 public:
  virtual ~CParameterInspector() = default;

  /// A frame received from the network.
  virtual void InspectReceivedFrame(const Frame::CDecodedFrame& frame) = 0;
  /// A frame the firmware sends.
  virtual void InspectSentFrame(const Frame::CDecodedFrame& frame) = 0;
  /// False for good after a refused set-to-operational frame.
  virtual bool IsValid() const = 0;
};

}  // namespace Check
