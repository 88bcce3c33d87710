// The older release's key-medium copy: Qor variable 4 read and written over
// host channel 6.
#pragma once
#include "MFWQZ_AppFiles.h"
#include "ScmTypes.h"

/// Qor variable of the key-medium identity (18 bytes, the layout of "corvane.uid").
inline constexpr u8 MFWQZ_kQorVarKeyMedium = 4;

/// What information0 of MFWQZ_kEvtQorWrite names on a read, beside the write's codes.
enum : u16 {
  MFWQZ_kQorReplyHeader = 10,     ///< wrong first or length byte (second x 256 + first)
  MFWQZ_kQorReplyThreeBytes = 11, ///< a 3-byte reply (first + second x 256 + third x 65536)
  MFWQZ_kQorReadLength = 12,      ///< a reply of another length (the length)
};

/// Reads Qor variable id: requests it and waits for the reply {id OR 0x80, length,
/// length bytes}, which it copies into data; 0, or -1 after a fatal event and the latch.
i32 WaitForValidResponse(u8 id, u8* data, u32 length);
/// Reads the key-medium identity from variable 4; 0 or -1.
i32 MFWQZ_LoadCorvaneIdFromQor(u8 id[MFWQZ_kCorvaneUidBytes]);
/// Writes the key-medium identity as variable 4 (18 bytes); 0 or -1.
i32 MFWQZ_SaveCorvaneIdToQor(const u8 id[MFWQZ_kCorvaneUidBytes]);
