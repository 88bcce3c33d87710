// The frame kinds as a table for the decoder tests: ids, service bytes and the
// smallest LE of each, written from the frame tables, plus a visitor that
// records which operation ran and what the kind's getters returned.
#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "FrameBuilder.h"
#include "Frame/CDecodedFrameVisitor.h"

namespace DecodeTest {

/// One decoded frame kind. Operation numbers follow the visitor's order (1..15); 0 is the unknown frame.
struct FrameKind {
  const char* name;           ///< kind name for messages
  int operation;              ///< visitor operation number
  u8 basicId;                 ///< id of the basic form
  u8 slimId;                  ///< id of the slim form, 0 when there is none
  std::vector<u8> services;   ///< accepted service bytes, empty: any
  std::size_t leMin;          ///< smallest LE the kind accepts
  bool responseAddress;       ///< safety address from TADR (else ADR)
  enum Getters { Udid0, ScmUdid1, Error, Initiate, Segment, AddressOnly } getters;  ///< getter group
};

/// The fifteen kinds in visitor order.
const std::vector<FrameKind>& FrameKinds();

/// The SCM UDID the SSDO fixtures are coded with.
extern const TestFrames::Udid kScmUdid;

/// A sound frame of the kind: service byte variant v, LE le, slim or basic,
/// UDID-coded as the firmware does. Addresses and times are fixed non-zero values.
TestFrames::FrameSpec KindSpec(const FrameKind& kind, std::size_t le, bool slim, std::size_t variant = 0);

/// What a visitor saw: the operation calls and the kind's getter results.
struct Seen {
  std::array<int, 16> calls{};   ///< calls per operation number (0 unused)
  const u8* udid = nullptr;      ///< GetUdid / GetScmUdid
  u16 safetyAddress = 0;         ///< GetSafetyAddress
  u8 errorGroup = 0;             ///< GetErrorGroup
  u8 errorCode = 0;              ///< GetErrorCode
  u16 index = 0;                 ///< GetIndex
  u8 subIndex = 0;               ///< GetSubIndex
  const u8* data = nullptr;      ///< GetParameterData
  u8 dataLength = 0;             ///< GetParameterDataLength
  int total() const;             ///< all calls
};

/// Overrides every operation, counts it and reads every getter of the kind.
class RecordingFrameVisitor : public Frame::CDecodedFrameVisitor {
 public:
  Seen seen;  ///< what was seen so far
  void VisitSnmtAssignSadr(const Frame::CDecodedSnmtAssignSadr& f) override;
  void VisitSnmtAssignUdidScm(const Frame::CDecodedSnmtAssignUdidScm& f) override;
  void VisitSnmtResponseUdid(const Frame::CDecodedSnmtResponseUdid& f) override;
  void VisitSnmtSadrAssigned(const Frame::CDecodedSnmtSadrAssigned& f) override;
  void VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp& f) override;
  void VisitSnmtSnFail(const Frame::CDecodedSnmtSnFail& f) override;
  void VisitSnmtSnAck(const Frame::CDecodedSnmtSnAck& f) override;
  void VisitSsdoUploadInitiateExpeditedResponse(const Frame::CDecodedSsdoUploadInitiateExpeditedResponse& f) override;
  void VisitSsdoUploadInitiateSegmentedResponse(const Frame::CDecodedSsdoUploadInitiateSegmentedResponse& f) override;
  void VisitSsdoUploadMiddleSegmentResponse(const Frame::CDecodedSsdoUploadMiddleSegmentResponse& f) override;
  void VisitSsdoUploadEndSegmentResponse(const Frame::CDecodedSsdoUploadEndSegmentResponse& f) override;
  void VisitSsdoDownloadInitiateExpeditedRequest(const Frame::CDecodedSsdoDownloadInitiateExpeditedRequest& f) override;
  void VisitSsdoDownloadInitiateSegmentedRequest(const Frame::CDecodedSsdoDownloadInitiateSegmentedRequest& f) override;
  void VisitSsdoDownloadMiddleSegmentRequest(const Frame::CDecodedSsdoDownloadMiddleSegmentRequest& f) override;
  void VisitSsdoDownloadEndSegmentRequest(const Frame::CDecodedSsdoDownloadEndSegmentRequest& f) override;
};

}  // namespace DecodeTest
