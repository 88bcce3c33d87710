// Stack error reports and safety node failures.
#include "ScmProfile.h"
#include "EPSerr.h"

#include "EPSglobal.h"
#include "HNFevt.h"
#include "MFWQZ.h"
#include "SCM.h"

void SAPL_SERR_SignalErrorClbk(u16 code, u32 info) {
  if (code > EPSerr_kFailSafeClassLimit) {
    HNFevt_EnregisterEvent(EPSerr_kEvtStackFatal + (code & 0xFFFu), info);
    return;
  }
  const u32 ulUnit = (code >> 8) & 0xFu;
  if (ulUnit == EPSerr_kUnitScm) {
    const u8 ucLevel = (((code >> 12) & 0x3u) == 1u) ? HNFevt_kLevelInfo : HNFevt_kLevelWarning;
    HNFevt_EnregisterEventLevel(EPSerr_kEvtScmError + (code & 0xFFFu), 0, info, ucLevel);
    return;
  }
  // The older release keeps no per-unit counters: every other stack error is dropped.
  if constexpr (SCM_kLegacy) {
    return;
  }
  // An optional node that does not answer the SNMT master is no error.
  if ((code & 0xFFFu) == EPSerr_kSnmtmRequestExpired && info <= 0xFFFFu &&
      MFWQZ_IsModuleOptionalSADR(static_cast<u16>(info)) != 0) {
    return;
  }
  ++EPS_gGlobal.aulErrorCounters[ulUnit];
}

void SAPL_ScmSnFailClbk(u16 SADR, u8 group, u8 code, u16 fsmIndex) {
  const u32 ulInfo = static_cast<u32>(SADR) | (static_cast<u32>(group) << 16) | (static_cast<u32>(code) << 24);
  HNFevt_EnregisterEventLevel(EPSerr_kEvtSnFail, 0, ulInfo, HNFevt_kLevelInfo);
  if (group == EPSerr_kGroupEncoder && code == EPSerr_kCodeEncoderChanged) {
    MFWQZ_EncoderChg(SADR, fsmIndex);
  } else if (group == EPSerr_kGroupAutoAck && (code == 1 || (!SCM_kLegacy && code == 4))) {
    // The older release acknowledges only code 1 at once; code 4 waits like any other failure.
    (void)SCM_SnFailAck(fsmIndex, group, code);
  }
}

u8 EPS_EncoderAck(u16 fsmIndex) {
  return SCM_SnFailAck(fsmIndex, EPSerr_kGroupEncoder, EPSerr_kCodeEncoderChanged);
}
