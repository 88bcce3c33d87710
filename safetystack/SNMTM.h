// SNMT master: the network-management requests of the configuration manager,
// their repetitions and the matching of the answers to them.
#pragma once
#include "SFS.h"
#include "ScmProfile.h"

/// Number of request slots (one per node: 12, the older release 101).
constexpr u8 SNMTM_k_NUM_SLOTS = static_cast<u8>(SCM_kProfileMaxNodes);
/// Bytes of request data a slot keeps.
constexpr u8 SNMTM_k_REQ_DATA = 7;
/// Requesting FSM index of a free slot.
constexpr u16 SNMTM_k_NO_FSM = 0xFFFF;

/// One request in flight.
struct SNMTM_ReqSlot {
  u8 ucFree;                        ///< 1 = free
  u32 ulDeadline;                   ///< CT at which the request is due again
  u8 ucRepDone;                     ///< repetitions sent
  u8 ucRepAllowed;                  ///< repetitions allowed (0x1202 sub 2 at the last send)
  u16 usFsmIdx;                     ///< FSM index of the SCM node that asked (0xFFFF = none)
  SFS_FrameHeader sHdr;             ///< request header
  u8 aucData[SNMTM_k_REQ_DATA];     ///< request data (LE bytes of it used)
};

/// Transition kinds of SNMTM_ReqSnTrans.
enum : u8 {
  SNMTM_k_TRANS_OP = 0,     ///< SN set to operational (with the timestamp)
  SNMTM_k_TRANS_PREOP = 1   ///< SN set to pre-operational
};

/// Binds the SCM's SADR, the time-out and the repetitions and frees every slot.
bool SNMTM_Init();
/// Binds 0x1202 sub 1 and 2 and frees every slot.
bool SNMTM_InitFsm();
/// Repetitions and time-outs of the request slots; spends free frames.
void SNMTM_BuildRequest(u32 ct, u8* freeFrames);
/// An SNMT answer (ids 0x29, 0x2B, 0x2D, 0x2F) from the dispatcher.
bool SNMTM_ProcessResponse(u32 ct, const SFS_FrameHeader* header, const u8* payload);
/// First free slot, or -1.
i16 SNMTM_GetFsmFree();
/// True when a slot is free.
bool SNMTM_CheckFsmAvailable();
/// Slot whose request the response answers, or -1.
i16 SNMTM_AssignResponse(u8 id, const u8* payload, u8 le, u16 tadr, u16 sdn);

// Request builders: each takes the first free slot, sends at once and returns
// true when the frame went out (the slot is then busy; the caller counts the frame).
/// UDID request (0x28, LE 0).
bool SNMTM_ReqUdid(u32 ct, u16 fsmIndex, u16 sadr);
/// Assign SADR (0x2A) with the UDID.
bool SNMTM_ReqAssgnSadr(u32 ct, u16 fsmIndex, u16 sadr, const u8* udid);
/// SN set to operational (kind 0, with the timestamp) or pre-operational (kind 1).
bool SNMTM_ReqSnTrans(u32 ct, u16 fsmIndex, u16 sadr, u8 kind, u32 timestamp);
/// Guard request (service 0x08).
bool SNMTM_ReqGuarding(u32 ct, u16 fsmIndex, u16 sadr);
/// Assign additional SADR (service 0x0A) with its TxSPDO number.
bool SNMTM_ReqAssgnAddSadr(u32 ct, u16 fsmIndex, u16 sadr, u16 addSadr, u16 txSpdo);
/// Assign SCM UDID (service 0x0E).
bool SNMTM_ReqAssgnScmUdid(u32 ct, u16 fsmIndex, u16 sadr, const u8* scmUdid);
/// Initialise the extended CT (service 0x10) with the 5 bytes given.
bool SNMTM_ReqInitializeCtSn(u32 ct, u16 fsmIndex, u16 sadr, const u8* extCt);
/// SN error acknowledge (group, code): sent without a slot, no answer expected.
bool SNMTM_SnErrorAck(u16 sadr, u8 group, u8 code);
