// Receiver of decoded frames by double dispatch: each kind's Accept calls the
// operation named after it. Every operation is empty by default, so a visitor
// overrides only the kinds it checks. The operation order is fixed.
#pragma once

namespace Frame {

class CDecodedSnmtAssignSadr;
class CDecodedSnmtAssignUdidScm;
class CDecodedSnmtResponseUdid;
class CDecodedSnmtSadrAssigned;
class CDecodedSnmtSnSetToOp;
class CDecodedSnmtSnFail;
class CDecodedSnmtSnAck;
class CDecodedSsdoUploadInitiateExpeditedResponse;
class CDecodedSsdoUploadInitiateSegmentedResponse;
class CDecodedSsdoUploadMiddleSegmentResponse;
class CDecodedSsdoUploadEndSegmentResponse;
class CDecodedSsdoDownloadInitiateExpeditedRequest;
class CDecodedSsdoDownloadInitiateSegmentedRequest;
class CDecodedSsdoDownloadMiddleSegmentRequest;
class CDecodedSsdoDownloadEndSegmentRequest;

class CDecodedFrameVisitor {
 public:
  virtual ~CDecodedFrameVisitor() = default;

  virtual void VisitSnmtAssignSadr(const CDecodedSnmtAssignSadr& /*frame*/) {}
  virtual void VisitSnmtAssignUdidScm(const CDecodedSnmtAssignUdidScm& /*frame*/) {}
  virtual void VisitSnmtResponseUdid(const CDecodedSnmtResponseUdid& /*frame*/) {}
  virtual void VisitSnmtSadrAssigned(const CDecodedSnmtSadrAssigned& /*frame*/) {}
  virtual void VisitSnmtSnSetToOp(const CDecodedSnmtSnSetToOp& /*frame*/) {}
  virtual void VisitSnmtSnFail(const CDecodedSnmtSnFail& /*frame*/) {}
  virtual void VisitSnmtSnAck(const CDecodedSnmtSnAck& /*frame*/) {}
  virtual void VisitSsdoUploadInitiateExpeditedResponse(const CDecodedSsdoUploadInitiateExpeditedResponse& /*frame*/) {}
  virtual void VisitSsdoUploadInitiateSegmentedResponse(const CDecodedSsdoUploadInitiateSegmentedResponse& /*frame*/) {}
  virtual void VisitSsdoUploadMiddleSegmentResponse(const CDecodedSsdoUploadMiddleSegmentResponse& /*frame*/) {}
  virtual void VisitSsdoUploadEndSegmentResponse(const CDecodedSsdoUploadEndSegmentResponse& /*frame*/) {}
  virtual void VisitSsdoDownloadInitiateExpeditedRequest(const CDecodedSsdoDownloadInitiateExpeditedRequest& /*frame*/) {}
  virtual void VisitSsdoDownloadInitiateSegmentedRequest(const CDecodedSsdoDownloadInitiateSegmentedRequest& /*frame*/) {}
  virtual void VisitSsdoDownloadMiddleSegmentRequest(const CDecodedSsdoDownloadMiddleSegmentRequest& /*frame*/) {}
  virtual void VisitSsdoDownloadEndSegmentRequest(const CDecodedSsdoDownloadEndSegmentRequest& /*frame*/) {}
};

}  // namespace Frame
