// Idle checks of the background task: the parameter walk over the real and
// the virtual objects against the reference CRCs of 0x1018/6 (the block checker
// is EPSparCheck.cpp), the reports of growing stack error counters, and the
// machine options written at start-up.
#include <cstdint>

#include "EPSbytes.h"
#include "EPSglobal.h"
#include "EPSod.h"
#include "HNFevt.h"
#include "HNFffs.h"
#include "HNFhwt.h"
#include "HNFiff_Crc.h"
#include "MFWQZ.h"
#include "SERR.h"
#include "SOD.h"
#include "ScmSystemCalls.h"

u32 EPS_gCalcCrc;
u8 EPS_gaucMachineOptionSet[EPS_kAddParHeaderSize + EPS_kMachineOptionsSize];

namespace {

/// One error counter whose growth is reported.
struct CounterReport {
  u32 ulUnit;    ///< stack unit of the counter
  u32 ulEvent;   ///< event raised
  u64 ullHoldUs; ///< hold after a report (microseconds)
};

/// The two reported counters: SNMT master and frame serializer.
constexpr CounterReport k_aReports[] = {{5, EPS_kEvtUnit5Errors, EPS_kHoldUnit5Us},
                                        {3, EPS_kEvtUnit3Errors, EPS_kHoldUnit3Us}};
constexpr u32 k_ReportCount = sizeof(k_aReports) / sizeof(k_aReports[0]);

SOD_Access s_VirtAcc;                  ///< access structure of the walk over the virtual objects
u8 s_bCountersStarted;                 ///< the first pass took its start time
u64 s_ullNextCounterCheckUs;           ///< next look at the counters (host counter, microseconds)
u64 s_aullEarliestReportUs[k_ReportCount];  ///< earliest next report per counter (microseconds)
u32 s_aulReported[k_ReportCount];      ///< value last reported per counter

}  // namespace

namespace {

/// Key of an object for the merged walk.
u32 Key(u16 index, u8 sub) { return (static_cast<u32>(index) << 8) | sub; }

/// Walks the real and the virtual objects together in ascending order; the result.
u8 WalkParameters() {
  EPS_ParCheckStart();
  const SOD_Entry* pReal = nullptr;
  SOD_ErrorInfo errReal = {SOD_k_NO_ERROR, 0};
  const SOD_AttrPart* pRealAttr = SOD_AttrGetNext(true, &pReal, &errReal);
  s_VirtAcc = SOD_Access{};
  SOD_ErrorInfo errVirt = {SOD_k_NO_ERROR, 0};
  const SOD_AttrPart* pVirtAttr = SOD_AttrGetNextVirt(true, &s_VirtAcc, &errVirt);
  // A virtual object that does not resolve is skipped; the walk ends with no error and no object.
  bool bVirtMore = pVirtAttr != nullptr || errVirt.usErrNum != SOD_k_NO_ERROR;
  for (u32 ulStep = 0; ulStep < EPS_kParWalkMaxSteps && EPS_ParCheckEnded() == 0; ++ulStep) {
    const bool bRealMore = pRealAttr != nullptr && pReal != nullptr && pReal->usIndex != SOD_k_END_INDEX;
    if (!bRealMore && !bVirtMore) {
      break;
    }
    const bool bTakeReal =
        bRealMore && (!bVirtMore || Key(pReal->usIndex, pReal->ucSubIndex) <
                                        Key(s_VirtAcc.obj.usIndex, s_VirtAcc.obj.ucSubIndex));
    if (bTakeReal) {
      EPS_ParCheckFeedObject(pRealAttr);
      pRealAttr = SOD_AttrGetNext(false, &pReal, &errReal);
    } else {
      EPS_ParCheckFeedObject(pVirtAttr);
      errVirt = SOD_ErrorInfo{SOD_k_NO_ERROR, 0};
      pVirtAttr = SOD_AttrGetNextVirt(false, &s_VirtAcc, &errVirt);
      bVirtMore = pVirtAttr != nullptr || errVirt.usErrNum != SOD_k_NO_ERROR;
    }
  }
  return EPS_ParCheckFinish();
}

/// Reports the growth of the two watched error counters, each at most once per its hold.
void CheckCounters(u64 now) {
  if (s_bCountersStarted == 0) {
    // The holds run from start-up: the errors of nodes that are still booting are not reported.
    s_bCountersStarted = 1;
    s_ullNextCounterCheckUs = now;
    for (u32 i = 0; i < k_ReportCount; ++i) {
      s_aullEarliestReportUs[i] = now + k_aReports[i].ullHoldUs;
      s_aulReported[i] = 0;
    }
  }
  if (now < s_ullNextCounterCheckUs) {
    return;
  }
  s_ullNextCounterCheckUs = now + EPS_kCounterCheckUs;
  for (u32 i = 0; i < k_ReportCount; ++i) {
    const u32 ulCounter = EPS_gGlobal.aulErrorCounters[k_aReports[i].ulUnit];
    if (now < s_aullEarliestReportUs[i] || ulCounter == s_aulReported[i]) {
      continue;
    }
    const u32 ulIncrease = ulCounter - s_aulReported[i];
    HNFevt_EnregisterEventInfo(k_aReports[i].ulEvent, static_cast<u16>(ulIncrease > 0xFFFFu ? 0xFFFFu : ulIncrease),
                               ulCounter);
    s_aulReported[i] = ulCounter;
    s_aullEarliestReportUs[i] = now + k_aReports[i].ullHoldUs;
  }
}

/// The timestamp of "AUTOCNF.BIN" for the machine-option header: 0 when missing, short or of another version.
u32 AutoCnfTimestamp() {
  i32 lHandle = HNFffs_Open("AUTOCNF.BIN", "r");
  while (lHandle == HNFffs_kBusy) {
    lHandle = HNFffs_Open("AUTOCNF.BIN", "r");
  }
  if (lHandle < 0) {
    return 0;
  }
  u8 aucHead[EPS_kAutoCnfHeadSize];
  const i32 lRead = HNFffs_Read(aucHead, EPS_kAutoCnfHeadSize, lHandle);
  (void)HNFffs_Close(lHandle);
  if (lRead != static_cast<i32>(EPS_kAutoCnfHeadSize)) {
    return 0;
  }
  const u16 usVersion = static_cast<u16>(aucHead[4] | (aucHead[5] << 8));
  if (usVersion != EPS_kAutoCnfVersion) {
    HNFevt_EnregisterEventInfo(EPS_kEvtAutoCnfVersion, 9, usVersion);
    return 0;
  }
  return EPS_Rd32(aucHead + 8);
}

}  // namespace

void EPS_IdleInit(void) {
  s_bCountersStarted = 0;
  s_ullNextCounterCheckUs = 0;
  EPS_gCalcCrc = 0;
}

void EPS_Idle(void) {
  EPS_ParCheckOnRequest(WalkParameters);
  CheckCounters(ScmGetUSecCounter());
}

void EPS_WriteExternalMachineOptionsToSod(void) {
  if (MFWQZ_gbMachineOptionsActive == 0) {
    return;
  }
  u8* pucSet = EPS_gaucMachineOptionSet;
  u8* pucOptions = pucSet + EPS_kAddParHeaderSize;
  if (MFWQZ_GetMachineOptions(pucOptions, EPS_kMachineOptionsSize) != 1) {
    return;
  }
  pucSet[0] = EPS_kMachineOptionsNumber;
  pucSet[1] = 1;  // header version
  pucSet[2] = 1;  // SADR 1, the SCM's own set
  pucSet[3] = 0;
  EPS_Wr32(pucSet + 4, EPS_kMachineOptionsSize);
  EPS_Wr32(pucSet + 12, AutoCnfTimestamp());
  EPS_Wr32(pucSet + 8, HNFiff_Crc32CalcSwp(0, static_cast<i32>(EPS_kMachineOptionsSize), pucOptions));
  // Sub-index 2 of 0xE400, whatever "pardata1.bin" put there.
  EPS_gaAddPar[0][1].pucData = pucSet;
  EPS_gaAddPar[0][1].ulActLen = EPS_kAddParHeaderSize + EPS_kMachineOptionsSize;
}
