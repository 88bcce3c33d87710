// Start-up in one process: the UDIDs, the handshake, the release check and
// the whole order up to the spawned tasks, with its failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ScmProfile.h"
#include "FwKeyFile.h"
#include "ApplicationFileBuilders.h"
#include "FwUnitSupport.h"
#include "HNFcyc.h"
#include "HNFhwt.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "ParameterFileBuilders.h"
#include "ScmFirmwareIdent.h"
#include "ScmSystemCalls.h"

namespace FwTest {
namespace {

using Udid = std::array<uint8_t, 6>;

class FwStartUpParts : public FwFixture {};

TEST_F(FwStartUpParts, ScmUdidIsTheQorUdidPlusOne) {
  const struct {
    Udid qor, scm;
  } cases[] = {
      {{0x02, 0x5C, 0x3E, 0x00, 0x00, 0x01}, {0x02, 0x5C, 0x3E, 0x00, 0x00, 0x02}},
      {{0x02, 0x5C, 0x3E, 0x10, 0x20, 0xFF}, {0x02, 0x5C, 0x3E, 0x10, 0x21, 0x00}},
      {{0x02, 0x5C, 0x3E, 0x10, 0xFF, 0xFF}, {0x02, 0x5C, 0x3E, 0x11, 0x00, 0x00}},
      {{0x02, 0x5C, 0x3E, 0xFF, 0xFF, 0xFF}, {0x02, 0x5C, 0x3F, 0x00, 0x00, 0x00}},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
  };
  for (const auto& c : cases) {
    Udid scm{};
    HNFstp_ComputeScmUdid(c.qor.data(), scm.data());
    EXPECT_EQ(scm, c.scm);
  }
}

TEST_F(FwStartUpParts, AllZeroQorUdidIsPolledUntilTheHostHasOne) {
  host.udids = {{}, {}, {}, {0x02, 0x5C, 0x3E, 1, 2, 3}};
  HNFstp_ReadUdids();
  EXPECT_EQ(host.udidCalls, 4);
  EXPECT_EQ(ScmMemDelayCalls(), 3);
  EXPECT_EQ(ScmMemDelayTicks(), 30);
  EXPECT_EQ(Udid(std::to_array(HNFstp_aucScmUdid)), (Udid{0x02, 0x5C, 0x3E, 1, 2, 4}));
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwStartUpParts, WrongVendorPrefixIsFatalWithTheUdidAsInformation) {
  host.udids = {{0x02, 0x5D, 0x3E, 0x44, 0x55, 0x66}};
  HNFstp_ReadUdids();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x92008818, 0x5D02, 0x6655443E}}));
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 0);
  EXPECT_EQ(Udid(std::to_array(HNFstp_aucScmUdid)), (Udid{0x02, 0x5D, 0x3E, 0x44, 0x55, 0x67}));
}

TEST_F(FwStartUpParts, ConditionOneMustCarryTheIdentWord) {
  const struct {
    bool set;
    uint32_t value;
    std::vector<Event> events;
  } cases[] = {
      {true, SCM_FW_IDENT_WORD, {}},
      {true, SCM_FW_IDENT_WORD + 1, {{3, 0x92008816, 0, SCM_FW_IDENT_WORD + 1}}},
      {false, 0, {{3, 0x92008816, 0, 0}}},
  };
  for (const auto& c : cases) {
    SetUp();
    if (c.set) {
      host.conditions[1] = c.value;
    }
    HNFstp_CheckCondition1();
    EXPECT_EQ(TakeEvents(), c.events);
  }
}

TEST_F(FwStartUpParts, IdentWordComesFromTheIdentBlock) {
  EXPECT_EQ(HNFstp_GetIdentWord(), static_cast<uint32_t>(SCM_FIRMWARE_IDENT));
  EXPECT_EQ(LdFwIdentEnd - LdFwIdentStart, 256);
}

TEST_F(FwStartUpParts, ReleaseCheck) {
  const struct {
    uint32_t ident;
    bool event;
  } cases[] = {{0x00FFFFFF, true}, {0x00000000, true}, {0x01000000, false}, {0xFFFF0001, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(HNFstp_CheckRelease(c.ident), c.event ? 1 : 0);
    const std::vector<Event> expected =
        c.event ? std::vector<Event>{{2, 0x62008481, 0, c.ident}} : std::vector<Event>{};
    EXPECT_EQ(TakeEvents(), expected);
  }
}

/// The whole start-up against the fake host with a checked stand-in executable.
class FwStartUp : public FwFixture {
 public:
  void SetUp() override {
    FwFixture::SetUp();
    executable = WriteCheckedExecutable("startup");
    ScmMemSetRtpInfo(executable.c_str(), 0);
    setenv("SafetyDomainNumber", "7", 1);
    host.udids = {{0x02, 0x5C, 0x3E, 9, 9, 9}};
    host.conditions[1] = SCM_FW_IDENT_WORD;
    // A valid key file with one node: the parser raises nothing and the SCM activates.
    host.files["KEL_PARA.SAF"] = OneNodeKeyFile();
    host.files["CORVANE.DAT"] = {};
    // The application's files of a key medium installed on this controller, nothing accepted yet.
    host.files["FWREVCNF.BIN"] = {};
    host.files["AUTOCNF.BIN"] = {};
    host.files["CORVANE.UID"] = TestFiles::BuildCorvaneUid({0x02, 0x5C, 0x3E, 9, 9, 9}, 77);
    host.flash = host.files["CORVANE.UID"];
    ASSERT_EQ(ScmMemCreateSemaphore(ScmName("frame-send").c_str(), SEM_EMPTY), OK);
    ASSERT_EQ(ScmMemCreateSemaphore(ScmName("frame-receive").c_str(), SEM_EMPTY), OK);
    HNFstp_aFileSpace[0].ulUsed = 0;
    HNFstp_aFileSpace[1].ulUsed = 0;
    glFailSafeB = 0;
    // Five small protected sections of the test's own, one of them empty.
    for (size_t i = 0; i < sizeof(sectionBytes); ++i) {
      sectionBytes[i] = static_cast<uint8_t>(i);
    }
    for (uint32_t s = 0; s < HNFhwt_kSectionCount; ++s) {
      const uint32_t size = s == 2 ? 0 : 100 * (s + 1);
      sections[s] = HNFhwt_Section{sectionBytes, sectionBytes + size, &references[s], &references[s] + (size ? 1 : 0)};
    }
    HNFhwt_SetSections(sections, HNFhwt_kSectionCount);
  }
  void TearDown() override {
    unsetenv("SafetyDomainNumber");
    std::remove(executable.c_str());
    std::remove((executable + ".vxe").c_str());
    FwFixture::TearDown();
  }
  std::vector<std::string> SpawnNames() {
    std::vector<std::string> names;
    for (const auto& s : ScmMemSpawns()) {
      names.push_back(s.name);
    }
    return names;
  }
  std::string executable;
  uint8_t sectionBytes[500];                     ///< bytes behind the protected sections
  uint32_t references[HNFhwt_kSectionCount];     ///< their reference CRCs
  HNFhwt_Section sections[HNFhwt_kSectionCount];  ///< the table handed to the manager
};

TEST_F(FwStartUp, RunsInOrderAndSpawnsBothTasks) {
  // Each host call with what was open and spawned when it came; repeats of
  // the same step (the file reads) collapse into one.
  const size_t handlesBefore = ScmMemHandleCount();
  std::vector<std::string> steps;
  const auto step = [&](const std::string& what) {
    const std::string entry = what + " handles+" + std::to_string(ScmMemHandleCount() - handlesBefore) +
                              " spawns " + std::to_string(ScmMemSpawns().size());
    if (steps.empty() || steps.back() != entry) {
      steps.push_back(entry);
    }
  };
  host.onCall = [&](int number) {
    const bool storage = number >= 0x84 && number <= 0x88;
    char name[8];
    std::snprintf(name, sizeof name, "0x%02X", number);
    step(storage ? "storage" : name);
  };
  EXPECT_EQ(HNFstp_StartUp(), 0);
  step("end");
  // The seven queues before the Qor UDID, condition 1 and the target id before
  // the files, the counter and the identity while the stack initialises, then
  // the application's files, each open timed by the counter ("corvane.uid"
  // with flash area 16, "fwrevcnf.bin", "autocnf.bin"), setup mode's
  // initialisation taking the time of its switch, the two cycle semaphores
  // before condition 2, and both tasks last.
  // The older release reads the key-medium copy as Qor variable 4: the
  // fail-safe state, then channel 6 opened, the request sent, the reply polled
  // (timed by the counter) and the channel closed, where the current release
  // reads flash area 16; it has no setup mode to initialise.
  std::vector<std::string> expected = {"0x83 handles+7 spawns 0", "0x90 handles+7 spawns 0",
                                       "0x81 handles+7 spawns 0", "0x82 handles+7 spawns 0",
                                       "storage handles+7 spawns 0"};
  if constexpr (!SCM_kLegacy) {
    // The configuration manager's initial CT (the older release keeps no CT counter).
    expected.push_back("0x80 handles+7 spawns 0");
  }
  expected.insert(expected.end(), {"0x81 handles+7 spawns 0", "0x82 handles+7 spawns 0", "0x80 handles+7 spawns 0",
                                   "storage handles+7 spawns 0"});
  const std::vector<std::string> keyMediumCopy =
      SCM_kLegacy ? std::vector<std::string>{"0x92 handles+7 spawns 0", "0x89 handles+7 spawns 0",
                                             "0x8C handles+7 spawns 0", "0x80 handles+7 spawns 0",
                                             "0x8B handles+7 spawns 0", "0x8A handles+7 spawns 0"}
                  : std::vector<std::string>{"0x94 handles+7 spawns 0"};
  expected.insert(expected.end(), keyMediumCopy.begin(), keyMediumCopy.end());
  expected.insert(expected.end(), {"0x80 handles+7 spawns 0", "storage handles+7 spawns 0", "0x80 handles+7 spawns 0",
                                   "storage handles+7 spawns 0"});
  if constexpr (!SCM_kLegacy) {
    expected.push_back("0x80 handles+7 spawns 0");  // setup mode's switch
  }
  expected.insert(expected.end(), {"0x91 handles+9 spawns 0", "end handles+9 spawns 2"});
  EXPECT_EQ(steps, expected);
  EXPECT_EQ(host.conditions[2], SCM_FW_IDENT_WORD);
  const auto spawns = ScmMemSpawns();
  ASSERT_EQ(spawns.size(), 2u);
  EXPECT_EQ(spawns[0].name, "scm0007/background");
  EXPECT_EQ(spawns[0].priority, 128);
  EXPECT_EQ(spawns[0].stackSize, 4096u);
  EXPECT_EQ(spawns[0].entry, DoBackgroundWork);
  EXPECT_EQ(spawns[1].name, "scm0007/cyclic");
  EXPECT_EQ(spawns[1].priority, 127);
  EXPECT_EQ(spawns[1].stackSize, 4096u);
  EXPECT_EQ(spawns[1].entry, DoCyclicWork);
  EXPECT_EQ(HNFcyc_statusInfo[0], 17u);
  EXPECT_EQ(HNFiff_ModuleStateRead(), HNFiff_kModuleStateNormal);
  EXPECT_EQ(HNFstp_Files[0].ulSize, host.files["KEL_PARA.SAF"].size());
  EXPECT_NE(HNFstp_pRxSemaphore, nullptr);
  EXPECT_NE(HNFstp_pTxSemaphore, nullptr);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwStartUp, FailuresThatEndTheProcessWithoutConditionTwo) {
  const struct {
    const char* what;
    std::function<void(FwStartUp&)> arrange;
  } cases[] = {
      {"domain number 0", [](FwStartUp&) { setenv("SafetyDomainNumber", "0", 1); }},
      {"domain number 1024", [](FwStartUp&) { setenv("SafetyDomainNumber", "1024", 1); }},
      {"no domain number", [](FwStartUp&) { unsetenv("SafetyDomainNumber"); }},
      {"a missing queue", [](FwStartUp&) { ScmMemDeleteQueue(ScmName("unlock-response").c_str()); }},
      {"a failed self-test", [](FwStartUp& t) { std::remove((t.executable + ".vxe").c_str()); }},
  };
  for (const auto& c : cases) {
    SetUp();
    c.arrange(*this);
    EXPECT_EQ(HNFstp_StartUp(), -1) << c.what;
    EXPECT_EQ(host.conditions.count(2), 0u) << c.what;
    EXPECT_TRUE(ScmMemSpawns().empty()) << c.what;
    TearDown();
  }
}

TEST_F(FwStartUp, RefusedSpawnsAreFatal) {
  const struct {
    const char* refuse;
    uint32_t info1;
    size_t spawned;
  } cases[] = {{"background", 1, 0}, {"cyclic", 2, 1}};
  for (const auto& c : cases) {
    SetUp();
    ScmMemRefuseSpawn(c.refuse);
    EXPECT_EQ(HNFstp_StartUp(), -1);
    EXPECT_EQ(ScmMemSpawns().size(), c.spawned);
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x92008811, 0, c.info1}}));
    TearDown();
  }
}

TEST_F(FwStartUp, WrongConditionOneStillSetsConditionTwoAndSpawns) {
  host.conditions[1] = 0x12345678;
  EXPECT_EQ(HNFstp_StartUp(), 0);
  EXPECT_EQ(host.conditions[2], SCM_FW_IDENT_WORD);
  EXPECT_EQ(ScmMemSpawns().size(), 2u);
  // Fail-safe from here: the files are not loaded, so the configuration manager finds no node.
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x92008816, 0, 0x12345678},
                                              {3, 0x9200A107, 0, 0},
                                              {3, 0x9200AF0C, 0, 6}}));
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 0);
}

TEST_F(FwStartUp, MissingCycleSemaphoresAreReportedAndStartUpGoesOn) {
  ScmMemDeleteSemaphore(ScmName("frame-send").c_str());
  ScmMemDeleteSemaphore(ScmName("frame-receive").c_str());
  EXPECT_EQ(HNFstp_StartUp(), 0);
  const auto events = TakeEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].code, 0x6200AF1Eu);
  EXPECT_EQ(events[0].info0, 1);
  EXPECT_EQ(events[1].info0, 2);
  EXPECT_EQ(host.conditions[2], SCM_FW_IDENT_WORD);
  EXPECT_EQ(ScmMemSpawns().size(), 2u);
}

TEST_F(FwStartUp, MissingKeyFileIsFatalButStartUpGoesOn) {
  host.files.erase("KEL_PARA.SAF");
  EXPECT_EQ(HNFstp_StartUp(), 0);
  // Without the key file no node is configured: the configuration manager
  // refuses to activate (its 0xF107, fatal) and the stack start-up reports reason 6.
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008A02, 0, 3},
                                              {3, 0x92008802, 0, 0},
                                              {3, 0x9200A107, 0, 0},
                                              {3, 0x9200AF0C, 0, 6}}));
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 0);
  EXPECT_EQ(host.conditions[2], SCM_FW_IDENT_WORD);
}

}  // namespace
}  // namespace FwTest
