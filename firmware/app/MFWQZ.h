// What the firmware platform calls in the application and the application
// state it reads or writes (the single-writer handshake flags between the
// background task and the cyclic task, the module table, the bit sets).
#pragma once
#include "ScmTypes.h"

/// Entries of the module table, indexed by SADR (entry 0 unused).
inline constexpr u32 MFWQZ_kModuleCount = 1024;
/// Bytes of a per-SADR bit set (1024 bits).
inline constexpr u32 MFWQZ_kSadrSetBytes = 128;
/// Bytes of the password.
inline constexpr u32 MFWQZ_kPasswordBytes = 16;
/// SADRs in the optional-module list sent to the Qor controller.
inline constexpr u32 MFWQZ_kOptionalListCount = 10;
/// Module flag: configured (SADR in the node list).
inline constexpr u32 MFWQZ_kFlagConfigured = 0x00000001u;
/// Module flag: UDID mismatch waiting for the operator.
inline constexpr u32 MFWQZ_kFlagUdidMismatch = 0x00000400u;
/// Module flag: UDID mismatch acknowledged by the operator.
inline constexpr u32 MFWQZ_kFlagUdidAcknowledged = 0x00200000u;
/// Module flag: encoder (UDID) change waiting for the operator's acknowledge.
inline constexpr u32 MFWQZ_kFlagEncoderChanged = 0x00800000u;

/// One module record of the table.
struct MFWQZ_ModuleInfoEntry {
  u32 ulFlags;             ///< module flag bits
  u32 ulNodeState;         ///< last node status reported by the SCM, 255 = unknown
  u16 usAckHandle;         ///< handle of the last UDID mismatch or encoder change
  u16 usConfiguredRev;     ///< revision accepted for this module
  u16 usStoredRev;         ///< revision read from "fwrevcnf.bin"
  u32 ulSecondsAtError;    ///< application seconds when the missing-timer started
  u8 ucInvalidToggle;      ///< alternates on each invalid report
};

/// The module table.
extern MFWQZ_ModuleInfoEntry MFWQZ_ModuleInfo[MFWQZ_kModuleCount];
/// Optional modules.
extern u8 MFWQZ_gaucOptFlags[MFWQZ_kSadrSetBytes];
/// Modules required at start-up.
extern u8 MFWQZ_gaucStpFlags[MFWQZ_kSadrSetBytes];
/// Modules the SCM shall not process.
extern u8 MFWQZ_gaucNprFlags[MFWQZ_kSadrSetBytes];
/// Modules registered missing at start-up.
extern u8 MFWQZ_aucMissStpFlags[MFWQZ_kSadrSetBytes];
/// Password, all zero = none.
extern u8 MFWQZ_gaucPassword[MFWQZ_kPasswordBytes];

/// A scan is requested (background sets, cyclic clears).
extern u32 MFWQZ_gbStartScan;
/// Reset the scan results now (cyclic sets, background clears).
extern u32 MFWQZ_gbScanInit;
/// Scan results reset, restart guarding (background sets, cyclic clears).
extern u32 MFWQZ_gbScanStarted;
/// A quit of all UDID mismatches is requested (background sets, cyclic clears).
extern u32 MFWQZ_gbStartQuit;
/// Quit in progress (cyclic sets, background clears).
extern u32 MFWQZ_gbQuitAll;
/// Acknowledge MFWQZ_gusQuitSaddr with MFWQZ_gusAckHandle (background sets, cyclic clears).
extern u32 MFWQZ_gbQuitUdid;
/// The acknowledge finished (cyclic sets).
extern u32 MFWQZ_gbAckDone;
/// The acknowledge failed (cyclic sets).
extern u32 MFWQZ_gbAckError;
/// SADR to acknowledge.
extern u16 MFWQZ_gusQuitSaddr;
/// Cursor of the quit loop.
extern u16 MFWQZ_susQuitSaddr;
/// Handle to acknowledge with.
extern u16 MFWQZ_gusAckHandle;
/// The SADR-UDID list is being written (cyclic copies the store state each cycle).
extern u32 MFWQZ_gbUdidSaving;
/// The Qor controller's key-medium identity is available.
extern u32 MFWQZ_bCvnFromQorAvailable;

/// Reads the target id once; 1.
u8 MFWQZ_GetTargetId(void);
/// First initialisation step; 0 to go on, 1 to stop.
u8 MFWQZ_Init(const u8* qorUdid, u16 release);
/// Second initialisation step (module table, files); 0 success, 1 failure.
u8 MFWQZ_InitModuleInfo(void);
/// One application cycle of the background task; 1 when a step failed.
u8 MFWQZ_Main(u32 stackRunning);
/// End-of-start-up registration, called each cycle with the value it returned last.
u32 MFWQZ_EndOfStartUp(u32 previous);
/// A remote-control command without its channel header.
void MFWQZ_RemoteControlRcv(const u8* payload, u16 length, u32 reply);
/// 2 target id not available, 1 key medium changed, 0 the stack may go operational.
u8 MFWQZ_RequestSwitchOperational(void);
/// The Qor controller's failed latch.
u8 MFWQZ_QorHasFailed(void);
/// 1 when the failed Qor controller answered again.
u8 MFWQZ_QorHasRecovered(void);
/// Writes the SCM version to the Qor controller; 0 written, -1 not.
i32 MFWQZ_SendScmVersionToQor(u16 version);
/// Writes the password to the Qor controller; 0 written, -1 not.
i32 MFWQZ_SendPasswordToQor(const u8 password[MFWQZ_kPasswordBytes]);
/// Writes the optional-module list to the Qor controller; 0 written, -1 not.
i32 MFWQZ_SendOptionalModulesToQor(const u16 sadrs[MFWQZ_kOptionalListCount]);
/// Writes the setup-mode state to the Qor controller; 0 written, -1 not.
i32 MFWQZ_SendSetupModeToQor(u32 on);
/// 1 while setup mode is active.
u32 MFWQZ_IsSetupModeActive(void);
/// Restarts guarding of every node.
void MFWQZ_ResetNodeGuarding(void);
/// A node reported a changed encoder (UDID); handle for the later acknowledge.
void MFWQZ_EncoderChg(u16 sadr, u16 handle);
/// 1 when a missing module of this SADR is no error.
u8 MFWQZ_IsModuleOptionalSADR(u16 sadr);
/// Copies length (at most 76) bytes of the machine options; 1 valid, 2 none or refused.
u32 MFWQZ_GetMachineOptions(u8* buffer, u32 length);

/// Commissioning parameters of object 0x210B/1-3.
inline constexpr u32 MFWQZ_kCommissioningCount = 3;
/// External machine options required (object 0x2106/4).
extern u32 MFWQZ_gbMachineOptionsActive;
/// Start-up flags required (object 0x2106/5, 0 or 1).
extern u32 MFWQZ_gbStartupFlagsActive;
/// Remote control switched on (object 0x2106/6).
extern u32 MFWQZ_gbRemoteActive;
/// Scans allowed at start-up (object 0x2106/7, 1 to 10).
extern u32 MFWQZ_gulScansAtStartup;
/// Release flag of the firmware (object 0x2109/1).
extern u8 MFWQZ_gucPtRelease;
/// The commissioning parameters (objects 0x210B/1-3).
extern u32 MFWQZ_gSodCommisioningParameter[MFWQZ_kCommissioningCount];
