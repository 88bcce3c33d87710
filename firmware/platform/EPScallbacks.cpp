// Callbacks of the real objects and the application callbacks the stack
// requires of the platform for the own node and (the current release) the
// extended CT.
#include "EPScallbacks.h"

#include <ctime>

#include "EPSglobal.h"
#include "EPSod.h"
#include "HNFevt.h"
#include "SAPL.h"
#include "SERR.h"
#include "ScmSystemCalls.h"

namespace {
constexpr u32 k_ABORT_GENERAL = 0x08000000;  ///< general error
constexpr u32 k_ABORT_NO_OBJ = 0x06020000;   ///< object does not exist
/// CT multipliers of the time bases 0 to 3.
constexpr u64 k_CT_MULTIPLIER[4] = {0xF5C28F5Bu, 0x189374BCu, 0x02752546u, 0x003EEA20u};
/// Mask of the 40-bit initial consecutive time.
[[maybe_unused]] constexpr u64 k_EXT_CT_MASK = 0xFFFFFFFFFFull;

/// Stores an abort code when the caller gave room for one.
bool Refuse(u32* abortCode, u32 code) {
  if (abortCode != nullptr) {
    *abortCode = code;
  }
  return false;
}
}  // namespace

bool EPS_CallbackSetCtMultiplyer(u8 service, SOD_Entry* record, const void* /*data*/, u32 /*offset*/,
                                 u32 /*size*/, u32* abortCode) {
  if (service != SOD_k_SRV_AFTER_WRITE) {
    return true;
  }
  if (record == nullptr || record->attr.pvData == nullptr) {
    HNFevt_EnregisterEvent(EPS_kEvtCtValueMissing, 0);
    return Refuse(abortCode, k_ABORT_GENERAL);
  }
  const i8 cTimeBase = *static_cast<const i8*>(record->attr.pvData);
  if (cTimeBase < 0 || cTimeBase > 3) {
    HNFevt_EnregisterEvent(EPS_kEvtCtTimeBase, 1);
    return Refuse(abortCode, k_ABORT_GENERAL);
  }
  EPS_gGlobal.ullCtMultiplier = k_CT_MULTIPLIER[cTimeBase];
  return true;
}

bool EPS_MachineOption(u8 service, SOD_Entry* record, const void* /*data*/, u32 /*offset*/, u32 /*size*/,
                       u32* abortCode) {
  if (service != SOD_k_SRV_AFTER_WRITE) {
    return true;
  }
  if (record == nullptr || record->attr.pvData == nullptr) {
    HNFevt_EnregisterEvent(EPS_kEvtMachineOptionMissing, 0);
    return Refuse(abortCode, k_ABORT_GENERAL);
  }
  const u8 ucSub = record->ucSubIndex;
  if (ucSub < 1 || ucSub > 32) {
    return Refuse(abortCode, k_ABORT_NO_OBJ);
  }
  const u32 ulBit = 1u << (ucSub - 1);
  if (*static_cast<const u8*>(record->attr.pvData) != 0) {
    EPS_gGlobal.ulMachineOptions |= ulBit;
  } else {
    EPS_gGlobal.ulMachineOptions &= ~ulBit;
  }
  return true;
}

bool EPS_CommonCounterRead(u8 service, SOD_Entry* record, const void* /*data*/, u32 /*offset*/, u32 /*size*/,
                           u32* abortCode) {
  if (service != SOD_k_SRV_BEFORE_READ) {
    return true;
  }
  if (record == nullptr || record->attr.pvData == nullptr || record->ucSubIndex < 1) {
    return Refuse(abortCode, k_ABORT_GENERAL);
  }
  u32 ulValue = 0;
  if (!SERR_GetCommonStatCtr(static_cast<u8>(record->ucSubIndex - 1), &ulValue)) {
    return Refuse(abortCode, k_ABORT_GENERAL);
  }
  *static_cast<u32*>(record->attr.pvData) = ulValue;
  return true;
}

void SAPL_SNMTS_SwitchToOpReqClbk() { EPS_gGlobal.ulRequests |= EPS_kReqSwitchToOp; }

void SAPL_SNMTS_CalcParamChkSumClbk() { EPS_gGlobal.ulRequests |= EPS_kReqCalcChecksum; }

void SAPL_SNMTS_ErrorAckClbk() {}

bool SAPL_SNMTS_ParameterSetProcessed() { return (EPS_gGlobal.ulRequests & EPS_kReqParameterSetPending) == 0; }

#if !SCM_PROFILE_LEGACY
// Wall clock in microseconds plus the microsecond counter, in 40 bits; all ones when the clock fails.
u64 SAPL_SCM_GetInitialCtValueClbk() {
  timespec Now = {};
  if (clock_gettime(CLOCK_REALTIME, &Now) != 0) {
    return k_EXT_CT_MASK;
  }
  const u64 ullWallUs = static_cast<u64>(Now.tv_sec) * 1000000u + static_cast<u64>(Now.tv_nsec) / 1000u;
  return (ullWallUs + ScmGetUSecCounter()) & k_EXT_CT_MASK;
}
#endif
