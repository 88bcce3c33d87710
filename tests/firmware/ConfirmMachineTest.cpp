// The operator-confirmation machines as timelines on the in-memory platform:
// the microsecond counter moves, orders come in on the command channel, and
// each row says what the machine, the remote state, the last completed code,
// the events and the host's files, flash and reset calls are at that moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <optional>

#include "ScmProfile.h"
#include "MessageBuilder.h"
#include "OrderFixture.h"
#include "HNFcyc.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "MFWQZ_AppFiles.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "ScmSystemCalls.h"

namespace FwTest {
namespace {

using Bytes = std::vector<uint8_t>;
using Password = std::array<u8, 16>;

/// The operator event of remote control and confirmations.
constexpr uint32_t kEvt = 0x6200C08B;
/// The fatal machine-state event.
constexpr uint32_t kEvtState = 0x9200C000;
const Password kSecret = kOrderSecret;
/// Time the order is accepted at, microseconds.
constexpr uint64_t kT0 = 10000000;

Bytes Enter(u16 code) { return EnterOrder(code); }
u16 Result(const Bytes& answer) { return ResultOf(answer); }

/// The order fixture with setup mode's first pass run (off) and remote control reset to power-up.
class Machines : public OrderFixture {
 protected:
  void SetUp() override {
    OrderFixture::SetUp();
    Initialise();
    ASSERT_EQ(MFWQZ_SetupMode(), 1);  // switched off from the initialisation
    MFWQZ_gbScanning = 0;
    MFWQZ_gbStartScan = 0;
    MFWQZ_bCvnFromQorAvailable = 1;
    HNFstp_bCorvaneEmpty = 0;
    host.counter = kT0;
    TakeEvents();
  }
  /// The confirmation run up to the call that enters state 4 (half a second after the order).
  void ConfirmUntilEntry() {
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(MFWQZ_Confirmation(), 1);
    }
    host.counter += 500000;
    EXPECT_EQ(MFWQZ_Confirmation(), 1);
    EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_HOLD);
  }
  /// The confirmation run until its state 4 entry (half a second after the order): the entry's result.
  u8 ConfirmUntilAction() {
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(MFWQZ_Confirmation(), 1);
    }
    host.counter += 499999;
    EXPECT_EQ(MFWQZ_Confirmation(), 1);
    EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_WAIT) << "not before half a second";
    host.counter += 1;
    EXPECT_EQ(MFWQZ_Confirmation(), 1);
    return MFWQZ_Confirmation();
  }
  /// Both user-data files present, then their format ordered remotely (up to the confirmation's
  /// action) or started on the controller.
  void StartUserDataFormat(bool remote) {
    host.files["PARDATA1.BIN"] = {1, 2, 3};
    host.files["AUTOCNF.BIN"] = {4, 5};
    if (remote) {
      ASSERT_EQ(Order(0x8000), 0);
      EXPECT_EQ(ConfirmUntilAction(), 1);
    } else {
      EXPECT_EQ(MFWQZ_ConfirmAction(0x8000, 0), 1);
    }
  }
  Bytes File(const char* name) { return host.files.count(name) != 0 ? host.files[name] : Bytes{}; }
};

// ---- confirmation ----

TEST_F(Machines, ConfirmationOfEveryValidCode) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release's confirmation waits for each part's action (Machines.Older* tests)";
  }
  struct Row {
    const char* what;
    u16 code;
    std::function<void()> prepare;
    u8 result;             // the entry call's result
    u16 info0;             // 0x6200C08B information0 at the entry
    u32 remoteAtEntry;     // remote state right after the action
    u32 holdUs;            // state 4's hold
    u32 remoteAfterHold;   // remote state once the confirmation is back in 1
    u32 lastAfterHold;     // last completed code then
    std::function<bool()> acted;  // what the action did
  };
  const Row rows[] = {
      {"0x20: five or more exchanged", 0x20, [] { MFWQZ_ulNumberOfUdidMisMatches = 6; }, 1, 3, 3, 800000, 3, 0,
       [] { return MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_QUIT_MANY; }},
      {"0x30: four exchanged", 0x30, [] { MFWQZ_ulNumberOfUdidMisMatches = 4; }, 1, 3, 3, 800000, 3, 0,
       [] { return MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_QUIT; }},
      {"0x40: three exchanged", 0x40, [] { MFWQZ_ulNumberOfUdidMisMatches = 3; }, 1, 3, 3, 800000, 3, 0,
       [] { return MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_QUIT; }},
      {"0x50: two exchanged", 0x50, [] { MFWQZ_ulNumberOfUdidMisMatches = 2; }, 1, 3, 3, 800000, 3, 0,
       [] { return MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_QUIT; }},
      {"0x60: one exchanged", 0x60, [] { MFWQZ_ulNumberOfUdidMisMatches = 1; }, 1, 3, 3, 800000, 3, 0,
       [] { return MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_QUIT; }},
      {"0x100: firmware", 0x100, [] { MFWQZ_ulNumberOfDiffFirmware = 1; }, 1, 3, 3, 800000, 3, 0,
       [] { return MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_ACCEPT; }},
      {"0x200: key medium", 0x200, [] { MFWQZ_bCorvaneChanged = 1; }, 1, 3, 3, 800000, 3, 0,
       [] { return MFWQZ_KeyCnf.ulState == MFWQZ_k_KEY_WRITE; }},
      {"0x1000: long confirmation", 0x1000, [] {}, 1, 3, 2, 5000000, 0, 0x1000,
       [] { return MFWQZ_Remote.ulLongHold == 1; }},
      {"0x2000: rescan", 0x2000, [] {}, 1, 3, 2, 800000, 2, 0, [] { return MFWQZ_gbStartScan == 1; }},
      {"0x3000: no action", 0x3000, [] {}, 0, 4, 3, 800000, 0, 0x3000, [] { return true; }},
      {"0x4000: no action", 0x4000, [] {}, 0, 4, 3, 800000, 0, 0x4000, [] { return true; }},
      {"0x5000: password", 0x5000, [] {}, 1, 3, 0, 800000, 0, 0x5000,
       [] { return HNFcyc_TriggerSendPasswordToQorInBgTask == 1 && MFWQZ_gaucPassword[0] == 'n'; }},
      {"0x8000: user-data format", 0x8000, [] {}, 1, 3, 3, 800000, 3, 0,
       [] { return MFWQZ_UsrDataFormat.ulState == MFWQZ_k_USR_PARDATA; }},
      {"0x9000: setup mode on", 0x9000, [] {}, 1, 3, 3, 800000, 3, 0,
       [] { return SetupState() == kSetupOnRequested && SetupFromInit() == 0; }},
      {"0x9100: setup mode off", 0x9100, [] { SetSetupState(kSetupOn); }, 1, 3, 3, 800000, 3,
       0, [] { return SetupState() == kSetupOffRequested; }},
  };
  for (const Row& r : rows) {
    SetUp();
    r.prepare();
    ASSERT_EQ(Order(r.code), 0) << r.what;
    TakeEvents();
    EXPECT_EQ(ConfirmUntilAction(), r.result) << r.what;
    EXPECT_TRUE(r.acted()) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulState, r.remoteAtEntry) << r.what;
    const std::vector<Event> events = TakeEvents();
    ASSERT_FALSE(events.empty()) << r.what;
    EXPECT_EQ(events.back(), (Event{1, kEvt, r.info0, r.code})) << r.what;
    // Orders meanwhile: 9 while the order runs, 10 while the confirmation holds (8 with the old password).
    EXPECT_EQ(Result(AnswerTo(Enter(0x3000))), r.code == 0x5000 ? 8 : r.remoteAtEntry == 0 ? 10 : 9) << r.what;
    host.counter += r.holdUs - 1;
    EXPECT_EQ(MFWQZ_Confirmation(), 1) << r.what;
    EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_HOLD) << r.what;
    host.counter += 1;
    EXPECT_EQ(MFWQZ_Confirmation(), 1) << r.what;
    EXPECT_EQ(MFWQZ_Confirmation(), 1) << r.what;
    EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_IDLE) << r.what;
    EXPECT_EQ(MFWQZ_Confirm.ulRemote, 0u) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulState, r.remoteAfterHold) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, r.lastAfterHold) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulLongHold, 0u) << r.what;
    TearDown();
  }
}

TEST_F(Machines, ACodeInvalidAtValidationEndsInStateFiveAndFiveSecondsLaterInRemoteStateZero) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no setup mode, whose codes it refuses with 6";
  }
  const struct {
    const char* what;
    u16 code;
    u32 setupAtValidation;
  } rows[] = {{"0x9100 while off", 0x9100, kSetupOff}, {"0x9000 while on", 0x9000, kSetupOn}};
  for (const auto& r : rows) {
    SetUp();
    ASSERT_EQ(Order(r.code), 0) << r.what;
    TakeEvents();
    MFWQZ_Remote.ulLastCompleted = 0x9100 | 0x9000 | 0x60;
    SetSetupState(r.setupAtValidation);
    EXPECT_EQ(ConfirmUntilAction(), 1) << r.what;
    EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_INVALID) << r.what;
    EXPECT_TRUE(TakeEvents().empty()) << r.what;
    host.counter += 4999999;
    MFWQZ_Confirmation();
    EXPECT_EQ(MFWQZ_Remote.ulState, 3u) << r.what;
    host.counter += 1;
    MFWQZ_Confirmation();
    EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_START) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulState, 0u) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, (0x9100u | 0x9000u | 0x60u) & ~static_cast<u32>(r.code)) << r.what;
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{1, kEvt, 4, r.code}})) << r.what;
    TearDown();
  }
}

TEST_F(Machines, AnUnknownStoredCodeIsFatalAtValidation) {
  // The older release would confirm 0x1234's key-medium part first: a code without parts there.
  const u32 code = SCM_kLegacy ? 0x1C04 : 0x1234;
  MFWQZ_RemoteCmd[MFWQZ_kCmdOffCode] = static_cast<u8>(code);
  MFWQZ_RemoteCmd[MFWQZ_kCmdOffCode + 1] = static_cast<u8>(code >> 8);
  MFWQZ_Remote.ulState = MFWQZ_k_RS_ACCEPTED;
  EXPECT_EQ(ConfirmUntilAction(), 1);
  EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_INVALID);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C001, 0, code}}));
}

TEST_F(Machines, TheStoredCommandRewrittenUnderConfirmationChangesNothingConfirmed) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no pass-through code to rewrite the stored command";
  }
  ASSERT_EQ(Order(0x5000), 0);
  EXPECT_EQ(ConfirmUntilAction(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulState, 0u) << "the password change ended its order";
  // The pass-through command rewrites the stored command while the hold lasts.
  TestFrames::CommandSpec fields;
  fields.identifier = 0x0102;
  fields.code = MFWQZ_kCodePassThrough;
  fields.password = Password{'n', 'e', 'w'};
  ASSERT_EQ(Result(AnswerTo(TestFrames::BuildCommand(fields))), 0);
  TakeEvents();
  host.counter += 800000;
  MFWQZ_Confirmation();
  MFWQZ_Confirmation();
  EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_IDLE);
  EXPECT_EQ(MFWQZ_Remote.ulCode, u32{MFWQZ_kCodePassThrough});
  EXPECT_EQ(MFWQZ_gulConfirmCode, 0x5000u) << "the machine's own copy";
  EXPECT_TRUE(TakeEvents().empty()) << "no fatal 0x9200C001";
}

TEST_F(Machines, AHandedOverSelectionRunsWithoutTheRemoteFlagAndWithoutTheOperatorEvent) {
  const struct {
    const char* what;
    u32 selection;
    std::function<void()> prepare;
    u8 result;
    std::vector<Event> events;
    std::function<bool()> acted;
  } rows[] = {
      {"0x60 from exchange state 1", 0x60, [] { MFWQZ_ModChg.ulState = 1; }, 1, {},
       [] { return MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_QUIT; }},
      {"0x60 one step on, state 2", 0x60, [] { MFWQZ_ModChg.ulState = 2; }, 1, {},
       [] { return MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_QUIT; }},
      {"0x60 from state 0 is fatal", 0x60, [] { MFWQZ_ModChg.ulState = 0; }, 0, {{3, kEvtState, 0, 0x40100}},
       [] { return MFWQZ_ModChg.ulState == 0; }},
      {"0x20 from state 7 is fatal", 0x20, [] { MFWQZ_ModChg.ulState = 7; }, 0, {{3, kEvtState, 0, 0x40207}},
       [] { return MFWQZ_ModChg.ulState == 7; }},
      {"0x100 from state 7", 0x100, [] { MFWQZ_ModChg.ulState = 7; }, 1, {},
       [] { return MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_ACCEPT; }},
      {"0x100 one step on, state 0", 0x100, [] { MFWQZ_ModChg.ulState = 0; }, 1, {},
       [] { return MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_ACCEPT; }},
      {"0x100 from state 1 is fatal", 0x100, [] { MFWQZ_ModChg.ulState = 1; }, 0, {{3, kEvtState, 0, 0x40701}},
       [] { return MFWQZ_ModChg.ulState == 1; }},
      {"0x200 from key state 1", 0x200, [] { MFWQZ_KeyCnf.ulState = 1; }, 1, {},
       [] { return MFWQZ_KeyCnf.ulState == MFWQZ_k_KEY_WRITE; }},
      {"0x200 one step on, state 0", 0x200, [] { MFWQZ_KeyCnf.ulState = 0; }, 1, {},
       [] { return MFWQZ_KeyCnf.ulState == MFWQZ_k_KEY_WRITE; }},
      {"0x200 from state 3 is fatal", 0x200, [] { MFWQZ_KeyCnf.ulState = 3; }, 0, {{3, kEvtState, 0, 0x10003}},
       [] { return MFWQZ_KeyCnf.ulState == 3; }},
  };
  for (const auto& r : rows) {
    SetUp();
    r.prepare();
    MFWQZ_gulHandedSelection = r.selection;
    MFWQZ_Confirm.ulState = MFWQZ_k_CNF_HOLD;
    EXPECT_EQ(MFWQZ_Confirmation(), r.result) << r.what;
    EXPECT_TRUE(r.acted()) << r.what;
    EXPECT_EQ(TakeEvents(), r.events) << r.what;
    EXPECT_EQ(MFWQZ_gulHandedSelection, 0u) << r.what;
    host.counter += 800000;
    EXPECT_EQ(MFWQZ_Confirmation(), 1) << r.what;
    EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_START) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulState, 0u) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, 0u) << r.what;
    TearDown();
  }
}

TEST_F(Machines, AnUnknownConfirmationStateHoldsTheCycle) {
  // State 6 is the older release's reset hold.
  const u32 state = SCM_kLegacy ? 7 : 6;
  MFWQZ_Confirm.ulState = state;
  EXPECT_EQ(MFWQZ_Confirmation(), 0);
  EXPECT_EQ(MFWQZ_Confirm.ulState, state);
}

// ---- module exchange ----

TEST_F(Machines, ModuleExchangeStatesFollowTheCounters) {
  const struct {
    u32 mismatches, firmware, erroneous, startUp;
    u32 state;
  } steps[] = {
      {0, 0, 0, 0, 0}, {1, 0, 0, 0, 1}, {5, 0, 0, 0, 2}, {6, 0, 0, 0, 2}, {4, 0, 0, 0, 0}, {4, 0, 0, 0, 1},
      {0, 0, 0, 0, 0}, {0, 1, 0, 0, 7}, {0, 1, 0, 0, 7}, {1, 1, 0, 0, 0}, {0, 0, 2, 1, 0}, {0, 0, 2, 0, 6},
      {0, 0, 2, 0, 6}, {0, 1, 2, 0, 0}, {0, 0, 2, 0, 6}, {0, 0, 0, 0, 0},
  };
  int i = 0;
  for (const auto& s : steps) {
    MFWQZ_ulNumberOfUdidMisMatches = s.mismatches;
    MFWQZ_ulNumberOfDiffFirmware = s.firmware;
    MFWQZ_ulNumberOfErroneousModules = s.erroneous;
    MFWQZ_gbStartUp = s.startUp;
    EXPECT_EQ(MFWQZ_ModuleXChg(), 1) << i;
    EXPECT_EQ(MFWQZ_ModChg.ulState, s.state) << "step " << i;
    ++i;
  }
  MFWQZ_ModChg.ulState = 8;
  EXPECT_EQ(MFWQZ_ModuleXChg(), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, kEvtState, 0, 8}}));
}

TEST_F(Machines, AQuitOrderEndsAfterItsScanAndTheSadrUdidList) {
  MFWQZ_ulNumberOfUdidMisMatches = 1;
  ASSERT_EQ(Order(0x60), 0);
  EXPECT_EQ(ConfirmUntilAction(), 1);
  EXPECT_EQ(MFWQZ_ModuleXChg(), 1);
  EXPECT_EQ(MFWQZ_gbStartQuit, 1u);
  EXPECT_EQ(MFWQZ_ModChg.ulState, MFWQZ_k_XCHG_IDLE);
  // The quit ran; its scan ends: the list is written first, the order still runs.
  MFWQZ_gbStartQuit = 0;
  (void)MFWQZ_StartScan(1);
  MFWQZ_gbStartScan = 0;
  MFWQZ_EndOfScan(0);
  EXPECT_EQ(MFWQZ_Remote.ulState, 3u);
  EXPECT_EQ(MFWQZ_gbUdidSaving, 1u);
  MFWQZ_gbUdidSaving = 0;
  MFWQZ_gulModuleScanned = MFWQZ_gulModuleCount;
  EXPECT_EQ(MFWQZ_SignalMain(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulState, 0u);
  EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, 0x60u);
}

TEST_F(Machines, AFirmwareOrderWritesReloadsAndScansOrFailsWithTheFileUnchanged) {
  const struct {
    const char* what;
    int failWrites;
    u8 result;
    u32 remote, last, validFiles, reload;
  } rows[] = {// The older release reloads nothing: a written file makes the order final and the reset follows.
              {"written", 0, 1, SCM_kLegacy ? 4u : 0u, SCM_kLegacy ? 0u : 0x100u, SCM_kLegacy ? 1u : 0u,
               SCM_kLegacy ? 0u : 1u},
              {"write refused", 1, 0, 4, 0, 1, 0}};
  for (const auto& r : rows) {
    SetUp();
    // Node 5 now runs revision 4: a firmware difference.
    MFWQZ_ModuleInfo[5].usConfiguredRev = 4;
    MFWQZ_ulNumberOfDiffFirmware = 1;
    const Bytes before = File("FWREVCNF.BIN");
    ASSERT_EQ(Order(0x100), 0);
    EXPECT_EQ(ConfirmUntilAction(), 1) << r.what;
    TakeEvents();
    host.failWrites = r.failWrites;
    EXPECT_EQ(MFWQZ_ModuleXChg(), r.result) << r.what;
    EXPECT_EQ(MFWQZ_ModChg.ulState, 0u) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulState, r.remote) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, r.last) << r.what;
    EXPECT_EQ(MFWQZ_ValidFiles, r.validFiles) << r.what;
    EXPECT_EQ(MFWQZ_gbTriggerReloadRev, r.reload) << r.what;
    EXPECT_EQ(MFWQZ_gbScanAfterReloadRev, r.reload) << r.what;
    EXPECT_EQ(host.openHandles, 0) << r.what;
    const Bytes after = File("FWREVCNF.BIN");
    if (r.result == 1) {
      ASSERT_GE(after.size(), 16u);
      EXPECT_EQ(after[8] | (after[9] << 8), 5) << r.what;
      EXPECT_EQ(after[10] | (after[11] << 8), 4) << r.what << ": the running revision accepted";
      if constexpr (SCM_kLegacy) {
        // The confirmation books the part and, the order done, resets the controller 5 s later.
        host.counter += 800000;
        EXPECT_EQ(MFWQZ_Confirmation(), 1) << r.what;
        EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, 0x100u) << r.what;
        EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_RESET) << r.what;
        EXPECT_EQ(MFWQZ_Confirmation(), 1) << r.what;  // the reset hold starts
        host.counter += 4999999;
        EXPECT_EQ(MFWQZ_Confirmation(), 1) << r.what;
        EXPECT_EQ(host.resetCalls, 0) << r.what;
        host.counter += 1;
        EXPECT_EQ(MFWQZ_Confirmation(), 1) << r.what;
        EXPECT_EQ(host.resetCalls, 1) << r.what;
      } else {
        // The next cycle reloads the file and starts a scan.
        MFWQZ_InitState = 2;
        (void)MFWQZ_Main(0);
        EXPECT_EQ(MFWQZ_ValidFiles, 1u) << r.what;
        EXPECT_EQ(MFWQZ_gbStartScan, 1u) << r.what;
        EXPECT_EQ(MFWQZ_gbLockPostFw, 0u) << r.what;
      }
    } else {
      EXPECT_EQ(after, before) << r.what;
      EXPECT_EQ(MFWQZ_gbLockPostFw, 0u) << r.what;
    }
    TearDown();
  }
}

// ---- key-medium change ----

TEST_F(Machines, KeyMediumChangeWritesBothAndReloads) {
  if constexpr (SCM_kLegacy) {
    // The older release: "fwrevcnf.bin" and variable 4 written, the order final 0.8 s later, the
    // confirmation books the part and resets the controller 5 s after; nothing is reloaded.
    MFWQZ_bCorvaneChanged = 1;
    EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
    EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_CHANGED);
    ASSERT_EQ(Order(0x200), 0);
    EXPECT_EQ(ConfirmUntilAction(), 1);
    EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_WRITE);
    host.qorRequests.clear();
    const uint64_t tWrite = host.counter;
    EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
    EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_HOLD);
    EXPECT_EQ(host.qorVariables[4], File("CORVANE.UID")) << "variable 4 holds the key medium's identity";
    EXPECT_EQ(host.qorRequests.size(), 1u);
    EXPECT_EQ(MFWQZ_gbLockPostFw, 0u) << "revision reports allowed again";
    EXPECT_EQ(host.lockResets, host.unlockResets) << "the reset hold released by the write";
    EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);  // the hold starts
    host.counter = tWrite + 799999;
    EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
    EXPECT_EQ(MFWQZ_Remote.ulState, 3u);
    host.counter = tWrite + 800000;
    EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
    EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_IDLE);
    EXPECT_EQ(MFWQZ_Remote.ulState, 4u) << "final";
    EXPECT_EQ(MFWQZ_bCorvaneChanged, 0u);
    EXPECT_EQ(MFWQZ_ValidFiles, 1u) << "nothing to reload";
    EXPECT_EQ(MFWQZ_gbTriggerReloadCVid, 0u);
    EXPECT_EQ(MFWQZ_Confirmation(), 1);
    EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, 0x200u);
    EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_RESET);
    EXPECT_EQ(MFWQZ_Confirmation(), 1);
    host.counter += 5000000;
    EXPECT_EQ(MFWQZ_Confirmation(), 1);
    EXPECT_EQ(host.resetCalls, 1);
    const std::vector<Event> events = TakeEvents();
    EXPECT_TRUE(std::none_of(events.begin(), events.end(), [](const Event& e) { return e.level == 3; }));
    return;
  }
  MFWQZ_bCorvaneChanged = 1;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_CHANGED);
  // Another key medium: flash area 16 holds another identity.
  std::vector<uint8_t> otherFlash = *host.flash;
  otherFlash[4] ^= 0xFF;
  host.flash = otherFlash;
  ASSERT_EQ(Order(0x200), 0);
  EXPECT_EQ(ConfirmUntilAction(), 1);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_WRITE);
  const uint64_t tWrite = host.counter;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_HOLD);
  EXPECT_EQ(*host.flash, File("CORVANE.UID")) << "flash area 16 holds the key medium's identity";
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);  // the hold starts
  host.counter = tWrite + 799999;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_HOLD);
  EXPECT_EQ(MFWQZ_Remote.ulState, 3u);
  host.counter = tWrite + 800000;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_RELOAD);
  EXPECT_EQ(MFWQZ_ValidFiles, 0u);
  EXPECT_EQ(MFWQZ_gbTriggerReloadCVid, 1u);
  EXPECT_EQ(MFWQZ_bCorvaneChanged, 0u);
  EXPECT_EQ(MFWQZ_Remote.ulState, 0u);
  EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, 0x200u);
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_RELOAD) << "until the files are valid again";
  MFWQZ_InitState = 2;
  (void)MFWQZ_Main(0);  // the reload
  EXPECT_EQ(MFWQZ_ValidFiles, 1u);
  EXPECT_EQ(MFWQZ_bCvnChanged, 0u);
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_IDLE);
  const std::vector<Event> events = TakeEvents();
  EXPECT_TRUE(std::none_of(events.begin(), events.end(), [](const Event& e) { return e.level == 3; }));
}

TEST_F(Machines, AKeyMediumWriteFailingEndsTheOrderAfterFiveSecondsStillChanged) {
  const struct {
    const char* what;
    bool flashFails;  // the copy's write fails: flash area 16, or the older release's variable 4
    int failWrites;
  } rows[] = {{SCM_kLegacy ? "variable 4 refused" : "flash area 16 refused", true, 0}, {"fwrevcnf.bin refused", false, 1}};
  for (const auto& r : rows) {
    SetUp();
    MFWQZ_bCorvaneChanged = 1;
    (void)MFWQZ_CorvaneChgCnf();
    const Bytes fileBefore = File("FWREVCNF.BIN");
    const std::vector<uint8_t> flashBefore = *host.flash;
    ASSERT_EQ(Order(0x200), 0);
    EXPECT_EQ(ConfirmUntilAction(), 1);
    if (r.flashFails) {
      host.failing.insert(SCM_SC_WRITE_QOR_FLASH_FILE);
      host.qorReplies.push_back(Bytes{0xA4, 3});
    }
    host.failWrites = r.failWrites;
    const uint64_t tWrite = host.counter;
    EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1) << r.what;
    EXPECT_EQ(MFWQZ_KeyCnf.ulState, SCM_kLegacy ? MFWQZ_k_KEY_OLD_FAILED : MFWQZ_k_KEY_FAILED) << r.what;
    EXPECT_EQ(*host.flash, flashBefore) << r.what;
    EXPECT_EQ(host.qorVariables.count(4), 0u) << r.what;
    if (!r.flashFails) {
      EXPECT_EQ(File("FWREVCNF.BIN"), fileBefore) << r.what;
    }
    EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
    host.counter = tWrite + 4999999;
    EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
    EXPECT_EQ(MFWQZ_Remote.ulState, 3u) << r.what;
    host.counter = tWrite + 5000000;
    EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
    EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_IDLE) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulState, 4u) << r.what;
    EXPECT_EQ(MFWQZ_bCorvaneChanged, 1u) << r.what << ": still changed";
    EXPECT_EQ(host.openHandles, 0) << r.what;
    TearDown();
  }
}

TEST_F(Machines, KeyMediumReloadStateEnteredFromElsewhereIsFatal) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release's key-medium change has no reload state (Machines.Older* tests)";
  }
  MFWQZ_KeyCnf.ulState = MFWQZ_k_KEY_CHANGED;
  MFWQZ_KeyCnf.ulPrevious = MFWQZ_k_KEY_CHANGED;
  MFWQZ_KeyCnf.ulState = MFWQZ_k_KEY_RELOAD;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 0);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_FAILED);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, kEvtState, 0, 0x30401}}));
  MFWQZ_KeyCnf.ulState = 6;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 0) << "a state above 5";
}

TEST_F(Machines, KeyMediumFormatStaysIdle) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(MFWQZ_CorvaneFormat(), 1);
    EXPECT_EQ(MFWQZ_KeyFormat.ulState, 0u);
  }
}

// ---- user-data format ----

TEST_F(Machines, UserDataFormatEmptiesBothFilesHoldsAndResets) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release's format empties only \"AUTOCNF.BIN\" (Machines.Older* tests)";
  }
  const struct {
    const char* what;
    bool remote;
    u32 holdUs;
    u32 remoteAfter;
  } rows[] = {{"ordered remotely", true, 5000000, 4}, {"locally", false, 800000, 0}};
  for (const auto& r : rows) {
    SetUp();
    StartUserDataFormat(r.remote);
    TakeEvents();
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(host.files["PARDATA1.BIN"], Bytes{}) << r.what;
    EXPECT_EQ(MFWQZ_UsrDataFormat.ulState, MFWQZ_k_USR_AUTOCNF) << r.what;
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(host.files["AUTOCNF.BIN"], Bytes{}) << r.what;
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x6200C07F, 0, 2}, {2, 0x6200C07F, 0, 3}})) << r.what;
    const uint64_t tDone = host.counter;
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(MFWQZ_UsrDataFormat.ulHoldUs, r.holdUs) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulState, r.remoteAfter) << r.what;
    if (r.remote) {
      EXPECT_EQ(Result(AnswerTo(Enter(0x3000))), 9) << "orders meanwhile";
    }
    host.counter = tDone + r.holdUs - 1;
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(host.resetCalls, 0) << r.what;
    host.counter = tDone + r.holdUs;
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(host.resetCalls, 1) << r.what;
    EXPECT_EQ(MFWQZ_UsrDataFormat.ulState, MFWQZ_k_USR_IDLE) << r.what;
    EXPECT_EQ(host.openHandles, 0) << r.what;
    TearDown();
  }
}

TEST_F(Machines, UserDataFormatFailuresEndInStateSevenAndStillReset) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release's format ends in its states 2 and 3 (Machines.Older* tests)";
  }
  const struct {
    const char* what;
    std::function<void(FakeHost&)> fault;
    u64 busyUs;  // the counter moves this much per retry while busy
    u32 stateAfterFirst;
    bool pardataKept;
  } rows[] = {
      {"busy under a second is retried", [](FakeHost& h) { h.busyOpens = 3; }, 300000, MFWQZ_k_USR_PARDATA, false},
      {"busy past a second", [](FakeHost& h) { h.busyOpens = 100; }, 300000, MFWQZ_k_USR_PARDATA, true},
      {"open refused: the pseudo handle", [](FakeHost& h) { h.failing.insert(SCM_SC_OPEN_STORAGE); }, 0,
       MFWQZ_k_USR_FAILED, true},
      {"close refused", [](FakeHost& h) { h.failCloses = 1; }, 0, MFWQZ_k_USR_FAILED, false},
  };
  for (const auto& r : rows) {
    SetUp();
    host.files["PARDATA1.BIN"] = {1, 2, 3};
    host.files["AUTOCNF.BIN"] = {4, 5};
    ASSERT_EQ(Order(0x8000), 0);
    EXPECT_EQ(ConfirmUntilAction(), 1);
    TakeEvents();
    r.fault(host);
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(MFWQZ_UsrDataFormat.ulState, r.stateAfterFirst) << r.what;
    for (int i = 0; i < 6 && MFWQZ_UsrDataFormat.ulState == MFWQZ_k_USR_PARDATA; ++i) {
      host.counter += r.busyUs;
      EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    }
    host.failing.clear();
    if (std::string(r.what) == "busy under a second is retried") {
      EXPECT_EQ(MFWQZ_UsrDataFormat.ulState, MFWQZ_k_USR_AUTOCNF) << r.what;
      continue;
    }
    EXPECT_EQ(MFWQZ_UsrDataFormat.ulState, MFWQZ_k_USR_FAILED) << r.what;
    EXPECT_EQ(host.files["PARDATA1.BIN"] == Bytes({1, 2, 3}), r.pardataKept) << r.what;
    EXPECT_EQ(host.files["AUTOCNF.BIN"], Bytes({4, 5})) << r.what;
    for (const Event& e : TakeEvents()) {
      EXPECT_NE(e.code, 0x6200C07Fu) << r.what << ": nothing emptied is reported";
    }
    const uint64_t tFailed = host.counter;
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(MFWQZ_UsrDataFormat.ulHoldUs, 5000000u) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulState, 4u) << r.what;
    host.counter = tFailed + 5000000;
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(host.resetCalls, 1) << r.what;
    EXPECT_EQ(host.openHandles, 0) << r.what;
    TearDown();
  }
}

TEST_F(Machines, UserDataFormatStatesWithoutAStepHoldTheCycle) {
  const std::vector<u32> states = SCM_kLegacy ? std::vector<u32>{4u, 5u, 6u, 7u, 8u} : std::vector<u32>{1u, 4u, 5u, 8u};
  for (u32 state : states) {
    MFWQZ_UsrDataFormat.ulState = state;
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 0) << state;
  }
  MFWQZ_UsrDataFormat.ulState = SCM_kLegacy ? MFWQZ_k_USR_OLD_DONE : MFWQZ_k_USR_DONE;
  EXPECT_EQ(MFWQZ_ConfirmAction(0x8000, 1), 0) << "not idle";
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, kEvtState, 0, SCM_kLegacy ? 0x90002u : 0x90006u}}));
}

// ---- storage faults ----

/// A fault the host puts on the write (or the read) of a file or of flash area 16.
enum class StorageFault {
  Busy,          ///< opens refused busy past the firmware's limit
  RefusedOpen,   ///< the open refused
  RefusedWrite,  ///< the write refused
  ShortWrite,    ///< the write stores one byte less
  FailingClose,  ///< the close refused (the handle goes all the same)
  ShortRead,     ///< the read brings one byte less
  FlashRefused,  ///< the flash write refused
  FlashShort,    ///< the flash write transfers one byte less (the area keeps its old content)
  PowerCut,      ///< the controller loses power at the target's write (or close): the handle never closed
};

const char* Name(StorageFault f) {
  switch (f) {
    case StorageFault::Busy: return "busy past the limit";
    case StorageFault::RefusedOpen: return "refused open";
    case StorageFault::RefusedWrite: return "refused write";
    case StorageFault::ShortWrite: return "short write";
    case StorageFault::FailingClose: return "failing close";
    case StorageFault::ShortRead: return "short read";
    case StorageFault::FlashRefused: return "flash write refused";
    case StorageFault::FlashShort: return "flash write cut short";
    case StorageFault::PowerCut: return "power cut";
  }
  return "?";
}

void Inject(StorageFault f, FakeHost& h) {
  switch (f) {
    case StorageFault::Busy:
      h.busyOpens = 1000;
      h.onCall = [&h](int n) {
        if (n == SCM_SC_OPEN_STORAGE) h.counter += 1000000;
      };
      return;
    case StorageFault::RefusedOpen: h.failing.insert(SCM_SC_OPEN_STORAGE); return;
    case StorageFault::RefusedWrite: h.failWrites = 1; return;
    case StorageFault::ShortWrite: h.shortAnyWrites = 1; return;
    case StorageFault::FailingClose: h.failCloses = 1; return;
    case StorageFault::ShortRead: h.shortReadBy = 1; return;  // on the target's file
    case StorageFault::FlashRefused: h.failing.insert(SCM_SC_WRITE_QOR_FLASH_FILE); return;
    case StorageFault::FlashShort: h.shortFlashWrites = 1; return;
    case StorageFault::PowerCut: return;  // the target names the call it comes at
  }
}

void ClearFaults(FakeHost& h) {
  h.onCall = nullptr;
  h.failing.clear();
  h.busyOpens = 0;
  h.shortReadBy = 0;
  h.failWrites = 0;
  h.shortAnyWrites = 0;
  h.failCloses = 0;
  h.shortFlashWrites = 0;
}

/// Every write of the application files and flash area 16 (and the reads of "corvane.uid" and
/// "fwrevcnf.bin") under each storage fault that can meet it, under both storage behaviours (a
/// close after a short or refused write commits the partial file, or discards it). After the fault: the stored bytes as
/// before, no handle open, the reset hold released, and the firmware as the target's row says;
/// after a power cut, the restarted application loads the files as they were.
TEST_F(Machines, ApplicationFilesAndFlashUnderStorageFaultsKeepTheStoredBytesUnderBothStorageBehaviours) {
  using F = StorageFault;
  const std::array<uint8_t, 6> udid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30};
  const std::vector<F> fileFaults = {F::Busy, F::RefusedOpen, F::RefusedWrite, F::ShortWrite, F::FailingClose,
                                     F::PowerCut};
  // What an order's failed "fwrevcnf.bin" write must leave: nothing accepted, the order in 4 with its event.
  struct Kept {
    u16 code;
    u32 lockPost;
    u32 ack;
  };
  Kept kept{};
  const auto remember = [&kept](u16 code) { kept = Kept{code, MFWQZ_gbLockPostFw, MFWQZ_AcknowledgeFwMismatches}; };
  const auto orderFailedUnchanged = [&kept](const std::string& what, F, const std::vector<Event>& events) {
    EXPECT_EQ(MFWQZ_ValidFiles, 1u) << what;
    EXPECT_EQ(MFWQZ_gbLockPostFw, kept.lockPost) << what;
    EXPECT_EQ(MFWQZ_AcknowledgeFwMismatches, kept.ack) << what;
    // The older key-medium change reloads "fwrevcnf.bin" first, its password included.
    if (!SCM_kLegacy || kept.code != 0x200) {
      EXPECT_EQ(std::memcmp(MFWQZ_gaucPassword, kSecret.data(), 16), 0) << what;
    }
    EXPECT_EQ(HNFcyc_TriggerSendPasswordToQorInBgTask, 0u) << what;
    EXPECT_EQ(MFWQZ_Remote.ulState, 4u) << what;
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const Event& e) {
      return e.code == 0x6200C086u || e.code == 0x62008A02u;
    })) << what;
  };
  // An order placed and confirmed up to the step that writes.
  const auto ordered = [this, &remember](u16 code) {
    remember(code);
    ASSERT_EQ(Order(code), 0) << std::hex << code;
    ConfirmUntilEntry();
    if (code != 0x5000) {
      EXPECT_EQ(MFWQZ_Confirmation(), 1);
    }
  };
  const auto keyMediumChanged = [] {
    MFWQZ_bCorvaneChanged = 1;
    (void)MFWQZ_CorvaneChgCnf();
  };
  struct Target {
    const char* what;
    const char* file;                  // the file whose bytes must stay, "flash" for area 16, null: created
    std::vector<F> faults;             // the faults that can meet this write
    int cutAt;                         // the call a power cut comes at
    bool currentOnly;                  // current release only: the older one lacks setup mode, keeps its
                                       // key-medium copy as a Qor variable and formats one file
    std::function<void()> prepare;     // the situation, up to the step that writes
    std::function<void()> act;         // that step, the fault in place
    std::function<void(const std::string&, F, const std::vector<Event>&)> after;  // the firmware afterwards
  };
  const Target targets[] = {
      {"fwrevcnf.bin by a firmware acceptance", "FWREVCNF.BIN", fileFaults, SCM_SC_WRITE_STORAGE, false,
       [&] {
         MFWQZ_ModuleInfo[5].usConfiguredRev = 4;
         MFWQZ_ulNumberOfDiffFirmware = 1;
         ordered(0x100);
       },
       [] { EXPECT_EQ(MFWQZ_ModuleXChg(), 0); }, orderFailedUnchanged},
      {"fwrevcnf.bin by a key-medium change", "FWREVCNF.BIN", fileFaults, SCM_SC_WRITE_STORAGE, false,
       [&] {
         keyMediumChanged();
         ordered(0x200);
       },
       [this] {
         EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
         EXPECT_EQ(MFWQZ_KeyCnf.ulState, SCM_kLegacy ? MFWQZ_k_KEY_OLD_FAILED : MFWQZ_k_KEY_FAILED);
         (void)MFWQZ_CorvaneChgCnf();
         host.counter += 5000000;
         (void)MFWQZ_CorvaneChgCnf();
       },
       orderFailedUnchanged},
      {"fwrevcnf.bin by a password change", "FWREVCNF.BIN", fileFaults, SCM_SC_WRITE_STORAGE, false,
       [&] { ordered(0x5000); }, [] { EXPECT_EQ(MFWQZ_Confirmation(), 0); }, orderFailedUnchanged},
      {"fwrevcnf.bin by setup mode on", "FWREVCNF.BIN", fileFaults, SCM_SC_WRITE_STORAGE, true,
       [&] { ordered(0x9000); }, [] { EXPECT_EQ(MFWQZ_SetupMode(), 0); }, orderFailedUnchanged},
      {"flash area 16 by a key-medium change", "flash", {F::FlashRefused, F::FlashShort}, 0, true,
       [&] {
         keyMediumChanged();
         ASSERT_EQ(Order(0x200), 0);
         EXPECT_EQ(ConfirmUntilAction(), 1);
       },
       [] { EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1); },
       [](const std::string& what, F, const std::vector<Event>&) {
         EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_FAILED) << what;
         EXPECT_EQ(MFWQZ_bCorvaneChanged, 1u) << what << ": still changed";
         // "fwrevcnf.bin" was written: it is loaded again so that revisions are not held off for good.
         EXPECT_EQ(MFWQZ_gbTriggerReloadRev, 1u) << what;
         MFWQZ_InitState = 2;
         (void)MFWQZ_Main(0);
         EXPECT_EQ(MFWQZ_gbLockPostFw, 0u) << what;
         EXPECT_EQ(MFWQZ_ValidFiles, 1u) << what;
       }},
      // The first file emptied fails: the second is not touched.
      {"autocnf.bin beside pardata1.bin emptied by a user-data format", "AUTOCNF.BIN",
       {F::FailingClose, F::PowerCut}, SCM_SC_CLOSE_STORAGE, true,
       [this] {
         host.files["PARDATA1.BIN"] = {1, 2, 3};
         host.files["AUTOCNF.BIN"] = {4, 5};
         ASSERT_EQ(Order(0x8000), 0);
         EXPECT_EQ(ConfirmUntilAction(), 1);
       },
       [] { EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1); },
       [](const std::string& what, F, const std::vector<Event>&) {
         EXPECT_EQ(MFWQZ_UsrDataFormat.ulState, MFWQZ_k_USR_FAILED) << what;
       }},
      {"corvane.uid created", nullptr, {F::RefusedWrite, F::ShortWrite, F::FailingClose, F::PowerCut},
       SCM_SC_WRITE_STORAGE, false,
       [this] {
         host.files.erase("CORVANE.UID");
         MFWQZ_bCorvaneUidKnown = 0;
       },
       [&udid] { EXPECT_EQ(MFWQZ_ReadCorvaneId(udid.data()), 0) << "the load failed"; },
       [this, &udid](const std::string& what, F, const std::vector<Event>& events) {
         EXPECT_TRUE(std::find(events.begin(), events.end(), Event{2, 0x6200C087u, 0, 3}) != events.end()) << what;
         EXPECT_EQ(MFWQZ_bCorvaneUidKnown, 0u) << what;
         // Nothing to put back: what the failed create left is either no identity (missing or not 18
         // bytes, created again at the next load) or, when only the close failed, the identity it wrote.
         const Bytes* after = host.Find("corvane.uid");
         if (after != nullptr && after->size() == 18u) {
           EXPECT_TRUE(std::equal(udid.begin(), udid.end(), after->begin() + 4)) << what;
         }
         EXPECT_EQ(MFWQZ_ReadCorvaneId(udid.data()), 1) << what << ": known at the next load";
         const Bytes* next = host.Find("corvane.uid");
         ASSERT_NE(next, nullptr) << what;
         ASSERT_EQ(next->size(), 18u) << what;
         EXPECT_TRUE(std::equal(udid.begin(), udid.end(), next->begin() + 4)) << what;
       }},
      {"corvane.uid read", "CORVANE.UID", {F::Busy, F::RefusedOpen, F::ShortRead}, 0, false,
       [] { MFWQZ_bCorvaneUidKnown = 0; },
       [&udid] { EXPECT_EQ(MFWQZ_ReadCorvaneId(udid.data()), 0) << "the load failed"; },
       [](const std::string& what, F f, const std::vector<Event>& events) {
         // 0x6200C087's information1: 0 the open failed, 1 the read
         const u32 information1 = f == F::ShortRead ? 1 : 0;
         EXPECT_TRUE(std::find(events.begin(), events.end(), Event{2, 0x6200C087u, 0, information1}) != events.end())
             << what;
         EXPECT_EQ(MFWQZ_bCorvaneUidKnown, 0u) << what;
       }},
      {"fwrevcnf.bin read", "FWREVCNF.BIN", {F::Busy, F::RefusedOpen, F::ShortRead}, 0, false, [] {},
       [] { EXPECT_EQ(MFWQZ_FwRevLoad(1), 0) << "the load failed"; },
       [](const std::string& what, F, const std::vector<Event>& events) {
         ASSERT_FALSE(events.empty()) << what;
         EXPECT_EQ(events.back().code, 0x6200C086u) << what;
       }},
  };
  for (const bool discard : {false, true}) {
    for (const Target& t : targets) {
      if (SCM_kLegacy && t.currentOnly) {
        continue;
      }
      for (const F f : t.faults) {
        const std::string what = std::string(t.what) + ", " + Name(f) + (discard ? ", discarding host" : "");
        SetUp();
        host.discardFaultyWrites = discard;
        t.prepare();
        const std::optional<Bytes> before =
            t.file == nullptr                  ? std::nullopt
            : std::string(t.file) == "flash"   ? host.flash
            : host.Find(t.file) != nullptr     ? std::optional<Bytes>(*host.Find(t.file))
                                               : std::nullopt;
        TakeEvents();
        host.faultyFile = t.file != nullptr ? t.file : "";
        Inject(f, host);
        if (f == F::PowerCut) {
          host.cutAtCall = t.cutAt;
        }
        t.act();
        ClearFaults(host);
        const std::vector<Event> events = TakeEvents();
        const std::optional<Bytes> stored =
            t.file == nullptr                  ? std::nullopt
            : std::string(t.file) == "flash"   ? host.flash
            : host.Find(t.file) != nullptr     ? std::optional<Bytes>(*host.Find(t.file))
                                               : std::nullopt;
        if (t.file != nullptr) {
          EXPECT_EQ(stored, before) << what << ": the stored bytes kept";
        }
        EXPECT_EQ(host.openHandles, 0) << what;
        EXPECT_EQ(host.lockResets, host.unlockResets) << what << ": the reset hold released";
        if (f == F::PowerCut) {
          EXPECT_TRUE(host.poweredOff) << what << ": the cut came";
          if (t.file == nullptr) {
            EXPECT_EQ(host.Find("corvane.uid"), nullptr) << what << ": never half-created";
          }
          // The controller back: the application starts from what the storage kept.
          host.PowerOn();
          ResetApplication();
          Initialise();
          EXPECT_EQ(MFWQZ_ValidFiles, 1u) << what;
          EXPECT_EQ(host.openHandles, 0) << what;
        } else {
          t.after(what, f, events);
        }
        TearDown();
      }
    }
  }
}

TEST_F(Machines, OlderKeyMediumCopyRefusedByTheQorControllerIsFatalAndLatches) {
  if constexpr (!SCM_kLegacy) {
    GTEST_SKIP() << "the current release keeps its key-medium copy in flash area 16 (the storage-fault table)";
  }
  MFWQZ_bCorvaneChanged = 1;
  (void)MFWQZ_CorvaneChgCnf();
  ASSERT_EQ(Order(0x200), 0);
  EXPECT_EQ(ConfirmUntilAction(), 1);
  // Variable 4's write refused: fatal and latched; the revision reports it held off are allowed
  // again at once, as nothing is reloaded.
  TakeEvents();
  host.qorReplies.push_back(Bytes{0xA4, 3});
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_OLD_FAILED);
  EXPECT_EQ(host.qorVariables.count(4), 0u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C092, 7, 0x03A4}}));
  EXPECT_EQ(MFWQZ_QorHasFailed(), 1);
  EXPECT_EQ(MFWQZ_gbTriggerReloadRev, 0u);
  EXPECT_EQ(MFWQZ_gbLockPostFw, 0u);
  EXPECT_EQ(MFWQZ_ValidFiles, 1u);
  EXPECT_EQ(MFWQZ_bCorvaneChanged, 1u);
}

}  // namespace
}  // namespace FwTest

namespace FwTest {
namespace {

// ---- the older release's own confirmation, key-medium change and user-data format ----

/// The older release's tests skip in the current build.
#define SKIP_UNLESS_OLDER()                                                  \
  if constexpr (!SCM_kLegacy) {                                              \
    GTEST_SKIP() << "the older release's own machines (combined orders)"; \
  }

TEST_F(Machines, OlderCombinedCodesCheckEachPartInOrder) {
  SKIP_UNLESS_OLDER();
  struct Row {
    const char* what;
    u16 code;
    bool keyChanged;
    u32 firmware;
    u32 mismatches;
    u16 result;
    std::vector<Event> events;
  };
  const Row rows[] = {
      {"key, firmware, one module", 0x360, true, 1, 1, 0, {}},
      {"key and firmware", 0x300, true, 1, 0, 0, {}},
      {"key and five or more", 0x220, true, 0, 7, 0, {}},
      {"firmware and two modules, key unchanged", 0x150, false, 1, 2, 0, {}},
      {"key unchanged", 0x360, false, 1, 1, 14, {{1, kEvt, 14, 0x200}}},
      {"no firmware difference", 0x360, true, 0, 1, 15, {{1, kEvt, 15, 0x100}}},
      {"two mismatches for one module", 0x360, true, 1, 2, 16, {{1, kEvt, 16, 0x60}}},
      {"every part refused: the key medium's result",
       0x360,
       false,
       0,
       2,
       14,
       {{1, kEvt, 14, 0x200}, {1, kEvt, 15, 0x100}, {1, kEvt, 16, 0x60}}},
      {"firmware and exchange refused: the firmware's result", 0x350, true, 0, 1, 15,
       {{1, kEvt, 15, 0x100}, {1, kEvt, 17, 0x50}}},
      {"key changed, not ordered: firmware and exchange refused", 0x160, true, 1, 1, 22,
       {{1, kEvt, 22, 0x100}, {1, kEvt, 22, 0x60}}},
      {"exchange part 0x10", 0x310, true, 1, 1, 6, {{1, kEvt, 6, 0x310}}},
      {"exchange part 0x70", 0x370, true, 1, 1, 6, {{1, kEvt, 6, 0x370}}},
      {"exchange part 0x80", 0x080, true, 1, 1, 6, {{1, kEvt, 6, 0x080}}},
      {"a low bit", 0x301, true, 1, 1, 6, {{1, kEvt, 6, 0x301}}},
      {"a high bit", 0x1200, true, 1, 1, 6, {{1, kEvt, 6, 0x1200}}},
      {"setup on", 0x9000, true, 1, 1, 6, {{1, kEvt, 6, 0x9000}}},
      {"pass-through", 0xF000, true, 1, 1, 6, {{1, kEvt, 6, 0xF000}}},
  };
  for (const Row& r : rows) {
    SetUp();
    MFWQZ_bCorvaneChanged = r.keyChanged ? 1 : 0;
    MFWQZ_ulNumberOfDiffFirmware = r.firmware;
    MFWQZ_ulNumberOfUdidMisMatches = r.mismatches;
    const long locks = host.lockResets;
    EXPECT_EQ(Order(r.code), r.result) << r.what;
    EXPECT_EQ(TakeEvents(), r.events) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulState, r.result == 0 ? 1u : 0u) << r.what;
    EXPECT_EQ(host.lockResets - locks, r.result == 0 ? 1 : 0) << r.what << ": resets held off for the writes";
    TearDown();
  }
}

TEST_F(Machines, OlderCombinedOrderIsConfirmedPartByPartUpToTheReset) {
  SKIP_UNLESS_OLDER();
  MFWQZ_bCorvaneChanged = 1;
  (void)MFWQZ_CorvaneChgCnf();
  MFWQZ_ModuleInfo[5].usConfiguredRev = 4;
  MFWQZ_ulNumberOfDiffFirmware = 1;
  MFWQZ_ulNumberOfUdidMisMatches = 1;
  ASSERT_EQ(Order(0x360), 0);
  // The first part, the key medium: variable 4 written, the part final 0.8 s later.
  EXPECT_EQ(ConfirmUntilAction(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulCode, 0x200u);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_WRITE);
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(host.qorVariables[4], File("CORVANE.UID"));
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  host.counter += 800000;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulState, 4u);
  // The confirmation books it and hands the order back to itself: remote state 1, not the final 4.
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, 0x200u);
  EXPECT_EQ(MFWQZ_Remote.ulState, 1u);
  EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_START);
  // The second part, the firmware: "fwrevcnf.bin" written with the running revision, the part final at once.
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(ConfirmUntilAction(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulCode, 0x100u);
  EXPECT_EQ(MFWQZ_ModChg.ulState, MFWQZ_k_XCHG_ACCEPT);
  EXPECT_EQ(MFWQZ_ModuleXChg(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulState, 4u);
  EXPECT_EQ(host.resetCalls, 0) << "a remote acceptance waits for the order's end";
  host.counter += 800000;
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, 0x300u);
  EXPECT_EQ(MFWQZ_Remote.ulState, 1u);
  // The third part, the exchange: it ends with its scan and the SADR-UDID list.
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(ConfirmUntilAction(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulCode, 0x60u);
  EXPECT_EQ(MFWQZ_ModuleXChg(), 1);
  EXPECT_EQ(MFWQZ_gbStartQuit, 1u);
  host.counter += 800000;
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_HOLD) << "waits for the exchange";
  MFWQZ_gbStartQuit = 0;
  (void)MFWQZ_StartScan(1);
  MFWQZ_gbStartScan = 0;
  MFWQZ_EndOfScan(0);
  MFWQZ_gbUdidSaving = 0;
  MFWQZ_gulModuleScanned = MFWQZ_gulModuleCount;
  EXPECT_EQ(MFWQZ_SignalMain(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulState, 0u);
  EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, 0x360u) << "the earlier parts stay completed";
  // Every part done: 5 s later the safe controller is reset.
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_RESET);
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  host.counter += 4999999;
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(host.resetCalls, 0);
  host.counter += 1;
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(host.resetCalls, 1);
  const std::vector<Event> events = TakeEvents();
  EXPECT_TRUE(std::none_of(events.begin(), events.end(), [](const Event& e) { return e.level == 3; }));
}

TEST_F(Machines, OlderOrderWithoutResettingPartsEndsWithoutAReset) {
  SKIP_UNLESS_OLDER();
  ASSERT_EQ(Order(0x1000), 0);
  EXPECT_EQ(ConfirmUntilAction(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulState, 2u);
  host.counter += 5000000;
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulState, 0u);
  EXPECT_EQ(MFWQZ_Remote.ulLastCompleted, 0x1000u);
  EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_START);
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_IDLE);
  EXPECT_EQ(host.resetCalls, 0);
}

TEST_F(Machines, OlderPartNotEndingWithinEightSecondsEndsInStateFive) {
  SKIP_UNLESS_OLDER();
  ASSERT_EQ(Order(0x3000), 0);  // no action: the order stays being confirmed
  EXPECT_EQ(ConfirmUntilAction(), 0);
  const uint64_t tHold = host.counter;
  host.counter = tHold + 8000000;
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_HOLD);
  host.counter = tHold + 8000001;
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(MFWQZ_Confirm.ulState, MFWQZ_k_CNF_INVALID);
  TakeEvents();
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  host.counter += 5000000;
  EXPECT_EQ(MFWQZ_Confirmation(), 1);
  EXPECT_EQ(MFWQZ_Remote.ulState, 0u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{1, kEvt, 4, 0x3000}}));
}

TEST_F(Machines, OlderLocallyConfirmedKeyMediumAndFirmwareResetTheController) {
  SKIP_UNLESS_OLDER();
  // Key medium: 0.8 s after variable 4 was written.
  MFWQZ_bCorvaneChanged = 1;
  (void)MFWQZ_CorvaneChgCnf();
  EXPECT_EQ(MFWQZ_ConfirmAction(0x200, 0), 1);
  const uint64_t tWrite = host.counter;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(host.qorVariables[4], File("CORVANE.UID"));
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  host.counter = tWrite + 799999;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(host.resetCalls, 0);
  host.counter = tWrite + 800000;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 1);
  EXPECT_EQ(host.resetCalls, 1);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_IDLE);
  // Firmware: at once after "fwrevcnf.bin" was written.
  MFWQZ_ModuleInfo[5].usConfiguredRev = 4;
  MFWQZ_ulNumberOfDiffFirmware = 1;
  MFWQZ_ModChg.ulState = MFWQZ_k_XCHG_FIRMWARE;
  EXPECT_EQ(MFWQZ_ConfirmAction(0x100, 0), 1);
  EXPECT_EQ(MFWQZ_ModuleXChg(), 1);
  EXPECT_EQ(host.resetCalls, 2);
  EXPECT_EQ(MFWQZ_ValidFiles, 1u) << "nothing reloaded";
  // A key-medium change state above 4 goes back to idle and holds the cycle.
  MFWQZ_KeyCnf.ulState = 5;
  EXPECT_EQ(MFWQZ_CorvaneChgCnf(), 0);
  EXPECT_EQ(MFWQZ_KeyCnf.ulState, MFWQZ_k_KEY_IDLE);
}

TEST_F(Machines, OlderRevisionLoadReleasesNoHoldOff) {
  SKIP_UNLESS_OLDER();
  MFWQZ_gbLockPostFw = 1;
  EXPECT_EQ(MFWQZ_FwRevLoad(1), 1);
  EXPECT_EQ(MFWQZ_gbLockPostFw, 1u) << "only the writers release it";
  // The password change releases it after its write.
  ASSERT_EQ(Order(0x5000), 0);
  EXPECT_EQ(ConfirmUntilAction(), 1);
  EXPECT_EQ(MFWQZ_gbLockPostFw, 0u);
  EXPECT_EQ(MFWQZ_ValidFiles, 1u);
  EXPECT_EQ(MFWQZ_gbTriggerReloadRev, 0u);
}

TEST_F(Machines, OlderUserDataFormatEmptiesAndClosesOnlyAutocnfThenResets) {
  SKIP_UNLESS_OLDER();
  const struct {
    const char* what;
    bool remote;
    int busyOpens;     // opens answered busy
    uint64_t busyStep; // microseconds each busy open takes
    u32 end;           // state after the file step
    std::vector<Event> events;
    u32 holdUs;
  } rows[] = {
      {"ordered remotely", true, 0, 0, MFWQZ_k_USR_OLD_DONE, {{2, 0x6200C07F, 0, 3}}, 5000000},
      {"locally", false, 0, 0, MFWQZ_k_USR_OLD_DONE, {{2, 0x6200C07F, 0, 3}}, 800000},
      {"busy for less than a second", false, 3, 300000, MFWQZ_k_USR_OLD_DONE, {{2, 0x6200C07F, 0, 3}}, 800000},
      {"busy for more than a second", true, 1000, 600000, MFWQZ_k_USR_OLD_FAILED, {}, 5000000},
  };
  for (const auto& r : rows) {
    SetUp();
    StartUserDataFormat(r.remote);
    EXPECT_EQ(MFWQZ_UsrDataFormat.ulState, MFWQZ_k_USR_OLD_AUTOCNF) << r.what;
    TakeEvents();
    host.busyOpens = r.busyOpens;
    for (int i = 0; i < 10 && MFWQZ_UsrDataFormat.ulState == MFWQZ_k_USR_OLD_AUTOCNF; ++i) {
      EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
      host.counter += r.busyStep;
    }
    host.busyOpens = 0;
    EXPECT_EQ(MFWQZ_UsrDataFormat.ulState, r.end) << r.what;
    EXPECT_EQ(host.files["PARDATA1.BIN"], Bytes({1, 2, 3})) << r.what << ": never touched";
    EXPECT_EQ(host.files["AUTOCNF.BIN"], r.end == MFWQZ_k_USR_OLD_DONE ? Bytes{} : Bytes({4, 5})) << r.what;
    EXPECT_EQ(host.openHandles, 0) << r.what << ": closed again";
    EXPECT_EQ(TakeEvents(), r.events) << r.what;
    const uint64_t tEnd = host.counter;
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(MFWQZ_UsrDataFormat.ulHoldUs, r.holdUs) << r.what;
    EXPECT_EQ(MFWQZ_Remote.ulState, r.remote ? 4u : 0u) << r.what;
    host.counter = tEnd + r.holdUs - 1;
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(host.resetCalls, 0) << r.what;
    host.counter = tEnd + r.holdUs;
    EXPECT_EQ(MFWQZ_UsrDataFormatMain(), 1);
    EXPECT_EQ(host.resetCalls, 1) << r.what;
    EXPECT_EQ(MFWQZ_UsrDataFormat.ulState, MFWQZ_k_USR_IDLE) << r.what;
    TearDown();
  }
}

#undef SKIP_UNLESS_OLDER

}  // namespace
}  // namespace FwTest
