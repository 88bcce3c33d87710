// PLACEHOLDER: the confirmation, key-medium change and key-format machines as
// far as remote control needs them (their state words, the hand-over of an
// accepted order and its timed completion) and the writer of "fwrevcnf.bin",
// until the operator confirmations bring the real ones; delete this file and
// MFWQZ_Confirm_Placeholder.cpp with them.
#pragma once
#include "ScmTypes.h"

/// Record of an application state machine.
struct MFWQZ_MachineState {
  u32 ulState;     ///< current state
  u32 ulPrevious;  ///< state before the current one
  u32 ulEntryUs;   ///< microsecond counter when the current state was entered
};

/// Record of the confirmation machine.
struct MFWQZ_ConfirmState {
  u32 ulState;     ///< current state
  u32 ulPrevious;  ///< state before the current one
  u32 ulEntryUs;   ///< microsecond counter when the current state was entered
  u32 ulRemote;    ///< 1 while a remote order is handled
};

/// Confirmation machine state: idle, waiting for an order.
inline constexpr u32 MFWQZ_k_CNF_IDLE = 1;
/// Confirmation machine state: order taken, waiting before the action.
inline constexpr u32 MFWQZ_k_CNF_WAIT = 3;
/// Confirmation machine state: action ran, holding before completion.
inline constexpr u32 MFWQZ_k_CNF_HOLD = 4;
/// Wait before the action, microseconds (more than this).
inline constexpr u32 MFWQZ_kConfirmWaitUs = 499999;
/// Hold after the action, microseconds.
inline constexpr u32 MFWQZ_kConfirmHoldUs = 800000;
/// Hold after a long confirmation, microseconds.
inline constexpr u32 MFWQZ_kConfirmLongHoldUs = 5000000;

/// The confirmation machine.
extern MFWQZ_ConfirmState MFWQZ_Confirm;
/// The key-medium change machine (busy from state 2 on).
extern MFWQZ_MachineState MFWQZ_KeyCnf;
/// The key-format machine (0 idle).
extern MFWQZ_MachineState MFWQZ_KeyFormat;

/// Calls of the stand-in MFWQZ_RevStore.
extern u32 MFWQZ_gulPlaceholderRevStoreCalls;
/// acceptCurrent of the last call.
extern u32 MFWQZ_gulPlaceholderRevStoreAccept;
/// What the stand-in MFWQZ_RevStore returns (1 written); tests set it.
extern u32 MFWQZ_gulPlaceholderRevStoreResult;

/// What the stand-in MFWQZ_IsSetupModeActive returns; tests set it.
extern u32 MFWQZ_gulPlaceholderSetupMode;

/// One step of the confirmation machine; 1 unless its action failed on this call (or a test holds it).
u8 MFWQZ_Confirmation(void);
/// The step itself, without the call record.
u8 MFWQZ_ConfirmStep(void);
/// Writes "fwrevcnf.bin" (acceptCurrent 1: with the modules' current revisions); 1 written.
u32 MFWQZ_RevStore(u32 acceptCurrent);
