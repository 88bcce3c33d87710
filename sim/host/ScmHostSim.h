// The host-runtime simulator for one safety domain: it creates the domain's
// fourteen queues and two cycle semaphores, serves the host system calls
// 0x80..0x95 over a Unix socket, supervises the programs it starts, carries
// out domain resets, and offers a control interface to tests (this class) and
// to the command-line client (text commands over the same socket).
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "HostStorage.h"
#include "QorController.h"
#include "Supervisor.h"
#include "hostclock.h"
#include "vxworks.h"

namespace ScmSim {

/// Bytes of a message, file or reply.
using Bytes = std::vector<uint8_t>;
/// A 6-byte UDID.
using Udid = std::array<uint8_t, 6>;

/// One of the domain's fourteen queues.
struct QueueDef {
  const char* name;    ///< relative name: suffix, "~" + suffix on the firmware side
  uint32_t maxLength;  ///< longest message
  uint32_t capacity;   ///< default number of messages it holds
};

/// The fourteen queues: the seven host-side ones, then the seven firmware-side ones.
extern const std::array<QueueDef, 14> kQueues;
/// The two cycle semaphores' relative names.
extern const std::array<const char*, 2> kSemaphores;

/// What a simulated host starts with; the run-time setters change most of it later.
struct HostConfig {
  uint16_t sdn = 1;                      ///< the one safety domain served
  std::string socketPath;                ///< Unix socket of host calls and control (required)
  std::string storageDir;                ///< storage directory (required, created when missing)
  std::string simNamespace;              ///< SCM_SIM_NAMESPACE for this process and its programs; empty = keep
  uint64_t counterStart = 0;             ///< first microsecond-counter value
  Udid qorUdid{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30};  ///< Qor controller UDID
  uint8_t qorFailSafeState = 0;          ///< 0 normal, 0xFF not known, else fail-safe
  std::optional<uint32_t> productCode = 0x00012345;  ///< CPU product code; none = the call fails
  std::optional<uint32_t> serialNumber = 0x00C0FFEE; ///< CPU serial number; none = the call fails
  std::map<std::string, uint32_t> capacities;  ///< capacity per relative queue name (1..255)
  std::set<std::string> omit;            ///< relative queue or semaphore names not to create
  bool commitDamagedWrites = true;       ///< a close after a short or refused write commits the partial file (else fails and keeps the old)
  bool resetActs = true;                 ///< 0x8F resets the domain (else only recorded)
  bool resetPlcActs = true;              ///< 0x93 resets the domain (else only recorded)
  size_t callLogLimit = 200000;          ///< call-log records kept (oldest dropped)
};

/// One served host call.
struct CallRecord {
  uint64_t seq = 0;                     ///< running number from 1
  uint32_t number = 0;                  ///< call number
  pid_t pid = 0;                        ///< calling process
  std::array<uint32_t, 8> values{};     ///< value words (address words 0)
  std::string text;                     ///< the call decoded: name(arguments)
  std::string inString;                 ///< the in-string (file name), if any
  Bytes inBytes;                        ///< the in-buffer, if any
  int32_t result = -1;                  ///< result word
  uint32_t err = 0;                     ///< errno of a failure, else 0
  std::chrono::steady_clock::time_point at;  ///< when it was served
};

/// Reset-lock state of the domain.
struct LockState {
  bool locked = false;                  ///< a live process holds the lock
  std::vector<pid_t> holders;           ///< live holders
  uint32_t lockCalls = 0;               ///< 0x8D calls served
  uint32_t unlockCalls = 0;             ///< 0x8E calls served
};

/// Reset counters.
struct ResetState {
  uint32_t domainRequests = 0;          ///< 0x8F calls and control-triggered resets
  uint32_t plcRequests = 0;             ///< 0x93 calls
  uint32_t pending = 0;                 ///< requested, waiting for the lock to clear
  uint32_t done = 0;                    ///< resets carried out
  uint32_t cuts = 0;                    ///< calls cut by a reset that did not wait for the lock (power cut)
};

class HostServer;

/// The simulated host runtime of one safety domain.
class HostSim {
 public:
  explicit HostSim(HostConfig config);
  ~HostSim();
  HostSim(const HostSim&) = delete;
  HostSim& operator=(const HostSim&) = delete;

  /// Exports the environment, creates the objects, sets condition 0, serves the socket.
  /// Throws std::runtime_error when an object or the socket cannot be made.
  void Start();
  /// Stops programs and serving, deletes every object it made, removes socket and temp files.
  void Stop();
  const HostConfig& Config() const { return config_; }

  // ---- queues ----
  /// Absolute object name of a relative queue or semaphore name ("command", "~event").
  std::string FullName(const std::string& relative) const;
  /// Puts the bytes as given on a queue; false (errno set) when full, unknown or deleted.
  bool Inject(const std::string& queue, const Bytes& bytes);
  /// Complements the plain bytes and puts them on a "~" queue; false for a host-side queue.
  bool InjectComplemented(const std::string& queue, const Bytes& plain);
  /// Takes one waiting message as it stands; none when empty or unknown.
  std::optional<Bytes> Collect(const std::string& queue);
  /// Takes one waiting message of a "~" queue and complements it back.
  std::optional<Bytes> CollectComplemented(const std::string& queue);
  /// Messages waiting on a queue, -1 when unknown or deleted.
  int Waiting(const std::string& queue);
  /// The one's complement of every byte.
  static Bytes Complement(const Bytes& bytes);

  // ---- settings ----
  void SetQorUdid(const Udid& udid);
  void SetQorFailSafeState(uint8_t state);
  void SetProductCode(std::optional<uint32_t> code);
  void SetSerialNumber(std::optional<uint32_t> serial);
  /// The counter reads value now and runs on from there.
  void SetCounter(uint64_t value);
  /// Moves the counter forward.
  void AdvanceCounter(uint64_t microseconds);
  uint64_t Counter() const;
  /// Flash area 16: none = absent; at most 18 bytes.
  bool SetFlash(std::optional<Bytes> content);
  std::optional<Bytes> Flash() const;
  /// 0x8F / 0x93 act or are only recorded.
  void SetResetActs(bool domain, bool plc);

  // ---- Qor controller ----
  void ScriptQorReply(const QorReplyScript& script);
  /// Stored value of variable 0..7, none when never written.
  std::optional<Bytes> QorVariable(unsigned variable) const;
  /// Every request sent on the Qor variable channel so far (writes and probes), oldest first.
  std::vector<Bytes> QorRequests() const;
  /// Sets variable 0..7 as the controller keeps it (none: never written); false when out of range.
  bool SetQorVariable(unsigned variable, std::optional<Bytes> value);

  // ---- storage ----
  bool PutFile(const std::string& name, const Bytes& content);
  std::optional<Bytes> GetFile(const std::string& name) const;
  /// The next opens are refused busy (errno 0x10C00); 0 clears.
  void SetStorageBusyOpens(uint32_t opens);
  /// Opens are refused busy for this long from now.
  void SetStorageBusyFor(std::chrono::milliseconds duration);
  /// Opens are refused busy until cleared.
  void SetStorageBusy(bool busy);
  /// The next count calls of number fail with an injected errno (count < 0: until cleared, 0 clears);
  /// with a pid only that process's calls (the others are served and leave the fault armed).
  void InjectFault(uint32_t number, int count, pid_t pid = 0);
  /// The next count reads (0x87), writes (0x88) or flash writes (0x95) transfer at most limit bytes
  /// (a flash write cut short leaves the old content); with a pid only that process's calls.
  void InjectShortTransfer(uint32_t number, int count, uint32_t limit, pid_t pid = 0);
  /// The process's next call of number is cut by a domain reset that does not wait for the reset
  /// lock, as a power cut would: a write first stores at most limit bytes on its handle, any other
  /// call is not served; the caller gets no answer before its programs are killed.
  void InjectCut(uint32_t number, uint32_t limit, pid_t pid);
  /// What a close after a short or refused write does: true commits the partial file, false discards it.
  void SetCommitDamagedWrites(bool commit);
  /// Puts a file locked for download, and its ".swp" companion with the four plain bytes;
  /// false for a file under 4 bytes or a refused name.
  bool Download(const std::string& name, const Bytes& plain, uint32_t word);

  // ---- conditions ----
  std::optional<uint32_t> Condition(unsigned number) const;
  bool SetCondition(unsigned number, uint32_t value);
  bool ClearCondition(unsigned number);
  /// Condition waits (0x90) blocked in the host right now.
  unsigned BlockedWaits() const;

  // ---- resets ----
  LockState ResetLock();
  ResetState Resets() const;
  /// Requests a domain reset as the host itself would (carried out once unlocked).
  void TriggerReset();
  /// Waits until at least count resets were carried out.
  bool WaitResetsDone(uint32_t count, std::chrono::milliseconds timeout);

  // ---- call log ----
  std::vector<CallRecord> CallLog() const;
  void ClearCallLog();

  // ---- programs ----
  Supervisor& Programs() { return *supervisor_; }

  // ---- status and text control ----
  /// One-line summary: objects created, condition 0, resets, lock.
  std::string Status();
  /// Runs one text command of the client; status 0 on success and the text to print.
  std::pair<int, std::string> Control(const std::vector<std::string>& argv);
  /// Called when a client asks the host to shut down.
  void OnShutdownRequest(std::function<void()> callback);
  /// Runs a client's "remote ..." command: (status, text).
  using RemoteHandler = std::function<std::pair<int, std::string>(const std::vector<std::string>&)>;
  /// The operator that serves "remote ..." commands, and "download", "unlock" and
  /// "unlock-response"; without one remote commands are refused and the others served directly.
  void OnRemoteCommand(RemoteHandler handler);
  /// The installed handler (empty when none).
  RemoteHandler RemoteHandlerCopy() const;

  /// Serves one host call (used by the socket server). Fills the reply words.
  struct CallIn {
    uint32_t number = 0;               ///< call number
    pid_t pid = 0;                     ///< calling process
    int fd = -1;                       ///< caller's connection (noticing hang-ups while blocked)
    std::array<uint32_t, 8> w{};       ///< value words
    std::string str;                   ///< in-string
    Bytes in;                          ///< in-buffer
  };
  struct CallOut {
    int32_t result = -1;               ///< result word
    uint32_t err = 0;                  ///< errno when -1
    std::array<uint32_t, 8> words{};   ///< out words by argument index
    Udid udid{};                       ///< out UDID
    uint8_t byte = 0;                  ///< out byte
    Bytes buffer;                      ///< out buffer
  };
  CallOut Serve(const CallIn& in);

 private:
  struct Queue {
    std::string name;                  ///< relative name
    uint32_t maxLength = 0;            ///< longest message
    uint32_t capacity = 0;             ///< messages held
    bool omitted = false;              ///< not created on request
    MSG_Q_ID id = nullptr;             ///< our handle, null when not created
  };
  struct Fault {
    int remaining = 0;                 ///< calls still affected, < 0 until cleared
    bool shortTransfer = false;        ///< transfer at most limit bytes instead of failing
    uint32_t limit = 0;                ///< byte limit of a short transfer (or of a cut write)
    pid_t pid = 0;                     ///< the only process it applies to, 0 for any
    bool cut = false;                  ///< the call is cut by a reset that does not wait for the lock
  };
  struct Holder {
    pid_t pid = 0;                     ///< process holding the reset lock
    int pidfd = -1;                    ///< its pidfd (readable once it ended), -1 = use kill()
  };

  CallOut Dispatch(const CallIn& in, const Fault* shortTransfer);
  void RecordCall(const CallIn& in, const CallOut& out);
  void CreateObjects();
  void DeleteObjects();
  void ResetWorker();
  void CarryOutReset();
  bool LockedLocked();
  Queue* FindQueue(const std::string& name);
  void CheckConfig() const;
  void PublishCounterLocked();

  HostConfig config_;                  ///< configuration as given
  mutable std::mutex mutex_;           ///< guards everything below
  std::condition_variable changed_;    ///< conditions set, resets done, stop
  bool started_ = false;               ///< Start() succeeded
  bool stopping_ = false;              ///< Stop() began
  std::array<Queue, 14> queues_;       ///< the fourteen queues
  std::array<SEM_ID, 2> semaphores_{}; ///< the two cycle semaphores, null when not created
  std::array<std::optional<uint32_t>, 3> conditions_;  ///< host conditions 0..2
  unsigned blockedWaits_ = 0;          ///< condition waits blocked now
  Udid udid_;                          ///< Qor controller UDID
  uint8_t failSafe_ = 0;               ///< Qor fail-safe state
  std::optional<uint32_t> productCode_;   ///< CPU product code
  std::optional<uint32_t> serialNumber_;  ///< CPU serial number
  uint64_t counterBase_ = 0;           ///< counter value at counterEpoch_
  std::chrono::steady_clock::time_point counterEpoch_;  ///< when counterBase_ held
  ScmHostClock::Publisher counterPage_;  ///< the counter as a page beside the socket (call 0x80 without a round trip)
  std::optional<Bytes> flash_;         ///< flash area 16
  bool forcedReset_ = false;           ///< the pending reset does not wait for the lock (a cut)
  uint32_t busyOpens_ = 0;             ///< opens still refused busy
  bool busy_ = false;                  ///< opens refused busy until cleared
  std::chrono::steady_clock::time_point busyUntil_;  ///< opens refused busy until then
  std::map<uint32_t, Fault> faults_;   ///< injected faults per call number
  std::map<pid_t, Holder> holders_;    ///< reset-lock holders
  LockState lockCounts_;               ///< lock/unlock call counts
  ResetState resets_;                  ///< reset counters
  std::deque<CallRecord> log_;         ///< call log (oldest first)
  uint64_t nextSeq_ = 1;               ///< next call-log number
  std::function<void()> onShutdown_;   ///< shutdown request callback
  RemoteHandler onRemote_;             ///< serves "remote ..." commands
  HostStorage storage_;                ///< storage directory
  QorController qor_;                  ///< Qor variable channel
  std::unique_ptr<Supervisor> supervisor_;  ///< started programs
  std::unique_ptr<HostServer> server_;      ///< socket server
  std::thread resetThread_;            ///< carries out requested resets
};

}  // namespace ScmSim
