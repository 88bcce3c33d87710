// Recording stand-ins for the platform calls hostlib makes (rtpSyscall,
// rtpInfoGet) and for the event hook it reports through. Linked instead of
// the real platform so that every word the library passes can be checked.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "ScmTypes.h"
#include "vxworks.h"

namespace hostlibfake {

/// One system call as the library made it.
struct SyscallRecord {
  std::array<_Vx_usr_arg_t, 8> words{};  ///< the eight argument words
  int number = 0;                        ///< the call number, passed last
};

/// Calls recorded since the last Reset().
extern std::vector<SyscallRecord> calls;
/// Answers each call (it may write through the addresses in the words); default: return 0.
extern std::function<_Vx_usr_arg_t(const SyscallRecord&)> reply;

/// One event raised through the hook.
struct EventRecord {
  u32 code = 0;          ///< event code
  u16 information0 = 0;  ///< reason
  u32 information1 = 0;  ///< value
  u8 level = 0;          ///< level
};

/// Events recorded since the last Reset().
extern std::vector<EventRecord> events;

/// Path rtpInfoGet reports for the own process.
extern std::string processPath;
/// When non-zero, rtpInfoGet fails with this errno.
extern int processInfoErrno;
/// When set, rtpInfoGet succeeds with a null path.
extern bool processPathNull;

/// Clears the records and restores the default answers.
void Reset();

}  // namespace hostlibfake
