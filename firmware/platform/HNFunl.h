// Unlock request and file download. A new configuration file reaches the
// host's storage locked (its first four bytes XOR-ed with an unlock word) next
// to a ".swp" companion holding the four plain bytes. An unlock request names
// the file and the word; the firmware checks the word against the companion,
// writes the file back unlocked, empties the companion and answers. The first
// request of the process's life arms a reset of the safety domain 5 s later,
// so both programs restart on the new file.
#pragma once
#include "ScmTypes.h"

/// Bytes of the buffer that holds the file being unlocked (the largest file accepted).
inline constexpr u32 HNFunl_kBufferSize = 0xC0000u;
/// Bytes of a request: u32 identifier, 13 name bytes, u32 word.
inline constexpr u32 HNFunl_kRequestSize = 21;
/// A request of this many bytes or fewer is refused without an answer.
inline constexpr u32 HNFunl_kShortRequestMax = 20;
/// Bytes of the name field of a request.
inline constexpr u32 HNFunl_kNameSize = 13;
/// Bytes of an answer: u32 identifier, i32 result.
inline constexpr u32 HNFunl_kResponseSize = 8;
/// Bytes locked by the word and kept plain in the companion.
inline constexpr u32 HNFunl_kLockedBytes = 4;
/// The reset fires once more than this many microseconds passed since it was armed.
inline constexpr u32 HNFunl_kResetDelayUs = 4999999u;
/// Result of an unlocked file.
inline constexpr i32 HNFunl_kResultUnlocked = 0;
/// Result of a refused or failed unlock.
inline constexpr i32 HNFunl_kResultRefused = -1;

/// Event: an unlock failed (information0 = the reason below, information1 = errno unless the reason says otherwise).
inline constexpr u32 HNFunl_kEvtUnlock = 0x6200AF1Du;
/// Event: a request of 20 bytes or fewer (information0 = 1, information1 = the length).
inline constexpr u32 HNFunl_kEvtShortRequest = 0x62008483u;
/// information1 of HNFcyc_kEvtResetFailed for a failed domain reset.
inline constexpr u32 HNFunl_kResetFailedInfo = 2;

/// information0 of HNFunl_kEvtUnlock: what failed.
enum HNFunl_Reason : u16 {
  HNFunl_kReasonUnknownName = 0,    ///< the name is none of the four files (information1 = 1)
  HNFunl_kReasonCompanionOpen = 2,  ///< the companion could not be opened (read or write)
  HNFunl_kReasonCompanionRead = 3,  ///< the companion did not give exactly 4 bytes
  HNFunl_kReasonCompanionClose = 5, ///< the companion could not be closed
  HNFunl_kReasonFileOpen = 6,       ///< the file could not be opened (read or write)
  HNFunl_kReasonFileSize = 7,       ///< size unreadable (errno), under 4 or over 786,432 bytes (the size)
  HNFunl_kReasonFileRead = 8,       ///< the file could not be read whole
  HNFunl_kReasonFileWrite = 9,      ///< the unlocked file could not be written whole
  HNFunl_kReasonFileClose = 10,     ///< the file could not be closed
  HNFunl_kReasonWrongWord = 11,     ///< the word does not unlock the file (information1 = 0)
  HNFunl_kReasonRestore = 12,       ///< the locked file could not be written back after a failed write
};

/// The domain reset the first request arms.
struct HNFunl_ResetTimer {
  u8 bArmed;     ///< 1 once a request of more than 20 bytes came
  u32 ulArmedUs; ///< low 32 bits of the microsecond counter when armed
  u8 bDone;      ///< 1 once the reset was tried (it is tried once)
};

/// The reset timer of this process.
extern HNFunl_ResetTimer HNFunl_gResetTimer;

/// Unlocks one of the four files with word; 0 when unlocked, -1 otherwise (with an event).
i32 EPS_UnlockFile(const char* name, u32 word);
