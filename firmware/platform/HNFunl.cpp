// Unlock request and file download.
#include "ScmProfile.h"
#include "HNFunl.h"

#include <strings.h>

#include <cerrno>
#include <cstring>

#include "EPSbytes.h"
#include "HNFcom.h"
#include "HNFcyc.h"
#include "HNFevt.h"
#include "HNFffs.h"
#include "HNFstp.h"
#include "ScmSystemCalls.h"

HNFunl_ResetTimer HNFunl_gResetTimer;

/// The file being unlocked, held whole so that a failed write-back can restore it.
static u8 HNFunl_aucFile[HNFunl_kBufferSize];

/// A file that can be unlocked and its companion.
struct HNFunl_FileEntry {
  const char* pcName;       ///< file name (compared without regard to case)
  const char* pcCompanion;  ///< companion holding the four plain bytes
};

/// The files that can be unlocked: four, the older release's first three (it has
/// no "pardata1.bin", whose name is unknown there).
static const HNFunl_FileEntry HNFunl_kFiles[] = {
    {"kel_para.saf", "kel_para.saf.swp"},
    {"@@temp.szp", "@@temp.szp.swp"},
    {"autocnf.bin", "autocnf.bin.swp"},
    {"pardata1.bin", "pardata1.bin.swp"},
};
/// Entries of HNFunl_kFiles this release knows.
static constexpr u32 HNFunl_kFileCount = SCM_ProfileValue<u32>(4, 3);
static_assert(HNFunl_kFileCount <= sizeof(HNFunl_kFiles) / sizeof(HNFunl_kFiles[0]));

/// The first failure of one attempt: later failures on the way out (closes) do not hide it.
struct HNFunl_Failure {
  u8 bFailed;     ///< 1 once something failed
  u16 usReason;   ///< reason of the first failure
  u32 ulInfo;     ///< information1 of the first failure
};

static void HNFunl_Note(HNFunl_Failure* pFailure, u16 reason, u32 info) {
  if (pFailure->bFailed == 0) {
    pFailure->bFailed = 1;
    pFailure->usReason = reason;
    pFailure->ulInfo = info;
  }
}

static void HNFunl_Report(const HNFunl_Failure* pFailure) {
  if (pFailure->bFailed != 0) {
    HNFevt_EnregisterEventInfo(HNFunl_kEvtUnlock, pFailure->usReason, pFailure->ulInfo);
  }
}

static u32 HNFunl_Errno(void) { return static_cast<u32>(errno); }

static const HNFunl_FileEntry* HNFunl_Find(const char* name) {
  for (u32 i = 0; i < HNFunl_kFileCount; ++i) {
    if (strcasecmp(name, HNFunl_kFiles[i].pcName) == 0) {
      return &HNFunl_kFiles[i];
    }
  }
  return nullptr;
}

/// Closes a handle; a failure is noted with reason.
static void HNFunl_Close(i32 handle, u16 reason, HNFunl_Failure* pFailure) {
  errno = 0;
  if (HNFffs_Close(handle) != 0) {
    HNFunl_Note(pFailure, reason, HNFunl_Errno());
  }
}

/// Reads the companion's four plain bytes; 1 when read.
static u8 HNFunl_ReadCompanion(const char* companion, u8* plain, HNFunl_Failure* pFailure) {
  const i32 lHandle = HNFffs_Open(companion, "r");
  if (lHandle < 0) {
    HNFunl_Note(pFailure, HNFunl_kReasonCompanionOpen, HNFunl_Errno());
    return 0;
  }
  errno = 0;
  if (HNFffs_Read(plain, HNFunl_kLockedBytes, lHandle) != static_cast<i32>(HNFunl_kLockedBytes)) {
    HNFunl_Note(pFailure, HNFunl_kReasonCompanionRead, HNFunl_Errno());
  }
  HNFunl_Close(lHandle, HNFunl_kReasonCompanionClose, pFailure);
  return pFailure->bFailed == 0 ? 1 : 0;
}

/// Reads the locked file whole into the buffer; its size, or -1.
static i32 HNFunl_ReadFile(const char* name, HNFunl_Failure* pFailure) {
  const i32 lHandle = HNFffs_Open(name, "r");
  if (lHandle < 0) {
    HNFunl_Note(pFailure, HNFunl_kReasonFileOpen, HNFunl_Errno());
    return -1;
  }
  errno = 0;
  const i32 lSize = HNFffs_Size(lHandle);
  if (lSize < 0) {
    HNFunl_Note(pFailure, HNFunl_kReasonFileSize, HNFunl_Errno());
  } else if (static_cast<u32>(lSize) < HNFunl_kLockedBytes || static_cast<u32>(lSize) > HNFunl_kBufferSize) {
    // Under four bytes there is nothing to unlock (a missing "pardata1.bin" reads as empty).
    HNFunl_Note(pFailure, HNFunl_kReasonFileSize, static_cast<u32>(lSize));
  } else {
    errno = 0;
    if (HNFffs_Read(HNFunl_aucFile, static_cast<u32>(lSize), lHandle) != lSize) {
      HNFunl_Note(pFailure, HNFunl_kReasonFileRead, HNFunl_Errno());
    }
  }
  HNFunl_Close(lHandle, HNFunl_kReasonFileClose, pFailure);
  return pFailure->bFailed == 0 ? lSize : -1;
}

/// Outcome of writing the buffer to the file.
enum HNFunl_WriteOutcome : u8 {
  HNFunl_kWritten = 0,     ///< written whole and closed
  HNFunl_kNotOpened = 1,   ///< the write open failed: the file was not touched
  HNFunl_kWriteFailed = 2, ///< opened, then a short or failed write or a failed close
};

/// Writes size bytes of the buffer as the whole file.
static HNFunl_WriteOutcome HNFunl_WriteFile(const char* name, i32 size, HNFunl_Failure* pFailure) {
  const i32 lHandle = HNFffs_Open(name, "w");
  if (lHandle < 0) {
    HNFunl_Note(pFailure, HNFunl_kReasonFileOpen, HNFunl_Errno());
    return HNFunl_kNotOpened;
  }
  errno = 0;
  if (HNFffs_Write(HNFunl_aucFile, static_cast<u32>(size), lHandle) != size) {
    HNFunl_Note(pFailure, HNFunl_kReasonFileWrite, HNFunl_Errno());
  }
  HNFunl_Close(lHandle, HNFunl_kReasonFileClose, pFailure);
  return pFailure->bFailed == 0 ? HNFunl_kWritten : HNFunl_kWriteFailed;
}

/// XORs the first four bytes of the buffer with the word, byte 0 with its least significant byte.
static void HNFunl_ApplyWord(u32 word) {
  for (u32 i = 0; i < HNFunl_kLockedBytes; ++i) {
    HNFunl_aucFile[i] = static_cast<u8>(HNFunl_aucFile[i] ^ static_cast<u8>(word >> (8 * i)));
  }
}

i32 EPS_UnlockFile(const char* name, u32 word) {
  HNFunl_Failure failure{};
  const HNFunl_FileEntry* pEntry = name != nullptr ? HNFunl_Find(name) : nullptr;
  if (pEntry == nullptr) {
    HNFunl_Note(&failure, HNFunl_kReasonUnknownName, 1);
    HNFunl_Report(&failure);
    return HNFunl_kResultRefused;
  }
  u8 aucPlain[HNFunl_kLockedBytes];
  if (HNFunl_ReadCompanion(pEntry->pcCompanion, aucPlain, &failure) == 0) {
    HNFunl_Report(&failure);
    return HNFunl_kResultRefused;
  }
  const i32 lSize = HNFunl_ReadFile(pEntry->pcName, &failure);
  if (lSize < 0) {
    HNFunl_Report(&failure);
    return HNFunl_kResultRefused;
  }
  HNFunl_ApplyWord(word);
  if (std::memcmp(HNFunl_aucFile, aucPlain, HNFunl_kLockedBytes) != 0) {
    HNFunl_Note(&failure, HNFunl_kReasonWrongWord, 0);
    HNFunl_Report(&failure);
    return HNFunl_kResultRefused;
  }
  const HNFunl_WriteOutcome eOutcome = HNFunl_WriteFile(pEntry->pcName, lSize, &failure);
  if (eOutcome != HNFunl_kWritten) {
    HNFunl_Report(&failure);
    if (eOutcome == HNFunl_kWriteFailed) {
      // The file may be half written: put it back as it was downloaded, so that
      // file and companion still match and a later request can unlock them.
      HNFunl_ApplyWord(word);
      HNFunl_Failure restore{};
      if (HNFunl_WriteFile(pEntry->pcName, lSize, &restore) != HNFunl_kWritten) {
        HNFevt_EnregisterEventInfo(HNFunl_kEvtUnlock, HNFunl_kReasonRestore, restore.ulInfo);
      }
    }
    return HNFunl_kResultRefused;
  }
  // The companion is emptied only now that the unlocked file stands whole.
  const i32 lHandle = HNFffs_Open(pEntry->pcCompanion, "w");
  if (lHandle < 0) {
    HNFunl_Note(&failure, HNFunl_kReasonCompanionOpen, HNFunl_Errno());
  } else {
    HNFunl_Close(lHandle, HNFunl_kReasonCompanionClose, &failure);
  }
  // The file is unlocked even when its companion could not be emptied.
  HNFunl_Report(&failure);
  return HNFunl_kResultUnlocked;
}

/// Fires the armed domain reset once its delay has passed.
static void HNFunl_CheckReset(void) {
  HNFunl_ResetTimer& rTimer = HNFunl_gResetTimer;
  if (rTimer.bArmed == 0 || rTimer.bDone != 0) {
    return;
  }
  const u32 ulNow = static_cast<u32>(ScmGetUSecCounter());
  if (static_cast<u32>(ulNow - rTimer.ulArmedUs) <= HNFunl_kResetDelayUs) {
    return;
  }
  if (ScmReset(HNFstp_usSdn) != 0) {
    HNFevt_EnregisterEvent(HNFcyc_kEvtResetFailed, HNFunl_kResetFailedInfo);
  }
  rTimer.bDone = 1;
}

/// Sends the answer when "~unlock-response" has room; a lost answer never keeps the buffer.
static void HNFunl_Answer(u32 identifier, i32 result) {
  if (HNFcom_GetSendBufferCount(HNFcom_kChUnlockResponse) == 0) {
    return;
  }
  u8* pucBuffer = nullptr;
  u8* pucHandle = HNFcom_GetSendBuffer(HNFcom_kChUnlockResponse, &pucBuffer, HNFunl_kResponseSize);
  if (pucHandle == nullptr) {
    return;
  }
  EPS_Wr32(pucBuffer, identifier);
  EPS_Wr32(pucBuffer + 4, static_cast<u32>(result));
  if (HNFcom_SendBuffer(HNFcom_kChUnlockResponse, pucHandle, pucBuffer, HNFunl_kResponseSize) != 0 &&
      HNFcom_IsSendBufferOccupied(HNFcom_kChUnlockResponse) != 0) {
    (void)HNFcom_FreeSendBuffer(HNFcom_kChUnlockResponse, pucHandle, pucBuffer, HNFunl_kResponseSize);
  }
}

void HNFcyc_HandleUnlockRequest(void) {
  HNFunl_CheckReset();
  u8* pucMessage = nullptr;
  u32 ulLength = 0;
  if (HNFcom_GetReceiveBuffer(HNFcom_kChUnlockRequest, &pucMessage, &ulLength) == nullptr) {
    return;
  }
  if (ulLength <= HNFunl_kShortRequestMax) {
    HNFevt_EnregisterEventInfo(HNFunl_kEvtShortRequest, 1, ulLength);
    (void)HNFcom_FreeBuffer(HNFcom_kChUnlockRequest, pucMessage);
    return;
  }
  const u32 ulIdentifier = EPS_Rd32(pucMessage);
  // The name field need not end in NUL; one without NUL matches no file.
  char acName[HNFunl_kNameSize + 1];
  std::memcpy(acName, pucMessage + 4, HNFunl_kNameSize);
  acName[HNFunl_kNameSize] = '\0';
  const u32 ulWord = EPS_Rd32(pucMessage + 4 + HNFunl_kNameSize);
  (void)HNFcom_FreeBuffer(HNFcom_kChUnlockRequest, pucMessage);
  const i32 lResult = EPS_UnlockFile(acName, ulWord);
  HNFunl_Answer(ulIdentifier, lResult);
  if (HNFunl_gResetTimer.bArmed == 0) {
    HNFunl_gResetTimer.bArmed = 1;
    HNFunl_gResetTimer.ulArmedUs = static_cast<u32>(ScmGetUSecCounter());
  }
}
