#include "Check/CPersistentUdidChecker.h"

#include <cstring>

#include "CException.h"
#include "CInternalError.h"
#include "CInvertedUdidReader.h"
#include "CInvertedUdidWriter.h"
#include "CSafetyAddressReader.h"
#include "Check/CPersistentUdidCheckerCallback.h"
#include "ErrorCodes.h"

namespace Check {

using Util::CException;
using Util::ErrorCodes;

namespace {

/// True when the complemented UDID is all zero once complemented back.
bool IsZeroUdid(const u8* invertedUdid) {
  for (u32 k = 0; k < CPersistentUdidChecker::ms_UdidLength; ++k) {
    if (invertedUdid[k] != 0xFF) {
      return false;
    }
  }
  return true;
}

}  // namespace

CPersistentUdidChecker::CPersistentUdidChecker(Param::CSafetyAddressReader& required,
                                               Param::CInvertedUdidReader& acknowledged,
                                               Param::CInvertedUdidWriter& acknowledgedWriter,
                                               CPersistentUdidCheckerCallback& callback)
    : m_Required{}, m_Acknowledged{}, m_AcknowledgedUdid{}, m_UnacknowledgedCount(0), m_Discovered{},
      m_DiscoveredUdid{}, m_Unique{}, m_Consistent{}, m_Matching{}, m_RequiredReader(required),
      m_AcknowledgedReader(acknowledged), m_AcknowledgedWriter(acknowledgedWriter), m_Callback(callback),
      m_Initialized(false) {
  std::memset(m_AcknowledgedUdid, 0xFF, sizeof(m_AcknowledgedUdid));
  std::memset(m_DiscoveredUdid, 0xFF, sizeof(m_DiscoveredUdid));
}

CPersistentUdidChecker::~CPersistentUdidChecker() = default;

u16 CPersistentUdidChecker::GetCheckedIndex(u16 sadr) const {
  UTIL_CHECK(m_Initialized);
  if (!CSafetyAddressRange::IsInRange(sadr)) {
    throw CException(ErrorCodes::ms_UdidSafetyAddress, sadr);
  }
  return CSafetyAddressRange::GetModuleIndex(sadr);
}

bool CPersistentUdidChecker::IsUnacknowledged(u16 i) const {
  return m_Required[i] && m_Discovered[i] && !(m_Matching[i] && m_Consistent[i]);
}

u32 CPersistentUdidChecker::CountUnacknowledged() const {
  u32 count = 0;
  for (u16 i = 0; i < ms_Count; ++i) {
    count += IsUnacknowledged(i) ? 1u : 0u;
  }
  return count;
}

void CPersistentUdidChecker::UpdateUniqueness(const u8* invertedUdid) {
  u32 holders = 0;
  for (u16 i = 0; i < ms_Count; ++i) {
    if (m_Discovered[i] && std::memcmp(m_DiscoveredUdid[i], invertedUdid, ms_UdidLength) == 0) {
      ++holders;
    }
  }
  for (u16 i = 0; i < ms_Count; ++i) {
    if (m_Discovered[i] && std::memcmp(m_DiscoveredUdid[i], invertedUdid, ms_UdidLength) == 0) {
      m_Unique[i] = holders == 1;
    }
  }
}

void CPersistentUdidChecker::AddDiscoveredModule(u16 sadr, const u8* invertedUdid) {
  UTIL_CHECK(invertedUdid != nullptr);
  const u16 i = GetCheckedIndex(sadr);
  if (IsZeroUdid(invertedUdid)) {
    throw CException(ErrorCodes::ms_UdidZero, sadr);
  }
  if (m_Discovered[i]) {
    return;
  }
  m_Discovered[i] = true;
  std::memcpy(m_DiscoveredUdid[i], invertedUdid, ms_UdidLength);
  m_Consistent[i] = true;
  UpdateUniqueness(invertedUdid);
  if (m_Required[i]) {
    if (m_Acknowledged[i] && std::memcmp(m_AcknowledgedUdid[i], invertedUdid, ms_UdidLength) == 0) {
      m_Matching[i] = true;
    } else if (!m_Matching[i]) {
      ++m_UnacknowledgedCount;
    }
  }
}

void CPersistentUdidChecker::RemoveDiscoveredModule(u16 sadr) {
  const u16 i = GetCheckedIndex(sadr);
  if (!m_Discovered[i]) {
    return;
  }
  m_Discovered[i] = false;
  if (m_Unique[i]) {
    m_Unique[i] = false;
  } else {
    UpdateUniqueness(m_DiscoveredUdid[i]);
  }
  std::memset(m_DiscoveredUdid[i], 0xFF, ms_UdidLength);
  if (m_Required[i]) {
    if (!(m_Matching[i] && m_Consistent[i])) {
      --m_UnacknowledgedCount;
    }
    m_Matching[i] = false;
  }
  m_Consistent[i] = false;
}

void CPersistentUdidChecker::RemoveDiscoveredEncoder(u16 sadr) {
  const u16 i = GetCheckedIndex(sadr);
  if (!m_Discovered[i]) {
    throw CException(ErrorCodes::ms_UdidEncoderUnknown, sadr);
  }
  if (m_Consistent[i]) {
    m_Consistent[i] = false;
    if (m_Required[i] && m_Matching[i]) {
      ++m_UnacknowledgedCount;
    }
  }
}

void CPersistentUdidChecker::AddDiscoveredEncoder(u16 sadr) {
  const u16 i = GetCheckedIndex(sadr);
  if (!m_Discovered[i]) {
    throw CException(ErrorCodes::ms_UdidEncoderUnknown, sadr);
  }
  if (!m_Consistent[i]) {
    m_Consistent[i] = true;
    if (m_Required[i] && m_Matching[i]) {
      --m_UnacknowledgedCount;
    }
  }
}

u32 CPersistentUdidChecker::GetUnacknowledgedModuleCount() const {
  UTIL_CHECK(m_Initialized);
  return m_UnacknowledgedCount;
}

bool CPersistentUdidChecker::TryAcknowledgeModules(u32 count) {
  UTIL_CHECK(m_Initialized);
  if (count != m_UnacknowledgedCount) {
    return false;
  }
  m_AcknowledgedWriter.Open();
  for (u16 sadr = 1; sadr <= ms_Count; ++sadr) {
    const u16 i = CSafetyAddressRange::GetModuleIndex(sadr);
    if (m_Required[i] && m_Discovered[i]) {
      if (!m_Unique[i]) {
        throw CException(ErrorCodes::ms_UdidNotUnique, sadr);
      }
      m_Acknowledged[i] = true;
      std::memcpy(m_AcknowledgedUdid[i], m_DiscoveredUdid[i], ms_UdidLength);
      m_Matching[i] = true;
    }
    if (m_Acknowledged[i]) {
      m_AcknowledgedWriter.WriteNext(sadr, m_AcknowledgedUdid[i]);
    }
  }
  m_AcknowledgedWriter.Close();
  // A module that is still inconsistent stays counted, so that its later
  // encoder acknowledgement lowers the count to the right value.
  m_UnacknowledgedCount = CountUnacknowledged();
  m_Callback.WriteAcknowledgedInvertedUdids();
  return true;
}

bool CPersistentUdidChecker::IsRequiredModule(u16 sadr) const { return m_Required[GetCheckedIndex(sadr)]; }

bool CPersistentUdidChecker::IsAcknowledgedModule(u16 sadr) const { return m_Acknowledged[GetCheckedIndex(sadr)]; }

bool CPersistentUdidChecker::IsDiscoveredModule(u16 sadr) const { return m_Discovered[GetCheckedIndex(sadr)]; }

bool CPersistentUdidChecker::IsMatchingModule(u16 sadr) const { return m_Matching[GetCheckedIndex(sadr)]; }

bool CPersistentUdidChecker::IsConsistentModule(u16 sadr) const { return m_Consistent[GetCheckedIndex(sadr)]; }

bool CPersistentUdidChecker::IsUniqueModule(u16 sadr) const { return m_Unique[GetCheckedIndex(sadr)]; }

bool CPersistentUdidChecker::IsValidModule(u16 sadr) const {
  const u16 i = GetCheckedIndex(sadr);
  return m_Matching[i] && m_Consistent[i] && m_Unique[i];
}

void CPersistentUdidChecker::Initialize() {
  UTIL_CHECK(!m_Initialized);
  m_RequiredReader.Open();
  u16 sadr = 0;
  while (m_RequiredReader.TryReadNext(sadr)) {
    if (!CSafetyAddressRange::IsInRange(sadr)) {
      throw CException(ErrorCodes::ms_UdidSafetyAddress, sadr);
    }
    m_Required[CSafetyAddressRange::GetModuleIndex(sadr)] = true;
  }
  m_RequiredReader.Close();
  m_AcknowledgedReader.Open();
  const u8* udid = nullptr;
  while (m_AcknowledgedReader.TryReadNext(sadr, udid)) {
    UTIL_CHECK(udid != nullptr);
    if (!CSafetyAddressRange::IsInRange(sadr)) {
      throw CException(ErrorCodes::ms_UdidSafetyAddress, sadr);
    }
    if (IsZeroUdid(udid)) {
      throw CException(ErrorCodes::ms_UdidZero, sadr);
    }
    const u16 i = CSafetyAddressRange::GetModuleIndex(sadr);
    m_Acknowledged[i] = true;
    std::memcpy(m_AcknowledgedUdid[i], udid, ms_UdidLength);
  }
  m_AcknowledgedReader.Close();
  m_Initialized = true;
}

}  // namespace Check
