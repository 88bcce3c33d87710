#include "CDecodedSsdoDownloadMiddleSegmentRequest.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSsdoDownloadMiddleSegmentRequest::CDecodedSsdoDownloadMiddleSegmentRequest() = default;

CDecodedSsdoDownloadMiddleSegmentRequest::~CDecodedSsdoDownloadMiddleSegmentRequest() = default;

void CDecodedSsdoDownloadMiddleSegmentRequest::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSsdoDownloadMiddleSegmentRequest(*this); }

void CDecodedSsdoDownloadMiddleSegmentRequest::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSsdoDownloadMiddleSegmentRequest::IsDecodedSsdoDownloadMiddleSegmentRequest(u16 length, const u8* frame) {
  return (HasIdAndService(length, frame, ms_IdBasic) || HasIdAndService(length, frame, ms_IdSlim)) &&
         IsServiceOneOf(length, frame, {0x09, 0x19, 0x0B, 0x1B});
}

const u8* CDecodedSsdoDownloadMiddleSegmentRequest::GetParameterData() const { return GetPayloadFrom(ms_SegmentDbOffset); }

u8 CDecodedSsdoDownloadMiddleSegmentRequest::GetParameterDataLength() const { return GetLengthFrom(ms_SegmentDbOffset); }

u16 CDecodedSsdoDownloadMiddleSegmentRequest::GetSafetyAddress() const { return GetAdr(); }

}  // namespace Frame
