#include "CFwRevCnfBinChkInvertedMinorRevisionWriter.h"

#include "CInternalError.h"

namespace Param {

void CFwRevCnfBinChkInvertedMinorRevisionWriter::Open() {
  UTIL_CHECK(!m_Open);
  u32 room = 0;
  u8* entries = nullptr;
  m_File.StartWritingModuleSection(room, entries);
  m_Entries.Initialize(room, entries);
  m_Entries.Open();
  m_Written = 0;
  m_Open = true;
}

void CFwRevCnfBinChkInvertedMinorRevisionWriter::WriteNext(u16 sadr, u16 invertedMinorRevision) {
  UTIL_CHECK(m_Open);
  m_Entries.WriteNext(sadr, invertedMinorRevision);
}

void CFwRevCnfBinChkInvertedMinorRevisionWriter::Close() {
  UTIL_CHECK(m_Open);
  m_Written = m_Entries.GetContentLength();
  m_Entries.Close();
  m_Open = false;
  m_File.StopWritingModuleSection(m_Written);
}

u32 CFwRevCnfBinChkInvertedMinorRevisionWriter::GetContentLength() const {
  return m_Open ? m_Entries.GetContentLength() : m_Written;
}

}  // namespace Param
