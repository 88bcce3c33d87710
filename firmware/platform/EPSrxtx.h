// Frame pump between the safety stack and the frame channel, and the
// transmit-block interface that the stack's serializer requires
// (SHNF_GetTxMemBlock, SHNF_MarkTxMemBlock, SHNF_ReleaseTxMemBlock, declared
// with the stack's other user requirements in SAPL.h).
#pragma once
#include "ScmTypes.h"

/// Fatal: a transmit block of an unknown type, or a send of a block that is not out.
inline constexpr u32 EPS_kEvtTxBlockMisuse = 0x9200AF0Au;
/// A transmit block was refused (information0: 1 one already out, 2 no send buffer).
inline constexpr u32 EPS_kEvtTxBlockRefused = 0x6200AF0Eu;
/// Fatal: the outgoing frame queue stayed full through every retry (information1 = errno).
inline constexpr u32 EPS_kEvtTxQueueFull = 0x92008193u;
/// Frames the stack may send per cycle at most.
inline constexpr u8 EPS_kMaxFramesPerCycle = 10;
/// Send attempts while the outgoing queue is full.
inline constexpr u32 EPS_kSendAttempts = 102;

/// One pump cycle: feed every received frame to the stack, then let it build requests within the budget.
void EPS_RxTxSsdo(void);
