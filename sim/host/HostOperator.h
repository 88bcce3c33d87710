// The operator's side of a simulated host: it drains the host-side "event",
// "status" and "unlock-response" queues (events decoded, the others kept as
// they came), sends remote-control commands and hands out their responses,
// and watches for the domain going fail-safe: a class-9 event, a frame queue
// deleted (the checker's fail-safe deletes all four), or a watched program
// that ended without being asked to.
#pragma once

#include <array>
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
#include "RemoteMessages.h"
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

/// A password: 16 bytes, zero-padded; all zero means none.
using RemotePassword = std::array<uint8_t, 16>;

/// A remote-control command as the operator orders it.
struct RemoteOrder {
  enum class Kind {
    Enter,       ///< an enter command with the held password
    Status,      ///< a status request (the held password goes along, for the password check)
    ObjectRead,  ///< an object read of up to five objects
    Raw,         ///< any payload as given (bad commands); its echo word is the operator's where present
  };
  Kind kind = Kind::Status;                         ///< what to send
  uint16_t code = 0;                                ///< selection code (Enter, Status)
  std::optional<RemotePassword> newPassword;        ///< the new password of 0x5000 (Enter)
  std::optional<RemotePassword> password;           ///< sent in place of the held password
  std::vector<TestFrames::ObjectRef> objects;       ///< ObjectRead: the objects
  Bytes payload;                                    ///< Raw: the payload
};

/// One remote-control command and what came back.
struct RemoteExchange {
  uint64_t seq = 0;                                 ///< running number from 1
  uint16_t echo = 0;                                ///< the number the answer must carry
  RemoteOrder order;                                ///< what was ordered
  Bytes command;                                    ///< the message sent (header included)
  std::optional<Bytes> answer;                      ///< the paired answer; none while open or after a time-out
  bool timedOut = false;                            ///< no answer within the limit
  std::string text;                                 ///< the command and its decoded answer, for people
  std::chrono::steady_clock::time_point sentAt;     ///< when it was sent
  /// The result field of the answer, when it has one.
  std::optional<uint16_t> Result() const;
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

  // ---- remote control: one command open at a time, paired with its answer by the echo word ----
  /// Longest wait for an answer by default (a quit or a file open can hold the firmware's pass for seconds).
  static constexpr std::chrono::milliseconds kDefaultAnswerLimit{15000};
  /// Commands and answers kept in the log.
  static constexpr size_t kKeptExchanges = 1024;
  /// The password sent with enter commands.
  void SetPassword(const RemotePassword& password) { password_ = password; }
  const RemotePassword& Password() const { return password_; }
  /// A password from text ("hex:" followed by hex digits, else the characters), zero-padded; none when
  /// longer than 16 bytes or bad hex. Empty text is no password (all zero).
  static std::optional<RemotePassword> ParsePassword(const std::string& text);
  /// Sends an order with the next echo number and identifier 0; false while another is open or when the
  /// command queue took nothing. From the first call on, answers on "status" pair with the open command
  /// and never reach ReadResponse.
  bool SendRemote(const RemoteOrder& order);
  /// Polls until the open command's answer arrives or the limit passes; the closed exchange, none when
  /// nothing was open. A time-out closes the command: its late answer counts as stray.
  std::optional<RemoteExchange> AwaitRemote(std::chrono::milliseconds limit = kDefaultAnswerLimit);
  /// SendRemote then AwaitRemote; none when it could not be sent.
  std::optional<RemoteExchange> Exchange(const RemoteOrder& order,
                                         std::chrono::milliseconds limit = kDefaultAnswerLimit);
  /// True while a command waits for its answer.
  bool RemoteOpen() const { return open_.has_value(); }
  /// Commands with their answers, oldest first.
  const std::deque<RemoteExchange>& RemoteLog() const { return remoteLog_; }
  /// Answers that matched no open command.
  uint32_t StrayAnswers() const { return strayAnswers_; }
  /// The last classic and new status records that came back.
  const std::optional<TestFrames::StatusSpec>& LastStatus() const { return lastStatus_; }
  const std::optional<TestFrames::NewStatusSpec>& LastNewStatus() const { return lastNewStatus_; }

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
  /// Pairs one answer from "status" with the open command, or counts it stray.
  void TakeAnswer(Bytes answer);
  /// Closes the open command with its answer (or none for a time-out) and logs it.
  void CloseRemote(std::optional<Bytes> answer, bool timedOut);
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
  RemotePassword password_{};                      ///< sent with enter commands
  bool remoteMode_ = false;                        ///< answers pair with commands (SendRemote was used)
  std::optional<RemoteExchange> open_;             ///< the command waiting for its answer
  uint16_t nextEcho_ = 1;                          ///< echo number of the next command (never 0)
  uint64_t nextRemoteSeq_ = 1;                     ///< running number of the next command
  std::deque<RemoteExchange> remoteLog_;           ///< closed commands
  uint32_t strayAnswers_ = 0;                      ///< answers that matched nothing
  std::optional<TestFrames::StatusSpec> lastStatus_;        ///< last classic record
  std::optional<TestFrames::NewStatusSpec> lastNewStatus_;  ///< last new record
};

/// The order of a "remote enter|status|read|raw ..." command (argv[0] is "remote"); none and the error
/// when it does not parse.
std::optional<RemoteOrder> ParseRemoteOrder(const std::vector<std::string>& argv, std::string& error);

/// Runs one "download", "unlock" or "unlock-response" text command of the control interface
/// through the operator (as the host runs it without one); the status (0 done, 1 refused or
/// nothing waiting, 2 usage) and the text to print.
std::pair<int, std::string> RunDownloadCommand(HostOperator& op, const std::vector<std::string>& argv);

/// Runs one "remote ..." text command of the control interface against an operator (syntax: README.md
/// beside this file); the status (0 answered, 1 refused or timed out, 2 usage) and the text to print.
std::pair<int, std::string> RunRemoteCommand(HostOperator& op, const std::vector<std::string>& argv,
                                             std::chrono::milliseconds limit = HostOperator::kDefaultAnswerLimit);

}  // namespace ScmSim
