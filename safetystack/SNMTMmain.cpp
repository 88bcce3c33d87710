// SNMT master: initialisation, the request builders and the transmission of
// a slot's request.
#include <cstring>

#include "SCFM.h"
#include "SDN.h"
#include "SERR.h"
#include "SNMTMint.h"

SNMTM_ReqSlot SNMTM_as_Fsm[SNMTM_k_NUM_SLOTS];

namespace {
SOD_Access s_ScmSadrAcs;   ///< 0x1200 sub 2, the SCM's SADR
SOD_Access s_TimeoutAcs;   ///< 0x1202 sub 1, response time-out
SOD_Access s_RepeatAcs;    ///< 0x1202 sub 2, number of repetitions

/// Request ids.
enum : u8 {
  k_ID_UDID_REQ = 0x28,     ///< UDID request
  k_ID_ASSIGN_SADR = 0x2A,  ///< assign SADR
  k_ID_SERVICE = 0x2C       ///< extended service request
};

/// Service codes of the extended requests.
enum : u8 {
  k_SRV_PREOP = 0x00,         ///< SN set to pre-operational
  k_SRV_OP = 0x02,            ///< SN set to operational
  k_SRV_GUARD = 0x08,         ///< guard SN
  k_SRV_ADD_SADR = 0x0A,      ///< assign additional SADR
  k_SRV_ERR_ACK = 0x0C,       ///< SN error acknowledge
  k_SRV_SCM_UDID = 0x0E,      ///< assign SCM UDID
  k_SRV_INIT_EXT_CT = 0x10    ///< initialise extended CT
};

constexpr u16 k_MAX_SADR = 1023;      ///< highest SADR
constexpr u16 k_MIN_TXSPDO = 2;       ///< lowest TxSPDO number of an additional SADR
constexpr u16 k_MAX_TXSPDO = 1023;    ///< highest TxSPDO number

/// Reads a bound object's value of n bytes; the SOD's error is reported on failure.
bool ReadValue(SOD_Access* acc, void* out, u32 n) {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const void* p = SOD_ReadVirt(acc, &err);
  if (p == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  std::memcpy(out, p, n);
  return true;
}

/// Fills the header of a request to sadr and sends it from the first free slot.
bool Request(u32 ct, u16 fsmIndex, u16 sadr, u8 id, u8 le, const u8* data, u16 noSlotCode) {
  SCFM_Tack();
  const i16 slot = SNMTM_GetFsmFree();
  if (slot < 0) {
    SERR_SetError(noSlotCode, 0);
    return false;
  }
  SFS_FrameHeader hdr = {};
  if (!SNMTM_ScmSadr(&hdr.usTadr)) {
    return false;
  }
  hdr.usAdr = sadr;
  hdr.ucId = id;
  hdr.usSdn = SDN_GetSdn();
  hdr.ucLe = le;
  return SNMTM_SlotFsm(static_cast<u8>(slot), SNMTM_k_EVT_SEND, ct, nullptr, &hdr, data, fsmIndex);
}
}  // namespace

bool SNMTM_ScmSadr(u16* out) {
  SCFM_Tack();
  return ReadValue(&s_ScmSadrAcs, out, sizeof(u16));
}

void SNMTM_FreeSlot(SNMTM_ReqSlot* slot) {
  SCFM_Tack();
  *slot = SNMTM_ReqSlot{};
  slot->ucFree = 1;
  slot->usFsmIdx = SNMTM_k_NO_FSM;
}

bool SNMTM_Transmit(SNMTM_ReqSlot* slot, u32 ct) {
  SCFM_Tack();
  u32 timeout = 0;
  u8 repeat = 0;
  if (!ReadValue(&s_TimeoutAcs, &timeout, sizeof timeout) || !ReadValue(&s_RepeatAcs, &repeat, sizeof repeat)) {
    return false;
  }
  u8* block = SFS_GetMemBlock(SFS_k_TT_SNMT, slot->sHdr.ucLe);
  if (block == nullptr) {
    return false;
  }
  std::memcpy(block + SFS_k_BLOCK_PAYLOAD, slot->aucData, slot->sHdr.ucLe);
  if (!SFS_FrmSerialize(&slot->sHdr, block)) {
    return false;
  }
  slot->ulDeadline = ct + timeout;
  slot->ucRepAllowed = repeat;
  return true;
}

bool SNMTM_Init() {
  SCFM_Tack();
  if (!SOD_AccessBind(&s_ScmSadrAcs, 0x1200, 2)) {
    return false;
  }
  return SNMTM_InitFsm();
}

bool SNMTM_InitFsm() {
  SCFM_Tack();
  if (!SOD_AccessBind(&s_TimeoutAcs, 0x1202, 1) || !SOD_AccessBind(&s_RepeatAcs, 0x1202, 2)) {
    return false;
  }
  for (SNMTM_ReqSlot& slot : SNMTM_as_Fsm) {
    SNMTM_FreeSlot(&slot);
  }
  return true;
}

i16 SNMTM_GetFsmFree() {
  SCFM_Tack();
  for (u8 i = 0; i < SNMTM_k_NUM_SLOTS; ++i) {
    if (SNMTM_as_Fsm[i].ucFree != 0) {
      return i;
    }
  }
  return -1;
}

bool SNMTM_CheckFsmAvailable() {
  SCFM_Tack();
  return SNMTM_GetFsmFree() >= 0;
}

bool SNMTM_ReqUdid(u32 ct, u16 fsmIndex, u16 sadr) {
  SCFM_Tack();
  return Request(ct, fsmIndex, sadr, k_ID_UDID_REQ, 0, nullptr, 0xF506);
}

bool SNMTM_ReqAssgnSadr(u32 ct, u16 fsmIndex, u16 sadr, const u8* udid) {
  SCFM_Tack();
  if (udid == nullptr) {
    SERR_SetError(0xF503, 0);
    return false;
  }
  return Request(ct, fsmIndex, sadr, k_ID_ASSIGN_SADR, 6, udid, 0xF507);
}

bool SNMTM_ReqSnTrans(u32 ct, u16 fsmIndex, u16 sadr, u8 kind, u32 timestamp) {
  SCFM_Tack();
  u8 data[5] = {};
  if (kind == SNMTM_k_TRANS_PREOP) {
    data[0] = k_SRV_PREOP;
    return Request(ct, fsmIndex, sadr, k_ID_SERVICE, 1, data, 0xF50A);
  }
  if (kind != SNMTM_k_TRANS_OP) {
    SERR_SetError(0xF502, kind);
    return false;
  }
  data[0] = k_SRV_OP;
  for (u8 i = 0; i < 4; ++i) {
    data[1 + i] = static_cast<u8>(timestamp >> (8 * i));
  }
  return Request(ct, fsmIndex, sadr, k_ID_SERVICE, 5, data, 0xF50A);
}

bool SNMTM_ReqGuarding(u32 ct, u16 fsmIndex, u16 sadr) {
  SCFM_Tack();
  const u8 data[1] = {k_SRV_GUARD};
  return Request(ct, fsmIndex, sadr, k_ID_SERVICE, 1, data, 0xF509);
}

bool SNMTM_ReqAssgnAddSadr(u32 ct, u16 fsmIndex, u16 sadr, u16 addSadr, u16 txSpdo) {
  SCFM_Tack();
  if (addSadr < 1 || addSadr > k_MAX_SADR) {
    SERR_SetError(0xF504, addSadr);
    return false;
  }
  if (txSpdo < k_MIN_TXSPDO || txSpdo > k_MAX_TXSPDO) {
    SERR_SetError(0xF505, txSpdo);
    return false;
  }
  const u8 data[5] = {k_SRV_ADD_SADR, static_cast<u8>(addSadr), static_cast<u8>(addSadr >> 8),
                      static_cast<u8>(txSpdo), static_cast<u8>(txSpdo >> 8)};
  return Request(ct, fsmIndex, sadr, k_ID_SERVICE, 5, data, 0xF508);
}

bool SNMTM_ReqAssgnScmUdid(u32 ct, u16 fsmIndex, u16 sadr, const u8* scmUdid) {
  SCFM_Tack();
  if (scmUdid == nullptr) {
    SERR_SetError(0xF503, 0);
    return false;
  }
  u8 data[7] = {k_SRV_SCM_UDID};
  std::memcpy(data + 1, scmUdid, 6);
  return Request(ct, fsmIndex, sadr, k_ID_SERVICE, 7, data, 0xF512);
}

bool SNMTM_ReqInitializeCtSn(u32 ct, u16 fsmIndex, u16 sadr, const u8* extCt) {
  SCFM_Tack();
  if (extCt == nullptr) {
    SERR_SetError(0xF503, 0);
    return false;
  }
  u8 data[6] = {k_SRV_INIT_EXT_CT};
  std::memcpy(data + 1, extCt, 5);
  return Request(ct, fsmIndex, sadr, k_ID_SERVICE, 6, data, 0xF514);
}

bool SNMTM_SnErrorAck(u16 sadr, u8 group, u8 code) {
  SCFM_Tack();
  SFS_FrameHeader hdr = {};
  if (!SNMTM_ScmSadr(&hdr.usTadr)) {
    return false;
  }
  hdr.usAdr = sadr;
  hdr.ucId = k_ID_SERVICE;
  hdr.usSdn = SDN_GetSdn();
  hdr.ucLe = 3;
  u8* block = SFS_GetMemBlock(SFS_k_TT_SNMT, hdr.ucLe);
  if (block == nullptr) {
    return false;
  }
  block[SFS_k_BLOCK_PAYLOAD] = k_SRV_ERR_ACK;
  block[SFS_k_BLOCK_PAYLOAD + 1] = group;
  block[SFS_k_BLOCK_PAYLOAD + 2] = code;
  return SFS_FrmSerialize(&hdr, block);
}
