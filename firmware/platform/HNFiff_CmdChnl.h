// Command channel: the 4-byte header (u16 type, u16 identifier, little-endian)
// of every command and response on channel 2, and the one-command-per-pass
// receive of the background task.
#pragma once
#include "ScmTypes.h"

/// Bytes of the command and response header.
inline constexpr u32 HNFiff_kCmdHeaderSize = 4;
/// Header type of a remote-control command.
inline constexpr u16 HNFiff_kCmdTypeCommand = 3;
/// Header type of a remote-control response.
inline constexpr u16 HNFiff_kCmdTypeRemoteControl = 4;
/// Event: a message of a foreign type or too short for its header (level 2).
inline constexpr u32 HNFiff_kEvtCmdDropped = 0x62008709u;

/// Reserves the response buffer for length payload bytes and writes the
/// header; the handle, with *cursor at the payload, or null.
u8* HNFiff_GetCMDRSendBuffer(u16 type, u32 length, u16 identifier, u8** cursor);
/// Reserves, copies length payload bytes and sends; 1 when sent, 0 otherwise.
u8 HNFiff_CMDR_Send(u16 type, const u8* data, u32 length, u16 identifier);
/// A remote-control response (type 4); 1 when sent.
u8 HNFiff_RemoteControlSnd(const u8* data, u32 length, u16 identifier);
/// Sends a reserved buffer of length payload bytes, or releases it when it
/// cannot be sent; 1 when sent.
u8 HNFiff_SendOrFreeCMDRBuffer(u8* handle, u8* cursor, u32 length);
/// Takes at most one message from the command channel and hands a command
/// to the application; anything else is reported and dropped.
void HNFiff_CmdChnlRcv(void);
