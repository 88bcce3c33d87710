#include "Check/CPersistentAdditionalParameterCatalog.h"

#include <cstring>

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"

namespace Check {

using Util::CException;
using Util::ErrorCodes;

CPersistentAdditionalParameterCatalog::CPersistentAdditionalParameterCatalog(
    Param::CInvertedAdditionalParameterHeaderReader& reader)
    : m_Reader(reader) {
  std::memset(m_Headers, 0xFF, sizeof(m_Headers));
}

void CPersistentAdditionalParameterCatalog::CheckKey(u16 sadr, u8 parameterNumber) {
  if (sadr < ms_SafetyAddressMin || sadr > ms_SafetyAddressMax) {
    throw CException(ErrorCodes::ms_AdditionalParameterSafetyAddress, sadr);
  }
  if (parameterNumber >= ms_ParameterNumberCount) {
    throw CException(ErrorCodes::ms_AdditionalParameterNumber, parameterNumber);
  }
}

bool CPersistentAdditionalParameterCatalog::HasAdditionalParameter(u16 sadr, u8 parameterNumber) const {
  UTIL_CHECK(m_Initialized);
  CheckKey(sadr, parameterNumber);
  return m_Present[sadr - 1][parameterNumber];
}

const u8* CPersistentAdditionalParameterCatalog::GetInvertedAdditionalParameterHeader(u16 sadr,
                                                                                   u8 parameterNumber) const {
  UTIL_CHECK(m_Initialized);
  CheckKey(sadr, parameterNumber);
  if (!m_Present[sadr - 1][parameterNumber]) {
    throw CException(ErrorCodes::ms_AdditionalParameterUnknown, sadr, parameterNumber);
  }
  return m_Headers[sadr - 1][parameterNumber];
}

void CPersistentAdditionalParameterCatalog::Initialize() {
  UTIL_CHECK(!m_Initialized);
  m_Reader.Open();
  u16 sadr = 0;
  u8 parameterNumber = 0;
  const u8* header = nullptr;
  while (m_Reader.TryReadNext(sadr, parameterNumber, header)) {
    UTIL_CHECK(header != nullptr);
    CheckKey(sadr, parameterNumber);
    std::memcpy(m_Headers[sadr - 1][parameterNumber], header, ms_HeaderLength);
    m_Present[sadr - 1][parameterNumber] = true;
    header = nullptr;
  }
  m_Reader.Close();
  m_Initialized = true;
}

}  // namespace Check
