// The one inspector the session talks to. It runs the four checks (UDIDs,
// firmware versions, parameter checksums, additional parameters) in this
// order for every decoded frame, event and command, and handles itself what
// belongs to no single check: the operator password, the key-medium
// acknowledgement, the setup mode and the rule that no node goes operational
// before the key medium is acknowledged.
//
// For a sent frame each check that returned removes its two check bits from
// the firmware's complemented copy, so the session sees the plain frame only
// when all four ran.
#pragma once
#include "CInspector.h"
#include "Event/CDecodedEventVisitor.h"
#include "Frame/CDecodedFrameVisitor.h"
#include "Hmi/CDecodedCommandVisitor.h"
#include "ScmTypes.h"

namespace Check {
class CUdidInspector;
class CFirmwareInspector;
class CParameterInspector;
class CAdditionalParameterInspector;
}  // namespace Check

namespace Main {

class CCorvane;
class CCorvaneCommissioner;
class CAuthentification;

class CDefaultInspector : public CInspector,
                          private Frame::CDecodedFrameVisitor,
                          private Event::CDecodedEventVisitor,
                          private Hmi::CDecodedCommandVisitor {
 public:
  static constexpr u8 ms_UdidCheckBitMask = 0x03;                 ///< check bits of the UDID check
  static constexpr u8 ms_FirmwareCheckBitMask = 0x0C;             ///< check bits of the firmware check
  static constexpr u8 ms_ParameterCheckBitMask = 0x30;            ///< check bits of the parameter-checksum check
  static constexpr u8 ms_AdditionalParameterCheckBitMask = 0xC0;  ///< check bits of the additional-parameter check
  static constexpr u32 ms_PasswordLength = 16;                    ///< bytes of a password

  CDefaultInspector(CCorvane& corvane, CCorvaneCommissioner& corvaneCommissioner, CAuthentification& authentification,
                    Check::CUdidInspector& udidInspector, Check::CFirmwareInspector& firmwareInspector,
                    Check::CParameterInspector& parameterInspector,
                    Check::CAdditionalParameterInspector& additionalParameterInspector);
  ~CDefaultInspector() override;

  CDefaultInspector(const CDefaultInspector&) = delete;
  CDefaultInspector& operator=(const CDefaultInspector&) = delete;

  /// Commands with a valid password change the password, key-medium and setup
  /// state and reach the UDID and firmware checks; others change nothing.
  void InspectCommand(const Hmi::CDecodedCommand& command) override;
  /// The key-medium event, then the UDID and firmware checks.
  void InspectEvent(const Event::CDecodedEvent& event) override;
  /// Frames of this domain between two addressed parties reach the four checks;
  /// others are relayed unchecked, as the firmware's stack drops them.
  void InspectReceivedFrame(const Frame::CDecodedFrame& frame) override;
  /// The key-medium rule, then the four checks, each removing its check bits.
  void InspectSentFrame(const Frame::CDecodedFrame& frame, u16 length, u8* invertedFrame) override;
  /// Own validity and the four checks', asked in order, stopping at the first false.
  bool IsValid() const override;

  /// XORs the first length bytes of buffer with mask; a null buffer throws 0xE200.
  void InvertCheckBits(u16 length, u8* buffer, u8 mask) const;

 private:
  void VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp& frame) override;
  void VisitChangePassword(const Hmi::CDecodedChangePassword& command) override;
  void VisitAcknowledgeCorvane(const Hmi::CDecodedAcknowledgeCorvane& command) override;
  void VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules& command) override;
  void VisitAcknowledgeFirmware(const Hmi::CDecodedAcknowledgeFirmware& command) override;
  void VisitActivateSetupMode(const Hmi::CDecodedActivateSetupMode& command) override;
  void VisitDeactivateSetupMode(const Hmi::CDecodedDeactivateSetupMode& command) override;
  void VisitCorvaneAcknowledged(const Event::CDecodedCorvaneAcknowledged& event) override;

  /// After an acknowledgement: stores the command's password while one is
  /// stored (they are then equal), else the empty one, so the copy keeps what
  /// the firmware keeps.
  void KeepPassword(const Hmi::CDecodedCommand& command);

  CCorvane& m_Corvane;                                           ///< key-medium state, not owned
  CCorvaneCommissioner& m_CorvaneCommissioner;                   ///< key-medium policy, not owned
  CAuthentification& m_Authentification;                         ///< stored password, not owned
  Check::CUdidInspector& m_UdidInspector;                        ///< not owned
  Check::CFirmwareInspector& m_FirmwareInspector;                ///< not owned
  Check::CParameterInspector& m_ParameterInspector;              ///< not owned
  Check::CAdditionalParameterInspector& m_AdditionalParameterInspector;  ///< not owned
  bool m_Valid;                                                  ///< false for good after 0xE249
};

}  // namespace Main
