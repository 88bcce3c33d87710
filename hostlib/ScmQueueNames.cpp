#include "ScmQueueNames.h"

#include <cstdio>
#include <cstring>

#include "ScmSystemCalls.h"

namespace {

/// Shared builder: side is "" for the host side and "~" for the firmware side.
char* BuildName(u16 sdn, const char* suffix, char* buffer, const char* side) {
  if (sdn < SCM_SDN_MIN || sdn > SCM_SDN_MAX || suffix == nullptr || buffer == nullptr) {
    return nullptr;
  }
  // the caller's buffer has no size: refuse what could not fit the agreed one
  if (std::strlen(suffix) > SCM_QUEUE_SUFFIX_MAX) {
    return nullptr;
  }
  std::snprintf(buffer, SCM_QUEUE_NAME_SIZE, "/scm%04u/%s%s", static_cast<unsigned>(sdn), side, suffix);
  return buffer;
}

}  // namespace

char* GetQualifiedRuntimeQueueName(u16 sdn, const char* suffix, char* buffer) {
  return BuildName(sdn, suffix, buffer, "");
}

char* GetQualifiedScmQueueName(u16 sdn, const char* suffix, char* buffer) {
  return BuildName(sdn, suffix, buffer, "~");
}

char* ScmGetEventQueueToRuntimeName(u16 sdn, char* buffer) {
  return GetQualifiedRuntimeQueueName(sdn, SCM_QUEUE_EVENT, buffer);
}

char* ScmGetEventQueueFromScmName(u16 sdn, char* buffer) {
  return GetQualifiedScmQueueName(sdn, SCM_QUEUE_EVENT, buffer);
}

char* ScmGetResponseQueueToRuntimeName(u16 sdn, char* buffer) {
  return GetQualifiedRuntimeQueueName(sdn, SCM_QUEUE_STATUS, buffer);
}

char* ScmGetResponseQueueFromScmName(u16 sdn, char* buffer) {
  return GetQualifiedScmQueueName(sdn, SCM_QUEUE_STATUS, buffer);
}

char* ScmGetCommandQueueFromRuntimeName(u16 sdn, char* buffer) {
  return GetQualifiedRuntimeQueueName(sdn, SCM_QUEUE_COMMAND, buffer);
}

char* ScmGetCommandQueueToScmName(u16 sdn, char* buffer) {
  return GetQualifiedScmQueueName(sdn, SCM_QUEUE_COMMAND, buffer);
}

char* ScmGetFrameQueueToRuntimeName(u16 sdn, char* buffer) {
  return GetQualifiedRuntimeQueueName(sdn, SCM_QUEUE_FRAME_RECEIVE, buffer);
}

char* ScmGetFrameQueueFromScmName(u16 sdn, char* buffer) {
  return GetQualifiedScmQueueName(sdn, SCM_QUEUE_FRAME_RECEIVE, buffer);
}

char* ScmGetFrameQueueFromRuntimeName(u16 sdn, char* buffer) {
  return GetQualifiedRuntimeQueueName(sdn, SCM_QUEUE_FRAME_SEND, buffer);
}

char* ScmGetFrameQueueToScmName(u16 sdn, char* buffer) {
  return GetQualifiedScmQueueName(sdn, SCM_QUEUE_FRAME_SEND, buffer);
}

char* ScmGetUnlockResponseQueueToRuntimeName(u16 sdn, char* buffer) {
  return GetQualifiedRuntimeQueueName(sdn, SCM_QUEUE_UNLOCK_RESPONSE, buffer);
}

char* ScmGetUnlockResponseQueueFromScmName(u16 sdn, char* buffer) {
  return GetQualifiedScmQueueName(sdn, SCM_QUEUE_UNLOCK_RESPONSE, buffer);
}

char* ScmGetUnlockRequestQueueFromRuntimeName(u16 sdn, char* buffer) {
  return GetQualifiedRuntimeQueueName(sdn, SCM_QUEUE_UNLOCK_REQUEST, buffer);
}

char* ScmGetUnlockRequestQueueToScmName(u16 sdn, char* buffer) {
  return GetQualifiedScmQueueName(sdn, SCM_QUEUE_UNLOCK_REQUEST, buffer);
}
