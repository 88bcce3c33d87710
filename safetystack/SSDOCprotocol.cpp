// SSDO client: the protocol machines, driven by the responses of the nodes.
#include <cstring>

#include "SCFM.h"
#include "SERR.h"
#include "SSDOCint.h"

namespace {
constexpr u8 k_TR_WINDOW = 0x0F;    ///< TR bits of the preload window size
constexpr u8 k_UP_SEG_MIN_LE = 2;   ///< shortest upload segment answer (command and one byte)

/// Reads a little-endian u32 from the payload.
u32 GetU32(const u8* p) {
  SCFM_Tack();
  return static_cast<u32>(p[0]) | (static_cast<u32>(p[1]) << 8) | (static_cast<u32>(p[2]) << 16) |
         (static_cast<u32>(p[3]) << 24);
}

/// Ends the transfer with an error and a completion code; the response was not taken.
bool Fail(u8 c, u16 code, u32 info, u32 complCode) {
  SCFM_Tack();
  SERR_SetError(code, info);
  SSDOC_End(c, 0, complCode);
  return false;
}

/// True for the commands whose frames are segments (no index in the payload).
bool IsSegmentCmd(u8 base) {
  SCFM_Tack();
  return base == SSDOC_k_CMD_UP_SEG || base == SSDOC_k_CMD_UP_LAST || base == SSDOC_k_CMD_DN_SEG ||
         base == SSDOC_k_CMD_DN_SEG_PL || base == SSDOC_k_CMD_DN_LAST;
}

/// Data length of an expedited upload answer, or false.
bool ExpeditedLength(u32 type, u8 le, u32* n) {
  SCFM_Tack();
  if (SOD_IsVarType(type)) {
    *n = le - SSDOC_k_HDR_LEN;
    return true;
  }
  u32 want = 0;
  switch (type) {
    case SOD_k_BOOLEAN: case SOD_k_INT8: case SOD_k_UINT8: want = 1; break;
    case SOD_k_INT16: case SOD_k_UINT16: want = 2; break;
    case SOD_k_INT32: case SOD_k_UINT32: case SOD_k_REAL32: want = 4; break;
    case SOD_k_INT64: case SOD_k_UINT64: case SOD_k_REAL64: want = 8; break;
    default: return false;
  }
  *n = want;
  return le == want + SSDOC_k_HDR_LEN;
}

/// The node's abort, or a command the state does not know.
bool AbortResponse(u8 c, u32 ct, u8 le, const u8* pl) {
  SCFM_Tack();
  if (pl[0] != SSDOC_k_CMD_ABORT) {
    return Fail(c, 0x2A23, pl[0], SSDOC_k_ABORT_CMD);
  }
  if (le != SSDOC_k_SEG_INIT_LEN) {
    return Fail(c, 0x2A22, le, SSDOC_k_ABORT_LENGTH);
  }
  const u32 code = GetU32(pl + SSDOC_k_HDR_LEN);
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  if (code == SSDOC_k_ABORT_CMD && SSDOC_as_Prot[c].ulState == SSDOC_k_DNLD_SEG_INIT &&
      s->aucReqPayload[0] == SSDOC_k_CMD_DN_PRELOAD) {
    // The node refuses preload: the same request goes again as a plain segmented
    // download at the next time-out check, without using a repetition.
    s->aucReqPayload[0] = SSDOC_k_CMD_DN_SEG_INIT;
    s->ucReady = 0;
    s->ucUnsent = 1;
    SSDOC_as_Timer[c].ulDeadline = ct;
    return true;
  }
  // An abort without a code must not pass for success.
  SSDOC_End(c, 0, code == 0 ? SSDOC_k_ABORT_GENERAL : code);
  return true;
}

/// Takes upload data; sends the next segment request, or ends a transfer whose size is reached.
bool TakeUpload(u8 c, u32 ct, const u8* src, u32 n, u8 le, u16 errCode) {
  SCFM_Tack();
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  if (n > p->ulRemaining) {
    return Fail(c, errCode, n, SSDOC_k_ABORT_LENGTH);
  }
  p->ucToggle ^= 1U;
  std::memcpy(p->pucData, src, n);
  p->pucData += n;
  p->ulRemaining -= n;
  p->ulTransferred += n;
  if (p->ulTotalLen != 0 && p->ulRemaining == 0) {
    SSDOC_End(c, p->ulTransferred, 0);
    return true;
  }
  p->ulState = p->ulRemaining > static_cast<u32>(le - 1) ? SSDOC_k_UPLD_SEG : SSDOC_k_UPLD_LAST;
  SSDOC_PutHeader(c, static_cast<u8>(SSDOC_k_CMD_UP_SEG | (p->ucToggle != 0 ? SSDOC_k_CMD_TOGGLE : 0)));
  SSDOC_as_Serv[c].sReqHdr.ucLe = SSDOC_k_HDR_LEN;
  (void)SSDOC_ServSendNew(c, ct);
  return true;
}

/// End segment of an upload of unknown size.
bool FinishUnknown(u8 c, const u8* src, u32 n) {
  SCFM_Tack();
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  if (n > p->ulRemaining) {
    return Fail(c, 0x2A24, n, SSDOC_k_ABORT_LENGTH);
  }
  std::memcpy(p->pucData, src, n);
  p->ulTransferred += n;
  SSDOC_End(c, p->ulTransferred, 0);
  return true;
}

/// LE of an upload segment answer outside 2..payload length.
bool BadSegLe(const SSDOC_ProtFsm* p, u8 le) {
  SCFM_Tack();
  return le > p->ucPayloadLen || le < k_UP_SEG_MIN_LE;
}

bool UploadInitiated(u8 c, u32 ct, u8 le, const u8* pl) {
  SCFM_Tack();
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  if (pl[0] == SSDOC_k_CMD_UP_INIT) {
    u32 n = 0;
    if (!ExpeditedLength(p->ulDataType, le, &n) || n > p->ulTotalLen) {
      return Fail(c, 0x2A10, le, SSDOC_k_ABORT_LENGTH);
    }
    if (!SFS_NetworkCopyGen(p->pucData, pl + SSDOC_k_HDR_LEN, n, static_cast<u8>(p->ulDataType))) {
      SSDOC_End(c, 0, SSDOC_k_ABORT_GENERAL);
      return false;
    }
    SSDOC_End(c, n, 0);
    return true;
  }
  if (pl[0] != SSDOC_k_CMD_UP_SEG_INIT) {
    return AbortResponse(c, ct, le, pl);
  }
  if (le > p->ucPayloadLen || le < SSDOC_k_SEG_INIT_LEN) {
    return Fail(c, 0x2A12, le, SSDOC_k_ABORT_LENGTH);
  }
  const u32 size = GetU32(pl + SSDOC_k_HDR_LEN);
  if (size > p->ulTotalLen) {
    (void)SSDOC_ServAbort(c, SSDOC_k_ABORT_LENGTH, size, SSDOC_k_ABORT_LENGTH, 0x2A11, size);
    return true;
  }
  if (size == 0) {
    p->ulRemaining = p->ulTotalLen;
    p->ulTotalLen = 0;
  } else {
    p->ulRemaining = size;
  }
  return TakeUpload(c, ct, pl + SSDOC_k_SEG_INIT_LEN, le - SSDOC_k_SEG_INIT_LEN, le, 0x2A12);
}

bool SegDownloadInitiated(u8 c, u32 ct, u8 le, const u8* pl, u8 tr) {
  SCFM_Tack();
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  const u8 cmd = pl[0];
  if (cmd != SSDOC_k_CMD_DN_SEG_INIT && cmd != SSDOC_k_CMD_DN_PRELOAD) {
    return AbortResponse(c, ct, le, pl);
  }
  if (le != SSDOC_k_HDR_LEN) {
    return Fail(c, 0x2A19, le, SSDOC_k_ABORT_LENGTH);
  }
  const u32 first = p->ucPayloadLen - SSDOC_k_SEG_INIT_LEN;
  const u8 window = tr & k_TR_WINDOW;
  p->pucData += first;
  p->ulRemaining -= first;
  if (SCM_kLegacy || cmd == SSDOC_k_CMD_DN_SEG_INIT || window == 0) {
    // Without a window there is nothing to preload: plain segments.
    SSDOC_SendSegment(c, ct);
    return true;
  }
  if constexpr (!SCM_kLegacy) {
    SSDOC_PreloadStart(c, window);
  }
  return true;
}

bool MiddleSent(u8 c, u32 ct, u8 le, const u8* pl, u8 tr) {
  SCFM_Tack();
  const u8 base = pl[0] & static_cast<u8>(~SSDOC_k_CMD_TOGGLE);
  if (base == SSDOC_k_CMD_DN_SEG && !SSDOC_InPreloadWindow(c)) {
    if (le != 1) {
      return Fail(c, 0x2A1A, le, SSDOC_k_ABORT_LENGTH);
    }
    SSDOC_SendSegment(c, ct);
    return true;
  }
  if (base != SSDOC_k_CMD_DN_SEG_PL || !SSDOC_InPreloadWindow(c)) {
    return AbortResponse(c, ct, le, pl);
  }
  if (le != 1) {
    return Fail(c, 0x2A1A, le, SSDOC_k_ABORT_LENGTH);
  }
  if constexpr (!SCM_kLegacy) {
    if (SSDOC_PreloadMiddleAnswered(c, tr)) {
      return true;
    }
  }
  SSDOC_End(c, 0, SSDOC_k_ABORT_GENERAL);
  return false;
}
}  // namespace

bool SSDOC_ProcessResponse(u32 ct, const SFS_FrameHeader* header, const u8* payload) {
  SCFM_Tack();
  if (header == nullptr || payload == nullptr) {
    return false;
  }
  const i16 ci = SSDOC_ServiceResponseAssign(header);
  if (ci < 0) {
    SERR_SetError(0x2A0E, header->ucId);
    return false;
  }
  const u8 c = static_cast<u8>(ci);
  if (!SSDOC_ServiceCheck(c, header)) {
    return false;
  }
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  const u8 le = header->ucLe;
  const u8 cmd = le != 0 ? payload[0] : 0;
  const u8 base = cmd & static_cast<u8>(~SSDOC_k_CMD_TOGGLE);
  // Prelude checks: length, toggle, index and sub-index.
  if (le == 0 || (le < SSDOC_k_HDR_LEN && le > 1 && base != SSDOC_k_CMD_UP_SEG && base != SSDOC_k_CMD_UP_LAST)) {
    return Fail(c, 0x2A21, le, SSDOC_k_ABORT_LENGTH);
  }
  const bool toggleTested = (le == 1 && base != SSDOC_k_CMD_DN_SEG_PL) || base == SSDOC_k_CMD_UP_SEG ||
                            base == SSDOC_k_CMD_UP_LAST || le >= SSDOC_k_HDR_LEN;
  if (toggleTested && (cmd & SSDOC_k_CMD_TOGGLE) != 0 && p->ucToggle == 0) {
    return Fail(c, 0x2A1E, cmd, SSDOC_k_ABORT_CMD);
  }
  if (le >= SSDOC_k_HDR_LEN && !IsSegmentCmd(base)) {
    const u16 index = static_cast<u16>(payload[1] | (payload[2] << 8));
    if (index != p->usIndex) {
      return Fail(c, 0x2A1F, index, SSDOC_k_ABORT_INDEX);
    }
    if (payload[3] != p->ucSubIndex) {
      return Fail(c, 0x2A20, payload[3], SSDOC_k_ABORT_INDEX);
    }
  }
  switch (p->ulState) {
    case SSDOC_k_UPLD_INIT:
      return UploadInitiated(c, ct, le, payload);
    case SSDOC_k_DNLD_EXP:
      if (cmd != SSDOC_k_CMD_DN_EXP) {
        return AbortResponse(c, ct, le, payload);
      }
      if (le != SSDOC_k_HDR_LEN) {
        return Fail(c, 0x2A18, le, SSDOC_k_ABORT_LENGTH);
      }
      SSDOC_End(c, p->ulTotalLen, 0);
      return true;
    case SSDOC_k_DNLD_SEG_INIT:
      return SegDownloadInitiated(c, ct, le, payload, header->ucTr);
    case SSDOC_k_DNLD_MIDDLE:
      return MiddleSent(c, ct, le, payload, header->ucTr);
    case SSDOC_k_UPLD_SEG:
      if (base == SSDOC_k_CMD_UP_SEG) {
        if (BadSegLe(p, le)) {
          return Fail(c, 0x2A13, le, SSDOC_k_ABORT_LENGTH);
        }
        return TakeUpload(c, ct, payload + 1, le - 1U, le, 0x2A13);
      }
      if (base == SSDOC_k_CMD_UP_LAST) {
        if (p->ulTotalLen != 0) {
          return Fail(c, 0x2A15, le, SSDOC_k_ABORT_CMD);
        }
        if (BadSegLe(p, le)) {
          return Fail(c, 0x2A14, le, SSDOC_k_ABORT_LENGTH);
        }
        return FinishUnknown(c, payload + 1, le - 1U);
      }
      return AbortResponse(c, ct, le, payload);
    case SSDOC_k_DNLD_LAST:
      if (base != SSDOC_k_CMD_DN_LAST) {
        return AbortResponse(c, ct, le, payload);
      }
      if (le != 1) {
        return Fail(c, 0x2A1B, le, SSDOC_k_ABORT_LENGTH);
      }
      SSDOC_End(c, p->ulTotalLen, 0);
      return true;
    case SSDOC_k_UPLD_LAST:
      if (base != SSDOC_k_CMD_UP_LAST) {
        return AbortResponse(c, ct, le, payload);
      }
      if (BadSegLe(p, le)) {
        return Fail(c, 0x2A17, le, SSDOC_k_ABORT_LENGTH);
      }
      if (p->ulTotalLen == 0) {
        return FinishUnknown(c, payload + 1, le - 1U);
      }
      if (le - 1U != p->ulRemaining) {
        return Fail(c, 0x2A16, le - 1U, SSDOC_k_ABORT_LENGTH);
      }
      std::memcpy(p->pucData, payload + 1, le - 1U);
      p->ulTransferred += le - 1U;
      SSDOC_End(c, p->ulTransferred, 0);
      return true;
    default:
      SERR_SetError(0xFA1C, p->ulState);
      SSDOC_End(c, 0, SSDOC_k_ABORT_GENERAL);
      return false;
  }
}
