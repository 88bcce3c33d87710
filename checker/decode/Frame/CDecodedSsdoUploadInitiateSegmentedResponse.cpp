#include "CDecodedSsdoUploadInitiateSegmentedResponse.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSsdoUploadInitiateSegmentedResponse::CDecodedSsdoUploadInitiateSegmentedResponse() = default;

CDecodedSsdoUploadInitiateSegmentedResponse::~CDecodedSsdoUploadInitiateSegmentedResponse() = default;

void CDecodedSsdoUploadInitiateSegmentedResponse::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSsdoUploadInitiateSegmentedResponse(*this); }

void CDecodedSsdoUploadInitiateSegmentedResponse::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSsdoUploadInitiateSegmentedResponse::IsDecodedSsdoUploadInitiateSegmentedResponse(u16 length, const u8* frame) {
  return (HasIdAndService(length, frame, ms_IdBasic) || HasIdAndService(length, frame, ms_IdSlim)) &&
         IsServiceOneOf(length, frame, {0x28, 0x2A});
}

u16 CDecodedSsdoUploadInitiateSegmentedResponse::GetIndex() const { return GetPayloadU16(ms_IndexDbOffset); }

u8 CDecodedSsdoUploadInitiateSegmentedResponse::GetSubIndex() const { return GetPayloadByte(ms_SubIndexDbOffset); }

const u8* CDecodedSsdoUploadInitiateSegmentedResponse::GetParameterData() const { return GetPayloadFrom(ms_PayloadDbOffset); }

u8 CDecodedSsdoUploadInitiateSegmentedResponse::GetParameterDataLength() const { return GetLengthFrom(ms_PayloadDbOffset); }

u16 CDecodedSsdoUploadInitiateSegmentedResponse::GetSafetyAddress() const { return GetTadr(); }

}  // namespace Frame
