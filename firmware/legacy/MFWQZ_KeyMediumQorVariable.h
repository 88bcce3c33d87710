// The older release's key-medium copy: Qor variable 4 read and written over
// host channel 6.
#pragma once
#include "MFWQZ_AppFiles.h"
#include "ScmTypes.h"

/// Qor variable of the key-medium identity (18 bytes, the layout of "corvane.uid").
inline constexpr u8 MFWQZ_kQorVarKeyMedium = 4;
/// Fatal: a Qor-variable exchange failed (information0 says where, below).
inline constexpr u32 MFWQZ_kEvtQorVariable = 0x9200C092u;
/// Fatal: the Qor controller reported a fail-safe state (information0 the state, information1 the SDN).
inline constexpr u32 MFWQZ_kEvtQorFailSafe = 0x9200C093u;

/// What information0 of MFWQZ_kEvtQorVariable names on a read.
enum : u16 {
  MFWQZ_kQorOpenFailed = 0,       ///< channel open failed (information1 the SDN)
  MFWQZ_kQorSendFailed = 1,       ///< request not sent (information1 the SDN)
  MFWQZ_kQorCloseFailed = 3,      ///< channel close failed (information1 the SDN)
  MFWQZ_kQorReplyFailed = 7,      ///< receive error (information1 the SDN)
  MFWQZ_kQorReplyHeader = 10,     ///< wrong first or length byte (second x 256 + first)
  MFWQZ_kQorReplyThreeBytes = 11, ///< a 3-byte reply (first + second x 256 + third x 65536)
  MFWQZ_kQorReplyLength = 12,     ///< a reply of another length (the length)
  MFWQZ_kQorReplyTimeout = 13,    ///< no reply within 10 s (the variable id)
};

/// Reads Qor variable id: requests it and waits for the reply {id OR 0x80, length,
/// length bytes}, which it copies into data; 0, or -1 after a fatal event and the latch.
i32 WaitForValidResponse(u8 id, u8* data, u32 length);
/// Reads the key-medium identity from variable 4; 0 or -1.
i32 MFWQZ_LoadCorvaneIdFromQor(u8 id[MFWQZ_kCorvaneUidBytes]);
/// Writes the key-medium identity as variable 4 (18 bytes); 0 or -1.
i32 MFWQZ_SaveCorvaneIdToQor(const u8 id[MFWQZ_kCorvaneUidBytes]);
