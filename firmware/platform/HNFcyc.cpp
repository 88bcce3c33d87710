// Cyclic and background tasks.
#include "HNFcyc.h"

#include <cerrno>

#include "EPSerr.h"
#include "EPSglobal.h"
#include "EPSinit.h"
#include "EPSrxtx.h"
#include "EPSudid.h"
#include "HNFevt.h"
#include "HNFhwt.h"
#include "HNFiff_CmdChnl.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "SCM.h"
#include "SOD.h"
#include "ScmProfile.h"
#include "ScmSystemCalls.h"

u32 HNFcyc_statusInfo[2];
u8 HNFcyc_gbCalledFromCyc;
u32 HNFcyc_TriggerSendScmVersionToQorInBgTask;
u32 HNFcyc_TriggerSendPasswordToQorInBgTask;
u32 HNFcyc_TriggerSendOptionalModulesToQorInBgTask;
#if !SCM_PROFILE_LEGACY
u32 HNFcyc_TriggerSendSetupModeToQorInBgTask;
#endif
// The application's start-up flag begins at 1; a copy of 0 would read as a broken handshake.
u32 HNFcyc_ulStartUpProgress = 1;
u64 HNFcyc_ullLastUsec;
u8 HNFcyc_bHaveLastUsec;

/// Start-up step from which the memory CRC manager runs.
static constexpr u32 HNFcyc_kStepManager = 15;
/// Start-up step from which the stack and the handshakes run.
static constexpr u32 HNFcyc_kStepStack = 16;
/// Smallest task delay in ticks.
static constexpr int HNFcyc_kMinDelayTicks = 10;
/// The SCM version sent to the Qor controller when the object list does not supply it.
static constexpr u16 HNFcyc_kScmVersionUnknown = 0;
/// Object of the SCM version (index, sub-index; u16).
static constexpr u16 HNFcyc_kScmVersionIndex = 0x1018;
static constexpr u8 HNFcyc_kScmVersionSub = 9;

/// The SCM version of the object list, else HNFcyc_kScmVersionUnknown.
static u16 HNFcyc_ReadScmVersion(void) {
  SOD_Access acc = SOD_Access{};
  acc.obj.usIndex = HNFcyc_kScmVersionIndex;
  acc.obj.ucSubIndex = HNFcyc_kScmVersionSub;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  if (SOD_AttrGetVirt(&acc, &err) == nullptr || acc.obj.attr.ulLength != 2) {
    return HNFcyc_kScmVersionUnknown;
  }
  const void* pvValue = SOD_ReadVirt(&acc, &err);
  if (pvValue == nullptr) {
    return HNFcyc_kScmVersionUnknown;
  }
  const u8* pucValue = static_cast<const u8*>(pvValue);
  return static_cast<u16>(pucValue[0] | (pucValue[1] << 8));
}
/// Set once a failed domain reset was reported, until a call succeeds.
static u8 HNFcyc_bResetFailReported;

int GetTaskDelayTickCount(int divisor) {
  const int iTicks = sysClkRateGet() / (divisor > 0 ? divisor : 1);
  return iTicks < HNFcyc_kMinDelayTicks ? HNFcyc_kMinDelayTicks : iTicks;
}

void HNFcyc_InitStepDone(u32 step) { HNFcyc_statusInfo[0] = step; }

/// Bits 32 to 63 of counter x multiplier: the upper half truncated to 32 bits,
/// which the product modulo 2^64 already holds.
static u32 HNFcyc_ComputeCt(u64 usec, u64 multiplier) { return static_cast<u32>((usec * multiplier) >> 32); }

/// The cyclic task's side of the scan, quit and acknowledge handshakes.
static void HNFcyc_Handshakes(void) {
  if (MFWQZ_gbStartScan != 0) {
    if (MFWQZ_gbScanInit != 0) {
      HNFevt_EnregisterEventInfo(MFWQZ_kEvtHandshake, 0, MFWQZ_kHsScan);
    }
    MFWQZ_gbStartScan = 0;
    if (MFWQZ_gbScanStarted == 0) {
      MFWQZ_gbScanInit = 1;
    }
  }
  if (MFWQZ_gbScanStarted != 0) {
    MFWQZ_gbScanStarted = 0;
    MFWQZ_ResetNodeGuarding();
  }
  if (MFWQZ_gbStartQuit != 0) {
    if (MFWQZ_gbQuitAll != 0) {
      HNFevt_EnregisterEventInfo(MFWQZ_kEvtHandshake, 0, MFWQZ_kHsQuit);
    }
    MFWQZ_gbStartQuit = 0;
    MFWQZ_susQuitSaddr = 1;
    MFWQZ_gbQuitAll = 1;
  }
  if (MFWQZ_gbQuitUdid != 0) {
    MFWQZ_gbQuitUdid = 0;
    const u16 usSadr = MFWQZ_gusQuitSaddr;
    const u32 ulPending = usSadr < MFWQZ_kModuleCount
                              ? (MFWQZ_ModuleInfo[usSadr].ulFlags & (MFWQZ_kFlagUdidMismatch | MFWQZ_kFlagEncoderChanged))
                              : 0;
    // Only what the node's machine still awaits is acknowledged: the SCM may have
    // left its wait unreported (activation, an encoder change it acknowledged
    // itself), and acknowledging then would be refused as fatal. Nothing awaited
    // counts as done; the scan after the quit shows what is left.
    const u8 ucAwaited = SCM_AwaitedAck(MFWQZ_gusAckHandle);
    if (ulPending == MFWQZ_kFlagUdidMismatch) {
      MFWQZ_gbAckError = 0;
      if (ucAwaited == SCM_k_AWAIT_OPERATOR) {
        if (SCM_OperatorAck(MFWQZ_gusAckHandle) == 1) {
          MFWQZ_ModuleInfo[usSadr].ulFlags |= MFWQZ_kFlagUdidAcknowledged;
        } else {
          MFWQZ_gbAckError = 1;
        }
      }
    } else if (ulPending == MFWQZ_kFlagEncoderChanged) {
      MFWQZ_gbAckError = 0;
      if (ucAwaited == SCM_k_AWAIT_SN_FAIL && EPS_EncoderAck(MFWQZ_gusAckHandle) != 1) {
        MFWQZ_gbAckError = 1;
      }
    } else {
      HNFevt_EnregisterEventInfo(MFWQZ_kEvtNothingToAck, usSadr, usSadr);
      MFWQZ_gbAckError = 1;
    }
    MFWQZ_gbAckDone = 1;
  }
}

void IRQ(void) {
  if (EPS_gGlobal.ulModuleState != HNFiff_kModuleStateNormal) {
    return;
  }
  EPS_gGlobal.ulModuleState = HNFiff_ModuleStateRead();
  if (EPS_gGlobal.ulModuleState != HNFiff_kModuleStateNormal) {
    return;
  }
  HNFcyc_gbCalledFromCyc = 1;
  const u64 ullNow = ScmGetUSecCounter();
  if (HNFcyc_bHaveLastUsec != 0) {
    const u64 ullGap = ullNow - HNFcyc_ullLastUsec;
    if (ullGap > HNFcyc_kMaxCycleGapUs) {
      HNFevt_EnregisterEvent(HNFcyc_kEvtCycleGap, static_cast<u32>(ullGap));
    }
  }
  HNFcyc_ullLastUsec = ullNow;
  HNFcyc_bHaveLastUsec = 1;
  HNFcyc_statusInfo[1] = HNFcyc_statusInfo[0];
  EPS_gGlobal.ulCt = HNFcyc_ComputeCt(ullNow, EPS_gGlobal.ullCtMultiplier);
  if (HNFcyc_statusInfo[1] > HNFcyc_kStepManager) {
    HNFhwt_Manager();
  }
  if (HNFcyc_statusInfo[1] > HNFcyc_kStepStack) {
    EPS_RxTxSsdo();
    HNFcyc_Handshakes();
  }
  HNFcyc_ulStartUpProgress = MFWQZ_EndOfStartUp(HNFcyc_ulStartUpProgress);
  MFWQZ_gbUdidSaving = EPS_UdidStoreInProgress();
  HNFcyc_gbCalledFromCyc = 0;
}

void HNFcyc_CyclicPass(void) {
  errno = 0;
  if (semTake(HNFstp_pRxSemaphore, WAIT_FOREVER) != OK) {
    HNFevt_EnregisterEventInfo(HNFstp_kEvtCycleSemaphore, 4, static_cast<u32>(errno));
    // Without the checker's pace the cycle must not run unpaced at the highest priority.
    (void)taskDelay(GetTaskDelayTickCount(100));
  }
  IRQ();
  errno = 0;
  if (semGive(HNFstp_pTxSemaphore) != OK) {
    HNFevt_EnregisterEventInfo(HNFstp_kEvtCycleSemaphore, 3, static_cast<u32>(errno));
  }
}

void HNFcyc_BuildOptionalModuleList(u16* list) {
  u32 ulCount = 0;
  for (u32 i = 0; i < MFWQZ_kOptionalListCount; ++i) {
    list[i] = 0;
  }
  for (u32 ulSadr = 2; ulSadr < MFWQZ_kModuleCount && ulCount < MFWQZ_kOptionalListCount; ++ulSadr) {
    if ((MFWQZ_ModuleInfo[ulSadr].ulFlags & MFWQZ_kFlagConfigured) == 0) {
      continue;
    }
    const u32 ulByte = ulSadr / 8;
    const u8 ucBit = static_cast<u8>(1u << (ulSadr % 8));
    const u8 ucMarked = (MFWQZ_gaucOptFlags[ulByte] | MFWQZ_gaucStpFlags[ulByte] | MFWQZ_gaucNprFlags[ulByte] |
                         MFWQZ_aucMissStpFlags[ulByte]) &
                        ucBit;
    if (ucMarked != 0) {
      list[ulCount++] = static_cast<u16>(ulSadr);
    }
  }
}

void HNFcyc_BgTask(void) {
  HNFcyc_HandleUnlockRequest();
  (void)MFWQZ_Main(HNFcyc_statusInfo[1] > HNFcyc_kStepStack ? 1 : 0);
  if constexpr (SCM_kLegacy) {
    EPS_CrcCalculationManager();
  } else {
    EPS_Idle();
  }
  if (HNFcyc_statusInfo[1] > HNFcyc_kStepStack) {
    // The writer says when the pass must stop: a busy storage or a wait between tries.
    while (EPS_UdidStoreInProgress() != 0 && EPS_StoreSadrUdid() != 0) {
    }
  }
  if (HNFcyc_TriggerSendScmVersionToQorInBgTask != 0) {
    (void)MFWQZ_SendScmVersionToQor(HNFcyc_ReadScmVersion());
    HNFcyc_TriggerSendScmVersionToQorInBgTask = 0;
  }
  if (HNFcyc_TriggerSendPasswordToQorInBgTask != 0) {
    (void)MFWQZ_SendPasswordToQor(MFWQZ_gaucPassword);
    HNFcyc_TriggerSendPasswordToQorInBgTask = 0;
  }
  if (HNFcyc_TriggerSendOptionalModulesToQorInBgTask != 0) {
    u16 ausList[MFWQZ_kOptionalListCount];
    if constexpr (SCM_kLegacy) {
      // The older release tells the Qor controller which configured modules are still missing.
      MFWQZ_BuildMissingOptionalList(ausList);
      (void)MFWQZ_SendMissingOptionalModulesToQor(ausList);
    } else {
      HNFcyc_BuildOptionalModuleList(ausList);
      (void)MFWQZ_SendOptionalModulesToQor(ausList);
    }
    HNFcyc_TriggerSendOptionalModulesToQorInBgTask = 0;
  }
  MFWQZ_SetupModeToQorWhenTriggered();
  HNFiff_CmdChnlRcv();
}

u8 HNFiff_SafePlcReset(void) {
  if (ScmReset(HNFstp_usSdn) == 0) {
    HNFcyc_bResetFailReported = 0;
    return 1;
  }
  if (HNFcyc_bResetFailReported == 0) {
    HNFcyc_bResetFailReported = 1;
    HNFevt_EnregisterEvent(HNFcyc_kEvtResetFailed, 3);
  }
  return 0;
}

u8 HNFcyc_BackgroundPass(void) {
  HNFcyc_BgTask();
  if (MFWQZ_QorHasFailed() != 0 && MFWQZ_QorHasRecovered() != 0 && HNFiff_SafePlcReset() != 0) {
    return 0;
  }
  return 1;
}

int DoCyclicWork(_Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                 _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  for (;;) {
    HNFcyc_CyclicPass();
  }
}

int DoBackgroundWork(_Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                     _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  while (HNFcyc_BackgroundPass() != 0) {
    (void)taskDelay(GetTaskDelayTickCount(100));
  }
  taskExit(0);
}
