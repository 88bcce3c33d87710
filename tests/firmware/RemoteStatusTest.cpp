// Remote-control records over the in-memory platform: status requests go on
// "~command", the records come back from "~status" and are compared whole
// with what the project's builders write for the same state.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "FwRemoteSupport.h"
#include "FwUnitSupport.h"
#include "HNFevt.h"
#include "HNFiff_CmdChnl.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "ScmProfile.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "FwRecords.h"
#include "MessageBuilder.h"

namespace FwTest {
namespace {

using TestFrames::Bytes;

constexpr uint32_t kEvt = 0x6200C08B;

u16 U16(const Bytes& b, size_t at) { return static_cast<u16>(b.at(at) | (b.at(at + 1) << 8)); }

/// The classic record the builder writes for a status request 0 with the fixture's identifier and echo.
TestFrames::StatusSpec ClassicSpec() {
  TestFrames::StatusSpec fields;
  fields.identifier = 0x0A0B;
  fields.requestClass = TestFrames::kStatusRequest;
  fields.echo = 0x0033;
  return fields;
}

void SetBit(std::array<u8, 16>& bits, unsigned j) { bits[j / 8] = static_cast<u8>(bits[j / 8] | (1u << (j % 8))); }

TEST_F(FwRecords, ModulesFallIntoOneClassInSadrOrder) {
  Configure(2, kMismatch);
  Configure(3, kMismatch | kEncoder | kMissing);  // counts twice among mismatches
  Configure(5, kFirmware | kMissing);
  Configure(9, kMissing);
  Configure(10);
  Configure(700, kEncoder);
  MFWQZ_ModuleInfo[11].ulFlags = kMissing;  // not configured: not shown
  TestFrames::StatusSpec fields = ClassicSpec();
  fields.missing = 1;
  fields.mismatches = 4;
  fields.firmwareDifferences = 1;
  fields.sadrs[0] = 2;
  fields.sadrs[1] = 3;
  fields.sadrs[2] = 5;
  fields.sadrs[3] = 9;
  fields.sadrs[4] = 10;
  fields.sadrs[5] = 700;
  SetBit(fields.mismatchBits, 0);
  SetBit(fields.mismatchBits, 1);
  SetBit(fields.firmwareBits, 2);
  SetBit(fields.missingBits, 3);
  SetBit(fields.mismatchBits, 5);
  EXPECT_EQ(Answer(Request(0)), TestFrames::BuildStatus(fields));
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwRecords, FirmwareAcceptedForGoodHidesItsDifferences) {
  Configure(5, kFirmware | kMissing);
  Configure(6, kFirmware);
  MFWQZ_Remote.ulLastCompleted = 0x0100;
  MFWQZ_Remote.ulState = MFWQZ_k_RS_FINAL;
  std::memset(MFWQZ_RemoteCmd, 0, sizeof(MFWQZ_RemoteCmd));
  MFWQZ_RemoteCmd[5] = 0x01;  // stored code 0x0100
  TestFrames::StatusSpec fields = ClassicSpec();
  fields.remoteState = 4;
  fields.storedCode = 0x0100;
  fields.lastCompleted = 0x0100;
  fields.missing = 1;
  fields.sadrs[0] = 5;
  fields.sadrs[1] = 6;
  SetBit(fields.missingBits, 0);
  EXPECT_EQ(Answer(Request(0)), TestFrames::BuildStatus(fields));
}

TEST_F(FwRecords, SetupModeZeroesTheCountsButKeepsTheBits) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no setup mode";
  }
  Configure(2, kMismatch);
  Configure(4, kFirmware);
  Configure(6, kMissing);
  SetSetupState(kSetupOn);
  TestFrames::StatusSpec fields = ClassicSpec();
  fields.missing = 1;
  fields.sadrs[0] = 2;
  fields.sadrs[1] = 4;
  fields.sadrs[2] = 6;
  SetBit(fields.mismatchBits, 0);
  SetBit(fields.firmwareBits, 1);
  SetBit(fields.missingBits, 2);
  EXPECT_EQ(Answer(Request(0)), TestFrames::BuildStatus(fields));
}

TEST_F(FwRecords, AtMost101ModulesShownButAllCounted) {
  for (unsigned sadr = 10; sadr < 130; ++sadr) {
    Configure(sadr, sadr >= 110 ? kMismatch : 0);
  }
  TestFrames::StatusSpec fields = ClassicSpec();
  // The older release examines only the first 101 configured modules: SADR 110 is the one mismatch it counts.
  fields.mismatches = SCM_kLegacy ? 1 : 20;
  for (unsigned j = 0; j < 101; ++j) {
    fields.sadrs[j] = static_cast<u16>(10 + j);
  }
  SetBit(fields.mismatchBits, 100);  // SADR 110 is module 100, the last shown
  EXPECT_EQ(Answer(Request(0)), TestFrames::BuildStatus(fields));
}

TEST_F(FwRecords, RemoteStateFieldShowsThePendingOrderOrThree) {
  const struct {
    const char* name;
    u32 state, lastCompleted, code;
    u16 stored;
    u16 shown;
  } cases[] = {
      {"nothing stored", 0, 0, 0, 0, 0},
      {"completed the stored order", 0, 0x0060, 0x0060, 0x0060, 0},
      {"final, stored order", 4, 0x0200, 0x0200, 0x0200, 4},
      {"accepted", 1, 0, 0, 0x0060, 1},
      {"running", 2, 0, 0x2000, 0x2000, 2},
      {"being confirmed", 3, 0, 0x0060, 0x0060, 3},
      {"completed another order", 0, 0x0050, 0x0050, 0x0060, 3},
      {"final, another order", 4, 0x0100, 0x0100, 0x0200, 3},
      // The bits of last completed and code being confirmed together make the stored code,
      // though neither equals it alone.
      {"bitwise or", 0, 0x0020, 0x0040, 0x0060, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MFWQZ_Remote = MFWQZ_RemoteState{c.state, c.lastCompleted, c.code, 0};
    std::memset(MFWQZ_RemoteCmd, 0, sizeof(MFWQZ_RemoteCmd));
    MFWQZ_RemoteCmd[4] = static_cast<u8>(c.stored);
    MFWQZ_RemoteCmd[5] = static_cast<u8>(c.stored >> 8);
    MFWQZ_RemoteCmd[2] = 0x44;
    const Bytes a = Answer(Request(0));
    EXPECT_EQ(U16(a, 4 + 6), c.shown);
    EXPECT_EQ(U16(a, 4 + 8), c.stored);
    EXPECT_EQ(U16(a, 4 + 10), 0x44);
    EXPECT_EQ(U16(a, 4 + 12), c.lastCompleted);
  }
}

TEST_F(FwRecords, KeyChangeStartUpAndModuleStateBytes) {
  const struct {
    const char* name;
    void (*change)();
    u8 keyByte;    // offset 15
    u8 scanByte;   // offset 17
    u8 stateByte;  // offset 19
  } cases[] = {
      // The older release's rule for offset 15 is only: changed, target id, the Qor controller's identity.
      {"all given", [] {}, 1, 0, 0x55},
      {"identity unavailable", [] { MFWQZ_bCvnFromQorAvailable = 0; }, 0, 0, 0x55},
      {"target id unavailable", [] { MFWQZ_bTargetMacAvailable = 0; }, 0, 0, 0x55},
      {"key medium unchanged", [] { MFWQZ_bCorvaneChanged = 0; }, 0, 0, 0x55},
      {"remote off", [] { MFWQZ_gbRemoteActive = 0; }, SCM_kLegacy ? u8{1} : u8{0}, 0, 0x55},
      {"key file empty at start-up", [] { HNFstp_bCorvaneEmpty = 1; }, SCM_kLegacy ? u8{1} : u8{0}, 0, 0x55},
      {"setup mode", [] { SetSetupState(kSetupOn); }, SCM_kLegacy ? u8{1} : u8{0}, 0, 0x55},
      {"key accepted for good",
       [] {
         MFWQZ_Remote.ulLastCompleted = 0x0200;
         MFWQZ_Remote.ulState = 4;
       },
       SCM_kLegacy ? u8{1} : u8{0}, 0, 0x55},
      {"key accepted, not final", [] { MFWQZ_Remote.ulLastCompleted = 0x0200; }, 1, 0, 0x55},
      {"start-up", [] { MFWQZ_gbStartUp = 1; }, 1, 1, 0x55},
      {"scan", [] { MFWQZ_gbScanning = 1; }, 1, 1, 0x55},
      {"fail-safe", [] { HNFiff_ModuleStateFailSafe(); }, 1, 0, 0xAA},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetRemoteControl();
    MFWQZ_gbStartUp = 0;
    glFailSafeA = HNFiff_kModuleStateNormal;
    glFailSafeB = HNFiff_kModuleStateNormal;
    KeyAcceptable();
    c.change();
    const Bytes a = Answer(Request(0));
    EXPECT_EQ(a.at(4 + 15), c.keyByte);
    EXPECT_EQ(a.at(4 + 17), c.scanByte);
    EXPECT_EQ(a.at(4 + 19), c.stateByte);
  }
}

TEST_F(FwRecords, PasswordInformationAndControllerUdid) {
  EXPECT_EQ(Answer(Request(0x1000)), (Bytes{4, 0, 0x0B, 0x0A, 0, 2, 0x33, 0, 0, 0, 0, 0x10, 0}));
  MFWQZ_gaucPassword[3] = 7;
  EXPECT_EQ(Answer(Request(0x1000)), (Bytes{4, 0, 0x0B, 0x0A, 0, 2, 0x33, 0, 0, 0, 0, 0x10, 1}));
  const u8 udid[6] = {0x02, 0x5C, 0x3E, 0x01, 0x02, 0x03};
  std::memcpy(HNFstp_aucQorUdid, udid, 6);
  EXPECT_EQ(Answer(Request(0x3000)),
            (Bytes{4, 0, 0x0B, 0x0A, 0, 2, 0x33, 0, 0, 0, 0, 0x30, 0x02, 0x5C, 0x3E, 0x01, 0x02, 0x03}));
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwRecords, PagesOfOneHundredFiftyModules) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no address list or module flags (0x6000 and 0x7000 answer 32)";
  }
  for (unsigned j = 0; j < 150; ++j) {
    Configure(20 + 2 * j, j == 120 ? kMissing | kMismatch | kFirmware : 0);
  }
  const struct {
    u16 code;
    u16 result;
    unsigned first;  // position of the first module on the page
    unsigned count;  // modules on the page
  } pages[] = {{0x6000, 0, 0, 100}, {0x6001, 0, 100, 50}, {0x6002, 32, 0, 0}, {0x600F, 32, 0, 0}};
  for (const auto& p : pages) {
    SCOPED_TRACE(p.code);
    Bytes expected(4 + 208, 0);
    TestFrames::PutLe(expected, 0, 4, 2);
    TestFrames::PutLe(expected, 2, 0x0A0B, 2);
    TestFrames::PutLe(expected, 4, 0x0200, 2);
    TestFrames::PutLe(expected, 6, 0x0033, 2);
    TestFrames::PutLe(expected, 8, p.result, 2);
    TestFrames::PutLe(expected, 10, p.code, 2);
    for (unsigned k = 0; k < p.count; ++k) {
      TestFrames::PutLe(expected, 12 + 2 * k, 20 + 2 * (p.first + k), 2);
    }
    EXPECT_EQ(Answer(Request(p.code)), expected);
    if (p.result == 32) {
      EXPECT_EQ(TakeEvents(), (std::vector<Event>{{1, kEvt, 32, p.code}}));
    } else {
      EXPECT_TRUE(TakeEvents().empty());
    }
  }
  // Module flags of page 1: module 120 is the 21st, in all three arrays.
  Bytes flags(4 + 56, 0);
  TestFrames::PutLe(flags, 0, 4, 2);
  TestFrames::PutLe(flags, 2, 0x0A0B, 2);
  TestFrames::PutLe(flags, 4, 0x0200, 2);
  TestFrames::PutLe(flags, 6, 0x0033, 2);
  TestFrames::PutLe(flags, 10, 0x7001, 2);
  flags[4 + 8 + 2] = 0x10;
  flags[4 + 24 + 2] = 0x10;
  flags[4 + 40 + 2] = 0x10;
  EXPECT_EQ(Answer(Request(0x7001)), flags);
  const Bytes beyond = Answer(Request(0x7002));
  EXPECT_EQ(U16(beyond, 8), 32);
  EXPECT_EQ(beyond.size(), 60u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{1, kEvt, 32, 0x7002}}));
}

TEST_F(FwRecords, UnknownStatusRequestAnswers32) {
  Configure(2);
  const std::vector<u16> codes = SCM_kLegacy ? std::vector<u16>{0x0001, 0x4000, 0x8000, 0x6010, 0xFFFF, 0x5000, 0x6000,
                                                                 0x6001, 0x7000, 0x700F}
                                             : std::vector<u16>{0x0001, 0x4000, 0x8000, 0x6010, 0xFFFF};
  for (u16 code : codes) {
    SCOPED_TRACE(code);
    TestFrames::StatusSpec fields = ClassicSpec();
    fields.result = 32;
    fields.sadrs[0] = 2;
    EXPECT_EQ(Answer(Request(code)), TestFrames::BuildStatus(fields));
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{1, kEvt, 32, code}}));
  }
}

TEST_F(FwRecords, BuildersRefuseNullArguments) {
  static const u8 kCmd[38] = {};
  const struct {
    void (*call)();
    u32 record;
  } cases[] = {
      {[] { EXPECT_EQ(MFWQZ_RCStatus_Build(nullptr, kCmd, 0), 0u); }, 0},
      {[] { EXPECT_EQ(MFWQZ_RCPwdInfo_Build(nullptr, kCmd, 0), 0u); }, 1},
      {[] { EXPECT_EQ(MFWQZ_RCS_AddressListBuild(nullptr, kCmd), 32); }, 5},
      {[] { EXPECT_EQ(MFWQZ_RCModuleFlagsBuild(nullptr, kCmd), 32); }, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.record);
    glFailSafeA = HNFiff_kModuleStateNormal;
    glFailSafeB = HNFiff_kModuleStateNormal;
    HNFevt_ulEventsSinceFailSafe = 0;
    c.call();
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C01A, 3, c.record}}));
  }
}

}  // namespace
}  // namespace FwTest
