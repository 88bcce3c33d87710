// Remote control's variable-size object read: the diagnosis objects named in
// the command, answered entry by entry (the current release only: the older
// release has only fixed-size commands).
#include <cstring>

#include "HNFiff_CmdChnl.h"
#include "MFWQZ.h"
#include "MFWQZ_BusOd.h"
#include "MFWQZ_Remote.h"

// Object-read command and answer.
static constexpr u32 k_OR_MIN_LENGTH = 12;      ///< shorter: result 1
static constexpr u32 k_OR_HEADER = 16;          ///< command bytes before the objects
static constexpr u32 k_OR_ANSWER_HEADER = 18;   ///< answer bytes before the entries
static constexpr u32 k_OR_ERROR_ANSWER = 14;    ///< bytes of a refused object read's answer
static constexpr u32 k_OR_OBJECT = 4;           ///< command bytes per object
static constexpr u32 k_OR_ENTRY = 8;            ///< answer bytes per entry
static constexpr u16 k_OR_VERSION = 1;          ///< format version
static constexpr u16 k_OR_RES_SHORT = 1;        ///< command under 12 bytes
static constexpr u16 k_OR_RES_LENGTH = 2;       ///< length or length word does not fit n
static constexpr u16 k_OR_RES_FORMAT = 3;       ///< class or version wrong
static constexpr u16 k_OR_RES_TRUNCATED = 4;    ///< the objects did not fit
static constexpr u16 k_OR_RES_SERVICE = 5;      ///< service byte not 1
static constexpr u16 k_OR_RES_MIXED = 0x100;    ///< the entries carry different error bytes
/// Largest object-read answer the channel buffer holds.
static constexpr u32 k_OR_ANSWER_MAX = MFWQZ_kStatusSize;

/// Writes the short answer of a refused object read.
static u32 MFWQZ_ObjectReadRefusal(u8* out, const u8* cmd, u16 result) {
  std::memset(out, 0, k_OR_ERROR_ANSWER);
  if (result != k_OR_RES_SHORT) {
    std::memcpy(out, cmd, 2);
    MFWQZ_PutU16(out + 2, k_OR_ERROR_ANSWER + 2);
    std::memcpy(out + 4, cmd + 4, 2);
    std::memcpy(out + 8, cmd + 8, 2);
    std::memcpy(out + 12, cmd + 10, 2);
  }
  MFWQZ_PutU16(out + 10, result);
  return k_OR_ERROR_ANSWER;
}

void MFWQZ_ProcessVariableSizeCommand(const u8* cmd, u16 length, u32 reply) {
  if (cmd == nullptr) {
    return;
  }
  // Sizes in 32 bits: n objects never make an answer larger than the channel's buffer.
  const u32 ulCount = length >= k_OR_HEADER ? MFWQZ_GetU16(cmd + 12) : 0;
  const u32 ulWanted = k_OR_HEADER + k_OR_OBJECT * ulCount;
  u16 usResult = 0;
  if (length < k_OR_MIN_LENGTH) {
    usResult = k_OR_RES_SHORT;
  } else if (MFWQZ_GetU16(cmd) != MFWQZ_kClassObjectRead || MFWQZ_GetU16(cmd + 10) != k_OR_VERSION) {
    usResult = k_OR_RES_FORMAT;
  } else if (length < k_OR_HEADER || length != ulWanted || MFWQZ_GetU16(cmd + 2) != ulWanted + 2) {
    usResult = k_OR_RES_LENGTH;
  }
  const u32 ulAnswerLength =
      usResult != 0 ? k_OR_ERROR_ANSWER : k_OR_ANSWER_HEADER + k_OR_ENTRY * (cmd[4] == 1 ? ulCount : 0);
  u8* pucCursor = nullptr;
  u8* pucHandle = HNFiff_GetCMDRSendBuffer(HNFiff_kCmdTypeRemoteControl,
                                           ulAnswerLength <= k_OR_ANSWER_MAX ? ulAnswerLength : k_OR_ANSWER_MAX,
                                           static_cast<u16>(reply), &pucCursor);
  if (pucHandle == nullptr || pucCursor == nullptr) {
    return;
  }
  if (usResult != 0) {
    (void)MFWQZ_ObjectReadRefusal(pucCursor, cmd, usResult);
    (void)HNFiff_SendOrFreeCMDRBuffer(pucHandle, pucCursor, k_OR_ERROR_ANSWER);
    return;
  }
  std::memset(pucCursor, 0, ulAnswerLength);
  std::memcpy(pucCursor, cmd, 2);
  MFWQZ_PutU16(pucCursor + 2, ulAnswerLength + 2);
  std::memcpy(pucCursor + 4, cmd + 4, 2);
  std::memcpy(pucCursor + 8, cmd + 8, 2);
  std::memcpy(pucCursor + 12, cmd + 10, 2);
  u32 ulEntries = 0;
  if (cmd[4] != 1) {
    usResult = k_OR_RES_SERVICE;
  } else {
    u32 ulIn = k_OR_HEADER;
    u32 ulOut = k_OR_ANSWER_HEADER;
    u32 ulFirstError = 0;
    while (ulEntries < ulCount && ulIn + k_OR_OBJECT <= length && ulOut + k_OR_ENTRY <= ulAnswerLength) {
      const u16 usIndex = MFWQZ_GetU16(cmd + ulIn);
      const u8 ucSub = cmd[ulIn + 2];
      u32 ulValue = 0;
      const u8 ucError = MFWqz_BusOdRead(usIndex, ucSub, &ulValue);
      u8* pucEntry = pucCursor + ulOut;
      MFWQZ_PutU16(pucEntry, usIndex);
      pucEntry[2] = ucSub;
      pucEntry[3] = ucError;
      MFWQZ_PutU32(pucEntry + 4, ulValue);
      if (ulEntries == 0) {
        ulFirstError = ucError;
      } else if (ucError != ulFirstError) {
        usResult = k_OR_RES_MIXED;
      }
      ++ulEntries;
      ulIn += k_OR_OBJECT;
      ulOut += k_OR_ENTRY;
    }
    if (ulEntries < ulCount) {
      usResult = k_OR_RES_TRUNCATED;
    }
  }
  MFWQZ_PutU16(pucCursor + 10, usResult);
  MFWQZ_PutU16(pucCursor + 14, ulEntries);
  (void)HNFiff_SendOrFreeCMDRBuffer(pucHandle, pucCursor, ulAnswerLength);
}
