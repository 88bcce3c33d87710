#include "CKelParaSafScmSectionParameterReader.h"

namespace Param {

void CKelParaSafScmSectionParameterReader::Open() {
  u32 length = 0;
  const u8* section = nullptr;
  m_File.StartReadingScmSection(length, section);
  m_Records.Initialize(length, section);
  m_Records.Open();
}

bool CKelParaSafScmSectionParameterReader::TryReadNext(u16& index, u8& subIndex, u32& length, const u8*& data) {
  return m_Records.TryReadNext(index, subIndex, length, data);
}

void CKelParaSafScmSectionParameterReader::Close() {
  m_Records.Close();
  m_File.StopReadingScmSection();
}

}  // namespace Param
