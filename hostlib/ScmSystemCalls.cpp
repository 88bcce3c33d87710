#include "ScmSystemCalls.h"

#include "ScmProfile.h"
#include "ScmSyscallWords.h"

#include <strings.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace ScmSyscall;

namespace {

/// Product code and serial number: one out word, 0 on failure.
u32 CpuWord(int number) {
  u32 word = 0;
  const _Vx_usr_arg_t result = Call(number, Address(&word));
  return result == kCallFailed ? 0 : word;
}

/// The pseudo handle of a refused "pardata1.bin" in the release that has one;
/// the older release's wrappers always make their call.
bool IsPseudoHandle(i32 handle) {
  if constexpr (SCM_kProfileHasParDataPseudoHandle) {
    return handle == SCM_PARDATA_PSEUDO_HANDLE;
  }
  return false;
}

}  // namespace

u64 ScmGetUSecCounter(void) {
  u32 low = 0;
  u32 high = 0;
  const _Vx_usr_arg_t result = Call(SCM_SC_GET_USEC_COUNTER, Address(&low), Address(&high));
  if (result == kCallFailed) {
    // never hand out a half-written value
    return 0;
  }
  return (static_cast<u64>(high) << 32) | low;
}

u32 ScmGetCpuProductCode(void) {
  return CpuWord(SCM_SC_GET_CPU_PRODUCT_CODE);
}

u32 ScmGetCpuSerialNumber(void) {
  return CpuWord(SCM_SC_GET_CPU_SERIAL_NUMBER);
}

i32 ScmRequestQorUdid(u16 sdn, u8* udid) {
  if (MissingBuffer(udid, 1)) {
    return -1;
  }
  return Status(Call(SCM_SC_REQUEST_QOR_UDID, Word(sdn), Address(udid)));
}

i32 ScmOpenStorage(u16 sdn, const char* name, char mode) {
  if (MissingBuffer(name, 1)) {
    return -1;
  }
  u32 handle = 0;
  const _Vx_usr_arg_t result =
      Call(SCM_SC_OPEN_STORAGE, Word(sdn), Address(name), Word(static_cast<u8>(mode)), Address(&handle));
  if (result != kCallFailed) {
    return OutWord(result, handle);
  }
  // A busy storage is not a missing file: the caller must retry rather than
  // read an existing additional-parameter file as empty. The older release
  // has no pseudo handle: every refusal is an ordinary open failure.
  if constexpr (SCM_kProfileHasParDataPseudoHandle) {
    if (errno != SCM_STORAGE_BUSY_ERRNO && strcasecmp(name, SCM_PARDATA_FILE_NAME) == 0) {
      return SCM_PARDATA_PSEUDO_HANDLE;
    }
  }
  return -1;
}

i32 ScmCloseStorage(i32 handle) {
  if (IsPseudoHandle(handle)) {
    return 0;
  }
  return Status(Call(SCM_SC_CLOSE_STORAGE, HandleWord(handle)));
}

i32 ScmGetStorageLength(i32 handle) {
  if (IsPseudoHandle(handle)) {
    return 0;
  }
  u32 length = 0;
  const _Vx_usr_arg_t result = Call(SCM_SC_GET_STORAGE_LENGTH, HandleWord(handle), Address(&length));
  return OutWord(result, length);
}

i32 ScmReadStorage(i32 handle, u32 maxCount, void* buffer) {
  if (IsPseudoHandle(handle)) {
    return 0;
  }
  return ReadCall(SCM_SC_READ_STORAGE, handle, maxCount, buffer);
}

i32 ScmWriteStorage(i32 handle, u32 count, const void* buffer) {
  if (IsPseudoHandle(handle)) {
    // the stand-in for a missing file is read-only
    return -1;
  }
  return WriteCall(SCM_SC_WRITE_STORAGE, handle, count, buffer);
}

i32 ScmOpenChannel(u16 sdn, u32 channel, u32 sendSize, u32 receiveSize) {
  u32 handle = 0;
  const _Vx_usr_arg_t result =
      Call(SCM_SC_OPEN_CHANNEL, Word(sdn), Word(channel), Word(sendSize), Word(receiveSize), Address(&handle));
  return OutWord(result, handle);
}

i32 ScmCloseChannel(i32 handle) {
  return Status(Call(SCM_SC_CLOSE_CHANNEL, HandleWord(handle)));
}

i32 ScmReceiveChannel(i32 handle, u32 maxCount, void* buffer) {
  return ReadCall(SCM_SC_RECEIVE_CHANNEL, handle, maxCount, buffer);
}

i32 ScmSendChannel(i32 handle, u32 count, const void* buffer) {
  return WriteCall(SCM_SC_SEND_CHANNEL, handle, count, buffer);
}

i32 ScmLockReset(u16 sdn) {
  return Status(Call(SCM_SC_LOCK_RESET, Word(sdn)));
}

i32 ScmUnlockReset(u16 sdn) {
  return Status(Call(SCM_SC_UNLOCK_RESET, Word(sdn)));
}

i32 ScmReset(u16 sdn) {
  return Status(Call(SCM_SC_RESET, Word(sdn)));
}

i32 ScmWaitForCondition(u16 sdn, u32 condition, u32* value) {
  u32 word = 0;
  const i32 status = Status(Call(SCM_SC_WAIT_FOR_CONDITION, Word(sdn), Word(condition), Address(&word)));
  if (value != nullptr) {
    *value = status == 0 ? word : 0;
  }
  return status;
}

i32 ScmSetCondition(u16 sdn, u32 condition, u32 value) {
  return Status(Call(SCM_SC_SET_CONDITION, Word(sdn), Word(condition), Word(value)));
}

i32 ScmGetQorFailSafeState(u16 sdn, u8* state) {
  // The host stores one byte at the address; a zeroed local word takes it
  // whatever the host writes, and its first byte is that value.
  u32 word = 0;
  const i32 status = Status(Call(SCM_SC_GET_QOR_FAIL_SAFE_STATE, Word(sdn), Address(&word)));
  // A failed call leaves the caller's byte alone: callers preset "not known"
  // and ask again, where a written 0 would read as "controller normal".
  if (state != nullptr && status == 0) {
    u8 first = 0;
    std::memcpy(&first, &word, 1);
    *state = first;
  }
  return status;
}

_Vx_usr_arg_t ScmResetPlc(_Vx_usr_arg_t word) {
  return Call(SCM_SC_RESET_PLC, word);
}

u16 ScmGetSafetyDomainNumberFromEnvironment(const char* name) {
  if (name == nullptr) {
    return 0;
  }
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') {
    return 0;
  }
  u32 value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') {
      // signs, blanks and anything else: not a domain number
      return 0;
    }
    value = value * 10 + static_cast<u32>(*p - '0');
    if (value > SCM_SDN_MAX) {
      // stop before the value can wrap back into range
      return 0;
    }
  }
  return value >= SCM_SDN_MIN ? static_cast<u16>(value) : 0;
}
