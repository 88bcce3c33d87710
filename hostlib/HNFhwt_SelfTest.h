// Start-up check of the process's own executable against its CRC companion.
//
// The companion is the executable's full path with ".vxe" appended and holds
// one little-endian CRC-32 (seed 0) per 16,384-byte block of the executable,
// in block order, the last block possibly shorter, nothing after the last CRC.
// A mismatch is reported once through HNFevt_EnregisterEventLevel as the
// fatal event HNFHWT_EVENT_EXECUTABLE_CHECK with a reason and a value.
#pragma once

#include "ScmTypes.h"

/// Fatal event raised when the executable does not match its companion.
inline constexpr u32 HNFHWT_EVENT_EXECUTABLE_CHECK = 0x92008610u;
/// Level the event is raised with: fatal.
inline constexpr u8 HNFHWT_EVENT_LEVEL = 3;
/// Bytes of the executable covered by one CRC.
inline constexpr u32 HNFHWT_BLOCK_SIZE = 16384;
/// Longest executable path accepted.
inline constexpr u32 HNFHWT_PATH_MAX = 255;
/// Suffix that turns the executable's path into its companion's.
inline constexpr const char* HNFHWT_COMPANION_SUFFIX = ".vxe";

/// Reasons reported as information0 (information1 in brackets).
enum HNFhwt_Reason : u16 {
  HNFHWT_REASON_NO_PROCESS_INFO = 1,        ///< own process information not available (errno)
  HNFHWT_REASON_PATH_TOO_LONG = 2,          ///< path longer than 255 characters (path length)
  HNFHWT_REASON_OPEN_EXECUTABLE = 3,        ///< executable cannot be opened (errno)
  HNFHWT_REASON_OPEN_COMPANION = 4,         ///< companion cannot be opened (errno)
  HNFHWT_REASON_READ_EXECUTABLE = 5,        ///< read of the executable failed (0)
  HNFHWT_REASON_READ_COMPANION = 6,         ///< read of the companion failed (0)
  HNFHWT_REASON_COMPANION_TOO_LONG = 7,     ///< executable ended, companion has more (0)
  HNFHWT_REASON_COMPANION_TOO_SHORT = 8,    ///< fewer than 4 companion bytes for a block (0)
  HNFHWT_REASON_CRC_MISMATCH = 9,           ///< CRC of a block differs (0)
};

/// 1 when the own executable matches its companion; else 0 after raising the event.
u8 HNFhwt_VerifyExecutable(void);
