// Decodes safety frames in queue form into one of its preallocated kinds,
// chosen by the frame id and, for SNMT and SSDO frames, the service byte.
// Nothing is allocated after construction; the result stays valid until the
// next call and while the caller's buffer is unchanged.
#pragma once
#include "CDecodedSnmtAssignSadr.h"
#include "CDecodedSnmtAssignUdidScm.h"
#include "CDecodedSnmtResponseUdid.h"
#include "CDecodedSnmtSadrAssigned.h"
#include "CDecodedSnmtSnAck.h"
#include "CDecodedSnmtSnFail.h"
#include "CDecodedSnmtSnSetToOp.h"
#include "CDecodedSsdoDownloadEndSegmentRequest.h"
#include "CDecodedSsdoDownloadInitiateExpeditedRequest.h"
#include "CDecodedSsdoDownloadInitiateSegmentedRequest.h"
#include "CDecodedSsdoDownloadMiddleSegmentRequest.h"
#include "CDecodedSsdoUploadEndSegmentResponse.h"
#include "CDecodedSsdoUploadInitiateExpeditedResponse.h"
#include "CDecodedSsdoUploadInitiateSegmentedResponse.h"
#include "CDecodedSsdoUploadMiddleSegmentResponse.h"
#include "CDecodedUnknownFrame.h"

namespace Frame {

class CFrameDecoder {
 public:
  CFrameDecoder();
  virtual ~CFrameDecoder();

  CFrameDecoder(const CFrameDecoder&) = delete;
  CFrameDecoder& operator=(const CFrameDecoder&) = delete;

  /// Decodes the plain frame; scmUdid is the 6-byte key of SSDO frames (SNMT
  /// frames are read with the zero key). Throws Util::CException on every
  /// refusal: 0xE200 null, 0xE2BE length 10 or less, 0xE2BF to 0xE2C1 from the
  /// kind's checks, 0xE2C2 SPDO, 0xE2C3 other ids.
  const CDecodedFrame* GetDecodedFrame(u16 length, const u8* frame, const u8* scmUdid);
  /// The SNMT branch: first matching kind in try order, else the unknown frame.
  const CDecodedFrame* GetDecodedSnmtFrame(u16 length, const u8* frame);
  /// The SSDO branch: first matching kind in try order, else the unknown frame.
  const CDecodedFrame* GetDecodedSsdoFrame(u16 length, const u8* frame, const u8* scmUdid);

 private:
  CDecodedSnmtAssignSadr m_AssignSadr;                                  ///< id 0x2A
  CDecodedSnmtAssignUdidScm m_AssignUdidScm;                            ///< id 0x2C, service 0x0E
  CDecodedSnmtResponseUdid m_ResponseUdid;                              ///< id 0x29
  CDecodedSnmtSadrAssigned m_SadrAssigned;                              ///< id 0x2B
  CDecodedSnmtSnSetToOp m_SnSetToOp;                                    ///< id 0x2C, service 0x02
  CDecodedSnmtSnFail m_SnFail;                                          ///< id 0x2D, service 0x07
  CDecodedSnmtSnAck m_SnAck;                                            ///< id 0x2C, service 0x0C
  CDecodedSsdoUploadInitiateExpeditedResponse m_UploadInitiateExpedited;    ///< upload initiate, expedited
  CDecodedSsdoUploadInitiateSegmentedResponse m_UploadInitiateSegmented;    ///< upload initiate, segmented
  CDecodedSsdoUploadMiddleSegmentResponse m_UploadMiddleSegment;            ///< upload middle segment
  CDecodedSsdoUploadEndSegmentResponse m_UploadEndSegment;                  ///< upload end segment
  CDecodedSsdoDownloadInitiateExpeditedRequest m_DownloadInitiateExpedited; ///< download initiate, expedited
  CDecodedSsdoDownloadInitiateSegmentedRequest m_DownloadInitiateSegmented; ///< download initiate, segmented
  CDecodedSsdoDownloadMiddleSegmentRequest m_DownloadMiddleSegment;         ///< download middle segment
  CDecodedSsdoDownloadEndSegmentRequest m_DownloadEndSegment;               ///< download end segment
  CDecodedUnknownFrame m_Unknown;                                       ///< any other SNMT or SSDO frame
};

}  // namespace Frame
