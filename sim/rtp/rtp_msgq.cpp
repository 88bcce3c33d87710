// Named message queues of the stand-in: a ring of fixed-size slots in one
// shared-memory object per queue.
#include "rtp_internal.h"
#include "rtp_testhooks.h"

#include <cerrno>
#include <cstring>

struct ScmSimMsgQ;  // handles are scmsim::Handle objects; the type only keeps the API apart

namespace scmsim {
namespace {

/// Magic of an initialised queue object ("SMQ1").
constexpr uint32_t kQueueMagic = 0x31514D53;
/// Largest capacity the stand-in creates.
constexpr size_t kMaxQueueMsgs = 1u << 20;
/// Longest message the stand-in creates a queue for.
constexpr size_t kMaxQueueMsgLength = 1u << 24;

/// A queue object: header, ring state, then maxMsgs slots of [u32 length][maxMsgLength bytes].
struct QueueObject {
  ObjectHeader header;    ///< lock, wake word, deleted flag
  uint32_t maxMsgs;       ///< capacity
  uint32_t maxMsgLength;  ///< longest message
  uint32_t slotSize;      ///< bytes per slot (length word + data, rounded to 8)
  uint64_t ring;          ///< slot of the oldest message (high half) and messages waiting (low half),
                          ///< one word so that a holder killed mid-update leaves both or neither changed
};
static_assert(sizeof(QueueObject) == 56 && offsetof(QueueObject, ring) == 48, "same layout on every target");

uint32_t Count(const QueueObject* queue) { return static_cast<uint32_t>(queue->ring); }
uint32_t Head(const QueueObject* queue) { return static_cast<uint32_t>(queue->ring >> 32); }
void SetRing(QueueObject* queue, uint32_t head, uint32_t count) {
  queue->ring = (static_cast<uint64_t>(head) << 32) | count;
}

/// Creation parameters handed to the initialiser.
struct QueueShape {
  uint32_t maxMsgs;       ///< capacity
  uint32_t maxMsgLength;  ///< longest message
  uint32_t slotSize;      ///< bytes per slot
};

uint8_t* Slot(QueueObject* queue, uint32_t index) {
  return reinterpret_cast<uint8_t*>(queue + 1) + static_cast<size_t>(index) * queue->slotSize;
}

void InitQueue(ObjectHeader* object, const void* context) {
  const auto* shape = static_cast<const QueueShape*>(context);
  auto* queue = reinterpret_cast<QueueObject*>(object);
  queue->maxMsgs = shape->maxMsgs;
  queue->maxMsgLength = shape->maxMsgLength;
  queue->slotSize = shape->slotSize;
  SetRing(queue, 0, 0);
}

QueueObject* Object(const HandleRef& ref) { return reinterpret_cast<QueueObject*>(ref.get()->object.load()); }

/// Waits until ready() holds with the queue locked; on failure the lock is released and errno set.
template <typename Ready>
bool WaitUntil(QueueObject* queue, int timeout, Ready ready) {
  if (queue->header.sync.deleted != 0) {
    UnlockSync(&queue->header.sync);
    errno = SCM_ERRNO_INVALID_ID;
    return false;
  }
  if (ready()) {
    return true;
  }
  if (timeout == NO_WAIT) {
    UnlockSync(&queue->header.sync);
    errno = SCM_ERRNO_UNAVAILABLE;
    return false;
  }
  timespec deadline{};
  if (timeout != WAIT_FOREVER) {
    deadline = DeadlineAfterTicks(timeout);
  }
  for (;;) {
    if (!WaitChange(&queue->header.sync, timeout == WAIT_FOREVER ? nullptr : &deadline)) {
      UnlockSync(&queue->header.sync);
      errno = SCM_ERRNO_TIMEOUT;
      return false;
    }
    if (queue->header.sync.deleted != 0) {
      UnlockSync(&queue->header.sync);
      errno = SCM_ERRNO_DELETED;
      return false;
    }
    if (ready()) {
      return true;
    }
  }
}

}  // namespace
}  // namespace scmsim

using namespace scmsim;

MSG_Q_ID msgQOpen(const char* name, size_t maxMsgs, size_t maxMsgLength, int /*options*/, int mode,
                  void* /*context*/) {
  QueueShape shape{};
  size_t size = sizeof(QueueObject);
  if ((mode & OM_CREATE) != 0) {
    if (maxMsgs > kMaxQueueMsgs || maxMsgLength > kMaxQueueMsgLength) {
      errno = SCM_ERRNO_NO_MEMORY;
      return nullptr;
    }
    shape.maxMsgs = static_cast<uint32_t>(maxMsgs);
    shape.maxMsgLength = static_cast<uint32_t>(maxMsgLength);
    shape.slotSize = static_cast<uint32_t>((sizeof(uint32_t) + maxMsgLength + 7) & ~size_t{7});
    size += static_cast<size_t>(shape.maxMsgs) * shape.slotSize;
  }
  Handle* handle = OpenObject(Kind::Queue, name, mode, size, kQueueMagic, InitQueue, &shape);
  return reinterpret_cast<MSG_Q_ID>(handle);
}

STATUS msgQSend(MSG_Q_ID id, char* buffer, unsigned int nBytes, int timeout, int /*priority*/) {
  HandleRef ref(id, Kind::Queue);
  if (!ref) {
    return ERROR;
  }
  QueueObject* queue = Object(ref);
  if ((buffer == nullptr && nBytes > 0) || timeout < WAIT_FOREVER) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return ERROR;
  }
  LockSync(&queue->header.sync);
  if (queue->header.sync.deleted == 0 && nBytes > queue->maxMsgLength) {
    UnlockSync(&queue->header.sync);
    errno = SCM_ERRNO_TOO_LONG;
    return ERROR;
  }
  if (!WaitUntil(queue, timeout, [queue] { return Count(queue) < queue->maxMsgs; })) {
    return ERROR;
  }
  uint8_t* slot = Slot(queue, (Head(queue) + Count(queue)) % queue->maxMsgs);
  const uint32_t length = nBytes;
  memcpy(slot, &length, sizeof(length));
  if (nBytes > 0) {
    memcpy(slot + sizeof(length), buffer, nBytes);
  }
  SetRing(queue, Head(queue), Count(queue) + 1);  // last, so a holder dying mid-copy leaves the queue as it was
  UnlockAndWakeAll(&queue->header.sync);
  return OK;
}

ssize_t msgQReceive(MSG_Q_ID id, char* buffer, unsigned int maxNBytes, int timeout) {
  HandleRef ref(id, Kind::Queue);
  if (!ref) {
    return ERROR;
  }
  QueueObject* queue = Object(ref);
  if ((buffer == nullptr && maxNBytes > 0) || timeout < WAIT_FOREVER) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return ERROR;
  }
  LockSync(&queue->header.sync);
  if (!WaitUntil(queue, timeout, [queue] { return Count(queue) > 0; })) {
    return ERROR;
  }
  const uint8_t* slot = Slot(queue, Head(queue));
  uint32_t length = 0;
  memcpy(&length, slot, sizeof(length));
  if (length > queue->maxMsgLength) {
    length = queue->maxMsgLength;  // never trust a slot beyond its size
  }
  const uint32_t copied = length < maxNBytes ? length : maxNBytes;
  if (copied > 0) {
    memcpy(buffer, slot + sizeof(length), copied);
  }
  SetRing(queue, (Head(queue) + 1) % queue->maxMsgs, Count(queue) - 1);
  UnlockAndWakeAll(&queue->header.sync);
  return static_cast<ssize_t>(copied);
}

STATUS msgQInfoGet(MSG_Q_ID id, MSG_Q_INFO* info) {
  HandleRef ref(id, Kind::Queue);
  if (!ref) {
    return ERROR;
  }
  QueueObject* queue = Object(ref);
  if (info == nullptr) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return ERROR;
  }
  LockSync(&queue->header.sync);
  if (queue->header.sync.deleted != 0) {
    UnlockSync(&queue->header.sync);
    errno = SCM_ERRNO_INVALID_ID;
    return ERROR;
  }
  info->numMsgs = static_cast<int>(Count(queue));
  info->maxMsgs = static_cast<int>(queue->maxMsgs);
  info->maxMsgLength = static_cast<int>(queue->maxMsgLength);
  UnlockSync(&queue->header.sync);
  return OK;
}

STATUS msgQClose(MSG_Q_ID id) {
  HandleRef ref(id, Kind::Queue);
  if (!ref) {
    return ERROR;
  }
  return CloseHandle(ref.get());
}

STATUS msgQDelete(MSG_Q_ID id) {
  HandleRef ref(id, Kind::Queue);
  if (!ref) {
    return ERROR;
  }
  return DeleteObject(ref.get());
}

STATUS ScmSimHoldQueueLock(MSG_Q_ID id) {
  HandleRef ref(id, Kind::Queue);
  if (!ref) {
    return ERROR;
  }
  QueueObject* queue = Object(ref);
  LockSync(&queue->header.sync);
  return OK;
}
