#include "CRuntimeFileStorage.h"

#include <cerrno>

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"
#include "SafetyDomainNumber.h"
#include "ScmSystemCalls.h"

namespace Main {

using Util::CException;
using Util::ErrorCodes;

i32 CRuntimeFileStorage::Open(const char* name, char mode) {
  const i32 handle = ScmOpenStorage(GetSafetyDomainNumber(), name, mode);
  if (handle == -1) {
    throw CException(ErrorCodes::ms_StorageOpenFailed, static_cast<u32>(static_cast<u8>(mode)));
  }
  return handle;
}

bool CRuntimeFileStorage::TryOpenForReading(const char* name, i32& handle) {
  handle = ScmOpenStorage(GetSafetyDomainNumber(), name, ms_ReadMode);
  if (handle == -1) {
    if (errno == SCM_STORAGE_MISSING_ERRNO) {
      return false;
    }
    throw CException(ErrorCodes::ms_StorageOpenFailed, static_cast<u32>(static_cast<u8>(ms_ReadMode)));
  }
  return true;
}

void CRuntimeFileStorage::Close(i32 handle) {
  if (ScmCloseStorage(handle) != 0) {
    throw CException(ErrorCodes::ms_StorageCloseFailed);
  }
}

void CRuntimeFileStorage::CloseQuietly(i32 handle) { static_cast<void>(ScmCloseStorage(handle)); }

u32 CRuntimeFileStorage::QueryLength(i32 handle) {
  const i32 length = ScmGetStorageLength(handle);
  if (length == -1) {
    CloseQuietly(handle);
    throw CException(ErrorCodes::ms_StorageLengthFailed);
  }
  return static_cast<u32>(length);
}

u32 CRuntimeFileStorage::GetLength(const char* name) const {
  UTIL_CHECK(name != nullptr);
  i32 handle = -1;
  if (!TryOpenForReading(name, handle)) {
    return 0;
  }
  const u32 length = QueryLength(handle);
  Close(handle);
  return length;
}

u32 CRuntimeFileStorage::Read(const char* name, u32 capacity, u8* buffer) const {
  UTIL_CHECK(name != nullptr);
  UTIL_CHECK(buffer != nullptr);
  i32 handle = -1;
  if (!TryOpenForReading(name, handle)) {
    return 0;
  }
  const u32 length = QueryLength(handle);
  if (length > capacity) {
    CloseQuietly(handle);
    throw CException(ErrorCodes::ms_StorageFileTooLong, length);
  }
  if (ScmReadStorage(handle, length, buffer) != static_cast<i32>(length)) {
    CloseQuietly(handle);
    throw CException(ErrorCodes::ms_StorageReadFailed);
  }
  Close(handle);
  return length;
}

void CRuntimeFileStorage::Write(const char* name, u32 length, const u8* data) const {
  UTIL_CHECK(name != nullptr);
  UTIL_CHECK(data != nullptr);
  const i32 handle = Open(name, ms_WriteMode);
  if (ScmWriteStorage(handle, length, data) != static_cast<i32>(length)) {
    CloseQuietly(handle);
    throw CException(ErrorCodes::ms_StorageWriteFailed);
  }
  Close(handle);
}

void CRuntimeFileStorage::Delete(const char* name) const {
  UTIL_CHECK(name != nullptr);
  Close(Open(name, ms_WriteMode));
}

}  // namespace Main
