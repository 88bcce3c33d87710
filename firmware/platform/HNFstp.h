// Firmware start-up: the domain number, the two UDIDs, the ident-word
// handshake, the parameter files loaded into the two file spaces, the stack and
// application initialisation, the cycle semaphores and the two tasks.
#pragma once
#include "ScmProfile.h"
#include "ScmTypes.h"
#include "vxworks.h"

/// Bytes of a UDID.
inline constexpr u32 HNFstp_kUdidSize = 6;
/// Entries of the file list (the older release has no "PARDATA1.BIN").
inline constexpr u32 HNFstp_kFileCount = SCM_ProfileValue<u32>(3, 2);
/// Characters of a file-list name, NUL included.
inline constexpr u32 HNFstp_kListNameSize = 16;
/// Characters of a loaded file's name kept, NUL included.
inline constexpr u32 HNFstp_kLoadedNameSize = 13;
/// Bytes of the safe file space.
inline constexpr u32 HNFstp_kSafeSpaceSize = 196608;
/// Bytes of the non-safe file space.
inline constexpr u32 HNFstp_kNonSafeSpaceSize = SCM_ProfileValue<u32>(524288, 262144);
/// File-list space number of the safe space.
inline constexpr u32 HNFstp_kSpaceSafe = 1;
/// File-list space number of the non-safe space.
inline constexpr u32 HNFstp_kSpaceNonSafe = 0;
/// File-list flag: an empty file is normal.
inline constexpr u32 HNFstp_kFlagEmptyIsNormal = 0x1;
/// Lowest release the firmware accepts (ident word shifted right by 16).
inline constexpr u32 HNFstp_kMinRelease = 0x100;
/// Vendor prefix of every Qor controller UDID.
inline constexpr u8 HNFstp_kVendorPrefix[3] = {0x02, 0x5C, 0x3E};

/// Fatal: the Qor controller UDID lacks the vendor prefix.
inline constexpr u32 HNFstp_kEvtVendorPrefix = 0x92008818u;
/// Fatal: host condition 1 did not carry the own ident word.
inline constexpr u32 HNFstp_kEvtIdentMismatch = 0x92008816u;
/// Fatal: a task could not be spawned (information1 = 1 background, 2 cyclic).
inline constexpr u32 HNFstp_kEvtSpawn = 0x92008811u;
/// Fatal: an application initialisation step failed (information1 = 0 or 1).
inline constexpr u32 HNFstp_kEvtAppInit = 0x92008804u;
/// Event: the firmware release is below 256.
inline constexpr u32 HNFstp_kEvtRelease = 0x62008481u;
/// Event: a cycle semaphore could not be opened or used (information0 = which).
inline constexpr u32 HNFstp_kEvtCycleSemaphore = 0x6200AF1Eu;
/// Fatal: a file-list entry could not be opened (information1 = entry).
inline constexpr u32 HNFstp_kEvtFileOpen = 0x92008802u;
/// Fatal: a file-list entry was read short (information1 = entry).
inline constexpr u32 HNFstp_kEvtFileRead = 0x92008803u;
/// Fatal: not all file-list entries are in use (information1 = the number in use).
inline constexpr u32 HNFstp_kEvtFileList = 0x92008807u;
/// Fatal: the size of a file-list entry could not be read (information1 = entry).
inline constexpr u32 HNFstp_kEvtFileSize = 0x92008808u;
/// Fatal: a file-list entry does not fit in its file space (information1 = entry).
inline constexpr u32 HNFstp_kEvtFileSpace = 0x92008809u;

/// One entry of the file list (28 bytes on the target; 24 in the older release, without flags).
struct HNFstp_FileListEntry {
  u32 ulSpace;                        ///< 1 safe, 0 non-safe file space
  char acName[HNFstp_kListNameSize];  ///< file name on the storage
  u32 ulUsed;                         ///< 1 when the entry is in use
#if !SCM_PROFILE_LEGACY
  u32 ulFlags;                        ///< bit 0: an empty file is normal
#endif
};

/// A file space: allocations rounded up to 4 bytes, never freed.
struct HNFstp_FileSpace {
  u8* pucBase;   ///< first byte
  u32 ulUsed;    ///< bytes handed out
  u32 ulSize;    ///< bytes in all
};

/// A loaded file: one slot per list entry in list order; data null when it did not load.
struct HNFstp_File {
  const u8* pucData;                       ///< file contents in its file space
  u32 ulSize;                              ///< bytes
  char acName[HNFstp_kLoadedNameSize];     ///< first 13 bytes of the name
};

/// What the stack initialisation gets to know about the firmware itself.
struct HNFstp_Identity {
  const u8* pucIdentBlock;  ///< the 256-byte firmware ident block
  const u8* pucScmUdid;     ///< the SCM's own UDID
};

/// The domain number.
extern u16 HNFstp_usSdn;
/// The Qor controller's UDID.
extern u8 HNFstp_aucQorUdid[HNFstp_kUdidSize];
/// The SCM's own UDID: the Qor UDID plus one (48-bit big-endian).
extern u8 HNFstp_aucScmUdid[HNFstp_kUdidSize];
/// The file list.
extern HNFstp_FileListEntry HNFstp_aFileList[HNFstp_kFileCount];
/// The two file spaces, indexed by the list's space number.
extern HNFstp_FileSpace HNFstp_aFileSpace[2];
/// The loaded files, slot j for list entry j.
extern HNFstp_File HNFstp_Files[HNFstp_kFileCount];
/// Set when a file whose empty state is not normal ("KEL_PARA.SAF") was empty.
extern u8 HNFstp_bCorvaneEmpty;
/// The receive cycle semaphore ("~frame-send"), null when it could not be opened.
extern SEM_ID HNFstp_pRxSemaphore;
/// The send cycle semaphore ("~frame-receive"), null when it could not be opened.
extern SEM_ID HNFstp_pTxSemaphore;

/// The ident word of the ident block (bytes 22 to 25, little-endian).
u32 HNFstp_GetIdentWord(void);
/// Raises the release event when the ident word's release is below 256; 1 when it is.
u8 HNFstp_CheckRelease(u32 identWord);
/// The SCM UDID from a Qor UDID: 48-bit big-endian increment, the carry out lost.
void HNFstp_ComputeScmUdid(const u8* qorUdid, u8* scmUdid);
/// Polls the Qor UDID until it is not all zero, checks its prefix, derives the SCM UDID.
void HNFstp_ReadUdids(void);
/// Waits for host condition 1 and compares it with the own ident word.
void HNFstp_CheckCondition1(void);
/// Loads the file list; bit j set for an entry j that was empty although empty is not normal.
u32 HNFstp_ffsInit(void);
/// HNFstp_bCorvaneEmpty.
u8 HNFstp_IsCorvaneEmpty(void);
/// Initialises the stack with the loaded files and the identity.
void HNFstp_EpsInit(void);
/// Initialises the application.
void HNFstp_MfwInit(void);
/// Opens the two cycle semaphores, reporting those that are missing.
void HNFstp_OpenCycleSemaphores(void);
/// The whole start-up up to the spawned tasks; -1 when the process must end, 0 otherwise.
int HNFstp_StartUp(void);
