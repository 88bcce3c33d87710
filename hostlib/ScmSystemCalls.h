// Plain wrappers of the host runtime's numbered system calls 0x80 to 0x95 and
// the reading of the safety domain number from the environment.
//
// Every wrapper puts its arguments into the first system-call words in the
// order the host expects, fills the remaining of the eight words with 0 and
// passes the call number last. Values (SDN, handles, counts, numbers) are
// zero-extended to words. Where the host answers through memory, the wrapper
// passes the address of a local 32-bit word, zeroed first, as the next word
// after the caller's arguments and returns that word.
//
// A call fails when the host returns -1; the wrappers raise nothing and leave
// errno as the host set it, so callers can tell a busy storage (0x10C00).
// A null name or buffer the host would have to use is refused without a call
// (-1, errno SCM_ERRNO_HOST_CALL). A handle, length or count the host reports
// beyond 31 bits, or a count beyond what the caller allowed, counts as a
// failed call (-1): callers index their buffers with it.
//
// Storage handle SCM_PARDATA_PSEUDO_HANDLE (0xFAFE) stands for a "pardata1.bin"
// the host refused to open for a reason other than busy: it behaves as an
// empty, read-only file and its calls never reach the host.
//
// The older release (ScmProfile.h) has no pseudo handle: every refused open is
// -1 and every storage call reaches the host. Its host library leaves out the
// Qor flash-file calls 0x94 and 0x95 (ScmQorFlashCalls.cpp), so older code that
// uses them does not link.
#pragma once

#include "ScmTypes.h"
#include "vxworks.h"

/// Pseudo handle of a refused "pardata1.bin": empty and read-only.
inline constexpr i32 SCM_PARDATA_PSEUDO_HANDLE = 0xFAFE;
/// Name whose refused open yields the pseudo handle (compared without regard to case).
inline constexpr const char* SCM_PARDATA_FILE_NAME = "pardata1.bin";
/// errno the host sets when storage is busy: the open must be retried, not treated as missing.
inline constexpr int SCM_STORAGE_BUSY_ERRNO = 0x10C00;
/// errno the host sets when a file to be opened for reading does not exist (an absent file).
inline constexpr int SCM_STORAGE_MISSING_ERRNO = 0x3E0003;
/// Environment variable holding the safety domain number.
inline constexpr const char* SCM_SDN_ENVIRONMENT_NAME = "SafetyDomainNumber";
/// Lowest valid safety domain number.
inline constexpr u16 SCM_SDN_MIN = 1;
/// Highest valid safety domain number.
inline constexpr u16 SCM_SDN_MAX = 1023;

/// Host system-call numbers, in table order.
enum ScmSystemCallNumber : int {
  SCM_SC_GET_USEC_COUNTER = 0x80,          ///< 64-bit microsecond counter
  SCM_SC_GET_CPU_PRODUCT_CODE = 0x81,      ///< CPU product code
  SCM_SC_GET_CPU_SERIAL_NUMBER = 0x82,     ///< CPU serial number
  SCM_SC_REQUEST_QOR_UDID = 0x83,          ///< Qor controller UDID
  SCM_SC_OPEN_STORAGE = 0x84,              ///< open a storage file
  SCM_SC_CLOSE_STORAGE = 0x85,             ///< close a storage file
  SCM_SC_GET_STORAGE_LENGTH = 0x86,        ///< length of a storage file
  SCM_SC_READ_STORAGE = 0x87,              ///< read from a storage file
  SCM_SC_WRITE_STORAGE = 0x88,             ///< append to a storage file
  SCM_SC_OPEN_CHANNEL = 0x89,              ///< open a host channel
  SCM_SC_CLOSE_CHANNEL = 0x8A,             ///< close a host channel
  SCM_SC_RECEIVE_CHANNEL = 0x8B,           ///< receive from a host channel
  SCM_SC_SEND_CHANNEL = 0x8C,              ///< send on a host channel
  SCM_SC_LOCK_RESET = 0x8D,                ///< hold off domain resets
  SCM_SC_UNLOCK_RESET = 0x8E,              ///< allow domain resets again
  SCM_SC_RESET = 0x8F,                     ///< reset the safety domain
  SCM_SC_WAIT_FOR_CONDITION = 0x90,        ///< wait for a host condition
  SCM_SC_SET_CONDITION = 0x91,             ///< set a host condition
  SCM_SC_GET_QOR_FAIL_SAFE_STATE = 0x92,   ///< Qor controller fail-safe state
  SCM_SC_RESET_PLC = 0x93,                 ///< reset the whole controller
  SCM_SC_READ_QOR_FLASH_FILE = 0x94,       ///< read a Qor flash file area
  SCM_SC_WRITE_QOR_FLASH_FILE = 0x95,      ///< write a Qor flash file area
};

/// 0x80: the host's microsecond counter; 0 (both halves) when the call fails.
u64 ScmGetUSecCounter(void);
/// 0x81: product code of the controller's CPU; 0 on failure.
u32 ScmGetCpuProductCode(void);
/// 0x82: serial number of the controller's CPU; 0 on failure.
u32 ScmGetCpuSerialNumber(void);
/// 0x83: the host writes the Qor controller's 6-byte UDID into udid; 0 or -1.
i32 ScmRequestQorUdid(u16 sdn, u8* udid);
/// 0x84: open name with mode 'r' or 'w'; the handle (>= 0), or on failure
/// SCM_PARDATA_PSEUDO_HANDLE for "pardata1.bin" (any case) unless the storage
/// was busy, else -1. A null name is refused without a call (-1).
i32 ScmOpenStorage(u16 sdn, const char* name, char mode);
/// 0x85: 0 or -1; the pseudo handle gives 0 without a call.
i32 ScmCloseStorage(i32 handle);
/// 0x86: file length or -1; the pseudo handle gives 0 without a call.
i32 ScmGetStorageLength(i32 handle);
/// 0x87: bytes read (at most maxCount) or -1; the pseudo handle gives 0 without a call.
i32 ScmReadStorage(i32 handle, u32 maxCount, void* buffer);
/// 0x88: bytes written or -1; the pseudo handle gives -1 without a call.
i32 ScmWriteStorage(i32 handle, u32 count, const void* buffer);
/// 0x89: open host channel number with its two buffer sizes; handle or -1.
i32 ScmOpenChannel(u16 sdn, u32 channel, u32 sendSize, u32 receiveSize);
/// 0x8A: 0 or -1.
i32 ScmCloseChannel(i32 handle);
/// 0x8B: bytes received (at most maxCount, 0 = nothing waiting) or -1.
i32 ScmReceiveChannel(i32 handle, u32 maxCount, void* buffer);
/// 0x8C: bytes sent or -1.
i32 ScmSendChannel(i32 handle, u32 count, const void* buffer);
/// 0x8D: 0 or -1; the host holds off resets of the domain.
i32 ScmLockReset(u16 sdn);
/// 0x8E: 0 or -1; resets are allowed again.
i32 ScmUnlockReset(u16 sdn);
/// 0x8F: 0 or -1; the host resets the safety domain.
i32 ScmReset(u16 sdn);
/// 0x90: blocks until the condition is set; 0 and *value = its value, or -1 and *value = 0.
i32 ScmWaitForCondition(u16 sdn, u32 condition, u32* value);
/// 0x91: 0 or -1.
i32 ScmSetCondition(u16 sdn, u32 condition, u32 value);
/// 0x92: 0 and *state (0 normal, 0xFF not known, else fail-safe), or -1 with *state untouched.
i32 ScmGetQorFailSafeState(u16 sdn, u8* state);
/// 0x93: resets the whole controller; the word goes through and the raw result comes back.
_Vx_usr_arg_t ScmResetPlc(_Vx_usr_arg_t word);
/// 0x94: bytes read (at most count) or -1.
i32 ScmReadQorFlashFile(u16 sdn, u32 area, u32 offset, u32 count, void* buffer);
/// 0x95: bytes written or -1.
i32 ScmWriteQorFlashFile(u16 sdn, u32 area, u32 offset, u32 count, const void* buffer);

/// The safety domain number in environment variable name: 1 to 1023 when the
/// value is decimal digits only and in range, else 0 (also null or missing).
u16 ScmGetSafetyDomainNumberFromEnvironment(const char* name);
