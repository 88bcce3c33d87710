// Watches the UDIDs the nodes answer with and their encoder reports, and
// refuses a set-to-operational frame unless the node at that SADR answered
// since the SADR was last assigned and the checker finds its module valid
// (the acknowledged UDID, reported by no other SADR, consistent). Module
// acknowledgements come from the operator's command or the firmware's event,
// as the commissioner allows. UDIDs are kept complemented.
#pragma once
#include "Check/CSafetyAddressRange.h"
#include "Check/CUdidInspector.h"
#include "Event/CDecodedEventVisitor.h"
#include "Frame/CDecodedFrameVisitor.h"
#include "Hmi/CDecodedCommandVisitor.h"
#include "ScmTypes.h"

namespace Check {

class CUdidChecker;
class CUdidCommissioner;

class CCheckingUdidInspector : public CUdidInspector,
                               private Frame::CDecodedFrameVisitor,
                               private Event::CDecodedEventVisitor,
                               private Hmi::CDecodedCommandVisitor {
 public:
  static constexpr u32 ms_RequiredModuleFlag = 0x01;      ///< module flag: in the node list
  static constexpr u32 ms_DiscoveredModuleFlag = 0x02;    ///< module flag: a UDID is known from the network
  static constexpr u32 ms_AcknowledgedModuleFlag = 0x04;  ///< module flag: a UDID is acknowledged
  static constexpr u32 ms_MatchingModuleFlag = 0x08;      ///< module flag: discovered equals acknowledged
  static constexpr u32 ms_ConsistentModuleFlag = 0x10;    ///< module flag: no open inconsistent-module report
  static constexpr u32 ms_UniqueModuleFlag = 0x20;        ///< module flag: no other SADR has the UDID
  static constexpr u8 ms_VendorSpecificErrorGroup = 3;    ///< SN fail / acknowledge group of an inconsistent module
  static constexpr u8 ms_EncoderMismatchErrorCode = 2;    ///< its error code
  static constexpr u32 ms_AllModulesCount = 5;            ///< command count meaning every unacknowledged module
  static constexpr u32 ms_UdidLength = 6;                 ///< bytes of a UDID

  CCheckingUdidInspector(CUdidChecker& checker, CUdidCommissioner& commissioner);
  ~CCheckingUdidInspector() override;

  CCheckingUdidInspector(const CCheckingUdidInspector&) = delete;
  CCheckingUdidInspector& operator=(const CCheckingUdidInspector&) = delete;

  void InspectCommand(const Hmi::CDecodedCommand& command) override;
  void InspectEvent(const Event::CDecodedEvent& event) override;
  void InspectReceivedFrame(const Frame::CDecodedFrame& frame) override;
  void InspectSentFrame(const Frame::CDecodedFrame& frame) override;
  bool IsValid() const override;

 private:
  void VisitSnmtAssignSadr(const Frame::CDecodedSnmtAssignSadr& frame) override;
  void VisitSnmtSadrAssigned(const Frame::CDecodedSnmtSadrAssigned& frame) override;
  void VisitSnmtResponseUdid(const Frame::CDecodedSnmtResponseUdid& frame) override;
  void VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp& frame) override;
  void VisitSnmtSnFail(const Frame::CDecodedSnmtSnFail& frame) override;
  void VisitSnmtSnAck(const Frame::CDecodedSnmtSnAck& frame) override;
  void VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules& command) override;
  void VisitModulesAcknowledged(const Event::CDecodedModulesAcknowledged& event) override;

  /// Entry of a SADR taken from a frame; outside 1..1023 throws 0xE200.
  static u16 GetFrameIndex(u16 sadr);
  /// The node at sadr answered with this plain UDID.
  void UpdateModuleUdid(u16 sadr, const u8* udid);
  /// The module flags word of sadr.
  u32 GetModuleFlags(u16 sadr) const;

  static constexpr u16 ms_Count = CSafetyAddressRange::ms_SafetyAddressCount;  ///< table entries

  bool m_Reported[ms_Count];                     ///< answered with its UDID since the SADR was last assigned
  bool m_Moved[ms_Count];                        ///< its UDID was since reported by another SADR
  u8 m_ReportedUdid[ms_Count][ms_UdidLength];    ///< last UDID reported, complemented
  CUdidChecker& m_Checker;                       ///< not owned
  CUdidCommissioner& m_Commissioner;             ///< not owned
  bool m_Valid;                                  ///< false for good after a refused set to operational
};

}  // namespace Check
