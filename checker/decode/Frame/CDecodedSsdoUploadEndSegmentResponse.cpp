#include "CDecodedSsdoUploadEndSegmentResponse.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSsdoUploadEndSegmentResponse::CDecodedSsdoUploadEndSegmentResponse() = default;

CDecodedSsdoUploadEndSegmentResponse::~CDecodedSsdoUploadEndSegmentResponse() = default;

void CDecodedSsdoUploadEndSegmentResponse::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSsdoUploadEndSegmentResponse(*this); }

void CDecodedSsdoUploadEndSegmentResponse::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSsdoUploadEndSegmentResponse::IsDecodedSsdoUploadEndSegmentResponse(u16 length, const u8* frame) {
  return (HasIdAndService(length, frame, ms_IdBasic) || HasIdAndService(length, frame, ms_IdSlim)) &&
         IsServiceOneOf(length, frame, {0x48, 0x58, 0x4A, 0x5A});
}

const u8* CDecodedSsdoUploadEndSegmentResponse::GetParameterData() const { return GetPayloadFrom(ms_SegmentDbOffset); }

u8 CDecodedSsdoUploadEndSegmentResponse::GetParameterDataLength() const { return GetLengthFrom(ms_SegmentDbOffset); }

u16 CDecodedSsdoUploadEndSegmentResponse::GetSafetyAddress() const { return GetTadr(); }

}  // namespace Frame
