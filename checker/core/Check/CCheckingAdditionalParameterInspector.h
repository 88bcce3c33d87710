// Captures the first 16 bytes of every additional parameter set the firmware
// downloads (SSDO download of 0x101A sub-index 0) after the node asked for one
// (SN fail of group 5), and refuses the frame that completes a header the
// catalog does not hold byte for byte. Each initiate starts a new capture, and
// the segments the firmware resends after a repeat request are not taken twice.
#pragma once
#include "Check/CAdditionalParameterCatalog.h"
#include "Check/CAdditionalParameterInspector.h"
#include "Frame/CDecodedFrameVisitor.h"

namespace Check {

class CCheckingAdditionalParameterInspector : public CAdditionalParameterInspector,
                                              private Frame::CDecodedFrameVisitor {
 public:
  static constexpr u8 ms_AdditionalParameterNeededErrorGroup = 5;  ///< SN fail group asking for a set
  static constexpr u16 ms_ParameterDownloadIndex = 0x101A;         ///< object of the additional set
  static constexpr u8 ms_ParameterDownloadSubIndex = 0;            ///< its sub-index
  static constexpr u32 ms_TotalParameterLengthLength = 4;          ///< u32 total length before segmented data
  static constexpr u16 ms_SafetyAddressMax = 1023;                 ///< highest SADR
  static constexpr u32 ms_HeaderLength = 16;                       ///< bytes of a header
  static constexpr u8 ms_ParameterNumberCount = 16;                ///< parameter numbers 0 to 15

  explicit CCheckingAdditionalParameterInspector(const CAdditionalParameterCatalog& catalog);
  ~CCheckingAdditionalParameterInspector() override = default;

  /// A frame with SADR 0 is ignored here (the firmware's stack drops it).
  void InspectReceivedFrame(const Frame::CDecodedFrame& frame) override;
  /// A frame with SADR 0 throws 0xE200; a refused header 0xE2EC or 0xE2ED.
  void InspectSentFrame(const Frame::CDecodedFrame& frame) override;
  bool IsValid() const override;

 private:
  /// What is known of one SADR's additional parameter download.
  struct SSafetyAddressState {
    bool m_Requested = false;         ///< a set was asked for since the last SADR assignment
    bool m_TransferInProgress = false;  ///< a segmented download is running
    u16 m_FirstCt = 0;                ///< CT of the running transfer's initiate
    u16 m_LastCt = 0;                 ///< CT of the last fragment taken
    u32 m_CapturedBytes = 0;          ///< header bytes captured, 0 to 16
    u8 m_InvertedHeader[ms_HeaderLength] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};  ///< captured, complemented
    bool m_Compared = false;          ///< the captured header was compared
  };

  void VisitSnmtAssignSadr(const Frame::CDecodedSnmtAssignSadr& frame) override;
  void VisitSnmtSnFail(const Frame::CDecodedSnmtSnFail& frame) override;
  void VisitSsdoDownloadInitiateExpeditedRequest(const Frame::CDecodedSsdoDownloadInitiateExpeditedRequest& frame) override;
  void VisitSsdoDownloadInitiateSegmentedRequest(const Frame::CDecodedSsdoDownloadInitiateSegmentedRequest& frame) override;
  void VisitSsdoDownloadMiddleSegmentRequest(const Frame::CDecodedSsdoDownloadMiddleSegmentRequest& frame) override;
  void VisitSsdoDownloadEndSegmentRequest(const Frame::CDecodedSsdoDownloadEndSegmentRequest& frame) override;

  /// The state of a SADR from a frame; outside 1 to 1023: null on the received path, else 0xE200.
  SSafetyAddressState* FindState(u16 sadr);
  /// The state of a SADR whose set was asked for, when the initiate downloads 0x101A/0; else null.
  SSafetyAddressState* FindRequestedDownload(u16 sadr, u16 index, u8 subIndex);
  /// A middle or end segment: taken only when its CT follows the last one taken.
  void TakeSegment(u16 sadr, u16 ct, u32 length, const u8* data, bool last);
  /// Forgets the transfer and the capture of a SADR.
  static void RestartCapture(SSafetyAddressState& state);
  /// True when ct lies between the running transfer's first and last CT.
  static bool IsRepeat(const SSafetyAddressState& state, u16 ct);
  /// The CT that follows ct (0xFFFF is followed by 1).
  static u16 NextCt(u16 ct);
  /// Takes a fragment of the set; null data: 0xE200.
  void Take(u16 sadr, SSafetyAddressState& state, u32 length, const u8* data);
  /// Compares the captured header with the catalog; a refusal clears valid and throws
  /// 0xE2EB (number above 15), 0xE2EC (not in the catalog) or 0xE2ED (differs), each with (SADR, number).
  void Compare(u16 sadr, const SSafetyAddressState& state);

  const CAdditionalParameterCatalog& m_Catalog;       ///< the expected headers, not owned
  SSafetyAddressState m_States[ms_SafetyAddressMax];  ///< per SADR, entry SADR - 1
  bool m_Valid = true;                                ///< false for good after a refusal
  bool m_Receiving = false;                           ///< inspecting a frame from the network
};

}  // namespace Check
