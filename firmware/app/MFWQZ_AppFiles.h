// The application's files: "fwrevcnf.bin" (accepted revisions, hardware
// identity, password, feature flags), "autocnf.bin" (automatic configuration,
// read only), "corvane.uid" and flash file 16 (identity of the key medium).
#pragma once
#include "ScmTypes.h"

/// Bytes of "corvane.uid" and of the flash file 16 content.
inline constexpr u32 MFWQZ_kCorvaneUidBytes = 18;
/// Bytes of the machine-option section of "autocnf.bin".
inline constexpr u32 MFWQZ_kMachineOptionBytes = 76;
/// Flash file area of the key-medium identity on the Qor controller.
inline constexpr u32 MFWQZ_kQorFlashArea = 16;
/// Flash offset meaning "the whole file" for the Qor controller.
inline constexpr u32 MFWQZ_kQorFlashWhole = 0xFFFFFFFFu;

/// Version of "fwrevcnf.bin" the firmware writes (with the password field).
inline constexpr u16 MFWQZ_kFwRevVersion = 0x0101;
/// Older version of "fwrevcnf.bin", read only (no password field).
inline constexpr u16 MFWQZ_kFwRevVersionOld = 0x0100;
/// "fwrevcnf.bin": header bytes, entry bytes, second-section bytes before its CRC (0x0101, 0x0100).
inline constexpr u32 MFWQZ_kFwRevHeader = 8;
inline constexpr u32 MFWQZ_kFwRevEntry = 4;
inline constexpr u32 MFWQZ_kFwRevSecond = 37;
inline constexpr u32 MFWQZ_kFwRevSecondOld = 20;
/// Longest "fwrevcnf.bin": every SADR (1023), both sections (bytes).
inline constexpr u32 MFWQZ_kFwRevMaxBytes = MFWQZ_kFwRevHeader + MFWQZ_kFwRevEntry * 1023 + 4 + MFWQZ_kFwRevSecond + 4;
/// "fwrevcnf.bin" flag: the target id is valid.
inline constexpr u16 MFWQZ_kFwRevFlagTargetId = 0x01;
/// "fwrevcnf.bin" flag: the Qor-controller UDID is valid.
inline constexpr u16 MFWQZ_kFwRevFlagQorUdid = 0x02;
/// "fwrevcnf.bin" flag: the password is present.
inline constexpr u16 MFWQZ_kFwRevFlagPassword = 0x04;
/// "fwrevcnf.bin" flag: the key-medium parameter file was empty at start-up.
inline constexpr u16 MFWQZ_kFwRevFlagCvEmpty = 0x08;
/// "fwrevcnf.bin" flag: setup mode was active at the write.
inline constexpr u16 MFWQZ_kFwRevFlagSetupMode = 0x10;

/// File-problem event of "fwrevcnf.bin" and the file primitives (level 2).
inline constexpr u32 MFWQZ_kEvtFwRevFile = 0x6200C086u;
/// Key-medium identity event (level 2).
inline constexpr u32 MFWQZ_kEvtCorvaneId = 0x6200C087u;
/// "autocnf.bin" of the old layout read (level 2).
inline constexpr u32 MFWQZ_kEvtAutoOldLayout = 0x6200C088u;
/// Fatal: "autocnf.bin" could not be used (information0 says which check).
inline constexpr u32 MFWQZ_kEvtAutoFile = 0x9200C012u;
/// Fatal: bad argument of MFWQZ_GetMachineOptions (0 null buffer, 1 length).
inline constexpr u32 MFWQZ_kEvtMachineOptionsArg = 0x9200C017u;
/// Fatal: machine-option section and requirement disagree (information1 1 present, 0 absent).
inline constexpr u32 MFWQZ_kEvtMachineOptions = 0x9200C018u;
/// Fatal: module-flag section problem (information0 says which).
inline constexpr u32 MFWQZ_kEvtModuleFlags = 0x9200C019u;
/// Level of the file events that are operator information.
inline constexpr u8 MFWQZ_kFileEventLevel = 2;

/// What information0 of MFWQZ_kEvtFwRevFile names.
enum : u16 {
  MFWQZ_kFileVersion = 0,       ///< unknown version
  MFWQZ_kFileEntrySize = 1,     ///< entry size not 4
  MFWQZ_kFileHeaderSize = 2,    ///< header size not 8
  MFWQZ_kFileOpen = 3,          ///< open refused (information1 the result code)
  MFWQZ_kFileCrc = 5,           ///< entry CRC wrong (information1 the computed CRC)
  MFWQZ_kFileShortRead = 6,     ///< short read or truncated content (information1 the bytes)
  MFWQZ_kFileClose = 7,         ///< close failed (information1 the result code)
  MFWQZ_kFileShortWrite = 8,    ///< short write (information1 the bytes written)
  MFWQZ_kFileSize = 9,          ///< size query failed (information1 the result)
  MFWQZ_kFileSecondWords = 10,  ///< second-section words wrong (information1 the first word)
  MFWQZ_kFileSecondCrc = 11,    ///< second-section CRC wrong (information1 the computed CRC)
  MFWQZ_kFileBusy = 12,         ///< the storage stayed busy past the limit
  MFWQZ_kFileSadr = 13,         ///< a SADR outside 1..1023, repeated or not ascending (information1 the SADR)
  MFWQZ_kFileTooLong = 14       ///< longer than any valid content (information1 the size)
};

/// "fwrevcnf.bin" was loaded (initial 1).
extern u32 MFWQZ_ValidFiles;
/// The last write accepted the modules' current revisions (initial 1).
extern u32 MFWQZ_AcknowledgeFwMismatches;
/// Revision reports held off from a write of "fwrevcnf.bin" until the next load.
extern u32 MFWQZ_gbLockPostFw;
/// Machine-option status: 1 valid, 2 none.
extern u32 MFWQZ_geMachineOptionsStatus;
/// Flag 0x08 as "fwrevcnf.bin" last held it.
extern u32 MFWQZ_CvEmptyBeforeBoot;
/// Flag 0x10 as "fwrevcnf.bin" last held it: 1 on, 2 off.
extern u32 MFWQZ_SetupModeFlagRead;
/// The target id field of "fwrevcnf.bin" was valid at the last load.
extern u32 MFWQZ_bFwRevTargetIdRead;
/// Last good content of "fwrevcnf.bin" (what a failed write puts back), its length, and whether it is known.
extern u8 MFWQZ_aucFwRevGood[MFWQZ_kFwRevMaxBytes];
extern u32 MFWQZ_ulFwRevGoodLen;
extern u32 MFWQZ_bFwRevGoodKnown;
/// "corvane.uid" as last read or written, and whether it is known.
extern u8 MFWQZ_aucCorvaneUid[MFWQZ_kCorvaneUidBytes];
extern u32 MFWQZ_bCorvaneUidKnown;
/// The machine-option section of the last good "autocnf.bin".
extern u8 MFWQZ_aucMachineOptions[MFWQZ_kMachineOptionBytes];

/// Opens through HNFffs_Open, retrying a busy storage for up to 15 s; 1 opened.
u8 MFWQZ_FFS_FileOpen(const char* mode, const char* name, i32* handle);
/// Reads exactly count bytes; 1, else a short-read event and 0.
u8 MFWQZ_FileRead(i32 handle, void* buffer, u32 count);
/// Writes exactly count bytes and chains them into *crc (may be null); 1, else a short-write event and 0.
u8 MFWQZ_FileWrite(i32 handle, const void* buffer, u32 count, u32* crc);
/// Closes; 1, else a close event and 0.
u8 MFWQZ_FFS_FileClose(i32 handle);

/// The writer of "fwrevcnf.bin" both releases share (acceptCurrent 1: the
/// configured revisions, which the older release's entries always carry); 1 written.
u32 MFWQZ_FwRevStore(u32 acceptCurrent);
/// The loader of "fwrevcnf.bin" both releases share; unlockFw 1 releases the
/// revision hold (never in the older release); 1 valid (or repaired).
u8 MFWQZ_FwRevLoad(u32 unlockFw);
#if !SCM_PROFILE_LEGACY
/// Writes "fwrevcnf.bin" (acceptCurrent 1: the configured revisions); 1 written.
u32 MFWQZ_RevStore(u32 acceptCurrent);
/// Loads "fwrevcnf.bin"; unlockFw 1 releases the revision hold; 1 valid (or repaired).
u8 MFWQZ_RevLoad(u32 unlockFw);
#else
/// Writes "fwrevcnf.bin" with the configured revisions; 1 written.
u32 MFWQZ_RevStore(void);
/// Loads "fwrevcnf.bin" (the older release's load releases nothing); 1 valid (or repaired).
u8 MFWQZ_RevLoad(void);
#endif
/// Allows the host's resets again after a hold-off (event 0x6200C090 (0, 1) when refused).
void MFWQZ_AllowResets(void);
/// Loads "autocnf.bin" at initialisation; 1 loaded.
u8 MFWQZ_AutoLoad(void);
/// Writes "corvane.uid"'s 18 bytes as the Qor controller's copy (MFWQZ_KeyMedium.h); 1 when all were taken.
u8 MFWQZ_SetCorvaneId(void);
/// Machine options into buffer (length <= 76); the status (1 valid, 2 none or bad argument).
u32 MFWQZ_GetMachineOptions(u8* buffer, u32 length);
