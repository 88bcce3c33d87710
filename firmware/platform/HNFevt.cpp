// Event registration and store.
#include "HNFevt.h"


#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "ScmQueueNames.h"

u32 HNFevt_ulEventCount;
u32 HNFevt_ulEventsSinceFailSafe;
u32 HNFevt_sulCalled;
MSG_Q_ID HNFevt_pEventQueue;

/// Nesting depth above which registration only switches to fail-safe.
static constexpr u32 HNFevt_kMaxNesting = 1;
/// The record being sent; static like every firmware buffer.
static u8 HNFevt_aucRecord[HNFevt_kRecordSize];

u8 HNFevt_DefaultLevel(HNFevt_EventCode code) {
  if ((code >> 28) == HNFevt_kClassFatal) {
    return HNFevt_kLevelFatal;
  }
  if (((code >> 20) & 0xFu) == 1u) {
    return HNFevt_kLevelInfo;
  }
  return HNFevt_kLevelWarning;
}

void HNFevt_EnregisterEvent(HNFevt_EventCode code, u32 information1) {
  HNFevt_EnregisterEventLevel(code, 0, information1, HNFevt_DefaultLevel(code));
}

void HNFevt_EnregisterEventInfo(HNFevt_EventCode code, u16 information0, u32 information1) {
  HNFevt_EnregisterEventLevel(code, information0, information1, HNFevt_DefaultLevel(code));
}

void HNFevt_EnregisterEventLevel(u32 code, u16 information0, u32 information1, u8 level) {
  ++HNFevt_ulEventCount;
  if (HNFevt_sulCalled > HNFevt_kMaxNesting) {
    HNFiff_ModuleStateFailSafe();
    return;
  }
  const u32 ulSavedDepth = HNFevt_sulCalled;
  ++HNFevt_sulCalled;
  const u32 ulClass = code >> 28;
  if (ulClass == HNFevt_kClassFatal) {
    HNFiff_ModuleStateFailSafe();
  } else if (ulClass == HNFevt_kClassOrdinary) {
    if (level != 1 && level != 2 && level != 4) {
      HNFiff_ModuleStateFailSafe();
    }
  } else {
    HNFevt_EnregisterEventLevel(HNFevt_kEvtUnknownClass, 0, ulClass, HNFevt_kLevelFatal);
  }
  const u8 ucStoredLevel = (level >= 1 && level <= HNFevt_kLevelMax) ? level : HNFevt_kLevelWarning;
  HNFevt_StoreEvent(code, information0, information1, ucStoredLevel);
  HNFevt_sulCalled = ulSavedDepth;
}

void HNFevt_FillRecord(u8* record, HNFevt_EventCode code, u16 information0, u32 information1, u8 level) {
  record[0] = level;
  for (u32 i = 0; i < 4; ++i) {
    record[1 + i] = static_cast<u8>(code >> (8 * i));
  }
  record[5] = static_cast<u8>(information0);
  record[6] = static_cast<u8>(information0 >> 8);
  for (u32 i = 0; i < 4; ++i) {
    record[7 + i] = static_cast<u8>(information1 >> (8 * i));
  }
}

/// Opens the event queue when it is not open yet; 1 when it is open afterwards.
static u8 HNFevt_OpenQueue(void) {
  if (HNFevt_pEventQueue != nullptr) {
    return 1;
  }
  char acName[SCM_QUEUE_NAME_SIZE];
  if (ScmGetEventQueueFromScmName(HNFstp_usSdn, acName) == nullptr) {
    return 0;
  }
  HNFevt_pEventQueue = msgQOpen(acName, 0, 0, 0, 0, nullptr);
  return HNFevt_pEventQueue != nullptr ? 1 : 0;
}

void HNFevt_StoreEvent(HNFevt_EventCode code, u16 information0, u32 information1, u8 level) {
  if (HNFiff_ModuleStateIsNormal() == 0) {
    ++HNFevt_ulEventsSinceFailSafe;
    if (HNFevt_ulEventsSinceFailSafe > HNFevt_kMaxEventsSinceFailSafe) {
      return;
    }
  }
  if (HNFevt_OpenQueue() == 0) {
    return;
  }
  MSG_Q_INFO info{};
  if (msgQInfoGet(HNFevt_pEventQueue, &info) == OK) {
    const int iFree = info.maxMsgs - info.numMsgs;
    if (iFree <= 0) {
      return;
    }
    if (iFree == 1) {
      information0 = static_cast<u16>(code);
      information1 = HNFevt_ulEventCount;
      code = HNFevt_kEvtOverflow;
      level = HNFevt_kLevelWarning;
    }
  }
  HNFevt_FillRecord(HNFevt_aucRecord, code, information0, information1, level);
  for (u8& b : HNFevt_aucRecord) {
    b = static_cast<u8>(~b);
  }
  (void)msgQSend(HNFevt_pEventQueue, reinterpret_cast<char*>(HNFevt_aucRecord), HNFevt_kRecordSize, NO_WAIT,
                 MSG_PRI_NORMAL);
}
