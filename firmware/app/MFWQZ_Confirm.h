// The operator-confirmation machines (confirmation, module exchange,
// key-medium change, key-medium format, user-data format), setup mode and the
// Qor variables. Every machine is a record of its state, the state before and
// the microsecond counter when the state was entered; its states are named
// below and each transition names its target.
#pragma once
#include "ScmProfile.h"
#include "ScmTypes.h"

/// Record of an application state machine.
struct MFWQZ_MachineState {
  u32 ulState;     ///< current state
  u32 ulPrevious;  ///< state whose entry was last taken (equal to ulState once entered)
  u32 ulEntryUs;   ///< microsecond counter (low 32 bits) when the current state was entered
};

/// Record of the confirmation machine.
struct MFWQZ_ConfirmState {
  u32 ulState;     ///< current state
  u32 ulPrevious;  ///< state whose entry was last taken
  u32 ulEntryUs;   ///< microsecond counter when the current state was entered
  u32 ulRemote;    ///< 1 while a remote order is handled
};

/// Record of the user-data format machine.
struct MFWQZ_UsrDataFormatState {
  u32 ulState;     ///< current state
  u32 ulPrevious;  ///< state whose entry was last taken
  u32 ulEntryUs;   ///< microsecond counter when the current state was entered
  u32 ulHoldUs;    ///< hold before the reset, microseconds
};

// ---- confirmation machine states ----
inline constexpr u32 MFWQZ_k_CNF_START = 0;    ///< power-up: clears the remote flag
inline constexpr u32 MFWQZ_k_CNF_IDLE = 1;     ///< waits for an accepted order
inline constexpr u32 MFWQZ_k_CNF_TAKEN = 2;    ///< order taken
inline constexpr u32 MFWQZ_k_CNF_WAIT = 3;     ///< waits half a second, then validates the code
inline constexpr u32 MFWQZ_k_CNF_HOLD = 4;     ///< action ran on entry; holds before going back
inline constexpr u32 MFWQZ_k_CNF_INVALID = 5;  ///< code found invalid; holds 5 s
inline constexpr u32 MFWQZ_k_CNF_RESET = 6;    ///< older release: every part of an order done; resets after 5 s
/// Older release: longest wait in state 4 for a part's action to end, microseconds (more than this: state 5).
inline constexpr u32 MFWQZ_kConfirmPartWaitUs = 8000000;
/// Older release: hold of state 6 before the reset, microseconds (more than this).
inline constexpr u32 MFWQZ_kConfirmResetUs = 4999999;
/// Wait before the validation, microseconds (more than this).
inline constexpr u32 MFWQZ_kConfirmWaitUs = 499999;
/// Hold after the action, microseconds.
inline constexpr u32 MFWQZ_kConfirmHoldUs = 800000;
/// Hold after a long confirmation, an invalid code or a failed action, microseconds.
inline constexpr u32 MFWQZ_kConfirmLongHoldUs = 5000000;

// ---- module exchange machine states ----
inline constexpr u32 MFWQZ_k_XCHG_IDLE = 0;      ///< watches the counters
inline constexpr u32 MFWQZ_k_XCHG_FEW = 1;       ///< 1 to 4 UDID mismatches
inline constexpr u32 MFWQZ_k_XCHG_MANY = 2;      ///< more than 4 UDID mismatches
inline constexpr u32 MFWQZ_k_XCHG_QUIT = 3;      ///< quit ordered for 1 to 4 mismatches
inline constexpr u32 MFWQZ_k_XCHG_QUIT_MANY = 4; ///< quit ordered for 5 or more mismatches
inline constexpr u32 MFWQZ_k_XCHG_ACCEPT = 5;    ///< firmware acceptance ordered
inline constexpr u32 MFWQZ_k_XCHG_ERROR = 6;     ///< erroneous modules after start-up
inline constexpr u32 MFWQZ_k_XCHG_FIRMWARE = 7;  ///< firmware differences
/// Most mismatches the machine's state 1 stands for.
inline constexpr u32 MFWQZ_kFewMismatchesMax = 4;

// ---- key-medium change machine states ----
inline constexpr u32 MFWQZ_k_KEY_IDLE = 0;     ///< key medium unchanged
inline constexpr u32 MFWQZ_k_KEY_CHANGED = 1;  ///< changed, waits for a confirmation
inline constexpr u32 MFWQZ_k_KEY_WRITE = 2;    ///< writes "fwrevcnf.bin" and flash file 16
inline constexpr u32 MFWQZ_k_KEY_HOLD = 3;     ///< written; holds 0.8 s
inline constexpr u32 MFWQZ_k_KEY_RELOAD = 4;   ///< waits for the reload
inline constexpr u32 MFWQZ_k_KEY_FAILED = 5;   ///< a write failed; holds 5 s
inline constexpr u32 MFWQZ_k_KEY_OLD_FAILED = 4;  ///< older release: a write failed; holds 5 s
/// Hold after the key-medium writes, microseconds.
inline constexpr u32 MFWQZ_kKeyHoldUs = 800000;

// ---- user-data format machine states ----
inline constexpr u32 MFWQZ_k_USR_IDLE = 0;      ///< idle
inline constexpr u32 MFWQZ_k_USR_PARDATA = 2;   ///< empties "PARDATA1.BIN"
inline constexpr u32 MFWQZ_k_USR_AUTOCNF = 3;   ///< empties "AUTOCNF.BIN"
inline constexpr u32 MFWQZ_k_USR_DONE = 6;      ///< both emptied; holds, then resets
inline constexpr u32 MFWQZ_k_USR_FAILED = 7;    ///< a file could not be emptied; holds 5 s, then resets
inline constexpr u32 MFWQZ_k_USR_OLD_AUTOCNF = 1;  ///< older release: empties "AUTOCNF.BIN"
inline constexpr u32 MFWQZ_k_USR_OLD_DONE = 2;     ///< older release: emptied; holds, then resets
inline constexpr u32 MFWQZ_k_USR_OLD_FAILED = 3;   ///< older release: not emptied; holds 5 s, then resets
/// The state a confirmed format starts in (the older release never touches "PARDATA1.BIN").
inline constexpr u32 MFWQZ_k_USR_START = SCM_ProfileValue(MFWQZ_k_USR_PARDATA, MFWQZ_k_USR_OLD_AUTOCNF);
/// Names of the user-data files the format empties.
inline constexpr const char* MFWQZ_kParDataName = "PARDATA1.BIN";
inline constexpr const char* MFWQZ_kAutoCnfName = "AUTOCNF.BIN";
/// Information1 of MFWQZ_kEvtFileEmptied for each file.
inline constexpr u32 MFWQZ_kEmptiedParData = 2;
inline constexpr u32 MFWQZ_kEmptiedAutoCnf = 3;
/// Longest a busy storage is retried, microseconds (more than this gives up).
inline constexpr u32 MFWQZ_kUsrBusyUs = 999999;

/// Fatal: a machine was in a state it cannot be in (information1 = tag OR state).
inline constexpr u32 MFWQZ_kEvtMachineState = 0x9200C000u;
/// Fatal: the code under confirmation is not an enter code (information1 = code).
inline constexpr u32 MFWQZ_kEvtConfirmCode = 0x9200C001u;
/// Operator information: a file was emptied by the user-data format (information1 2 or 3).
inline constexpr u32 MFWQZ_kEvtFileEmptied = 0x6200C07Fu;
/// Tags of MFWQZ_kEvtMachineState's information1 (OR the state found).
inline constexpr u32 MFWQZ_kTagExpect1 = 0x40100u;   ///< module exchange expected in 1
inline constexpr u32 MFWQZ_kTagExpect2 = 0x40200u;   ///< module exchange expected in 2
inline constexpr u32 MFWQZ_kTagExpect7 = 0x40700u;   ///< module exchange expected in 7
inline constexpr u32 MFWQZ_kTagKeyChange = 0x10000u; ///< key-medium change expected in 1
inline constexpr u32 MFWQZ_kTagUsrData = 0x90000u;   ///< user-data format expected in 0
inline constexpr u32 MFWQZ_kTagKeyReload = 0x30400u; ///< key-medium reload entered from another state

/// The confirmation machine.
extern MFWQZ_ConfirmState MFWQZ_Confirm;
/// The module exchange machine.
extern MFWQZ_MachineState MFWQZ_ModChg;
/// The key-medium change machine.
extern MFWQZ_MachineState MFWQZ_KeyCnf;
/// The key-medium format machine (always idle).
extern MFWQZ_MachineState MFWQZ_KeyFormat;
/// The user-data format machine.
extern MFWQZ_UsrDataFormatState MFWQZ_UsrDataFormat;
/// The code the confirmation works on, its own copy taken when the order was taken.
extern u32 MFWQZ_gulConfirmCode;
/// The selection setup mode handed over to the confirmation (0 none).
extern u32 MFWQZ_gulHandedSelection;

/// The confirmation machine; 1 unless its action failed on this call or the state is unknown.
u8 MFWQZ_Confirmation(void);
/// The action of a confirmed code; fromRemote 0 tests the machine's state first. 1 done.
u8 MFWQZ_ConfirmAction(u32 code, u32 fromRemote);
/// The key-medium reload state of the key-medium change machine (the current release's).
u8 MFWQZ_CvneReload(void);

// Shared by each release's confirmation, key-medium change and user-data format machines.
/// 1 on the first call in the current state: takes the entry time and marks the state entered.
u8 MFWQZ_FirstCall(u32 state, u32* previous, u32* entryUs);
/// Microseconds since entryUs (wrap-safe on 32 bits).
u32 MFWQZ_SinceUs(u32 entryUs);
/// 1 for the codes whose order the confirmation's hold ends itself (they have no action of their own).
u32 MFWQZ_EndsAtHold(u32 code);
/// A failed state test: the fatal event with tag OR state; 0.
u8 MFWQZ_StateTestFailed(u32 tag, u32 state);
/// The confirmation's states 0, 2, 3 and 5, alike in both releases; 0 for any other state.
u8 MFWQZ_ConfirmCommonState(void);
/// State 1 takes a remote order to confirm code: remote flag, code being confirmed, remote state 3, state 2.
void MFWQZ_ConfirmTake(u32 code);
/// State 4's entry: the action of the order or of the handed-over selection; its result.
u8 MFWQZ_ConfirmEntry(void);
/// State 4's hold: 5 s after a long confirmation, else 0.8 s; microseconds.
u32 MFWQZ_ConfirmHoldUs(void);
/// The key-medium change machine's states 0 and 1 (follow whether the key medium counts as changed); 1.
u8 MFWQZ_KeyWatch(void);
/// The key-medium change's failed state: 5 s after a failed write idle, and a remote order final; 1.
u8 MFWQZ_KeyFailedHold(void);
/// Empties one user-data file by opening it for writing: next when emptied (and its event, information1
/// emptied), the current state to retry while the storage is busy for up to a second, else failed.
u32 MFWQZ_EmptyUserFile(const char* name, u32 emptied, u32 next, u32 failed);
/// One file step of the user-data format: the state it runs in, the file, the emptied event's
/// information1 and the state after it.
struct MFWQZ_UsrDataStep {
  u32 ulState;         ///< state of the step
  const char* pcName;  ///< file the step empties
  u32 ulEmptied;       ///< information1 of MFWQZ_kEvtFileEmptied
  u32 ulNext;          ///< state once the file is emptied
};
/// The user-data format over a release's file steps and its done and failed states; 0 in a state
/// without a step.
u8 MFWQZ_UsrDataFormatRun(const MFWQZ_UsrDataStep* steps, u32 count, u32 done, u32 failed);
/// The user-data format's end: on the first call the hold (5 s when failed or ordered remotely, else
/// 0.8 s) and a remote order final; after the hold idle and the safe controller reset.
void MFWQZ_UsrDataHoldThenReset(u8 first, u32 failed);

// ---- setup mode (the older release has none) ----
#if !SCM_PROFILE_LEGACY
/// The setup-mode record.
struct MFWQZ_SetupModeRecord {
  u32 ulState;     ///< MFWQZ_k_SM_...
  u32 ulPrevious;  ///< state before the last switch
  u32 ulFromInit;  ///< 1 when the last switch came from the initialisation
  u32 ulChangeUs;  ///< microsecond counter at the last state change
  u32 ulHoldUs;    ///< hold before the reset after an operator's switch-off, microseconds
};
inline constexpr u32 MFWQZ_k_SM_NONE = 0;  ///< not initialised
inline constexpr u32 MFWQZ_k_SM_OFF = 1;   ///< off
inline constexpr u32 MFWQZ_k_SM_ON = 2;    ///< on
inline constexpr u32 MFWQZ_k_SM_ON_REQ = 3;   ///< switch-on requested
inline constexpr u32 MFWQZ_k_SM_OFF_REQ = 4;  ///< switch-off requested
inline constexpr u32 MFWQZ_k_SM_ERROR = 5;    ///< error
/// Setup-mode event (information0 says which, level by case).
inline constexpr u32 MFWQZ_kEvtSetupMode = 0x6200C094u;
/// Automatic acceptance while setup mode is off (level 1).
inline constexpr u32 MFWQZ_kEvtSetupOffAccept = 0x6200C095u;
/// Period of the setup-mode reminder event, microseconds (one hour).
inline constexpr u64 MFWQZ_kSetupReminderUs = 3600000000ull;
/// Hold before the reset after a remote switch-off, microseconds.
inline constexpr u32 MFWQZ_kSetupOffHoldUs = 5000000;
/// Hold before the reset after a local switch-off, microseconds.
inline constexpr u32 MFWQZ_kSetupOffHoldLocalUs = 800000;

/// The setup-mode record.
extern MFWQZ_SetupModeRecord MFWQZ_SetupModeDesc;
/// Once-per-situation markers: key-medium change, UDID exchange, firmware acceptance handed over.
extern u32 MFWQZ_gbSetupKeyDone;
extern u32 MFWQZ_gbSetupUdidDone;
extern u32 MFWQZ_gbSetupFwDone;
/// 1 once the setup-mode error event was raised.
extern u32 MFWQZ_gbSetupErrorReported;
/// Microsecond counter of the last hourly setup-mode event (or of the switch).
extern u64 MFWQZ_gullSetupLogUs;

/// Switches setup mode on; fromInit 1 at initialisation.
void MFWQZ_ActivateSetupMode(u32 fromInit);
/// Switches setup mode off; fromInit 1 at initialisation.
void MFWQZ_DeActivateSetupMode(u32 fromInit);
#endif

// ---- Qor variables ----
/// Qor variable ids.
inline constexpr u8 MFWQZ_kQorVarPassword = 1;   ///< password, 16 bytes
inline constexpr u8 MFWQZ_kQorVarOptional = 3;   ///< optional modules and CRC, 24 bytes
inline constexpr u8 MFWQZ_kQorVarVersion = 5;    ///< SCM version, 2 bytes
#if !SCM_PROFILE_LEGACY
inline constexpr u8 MFWQZ_kQorVarSetupMode = 6;  ///< setup mode, 2 bytes
#endif
/// Host channel of the Qor variables.
inline constexpr u32 MFWQZ_kQorChannel = 6;
/// Send and receive sizes of the channel, bytes.
inline constexpr u32 MFWQZ_kQorChannelSize = 200;
/// Longest variable payload, bytes.
inline constexpr u32 MFWQZ_kQorMaxPayload = 198;
/// Longest wait for a reply, microseconds (more than this fails).
inline constexpr u64 MFWQZ_kQorReplyTimeoutUs = 9999999;
/// Fatal: a Qor variable write failed (information0 says where).
inline constexpr u32 MFWQZ_kEvtQorWrite = 0x9200C092u;
/// Fatal: the Qor controller is fail-safe (information0 its state, information1 the domain).
inline constexpr u32 MFWQZ_kEvtQorFailSafe = 0x9200C093u;

/// Latches: a write failed; the failed controller answered a probe.
extern u32 MFWQZ_gbQorFailed;
extern u32 MFWQZ_gbQorRecovered;

/// One variable write; 0 written, -1 not.
i32 WriteValueToQor(u8 id, u32 length, const u8* data);

/// What information0 of MFWQZ_kEvtQorWrite names (the older release's variable read adds 10 to 12).
enum : u16 {
  MFWQZ_kQorOpen = 0,        ///< open failed (information1 the domain)
  MFWQZ_kQorSend = 1,        ///< send failed (information1 the domain)
  MFWQZ_kQorClose = 3,       ///< close failed (information1 the domain)
  MFWQZ_kQorNullData = 4,    ///< no data (information1 the id)
  MFWQZ_kQorTooLong = 5,     ///< longer than 198 bytes (information1 the id)
  MFWQZ_kQorReply = 7,       ///< receive error (the domain) or another 2-byte reply (its two bytes)
  MFWQZ_kQorReply3 = 8,      ///< a 3-byte reply (its three bytes)
  MFWQZ_kQorReplyLength = 9, ///< a reply of another length (the length)
  MFWQZ_kQorTimeOut = 13     ///< no reply within 10 s (information1 the id)
};

// Shared by the variable write and the older release's variable read.
/// Latches the failure and raises MFWQZ_kEvtQorWrite; -1.
i32 MFWQZ_QorFail(u16 information0, u32 information1);
/// Waits until the Qor controller is known; 1 when it runs normally, else its state in *state.
u8 MFWQZ_QorWaitNormal(u8* state);
/// Polls the channel for a reply of at most max bytes for up to 10 s; bytes received, 0 none, -1 an error.
i32 MFWQZ_QorAwaitReply(i32 handle, u8* buffer, u32 max);
/// One exchange with the Qor controller: unless latched, waits for its normal state, opens channel 6,
/// sends length bytes of request, waits for a reply of at most max bytes and closes the channel.
/// The bytes received (at least 1), or -1 after the failure's event and the latch (a time-out names id).
i32 MFWQZ_QorExchange(u8 id, const u8* request, u32 length, u8* reply, u32 max);
