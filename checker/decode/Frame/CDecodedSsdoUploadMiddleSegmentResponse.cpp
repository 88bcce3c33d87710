#include "CDecodedSsdoUploadMiddleSegmentResponse.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSsdoUploadMiddleSegmentResponse::CDecodedSsdoUploadMiddleSegmentResponse() = default;

CDecodedSsdoUploadMiddleSegmentResponse::~CDecodedSsdoUploadMiddleSegmentResponse() = default;

void CDecodedSsdoUploadMiddleSegmentResponse::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSsdoUploadMiddleSegmentResponse(*this); }

void CDecodedSsdoUploadMiddleSegmentResponse::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSsdoUploadMiddleSegmentResponse::IsDecodedSsdoUploadMiddleSegmentResponse(u16 length, const u8* frame) {
  return (HasIdAndService(length, frame, ms_IdBasic) || HasIdAndService(length, frame, ms_IdSlim)) &&
         IsServiceOneOf(length, frame, {0x08, 0x18, 0x0A, 0x1A});
}

const u8* CDecodedSsdoUploadMiddleSegmentResponse::GetParameterData() const { return GetPayloadFrom(ms_SegmentDbOffset); }

u8 CDecodedSsdoUploadMiddleSegmentResponse::GetParameterDataLength() const { return GetLengthFrom(ms_SegmentDbOffset); }

u16 CDecodedSsdoUploadMiddleSegmentResponse::GetSafetyAddress() const { return GetTadr(); }

}  // namespace Frame
