// The older release keeps the Qor controller's copy of the key-medium identity
// as Qor variable 4 (18 bytes, the layout of "corvane.uid"), read over host
// channel 6 with a one-byte request and written like every other variable.
// A failed read is fatal and latches like a failed write: no further exchange
// with the Qor controller is tried until it answers again and is reset.
#include "MFWQZ_KeyMediumQorVariable.h"

#include <cstring>

#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_KeyMedium.h"

namespace {

/// Bit of the first reply byte that marks a read answer.
constexpr u8 kReadAnswerBit = 0x80;
/// The reply being received.
u8 s_aucReply[MFWQZ_kQorChannelSize];

}  // namespace

i32 WaitForValidResponse(u8 id, u8* data, u32 length) {
  const i32 lGot = MFWQZ_QorExchange(id, &id, 1, s_aucReply, sizeof(s_aucReply));
  if (lGot < 0) {
    return -1;
  }
  const u32 ulGot = static_cast<u32>(lGot);
  if (ulGot == 3) {
    return MFWQZ_QorFail(MFWQZ_kQorReplyThreeBytes,
                         s_aucReply[0] + (static_cast<u32>(s_aucReply[1]) << 8) + (static_cast<u32>(s_aucReply[2]) << 16));
  }
  if (ulGot != length + 2) {
    return MFWQZ_QorFail(MFWQZ_kQorReadLength, ulGot);
  }
  if (s_aucReply[0] != static_cast<u8>(id | kReadAnswerBit) || s_aucReply[1] != length) {
    return MFWQZ_QorFail(MFWQZ_kQorReplyHeader, s_aucReply[0] + (static_cast<u32>(s_aucReply[1]) << 8));
  }
  std::memcpy(data, s_aucReply + 2, length);
  return 0;
}

i32 MFWQZ_LoadCorvaneIdFromQor(u8 id[MFWQZ_kCorvaneUidBytes]) {
  return WaitForValidResponse(MFWQZ_kQorVarKeyMedium, id, MFWQZ_kCorvaneUidBytes);
}

i32 MFWQZ_SaveCorvaneIdToQor(const u8 id[MFWQZ_kCorvaneUidBytes]) {
  return WriteValueToQor(MFWQZ_kQorVarKeyMedium, MFWQZ_kCorvaneUidBytes, id);
}

u8 MFWQZ_ReadKeyMediumCopy(u8 id[MFWQZ_kCorvaneUidBytes]) { return MFWQZ_LoadCorvaneIdFromQor(id) == 0 ? 1 : 0; }

u8 MFWQZ_WriteKeyMediumCopy(const u8 id[MFWQZ_kCorvaneUidBytes]) {
  return MFWQZ_SaveCorvaneIdToQor(id) == 0 ? 1 : 0;
}
