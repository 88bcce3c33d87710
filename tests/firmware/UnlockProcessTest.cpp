// Download and unlock with the real programs: the host simulator starts
// scmchecker and scmfirmware on the demo description's files; the operator
// downloads "kel_para.saf" anew and asks for its unlock. The firmware's 5-s
// reset is sped up by moving the host's counter, the checker's 20-s deadline
// by moving the namespace's real-time clock.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "HostOperator.h"
#include "ScmGenDescription.h"
#include "ScmHostSim.h"
#include "rtp_clock.h"

namespace {

using namespace std::chrono_literals;
using ScmSim::Bytes;
using ScmSim::UnlockResponse;

/// The word every download here is locked with.
constexpr uint32_t kWord = 0x5A5AA5C3u;
/// Event of a failed unlock.
constexpr uint32_t kEvtUnlock = 0x6200AF1Du;
/// Fatal event of a faulty (here: still locked) key file.
constexpr uint32_t kEvtKelFault = 0x9200AF18u;
/// The checker's record of a passed unlock deadline.
constexpr uint32_t kUnlockDeadlinePassed = 0xE20Eu;

class UnlockProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    const std::string tag = std::to_string(getpid()) + "-" + std::to_string(counter++);
    config_.sdn = static_cast<uint16_t>(100 + getpid() % 900);
    config_.socketPath = "/tmp/scmunl-" + tag + ".sock";
    config_.storageDir = "/tmp/scmunl-" + tag + "-storage";
    config_.simNamespace = "scmunl" + tag;
    const ScmGen::DescriptionResult r = ScmGen::LoadDescription(SCM_GEN_DEMO_DESCRIPTION);
    ASSERT_EQ(r.error, "");
    config_.qorUdid = *r.domain.qorUdid;
    files_ = ScmGen::Generate(r.domain).files;
    // Installed and acknowledged: the controller, the key medium and every node's firmware.
    installed_ = ScmGen::Install(ScmGen::WithAcknowledgedFirmware(r.domain, config_.qorUdid), config_.qorUdid);
  }
  void TearDown() override {
    op_.reset();
    if (host_) {
      host_->Stop();
    }
    host_.reset();
    ScmSimClockRemove();
    std::filesystem::remove_all(config_.storageDir);
  }
  /// Starts the host with the files (kel as given) and both programs, up to the handshake.
  void StartDomain(const Bytes& kel) {
    host_ = std::make_unique<ScmSim::HostSim>(config_);
    host_->Start();
    ASSERT_TRUE(host_->PutFile("kel_para.saf", kel));
    ASSERT_TRUE(host_->PutFile("corvane.dat", files_.corvaneDat));
    ASSERT_TRUE(host_->PutFile("pardata1.bin", *files_.parData1));
    // The key medium installed and acknowledged: the checker's copies agree with the files.
    ASSERT_TRUE(host_->PutFile(ScmGen::kCorvaneUidName, installed_.corvaneUid));
    ASSERT_TRUE(host_->PutFile(ScmGen::kCorvaneUidChkName, installed_.corvaneUidChk));
    ASSERT_TRUE(host_->PutFile(ScmGen::kCorvaneDatChkName, installed_.corvaneDatChk));
    ASSERT_TRUE(host_->PutFile(ScmGen::kFwRevCnfName, installed_.fwRevCnf));
    ASSERT_TRUE(installed_.fwRevCnfChk.has_value());
    ASSERT_TRUE(host_->PutFile(ScmGen::kFwRevCnfChkName, *installed_.fwRevCnfChk));
    ASSERT_TRUE(host_->PutFile(ScmGen::kAutoCnfName, installed_.autoCnf));
    ASSERT_TRUE(host_->SetFlash(installed_.flash));
    op_ = std::make_unique<ScmSim::HostOperator>(*host_);
    ASSERT_GT(host_->Programs().Start(SCMCHECKER_PATH, {}), 0);
    ASSERT_GT(host_->Programs().Start(SCMFIRMWARE_PATH, {}), 0);
    ASSERT_TRUE(Eventually([&] { return host_->Condition(2).has_value(); }, 20s)) << "no handshake";
  }
  /// Polls the operator until pred holds; false when the time ran out.
  bool Eventually(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (op_) {
        op_->Poll();
      }
      if (pred()) {
        return true;
      }
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }
  /// The next unlock response (the deadlines of these waits are only backstops for a loaded machine).
  std::optional<UnlockResponse> AwaitResponse() {
    std::optional<UnlockResponse> r;
    Eventually([&] { return (r = op_->ReadUnlockResponse()).has_value(); }, 30s);
    return r;
  }
  /// Events of a code taken so far, with their fields.
  std::vector<ScmSim::EventRecord> Events(uint32_t code) {
    op_->Poll();
    std::vector<ScmSim::EventRecord> out;
    for (const auto& e : op_->Events()) {
      if (e.record && e.record->code == code) {
        out.push_back(*e.record);
      }
    }
    return out;
  }
  /// Moves the firmware's time past its 5-s reset and waits until the host carried out resets.
  bool AwaitResets(uint32_t done) {
    host_->AdvanceCounter(5000000);
    return Eventually([&] { return host_->Resets().done >= done; }, 30s);
  }
  /// After a reset: both programs back and the handshake held again.
  bool AwaitRestart() {
    return Eventually(
        [&] {
          const auto all = host_->Programs().All();
          return host_->Condition(2).has_value() && all.size() == 2 &&
                 std::all_of(all.begin(), all.end(), [](const auto& p) { return p.running && p.starts >= 2; });
        },
        20s);
  }
  long Count(uint32_t number) {
    const auto log = host_->CallLog();
    return std::count_if(log.begin(), log.end(), [&](const ScmSim::CallRecord& r) { return r.number == number; });
  }

  ScmSim::HostConfig config_;
  ScmGen::FileSet files_;
  ScmGen::InstalledState installed_;  ///< the installed key medium and the checker's agreeing copies
  std::unique_ptr<ScmSim::HostSim> host_;
  std::unique_ptr<ScmSim::HostOperator> op_;
};

TEST_F(UnlockProcess, ADownloadIsUnlockedAndTheDomainRestartsOnIt) {
  StartDomain(files_.kelParaSaf);
  ASSERT_TRUE(op_->Download("kel_para.saf", files_.kelParaSaf, kWord));
  ASSERT_TRUE(op_->SendUnlockRequest(41, "kel_para.saf", kWord));
  EXPECT_EQ(AwaitResponse(), (UnlockResponse{41, 0}));
  EXPECT_EQ(host_->GetFile("kel_para.saf"), files_.kelParaSaf);
  EXPECT_EQ(host_->GetFile("kel_para.saf.swp"), Bytes{});
  ASSERT_TRUE(AwaitResets(1));
  EXPECT_EQ(host_->Resets().domainRequests, 1u);
  EXPECT_EQ(host_->Resets().plcRequests, 0u);
  ASSERT_TRUE(AwaitRestart());
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Events(kEvtKelFault).size(), 0u);
  EXPECT_EQ(Events(kUnlockDeadlinePassed).size(), 0u);
}

/// The refused first write under both storage behaviours.
struct RefusedWrite {
  const char* name;    ///< what the case shows
  bool commit;         ///< the storage commits a damaged write at its close
  bool cutShort;       ///< cut short (else refused)
};
void PrintTo(const RefusedWrite& c, std::ostream* os) { *os << c.name; }

class UnlockRefusedWrite : public UnlockProcess, public ::testing::WithParamInterface<RefusedWrite> {};

TEST_P(UnlockRefusedWrite, KeepsFileAndCompanionAsDownloadedAndASecondRequestUnlocks) {
  config_.commitDamagedWrites = GetParam().commit;
  StartDomain(files_.kelParaSaf);
  ASSERT_TRUE(op_->Download("kel_para.saf", files_.kelParaSaf, kWord));
  const Bytes locked = *host_->GetFile("kel_para.saf");
  if (GetParam().cutShort) {
    host_->InjectShortTransfer(0x88, 1, 100);
  } else {
    host_->InjectFault(0x88, 1);
  }
  ASSERT_TRUE(op_->SendUnlockRequest(1, "kel_para.saf", kWord));
  EXPECT_EQ(AwaitResponse(), (UnlockResponse{1, -1}));
  // The checker relays the answer before the events of the same cycle.
  ASSERT_TRUE(Eventually([&] { return !Events(kEvtUnlock).empty(); }, 30s));
  std::this_thread::sleep_for(100ms);
  const auto failures = Events(kEvtUnlock);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].level, 2);
  EXPECT_EQ(failures[0].information0, 9);
  EXPECT_EQ(host_->GetFile("kel_para.saf"), locked);
  EXPECT_EQ(host_->GetFile("kel_para.saf.swp"), Bytes(files_.kelParaSaf.begin(), files_.kelParaSaf.begin() + 4));
  // A second request before the reset unlocks.
  ASSERT_TRUE(op_->SendUnlockRequest(2, "kel_para.saf", kWord));
  EXPECT_EQ(AwaitResponse(), (UnlockResponse{2, 0}));
  EXPECT_EQ(host_->GetFile("kel_para.saf"), files_.kelParaSaf);
  ASSERT_TRUE(AwaitResets(1));
  ASSERT_TRUE(AwaitRestart());
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(host_->Resets().done, 1u);
  EXPECT_EQ(Events(kEvtKelFault).size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Storage, UnlockRefusedWrite,
                         ::testing::Values(RefusedWrite{"commit, cut short", true, true},
                                           RefusedWrite{"commit, refused", true, false},
                                           RefusedWrite{"discard, cut short", false, true},
                                           RefusedWrite{"discard, refused", false, false}));

TEST_F(UnlockProcess, ARefusedWriteWithoutRetryRestartsOnTheLockedFileUntilALaterUnlock) {
  StartDomain(files_.kelParaSaf);
  ASSERT_TRUE(op_->Download("kel_para.saf", files_.kelParaSaf, kWord));
  const Bytes locked = *host_->GetFile("kel_para.saf");
  host_->InjectFault(0x88, 1);
  ASSERT_TRUE(op_->SendUnlockRequest(1, "kel_para.saf", kWord));
  EXPECT_EQ(AwaitResponse(), (UnlockResponse{1, -1}));
  ASSERT_TRUE(AwaitResets(1));
  ASSERT_TRUE(AwaitRestart());
  // The restarted firmware refuses the still-locked key file; the files stay as downloaded.
  ASSERT_TRUE(Eventually([&] { return !Events(kEvtKelFault).empty(); }, 30s));
  EXPECT_EQ(host_->GetFile("kel_para.saf"), locked);
  EXPECT_EQ(host_->GetFile("kel_para.saf.swp").value_or(Bytes{}).size(), 4u);
  // Fail-safe still serves unlock requests; the next reset brings the domain up on the new file.
  ASSERT_TRUE(op_->SendUnlockRequest(2, "kel_para.saf", kWord));
  EXPECT_EQ(AwaitResponse(), (UnlockResponse{2, 0}));
  EXPECT_EQ(host_->GetFile("kel_para.saf"), files_.kelParaSaf);
  const size_t faultsBefore = Events(kEvtKelFault).size();
  ASSERT_TRUE(AwaitResets(2));
  ASSERT_TRUE(Eventually([&] {
    const auto all = host_->Programs().All();
    return host_->Condition(2).has_value() &&
           std::all_of(all.begin(), all.end(), [](const auto& p) { return p.running && p.starts >= 3; });
  }, 20s));
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Events(kEvtKelFault).size(), faultsBefore);
}

TEST_F(UnlockProcess, AWrongWordIsRefusedWithReasonElevenAndTheResetStillComes) {
  StartDomain(files_.kelParaSaf);
  ASSERT_TRUE(op_->Download("kel_para.saf", files_.kelParaSaf, kWord));
  const Bytes locked = *host_->GetFile("kel_para.saf");
  ASSERT_TRUE(op_->SendUnlockRequest(3, "kel_para.saf", kWord ^ 0x01000000u));
  EXPECT_EQ(AwaitResponse(), (UnlockResponse{3, -1}));
  // The checker relays the answer before the events of the same cycle.
  ASSERT_TRUE(Eventually([&] { return !Events(kEvtUnlock).empty(); }, 30s));
  std::this_thread::sleep_for(100ms);
  const auto failures = Events(kEvtUnlock);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].information0, 11);
  EXPECT_EQ(host_->GetFile("kel_para.saf"), locked);
  EXPECT_EQ(host_->GetFile("kel_para.saf.swp"), Bytes(files_.kelParaSaf.begin(), files_.kelParaSaf.begin() + 4));
  ASSERT_TRUE(AwaitResets(1));
  EXPECT_EQ(host_->Resets().domainRequests, 1u);
}

TEST_F(UnlockProcess, AShortRequestIsUnansweredAndOnlyTheCheckersDeadlineResets) {
  // The controller reset is recorded, not carried out, so that the checker's record stays readable
  // (a reset re-creates the queues empty); the backstop test below has it carried out.
  config_.resetPlcActs = false;
  StartDomain(files_.kelParaSaf);
  ASSERT_TRUE(host_->Inject("unlock-request", Bytes(20, 0x41)));
  ASSERT_TRUE(Eventually([&] { return !Events(0x62008483u).empty(); }, 30s));
  const auto e = Events(0x62008483u);
  EXPECT_EQ(e[0].information0, 1);
  EXPECT_EQ(e[0].information1, 20u);
  host_->AdvanceCounter(6000000);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(op_->ReadUnlockResponse(), std::nullopt);
  EXPECT_EQ(Count(0x8F), 0) << "no firmware reset";
  // 20 s later on the checker's clock.
  ASSERT_EQ(ScmSimClockAdvanceRealtime(21'000'000'000LL), 0);
  ASSERT_TRUE(Eventually([&] { return host_->Resets().plcRequests >= 1 && !Events(kUnlockDeadlinePassed).empty(); },
                         30s));
  const auto log = host_->CallLog();
  const auto plc = std::find_if(log.begin(), log.end(), [](const ScmSim::CallRecord& r) { return r.number == 0x93; });
  ASSERT_NE(plc, log.end());
  EXPECT_EQ(plc->values[0], 32u);
  EXPECT_EQ(host_->Resets().plcRequests, 1u);
  EXPECT_EQ(host_->Resets().domainRequests, 0u);
}

TEST_F(UnlockProcess, AFailingDomainResetIsReportedOnceAndTheCheckersBackstopRestarts) {
  StartDomain(files_.kelParaSaf);
  ASSERT_TRUE(op_->Download("kel_para.saf", files_.kelParaSaf, kWord));
  host_->InjectFault(0x8F, -1);
  ASSERT_TRUE(op_->SendUnlockRequest(4, "kel_para.saf", kWord));
  EXPECT_EQ(AwaitResponse(), (UnlockResponse{4, 0}));
  host_->AdvanceCounter(5000000);
  ASSERT_TRUE(Eventually([&] { return !Events(0x6200C090u).empty(); }, 30s));
  std::this_thread::sleep_for(300ms);
  const auto failed = Events(0x6200C090u);
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].information1, 2u);
  EXPECT_EQ(Count(0x8F), 1) << "tried once";
  host_->InjectFault(0x8F, 0);
  ASSERT_EQ(ScmSimClockAdvanceRealtime(21'000'000'000LL), 0);
  ASSERT_TRUE(Eventually([&] { return host_->Resets().done >= 1; }, 30s));
  EXPECT_EQ(host_->Resets().plcRequests, 1u);
  ASSERT_TRUE(AwaitRestart());
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Events(kEvtKelFault).size(), 0u);
  EXPECT_EQ(host_->GetFile("kel_para.saf"), files_.kelParaSaf);
}

}  // namespace
