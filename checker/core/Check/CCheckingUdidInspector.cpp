#include "Check/CCheckingUdidInspector.h"

#include <cstring>

#include "CException.h"
#include "CInternalError.h"
#include "Check/CUdidChecker.h"
#include "Check/CUdidCommissioner.h"
#include "ErrorCodes.h"
#include "Event/CDecodedModulesAcknowledged.h"
#include "Frame/CDecodedSnmtAssignSadr.h"
#include "Frame/CDecodedSnmtResponseUdid.h"
#include "Frame/CDecodedSnmtSadrAssigned.h"
#include "Frame/CDecodedSnmtSnAck.h"
#include "Frame/CDecodedSnmtSnFail.h"
#include "Frame/CDecodedSnmtSnSetToOp.h"
#include "Hmi/CDecodedAcknowledgeModules.h"

namespace Check {

using Util::CException;
using Util::ErrorCodes;

CCheckingUdidInspector::CCheckingUdidInspector(CUdidChecker& checker, CUdidCommissioner& commissioner)
    : m_Reported{}, m_Moved{}, m_ReportedUdid{}, m_Checker(checker), m_Commissioner(commissioner), m_Valid(true) {
  std::memset(m_ReportedUdid, 0xFF, sizeof(m_ReportedUdid));
}

CCheckingUdidInspector::~CCheckingUdidInspector() = default;

void CCheckingUdidInspector::InspectCommand(const Hmi::CDecodedCommand& command) { command.Accept(*this); }

void CCheckingUdidInspector::InspectEvent(const Event::CDecodedEvent& event) { event.Accept(*this); }

void CCheckingUdidInspector::InspectReceivedFrame(const Frame::CDecodedFrame& frame) { frame.Accept(*this); }

void CCheckingUdidInspector::InspectSentFrame(const Frame::CDecodedFrame& frame) { frame.Accept(*this); }

bool CCheckingUdidInspector::IsValid() const { return m_Valid; }

u16 CCheckingUdidInspector::GetFrameIndex(u16 sadr) {
  UTIL_CHECK(CSafetyAddressRange::IsInRange(sadr));
  return CSafetyAddressRange::GetModuleIndex(sadr);
}

void CCheckingUdidInspector::VisitSnmtAssignSadr(const Frame::CDecodedSnmtAssignSadr& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  m_Reported[i] = false;
  if (m_Moved[i]) {
    m_Moved[i] = false;
    std::memset(m_ReportedUdid[i], 0xFF, ms_UdidLength);
    m_Checker.RemoveDiscoveredModule(sadr);
  }
}

void CCheckingUdidInspector::VisitSnmtSadrAssigned(const Frame::CDecodedSnmtSadrAssigned& frame) {
  UpdateModuleUdid(frame.GetSafetyAddress(), frame.GetUdid());
}

void CCheckingUdidInspector::VisitSnmtResponseUdid(const Frame::CDecodedSnmtResponseUdid& frame) {
  UpdateModuleUdid(frame.GetSafetyAddress(), frame.GetUdid());
}

void CCheckingUdidInspector::UpdateModuleUdid(u16 sadr, const u8* udid) {
  const u16 s = GetFrameIndex(sadr);
  UTIL_CHECK(udid != nullptr);
  u8 inverted[ms_UdidLength];
  for (u32 k = 0; k < ms_UdidLength; ++k) {
    inverted[k] = static_cast<u8>(~udid[k]);
  }
  for (u16 i = 0; i < ms_Count; ++i) {
    if (i == s || std::memcmp(m_ReportedUdid[i], inverted, ms_UdidLength) != 0) {
      continue;
    }
    m_Moved[i] = m_Reported[i];
    if (!m_Reported[i]) {
      std::memset(m_ReportedUdid[i], 0xFF, ms_UdidLength);
      m_Checker.RemoveDiscoveredModule(static_cast<u16>(i + 1));
    }
  }
  m_Reported[s] = true;
  std::memcpy(m_ReportedUdid[s], inverted, ms_UdidLength);
  m_Checker.RemoveDiscoveredModule(sadr);
  m_Checker.AddDiscoveredModule(sadr, inverted);
}

void CCheckingUdidInspector::VisitSnmtSnFail(const Frame::CDecodedSnmtSnFail& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  static_cast<void>(GetFrameIndex(sadr));
  if (frame.GetErrorGroup() == ms_VendorSpecificErrorGroup && frame.GetErrorCode() == ms_EncoderMismatchErrorCode) {
    m_Checker.RemoveDiscoveredEncoder(sadr);
  }
}

void CCheckingUdidInspector::VisitSnmtSnAck(const Frame::CDecodedSnmtSnAck& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  static_cast<void>(GetFrameIndex(sadr));
  if (frame.GetErrorGroup() == ms_VendorSpecificErrorGroup && frame.GetErrorCode() == ms_EncoderMismatchErrorCode) {
    m_Checker.AddDiscoveredEncoder(sadr);
  }
}

u32 CCheckingUdidInspector::GetModuleFlags(u16 sadr) const {
  u32 flags = 0;
  flags |= m_Checker.IsRequiredModule(sadr) ? ms_RequiredModuleFlag : 0;
  flags |= m_Checker.IsDiscoveredModule(sadr) ? ms_DiscoveredModuleFlag : 0;
  flags |= m_Checker.IsAcknowledgedModule(sadr) ? ms_AcknowledgedModuleFlag : 0;
  flags |= m_Checker.IsMatchingModule(sadr) ? ms_MatchingModuleFlag : 0;
  flags |= m_Checker.IsConsistentModule(sadr) ? ms_ConsistentModuleFlag : 0;
  flags |= m_Checker.IsUniqueModule(sadr) ? ms_UniqueModuleFlag : 0;
  return flags;
}

void CCheckingUdidInspector::VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  if (m_Reported[i] && m_Checker.IsValidModule(sadr)) {
    return;
  }
  m_Valid = false;
  throw CException(ErrorCodes::ms_UdidSetToOpRefused, sadr, GetModuleFlags(sadr));
}

void CCheckingUdidInspector::VisitModulesAcknowledged(const Event::CDecodedModulesAcknowledged& event) {
  if (m_Commissioner.CanAutomaticallyAcknowledgeUdids()) {
    static_cast<void>(m_Checker.TryAcknowledgeModules(event.GetAcknowledgedModuleCount() & 0xFFFFu));
  }
}

void CCheckingUdidInspector::VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules& command) {
  if (!m_Commissioner.CanManuallyAcknowledgeUdids()) {
    return;
  }
  const u32 count = command.GetAcknowledgedModuleCount();
  if (count >= 1 && count < ms_AllModulesCount) {
    static_cast<void>(m_Checker.TryAcknowledgeModules(count));
  } else if (count == ms_AllModulesCount) {
    static_cast<void>(m_Checker.TryAcknowledgeModules(m_Checker.GetUnacknowledgedModuleCount()));
  } else {
    UTIL_RAISE_INTERNAL();
  }
}

}  // namespace Check
