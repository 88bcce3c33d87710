// Setup mode on the in-memory platform: its initialisation cases, the
// operator's switches with their file, Qor variable, events, hold and reset,
// the selections it hands to the confirmation once per situation, the hourly
// event and a failed write.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>

#include "OrderFixture.h"
#include "HNFcyc.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "ScmProfile.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "ScmSystemCalls.h"

namespace FwTest {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kEvtSetup = 0x6200C094;
constexpr uint32_t kEvtSetupOff = 0x6200C095;
const u8* const kQorUdid = kOrderQorUdid;

Bytes Enter(u16 code) { return EnterOrder(code); }
u16 Result(const Bytes& answer) { return ResultOf(answer); }
/// Flags word of a 0x0101 "fwrevcnf.bin" with two entries.
u16 FileFlags(const Bytes& file) { return static_cast<u16>(file.at(8 + 8 + 4 + 4) | (file.at(8 + 8 + 4 + 5) << 8)); }

class SetupMode : public OrderFixture {
 protected:
  /// Initialises the application (setup mode included); the counter at 20 s.
  void Start() {
    Initialise();
    host.counter = 20000000;
  }
  /// Runs the confirmation of an accepted order up to its action.
  void Confirm(u16 code) {
    ASSERT_EQ(Result(AnswerTo(Enter(code))), 0);
    for (int i = 0; i < 3; ++i) {
      MFWQZ_Confirmation();
    }
    host.counter += 500000;
    MFWQZ_Confirmation();
    EXPECT_EQ(MFWQZ_Confirmation(), 1);
  }
  Bytes File() { return host.files["FWREVCNF.BIN"]; }
};

TEST_F(SetupMode, InitialisationCases) {
  const struct {
    const char* what;
    u32 emptyBeforeBoot;  // flag 0x08 of the file
    u32 commissioning1;   // 0x210B/1
    bool qorUnchanged;    // the running Qor UDID is the accepted one
    u32 flagRead;         // flag 0x10: 1 on, 2 off
    u32 state;            // after initialisation and the first pass
    std::vector<Event> events;
  } rows[] = {
      {"nothing asks for it", 0, 0, true, 2, MFWQZ_k_SM_OFF, {}},
      {"empty key medium and commissioning sub 1", 1, 1, true, 2, MFWQZ_k_SM_ON, {{2, kEvtSetup, 1, 0}}},
      {"empty key medium without sub 1", 1, 0, true, 2, MFWQZ_k_SM_OFF, {}},
      {"file flag with the same Qor controller", 0, 0, true, 1, MFWQZ_k_SM_ON, {{2, kEvtSetup, 1, 0}}},
      {"file flag with another Qor controller", 0, 0, false, 1, MFWQZ_k_SM_OFF, {}},
  };
  for (const auto& r : rows) {
    SetUp();
    Start();
    MFWQZ_CvEmptyBeforeBoot = r.emptyBeforeBoot;
    MFWQZ_gSodCommisioningParameter[0] = r.commissioning1;
    MFWQZ_SetupModeFlagRead = r.flagRead;
    static const u8 kOther[6] = {0x00, 0x60, 0x65, 0x09, 0x09, 0x09};
    MFWQZ_pucActQzUdid = r.qorUnchanged ? kQorUdid : kOther;
    TakeEvents();
    const Bytes before = File();
    MFWQZ_SetupModeInit();
    EXPECT_EQ(MFWQZ_SetupModeDesc.ulFromInit, 1u) << r.what;
    EXPECT_EQ(MFWQZ_SetupMode(), 1) << r.what;
    EXPECT_EQ(MFWQZ_SetupModeDesc.ulState, r.state) << r.what;
    EXPECT_EQ(MFWQZ_IsSetupModeActive(), r.state == MFWQZ_k_SM_ON ? 1u : 0u) << r.what;
    EXPECT_EQ(TakeEvents(), r.events) << r.what;
    EXPECT_EQ(File(), before) << r.what << ": a switch at initialisation writes no file";
    EXPECT_EQ(HNFcyc_TriggerSendSetupModeToQorInBgTask, 0u) << r.what;
    host.counter += 60000000;
    EXPECT_EQ(MFWQZ_SetupMode(), 1) << r.what;
    EXPECT_EQ(host.resetCalls, 0) << r.what << ": no reset after an initial switch-off";
    TearDown();
  }
}

TEST_F(SetupMode, SwitchedOnByTheOperator) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no setup mode (0x9000 and 0x9100 answer 6)";
  }
  Start();
  ASSERT_EQ(MFWQZ_SetupMode(), 1);
  TakeEvents();
  const int locks = host.lockResets;
  Confirm(0x9000);
  EXPECT_EQ(MFWQZ_SetupModeDesc.ulState, MFWQZ_k_SM_ON_REQ);
  TakeEvents();
  EXPECT_EQ(MFWQZ_SetupMode(), 1);
  EXPECT_EQ(MFWQZ_SetupModeDesc.ulState, MFWQZ_k_SM_ON);
  EXPECT_EQ(FileFlags(File()), 0x17) << "flag 0x10 written";
  EXPECT_EQ(MFWQZ_ValidFiles, 0u);
  EXPECT_EQ(MFWQZ_gbTriggerReloadRev, 1u);
  EXPECT_EQ(MFWQZ_gbScanAfterReloadRev, 0u);
  EXPECT_EQ(host.lockResets, locks + 1);
  EXPECT_EQ(MFWQZ_Remote.ulState, 0u);
  EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, 0x9000u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, kEvtSetup, 2, 0}}));
  EXPECT_EQ(HNFcyc_TriggerSendSetupModeToQorInBgTask, 1u);
  (void)HNFcyc_BackgroundPass();
  EXPECT_EQ(host.qorVariables[6], (Bytes{1, 0}));
  // After a restart with the same Qor controller it comes on again by itself.
  (void)MFWQZ_FwRevLoad(1);
  EXPECT_EQ(MFWQZ_SetupModeFlagRead, 1u);
  MFWQZ_SetupModeInit();
  EXPECT_EQ(MFWQZ_SetupMode(), 1);
  EXPECT_EQ(MFWQZ_SetupModeDesc.ulState, MFWQZ_k_SM_ON);
}

TEST_F(SetupMode, SwitchedOffByTheOperatorHoldsFiveSecondsThenResets) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no setup mode (0x9000 and 0x9100 answer 6)";
  }
  Start();
  MFWQZ_ActivateSetupMode(1);
  ASSERT_EQ(MFWQZ_SetupMode(), 1);
  TakeEvents();
  Confirm(0x9100);
  EXPECT_EQ(MFWQZ_SetupModeDesc.ulState, MFWQZ_k_SM_OFF_REQ);
  TakeEvents();
  const uint64_t tSwitch = host.counter;
  EXPECT_EQ(MFWQZ_SetupMode(), 1);
  EXPECT_EQ(MFWQZ_SetupModeDesc.ulState, MFWQZ_k_SM_OFF);
  EXPECT_EQ(MFWQZ_SetupModeDesc.ulHoldUs, 5000000u);
  EXPECT_EQ(MFWQZ_Remote.ulState, 4u) << "final before the reset";
  EXPECT_EQ(FileFlags(File()), 0x07);
  EXPECT_EQ(HNFcyc_TriggerSendSetupModeToQorInBgTask, 1u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{1, kEvtSetup, 3, 0}}));
  host.counter = tSwitch + 4999999;
  EXPECT_EQ(MFWQZ_SetupMode(), 1);
  EXPECT_EQ(host.resetCalls, 0);
  host.counter = tSwitch + 5000000;
  EXPECT_EQ(MFWQZ_SetupMode(), 1);
  EXPECT_EQ(host.resetCalls, 1);
  EXPECT_EQ(MFWQZ_SetupMode(), 1);
  EXPECT_EQ(host.resetCalls, 1) << "once";
}

TEST_F(SetupMode, AFailedWriteEndsInTheErrorStateWithOneFatalEvent) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no setup mode (0x9000 and 0x9100 answer 6)";
  }
  Start();
  ASSERT_EQ(MFWQZ_SetupMode(), 1);
  TakeEvents();
  Confirm(0x9000);
  const Bytes before = File();
  host.failWrites = 1;
  TakeEvents();
  EXPECT_EQ(MFWQZ_SetupMode(), 0);
  EXPECT_EQ(MFWQZ_SetupModeDesc.ulState, MFWQZ_k_SM_ERROR);
  EXPECT_EQ(File(), before);
  EXPECT_EQ(MFWQZ_Remote.ulState, 4u);
  TakeEvents();
  EXPECT_EQ(MFWQZ_SetupMode(), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, kEvtSetup, 6, MFWQZ_k_SM_ON}}));
  EXPECT_EQ(MFWQZ_SetupMode(), 0);
  EXPECT_TRUE(TakeEvents().empty()) << "reported once";
  EXPECT_EQ(host.openHandles, 0);
}

TEST_F(SetupMode, OnWithoutSwitchingOnIsAnError) {
  Start();
  MFWQZ_SetupModeDesc.ulState = MFWQZ_k_SM_ON;
  MFWQZ_SetupModeDesc.ulPrevious = MFWQZ_k_SM_OFF;
  TakeEvents();
  EXPECT_EQ(MFWQZ_SetupMode(), 1);
  EXPECT_EQ(MFWQZ_SetupMode(), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, kEvtSetup, 6, MFWQZ_k_SM_ON}}));
}

TEST_F(SetupMode, HandsOverOncePerSituation) {
  struct Row {
    const char* what;
    bool on;
    std::array<u32, 3> commissioning;
    std::function<void()> situation;
    u32 selection;  // 0: nothing handed over
    Event event;
  };
  const auto mismatches = [](u32 n) {
    return [n] {
      MFWQZ_ulNumberOfUdidMisMatches = n;
      MFWQZ_ModChg.ulState = n > 4 ? MFWQZ_k_XCHG_MANY : MFWQZ_k_XCHG_FEW;
    };
  };
  const auto firmware = [] {
    MFWQZ_ulNumberOfDiffFirmware = 2;
    MFWQZ_ModChg.ulState = MFWQZ_k_XCHG_FIRMWARE;
  };
  const auto keyMedium = [] {
    MFWQZ_bCorvaneChanged = 1;
    MFWQZ_KeyCnf.ulState = MFWQZ_k_KEY_CHANGED;
  };
  const Row rows[] = {
      {"on: key medium", true, {0, 0, 0}, keyMedium, 0x200, {1, kEvtSetup, 7, 0}},
      {"on: one mismatch", true, {0, 0, 0}, mismatches(1), 0x60, {1, kEvtSetup, 8, 1}},
      {"on: two", true, {0, 0, 0}, mismatches(2), 0x50, {1, kEvtSetup, 8, 2}},
      {"on: three", true, {0, 0, 0}, mismatches(3), 0x40, {1, kEvtSetup, 8, 3}},
      {"on: four", true, {0, 0, 0}, mismatches(4), 0x30, {1, kEvtSetup, 8, 4}},
      {"on: six", true, {0, 0, 0}, mismatches(6), 0x20, {1, kEvtSetup, 8, 6}},
      {"on: exchange state 1 but no mismatch left", true, {0, 0, 0}, mismatches(0), 0, {}},
      {"on: firmware", true, {0, 0, 0}, firmware, 0x100, {1, kEvtSetup, 9, 2}},
      {"off: key medium with sub 3", false, {0, 0, 1}, keyMedium, 0x200, {1, kEvtSetupOff, 7, 0}},
      {"off: key medium without sub 3", false, {0, 1, 0}, keyMedium, 0, {}},
      {"off: firmware with sub 2", false, {0, 1, 0}, firmware, 0x100, {1, kEvtSetupOff, 9, 2}},
      {"off: firmware without sub 2", false, {0, 0, 1}, firmware, 0, {}},
      {"off: mismatches are never accepted", false, {0, 1, 1}, mismatches(1), 0, {}},
  };
  for (const Row& r : rows) {
    SetUp();
    Start();
    for (u32 i = 0; i < 3; ++i) {
      MFWQZ_gSodCommisioningParameter[i] = r.commissioning[i];
    }
    if (r.on) {
      MFWQZ_ActivateSetupMode(1);
    }
    ASSERT_EQ(MFWQZ_SetupMode(), 1) << r.what;
    TakeEvents();
    r.situation();
    const int locks = host.lockResets;
    EXPECT_EQ(MFWQZ_SetupMode(), 1) << r.what;
    EXPECT_EQ(MFWQZ_gulHandedSelection, r.selection) << r.what;
    if (r.selection == 0) {
      EXPECT_TRUE(TakeEvents().empty()) << r.what;
      EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_IDLE) << r.what;
      TearDown();
      continue;
    }
    EXPECT_EQ(TakeEvents(), std::vector<Event>{r.event}) << r.what;
    EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_HOLD) << r.what;
    EXPECT_EQ(host.lockResets, locks + 1) << r.what;
    // The confirmation runs it; back in its idle state the same situation is not handed over again.
    EXPECT_EQ(MFWQZ_Confirmation(), 1) << r.what;
    EXPECT_TRUE(TakeEvents().empty()) << r.what << ": no operator event for a handover";
    host.counter += 800000;
    MFWQZ_Confirmation();
    MFWQZ_Confirmation();
    r.situation();
    EXPECT_EQ(MFWQZ_SetupMode(), 1) << r.what;
    EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_IDLE) << r.what << ": once per situation";
    EXPECT_TRUE(TakeEvents().empty()) << r.what;
    TearDown();
  }
}

TEST_F(SetupMode, TheExchangeMarkerClearsWhenTheMismatchesAreGone) {
  Start();
  MFWQZ_ActivateSetupMode(1);
  ASSERT_EQ(MFWQZ_SetupMode(), 1);
  for (int round = 0; round < 2; ++round) {
    MFWQZ_ulNumberOfUdidMisMatches = 3;
    MFWQZ_ModChg.ulState = MFWQZ_k_XCHG_FEW;
    TakeEvents();
    EXPECT_EQ(MFWQZ_SetupMode(), 1);
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{1, kEvtSetup, 8, 3}})) << round;
    EXPECT_EQ(MFWQZ_gulHandedSelection, 0x40u);
    MFWQZ_gulHandedSelection = 0;
    MFWQZ_Confirm.ulState = MFWQZ_k_CNF_IDLE;
    EXPECT_EQ(MFWQZ_SetupMode(), 1);
    EXPECT_TRUE(TakeEvents().empty()) << round;
    MFWQZ_ulNumberOfUdidMisMatches = 0;
    EXPECT_EQ(MFWQZ_SetupMode(), 1);
    EXPECT_EQ(MFWQZ_gbSetupUdidDone, 0u);
  }
}

TEST_F(SetupMode, NothingIsHandedOverUnlessTheConfirmationIsIdleTheModuleNormalAndTheFilesValid) {
  const struct {
    const char* what;
    std::function<void()> blocker;
  } rows[] = {{"confirmation busy", [] { MFWQZ_Confirm.ulState = MFWQZ_k_CNF_WAIT; }},
              {"files invalid", [] { MFWQZ_ValidFiles = 0; }},
              {"a scan runs (the check table refuses)", [] { MFWQZ_gbScanning = 1; }}};
  for (const auto& r : rows) {
    SetUp();
    Start();
    MFWQZ_ActivateSetupMode(1);
    ASSERT_EQ(MFWQZ_SetupMode(), 1);
    TakeEvents();
    MFWQZ_ulNumberOfUdidMisMatches = 1;
    MFWQZ_ModChg.ulState = MFWQZ_k_XCHG_FEW;
    r.blocker();
    EXPECT_EQ(MFWQZ_SetupMode(), 1) << r.what;
    EXPECT_EQ(MFWQZ_gulHandedSelection, 0u) << r.what;
    EXPECT_TRUE(TakeEvents().empty()) << r.what;
    TearDown();
  }
}

TEST_F(SetupMode, RemindsEveryHour) {
  Start();
  MFWQZ_ActivateSetupMode(1);
  const uint64_t tOn = host.counter;
  ASSERT_EQ(MFWQZ_SetupMode(), 1);
  TakeEvents();
  host.counter = tOn + 3599999999ull;
  EXPECT_EQ(MFWQZ_SetupMode(), 1);
  EXPECT_TRUE(TakeEvents().empty());
  host.counter = tOn + 3600000000ull;
  EXPECT_EQ(MFWQZ_SetupMode(), 1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, kEvtSetup, 4, 0}}));
  host.counter = tOn + 7200000000ull;
  EXPECT_EQ(MFWQZ_SetupMode(), 1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, kEvtSetup, 4, 0}}));
}

}  // namespace
}  // namespace FwTest
