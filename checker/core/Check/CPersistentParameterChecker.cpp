#include "Check/CPersistentParameterChecker.h"

#include <cstring>

#include "CException.h"
#include "CInternalError.h"
#include "CInvertedParameterChecksumReader.h"
#include "ErrorCodes.h"

namespace Check {

using Util::CException;
using Util::ErrorCodes;

CPersistentParameterChecker::CPersistentParameterChecker(Param::CInvertedParameterChecksumReader& requiredChecksums)
    : m_Required{}, m_RequiredLength{}, m_RequiredChecksum{}, m_Discovered{}, m_Compatible{},
      m_RequiredChecksums(requiredChecksums), m_Initialized(false) {
  std::memset(m_RequiredChecksum, 0xFF, sizeof(m_RequiredChecksum));
}

CPersistentParameterChecker::~CPersistentParameterChecker() = default;

u16 CPersistentParameterChecker::GetCheckedIndex(u16 sadr) const {
  UTIL_CHECK(m_Initialized);
  if (!CSafetyAddressRange::IsInRange(sadr)) {
    throw CException(ErrorCodes::ms_ChecksumSafetyAddress, sadr);
  }
  return CSafetyAddressRange::GetModuleIndex(sadr);
}

void CPersistentParameterChecker::AddDiscoveredModule(u16 sadr, u32 length, const u8* invertedChecksum) {
  UTIL_CHECK(invertedChecksum != nullptr);
  const u16 i = GetCheckedIndex(sadr);
  if (length > ms_ChecksumLengthMax || length % ms_ChecksumLengthStep != 0) {
    throw CException(ErrorCodes::ms_ChecksumLength, sadr, length);
  }
  if (m_Discovered[i]) {
    return;
  }
  m_Discovered[i] = true;
  // A length of 0 equals the required length of a SADR without requirement.
  m_Compatible[i] = length == m_RequiredLength[i] && std::memcmp(invertedChecksum, m_RequiredChecksum[i], length) == 0;
}

void CPersistentParameterChecker::RemoveDiscoveredModule(u16 sadr) {
  const u16 i = GetCheckedIndex(sadr);
  if (m_Discovered[i]) {
    m_Discovered[i] = false;
    m_Compatible[i] = false;
  }
}

bool CPersistentParameterChecker::IsRequiredModule(u16 sadr) const { return m_Required[GetCheckedIndex(sadr)]; }

bool CPersistentParameterChecker::IsDiscoveredModule(u16 sadr) const { return m_Discovered[GetCheckedIndex(sadr)]; }

bool CPersistentParameterChecker::IsCompatibleModule(u16 sadr) const { return m_Compatible[GetCheckedIndex(sadr)]; }

bool CPersistentParameterChecker::IsValidModule(u16 sadr) const { return IsCompatibleModule(sadr); }

void CPersistentParameterChecker::Initialize() {
  UTIL_CHECK(!m_Initialized);
  m_RequiredChecksums.Open();
  u16 sadr = 0;
  u32 length = 0;
  const u8* checksum = nullptr;
  while (m_RequiredChecksums.TryReadNext(sadr, length, checksum)) {
    UTIL_CHECK(checksum != nullptr);
    if (!CSafetyAddressRange::IsInRange(sadr)) {
      throw CException(ErrorCodes::ms_ChecksumSafetyAddress, sadr);
    }
    if (length < ms_ChecksumLengthStep || length > ms_ChecksumLengthMax || length % ms_ChecksumLengthStep != 0) {
      throw CException(ErrorCodes::ms_ChecksumLength, sadr, length);
    }
    const u16 i = CSafetyAddressRange::GetModuleIndex(sadr);
    m_Required[i] = true;
    m_RequiredLength[i] = length;
    std::memcpy(m_RequiredChecksum[i], checksum, length);
  }
  m_RequiredChecksums.Close();
  m_Initialized = true;
}

}  // namespace Check
