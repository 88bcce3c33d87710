#include "CDecodedSsdoDownloadInitiateExpeditedRequest.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSsdoDownloadInitiateExpeditedRequest::CDecodedSsdoDownloadInitiateExpeditedRequest() = default;

CDecodedSsdoDownloadInitiateExpeditedRequest::~CDecodedSsdoDownloadInitiateExpeditedRequest() = default;

void CDecodedSsdoDownloadInitiateExpeditedRequest::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSsdoDownloadInitiateExpeditedRequest(*this); }

void CDecodedSsdoDownloadInitiateExpeditedRequest::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSsdoDownloadInitiateExpeditedRequest::IsDecodedSsdoDownloadInitiateExpeditedRequest(u16 length, const u8* frame) {
  return (HasIdAndService(length, frame, ms_IdBasic) || HasIdAndService(length, frame, ms_IdSlim)) &&
         IsServiceOneOf(length, frame, {0x21});
}

u16 CDecodedSsdoDownloadInitiateExpeditedRequest::GetIndex() const { return GetPayloadU16(ms_IndexDbOffset); }

u8 CDecodedSsdoDownloadInitiateExpeditedRequest::GetSubIndex() const { return GetPayloadByte(ms_SubIndexDbOffset); }

const u8* CDecodedSsdoDownloadInitiateExpeditedRequest::GetParameterData() const { return GetPayloadFrom(ms_PayloadDbOffset); }

u8 CDecodedSsdoDownloadInitiateExpeditedRequest::GetParameterDataLength() const { return GetLengthFrom(ms_PayloadDbOffset); }

u16 CDecodedSsdoDownloadInitiateExpeditedRequest::GetSafetyAddress() const { return GetAdr(); }

}  // namespace Frame
