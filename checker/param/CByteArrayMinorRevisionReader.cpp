#include "CByteArrayMinorRevisionReader.h"

#include "CLittleEndian.h"
#include "CSafetyAddress.h"
#include "ErrorCodes.h"

namespace Param {

void CByteArrayMinorRevisionReader::Initialize(u32 size, const u8* buffer) { m_Region.Initialize(size, buffer); }

void CByteArrayMinorRevisionReader::Open() { m_Region.Open(); }

bool CByteArrayMinorRevisionReader::TryReadNext(u16& sadr, u16& minorRevision) {
  m_Region.CheckOpen();
  if (m_Region.GetLeft() < ms_EntryLength) {
    return false;
  }
  const u8* entry = m_Region.GetCursor();
  const u16 value = CLittleEndian::GetU16(entry);
  CSafetyAddress::Require(value, Util::ErrorCodes::ms_EntrySafetyAddress);
  sadr = value;
  minorRevision = CLittleEndian::GetU16(entry + 2);
  m_Region.Advance(ms_EntryLength);
  return true;
}

void CByteArrayMinorRevisionReader::Close() { m_Region.Close(); }

}  // namespace Param
