// The application's frame: its two initialisation steps, the main cycle's
// step order and chain value, the start-up timer, the target id and the
// comparison of running and accepted hardware.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "ScmProfile.h"
#include "AppFixture.h"
#include "HNFcyc.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "ScmSystemCalls.h"

namespace FwTest {
namespace {

using TestFiles::Record;
using AppMain = AppFixture;

const u8 kQorUdid[6] = {0x00, 0x60, 0x65, 0x01, 0x02, 0x03};
const TestFiles::Udid kQorUdidArray = {0x00, 0x60, 0x65, 0x01, 0x02, 0x03};
/// What the commissioned files accept of TwoNodes().
const std::vector<TestFiles::RevisionEntry> kTwoNodeRevisions = {{5, 3}, {9, 0}};

/// Two nodes (SADR 5 with revision 0x00010003, SADR 9) and the given flag arrays.
std::vector<Record> TwoNodes(const std::vector<Record>& more = {}) {
  std::vector<Record> r = TestFiles::NodeRecords(0xC400, 5, 0x0025C3E0, 0x1005, 0x00010003);
  const std::vector<Record> n9 = TestFiles::NodeRecords(0xC401, 9, 0x0025C3E0, 0x1005, 0x00010000);
  r.insert(r.end(), n9.begin(), n9.end());
  r.insert(r.end(), more.begin(), more.end());
  return r;
}

TEST_F(AppMain, InitStates) {
  const struct {
    const char* what;
    const u8* udid;
    uint32_t stateBefore;
    uint8_t identity;   // the key-medium identity can be read (flash area 16 or Qor variable 4 answers)
    uint8_t result;
    uint32_t stateAfter;
  } cases[] = {{"first call", kQorUdid, 0, 1, 0, 1},
               {"no UDID", nullptr, 0, 1, 1, 0},
               {"called twice", kQorUdid, 1, 1, 1, 1},
               {"identity not read", kQorUdid, 0, 0, 1, 0}};
  for (const auto& c : cases) {
    SetUp();
    StartObjectList(TwoNodes());
    MFWQZ_InitState = c.stateBefore;
    InstallFiles(kTwoNodeRevisions, kQorUdidArray);
    if (c.identity == 0) {
      host.flash.reset();
    }
    EXPECT_EQ(MFWQZ_Init(c.udid, 0x0102), c.result) << c.what;
    EXPECT_EQ(MFWQZ_InitState, c.stateAfter) << c.what;
    EXPECT_EQ(MFWQZ_usSaddr, 1023) << c.what;
    EXPECT_EQ(MFWQZ_pucActQzUdid, c.udid) << c.what;
    EXPECT_EQ(MFWQZ_bCvnFromQorAvailable, c.identity) << c.what;
    EXPECT_EQ(MFWQZ_bCvnChanged, c.identity == 1 ? 0u : 1u) << c.what;
    // A flash area that does not answer passes silently; Qor variable 4 that
    // answers without its 18 bytes is fatal (a reply of another length, its length).
    const std::vector<Event> expected =
        (SCM_kLegacy && c.identity == 0) ? std::vector<Event>{{3, 0x9200C092, 12, 2}} : std::vector<Event>{};
    EXPECT_EQ(TakeEvents(), expected) << c.what;
    TearDown();
  }
}

TEST_F(AppMain, InitSetsTheDebugFlagForAReleasedFirmwareFromRelease256) {
  const struct {
    uint8_t releaseFlag;
    uint16_t release;
    uint8_t debug;
  } cases[] = {{1, 256, 1}, {1, 255, 0}, {0, 0x0300, 0}};
  for (const auto& c : cases) {
    SetUp();
    StartObjectList(TwoNodes());
    MFWQZ_gucPtRelease = c.releaseFlag;
    (void)MFWQZ_Init(kQorUdid, c.release);
    EXPECT_EQ(MFWqz_gucPtDbgInfo, c.debug) << c.release;
    TearDown();
  }
}

TEST_F(AppMain, InitFailsWithoutTheOwnSaddr) {
  static u8 s_ucMode = 0;
  static const SOD_Entry kTable[] = {
      {0x101B, 1, SOD_AttrPart{SOD_k_ATTR_READ, SOD_k_UINT8, 1, nullptr, &s_ucMode, nullptr, nullptr}},
      {SOD_k_END_INDEX, 0, SOD_AttrPart{0, 0, 0, nullptr, nullptr, nullptr, nullptr}}};
  UseTable(kTable);
  InstallFiles(kTwoNodeRevisions, kQorUdidArray);
  EXPECT_EQ(MFWQZ_Init(kQorUdid, 0x0102), 1);
  EXPECT_EQ(MFWQZ_InitState, 0u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C009, 0x1200, 2}}));
}

TEST_F(AppMain, InitModuleInfoBuildsTheTableLoadsTheFilesAndStartsTheFirstScan) {
  StartObjectList(TwoNodes({ConfigArrayRecord(1, SadrArray({9})), ConfigArrayRecord(2, SadrArray({5})),
                            ConfigArrayRecord(3, SadrArray({9})), TestFiles::U32Record(0x2106, 7, 3)}));
  InstallFiles(kTwoNodeRevisions, kQorUdidArray);
  (void)MFWQZ_GetTargetId();
  ASSERT_EQ(MFWQZ_Init(kQorUdid, 0x0102), 0);
  EXPECT_EQ(MFWQZ_InitModuleInfo(), 0);
  EXPECT_EQ(MFWQZ_InitState, 2u);
  // Setup mode initialised: the file's flag is off, so it is switched off from the initialisation (the
  // older release has none).
  EXPECT_EQ(SetupState(), kSetupOffRequested);
  EXPECT_EQ(SetupFromInit(), SCM_kLegacy ? 0u : 1u);
  EXPECT_EQ(std::vector<uint8_t>(MFWQZ_gaucOptFlags, MFWQZ_gaucOptFlags + 128), SadrArray({9}));
  EXPECT_EQ(std::vector<uint8_t>(MFWQZ_gaucStpFlags, MFWQZ_gaucStpFlags + 128), SadrArray({5}));
  EXPECT_EQ(std::vector<uint8_t>(MFWQZ_gaucNprFlags, MFWQZ_gaucNprFlags + 128), SadrArray({9}));
  EXPECT_EQ(MFWQZ_gulModuleCount, 1u);  // SADR 9 is not processed
  EXPECT_EQ(MFWQZ_gbModuleFlagsStatus, 1u);
  EXPECT_EQ(MFWQZ_ulScansAtStartup, 3u);
  EXPECT_EQ(MFWQZ_gbStartScan, 1u);
  EXPECT_EQ(MFWQZ_gbScanning, 1u);
  EXPECT_EQ(MFWQZ_ValidFiles, 1u);
  // The commissioned files: their revisions and the running hardware are accepted.
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, 0x10003u);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].usConfiguredRev, 3);
  EXPECT_EQ(MFWQZ_ModuleInfo[9].ulFlags, 0x10003u);
  EXPECT_EQ(std::memcmp(MFWQZ_sReqHardwareId.aucQzUdid, kQorUdid, 6), 0);
  EXPECT_EQ(std::memcmp(MFWQZ_sReqHardwareId.aucTargetId, MFWQZ_aActTargetId, 8), 0);
  EXPECT_EQ(MFWQZ_AuthorCheckTarget(), 1);
  EXPECT_EQ(MFWQZ_RequestSwitchOperational(), 0);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(AppMain, InitModuleInfoFailures) {
  const struct {
    const char* what;
    uint32_t stateBefore;
    std::vector<Record> records;
    uint8_t revFile;  // "fwrevcnf.bin" is there
    uint32_t setupState;  // setup mode after the step (0: not initialised)
    uint32_t validFiles;
    std::vector<Event> events;
  } cases[] = {
      {"not after the first step", 0, TwoNodes(), 1, kSetupOff, 1, {}},  // as the fixture left it
      {"revisions not loaded", 1, TwoNodes(), 0, kSetupOffRequested, 0,
       {{2, 0x62008A02, 0, 3}, {2, 0x6200C086, 3, 0x80000001}}},
      {"table not built", 1,
       [] {
         std::vector<Record> r = TwoNodes();
         r.push_back(Record{0x101B, 1, {1}});
         return r;
       }(),
       1, kSetupOffRequested, 0, {{3, 0x9200C013, 1, 0}}},
  };
  for (const auto& c : cases) {
    SetUp();
    StartObjectList(c.records);
    MFWQZ_InitState = c.stateBefore;
    InstallFiles(kTwoNodeRevisions, kQorUdidArray);
    if (c.revFile == 0) {
      host.files.erase("FWREVCNF.BIN");
    }
    EXPECT_EQ(MFWQZ_InitModuleInfo(), 1) << c.what;
    EXPECT_EQ(MFWQZ_InitState, c.stateBefore) << c.what;
    EXPECT_EQ(SetupState(), c.setupState) << c.what;
    EXPECT_EQ(MFWQZ_ValidFiles, c.validFiles) << c.what;
    EXPECT_EQ(MFWQZ_gbStartScan, 0u) << c.what;
    EXPECT_EQ(TakeEvents(), c.events) << c.what;
    TearDown();
  }
}

/// Puts one machine into a state in which its step returns 0 (the cycle holds).
void HoldMachine(int which) {
  switch (which) {
    case 0: MFWQZ_ModChg.ulState = 9; break;          // module exchange: unknown state
    case 1: MFWQZ_KeyCnf.ulState = 9; break;          // key-medium change: state above 5
    case 2: MFWQZ_Confirm.ulState = 9; break;         // confirmation: unknown state
    case 3: MFWQZ_UsrDataFormat.ulState = SCM_kLegacy ? 4 : 1; break;  // user-data format: a state without a step
    case 4: SetSetupState(kSetupError); break;  // the older release has no setup mode to fail
    default: break;
  }
}

TEST_F(AppMain, StepOrder) {
  // Each machine is put where its step leaves a mark: the exchange sees a mismatch, the key medium
  // counts as changed, the confirmation starts, the user-data format empties its first file, setup
  // mode switches on from the initialisation.
  const struct {
    const char* what;
    uint32_t stackRunning;
    int holding;  // machine whose step returns 0, -1 none (HoldMachine)
    std::array<bool, 5> ran;  // exchange, key medium, confirmation, user-data format, setup mode
    uint32_t seconds;
    uint8_t result;
  } cases[] = {
      {"stack running", 1, -1, {true, true, true, true, true}, 5, 0},
      {"before the stack runs", 0, -1, {false, false, true, true, true}, 0, 0},
      {"exchange machine holds", 1, 0, {false, false, true, true, true}, 5, 1},
      {"key-medium machine holds", 1, 1, {true, false, true, true, true}, 5, 1},
      {"confirmation holds", 1, 2, {true, true, false, false, true}, 5, 1},
      {"user-data format holds", 0, 3, {false, false, true, false, true}, 0, 1},
      {"setup mode fails", 0, 4, {false, false, true, true, SCM_kLegacy}, 0, SCM_kLegacy ? u8{0} : u8{1}},
  };
  for (const auto& c : cases) {
    SetUp();
    MFWQZ_InitState = 2;
    host.counter = 5000001;
    host.files["PARDATA1.BIN"] = {1, 2, 3};
    MFWQZ_ulNumberOfUdidMisMatches = 1;
    MFWQZ_bCorvaneChanged = 1;
    MFWQZ_UsrDataFormat.ulState = MFWQZ_k_USR_START;
    ActivateSetupModeFromInit();
    HoldMachine(c.holding);
    EXPECT_EQ(MFWQZ_Main(c.stackRunning), c.result) << c.what;
    const std::array<bool, 5> ran = {MFWQZ_ModChg.ulState == MFWQZ_k_XCHG_FEW,
                                     MFWQZ_KeyCnf.ulState == MFWQZ_k_KEY_CHANGED,
                                     MFWQZ_Confirm.ulState == MFWQZ_k_CNF_IDLE,
                                     MFWQZ_UsrDataFormat.ulState ==
                                         (SCM_kLegacy ? MFWQZ_k_USR_OLD_DONE : MFWQZ_k_USR_AUTOCNF),
                                     SetupState() == kSetupOn};
    EXPECT_EQ(ran, c.ran) << c.what;
    EXPECT_EQ(MFWQZ_ulSeconds, c.seconds) << c.what;
    // The 5-s check is also the hardware check.
    EXPECT_EQ(MFWQZ_bTargetMacAvailable, c.seconds != 0 ? 1u : 0u) << c.what;
  }
}

TEST_F(AppMain, TheFiveSecondCheckRunsOncePerFiveSeconds) {
  MFWQZ_InitState = 2;
  const struct {
    uint64_t counter;
    uint32_t seconds;
  } steps[] = {{5000001, 5}, {9000000, 5}, {10000001, 5}, {10000002, 10}, {20000000, 15}};
  for (const auto& s : steps) {
    host.counter = s.counter;
    (void)MFWQZ_Main(1);
    EXPECT_EQ(MFWQZ_ulSeconds, s.seconds) << s.counter;
  }
}

TEST_F(AppMain, TheChainValueGatesTheReloads) {
  const struct {
    const char* what;
    uint32_t initState;
    uint8_t fromCyc;
    int holding;
    bool reloaded;
  } cases[] = {{"every step went on", 2, 0, -1, true},
               {"not initialised", 1, 0, -1, false},
               {"called while the cyclic function runs", 2, 1, -1, false},
               {"user-data format holds", 2, 0, 3, false},
               {"exchange machine holds", 2, 0, 0, false}};
  for (const auto& c : cases) {
    SetUp();
    MFWQZ_InitState = c.initState;
    HNFcyc_gbCalledFromCyc = c.fromCyc;
    HoldMachine(c.holding);
    MFWQZ_gbTriggerReloadRev = 1;
    MFWQZ_gbScanAfterReloadRev = 1;
    MFWQZ_gbTriggerReloadCVid = 1;
    MFWQZ_pucActQzUdid = kQorUdid;
    InstallFiles(kTwoNodeRevisions, kQorUdidArray);
    (void)MFWQZ_Main(1);
    HNFcyc_gbCalledFromCyc = 0;
    const auto count = [&](int call) { return std::count(host.calls.begin(), host.calls.end(), call); };
    // Two loads of "fwrevcnf.bin" and one of "corvane.uid", which also reads flash area 16.
    // The older release has no reloads: its requests stay untouched.
    const bool reloaded = !SCM_kLegacy && c.reloaded;
    EXPECT_EQ(count(SCM_SC_GET_STORAGE_LENGTH), reloaded ? 3 : 0) << c.what;
    EXPECT_EQ(count(SCM_SC_READ_QOR_FLASH_FILE), reloaded ? 1 : 0) << c.what;
    EXPECT_EQ(MFWQZ_gbTriggerReloadRev, reloaded ? 0u : 1u) << c.what;
    EXPECT_EQ(MFWQZ_gbTriggerReloadCVid, reloaded ? 0u : 1u) << c.what;
    EXPECT_EQ(MFWQZ_gbStartScan, reloaded ? 1u : 0u) << c.what;
  }
}

TEST_F(AppMain, AFailedRevisionReloadStopsTheReloads) {
  MFWQZ_InitState = 2;
  InstallFiles(kTwoNodeRevisions, kQorUdidArray);
  host.files.erase("FWREVCNF.BIN");
  MFWQZ_gbTriggerReloadRev = 1;
  MFWQZ_gbScanAfterReloadRev = 1;
  MFWQZ_gbTriggerReloadCVid = 1;
  MFWQZ_pucActQzUdid = kQorUdid;
  (void)MFWQZ_Main(0);
  // The older release reloads nothing, so the missing file goes unnoticed here.
  EXPECT_EQ(MFWQZ_ValidFiles, SCM_kLegacy ? 1u : 0u);
  EXPECT_EQ(MFWQZ_gbStartScan, 0u);
  EXPECT_EQ(MFWQZ_gbTriggerReloadCVid, 1u);
}

TEST_F(AppMain, TheScmVersionSentToTheQorControllerIsThatOfTheObjectList) {
  StartObjectList(TwoNodes());
  InstallFiles(kTwoNodeRevisions, kQorUdidArray);
  HNFcyc_TriggerSendScmVersionToQorInBgTask = 1;
  (void)HNFcyc_BackgroundPass();
  EXPECT_EQ(host.qorVariables[5], (std::vector<u8>{0x04, 0x01})) << "0x1018/9's default";
}

TEST_F(AppMain, StartUpTimer) {
  MFWQZ_gbStartUp = 0;
  MFWQZ_gbEndOfStartUp = 1;
  MFWQZ_ulSeconds = 10;
  EXPECT_EQ(MFWQZ_AppliStates(), 1);
  EXPECT_EQ(MFWQZ_bStartupTimerRunning, 0u);
  MFWQZ_gbEndOfStartUp = 0;
  EXPECT_EQ(MFWQZ_AppliStates(), 1);  // starts at 10 s
  MFWQZ_ulSeconds = 15;
  EXPECT_EQ(MFWQZ_AppliStates(), 1);
  EXPECT_EQ(MFWQZ_gbStartupFinished, 0u);
  MFWQZ_ulSeconds = 20;
  EXPECT_EQ(MFWQZ_AppliStates(), 1);
  EXPECT_EQ(MFWQZ_gbStartupFinished, 1u);
}

TEST_F(AppMain, TargetIdIsReadOnce) {
  const struct {
    uint32_t product, serial;
    uint32_t available;
  } cases[] = {{0x00C0FFEE, 0x12345678, 1}, {0, 0x12345678, 0}, {0x00C0FFEE, 0, 0}};
  for (const auto& c : cases) {
    SetUp();
    host.cpuProductCode = c.product;
    host.cpuSerialNumber = c.serial;
    EXPECT_EQ(MFWQZ_GetTargetId(), 1);
    EXPECT_EQ(MFWQZ_GetTargetId(), 1);
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), SCM_SC_GET_CPU_PRODUCT_CODE), 1);
    const std::array<uint8_t, 8> expected = {
        static_cast<uint8_t>(c.product),       static_cast<uint8_t>(c.product >> 8),
        static_cast<uint8_t>(c.product >> 16), static_cast<uint8_t>(c.product >> 24),
        static_cast<uint8_t>(c.serial),        static_cast<uint8_t>(c.serial >> 8),
        static_cast<uint8_t>(c.serial >> 16),  static_cast<uint8_t>(c.serial >> 24)};
    EXPECT_EQ(std::memcmp(MFWQZ_aActTargetId, expected.data(), 8), 0);
    EXPECT_EQ(MFWQZ_bTargetMacAvailable, c.available);
    EXPECT_EQ(MFWQZ_RequestSwitchOperational(), c.available != 0 ? 0 : 2);
  }
}

TEST_F(AppMain, AcceptedAndRunningHardware) {
  const u8 target[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  u8 udid[6] = {};
  u8 id[8] = {};
  EXPECT_EQ(MFWQZ_AuthorSetReqUdid(kQorUdid, nullptr), 0);
  EXPECT_EQ(MFWQZ_AuthorGetActUdid(nullptr, id), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C00F, 0, 1}, {3, 0x9200C00F, 0, 2}}));
  EXPECT_EQ(MFWQZ_AuthorSetReqUdid(kQorUdid, target), 1);
  EXPECT_EQ(std::memcmp(MFWQZ_sReqHardwareId.aucQzUdid, kQorUdid, 6), 0);
  EXPECT_EQ(std::memcmp(MFWQZ_sReqHardwareId.aucTargetId, target, 8), 0);
  EXPECT_EQ(MFWQZ_AuthorGetActUdid(udid, id), 0);  // the target id was not read yet
  MFWQZ_pucActQzUdid = kQorUdid;
  (void)MFWQZ_GetTargetId();
  EXPECT_EQ(MFWQZ_AuthorGetActUdid(udid, id), 1);
  EXPECT_EQ(std::memcmp(udid, kQorUdid, 6), 0);
  EXPECT_EQ(std::memcmp(id, MFWQZ_aActTargetId, 8), 0);
}

TEST_F(AppMain, KeyMediumCheck) {
  const u8 running[8] = {0xEE, 0xFF, 0xC0, 0x00, 0x78, 0x56, 0x34, 0x12};  // the fake host's words
  const u8 otherTarget[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  const u8 ones[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  const u8 otherUdid[6] = {0x00, 0x60, 0x65, 0x07, 0x07, 0x07};
  const u8 zeroUdid[6] = {};
  struct Row {
    const char* what;
    const u8* reqUdid;
    const u8* reqTarget;
    uint32_t sio = 0, cvnChanged = 0, cvnAvailable = 1;
    uint8_t result = 1;
    uint32_t changed = 0;
    uint8_t switchOp = 0;
  };
  const Row rows[] = {
      {.what = "both equal, identity unchanged", .reqUdid = kQorUdid, .reqTarget = running},
      {.what = "both equal, a module UDID changed", .reqUdid = kQorUdid, .reqTarget = running, .sio = 1},
      {.what = "both equal, identity changed", .reqUdid = kQorUdid, .reqTarget = running, .cvnChanged = 1,
       .changed = 1, .switchOp = 1},
      {.what = "accepted UDID all zero", .reqUdid = zeroUdid, .reqTarget = running, .result = 0, .changed = 1,
       .switchOp = 1},
      {.what = "both differ", .reqUdid = otherUdid, .reqTarget = otherTarget, .changed = 1, .switchOp = 1},
      {.what = "UDID differs, target equal", .reqUdid = otherUdid, .reqTarget = running},
      {.what = "UDID differs, target equal, a module UDID changed", .reqUdid = otherUdid, .reqTarget = running,
       .sio = 1, .changed = 1, .switchOp = 1},
      {.what = "target differs, UDID equal, a module UDID changed", .reqUdid = kQorUdid,
       .reqTarget = otherTarget, .sio = 1, .changed = 1, .switchOp = 1},
      {.what = "target unknown counts as different", .reqUdid = otherUdid, .reqTarget = ones, .changed = 1,
       .switchOp = 1},
      {.what = "target differs, identity changed", .reqUdid = kQorUdid, .reqTarget = otherTarget,
       .cvnChanged = 1, .changed = 1, .switchOp = 1},
      {.what = "identity of the Qor controller not available", .reqUdid = zeroUdid, .reqTarget = running,
       .cvnAvailable = 0, .result = 0},
  };
  for (const Row& r : rows) {
    SetUp();
    (void)MFWQZ_GetTargetId();
    MFWQZ_pucActQzUdid = kQorUdid;
    (void)MFWQZ_AuthorSetReqUdid(r.reqUdid, r.reqTarget);
    MFWQZ_bSioChanged = r.sio;
    MFWQZ_bCvnChanged = r.cvnChanged;
    MFWQZ_bCvnFromQorAvailable = r.cvnAvailable;
    EXPECT_EQ(MFWQZ_AuthorCheckTarget(), r.result) << r.what;
    EXPECT_EQ(MFWQZ_bCorvaneChanged, r.changed) << r.what;
    EXPECT_EQ(MFWQZ_bTargetMacAvailable, 1u) << r.what;
    EXPECT_EQ(MFWQZ_RequestSwitchOperational(), r.switchOp) << r.what;
  }
}

}  // namespace
}  // namespace FwTest
