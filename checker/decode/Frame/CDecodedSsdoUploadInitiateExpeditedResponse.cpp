#include "CDecodedSsdoUploadInitiateExpeditedResponse.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSsdoUploadInitiateExpeditedResponse::CDecodedSsdoUploadInitiateExpeditedResponse() = default;

CDecodedSsdoUploadInitiateExpeditedResponse::~CDecodedSsdoUploadInitiateExpeditedResponse() = default;

void CDecodedSsdoUploadInitiateExpeditedResponse::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSsdoUploadInitiateExpeditedResponse(*this); }

void CDecodedSsdoUploadInitiateExpeditedResponse::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSsdoUploadInitiateExpeditedResponse::IsDecodedSsdoUploadInitiateExpeditedResponse(u16 length, const u8* frame) {
  return (HasIdAndService(length, frame, ms_IdBasic) || HasIdAndService(length, frame, ms_IdSlim)) &&
         IsServiceOneOf(length, frame, {0x20});
}

u16 CDecodedSsdoUploadInitiateExpeditedResponse::GetIndex() const { return GetPayloadU16(ms_IndexDbOffset); }

u8 CDecodedSsdoUploadInitiateExpeditedResponse::GetSubIndex() const { return GetPayloadByte(ms_SubIndexDbOffset); }

const u8* CDecodedSsdoUploadInitiateExpeditedResponse::GetParameterData() const { return GetPayloadFrom(ms_PayloadDbOffset); }

u8 CDecodedSsdoUploadInitiateExpeditedResponse::GetParameterDataLength() const { return GetLengthFrom(ms_PayloadDbOffset); }

u16 CDecodedSsdoUploadInitiateExpeditedResponse::GetSafetyAddress() const { return GetTadr(); }

}  // namespace Frame
