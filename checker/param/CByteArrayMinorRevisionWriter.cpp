#include "CByteArrayMinorRevisionWriter.h"

#include "CByteArrayMinorRevisionReader.h"
#include "CException.h"
#include "CLittleEndian.h"
#include "CSafetyAddress.h"
#include "ErrorCodes.h"

namespace Param {

void CByteArrayMinorRevisionWriter::Initialize(u32 size, u8* buffer) { m_Region.Initialize(size, buffer); }

void CByteArrayMinorRevisionWriter::Open() { m_Region.Open(); }

void CByteArrayMinorRevisionWriter::WriteNext(u16 sadr, u16 minorRevision) {
  m_Region.CheckOpen();
  if (m_Region.GetLeft() < CByteArrayMinorRevisionReader::ms_EntryLength) {
    throw Util::CException(Util::ErrorCodes::ms_WriterRoom, static_cast<u16>(m_Region.GetPosition()),
                           m_Region.GetSize());
  }
  CSafetyAddress::Require(sadr, Util::ErrorCodes::ms_WriterSafetyAddress);
  u8* entry = m_Region.GetCursor();
  CLittleEndian::PutU16(entry, sadr);
  CLittleEndian::PutU16(entry + 2, minorRevision);
  m_Region.Advance(CByteArrayMinorRevisionReader::ms_EntryLength);
}

void CByteArrayMinorRevisionWriter::Close() { m_Region.Close(); }

u32 CByteArrayMinorRevisionWriter::GetContentLength() const {
  m_Region.CheckOpen();
  return m_Region.GetPosition();
}

}  // namespace Param
