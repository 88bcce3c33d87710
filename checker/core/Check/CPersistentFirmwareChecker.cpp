#include "Check/CPersistentFirmwareChecker.h"

#include "CException.h"
#include "CInternalError.h"
#include "CInvertedFirmwareVersionReader.h"
#include "CInvertedMinorRevisionReader.h"
#include "CInvertedMinorRevisionWriter.h"
#include "Check/CPersistentFirmwareCheckerCallback.h"
#include "ErrorCodes.h"

namespace Check {

using Util::CException;
using Util::ErrorCodes;

namespace {
constexpr u32 ms_NoValue32 = 0xFFFFFFFFu;  ///< complemented 32-bit value meaning none (plain 0)
constexpr u16 ms_NoValue16 = 0xFFFFu;      ///< complemented 16-bit value meaning none (plain 0)
}  // namespace

CPersistentFirmwareChecker::CPersistentFirmwareChecker(Param::CInvertedFirmwareVersionReader& required,
                                                       Param::CInvertedMinorRevisionReader& acknowledged,
                                                       Param::CInvertedMinorRevisionWriter& acknowledgedWriter,
                                                       CPersistentFirmwareCheckerCallback& callback)
    : m_Modules{}, m_Required(required), m_Acknowledged(acknowledged), m_AcknowledgedWriter(acknowledgedWriter),
      m_Callback(callback), m_Initialized(false) {
  for (SModule& module : m_Modules) {
    module.requiredVendorId = ms_NoValue32;
    module.requiredProductCode = ms_NoValue32;
    module.requiredMajorRevision = ms_NoValue16;
    module.requiredMinorRevision = ms_NoValue16;
    module.acknowledgedMinorRevision = ms_NoValue16;
    module.discoveredMinorRevision = ms_NoValue16;
  }
}

CPersistentFirmwareChecker::~CPersistentFirmwareChecker() = default;

u16 CPersistentFirmwareChecker::GetCheckedIndex(u16 sadr) const {
  UTIL_CHECK(m_Initialized);
  if (!CSafetyAddressRange::IsInRange(sadr)) {
    throw CException(ErrorCodes::ms_FirmwareSafetyAddress, sadr);
  }
  return CSafetyAddressRange::GetModuleIndex(sadr);
}

void CPersistentFirmwareChecker::AddDiscoveredModule(u16 sadr, u32 invertedVendorId, u32 invertedProductCode,
                                                     u16 invertedRevisionHigh, u16 invertedRevisionLow) {
  const u16 i = GetCheckedIndex(sadr);
  if (invertedVendorId == ms_NoValue32 || invertedProductCode == ms_NoValue32 || invertedRevisionHigh == ms_NoValue16 ||
      invertedRevisionLow == ms_NoValue16) {
    throw CException(ErrorCodes::ms_FirmwareIdentityZero, sadr);
  }
  SModule& module = m_Modules[i];
  if (module.discovered) {
    return;
  }
  module.discovered = true;
  module.discoveredMinorRevision = invertedRevisionLow;
  // Complemented, a minor revision at least the required one compares at most.
  module.compatible = invertedVendorId == module.requiredVendorId && invertedProductCode == module.requiredProductCode &&
                      invertedRevisionHigh == module.requiredMajorRevision &&
                      invertedRevisionLow <= module.requiredMinorRevision;
  module.matching = module.acknowledged && module.compatible && invertedRevisionLow == module.acknowledgedMinorRevision;
}

void CPersistentFirmwareChecker::RemoveDiscoveredModule(u16 sadr) {
  SModule& module = m_Modules[GetCheckedIndex(sadr)];
  if (module.discovered) {
    module.discovered = false;
    module.discoveredMinorRevision = ms_NoValue16;
    module.compatible = false;
    module.matching = false;
  }
}

bool CPersistentFirmwareChecker::TryAcknowledgeModules() {
  UTIL_CHECK(m_Initialized);
  m_AcknowledgedWriter.Open();
  for (u16 sadr = 1; sadr <= CSafetyAddressRange::ms_SafetyAddressCount; ++sadr) {
    SModule& module = m_Modules[CSafetyAddressRange::GetModuleIndex(sadr)];
    if (module.compatible) {
      module.acknowledged = true;
      module.acknowledgedMinorRevision = module.discoveredMinorRevision;
      module.matching = true;
    }
    if (module.acknowledged) {
      m_AcknowledgedWriter.WriteNext(sadr, module.acknowledgedMinorRevision);
    }
  }
  m_AcknowledgedWriter.Close();
  m_Callback.WriteAcknowledgedInvertedMinorRevisions();
  return true;
}

bool CPersistentFirmwareChecker::IsRequiredModule(u16 sadr) const { return m_Modules[GetCheckedIndex(sadr)].required; }

bool CPersistentFirmwareChecker::IsAcknowledgedModule(u16 sadr) const {
  return m_Modules[GetCheckedIndex(sadr)].acknowledged;
}

bool CPersistentFirmwareChecker::IsDiscoveredModule(u16 sadr) const {
  return m_Modules[GetCheckedIndex(sadr)].discovered;
}

bool CPersistentFirmwareChecker::IsCompatibleModule(u16 sadr) const {
  return m_Modules[GetCheckedIndex(sadr)].compatible;
}

bool CPersistentFirmwareChecker::IsMatchingModule(u16 sadr) const { return m_Modules[GetCheckedIndex(sadr)].matching; }

bool CPersistentFirmwareChecker::IsValidModule(u16 sadr) const { return IsMatchingModule(sadr); }

void CPersistentFirmwareChecker::Initialize() {
  UTIL_CHECK(!m_Initialized);
  m_Required.Open();
  u16 sadr = 0;
  u32 vendorId = 0;
  u32 productCode = 0;
  u16 major = 0;
  u16 minor = 0;
  while (m_Required.TryReadNext(sadr, vendorId, productCode, major, minor)) {
    if (!CSafetyAddressRange::IsInRange(sadr)) {
      throw CException(ErrorCodes::ms_FirmwareSafetyAddress, sadr);
    }
    if (vendorId == ms_NoValue32 || productCode == ms_NoValue32 || major == ms_NoValue16 || minor == ms_NoValue16) {
      throw CException(ErrorCodes::ms_FirmwareIdentityZero, sadr);
    }
    SModule& module = m_Modules[CSafetyAddressRange::GetModuleIndex(sadr)];
    module.required = true;
    module.requiredVendorId = vendorId;
    module.requiredProductCode = productCode;
    module.requiredMajorRevision = major;
    module.requiredMinorRevision = minor;
  }
  m_Required.Close();
  m_Acknowledged.Open();
  while (m_Acknowledged.TryReadNext(sadr, minor)) {
    if (!CSafetyAddressRange::IsInRange(sadr)) {
      throw CException(ErrorCodes::ms_FirmwareSafetyAddress, sadr);
    }
    if (minor == ms_NoValue16) {
      throw CException(ErrorCodes::ms_FirmwareIdentityZero, sadr);
    }
    SModule& module = m_Modules[CSafetyAddressRange::GetModuleIndex(sadr)];
    module.acknowledged = true;
    module.acknowledgedMinorRevision = minor;
  }
  m_Acknowledged.Close();
  m_Initialized = true;
}

}  // namespace Check
