// scmfirmware as a process under the host simulator with the checker stand-in,
// on the files the generator writes from the demo description.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "CheckerStub.h"
#include "ParamDomain.h"
#include "ScmFirmwareIdent.h"
#include "ScmGenDescription.h"
#include "ScmHostSim.h"

namespace ParamTest {
namespace {

using namespace std::chrono_literals;
using ScmTest::CheckerStub;
using ScmTest::StubEvent;

constexpr int kCycleLimitMs = 5000;            ///< longest wait for one cycle
constexpr std::uint32_t kCmdDropped = 0x62008709;  ///< event of a command the placeholder application drops

class ParamProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    const std::string tag = std::to_string(getpid()) + "-" + std::to_string(counter++);
    config_.sdn = static_cast<std::uint16_t>(100 + getpid() % 900);
    config_.socketPath = "/tmp/scmpar-" + tag + ".sock";
    config_.storageDir = "/tmp/scmpar-" + tag + "-storage";
    config_.simNamespace = "scmpar" + tag;
    const ScmGen::DescriptionResult r = ScmGen::LoadDescription(SCM_GEN_DEMO_DESCRIPTION);
    ASSERT_EQ(r.error, "");
    config_.qorUdid = *r.domain.qorUdid;
    files_ = ScmGen::Generate(r.domain).files;
  }
  void TearDown() override {
    stub_.reset();
    if (host_) {
      host_->Stop();
    }
    host_.reset();
    std::filesystem::remove_all(config_.storageDir);
  }
  /// Starts host, files and firmware up to condition 2.
  void Start(const Bytes& kel, const Bytes& corvane) {
    host_ = std::make_unique<ScmSim::HostSim>(config_);
    host_->Start();
    ASSERT_TRUE(host_->PutFile("KEL_PARA.SAF", kel));
    ASSERT_TRUE(host_->PutFile("CORVANE.DAT", corvane));
    ASSERT_TRUE(host_->PutFile("PARDATA1.BIN", *files_.parData1));
    stub_ = std::make_unique<CheckerStub>(config_.sdn);
    ASSERT_TRUE(stub_->Open());
    ASSERT_TRUE(stub_->OfferIdent(SCM_FW_IDENT_WORD));
    const int id = host_->Programs().Start(SCMFIRMWARE_PATH, {}, {});
    ASSERT_GT(id, 0);
    EXPECT_EQ(stub_->AwaitIdent(), SCM_FW_IDENT_WORD);
  }
  /// Cycles, with three commands put after a few cycles; every event seen.
  std::vector<StubEvent> CycleWithCommands(int cycles) {
    std::vector<StubEvent> events;
    for (int i = 0; i < cycles; ++i) {
      EXPECT_TRUE(stub_->Cycle(kCycleLimitMs)) << "cycle " << i;
      if (i == 5) {
        for (int c = 0; c < 3; ++c) {
          EXPECT_TRUE(stub_->PutCommand({4, 0, 0, 0}));
        }
      }
      for (const auto& e : stub_->TakeEvents()) {
        events.push_back(e);
      }
      std::this_thread::sleep_for(3ms);
    }
    return events;
  }
  static long Count(const std::vector<StubEvent>& events, std::uint32_t code) {
    return std::count_if(events.begin(), events.end(), [&](const StubEvent& e) { return e.code == code; });
  }
  static long Fatal(const std::vector<StubEvent>& events) {
    return std::count_if(events.begin(), events.end(), [](const StubEvent& e) { return (e.code >> 28) == 9; });
  }

  ScmSim::HostConfig config_;
  std::unique_ptr<ScmSim::HostSim> host_;
  std::unique_ptr<CheckerStub> stub_;
  ScmGen::FileSet files_;
};

TEST_F(ParamProcess, TheDemoFilesStartAndCycleWithoutFatalEvent) {
  Start(files_.kelParaSaf, files_.corvaneDat);
  const auto events = CycleWithCommands(120);
  EXPECT_EQ(Fatal(events), 0);
  // Normal operation answers every command.
  EXPECT_EQ(Count(events, kCmdDropped), 3);
}

TEST_F(ParamProcess, AChangedKeyFileIsFatalAndTheFirmwareGoesFailSafe) {
  Bytes kel = files_.kelParaSaf;
  kel[100] ^= 0x01;
  Start(kel, files_.corvaneDat);
  const auto events = CycleWithCommands(120);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].code, 0x9200AF18u);
  EXPECT_EQ(events[0].info0, 6);
  // Fail-safe lets at most two further events out.
  EXPECT_LE(events.size(), 3u);
}

TEST_F(ParamProcess, AChangedUdidListIsReportedAndTheFirmwareStaysNormal) {
  Bytes corvane = files_.corvaneDat;
  corvane[200] ^= 0x01;
  Start(files_.kelParaSaf, corvane);
  const auto events = CycleWithCommands(120);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0], (StubEvent{2, 0x6200AF19, 6, 13299}));
  EXPECT_EQ(Fatal(events), 0);
  EXPECT_EQ(Count(events, kCmdDropped), 3);
}

/// Version-1 file rewrite under both storage behaviours, with and without a first write cut short.
struct RewriteCase {
  const char* name;     ///< what the case shows
  bool commitDamaged;   ///< the storage commits a damaged write at its close (else discards it)
  bool cutShort;        ///< the host cuts the first write short
};
void PrintTo(const RewriteCase& c, std::ostream* os) { *os << c.name; }

class ParamRewrite : public ParamProcess, public ::testing::WithParamInterface<RewriteCase> {};

TEST_P(ParamRewrite, AVersion1UdidListIsRewrittenInVersion2ThatTheNextStartLoadsSilently) {
  config_.commitDamagedWrites = GetParam().commitDamaged;
  Bytes v1 = files_.corvaneDat;
  Put16(v1, 2, 1);
  RefreshCorvaneHeader(v1, true);
  Start(files_.kelParaSaf, v1);
  if (GetParam().cutShort) {
    // Before the first cycle: the firmware's first write is the rewrite.
    host_->InjectShortTransfer(0x88, 1, 100);
  }
  std::vector<StubEvent> events;
  const auto end = std::chrono::steady_clock::now() + 15s;
  const auto unlockCalls = [this] {
    const auto log = host_->CallLog();
    return std::count_if(log.begin(), log.end(), [](const ScmSim::CallRecord& r) { return r.number == 0x8E; });
  };
  // The hold-off ends right after the close that replaced the file: wait for both.
  while (std::chrono::steady_clock::now() < end &&
         (host_->GetFile("corvane.dat") != files_.corvaneDat || unlockCalls() == 0)) {
    EXPECT_TRUE(stub_->Cycle(kCycleLimitMs));
    for (const auto& e : stub_->TakeEvents()) {
      events.push_back(e);
    }
    std::this_thread::sleep_for(5ms);
  }
  // The rewrite is the generator's own version-2 file: same records, version 2, its CRCs.
  EXPECT_EQ(host_->GetFile("corvane.dat"), files_.corvaneDat);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0], (StubEvent{2, 0x6200AF19, 7, 0x20001}));
  EXPECT_EQ(Count(events, 0x6200AF41), GetParam().cutShort ? (GetParam().commitDamaged ? 1 : 2) : 0);
  EXPECT_EQ(Fatal(events), 0);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(unlockCalls(), 1) << "one end of the reset hold-off per request";

  // A second start from the written file raises nothing about it.
  const Bytes written = *host_->GetFile("corvane.dat");
  stub_.reset();
  host_->Stop();
  host_.reset();
  Start(files_.kelParaSaf, written);
  const auto again = CycleWithCommands(60);
  EXPECT_EQ(Count(again, 0x6200AF19), 0);
  EXPECT_EQ(Count(again, 0x6200AF41), 0);
  EXPECT_EQ(Fatal(again), 0);
}

INSTANTIATE_TEST_SUITE_P(Storage, ParamRewrite,
                         ::testing::Values(RewriteCase{"commit", true, false}, RewriteCase{"discard", false, false},
                                           RewriteCase{"commit, first write cut short", true, true},
                                           RewriteCase{"discard, first write cut short", false, true}));

}  // namespace
}  // namespace ParamTest
