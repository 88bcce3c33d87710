#include "CMergingInvertedUdidReader.h"

#include "CInternalError.h"
#include "CSafetyAddress.h"

namespace Param {

void CMergingInvertedUdidReader::Open() {
  m_First.Open();
  m_Second.Open();
  m_FirstAhead = SLookAhead{};
  m_SecondAhead = SLookAhead{};
  for (u32 i = 0; i < ms_SadrSetBytes; ++i) {
    m_Delivered[i] = 0;
  }
}

void CMergingInvertedUdidReader::Close() {
  m_First.Close();
  m_Second.Close();
}

void CMergingInvertedUdidReader::Refill(CInvertedUdidReader& source, SLookAhead& lookAhead) {
  if (lookAhead.m_Held || lookAhead.m_Ended) {
    return;
  }
  u16 sadr = 0;
  const u8* udid = nullptr;
  if (source.TryReadNext(sadr, udid)) {
    // Every SADR must fit the delivered set.
    UTIL_CHECK(sadr <= CSafetyAddress::ms_Max);
    lookAhead.m_Held = true;
    lookAhead.m_Sadr = sadr;
    lookAhead.m_Udid = udid;
  } else {
    lookAhead.m_Ended = true;
  }
}

bool CMergingInvertedUdidReader::IsDelivered(u16 sadr) const {
  return (m_Delivered[sadr / 8] & (1u << (sadr % 8))) != 0;
}

void CMergingInvertedUdidReader::MarkDelivered(u16 sadr) {
  m_Delivered[sadr / 8] = static_cast<u8>(m_Delivered[sadr / 8] | (1u << (sadr % 8)));
}

bool CMergingInvertedUdidReader::TryReadNext(u16& sadr, const u8*& udid) {
  Refill(m_First, m_FirstAhead);
  Refill(m_Second, m_SecondAhead);
  while (m_SecondAhead.m_Held && IsDelivered(m_SecondAhead.m_Sadr)) {
    m_SecondAhead.m_Held = false;
    Refill(m_Second, m_SecondAhead);
  }
  const bool takeFirst =
      m_FirstAhead.m_Held && (!m_SecondAhead.m_Held || m_FirstAhead.m_Sadr <= m_SecondAhead.m_Sadr);
  if (takeFirst) {
    if (m_SecondAhead.m_Held && m_SecondAhead.m_Sadr == m_FirstAhead.m_Sadr) {
      m_SecondAhead.m_Held = false;
    }
    m_FirstAhead.m_Held = false;
    MarkDelivered(m_FirstAhead.m_Sadr);
    sadr = m_FirstAhead.m_Sadr;
    udid = m_FirstAhead.m_Udid;
    return true;
  }
  if (m_SecondAhead.m_Held) {
    m_SecondAhead.m_Held = false;
    sadr = m_SecondAhead.m_Sadr;
    udid = m_SecondAhead.m_Udid;
    return true;
  }
  return false;
}

}  // namespace Param
