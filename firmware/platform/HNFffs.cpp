// File access through the host's storage calls.
#include "HNFffs.h"

#include <cerrno>

#include "HNFevt.h"
#include "HNFstp.h"
#include "ScmSystemCalls.h"

i32 HNFffs_Open(const char* name, const char* mode) {
  if (name == nullptr || mode == nullptr || (mode[0] != '\0' && mode[1] != '\0')) {
    HNFevt_EnregisterEvent(HNFffs_kEvtOpen, 1);
    return HNFffs_kBadArgument;
  }
  if (name[0] == '\0') {
    HNFevt_EnregisterEvent(HNFffs_kEvtOpen, 4);
    return HNFffs_kOpenFailed;
  }
  if (mode[0] != 'r' && mode[0] != 'w') {
    HNFevt_EnregisterEvent(HNFffs_kEvtOpen, 2);
    return HNFffs_kBadArgument;
  }
  errno = 0;
  const i32 lHandle = ScmOpenStorage(HNFstp_usSdn, name, mode[0]);
  if (lHandle >= 0) {
    return lHandle;
  }
  if (errno == SCM_STORAGE_BUSY_ERRNO) {
    return HNFffs_kBusy;
  }
  // Callers tell a missing file from a refused one by errno; the event must not lose it.
  const int iHostErrno = errno;
  HNFevt_EnregisterEvent(HNFffs_kEvtOpen, 3);
  errno = iHostErrno;
  return HNFffs_kOpenFailed;
}

i32 HNFffs_Size(i32 handle) {
  if (handle < 0) {
    HNFevt_EnregisterEvent(HNFffs_kEvtSize, 1);
    return HNFffs_kInvalidHandle;
  }
  const i32 lLength = ScmGetStorageLength(handle);
  if (lLength < 0) {
    HNFevt_EnregisterEvent(HNFffs_kEvtSize, 2);
    return HNFffs_kInvalidHandle;
  }
  return lLength;
}

i32 HNFffs_Read(void* buffer, u32 count, i32 handle) {
  if (handle < 0) {
    HNFevt_EnregisterEvent(HNFffs_kEvtRead, 1);
    return HNFffs_kInvalidHandle;
  }
  if (buffer == nullptr) {
    HNFevt_EnregisterEvent(HNFffs_kEvtRead, 2);
    return HNFffs_kBadArgument;
  }
  const i32 lRead = ScmReadStorage(handle, count, buffer);
  if (lRead < 0) {
    HNFevt_EnregisterEvent(HNFffs_kEvtRead, 4);
    return HNFffs_kInvalidHandle;
  }
  return lRead;
}

i32 HNFffs_Write(const void* buffer, u32 count, i32 handle) {
  if (handle < 0) {
    HNFevt_EnregisterEvent(HNFffs_kEvtWrite, 1);
    return HNFffs_kInvalidHandle;
  }
  if (buffer == nullptr) {
    HNFevt_EnregisterEvent(HNFffs_kEvtWrite, 3);
    return HNFffs_kBadArgument;
  }
  const i32 lWritten = ScmWriteStorage(handle, count, buffer);
  if (lWritten < 0) {
    HNFevt_EnregisterEvent(HNFffs_kEvtWrite, 2);
    return HNFffs_kInvalidHandle;
  }
  return lWritten;
}

i32 HNFffs_Close(i32 handle) {
  if (handle < 0) {
    HNFevt_EnregisterEvent(HNFffs_kEvtClose, 1);
    return HNFffs_kInvalidHandle;
  }
  if (ScmCloseStorage(handle) < 0) {
    HNFevt_EnregisterEvent(HNFffs_kEvtClose, 3);
    return HNFffs_kInvalidHandle;
  }
  return 0;
}

i32 HNFffs_Format(void) { return 0; }
