// Binds a FrameNetwork to a domain's queues: it takes what the firmware
// transmits from host "frame-receive", puts the nodes' answers on host
// "frame-send" and counts cycles as gives of the firmware-side "frame-send"
// semaphore. Step() runs one pass; Start() runs passes on a thread of its own.
#pragma once
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "FrameNetwork.h"
#include "vxworks.h"

namespace ScmSim {

/// What a pump saw of the queues.
struct PumpCounts {
  u64 passes = 0;        ///< Step() calls
  u64 sent = 0;          ///< frames put on host "frame-send"
  u64 lateAnswers = 0;   ///< frames put there after the cycle count had passed their due cycle
  u64 sendRetries = 0;   ///< sends refused by a full queue and tried again later
};

class NetworkPump {
 public:
  /// Microseconds of host time.
  using Clock = std::function<u64()>;

  /// clock: host time for the nodes' timers; by default the steady clock since construction.
  NetworkPump(u16 sdn, FrameNetwork& network, Clock clock = {});
  ~NetworkPump();
  NetworkPump(const NetworkPump&) = delete;
  NetworkPump& operator=(const NetworkPump&) = delete;

  /// Opens host "frame-receive", host "frame-send" and the firmware-side "frame-send" semaphore; false
  /// when one is missing.
  bool Open();
  /// After a domain reset, which re-creates the queues and the semaphore: opens them anew (the
  /// frames still unsent are dropped with the old queue); the cycle count goes on from where it stood.
  bool Reopen();
  /// One pass: cycle count, every waiting frame to the network, timers, due answers to the queue.
  void Step();
  /// Runs Step() every periodUs on a thread until Stop().
  void Start(u32 periodUs = 200);
  /// Stops the thread (if running).
  void Stop();

  /// Gives of the firmware-side "frame-send" semaphore so far (the cycle), 0 before Open().
  u64 Cycle() const;
  /// True once a frame queue was found deleted (the checker's fail-safe).
  bool QueuesDeleted() const { return queuesDeleted_.load(); }
  /// Counts so far.
  PumpCounts Counts() const;
  /// Runs f with the network, excluded from a running pump.
  void WithNetwork(const std::function<void(const FrameNetwork&)>& f) const;
  /// Runs f with the network for a change, excluded from a running pump.
  void ChangeNetwork(const std::function<void(FrameNetwork&)>& f);

 private:
  void StepLocked();

  u16 sdn_;                                  ///< the domain
  FrameNetwork& network_;                    ///< the network
  Clock clock_;                              ///< host time
  MSG_Q_ID fromFirmware_ = nullptr;          ///< host "frame-receive"
  MSG_Q_ID toFirmware_ = nullptr;            ///< host "frame-send"
  SEM_ID cycleSem_ = nullptr;                ///< firmware-side "frame-send" semaphore
  u64 cycleBase_ = 0;                        ///< cycles counted on semaphores before a reset
  mutable u64 lastGives_ = 0;                ///< gives of the current semaphore at the last look
  std::deque<DueFrame> unsent_;              ///< due frames the full queue refused
  PumpCounts counts_;                        ///< counts
  std::atomic<bool> queuesDeleted_{false};   ///< a frame queue was deleted
  mutable std::mutex mutex_;                 ///< excludes Step() from readers
  std::thread thread_;                       ///< the pump thread
  std::atomic<bool> running_{false};         ///< the thread runs
};

}  // namespace ScmSim
