// Qor variables: the values the Qor controller keeps for the SCM (password,
// optional-module list, SCM version, setup mode), each written over host
// channel 6 as one request and one short reply. A failed write is latched: no
// write is tried again until the safe controller was reset, which the
// background task does once the failed Qor controller answers a probe.
#include <cstring>

#include "HNFcyc.h"
#include "HNFiff_Crc.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "ScmProfile.h"
#include "ScmSystemCalls.h"

u32 MFWQZ_gbQorFailed;
u32 MFWQZ_gbQorRecovered;

/// Byte-0 flag of a write request.
static constexpr u8 MFWQZ_kQorWriteFlag = 0x20;
/// Byte-0 flags of a write's success reply.
static constexpr u8 MFWQZ_kQorReplyFlag = 0xA0;
/// Fail-safe state of a Qor controller that runs normally.
static constexpr u8 MFWQZ_kQorNormal = 0;
/// Fail-safe state reported while the Qor controller has not answered yet.
static constexpr u8 MFWQZ_kQorUnknown = 255;
/// Poll period of the fail-safe state and the reply (divisor of a second).
static constexpr int MFWQZ_kQorPollDivisor = 100;
/// Longest reply a write takes, bytes (a longer one is read as its first three).
static constexpr u32 MFWQZ_kQorReplyMax = 3;
/// The probe's request: a read of variable 1 (the older release reads variable 4, the one it reads anyway).
static constexpr u8 MFWQZ_kQorProbe = SCM_ProfileValue<u8>(0x01, 0x04);
/// Bytes of the optional-module list before its CRC.
static constexpr u32 MFWQZ_kQorListBytes = 2 * MFWQZ_kOptionalListCount;


/// The request being sent and the probe's answer.
static u8 MFWQZ_aucQorRequest[MFWQZ_kQorChannelSize];
static u8 MFWQZ_aucQorAnswer[MFWQZ_kQorChannelSize];

i32 MFWQZ_QorFail(u16 information0, u32 information1) {
  MFWQZ_gbQorFailed = 1;
  MFWQZ_EnregisterEvent(MFWQZ_kEvtQorWrite, information0, information1);
  return -1;
}

u8 MFWQZ_QorWaitNormal(u8* state) {
  for (;;) {
    *state = MFWQZ_kQorUnknown;
    (void)ScmGetQorFailSafeState(HNFstp_usSdn, state);
    if (*state != MFWQZ_kQorUnknown) {
      return *state == MFWQZ_kQorNormal ? 1 : 0;
    }
    (void)taskDelay(GetTaskDelayTickCount(MFWQZ_kQorPollDivisor));
  }
}

i32 MFWQZ_QorAwaitReply(i32 handle, u8* buffer, u32 max) {
  const u64 ullStart = ScmGetUSecCounter();
  for (;;) {
    const i32 lGot = ScmReceiveChannel(handle, max, buffer);
    if (lGot != 0) {
      return lGot < 0 ? -1 : lGot;
    }
    if (ScmGetUSecCounter() - ullStart > MFWQZ_kQorReplyTimeoutUs) {
      return 0;
    }
    (void)taskDelay(GetTaskDelayTickCount(MFWQZ_kQorPollDivisor));
  }
}

i32 MFWQZ_QorExchange(u8 id, const u8* request, u32 length, u8* reply, u32 max) {
  if (MFWQZ_gbQorFailed != 0) {
    return -1;
  }
  const u16 usSdn = HNFstp_usSdn;
  u8 ucState = MFWQZ_kQorUnknown;
  if (MFWQZ_QorWaitNormal(&ucState) == 0) {
    MFWQZ_gbQorFailed = 1;
    MFWQZ_EnregisterEvent(MFWQZ_kEvtQorFailSafe, ucState, usSdn);
    return -1;
  }
  const i32 lHandle = ScmOpenChannel(usSdn, MFWQZ_kQorChannel, MFWQZ_kQorChannelSize, MFWQZ_kQorChannelSize);
  if (lHandle < 0) {
    return MFWQZ_QorFail(MFWQZ_kQorOpen, usSdn);
  }
  i32 lGot = -1;
  if (ScmSendChannel(lHandle, length, request) != static_cast<i32>(length)) {
    (void)MFWQZ_QorFail(MFWQZ_kQorSend, usSdn);
  } else {
    lGot = MFWQZ_QorAwaitReply(lHandle, reply, max);
    if (lGot < 0) {
      (void)MFWQZ_QorFail(MFWQZ_kQorReply, usSdn);
    } else if (lGot == 0) {
      (void)MFWQZ_QorFail(MFWQZ_kQorTimeOut, id);
      lGot = -1;
    }
  }
  // Closed whatever the exchange gave: a channel left open would refuse the next exchange.
  if (ScmCloseChannel(lHandle) != 0) {
    (void)MFWQZ_QorFail(MFWQZ_kQorClose, usSdn);
    lGot = -1;
  }
  return lGot;
}

i32 WriteValueToQor(u8 id, u32 length, const u8* data) {
  if (data == nullptr) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtQorWrite, MFWQZ_kQorNullData, id);
    return -1;
  }
  if (length > MFWQZ_kQorMaxPayload) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtQorWrite, MFWQZ_kQorTooLong, id);
    return -1;
  }
  MFWQZ_aucQorRequest[0] = static_cast<u8>(id | MFWQZ_kQorWriteFlag);
  MFWQZ_aucQorRequest[1] = static_cast<u8>(length);
  std::memcpy(MFWQZ_aucQorRequest + 2, data, length);
  u8 aucReply[MFWQZ_kQorReplyMax] = {};
  const i32 lGot = MFWQZ_QorExchange(id, MFWQZ_aucQorRequest, length + 2, aucReply, sizeof(aucReply));
  if (lGot < 0) {
    return -1;
  }
  if (lGot == 2) {
    if (aucReply[0] == static_cast<u8>(id | MFWQZ_kQorReplyFlag) && aucReply[1] == 0) {
      return 0;
    }
    return MFWQZ_QorFail(MFWQZ_kQorReply, static_cast<u32>(aucReply[1]) * 256u + aucReply[0]);
  }
  if (lGot == 3) {
    return MFWQZ_QorFail(MFWQZ_kQorReply3,
                         aucReply[0] + static_cast<u32>(aucReply[1]) * 256u + static_cast<u32>(aucReply[2]) * 65536u);
  }
  return MFWQZ_QorFail(MFWQZ_kQorReplyLength, static_cast<u32>(lGot));
}

i32 MFWQZ_SendPasswordToQor(const u8 password[MFWQZ_kPasswordBytes]) {
  return WriteValueToQor(MFWQZ_kQorVarPassword, MFWQZ_kPasswordBytes, password);
}

i32 MFWQZ_SendOptionalModulesToQor(const u16 sadrs[MFWQZ_kOptionalListCount]) {
  if (sadrs == nullptr) {
    return WriteValueToQor(MFWQZ_kQorVarOptional, MFWQZ_kQorListBytes + 4, nullptr);
  }
  u8 aucValue[MFWQZ_kQorListBytes + 4];
  for (u32 i = 0; i < MFWQZ_kOptionalListCount; ++i) {
    MFWQZ_PutU16(aucValue + 2 * i, sadrs[i]);
  }
  MFWQZ_PutU32(aucValue + MFWQZ_kQorListBytes,
               HNFiff_Crc32CalcSwp(0, static_cast<i32>(MFWQZ_kQorListBytes), aucValue));
  return WriteValueToQor(MFWQZ_kQorVarOptional, sizeof(aucValue), aucValue);
}

i32 MFWQZ_SendScmVersionToQor(u16 version) {
  u8 aucValue[2];
  MFWQZ_PutU16(aucValue, version);
  return WriteValueToQor(MFWQZ_kQorVarVersion, sizeof(aucValue), aucValue);
}

u8 MFWQZ_QorHasFailed(void) { return MFWQZ_gbQorFailed != 0 ? 1 : 0; }

u8 MFWQZ_QorHasRecovered(void) {
  if (MFWQZ_gbQorFailed == 0) {
    return 0;
  }
  if (MFWQZ_gbQorRecovered != 0) {
    return 1;
  }
  const u16 usSdn = HNFstp_usSdn;
  u8 ucState = MFWQZ_kQorUnknown;
  (void)ScmGetQorFailSafeState(usSdn, &ucState);
  if (ucState != MFWQZ_kQorNormal) {
    return 0;
  }
  (void)ScmLockReset(usSdn);
  const i32 lHandle = ScmOpenChannel(usSdn, MFWQZ_kQorChannel, MFWQZ_kQorChannelSize, MFWQZ_kQorChannelSize);
  u32 ulAnswered = 0;
  if (lHandle >= 0) {
    const u8 ucProbe = MFWQZ_kQorProbe;
    if (ScmSendChannel(lHandle, 1, &ucProbe) == 1 &&
        MFWQZ_QorAwaitReply(lHandle, MFWQZ_aucQorAnswer, sizeof(MFWQZ_aucQorAnswer)) > 0) {
      ulAnswered = 1;
    }
    if (ScmCloseChannel(lHandle) != 0) {
      ulAnswered = 0;
    }
  }
  (void)ScmUnlockReset(usSdn);
  MFWQZ_gbQorRecovered = ulAnswered;
  return static_cast<u8>(ulAnswered);
}
