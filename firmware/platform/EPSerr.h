// The stack's error and node-failure reports turned into firmware events.
#pragma once
#include "ScmTypes.h"
#include "SAPL.h"

/// Fatal event base for stack errors of a fail-safe class (plus the code's low 12 bits).
inline constexpr u32 EPSerr_kEvtStackFatal = 0x9200A000u;
/// Event base for errors of the SCM unit (plus the code's low 12 bits).
inline constexpr u32 EPSerr_kEvtScmError = 0x6200A000u;
/// Event of a safety node failure reported by the SCM.
inline constexpr u32 EPSerr_kEvtSnFail = 0x6200AF40u;
/// Stack error codes above this carry a fail-safe class.
inline constexpr u16 EPSerr_kFailSafeClassLimit = 0x3FFF;
/// Stack unit number of the SCM.
inline constexpr u32 EPSerr_kUnitScm = 1;
/// Unit and number of the SNMT master's "request expired" (low 12 bits of the code).
inline constexpr u16 EPSerr_kSnmtmRequestExpired = 0x50B;
/// Failure group of an encoder (UDID) change.
inline constexpr u8 EPSerr_kGroupEncoder = 3;
/// Failure code of an encoder change within its group.
inline constexpr u8 EPSerr_kCodeEncoderChanged = 2;
/// Failure group acknowledged at once for some codes.
inline constexpr u8 EPSerr_kGroupAutoAck = 4;

/// Acknowledges an encoder change of the node with this handle; the stack's result.
u8 EPS_EncoderAck(u16 fsmIndex);
