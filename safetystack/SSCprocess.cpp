// Frame dispatcher: one received SNMT or SSDO frame at a time, and the
// response of the own safety node.
#include <cstring>

#include "SCFM.h"
#include "SERR.h"
#include "SNMTM.h"
#include "SNMTS.h"
#include "SSC.h"
#include "SSDOC.h"
#include "SSDOS.h"

namespace {
/// Dispatcher states.
enum : u32 {
  k_WAIT_FRAME = 0,  ///< wait for a frame
  k_PROCESS = 1,     ///< process the received frame
  k_RESPOND = 2      ///< send the response
};

/// Processor chosen by the received id.
enum class Route : u8 {
  None,       ///< id not served
  Snmts,      ///< SNMT request to the own node
  Ssdos,      ///< SSDO request to the own node
  Snmtm,      ///< SNMT response for the master
  Ssdoc       ///< SSDO response for the client
};

/// The dispatcher record.
struct Fsm {
  u32 ulState;                          ///< k_WAIT_FRAME, k_PROCESS or k_RESPOND
  u8 ucRespond;                         ///< 1 when the processed frame needs a response
  u8 ucBusy;                            ///< set by a server that must be called again
  u32 ulTelType;                        ///< telegram type of the response block
  SFS_FrameHeader rxHdr;                ///< decoded header of the received frame
  u8 aucRxPayload[SSC_k_PAYLOAD_SIZE];  ///< payload copied out of the received frame
  SFS_FrameHeader txHdr;                ///< response header, filled by the server
  u8 aucTxPayload[SSC_k_PAYLOAD_SIZE];  ///< response payload, filled by the server
};

Fsm s_Fsm = {};                        ///< the one dispatcher
u8 s_aucRxFrame[SSC_k_MAX_RX_FRAME];   ///< received frame while it is decoded

Route RouteOf(u8 id) {
  SCFM_Tack();
  switch (id) {
    case 0x28: case 0x2A: case 0x2C: case 0x2E: return Route::Snmts;
    case 0x38: case 0x3A: return Route::Ssdos;
    case 0x29: case 0x2B: case 0x2D: case 0x2F: return Route::Snmtm;
    case 0x39: case 0x3B: return Route::Ssdoc;
    default: return Route::None;
  }
}

u32 TelTypeOf(Route route, u8 id) {
  SCFM_Tack();
  if (route == Route::Snmts || route == Route::Snmtm) {
    return SFS_k_TT_SNMT;
  }
  return SFS_IsSlim(id) ? SFS_k_TT_SSDO_SLIM : SFS_k_TT_SSDO;
}

/// Drops the request and its work: back to waiting for a frame.
bool Drop() {
  SCFM_Tack();
  SERR_CountCommonEvt(SERR_k_NOT_PROCESSED);
  s_Fsm.ulState = k_WAIT_FRAME;
  s_Fsm.ucBusy = 0;
  return false;
}

bool WaitFrame(const u8* frame, u16 length) {
  SCFM_Tack();
  if (frame == nullptr) {
    SERR_SetError(0xF905, 0);
    return false;
  }
  if (length > SSC_k_MAX_RX_FRAME) {
    SERR_SetError(0x2906, length);
    return false;
  }
  // Decoded in a copy: the caller's buffer stays as received.
  std::memcpy(s_aucRxFrame, frame, length);
  const u8* payload = SFS_FrmDeSerialize(s_aucRxFrame, length, &s_Fsm.rxHdr);
  if (payload == nullptr) {
    return false;
  }
  std::memcpy(s_Fsm.aucRxPayload, payload, s_Fsm.rxHdr.ucLe);
  // A server that answers without preparing must not send what an earlier request left.
  s_Fsm.txHdr = SFS_FrameHeader{};
  std::memset(s_Fsm.aucTxPayload, 0, sizeof(s_Fsm.aucTxPayload));
  s_Fsm.ulState = k_PROCESS;
  return true;
}

bool Process(u32 ct, const u8* frame) {
  SCFM_Tack();
  if (frame != nullptr) {
    SERR_SetError(0xF907, 0);
    return Drop();
  }
  const u8 id = s_Fsm.rxHdr.ucId;
  const Route route = RouteOf(id);
  bool ok = false;
  switch (route) {
    case Route::Snmts:
      s_Fsm.ucRespond = 1;
      ok = SNMTS_ProcessRequest(ct, &s_Fsm.rxHdr, &s_Fsm.txHdr, &s_Fsm.ucBusy);
      break;
    case Route::Ssdos:
      s_Fsm.ucRespond = 1;
      ok = SSDOS_ProcessRequest(&s_Fsm.rxHdr, &s_Fsm.txHdr, &s_Fsm.ucBusy);
      break;
    case Route::Snmtm:
      s_Fsm.ucRespond = 0;
      s_Fsm.ucBusy = 0;
      ok = SNMTM_ProcessResponse(ct, &s_Fsm.rxHdr, s_Fsm.aucRxPayload);
      break;
    case Route::Ssdoc:
      s_Fsm.ucRespond = 0;
      s_Fsm.ucBusy = 0;
      ok = SSDOC_ProcessResponse(ct, &s_Fsm.rxHdr, s_Fsm.aucRxPayload);
      break;
    case Route::None:
      SERR_SetError(0x2902, id);
      return Drop();
  }
  s_Fsm.ulTelType = TelTypeOf(route, id);
  if (!ok) {
    return Drop();
  }
  if (s_Fsm.ucBusy != 0) {
    return true;
  }
  if (s_Fsm.ucRespond != 0) {
    s_Fsm.ulState = k_RESPOND;
    return true;
  }
  s_Fsm.ulState = k_WAIT_FRAME;
  return false;
}

bool Respond(const u8* frame) {
  SCFM_Tack();
  s_Fsm.ulState = k_WAIT_FRAME;
  if (frame != nullptr) {
    SERR_SetError(0xF907, 0);
    return false;
  }
  SFS_FrameHeader& tx = s_Fsm.txHdr;
  // A server that returned true without preparing a response: nothing to send.
  if (tx.ucId == 0) {
    return false;
  }
  // The response must fit the buffer it is copied from.
  if (tx.ucLe > SSC_k_PAYLOAD_SIZE) {
    SERR_SetError(0xF909, tx.ucLe);
    return false;
  }
  const u8 telType = static_cast<u8>(s_Fsm.ulTelType);
  u8* block = SFS_GetMemBlock(telType, tx.ucLe);
  if (block == nullptr) {
    return false;
  }
  if (telType == SFS_k_TT_SSDO_SLIM && (tx.ucId & 0x38) == 0x38) {
    tx.ucId = static_cast<u8>(tx.ucId | 0x02);
  }
  std::memcpy(block + SFS_k_BLOCK_PAYLOAD, s_Fsm.aucTxPayload, tx.ucLe);
  SFS_FrmSerialize(&tx, block);
  return false;
}
}  // namespace

void SSC_InitFsm() {
  SCFM_Tack();
  s_Fsm = Fsm{};
  s_Fsm.ulState = k_WAIT_FRAME;
  s_Fsm.ulTelType = 1;
}

bool SSC_ProcessSNMTSSDOFrame(u32 ct, const u8* frame, u16 length) {
  SCFM_Tack();
  switch (s_Fsm.ulState) {
    case k_WAIT_FRAME: return WaitFrame(frame, length);
    case k_PROCESS: return Process(ct, frame);
    case k_RESPOND: return Respond(frame);
    default:
      SERR_SetError(0xF908, s_Fsm.ulState);
      s_Fsm.ulState = k_WAIT_FRAME;
      return false;
  }
}

const u8* SSC_GetRxPayload(const SFS_FrameHeader* request) {
  SCFM_Tack();
  return (request == &s_Fsm.rxHdr) ? s_Fsm.aucRxPayload : nullptr;
}

u8* SSC_GetTxPayload(const SFS_FrameHeader* response) {
  SCFM_Tack();
  return (response == &s_Fsm.txHdr) ? s_Fsm.aucTxPayload : nullptr;
}
