#include "HostOperator.h"

#include <sys/wait.h>

#include <array>

namespace ScmSim {

namespace {

/// The four frame queues; the checker's fail-safe deletes them for good.
constexpr std::array<const char*, 4> kFrameQueues{"frame-send", "frame-receive", "~frame-send", "~frame-receive"};

/// Appends a message to a bounded list.
void Keep(std::deque<OperatorMessage>& list, uint64_t& seq, Bytes bytes) {
  OperatorMessage m;
  m.seq = seq++;
  m.at = std::chrono::steady_clock::now();
  m.bytes = std::move(bytes);
  list.push_back(std::move(m));
  if (list.size() > HostOperator::kKeptMessages) list.pop_front();
}

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& p : parts) text += (text.empty() ? "" : ", ") + p;
  return text;
}

}  // namespace

std::string ProgramEndText(const ProgramInfo& info) {
  if (!info.exitStatus) return "ended";
  const int status = *info.exitStatus;
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
  return "ended";
}

bool FailSafeState::Has(FailSafeCause cause) const {
  for (const FailSafeSignal& s : signals) {
    if (s.cause == cause) return true;
  }
  return false;
}

FailSafeSignal FailSafeState::First() const { return signals.empty() ? FailSafeSignal{} : signals.front(); }

const char* FailSafeCauseName(FailSafeCause cause) {
  switch (cause) {
    case FailSafeCause::FatalEvent: return "fatal event";
    case FailSafeCause::FrameQueueDeleted: return "frame queue deleted";
    case FailSafeCause::ProgramExited: return "program exited";
    case FailSafeCause::None: break;
  }
  return "none";
}

namespace {

/// Everything that asks for a domain reset: the programs' requests and the power cuts, which set
/// no request of their own but kill the programs all the same.
uint32_t ResetCauses(const ResetState& r) { return r.domainRequests + r.plcRequests + r.cuts; }

}  // namespace

HostOperator::HostOperator(HostSim& host) : host_(host) {
  const ResetState r = host_.Resets();
  resetRequestsSeen_ = ResetCauses(r);
  resetsDoneSeen_ = r.done;
}

void HostOperator::WatchProgram(int programId, std::string name) {
  watched_.push_back(Watched{programId, std::move(name)});
}

size_t HostOperator::Poll() {
  size_t taken = 0;
  while (std::optional<Bytes> bytes = host_.Collect("event")) {
    OperatorEvent e;
    e.seq = nextEventSeq_++;
    e.at = std::chrono::steady_clock::now();
    e.record = DecodeEventRecord(*bytes);
    e.bytes = std::move(*bytes);
    if (e.record) {
      ++eventCounts_[e.record->code];
      if (IsFatalEvent(e.record->code)) Signal(FailSafeCause::FatalEvent, DescribeEvent(*e.record));
    } else {
      ++malformedEvents_;
    }
    events_.push_back(std::move(e));
    if (events_.size() > kKeptEvents) events_.pop_front();
    ++taken;
  }
  while (std::optional<Bytes> bytes = host_.Collect("status")) {
    if (remoteMode_) {
      TakeAnswer(std::move(*bytes));
    } else {
      Keep(responses_, nextResponseSeq_, std::move(*bytes));
    }
    ++taken;
  }
  while (std::optional<Bytes> bytes = host_.Collect("unlock-response")) {
    Keep(unlockResponses_, nextUnlockSeq_, std::move(*bytes));
    ++taken;
  }
  return taken;
}

std::vector<OperatorEvent> HostOperator::NewEvents() {
  std::vector<OperatorEvent> fresh;
  for (const OperatorEvent& e : events_) {
    if (e.seq > handedUpTo_) fresh.push_back(e);
  }
  if (!events_.empty()) handedUpTo_ = events_.back().seq;
  return fresh;
}

bool HostOperator::SendCommand(const Bytes& command) { return host_.Inject("command", command); }

bool HostOperator::SendUnlockRequest(uint32_t identifier, const std::string& name, uint32_t word) {
  const std::optional<Bytes> m = UnlockRequestMessage(identifier, name, word);
  return m && host_.Inject("unlock-request", *m);
}

std::optional<UnlockResponse> HostOperator::ReadUnlockResponse() {
  for (const OperatorMessage& m : unlockResponses_) {
    if (m.seq <= unlockReadUpTo_) continue;
    unlockReadUpTo_ = m.seq;
    if (std::optional<UnlockResponse> r = DecodeUnlockResponse(m.bytes)) return r;
    ++malformedUnlockResponses_;
  }
  return std::nullopt;
}

bool HostOperator::Download(const std::string& name, const Bytes& plain, uint32_t word) {
  return host_.Download(name, plain, word);
}

std::optional<OperatorMessage> HostOperator::ReadResponse() {
  if (responses_.empty()) return std::nullopt;
  OperatorMessage m = std::move(responses_.front());
  responses_.pop_front();
  return m;
}

bool HostOperator::ResetUnderWay() {
  const ResetState r = host_.Resets();
  const uint32_t requests = ResetCauses(r);
  if (r.done != resetsDoneSeen_) {
    // a reset has just been carried out: its kills and re-creations are no signal
    resetsDoneSeen_ = r.done;
    resetRequestsSeen_ = requests;
    NoteReset();
    return true;
  }
  if (r.pending > 0 || requests != resetRequestsSeen_) {
    NoteReset();
    return true;
  }
  return false;
}

void HostOperator::NoteReset() {
  const auto now = std::chrono::steady_clock::now();
  if (now >= settledAt_) {
    // the first look at this reset: remember how often each program had started
    for (Watched& w : watched_) {
      const std::optional<ProgramInfo> info = host_.Programs().Info(w.id);
      w.startsAtReset = info ? info->starts : 0;
    }
  }
  settledAt_ = now + kResetSettleTime;
}

const FailSafeState& HostOperator::CheckFailSafe() {
  Poll();
  // A domain reset kills the programs and re-creates every queue; only what
  // is seen with no reset under way, before and after the look, counts.
  if (ResetUnderWay()) return failSafe_;
  std::vector<std::string> deleted;
  for (const char* q : kFrameQueues) {
    if (host_.Waiting(q) < 0) deleted.push_back(host_.FullName(q));
  }
  std::vector<std::string> ended;
  for (const Watched& w : watched_) {
    const std::optional<ProgramInfo> info = host_.Programs().Info(w.id);
    if (!info) {
      ended.push_back(w.name + " was never started");
    } else if (!info->running && !info->stopped &&
               (std::chrono::steady_clock::now() >= settledAt_ || info->starts > w.startsAtReset)) {
      // within the settle time only a program restarted since the reset counts
      ended.push_back(w.name + " (pid " + std::to_string(info->pid) + ") " + ProgramEndText(*info));
    }
  }
  if (ResetUnderWay()) return failSafe_;
  if (!deleted.empty()) Signal(FailSafeCause::FrameQueueDeleted, Join(deleted));
  if (!ended.empty()) Signal(FailSafeCause::ProgramExited, Join(ended));
  return failSafe_;
}

void HostOperator::Signal(FailSafeCause cause, const std::string& detail) {
  if (failSafe_.Has(cause)) return;
  failSafe_.signals.push_back(FailSafeSignal{cause, detail, std::chrono::steady_clock::now()});
}

}  // namespace ScmSim
