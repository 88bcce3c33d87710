#include "CFrameDecoder.h"

#include "CException.h"
#include "CInternalError.h"
#include "CUdid.h"
#include "ErrorCodes.h"

namespace Frame {

namespace {

/// Binds the frame to the chosen kind and returns it.
template <typename Kind>
const CDecodedFrame* Bind(Kind& kind, u16 length, const u8* frame, const u8* key) {
  kind.Initialize(length, frame, key);
  return &kind;
}

}  // namespace

CFrameDecoder::CFrameDecoder() = default;

CFrameDecoder::~CFrameDecoder() = default;

const CDecodedFrame* CFrameDecoder::GetDecodedFrame(u16 length, const u8* frame, const u8* scmUdid) {
  // GetId is the first test: null and length 10 or less throw before any member is bound.
  const u8 id = CDecodedFrame::GetId(length, frame);
  if (CDecodedFrame::IsSnmt(length, frame)) {
    return GetDecodedSnmtFrame(length, frame);
  }
  if (CDecodedFrame::IsSsdo(length, frame)) {
    return GetDecodedSsdoFrame(length, frame, scmUdid);
  }
  if (CDecodedFrame::IsSpdo(length, frame)) {
    throw Util::CException(Util::ErrorCodes::ms_FrameSpdo);
  }
  throw Util::CException(Util::ErrorCodes::ms_FrameIdUnknown, static_cast<u32>(id));
}

const CDecodedFrame* CFrameDecoder::GetDecodedSnmtFrame(u16 length, const u8* frame) {
  // SNMT frames travel without the SCM-UDID coding: the key is zero.
  const u8* key = Util::CUdid::ms_Zero;
  if (CDecodedSnmtResponseUdid::IsSnmtResponseUdid(length, frame)) {
    return Bind(m_ResponseUdid, length, frame, key);
  }
  if (CDecodedSnmtAssignSadr::IsSnmtAssignSadr(length, frame)) {
    return Bind(m_AssignSadr, length, frame, key);
  }
  if (CDecodedSnmtSadrAssigned::IsSnmtSadrAssigned(length, frame)) {
    return Bind(m_SadrAssigned, length, frame, key);
  }
  if (CDecodedSnmtAssignUdidScm::IsSnmtAssignUdidScm(length, frame)) {
    return Bind(m_AssignUdidScm, length, frame, key);
  }
  if (CDecodedSnmtSnSetToOp::IsSnmtSnSetToOp(length, frame)) {
    return Bind(m_SnSetToOp, length, frame, key);
  }
  if (CDecodedSnmtSnFail::IsSnmtSnFail(length, frame)) {
    return Bind(m_SnFail, length, frame, key);
  }
  if (CDecodedSnmtSnAck::IsSnmtSnAck(length, frame)) {
    return Bind(m_SnAck, length, frame, key);
  }
  return Bind(m_Unknown, length, frame, key);
}

const CDecodedFrame* CFrameDecoder::GetDecodedSsdoFrame(u16 length, const u8* frame, const u8* scmUdid) {
  if (CDecodedSsdoUploadInitiateExpeditedResponse::IsDecodedSsdoUploadInitiateExpeditedResponse(length, frame)) {
    return Bind(m_UploadInitiateExpedited, length, frame, scmUdid);
  }
  if (CDecodedSsdoDownloadInitiateExpeditedRequest::IsDecodedSsdoDownloadInitiateExpeditedRequest(length, frame)) {
    return Bind(m_DownloadInitiateExpedited, length, frame, scmUdid);
  }
  if (CDecodedSsdoUploadInitiateSegmentedResponse::IsDecodedSsdoUploadInitiateSegmentedResponse(length, frame)) {
    return Bind(m_UploadInitiateSegmented, length, frame, scmUdid);
  }
  if (CDecodedSsdoUploadMiddleSegmentResponse::IsDecodedSsdoUploadMiddleSegmentResponse(length, frame)) {
    return Bind(m_UploadMiddleSegment, length, frame, scmUdid);
  }
  if (CDecodedSsdoUploadEndSegmentResponse::IsDecodedSsdoUploadEndSegmentResponse(length, frame)) {
    return Bind(m_UploadEndSegment, length, frame, scmUdid);
  }
  if (CDecodedSsdoDownloadInitiateSegmentedRequest::IsDecodedSsdoDownloadInitiateSegmentedRequest(length, frame)) {
    return Bind(m_DownloadInitiateSegmented, length, frame, scmUdid);
  }
  if (CDecodedSsdoDownloadMiddleSegmentRequest::IsDecodedSsdoDownloadMiddleSegmentRequest(length, frame)) {
    return Bind(m_DownloadMiddleSegment, length, frame, scmUdid);
  }
  if (CDecodedSsdoDownloadEndSegmentRequest::IsDecodedSsdoDownloadEndSegmentRequest(length, frame)) {
    return Bind(m_DownloadEndSegment, length, frame, scmUdid);
  }
  return Bind(m_Unknown, length, frame, scmUdid);
}

}  // namespace Frame
