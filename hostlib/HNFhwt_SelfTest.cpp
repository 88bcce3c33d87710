#include "HNFhwt_SelfTest.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "HNFevt_EventHook.h"
#include "HNFiff_Crc.h"
#include "vxworks.h"

namespace {

/// Bytes of one companion entry: a little-endian CRC-32.
constexpr u32 kCrcSize = 4;
/// Size of the companion-name buffer: longest path, suffix and NUL.
constexpr u32 kCompanionNameSize = HNFHWT_PATH_MAX + 4 + 1;

/// The one block buffer: the executable is never held whole.
u8 HNFhwt_aucBlock[HNFHWT_BLOCK_SIZE];
/// The companion's entry for the current block.
u8 HNFhwt_aucCrc[kCrcSize];
/// The companion's path: the executable's path with ".vxe" appended.
char HNFhwt_acCompanionName[kCompanionNameSize];

/// Reports a failed check and gives the result 0.
u8 Fail(u16 reason, u32 information1) {
  HNFevt_EnregisterEventLevel(HNFHWT_EVENT_EXECUTABLE_CHECK, reason, information1, HNFHWT_EVENT_LEVEL);
  return 0;
}

/// Reads until want bytes or end of file, so that a short read never shifts
/// the block boundaries; the bytes read, or -1 when a read fails.
i32 ReadFull(int fd, u8* buffer, u32 want) {
  u32 got = 0;
  while (got < want) {
    const ssize_t n = read(fd, buffer + got, want - got);
    if (n < 0) {
      return -1;
    }
    if (n == 0) {
      break;
    }
    got += static_cast<u32>(n);
  }
  return static_cast<i32>(got);
}

/// Compares the two open files block by block; 1 on a match, else 0 after the event.
u8 CompareBlocks(int executable, int companion) {
  for (;;) {
    const i32 blockLength = ReadFull(executable, HNFhwt_aucBlock, HNFHWT_BLOCK_SIZE);
    if (blockLength < 0) {
      return Fail(HNFHWT_REASON_READ_EXECUTABLE, 0);
    }
    const i32 crcLength = ReadFull(companion, HNFhwt_aucCrc, kCrcSize);
    if (crcLength < 0) {
      return Fail(HNFHWT_REASON_READ_COMPANION, 0);
    }
    if (blockLength == 0) {
      return crcLength == 0 ? 1 : Fail(HNFHWT_REASON_COMPANION_TOO_LONG, 0);
    }
    if (crcLength != static_cast<i32>(kCrcSize)) {
      return Fail(HNFHWT_REASON_COMPANION_TOO_SHORT, 0);
    }
    const u32 expected = static_cast<u32>(HNFhwt_aucCrc[0]) | (static_cast<u32>(HNFhwt_aucCrc[1]) << 8) |
                         (static_cast<u32>(HNFhwt_aucCrc[2]) << 16) | (static_cast<u32>(HNFhwt_aucCrc[3]) << 24);
    if (HNFiff_Crc32CalcSwp(0, blockLength, HNFhwt_aucBlock) != expected) {
      return Fail(HNFHWT_REASON_CRC_MISMATCH, 0);
    }
  }
}

}  // namespace

u8 HNFhwt_VerifyExecutable(void) {
  RTP_DESC desc;
  std::memset(&desc, 0, sizeof desc);
  if (rtpInfoGet(getpid(), &desc) != OK) {
    return Fail(HNFHWT_REASON_NO_PROCESS_INFO, static_cast<u32>(errno));
  }
  if (desc.pathName == nullptr) {
    // information delivered without a path is no information
    return Fail(HNFHWT_REASON_NO_PROCESS_INFO, 0);
  }
  const std::size_t pathLength = std::strlen(desc.pathName);
  if (pathLength > HNFHWT_PATH_MAX) {
    return Fail(HNFHWT_REASON_PATH_TOO_LONG, static_cast<u32>(pathLength));
  }
  std::memcpy(HNFhwt_acCompanionName, desc.pathName, pathLength);
  std::memcpy(HNFhwt_acCompanionName + pathLength, HNFHWT_COMPANION_SUFFIX, std::strlen(HNFHWT_COMPANION_SUFFIX) + 1);

  const int executable = open(desc.pathName, O_RDONLY);
  if (executable < 0) {
    return Fail(HNFHWT_REASON_OPEN_EXECUTABLE, static_cast<u32>(errno));
  }
  const int companion = open(HNFhwt_acCompanionName, O_RDONLY);
  if (companion < 0) {
    const u32 error = static_cast<u32>(errno);
    close(executable);
    return Fail(HNFHWT_REASON_OPEN_COMPANION, error);
  }
  const u8 result = CompareBlocks(executable, companion);
  close(companion);
  close(executable);
  return result;
}
