// This release's remote check table: the shared rows, then setup mode's two
// codes and the code that passes without a check. A code without a row is
// refused (6).
#include "MFWQZ_CheckRows.h"

MFWQZ_RemoteCheckRow MFWQZ_RemoteCheckTable[MFWQZ_kCheckRows] = {
    MFWQZ_kSharedCheckRows[0],
    MFWQZ_kSharedCheckRows[1],
    MFWQZ_kSharedCheckRows[2],
    MFWQZ_kSharedCheckRows[3],
    MFWQZ_kSharedCheckRows[4],
    MFWQZ_kSharedCheckRows[5],
    MFWQZ_kSharedCheckRows[6],
    MFWQZ_kSharedCheckRows[7],
    MFWQZ_kSharedCheckRows[8],
    MFWQZ_kSharedCheckRows[9],
    MFWQZ_kSharedCheckRows[10],
    MFWQZ_kSharedCheckRows[11],
    MFWQZ_kSharedCheckRows[12],
    {0x9000, 0, 0, 26, 27, 24, 0, 25, 23, 0, 0, 0, 0, 0, 0, 0, 0, 31, 0},
    {0x9100, 0, 0, 26, 27, 24, 0, 25, 23, 0, 0, 0, 0, 0, 0, 0, 0, 31, 0},
    {0xF000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    MFWQZ_kCheckEndRow,
};

u16 MFWQZ_CheckCodeWithoutRow(u16 /*code*/, u32 /*raiseEvents*/) { return MFWQZ_k_RES_CODE; }
