// Firmware start-up.
#include "HNFstp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "EPSinit.h"
#include "HNFcom.h"
#include "HNFcyc.h"
#include "HNFevt.h"
#include "HNFffs.h"
#include "HNFhwt.h"
#include "HNFiff_ModuleState.h"
#include "MFWQZ.h"
#include "ScmFirmwareIdent.h"
#include "ScmQueueNames.h"
#include "ScmSystemCalls.h"

u16 HNFstp_usSdn;
u8 HNFstp_aucQorUdid[HNFstp_kUdidSize];
u8 HNFstp_aucScmUdid[HNFstp_kUdidSize];
#if !SCM_PROFILE_LEGACY
HNFstp_FileListEntry HNFstp_aFileList[HNFstp_kFileCount] = {
    {HNFstp_kSpaceSafe, "KEL_PARA.SAF", 1, 0},
    {HNFstp_kSpaceNonSafe, "CORVANE.DAT", 1, HNFstp_kFlagEmptyIsNormal},
    {HNFstp_kSpaceSafe, "PARDATA1.BIN", 1, HNFstp_kFlagEmptyIsNormal},
};
#else
HNFstp_FileListEntry HNFstp_aFileList[HNFstp_kFileCount] = {
    {HNFstp_kSpaceSafe, "KEL_PARA.SAF", 1},
    {HNFstp_kSpaceNonSafe, "CORVANE.DAT", 1},
};
#endif

/// Backing store of the safe file space.
alignas(4) static u8 HNFstp_aucSafeSpace[HNFstp_kSafeSpaceSize];
/// Backing store of the non-safe file space.
alignas(4) static u8 HNFstp_aucNonSafeSpace[HNFstp_kNonSafeSpaceSize];

HNFstp_FileSpace HNFstp_aFileSpace[2] = {
    {HNFstp_aucNonSafeSpace, 0, HNFstp_kNonSafeSpaceSize},
    {HNFstp_aucSafeSpace, 0, HNFstp_kSafeSpaceSize},
};
HNFstp_File HNFstp_Files[HNFstp_kFileCount];
u8 HNFstp_bCorvaneEmpty;
SEM_ID HNFstp_pRxSemaphore;
SEM_ID HNFstp_pTxSemaphore;

/// Size of the buffer a task name is printed into.
static constexpr u32 HNFstp_kTaskNameSize = 50;

u32 HNFstp_GetIdentWord(void) {
  const u8* pucWord = LdFwIdentStart + SCM_FW_IDENT_WORD_OFFSET;
  return static_cast<u32>(pucWord[0]) | (static_cast<u32>(pucWord[1]) << 8) | (static_cast<u32>(pucWord[2]) << 16) |
         (static_cast<u32>(pucWord[3]) << 24);
}

u8 HNFstp_CheckRelease(u32 identWord) {
  if ((identWord >> 16) < HNFstp_kMinRelease) {
    HNFevt_EnregisterEvent(HNFstp_kEvtRelease, identWord);
    return 1;
  }
  return 0;
}

void HNFstp_ComputeScmUdid(const u8* qorUdid, u8* scmUdid) {
  u32 ulCarry = 1;
  for (u32 i = HNFstp_kUdidSize; i-- > 0;) {
    const u32 ulSum = qorUdid[i] + ulCarry;
    scmUdid[i] = static_cast<u8>(ulSum);
    ulCarry = ulSum >> 8;
  }
}

/// 1 when at least one byte of the UDID is not zero.
static u8 HNFstp_UdidValid(const u8* udid) {
  for (u32 i = 0; i < HNFstp_kUdidSize; ++i) {
    if (udid[i] != 0) {
      return 1;
    }
  }
  return 0;
}

void HNFstp_ReadUdids(void) {
  std::memset(HNFstp_aucQorUdid, 0, sizeof(HNFstp_aucQorUdid));
  for (;;) {
    (void)ScmRequestQorUdid(HNFstp_usSdn, HNFstp_aucQorUdid);
    if (HNFstp_UdidValid(HNFstp_aucQorUdid) != 0) {
      break;
    }
    (void)taskDelay(GetTaskDelayTickCount(100));
  }
  const u8* pucUdid = HNFstp_aucQorUdid;
  if (std::memcmp(pucUdid, HNFstp_kVendorPrefix, sizeof(HNFstp_kVendorPrefix)) != 0) {
    const u16 usFirst = static_cast<u16>(pucUdid[0] | (pucUdid[1] << 8));
    const u32 ulRest = static_cast<u32>(pucUdid[2]) | (static_cast<u32>(pucUdid[3]) << 8) |
                       (static_cast<u32>(pucUdid[4]) << 16) | (static_cast<u32>(pucUdid[5]) << 24);
    HNFevt_EnregisterEventInfo(HNFstp_kEvtVendorPrefix, usFirst, ulRest);
  }
  HNFstp_ComputeScmUdid(HNFstp_aucQorUdid, HNFstp_aucScmUdid);
}

void HNFstp_CheckCondition1(void) {
  u32 ulValue = 0;
  // A failed wait must not pass as a handshake: it reports the value 0.
  if (ScmWaitForCondition(HNFstp_usSdn, 1, &ulValue) != 0) {
    ulValue = 0;
    HNFevt_EnregisterEvent(HNFstp_kEvtIdentMismatch, ulValue);
  } else if (ulValue != HNFstp_GetIdentWord()) {
    HNFevt_EnregisterEvent(HNFstp_kEvtIdentMismatch, ulValue);
  }
}

/// Opens a list entry, waiting for as long as the storage is busy.
static i32 HNFstp_OpenBusyWait(const char* name) {
  i32 lHandle;
  do {
    lHandle = HNFffs_Open(name, "r");
  } while (lHandle == HNFffs_kBusy);
  return lHandle;
}

/// True when an empty file of this entry marks an empty key medium. The older
/// release keeps no such flag: an empty file is loaded as an empty entry.
template <typename Entry>
static bool HNFstp_EmptyMarksKeyMedium(const Entry& rEntry) {
  if constexpr (SCM_kLegacy) {
    return false;
  } else {
    return (rEntry.ulFlags & HNFstp_kFlagEmptyIsNormal) == 0;
  }
}

/// Loads list entry j into its slot; 1 when it was empty although empty is not normal.
static u32 HNFstp_LoadEntry(u32 j) {
  const HNFstp_FileListEntry& rEntry = HNFstp_aFileList[j];
  const i32 lHandle = HNFstp_OpenBusyWait(rEntry.acName);
  if (lHandle < 0) {
    HNFevt_EnregisterEvent(HNFstp_kEvtFileOpen, j);
    return 0;
  }
  u32 ulEmptyBit = 0;
  const i32 lSize = HNFffs_Size(lHandle);
  if (lSize < 0) {
    HNFevt_EnregisterEvent(HNFstp_kEvtFileSize, j);
    (void)HNFffs_Close(lHandle);
    return 0;
  }
  const u32 ulSize = static_cast<u32>(lSize);
  if (ulSize == 0 && HNFstp_EmptyMarksKeyMedium(rEntry)) {
    HNFstp_bCorvaneEmpty = 1;
    ulEmptyBit = 1;
  }
  HNFstp_FileSpace& rSpace = HNFstp_aFileSpace[rEntry.ulSpace == HNFstp_kSpaceSafe ? 1 : 0];
  const u64 ullRounded = (static_cast<u64>(ulSize) + 3u) & ~static_cast<u64>(3u);
  if (ullRounded > rSpace.ulSize - rSpace.ulUsed) {
    HNFevt_EnregisterEvent(HNFstp_kEvtFileSpace, j);
    (void)HNFffs_Close(lHandle);
    return ulEmptyBit;
  }
  u8* pucData = rSpace.pucBase + rSpace.ulUsed;
  rSpace.ulUsed += static_cast<u32>(ullRounded);
  if (ulSize > 0 && HNFffs_Read(pucData, ulSize, lHandle) != lSize) {
    HNFevt_EnregisterEvent(HNFstp_kEvtFileRead, j);
    (void)HNFffs_Close(lHandle);
    return ulEmptyBit;
  }
  HNFstp_File& rFile = HNFstp_Files[j];
  rFile.pucData = pucData;
  rFile.ulSize = ulSize;
  std::memcpy(rFile.acName, rEntry.acName, HNFstp_kLoadedNameSize - 1);
  rFile.acName[HNFstp_kLoadedNameSize - 1] = '\0';
  (void)HNFffs_Close(lHandle);
  return ulEmptyBit;
}

u32 HNFstp_ffsInit(void) {
  u32 ulInUse = 0;
  for (u32 j = 0; j < HNFstp_kFileCount; ++j) {
    ulInUse += HNFstp_aFileList[j].ulUsed != 0 ? 1 : 0;
  }
  if (ulInUse != HNFstp_kFileCount) {
    HNFevt_EnregisterEvent(HNFstp_kEvtFileList, ulInUse);
  }
  if (HNFiff_ModuleStateRead() != HNFiff_kModuleStateNormal) {
    return 0;
  }
  u32 ulEmpty = 0;
  for (u32 j = 0; j < HNFstp_kFileCount; ++j) {
    HNFstp_Files[j] = HNFstp_File{};
    if (HNFstp_aFileList[j].ulUsed != 0) {
      ulEmpty |= HNFstp_LoadEntry(j) << j;
    }
  }
  return ulEmpty;
}

u8 HNFstp_IsCorvaneEmpty(void) { return HNFstp_bCorvaneEmpty; }

void HNFstp_EpsInit(void) {
  const HNFstp_Identity identity = {LdFwIdentStart, HNFstp_aucScmUdid};
  EPS_Init(HNFstp_Files, &identity);
}

void HNFstp_MfwInit(void) {
  if (MFWQZ_Init(HNFstp_aucQorUdid, static_cast<u16>(HNFstp_GetIdentWord() >> 16)) != 0 &&
      MFWQZ_bCvnFromQorAvailable != 0) {
    HNFevt_EnregisterEvent(HNFstp_kEvtAppInit, 0);
  }
  if (MFWQZ_InitModuleInfo() != 0 && MFWQZ_bCvnFromQorAvailable != 0) {
    HNFevt_EnregisterEvent(HNFstp_kEvtAppInit, 1);
  }
}

void HNFstp_OpenCycleSemaphores(void) {
  char acName[SCM_QUEUE_NAME_SIZE];
  HNFstp_pRxSemaphore = nullptr;
  HNFstp_pTxSemaphore = nullptr;
  errno = 0;
  if (ScmGetFrameQueueToScmName(HNFstp_usSdn, acName) != nullptr) {
    HNFstp_pRxSemaphore = semOpen(acName, 0, 0, 0, 0, nullptr);
  }
  if (HNFstp_pRxSemaphore == nullptr) {
    HNFevt_EnregisterEventInfo(HNFstp_kEvtCycleSemaphore, 1, static_cast<u32>(errno));
  }
  errno = 0;
  if (ScmGetFrameQueueFromScmName(HNFstp_usSdn, acName) != nullptr) {
    HNFstp_pTxSemaphore = semOpen(acName, 0, 0, 0, 0, nullptr);
  }
  if (HNFstp_pTxSemaphore == nullptr) {
    HNFevt_EnregisterEventInfo(HNFstp_kEvtCycleSemaphore, 2, static_cast<u32>(errno));
  }
}

/// Spawns one firmware task; 0 when it runs.
static u8 HNFstp_Spawn(const char* suffix, int priority, FUNCPTR entry) {
  char acName[HNFstp_kTaskNameSize];
  (void)std::snprintf(acName, sizeof(acName), "scm%04d/%s", static_cast<int>(HNFstp_usSdn), suffix);
  const TASK_ID id = taskSpawn(acName, priority, 0, HNFcyc_kTaskStackSize, entry, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  return id == TASK_ID_ERROR ? 1 : 0;
}

int HNFstp_StartUp(void) {
  HNFiff_ModuleStateInit();
  if (HNFhwt_Init() != 0) {
    return -1;
  }
  HNFstp_usSdn = ScmGetSafetyDomainNumberFromEnvironment(SCM_SDN_ENVIRONMENT_NAME);
  if (HNFstp_usSdn < SCM_SDN_MIN || HNFstp_usSdn > SCM_SDN_MAX) {
    return -1;
  }
  if (HNFcom_Init() != 0) {
    return -1;
  }
  HNFstp_ReadUdids();
  HNFstp_CheckCondition1();
  (void)MFWQZ_GetTargetId();
  HNFcyc_InitStepDone(HNFcyc_kStepHandshakeDone);
  (void)HNFstp_ffsInit();
  HNFstp_EpsInit();
  HNFstp_MfwInit();
  EPS_WriteExternalMachineOptionsToSod();
  HNFcyc_InitStepDone(HNFcyc_kStepLoaded);
  (void)HNFstp_CheckRelease(HNFstp_GetIdentWord());
  HNFstp_OpenCycleSemaphores();
  (void)ScmSetCondition(HNFstp_usSdn, 2, HNFstp_GetIdentWord());
  if (HNFstp_Spawn("background", HNFcyc_kBackgroundPriority, DoBackgroundWork) != 0) {
    HNFevt_EnregisterEvent(HNFstp_kEvtSpawn, 1);
    return -1;
  }
  if (HNFstp_Spawn("cyclic", HNFcyc_kCyclicPriority, DoCyclicWork) != 0) {
    HNFevt_EnregisterEvent(HNFstp_kEvtSpawn, 2);
    return -1;
  }
  return 0;
}
