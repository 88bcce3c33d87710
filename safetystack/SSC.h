// The frame dispatcher and the stack's initialisation.
#pragma once
#include "SFS.h"

/// Largest received frame the dispatcher accepts.
constexpr u16 SSC_k_MAX_RX_FRAME = 37;
/// Size of each payload buffer kept beside a header.
constexpr u8 SSC_k_PAYLOAD_SIZE = 24;

/// Initialises the whole stack in its fixed order; false at the first failure.
bool SSC_InitAll();
/// Dispatcher record to state 0 with both headers and payloads cleared.
void SSC_InitFsm();
/// One step: first with the received frame, then with (ct, null, 0) while true.
bool SSC_ProcessSNMTSSDOFrame(u32 ct, const u8* frame, u16 length);
/// Payload kept with the given received header (the dispatcher's), or null.
const u8* SSC_GetRxPayload(const SFS_FrameHeader* request);
/// Payload buffer kept with the given response header (the dispatcher's), or null.
u8* SSC_GetTxPayload(const SFS_FrameHeader* response);
