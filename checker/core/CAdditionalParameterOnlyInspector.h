// The inspector of the program while the additional-parameter check is the
// only checking inspector: every frame goes to it, the three other check-bit
// pairs are removed as the pass-through inspector does, and the additional
// parameter pair only after that check returned, so that a refused download
// frame never matches the session's plain copy.
#pragma once
#include "CInspector.h"
#include "Check/CAdditionalParameterInspector.h"

namespace Main {

class CAdditionalParameterOnlyInspector : public CInspector {
 public:
  static constexpr u8 ms_OtherCheckBitMasks[] = {0x03, 0x0C, 0x30};  ///< pairs of the checks not run here
  static constexpr u8 ms_AdditionalParameterCheckBitMask = 0xC0;    ///< pair of the additional-parameter check

  explicit CAdditionalParameterOnlyInspector(Check::CAdditionalParameterInspector& additionalParameterInspector);
  ~CAdditionalParameterOnlyInspector() override = default;

  void InspectCommand(const Hmi::CDecodedCommand& command) override;
  void InspectEvent(const Event::CDecodedEvent& event) override;
  void InspectReceivedFrame(const Frame::CDecodedFrame& frame) override;
  /// Removes the other pairs, runs the check, then removes its pair; a null buffer throws 0xE200.
  void InspectSentFrame(const Frame::CDecodedFrame& frame, u16 length, u8* invertedFrame) override;
  /// The additional-parameter check's validity.
  bool IsValid() const override;

 private:
  Check::CAdditionalParameterInspector& m_AdditionalParameterInspector;  ///< the check, not owned
};

}  // namespace Main
