// The application's files. Every loader reads the whole file into a static
// buffer, closes it, runs all its checks and only then changes the application
// state, so a rejected file leaves nothing of itself behind. Every writer
// builds the whole file first; when the write, a count or the close fails it
// writes the last good content again, so the file is the old one or the new
// one, never half of either. An I/O failure (busy, refused, short) keeps the
// file; only content errors empty it.
#include "MFWQZ_AppFiles.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "HNFcyc.h"
#include "HNFffs.h"
#include "HNFiff_Crc.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "ScmProfile.h"
#include "MFWQZ_BusOd.h"
#include "MFWQZ_KeyMedium.h"
#include "MFWQZ_Remote.h"
#include "ScmSystemCalls.h"
#include "vxworks.h"

u32 MFWQZ_ValidFiles = 1;
u32 MFWQZ_AcknowledgeFwMismatches = 1;
u32 MFWQZ_gbLockPostFw;
u32 MFWQZ_geMachineOptionsStatus = 2;
u32 MFWQZ_CvEmptyBeforeBoot;
u32 MFWQZ_SetupModeFlagRead = 2;
u32 MFWQZ_bFwRevTargetIdRead;
u8 MFWQZ_aucMachineOptions[MFWQZ_kMachineOptionBytes];

/// Names the firmware opens its files by.
static const char* const MFWQZ_kFwRevName = "FWREVCNF.BIN";
static const char* const MFWQZ_kAutoName = "AUTOCNF.BIN";
static const char* const MFWQZ_kCorvaneUidName = "CORVANE.UID";

/// Longest the storage may stay busy before an open gives up (microseconds).
static constexpr u64 MFWQZ_kBusyLimitUs = 15000000u;
/// Divisor of a second between two tries of a busy open, and the settle after an open.
static constexpr int MFWQZ_kBusyPollDivisor = 10;

/// Second-section words: its offset of the flags and the word after it.
static constexpr u16 MFWQZ_kFwRevSecondWord0 = 8;
static constexpr u16 MFWQZ_kFwRevSecondWord1 = 4;
/// First words the second section refuses (1 to 5).
static constexpr u16 MFWQZ_kFwRevSecondWord0BadMax = 5;

/// "autocnf.bin": header, largest sections and file (bytes); versions.
static constexpr u32 MFWQZ_kAutoHeader = 64;
static constexpr u32 MFWQZ_kAutoUdidMax = 108;
static constexpr u32 MFWQZ_kAutoUdidCountMax = 12;
static constexpr u32 MFWQZ_kAutoFlagsTwo = 268;
static constexpr u32 MFWQZ_kAutoFlagsThree = 396;
static constexpr u32 MFWQZ_kAutoMaxBytes =
    MFWQZ_kAutoHeader + MFWQZ_kAutoUdidMax + MFWQZ_kMachineOptionBytes + MFWQZ_kAutoFlagsThree + 4;
static constexpr u16 MFWQZ_kAutoVersion = 0x0400;
static constexpr u16 MFWQZ_kAutoVersionOld = 0x0300;
/// What information0 of MFWQZ_kEvtAutoFile names.
enum : u16 {
  MFWQZ_kAutoUdidVersion = 0,    ///< UDID section version not 0x0300
  MFWQZ_kAutoUdidEntry = 1,      ///< UDID entry size not 8
  MFWQZ_kAutoUdidOffset = 2,     ///< UDID entry offset not 8
  MFWQZ_kAutoSize = 4,           ///< size query failed, or the size is not what the header says
  MFWQZ_kAutoUdidCrc = 5,        ///< UDID section CRC
  MFWQZ_kAutoUdidCount = 6,      ///< more than 12 UDIDs
  MFWQZ_kAutoSections = 7,       ///< section count
  MFWQZ_kAutoHeaderLen = 8,      ///< header length not 64
  MFWQZ_kAutoFileVersion = 9,    ///< file version
  MFWQZ_kAutoWord6 = 10,         ///< word at 6 not 8
  MFWQZ_kAutoUdidLen = 11,       ///< UDID section longer than 108
  MFWQZ_kAutoUdidLenCount = 12,  ///< UDID length not 12 + 8 x count
  MFWQZ_kAutoUdidOff = 13,       ///< UDID offset
  MFWQZ_kAutoOptLen = 14,        ///< machine-option length
  MFWQZ_kAutoOptOff = 15,        ///< machine-option offset
  MFWQZ_kAutoFlagLen = 16,       ///< module-flag length
  MFWQZ_kAutoFlagOff = 17,       ///< module-flag offset
  MFWQZ_kAutoHeaderCrc = 18,     ///< header CRC
  MFWQZ_kAutoFileCrc = 19,       ///< file CRC
  MFWQZ_kAutoOptWords = 20,      ///< machine-option words 20..23 in order
  MFWQZ_kAutoOptCrc = 24,        ///< machine-option CRC
  MFWQZ_kAutoFlagBits = 25,      ///< module-flag words 25..28 in order
  MFWQZ_kAutoFlagCrc = 29        ///< module-flag CRC
};
/// Auto-configured UDID for a module not marked so (information1 the SADR).
static constexpr u32 MFWQZ_kEvtAutoNotMarked = 0x9200C015u;

u8 MFWQZ_aucFwRevGood[MFWQZ_kFwRevMaxBytes];
u32 MFWQZ_ulFwRevGoodLen;
u32 MFWQZ_bFwRevGoodKnown;
/// Buffer every file is read into or built in.
static u8 MFWQZ_aucFileBuf[MFWQZ_kFwRevMaxBytes];
u8 MFWQZ_aucCorvaneUid[MFWQZ_kCorvaneUidBytes];
u32 MFWQZ_bCorvaneUidKnown;
/// The last open failed because the file does not exist.
static u32 MFWQZ_bLastOpenMissing;
/// The last whole-file read got as far as an open handle.
static u32 MFWQZ_bLastOpened;
u32 MFWQZ_RequiredReloadedFileMissing;

static u32 MFWQZ_Crc(const u8* p, u32 length) { return HNFiff_Crc32CalcSwp(0, static_cast<i32>(length), p); }

static void MFWQZ_FileEvent(u16 information0, u32 information1) {
  MFWQZ_EnregisterEventLevel(MFWQZ_kEvtFwRevFile, information0, information1, MFWQZ_kFileEventLevel);
}

// ---------------------------------------------------------------------------
// File primitives
// ---------------------------------------------------------------------------

u8 MFWQZ_FFS_FileOpen(const char* mode, const char* name, i32* handle) {
  MFWQZ_bLastOpenMissing = 0;
  const u64 ullStart = ScmGetUSecCounter();
  for (;;) {
    const i32 lResult = HNFffs_Open(name, mode);
    if (lResult >= 0) {
      *handle = lResult;
      (void)taskDelay(GetTaskDelayTickCount(MFWQZ_kBusyPollDivisor));
      return 1;
    }
    if (lResult != HNFffs_kBusy) {
      MFWQZ_bLastOpenMissing = errno == SCM_STORAGE_MISSING_ERRNO ? 1 : 0;
      MFWQZ_FileEvent(MFWQZ_kFileOpen, static_cast<u32>(lResult));
      return 0;
    }
    if (ScmGetUSecCounter() - ullStart > MFWQZ_kBusyLimitUs) {
      MFWQZ_FileEvent(MFWQZ_kFileBusy, 0);
      return 0;
    }
    (void)taskDelay(GetTaskDelayTickCount(MFWQZ_kBusyPollDivisor));
  }
}

u8 MFWQZ_FileRead(i32 handle, void* buffer, u32 count) {
  u32 ulDone = 0;
  while (ulDone < count) {
    const i32 lRead = HNFffs_Read(static_cast<u8*>(buffer) + ulDone, count - ulDone, handle);
    if (lRead <= 0) {
      break;
    }
    ulDone += static_cast<u32>(lRead);
  }
  if (ulDone != count) {
    MFWQZ_FileEvent(MFWQZ_kFileShortRead, ulDone);
    return 0;
  }
  return 1;
}

u8 MFWQZ_FileWrite(i32 handle, const void* buffer, u32 count, u32* crc) {
  const i32 lWritten = count == 0 ? 0 : HNFffs_Write(buffer, count, handle);
  if (lWritten < 0 || static_cast<u32>(lWritten) != count) {
    MFWQZ_FileEvent(MFWQZ_kFileShortWrite, lWritten < 0 ? 0 : static_cast<u32>(lWritten));
    return 0;
  }
  if (crc != nullptr) {
    *crc = HNFiff_Crc32CalcSwp(*crc, static_cast<i32>(count), buffer);
  }
  return 1;
}

u8 MFWQZ_FFS_FileClose(i32 handle) {
  const i32 lResult = HNFffs_Close(handle);
  if (lResult != 0) {
    MFWQZ_FileEvent(MFWQZ_kFileClose, static_cast<u32>(lResult));
    return 0;
  }
  return 1;
}

/// Writes the whole file: open, write, close, every step checked; 1 written.
static u8 MFWQZ_WriteOnce(const char* name, const u8* data, u32 length) {
  i32 lHandle = -1;
  if (MFWQZ_FFS_FileOpen("w", name, &lHandle) == 0) {
    return 0;
  }
  const u8 ucWritten = MFWQZ_FileWrite(lHandle, data, length, nullptr);
  const u8 ucClosed = MFWQZ_FFS_FileClose(lHandle);
  return (ucWritten != 0 && ucClosed != 0) ? 1 : 0;
}

/// Writes the file; when that fails after the open, writes the previous content again. 1 written.
static u8 MFWQZ_WriteKeepingOld(const char* name, const u8* data, u32 length, const u8* previous,
                                u32 previousLength, u32 previousKnown) {
  if (MFWQZ_WriteOnce(name, data, length) != 0) {
    return 1;
  }
  if (previousKnown != 0) {
    (void)MFWQZ_WriteOnce(name, previous, previousLength);
  }
  return 0;
}

/// Opens for reading, reads the whole file into MFWQZ_aucFileBuf (at most max bytes) and closes.
/// 1 read (*length its size); 0 an I/O failure (event raised, *length -1); 2 longer than max.
static u8 MFWQZ_ReadWhole(const char* name, u32 max, i32* length) {
  *length = -1;
  MFWQZ_bLastOpened = 0;
  i32 lHandle = -1;
  if (MFWQZ_FFS_FileOpen("r", name, &lHandle) == 0) {
    return 0;
  }
  MFWQZ_bLastOpened = 1;
  const i32 lSize = HNFffs_Size(lHandle);
  if (lSize < 0) {
    MFWQZ_FileEvent(MFWQZ_kFileSize, static_cast<u32>(lSize));
    (void)MFWQZ_FFS_FileClose(lHandle);
    return 0;
  }
  if (static_cast<u32>(lSize) > max) {
    *length = lSize;
    return MFWQZ_FFS_FileClose(lHandle) != 0 ? 2 : 0;
  }
  const u8 ucRead = MFWQZ_FileRead(lHandle, MFWQZ_aucFileBuf, static_cast<u32>(lSize));
  const u8 ucClosed = MFWQZ_FFS_FileClose(lHandle);
  if (ucRead == 0 || ucClosed == 0) {
    return 0;
  }
  *length = lSize;
  return 1;
}

/// Empties a file by opening it for writing; 1 emptied.
static u8 MFWQZ_EmptyFile(const char* name) { return MFWQZ_WriteOnce(name, nullptr, 0); }

// ---------------------------------------------------------------------------
// "fwrevcnf.bin"
// ---------------------------------------------------------------------------

/// Builds "fwrevcnf.bin" version 0x0101 into MFWQZ_aucFileBuf; its length.
static u32 MFWQZ_BuildFwRev(u32 acceptCurrent) {
  u8* p = MFWQZ_aucFileBuf;
  u32 ulPos = MFWQZ_kFwRevHeader;
  u16 usCount = 0;
  for (u16 usSadr = 1; usSadr <= MFWQZ_kSadrMax; ++usSadr) {
    u16 usRev = 0;
    if (MFWQZ_ReadCnfRev(usSadr, &usRev) == 0) {
      continue;
    }
    MFWQZ_PutU16(p + ulPos, usSadr);
    // The older release's entries always carry the configured revisions.
    if constexpr (!SCM_kLegacy) {
      if (acceptCurrent != 1) {
        usRev = MFWQZ_StoredRev(usSadr);
      }
    }
    MFWQZ_PutU16(p + ulPos + 2, usRev);
    ulPos += MFWQZ_kFwRevEntry;
    ++usCount;
  }
  MFWQZ_PutU16(p, usCount);
  MFWQZ_PutU16(p + 2, MFWQZ_kFwRevEntry);
  MFWQZ_PutU16(p + 4, MFWQZ_kFwRevVersion);
  MFWQZ_PutU16(p + 6, MFWQZ_kFwRevHeader);
  MFWQZ_PutU32(p + ulPos, MFWQZ_Crc(p, ulPos));
  ulPos += 4;
  u8* s = p + ulPos;
  std::memset(s, 0, MFWQZ_kFwRevSecond + 4);
  u8 aucUdid[MFWQZ_kUdidBytes] = {};
  u8 aucTarget[MFWQZ_kTargetIdBytes] = {};
  const u8 ucTargetRead = MFWQZ_AuthorGetActUdid(aucUdid, aucTarget);
  u16 usFlags = MFWQZ_kFwRevFlagQorUdid | MFWQZ_kFwRevFlagPassword;
  if (ucTargetRead == 1) {
    usFlags |= MFWQZ_kFwRevFlagTargetId;
  }
  if (HNFstp_IsCorvaneEmpty() != 0) {
    usFlags |= MFWQZ_kFwRevFlagCvEmpty;
  }
  if (MFWQZ_IsSetupModeActive() != 0) {
    usFlags |= MFWQZ_kFwRevFlagSetupMode;
  }
  MFWQZ_PutU16(s, MFWQZ_kFwRevSecondWord0);
  MFWQZ_PutU16(s + 2, MFWQZ_kFwRevSecondWord1);
  MFWQZ_PutU16(s + 4, usFlags);
  std::memcpy(s + 6, aucUdid, MFWQZ_kUdidBytes);
  std::memcpy(s + 12, aucTarget, MFWQZ_kTargetIdBytes);
  // The field's 17th byte ends the password: 0 from the clear above, or the older release's kept 0.
  std::memcpy(s + 20, MFWQZ_gaucPassword, MFWQZ_kPasswordKeptBytes);
  MFWQZ_PutU32(s + MFWQZ_kFwRevSecond, MFWQZ_Crc(s, MFWQZ_kFwRevSecond));
  return ulPos + MFWQZ_kFwRevSecond + 4;
}

/// Remembers bytes as the last good content of "fwrevcnf.bin".
static void MFWQZ_KeepFwRev(const u8* data, u32 length) {
  std::memcpy(MFWQZ_aucFwRevGood, data, length);
  MFWQZ_ulFwRevGoodLen = length;
  MFWQZ_bFwRevGoodKnown = 1;
}

u32 MFWQZ_FwRevStore(u32 acceptCurrent) {
  const u32 ulLockBefore = MFWQZ_gbLockPostFw;
  const u32 ulAckBefore = MFWQZ_AcknowledgeFwMismatches;
  MFWQZ_gbLockPostFw = 1;
  const u32 ulLength = MFWQZ_BuildFwRev(acceptCurrent);
  const u8 ucWritten = MFWQZ_WriteKeepingOld(MFWQZ_kFwRevName, MFWQZ_aucFileBuf, ulLength, MFWQZ_aucFwRevGood,
                                             MFWQZ_ulFwRevGoodLen, MFWQZ_bFwRevGoodKnown);
  if (ucWritten != 0) {
    MFWQZ_AcknowledgeFwMismatches = acceptCurrent;
    MFWQZ_KeepFwRev(MFWQZ_aucFileBuf, ulLength);
  } else {
    // Nothing changed: the file is the old one, so the state that describes it stays too.
    MFWQZ_gbLockPostFw = ulLockBefore;
    MFWQZ_AcknowledgeFwMismatches = ulAckBefore;
  }
  MFWQZ_AllowResets();
  return ucWritten;
}

void MFWQZ_AllowResets(void) {
  if (ScmUnlockReset(HNFstp_usSdn) != 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtLockReset, 0, 1);
  }
}

/// What a verified "fwrevcnf.bin" holds besides its entries.
struct MFWQZ_FwRevSecond {
  u16 usFlags;                              ///< feature flags
  u8 aucUdid[MFWQZ_kUdidBytes];             ///< accepted Qor-controller UDID (0 when not valid)
  u8 aucTarget[MFWQZ_kTargetIdBytes];       ///< accepted target id (0 when not valid)
  u8 aucPassword[MFWQZ_kPasswordBytes];     ///< password (0 when absent)
};

/// Checks "fwrevcnf.bin" in MFWQZ_aucFileBuf in the file's order; 1 valid (entries counted
/// in *count, second section in *second), else the event raised and 0.
static u8 MFWQZ_VerifyFwRev(u32 length, u16* count, MFWQZ_FwRevSecond* second) {
  const u8* p = MFWQZ_aucFileBuf;
  if (length < MFWQZ_kFwRevHeader) {
    MFWQZ_FileEvent(MFWQZ_kFileShortRead, length);
    return 0;
  }
  const u16 usVersion = MFWQZ_GetU16(p + 4);
  if (usVersion != MFWQZ_kFwRevVersion && usVersion != MFWQZ_kFwRevVersionOld) {
    MFWQZ_FileEvent(MFWQZ_kFileVersion, usVersion);
    return 0;
  }
  if (MFWQZ_GetU16(p + 2) != MFWQZ_kFwRevEntry) {
    MFWQZ_FileEvent(MFWQZ_kFileEntrySize, MFWQZ_GetU16(p + 2));
    return 0;
  }
  if (MFWQZ_GetU16(p + 6) != MFWQZ_kFwRevHeader) {
    MFWQZ_FileEvent(MFWQZ_kFileHeaderSize, MFWQZ_GetU16(p + 6));
    return 0;
  }
  const u32 ulCount = MFWQZ_GetU16(p);
  const u32 ulCrcPos = MFWQZ_kFwRevHeader + MFWQZ_kFwRevEntry * ulCount;
  if (ulCount > MFWQZ_kSadrMax || length < ulCrcPos + 4) {
    MFWQZ_FileEvent(MFWQZ_kFileShortRead, length);
    return 0;
  }
  u16 usPrevious = 0;
  for (u32 i = 0; i < ulCount; ++i) {
    const u16 usSadr = MFWQZ_GetU16(p + MFWQZ_kFwRevHeader + MFWQZ_kFwRevEntry * i);
    if (usSadr == 0 || usSadr > MFWQZ_kSadrMax || usSadr <= usPrevious) {
      MFWQZ_FileEvent(MFWQZ_kFileSadr, usSadr);
      return 0;
    }
    usPrevious = usSadr;
  }
  const u32 ulCrc = MFWQZ_Crc(p, ulCrcPos);
  if (ulCrc != MFWQZ_GetU32(p + ulCrcPos)) {
    MFWQZ_FileEvent(MFWQZ_kFileCrc, ulCrc);
    return 0;
  }
  const u32 ulSecond = ulCrcPos + 4;
  const u32 ulSecondLen = usVersion == MFWQZ_kFwRevVersion ? MFWQZ_kFwRevSecond : MFWQZ_kFwRevSecondOld;
  if (length < ulSecond + 4) {
    MFWQZ_FileEvent(MFWQZ_kFileShortRead, length);
    return 0;
  }
  const u8* s = p + ulSecond;
  const u16 usWord0 = MFWQZ_GetU16(s);
  if ((usWord0 >= 1 && usWord0 <= MFWQZ_kFwRevSecondWord0BadMax) || MFWQZ_GetU16(s + 2) != MFWQZ_kFwRevSecondWord1) {
    MFWQZ_FileEvent(MFWQZ_kFileSecondWords, usWord0);
    return 0;
  }
  if (length != ulSecond + ulSecondLen + 4) {
    MFWQZ_FileEvent(MFWQZ_kFileShortRead, length);
    return 0;
  }
  const u32 ulSecondCrc = MFWQZ_Crc(s, ulSecondLen);
  if (ulSecondCrc != MFWQZ_GetU32(s + ulSecondLen)) {
    MFWQZ_FileEvent(MFWQZ_kFileSecondCrc, ulSecondCrc);
    return 0;
  }
  *second = MFWQZ_FwRevSecond{};
  second->usFlags = MFWQZ_GetU16(s + 4);
  if ((second->usFlags & MFWQZ_kFwRevFlagQorUdid) != 0) {
    std::memcpy(second->aucUdid, s + 6, MFWQZ_kUdidBytes);
  }
  if ((second->usFlags & MFWQZ_kFwRevFlagTargetId) != 0) {
    std::memcpy(second->aucTarget, s + 12, MFWQZ_kTargetIdBytes);
  }
  if (usVersion == MFWQZ_kFwRevVersion && (second->usFlags & MFWQZ_kFwRevFlagPassword) != 0) {
    std::memcpy(second->aucPassword, s + 20, MFWQZ_kPasswordBytes);
  }
  *count = static_cast<u16>(ulCount);
  return 1;
}

/// Takes a verified "fwrevcnf.bin" over; 0 when a revision could not be stored.
static u8 MFWQZ_ApplyFwRev(u16 count, const MFWQZ_FwRevSecond& second) {
  if (MFWQZ_AcknowledgeFwMismatches == 1) {
    (void)MFWQZ_ClearCnfRev();
  }
  for (u32 i = 0; i < count; ++i) {
    const u8* e = MFWQZ_aucFileBuf + MFWQZ_kFwRevHeader + MFWQZ_kFwRevEntry * i;
    const u16 usSadr = MFWQZ_GetU16(e);
    const u16 usRev = MFWQZ_GetU16(e + 2);
    if (MFWQZ_AcknowledgeFwMismatches == 1 && MFWQZ_StoreCnfRev(usSadr, usRev) == 0) {
      return 0;
    }
    if constexpr (!SCM_kLegacy) {
      MFWQZ_SetStoredRev(usSadr, usRev);
    }
  }
  (void)MFWQZ_AuthorSetReqUdid(second.aucUdid, second.aucTarget);
  std::memcpy(MFWQZ_gaucPassword, second.aucPassword, MFWQZ_kPasswordBytes);
  MFWQZ_bFwRevTargetIdRead = (second.usFlags & MFWQZ_kFwRevFlagTargetId) != 0 ? 1 : 0;
  MFWQZ_CvEmptyBeforeBoot = (second.usFlags & MFWQZ_kFwRevFlagCvEmpty) != 0 ? 1 : 0;
  MFWQZ_SetupModeFlagRead = (second.usFlags & MFWQZ_kFwRevFlagSetupMode) != 0 ? 1 : 2;
  return 1;
}

u8 MFWQZ_FwRevLoad(u32 unlockFw) {
  i32 lLength = -1;
  const u8 ucRead = MFWQZ_ReadWhole(MFWQZ_kFwRevName, MFWQZ_kFwRevMaxBytes, &lLength);
  if (ucRead == 0) {
    return 0;
  }
  u8 ucValid = 0;
  if (ucRead == 2) {
    MFWQZ_FileEvent(MFWQZ_kFileTooLong, static_cast<u32>(lLength));
  } else if (lLength == 0) {
    if (MFWQZ_AcknowledgeFwMismatches == 1) {
      (void)MFWQZ_ClearCnfRev();
    }
    ucValid = 1;
  } else {
    u16 usCount = 0;
    MFWQZ_FwRevSecond second;
    ucValid = MFWQZ_VerifyFwRev(static_cast<u32>(lLength), &usCount, &second) != 0 &&
                      MFWQZ_ApplyFwRev(usCount, second) != 0
                  ? 1
                  : 0;
  }
  if (ucValid == 0) {
    // The file's content is unusable: empty it and accept no revision from it.
    (void)MFWQZ_ClearCnfRev();
    if (MFWQZ_EmptyFile(MFWQZ_kFwRevName) == 0) {
      return 0;
    }
    lLength = 0;
  }
  MFWQZ_KeepFwRev(MFWQZ_aucFileBuf, static_cast<u32>(lLength));
  // The older release's load releases nothing: its writers release the hold-off themselves.
  if (!SCM_kLegacy && unlockFw == 1) {
    MFWQZ_gbLockPostFw = 0;
  }
  return 1;
}

// The public forms: the current release's take the argument, the older release's none.
#if !SCM_PROFILE_LEGACY
u32 MFWQZ_RevStore(u32 acceptCurrent) { return MFWQZ_FwRevStore(acceptCurrent); }
u8 MFWQZ_RevLoad(u32 unlockFw) { return MFWQZ_FwRevLoad(unlockFw); }
#else
u32 MFWQZ_RevStore(void) { return MFWQZ_FwRevStore(0); }
u8 MFWQZ_RevLoad(void) { return MFWQZ_FwRevLoad(0); }
#endif

// ---------------------------------------------------------------------------
// "autocnf.bin"
// ---------------------------------------------------------------------------

/// Where the sections of a verified "autocnf.bin" are (offset 0: absent).
struct MFWQZ_AutoLayout {
  u32 ulTimestamp;  ///< header time stamp (0 for the old layout)
  u32 ulUdidOff;    ///< UDID section
  u32 ulUdidCount;  ///< its entries
  u32 ulOptOff;     ///< machine-option section
  u32 ulFlagOff;    ///< module-flag section
  u32 ulFlagLen;    ///< its length (268 or 396)
  u32 ulFileCrc;    ///< file CRC (for the old layout, the CRC of the whole file)
};

static void MFWQZ_AutoEvent(u32 code, u16 information0, u32 information1) {
  MFWQZ_EnregisterEvent(code, information0, information1);
}

/// Checks a UDID section at off with len bytes available; 1 valid.
static u8 MFWQZ_VerifyAutoUdid(u32 off, u32 len, u32* count) {
  const u8* p = MFWQZ_aucFileBuf + off;
  if (len < 12) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoSize, len);
    return 0;
  }
  const u32 ulCount = MFWQZ_GetU16(p);
  if (ulCount > MFWQZ_kAutoUdidCountMax) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoUdidCount, ulCount);
    return 0;
  }
  const u16 aWords[3] = {MFWQZ_GetU16(p + 2), MFWQZ_GetU16(p + 4), MFWQZ_GetU16(p + 6)};
  if (aWords[0] != 8) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoUdidEntry, aWords[0]);
    return 0;
  }
  if (aWords[1] != MFWQZ_kAutoVersionOld) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoUdidVersion, aWords[1]);
    return 0;
  }
  if (aWords[2] != 8) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoUdidOffset, aWords[2]);
    return 0;
  }
  const u32 ulCrcPos = 8 + 8 * ulCount;
  if (len != ulCrcPos + 4) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoSize, len);
    return 0;
  }
  for (u32 i = 0; i < ulCount; ++i) {
    const u16 usSadr = MFWQZ_GetU16(p + 8 + 8 * i);
    if (usSadr == 0 || usSadr > MFWQZ_kSadrMax ||
        (MFWQZ_ModuleInfo[usSadr].ulFlags & MFWQZ_kFlagAutoConfigured) == 0) {
      MFWQZ_AutoEvent(MFWQZ_kEvtAutoNotMarked, 0, usSadr);
      return 0;
    }
  }
  if (MFWQZ_Crc(p, ulCrcPos) != MFWQZ_GetU32(p + ulCrcPos)) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoUdidCrc, MFWQZ_GetU32(p + ulCrcPos));
    return 0;
  }
  *count = ulCount;
  return 1;
}

/// Checks the 64-byte header of a version-0x0400 file in its order; 1 valid.
static u8 MFWQZ_VerifyAutoHeader(u32 length, MFWQZ_AutoLayout* layout) {
  const u8* p = MFWQZ_aucFileBuf;
  if (length < MFWQZ_kAutoHeader + 4) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoSize, length);
    return 0;
  }
  const u32 ulStoredHeaderCrc = MFWQZ_GetU32(p + 60);
  const u32 ulSections = MFWQZ_GetU16(p);
  const u32 ulUdidLen = MFWQZ_GetU32(p + 12);
  const u32 ulUdidOff = MFWQZ_GetU32(p + 16);
  const u32 ulOptLen = MFWQZ_GetU32(p + 20);
  const u32 ulOptOff = MFWQZ_GetU32(p + 24);
  const u32 ulFlagLen = MFWQZ_GetU32(p + 28);
  const u32 ulFlagOff = MFWQZ_GetU32(p + 32);
  const u32 ulUdidCount = length >= MFWQZ_kAutoHeader + 2 ? MFWQZ_GetU16(p + MFWQZ_kAutoHeader) : 0;
  const u32 ulNonEmpty = (ulUdidLen != 0 ? 1u : 0u) + (ulOptLen != 0 ? 1u : 0u) + (ulFlagLen != 0 ? 1u : 0u);
  const struct {
    bool bad;       // the check fails
    u16 reason;     // information0
    u32 value;      // information1
  } aChecks[] = {
      {MFWQZ_Crc(p, 60) != ulStoredHeaderCrc, MFWQZ_kAutoHeaderCrc, ulStoredHeaderCrc},
      {ulSections > 3, MFWQZ_kAutoSections, ulSections},
      {MFWQZ_GetU16(p + 2) != MFWQZ_kAutoHeader, MFWQZ_kAutoHeaderLen, MFWQZ_GetU16(p + 2)},
      {MFWQZ_GetU16(p + 6) != 8, MFWQZ_kAutoWord6, MFWQZ_GetU16(p + 6)},
      {ulUdidLen > MFWQZ_kAutoUdidMax, MFWQZ_kAutoUdidLen, ulUdidLen},
      {ulUdidOff != (ulUdidLen != 0 ? MFWQZ_kAutoHeader : 0u), MFWQZ_kAutoUdidOff, ulUdidOff},
      {ulOptLen != 0 && ulOptLen != MFWQZ_kMachineOptionBytes, MFWQZ_kAutoOptLen, ulOptLen},
      {ulOptOff != (ulOptLen != 0 ? MFWQZ_kAutoHeader + ulUdidLen : 0u), MFWQZ_kAutoOptOff, ulOptOff},
      {ulFlagLen != 0 && ulFlagLen != MFWQZ_kAutoFlagsTwo && ulFlagLen != MFWQZ_kAutoFlagsThree, MFWQZ_kAutoFlagLen,
       ulFlagLen},
      {ulFlagOff != (ulFlagLen != 0 ? MFWQZ_kAutoHeader + ulUdidLen + ulOptLen : 0u), MFWQZ_kAutoFlagOff, ulFlagOff},
      {ulUdidLen != 0 && ulUdidLen != 12 + 8 * ulUdidCount, MFWQZ_kAutoUdidLenCount, ulUdidLen},
      {ulSections != ulNonEmpty, MFWQZ_kAutoSections, ulSections},
      {length != MFWQZ_kAutoHeader + ulUdidLen + ulOptLen + ulFlagLen + 4, MFWQZ_kAutoSize, length},
  };
  for (const auto& rCheck : aChecks) {
    if (rCheck.bad) {
      MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, rCheck.reason, rCheck.value);
      return 0;
    }
  }
  layout->ulTimestamp = MFWQZ_GetU32(p + 8);
  layout->ulUdidOff = ulUdidOff;
  layout->ulOptOff = ulOptOff;
  layout->ulFlagOff = ulFlagOff;
  layout->ulFlagLen = ulFlagLen;
  return 1;
}

/// Checks the machine-option section (present or not) against the requirement; 1 valid.
static u8 MFWQZ_VerifyAutoOptions(u32 off) {
  const u32 ulRequired = MFWQZ_gbMachineOptionsActive != 0 ? 1 : 0;
  if (off != 0) {
    const u8* p = MFWQZ_aucFileBuf + off;
    const u32 ulStored = MFWQZ_GetU32(p + 72);
    const u16 aExpected[4] = {0x0200, 64, 0x0100, 8};
    if (MFWQZ_Crc(p, 72) != ulStored) {
      MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoOptCrc, ulStored);
      return 0;
    }
    for (u32 i = 0; i < 4; ++i) {
      if (MFWQZ_GetU16(p + 2 * i) != aExpected[i]) {
        MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, static_cast<u16>(MFWQZ_kAutoOptWords + i), MFWQZ_GetU16(p + 2 * i));
        return 0;
      }
    }
  }
  if ((off != 0 ? 1u : 0u) != ulRequired) {
    MFWQZ_AutoEvent(MFWQZ_kEvtMachineOptions, 0, off != 0 ? 1 : 0);
    return 0;
  }
  return 1;
}

/// Checks the module-flag section; 1 valid.
static u8 MFWQZ_VerifyAutoFlags(u32 off, u32 len) {
  if (MFWQZ_gbStartupFlagsActive != 1) {
    MFWQZ_AutoEvent(MFWQZ_kEvtModuleFlags, 0, 0);
    return 0;
  }
  const u8* p = MFWQZ_aucFileBuf + off;
  const u32 ulStored = MFWQZ_GetU32(p + len - 4);
  const u32 ulThree = len == MFWQZ_kAutoFlagsThree ? 1 : 0;
  const u16 aExpected[4] = {static_cast<u16>(ulThree != 0 ? 3072 : 2048), static_cast<u16>(ulThree != 0 ? 384 : 256),
                            static_cast<u16>(ulThree != 0 ? 0x0101 : 0x0100), 8};
  if (MFWQZ_Crc(p, len - 4) != ulStored) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoFlagCrc, ulStored);
    return 0;
  }
  for (u32 i = 0; i < 4; ++i) {
    if (MFWQZ_GetU16(p + 2 * i) != aExpected[i]) {
      MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, static_cast<u16>(MFWQZ_kAutoFlagBits + i), MFWQZ_GetU16(p + 2 * i));
      return 0;
    }
  }
  const u8* pOpt = p + 8;
  const u8* pStp = pOpt + MFWQZ_kSadrSetBytes;
  const u8* pNpr = ulThree != 0 ? pStp + MFWQZ_kSadrSetBytes : MFWQZ_gaucNprFlags;
  for (u16 usSadr = 1; usSadr <= MFWQZ_kSadrMax; ++usSadr) {
    const u32 ulOpt = MFWQZ_TestSadrBit(pOpt, usSadr);
    const u32 ulStp = MFWQZ_TestSadrBit(pStp, usSadr);
    if (ulOpt + ulStp + MFWQZ_TestSadrBit(pNpr, usSadr) > 1) {
      MFWQZ_AutoEvent(MFWQZ_kEvtModuleFlags, 1, usSadr);
      return 0;
    }
    if ((ulOpt | ulStp) != 0 && (MFWQZ_ModuleInfo[usSadr].ulFlags & MFWQZ_kFlagConfigured) == 0) {
      MFWQZ_AutoEvent(MFWQZ_kEvtModuleFlags, 2, usSadr);
      return 0;
    }
  }
  return 1;
}

/// Checks "autocnf.bin" in MFWQZ_aucFileBuf in the file's order; 1 valid.
static u8 MFWQZ_VerifyAuto(u32 length, MFWQZ_AutoLayout* layout) {
  *layout = MFWQZ_AutoLayout{};
  const u16 usVersion = length >= 8 ? MFWQZ_GetU16(MFWQZ_aucFileBuf + 4) : 0;
  if (usVersion == MFWQZ_kAutoVersionOld) {
    MFWQZ_EnregisterEventLevel(MFWQZ_kEvtAutoOldLayout, MFWQZ_kAutoFileVersion, MFWQZ_kAutoVersionOld,
                               MFWQZ_kFileEventLevel);
    if (MFWQZ_VerifyAutoUdid(0, length, &layout->ulUdidCount) == 0 || MFWQZ_VerifyAutoOptions(0) == 0) {
      return 0;
    }
    layout->ulFileCrc = MFWQZ_Crc(MFWQZ_aucFileBuf, length);
    return 1;
  }
  if (usVersion != MFWQZ_kAutoVersion) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoFileVersion, usVersion);
    return 0;
  }
  if (MFWQZ_VerifyAutoHeader(length, layout) == 0) {
    return 0;
  }
  const u32 ulUdidLen = MFWQZ_GetU32(MFWQZ_aucFileBuf + 12);
  if (layout->ulUdidOff != 0 && MFWQZ_VerifyAutoUdid(layout->ulUdidOff, ulUdidLen, &layout->ulUdidCount) == 0) {
    return 0;
  }
  if (MFWQZ_VerifyAutoOptions(layout->ulOptOff) == 0) {
    return 0;
  }
  if (layout->ulFlagOff != 0 && MFWQZ_VerifyAutoFlags(layout->ulFlagOff, layout->ulFlagLen) == 0) {
    return 0;
  }
  const u32 ulStored = MFWQZ_GetU32(MFWQZ_aucFileBuf + length - 4);
  if (MFWQZ_Crc(MFWQZ_aucFileBuf, length - 4) != ulStored) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoFileCrc, ulStored);
    return 0;
  }
  layout->ulFileCrc = ulStored;
  return 1;
}

/// Takes a verified "autocnf.bin" over; 0 when a UDID could not be written.
static u8 MFWQZ_ApplyAuto(const MFWQZ_AutoLayout& layout) {
  const u8* pUdids = MFWQZ_aucFileBuf + layout.ulUdidOff + 8;
  for (u32 i = 0; i < layout.ulUdidCount; ++i) {
    if (MFWQZ_StoreAutoCnfUdid(MFWQZ_GetU16(pUdids + 8 * i), pUdids + 8 * i + 2) == 0) {
      return 0;
    }
  }
  if (layout.ulOptOff != 0) {
    std::memcpy(MFWQZ_aucMachineOptions, MFWQZ_aucFileBuf + layout.ulOptOff, MFWQZ_kMachineOptionBytes);
    MFWQZ_geMachineOptionsStatus = 1;
  }
  if (layout.ulFlagOff != 0) {
    const u8* pArrays = MFWQZ_aucFileBuf + layout.ulFlagOff + 8;
    std::memcpy(MFWQZ_gaucOptFlags, pArrays, MFWQZ_kSadrSetBytes);
    std::memcpy(MFWQZ_gaucStpFlags, pArrays + MFWQZ_kSadrSetBytes, MFWQZ_kSadrSetBytes);
    if (layout.ulFlagLen == MFWQZ_kAutoFlagsThree) {
      std::memcpy(MFWQZ_gaucNprFlags, pArrays + 2 * MFWQZ_kSadrSetBytes, MFWQZ_kSadrSetBytes);
    }
    MFWQZ_gbModuleFlagsStatus = 1;
  }
  return 1;
}

/// Step 9: the module flags are valid unless required and not supplied; 1 valid.
static u8 MFWQZ_AutoFlagsDone(void) {
  if (MFWQZ_gbModuleFlagsStatus == 1 || MFWQZ_gbStartupFlagsActive != 1) {
    MFWQZ_gbModuleFlagsStatus = 1;
    return 1;
  }
  MFWQZ_RequiredReloadedFileMissing |= 2;
  MFWQZ_AutoEvent(MFWQZ_kEvtModuleFlags, 3, 3);
  return 0;
}

u8 MFWQZ_AutoLoad(void) {
  MFWQZ_geMachineOptionsStatus = 2;
  MFWQZ_gbModuleFlagsStatus = 0;
  std::memset(MFWQZ_aucMachineOptions, 0, sizeof(MFWQZ_aucMachineOptions));
  i32 lLength = -1;
  const u8 ucRead = MFWQZ_ReadWhole(MFWQZ_kAutoName, MFWQZ_kAutoMaxBytes, &lLength);
  if (ucRead == 0) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoSize, static_cast<u32>(lLength));
    return 0;
  }
  if (ucRead == 1 && lLength == 0) {
    u8 ucResult = 1;
    if (MFWQZ_gbMachineOptionsActive != 0) {
      MFWQZ_RequiredReloadedFileMissing |= 1;
      MFWQZ_AutoEvent(MFWQZ_kEvtMachineOptions, 0, 0);
      ucResult = 0;
    }
    return MFWQZ_AutoFlagsDone() != 0 ? ucResult : 0;
  }
  MFWQZ_AutoLayout layout;
  if (ucRead == 2) {
    MFWQZ_AutoEvent(MFWQZ_kEvtAutoFile, MFWQZ_kAutoSize, static_cast<u32>(lLength));
  } else if (MFWQZ_VerifyAuto(static_cast<u32>(lLength), &layout) != 0 && MFWQZ_ApplyAuto(layout) != 0) {
    MFWQZ_NoteAutoCnf(layout.ulTimestamp, static_cast<u32>(lLength), layout.ulFileCrc);
    return MFWQZ_AutoFlagsDone();
  }
  // Unusable content: empty the file and fall back on the parameter set's own arrays.
  const u8 ucEmptied = MFWQZ_EmptyFile(MFWQZ_kAutoName);
  (void)MFWQZ_ClearAutoCnfUdid();
  MFWQZ_geMachineOptionsStatus = 2;
  std::memset(MFWQZ_aucMachineOptions, 0, sizeof(MFWQZ_aucMachineOptions));
  MFWQZ_NoteAutoCnf(0xFFFFFFFFu, static_cast<u32>(lLength), 0xFFFFFFFFu);
  std::memcpy(MFWQZ_gaucOptFlags, MFWQZ_gaucOptFlags_SOD, MFWQZ_kSadrSetBytes);
  std::memcpy(MFWQZ_gaucStpFlags, MFWQZ_gaucStpFlags_SOD, MFWQZ_kSadrSetBytes);
  std::memcpy(MFWQZ_gaucNprFlags, MFWQZ_gaucNprFlags_SOD, MFWQZ_kSadrSetBytes);
  MFWQZ_gbModuleFlagsStatus = 1;
  return ucEmptied;
}

u32 MFWQZ_GetMachineOptions(u8* buffer, u32 length) {
  if (buffer == nullptr) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtMachineOptionsArg, 0, 0);
    return 2;
  }
  if (length > MFWQZ_kMachineOptionBytes) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtMachineOptionsArg, 1, length);
    return 2;
  }
  if (MFWQZ_geMachineOptionsStatus == 1) {
    std::memcpy(buffer, MFWQZ_aucMachineOptions, length);
  }
  return MFWQZ_geMachineOptionsStatus;
}

// ---------------------------------------------------------------------------
// Key-medium identity
// ---------------------------------------------------------------------------

static void MFWQZ_CorvaneEvent(u32 information1) {
  MFWQZ_EnregisterEventLevel(MFWQZ_kEvtCorvaneId, 0, information1, MFWQZ_kFileEventLevel);
}

/// Creates "corvane.uid" for the running Qor-controller UDID; 1 written.
static u8 MFWQZ_CreateCorvaneUid(void) {
  timespec now = {};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
    MFWQZ_CorvaneEvent(2);
    return 0;
  }
  const u64 ullUs = static_cast<u64>(now.tv_sec) * 1000000u + static_cast<u64>(now.tv_nsec) / 1000u;
  u8 aucFile[MFWQZ_kCorvaneUidBytes] = {};
  MFWQZ_PutU32(aucFile, 0x00000100u);
  if (MFWQZ_pucActQzUdid != nullptr) {
    std::memcpy(aucFile + 4, MFWQZ_pucActQzUdid, MFWQZ_kUdidBytes);
  }
  MFWQZ_PutU32(aucFile + 10, static_cast<u32>(ullUs));
  MFWQZ_PutU32(aucFile + 14, static_cast<u32>(ullUs >> 32) & 0x000FFFFFu);
  if (MFWQZ_WriteOnce(MFWQZ_kCorvaneUidName, aucFile, sizeof(aucFile)) == 0) {
    MFWQZ_CorvaneEvent(3);
    return 0;
  }
  std::memcpy(MFWQZ_aucCorvaneUid, aucFile, sizeof(aucFile));
  MFWQZ_bCorvaneUidKnown = 1;
  return 1;
}

u8 MFWQZ_ReadCorvaneId(const u8* qorUdid) {
  MFWQZ_pucActQzUdid = qorUdid;
  std::memset(&MFWQZ_sReqHardwareId, 0, sizeof(MFWQZ_sReqHardwareId));
  MFWQZ_bCvnChanged = 1;
  i32 lLength = -1;
  const u8 ucRead = MFWQZ_ReadWhole(MFWQZ_kCorvaneUidName, MFWQZ_kCorvaneUidBytes, &lLength);
  if (ucRead == 0 && MFWQZ_bLastOpened == 0) {
    MFWQZ_CorvaneEvent(0);
    if (MFWQZ_bLastOpenMissing == 0) {
      // Busy or refused: the file may well be there; it stays as it is.
      return 0;
    }
  } else if (ucRead == 0) {
    MFWQZ_CorvaneEvent(1);
    return 0;
  }
  if (ucRead == 1 && static_cast<u32>(lLength) == MFWQZ_kCorvaneUidBytes) {
    std::memcpy(MFWQZ_aucCorvaneUid, MFWQZ_aucFileBuf, MFWQZ_kCorvaneUidBytes);
    MFWQZ_bCorvaneUidKnown = 1;
  } else if (MFWQZ_CreateCorvaneUid() == 0) {
    return 0;
  }
  u8 aucFlash[MFWQZ_kCorvaneUidBytes] = {};
  if (MFWQZ_ReadKeyMediumCopy(aucFlash) == 0) {
    return 0;
  }
  MFWQZ_bCvnFromQorAvailable = 1;
  if (std::memcmp(aucFlash, MFWQZ_aucCorvaneUid, MFWQZ_kCorvaneUidBytes) == 0) {
    MFWQZ_bCvnChanged = 0;
  } else {
    MFWQZ_CorvaneEvent(4);
  }
  return 1;
}

u8 MFWQZ_SetCorvaneId(void) {
  if (MFWQZ_bCorvaneUidKnown == 0) {
    return 0;
  }
  return MFWQZ_WriteKeyMediumCopy(MFWQZ_aucCorvaneUid);
}
