#include "CCorvaneDatChkInvertedUdidWriter.h"

#include "CInternalError.h"

namespace Param {

void CCorvaneDatChkInvertedUdidWriter::Open() {
  UTIL_CHECK(!m_Open);
  u32 room = 0;
  u8* section = nullptr;
  m_File.StartWritingUdidSection(room, section);
  m_Records.Initialize(room, section);
  m_Udids.Open();
  m_Written = 0;
  m_Open = true;
}

void CCorvaneDatChkInvertedUdidWriter::WriteNext(u16 sadr, const u8* invertedUdid) {
  UTIL_CHECK(m_Open);
  m_Udids.WriteNext(sadr, invertedUdid);
}

void CCorvaneDatChkInvertedUdidWriter::Close() {
  UTIL_CHECK(m_Open);
  m_Written = m_Records.GetContentLength();
  m_Udids.Close();
  m_Open = false;
  m_File.StopWritingUdidSection(m_Written);
}

u32 CCorvaneDatChkInvertedUdidWriter::GetContentLength() const {
  return m_Open ? m_Records.GetContentLength() : m_Written;
}

}  // namespace Param
