// The rows of the remote check table that both releases carry, in table
// order. Each release's table (MFWQZ_CheckTable.cpp, and the older release's
// in firmware/legacy/) begins with them; only what follows differs.
#pragma once
#include "MFWQZ_Remote.h"

/// Mismatch count without upper bound.
inline constexpr u32 MFWQZ_kMismatchAny = 0xFFFFFFFFu;
/// Rows both releases carry.
inline constexpr u32 MFWQZ_kCheckRowsShared = 13;

// Columns: code, authorisation kind, not authorised, quitting, scanning, (24), (unused), key busy,
// key format, (31), key rule, key result, (unused), minimum and maximum mismatches, range result,
// no firmware difference, (31), (unused). The unused columns keep the values the table was given.
inline constexpr MFWQZ_RemoteCheckRow MFWQZ_kSharedCheckRows[MFWQZ_kCheckRowsShared] = {
    {0x0200, 8, 11, 26, 0, 0, 0, 0, 23, 0, 1, 14, 0, 0, 0, 0, 0, 0, 0},
    {0x0060, 2, 13, 26, 27, 24, 0, 0, 23, 0, 0, 22, 0, 1, 1, 16, 0, 0, 0},
    {0x0050, 2, 13, 26, 27, 24, 0, 0, 23, 0, 0, 22, 0, 2, 2, 17, 0, 0, 0},
    {0x0040, 2, 13, 26, 27, 24, 0, 0, 23, 0, 0, 22, 0, 3, 3, 18, 0, 0, 0},
    {0x0030, 2, 13, 26, 27, 24, 0, 0, 23, 0, 0, 22, 0, 4, 4, 19, 0, 0, 0},
    {0x0020, 2, 13, 26, 27, 24, 0, 0, 23, 0, 0, 22, 0, 5, MFWQZ_kMismatchAny, 20, 0, 0, 0},
    {0x0100, 4, 12, 26, 27, 24, 0, 0, 23, 0, 0, 22, 0, 0, 0, 0, 15, 0, 0},
    {0x2000, 0, 0, 26, 27, 24, 0, 0, 23, 0, 0, 22, 0, 0, 0, 0, 0, 0, 0},
    {0x3000, 8, 11, 26, 0, 24, 0, 0, 23, 0, 0, 22, 0, 0, 0, 0, 0, 31, 0},
    {0x4000, 8, 11, 0, 0, 0, 0, 21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 31, 0},
    {0x5000, 0, 0, 26, 0, 24, 0, 25, 23, 0, 0, 0, 0, 0, 0, 0, 0, 31, 0},
    {0x1000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0x8000, 8, 11, 26, 0, 24, 0, 0, 23, 0, 0, 0, 0, 0, 0, 0, 0, 31, 0},
};
/// The shared rows as the first initialisers of a release's table.
#define MFWQZ_SHARED_CHECK_ROWS                                                                          \
  MFWQZ_kSharedCheckRows[0], MFWQZ_kSharedCheckRows[1], MFWQZ_kSharedCheckRows[2], MFWQZ_kSharedCheckRows[3],   \
      MFWQZ_kSharedCheckRows[4], MFWQZ_kSharedCheckRows[5], MFWQZ_kSharedCheckRows[6],                       \
      MFWQZ_kSharedCheckRows[7], MFWQZ_kSharedCheckRows[8], MFWQZ_kSharedCheckRows[9],                       \
      MFWQZ_kSharedCheckRows[10], MFWQZ_kSharedCheckRows[11], MFWQZ_kSharedCheckRows[12]
static_assert(MFWQZ_kCheckRowsShared == 13, "MFWQZ_SHARED_CHECK_ROWS names every shared row");
/// The end row.
inline constexpr MFWQZ_RemoteCheckRow MFWQZ_kCheckEndRow = {};
