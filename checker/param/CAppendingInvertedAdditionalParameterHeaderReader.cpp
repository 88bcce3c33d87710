#include "CAppendingInvertedAdditionalParameterHeaderReader.h"

namespace Param {

void CAppendingInvertedAdditionalParameterHeaderReader::Open() {
  m_A.Open();
  m_B.Open();
  if (m_pC != nullptr) {
    m_pC->Open();
  }
}

bool CAppendingInvertedAdditionalParameterHeaderReader::TryReadNext(u16& sadr, u8& parameterNumber,
                                                                    const u8*& header) {
  if (m_A.TryReadNext(sadr, parameterNumber, header)) {
    return true;
  }
  if (m_B.TryReadNext(sadr, parameterNumber, header)) {
    return true;
  }
  return m_pC != nullptr && m_pC->TryReadNext(sadr, parameterNumber, header);
}

void CAppendingInvertedAdditionalParameterHeaderReader::Close() {
  m_A.Close();
  m_B.Close();
  if (m_pC != nullptr) {
    m_pC->Close();
  }
}

}  // namespace Param
