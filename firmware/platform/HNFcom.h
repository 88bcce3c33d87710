// Numbered message channels over the seven firmware-side queues. Each
// direction of a channel owns one static buffer with an occupied flag, so a
// message is built or read in place; every byte is complemented on the way out
// and on the way in. Sends and receives never block.
#pragma once
#include "ScmTypes.h"

/// Channel numbers.
enum HNFcom_Channel : u8 {
  HNFcom_kChCommand = 2,         ///< receive "command", send "status"
  HNFcom_kChEvent = 3,           ///< send "event" (reserved; the event store has its own handle)
  HNFcom_kChFrame = 4,           ///< receive "frame-send", send "frame-receive"
  HNFcom_kChUnlockRequest = 5,   ///< receive "unlock-request"
  HNFcom_kChUnlockResponse = 6,  ///< send "unlock-response"
};

/// Receive buffer size of the command channel.
inline constexpr u32 HNFcom_kCommandRxSize = 42;
/// Send buffer size of the command channel (responses).
inline constexpr u32 HNFcom_kStatusTxSize = 280;
/// Send buffer size of the event channel.
inline constexpr u32 HNFcom_kEventTxSize = 11;
/// Buffer size of both directions of the frame channel.
inline constexpr u32 HNFcom_kFrameSize = 521;
/// Receive buffer size of the unlock-request channel.
inline constexpr u32 HNFcom_kUnlockRequestSize = 21;
/// Send buffer size of the unlock-response channel.
inline constexpr u32 HNFcom_kUnlockResponseSize = 8;
/// Queues behind the channels.
inline constexpr u32 HNFcom_kQueueCount = 7;

/// Fatal: a queue could not be opened or closed.
inline constexpr u32 HNFcom_kEvtOpenClose = 0x92008191u;
/// Fatal: a send buffer was asked for while occupied.
inline constexpr u32 HNFcom_kEvtTxOccupied = 0x92008192u;
/// Fatal: a send failed for another reason than a full queue (information1 = errno).
inline constexpr u32 HNFcom_kEvtSendFailed = 0x92008193u;
/// Fatal: a receive while the receive buffer is still occupied.
inline constexpr u32 HNFcom_kEvtRxOccupied = 0x92008194u;
/// Fatal: a receive failed for another reason than an empty queue.
inline constexpr u32 HNFcom_kEvtReceiveFailed = 0x92008195u;
/// Fatal: unknown channel, or a direction the channel does not have.
inline constexpr u32 HNFcom_kEvtUnknownChannel = 0x92008196u;
/// Fatal: a send buffer asked for more than its size.
inline constexpr u32 HNFcom_kEvtTxTooLong = 0x92008197u;
/// Fatal: a buffer handed back that is not the channel's, too long, or not occupied.
inline constexpr u32 HNFcom_kEvtBadBuffer = 0x92008198u;
/// Fatal: the queue information could not be read (information1 = errno).
inline constexpr u32 HNFcom_kEvtInfoFailed = 0x92008199u;

/// Opens the seven queues; 0 when all are open, else 1 with none kept open.
u8 HNFcom_Init(void);
/// The next message of a receive channel, complemented back, and its length; null when none.
u8* HNFcom_GetReceiveBuffer(u8 channel, u8** buffer, u32* length);
/// Releases a receive buffer; 0, or 1 on error (a null buffer silently).
u8 HNFcom_FreeBuffer(u8 channel, u8* buffer);
/// Hands out the channel's send buffer for length bytes; the handle (the buffer), or null.
u8* HNFcom_GetSendBuffer(u8 channel, u8** buffer, u32 length);
/// Complements and sends length bytes of the buffer; 0 when sent. A full queue
/// keeps the buffer occupied and complemented for another try or a release.
u8 HNFcom_SendBuffer(u8 channel, u8* handle, u8* buffer, u32 length);
/// Releases a send buffer without sending; 0, or 1 on error.
u8 HNFcom_FreeSendBuffer(u8 channel, u8* handle, u8* buffer, u32 length);
/// Free message slots of the channel's send queue, at most 255; 0 on error.
u8 HNFcom_GetSendBufferCount(u8 channel);
/// 1 while the channel's send buffer is handed out (e.g. after a send to a full queue).
u8 HNFcom_IsSendBufferOccupied(u8 channel);
