// SSDO client: reads and writes of the nodes' object dictionaries for the
// configuration manager, up to one transfer per node at once and one per node.
#pragma once
#include "SFS.h"
#include "ScmProfile.h"

/// Number of clients (protocol and service machine pairs; one per node: 12, the older release 101).
constexpr u8 SSDOC_k_NUM_CLIENTS = static_cast<u8>(SCM_kProfileMaxNodes);
/// Largest SSDO payload of a request.
constexpr u8 SSDOC_k_MAX_PAYLOAD = 254;
/// Smallest SSDO payload length a transfer may ask for.
constexpr u8 SSDOC_k_MIN_PAYLOAD = 8;

/// Completion of a transfer: (user handle, length, abort code; 0 = success).
using SSDOC_Completion = void (*)(u16 handle, u32 length, u32 abortCode);

/// What the user asks of a read or write.
struct SSDOC_TransferReq {
  u16 usIndex;       ///< object index at the node
  u8 ucSubIndex;     ///< sub-index at the node
  u32 ulDataType;    ///< SOD data type 0..13
  u8 ucPayloadLen;   ///< largest payload per frame, 8..254
  u8* pucData;       ///< destination (read) or source (write)
  u32 ulLength;      ///< buffer size (read) or data length (write)
};

/// Protocol states of a transfer.
enum : u32 {
  SSDOC_k_IDLE = 0,          ///< idle
  SSDOC_k_UPLD_INIT = 1,     ///< upload initiated
  SSDOC_k_DNLD_EXP = 2,      ///< expedited download sent
  SSDOC_k_DNLD_SEG_INIT = 3, ///< segmented download initiated
  SSDOC_k_DNLD_MIDDLE = 4,   ///< middle download segment sent
  SSDOC_k_UPLD_SEG = 5,      ///< upload segment requested
  SSDOC_k_DNLD_LAST = 6,     ///< last download segment sent
  SSDOC_k_UPLD_LAST = 7      ///< last upload segment requested
};

/// Protocol machine: the transfer.
struct SSDOC_ProtFsm {
  u32 ulState;             ///< protocol state
  u16 usHandle;            ///< user handle, the completion's first argument
  SSDOC_Completion pfCompl;  ///< completion (null when idle)
  u16 usIndex;             ///< object index
  u8 ucSubIndex;           ///< sub-index
  u32 ulDataType;          ///< data type
  u8 ucPayloadLen;         ///< largest payload per frame
  u8* pucData;             ///< data pointer, advanced while the transfer runs
  u32 ulTotalLen;          ///< buffer size (upload, 0 in the unknown-size mode) or data length (download)
  u8 ucToggle;             ///< toggle, flipped before every segment or segment request
  u32 ulRemaining;         ///< bytes still to move
  u32 ulTransferred;       ///< bytes moved
#if !SCM_PROFILE_LEGACY
  u8* pucBase;             ///< preload: data after the initiate's bytes
  u16 usFirstSaNo;         ///< preload: sequence number of the initiate
  u16 usNextSaNo;          ///< preload: sequence number of the last segment sent
  u16 usAckSaNo;           ///< preload: last acknowledged sequence number
  u16 usRepeatSaNo;        ///< preload: sequence number the node asked to repeat from
  u8 ucWindow;             ///< preload: window size
  u8 ucFreePlaces;         ///< preload: free window places
  u8 ucRepeatCount;        ///< preload: repeat requests still expected for segments before the rewind
  u8 ucPreloadActive;      ///< preload: segments are sent from the build call
  u8 ucRepeatSeen;         ///< preload: a rewind happened
  u8 ucRepeatFlag;         ///< preload: the last response was a repeat request
#endif
};

/// Service machine: the request frame with its sequence number.
struct SSDOC_ServFsm {
  u8 ucReady;                          ///< 1 ready for a request, 0 waiting for a response
#if !SCM_PROFILE_LEGACY
  u8 ucPreload;                        ///< 1 in preload mode
#endif
  u8 ucUnsent;                         ///< the request frame is still to be sent (deadline passed)
  u8 ucAbortPending;                   ///< the request frame is an abort that ends the transfer when sent
  u32 ulAbortLength;                   ///< length the completion gets once the abort went out
  u32 ulAbortCode;                     ///< abort code the completion gets once the abort went out
  u16 usAbortError;                    ///< error reported once the abort went out (0 = none)
  u32 ulAbortErrorInfo;                ///< its info
  SFS_FrameHeader sReqHdr;             ///< request header; CT is the sequence number
  u8 aucReqPayload[SSDOC_k_MAX_PAYLOAD];  ///< request payload
};

/// Timer of a service machine.
struct SSDOC_Timer {
  u32 ulDeadline;   ///< CT at which the request times out
  u32 ulTimeout;    ///< time-out (0x1201 sub 1)
  u8 ucRepLeft;     ///< repetitions left (0x1201 sub 2)
};

/// Frees the clients and binds the SCM's SADR, the time-out and the repetitions.
bool SSDOC_Init();
/// Preload segments and time-outs of the clients; spends free frames.
void SSDOC_BuildRequest(u32 ct, u8* freeFrames);
/// An SSDO answer (ids 0x39, 0x3B) from the dispatcher.
bool SSDOC_ProcessResponse(u32 ct, const SFS_FrameHeader* header, const u8* payload);
/// Starts a read; false (reported) when refused or not sent: then no completion follows.
bool SSDOC_SendReadReq(u16 sadr, u16 handle, SSDOC_Completion completion, u32 ct,
                       const SSDOC_TransferReq* req);
/// Starts a write; preload makes every frame slim. False (reported) when refused or not sent.
bool SSDOC_SendWriteReq(u16 sadr, u16 handle, SSDOC_Completion completion, u32 ct,
                        SSDOC_TransferReq* req, u8 preload);
/// True when a client is idle.
bool SSDOC_CheckFsmAvailable();
/// True when a transfer for this SADR runs.
bool SSDOC_TransferRunning(u16 sadr);
