#include "CDecodedSsdoDownloadInitiateSegmentedRequest.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSsdoDownloadInitiateSegmentedRequest::CDecodedSsdoDownloadInitiateSegmentedRequest() = default;

CDecodedSsdoDownloadInitiateSegmentedRequest::~CDecodedSsdoDownloadInitiateSegmentedRequest() = default;

void CDecodedSsdoDownloadInitiateSegmentedRequest::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSsdoDownloadInitiateSegmentedRequest(*this); }

void CDecodedSsdoDownloadInitiateSegmentedRequest::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSsdoDownloadInitiateSegmentedRequest::IsDecodedSsdoDownloadInitiateSegmentedRequest(u16 length, const u8* frame) {
  return (HasIdAndService(length, frame, ms_IdBasic) || HasIdAndService(length, frame, ms_IdSlim)) &&
         IsServiceOneOf(length, frame, {0x29, 0x2B});
}

u16 CDecodedSsdoDownloadInitiateSegmentedRequest::GetIndex() const { return GetPayloadU16(ms_IndexDbOffset); }

u8 CDecodedSsdoDownloadInitiateSegmentedRequest::GetSubIndex() const { return GetPayloadByte(ms_SubIndexDbOffset); }

const u8* CDecodedSsdoDownloadInitiateSegmentedRequest::GetParameterData() const { return GetPayloadFrom(ms_PayloadDbOffset); }

u8 CDecodedSsdoDownloadInitiateSegmentedRequest::GetParameterDataLength() const { return GetLengthFrom(ms_PayloadDbOffset); }

u16 CDecodedSsdoDownloadInitiateSegmentedRequest::GetSafetyAddress() const { return GetAdr(); }

}  // namespace Frame
