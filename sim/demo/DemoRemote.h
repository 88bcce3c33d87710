// Remote control in a run of scmdemo: the mailbox through which the host's
// control interface (scmhostctl "remote ...") hands commands to the run's
// operator, the one reader of "status", and the scripted operator whose steps
// send commands with an expected result, wait until the status record shows a
// condition, or pause.
#pragma once

#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "HostOperator.h"

namespace ScmDemo {

/// Hands text commands from the host's server threads to the run's loop, one at a time.
class RemoteMailbox {
 public:
  /// Longest a client waits for the run to answer its command.
  static constexpr std::chrono::seconds kClientWait{60};
  /// From a server thread: waits for the loop to run the command; (status, text).
  std::pair<int, std::string> Ask(const std::vector<std::string>& argv);
  /// From the loop: the waiting command, if any.
  std::optional<std::vector<std::string>> Take();
  /// From the loop: the answer to the command taken last.
  void Answer(std::pair<int, std::string> reply);
  /// The run has ended: every waiting and later client is refused.
  void Close();

 private:
  std::mutex mutex_;                                   ///< guards everything below
  std::condition_variable changed_;                    ///< any change
  std::optional<std::vector<std::string>> request_;    ///< the command waiting for the loop
  bool taken_ = false;                                 ///< the loop runs it now
  std::optional<std::pair<int, std::string>> reply_;   ///< the loop's answer, not yet taken
  bool closed_ = false;                                ///< the run has ended
};

/// One step of a scripted operator.
struct OperatorStep {
  enum class Kind {
    Password,  ///< hold another password from now on
    Send,      ///< send a command and expect a result
    Wait,      ///< read the status record until a condition holds
    Pause,     ///< wait a while
    Download,  ///< put a file locked with a word beside its ".swp" companion on the storage
    Unlock,    ///< send an unlock request and expect its result
    Restart,   ///< the host resets the domain as the host itself would (both programs restart)
    Fault,     ///< the firmware's next calls of a number fail or transfer fewer bytes
    Cut,       ///< the firmware's next call of a number is cut by a domain reset (a power cut)
    Unchanged, ///< a storage file (or flash area 16) is byte-equal to what the run installed
  };
  Kind kind = Kind::Pause;                  ///< what the step does
  std::string text;                         ///< the step as written
  ScmSim::RemoteOrder order;                ///< Send: the command
  std::optional<uint16_t> expectResult;     ///< Send: the result it must bring
  std::vector<std::optional<uint32_t>> expectValues;  ///< Send read: each entry's value (none: not read)
  std::string condition;                    ///< Wait: the condition's name
  std::string conditionValue;               ///< Wait: its value
  double seconds = 0;                       ///< Wait: the limit; Pause: the time
  std::string file;                         ///< Download, Unlock: the file's name on the storage
  std::string source;                       ///< Download: where its bytes come from (empty: the run's own file)
  std::optional<uint32_t> word;             ///< Download, Unlock: the unlock word (none: the run's --unlock-word)
  uint32_t identifier = 0;                  ///< Unlock: the request's identifier
  int32_t expectUnlock = 0;                 ///< Unlock: the result it must bring (0 unlocked, -1 refused)
  uint32_t call = 0;                        ///< Fault, Cut: the host call's number
  int count = 0;                            ///< Fault: how many of its calls
  std::optional<uint32_t> limit;            ///< Fault: at most this many bytes (none: refused); Cut: bytes a write stores first
};

/// Reads one step ("send status expect 0", "send enter 0x60 --password x expect 8", "wait mismatches=0 within 60",
/// "pause 2", "password hex:01", "download kel_para.saf [FILE] [--word W]", "unlock 1 kel_para.saf [--word W]
/// expect 0", "wait restarted within 30", "fault 0x88 1 [LIMIT]", "cut 0x88 [LIMIT]", "unchanged fwrevcnf.bin");
/// none and the error when it does not parse.
std::optional<OperatorStep> ParseOperatorStep(const std::string& line, std::string& error);
/// Reads a script file: one step a line, '#' starts a comment; empty and the error on the first bad line.
std::vector<OperatorStep> ReadOperatorScript(const std::string& path, std::string& error);
/// True when the classic record satisfies a Wait step's condition.
bool ConditionHolds(const OperatorStep& step, const TestFrames::StatusSpec& record);

}  // namespace ScmDemo
