// The check of additional parameter sets: every downloaded set's header must
// be one the key files name for that SADR and parameter number.
#pragma once

namespace Frame {
class CDecodedFrame;
}

namespace Check {

class CAdditionalParameterInspector {
 public:
  virtual ~CAdditionalParameterInspector() = default;

  /// Every frame received from the network, after decoding.
  virtual void InspectReceivedFrame(const Frame::CDecodedFrame& frame) = 0;
  /// Every frame the firmware sends, after decoding; a refused header throws.
  virtual void InspectSentFrame(const Frame::CDecodedFrame& frame) = 0;
  /// False for good once a header was refused.
  virtual bool IsValid() const = 0;
};

}  // namespace Check
