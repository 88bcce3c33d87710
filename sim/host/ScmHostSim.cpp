#include "ScmHostSim.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "HostServer.h"
#include "HostUnlock.h"
#include "ProcFiles.h"
#include "ScmQueueNames.h"
#include "hostcall_protocol.h"
#include "rtp_testhooks.h"

namespace ScmSim {

using namespace ScmHostCall;

const std::array<QueueDef, 14> kQueues = {{
    {"event", 11, 32},
    {"status", 280, 8},
    {"command", 42, 8},
    {"frame-receive", 521, 64},
    {"frame-send", 521, 64},
    {"unlock-response", 8, 4},
    {"unlock-request", 21, 4},
    {"~event", 11, 32},
    {"~status", 280, 8},
    {"~command", 42, 8},
    {"~frame-receive", 521, 64},
    {"~frame-send", 521, 64},
    {"~unlock-response", 8, 4},
    {"~unlock-request", 21, 4},
}};

const std::array<const char*, 2> kSemaphores = {"~frame-send", "~frame-receive"};

namespace {

/// Prefix that marks a semaphore in HostConfig::omit.
constexpr const char* kSemaphoreOmitPrefix = "sem:";
/// Value the host gives condition 0 once the domain's objects exist.
constexpr uint32_t kCondition0Value = 1;
/// Number of host conditions.
constexpr unsigned kConditions = 3;
/// The one flash file area served.
constexpr uint32_t kFlashArea = 16;
/// Largest flash content.
constexpr size_t kFlashMax = 18;
/// How often a blocked wait looks for a vanished caller, and the reset worker for a released lock.
constexpr std::chrono::milliseconds kPollPeriod{10};

/// Calls whose first word is the safety domain number.
bool TakesSdn(uint32_t number) {
  switch (number) {
    case 0x83: case 0x84: case 0x89: case 0x8D: case 0x8E: case 0x8F:
    case 0x90: case 0x91: case 0x92: case 0x94: case 0x95:
      return true;
    default:
      return false;
  }
}

std::string Hex(const Bytes& b, size_t limit = 64) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < b.size() && i < limit; ++i) {
    s += digits[b[i] >> 4];
    s += digits[b[i] & 15];
  }
  if (b.size() > limit) s += "...(" + std::to_string(b.size()) + " bytes)";
  return s;
}

std::string ValueText(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof(buf), v < 10 ? "%u" : "0x%X", v);
  return buf;
}

/// A process's pidfd, -1 when the kernel has none.
int OpenPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

/// True while the process runs (a zombie has ended).
bool Alive(pid_t pid, int pidfd) {
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
  }
  if (::kill(pid, 0) != 0 && errno == ESRCH) return false;
  const std::optional<std::string> stat = ReadProcFile("/proc/" + std::to_string(pid) + "/stat");
  if (!stat || stat->empty()) return false;
  const std::string line = stat->substr(0, stat->find('\n'));
  const size_t close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

}  // namespace

HostSim::HostSim(HostConfig config) : config_(std::move(config)) {
  for (size_t i = 0; i < kQueues.size(); ++i) {
    Queue& q = queues_[i];
    q.name = kQueues[i].name;
    q.maxLength = kQueues[i].maxLength;
    auto cap = config_.capacities.find(q.name);
    q.capacity = cap == config_.capacities.end() ? kQueues[i].capacity : cap->second;
    q.omitted = config_.omit.count(q.name) != 0;
  }
  udid_ = config_.qorUdid;
  failSafe_ = config_.qorFailSafeState;
  productCode_ = config_.productCode;
  serialNumber_ = config_.serialNumber;
  counterBase_ = config_.counterStart;
  counterEpoch_ = std::chrono::steady_clock::now();
  std::map<std::string, std::string> env{
      {"SafetyDomainNumber", std::to_string(config_.sdn)},
      {"SCM_SIM_HOST_SOCKET", config_.socketPath},
  };
  if (!config_.simNamespace.empty()) env["SCM_SIM_NAMESPACE"] = config_.simNamespace;
  supervisor_ = std::make_unique<Supervisor>(env);
}

HostSim::~HostSim() { Stop(); }

void HostSim::CheckConfig() const {
  if (config_.sdn < 1 || config_.sdn > 1023) throw std::runtime_error("domain number must be 1 to 1023");
  if (config_.socketPath.empty()) throw std::runtime_error("no host socket path");
  if (config_.storageDir.empty()) throw std::runtime_error("no storage directory");
  for (const auto& entry : config_.capacities) {
    const std::string& name = entry.first;
    const uint32_t cap = entry.second;
    if (std::none_of(kQueues.begin(), kQueues.end(), [&](const QueueDef& d) { return name == d.name; })) {
      throw std::runtime_error("no queue named " + name);
    }
    if (cap < 1 || cap > 255) throw std::runtime_error("capacity of " + name + " must be 1 to 255");
  }
  for (const std::string& name : config_.omit) {
    const bool isQueue =
        std::any_of(kQueues.begin(), kQueues.end(), [&](const QueueDef& d) { return name == d.name; });
    const bool isSem = std::any_of(kSemaphores.begin(), kSemaphores.end(), [&](const char* s) {
      return name == std::string(kSemaphoreOmitPrefix) + s;
    });
    if (!isQueue && !isSem) throw std::runtime_error("nothing named " + name + " to omit");
  }
}

void HostSim::Start() {
  CheckConfig();
  std::unique_lock<std::mutex> lock(mutex_);
  if (started_) return;
  if (!config_.simNamespace.empty()) ::setenv("SCM_SIM_NAMESPACE", config_.simNamespace.c_str(), 1);
  ::setenv("SCM_SIM_HOST_SOCKET", config_.socketPath.c_str(), 1);
  storage_.Init(config_.storageDir);
  storage_.SetCommitDamaged(config_.commitDamagedWrites);
  try {
    CreateObjects();
    server_ = std::make_unique<HostServer>(*this, config_.socketPath);
    server_->Start();
  } catch (...) {
    // whoever creates removes: a failed start leaves nothing behind either
    server_.reset();
    DeleteObjects();
    throw;
  }
  conditions_[0] = kCondition0Value;
  started_ = true;
  stopping_ = false;
  // Without the page the programs ask for the counter over the socket, which serves the same value.
  (void)counterPage_.Open(config_.socketPath.c_str());
  PublishCounterLocked();
  resetThread_ = std::thread(&HostSim::ResetWorker, this);
}

void HostSim::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_ || stopping_) return;
    stopping_ = true;
    PublishCounterLocked();
    changed_.notify_all();
  }
  if (resetThread_.joinable()) resetThread_.join();
  supervisor_->StopAll();
  server_->Stop();
  std::lock_guard<std::mutex> lock(mutex_);
  storage_.DiscardAll();
  qor_.CloseAll();
  DeleteObjects();
  // A program stopped while it was deleting an object (the checker's fail-safe
  // deletes the frame queues) can leave that object's name behind, which the
  // delete above no longer reaches: clear the whole namespace, so that a stopped
  // host leaves nothing.
  ScmSimRemoveNamespaceObjects();
  for (auto& [pid, h] : holders_) {
    if (h.pidfd >= 0) ::close(h.pidfd);
  }
  holders_.clear();
  std::error_code ec;
  std::filesystem::remove(config_.storageDir + "/.scmhost-tmp", ec);
  counterPage_.Close();
  started_ = false;
}

void HostSim::PublishCounterLocked() {
  // Call 0x80 goes to the host while it is not serving or a fault is armed on it.
  const bool valid = started_ && !stopping_ && faults_.count(SCM_HC_GET_USEC_COUNTER) == 0;
  counterPage_.Publish(valid, counterBase_,
                       std::chrono::duration_cast<std::chrono::nanoseconds>(counterEpoch_.time_since_epoch()).count());
}

std::string HostSim::FullName(const std::string& relative) const {
  char name[64];
  const bool scmSide = !relative.empty() && relative[0] == '~';
  const char* built = scmSide ? GetQualifiedScmQueueName(config_.sdn, relative.c_str() + 1, name)
                              : GetQualifiedRuntimeQueueName(config_.sdn, relative.c_str(), name);
  return built != nullptr ? std::string(built) : std::string();
}

void HostSim::CreateObjects() {
  const int create = OM_CREATE | OM_EXCL;
  for (Queue& q : queues_) {
    if (q.omitted || q.id != nullptr) continue;
    const std::string name = FullName(q.name);
    q.id = msgQOpen(name.c_str(), q.capacity, q.maxLength, MSG_Q_FIFO, create, nullptr);
    if (q.id == nullptr && errno == SCM_ERRNO_EXISTS) {
      // left over by a host that died: replace it
      MSG_Q_ID stale = msgQOpen(name.c_str(), 0, 0, 0, 0, nullptr);
      if (stale != nullptr) {
        msgQDelete(stale);
        msgQClose(stale);
      }
      q.id = msgQOpen(name.c_str(), q.capacity, q.maxLength, MSG_Q_FIFO, create, nullptr);
    }
    if (q.id == nullptr) throw std::runtime_error("cannot create queue " + name);
  }
  for (size_t i = 0; i < kSemaphores.size(); ++i) {
    if (semaphores_[i] != nullptr ||
        config_.omit.count(std::string(kSemaphoreOmitPrefix) + kSemaphores[i]) != 0) {
      continue;
    }
    const std::string name = FullName(kSemaphores[i]);
    semaphores_[i] = semOpen(name.c_str(), SEM_TYPE_BINARY, SEM_EMPTY, SEM_Q_FIFO, create, nullptr);
    if (semaphores_[i] == nullptr && errno == SCM_ERRNO_EXISTS) {
      SEM_ID stale = semOpen(name.c_str(), 0, 0, 0, 0, nullptr);
      if (stale != nullptr) {
        semDelete(stale);
        semClose(stale);
      }
      semaphores_[i] = semOpen(name.c_str(), SEM_TYPE_BINARY, SEM_EMPTY, SEM_Q_FIFO, create, nullptr);
    }
    if (semaphores_[i] == nullptr) throw std::runtime_error("cannot create semaphore " + name);
  }
}

void HostSim::DeleteObjects() {
  for (Queue& q : queues_) {
    // deleting fails for a queue someone else deleted; our handle is released either way
    if (q.id != nullptr) {
      msgQDelete(q.id);
      msgQClose(q.id);
    }
    q.id = nullptr;
  }
  for (SEM_ID& s : semaphores_) {
    if (s != nullptr) {
      semDelete(s);
      semClose(s);
    }
    s = nullptr;
  }
}

// ---------------------------------------------------------------- queues

HostSim::Queue* HostSim::FindQueue(const std::string& name) {
  for (Queue& q : queues_) {
    if (q.name == name) return &q;
  }
  return nullptr;
}

bool HostSim::Inject(const std::string& queue, const Bytes& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  Queue* q = FindQueue(queue);
  if (q == nullptr || q->id == nullptr) {
    errno = SCM_ERRNO_NOT_FOUND;
    return false;
  }
  Bytes copy = bytes;
  return msgQSend(q->id, reinterpret_cast<char*>(copy.data()), static_cast<unsigned>(copy.size()),
                  NO_WAIT, MSG_PRI_NORMAL) == OK;
}

bool HostSim::InjectComplemented(const std::string& queue, const Bytes& plain) {
  if (queue.empty() || queue[0] != '~') {
    errno = SCM_ERRNO_NOT_FOUND;
    return false;
  }
  return Inject(queue, Complement(plain));
}

std::optional<Bytes> HostSim::Collect(const std::string& queue) {
  std::lock_guard<std::mutex> lock(mutex_);
  Queue* q = FindQueue(queue);
  if (q == nullptr || q->id == nullptr) return std::nullopt;
  Bytes buf(q->maxLength);
  const ssize_t n = msgQReceive(q->id, reinterpret_cast<char*>(buf.data()), q->maxLength, NO_WAIT);
  if (n < 0) return std::nullopt;
  buf.resize(static_cast<size_t>(n));
  return buf;
}

std::optional<Bytes> HostSim::CollectComplemented(const std::string& queue) {
  if (queue.empty() || queue[0] != '~') return std::nullopt;
  std::optional<Bytes> b = Collect(queue);
  if (b) *b = Complement(*b);
  return b;
}

int HostSim::Waiting(const std::string& queue) {
  std::lock_guard<std::mutex> lock(mutex_);
  Queue* q = FindQueue(queue);
  MSG_Q_INFO info{};
  if (q == nullptr || q->id == nullptr || msgQInfoGet(q->id, &info) != OK) return -1;
  return info.numMsgs;
}

Bytes HostSim::Complement(const Bytes& bytes) {
  Bytes out(bytes.size());
  std::transform(bytes.begin(), bytes.end(), out.begin(), [](uint8_t b) { return static_cast<uint8_t>(~b); });
  return out;
}

// ---------------------------------------------------------------- settings

void HostSim::SetQorUdid(const Udid& udid) {
  std::lock_guard<std::mutex> lock(mutex_);
  udid_ = udid;
}
void HostSim::SetQorFailSafeState(uint8_t state) {
  std::lock_guard<std::mutex> lock(mutex_);
  failSafe_ = state;
}
void HostSim::SetProductCode(std::optional<uint32_t> code) {
  std::lock_guard<std::mutex> lock(mutex_);
  productCode_ = code;
}
void HostSim::SetSerialNumber(std::optional<uint32_t> serial) {
  std::lock_guard<std::mutex> lock(mutex_);
  serialNumber_ = serial;
}
void HostSim::SetCounter(uint64_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  counterBase_ = value;
  counterEpoch_ = std::chrono::steady_clock::now();
  PublishCounterLocked();
}
void HostSim::AdvanceCounter(uint64_t microseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  counterBase_ += microseconds;
  PublishCounterLocked();
}
uint64_t HostSim::Counter() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto elapsed = std::chrono::steady_clock::now() - counterEpoch_;
  return counterBase_ + static_cast<uint64_t>(
                            std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
}
bool HostSim::SetFlash(std::optional<Bytes> content) {
  if (content && content->size() > kFlashMax) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  flash_ = std::move(content);
  return true;
}
std::optional<Bytes> HostSim::Flash() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return flash_;
}
void HostSim::SetResetActs(bool domain, bool plc) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.resetActs = domain;
  config_.resetPlcActs = plc;
}

void HostSim::ScriptQorReply(const QorReplyScript& script) {
  std::lock_guard<std::mutex> lock(mutex_);
  qor_.Script(script);
}
bool HostSim::SetQorVariable(unsigned variable, std::optional<Bytes> value) {
  std::lock_guard<std::mutex> lock(mutex_);
  return qor_.SetVariable(variable, std::move(value));
}
std::optional<Bytes> HostSim::QorVariable(unsigned variable) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return qor_.Variable(variable);
}

std::vector<Bytes> HostSim::QorRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return qor_.Requests();
}

bool HostSim::PutFile(const std::string& name, const Bytes& content) {
  std::lock_guard<std::mutex> lock(mutex_);
  return storage_.Put(name, content);
}
std::optional<Bytes> HostSim::GetFile(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return storage_.Get(name);
}
void HostSim::SetStorageBusyOpens(uint32_t opens) {
  std::lock_guard<std::mutex> lock(mutex_);
  busyOpens_ = opens;
}
void HostSim::SetStorageBusyFor(std::chrono::milliseconds duration) {
  std::lock_guard<std::mutex> lock(mutex_);
  busyUntil_ = std::chrono::steady_clock::now() + duration;
}
void HostSim::SetStorageBusy(bool busy) {
  std::lock_guard<std::mutex> lock(mutex_);
  busy_ = busy;
  if (!busy) {
    busyOpens_ = 0;
    busyUntil_ = {};
  }
}
void HostSim::InjectFault(uint32_t number, int count, pid_t pid) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (count == 0) {
    faults_.erase(number);
  } else {
    faults_[number] = Fault{count, false, 0, pid, false};
  }
  PublishCounterLocked();
}
void HostSim::SetCommitDamagedWrites(bool commit) {
  std::lock_guard<std::mutex> lock(mutex_);
  storage_.SetCommitDamaged(commit);
}
bool HostSim::Download(const std::string& name, const Bytes& plain, uint32_t word) {
  const std::optional<Bytes> locked = LockForDownload(plain, word);
  if (!locked) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  return storage_.Put(name, *locked) && storage_.Put(CompanionName(name), Bytes(plain.begin(), plain.begin() + 4));
}
void HostSim::InjectShortTransfer(uint32_t number, int count, uint32_t limit, pid_t pid) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (count == 0) {
    faults_.erase(number);
  } else {
    faults_[number] = Fault{count, true, limit, pid, false};
  }
}
void HostSim::InjectCut(uint32_t number, uint32_t limit, pid_t pid) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_[number] = Fault{1, false, limit, pid, true};
}

std::optional<uint32_t> HostSim::Condition(unsigned number) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (number >= kConditions) return std::nullopt;
  return conditions_[number];
}
bool HostSim::SetCondition(unsigned number, uint32_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (number >= kConditions) return false;
  conditions_[number] = value;
  changed_.notify_all();
  return true;
}
bool HostSim::ClearCondition(unsigned number) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (number >= kConditions) return false;
  conditions_[number].reset();
  return true;
}

unsigned HostSim::BlockedWaits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return blockedWaits_;
}

// ---------------------------------------------------------------- resets

bool HostSim::LockedLocked() {
  for (auto it = holders_.begin(); it != holders_.end();) {
    if (Alive(it->second.pid, it->second.pidfd)) {
      ++it;
    } else {
      if (it->second.pidfd >= 0) ::close(it->second.pidfd);
      it = holders_.erase(it);
    }
  }
  return !holders_.empty();
}

LockState HostSim::ResetLock() {
  std::lock_guard<std::mutex> lock(mutex_);
  LockState s = lockCounts_;
  s.locked = LockedLocked();
  for (const auto& [pid, h] : holders_) s.holders.push_back(pid);
  return s;
}

ResetState HostSim::Resets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return resets_;
}

void HostSim::TriggerReset() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++resets_.domainRequests;
  ++resets_.pending;
  changed_.notify_all();
}

bool HostSim::WaitResetsDone(uint32_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return resets_.done >= count; });
}

void HostSim::ResetWorker() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (resets_.pending > 0 && (forcedReset_ || !LockedLocked())) {
      resets_.pending = 0;
      forcedReset_ = false;
      lock.unlock();
      CarryOutReset();
      lock.lock();
      continue;
    }
    changed_.wait_for(lock, kPollPeriod);
  }
}

void HostSim::CarryOutReset() {
  supervisor_->KillAll();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    storage_.DiscardAll();
    qor_.CloseAll();
    DeleteObjects();
    try {
      CreateObjects();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "scmhost: reset: %s\n", e.what());
    }
    conditions_[1].reset();
    conditions_[2].reset();
    conditions_[0] = kCondition0Value;
    ++resets_.done;
    changed_.notify_all();
  }
  supervisor_->RestartAll();
}

// ---------------------------------------------------------------- call log

std::vector<CallRecord> HostSim::CallLog() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::vector<CallRecord>(log_.begin(), log_.end());
}

void HostSim::ClearCallLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.clear();
}

void HostSim::RecordCall(const CallIn& in, const CallOut& out) {
  CallRecord rec;
  rec.number = in.number;
  rec.pid = in.pid;
  rec.at = std::chrono::steady_clock::now();
  rec.inString = in.str;
  rec.inBytes = in.in;
  rec.result = out.result;
  rec.err = out.result == -1 ? out.err : 0;
  const CallLayout* layout = FindCall(in.number);
  std::string text = layout != nullptr ? layout->name : "?";
  text += "(";
  for (int i = 0; layout != nullptr && i < 8; ++i) {
    const ArgKind k = layout->args[i].kind;
    if (k == ArgKind::None) break;
    if (i > 0) text += ", ";
    switch (k) {
      case ArgKind::Value:
        rec.values[i] = in.w[i];
        if (in.number == 0x84 && i == 2 && in.w[i] >= 0x20 && in.w[i] < 0x7F) {
          text += std::string("'") + static_cast<char>(in.w[i]) + "'";
        } else {
          text += ValueText(in.w[i]);
        }
        break;
      case ArgKind::InString:
        text += "\"" + in.str + "\"";
        break;
      case ArgKind::InBuffer:
        text += "[" + Hex(in.in) + "]";
        break;
      default:
        text += "&out";
        break;
    }
  }
  text += ")";
  rec.text = text;
  std::lock_guard<std::mutex> lock(mutex_);
  rec.seq = nextSeq_++;
  if (log_.size() >= config_.callLogLimit && !log_.empty()) log_.pop_front();
  log_.push_back(std::move(rec));
}

// ---------------------------------------------------------------- host calls

HostSim::CallOut HostSim::Serve(const CallIn& in) {
  CallOut out;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    auto fault = faults_.find(in.number);
    std::optional<Fault> applied;
    if (fault != faults_.end() && (fault->second.pid == 0 || fault->second.pid == in.pid)) {
      applied = fault->second;
      if (fault->second.remaining > 0 && --fault->second.remaining == 0) {
        faults_.erase(fault);
        PublishCounterLocked();
      }
    }
    if (stopping_ || !started_) {
      out.err = SCM_HOST_ERRNO_STOPPING;
    } else if (applied && applied->cut) {
      // A power cut in the middle of the call: a write stores its first bytes on the handle, then the
      // domain resets without waiting for the lock, and the caller is killed before any answer.
      if (in.number == 0x88) (void)Dispatch(in, &*applied);
      ++resets_.cuts;
      ++resets_.pending;
      forcedReset_ = true;
      const uint32_t done = resets_.done;
      changed_.notify_all();
      changed_.wait(lock, [&] { return resets_.done != done || stopping_; });
      out.err = SCM_HOST_ERRNO_STOPPING;
    } else if (applied && !applied->shortTransfer) {
      out.err = SCM_HOST_ERRNO_INJECTED;
      if (in.number == 0x88) storage_.MarkDamaged(static_cast<int32_t>(in.w[0]));
    } else if (TakesSdn(in.number) && in.w[0] != config_.sdn) {
      out.err = SCM_HOST_ERRNO_WRONG_DOMAIN;
    } else if (in.number == SCM_HC_WAIT_FOR_CONDITION) {
      const unsigned c = in.w[1];
      if (c >= kConditions) {
        out.err = SCM_HOST_ERRNO_BAD_ARGUMENT;
      } else {
        ++blockedWaits_;
        for (;;) {
          if (conditions_[c]) {
            out.words[2] = *conditions_[c];
            out.result = 0;
            break;
          }
          if (stopping_) {
            out.err = SCM_HOST_ERRNO_STOPPING;
            break;
          }
          pollfd p{in.fd, POLLRDHUP, 0};
          if (in.fd >= 0 && ::poll(&p, 1, 0) > 0) {
            out.err = SCM_HOST_ERRNO_STOPPING;  // the caller is gone; nobody reads this
            break;
          }
          changed_.wait_for(lock, kPollPeriod);
        }
        --blockedWaits_;
      }
    } else {
      out = Dispatch(in, applied ? &*applied : nullptr);
    }
  }
  RecordCall(in, out);
  return out;
}

HostSim::CallOut HostSim::Dispatch(const CallIn& in, const Fault* shortTransfer) {
  CallOut out;
  auto fail = [&out](uint32_t err) {
    out.result = -1;
    out.err = err;
    return out;
  };
  auto ok = [&out](int32_t result) {
    out.result = result;
    return out;
  };
  const uint32_t* w = in.w.data();
  switch (in.number) {
    case 0x80: {
      const auto elapsed = std::chrono::steady_clock::now() - counterEpoch_;
      const uint64_t c = counterBase_ + static_cast<uint64_t>(
                             std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
      out.words[0] = static_cast<uint32_t>(c);
      out.words[1] = static_cast<uint32_t>(c >> 32);
      return ok(0);
    }
    case 0x81:
    case 0x82: {
      const std::optional<uint32_t>& v = in.number == 0x81 ? productCode_ : serialNumber_;
      if (!v) return fail(SCM_HOST_ERRNO_UNAVAILABLE);
      out.words[0] = *v;
      return ok(0);
    }
    case 0x83:
      out.udid = udid_;
      return ok(0);
    case 0x84: {
      const auto now = std::chrono::steady_clock::now();
      if (busy_ || now < busyUntil_) return fail(SCM_HOST_ERRNO_BUSY);
      if (busyOpens_ > 0) {
        --busyOpens_;
        return fail(SCM_HOST_ERRNO_BUSY);
      }
      const int32_t h = storage_.Open(in.str, w[2], out.err);
      if (h < 0) return fail(out.err);
      out.words[3] = static_cast<uint32_t>(h);
      return ok(h);
    }
    case 0x85: {
      const int32_t r = storage_.Close(static_cast<int32_t>(w[0]), out.err);
      return r < 0 ? fail(out.err) : ok(0);
    }
    case 0x86: {
      const int32_t n = storage_.Length(static_cast<int32_t>(w[0]), out.err);
      if (n < 0) return fail(out.err);
      out.words[1] = static_cast<uint32_t>(n);
      return ok(n);
    }
    case 0x87: {
      const uint32_t max = shortTransfer ? std::min(w[1], shortTransfer->limit) : w[1];
      const int32_t n = storage_.Read(static_cast<int32_t>(w[0]), max, out.buffer, out.err);
      if (n < 0) return fail(out.err);
      out.words[3] = static_cast<uint32_t>(n);
      return ok(n);
    }
    case 0x88: {
      const uint32_t count = shortTransfer ? std::min(w[1], shortTransfer->limit) : w[1];
      const int32_t n = storage_.Write(static_cast<int32_t>(w[0]), in.in.data(), count, out.err);
      if (n < 0) return fail(out.err);
      if (count < w[1]) storage_.MarkDamaged(static_cast<int32_t>(w[0]));
      out.words[3] = static_cast<uint32_t>(n);
      return ok(n);
    }
    case 0x89: {
      if (w[1] != QorController::kChannel) return fail(SCM_HOST_ERRNO_BAD_ARGUMENT);
      const int32_t h = qor_.Open(w[2], w[3]);
      if (h < 0) return fail(SCM_HOST_ERRNO_NO_HANDLE);
      out.words[4] = static_cast<uint32_t>(h);
      return ok(h);
    }
    case 0x8A:
      return qor_.Close(static_cast<int32_t>(w[0])) ? ok(0) : fail(SCM_HOST_ERRNO_BAD_HANDLE);
    case 0x8B: {
      const int32_t n = qor_.Receive(static_cast<int32_t>(w[0]), w[1], out.buffer);
      if (n < 0) return fail(SCM_HOST_ERRNO_BAD_HANDLE);
      out.words[3] = static_cast<uint32_t>(n);
      return ok(n);
    }
    case 0x8C: {
      const int32_t n = qor_.Send(static_cast<int32_t>(w[0]), in.in);
      if (n < 0) return fail(SCM_HOST_ERRNO_BAD_ARGUMENT);
      out.words[3] = static_cast<uint32_t>(n);
      return ok(n);
    }
    case 0x8D:
      ++lockCounts_.lockCalls;
      if (holders_.count(in.pid) == 0) holders_[in.pid] = Holder{in.pid, OpenPidfd(in.pid)};
      return ok(0);
    case 0x8E: {
      ++lockCounts_.unlockCalls;
      auto it = holders_.find(in.pid);
      if (it != holders_.end()) {
        if (it->second.pidfd >= 0) ::close(it->second.pidfd);
        holders_.erase(it);
      }
      return ok(0);
    }
    case 0x8F:
    case 0x93:
      if (in.number == 0x8F) {
        ++resets_.domainRequests;
      } else {
        ++resets_.plcRequests;
      }
      if (in.number == 0x8F ? config_.resetActs : config_.resetPlcActs) {
        ++resets_.pending;
        changed_.notify_all();
      }
      return ok(0);
    case 0x91:
      if (w[1] >= kConditions) return fail(SCM_HOST_ERRNO_BAD_ARGUMENT);
      conditions_[w[1]] = w[2];
      changed_.notify_all();
      return ok(0);
    case 0x92:
      out.byte = failSafe_;
      return ok(0);
    case 0x94:
    case 0x95: {
      if (w[1] != kFlashArea || (w[2] != 0xFFFFFFFFu && w[2] != 0)) return fail(SCM_HOST_ERRNO_BAD_ARGUMENT);
      if (in.number == 0x94) {
        if (!flash_) return fail(SCM_HOST_ERRNO_UNAVAILABLE);
        const size_t n = std::min<size_t>(w[3], flash_->size());
        out.buffer.assign(flash_->begin(), flash_->begin() + static_cast<std::ptrdiff_t>(n));
        out.words[5] = static_cast<uint32_t>(n);
        return ok(static_cast<int32_t>(n));
      }
      if (w[3] > kFlashMax) return fail(SCM_HOST_ERRNO_BAD_ARGUMENT);
      if (shortTransfer != nullptr && shortTransfer->limit < w[3]) {
        // the area is rewritten only by a whole transfer: cut short, it keeps its old content
        out.words[5] = shortTransfer->limit;
        return ok(static_cast<int32_t>(shortTransfer->limit));
      }
      flash_ = in.in;
      out.words[5] = w[3];
      return ok(static_cast<int32_t>(w[3]));
    }
    default:
      return fail(SCM_HOST_ERRNO_BAD_ARGUMENT);
  }
}

// ---------------------------------------------------------------- status

std::string HostSim::Status() {
  std::lock_guard<std::mutex> lock(mutex_);
  int queues = 0;
  for (const Queue& q : queues_) queues += q.id != nullptr ? 1 : 0;
  int sems = 0;
  for (SEM_ID s : semaphores_) sems += s != nullptr ? 1 : 0;
  std::ostringstream s;
  s << "sdn=" << config_.sdn << " running=" << (started_ && !stopping_ ? "yes" : "no")
    << " queues=" << queues << "/14 semaphores=" << sems << "/2"
    << " condition0=" << (conditions_[0] ? "set" : "unset")
    << " condition1=" << (conditions_[1] ? ValueText(*conditions_[1]) : "unset")
    << " condition2=" << (conditions_[2] ? ValueText(*conditions_[2]) : "unset")
    << " locked=" << (LockedLocked() ? "yes" : "no") << " resets=" << resets_.done
    << " pending=" << resets_.pending << " calls=" << (nextSeq_ - 1)
    << " socket=" << config_.socketPath << " storage=" << config_.storageDir;
  return s.str();
}

void HostSim::OnShutdownRequest(std::function<void()> callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  onShutdown_ = std::move(callback);
}

void HostSim::OnRemoteCommand(RemoteHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  onRemote_ = std::move(handler);
}

HostSim::RemoteHandler HostSim::RemoteHandlerCopy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return onRemote_;
}

}  // namespace ScmSim
