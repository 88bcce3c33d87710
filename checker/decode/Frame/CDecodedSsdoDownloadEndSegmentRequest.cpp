#include "CDecodedSsdoDownloadEndSegmentRequest.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSsdoDownloadEndSegmentRequest::CDecodedSsdoDownloadEndSegmentRequest() = default;

CDecodedSsdoDownloadEndSegmentRequest::~CDecodedSsdoDownloadEndSegmentRequest() = default;

void CDecodedSsdoDownloadEndSegmentRequest::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSsdoDownloadEndSegmentRequest(*this); }

void CDecodedSsdoDownloadEndSegmentRequest::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSsdoDownloadEndSegmentRequest::IsDecodedSsdoDownloadEndSegmentRequest(u16 length, const u8* frame) {
  return (HasIdAndService(length, frame, ms_IdBasic) || HasIdAndService(length, frame, ms_IdSlim)) &&
         IsServiceOneOf(length, frame, {0x49, 0x59, 0x4B, 0x5B});
}

const u8* CDecodedSsdoDownloadEndSegmentRequest::GetParameterData() const { return GetPayloadFrom(ms_SegmentDbOffset); }

u8 CDecodedSsdoDownloadEndSegmentRequest::GetParameterDataLength() const { return GetLengthFrom(ms_SegmentDbOffset); }

u16 CDecodedSsdoDownloadEndSegmentRequest::GetSafetyAddress() const { return GetAdr(); }

}  // namespace Frame
