// The firmware cycle, the two task passes and their handshakes.
#include <gtest/gtest.h>

#include <algorithm>

#include "EPSglobal.h"
#include "EPSinit.h"
#include "ScmFirmwareIdent.h"
#include "FwKeyFile.h"
#include "FwUnitSupport.h"
#include "HNFcyc.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "HNFiff_Crc.h"
#include "MFWQZ_Confirm.h"
#include "SCMint.h"
#include "ScmSystemCalls.h"

namespace FwTest {
namespace {

/// A platform that start-up has brought to a running cycle.
class FwCycle : public FwFixture {
 public:
  void SetUp() override {
    FwFixture::SetUp();
    // The cycle drives the real stack: it must have been initialised, with a
    // node for the configuration manager to activate over.
    keyFile = OneNodeKeyFile();
    HNFstp_File files[HNFstp_kFileCount] = {};
    files[0].pucData = keyFile.data();
    files[0].ulSize = static_cast<u32>(keyFile.size());
    const HNFstp_Identity identity = {LdFwIdentStart, HNFstp_aucScmUdid};
    EPS_Init(files, &identity);
    ASSERT_TRUE(TakeEvents().empty());
    host.calls.clear();
    EPS_gGlobal.ulModuleState = HNFiff_kModuleStateNormal;
    EPS_gGlobal.ullCtMultiplier = 0x02752546u;
    HNFcyc_InitStepDone(HNFcyc_kStepLoaded);
  }
  std::vector<uint8_t> keyFile;  ///< the loaded key file the object dictionary points into
};

int CounterCalls(const FakeHost& host) {
  return static_cast<int>(std::count(host.calls.begin(), host.calls.end(), SCM_SC_GET_USEC_COUNTER));
}

TEST_F(FwCycle, NothingHappensUntilTheStackInitialisationSetTheStateCopy) {
  EPS_gGlobal.ulModuleState = 0;
  host.counter = 123456789;
  IRQ();
  EXPECT_EQ(CounterCalls(host), 0);
  EXPECT_EQ(EPS_gGlobal.ulCt, 0u);
  EXPECT_EQ(HNFcyc_statusInfo[1], 0u);
}

TEST_F(FwCycle, TheCycleInWhichTheWordTurnedFailSafeDoesNothing) {
  HNFiff_ModuleStateFailSafe();
  IRQ();
  EXPECT_EQ(EPS_gGlobal.ulModuleState, HNFiff_kModuleStateFailSafe);
  EXPECT_EQ(CounterCalls(host), 0);
  EXPECT_EQ(HNFcyc_statusInfo[1], 0u);
  IRQ();
  EXPECT_EQ(CounterCalls(host), 0);
}

TEST_F(FwCycle, ConsecutiveTimeIsTheUpperHalfOfCounterTimesMultiplier) {
  const struct {
    uint64_t counter;
    uint64_t multiplier;
    uint32_t ct;
  } cases[] = {
      {0, 0x02752546u, 0},
      {1000000, 0x02752546u, static_cast<uint32_t>((1000000ull * 0x02752546u) >> 32)},
      {0xFFFFFFFFFFull, 0xF5C28F5Bu,
       0xC28F5AFFu},  // bits 32..63 of the 72-bit product
      {0x123456789ABCDEFull, 0x003EEA20u,
       0x30ECA864u},  // bits 32..63 of the 79-bit product
  };
  for (const auto& c : cases) {
    host.counter = c.counter;
    EPS_gGlobal.ullCtMultiplier = c.multiplier;
    HNFcyc_bHaveLastUsec = 0;
    IRQ();
    EXPECT_EQ(EPS_gGlobal.ulCt, c.ct) << std::hex << c.counter;
  }
}

TEST_F(FwCycle, MultiplierIsTheTimeBaseTwoValueUntilTheObjectIsWritten) {
  EXPECT_EQ(EPS_Global{}.ullCtMultiplier, 0x02752546u);
}

TEST_F(FwCycle, AGapOfMoreThanTenSecondsIsReportedOnce) {
  host.counter = 5000000;
  IRQ();
  host.counter += 10000000;
  IRQ();
  EXPECT_TRUE(TakeEvents().empty());
  host.counter += 10000001;
  IRQ();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008482, 0, 10000001}}));
  host.counter += 20000;
  IRQ();
  host.counter += 0x100000000ull + 5;
  IRQ();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008482, 0, 5}}));
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
}

TEST_F(FwCycle, FirstCycleOnlyTakesTheReading) {
  host.counter = 999999999999ull;
  IRQ();
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(HNFcyc_ullLastUsec, 999999999999ull);
}

TEST_F(FwCycle, StepsGateTheWorkOfTheCycle) {
  const struct {
    uint32_t step;
    bool pump;
  } cases[] = {{1, false}, {16, false}, {17, true}};
  for (const auto& c : cases) {
    SetUp();
    HNFcyc_InitStepDone(c.step);
    (void)MFWQZ_GetTargetId();
    PutComplemented("frame-send", {1, 2, 3});
    MFWQZ_gbScanStarted = 1;
    IRQ();
    EXPECT_EQ(HNFcyc_statusInfo[1], c.step);
    EXPECT_EQ(ScmMemQueueCount(ScmName("frame-send").c_str()), c.pump ? 0 : 1) << c.step;
    // Guarding restarts (the application's reports count again) only with the stack.
    EXPECT_EQ(MFWQZ_gbLockPost, c.pump ? 0u : 1u) << c.step;
    EXPECT_EQ(HNFcyc_gbCalledFromCyc, 0);
    EXPECT_EQ(HNFcyc_ulStartUpProgress, 1u) << "start-up progress begins at 1";
  }
}

TEST_F(FwCycle, ScanAndQuitRequests) {
  const struct {
    const char* what;
    uint32_t startScan, scanInit, scanStarted, startQuit, quitAll;
    uint32_t expScanInit, expQuitAll;
    uint32_t resets;
    std::vector<Event> events;
  } cases[] = {
      {"scan requested", 1, 0, 0, 0, 0, 1, 0, 0, {}},
      {"scan requested while init pending", 1, 1, 0, 0, 0, 1, 0, 0, {{3, 0x9200C00E, 0, 0}}},
      {"scan requested while started", 1, 0, 1, 0, 0, 0, 0, 1, {}},
      {"scan started", 0, 0, 1, 0, 0, 0, 0, 1, {}},
      {"quit requested", 0, 0, 0, 1, 0, 0, 1, 0, {}},
      {"quit requested while quitting", 0, 0, 0, 1, 1, 0, 1, 0, {{3, 0x9200C00E, 0, 1}}},
  };
  for (const auto& c : cases) {
    SetUp();
    MFWQZ_gbStartScan = c.startScan;
    MFWQZ_gbScanInit = c.scanInit;
    MFWQZ_gbScanStarted = c.scanStarted;
    MFWQZ_gbStartQuit = c.startQuit;
    MFWQZ_gbQuitAll = c.quitAll;
    MFWQZ_susQuitSaddr = 77;
    IRQ();
    EXPECT_EQ(MFWQZ_gbStartScan, 0u) << c.what;
    EXPECT_EQ(MFWQZ_gbScanStarted, 0u) << c.what;
    EXPECT_EQ(MFWQZ_gbStartQuit, 0u) << c.what;
    EXPECT_EQ(MFWQZ_gbScanInit, c.expScanInit) << c.what;
    EXPECT_EQ(MFWQZ_gbQuitAll, c.expQuitAll) << c.what;
    EXPECT_EQ(MFWQZ_susQuitSaddr, c.startQuit != 0 ? 1 : 77) << c.what;
    EXPECT_EQ(MFWQZ_gbLockPost, c.resets != 0 ? 0u : 1u) << c.what;
    EXPECT_EQ(TakeEvents(), c.events) << c.what;
  }
}

TEST_F(FwCycle, UdidAcknowledges) {
  // Node states of the configuration manager: waiting for the operator, for the SN-failure acknowledge.
  constexpr uint32_t kWfOperator = SCM_k_ST_WF_OPERATOR_ACK;
  constexpr uint32_t kWfSnFailAck = SCM_k_ST_WF_SAPL_ACK;
  const struct {
    const char* what;
    uint32_t flags;
    uint32_t scmState;  // state of the node with handle 6
    uint16_t scmEvents;  // events already pending at the node
    uint32_t ackErrorBefore;
    bool scmAcked;      // the SCM took the acknowledge (event 0x0008)
    uint32_t ackError;
    bool acknowledgedFlag;
    std::vector<Event> events;
  } cases[] = {
      {"mismatch accepted", 0x400, kWfOperator, 0, 1, true, 0, true, {}},
      // A node that no longer waits gets no acknowledge and nothing is raised.
      {"mismatch no longer awaited", 0x400, 0, 0, 1, false, 0, false, {}},
      {"mismatch awaited by an SN failure only", 0x400, kWfSnFailAck, 0, 1, false, 0, false, {}},
      {"encoder change clears an earlier error", 0x800000, kWfSnFailAck, 0, 1, true, 0, false, {}},
      {"encoder change", 0x800000, kWfSnFailAck, 0, 0, true, 0, false, {}},
      // The SCM acknowledged it itself: already queued, nothing more.
      {"encoder change already queued", 0x800000, kWfSnFailAck, SCM_k_EVT_ACK, 1, true, 0, false, {}},
      {"encoder change no longer awaited", 0x800000, kWfOperator, 0, 1, false, 0, false, {}},
      {"nothing to acknowledge", 0x1, kWfOperator, 0, 0, false, 1, false, {{3, 0x9200C011, 300, 300}}},
      {"both pending", 0x800400, kWfOperator, 0, 0, false, 1, false, {{3, 0x9200C011, 300, 300}}},
  };
  for (const auto& c : cases) {
    SetUp();
    MFWQZ_ModuleInfo[300].ulFlags = c.flags;
    SCM_as_FsmCb[6].ulState = c.scmState;
    SCM_as_FsmCb[6].usEvents = c.scmEvents;
    MFWQZ_gbAckError = c.ackErrorBefore;
    MFWQZ_gbQuitUdid = 1;
    MFWQZ_gusQuitSaddr = 300;
    MFWQZ_gusAckHandle = 6;
    IRQ();
    EXPECT_EQ(MFWQZ_gbQuitUdid, 0u) << c.what;
    EXPECT_EQ(MFWQZ_gbAckDone, 1u) << c.what;
    EXPECT_EQ(MFWQZ_gbAckError, c.ackError) << c.what;
    EXPECT_EQ(SCM_as_FsmCb[6].usEvents, c.scmAcked ? uint32_t{SCM_k_EVT_ACK} : 0u) << c.what;
    if (c.scmAcked && c.scmEvents == 0 && c.scmState == kWfSnFailAck) {
      EXPECT_EQ(SCM_as_FsmCb[6].aucRespData[0], 3) << c.what;
      EXPECT_EQ(SCM_as_FsmCb[6].aucRespData[1], 2) << c.what;
    }
    EXPECT_EQ((MFWQZ_ModuleInfo[300].ulFlags & 0x200000u) != 0, c.acknowledgedFlag) << c.what;
    EXPECT_EQ(TakeEvents(), c.events) << c.what;
  }
}

TEST_F(FwCycle, AcknowledgeOfASadrOutsideTheTableIsRefused) {
  MFWQZ_gbQuitUdid = 1;
  MFWQZ_gusQuitSaddr = 1024;
  IRQ();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C011, 1024, 1024}}));
  EXPECT_EQ(MFWQZ_gbAckError, 1u);
  EXPECT_EQ(MFWQZ_gbAckDone, 1u);
}

TEST_F(FwCycle, TaskDelayTicks) {
  const struct {
    int rate, divisor, ticks;
  } cases[] = {{1000, 100, 10}, {1000, 10, 100}, {1000, 1, 1000}, {60, 100, 10}, {5000, 100, 50}, {1000, 0, 1000}};
  for (const auto& c : cases) {
    ScmMemSetClkRate(c.rate);
    EXPECT_EQ(GetTaskDelayTickCount(c.divisor), c.ticks) << c.rate << "/" << c.divisor;
  }
}

TEST_F(FwCycle, OneGiveIsAnsweredByOneGive) {
  ASSERT_EQ(ScmMemCreateSemaphore(ScmName("frame-send").c_str(), SEM_EMPTY), OK);
  ASSERT_EQ(ScmMemCreateSemaphore(ScmName("frame-receive").c_str(), SEM_EMPTY), OK);
  HNFstp_OpenCycleSemaphores();
  ASSERT_NE(HNFstp_pRxSemaphore, nullptr);
  ASSERT_NE(HNFstp_pTxSemaphore, nullptr);
  const std::string rx = ScmName("frame-send");
  const std::string tx = ScmName("frame-receive");
  int gives = 0;
  ScmMemSetBlockHook([&](const char* name, int) {
    if (rx != name || gives == 3) {
      return false;
    }
    ++gives;
    return semGive(semOpen(name, 0, 0, 0, 0, nullptr)) == OK;
  });
  for (int i = 0; i < 3; ++i) {
    HNFcyc_CyclicPass();
    EXPECT_EQ(ScmMemSemGiveCount(tx.c_str()), i + 1);
  }
  EXPECT_EQ(ScmMemSemTakeCount(rx.c_str()), 3);
  EXPECT_EQ(ScmMemDelayCalls(), 0);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwCycle, MissingSemaphoresAreReportedAndTheCycleIsPacedByADelay) {
  HNFstp_OpenCycleSemaphores();
  const auto events = TakeEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].code, 0x6200AF1Eu);
  EXPECT_EQ(events[0].info0, 1);
  EXPECT_EQ(events[1].info0, 2);
  host.counter = 1;
  HNFcyc_CyclicPass();
  const auto pass = TakeEvents();
  ASSERT_EQ(pass.size(), 2u);
  EXPECT_EQ(pass[0].code, 0x6200AF1Eu);
  EXPECT_EQ(pass[0].info0, 4);
  EXPECT_EQ(pass[0].info1, static_cast<uint32_t>(SCM_ERRNO_INVALID_ID)) << "errno of the missing semaphore";
  EXPECT_EQ(pass[1].code, 0x6200AF1Eu);
  EXPECT_EQ(pass[1].info0, 3);
  EXPECT_EQ(ScmMemDelayCalls(), 1);
  EXPECT_EQ(ScmMemDelayTicks(), 10);
  EXPECT_EQ(CounterCalls(host), 1) << "the cycle ran anyway";
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
}

class FwBackground : public FwCycle {};

TEST_F(FwBackground, TriggersRunOnceInOrderAndAreCleared) {
  for (u32 i = 0; i < MFWQZ_kPasswordBytes; ++i) {
    MFWQZ_gaucPassword[i] = static_cast<u8>(0xA0 + i);
  }
  MFWQZ_ModuleInfo[9].ulFlags = 1;
  MFWQZ_gaucOptFlags[9 / 8] |= 1u << (9 % 8);
  HNFcyc_TriggerSendScmVersionToQorInBgTask = 1;
  HNFcyc_TriggerSendPasswordToQorInBgTask = 1;
  HNFcyc_TriggerSendOptionalModulesToQorInBgTask = 1;
  SetSetupModeTrigger(1);
  MFWQZ_gbScanInit = 1;
  EXPECT_EQ(HNFcyc_BackgroundPass(), 1);
  EXPECT_EQ(HNFcyc_BackgroundPass(), 1);
  // Version (0x1018/9, its default 0x104), password, optional modules with their CRC, setup mode (off).
  std::vector<u8> password = {0x21, 16};
  password.insert(password.end(), MFWQZ_gaucPassword, MFWQZ_gaucPassword + 16);
  std::vector<u8> list = {0x23, 24, 9, 0};
  list.resize(22, 0);
  const uint32_t crc = HNFiff_Crc32CalcSwp(0, 20, list.data() + 2);
  for (int i = 0; i < 4; ++i) {
    list.push_back(static_cast<u8>(crc >> (8 * i)));
  }
  std::vector<std::vector<u8>> expected = {{0x25, 2, 0x04, 0x01}, password, list};
  if constexpr (!SCM_kLegacy) {
    expected.push_back({0x26, 2, 0, 0});  // the older release has no variable 6
  }
  EXPECT_EQ(host.qorRequests, expected);
  EXPECT_EQ(host.qorChannelsOpen, 0);
  EXPECT_EQ(MFWQZ_QorHasFailed(), 0);
  EXPECT_EQ(HNFcyc_TriggerSendScmVersionToQorInBgTask | HNFcyc_TriggerSendPasswordToQorInBgTask |
                HNFcyc_TriggerSendOptionalModulesToQorInBgTask | SetupModeTrigger(),
            0u);
  // Each pass ran the application's cycle, whose scan reset takes a pending request.
  EXPECT_EQ(MFWQZ_gbScanStarted, 1u);
  EXPECT_EQ(MFWQZ_gbScanInit, 0u);
}

void Mark(uint8_t* set, unsigned sadr) { set[sadr / 8] |= static_cast<uint8_t>(1u << (sadr % 8)); }

TEST_F(FwBackground, OptionalModuleListTakesConfiguredMarkedSadrsFromTwoOn) {
  for (unsigned sadr : {1u, 2u, 5u, 9u, 700u, 1023u}) {
    MFWQZ_ModuleInfo[sadr].ulFlags = 1;
  }
  Mark(MFWQZ_gaucOptFlags, 1);
  Mark(MFWQZ_gaucOptFlags, 5);
  Mark(MFWQZ_gaucStpFlags, 9);
  Mark(MFWQZ_gaucNprFlags, 700);
  Mark(MFWQZ_aucMissStpFlags, 1023);
  Mark(MFWQZ_gaucOptFlags, 6);
  uint16_t list[10];
  HNFcyc_BuildOptionalModuleList(list);
  EXPECT_EQ(std::vector<uint16_t>(list, list + 10), (std::vector<uint16_t>{5, 9, 700, 1023, 0, 0, 0, 0, 0, 0}));
}

TEST_F(FwBackground, OptionalModuleListHoldsAtMostTen) {
  for (unsigned sadr = 100; sadr < 120; ++sadr) {
    MFWQZ_ModuleInfo[sadr].ulFlags = 1;
    Mark(MFWQZ_gaucOptFlags, sadr);
  }
  HNFcyc_TriggerSendOptionalModulesToQorInBgTask = 1;
  HNFcyc_BackgroundPass();
  ASSERT_EQ(host.qorVariables.count(3), 1u);
  const std::vector<u8>& value = host.qorVariables[3];
  ASSERT_EQ(value.size(), 24u);
  std::vector<uint16_t> sadrs;
  for (int i = 0; i < 10; ++i) {
    sadrs.push_back(static_cast<uint16_t>(value[2 * i] | (value[2 * i + 1] << 8)));
  }
  EXPECT_EQ(sadrs, (std::vector<uint16_t>{100, 101, 102, 103, 104, 105, 106, 107, 108, 109}));
}

TEST_F(FwBackground, ServesOneCommandPerPass) {
  PutComplemented("command", {4, 0, 0, 0});
  PutComplemented("command", {3, 0, 0, 0});
  HNFcyc_BackgroundPass();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008709, 4, 4}}));
  EXPECT_TRUE(TakePlain("status").empty());
  HNFcyc_BackgroundPass();
  EXPECT_EQ(TakePlain("status").size(), 1u);
}

TEST_F(FwBackground, SafeControllerResetEndsTheTaskOnlyWhenTheHostAcceptsIt) {
  host.failing.insert(SCM_SC_RESET);
  EXPECT_EQ(HNFcyc_BackgroundPass(), 1) << "no failure latched";
  EXPECT_EQ(host.resetCalls, 0);
  MFWQZ_gbQorFailed = 1;
  MFWQZ_gbQorRecovered = 0;
  host.qorStates = {4};
  EXPECT_EQ(HNFcyc_BackgroundPass(), 1) << "not recovered";
  MFWQZ_gbQorRecovered = 1;
  EXPECT_EQ(HNFcyc_BackgroundPass(), 1);
  EXPECT_EQ(HNFcyc_BackgroundPass(), 1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x6200C090, 0, 3}}));
  host.failing.clear();
  EXPECT_EQ(HNFcyc_BackgroundPass(), 0);
  EXPECT_EQ(host.resetCalls, 1);
  host.failing.insert(SCM_SC_RESET);
  EXPECT_EQ(HNFcyc_BackgroundPass(), 1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x6200C090, 0, 3}}));
}

TEST_F(FwBackground, BackgroundTaskEndsThroughTaskExitAfterTheReset) {
  MFWQZ_gbQorFailed = 1;
  MFWQZ_gbQorRecovered = 1;
  EXPECT_THROW(DoBackgroundWork(0, 0, 0, 0, 0, 0, 0, 0, 0, 0), ScmMemTaskExit);
  EXPECT_EQ(host.resetCalls, 1);
}

}  // namespace
}  // namespace FwTest
