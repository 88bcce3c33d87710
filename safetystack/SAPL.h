// What the safety stack requires of its user. The stack library declares these
// and never defines them: the firmware (or a test) supplies every one.
#pragma once
#include "SOD.h"
#include "ScmProfile.h"
#include "ScmTypes.h"

/// Error report of the stack: every SERR_SetError ends here (code, additional info).
void SAPL_SERR_SignalErrorClbk(u16 code, u32 info);

/// Report of a safety node failure: SADR, error group, error code, FSM index of the node.
void SAPL_ScmSnFailClbk(u16 SADR, u8 group, u8 code, u16 fsmIndex);
/// Before each turn of a node: false skips the node this time.
bool SAPL_ScmProcessSn(u16 SADR);
/// A reported status write of a node (old = new when an unchanged status is reported again).
void SAPL_ScmNodeStatusChangedClbk(u16 SADR, u8 oldStatus, u8 newStatus);
/// The node reported another UDID than expected; it waits for SCM_OperatorAck (FSM index).
void SAPL_ScmUdidMismatchClbk(u16 SADR, const u8* receivedUdid, u16 fsmIndex);
/// Revision check of a node: true accepts the received revision.
bool SAPL_ScmRevisionNumberClbk(u16 SADR, u32 expected, u32 received);
#if !SCM_PROFILE_LEGACY
/// Start value of the SCM's 40-bit CT counter (at most 40 bits).
u64 SAPL_SCM_GetInitialCtValueClbk();
#endif

/// The real object table, sorted by (index, sub-index), closed by index 0xFFFF.
extern const SOD_Entry* SAPL_ps_OD;
/// The virtual ranges, sorted by first index, closed by first index 0xFFFF; null = none.
extern const SOD_VirtRange* SAPL_ps_SOD_VIRT;

/// Transmit block of the given length for a telegram type (2, 3, 4), or null.
u8* SHNF_GetTxMemBlock(u16 length, u8 telegramType);
/// Sends the block (1 sent, 0 not sent); either way the block is no longer out.
u8 SHNF_MarkTxMemBlock(u8* block);
/// Gives the block back without sending it; no event; the block is no longer out.
void SHNF_ReleaseTxMemBlock(u8* block);

/// Own node: true when the application has processed its parameter set.
bool SAPL_SNMTS_ParameterSetProcessed();
/// Own node: the application is to compute the parameter checksum.
void SAPL_SNMTS_CalcParamChkSumClbk();
/// Own node: the application is asked to confirm the switch to OPERATIONAL.
void SAPL_SNMTS_SwitchToOpReqClbk();
/// Own node: the SCM acknowledged the last SN FAIL.
void SAPL_SNMTS_ErrorAckClbk();
