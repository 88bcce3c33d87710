// Remote control: the operator's commands on the command channel (enter
// commands that need a person's consent, status requests, object reads), the
// password and check table that decide whether an enter command is accepted,
// and the records that answer every command. All fields little-endian.
#pragma once
#include "ScmProfile.h"
#include "ScmTypes.h"

// ---- command payload (the channel header already removed) ----
/// Payload offset: u16 class word.
inline constexpr u32 MFWQZ_kCmdOffClass = 0;
/// Payload offset: u16 echo word, copied into the answer.
inline constexpr u32 MFWQZ_kCmdOffEcho = 2;
/// Payload offset: u16 selection code.
inline constexpr u32 MFWQZ_kCmdOffCode = 4;
/// Payload offset: 16 password bytes.
inline constexpr u32 MFWQZ_kCmdOffPassword = 6;
/// Payload offset: 16 new password bytes (password change only).
inline constexpr u32 MFWQZ_kCmdOffNewPassword = 22;
/// Bytes of every fixed-size command except the password change.
inline constexpr u16 MFWQZ_kCmdLength = 22;
/// Bytes of a password change; also the size of MFWQZ_RemoteCmd.
inline constexpr u16 MFWQZ_kCmdPwdLength = 38;

/// Class word: enter command.
inline constexpr u16 MFWQZ_kClassEnter = 0x0100;
/// Class word: status request.
inline constexpr u16 MFWQZ_kClassStatus = 0x0200;
/// Class word bit: variable-size command.
inline constexpr u16 MFWQZ_kClassVariableBit = 0x8000;
#if !SCM_PROFILE_LEGACY
/// Class word of the object-read command (variable size).
inline constexpr u16 MFWQZ_kClassObjectRead = 0x8400;
#endif

// ---- selection codes ----
inline constexpr u16 MFWQZ_kCodeQuit5 = 0x0020;        ///< accept 5 or more exchanged modules
inline constexpr u16 MFWQZ_kCodeQuit4 = 0x0030;        ///< accept 4 exchanged modules
inline constexpr u16 MFWQZ_kCodeQuit3 = 0x0040;        ///< accept 3 exchanged modules
inline constexpr u16 MFWQZ_kCodeQuit2 = 0x0050;        ///< accept 2 exchanged modules
inline constexpr u16 MFWQZ_kCodeQuit1 = 0x0060;        ///< accept 1 exchanged module
inline constexpr u16 MFWQZ_kCodeFirmware = 0x0100;     ///< accept firmware differences
inline constexpr u16 MFWQZ_kCodeKeyMedium = 0x0200;    ///< accept the changed key medium
inline constexpr u16 MFWQZ_kCodeLongHold = 0x1000;     ///< long confirmation; status: password information
inline constexpr u16 MFWQZ_kCodeRescan = 0x2000;       ///< rescan; status: password check
inline constexpr u16 MFWQZ_kCodeNoAction3 = 0x3000;    ///< no action; status: controller UDID
inline constexpr u16 MFWQZ_kCodeNoAction4 = 0x4000;    ///< no action
inline constexpr u16 MFWQZ_kCodePassword = 0x5000;     ///< change the password; status: new status record
inline constexpr u16 MFWQZ_kCodeAddressList = 0x6000;  ///< status: address list, page in the low nibble
inline constexpr u16 MFWQZ_kCodeModuleFlags = 0x7000;  ///< status: module flags, page in the low nibble
inline constexpr u16 MFWQZ_kCodeFormat = 0x8000;       ///< format user data
inline constexpr u16 MFWQZ_kCodeSetupOn = 0x9000;      ///< switch setup mode on
inline constexpr u16 MFWQZ_kCodeSetupOff = 0x9100;     ///< switch setup mode off
inline constexpr u16 MFWQZ_kCodePassThrough = 0xF000;  ///< stored without any check

/// Bits of the codes that accept an exchange, the firmware or the key medium (the parts of an order).
inline constexpr u16 MFWQZ_kCodeParts = 0x03F0;
/// Bits no such code carries.
inline constexpr u16 MFWQZ_kCodeNotParts = 0xFC0F;

/// 1 for the codes that accept exchanged modules (0x20 to 0x60).
inline u32 MFWQZ_IsQuitCode(u32 code) {
  return (code == MFWQZ_kCodeQuit5 || code == MFWQZ_kCodeQuit4 || code == MFWQZ_kCodeQuit3 ||
          code == MFWQZ_kCodeQuit2 || code == MFWQZ_kCodeQuit1)
             ? 1
             : 0;
}
/// The u16 little-endian at p.
inline u16 MFWQZ_GetU16(const u8* p) { return static_cast<u16>(p[0] | (p[1] << 8)); }
/// The u32 little-endian at p.
inline u32 MFWQZ_GetU32(const u8* p) { return static_cast<u32>(MFWQZ_GetU16(p)) | (static_cast<u32>(MFWQZ_GetU16(p + 2)) << 16); }
/// Writes the low 16 bits of value little-endian at p.
inline void MFWQZ_PutU16(u8* p, u32 value) {
  p[0] = static_cast<u8>(value);
  p[1] = static_cast<u8>(value >> 8);
}
/// Writes value little-endian at p.
inline void MFWQZ_PutU32(u8* p, u32 value) {
  MFWQZ_PutU16(p, value);
  MFWQZ_PutU16(p + 2, value >> 16);
}

// ---- result codes ----
enum : u16 {
  MFWQZ_k_RES_OK = 0,                 ///< accepted
  MFWQZ_k_RES_CLASS = 5,              ///< unknown class
  MFWQZ_k_RES_CODE = 6,               ///< selection code not in the check table
  MFWQZ_k_RES_NOT_ACTIVE = 7,         ///< remote control not active
  MFWQZ_k_RES_PASSWORD = 8,           ///< wrong password
  MFWQZ_k_RES_PENDING = 9,            ///< another remote command is pending
  MFWQZ_k_RES_CONFIRM_BUSY = 10,      ///< the confirmation machine is busy
  MFWQZ_k_RES_NOT_AUTH_KEY = 11,      ///< not authorised (kind 8)
  MFWQZ_k_RES_NOT_AUTH_FW = 12,       ///< not authorised (kind 4)
  MFWQZ_k_RES_NOT_AUTH_QUIT = 13,     ///< not authorised (kind 2)
  MFWQZ_k_RES_KEY_UNCHANGED = 14,     ///< key-medium change ordered but it did not change
  MFWQZ_k_RES_NO_FW_DIFF = 15,        ///< no firmware difference to accept
  MFWQZ_k_RES_MISMATCH_1 = 16,        ///< mismatches are not 1
  MFWQZ_k_RES_MISMATCH_2 = 17,        ///< mismatches are not 2
  MFWQZ_k_RES_MISMATCH_3 = 18,        ///< mismatches are not 3
  MFWQZ_k_RES_MISMATCH_4 = 19,        ///< mismatches are not 4
  MFWQZ_k_RES_MISMATCH_5 = 20,        ///< mismatches are fewer than 5
  MFWQZ_k_RES_KEY_BUSY = 21,          ///< key-medium change machine busy
  MFWQZ_k_RES_KEY_CHANGED = 22,       ///< the key medium changed: accept that first
  MFWQZ_k_RES_KEY_FORMAT = 23,        ///< the key medium is being formatted
  MFWQZ_k_RES_KEY_BUSY_2 = 25,        ///< key-medium change machine busy
  MFWQZ_k_RES_QUITTING = 26,          ///< a quit of UDID mismatches runs
  MFWQZ_k_RES_SCANNING = 27,          ///< a scan runs
  MFWQZ_k_RES_SEND = 28,              ///< the answer could not be sent (event only)
  MFWQZ_k_RES_PWD_LENGTH = 29,        ///< password change not 38 bytes
  MFWQZ_k_RES_LENGTH = 30,            ///< command not 22 bytes
  MFWQZ_k_RES_STATUS_CODE = 32,       ///< unknown status request or page beyond the list
  MFWQZ_k_RES_NO_IDENTITY = 33        ///< the Qor controller's key-medium identity is not available
};

// ---- remote state (MFWQZ_Remote.ulState) ----
enum : u32 {
  MFWQZ_k_RS_NONE = 0,        ///< no order
  MFWQZ_k_RS_ACCEPTED = 1,    ///< accepted, waiting for the confirmation machine
  MFWQZ_k_RS_RUNNING = 2,     ///< running (scan started, long confirmation)
  MFWQZ_k_RS_CONFIRMING = 3,  ///< being confirmed
  MFWQZ_k_RS_FINAL = 4        ///< the action ended for good (reset follows or it failed)
};

// ---- events ----
/// Operator information: (result, code) of a command, (3 / 4, code) of a confirmation.
inline constexpr u32 MFWQZ_kEvtRemote = 0x6200C08Bu;
/// Reset hold-off refused by the host.
inline constexpr u32 MFWQZ_kEvtLockReset = 0x6200C090u;
/// Fatal: a null argument (information0 names the function group, information1 the record).
inline constexpr u32 MFWQZ_kEvtNullArgument = 0x9200C01Au;
/// Level of MFWQZ_kEvtRemote, apart from results 28 and 33.
inline constexpr u8 MFWQZ_kRemoteEventLevel = 1;

/// The remote-control words.
struct MFWQZ_RemoteState {
  u32 ulState;          ///< remote state (MFWQZ_k_RS_...)
  u32 ulLastCompleted;  ///< code of the last completed order
  u32 ulCode;           ///< code being confirmed
  u32 ulLongHold;       ///< 1 while a long confirmation holds
};

/// One row of the check table (48 bytes); a result of 0 switches its check off.
struct MFWQZ_RemoteCheckRow {
  u32 ulCode;           ///< selection code; 0 ends the table
  u32 ulAuthKind;       ///< authorisation kind
  u16 usNotAuth;        ///< result when not authorised
  u16 usQuitting;       ///< result while a quit runs
  u16 usScanning;       ///< result while a scan runs
  u16 usUnused4;        ///< not read
  u16 usUnused5;        ///< not read
  u16 usKeyBusy;        ///< result while the key-medium change machine is in state 2 or above
  u16 usKeyFormat;      ///< result while the key-format machine is not idle
  u16 usUnused8;        ///< not read
  u32 ulKeyRule;        ///< 1 the key medium must have changed, 0 it must not unless accepting it
  u16 usKeyResult;      ///< result when the key rule fails
  u16 usUnused10;       ///< not read
  u32 ulMinMismatches;  ///< fewest UDID mismatches allowed
  u32 ulMaxMismatches;  ///< most UDID mismatches allowed
  u16 usRangeResult;    ///< result when the mismatch count is outside the range
  u16 usNoFwDiff;       ///< result when no firmware difference exists
  u16 usUnused14;       ///< not read
  u16 usUnused15;       ///< not read
};
static_assert(sizeof(MFWQZ_RemoteCheckRow) == 48, "a check-table row is 48 bytes");

/// Rows of the check table, the end row included (the older release has the first 13 rows).
inline constexpr u32 MFWQZ_kCheckRows = SCM_ProfileValue<u32>(17, 14);
/// Row of the password change, whose checks are switched off once a first password arrives.
inline constexpr u32 MFWQZ_kCheckRowPassword = 10;

/// The last accepted enter command (zero-filled past its own length).
extern u8 MFWQZ_RemoteCmd[MFWQZ_kCmdPwdLength];
/// Remote state, last completed code, code being confirmed, long-hold flag.
extern MFWQZ_RemoteState MFWQZ_Remote;
/// The check table; writable, ended by a row with code 0.
extern MFWQZ_RemoteCheckRow MFWQZ_RemoteCheckTable[MFWQZ_kCheckRows];

// ---- records ----
/// Bytes of the classic status record.
inline constexpr u32 MFWQZ_kStatusSize = 276;
/// Bytes of the new status record.
inline constexpr u32 MFWQZ_kNewStatusSize = 48;
/// Bytes of the password information and password check answers.
inline constexpr u32 MFWQZ_kPwdInfoSize = 9;
/// Bytes of the controller UDID answer.
inline constexpr u32 MFWQZ_kUdidAnswerSize = 14;
/// Bytes of the address list answer.
inline constexpr u32 MFWQZ_kAddressListSize = 208;
/// Bytes of the module flags answer.
inline constexpr u32 MFWQZ_kModuleFlagsSize = 56;
/// Record version of the new status record (the checker expects the same).
inline constexpr u8 MFWQZ_kNewStatusVersion = 2;
/// Modules whose SADR and bits the classic record shows.
inline constexpr u32 MFWQZ_kStatusModules = 101;
/// Modules per page of the address list and module flags.
inline constexpr u32 MFWQZ_kPageModules = 100;

/// The answer being built: the largest fixed-size answer.
extern u8 MFWQZ_aucRemoteAnswer[MFWQZ_kStatusSize];

/// A command without its channel header; reply is the channel identifier to echo.
void MFWQZ_RemoteControlRcv(const u8* payload, u16 length, u32 reply);
/// A command whose class word has no variable-size bit; answers it.
void MFWQZ_ProcessFixSizeCommand(const u8* cmd, u16 length, u32 reply);
/// An enter command (length bytes at cmd); the result code, 0 accepted.
u16 MFWQZ_ProcessEnterCommand(const u8* cmd, u16 length, u32 passwordEmpty);
/// The check table for code; raiseEvents 1 reports a failing check. The result code.
u16 Check_Remote_Enter_Command(u16 code, u32 keyAcceptOrdered, u32 raiseEvents);
/// A code no row of the check table carries: 6 in this release; the older release accepts combinations of
/// its parts, each part checked against its own row (raiseEvents as for the table). The result code.
u16 MFWQZ_CheckCodeWithoutRow(u16 code, u32 raiseEvents);
/// Raises the operator event of a refused or answered command (level 2 for results 28 and 33).
void MFWQZ_RemoteEvent(u16 result, u32 information1);
/// Sets the remote state when the order of code is pending (state neither 0 nor 4).
void MFWQZ_SetRemoteEnterState(u32 code, u32 state);
/// 1 while an order of code is pending (accepted, running or being confirmed).
u32 MFWQZ_RemoteOrderPending(u32 code);
/// Ends the pending order of code as done: remote state 0, code as the last completed.
void MFWQZ_CompleteRemoteOrder(u32 code);
/// Holds off the host's resets of the domain (event 0x6200C090 when refused).
void MFWQZ_HoldOffResets(void);
/// Commits the new password of the stored command; 1 when "fwrevcnf.bin" was written.
u32 MFWQZ_CnfPasswordChange(void);
/// 1 when no password is set.
u32 MFWQZ_IsPasswordEmpty(void);

/// A status request: the answer (in MFWQZ_aucRemoteAnswer) and its length; the result code.
u16 MFWQZ_ProcessStatusCommand(const u8* cmd, u8** answer, u32* length);
/// The classic status record with result; 1 built, 0 null argument.
u32 MFWQZ_RCStatus_Build(u8* answer, const u8* cmd, u16 result);
/// Password information (checkPassword 0) or password check (1); 1 built.
u32 MFWQZ_RCPwdInfo_Build(u8* answer, const u8* cmd, u32 checkPassword);
/// The address list of the page in the code; the result code (32 beyond the list).
u16 MFWQZ_RCS_AddressListBuild(u8* answer, const u8* cmd);
/// The module flags of the page in the code; the result code (32 beyond the list).
u16 MFWQZ_RCModuleFlagsBuild(u8* answer, const u8* cmd);
/// Builds the new status record of a status request at answer (MFWQZ_kNewStatusSize bytes); 1 built,
/// 0 in the older release's build, which has none.
u32 MFWQZ_NewStatusRecord(u8* answer, const u8* cmd);
/// 0 after raising the null-argument event of record n when answer or cmd is null, else 1.
u32 MFWQZ_RecordArgs(const u8* answer, const u8* cmd, u32 record);
/// class, echo and result at 0, 2, 4 of every answer.
void MFWQZ_PutHead(u8* answer, const u8* cmd, u16 result);
/// Offset 15 of the classic record and state bit 0x01: a key-medium change can be accepted.
u32 MFWQZ_KeyChangeAcceptable(void);
/// The per-module counts of the classic and new records.
struct MFWQZ_ModuleCounts {
  u32 ulMissing;     ///< registered missing (no mismatch, no firmware difference)
  u32 ulMismatches;  ///< bits 0x400 and 0x800000 summed
  u32 ulFirmware;    ///< firmware differences
  u32 ulConfigured;  ///< configured modules
};
/// Walks the configured modules in SADR order; with a record, writes the first 101 SADRs and class bits.
MFWQZ_ModuleCounts MFWQZ_CountModules(u8* record);
#if !SCM_PROFILE_LEGACY
/// The new status record; 1 built.
u32 MFWQZ_RCNewStatusBuild(u8* answer, const u8* cmd);
/// State bits of the new status record (also diagnosis object 0x2410 sub 8).
u32 MFWQZ_NewStatusBits(void);
#endif
/// A variable-size command (object read); answers it. Current release only
/// (MFWQZ_RemoteObjectRead.cpp, which the older release's list leaves out).
void MFWQZ_ProcessVariableSizeCommand(const u8* cmd, u16 length, u32 reply);
