// The older release keeps the Qor controller's copy of the key-medium identity
// as Qor variable 4 (18 bytes, the layout of "corvane.uid"), read over host
// channel 6 with a one-byte request and written like every other variable.
// A failed read is fatal and latches like a failed write: no further exchange
// with the Qor controller is tried until it answers again and is reset.
#include <cstring>

#include "HNFcyc.h"
#include "HNFevt.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "MFWQZ_KeyMedium.h"
#include "MFWQZ_KeyMediumQorVariable.h"
#include "MFWQZ_Placeholder.h"
#include "ScmSystemCalls.h"
#include "vxworks.h"

namespace {

/// Host channel of the Qor variables.
constexpr u32 kQorChannel = 6;
/// Send and receive sizes of the channel (bytes).
constexpr u32 kQorChannelSize = 200;
/// Fail-safe state "not known yet": ask again.
constexpr u8 kFailSafeUnknown = 0xFF;
/// Polls per second of the fail-safe state and the reply.
constexpr int kPollDivisor = 100;
/// Longest wait for a reply (microseconds): a reply later than this is a time-out.
constexpr u64 kReplyTimeoutUs = 9999999;
/// Bit of the first reply byte that marks a read answer.
constexpr u8 kReadAnswerBit = 0x80;

/// The failure latch shared with the variable writes.
void LatchFailed() { MFWQZ_gaucPlaceholderQorLatches[0] = 1; }

/// One failure of the channel exchange: its event, fatal, and the latch.
i32 Fail(u16 information0, u32 information1) {
  HNFevt_EnregisterEventInfo(MFWQZ_kEvtQorVariable, information0, information1);
  LatchFailed();
  return -1;
}

/// Waits until the Qor controller is not fail-safe; 1 when state 0 was reported.
u8 WaitForQorNotFailSafe() {
  for (;;) {
    u8 ucState = kFailSafeUnknown;
    (void)ScmGetQorFailSafeState(HNFstp_usSdn, &ucState);
    if (ucState == 0) {
      return 1;
    }
    if (ucState != kFailSafeUnknown) {
      HNFevt_EnregisterEventInfo(MFWQZ_kEvtQorFailSafe, ucState, HNFstp_usSdn);
      LatchFailed();
      return 0;
    }
    (void)taskDelay(GetTaskDelayTickCount(kPollDivisor));
  }
}

}  // namespace

i32 WaitForValidResponse(u8 id, u8* data, u32 length) {
  if (MFWQZ_QorHasFailed() != 0) {
    return -1;
  }
  if (WaitForQorNotFailSafe() == 0) {
    return -1;
  }
  const i32 lChannel = ScmOpenChannel(HNFstp_usSdn, kQorChannel, kQorChannelSize, kQorChannelSize);
  if (lChannel < 0) {
    return Fail(MFWQZ_kQorOpenFailed, HNFstp_usSdn);
  }
  if (ScmSendChannel(lChannel, 1, &id) != 1) {
    (void)ScmCloseChannel(lChannel);
    return Fail(MFWQZ_kQorSendFailed, HNFstp_usSdn);
  }
  static u8 aucReply[kQorChannelSize];
  i32 lReceived = 0;
  const u64 ullStart = ScmGetUSecCounter();
  for (;;) {
    lReceived = ScmReceiveChannel(lChannel, kQorChannelSize, aucReply);
    if (lReceived < 0) {
      (void)ScmCloseChannel(lChannel);
      return Fail(MFWQZ_kQorReplyFailed, HNFstp_usSdn);
    }
    if (lReceived > 0) {
      break;
    }
    if (ScmGetUSecCounter() - ullStart > kReplyTimeoutUs) {
      (void)ScmCloseChannel(lChannel);
      return Fail(MFWQZ_kQorReplyTimeout, id);
    }
    (void)taskDelay(GetTaskDelayTickCount(kPollDivisor));
  }
  if (ScmCloseChannel(lChannel) != 0) {
    return Fail(MFWQZ_kQorCloseFailed, HNFstp_usSdn);
  }
  const u32 ulReceived = static_cast<u32>(lReceived);
  if (ulReceived == 3) {
    return Fail(MFWQZ_kQorReplyThreeBytes,
                aucReply[0] + (static_cast<u32>(aucReply[1]) << 8) + (static_cast<u32>(aucReply[2]) << 16));
  }
  if (ulReceived != length + 2) {
    return Fail(MFWQZ_kQorReplyLength, ulReceived);
  }
  if (aucReply[0] != static_cast<u8>(id | kReadAnswerBit) || aucReply[1] != length) {
    return Fail(MFWQZ_kQorReplyHeader, aucReply[0] + (static_cast<u32>(aucReply[1]) << 8));
  }
  std::memcpy(data, aucReply + 2, length);
  return 0;
}

i32 MFWQZ_LoadCorvaneIdFromQor(u8 id[MFWQZ_kCorvaneUidBytes]) {
  return WaitForValidResponse(MFWQZ_kQorVarKeyMedium, id, MFWQZ_kCorvaneUidBytes);
}

u8 MFWQZ_ReadKeyMediumCopy(u8 id[MFWQZ_kCorvaneUidBytes]) { return MFWQZ_LoadCorvaneIdFromQor(id) == 0 ? 1 : 0; }

u8 MFWQZ_WriteKeyMediumCopy(const u8 id[MFWQZ_kCorvaneUidBytes]) {
  return MFWQZ_SaveCorvaneIdToQor(id) == 0 ? 1 : 0;
}
