// The configuration manager's node callbacks as the application answers them:
// each row is (module entry and phase before, one call) -> (entry, counters
// and events after).
#include <gtest/gtest.h>

#include <cstring>

#include "AppFixture.h"
#include "HNFcyc.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "ScmProfile.h"
#include "SAPL.h"
#include "SCMint.h"

namespace FwTest {
namespace {

using AppCallbacks = AppFixture;

/// The SADR the rows change.
constexpr uint16_t kSadr = 5;

/// Phase of the application around a report.
enum class Phase { StartUp, After, CursorBelow, CursorAt };

/// Sets the start-up flags for a phase (the end-of-start-up cursor sits at SADR 6 or 5).
void SetPhase(Phase p) {
  MFWQZ_gbStartUp = p == Phase::StartUp ? 1 : 0;
  MFWQZ_gbEndOfStartUp = (p == Phase::CursorBelow || p == Phase::CursorAt) ? 1 : 0;
  MFWQZ_gusStartUpModule = p == Phase::CursorBelow ? 6 : (p == Phase::CursorAt ? 5 : 1024);
}

TEST_F(AppCallbacks, NodeStatusChanges) {
  struct Row {
    const char* what;
    Phase phase = Phase::StartUp;
    uint32_t flags = 0x3;       // before: configured, unscanned
    uint32_t state = 255;       // before
    uint32_t erroneous = 0;     // before
    uint32_t mismatches = 0;    // before
    uint8_t toggle = 0;         // invalid toggle before
    uint8_t bcm = 0;            // SADR marked auto-configured in the flags array
    uint8_t stp = 0;            // SADR required at start-up
    uint8_t oldStatus = 0, newStatus = 0;
    uint32_t flagsAfter = 0, stateAfter = 0, erroneousAfter = 0, mismatchesAfter = 0;
    uint32_t scanned = 1, found = 0;
    std::vector<Event> events = {};
  };
  const Row rows[] = {
      {.what = "no answer in start-up", .newStatus = 0, .flagsAfter = 0x81, .stateAfter = 0, .erroneousAfter = 1},
      {.what = "no answer after start-up", .phase = Phase::After, .newStatus = 0, .flagsAfter = 0x801,
       .stateAfter = 0, .erroneousAfter = 1, .events = {{2, 0x6200C089, 0, kSadr}}},
      {.what = "no answer below the end-of-start-up cursor", .phase = Phase::CursorBelow, .newStatus = 0,
       .flagsAfter = 0x801, .stateAfter = 0, .erroneousAfter = 1, .events = {{2, 0x6200C089, 0, kSadr}}},
      {.what = "no answer at the end-of-start-up cursor", .phase = Phase::CursorAt, .newStatus = 0,
       .flagsAfter = 0x81, .stateAfter = 0, .erroneousAfter = 1},
      {.what = "assigned after no answer", .flags = 0x81, .state = 0, .erroneous = 1, .oldStatus = 0,
       .newStatus = 0x80, .flagsAfter = 0x85, .stateAfter = 0x80, .erroneousAfter = 0, .scanned = 0},
      {.what = "operational", .flags = 0x285, .state = 0x80, .oldStatus = 0x80, .newStatus = 0x81,
       .flagsAfter = 0x5, .stateAfter = 0x81, .scanned = 0},
      {.what = "operational clears the operator's acknowledge", .flags = 0x200007, .state = 0x80,
       .oldStatus = 0x80, .newStatus = 0x81, .flagsAfter = 0x5, .stateAfter = 0x81, .found = 1},
      {.what = "invalid in start-up", .newStatus = 1, .flagsAfter = 0x11, .stateAfter = 1, .erroneousAfter = 1},
      // The older release registers an invalid module on its first report.
      {.what = "invalid after start-up, first report", .phase = Phase::After, .newStatus = 1,
       .flagsAfter = SCM_kLegacy ? 0x101u : 0x1u, .stateAfter = 1, .erroneousAfter = 1,
       .events = SCM_kLegacy ? std::vector<Event>{{2, 0x6200C08D, 0, kSadr}} : std::vector<Event>{}},
      {.what = "invalid after start-up, second report", .phase = Phase::After, .flags = 0x1, .state = 1,
       .erroneous = 1, .toggle = 1, .oldStatus = 1, .newStatus = 1, .flagsAfter = 0x101, .stateAfter = 1,
       .erroneousAfter = 1, .scanned = 0, .events = {{2, 0x6200C08D, 0, kSadr}}},
      {.what = "wrong assignment answer", .flags = 0x883, .newStatus = 2, .flagsAfter = 0x5, .stateAfter = 2,
       .erroneousAfter = 1, .found = 1},
      {.what = "UDID mismatch", .flags = 0xBB3, .newStatus = 3, .flagsAfter = 0x405, .stateAfter = 3,
       .mismatchesAfter = 1, .found = 1},
      {.what = "UDID mismatch of an auto-configured SADR", .flags = 0x04000003, .bcm = 1, .newStatus = 3,
       .flagsAfter = 0x84000405, .stateAfter = 3, .mismatchesAfter = 1, .found = 1},
      {.what = "UDID mismatch while an encoder change waits", .flags = 0x800003, .newStatus = 3,
       .flagsAfter = 0x800405, .stateAfter = 3, .mismatchesAfter = 1, .found = 1,
       .events = {{3, 0x9200C007, kSadr | 0x4000, 0x800405}}},
      {.what = "download failed in start-up", .newStatus = 4, .flagsAfter = 0x25, .stateAfter = 4,
       .erroneousAfter = 1, .found = 1},
      {.what = "additional set refused after start-up", .phase = Phase::After, .newStatus = 5,
       .flagsAfter = 0x205, .stateAfter = 5, .erroneousAfter = 1, .found = 1, .events = {{2, 0x6200C08E, 0, kSadr}}},
      {.what = "extended CT failed", .newStatus = 7, .flagsAfter = 0x40000001, .stateAfter = 7,
       .events = {{2, 0x6200C030, 7, kSadr}}},
      {.what = "extended CT failed again", .flags = 0x40000001, .state = 7, .oldStatus = 7, .newStatus = 7,
       .flagsAfter = 0x40000001, .stateAfter = 7, .scanned = 0},
      {.what = "leaving a known mismatch", .flags = 0x80000405, .state = 3, .mismatches = 1, .oldStatus = 3,
       .newStatus = 0x80, .flagsAfter = 0x5, .stateAfter = 0x80, .scanned = 0},
      {.what = "leaving a taken-over auto-configured UDID", .flags = 0x14000005, .state = 3, .erroneous = 1,
       .mismatches = 1, .oldStatus = 3, .newStatus = 0x80, .flagsAfter = 0x04000005, .stateAfter = 0x80,
       .mismatchesAfter = 1, .scanned = 0},
      {.what = "leaving an unknown mismatch", .flags = 0x80000001, .state = 255, .mismatches = 1, .oldStatus = 3,
       .newStatus = 0x80, .flagsAfter = 0x80000005, .stateAfter = 0x80, .mismatchesAfter = 1, .scanned = 0},
      {.what = "an encoder change left for no answer", .flags = 0x800005, .state = 0x80, .mismatches = 1,
       .oldStatus = 0x80, .newStatus = 0, .flagsAfter = 0x800085, .stateAfter = 0, .erroneousAfter = 1,
       .scanned = 0},
      {.what = "an encoder change acknowledged to operational", .flags = 0x800005, .state = 0x80, .mismatches = 1,
       .oldStatus = 0x80, .newStatus = 0x81, .flagsAfter = 0x800005, .stateAfter = 0x81, .mismatchesAfter = 1,
       .scanned = 0},
      {.what = "silent again with a firmware difference", .flags = 0x9005, .state = 0, .oldStatus = 0,
       .newStatus = 0x80, .flagsAfter = 0x8005, .stateAfter = 0x80, .scanned = 0},
      {.what = "silent with a firmware difference", .flags = 0x8005, .state = 0x81, .oldStatus = 0x81,
       .newStatus = 0, .flagsAfter = 0x9005, .stateAfter = 0, .scanned = 0},
      {.what = "never answered, required at start-up", .phase = Phase::CursorAt, .flags = 0x81, .state = 0,
       .erroneous = 1, .stp = 1, .oldStatus = 0, .newStatus = 0, .flagsAfter = 0x81, .stateAfter = 0,
       .scanned = 0},
      {.what = "underflow of the erroneous counter", .flags = 0x1, .state = 1, .oldStatus = 1, .newStatus = 0x80,
       .flagsAfter = 0x5, .stateAfter = 0x80, .scanned = 0, .events = {{3, 0x9200C003, 0, kSadr}}},
      {.what = "underflow of the mismatch counter", .flags = 0x405, .state = 3, .oldStatus = 3, .newStatus = 0x80,
       .flagsAfter = 0x5, .stateAfter = 0x80, .scanned = 0, .events = {{3, 0x9200C002, 0, kSadr}}},
      {.what = "unknown old status", .flags = 0x5, .state = 0x80, .oldStatus = 0x42, .newStatus = 0x81,
       .flagsAfter = 0x5, .stateAfter = 0x81, .scanned = 0, .events = {{3, 0x9200C004, 0x42, kSadr}}},
      {.what = "unknown new status", .flags = 0x3, .state = 255, .oldStatus = 0, .newStatus = 6,
       .flagsAfter = 0x3, .stateAfter = 255, .scanned = 0, .events = {{3, 0x9200C004, 6, kSadr}}},
  };
  for (const Row& r : rows) {
    SetUp();
    Configure({kSadr, 9}, r.state);
    SetPhase(r.phase);
    MFWQZ_gulModuleCount = 2;
    MFWQZ_ulSeconds = 35;
    MFWQZ_ModuleInfo[kSadr].ulFlags = r.flags;
    SetInvalidToggle(kSadr, r.toggle);
    MFWQZ_ulNumberOfErroneousModules = r.erroneous;
    MFWQZ_ulNumberOfUdidMisMatches = r.mismatches;
    if (r.bcm != 0) {
      MFWQZ_SetSadrBit(MFWQZ_gaucBcmFlags, kSadr);
    }
    if (r.stp != 0) {
      MFWQZ_SetSadrBit(MFWQZ_gaucStpFlags, kSadr);
    }
    Report(kSadr, r.oldStatus, r.newStatus);
    EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulFlags, r.flagsAfter) << r.what << std::hex << " 0x" << MFWQZ_ModuleInfo[kSadr].ulFlags;
    EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulNodeState, r.stateAfter) << r.what;
    EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules, r.erroneousAfter) << r.what;
    EXPECT_EQ(MFWQZ_ulNumberOfUdidMisMatches, r.mismatchesAfter) << r.what;
    EXPECT_EQ(MFWQZ_gulModuleScanned, r.scanned) << r.what;
    EXPECT_EQ(MFWQZ_gulModuleFound, r.found) << r.what;
    EXPECT_EQ(TakeEvents(), r.events) << r.what;
  }
}

TEST_F(AppCallbacks, AFirmwareDifferenceStartsTheMissingTimerAtTheApplicationSeconds) {
  Configure({kSadr}, 0x81);
  MFWQZ_ModuleInfo[kSadr].ulFlags = 0x8005;
  MFWQZ_ulSeconds = 35;
  Report(kSadr, 0x81, 0);
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulSecondsAtError, 35u);
  EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules, 0u);
}

TEST_F(AppCallbacks, MissingAtStartUpLeavesTheErroneousCount) {
  // Required at start-up and never answered: at the cursor it becomes missing at start-up.
  Configure({kSadr}, 0);
  SetPhase(Phase::CursorAt);
  MFWQZ_SetSadrBit(MFWQZ_gaucStpFlags, kSadr);
  MFWQZ_ModuleInfo[kSadr].ulFlags = 0x81;
  MFWQZ_ulNumberOfErroneousModules = 1;
  Report(kSadr, 0, 0);
  EXPECT_EQ(MFWQZ_TestSadrBit(MFWQZ_aucMissStpFlags, kSadr), 1);
  EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules, 0u);
  // It answers later: no underflow, it never counted again.
  Report(kSadr, 0, 0x80);
  EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules, 0u);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(AppCallbacks, ReportsWhileLockedOrOutsideTheCycleChangeNothing) {
  Configure({kSadr});
  MFWQZ_gbLockPost = 1;
  Report(kSadr, 0, 0x80);
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulFlags, 0x1u);
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulNodeState, 255u);
  EXPECT_TRUE(TakeEvents().empty());
  MFWQZ_gbLockPost = 0;
  HNFcyc_gbCalledFromCyc = 0;
  const u8 udid[6] = {1, 2, 3, 4, 5, 6};
  SAPL_ScmNodeStatusChangedClbk(kSadr, 0, 0x80);
  SAPL_ScmUdidMismatchClbk(kSadr, udid, 3);
  EXPECT_FALSE(SAPL_ScmRevisionNumberClbk(kSadr, 0x10000, 0x10000));
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulFlags, 0x1u);
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulNodeState, 255u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C005, 0, 0}, {3, 0x9200C005, 0, 0}, {3, 0x9200C005, 0, 0}}));
}

TEST_F(AppCallbacks, SadrsOutsideTheTable) {
  Report(0, 0, 0x80);
  Report(1024, 0, 0x80);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C00C, 0, 0}, {3, 0x9200C00C, 0, 1024}}));
}

TEST_F(AppCallbacks, TheLastModuleOfAScanEndsIt) {
  Configure({kSadr, 9});
  MFWQZ_ModuleInfo[kSadr].ulFlags = 0x3;
  MFWQZ_ModuleInfo[9].ulFlags = 0x3;
  MFWQZ_gulModuleCount = 2;
  MFWQZ_gbScanning = 1;
  MFWQZ_ulScansAtStartup = 1;
  Report(kSadr, 0, 0x80);
  EXPECT_EQ(MFWQZ_gbScanning, 1u);
  Report(9, 0, 0x81);
  Report(9, 0x81, 0x81);  // a second report of the scan counts no more
  EXPECT_EQ(MFWQZ_gulModuleScanned, 2u);
  EXPECT_EQ(MFWQZ_gulModuleFound, 1u);
  EXPECT_EQ(MFWQZ_gbScanning, 0u);
  EXPECT_EQ(MFWQZ_gbStartUp, 0u);
}

TEST_F(AppCallbacks, TheFirstSightingOfTheQorControllerSendsItWhatItKeeps) {
  const struct {
    const char* what;
    Phase phase;
    uint32_t foundBefore;
    uint8_t newStatus;
    uint32_t version, optional, foundAfter;
  } cases[] = {{"first sighting in start-up", Phase::StartUp, 0, 0x81, 1, 0, 1},
               {"first sighting after start-up", Phase::After, 0, 0x80 + 1, 1, 1, 1},
               {"seen before", Phase::After, 1, 0x81, 0, 0, 1},
               {"assigned only", Phase::After, 0, 0x80, 0, 0, 0},
               {"lost", Phase::After, 1, 0, 0, 0, 0},
               {"found in a failure state", Phase::After, 0, 4, 1, 1, 1}};
  for (const auto& c : cases) {
    SetUp();
    Configure({1});
    SetPhase(c.phase);
    MFWQZ_gbQorFound = c.foundBefore;
    Report(1, 0x80, c.newStatus);
    EXPECT_EQ(HNFcyc_TriggerSendScmVersionToQorInBgTask, c.version) << c.what;
    EXPECT_EQ(HNFcyc_TriggerSendPasswordToQorInBgTask, c.version) << c.what;
    // The older release has no setup mode to send.
    EXPECT_EQ(SetupModeTrigger(), SCM_kLegacy ? 0u : c.version) << c.what;
    EXPECT_EQ(HNFcyc_TriggerSendOptionalModulesToQorInBgTask, c.optional) << c.what;
    EXPECT_EQ(MFWQZ_gbQorFound, c.foundAfter) << c.what;
  }
}

TEST_F(AppCallbacks, UdidMismatches) {
  const u8 qorUdid[6] = {0x00, 0x60, 0x65, 0x01, 0x02, 0x03};
  const u8 other[6] = {0x00, 0x60, 0x65, 0x09, 0x09, 0x09};
  struct Row {
    const char* what;
    uint16_t sadr = kSadr;
    const u8* udid = nullptr;
    uint32_t flags = 0x200005;
    uint32_t state = 3;
    uint32_t lock = 0;
    uint32_t mismatches = 0;
    uint32_t flagsAfter = 0x5;
    uint16_t handleAfter = 0;
    uint32_t sioChanged = 1;
    uint32_t mismatchesAfter = 0, erroneousAfter = 0;
    int resets = 0;
    std::vector<Event> events = {};
  };
  const Row rows[] = {
      {.what = "state 3", .udid = other, .handleAfter = 7},
      {.what = "state unknown", .udid = other, .state = 255, .handleAfter = 7},
      {.what = "the SCM's own SADR", .sadr = 1023, .udid = other, .handleAfter = 7, .sioChanged = 0},
      {.what = "state 0x80", .udid = other, .state = 0x80, .sioChanged = 0,
       .events = {{3, 0x9200C00C, 2, kSadr}}},
      {.what = "no UDID", .udid = nullptr, .sioChanged = 0, .events = {{3, 0x9200C00C, 2, kSadr}}},
      {.what = "locked", .udid = other, .lock = 1, .flagsAfter = 0x200005, .sioChanged = 0},
      {.what = "not configured", .sadr = 6, .udid = other, .flagsAfter = 0x200005, .sioChanged = 0,
       .events = {{3, 0x9200C00C, 2, 6}}},
      {.what = "auto-configured, counted as mismatch", .udid = other, .flags = 0x84200005, .mismatches = 1,
       .flagsAfter = 0x14000005, .erroneousAfter = 1},
      {.what = "auto-configured, already taken", .udid = other, .flags = 0x14000005, .flagsAfter = 0x14000005},
      {.what = "Qor controller with the platform's UDID", .sadr = 1, .udid = qorUdid, .handleAfter = 7},
      {.what = "Qor controller with another UDID", .sadr = 1, .udid = other, .flagsAfter = 0x200005,
       .sioChanged = 0, .resets = 1},
      {.what = "Qor controller without a UDID", .sadr = 1, .udid = nullptr, .flagsAfter = 0x200005,
       .sioChanged = 0, .resets = 1},
  };
  for (const Row& r : rows) {
    SetUp();
    std::memcpy(HNFstp_aucQorUdid, qorUdid, 6);
    Configure({kSadr, 1, 1023}, r.state);
    MFWQZ_usSaddr = 1023;
    const uint16_t target = r.sadr == 6 ? kSadr : r.sadr;
    MFWQZ_ModuleInfo[target].ulFlags = r.flags;
    MFWQZ_gbLockPost = r.lock;
    MFWQZ_ulNumberOfUdidMisMatches = r.mismatches;
    HNFcyc_gbCalledFromCyc = 1;
    SAPL_ScmUdidMismatchClbk(r.sadr, r.udid, 7);
    HNFcyc_gbCalledFromCyc = 0;
    EXPECT_EQ(MFWQZ_ModuleInfo[target].ulFlags, r.flagsAfter) << r.what << std::hex << " 0x" << MFWQZ_ModuleInfo[target].ulFlags;
    EXPECT_EQ(MFWQZ_ModuleInfo[target].usAckHandle, r.handleAfter) << r.what;
    EXPECT_EQ(MFWQZ_bSioChanged, r.sioChanged) << r.what;
    EXPECT_EQ(MFWQZ_ulNumberOfUdidMisMatches, r.mismatchesAfter) << r.what;
    EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules, r.erroneousAfter) << r.what;
    EXPECT_EQ(host.resetCalls, r.resets) << r.what;
    EXPECT_EQ(TakeEvents(), r.events) << r.what;
  }
}

TEST_F(AppCallbacks, Revisions) {
  struct Row {
    const char* what;
    uint32_t flags = 0x5;
    uint16_t configured = 0;
    uint32_t expected = 0x00010005, received = 0x00010005;
    uint32_t lockFw = 0, validFiles = 1;
    bool accepted = false;
    uint32_t flagsAfter = 0x5;
    uint16_t configuredAfter = 0;
    uint32_t differences = 0;
    std::vector<Event> events = {};
  };
  const Row rows[] = {
      {.what = "major difference", .received = 0x00020005, .flagsAfter = 0x2005,
       .events = {{2, 0x6200C08A, kSadr, 0x00020005}}},
      {.what = "major difference reported before", .flags = 0x2005, .received = 0x00020005, .flagsAfter = 0x2005},
      {.what = "lower minor", .received = 0x00010004, .flagsAfter = 0x2005,
       .events = {{2, 0x6200C08A, kSadr, 0x00010004}}},
      {.what = "equal to the stored one", .flags = 0x10005, .configured = 5, .accepted = true,
       .flagsAfter = 0x10005, .configuredAfter = 5},
      {.what = "higher than the stored one", .flags = 0x11005, .configured = 5, .received = 0x00010006,
       .flagsAfter = 0x8005, .configuredAfter = 6, .differences = 1},
      {.what = "higher without a stored one", .flags = 0x1005, .received = 0x00010006, .flagsAfter = 0x8005,
       .configuredAfter = 6, .differences = 1},
      {.what = "higher again", .flags = 0x8005, .configured = 6, .received = 0x00010006, .flagsAfter = 0x8005,
       .configuredAfter = 6},
      {.what = "higher while an encoder change waits", .flags = 0x800005, .received = 0x00010006,
       .flagsAfter = 0x808005, .configuredAfter = 6, .differences = 1,
       .events = {{3, 0x9200C007, kSadr | 0x8000, 0x808005}}},
      {.what = "held off by the lock", .flags = 0x10005, .configured = 5, .received = 0x00010006, .lockFw = 1,
       .flagsAfter = 0x10005, .configuredAfter = 5},
      {.what = "held off by invalid files", .flags = 0x10005, .configured = 5, .received = 0x00010005,
       .validFiles = 0, .flagsAfter = 0x10005, .configuredAfter = 5},
  };
  for (const Row& r : rows) {
    SetUp();
    Configure({kSadr}, 0x80);
    MFWQZ_ModuleInfo[kSadr].ulFlags = r.flags;
    MFWQZ_ModuleInfo[kSadr].usConfiguredRev = r.configured;
    MFWQZ_gbLockPostFw = r.lockFw;
    MFWQZ_ValidFiles = r.validFiles;
    HNFcyc_gbCalledFromCyc = 1;
    EXPECT_EQ(SAPL_ScmRevisionNumberClbk(kSadr, r.expected, r.received), r.accepted) << r.what;
    HNFcyc_gbCalledFromCyc = 0;
    EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulFlags, r.flagsAfter) << r.what;
    EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].usConfiguredRev, r.configuredAfter) << r.what;
    EXPECT_EQ(MFWQZ_ulNumberOfDiffFirmware, r.differences) << r.what;
    EXPECT_EQ(TakeEvents(), r.events) << r.what;
  }
}

TEST_F(AppCallbacks, EncoderChanges) {
  constexpr uint32_t kWfSnFailAck = SCM_k_ST_WF_SAPL_ACK;
  struct Row {
    const char* what;
    uint16_t sadr = kSadr;
    uint32_t flags = 0x5;
    uint32_t state = 0x80;
    uint32_t lock = 0;
    uint32_t flagsAfter = 0x5;
    uint16_t handleAfter = 0;
    uint32_t mismatches = 0;
    bool acked = false;
    std::vector<Event> events = {};
  };
  const Row rows[] = {
      {.what = "SADR assigned", .flagsAfter = 0x800005, .handleAfter = 4, .mismatches = 1},
      // After a scan reset the SCM does not report an unchanged 0x80 again.
      {.what = "unknown counts as assigned", .state = 255, .flagsAfter = 0x800005, .handleAfter = 4,
       .mismatches = 1},
      {.what = "reported again while it waits", .flags = 0x800005, .flagsAfter = 0x800005, .handleAfter = 4},
      {.what = "after the operator's UDID acknowledge", .flags = 0x200405, .state = 3, .flagsAfter = 0x200405,
       .acked = true},
      {.what = "UDID mismatch not acknowledged", .flags = 0x405, .state = 3, .flagsAfter = 0x405,
       .events = {{3, 0x9200C006, kSadr, 3}}},
      {.what = "operational", .state = 0x81, .events = {{3, 0x9200C006, kSadr, 0x81}}},
      {.what = "firmware difference", .flags = 0x8005, .flagsAfter = 0x8005,
       .events = {{3, 0x9200C007, kSadr, 0x8005}}},
      {.what = "not configured", .sadr = 6},
      {.what = "locked", .lock = 1},
  };
  for (const Row& r : rows) {
    SetUp();
    Configure({kSadr}, r.state);
    MFWQZ_ModuleInfo[kSadr].ulFlags = r.flags;
    MFWQZ_gbLockPost = r.lock;
    MFWQZ_ulNumberOfUdidMisMatches = (r.flags & 0x800000) != 0 ? 1 : 0;
    SCM_as_FsmCb[4].ulState = kWfSnFailAck;
    if ((r.flags & 0x800000) != 0) {
      MFWQZ_ModuleInfo[kSadr].usAckHandle = 4;
    }
    MFWQZ_EncoderChg(r.sadr, 4);
    EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulFlags, r.flagsAfter) << r.what;
    EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].usAckHandle, r.handleAfter) << r.what;
    EXPECT_EQ(MFWQZ_ulNumberOfUdidMisMatches, r.mismatches + ((r.flags & 0x800000) != 0 ? 1 : 0)) << r.what;
    EXPECT_EQ(SCM_as_FsmCb[4].usEvents, r.acked ? uint16_t{SCM_k_EVT_ACK} : uint16_t{0}) << r.what;
    EXPECT_EQ(TakeEvents(), r.events) << r.what;
  }
}

TEST_F(AppCallbacks, WhichNodesTheScmProcesses) {
  Configure({kSadr, 6});
  MFWQZ_SetSadrBit(MFWQZ_gaucNprFlags, 6);
  const struct {
    uint16_t sadr;
    uint32_t flagsValid;
    bool processed;
    std::vector<Event> events;
  } cases[] = {{kSadr, 1, true, {}},
               {6, 1, false, {}},
               {kSadr, 0, false, {}},
               {1023, 1, true, {}},
               {0, 1, false, {{3, 0x9200C01D, 0, 0}}},
               {1024, 1, false, {{3, 0x9200C01D, 0, 1024}}}};
  for (const auto& c : cases) {
    MFWQZ_gbModuleFlagsStatus = c.flagsValid;
    // No cyclic-task test: the SCM asks from wherever it runs.
    EXPECT_EQ(SAPL_ScmProcessSn(c.sadr), c.processed) << c.sadr;
    EXPECT_EQ(TakeEvents(), c.events) << c.sadr;
  }
}

}  // namespace
}  // namespace FwTest
