// Diagnosis objects: every row and the gaps between them as (index,
// sub-index) -> (error byte, value), and the object-read command end to end
// over "~command" and "~status".
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "EPSglobal.h"
#include "FwRemoteSupport.h"
#include "FwUnitSupport.h"
#include "HNFiff_CmdChnl.h"
#include "MFWQZ.h"
#include "MFWQZ_BusOd.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "MessageBuilder.h"
#include "SERR.h"

namespace FwTest {
namespace {

using TestFrames::Bytes;

struct OdCase {
  u16 index;
  u8 sub;
  u8 error;
  u32 value;
};

class FwDiagnosis : public FwFixture {
 protected:
  void SetUp() override {
    FwFixture::SetUp();
    MFWQZ_gulModuleScanned = 21;
    MFWQZ_ulNumberOfErroneousModules = 9;
    MFWQZ_ulNumberOfUdidMisMatches = 1;
    MFWQZ_ulNumberOfDiffFirmware = 11;
    MFWQZ_gulModuleCount = 12;
    MFWQZ_RequiredReloadedFileMissing = 3;
    MFWQZ_gbStartUp = 0;
    for (u32 i = 0; i < EPS_kErrorCounterCount; ++i) {
      EPS_gGlobal.aulErrorCounters[i] = 100 + i;
    }
  }
  void Check(const std::vector<OdCase>& cases) {
    for (const OdCase& c : cases) {
      SCOPED_TRACE(std::to_string(c.index) + "/" + std::to_string(c.sub));
      u32 value = 0xDEADBEEF;
      EXPECT_EQ(MFWqz_BusOdRead(c.index, c.sub, &value), c.error);
      EXPECT_EQ(value, c.value);
    }
  }
};

TEST_F(FwDiagnosis, ObjectTwentyFourTenAndTheGaps) {
  u32 common3 = 0;
  SERR_CountCommonEvt(3);
  SERR_CountCommonEvt(3);
  ASSERT_TRUE(SERR_GetCommonStatCtr(3, &common3));
  u32 common12 = 0;
  ASSERT_TRUE(SERR_GetCommonStatCtr(12, &common12));
  Check({
      {0x2410, 0, 1, 2},     // sub 0 lies outside every row
      {0x2410, 1, 1, 3},
      {0x2410, 2, 0, 21},
      {0x2410, 3, 1, 3},
      {0x2410, 7, 1, 3},
      {0x2410, 8, 0, 0x0E40},
      {0x2410, 9, 0, 9},
      {0x2410, 10, 0, 1},
      {0x2410, 11, 0, 11},
      {0x2410, 12, 0, 12},
      {0x2410, 13, 0, 3},
      {0x2410, 14 + 3, 0, common3},
      {0x2410, 26, 0, common12},
      {0x2410, 27, 1, 3},
      {0x2410, 31, 1, 3},
      {0x2410, 32, 0, 100},
      {0x2410, 43, 0, 111},
      {0x2410, 44, 1, 3},
      {0x2410, 51, 1, 3},
      {0x2410, 52, 1, 3},    // default row
      {0x2410, 254, 1, 3},
      {0x2410, 255, 1, 2},
      {0x2411, 1, 1, 3},
      {0x2411, 0, 1, 2},
      {0x2423, 1, 1, 3},
      {0x2428, 1, 1, 3},
      {0x2460, 1, 1, 2},
      {0x245F, 1, 1, 3},
      {0x240F, 1, 1, 2},
      {0x1000, 1, 1, 2},
  });
  EXPECT_GE(common3, 2u);
}

TEST_F(FwDiagnosis, FileInformationInitialAndFilled) {
  Check({
      {0x2424, 1, 0, 0xFFFFFFFE},
      {0x2424, 2, 0, 1},
      {0x2424, 3, 0, 0},
      {0x2424, 4, 1, 3},
      {0x2424, 10, 1, 3},
      {0x2424, 11, 0, 0xFFFFFFFE},
      {0x2424, 12, 1, 3},
      {0x2424, 0, 1, 2},
      {0x2427, 11, 0, 0xFFFFFFFE},
      {0x2427, 255, 1, 2},
  });
  static const u32 crc[1] = {0x12345678};
  MFWQZ_aDiagnoseFileInfo[0] = MFWQZ_DiagnoseFileInfo{0x5F000001, 1234, 1, crc};
  MFWQZ_aDiagnoseFileInfo[2].pulWords = nullptr;
  Check({
      {0x2424, 1, 0, 0x5F000001},
      {0x2424, 2, 0, 1},
      {0x2424, 3, 0, 1234},
      {0x2424, 11, 0, 0x12345678},
      {0x2424, 12, 1, 3},
      {0x2425, 1, 0, 0xFFFFFFFE},
      {0x2426, 1, 1, 7},
      {0x2426, 11, 1, 7},
  });
}

TEST_F(FwDiagnosis, UnavailableCountersAnswerReasonSeven) {
  EXPECT_EQ(EPS_GetErrorCounter(16), -1);
  EXPECT_EQ(EPS_GetErrorCounter(15), 115);
  EXPECT_EQ(EPS_GetCommonEventCounter(1, 0), -1);
  EXPECT_EQ(EPS_GetCommonEventCounter(0, 13), -1);
  EXPECT_GE(EPS_GetCommonEventCounter(0, 12), 0);
}

/// An object-read command: header with identifier 0x0C0D, class 0x8400, the given objects.
Bytes ObjectRead(const std::vector<std::pair<u16, u8>>& objects, u16 service = 1) {
  Bytes payload(16 + 4 * objects.size(), 0);
  TestFrames::PutLe(payload, 0, 0x8400, 2);
  TestFrames::PutLe(payload, 2, 18 + 4 * objects.size(), 2);
  TestFrames::PutLe(payload, 4, service, 2);
  TestFrames::PutLe(payload, 8, 0xBEEF, 2);
  TestFrames::PutLe(payload, 10, 1, 2);
  TestFrames::PutLe(payload, 12, objects.size(), 2);
  for (size_t i = 0; i < objects.size(); ++i) {
    TestFrames::PutLe(payload, 16 + 4 * i, objects[i].first, 2);
    payload[16 + 4 * i + 2] = objects[i].second;
  }
  Bytes message = {3, 0, 0x0D, 0x0C};
  message.resize(4 + payload.size());
  std::copy(payload.begin(), payload.end(), message.begin() + 4);
  return message;
}

// Only the current release's build: the older release has no object read (a
// variable-size class is refused, see FwCommandChannel) and no diagnosis objects.
class FwObjectRead : public FwDiagnosis {
 protected:
  Bytes Answer(const Bytes& message) { return AnswerTo(message); }
  /// The answer's head: class, length word, service, word 8, result, version, entries.
  static Bytes Head(size_t entries, u16 result, u16 service = 1) {
    Bytes head(4 + 18, 0);
    TestFrames::PutLe(head, 0, 4, 2);
    TestFrames::PutLe(head, 2, 0x0C0D, 2);
    TestFrames::PutLe(head, 4, 0x8400, 2);
    TestFrames::PutLe(head, 6, 18 + 8 * entries + 2, 2);
    TestFrames::PutLe(head, 8, service, 2);
    TestFrames::PutLe(head, 12, 0xBEEF, 2);
    TestFrames::PutLe(head, 14, result, 2);
    TestFrames::PutLe(head, 16, 1, 2);
    TestFrames::PutLe(head, 18, entries, 2);
    return head;
  }
  static void Entry(Bytes& out, u16 index, u8 sub, u8 error, u32 value) {
    const size_t at = out.size();
    out.resize(at + 8);
    TestFrames::PutLe(out, at, index, 2);
    out[at + 2] = sub;
    out[at + 3] = error;
    TestFrames::PutLe(out, at, index, 2);
    TestFrames::PutLe(out, at + 4, value, 4);
  }
};

TEST_F(FwObjectRead, NoObjectsAnswersEighteenBytes) {
  EXPECT_EQ(Answer(ObjectRead({})), Head(0, 0));
}

TEST_F(FwObjectRead, FiveObjectsInOrderWithMixedErrors) {
  Bytes expected = Head(5, 0x100);
  Entry(expected, 0x2410, 10, 0, 1);
  Entry(expected, 0x2410, 12, 0, 12);
  Entry(expected, 0x2410, 52, 1, 3);
  Entry(expected, 0x2424, 11, 0, 0xFFFFFFFE);
  Entry(expected, 0x2460, 1, 1, 2);
  EXPECT_EQ(Answer(ObjectRead({{0x2410, 10}, {0x2410, 12}, {0x2410, 52}, {0x2424, 11}, {0x2460, 1}})), expected);
  // All entries with the same error byte: result 0, even when every one failed.
  Bytes failed = Head(2, 0);
  Entry(failed, 0x2411, 1, 1, 3);
  Entry(failed, 0x2500, 1, 1, 2);
  EXPECT_EQ(Answer(ObjectRead({{0x2411, 1}, {0x2500, 1}})), failed);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwObjectRead, ServiceByteOtherThanOneListsNoEntries) {
  EXPECT_EQ(Answer(ObjectRead({{0x2410, 10}}, 0x0102)), Head(0, 5, 0x0102));
}

TEST_F(FwObjectRead, RefusedRequestsInTheirOrder) {
  /// A 14-byte answer: class, length word 16, service, word 8, result, version.
  auto refused = [](const Bytes& cmd, u16 result) {
    Bytes out(4 + 14, 0);
    TestFrames::PutLe(out, 0, 4, 2);
    TestFrames::PutLe(out, 2, 0x0C0D, 2);
    if (result != 1) {
      out[4] = cmd[4];
      out[5] = cmd[5];
      TestFrames::PutLe(out, 6, 16, 2);
      out[8] = cmd[8];
      out[9] = cmd[9];
      out[12] = cmd[12];
      out[13] = cmd[13];
      out[16] = cmd[14];
      out[17] = cmd[15];
    }
    TestFrames::PutLe(out, 14, result, 2);
    return out;
  };
  const Bytes good = ObjectRead({{0x2410, 10}});
  struct Case {
    const char* name;
    Bytes cmd;
    u16 result;
  };
  std::vector<Case> cases;
  Bytes shortCmd = good;
  shortCmd.resize(4 + 11);
  cases.push_back({"eleven bytes", shortCmd, 1});
  Bytes wrongVersion = good;
  wrongVersion[4 + 10] = 2;
  cases.push_back({"version 2", wrongVersion, 3});
  Bytes wrongClass = good;
  wrongClass[4 + 0] = 0x01;
  cases.push_back({"class 0x8401", wrongClass, 3});
  Bytes fifteen = good;
  fifteen.resize(4 + 15);
  cases.push_back({"fifteen bytes", fifteen, 2});
  Bytes wrongCount = good;
  wrongCount[4 + 12] = 2;
  cases.push_back({"n does not fit the length", wrongCount, 2});
  Bytes wrongWord = good;
  wrongWord[4 + 2] = 21;
  cases.push_back({"length word does not fit", wrongWord, 2});
  Bytes hugeCount = good;
  hugeCount[4 + 12] = 0xFF;
  hugeCount[4 + 13] = 0xFF;
  cases.push_back({"n of 65535", hugeCount, 2});
  Bytes versionAndShort = fifteen;
  versionAndShort[4 + 10] = 2;
  cases.push_back({"version checked before length", versionAndShort, 3});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Answer(c.cmd), refused(c.cmd, c.result));
  }
  EXPECT_TRUE(TakeEvents().empty());
}

}  // namespace
}  // namespace FwTest
