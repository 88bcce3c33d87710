// Diagnosis objects 0x2410..0x245F, read by the object-read command of remote
// control: the module counters, the new status bits, the stack's event and
// error counters and what is known of the loaded "autocnf.bin". The older
// release offers no diagnosis objects: its build holds only what the file
// loaders write.
#pragma once
#include "ScmProfile.h"
#include "ScmTypes.h"

/// Bits set by the file loaders: 0x1 machine options required but missing, 0x2 module flags required but missing.
extern u32 MFWQZ_RequiredReloadedFileMissing;
/// Notes what is known of "autocnf.bin" after a load (timestamp and crc 0xFFFFFFFF: no valid file;
/// length in bytes); nothing to note in the older release's build.
void MFWQZ_NoteAutoCnf(u32 timestamp, u32 length, u32 crc);

#if !SCM_PROFILE_LEGACY

/// Error byte of an entry: read.
inline constexpr u8 MFWqz_kOdOk = 0;
/// Error byte of an entry: not read, the value gives the reason.
inline constexpr u8 MFWqz_kOdError = 1;
/// Reason: no such object.
inline constexpr u32 MFWqz_kOdNoObject = 2;
/// Reason: the sub-index does not exist.
inline constexpr u32 MFWqz_kOdNoSubIndex = 3;
/// Reason: the value is not available.
inline constexpr u32 MFWqz_kOdUnavailable = 7;

/// A handler: the entry's error byte; *value the value or the reason.
using MFWqz_BusOdHandler = u8 (*)(u16 index, u8 subIndex, u32* value);

/// One row of the diagnosis object table.
struct MFWqz_BusOdRow {
  u16 usFirstIndex;             ///< lowest index of the row
  u16 usLastIndex;              ///< highest index of the row
  u8 ucFirstSub;                ///< lowest sub-index
  u8 ucLastSub;                 ///< highest sub-index
  MFWqz_BusOdHandler pHandler;  ///< handler of the row
};

/// Rows of the table, searched in order.
inline constexpr u32 MFWqz_kBusOdRows = 3;
/// The diagnosis object table.
extern const MFWqz_BusOdRow MFWqz_BusOd[MFWqz_kBusOdRows];

/// What is known of one file.
struct MFWQZ_DiagnoseFileInfo {
  u32 ulSub1;            ///< value of sub-index 1 (time stamp; 0xFFFFFFFF no valid file)
  u32 ulSub3;            ///< value of sub-index 3 (file length)
  u32 ulWords;           ///< words at pulWords, sub-indices 11..10+N
  const u32* pulWords;   ///< the words (CRC-32 of the file); null: not available
};

/// Records of MFWQZ_aDiagnoseFileInfo (objects 0x2424..0x2427).
inline constexpr u32 MFWQZ_kDiagnoseFiles = 4;
/// Value of a record that nothing filled yet.
inline constexpr u32 MFWQZ_kDiagnoseUnset = 0xFFFFFFFEu;
/// File information; record 0 describes "autocnf.bin", which its loader fills.
extern MFWQZ_DiagnoseFileInfo MFWQZ_aDiagnoseFileInfo[MFWQZ_kDiagnoseFiles];

/// Reads one diagnosis object; the entry's error byte, *value the value or the reason.
u8 MFWqz_BusOdRead(u16 index, u8 subIndex, u32* value);
/// Object 0x2410.
u8 BUS_Obj_DiagDataQzMainInst(u16 index, u8 subIndex, u32* value);
/// Objects 0x2424..0x2427.
u8 BUS_Obj_DiagFileInfos(u16 index, u8 subIndex, u32* value);
/// Every other object of 0x2410..0x245F.
u8 BUS_Obj_CallbackDefault(u16 index, u8 subIndex, u32* value);
#endif
