// Fixture for the firmware platform's unit tests over the in-memory platform:
// the seven firmware-side queues of domain 7, a reset firmware state, the
// events read back from "~event", and a small fake host behind rtpSyscall.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "rtp_mem_control.h"

namespace FwTest {

/// Domain the unit tests use.
inline constexpr uint16_t kSdn = 7;

/// One event as the host reads it.
struct Event {
  uint8_t level;       ///< level byte
  uint32_t code;       ///< event code
  uint16_t info0;      ///< information0
  uint32_t info1;      ///< information1
  bool operator==(const Event&) const = default;
};
void PrintTo(const Event& e, std::ostream* os);

/// Firmware-side name of a queue suffix in domain 7.
std::string ScmName(const char* suffix);
/// The bytes complemented.
std::vector<uint8_t> Complement(const std::vector<uint8_t>& bytes);

/// A stand-in host: files, busy opens, the Qor UDID, conditions, the counter, failures per call.
class FakeHost {
 public:
  FakeHost() = default;
  ~FakeHost();
  /// Forgets everything and serves rtpSyscall from now on.
  void Install();
  std::map<std::string, std::vector<uint8_t>> files;  ///< storage, by exact name
  int busyOpens = 0;                                   ///< next opens answered busy
  std::set<int> failing;                               ///< call numbers that fail (errno 0x3E0005)
  int failAfterOpen = -1;                              ///< call number failing for faultyFile once open
  int shortReadBy = 0;                                 ///< reads of faultyFile return this many bytes fewer
  int shortWriteBy = 0;                                ///< short writes to faultyFile store and count this many bytes fewer
  int shortWrites = 0;                                 ///< how many of the next writes to faultyFile come out short
  std::string faultyFile;                              ///< the file the faults above apply to (any case)
  std::map<int, int> failNth;                          ///< call number -> its occurrence (1-based) that fails
  std::set<std::string> failingCloses;                 ///< files (any case) whose close fails; the handle goes all the same
  std::vector<std::array<uint8_t, 6>> udids;           ///< UDIDs answered in turn (last one repeats)
  int udidCalls = 0;                                   ///< 0x83 calls served
  std::map<uint32_t, uint32_t> conditions;             ///< conditions set
  uint64_t counter = 0;                                ///< microsecond counter
  uint32_t cpuProductCode = 0x00C0FFEE;                ///< CPU product code (0 = the call fails softly)
  uint32_t cpuSerialNumber = 0x12345678;               ///< CPU serial number
  int openHandles = 0;                                 ///< storage handles open now
  int failWrites = 0;                                  ///< next storage writes refused
  int shortAnyWrites = 0;                              ///< next storage writes, to any file, take one byte less
  int failCloses = 0;                                  ///< next storage closes refused (the handle is gone)
  std::optional<std::vector<uint8_t>> flash;           ///< flash area 16; none: reads and writes fail
  int flashWrites = 0;                                 ///< 0x95 calls served
  int shortFlashWrites = 0;                            ///< next flash writes transfer one byte less (the old content stays)
  int resetCalls = 0;                                  ///< 0x8F calls
  std::vector<int> calls;                              ///< every call number served
  /// The file stored under name compared without regard to case, as the host folds names; null when absent.
  std::vector<uint8_t>* Find(const std::string& name);
  std::function<void(int)> onCall;                     ///< called with each call number before it is served
  // The Qor controller behind channel 6.
  std::vector<uint8_t> qorStates;                      ///< fail-safe states 0x92 reports in turn (last repeats; none: 0)
  int qorStateCalls = 0;                               ///< 0x92 calls served
  std::vector<std::vector<uint8_t>> qorRequests;       ///< every request sent on channel 6, in order
  std::deque<std::optional<std::vector<uint8_t>>> qorReplies;  ///< replies to the next requests (none: silent)
  std::map<int, std::vector<uint8_t>> qorVariables;    ///< values the writes stored, by variable id (reads answer them)
  int qorChannelsOpen = 0;                             ///< channel-6 handles open now
  /// The host replaces a file at its close: after a short or refused write on the handle, the close
  /// discards what was written (fails, old content kept); false: it commits the partial file.
  bool discardFaultyWrites = false;
  int lockResets = 0;                                  ///< 0x8D calls
  int unlockResets = 0;                                ///< 0x8E calls
  /// Call number whose next call meets a power cut (0: none): the call is not served, every file
  /// written on a handle still open keeps its content from before the open (the host replaces a
  /// file only at its close), every handle and the reset hold go, and from then on storage, flash
  /// and reset calls fail without effect until PowerOn().
  int cutAtCall = 0;
  bool poweredOff = false;                             ///< a power cut came and the controller is not back
  /// The controller back after a power cut: calls are served again, with no handle open.
  void PowerOn() { poweredOff = false; }
 private:
  struct Open {
    std::string name;  ///< file
    size_t pos;        ///< read position
  };
  std::map<int, Open> open_;  ///< open handles
  std::map<int, std::optional<std::vector<uint8_t>>> qorPending_;  ///< reply waiting on each open channel
  std::map<int, std::vector<uint8_t>> beforeWrite_;  ///< content at each write open (what a discard restores)
  std::set<int> faultyHandles_;                      ///< write handles that met a short or refused write
  std::set<int> created_;                            ///< write handles whose open created the file
  int nextHandle_ = 3;        ///< next handle number
  std::map<int, int> served_; ///< calls served so far per call number
  _Vx_usr_arg_t Serve(const _Vx_usr_arg_t w[8], int number);
};

/// Resets the in-memory platform and the firmware state; opens the channels.
class FwFixture : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;
  /// Every event waiting on "~event", oldest first, consumed.
  std::vector<Event> TakeEvents();
  /// Codes of TakeEvents().
  std::vector<uint32_t> TakeCodes();
  /// Puts plain bytes complemented on a firmware-side queue.
  void PutComplemented(const char* suffix, const std::vector<uint8_t>& plain);
  /// Waiting messages of a firmware-side queue, complemented back, consumed.
  std::vector<std::vector<uint8_t>> TakePlain(const char* suffix);
  /// Puts a command message on "~command", lets the command channel take it; every answer on "~status".
  std::vector<std::vector<uint8_t>> ExchangeCommand(const std::vector<uint8_t>& message);
  /// The one answer to a command message; empty, and a test failure, unless exactly one came.
  std::vector<uint8_t> AnswerTo(const std::vector<uint8_t>& message);
  /// The host behind rtpSyscall, fresh for each SetUp.
  FakeHost host;
  /// Capacity the fixture gives every queue.
  static constexpr int kCapacity = 8;
  /// Capacity of the event queue.
  static constexpr int kEventCapacity = 32;
};

/// Puts every state of the firmware application back to its start-up value.
void ResetApplication();

// ---- setup mode as the tests reach it ----
// The current release's build answers from its setup-mode record; the older release has none: its
// state reads kSetupAbsent, every state name below is kSetupAbsent, setting a state does nothing and
// no Qor trigger exists (it reads 0).
/// The state the older build reads.
inline constexpr uint32_t kSetupAbsent = 0xFFFFFFFFu;
/// The setup-mode states (MFWQZ_k_SM_... in the current build).
extern const uint32_t kSetupOff, kSetupOn, kSetupOnRequested, kSetupOffRequested, kSetupError;
/// The setup-mode state.
uint32_t SetupState();
/// 1 when the last switch came from the initialisation (the older build: 0).
uint32_t SetupFromInit();
/// Puts setup mode into state.
void SetSetupState(uint32_t state);
/// Switches setup mode on as the initialisation does.
void ActivateSetupModeFromInit();
/// The trigger that sends setup mode to the Qor controller.
uint32_t SetupModeTrigger();
/// Sets that trigger.
void SetSetupModeTrigger(uint32_t value);
/// Puts the setup-mode record and its once-markers back to their start-up values.
void ResetSetupMode();
/// Writes the setup-mode state as Qor variable 6 (the older build, which has no variable 6: -1, nothing sent).
int32_t SendSetupModeToQor(uint32_t on);

/// Writes an executable stand-in and its CRC companion into a temporary file; returns its path.
std::string WriteCheckedExecutable(const std::string& tag);

}  // namespace FwTest
