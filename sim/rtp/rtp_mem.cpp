// In-memory variant of the platform API (scm_rtp_mem): see rtp_mem_control.h.
#include "rtp_info_common.h"
#include "rtp_mem_control.h"
#include "rtp_runlock.h"
#include "vxworks.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

/// An in-memory queue.
struct MemQueue {
  int maxMsgs;                              ///< capacity
  int maxMsgLength;                         ///< longest message
  std::deque<std::vector<uint8_t>> messages;  ///< waiting messages, oldest first
  bool deleted = false;                     ///< deleted: handles fail
};

/// An in-memory binary semaphore.
struct MemSem {
  bool full;            ///< available
  int gives = 0;        ///< successful gives
  int takes = 0;        ///< successful takes
  bool deleted = false; ///< deleted: handles fail
};

/// A queue handle; the object it opened, even when a queue of the same name is made again.
struct ScmSimMsgQ {
  std::shared_ptr<MemQueue> object;  ///< the opened queue
  std::string name;                 ///< its name (for the block hook)
  bool closed = false;              ///< closed: calls fail
};

/// A semaphore handle.
struct ScmSimSem {
  std::shared_ptr<MemSem> object;  ///< the opened semaphore
  std::string name;             ///< its name (for the block hook)
  bool closed = false;          ///< closed: calls fail
};

namespace {

/// Number of operations with injectable failures.
constexpr int kOps = 6;
/// First id handed to a recorded spawn.
constexpr TASK_ID kFirstTaskId = 0x20000;
/// Clock rate after a reset.
constexpr int kDefaultClkRate = 1000;
/// First handle id; ids are numbers, never addresses, so a freed handle's id is never handed out again.
constexpr uintptr_t kFirstHandleId = 0x10000;
/// Step between handle ids (keeps them aligned like pointers).
constexpr uintptr_t kHandleIdStep = 16;

/// Pending injected failures of one operation.
struct Injection {
  int count = 0;   ///< calls still to fail
  int errnoValue = 0;  ///< errno they fail with
};

/// Everything of the variant.
struct MemState {
  std::recursive_mutex lock;                                       ///< guards everything (hooks may call back)
  std::map<std::string, std::shared_ptr<MemQueue>> queues;         ///< live queues by name
  std::map<std::string, std::shared_ptr<MemSem>> sems;             ///< live semaphores by name
  std::unordered_map<const void*, std::unique_ptr<ScmSimMsgQ>> queueHandles;  ///< every queue handle
  std::unordered_map<const void*, std::unique_ptr<ScmSimSem>> semHandles;     ///< every semaphore handle
  uintptr_t nextHandleId = kFirstHandleId;                         ///< id of the next handle; survives resets
  Injection injections[kOps];                                      ///< per ScmMemOp
  ScmMemBlockHook blockHook;                                       ///< takes that would wait
  ScmMemDelayHook delayHook;                                       ///< taskDelay
  int delayCalls = 0;                                              ///< taskDelay calls
  int64_t delayTicks = 0;                                          ///< their ticks
  std::vector<ScmMemSpawnRecord> spawns;                           ///< recorded spawns
  std::string refuseSpawn;                                         ///< refused name substring
  ScmMemSyscallHook syscallHook;                                   ///< serves rtpSyscall
  bool infoPathSet = false;                                        ///< infoPath replaces the real path
  std::string infoPath;                                            ///< substitute path
  int infoFail = 0;                                                ///< rtpInfoGet failure errno
  std::string infoBuffer;                                          ///< buffer pathName points into
  int clkRate = kDefaultClkRate;                                   ///< sysClkRateGet
};

MemState& S() {
  static MemState* state = new MemState;  // never destroyed
  return *state;
}

using Guard = std::lock_guard<std::recursive_mutex>;

/// True (errno set) when an injected failure of op is due; consumes it.
bool Injected(ScmMemOp op) {
  Injection& injection = S().injections[static_cast<int>(op)];
  if (injection.count <= 0) {
    return false;
  }
  --injection.count;
  errno = injection.errnoValue;
  return true;
}

ScmSimMsgQ* LiveQueue(MSG_Q_ID id) {
  auto it = S().queueHandles.find(id);
  if (id == nullptr || it == S().queueHandles.end() || it->second->closed || it->second->object->deleted) {
    errno = SCM_ERRNO_INVALID_ID;
    return nullptr;
  }
  return it->second.get();
}

ScmSimSem* LiveSem(SEM_ID id) {
  auto it = S().semHandles.find(id);
  if (id == nullptr || it == S().semHandles.end() || it->second->closed || it->second->object->deleted) {
    errno = SCM_ERRNO_INVALID_ID;
    return nullptr;
  }
  return it->second.get();
}

/// Fails a call that would wait: errno by its timeout.
int WouldWait(int timeout) {
  errno = timeout == NO_WAIT ? SCM_ERRNO_UNAVAILABLE : timeout == WAIT_FOREVER ? SCM_ERRNO_SIM_BLOCKED
                                                                                  : SCM_ERRNO_TIMEOUT;
  return ERROR;
}

/// Opens (mode 0) or creates (OM_CREATE, OM_EXCL) a named object; make builds a new one or
/// returns null with errno set. Returns a new handle, or null with errno set. State locked.
template <typename Object, typename HandleType, typename Make>
HandleType* OpenNamed(std::map<std::string, std::shared_ptr<Object>>& objects,
                      std::unordered_map<const void*, std::unique_ptr<HandleType>>& handles, ScmMemOp op,
                      const char* name, int mode, Make make) {
  if (Injected(op)) {
    return nullptr;
  }
  if (name == nullptr) {
    errno = SCM_ERRNO_NOT_FOUND;
    return nullptr;
  }
  auto it = objects.find(name);
  if (it != objects.end() && (mode & OM_CREATE) != 0 && (mode & OM_EXCL) != 0) {
    errno = SCM_ERRNO_EXISTS;
    return nullptr;
  }
  if (it == objects.end()) {
    if ((mode & OM_CREATE) == 0) {
      errno = SCM_ERRNO_NOT_FOUND;
      return nullptr;
    }
    std::shared_ptr<Object> made = make();
    if (made == nullptr) {
      return nullptr;
    }
    it = objects.emplace(name, std::move(made)).first;
  }
  auto handle = std::make_unique<HandleType>();
  handle->object = it->second;
  handle->name = name;
  // The id is only ever looked up here, never dereferenced by a caller.
  auto* id = reinterpret_cast<HandleType*>(S().nextHandleId);
  S().nextHandleId += kHandleIdStep;
  handles.emplace(id, std::move(handle));
  return id;
}

}  // namespace

// ---- control ----

void ScmMemReset() {
  MemState& s = S();
  Guard guard(s.lock);
  for (auto& entry : s.queues) {
    entry.second->deleted = true;
  }
  for (auto& entry : s.sems) {
    entry.second->deleted = true;
  }
  s.queues.clear();
  s.sems.clear();
  // Handles from before the reset are freed; their ids stay unknown and fail.
  s.queueHandles.clear();
  s.semHandles.clear();
  for (Injection& injection : s.injections) {
    injection = Injection{};
  }
  s.blockHook = nullptr;
  s.delayHook = nullptr;
  s.delayCalls = 0;
  s.delayTicks = 0;
  s.spawns.clear();
  s.refuseSpawn.clear();
  s.syscallHook = nullptr;
  s.infoPathSet = false;
  s.infoPath.clear();
  s.infoFail = 0;
  s.clkRate = kDefaultClkRate;
}

STATUS ScmMemCreateQueue(const char* name, int maxMsgs, int maxMsgLength) {
  MemState& s = S();
  Guard guard(s.lock);
  if (name == nullptr || maxMsgs < 0 || maxMsgLength < 0 || s.queues.count(name) != 0) {
    return ERROR;
  }
  auto queue = std::make_shared<MemQueue>();
  queue->maxMsgs = maxMsgs;
  queue->maxMsgLength = maxMsgLength;
  s.queues.emplace(name, queue);
  return OK;
}

STATUS ScmMemDeleteQueue(const char* name) {
  MemState& s = S();
  Guard guard(s.lock);
  auto it = name != nullptr ? s.queues.find(name) : s.queues.end();
  if (it == s.queues.end()) {
    return ERROR;
  }
  it->second->deleted = true;
  s.queues.erase(it);
  return OK;
}

STATUS ScmMemCreateSemaphore(const char* name, int initState) {
  MemState& s = S();
  Guard guard(s.lock);
  if (name == nullptr || s.sems.count(name) != 0) {
    return ERROR;
  }
  auto sem = std::make_shared<MemSem>();
  sem->full = initState == SEM_FULL;
  s.sems.emplace(name, sem);
  return OK;
}

STATUS ScmMemDeleteSemaphore(const char* name) {
  MemState& s = S();
  Guard guard(s.lock);
  auto it = name != nullptr ? s.sems.find(name) : s.sems.end();
  if (it == s.sems.end()) {
    return ERROR;
  }
  it->second->deleted = true;
  s.sems.erase(it);
  return OK;
}

void ScmMemInjectFailures(ScmMemOp op, int count, int errnoValue) {
  Guard guard(S().lock);
  S().injections[static_cast<int>(op)] = Injection{count, errnoValue};
}

int ScmMemQueueCount(const char* name) {
  Guard guard(S().lock);
  auto it = name != nullptr ? S().queues.find(name) : S().queues.end();
  return it == S().queues.end() ? -1 : static_cast<int>(it->second->messages.size());
}

std::vector<std::vector<uint8_t>> ScmMemQueueContents(const char* name) {
  Guard guard(S().lock);
  auto it = name != nullptr ? S().queues.find(name) : S().queues.end();
  if (it == S().queues.end()) {
    return {};
  }
  return {it->second->messages.begin(), it->second->messages.end()};
}

STATUS ScmMemQueuePut(const char* name, const void* data, size_t length) {
  Guard guard(S().lock);
  auto it = name != nullptr ? S().queues.find(name) : S().queues.end();
  if (it == S().queues.end() || (data == nullptr && length > 0)) {
    return ERROR;
  }
  MemQueue& queue = *it->second;
  if (static_cast<int>(queue.messages.size()) >= queue.maxMsgs ||
      length > static_cast<size_t>(queue.maxMsgLength)) {
    return ERROR;
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  queue.messages.emplace_back(bytes, bytes + length);
  return OK;
}

STATUS ScmMemQueueClear(const char* name) {
  Guard guard(S().lock);
  auto it = name != nullptr ? S().queues.find(name) : S().queues.end();
  if (it == S().queues.end()) {
    return ERROR;
  }
  it->second->messages.clear();
  return OK;
}

int ScmMemSemState(const char* name) {
  Guard guard(S().lock);
  auto it = name != nullptr ? S().sems.find(name) : S().sems.end();
  return it == S().sems.end() ? -1 : (it->second->full ? 1 : 0);
}

int ScmMemSemGiveCount(const char* name) {
  Guard guard(S().lock);
  auto it = name != nullptr ? S().sems.find(name) : S().sems.end();
  return it == S().sems.end() ? -1 : it->second->gives;
}

int ScmMemSemTakeCount(const char* name) {
  Guard guard(S().lock);
  auto it = name != nullptr ? S().sems.find(name) : S().sems.end();
  return it == S().sems.end() ? -1 : it->second->takes;
}

void ScmMemSetBlockHook(ScmMemBlockHook hook) {
  Guard guard(S().lock);
  S().blockHook = std::move(hook);
}

int ScmMemDelayCalls() {
  Guard guard(S().lock);
  return S().delayCalls;
}

int64_t ScmMemDelayTicks() {
  Guard guard(S().lock);
  return S().delayTicks;
}

void ScmMemSetDelayHook(ScmMemDelayHook hook) {
  Guard guard(S().lock);
  S().delayHook = std::move(hook);
}

std::vector<ScmMemSpawnRecord> ScmMemSpawns() {
  Guard guard(S().lock);
  return S().spawns;
}

void ScmMemRefuseSpawn(const char* substring) {
  Guard guard(S().lock);
  S().refuseSpawn = substring != nullptr ? substring : "";
}

int ScmMemRunSpawn(size_t index) {
  ScmMemSpawnRecord spawn;
  {
    Guard guard(S().lock);
    if (index >= S().spawns.size()) {
      return ERROR;
    }
    spawn = S().spawns[index];
  }
  try {
    return spawn.entry(spawn.args[0], spawn.args[1], spawn.args[2], spawn.args[3], spawn.args[4],
                       spawn.args[5], spawn.args[6], spawn.args[7], spawn.args[8], spawn.args[9]);
  } catch (const ScmMemTaskExit& exit) {
    return exit.code;
  }
}

void ScmMemSetSyscallHook(ScmMemSyscallHook hook) {
  Guard guard(S().lock);
  S().syscallHook = std::move(hook);
}

void ScmMemSetRtpInfo(const char* path, int failErrno) {
  Guard guard(S().lock);
  S().infoPathSet = path != nullptr;
  S().infoPath = path != nullptr ? path : "";
  S().infoFail = failErrno;
}

size_t ScmMemHandleCount() {
  Guard guard(S().lock);
  return S().queueHandles.size() + S().semHandles.size();
}

void ScmMemSetClkRate(int ticksPerSecond) {
  Guard guard(S().lock);
  S().clkRate = ticksPerSecond;
}

// ---- the platform API ----

MSG_Q_ID msgQOpen(const char* name, size_t maxMsgs, size_t maxMsgLength, int /*options*/, int mode,
                  void* /*context*/) {
  MemState& s = S();
  Guard guard(s.lock);
  return OpenNamed(s.queues, s.queueHandles, ScmMemOp::QueueOpen, name, mode, [&]() -> std::shared_ptr<MemQueue> {
    if (maxMsgs > static_cast<size_t>(INT_MAX) || maxMsgLength > static_cast<size_t>(INT_MAX)) {
      errno = SCM_ERRNO_NO_MEMORY;
      return nullptr;
    }
    auto queue = std::make_shared<MemQueue>();
    queue->maxMsgs = static_cast<int>(maxMsgs);
    queue->maxMsgLength = static_cast<int>(maxMsgLength);
    return queue;
  });
}

STATUS msgQSend(MSG_Q_ID id, char* buffer, unsigned int nBytes, int timeout, int /*priority*/) {
  Guard guard(S().lock);
  ScmSimMsgQ* handle = LiveQueue(id);
  if (handle == nullptr || Injected(ScmMemOp::Send)) {
    return ERROR;
  }
  MemQueue& queue = *handle->object;
  if (buffer == nullptr && nBytes > 0) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return ERROR;
  }
  if (nBytes > static_cast<unsigned int>(queue.maxMsgLength)) {
    errno = SCM_ERRNO_TOO_LONG;
    return ERROR;
  }
  if (static_cast<int>(queue.messages.size()) >= queue.maxMsgs) {
    return WouldWait(timeout);
  }
  queue.messages.emplace_back(reinterpret_cast<uint8_t*>(buffer), reinterpret_cast<uint8_t*>(buffer) + nBytes);
  return OK;
}

ssize_t msgQReceive(MSG_Q_ID id, char* buffer, unsigned int maxNBytes, int timeout) {
  Guard guard(S().lock);
  ScmSimMsgQ* handle = LiveQueue(id);
  if (handle == nullptr || Injected(ScmMemOp::Receive)) {
    return ERROR;
  }
  MemQueue& queue = *handle->object;
  if (buffer == nullptr && maxNBytes > 0) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return ERROR;
  }
  if (queue.messages.empty()) {
    return WouldWait(timeout);
  }
  const std::vector<uint8_t> message = std::move(queue.messages.front());
  queue.messages.pop_front();
  const size_t copied = message.size() < maxNBytes ? message.size() : maxNBytes;
  if (copied > 0) {
    memcpy(buffer, message.data(), copied);
  }
  return static_cast<ssize_t>(copied);
}

STATUS msgQInfoGet(MSG_Q_ID id, MSG_Q_INFO* info) {
  Guard guard(S().lock);
  ScmSimMsgQ* handle = LiveQueue(id);
  if (handle == nullptr) {
    return ERROR;
  }
  if (info == nullptr) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return ERROR;
  }
  info->numMsgs = static_cast<int>(handle->object->messages.size());
  info->maxMsgs = handle->object->maxMsgs;
  info->maxMsgLength = handle->object->maxMsgLength;
  return OK;
}

STATUS msgQClose(MSG_Q_ID id) {
  Guard guard(S().lock);
  auto it = S().queueHandles.find(id);
  if (id == nullptr || it == S().queueHandles.end() || it->second->closed) {
    errno = SCM_ERRNO_INVALID_ID;
    return ERROR;
  }
  it->second->closed = true;
  return OK;
}

STATUS msgQDelete(MSG_Q_ID id) {
  Guard guard(S().lock);
  ScmSimMsgQ* handle = LiveQueue(id);
  if (handle == nullptr) {
    return ERROR;
  }
  return ScmMemDeleteQueue(handle->name.c_str());
}

SEM_ID semOpen(const char* name, int type, int initState, int /*options*/, int mode, void* /*context*/) {
  MemState& s = S();
  Guard guard(s.lock);
  return OpenNamed(s.sems, s.semHandles, ScmMemOp::SemOpen, name, mode, [&]() -> std::shared_ptr<MemSem> {
    if (type != SEM_TYPE_BINARY || (initState != SEM_EMPTY && initState != SEM_FULL)) {
      errno = SCM_ERRNO_BAD_ARGUMENT;
      return nullptr;
    }
    auto sem = std::make_shared<MemSem>();
    sem->full = initState == SEM_FULL;
    return sem;
  });
}

STATUS semTake(SEM_ID id, int timeout) {
  Guard guard(S().lock);
  ScmSimSem* handle = LiveSem(id);
  if (handle == nullptr || Injected(ScmMemOp::SemTake)) {
    return ERROR;
  }
  MemSem& sem = *handle->object;
  if (!sem.full && timeout != NO_WAIT && S().blockHook) {
    const ScmMemBlockHook hook = S().blockHook;
    const std::string name = handle->name;
    if (hook(name.c_str(), timeout) && sem.deleted) {
      errno = SCM_ERRNO_DELETED;
      return ERROR;
    }
  }
  if (!sem.full) {
    return WouldWait(timeout);
  }
  sem.full = false;
  ++sem.takes;
  return OK;
}

STATUS semGive(SEM_ID id) {
  Guard guard(S().lock);
  ScmSimSem* handle = LiveSem(id);
  if (handle == nullptr || Injected(ScmMemOp::SemGive)) {
    return ERROR;
  }
  handle->object->full = true;
  ++handle->object->gives;
  return OK;
}

STATUS semFlush(SEM_ID id) {
  Guard guard(S().lock);
  return LiveSem(id) == nullptr ? ERROR : OK;  // nobody ever waits here
}

STATUS semClose(SEM_ID id) {
  Guard guard(S().lock);
  auto it = S().semHandles.find(id);
  if (id == nullptr || it == S().semHandles.end() || it->second->closed) {
    errno = SCM_ERRNO_INVALID_ID;
    return ERROR;
  }
  it->second->closed = true;
  return OK;
}

STATUS semDelete(SEM_ID id) {
  Guard guard(S().lock);
  ScmSimSem* handle = LiveSem(id);
  if (handle == nullptr) {
    return ERROR;
  }
  return ScmMemDeleteSemaphore(handle->name.c_str());
}

TASK_ID taskSpawn(const char* name, int priority, int options, size_t stackSize, FUNCPTR entry,
                  _Vx_usr_arg_t a1, _Vx_usr_arg_t a2, _Vx_usr_arg_t a3, _Vx_usr_arg_t a4,
                  _Vx_usr_arg_t a5, _Vx_usr_arg_t a6, _Vx_usr_arg_t a7, _Vx_usr_arg_t a8,
                  _Vx_usr_arg_t a9, _Vx_usr_arg_t a10) {
  MemState& s = S();
  Guard guard(s.lock);
  if (entry == nullptr || priority < 0 || priority > 255) {
    errno = SCM_ERRNO_BAD_ARGUMENT;
    return TASK_ID_ERROR;
  }
  const std::string fullName = name != nullptr ? name : "";
  if (!s.refuseSpawn.empty() && fullName.find(s.refuseSpawn) != std::string::npos) {
    errno = SCM_ERRNO_NO_MEMORY;
    return TASK_ID_ERROR;
  }
  ScmMemSpawnRecord record{fullName, priority, options, stackSize, entry,
                           {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10},
                           kFirstTaskId + static_cast<TASK_ID>(s.spawns.size())};
  s.spawns.push_back(record);
  return record.id;
}

void taskExit(int code) { throw ScmMemTaskExit{code}; }

STATUS taskDelay(int ticks) {
  ScmMemDelayHook hook;
  {
    Guard guard(S().lock);
    if (ticks < 0) {
      errno = SCM_ERRNO_BAD_ARGUMENT;
      return ERROR;
    }
    hook = S().delayHook;
  }
  if (hook) {
    hook(ticks);  // may throw ScmMemTaskExit
  }
  Guard guard(S().lock);
  ++S().delayCalls;
  S().delayTicks += ticks;
  return OK;
}

int sysClkRateGet(void) {
  Guard guard(S().lock);
  return S().clkRate;
}

STATUS rtpInfoGet(RTP_ID id, RTP_DESC* desc) {
  MemState& s = S();
  Guard guard(s.lock);
  return scmsim::FillRtpDesc(id, desc, s.infoFail, s.infoPathSet ? s.infoPath.c_str() : nullptr, &s.infoBuffer);
}

_Vx_usr_arg_t rtpSyscall(_Vx_usr_arg_t w0, _Vx_usr_arg_t w1, _Vx_usr_arg_t w2, _Vx_usr_arg_t w3,
                         _Vx_usr_arg_t w4, _Vx_usr_arg_t w5, _Vx_usr_arg_t w6, _Vx_usr_arg_t w7,
                         int number) {
  ScmMemSyscallHook hook;
  {
    Guard guard(S().lock);
    hook = S().syscallHook;
  }
  if (!hook) {
    errno = SCM_ERRNO_HOST_CALL;
    return -1;
  }
  const _Vx_usr_arg_t words[8] = {w0, w1, w2, w3, w4, w5, w6, w7};
  return hook(words, number);
}

extern "C" void ScmSimBlockingBegin(void) {}

extern "C" void ScmSimBlockingEnd(void) {}
