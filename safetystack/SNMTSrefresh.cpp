// SNMT slave: reset guarding, the frame by which a node without SADR asks an
// SCM to configure it, repeated every refresh interval up to the retry limit.
#include "SCFM.h"
#include "SERR.h"
#include "SFS.h"
#include "SNMTSint.h"

namespace {
constexpr u8 k_ID_RESET_GUARD = 0x2F;  ///< reset guarding of the SCM

SOD_Access s_IntervalAcc = {};  ///< 0x100D/0 refresh interval (CT units)
SOD_Access s_RetryAcc = {};     ///< 0x100E/0 refresh retry limit
u32 s_ulDeadline = 0;           ///< CT of the next reset-guarding frame
u8 s_ucRetries = 0;             ///< reset-guarding frames sent since the start
u8 s_ucDeferred = 0;            ///< 1: the deadline is taken from the next check

/// Sends the reset-guarding frame; one free frame when it went out.
bool SendResetGuarding(u8* freeFrames) {
  SCFM_Tack();
  u8* block = SFS_GetMemBlock(SFS_k_TT_SNMT, 0);
  if (block == nullptr) {
    return false;
  }
  SFS_FrameHeader h = {};
  h.usAdr = 1;
  h.ucId = k_ID_RESET_GUARD;
  h.usSdn = 1;
  h.ucLe = 0;
  h.usCt = 0;
  h.usTadr = 1;
  h.ucTr = 0;
  if (!SFS_FrmSerialize(&h, block)) {
    return false;
  }
  --*freeFrames;
  return true;
}
}  // namespace

bool SNMTS_RefreshInit() {
  SCFM_Tack();
  s_ulDeadline = 0;
  s_ucRetries = 0;
  s_ucDeferred = 0;
  return SOD_AccessBind(&s_IntervalAcc, 0x100D, 0) && SOD_AccessBind(&s_RetryAcc, 0x100E, 0);
}

bool SNMTS_RefreshStart(u32 ct, bool deferred) {
  SCFM_Tack();
  u32 interval = 0;
  if (!SNMTS_ReadUnsigned(&s_IntervalAcc, &interval)) {
    return false;
  }
  s_ucRetries = 0;
  s_ucDeferred = deferred ? 1 : 0;
  s_ulDeadline = ct + interval;
  return true;
}

bool SNMTS_RefreshCheck(u32 ct, u8* freeFrames) {
  SCFM_Tack();
  u32 interval = 0;
  u32 limit = 0;
  if (!SNMTS_ReadUnsigned(&s_IntervalAcc, &interval) || !SNMTS_ReadUnsigned(&s_RetryAcc, &limit)) {
    return false;
  }
  if (s_ucDeferred != 0) {
    // Started before the cycle had a CT: the first interval runs from this check.
    s_ucDeferred = 0;
    s_ulDeadline = ct + interval;
  }
  if (SNMTS_Before(ct, s_ulDeadline)) {
    return true;
  }
  if (limit != SNMTS_k_NO_RETRY_LIMIT && s_ucRetries >= limit) {
    return true;
  }
  SERR_SetError(0x164A, 0);
  if (s_ucRetries < 0xFF) {
    ++s_ucRetries;
  }
  s_ulDeadline = ct + interval;
  if (freeFrames == nullptr) {
    SERR_SetError(0xF602, 0);
    return false;
  }
  return SendResetGuarding(freeFrames);
}
