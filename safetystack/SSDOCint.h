// Module-internal parts of the SSDO client shared by its source files.
#pragma once
#include "SOD.h"
#include "SSDOC.h"
#include "ScmProfile.h"

/// Commands of the SSDO payload (byte 0).
enum : u8 {
  SSDOC_k_CMD_ABORT = 0x04,       ///< abort, LE 8, code at bytes 4..7
  SSDOC_k_CMD_UP_SEG = 0x08,      ///< upload segment request / middle upload segment
  SSDOC_k_CMD_DN_SEG = 0x09,      ///< middle download segment
  SSDOC_k_CMD_DN_SEG_PL = 0x0B,   ///< middle download segment within the preload window
  SSDOC_k_CMD_TOGGLE = 0x10,      ///< toggle bit
  SSDOC_k_CMD_UP_INIT = 0x20,     ///< upload initiate / expedited upload answer
  SSDOC_k_CMD_DN_EXP = 0x21,      ///< expedited download
  SSDOC_k_CMD_UP_SEG_INIT = 0x28, ///< segmented upload initiated (answer)
  SSDOC_k_CMD_DN_SEG_INIT = 0x29, ///< segmented download initiate without preload
  SSDOC_k_CMD_DN_PRELOAD = 0x2B,  ///< segmented download initiate with preload
  SSDOC_k_CMD_UP_LAST = 0x48,     ///< last upload segment
  SSDOC_k_CMD_DN_LAST = 0x49      ///< last download segment
};

/// Abort codes of the client.
enum : u32 {
  SSDOC_k_ABORT_TIMEOUT = 0x05040000,  ///< time-out
  SSDOC_k_ABORT_CMD = 0x05040001,      ///< command not valid
  SSDOC_k_ABORT_INDEX = 0x06040043,    ///< index or sub-index differs
  SSDOC_k_ABORT_LENGTH = 0x06070010,   ///< length does not fit
  SSDOC_k_ABORT_GENERAL = 0x08000000   ///< internal end of a transfer
};

/// Ids of the requests.
enum : u8 {
  SSDOC_k_ID_REQ = 0x38,      ///< SSDO service request
  SSDOC_k_ID_REQ_SLIM = 0x3A  ///< slim SSDO service request
};

/// Bytes of the SSDO header (command, index, sub-index).
constexpr u8 SSDOC_k_HDR_LEN = 4;
/// Bytes before the first data of a segmented initiate.
constexpr u8 SSDOC_k_SEG_INIT_LEN = 8;

extern SSDOC_ProtFsm SSDOC_as_Prot[SSDOC_k_NUM_CLIENTS];  ///< the protocol machines
extern SSDOC_ServFsm SSDOC_as_Serv[SSDOC_k_NUM_CLIENTS];  ///< the service machines
extern SSDOC_Timer SSDOC_as_Timer[SSDOC_k_NUM_CLIENTS];   ///< their timers

/// Protocol machine to its idle values.
void SSDOC_ProtReset(u8 c);
/// Service machine to ready, not preload, request zero (sequence number 0).
void SSDOC_ServReset(u8 c);
/// Ends a started transfer: frees it, then calls its completion once.
void SSDOC_End(u8 c, u32 length, u32 abortCode);
/// Sends the request prepared in the service machine as a new request frame
/// (next sequence number, timer started). False when it did not go out: the
/// frame then stays pending with its deadline passed.
bool SSDOC_ServSendNew(u8 c, u32 ct);
/// Sends the service machine's current request frame as it is; false when not sent.
bool SSDOC_ServTransmit(u8 c);
/// Binds 0x1201 sub 1 and 2; false (reported) when they cannot be resolved.
bool SSDOC_BindTimer();
/// Timer from 0x1201 sub 1 and 2; false (reported) when unreadable.
bool SSDOC_TimerStart(u8 c, u32 ct);
/// Prepares an abort frame that ends the transfer (completion length and code,
/// optional error) and tries to send it. True when it went out and the transfer ended.
bool SSDOC_ServAbort(u8 c, u32 abortCode, u32 complLength, u32 complCode, u16 errCode, u32 errInfo);
/// Sends the pending abort frame of a client; true when it went out and the transfer ended.
bool SSDOC_ServSendAbort(u8 c);
/// Client whose request the response answers, or -1.
i16 SSDOC_ServiceResponseAssign(const SFS_FrameHeader* hdr);
/// Sequence-number check of a response; true when accepted.
bool SSDOC_ServiceCheck(u8 c, const SFS_FrameHeader* hdr);
/// Next sequence number after sano (0xFFFF wraps to 1).
u16 SSDOC_NextSaNo(u16 sano);
/// Sequence number before sano (1 gives 0xFFFF).
u16 SSDOC_PrevSaNo(u16 sano);
/// Number of sequence steps from `from` to `to` (0 is never a sequence number).
u16 SSDOC_SaNoDist(u16 from, u16 to);
/// Sends the next download segment outside preload (middle or last).
void SSDOC_SendSegment(u8 c, u32 ct);

// ---- preload (SSDOCpreload; the current release only: the older release's
// build leaves the source out, so a use there fails to link) ----
/// Sends the next preload segment when the window allows; false when a frame could not go out.
bool SSDOC_SendPreloadSegment(u8 c, u32 ct, u8* freeFrames);
/// True while the client's service machine is in preload mode.
bool SSDOC_ServPreloading(u8 c);
/// True while the client's protocol machine sends preload segments.
bool SSDOC_PreloadWindowOpen(u8 c);
/// Leaves preload mode (end of a transfer).
void SSDOC_PreloadEnd(u8 c);
/// The node answered the initiate with a window: the segments go out from the build call.
void SSDOC_PreloadStart(u8 c, u8 window);
/// The answer to a preload middle segment with its TR: a repeat request rewinds
/// the window; true when taken, false for a TR that ends the transfer.
bool SSDOC_PreloadMiddleAnswered(u8 c, u8 tr);
/// Sequence check of a response in preload mode: any sequence number in the window.
bool SSDOC_PreloadServiceCheck(u8 c, u16 sano);

/// True while the client's service machine is in preload mode (never in the older release).
inline bool SSDOC_InPreload(u8 c) {
  if constexpr (SCM_kLegacy) {
    (void)c;
    return false;
  } else {
    return SSDOC_ServPreloading(c);
  }
}
/// True while the client's protocol machine sends preload segments (never in the older release).
inline bool SSDOC_InPreloadWindow(u8 c) {
  if constexpr (SCM_kLegacy) {
    (void)c;
    return false;
  } else {
    return SSDOC_PreloadWindowOpen(c);
  }
}
/// Writes the SSDO header (command, index, sub-index) of the client's transfer into its request.
void SSDOC_PutHeader(u8 c, u8 command);
