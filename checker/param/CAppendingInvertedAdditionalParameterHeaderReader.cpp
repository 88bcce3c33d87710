#include "CAppendingInvertedAdditionalParameterHeaderReader.h"

namespace Param {

void CAppendingInvertedAdditionalParameterHeaderReader::Open() {
  m_A.Open();
  m_B.Open();
  m_C.Open();
}

bool CAppendingInvertedAdditionalParameterHeaderReader::TryReadNext(u16& sadr, u8& parameterNumber,
                                                                    const u8*& header) {
  if (m_A.TryReadNext(sadr, parameterNumber, header)) {
    return true;
  }
  if (m_B.TryReadNext(sadr, parameterNumber, header)) {
    return true;
  }
  return m_C.TryReadNext(sadr, parameterNumber, header);
}

void CAppendingInvertedAdditionalParameterHeaderReader::Close() {
  m_A.Close();
  m_B.Close();
  m_C.Close();
}

}  // namespace Param
