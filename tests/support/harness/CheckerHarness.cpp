#include "CheckerHarness.h"

#include <algorithm>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "ScmGen.h"
#include "rtp_clock.h"
#include "rtp_emulator.h"
#include "rtp_testhooks.h"

extern char** environ;

namespace ScmTest {

namespace {

/// Distinguishes the harnesses of one test process.
std::atomic<int> harnessCounter{0};

/// Ticks of the stand-in's clock for a duration (the rate is the stand-in's default).
int Ticks(std::chrono::milliseconds duration) {
  const long long ticks = duration.count() * sysClkRateGet() / 1000;
  return ticks < 1 ? 1 : static_cast<int>(ticks);
}

uint32_t LittleEndian(const Bytes& bytes, size_t offset, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) {
    value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
  }
  return value;
}

}  // namespace

uint32_t BuildIdentWord() { return static_cast<uint32_t>(SCM_FIRMWARE_IDENT); }

uint32_t LegacyIdentWord() { return static_cast<uint32_t>(SCM_HARNESS_LEGACY_IDENT); }

std::string LegacyCheckerPath() { return SCM_HARNESS_LEGACY_CHECKER_PATH; }

std::set<std::string> TaskNames(pid_t pid) {
  std::set<std::string> names;
  std::error_code error;
  const std::string directory = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    std::ifstream comm(entry.path() / "comm");
    std::string name;
    if (std::getline(comm, name)) {
      names.insert(name);
    }
  }
  return names;
}

CheckerHarness::CheckerHarness(CheckerHarnessOptions options) : options_(std::move(options)) {
  if (options_.executable.empty()) {
    options_.executable = SCM_HARNESS_CHECKER_PATH;
  }
  const int number = harnessCounter.fetch_add(1);
  namespace_ = "chk" + std::to_string(getpid()) + "_" + std::to_string(number);
  char pattern[] = "/tmp/scmharness.XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    throw std::runtime_error("no temporary directory");
  }
  directory_ = pattern;
  // The stand-in in this process and in the checker use the same namespace.
  setenv("SCM_SIM_NAMESPACE", namespace_.c_str(), 1);
  ScmSim::HostConfig config;
  config.sdn = options_.sdn;
  config.socketPath = directory_ + "/host.sock";
  config.storageDir = directory_ + "/storage";
  config.simNamespace = namespace_;
  config.capacities = options_.capacities;
  config.omit = options_.omitQueues;
  for (const std::string& semaphore : options_.omitSemaphores) {
    config.omit.insert("sem:" + semaphore);
  }
  config.counterStart = options_.counterStart;
  config.resetActs = false;
  config.resetPlcActs = false;
  host_ = std::make_unique<ScmSim::HostSim>(config);
}

CheckerHarness::~CheckerHarness() {
  Kill();
  if (outputReader_.joinable()) {
    outputReader_.join();
  }
  for (SEM_ID semaphore : {toScm_, fromScm_}) {
    if (semaphore != nullptr) {
      semClose(semaphore);
    }
  }
  for (const auto& [suffix, queue] : firmwareQueues_) {
    msgQClose(queue);
  }
  host_->Stop();
  // The moved real-time clock is an object of the namespace too.
  ScmSimClockRemove();
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

std::map<std::string, Bytes> InstalledEmptyDomainFiles() {
  const ScmGen::InstalledState state = ScmGen::Install(ScmGen::Domain{}, ScmSim::HostConfig{}.qorUdid);
  return {{ScmGen::kCorvaneUidName, state.corvaneUid}, {ScmGen::kCorvaneUidChkName, state.corvaneUidChk}};
}

Bytes InstalledEmptyDomainFlash() {
  return ScmGen::Install(ScmGen::Domain{}, ScmSim::HostConfig{}.qorUdid).flash;
}

Bytes InstalledEmptyDomainVariable4() { return InstalledEmptyDomainFiles().at(ScmGen::kCorvaneUidName); }

void CheckerHarness::Start() {
  host_->Start();
  for (const auto& [name, bytes] : options_.storage) {
    if (!host_->PutFile(name, bytes)) {
      throw std::runtime_error("cannot put " + name + " on the host's storage");
    }
  }
  if (!host_->SetFlash(options_.flash)) {
    throw std::runtime_error("flash area 16 holds at most 18 bytes");
  }
  host_->SetStorageBusy(options_.storageBusy);
  if (options_.qorVariable4) {
    // The read request of variable 4 is the first request on channel 6.
    ScmSim::QorReplyScript reply;
    reply.kind = ScmSim::QorReplyScript::Kind::Raw;
    const Bytes& value = *options_.qorVariable4;
    reply.bytes.assign(2 + value.size(), 0);
    reply.bytes[0] = 0x84;
    reply.bytes[1] = static_cast<uint8_t>(value.size());
    std::copy(value.begin(), value.end(), reply.bytes.begin() + 2);
    host_->ScriptQorReply(reply);
  }
  if (options_.omitSemaphores.count("~frame-send") == 0) {
    toScm_ = semOpen(host_->FullName("~frame-send").c_str(), 0, 0, 0, 0, nullptr);
  }
  if (options_.omitSemaphores.count("~frame-receive") == 0) {
    fromScm_ = semOpen(host_->FullName("~frame-receive").c_str(), 0, 0, 0, 0, nullptr);
  }
  if (!options_.conditionZero) {
    host_->ClearCondition(0);
  }
  Launch();
}

void CheckerHarness::Launch() {
  std::map<std::string, std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (equals != nullptr) {
      environment[std::string(*entry, static_cast<size_t>(equals - *entry))] = equals + 1;
    }
  }
  environment.erase("SafetyDomainNumber");
  if (options_.domainVariable) {
    environment["SafetyDomainNumber"] = *options_.domainVariable;
  }
  environment["SCM_SIM_NAMESPACE"] = namespace_;
  environment["SCM_SIM_HOST_SOCKET"] = host_->Config().socketPath;
  for (const auto& [name, value] : options_.environment) {
    environment[name] = value;
  }
  std::vector<std::string> strings;
  for (const auto& [name, value] : environment) {
    strings.push_back(name + "=" + value);
  }
  std::vector<char*> envp;
  for (std::string& s : strings) {
    envp.push_back(s.data());
  }
  envp.push_back(nullptr);
  std::vector<std::string> command = ScmSimProgramCommand(options_.executable);
  std::vector<char*> argv = ScmSimArgv(command);

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    throw std::runtime_error("no pipe");
  }
  pid_ = fork();
  if (pid_ < 0) {
    throw std::runtime_error("no fork");
  }
  if (pid_ == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(pipeFds[1]);
  outputReader_ = std::thread([this, fd = pipeFds[0]] { ReadOutput(fd); });
}

void CheckerHarness::ReadOutput(int fd) {
  char buffer[512];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n > 0) {
      std::lock_guard<std::mutex> lock(outputMutex_);
      output_.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(fd);
}

std::string CheckerHarness::Output() {
  std::lock_guard<std::mutex> lock(outputMutex_);
  return output_;
}

std::optional<int> CheckerHarness::WaitExit(std::chrono::milliseconds timeout) {
  if (exitCode_) {
    return exitCode_;
  }
  if (pid_ <= 0) {
    return std::nullopt;
  }
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      if (outputReader_.joinable()) {
        outputReader_.join();
      }
      return exitCode_;
    }
    if (std::chrono::steady_clock::now() >= end) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool CheckerHarness::Running() { return pid_ > 0 && !WaitExit(std::chrono::milliseconds(0)); }

void CheckerHarness::Kill() {
  if (pid_ > 0 && !exitCode_) {
    kill(pid_, SIGKILL);
    WaitExit(std::chrono::seconds(10));
  }
}

std::optional<uint32_t> CheckerHarness::WaitCondition1(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (auto value = host_->Condition(1)) {
      return value;
    }
    if (std::chrono::steady_clock::now() >= end || !Running()) {
      return host_->Condition(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void CheckerHarness::AnswerCondition2(uint32_t value) { host_->SetCondition(2, value); }

bool CheckerHarness::Handshake() {
  const auto value = WaitCondition1();
  if (!value) {
    return false;
  }
  if (!options_.checkerGivesInitially) {
    AnswerCondition2(*value);
    return true;
  }
  // Its first cycle runs on the initial gives and relays events last: once a marker event
  // has come through, that cycle is over; after its delay the checker gives "~frame-send"
  // again and waits for "~frame-receive", where a current checker's first cycle starts.
  const Bytes marker = {1, 0, 0, 0, 0, 0xFE, 0xCA, 0, 0, 0, 0};
  FirmwareSend("event", marker);
  AnswerCondition2(*value);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    const std::vector<Bytes> events = HostCollect("event");
    if (std::find(events.begin(), events.end(), marker) != events.end()) {
      break;
    }
    if (std::chrono::steady_clock::now() >= end || !Running()) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // However long its delay takes on a loaded machine, the firmware side's first
  // cycle begins only once the checker's second one waits for its end.
  WaitCheckerAtCycleEnd();
  return true;
}

CheckerHarnessOptions LegacyCheckerOptions(CheckerHarnessOptions options) {
  options.executable = LegacyCheckerPath();
  options.qorVariable4 = options.flash;
  options.flash.reset();
  options.checkerGivesInitially = true;
  return options;
}

bool CheckerHarness::TakeCycle(std::chrono::milliseconds timeout) {
  if (toScm_ == nullptr || semTake(toScm_, Ticks(timeout)) != OK) {
    return false;
  }
  ++cycles_;
  return true;
}

bool CheckerHarness::OpenCycleSemaphores() {
  if (toScm_ == nullptr) {
    toScm_ = semOpen(host_->FullName("~frame-send").c_str(), 0, 0, 0, 0, nullptr);
  }
  if (fromScm_ == nullptr) {
    fromScm_ = semOpen(host_->FullName("~frame-receive").c_str(), 0, 0, 0, 0, nullptr);
  }
  return toScm_ != nullptr && fromScm_ != nullptr;
}

void CheckerHarness::DeleteFrameReceiveSemaphore() {
  if (fromScm_ != nullptr) {
    semDelete(fromScm_);
    fromScm_ = nullptr;
  }
}

bool CheckerHarness::WaitCheckerAtCycleEnd(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (fromScm_ == nullptr) {
      return false;
    }
    if (ScmSimSemWaiters(fromScm_) >= 1) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= end || !Running()) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void CheckerHarness::GiveCycle() {
  if (fromScm_ != nullptr) {
    semGive(fromScm_);
  }
}

bool CheckerHarness::Cycle(const std::function<void()>& firmwareWork) {
  if (!TakeCycle()) {
    return false;
  }
  if (firmwareWork) {
    firmwareWork();
  }
  GiveCycle();
  return true;
}

bool CheckerHarness::HostSend(const std::string& queue, const Bytes& plain) {
  return host_->Inject(queue, plain);
}

bool CheckerHarness::FirmwareSend(const std::string& suffix, const Bytes& plain) {
  return host_->InjectComplemented("~" + suffix, plain);
}

std::vector<Bytes> CheckerHarness::HostCollect(const std::string& queue) {
  std::vector<Bytes> messages;
  while (auto message = host_->Collect(queue)) {
    collected_.push_back({cycles_, queue, *message});
    messages.push_back(std::move(*message));
  }
  return messages;
}

std::vector<Bytes> CheckerHarness::FirmwareCollect(const std::string& suffix) {
  std::vector<Bytes> messages;
  while (auto message = host_->CollectComplemented("~" + suffix)) {
    collected_.push_back({cycles_, "~" + suffix, *message});
    messages.push_back(std::move(*message));
  }
  return messages;
}

std::vector<LogRecord> CheckerHarness::LogRecords() const {
  std::vector<LogRecord> records;
  for (const CollectedMessage& message : collected_) {
    const Bytes& b = message.plain;
    if (message.queue == "event" && b.size() == 11 && (b[0] == 2 || b[0] == 3) && b[3] == 0 && b[4] == 0 &&
        b[2] == 0xE2) {
      records.push_back({b[0], static_cast<uint16_t>(LittleEndian(b, 1, 2)),
                         static_cast<uint16_t>(LittleEndian(b, 5, 2)), LittleEndian(b, 7, 4)});
    }
  }
  return records;
}

std::vector<LogRecord> CheckerHarness::CollectLog() {
  HostCollect("event");
  return LogRecords();
}

MSG_Q_ID CheckerHarness::FirmwareQueue(const std::string& suffix) {
  auto found = firmwareQueues_.find(suffix);
  if (found != firmwareQueues_.end()) {
    return found->second;
  }
  MSG_Q_ID id = msgQOpen(host_->FullName("~" + suffix).c_str(), 0, 0, 0, 0, nullptr);
  if (id != nullptr) {
    firmwareQueues_[suffix] = id;
  }
  return id;
}

}  // namespace ScmTest
