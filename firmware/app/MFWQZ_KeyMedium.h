// The Qor controller's copy of the key-medium identity (the 18 bytes of
// "corvane.uid"). MFWQZ_ReadCorvaneId compares "corvane.uid" with it and
// MFWQZ_SetCorvaneId writes it; where the copy lives is the release's choice:
// flash file 16 in the current release, Qor variable 4 in the older one
// (firmware/legacy/), each behind this one read/write pair.
#pragma once
#include "MFWQZ_AppFiles.h"
#include "ScmTypes.h"

/// Reads the copy into id; 1 when all 18 bytes were read, else 0 (id undefined).
u8 MFWQZ_ReadKeyMediumCopy(u8 id[MFWQZ_kCorvaneUidBytes]);
/// Writes id as the copy; 1 when all 18 bytes were taken, else 0.
u8 MFWQZ_WriteKeyMediumCopy(const u8 id[MFWQZ_kCorvaneUidBytes]);
