// The operator's side of a simulated host: it drains the host-side "event",
// "status" and "unlock-response" queues (events decoded, the others kept as
// they came), sends remote-control commands and hands out their responses,
// and watches for the domain going fail-safe: a class-9 event, a frame queue
// deleted (the checker's fail-safe deletes all four), or a watched program
// that ended without being asked to.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "HostEvents.h"
#include "HostUnlock.h"
#include "ScmHostSim.h"

namespace ScmSim {

/// One message taken from the "event" queue.
struct OperatorEvent {
  uint64_t seq = 0;                                ///< running number from 1, in arrival order
  std::chrono::steady_clock::time_point at;        ///< when the operator took it
  Bytes bytes;                                     ///< the message as it came
  std::optional<EventRecord> record;               ///< its fields; none when it was not 11 bytes
};

/// One message taken from "status" or "unlock-response", kept raw.
struct OperatorMessage {
  uint64_t seq = 0;                                ///< running number from 1 per queue
  std::chrono::steady_clock::time_point at;        ///< when the operator took it
  Bytes bytes;                                     ///< the message as it came
};

/// Why the domain is fail-safe.
enum class FailSafeCause {
  None,               ///< not fail-safe
  FatalEvent,         ///< a class-9 event reached the host
  FrameQueueDeleted,  ///< a frame queue of the domain is gone
  ProgramExited,      ///< a watched program ended
};

/// One observed fail-safe signal.
struct FailSafeSignal {
  FailSafeCause cause = FailSafeCause::None;       ///< the signal
  std::string detail;                              ///< the event, queue or program concerned
  std::chrono::steady_clock::time_point at;        ///< when it was first seen
};

/// What the operator saw of the domain's fail-safe state; the signals latch.
struct FailSafeState {
  std::vector<FailSafeSignal> signals;             ///< each cause once, in the order first seen
  bool Any() const { return !signals.empty(); }
  bool Has(FailSafeCause cause) const;
  /// The first signal, or a None signal.
  FailSafeSignal First() const;
};

/// Name of a cause ("fatal event", "frame queue deleted", ...).
const char* FailSafeCauseName(FailSafeCause cause);
/// How a program's last process ended: "exited with status 3", "ended by signal 9", "ended".
std::string ProgramEndText(const ProgramInfo& info);

/// The operator of one simulated host. Not thread-safe: one thread polls it.
class HostOperator {
 public:
  /// Events kept for reading (older ones are dropped, the counts go on).
  static constexpr size_t kKeptEvents = 4096;
  /// Status and unlock responses kept until read.
  static constexpr size_t kKeptMessages = 1024;
  /// After a reset the supervisor restarts the programs; until then an ended program is no signal.
  static constexpr std::chrono::milliseconds kResetSettleTime{2000};

  explicit HostOperator(HostSim& host);

  /// A program whose end, unless asked for, makes the domain fail-safe.
  void WatchProgram(int programId, std::string name);

  /// Drains "event", "status" and "unlock-response"; the number of messages taken.
  size_t Poll();

  /// Events taken so far (at most kKeptEvents, oldest first).
  const std::deque<OperatorEvent>& Events() const { return events_; }
  /// Events taken since the last call (the tail of Events()).
  std::vector<OperatorEvent> NewEvents();
  /// Events taken per code (11-byte records only).
  const std::map<uint32_t, uint32_t>& EventCounts() const { return eventCounts_; }
  /// Messages on "event" that were not 11 bytes.
  uint32_t MalformedEvents() const { return malformedEvents_; }
  /// Every event taken, malformed ones included.
  uint64_t EventTotal() const { return nextEventSeq_ - 1; }

  /// Sends one remote-control command on the host "command" queue; false when full or gone.
  bool SendCommand(const Bytes& command);
  /// The oldest status response not yet read (Poll fills them).
  std::optional<OperatorMessage> ReadResponse();
  /// Status responses taken and not yet read.
  const std::deque<OperatorMessage>& Responses() const { return responses_; }
  /// Unlock responses taken (kept raw).
  const std::deque<OperatorMessage>& UnlockResponses() const { return unlockResponses_; }
  /// Sends an unlock request (identifier, name of at most 13 bytes, word) on host "unlock-request";
  /// false when the name is too long or the queue full or gone.
  bool SendUnlockRequest(uint32_t identifier, const std::string& name, uint32_t word);
  /// The oldest unlock response not yet read, decoded (Poll fills them); none when none is waiting.
  std::optional<UnlockResponse> ReadUnlockResponse();
  /// Unlock responses that were not 8 bytes.
  uint32_t MalformedUnlockResponses() const { return malformedUnlockResponses_; }
  /// Puts a file locked with word and its companion, each whole, on the host's storage.
  bool Download(const std::string& name, const Bytes& plain, uint32_t word);

  /// Looks for the three fail-safe signals and returns the latched state.
  const FailSafeState& CheckFailSafe();
  const FailSafeState& FailSafe() const { return failSafe_; }

 private:
  struct Watched {
    int id = 0;                 ///< supervisor id
    std::string name;           ///< shown in the signal
    uint32_t startsAtReset = 0; ///< its starts when the last reset was noticed
  };
  void Signal(FailSafeCause cause, const std::string& detail);
  bool ResetUnderWay();
  void NoteReset();

  HostSim& host_;                                  ///< the host operated
  std::vector<Watched> watched_;                   ///< programs whose end counts
  std::deque<OperatorEvent> events_;               ///< events kept
  uint64_t handedUpTo_ = 0;                        ///< last event number NewEvents handed out
  std::map<uint32_t, uint32_t> eventCounts_;       ///< events per code
  uint32_t malformedEvents_ = 0;                   ///< events not 11 bytes long
  uint64_t nextEventSeq_ = 1;                      ///< next event number
  std::deque<OperatorMessage> responses_;          ///< status responses not yet read
  uint64_t nextResponseSeq_ = 1;                   ///< next status number
  std::deque<OperatorMessage> unlockResponses_;    ///< unlock responses taken
  uint64_t nextUnlockSeq_ = 1;                     ///< next unlock-response number
  uint64_t unlockReadUpTo_ = 0;                    ///< last unlock-response number ReadUnlockResponse handed out
  uint32_t malformedUnlockResponses_ = 0;          ///< unlock responses not 8 bytes long
  FailSafeState failSafe_;                         ///< latched signals
  uint32_t resetRequestsSeen_ = 0;                 ///< reset requests when the last reset was seen done
  uint32_t resetsDoneSeen_ = 0;                    ///< resets carried out, as last seen
  std::chrono::steady_clock::time_point settledAt_;  ///< programs killed by the last reset are back by then
};

}  // namespace ScmSim
