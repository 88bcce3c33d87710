#include "NetworkPump.h"

#include <cerrno>

#include "ScmQueueNames.h"
#include "rtp_testhooks.h"

namespace ScmSim {

namespace {

/// Longest frame on a frame queue.
constexpr unsigned kMaxFrame = 521;

/// True when errno says the object is gone.
bool Gone(int err) { return err == SCM_ERRNO_INVALID_ID || err == SCM_ERRNO_DELETED || err == SCM_ERRNO_NOT_FOUND; }

}  // namespace

NetworkPump::NetworkPump(u16 sdn, FrameNetwork& network, Clock clock)
    : sdn_(sdn), network_(network), clock_(std::move(clock)) {
  if (!clock_) {
    const auto start = std::chrono::steady_clock::now();
    clock_ = [start] {
      return static_cast<u64>(
          std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
    };
  }
}

NetworkPump::~NetworkPump() {
  Stop();
  if (fromFirmware_ != nullptr) msgQClose(fromFirmware_);
  if (toFirmware_ != nullptr) msgQClose(toFirmware_);
  if (cycleSem_ != nullptr) semClose(cycleSem_);
}

bool NetworkPump::Open() {
  char name[SCM_QUEUE_NAME_SIZE];
  fromFirmware_ = msgQOpen(GetQualifiedRuntimeQueueName(sdn_, "frame-receive", name), 0, 0, 0, 0, nullptr);
  toFirmware_ = msgQOpen(GetQualifiedRuntimeQueueName(sdn_, "frame-send", name), 0, 0, 0, 0, nullptr);
  cycleSem_ = semOpen(GetQualifiedScmQueueName(sdn_, "frame-send", name), SEM_TYPE_BINARY, SEM_EMPTY, 0, 0, nullptr);
  return fromFirmware_ != nullptr && toFirmware_ != nullptr && cycleSem_ != nullptr;
}

u64 NetworkPump::Cycle() const {
  if (cycleSem_ == nullptr) {
    return cycleBase_;
  }
  const long long gives = ScmSimSemGives(cycleSem_);
  if (gives >= 0) {
    lastGives_ = static_cast<u64>(gives);
  }
  return cycleBase_ + lastGives_;
}

bool NetworkPump::Reopen() {
  std::lock_guard<std::mutex> lock(mutex_);
  (void)Cycle();
  cycleBase_ += lastGives_;
  lastGives_ = 0;
  if (fromFirmware_ != nullptr) msgQClose(fromFirmware_);
  if (toFirmware_ != nullptr) msgQClose(toFirmware_);
  if (cycleSem_ != nullptr) semClose(cycleSem_);
  fromFirmware_ = nullptr;
  toFirmware_ = nullptr;
  cycleSem_ = nullptr;
  unsent_.clear();
  queuesDeleted_ = false;
  return Open();
}

void NetworkPump::Step() {
  std::lock_guard<std::mutex> lock(mutex_);
  StepLocked();
}

void NetworkPump::StepLocked() {
  ++counts_.passes;
  if (fromFirmware_ == nullptr || toFirmware_ == nullptr) {
    return;
  }
  u64 cycle = Cycle();
  const u64 now = clock_();
  char buffer[kMaxFrame];
  for (;;) {
    const ssize_t n = msgQReceive(fromFirmware_, buffer, sizeof buffer, NO_WAIT);
    if (n < 0) {
      if (Gone(errno)) {
        queuesDeleted_ = true;
      }
      break;
    }
    network_.FromFirmware(FrameBytes(buffer, buffer + n), cycle, now);
  }
  network_.Tick(cycle, now);
  for (DueFrame& f : network_.TakeDue(cycle)) {
    unsent_.push_back(std::move(f));
  }
  while (!unsent_.empty()) {
    DueFrame& f = unsent_.front();
    if (msgQSend(toFirmware_, reinterpret_cast<char*>(f.frame.data()), static_cast<unsigned>(f.frame.size()),
                 NO_WAIT, 0) != OK) {
      if (Gone(errno)) {
        queuesDeleted_ = true;
        unsent_.clear();
      } else {
        ++counts_.sendRetries;
      }
      break;
    }
    cycle = Cycle();
    ++counts_.sent;
    if (cycle > f.dueCycle) {
      ++counts_.lateAnswers;
    }
    unsent_.pop_front();
  }
}

void NetworkPump::Start(u32 periodUs) {
  if (running_.exchange(true)) {
    return;
  }
  thread_ = std::thread([this, periodUs] {
    while (running_.load()) {
      Step();
      std::this_thread::sleep_for(std::chrono::microseconds(periodUs));
    }
  });
}

void NetworkPump::Stop() {
  if (running_.exchange(false) && thread_.joinable()) {
    thread_.join();
  }
}

PumpCounts NetworkPump::Counts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counts_;
}

void NetworkPump::ChangeNetwork(const std::function<void(FrameNetwork&)>& f) {
  std::lock_guard<std::mutex> lock(mutex_);
  f(network_);
}

void NetworkPump::WithNetwork(const std::function<void(const FrameNetwork&)>& f) const {
  std::lock_guard<std::mutex> lock(mutex_);
  f(network_);
}

}  // namespace ScmSim
