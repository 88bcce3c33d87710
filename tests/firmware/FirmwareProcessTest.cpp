// scmfirmware as a process beside the simulated host and the checker stand-in.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CheckerStub.h"
#include "FrameBuilder.h"
#include "FwKeyFile.h"
#include "ParameterFileBuilders.h"
#include "ScmFirmwareIdent.h"
#include "ScmGen.h"
#include "ScmHostSim.h"

namespace {

using namespace std::chrono_literals;
using ScmTest::CheckerStub;
using ScmTest::StubEvent;

/// Event of a dropped command-channel message.
constexpr uint32_t kEvtCmdDropped = 0x62008709;
/// Event sent in place of one that found a single free slot.
constexpr uint32_t kEvtOverflow = 0x62108580;
/// How long a cycle may take to be answered.
constexpr int kCycleLimitMs = 5000;

/// A valid key file with one node: the parser raises nothing and the configuration manager activates.
ScmSim::Bytes ValidKeyFile() { return FwTest::OneNodeKeyFile(); }

/// One simulated domain with its own namespace, socket and storage directory.
class FirmwareProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    tag_ = std::to_string(getpid()) + "-" + std::to_string(counter++);
    config_.sdn = static_cast<uint16_t>(100 + getpid() % 900);
    config_.socketPath = "/tmp/scmfw-" + tag_ + ".sock";
    config_.storageDir = "/tmp/scmfw-" + tag_ + "-storage";
    config_.simNamespace = "scmfw" + tag_;
  }
  void TearDown() override {
    stub_.reset();
    if (host_) {
      host_->Stop();
    }
    host_.reset();
    std::filesystem::remove_all(config_.storageDir);
    for (const auto& f : extraFiles_) {
      std::filesystem::remove_all(f);
    }
  }
  /// The application's files of a key medium installed on this controller, nothing else accepted.
  void InstallApplicationFiles() {
    const ScmGen::InstalledState installed = ScmGen::Install(ScmGen::Domain{}, config_.qorUdid);
    ASSERT_TRUE(host_->PutFile("FWREVCNF.BIN", installed.fwRevCnf));
    ASSERT_TRUE(host_->PutFile("AUTOCNF.BIN", installed.autoCnf));
    ASSERT_TRUE(host_->PutFile("CORVANE.UID", installed.corvaneUid));
    ASSERT_TRUE(host_->SetFlash(installed.flash));
  }
  /// Starts the host with the given key file (none: absent) and opens the stand-in checker.
  void StartHost(std::optional<ScmSim::Bytes> keyFile = ValidKeyFile()) {
    host_ = std::make_unique<ScmSim::HostSim>(config_);
    host_->Start();
    if (keyFile) {
      ASSERT_TRUE(host_->PutFile("KEL_PARA.SAF", *keyFile));
    }
    ASSERT_TRUE(host_->PutFile("CORVANE.DAT", {}));
    InstallApplicationFiles();
    stub_ = std::make_unique<CheckerStub>(config_.sdn);
    ASSERT_TRUE(stub_->Open());
  }
  int StartFirmware(const std::map<std::string, std::string>& env = {}, const std::string& path = SCMFIRMWARE_PATH) {
    const int id = host_->Programs().Start(path, {}, env);
    EXPECT_GT(id, 0);
    return id;
  }
  /// Waits until condition 2 is set; false when the firmware ended or the time ran out.
  bool WaitCondition2(int id, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (host_->Condition(2)) {
        return true;
      }
      auto info = host_->Programs().Info(id);
      if (!info || !info->running) {
        return false;
      }
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }
  /// Copies scmfirmware and its companion under a temporary name removed after the test; the copy's path.
  std::string CopyFirmware(const std::string& name) {
    const std::string copy = "/tmp/scmfw-" + tag_ + "-" + name;
    extraFiles_ = {copy, copy + ".vxe"};
    std::filesystem::copy_file(SCMFIRMWARE_PATH, copy);
    std::filesystem::copy_file(std::string(SCMFIRMWARE_PATH) + ".vxe", copy + ".vxe");
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
    return copy;
  }
  /// Complements the byte of a file at offset from the given position.
  static void FlipByte(const std::string& path, std::streamoff offset, std::ios::seekdir from) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(offset, from);
    char b = 0;
    file.read(&b, 1);
    b = static_cast<char>(~b);
    file.seekp(offset, from);
    file.write(&b, 1);
    ASSERT_TRUE(file.good()) << path;
  }
  /// Exit status of a program that must end within the limit; -1 when it did not.
  int ExitCode(int id) {
    if (!host_->Programs().WaitExit(id, 10000ms)) {
      return -1;
    }
    const auto info = host_->Programs().Info(id);
    return info && info->exitStatus && WIFEXITED(*info->exitStatus) ? WEXITSTATUS(*info->exitStatus) : -2;
  }
  /// Names of the threads of a running program.
  std::vector<std::string> ThreadNames(int id) {
    std::vector<std::string> names;
    const auto info = host_->Programs().Info(id);
    if (!info) {
      return names;
    }
    const std::string dir = "/proc/" + std::to_string(info->pid) + "/task";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
      std::ifstream comm(entry.path() / "comm");
      std::string name;
      std::getline(comm, name);
      names.push_back(name);
    }
    return names;
  }
  /// Cycles until an event with this code arrived (or the cycle budget is used); every event seen.
  std::vector<StubEvent> CycleUntil(uint32_t code, int cycles) {
    std::vector<StubEvent> seen;
    for (int i = 0; i < cycles; ++i) {
      EXPECT_TRUE(stub_->Cycle(kCycleLimitMs)) << "cycle " << i;
      for (const auto& e : stub_->TakeEvents()) {
        seen.push_back(e);
      }
      if (std::any_of(seen.begin(), seen.end(), [&](const StubEvent& e) { return e.code == code; })) {
        break;
      }
      std::this_thread::sleep_for(2ms);
    }
    return seen;
  }
  static bool Has(const std::vector<StubEvent>& events, uint32_t code) {
    return std::any_of(events.begin(), events.end(), [&](const StubEvent& e) { return e.code == code; });
  }

  std::string tag_;
  ScmSim::HostConfig config_;
  std::unique_ptr<ScmSim::HostSim> host_;
  std::unique_ptr<CheckerStub> stub_;
  std::vector<std::string> extraFiles_;
};

TEST_F(FirmwareProcess, StartsPacesCyclesAndAnswersThroughTheEventStore) {
  StartHost();
  ASSERT_TRUE(stub_->OfferIdent(SCM_FW_IDENT_WORD));
  const int id = StartFirmware();
  ASSERT_TRUE(WaitCondition2(id));
  EXPECT_EQ(stub_->AwaitIdent(), SCM_FW_IDENT_WORD);
  char cyclic[32];
  std::snprintf(cyclic, sizeof(cyclic), "scm%04u/cyclic", config_.sdn);
  char background[32];
  std::snprintf(background, sizeof(background), "scm%04u/backgr", config_.sdn);
  // The tasks are spawned right after condition 2; Linux keeps 15 characters of a thread name.
  bool bothTasks = false;
  for (int i = 0; i < 500 && !bothTasks; ++i) {
    const auto names = ThreadNames(id);
    bothTasks = std::find(names.begin(), names.end(), cyclic) != names.end() &&
                std::any_of(names.begin(), names.end(), [&](const std::string& n) { return n.rfind(background, 0) == 0; });
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(bothTasks);
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(stub_->Cycle(kCycleLimitMs)) << "cycle " << i;
    ASSERT_FALSE(stub_->UnaskedAnswer()) << "cycle " << i;
  }
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(stub_->UnaskedAnswer());
  EXPECT_TRUE(stub_->TakeEvents().empty());
  ASSERT_TRUE(stub_->PutCommand({4, 0, 0, 0, 1, 2}));
  const auto events = CycleUntil(kEvtCmdDropped, 500);
  EXPECT_TRUE(std::find(events.begin(), events.end(), StubEvent{2, kEvtCmdDropped, 4, 6}) != events.end());
  EXPECT_TRUE(host_->Programs().Info(id)->running);
}

TEST_F(FirmwareProcess, WrongIdentWordMakesItFailSafeButItStillAnswersAndPaces) {
  StartHost();
  ASSERT_TRUE(stub_->OfferIdent(SCM_FW_IDENT_WORD ^ 0x10));
  const int id = StartFirmware();
  ASSERT_TRUE(WaitCondition2(id));
  EXPECT_EQ(stub_->AwaitIdent(), SCM_FW_IDENT_WORD);
  std::vector<StubEvent> events;
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(stub_->Cycle(kCycleLimitMs));
    if (i == 10) {
      ASSERT_TRUE(stub_->PutCommand({4, 0, 0, 0}));
      ASSERT_TRUE(stub_->PutCommand({4, 0, 0, 0}));
      ASSERT_TRUE(stub_->PutCommand({4, 0, 0, 0}));
    }
    for (const auto& e : stub_->TakeEvents()) {
      events.push_back(e);
    }
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0], (StubEvent{3, 0x92008816, 0, SCM_FW_IDENT_WORD ^ 0x10}));
  EXPECT_LE(events.size(), 3u) << "at most two events after the switch";
}

TEST_F(FirmwareProcess, TheOlderFirmwareBesideTheCurrentCheckerFailsSafeAndNeverPairs) {
  // The older release carries its own ident word: offered the current one, it
  // reports the mismatch (fatal) and answers with its own, which the current
  // checker refuses in turn.
  static_assert(static_cast<u32>(SCM_TEST_IDENT_LEGACY) != SCM_FW_IDENT_WORD);
  StartHost();
  const ScmGen::InstalledState installed = ScmGen::Install(ScmGen::Domain{}, config_.qorUdid);
  ASSERT_TRUE(host_->SetQorVariable(4, installed.corvaneUid));
  ASSERT_TRUE(stub_->OfferIdent(SCM_FW_IDENT_WORD));
  const int id = StartFirmware({}, SCMFIRMWARE_LEGACY_PATH);
  ASSERT_TRUE(WaitCondition2(id));
  EXPECT_EQ(stub_->AwaitIdent(), static_cast<u32>(SCM_TEST_IDENT_LEGACY));
  std::vector<StubEvent> events;
  // A fatal firmware may stop pacing its cycles; the events it sent are read either way.
  for (int i = 0; i < 500 && events.empty(); ++i) {
    const bool cycled = stub_->Cycle(kCycleLimitMs);
    for (const auto& e : stub_->TakeEvents()) {
      events.push_back(e);
    }
    if (!cycled) {
      break;
    }
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0], (StubEvent{3, 0x92008816, 0, SCM_FW_IDENT_WORD}));
}

TEST_F(FirmwareProcess, TheOlderFirmwarePairsWithItsOwnWordAndReadsTheKeyMediumFromVariableFour) {
  // An installed older controller keeps "corvane.uid" as Qor variable 4.
  StartHost();
  const ScmGen::InstalledState installed = ScmGen::Install(ScmGen::Domain{}, config_.qorUdid);
  ASSERT_TRUE(host_->SetQorVariable(4, installed.corvaneUid));
  ASSERT_TRUE(host_->SetFlash(std::nullopt));
  ASSERT_TRUE(stub_->OfferIdent(static_cast<u32>(SCM_TEST_IDENT_LEGACY)));
  const int id = StartFirmware({}, SCMFIRMWARE_LEGACY_PATH);
  ASSERT_TRUE(WaitCondition2(id));
  EXPECT_EQ(stub_->AwaitIdent(), static_cast<u32>(SCM_TEST_IDENT_LEGACY));
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(stub_->Cycle(kCycleLimitMs)) << "cycle " << i;
  }
  for (const StubEvent& e : stub_->TakeEvents()) {
    EXPECT_NE(e.code >> 28, 9u) << std::hex << e.code << " " << e.info0 << " " << e.info1;
  }
  EXPECT_TRUE(host_->Programs().Info(id)->running);
  // The older release never reads flash area 16 (its host library has no call for it).
  EXPECT_FALSE(host_->Flash().has_value());
}

TEST_F(FirmwareProcess, StartUpFailuresEndTheProcessWithoutConditionTwo) {
  const struct {
    const char* what;
    std::set<std::string> omit;
    std::map<std::string, std::string> env;
    bool condition2;
  } cases[] = {
      {"domain number 0", {}, {{"SafetyDomainNumber", "0"}}, false},
      {"domain number of letters", {}, {{"SafetyDomainNumber", "x7"}}, false},
      {"a missing queue", {"~unlock-response"}, {}, false},
      {"a failed self-test", {}, {{"SCM_SIM_RTPINFO_FAIL", "3"}}, false},
      // The tasks are spawned after condition 2, so a refused one ends a process that had answered.
      {"a refused task", {}, {{"SCM_SIM_REFUSE_SPAWN", "cyclic"}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    config_.omit = c.omit;
    StartHost();
    if (HasFatalFailure()) {
      return;
    }
    stub_->OfferIdent(SCM_FW_IDENT_WORD);
    const int id = StartFirmware(c.env);
    EXPECT_NE(ExitCode(id), 0);
    EXPECT_NE(ExitCode(id), -1);
    EXPECT_EQ(host_->Condition(2).has_value(), c.condition2);
  }
}

TEST_F(FirmwareProcess, CorruptCompanionFailsTheSelfTest) {
  StartHost();
  const std::string copy = CopyFirmware("copy");
  FlipByte(copy + ".vxe", 0, std::ios::beg);
  stub_->OfferIdent(SCM_FW_IDENT_WORD);
  const int id = StartFirmware({}, copy);
  EXPECT_NE(ExitCode(id), 0);
  EXPECT_FALSE(host_->Condition(2).has_value());
}

TEST_F(FirmwareProcess, FlippedExecutableByteFailsTheSelfTest) {
  StartHost();
  const std::string copy = CopyFirmware("flipped");
  // the last byte lies in the section headers, which loading the program never reads
  FlipByte(copy, -1, std::ios::end);
  stub_->OfferIdent(SCM_FW_IDENT_WORD);
  const int id = StartFirmware({}, copy);
  EXPECT_EQ(ExitCode(id), 255) << "main returns -1 after the failed self-test";
  EXPECT_FALSE(host_->Condition(2).has_value());
}

TEST_F(FirmwareProcess, AllZeroQorUdidKeepsStartUpPollingUntilTheHostHasOne) {
  config_.qorUdid = {0, 0, 0, 0, 0, 0};
  StartHost();
  stub_->OfferIdent(SCM_FW_IDENT_WORD);
  const int id = StartFirmware();
  EXPECT_FALSE(WaitCondition2(id, 300ms));
  host_->SetQorUdid({0x02, 0x5C, 0x3E, 1, 2, 3});
  EXPECT_TRUE(WaitCondition2(id));
  ASSERT_TRUE(stub_->Cycle(kCycleLimitMs));
  EXPECT_TRUE(stub_->TakeEvents().empty());
}

TEST_F(FirmwareProcess, WrongVendorPrefixIsReported) {
  config_.qorUdid = {0x02, 0x5C, 0x3F, 0xA0, 0xB0, 0xC0};
  StartHost();
  stub_->OfferIdent(SCM_FW_IDENT_WORD);
  const int id = StartFirmware();
  ASSERT_TRUE(WaitCondition2(id));
  ASSERT_TRUE(stub_->Cycle(kCycleLimitMs));
  const auto events = stub_->TakeEvents();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0], (StubEvent{3, 0x92008818, 0x5C02, 0xC0B0A03F}));
}

TEST_F(FirmwareProcess, ParameterFilesOnTheStorage) {
  const struct {
    const char* what;
    std::optional<ScmSim::Bytes> keyFile;
    bool busy;
    std::vector<uint32_t> codes;
  } cases[] = {
      // Without a node list the configuration manager refuses to activate
      // (0xF107 as a fatal stack event) and the stack start-up reports reason 6.
      {"missing key file", std::nullopt, false, {0x62008A02, 0x92008802, 0x9200A107, 0x9200AF0C}},
      {"empty key file", ScmSim::Bytes{}, false, {0x9200A107, 0x9200AF0C}},
      {"missing additional parameters only", ValidKeyFile(), false, {}},
      {"storage busy for a while", ValidKeyFile(), true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    StartHost(c.keyFile);
    if (HasFatalFailure()) {
      return;
    }
    if (c.busy) {
      host_->SetStorageBusyFor(300ms);
    }
    stub_->OfferIdent(SCM_FW_IDENT_WORD);
    const auto started = std::chrono::steady_clock::now();
    const int id = StartFirmware();
    ASSERT_TRUE(WaitCondition2(id));
    if (c.busy) {
      EXPECT_GE(std::chrono::steady_clock::now() - started, 250ms);
    }
    ASSERT_TRUE(stub_->Cycle(kCycleLimitMs));
    std::vector<uint32_t> codes;
    for (const auto& e : stub_->TakeEvents()) {
      codes.push_back(e.code);
    }
    EXPECT_EQ(codes, c.codes);
  }
}

TEST_F(FirmwareProcess, MissingCycleSemaphoresAreReportedAndTheBackgroundTaskRuns) {
  config_.omit = {"sem:~frame-send", "sem:~frame-receive"};
  host_ = std::make_unique<ScmSim::HostSim>(config_);
  host_->Start();
  ASSERT_TRUE(host_->PutFile("KEL_PARA.SAF", ValidKeyFile()));
  ASSERT_TRUE(host_->PutFile("CORVANE.DAT", {}));
  InstallApplicationFiles();
  stub_ = std::make_unique<CheckerStub>(config_.sdn);
  EXPECT_FALSE(stub_->Open()) << "the semaphores are missing";
  stub_->OfferIdent(SCM_FW_IDENT_WORD);
  const int id = StartFirmware();
  ASSERT_TRUE(WaitCondition2(id));
  std::vector<StubEvent> events;
  bool answered = false;
  for (int i = 0; i < 300 && !answered; ++i) {
    if (i == 5) {
      ASSERT_TRUE(stub_->PutCommand({4, 0, 0, 0}));
    }
    for (const auto& e : stub_->TakeEvents()) {
      events.push_back(e);
      // A flood of semaphore events may make the answer arrive as the overflow event naming it.
      answered = answered || e.code == kEvtCmdDropped || (e.code == kEvtOverflow && e.info0 == 0x8709);
    }
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(answered);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0].code, 0x6200AF1Eu);
  EXPECT_EQ(events[0].info0, 1);
  EXPECT_EQ(events[1].code, 0x6200AF1Eu);
  EXPECT_EQ(events[1].info0, 2);
}

TEST_F(FirmwareProcess, CycleGapOverTenSecondsIsReportedOnce) {
  StartHost();
  stub_->OfferIdent(SCM_FW_IDENT_WORD);
  const int id = StartFirmware();
  ASSERT_TRUE(WaitCondition2(id));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(stub_->Cycle(kCycleLimitMs));
  }
  host_->AdvanceCounter(10500000);
  std::vector<StubEvent> events;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(stub_->Cycle(kCycleLimitMs));
    for (const auto& e : stub_->TakeEvents()) {
      events.push_back(e);
    }
  }
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, 0x62008482u);
  EXPECT_GE(events[0].info1, 10500000u);
}

TEST_F(FirmwareProcess, TheConfigurationManagerSendsTheSadrAssignmentOfItsNode) {
  StartHost();
  ASSERT_TRUE(stub_->OfferIdent(SCM_FW_IDENT_WORD));
  const int id = StartFirmware();
  ASSERT_TRUE(WaitCondition2(id));
  std::vector<ScmSim::Bytes> frames;
  for (int i = 0; i < 50 && frames.empty(); ++i) {
    ASSERT_TRUE(stub_->Cycle(kCycleLimitMs)) << "cycle " << i;
    while (const auto frame = host_->CollectComplemented("~frame-receive")) {
      frames.push_back(*frame);
    }
  }
  ASSERT_FALSE(frames.empty()) << "no frame left the firmware";
  // SNMT "assign SADR" (id 0x2A) to the node list's one node, well formed.
  const TestFrames::ParsedFrame f = TestFrames::ParseFrame(frames.front());
  EXPECT_TRUE(f.ok) << f.error;
  EXPECT_EQ(f.id, 0x2A);
  EXPECT_EQ(f.adr, FwTest::kOneNodeSadr);
  EXPECT_EQ(f.tadr, 1023);
  EXPECT_TRUE(stub_->TakeEvents().empty());
}

}  // namespace
