#include "CByteArrayUdidReader.h"

#include "CLittleEndian.h"
#include "CSafetyAddress.h"
#include "ErrorCodes.h"

namespace Param {

void CByteArrayUdidReader::Initialize(u32 size, const u8* buffer) { m_Region.Initialize(size, buffer); }

void CByteArrayUdidReader::Open() { m_Region.Open(); }

bool CByteArrayUdidReader::TryReadNext(u16& sadr, const u8*& udid) {
  m_Region.CheckOpen();
  if (m_Region.GetLeft() < ms_EntryLength) {
    return false;
  }
  const u8* entry = m_Region.GetCursor();
  const u16 value = CLittleEndian::GetU16(entry);
  CSafetyAddress::Require(value, Util::ErrorCodes::ms_EntrySafetyAddress);
  sadr = value;
  udid = entry + 2;
  m_Region.Advance(ms_EntryLength);
  return true;
}

void CByteArrayUdidReader::Close() { m_Region.Close(); }

}  // namespace Param
