#include "Check/CCheckingFirmwareInspector.h"

#include "CException.h"
#include "CInternalError.h"
#include "Check/CFirmwareChecker.h"
#include "Check/CFirmwareCommissioner.h"
#include "ErrorCodes.h"
#include "Event/CDecodedEvent.h"
#include "Frame/CDecodedSnmtAssignSadr.h"
#include "Frame/CDecodedSnmtSnSetToOp.h"
#include "Frame/CDecodedSsdoUploadInitiateExpeditedResponse.h"
#include "Hmi/CDecodedCommand.h"

namespace Check {

using Util::CException;
using Util::ErrorCodes;

namespace {
constexpr u32 ms_NotReceived = 0xFFFFFFFFu;  ///< complemented value of one not received yet
}  // namespace

CCheckingFirmwareInspector::CCheckingFirmwareInspector(CFirmwareChecker& checker, CFirmwareCommissioner& commissioner)
    : m_Modules{}, m_Checker(checker), m_Commissioner(commissioner), m_Valid(true) {
  for (SModule& module : m_Modules) {
    module.vendorId = ms_NotReceived;
    module.productCode = ms_NotReceived;
    module.revisionNumber = ms_NotReceived;
  }
}

CCheckingFirmwareInspector::~CCheckingFirmwareInspector() = default;

void CCheckingFirmwareInspector::InspectCommand(const Hmi::CDecodedCommand& command) { command.Accept(*this); }

void CCheckingFirmwareInspector::InspectEvent(const Event::CDecodedEvent& event) { event.Accept(*this); }

void CCheckingFirmwareInspector::InspectReceivedFrame(const Frame::CDecodedFrame& frame) { frame.Accept(*this); }

void CCheckingFirmwareInspector::InspectSentFrame(const Frame::CDecodedFrame& frame) { frame.Accept(*this); }

bool CCheckingFirmwareInspector::IsValid() const { return m_Valid; }

void CCheckingFirmwareInspector::VisitSsdoUploadInitiateExpeditedResponse(
    const Frame::CDecodedSsdoUploadInitiateExpeditedResponse& frame) {
  if (frame.GetIndex() != ms_DeviceVendorInformationIndex) {
    return;
  }
  const u16 sadr = frame.GetSafetyAddress();
  UTIL_CHECK(CSafetyAddressRange::IsInRange(sadr));
  SModule& module = m_Modules[CSafetyAddressRange::GetModuleIndex(sadr)];
  u32* value = nullptr;
  switch (frame.GetSubIndex()) {
    case ms_VendorIdSubIndex:
      value = &module.vendorId;
      break;
    case ms_ProductCodeSubIndex:
      value = &module.productCode;
      break;
    case ms_RevisionNumberSubIndex:
      value = &module.revisionNumber;
      break;
    default:
      return;
  }
  const u8 length = frame.GetParameterDataLength();
  if (length != ms_IdentityValueLength) {
    throw CException(ErrorCodes::ms_FirmwareIdentityLength, sadr, length);
  }
  const u8* data = frame.GetParameterData();
  UTIL_CHECK(data != nullptr);
  const u32 plain = static_cast<u32>(data[0]) | (static_cast<u32>(data[1]) << 8) | (static_cast<u32>(data[2]) << 16) |
                    (static_cast<u32>(data[3]) << 24);
  *value = ~plain;
  if (module.vendorId == ms_NotReceived || module.productCode == ms_NotReceived ||
      module.revisionNumber == ms_NotReceived) {
    return;
  }
  module.identified = true;
  m_Checker.RemoveDiscoveredModule(sadr);
  m_Checker.AddDiscoveredModule(sadr, module.vendorId, module.productCode, static_cast<u16>(module.revisionNumber >> 16),
                                static_cast<u16>(module.revisionNumber & 0xFFFFu));
  module.vendorId = ms_NotReceived;
  module.productCode = ms_NotReceived;
  module.revisionNumber = ms_NotReceived;
}

void CCheckingFirmwareInspector::VisitSnmtAssignSadr(const Frame::CDecodedSnmtAssignSadr& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  UTIL_CHECK(CSafetyAddressRange::IsInRange(sadr));
  m_Modules[CSafetyAddressRange::GetModuleIndex(sadr)].identified = false;
}

void CCheckingFirmwareInspector::VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  UTIL_CHECK(CSafetyAddressRange::IsInRange(sadr));
  if (m_Modules[CSafetyAddressRange::GetModuleIndex(sadr)].identified && m_Checker.IsValidModule(sadr)) {
    return;
  }
  u32 flags = 0;
  flags |= m_Checker.IsRequiredModule(sadr) ? ms_RequiredModuleFlag : 0;
  flags |= m_Checker.IsDiscoveredModule(sadr) ? ms_DiscoveredModuleFlag : 0;
  flags |= m_Checker.IsAcknowledgedModule(sadr) ? ms_AcknowledgedModuleFlag : 0;
  flags |= m_Checker.IsCompatibleModule(sadr) ? ms_CompatibleModuleFlag : 0;
  flags |= m_Checker.IsMatchingModule(sadr) ? ms_MatchingModuleFlag : 0;
  m_Valid = false;
  throw CException(ErrorCodes::ms_FirmwareSetToOpRefused, sadr, flags);
}

void CCheckingFirmwareInspector::VisitAcknowledgeFirmware(const Hmi::CDecodedAcknowledgeFirmware&) {
  if (m_Commissioner.CanManuallyAcknowledgeFirmware()) {
    static_cast<void>(m_Checker.TryAcknowledgeModules());
  }
}

void CCheckingFirmwareInspector::VisitFirmwareAcknowledged(const Event::CDecodedFirmwareAcknowledged&) {
  if (m_Commissioner.CanAutomaticallyAcknowledgeFirmware()) {
    static_cast<void>(m_Checker.TryAcknowledgeModules());
  }
}

}  // namespace Check
