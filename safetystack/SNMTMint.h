// Module-internal parts of the SNMT master shared by its source files.
#pragma once
#include "SNMTM.h"
#include "SOD.h"

/// Events of the slot machine.
enum : u8 {
  SNMTM_k_EVT_SEND = 0,   ///< send a new request
  SNMTM_k_EVT_RESP = 1,   ///< response received
  SNMTM_k_EVT_TIMER = 2   ///< timer check
};

/// The request slots.
extern SNMTM_ReqSlot SNMTM_as_Fsm[SNMTM_k_NUM_SLOTS];

/// One step of a slot machine. hdr/data: the request (event 0, sent for fsmIndex) or the
/// response (event 1, data zero-filled to 7 bytes); freeFrames: the budget (event 2).
bool SNMTM_SlotFsm(u8 slot, u8 event, u32 ct, u8* freeFrames, const SFS_FrameHeader* hdr,
                   const u8* data, u16 fsmIndex);
/// Frees a slot (requesting index 0xFFFF, header and data zero).
void SNMTM_FreeSlot(SNMTM_ReqSlot* slot);
/// Sends the slot's request; on success deadline and repetitions allowed are taken anew.
bool SNMTM_Transmit(SNMTM_ReqSlot* slot, u32 ct);
/// The SCM's own SADR (0x1200 sub 2); false (reported) when unreadable.
bool SNMTM_ScmSadr(u16* out);
