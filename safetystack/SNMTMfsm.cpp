// SNMT master: the slot machine, the repetitions and the matching of answers.
#include <cstring>

#include "ScmProfile.h"
#include "SCFM.h"
#include "SCM.h"
#include "SERR.h"
#include "SNMTMint.h"

namespace {
/// Ids of the requests and answers.
enum : u8 {
  k_ID_UDID_REQ = 0x28,       ///< UDID request
  k_ID_ASSIGN_SADR = 0x2A,    ///< assign SADR
  k_ID_SERVICE = 0x2C,        ///< extended service request
  k_ID_RESET_GUARD = 0x2F     ///< reset guarding of the SCM, sent by a node
};

/// Acyclic counter kinds of the master.
enum : u8 {
  k_ACYC_EXPIRED = 2,  ///< request expired after all repetitions
  k_ACYC_REPEAT = 3    ///< request repeated
};

constexpr u8 k_TABLE_SIZE = 9;        ///< rows and columns of the request/response table
/// Highest service code of an answer (the older release's 8 x 8 table ends at 0x0F).
constexpr u8 k_MAX_SERVICE = SCM_ProfileValue<u8>(0x11, 0x0F);
constexpr u8 k_UDID_LE = 6;           ///< LE of a UDID answer and of an SADR assignment answer
constexpr u8 k_NO_LE = 0xFF;          ///< a column that no request accepts

/// Row = request service / 2, column = answer service / 2; non-zero = answers it.
using ReqRespTable = u8[k_TABLE_SIZE][k_TABLE_SIZE];
/// The current release's table: an SN FAIL (0x07) answers every request.
constexpr ReqRespTable k_CurrentReqRespTable = {
    // answer: 0x01 0x03 0x05 0x07 0x09 0x0B 0x0D 0x0F 0x11
    {1, 0, 0, 1, 0, 0, 0, 0, 0},  // 0x00 SN set to pre-operational
    {0, 1, 0, 1, 1, 0, 0, 0, 0},  // 0x02 SN set to operational
    {0, 0, 0, 1, 0, 0, 0, 0, 0},  // 0x04 SCM set to stop
    {0, 0, 0, 1, 0, 0, 0, 0, 0},  // 0x06 SCM set to operational
    {1, 1, 0, 1, 0, 0, 0, 0, 0},  // 0x08 SCM guard SN
    {0, 0, 1, 1, 0, 0, 0, 0, 0},  // 0x0A assign additional SADR
    {0, 0, 0, 1, 0, 0, 0, 0, 0},  // 0x0C SN error acknowledge
    {0, 0, 0, 1, 0, 0, 0, 1, 0},  // 0x0E assign SCM UDID
    {0, 0, 0, 1, 0, 0, 0, 0, 1},  // 0x10 initialise extended CT
};
/// The older release's 8 x 8 table: an SN FAIL answers only the set-to-operational.
constexpr ReqRespTable k_LegacyReqRespTable = {
    // answer: 0x01 0x03 0x05 0x07 0x09 0x0B 0x0D 0x0F
    {1, 0, 0, 0, 0, 0, 0, 0, 0},  // 0x00 SN set to pre-operational
    {0, 1, 0, 1, 1, 0, 0, 0, 0},  // 0x02 SN set to operational
    {0, 0, 0, 0, 0, 0, 0, 0, 0},  // 0x04 SCM set to stop
    {0, 0, 0, 0, 0, 0, 0, 0, 0},  // 0x06 SCM set to operational
    {1, 1, 0, 0, 0, 0, 0, 0, 0},  // 0x08 SCM guard SN
    {0, 0, 1, 0, 0, 0, 0, 0, 0},  // 0x0A assign additional SADR
    {0, 0, 0, 0, 0, 0, 0, 0, 0},  // 0x0C SN error acknowledge
    {0, 0, 0, 0, 0, 0, 0, 1, 0},  // 0x0E assign SCM UDID
    {0, 0, 0, 0, 0, 0, 0, 0, 0},  // (no 0x10 in the older release)
};
/// ao_ReqRespTable: the release's table.
constexpr const ReqRespTable& ao_ReqRespTable = SCM_kLegacy ? k_LegacyReqRespTable : k_CurrentReqRespTable;

/// Exact LE of a service answer by column (answer service / 2): a truncated answer matches nothing.
const u8 k_AnswerLe[k_TABLE_SIZE] = {1, 1, 5, 3, 1, k_NO_LE, k_NO_LE, 7, 6};

/// True when the response answers the request of this slot.
bool Answers(const SNMTM_ReqSlot* s, const u8* payload, u8 le, u16 tadr, u16 sdn) {
  SCFM_Tack();
  const SFS_FrameHeader& req = s->sHdr;
  switch (req.ucId) {
    case k_ID_ASSIGN_SADR:
      return le == k_UDID_LE && std::memcmp(payload, s->aucData, k_UDID_LE) == 0;
    case k_ID_UDID_REQ:
      return le == k_UDID_LE && tadr == req.usAdr;
    case k_ID_SERVICE: {
      if (le < 1 || payload[0] > k_MAX_SERVICE) {
        return false;
      }
      const u8 column = payload[0] / 2;
      const u8 row = s->aucData[0] / 2;
      return row < k_TABLE_SIZE && ao_ReqRespTable[row][column] != 0 && le == k_AnswerLe[column] &&
             tadr == req.usAdr && sdn == req.usSdn;
    }
    default:
      return false;
  }
}
}  // namespace

bool SNMTM_SlotFsm(u8 slotIdx, u8 event, u32 ct, u8* freeFrames, const SFS_FrameHeader* hdr,
                   const u8* data, u16 fsmIndex) {
  SCFM_Tack();
  SNMTM_ReqSlot* slot = &SNMTM_as_Fsm[slotIdx];
  if (slot->ucFree != 0) {
    switch (event) {
      case SNMTM_k_EVT_SEND:
        slot->sHdr = *hdr;
        std::memset(slot->aucData, 0, sizeof slot->aucData);
        if (data != nullptr) {
          std::memcpy(slot->aucData, data, hdr->ucLe <= SNMTM_k_REQ_DATA ? hdr->ucLe : SNMTM_k_REQ_DATA);
        }
        slot->ucRepDone = 0;
        if (!SNMTM_Transmit(slot, ct)) {
          SNMTM_FreeSlot(slot);
          return false;
        }
        slot->usFsmIdx = fsmIndex;
        slot->ucFree = 0;
        return true;
      case SNMTM_k_EVT_TIMER:
        return true;
      default:
        SERR_SetError(0xF511, slotIdx);
        return false;
    }
  }
  switch (event) {
    case SNMTM_k_EVT_RESP: {
      const u16 requester = slot->usFsmIdx;
      SNMTM_FreeSlot(slot);
      SCM_SNMTM_RespClbk(requester, hdr->usTadr, hdr->usSdn, data, 0);
      return true;
    }
    case SNMTM_k_EVT_TIMER: {
      if (freeFrames == nullptr || *freeFrames == 0 || static_cast<i32>(ct - slot->ulDeadline) < 0) {
        return true;
      }
      if (slot->ucRepDone < slot->ucRepAllowed) {
        // A repetition that cannot be sent leaves the slot busy and due.
        if (!SNMTM_Transmit(slot, ct)) {
          return false;
        }
        SERR_CountAcycEvt(slotIdx, k_ACYC_REPEAT);
        ++slot->ucRepDone;
        --*freeFrames;
        return true;
      }
      SERR_CountAcycEvt(slotIdx, k_ACYC_EXPIRED);
      const u16 requester = slot->usFsmIdx;
      const u16 target = slot->sHdr.usAdr;
      const u16 sdn = slot->sHdr.usSdn;
      SERR_SetError(0x150B, target);
      SNMTM_FreeSlot(slot);
      SCM_SNMTM_RespClbk(requester, target, sdn, nullptr, 1);
      return true;
    }
    default:
      SERR_SetError(0xF501, slotIdx);
      return false;
  }
}

void SNMTM_BuildRequest(u32 ct, u8* freeFrames) {
  SCFM_Tack();
  if (freeFrames == nullptr) {
    SERR_SetError(0xF513, 0);
    return;
  }
  for (u8 i = 0; i < SNMTM_k_NUM_SLOTS; ++i) {
    if (!SNMTM_SlotFsm(i, SNMTM_k_EVT_TIMER, ct, freeFrames, nullptr, nullptr, SNMTM_k_NO_FSM)) {
      return;
    }
  }
}

i16 SNMTM_AssignResponse(u8 id, const u8* payload, u8 le, u16 tadr, u16 sdn) {
  SCFM_Tack();
  const u8 reqId = static_cast<u8>(id & 0xFE);
  for (u8 i = 0; i < SNMTM_k_NUM_SLOTS; ++i) {
    const SNMTM_ReqSlot* s = &SNMTM_as_Fsm[i];
    if (s->ucFree == 0 && s->sHdr.ucId == reqId && Answers(s, payload, le, tadr, sdn)) {
      return i;
    }
  }
  return -1;
}

bool SNMTM_ProcessResponse(u32 ct, const SFS_FrameHeader* header, const u8* payload) {
  SCFM_Tack();
  if (header == nullptr || payload == nullptr) {
    SERR_SetError(0xF511, 0xFF);
    return false;
  }
  if (header->ucTr != 0) {
    SERR_SetError(0x150F, header->ucTr);
    return true;
  }
  if (header->usCt != 0) {
    SERR_SetError(0x1510, header->usCt);
    return true;
  }
  if (header->ucId == k_ID_RESET_GUARD) {
    SCM_SNMTM_ResetGuardClbk();
    return true;
  }
  u16 scmSadr = 0;
  if (!SNMTM_ScmSadr(&scmSadr)) {
    return false;
  }
  if (header->usAdr != scmSadr) {
    SERR_SetError(0x150E, header->usAdr);
    return false;
  }
  const i16 slot = SNMTM_AssignResponse(header->ucId, payload, header->ucLe, header->usTadr, header->usSdn);
  if (slot < 0) {
    SERR_SetError(0x250C, header->ucId);
    return false;
  }
  // The node gets exactly the answer's bytes, zero-filled to the 7 it keeps.
  u8 data[SNMTM_k_REQ_DATA] = {};
  std::memcpy(data, payload, header->ucLe <= SNMTM_k_REQ_DATA ? header->ucLe : SNMTM_k_REQ_DATA);
  return SNMTM_SlotFsm(static_cast<u8>(slot), SNMTM_k_EVT_RESP, ct, nullptr, header, data, SNMTM_k_NO_FSM);
}
