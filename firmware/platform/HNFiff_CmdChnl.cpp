// Command channel layer.
#include "HNFiff_CmdChnl.h"

#include <cstring>

#include "HNFcom.h"
#include "HNFevt.h"
#include "MFWQZ.h"

u8* HNFiff_GetCMDRSendBuffer(u16 type, u32 length, u16 identifier, u8** cursor) {
  if (length > HNFcom_kStatusTxSize - HNFiff_kCmdHeaderSize) {
    // Asked through the channel so that the oversize is reported as such.
    length = HNFcom_kStatusTxSize + 1 - HNFiff_kCmdHeaderSize;
  }
  u8* pucBuffer = nullptr;
  u8* pucHandle = HNFcom_GetSendBuffer(HNFcom_kChCommand, &pucBuffer, length + HNFiff_kCmdHeaderSize);
  if (pucHandle == nullptr) {
    return nullptr;
  }
  pucBuffer[0] = static_cast<u8>(type);
  pucBuffer[1] = static_cast<u8>(type >> 8);
  pucBuffer[2] = static_cast<u8>(identifier);
  pucBuffer[3] = static_cast<u8>(identifier >> 8);
  if (cursor != nullptr) {
    *cursor = pucBuffer + HNFiff_kCmdHeaderSize;
  }
  return pucHandle;
}

u8 HNFiff_SendOrFreeCMDRBuffer(u8* handle, u8* /*cursor*/, u32 length) {
  if (handle == nullptr) {
    return 0;
  }
  if (HNFcom_SendBuffer(HNFcom_kChCommand, handle, handle, length + HNFiff_kCmdHeaderSize) == 0) {
    return 1;
  }
  // A response that could not leave now is dropped, so the next one finds the buffer free.
  if (HNFcom_IsSendBufferOccupied(HNFcom_kChCommand) != 0) {
    (void)HNFcom_FreeSendBuffer(HNFcom_kChCommand, handle, handle, length + HNFiff_kCmdHeaderSize);
  }
  return 0;
}

u8 HNFiff_CMDR_Send(u16 type, const u8* data, u32 length, u16 identifier) {
  u8* pucCursor = nullptr;
  u8* pucHandle = HNFiff_GetCMDRSendBuffer(type, length, identifier, &pucCursor);
  if (pucHandle == nullptr) {
    return 0;
  }
  if (data == nullptr) {
    (void)HNFcom_FreeSendBuffer(HNFcom_kChCommand, pucHandle, pucHandle, length + HNFiff_kCmdHeaderSize);
    return 0;
  }
  if (length > 0) {
    std::memcpy(pucCursor, data, length);
  }
  return HNFiff_SendOrFreeCMDRBuffer(pucHandle, pucCursor, length);
}

u8 HNFiff_RemoteControlSnd(const u8* data, u32 length, u16 identifier) {
  return HNFiff_CMDR_Send(HNFiff_kCmdTypeRemoteControl, data, length, identifier);
}

void HNFiff_CmdChnlRcv(void) {
  u8* pucMessage = nullptr;
  u32 ulLength = 0;
  if (HNFcom_GetReceiveBuffer(HNFcom_kChCommand, &pucMessage, &ulLength) == nullptr) {
    return;
  }
  if (ulLength < HNFiff_kCmdHeaderSize) {
    HNFevt_EnregisterEventInfo(HNFiff_kEvtCmdDropped, 0, ulLength);
  } else {
    const u16 usType = static_cast<u16>(pucMessage[0] | (pucMessage[1] << 8));
    const u16 usIdentifier = static_cast<u16>(pucMessage[2] | (pucMessage[3] << 8));
    if (usType == HNFiff_kCmdTypeCommand) {
      MFWQZ_RemoteControlRcv(pucMessage + HNFiff_kCmdHeaderSize, static_cast<u16>(ulLength - HNFiff_kCmdHeaderSize),
                             usIdentifier);
    } else {
      HNFevt_EnregisterEventInfo(HNFiff_kEvtCmdDropped, usType, ulLength);
    }
  }
  (void)HNFcom_FreeBuffer(HNFcom_kChCommand, pucMessage);
}
