// Error reporting and statistic counters of the stack.
#include "SAPL.h"
#include "SCFM.h"
#include "SERR.h"

namespace {
u32 s_ulLastAddInfo = 0;                                    ///< info of the last reported error
u32 s_aulCommonCtr[SERR_kCommonCounters] = {};              ///< common statistic counters
u32 s_aulAcycCtr[SERR_kAcycSlots][SERR_kAcycCounters] = {};  ///< acyclic counters per slot
}  // namespace

void SERR_Init() {
  SCFM_Tack();
  s_ulLastAddInfo = 0;
}

void SERR_SetError(SERR_ErrorCode code, u32 info) {
  SCFM_Tack();
  s_ulLastAddInfo = info;
  SAPL_SERR_SignalErrorClbk(code, info);
}

u32 SERR_GetLastAddInfo() {
  SCFM_Tack();
  return s_ulLastAddInfo;
}

void SERR_CountCommonEvt(u8 index) {
  SCFM_Tack();
  if (index < SERR_kCommonCounters) {
    ++s_aulCommonCtr[index];
  }
}

void SERR_CountSpdoEvt() {
  SCFM_Tack();
  ++s_aulCommonCtr[SERR_k_SPDO];
}

void SERR_CountAcycEvt(u16 slot, u8 index) {
  SCFM_Tack();
  // The indices come from callers' constants; a wrong one must not write beyond the table.
  if (slot >= SERR_kAcycSlots || index >= SERR_kAcycCounters) {
    SCFM_Tack();
    return;
  }
  ++s_aulAcycCtr[slot][index];
  ++s_aulCommonCtr[SERR_k_ACYC];
}

bool SERR_GetCommonStatCtr(u8 index, u32* out) {
  SCFM_Tack();
  if (index >= SERR_kCommonCounters || out == nullptr) {
    SCFM_Tack();
    return false;
  }
  *out = s_aulCommonCtr[index];
  return true;
}

bool SERR_GetAcycStatCtr(u16 slot, u8 index, u32* out) {
  SCFM_Tack();
  if (slot >= SERR_kAcycSlots || index > SERR_kAcycReadMax || out == nullptr) {
    SCFM_Tack();
    return false;
  }
  *out = s_aulAcycCtr[slot][index];
  return true;
}
