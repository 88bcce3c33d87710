// SNMT slave: the SCM's own safety node (entry points the stack core calls).
#pragma once
#include "SFS.h"

bool SNMTS_Init();
/// True when a response header and payload were prepared (or busy is set: call again).
bool SNMTS_ProcessRequest(u32 ct, const SFS_FrameHeader* request, SFS_FrameHeader* response, u8* busy);
/// Timer event; decrements the free-frame count when it sends.
void SNMTS_TimerCheck(u32 ct, u8* freeFrames);

/// Application: transition to PRE-OPERATIONAL (state 0 -> 1, starts the reset guarding).
bool SNMTS_PerformTransPreOp(u32 ct);
/// SN state as the server sees it: 0 initialisation, 1 PRE-OPERATIONAL, 2 OPERATIONAL; null out: 0xF61B.
bool SNMTS_GetSnState(u32* out);
/// Application: the parameter checksum was computed (valid or not).
bool SNMTS_PassParamChkSumValid(bool valid);
/// Application: confirmation of the switch to OPERATIONAL, or its refusal with an error group and code.
bool SNMTS_EnterOpState(bool confirmed, u8 errorGroup, u8 errorCode);
/// The own main SADR (0x1C00/1).
u16 SNMTS_MainSadrGet();
/// Writes the own main SADR (0x1C00/1; not an application write).
bool SNMTS_MainSadrSet(u16 sadr);
/// Writes the SCM UDID (0x1200/4; not an application write).
bool SNMTS_UdidScmSet(const u8 udid[6]);
