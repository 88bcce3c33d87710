// Collects, per SADR, the identity the SCM reads from a node (expedited
// uploads of 0x1018 sub-indices 1 to 3: vendor id, product code, revision) and
// hands it, complemented, to the checker once all three arrived. A
// set-to-operational frame passes only when a complete identity arrived since
// the SADR was last assigned and the checker finds it matching. Acknowledgements
// come from the operator's command or the firmware's event, as the
// commissioner allows. A password change acknowledges nothing here: the
// firmware rewrites its "fwrevcnf.bin" without touching the module entries then.
#pragma once
#include "Check/CFirmwareInspector.h"
#include "Check/CSafetyAddressRange.h"
#include "Event/CDecodedEventVisitor.h"
#include "Frame/CDecodedFrameVisitor.h"
#include "Hmi/CDecodedCommandVisitor.h"
#include "ScmTypes.h"

namespace Check {

class CFirmwareChecker;
class CFirmwareCommissioner;

class CCheckingFirmwareInspector : public CFirmwareInspector,
                                   private Frame::CDecodedFrameVisitor,
                                   private Event::CDecodedEventVisitor,
                                   private Hmi::CDecodedCommandVisitor {
 public:
  static constexpr u16 ms_DeviceVendorInformationIndex = 0x1018;  ///< object of the identity
  static constexpr u8 ms_VendorIdSubIndex = 1;                     ///< sub-index of the vendor id
  static constexpr u8 ms_ProductCodeSubIndex = 2;                  ///< sub-index of the product code
  static constexpr u8 ms_RevisionNumberSubIndex = 3;               ///< sub-index of the revision number
  static constexpr u32 ms_RequiredModuleFlag = 0x01;               ///< module flag: the node list names an identity
  static constexpr u32 ms_DiscoveredModuleFlag = 0x02;             ///< module flag: an identity was read
  static constexpr u32 ms_AcknowledgedModuleFlag = 0x04;           ///< module flag: a minor revision is acknowledged
  static constexpr u32 ms_CompatibleModuleFlag = 0x08;             ///< module flag: the identity fits the node list
  static constexpr u32 ms_MatchingModuleFlag = 0x10;               ///< module flag: compatible and acknowledged
  static constexpr u32 ms_IdentityValueLength = 4;                 ///< bytes of each identity value

  CCheckingFirmwareInspector(CFirmwareChecker& checker, CFirmwareCommissioner& commissioner);
  ~CCheckingFirmwareInspector() override;

  CCheckingFirmwareInspector(const CCheckingFirmwareInspector&) = delete;
  CCheckingFirmwareInspector& operator=(const CCheckingFirmwareInspector&) = delete;

  void InspectCommand(const Hmi::CDecodedCommand& command) override;
  void InspectEvent(const Event::CDecodedEvent& event) override;
  void InspectReceivedFrame(const Frame::CDecodedFrame& frame) override;
  void InspectSentFrame(const Frame::CDecodedFrame& frame) override;
  bool IsValid() const override;

 private:
  void VisitSnmtAssignSadr(const Frame::CDecodedSnmtAssignSadr& frame) override;
  void VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp& frame) override;
  void VisitSsdoUploadInitiateExpeditedResponse(const Frame::CDecodedSsdoUploadInitiateExpeditedResponse& frame) override;
  void VisitAcknowledgeFirmware(const Hmi::CDecodedAcknowledgeFirmware& command) override;
  void VisitFirmwareAcknowledged(const Event::CDecodedFirmwareAcknowledged& event) override;

  /// What the inspector collects per SADR; values complemented, all ones = not yet received.
  struct SModule {
    bool identified;      ///< all three values arrived since the SADR was last assigned
    u32 vendorId;         ///< vendor id received
    u32 productCode;      ///< product code received
    u32 revisionNumber;   ///< revision number received (major high, minor low)
  };

  SModule m_Modules[CSafetyAddressRange::ms_SafetyAddressCount];  ///< entry SADR - 1
  CFirmwareChecker& m_Checker;                ///< not owned
  CFirmwareCommissioner& m_Commissioner;      ///< not owned
  bool m_Valid;                               ///< false for good after a refused set to operational
};

}  // namespace Check
