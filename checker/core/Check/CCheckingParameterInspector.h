// Watches, per SADR, where the parameter checksum of a node shows on the
// network: an SSDO upload of object 0x1018/6 answered by the node, or a record
// 0x1018/6 inside a parameter set the SCM downloads to 0x101A/0. The checksum
// is handed, complemented, to the checker; a set-to-operational frame passes
// only when the checksum seen since the SADR was last assigned is the required
// one. The parameter set is scanned as it passes, never buffered: only the
// 7-byte record header and the checksum are kept.
#pragma once
#include "Check/CParameterInspector.h"
#include "Check/CSafetyAddressRange.h"
#include "Check/CTransferTracker.h"
#include "Frame/CDecodedFrameVisitor.h"
#include "ScmTypes.h"

namespace Check {

class CParameterChecker;

class CCheckingParameterInspector : public CParameterInspector, private Frame::CDecodedFrameVisitor {
 public:
  static constexpr u16 ms_DeviceVendorInformationIndex = 0x1018;  ///< object of the checksum
  static constexpr u8 ms_ChecksumSubIndex = 6;                     ///< sub-index of the checksum
  static constexpr u16 ms_ParameterDownloadIndex = 0x101A;        ///< object a parameter set is downloaded to
  static constexpr u8 ms_ParameterDownloadSubIndex = 0;            ///< its sub-index
  static constexpr u32 ms_TotalParameterLengthLength = 4;          ///< bytes of the total length ahead of a segmented initiate's data
  static constexpr u32 ms_RequiredModuleFlag = 0x01;               ///< module flag: the node list names a checksum
  static constexpr u32 ms_DiscoveredModuleFlag = 0x02;             ///< module flag: a checksum was seen
  static constexpr u32 ms_CompatibleModuleFlag = 0x04;             ///< module flag: the checksum seen is the required one
  static constexpr u32 ms_ChecksumLengthMax = 256;                 ///< longest checksum in bytes
  static constexpr u32 ms_RecordHeaderLength = 7;                  ///< u16 index, u8 sub-index, u32 data length

  explicit CCheckingParameterInspector(CParameterChecker& checker);
  ~CCheckingParameterInspector() override;

  CCheckingParameterInspector(const CCheckingParameterInspector&) = delete;
  CCheckingParameterInspector& operator=(const CCheckingParameterInspector&) = delete;

  void InspectReceivedFrame(const Frame::CDecodedFrame& frame) override;
  void InspectSentFrame(const Frame::CDecodedFrame& frame) override;
  bool IsValid() const override;

 private:
  void VisitSnmtAssignSadr(const Frame::CDecodedSnmtAssignSadr& frame) override;
  void VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp& frame) override;
  void VisitSsdoUploadInitiateExpeditedResponse(const Frame::CDecodedSsdoUploadInitiateExpeditedResponse& frame) override;
  void VisitSsdoUploadInitiateSegmentedResponse(const Frame::CDecodedSsdoUploadInitiateSegmentedResponse& frame) override;
  void VisitSsdoUploadMiddleSegmentResponse(const Frame::CDecodedSsdoUploadMiddleSegmentResponse& frame) override;
  void VisitSsdoUploadEndSegmentResponse(const Frame::CDecodedSsdoUploadEndSegmentResponse& frame) override;
  void VisitSsdoDownloadInitiateExpeditedRequest(const Frame::CDecodedSsdoDownloadInitiateExpeditedRequest& frame) override;
  void VisitSsdoDownloadInitiateSegmentedRequest(const Frame::CDecodedSsdoDownloadInitiateSegmentedRequest& frame) override;
  void VisitSsdoDownloadMiddleSegmentRequest(const Frame::CDecodedSsdoDownloadMiddleSegmentRequest& frame) override;
  void VisitSsdoDownloadEndSegmentRequest(const Frame::CDecodedSsdoDownloadEndSegmentRequest& frame) override;

  /// Entry of a SADR taken from a frame; outside 1..1023 throws 0xE200.
  static u16 GetFrameIndex(u16 sadr);
  /// Appends uploaded checksum bytes; beyond 256 bytes throws 0xE2E4 (i0 SADR, i1 n).
  void AppendUploaded(u16 sadr, u16 i, u32 n, const u8* data);
  /// Hands the gathered checksum to the checker and starts gathering afresh.
  void HandOver(u16 sadr, u16 i);
  /// Forgets the record scan and the checksum gathered for entry i.
  void ClearScan(u16 i);
  /// Scans a fragment of a downloaded parameter set for the checksum record.
  void Scan(u16 sadr, u16 i, u32 length, const u8* data);

  /// What the inspector keeps per SADR.
  struct SModule {
    bool checksumKnown;               ///< a complete checksum was handed over since the SADR was last assigned
    bool operational;                 ///< a set to operational passed; later downloads are ignored
    CTransferTracker transfer;        ///< the segmented upload or download in progress
    u32 checksumLength;               ///< checksum bytes gathered
    u8 checksum[ms_ChecksumLengthMax];  ///< checksum bytes gathered, complemented
    u32 headerBytes;                  ///< bytes of the current record header gathered (0 to 7)
    u8 header[ms_RecordHeaderLength];  ///< current record header: u16 index, u8 sub-index, u32 data length
    u32 dataBytes;                    ///< data bytes of the current record consumed
  };

  SModule m_Modules[CSafetyAddressRange::ms_SafetyAddressCount];  ///< entry SADR - 1
  CParameterChecker& m_Checker;  ///< not owned
  bool m_Valid;                  ///< false for good after a refused set to operational
};

}  // namespace Check
