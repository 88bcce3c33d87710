// Diagnosis objects: a table of index and sub-index ranges, the first row that
// holds a request answers it.
#include "MFWQZ_BusOd.h"

#include "EPSglobal.h"
#include "MFWQZ.h"
#include "MFWQZ_Remote.h"

/// The words of the records that nothing filled yet.
static const u32 s_aulUnsetWord[MFWQZ_kDiagnoseFiles] = {MFWQZ_kDiagnoseUnset, MFWQZ_kDiagnoseUnset,
                                                         MFWQZ_kDiagnoseUnset, MFWQZ_kDiagnoseUnset};

MFWQZ_DiagnoseFileInfo MFWQZ_aDiagnoseFileInfo[MFWQZ_kDiagnoseFiles] = {
    {MFWQZ_kDiagnoseUnset, 0, 1, &s_aulUnsetWord[0]},
    {MFWQZ_kDiagnoseUnset, 0, 1, &s_aulUnsetWord[1]},
    {MFWQZ_kDiagnoseUnset, 0, 1, &s_aulUnsetWord[2]},
    {MFWQZ_kDiagnoseUnset, 0, 1, &s_aulUnsetWord[3]},
};
/// CRC-32 of the last good "autocnf.bin" or 0xFFFFFFFF (the word of record 0).
static u32 MFWQZ_ulAutoCnfCrc = 0xFFFFFFFFu;

void MFWQZ_NoteAutoCnf(u32 timestamp, u32 length, u32 crc) {
  MFWQZ_ulAutoCnfCrc = crc;
  MFWQZ_aDiagnoseFileInfo[0] = MFWQZ_DiagnoseFileInfo{timestamp, length, 1, &MFWQZ_ulAutoCnfCrc};
}

const MFWqz_BusOdRow MFWqz_BusOd[MFWqz_kBusOdRows] = {
    {0x2410, 0x2410, 1, 51, BUS_Obj_DiagDataQzMainInst},
    {0x2424, 0x2427, 1, 254, BUS_Obj_DiagFileInfos},
    {0x2410, 0x245F, 1, 254, BUS_Obj_CallbackDefault},
};

/// First sub-index of the common event counters of 0x2410.
static constexpr u8 k_SUB_COMMON_FIRST = 14;
/// Last sub-index of the common event counters.
static constexpr u8 k_SUB_COMMON_LAST = 26;
/// First sub-index of the error counters of 0x2410.
static constexpr u8 k_SUB_ERROR_FIRST = 32;
/// Last sub-index of the error counters.
static constexpr u8 k_SUB_ERROR_LAST = 43;
/// First sub-index of a file record's words.
static constexpr u8 k_SUB_WORDS_FIRST = 11;

/// An error entry with its reason.
static u8 MFWqz_Refuse(u32* value, u32 reason) {
  *value = reason;
  return MFWqz_kOdError;
}

/// A counter that may be unavailable (-1).
static u8 MFWqz_Counter(u32* value, i64 counter) {
  if (counter < 0) {
    return MFWqz_Refuse(value, MFWqz_kOdUnavailable);
  }
  *value = static_cast<u32>(counter);
  return MFWqz_kOdOk;
}

u8 BUS_Obj_DiagDataQzMainInst(u16 /*index*/, u8 subIndex, u32* value) {
  if (subIndex >= k_SUB_COMMON_FIRST && subIndex <= k_SUB_COMMON_LAST) {
    return MFWqz_Counter(value, EPS_GetCommonEventCounter(0, static_cast<u32>(subIndex - k_SUB_COMMON_FIRST)));
  }
  if (subIndex >= k_SUB_ERROR_FIRST && subIndex <= k_SUB_ERROR_LAST) {
    return MFWqz_Counter(value, EPS_GetErrorCounter(static_cast<u32>(subIndex - k_SUB_ERROR_FIRST)));
  }
  switch (subIndex) {
    case 2: *value = MFWQZ_gulModuleScanned; break;
    case 8: *value = MFWQZ_NewStatusBits(); break;
    case 9: *value = MFWQZ_ulNumberOfErroneousModules; break;
    case 10: *value = MFWQZ_ulNumberOfUdidMisMatches; break;
    case 11: *value = MFWQZ_ulNumberOfDiffFirmware; break;
    case 12: *value = MFWQZ_gulModuleCount; break;
    case 13: *value = MFWQZ_RequiredReloadedFileMissing; break;
    default: return MFWqz_Refuse(value, MFWqz_kOdNoSubIndex);
  }
  return MFWqz_kOdOk;
}

u8 BUS_Obj_DiagFileInfos(u16 index, u8 subIndex, u32* value) {
  const MFWQZ_DiagnoseFileInfo& rInfo = MFWQZ_aDiagnoseFileInfo[static_cast<u32>(index - 0x2424) % MFWQZ_kDiagnoseFiles];
  if (rInfo.pulWords == nullptr) {
    return MFWqz_Refuse(value, MFWqz_kOdUnavailable);
  }
  if (subIndex == 1) {
    *value = rInfo.ulSub1;
  } else if (subIndex == 2) {
    *value = rInfo.ulWords;
  } else if (subIndex == 3) {
    *value = rInfo.ulSub3;
  } else if (subIndex >= k_SUB_WORDS_FIRST && static_cast<u32>(subIndex - k_SUB_WORDS_FIRST) < rInfo.ulWords) {
    // The word byte by byte, little-endian, as the file loader left it.
    const u8* pucWord = reinterpret_cast<const u8*>(&rInfo.pulWords[subIndex - k_SUB_WORDS_FIRST]);
    *value = static_cast<u32>(pucWord[0]) | (static_cast<u32>(pucWord[1]) << 8) |
             (static_cast<u32>(pucWord[2]) << 16) | (static_cast<u32>(pucWord[3]) << 24);
  } else {
    return MFWqz_Refuse(value, MFWqz_kOdNoSubIndex);
  }
  return MFWqz_kOdOk;
}

u8 BUS_Obj_CallbackDefault(u16 /*index*/, u8 /*subIndex*/, u32* value) {
  return MFWqz_Refuse(value, MFWqz_kOdNoSubIndex);
}

u8 MFWqz_BusOdRead(u16 index, u8 subIndex, u32* value) {
  u32 ulScratch = 0;
  u32* pulValue = value != nullptr ? value : &ulScratch;
  for (const MFWqz_BusOdRow& rRow : MFWqz_BusOd) {
    if (index >= rRow.usFirstIndex && index <= rRow.usLastIndex && subIndex >= rRow.ucFirstSub &&
        subIndex <= rRow.ucLastSub) {
      return rRow.pHandler(index, subIndex, pulValue);
    }
  }
  return MFWqz_Refuse(pulValue, MFWqz_kOdNoObject);
}
