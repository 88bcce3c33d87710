// SSDO server: what its module files share (not for other modules).
#pragma once
#include "SCFM.h"
#include "SFS.h"
#include "SOD.h"
#include "ScmProfile.h"

/// Server states.
enum : u8 {
  SSDOS_k_ST_WAIT = 0,       ///< wait for an initiate
  SSDOS_k_ST_DN_INIT = 1,    ///< answer the download initiate
  SSDOS_k_ST_DN_SEG = 2,     ///< download segments
  SSDOS_k_ST_UP_INIT = 3,    ///< answer the upload initiate
  SSDOS_k_ST_UP_SEG = 4,     ///< upload segments
  SSDOS_k_ST_ABORT = 5       ///< send the abort response
};

/// Commands (the toggle bit 0x10 masked where the handling says so).
enum : u8 {
  SSDOS_k_CMD_ABORT = 0x04,      ///< abort
  SSDOS_k_CMD_UP_SEG = 0x08,     ///< upload segment
  SSDOS_k_CMD_DN_SEG = 0x09,     ///< download middle segment
  SSDOS_k_CMD_DN_PRE = 0x0B,     ///< download middle segment with preload
  SSDOS_k_CMD_UP_INIT = 0x20,    ///< upload initiate / expedited upload response
  SSDOS_k_CMD_DN_EXP = 0x21,     ///< expedited download initiate
  SSDOS_k_CMD_UP_SEGD = 0x28,    ///< segmented upload response
  SSDOS_k_CMD_DN_SEGD = 0x29,    ///< segmented download initiate
  SSDOS_k_CMD_DN_PRELD = 0x2B,   ///< segmented download initiate with preload
  SSDOS_k_CMD_DN_LAST = 0x49,    ///< download last segment
  SSDOS_k_TOGGLE = 0x10,         ///< toggle bit
  SSDOS_k_LAST = 0x40            ///< last-segment bit of an upload segment response
};

/// A command as this release knows it: the older release has no preload, so its
/// initiate (0x2B) and middle segment (0x0B) come back as SSDOS_k_CMD_UNKNOWN.
inline constexpr u8 SSDOS_k_CMD_UNKNOWN = 0xFF;
constexpr u8 SSDOS_KnownCommand(u8 cmd) {
  if (SCM_kLegacy && (cmd == SSDOS_k_CMD_DN_PRELD || cmd == SSDOS_k_CMD_DN_PRE)) {
    return SSDOS_k_CMD_UNKNOWN;
  }
  return cmd;
}

/// SSDO abort codes the server sends.
enum : u32 {
  SSDOS_k_AB_CMD = 0x05040001,      ///< unknown command in an initiate request
  SSDOS_k_AB_SIZE = 0x05040002,     ///< segment or announced size beyond the object
  SSDOS_k_AB_NO_READ = 0x06010001,  ///< object without read access
  SSDOS_k_AB_LEN = 0x06070010,      ///< frame length or value length not fitting
  SSDOS_k_AB_GENERAL = 0x08000000,  ///< general error
  SSDOS_k_AB_STATE = 0x08000022     ///< refused in the present state
};

/// Largest request LE of a normal frame.
constexpr u8 SSDOS_k_MAX_LE = 12;
/// Largest request LE of a slim frame.
constexpr u8 SSDOS_k_MAX_LE_SLIM = 22;
/// Largest value an upload sends expedited.
constexpr u32 SSDOS_k_EXPEDITED_MAX = 8;
/// Data bytes of a full upload segment.
constexpr u8 SSDOS_k_UP_SEG_DATA = 11;
/// TR of a preload answer (ORed with the queue size) and of a repeat request.
constexpr u8 SSDOS_k_TR_PRELOAD = 0x30;

/// Server record.
struct SSDOS_Server {
  u8 ucState;           ///< SSDOS_k_ST_*
  u8 ucCmd;             ///< command of the running request
  u32 ulPendingAbort;   ///< abort code of state 5
  const u8* pucOwnSadr; ///< value of 0x1C00/1
};

/// Transfer record.
struct SSDOS_Transfer {
  u16 usIndex;       ///< index of the running transfer
  u8 ucSubIndex;     ///< its sub-index
  u8 ucToggle;       ///< expected toggle (0 or 1), flips with every response
  u8 ucLockHeld;     ///< 1 while the server holds the dictionary lock
  u8 ucPartial;      ///< 1 while a segmented download has written incomplete data
  SOD_Access acc;    ///< the object
};

/// Segment record.
struct SSDOS_Segment {
  u8 ucUnknownSize;   ///< 1 when the download announced size 0
  u8 ucSegLen;        ///< length of the current segment
  const u8* pucData;  ///< data of the current segment (upload: the value read)
  u32 ulDone;         ///< bytes done
  u32 ulTotal;        ///< total size
  u16 usLastCt;       ///< CT of the last preloaded segment
};

/// One request with its response buffers.
struct SSDOS_Ctx {
  const SFS_FrameHeader* pReq;  ///< received request header
  const u8* pucReq;             ///< its payload
  SFS_FrameHeader* pResp;       ///< response header
  u8* pucResp;                  ///< response payload
  u8* pucBusy;                  ///< dispatcher's busy flag
  u8 ucMaxLe;                   ///< largest LE of this frame kind (12, slim 22)
};

extern SSDOS_Server SSDOS_s_Server;      ///< the server
extern SSDOS_Transfer SSDOS_s_Transfer;  ///< the running transfer
extern SSDOS_Segment SSDOS_s_Segment;    ///< its segment state
extern u8 SSDOS_ucQueueSize;             ///< preload queue size 1..15

// ---- main (SSDOSmain) ----
/// State 0: handles a request as an initiate.
bool SSDOS_Initiate(SSDOS_Ctx* ctx);

// ---- dictionary access, responses, sequence check, reset (SSDOSsodAcs) ----
/// Transfer index from request bytes 1..3.
void SSDOS_SodAcsTakeIndex(const u8* req);
/// Resolves the transfer's object (uploads: with the 0x1018/1-2 redirect); 0 or the abort code.
u32 SSDOS_SodAcsResolve(bool upload);
/// Reads size bytes at offset (0, 0: the whole value); 0 or the abort code.
u32 SSDOS_SodAcsRead(u32 offset, u32 size, const u8** value);
/// Write permission of a download; 0 or the abort code.
u32 SSDOS_SodAcsWritePermission(bool segmented);
/// Writes count bytes at offset (a 0-byte value at offset 0 is the empty value); 0 or the abort code.
u32 SSDOS_SodAcsWrite(const u8* data, u32 offset, u32 count);
/// Sets the actual length of a writable type 11..13 object (others are left as they are).
void SSDOS_SodAcsSetActLen(u32 length);
/// Response header and command byte (with index: bytes 1..3); flips the toggle.
void SSDOS_SodAcsResp(SSDOS_Ctx* ctx, u8 cmd, u8 le, bool withIndex, u8 tr);
/// Abort response with the code (never 0), then the transfer is reset with rollback.
void SSDOS_SodAcsAbortResp(SSDOS_Ctx* ctx, u32 abortCode);
/// Sequence check: toggle (not for 0x04 and 0x0B) and, when asked, index and sub-index.
bool SSDOS_SodAcsReqValid(const SSDOS_Ctx* ctx, bool checkIndex);
/// Ends the transfer: rollback of a partial write when asked, lock released, state 0.
void SSDOS_SodAcsReset(bool rollback);
/// Reports a refusal with its abort code as info and returns the abort code.
u32 SSDOS_Refuse(u16 code, u32 abortCode);

// ---- uploads and downloads (SSDOSupDnwLd) ----
/// Upload initiate (state 0); 0 or the abort code.
u32 SSDOS_UploadInit();
/// State 3: answers the upload initiate.
bool SSDOS_UploadInitResp(SSDOS_Ctx* ctx);
/// State 4: upload segments.
bool SSDOS_UploadSegment(SSDOS_Ctx* ctx);
/// Download initiate (state 0); 0 or the abort code.
u32 SSDOS_DownloadInit(const SSDOS_Ctx* ctx, u8 cmd);
/// State 1: answers the download initiate.
bool SSDOS_DownloadInitResp(SSDOS_Ctx* ctx);
/// State 2: download segments.
bool SSDOS_DownloadSegment(SSDOS_Ctx* ctx);

/// Little-endian u32 of four frame bytes.
inline u32 SSDOS_Le32(const u8* p) {
  SCFM_Tack();
  return static_cast<u32>(p[0]) | (static_cast<u32>(p[1]) << 8) | (static_cast<u32>(p[2]) << 16) |
         (static_cast<u32>(p[3]) << 24);
}
