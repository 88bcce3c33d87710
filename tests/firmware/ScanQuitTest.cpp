// Scans, the quit of UDID mismatches, the end of start-up and the missing
// timer as timelines: the background task's side (the application's cycle)
// and the cyclic task's side (IRQ) are run in turn, with the host's counter.
#include <gtest/gtest.h>

#include <cstring>

#include "AppFixture.h"
#include "EPSglobal.h"
#include "EPSudid.h"
#include "HNFcyc.h"
#include "HNFiff_ModuleState.h"
#include "MFWQZ.h"
#include "ScmProfile.h"
#include "SCMint.h"
#include "rtp_mem_control.h"

namespace FwTest {
namespace {

/// A module record with its flags, node state and acknowledge handle, everything else 0.
MFWQZ_ModuleInfoEntry Entry(u32 flags, u32 state, u16 ackHandle) {
  MFWQZ_ModuleInfoEntry e{};
  e.ulFlags = flags;
  e.ulNodeState = state;
  e.usAckHandle = ackHandle;
  return e;
}

/// SCM states: waiting for the operator, for the SN-failure acknowledge.
constexpr uint32_t kWfOperator = SCM_k_ST_WF_OPERATOR_ACK;
constexpr uint32_t kWfSnFailAck = SCM_k_ST_WF_SAPL_ACK;

class AppScanQuit : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    // A started stack; the frame pump stays shut (no target id), so the
    // configuration manager reports nothing of its own.
    StartObjectList(TestFiles::NodeRecords(0xC400, 30, 0x0025C3E0, 0x1005, 0x00010000));
    EPS_gGlobal.ulModuleState = HNFiff_kModuleStateNormal;
    EPS_gGlobal.ullCtMultiplier = 0x02752546u;
    HNFcyc_InitStepDone(HNFcyc_kStepLoaded);
    host.counter = 1000000;
  }
  void TearDown() override {
    ScmMemSetDelayHook({});
    AppFixture::TearDown();
  }
  /// One cycle of the cyclic task, 10 ms later.
  void Cyclic() {
    host.counter += 10000;
    IRQ();
  }
  /// One pass of the application's cycle (the stack not yet counted as running).
  void Background() { (void)MFWQZ_Main(0); }
};

TEST_F(AppScanQuit, ScanHandshake) {
  Configure({5});
  MFWQZ_gbLockPost = 0;
  EXPECT_EQ(MFWQZ_StartScan(0), 1);
  EXPECT_EQ(MFWQZ_gbScanning, 1u);
  EXPECT_EQ(MFWQZ_gbStartScan, 1u);
  // A report between the request and the reset still counts.
  Cyclic();
  EXPECT_EQ(MFWQZ_gbStartScan, 0u);
  EXPECT_EQ(MFWQZ_gbScanInit, 1u);
  MFWQZ_ModuleInfo[5].ulFlags = 0x8C05;  // what a scan reset clears goes
  MFWQZ_ulNumberOfErroneousModules = 3;
  MFWQZ_bSioChanged = 1;
  Background();
  EXPECT_EQ(MFWQZ_gbScanInit, 0u);
  EXPECT_EQ(MFWQZ_gbScanStarted, 1u);
  EXPECT_EQ(MFWQZ_gbLockPost, 1u);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, 0x7u);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulNodeState, 255u);
  EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules, 0u);
  EXPECT_EQ(MFWQZ_bSioChanged, 0u);
  // Between the reset and the restart of guarding, reports are ignored.
  Report(5, 0x81, 0x81);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulNodeState, 255u);
  Cyclic();
  EXPECT_EQ(MFWQZ_gbScanStarted, 0u);
  EXPECT_EQ(MFWQZ_gbLockPost, 0u);
  Report(5, 0x81, 0x81);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulNodeState, 0x81u);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(AppScanQuit, StartUpScansEndByCountOrWhenAllAreFound) {
  const struct {
    const char* what;
    uint32_t scans;
    uint8_t status9;           // what the second module reports in every scan
    uint32_t scansRun;         // scans until start-up ends
    uint32_t scansLeft;
  } cases[] = {{"all found in the first scan", 5, 0x81, 1, 0},
               {"one silent, three scans allowed", 3, 0, 3, 1},
               {"one silent, one scan allowed", 1, 0, 1, 1}};
  for (const auto& c : cases) {
    SetUp();
    Configure({5, 9});
    MFWQZ_gulModuleCount = 2;
    MFWQZ_ulScansAtStartup = c.scans;
    (void)MFWQZ_StartScan(0);
    uint32_t scansRun = 0;
    for (int i = 0; i < 20 && MFWQZ_gbStartUp != 0; ++i) {
      Cyclic();
      Background();
      if (MFWQZ_gbScanStarted != 0) {
        Cyclic();
        ++scansRun;
        Report(5, 0x81, 0x81);
        Report(9, c.status9, c.status9);
      }
    }
    EXPECT_EQ(MFWQZ_gbStartUp, 0u) << c.what;
    EXPECT_EQ(scansRun, c.scansRun) << c.what;
    EXPECT_EQ(MFWQZ_ulScansAtStartup, c.scansLeft) << c.what;
    EXPECT_EQ(MFWQZ_gbScanning, 0u) << c.what;
    (void)TakeEvents();
  }
}

TEST_F(AppScanQuit, EndOfStartUpRegistersTenSadrsACycle) {
  Configure({5, 15, 25, 35, 36});
  MFWQZ_ModuleInfo[5].ulFlags |= MFWQZ_kFlagMissingPending;
  MFWQZ_ModuleInfo[15].ulFlags |= MFWQZ_kFlagInvalidPending;
  SetInvalidToggle(15, 1);  // the second invalid report registers
  MFWQZ_ModuleInfo[25].ulFlags |= MFWQZ_kFlagParamErrPending;
  MFWQZ_ModuleInfo[35].ulFlags |= MFWQZ_kFlagInvalidPending;  // first invalid report: only the toggle
  MFWQZ_SetSadrBit(MFWQZ_gaucOptFlags, 36);
  MFWQZ_ModuleInfo[36].ulFlags |= MFWQZ_kFlagMissingPending;  // optional: never registered
  MFWQZ_gbStartUp = 0;
  // The older release registers an invalid module on its first report: 35 too.
  const std::vector<Event> cycle4 = SCM_kLegacy ? std::vector<Event>{{2, 0x6200C08D, 0, 35}} : std::vector<Event>{};
  const std::vector<std::vector<Event>> perCycle = {
      {{2, 0x6200C089, 0, 5}}, {{2, 0x6200C08D, 0, 15}}, {{2, 0x6200C08E, 0, 25}}, cycle4};
  for (const auto& expected : perCycle) {
    Cyclic();
    EXPECT_EQ(MFWQZ_gbEndOfStartUp, 1u);
    EXPECT_EQ(HNFcyc_ulStartUpProgress, 1u);
    EXPECT_EQ(TakeEvents(), expected) << MFWQZ_gusStartUpModule;
  }
  EXPECT_EQ(MFWQZ_gusStartUpModule, 41);
  EXPECT_EQ(InvalidToggle(35), SCM_kLegacy ? 0 : 1);
  int cycles = 4;
  while (HNFcyc_ulStartUpProgress != 0 && cycles < 200) {
    Cyclic();
    ++cycles;
  }
  EXPECT_EQ(cycles, 103);  // 1023 SADRs, 10 a cycle
  EXPECT_EQ(MFWQZ_gbEndOfStartUp, 0u);
  EXPECT_EQ(HNFcyc_TriggerSendOptionalModulesToQorInBgTask, 1u);
  Cyclic();
  EXPECT_EQ(HNFcyc_ulStartUpProgress, 0u);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(AppScanQuit, EndOfStartUpFaults) {
  const struct {
    const char* what;
    uint32_t flags;
    uint32_t progress;
    uint32_t startUp;
    std::vector<Event> events;
  } cases[] = {{"missing registered twice", 0x881, 1, 0, {{3, 0x9200C00E, 0, 8}}},
               {"invalid registered twice", 0x111, 1, 0, {{3, 0x9200C00E, 0, 9}}},
               {"parameter error registered twice", 0x221, 1, 0, {{3, 0x9200C00E, 0, 10}}},
               {"start-up copy 0 during start-up", 0x1, 0, 1, {{3, 0x9200C00E, 0, 7}}}};
  for (const auto& c : cases) {
    SetUp();
    Configure({5});
    MFWQZ_ModuleInfo[5].ulFlags = c.flags;
    MFWQZ_gbStartUp = c.startUp;
    EXPECT_EQ(MFWQZ_EndOfStartUp(c.progress), 0u) << c.what;
    EXPECT_EQ(TakeEvents(), c.events) << c.what;
  }
}

TEST_F(AppScanQuit, QuitOverSeveralSadrs) {
  Configure({5, 9, 12, 20});
  MFWQZ_gbStartUp = 0;
  MFWQZ_gusStartUpModule = 1024;
  HNFcyc_ulStartUpProgress = 0;
  MFWQZ_ModuleInfo[5] = Entry(0x405, 3, 4);         // UDID mismatch, FSM index 4
  MFWQZ_ModuleInfo[9] = Entry(0x800005, 0x80, 8);   // encoder change, FSM index 8
  MFWQZ_ModuleInfo[12] = Entry(0x04000405, 3, 2);   // auto-configured: not quit
  MFWQZ_ModuleInfo[20] = Entry(0x405, 0x81, 3);     // not in state 3: not quit
  SCM_as_FsmCb[4].ulState = kWfOperator;
  SCM_as_FsmCb[8].ulState = kWfSnFailAck;
  int delays = 0;
  ScmMemSetDelayHook([&](int) {
    ++delays;
    Cyclic();
  });
  EXPECT_EQ(MFWQZ_StartToQuitUdidMismatches(), 1);
  Cyclic();
  EXPECT_EQ(MFWQZ_gbQuitAll, 1u);
  EXPECT_EQ(MFWQZ_susQuitSaddr, 1);
  Background();
  EXPECT_EQ(MFWQZ_susQuitSaddr, 6);
  EXPECT_EQ(SCM_as_FsmCb[4].usEvents, SCM_k_EVT_ACK);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags & 0x200000u, 0x200000u);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulNodeState, 255u);
  Background();
  EXPECT_EQ(MFWQZ_susQuitSaddr, 10);
  EXPECT_EQ(SCM_as_FsmCb[8].usEvents, SCM_k_EVT_ACK);
  EXPECT_EQ(SCM_as_FsmCb[8].aucRespData[0], 3);
  EXPECT_EQ(SCM_as_FsmCb[8].aucRespData[1], 2);
  EXPECT_EQ(MFWQZ_gbQuitAll, 1u);
  Background();
  EXPECT_EQ(MFWQZ_gbQuitAll, 0u);
  EXPECT_EQ(MFWQZ_gbScanAfterQuit, 1u);
  EXPECT_EQ(MFWQZ_gbStartScan, 1u);
  EXPECT_EQ(SCM_as_FsmCb[2].usEvents, 0);
  EXPECT_EQ(delays, 2);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(AppScanQuit, AQuitOfANodeThatNoLongerWaitsCallsNothing) {
  Configure({5});
  MFWQZ_gbStartUp = 0;
  MFWQZ_ModuleInfo[5] = Entry(0x405, 3, 4);
  SCM_as_FsmCb[4].ulState = 0;  // the SCM left its wait unreported
  ScmMemSetDelayHook([&](int) { Cyclic(); });
  (void)MFWQZ_StartToQuitUdidMismatches();
  Cyclic();
  Background();
  EXPECT_EQ(MFWQZ_gbAckDone, 1u);
  EXPECT_EQ(MFWQZ_gbAckError, 0u);
  EXPECT_EQ(SCM_as_FsmCb[4].usEvents, 0);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags & 0x200000u, 0u);
  Background();
  EXPECT_EQ(MFWQZ_gbQuitAll, 0u);
  EXPECT_EQ(MFWQZ_gbScanAfterQuit, 1u);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
}

TEST_F(AppScanQuit, AcknowledgeErrorAndTimeOut) {
  const struct {
    const char* what;
    bool cyclicRuns;
    std::vector<Event> events;
    int delays;
  } cases[] = {
      // The entry changed before the cyclic task took it: nothing to acknowledge.
      {"acknowledge error", true, {{3, 0x9200C011, 5, 5}, {3, 0x9200C00D, 0, 5}}, 1},
      // 101 waits of 1/10 s: more than 10 s.
      {"time-out", false, {{3, 0x9200C00D, 1, 5}}, 101},
  };
  for (const auto& c : cases) {
    SetUp();
    Configure({5});
    MFWQZ_gbStartUp = 0;
    MFWQZ_ModuleInfo[5] = Entry(0x405, 3, 4);
    SCM_as_FsmCb[4].ulState = kWfOperator;
    (void)MFWQZ_StartToQuitUdidMismatches();
    Cyclic();
    int delays = 0;
    ScmMemSetDelayHook([&](int) {
      ++delays;
      if (c.cyclicRuns) {
        MFWQZ_ModuleInfo[5].ulFlags = 0x5;
        Cyclic();
      } else {
        host.counter += 100000;
      }
    });
    EXPECT_EQ(MFWQZ_Main(0), 1) << c.what;  // the failed step ends the chain
    EXPECT_EQ(MFWQZ_gbQuitAll, 0u) << c.what;
    EXPECT_EQ(MFWQZ_susQuitSaddr, 6) << c.what;
    EXPECT_EQ(delays, c.delays) << c.what;
    EXPECT_EQ(TakeEvents(), c.events) << c.what;
    ScmMemSetDelayHook({});
  }
}

TEST_F(AppScanQuit, AQuitWithNothingToAcknowledgeEndsItsScanOnlyAfterTheStore) {
  Configure({5, 9});
  MFWQZ_gulModuleCount = 2;
  MFWQZ_gbStartUp = 0;
  MFWQZ_ulScansAtStartup = 0;
  HNFcyc_ulStartUpProgress = 0;
  host.files.erase("CORVANE.DAT");
  (void)MFWQZ_StartToQuitUdidMismatches();
  Cyclic();
  Background();  // nothing to quit: the scan after the quit is requested
  EXPECT_EQ(MFWQZ_gbQuitAll, 0u);
  EXPECT_EQ(MFWQZ_gbScanAfterQuit, 1u);
  Cyclic();
  Background();
  Cyclic();
  EXPECT_EQ(MFWQZ_gbLockPost, 0u);
  Report(5, 0x81, 0x81);
  Report(9, 0x81, 0x81);
  // Every module counted: the list is written before the scan ends.
  EXPECT_EQ(EPS_UdidStoreInProgress(), 1u);
  EXPECT_EQ(MFWQZ_gbUdidSaving, 1u);
  EXPECT_EQ(MFWQZ_gbScanning, 1u);
  Background();
  EXPECT_EQ(MFWQZ_gbScanning, 1u) << "the store has not reported its end";
  // The background task's writer steps until the file is written.
  while (EPS_UdidStoreInProgress() != 0 && EPS_StoreSadrUdid() != 0) {
  }
  EXPECT_EQ(EPS_UdidStoreInProgress(), 0u);
  ASSERT_NE(host.Find("CORVANE.DAT"), nullptr);
  EXPECT_EQ(host.Find("CORVANE.DAT")->size(), EPS_kUdidFileSize);
  Cyclic();  // the cyclic task copies the store's state: done
  EXPECT_EQ(MFWQZ_gbUdidSaving, 0u);
  Background();
  EXPECT_EQ(MFWQZ_gbScanning, 0u);
  EXPECT_EQ(MFWQZ_gbScanAfterQuit, 0u);
  Background();
  EXPECT_EQ(EPS_UdidStoreInProgress(), 0u) << "the list is written once";
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(AppScanQuit, AScanAfterAQuitEndsOnceEverythingIsSettled) {
  struct Row {
    const char* what;
    uint32_t afterQuit = 1, scanned = 2, saving = 0, startScan = 0, scanInit = 0, scanStarted = 0;
    bool ends = true;
  };
  const Row rows[] = {
      {.what = "every module counted, list stored"},
      {.what = "not a scan after a quit", .afterQuit = 0, .ends = false},
      {.what = "a module not yet counted", .scanned = 1, .ends = false},
      {.what = "the list still being written", .saving = 1, .ends = false},
      {.what = "a scan request pending", .startScan = 1, .ends = false},
      {.what = "a scan reset pending", .scanInit = 1, .ends = false},
      {.what = "guarding not yet restarted", .scanStarted = 1, .ends = false},
  };
  for (const Row& r : rows) {
    SetUp();
    MFWQZ_gulModuleCount = 2;
    MFWQZ_gbStartUp = 0;
    MFWQZ_ulScansAtStartup = 0;
    MFWQZ_gbScanning = 1;
    MFWQZ_gbScanAfterQuit = r.afterQuit;
    MFWQZ_gulModuleScanned = r.scanned;
    MFWQZ_gbUdidSaving = r.saving;
    MFWQZ_gbStartScan = r.startScan;
    MFWQZ_gbScanInit = r.scanInit;
    MFWQZ_gbScanStarted = r.scanStarted;
    EXPECT_EQ(MFWQZ_SignalMain(), 1) << r.what;
    EXPECT_EQ(MFWQZ_gbScanning, r.ends ? 0u : 1u) << r.what;
    EXPECT_EQ(MFWQZ_gbScanAfterQuit, r.ends ? 0u : r.afterQuit) << r.what;
    // Once ended it does not end again: no new scan is started by a second call.
    EXPECT_EQ(MFWQZ_SignalMain(), 1) << r.what;
    EXPECT_EQ(MFWQZ_gbStartScan, r.startScan) << r.what;
  }
}

TEST_F(AppScanQuit, MissingTimerCountsSixtySecondsInFiveSecondSteps) {
  Configure({5}, 0x81);
  MFWQZ_gbStartUp = 0;
  MFWQZ_ModuleInfo[5].ulFlags = 0x8005;
  MFWQZ_ulNumberOfDiffFirmware = 1;
  Report(5, 0x81, 0);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, 0x9005u);
  int checks = 0;
  for (; checks < 20 && (MFWQZ_ModuleInfo[5].ulFlags & 0x1000u) != 0; ++checks) {
    EXPECT_TRUE(TakeEvents().empty()) << checks;
    host.counter += 5000001;
    (void)MFWQZ_Main(1);
  }
  // Registered at the check that takes the seconds past 60.
  EXPECT_EQ(checks, 13);
  EXPECT_EQ(MFWQZ_ulSeconds, 65u);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, 0x805u);
  EXPECT_EQ(MFWQZ_ulNumberOfDiffFirmware, 0u);
  EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules, 1u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x6200C089, 0, 5}}));
}

TEST_F(AppScanQuit, MissingTimerRestsWhileLocked) {
  Configure({5}, 0);
  MFWQZ_ModuleInfo[5].ulFlags = 0x9005;
  MFWQZ_ulSeconds = 100;
  MFWQZ_gbLockPost = 1;
  MFWQZ_ChkMissingModules();
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, 0x9005u);
  // During start-up the expiry is only marked pending.
  MFWQZ_gbLockPost = 0;
  MFWQZ_ChkMissingModules();
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, 0x0085u);
  EXPECT_TRUE(TakeEvents().empty());
}

}  // namespace
}  // namespace FwTest
