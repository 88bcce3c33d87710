// Word-level helpers shared by the host system-call wrappers of every build:
// how values, addresses and handles become system-call words, the one place
// that reaches the host, and how its results turn into the wrappers' results.
// Internal to the host library.
#pragma once

#include <cerrno>
#include <cstdint>

#include "ScmSystemCalls.h"

namespace ScmSyscall {

/// The host's failure result.
inline constexpr _Vx_usr_arg_t kCallFailed = -1;

/// A 32-bit value zero-extended to a system-call word.
inline _Vx_usr_arg_t Word(u32 value) {
  return static_cast<_Vx_usr_arg_t>(static_cast<std::uintptr_t>(value));
}

/// An address as a system-call word.
inline _Vx_usr_arg_t Address(const void* pointer) {
  return static_cast<_Vx_usr_arg_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

/// A handle as a system-call word: its 32 bits zero-extended like every value.
inline _Vx_usr_arg_t HandleWord(i32 handle) {
  return Word(static_cast<u32>(handle));
}

/// The one place that reaches the host: unused words are 0, the number comes last.
inline _Vx_usr_arg_t Call(int number, _Vx_usr_arg_t w0 = 0, _Vx_usr_arg_t w1 = 0, _Vx_usr_arg_t w2 = 0,
                   _Vx_usr_arg_t w3 = 0, _Vx_usr_arg_t w4 = 0, _Vx_usr_arg_t w5 = 0) {
  return rtpSyscall(w0, w1, w2, w3, w4, w5, 0, 0, number);
}

/// 0 or -1 from a call that returns nothing through memory.
inline i32 Status(_Vx_usr_arg_t result) {
  return result == kCallFailed ? -1 : 0;
}

/// The host's out word as result; -1 when the call failed or the word is not
/// a valid non-negative 32-bit result.
inline i32 OutWord(_Vx_usr_arg_t result, u32 word) {
  if (result == kCallFailed || word > static_cast<u32>(INT32_MAX)) {
    return -1;
  }
  return static_cast<i32>(word);
}

/// A byte count the host returned: more than the caller allowed is a host fault
/// the caller must not index its buffer with, so it counts as failure.
inline i32 Count(_Vx_usr_arg_t result, u32 count, u32 limit) {
  if (count > limit) {
    return -1;
  }
  return OutWord(result, count);
}

/// A buffer the host would have to touch is missing: refused without a call.
inline bool MissingBuffer(const void* buffer, u32 count) {
  if (buffer == nullptr && count != 0) {
    errno = SCM_ERRNO_HOST_CALL;
    return true;
  }
  return false;
}

/// Read-like calls (storage, channel): handle, maximum, buffer, count word.
inline i32 ReadCall(int number, i32 handle, u32 maxCount, void* buffer) {
  if (MissingBuffer(buffer, maxCount)) {
    return -1;
  }
  u32 count = 0;
  const _Vx_usr_arg_t result = Call(number, HandleWord(handle), Word(maxCount), Address(buffer), Address(&count));
  return Count(result, count, maxCount);
}

/// Write-like calls (storage, channel): handle, count, buffer, count word.
inline i32 WriteCall(int number, i32 handle, u32 count, const void* buffer) {
  if (MissingBuffer(buffer, count)) {
    return -1;
  }
  u32 written = 0;
  const _Vx_usr_arg_t result = Call(number, HandleWord(handle), Word(count), Address(buffer), Address(&written));
  return Count(result, written, count);
}

}  // namespace ScmSyscall
