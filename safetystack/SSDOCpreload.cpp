// The SSDO client's preload: a segmented download whose segments go out from
// the build call within the window the node grants, with rewinds on its
// repeat requests (the current release only; the older release has no preload).
#include <cstring>

#include "SCFM.h"
#include "SERR.h"
#include "SSDOCint.h"

namespace {
constexpr u8 k_TR_REPEAT = 0x30;  ///< TR of a preload answer that asks for a repeat
}  // namespace

bool SSDOC_ServPreloading(u8 c) {
  SCFM_Tack();
  return SSDOC_as_Serv[c].ucPreload != 0;
}

bool SSDOC_PreloadWindowOpen(u8 c) {
  SCFM_Tack();
  return SSDOC_as_Prot[c].ucPreloadActive != 0;
}

void SSDOC_PreloadEnd(u8 c) {
  SCFM_Tack();
  SSDOC_as_Serv[c].ucPreload = 0;
}

void SSDOC_PreloadStart(u8 c, u8 window) {
  SCFM_Tack();
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  p->ucWindow = window;
  p->ucFreePlaces = window;
  p->pucBase = p->pucData;
  p->usFirstSaNo = s->sReqHdr.usCt;
  p->usNextSaNo = s->sReqHdr.usCt;
  p->usAckSaNo = s->sReqHdr.usCt;
  p->ucPreloadActive = 1;
  s->ucPreload = 1;
}

bool SSDOC_PreloadMiddleAnswered(u8 c, u8 tr) {
  SCFM_Tack();
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  if (tr == k_TR_REPEAT) {
    if (p->ucRepeatFlag != 0 && p->ucRepeatCount != 0) {
      --p->ucRepeatCount;  // a repeat request for a segment sent before the last rewind
      return true;
    }
    // Rewind: the next segment sent carries the acknowledged sequence number.
    p->ucRepeatCount = static_cast<u8>(p->ucWindow - p->ucFreePlaces);
    SSDOC_as_Serv[c].sReqHdr.usCt = SSDOC_PrevSaNo(p->usAckSaNo);
    p->usNextSaNo = SSDOC_as_Serv[c].sReqHdr.usCt;
    p->usRepeatSaNo = p->usAckSaNo;
    p->ucRepeatSeen = 1;
    p->ucFreePlaces = p->ucWindow;
    return true;
  }
  if (tr == 0) {
    p->ucRepeatSeen = 0;
    p->ucRepeatFlag = 0;
    return true;
  }
  return false;
}

bool SSDOC_PreloadServiceCheck(u8 c, u16 sano) {
  SCFM_Tack();
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  const u16 dist = SSDOC_SaNoDist(p->usAckSaNo, sano);
  const u16 span = SSDOC_SaNoDist(p->usAckSaNo, p->usNextSaNo);
  if (sano != 0 && dist >= 1 && dist <= span) {
    p->usAckSaNo = sano;
    const u16 inFlight = SSDOC_SaNoDist(sano, p->usNextSaNo);
    p->ucFreePlaces = inFlight < p->ucWindow ? static_cast<u8>(p->ucWindow - inFlight) : 0;
    p->ucRepeatFlag = 0;
    return true;
  }
  if (p->ucRepeatSeen != 0 && sano == p->usRepeatSaNo) {
    p->ucRepeatFlag = 1;
    if (p->ucFreePlaces < p->ucWindow) {
      ++p->ucFreePlaces;
    }
    return true;
  }
  SERR_SetError(0x2A2A, (static_cast<u32>(sano) << 16) | SSDOC_NextSaNo(p->usAckSaNo));
  return false;
}

bool SSDOC_SendPreloadSegment(u8 c, u32 ct, u8* freeFrames) {
  SCFM_Tack();
  SSDOC_ProtFsm* p = &SSDOC_as_Prot[c];
  SSDOC_ServFsm* s = &SSDOC_as_Serv[c];
  if (p->ucPreloadActive == 0 || s->ucUnsent != 0 || p->ucFreePlaces == 0 || *freeFrames == 0) {
    return true;
  }
  const u32 maxData = p->ucPayloadLen - 1U;
  const u16 cur = s->sReqHdr.usCt;
  const u32 offset = static_cast<u32>(SSDOC_SaNoDist(p->usFirstSaNo, cur)) * maxData;
  if (offset > p->ulRemaining) {
    SSDOC_End(c, 0, SSDOC_k_ABORT_GENERAL);
    return true;
  }
  const u32 left = p->ulRemaining - offset;
  const bool middle = maxData < left;
  if (!middle && p->ucFreePlaces != p->ucWindow) {
    return true;  // the last segment waits for an empty window
  }
  const u32 n = middle ? maxData : left;
  p->ucToggle ^= 1U;
  const u8 toggle = p->ucToggle != 0 ? SSDOC_k_CMD_TOGGLE : 0;
  s->aucReqPayload[0] = static_cast<u8>((middle ? SSDOC_k_CMD_DN_SEG_PL : SSDOC_k_CMD_DN_LAST) | toggle);
  std::memcpy(s->aucReqPayload + 1, p->pucBase + offset, n);
  s->sReqHdr.ucLe = static_cast<u8>(n + 1);
  // A segment that cannot go out stays the request and is sent by the next time-out check.
  const bool sent = SSDOC_ServSendNew(c, ct);
  p->usNextSaNo = s->sReqHdr.usCt;
  --p->ucFreePlaces;
  if (middle) {
    p->ulState = SSDOC_k_DNLD_MIDDLE;
  } else {
    p->ulState = SSDOC_k_DNLD_LAST;
    p->ucPreloadActive = 0;
    s->ucPreload = 0;
  }
  if (sent) {
    --*freeFrames;
  }
  return sent;
}
