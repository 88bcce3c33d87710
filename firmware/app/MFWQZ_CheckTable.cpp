// This release's remote check table: the shared rows, then setup mode's two
// codes and the code that passes without a check. A code without a row is
// refused (6).
#include "MFWQZ_CheckRows.h"

MFWQZ_RemoteCheckRow MFWQZ_RemoteCheckTable[MFWQZ_kCheckRows] = {
    MFWQZ_SHARED_CHECK_ROWS,
    {0x9000, 0, 0, 26, 27, 24, 0, 25, 23, 0, 0, 0, 0, 0, 0, 0, 0, 31, 0},
    {0x9100, 0, 0, 26, 27, 24, 0, 25, 23, 0, 0, 0, 0, 0, 0, 0, 0, 31, 0},
    {0xF000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    MFWQZ_kCheckEndRow,
};

u16 MFWQZ_CheckCodeWithoutRow(u16 /*code*/, u32 /*raiseEvents*/) { return MFWQZ_k_RES_CODE; }
