// File access through the host and the start-up file list.
#include <gtest/gtest.h>

#include "ScmProfile.h"
#include "FwUnitSupport.h"
#include "HNFffs.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "ScmSystemCalls.h"

namespace FwTest {
namespace {

class FwFileAccess : public FwFixture {};

TEST_F(FwFileAccess, OpenArgumentErrors) {
  const struct {
    const char* name;
    const char* mode;
    int32_t result;
    uint32_t info1;
  } cases[] = {
      {nullptr, "r", HNFffs_kBadArgument, 1}, {"A", nullptr, HNFffs_kBadArgument, 1},
      {"A", "rw", HNFffs_kBadArgument, 1},    {"", "r", HNFffs_kOpenFailed, 4},
      {"A", "a", HNFffs_kBadArgument, 2},     {"A", "", HNFffs_kBadArgument, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HNFffs_Open(c.name, c.mode), c.result);
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008A02, 0, c.info1}}));
  }
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
}

TEST_F(FwFileAccess, OpenResults) {
  host.files["A.BIN"] = {1, 2, 3};
  const int32_t handle = HNFffs_Open("A.BIN", "r");
  EXPECT_GE(handle, 0);
  EXPECT_EQ(HNFffs_Close(handle), 0);
  host.busyOpens = 1;
  EXPECT_EQ(HNFffs_Open("A.BIN", "r"), HNFffs_kBusy);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(HNFffs_Open("MISSING.BIN", "r"), HNFffs_kOpenFailed);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008A02, 0, 3}}));
  host.failing = {SCM_SC_OPEN_STORAGE};
  EXPECT_EQ(HNFffs_Open("A.BIN", "w"), HNFffs_kOpenFailed);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008A02, 0, 3}}));
  EXPECT_EQ(host.files["A.BIN"], (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(FwFileAccess, AWriteOpenCreatesAMissingFileUnderItsLowerCaseName) {
  const int32_t handle = HNFffs_Open("MISSING.BIN", "w");
  ASSERT_GE(handle, 0);
  const uint8_t bytes[2] = {7, 8};
  EXPECT_EQ(HNFffs_Write(bytes, 2, handle), 2);
  EXPECT_EQ(HNFffs_Close(handle), 0);
  EXPECT_EQ(host.files["missing.bin"], (std::vector<uint8_t>{7, 8}));
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwFileAccess, MissingAdditionalParametersGiveThePseudoHandle) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no pseudo handle (next test)";
  }
  const int32_t handle = HNFffs_Open("PARDATA1.BIN", "r");
  EXPECT_EQ(handle, 0xFAFE);
  uint8_t buffer[4];
  EXPECT_EQ(HNFffs_Size(handle), 0);
  EXPECT_EQ(HNFffs_Read(buffer, 4, handle), 0);
  EXPECT_EQ(HNFffs_Write(buffer, 4, handle), HNFffs_kInvalidHandle);
  EXPECT_EQ(HNFffs_Close(handle), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008A05, 0, 2}}));
}

TEST_F(FwFileAccess, OlderReleaseOpensAMissingAdditionalParameterFileAsAnyMissingFile) {
  if constexpr (!SCM_kLegacy) {
    GTEST_SKIP() << "the current release gives the pseudo handle";
  }
  EXPECT_EQ(HNFffs_Open("PARDATA1.BIN", "r"), HNFffs_kOpenFailed);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008A02, 0, 3}}));
}

TEST_F(FwFileAccess, HandleBufferAndHostErrors) {
  host.files["A.BIN"] = {1, 2, 3};
  const int32_t handle = HNFffs_Open("A.BIN", "r");
  uint8_t buffer[4];
  const struct {
    const char* what;
    std::function<int32_t()> call;
    int32_t result;
    uint32_t code, info1;
  } cases[] = {
      {"size of negative handle", [] { return HNFffs_Size(-1); }, HNFffs_kInvalidHandle, 0x62008A04, 1},
      {"read of negative handle", [&] { return HNFffs_Read(buffer, 4, -5); }, HNFffs_kInvalidHandle, 0x62008A03, 1},
      {"read into null", [&] { return HNFffs_Read(nullptr, 4, handle); }, HNFffs_kBadArgument, 0x62008A03, 2},
      {"write of negative handle", [&] { return HNFffs_Write(buffer, 4, -1); }, HNFffs_kInvalidHandle, 0x62008A05, 1},
      {"write from null", [&] { return HNFffs_Write(nullptr, 4, handle); }, HNFffs_kBadArgument, 0x62008A05, 3},
      {"close of negative handle", [] { return HNFffs_Close(-1); }, HNFffs_kInvalidHandle, 0x62008A01, 1},
      {"size of unknown handle", [] { return HNFffs_Size(99); }, HNFffs_kInvalidHandle, 0x62008A04, 2},
      {"read of unknown handle", [&] { return HNFffs_Read(buffer, 4, 99); }, HNFffs_kInvalidHandle, 0x62008A03, 4},
      {"write of unknown handle", [&] { return HNFffs_Write(buffer, 4, 99); }, HNFffs_kInvalidHandle, 0x62008A05, 2},
      {"close of unknown handle", [] { return HNFffs_Close(99); }, HNFffs_kInvalidHandle, 0x62008A01, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), c.result) << c.what;
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, c.code, 0, c.info1}})) << c.what;
  }
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
  EXPECT_EQ(HNFffs_Read(buffer, 4, handle), 3);
  EXPECT_EQ(HNFffs_Format(), 0);
}

/// The start-up file list over the fake host.
class FwFileList : public FwFixture {
 public:
  void SetUp() override {
    FwFixture::SetUp();
    HNFstp_aFileSpace[0].ulUsed = 0;
    HNFstp_aFileSpace[1].ulUsed = 0;
    HNFstp_bCorvaneEmpty = 0;
    for (auto& entry : HNFstp_aFileList) {
      entry.ulUsed = 1;
    }
    host.files["KEL_PARA.SAF"] = std::vector<uint8_t>(10, 0x11);
    host.files["CORVANE.DAT"] = std::vector<uint8_t>(7, 0x22);
    host.files["PARDATA1.BIN"] = std::vector<uint8_t>(5, 0x33);
  }
  /// (size, first byte or -1 when empty/absent) of each slot.
  std::vector<std::pair<uint32_t, int>> Slots() {
    std::vector<std::pair<uint32_t, int>> out;
    for (const auto& f : HNFstp_Files) {
      out.emplace_back(f.ulSize, f.pucData != nullptr && f.ulSize > 0 ? f.pucData[0] : (f.pucData ? -1 : -2));
    }
    return out;
  }
};

TEST_F(FwFileList, LoadsEveryFileOfTheListInListOrder) {
  EXPECT_EQ(HNFstp_ffsInit(), 0u);
  // The older release's list has no "PARDATA1.BIN".
  const std::vector<std::pair<uint32_t, int>> expected =
      SCM_kLegacy ? std::vector<std::pair<uint32_t, int>>{{10, 0x11}, {7, 0x22}}
                  : std::vector<std::pair<uint32_t, int>>{{10, 0x11}, {7, 0x22}, {5, 0x33}};
  EXPECT_EQ(Slots(), expected);
  EXPECT_STREQ(HNFstp_Files[0].acName, "KEL_PARA.SAF");
  EXPECT_STREQ(HNFstp_Files[1].acName, "CORVANE.DAT");
  if constexpr (!SCM_kLegacy) {
    EXPECT_STREQ(HNFstp_Files[2].acName, "PARDATA1.BIN");
    EXPECT_EQ(HNFstp_Files[2].pucData, HNFstp_Files[0].pucData + 12) << "safe space, rounded to 4";
  }
  EXPECT_EQ(HNFstp_kFileCount, SCM_kLegacy ? 2u : 3u);
  EXPECT_EQ(HNFstp_IsCorvaneEmpty(), 0);
  EXPECT_EQ(host.openHandles, 0);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwFileList, EmptyFiles) {
  const struct {
    const char* name;
    uint32_t result;
    uint8_t flag;
  } cases[] = {// the older release keeps no key-medium-empty flag
               {"KEL_PARA.SAF", SCM_kLegacy ? 0u : 1u, SCM_kLegacy ? uint8_t{0} : uint8_t{1}},
               {"CORVANE.DAT", 0, 0},
               {"PARDATA1.BIN", 0, 0}};
  for (const auto& c : cases) {
    SetUp();
    host.files[c.name].clear();
    EXPECT_EQ(HNFstp_ffsInit(), c.result) << c.name;
    EXPECT_EQ(HNFstp_IsCorvaneEmpty(), c.flag) << c.name;
    EXPECT_TRUE(TakeEvents().empty());
    EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
  }
}

TEST_F(FwFileList, MissingAdditionalParametersLoadEmpty) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release never reads the additional-parameter file";
  }
  host.files.erase("PARDATA1.BIN");
  EXPECT_EQ(HNFstp_ffsInit(), 0u);
  EXPECT_EQ(Slots()[2], (std::pair<uint32_t, int>{0, -1}));
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
}

TEST_F(FwFileList, BusyStorageIsWaitedOut) {
  host.busyOpens = 5;
  EXPECT_EQ(HNFstp_ffsInit(), 0u);
  EXPECT_EQ(Slots()[0], (std::pair<uint32_t, int>{10, 0x11}));
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwFileList, EveryFailureOfAnEntryLeavesItsSlotEmptyAndClosesTheFile) {
  const struct {
    const char* what;
    std::function<void(FwFileList&)> arrange;
    std::vector<Event> events;
    int emptySlot;
  } cases[] = {
      {"missing key file", [](FwFileList& t) { t.host.files.erase("KEL_PARA.SAF"); },
       {{2, 0x62008A02, 0, 3}, {3, 0x92008802, 0, 0}}, 0},
      {"missing key-medium file", [](FwFileList& t) { t.host.files.erase("CORVANE.DAT"); },
       {{2, 0x62008A02, 0, 3}, {3, 0x92008802, 0, 1}}, 1},
      {"size fails", [](FwFileList& t) { t.host.failAfterOpen = 0x86; },
       {{2, 0x62008A04, 0, 2}, {3, 0x92008808, 0, 0}}, 0},
      {"read fails", [](FwFileList& t) { t.host.failAfterOpen = 0x87; },
       {{2, 0x62008A03, 0, 4}, {3, 0x92008803, 0, 0}}, 0},
      {"short read", [](FwFileList& t) { t.host.shortReadBy = 1; }, {{3, 0x92008803, 0, 0}}, 0},
      {"key file larger than the safe space",
       [](FwFileList& t) { t.host.files["KEL_PARA.SAF"] = std::vector<uint8_t>(HNFstp_kSafeSpaceSize + 1, 1); },
       {{3, 0x92008809, 0, 0}}, 0},
      {"key file and additional parameters do not fit together",
       [](FwFileList& t) { t.host.files["KEL_PARA.SAF"] = std::vector<uint8_t>(HNFstp_kSafeSpaceSize - 4, 1); },
       {{3, 0x92008809, 0, 2}}, 2},
  };
  for (const auto& c : cases) {
    if (SCM_kLegacy && static_cast<uint32_t>(c.emptySlot) >= HNFstp_kFileCount) {
      continue;  // the older release has no additional-parameter file
    }
    SetUp();
    c.arrange(*this);
    HNFstp_ffsInit();
    EXPECT_EQ(TakeEvents(), c.events) << c.what;
    EXPECT_EQ(HNFstp_Files[c.emptySlot].pucData, nullptr) << c.what;
    EXPECT_EQ(HNFstp_Files[c.emptySlot].ulSize, 0u) << c.what;
    for (int j = 0; j < static_cast<int>(HNFstp_kFileCount); ++j) {
      if (j != c.emptySlot) {
        EXPECT_NE(HNFstp_Files[j].pucData, nullptr) << c.what << " slot " << j;
      }
    }
    EXPECT_EQ(host.openHandles, 0) << c.what;
    EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 0) << c.what;
  }
}

TEST_F(FwFileList, AnUnusedEntryIsFatal) {
  HNFstp_aFileList[1].ulUsed = 0;
  EXPECT_EQ(HNFstp_ffsInit(), 0u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x92008807, 0, HNFstp_kFileCount - 1}}));
  EXPECT_TRUE(host.calls.empty());
  HNFstp_aFileList[1].ulUsed = 1;
}

TEST_F(FwFileList, NothingIsLoadedWhenFailSafe) {
  HNFiff_ModuleStateFailSafe();
  host.files["KEL_PARA.SAF"].clear();
  EXPECT_EQ(HNFstp_ffsInit(), 0u);
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(HNFstp_IsCorvaneEmpty(), 0);
}

}  // namespace
}  // namespace FwTest
