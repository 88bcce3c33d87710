// What every build's dispatching inspector shares: the four checks (UDIDs,
// firmware versions, parameter checksums, additional parameters) run in this
// order for every frame, each removing its two check bits from the firmware's
// complemented copy of a sent frame; the rule that no node goes operational
// before the key medium is acknowledged; the filter of received frames; the
// validity; the password test and the visits that store passwords. The
// builds differ in how commands reach the checks and in events.
#pragma once
#include "CInspector.h"
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
class CAuthentification;

class CDispatchingInspectorBase : public CInspector,
                                  protected Frame::CDecodedFrameVisitor,
                                  protected Hmi::CDecodedCommandVisitor {
 public:
  static constexpr u8 ms_UdidCheckBitMask = 0x03;                 ///< check bits of the UDID check
  static constexpr u8 ms_FirmwareCheckBitMask = 0x0C;             ///< check bits of the firmware check
  static constexpr u8 ms_ParameterCheckBitMask = 0x30;            ///< check bits of the parameter-checksum check
  static constexpr u8 ms_AdditionalParameterCheckBitMask = 0xC0;  ///< check bits of the additional-parameter check
  static constexpr u32 ms_PasswordLength = 16;                    ///< bytes of a password

  ~CDispatchingInspectorBase() override;

  CDispatchingInspectorBase(const CDispatchingInspectorBase&) = delete;
  CDispatchingInspectorBase& operator=(const CDispatchingInspectorBase&) = delete;

  /// Frames of this domain between two addressed parties reach the four checks;
  /// others are relayed unchecked, as the firmware's stack drops them.
  void InspectReceivedFrame(const Frame::CDecodedFrame& frame) override;
  /// The key-medium rule, then the four checks, each removing its check bits.
  void InspectSentFrame(const Frame::CDecodedFrame& frame, u16 length, u8* invertedFrame) override;
  /// Own validity and the four checks', asked in order, stopping at the first false.
  bool IsValid() const override;

  /// XORs the first length bytes of buffer with mask; a null buffer throws 0xE200.
  void InvertCheckBits(u16 length, u8* buffer, u8 mask) const;

 protected:
  CDispatchingInspectorBase(CCorvane& corvane, CAuthentification& authentification,
                            Check::CUdidInspector& udidInspector, Check::CFirmwareInspector& firmwareInspector,
                            Check::CParameterInspector& parameterInspector,
                            Check::CAdditionalParameterInspector& additionalParameterInspector);

  /// The command's password equals the stored one (or none is stored); a short command throws 0xE2C6.
  bool HasValidPassword(const Hmi::CDecodedCommand& command) const;
  /// After an acknowledgement: stores the command's password while one is
  /// stored (they are then equal), else the empty one, so the copy keeps what
  /// the firmware keeps.
  void KeepPassword(const Hmi::CDecodedCommand& command);

  /// Refuses a set-to-operational while the key medium is not acknowledged (0xE249).
  void VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp& frame) override;
  /// Stores the changed password.
  void VisitChangePassword(const Hmi::CDecodedChangePassword& command) override;
  void VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules& command) override;
  void VisitAcknowledgeFirmware(const Hmi::CDecodedAcknowledgeFirmware& command) override;

  CCorvane& m_Corvane;                                           ///< key-medium state, not owned
  CAuthentification& m_Authentification;                         ///< stored password, not owned
  Check::CUdidInspector& m_UdidInspector;                        ///< not owned
  Check::CFirmwareInspector& m_FirmwareInspector;                ///< not owned
  Check::CParameterInspector& m_ParameterInspector;              ///< not owned
  Check::CAdditionalParameterInspector& m_AdditionalParameterInspector;  ///< not owned

 private:
  bool m_Valid;  ///< false for good after 0xE249
};

}  // namespace Main
