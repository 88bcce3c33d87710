// Message channels over the firmware-side queues.
#include "HNFcom.h"

#include <cerrno>

#include "HNFevt.h"
#include "HNFstp.h"
#include "ScmQueueNames.h"
#include "vxworks.h"

namespace {

/// Queue positions, in the order they are opened.
enum HNFcom_Queue : u8 {
  HNFcom_kQUnlockRequest = 0,   ///< "~unlock-request"
  HNFcom_kQUnlockResponse = 1,  ///< "~unlock-response"
  HNFcom_kQFrameSend = 2,       ///< "~frame-send"
  HNFcom_kQFrameReceive = 3,    ///< "~frame-receive"
  HNFcom_kQCommand = 4,         ///< "~command"
  HNFcom_kQStatus = 5,          ///< "~status"
  HNFcom_kQEvent = 6,           ///< "~event"
};

/// One direction of a channel.
struct HNFcom_Direction {
  u8 ucQueue;       ///< position of its queue
  u8* pucBuffer;    ///< its static buffer
  u32 ulSize;       ///< buffer size
  u32 ulOccupied;   ///< 1 while handed out
  u32 ulInverted;   ///< bytes of a pending send already complemented
};

u8 HNFcom_aucCommandRx[HNFcom_kCommandRxSize];        ///< command receive buffer
u8 HNFcom_aucStatusTx[HNFcom_kStatusTxSize];          ///< response send buffer
u8 HNFcom_aucEventTx[HNFcom_kEventTxSize];            ///< event send buffer
u8 HNFcom_aucFrameRx[HNFcom_kFrameSize];              ///< received-frame buffer
u8 HNFcom_aucFrameTx[HNFcom_kFrameSize];              ///< frame-to-send buffer
u8 HNFcom_aucUnlockRx[HNFcom_kUnlockRequestSize];     ///< unlock-request buffer
u8 HNFcom_aucUnlockTx[HNFcom_kUnlockResponseSize];    ///< unlock-response buffer

/// Queue handles, null while not open.
MSG_Q_ID HNFcom_apQueue[HNFcom_kQueueCount];

/// Receive directions of channels 2 to 6 (size 0: none).
HNFcom_Direction HNFcom_aRx[5] = {
    {HNFcom_kQCommand, HNFcom_aucCommandRx, HNFcom_kCommandRxSize, 0, 0},
    {0, nullptr, 0, 0, 0},
    {HNFcom_kQFrameSend, HNFcom_aucFrameRx, HNFcom_kFrameSize, 0, 0},
    {HNFcom_kQUnlockRequest, HNFcom_aucUnlockRx, HNFcom_kUnlockRequestSize, 0, 0},
    {0, nullptr, 0, 0, 0},
};

/// Send directions of channels 2 to 6 (size 0: none).
HNFcom_Direction HNFcom_aTx[5] = {
    {HNFcom_kQStatus, HNFcom_aucStatusTx, HNFcom_kStatusTxSize, 0, 0},
    {HNFcom_kQEvent, HNFcom_aucEventTx, HNFcom_kEventTxSize, 0, 0},
    {HNFcom_kQFrameReceive, HNFcom_aucFrameTx, HNFcom_kFrameSize, 0, 0},
    {0, nullptr, 0, 0, 0},
    {HNFcom_kQUnlockResponse, HNFcom_aucUnlockTx, HNFcom_kUnlockResponseSize, 0, 0},
};

/// Name builders in opening order.
char* (*const HNFcom_apfnName[HNFcom_kQueueCount])(u16, char*) = {
    ScmGetUnlockRequestQueueToScmName, ScmGetUnlockResponseQueueFromScmName, ScmGetFrameQueueToScmName,
    ScmGetFrameQueueFromScmName,       ScmGetCommandQueueToScmName,          ScmGetResponseQueueFromScmName,
    ScmGetEventQueueFromScmName,
};

/// The direction of a channel, or null (after the unknown-channel event) when it has none.
HNFcom_Direction* HNFcom_Find(HNFcom_Direction* table, u8 channel) {
  if (channel >= HNFcom_kChCommand && channel <= HNFcom_kChUnlockResponse) {
    HNFcom_Direction* pDir = &table[channel - HNFcom_kChCommand];
    if (pDir->ulSize != 0) {
      return pDir;
    }
  }
  HNFevt_EnregisterEvent(HNFcom_kEvtUnknownChannel, channel);
  return nullptr;
}

void HNFcom_Release(HNFcom_Direction* dir) {
  dir->ulOccupied = 0;
  dir->ulInverted = 0;
}

void HNFcom_Invert(u8* data, u32 from, u32 to) {
  for (u32 i = from; i < to; ++i) {
    data[i] = static_cast<u8>(~data[i]);
  }
}

/// The send direction a handed-back buffer belongs to, or null: a null or
/// mismatched handle silently, misuse after its event (and the release).
HNFcom_Direction* HNFcom_AcceptTx(u8 channel, const u8* handle, const u8* buffer, u32 length) {
  if (handle == nullptr || handle != buffer) {
    return nullptr;
  }
  HNFcom_Direction* pDir = HNFcom_Find(HNFcom_aTx, channel);
  if (pDir == nullptr) {
    return nullptr;
  }
  if (buffer != pDir->pucBuffer || length > pDir->ulSize || pDir->ulOccupied == 0) {
    HNFevt_EnregisterEvent(HNFcom_kEvtBadBuffer, channel);
    HNFcom_Release(pDir);
    return nullptr;
  }
  return pDir;
}

}  // namespace

u8 HNFcom_Init(void) {
  u8 ucFailed = 0;
  for (u32 i = 0; i < HNFcom_kQueueCount; ++i) {
    char acName[SCM_QUEUE_NAME_SIZE];
    HNFcom_apQueue[i] = nullptr;
    if (HNFcom_apfnName[i](HNFstp_usSdn, acName) != nullptr) {
      HNFcom_apQueue[i] = msgQOpen(acName, 0, 0, 0, 0, nullptr);
    }
    if (HNFcom_apQueue[i] == nullptr) {
      HNFevt_EnregisterEvent(HNFcom_kEvtOpenClose, i);
      ucFailed = 1;
    }
  }
  for (u32 i = 0; i < 5; ++i) {
    HNFcom_Release(&HNFcom_aRx[i]);
    HNFcom_Release(&HNFcom_aTx[i]);
  }
  if (ucFailed == 0) {
    return 0;
  }
  for (u32 i = 0; i < HNFcom_kQueueCount; ++i) {
    if (HNFcom_apQueue[i] != nullptr && msgQClose(HNFcom_apQueue[i]) != OK) {
      HNFevt_EnregisterEvent(HNFcom_kEvtOpenClose, i);
    }
    HNFcom_apQueue[i] = nullptr;
  }
  return 1;
}

u8* HNFcom_GetReceiveBuffer(u8 channel, u8** buffer, u32* length) {
  HNFcom_Direction* pDir = HNFcom_Find(HNFcom_aRx, channel);
  if (pDir == nullptr) {
    return nullptr;
  }
  if (pDir->ulOccupied != 0) {
    HNFevt_EnregisterEvent(HNFcom_kEvtRxOccupied, channel);
    return nullptr;
  }
  errno = 0;
  const ssize_t lReceived = msgQReceive(HNFcom_apQueue[pDir->ucQueue], reinterpret_cast<char*>(pDir->pucBuffer),
                                        pDir->ulSize, NO_WAIT);
  if (lReceived == ERROR) {
    if (errno != SCM_ERRNO_UNAVAILABLE) {
      HNFevt_EnregisterEvent(HNFcom_kEvtReceiveFailed, channel);
    }
    return nullptr;
  }
  const u32 ulLength = static_cast<u32>(lReceived) < pDir->ulSize ? static_cast<u32>(lReceived) : pDir->ulSize;
  HNFcom_Invert(pDir->pucBuffer, 0, ulLength);
  pDir->ulOccupied = 1;
  if (buffer != nullptr) {
    *buffer = pDir->pucBuffer;
  }
  if (length != nullptr) {
    *length = ulLength;
  }
  return pDir->pucBuffer;
}

u8 HNFcom_FreeBuffer(u8 channel, u8* buffer) {
  if (buffer == nullptr) {
    return 1;
  }
  HNFcom_Direction* pDir = HNFcom_Find(HNFcom_aRx, channel);
  if (pDir == nullptr) {
    return 1;
  }
  if (buffer != pDir->pucBuffer || pDir->ulOccupied == 0) {
    HNFevt_EnregisterEvent(HNFcom_kEvtBadBuffer, channel);
    return 1;
  }
  HNFcom_Release(pDir);
  return 0;
}

u8* HNFcom_GetSendBuffer(u8 channel, u8** buffer, u32 length) {
  HNFcom_Direction* pDir = HNFcom_Find(HNFcom_aTx, channel);
  if (pDir == nullptr) {
    return nullptr;
  }
  if (length > pDir->ulSize) {
    HNFevt_EnregisterEvent(HNFcom_kEvtTxTooLong, channel);
    return nullptr;
  }
  if (pDir->ulOccupied != 0) {
    HNFevt_EnregisterEvent(HNFcom_kEvtTxOccupied, channel);
    return nullptr;
  }
  pDir->ulOccupied = 1;
  pDir->ulInverted = 0;
  if (buffer != nullptr) {
    *buffer = pDir->pucBuffer;
  }
  return pDir->pucBuffer;
}

u8 HNFcom_SendBuffer(u8 channel, u8* handle, u8* buffer, u32 length) {
  HNFcom_Direction* pDir = HNFcom_AcceptTx(channel, handle, buffer, length);
  if (pDir == nullptr) {
    return 1;
  }
  // A second try after a full queue sends the bytes as already complemented.
  if (length > pDir->ulInverted) {
    HNFcom_Invert(buffer, pDir->ulInverted, length);
    pDir->ulInverted = length;
  }
  errno = 0;
  if (msgQSend(HNFcom_apQueue[pDir->ucQueue], reinterpret_cast<char*>(buffer), length, NO_WAIT, MSG_PRI_NORMAL) ==
      OK) {
    HNFcom_Release(pDir);
    return 0;
  }
  const int iError = errno;
  if (iError != SCM_ERRNO_UNAVAILABLE) {
    HNFevt_EnregisterEvent(HNFcom_kEvtSendFailed, static_cast<u32>(iError));
    // The caller tells a full queue from a failure by errno, which the event store may have changed.
    errno = iError;
  }
  return 1;
}

u8 HNFcom_FreeSendBuffer(u8 channel, u8* handle, u8* buffer, u32 length) {
  HNFcom_Direction* pDir = HNFcom_AcceptTx(channel, handle, buffer, length);
  if (pDir == nullptr) {
    return 1;
  }
  HNFcom_Release(pDir);
  return 0;
}

u8 HNFcom_GetSendBufferCount(u8 channel) {
  HNFcom_Direction* pDir = HNFcom_Find(HNFcom_aTx, channel);
  if (pDir == nullptr) {
    return 0;
  }
  MSG_Q_INFO info{};
  errno = 0;
  if (msgQInfoGet(HNFcom_apQueue[pDir->ucQueue], &info) != OK) {
    HNFevt_EnregisterEvent(HNFcom_kEvtInfoFailed, static_cast<u32>(errno));
    return 0;
  }
  const int iFree = info.maxMsgs - info.numMsgs;
  if (iFree <= 0) {
    return 0;
  }
  return iFree > 255 ? 255 : static_cast<u8>(iFree);
}

u8 HNFcom_IsSendBufferOccupied(u8 channel) {
  if (channel < HNFcom_kChCommand || channel > HNFcom_kChUnlockResponse) {
    return 0;
  }
  return HNFcom_aTx[channel - HNFcom_kChCommand].ulOccupied != 0 ? 1 : 0;
}
