// rtpInfoGet's common part, shared by the POSIX and the in-memory variant.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "vxworks.h"

namespace scmsim {

/// Fills desc for the calling process: fails with failErrno when it is not 0, reports substitute
/// when it is not null, else the real path of the executable; buffer keeps the reported path.
inline STATUS FillRtpDesc(RTP_ID id, RTP_DESC* desc, int failErrno, const char* substitute, std::string* buffer) {
  if (desc == nullptr) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return ERROR;
  }
  if (id != 0 && id != getpid()) {
    errno = SCM_ERRNO_INVALID_ID;
    return ERROR;
  }
  if (failErrno != 0) {
    errno = failErrno;
    return ERROR;
  }
  if (substitute != nullptr) {
    *buffer = substitute;
  } else {
    char* real = realpath("/proc/self/exe", nullptr);
    if (real == nullptr) {
      errno = SCM_ERRNO_NOT_FOUND;
      return ERROR;
    }
    *buffer = real;
    free(real);
  }
  desc->pathName = buffer->data();
  desc->pid = getpid();
  return OK;
}

}  // namespace scmsim
