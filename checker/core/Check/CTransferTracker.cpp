#include "Check/CTransferTracker.h"

namespace Check {

namespace {
/// Numbers a CT runs through before it repeats (1 to 0xFFFF).
constexpr u32 ms_CtCycle = 0xFFFFu;
}  // namespace

CTransferTracker::CTransferTracker() : m_InProgress(false), m_FirstCt(0), m_LastCt(0) {}

u16 CTransferTracker::GetSuccessor(u16 ct) { return ct == 0xFFFFu ? static_cast<u16>(1) : static_cast<u16>(ct + 1); }

u32 CTransferTracker::GetStepsFromFirst(u16 ct) const {
  if (ct == m_FirstCt) {
    return 0;
  }
  if (ct == 0) {
    return ms_CtCycle + 1;  // 0 never follows another number
  }
  if (m_FirstCt == 0) {
    return ct;
  }
  return (static_cast<u32>(ct) + ms_CtCycle - m_FirstCt) % ms_CtCycle;
}

bool CTransferTracker::TryTakeInitiate(u16 ct) {
  if (m_InProgress && GetStepsFromFirst(ct) <= GetStepsFromFirst(m_LastCt)) {
    return false;
  }
  m_InProgress = true;
  m_FirstCt = ct;
  m_LastCt = ct;
  return true;
}

bool CTransferTracker::TryTakeSegment(u16 ct) {
  if (!m_InProgress || ct != GetSuccessor(m_LastCt)) {
    return false;
  }
  m_LastCt = ct;
  return true;
}

void CTransferTracker::Clear() {
  m_InProgress = false;
  m_FirstCt = 0;
  m_LastCt = 0;
}

}  // namespace Check
