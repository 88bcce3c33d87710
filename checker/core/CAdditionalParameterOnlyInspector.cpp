#include "CAdditionalParameterOnlyInspector.h"

#include "CInternalError.h"
#include "CPassThroughInspector.h"

namespace Main {

CAdditionalParameterOnlyInspector::CAdditionalParameterOnlyInspector(
    Check::CAdditionalParameterInspector& additionalParameterInspector)
    : m_AdditionalParameterInspector(additionalParameterInspector) {}

void CAdditionalParameterOnlyInspector::InspectCommand(const Hmi::CDecodedCommand&) {}

void CAdditionalParameterOnlyInspector::InspectEvent(const Event::CDecodedEvent&) {}

void CAdditionalParameterOnlyInspector::InspectReceivedFrame(const Frame::CDecodedFrame& frame) {
  m_AdditionalParameterInspector.InspectReceivedFrame(frame);
}

void CAdditionalParameterOnlyInspector::InspectSentFrame(const Frame::CDecodedFrame& frame, u16 length,
                                                         u8* invertedFrame) {
  UTIL_CHECK(invertedFrame != nullptr);
  for (u8 mask : ms_OtherCheckBitMasks) {
    CPassThroughInspector::InvertCheckBits(length, invertedFrame, mask);
  }
  m_AdditionalParameterInspector.InspectSentFrame(frame);
  CPassThroughInspector::InvertCheckBits(length, invertedFrame, ms_AdditionalParameterCheckBitMask);
}

bool CAdditionalParameterOnlyInspector::IsValid() const { return m_AdditionalParameterInspector.IsValid(); }

}  // namespace Main
