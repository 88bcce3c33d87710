// The application's files both ways: what the firmware writes the checker's
// readers take and equals the generator's bytes for the same values; what the
// generator writes the firmware loads; rejected content is emptied with its
// event, and a failed write or read leaves the file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "AppFixture.h"
#include "ApplicationFileBuilders.h"
#include "CCorvaneUid.h"
#include "CFwRevCnfBin.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "MFWQZ_AppFiles.h"
#include "MFWQZ_BusOd.h"
#include "MFWQZ_Confirm_Placeholder.h"
#include "ScmSystemCalls.h"

namespace FwTest {
namespace {

using Bytes = std::vector<uint8_t>;
const TestFiles::Udid kQor = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30};
constexpr const char* kFwRev = "FWREVCNF.BIN";
constexpr const char* kAuto = "AUTOCNF.BIN";
constexpr const char* kUid = "CORVANE.UID";

class AppFiles : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    InstallFiles({}, kQor);
    (void)MFWQZ_GetTargetId();
    MFWQZ_pucActQzUdid = kQor.data();
  }
  /// Marks the SADRs configured with these accepted revisions.
  static void Accept(const std::vector<TestFiles::RevisionEntry>& entries) {
    std::vector<uint16_t> sadrs;
    for (const auto& e : entries) sadrs.push_back(e.sadr);
    Configure(sadrs);
    for (const auto& e : entries) ASSERT_EQ(MFWQZ_StoreCnfRev(e.sadr, e.revision), 1);
  }
  /// The checker's reader over the bytes.
  static void CheckerReads(const Bytes& file, Bytes& buffer, Param::CFwRevCnfBin& reader) {
    std::copy(file.begin(), file.end(), buffer.begin());
    reader.ReadContent(static_cast<u32>(file.size()));
  }
};

TEST_F(AppFiles, WhatTheFirmwareWritesTheCheckerReadsAndTheGeneratorWritesTheSame) {
  const struct {
    const char* name;
    std::vector<TestFiles::RevisionEntry> entries;
    std::array<uint8_t, 16> password;
    uint8_t corvaneEmpty;
    uint32_t setupMode;
    uint16_t flags;
  } cases[] = {
      {"no module, no password", {}, {}, 0, 0, 0x07},
      {"three modules", {{2, 0x0003}, {7, 0xFFFF}, {1023, 0}}, {}, 0, 0, 0x07},
      {"a password", {{5, 1}}, {'s', 'e', 'c', 'r', 'e', 't'}, 0, 0, 0x07},
      {"key medium empty at start-up, setup mode", {{5, 1}}, {}, 1, 1, 0x1F},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Accept(c.entries);
    std::memcpy(MFWQZ_gaucPassword, c.password.data(), 16);
    HNFstp_bCorvaneEmpty = c.corvaneEmpty;
    MFWQZ_gulPlaceholderSetupMode = c.setupMode;
    ASSERT_EQ(MFWQZ_RevStore(1), 1u);
    TestFiles::FwRevCnfContent expected;
    expected.entries = c.entries;
    expected.flags = c.flags;
    expected.qorUdid = kQor;
    expected.targetId = HostTargetId();
    expected.password = c.password;
    const Bytes& file = host.files[kFwRev];
    EXPECT_EQ(file, TestFiles::BuildFwRevCnf(expected));
    Bytes buffer(8192);
    Param::CFwRevCnfBin reader(static_cast<u32>(buffer.size()), buffer.data());
    CheckerReads(file, buffer, reader);
    EXPECT_TRUE(reader.HasCpuId());
    EXPECT_EQ(0, std::memcmp(reader.GetCpuId(), HostTargetId().data(), 8));
    EXPECT_EQ(0, std::memcmp(reader.GetQorUdid(), kQor.data(), 6));
    EXPECT_EQ(0, std::memcmp(reader.GetPassword(), c.password.data(), 16));
    EXPECT_EQ(reader.WasCorvaneEmpty(), c.corvaneEmpty == 1);
    EXPECT_EQ(reader.IsSetupModeActive(), c.setupMode == 1);
    u32 length = 0;
    const u8* entries = nullptr;
    reader.StartReadingModuleSection(length, entries);
    EXPECT_EQ(length, 4 * c.entries.size());
    reader.StopReadingModuleSection();
    EXPECT_EQ(host.openHandles, 0);
    HNFstp_bCorvaneEmpty = 0;
    MFWQZ_gulPlaceholderSetupMode = 0;
    TearDown();
  }
}

TEST_F(AppFiles, WhatTheGeneratorWritesTheFirmwareLoads) {
  TestFiles::FwRevCnfContent content;
  content.entries = {{2, 0x0003}, {9, 0x0102}};
  content.flags = 0x07;
  content.qorUdid = kQor;
  content.targetId = HostTargetId();
  content.password = {'p', 'w'};
  for (const uint16_t version : {0x0101, 0x0100}) {
    SCOPED_TRACE(version);
    SetUp();
    Configure({2, 9});
    content.version = version;
    host.files[kFwRev] = TestFiles::BuildFwRevCnf(content);
    MFWQZ_gbLockPostFw = 1;
    ASSERT_EQ(MFWQZ_RevLoad(1), 1);
    EXPECT_EQ(MFWQZ_gbLockPostFw, 0u) << "a load releases the hold";
    u16 rev = 0;
    EXPECT_EQ(MFWQZ_ReadCnfRev(2, &rev), 1);
    EXPECT_EQ(rev, 3);
    EXPECT_EQ(MFWQZ_ReadCnfRev(9, &rev), 1);
    EXPECT_EQ(rev, 0x0102);
    EXPECT_EQ(0, std::memcmp(MFWQZ_sReqHardwareId.aucQzUdid, kQor.data(), 6));
    EXPECT_EQ(0, std::memcmp(MFWQZ_sReqHardwareId.aucTargetId, HostTargetId().data(), 8));
    const std::array<uint8_t, 16> password = version == 0x0101 ? content.password : std::array<uint8_t, 16>{};
    EXPECT_EQ(0, std::memcmp(MFWQZ_gaucPassword, password.data(), 16));
    EXPECT_TRUE(TakeEvents().empty());
    // The next write is always the current version, with the revisions read.
    ASSERT_EQ(MFWQZ_RevStore(0), 1u);
    TestFiles::FwRevCnfContent rewritten = content;
    rewritten.version = 0x0101;
    rewritten.password = password;
    EXPECT_EQ(host.files[kFwRev], TestFiles::BuildFwRevCnf(rewritten));
    TearDown();
  }
}

TEST_F(AppFiles, AutoCnfVariantsLoad) {
  const struct {
    const char* name;
    Bytes file;
    uint32_t optionsRequired;
    uint32_t flagsRequired;
    uint32_t optionsStatus;
  } cases[] = {
      {"empty", {}, 0, 0, 2},
      {"machine options", TestFiles::BuildAutoCnfRaw(7, {}, TestFiles::AutoCnfMachineOptionSection(Bytes(64, 0xA5)), {}),
       1, 0, 1},
      {"old layout without UDIDs", TestFiles::BuildAutoCnfOldLayout({}), 0, 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    host.files[kAuto] = c.file;
    MFWQZ_gbMachineOptionsActive = c.optionsRequired;
    MFWQZ_gbStartupFlagsActive = c.flagsRequired;
    EXPECT_EQ(MFWQZ_AutoLoad(), 1);
    EXPECT_EQ(MFWQZ_geMachineOptionsStatus, c.optionsStatus);
    EXPECT_EQ(host.files[kAuto], c.file) << "a good file stays";
    uint8_t options[76] = {};
    EXPECT_EQ(MFWQZ_GetMachineOptions(options, 76), c.optionsStatus);
    if (c.optionsStatus == 1) {
      EXPECT_EQ(options[8], 0xA5);
    }
    MFWQZ_gbMachineOptionsActive = 0;
    TearDown();
  }
}

TEST_F(AppFiles, EachContentRejectionOfFwRevCnfEmptiesItWithItsEvent) {
  TestFiles::FwRevCnfContent content;
  content.entries = {{2, 3}, {9, 4}};
  content.flags = 0x07;
  content.qorUdid = kQor;
  const Bytes good = TestFiles::BuildFwRevCnf(content);
  const auto with = [&good](size_t at, uint8_t value) {
    Bytes b = good;
    b[at] = value;
    return b;
  };
  const size_t second = 8 + 4 * 2 + 4;
  const struct {
    const char* name;
    Bytes file;
    uint16_t info0;
  } cases[] = {
      {"version", with(4, 0x02), 0},
      {"entry size", with(2, 5), 1},
      {"header size", with(6, 9), 2},
      {"entry CRC", with(10, 4), 5},
      {"SADR not ascending", [&] { Bytes b = good; b[12] = 1; return b; }(), 13},
      {"second section words", with(second, 3), 10},
      {"second section CRC", with(second + 30, 1), 11},
      {"second section missing", Bytes(good.begin(), good.begin() + second), 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Configure({2, 9});
    host.files[kFwRev] = c.file;
    EXPECT_EQ(MFWQZ_RevLoad(1), 1);
    const std::vector<Event> events = TakeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().code, 0x6200C086u);
    EXPECT_EQ(events.back().level, 2);
    EXPECT_EQ(events.back().info0, c.info0);
    EXPECT_TRUE(host.files[kFwRev].empty());
    u16 rev = 0;
    EXPECT_EQ(MFWQZ_ReadCnfRev(2, &rev), 0) << "nothing of a rejected file is accepted";
    EXPECT_EQ(MFWQZ_ModuleInfo[2].usStoredRev, 0);
    EXPECT_EQ(host.openHandles, 0);
    // The emptied file is what the checker reads as no file.
    Bytes buffer(64);
    Param::CFwRevCnfBin reader(static_cast<u32>(buffer.size()), buffer.data());
    reader.ReadContent(0);
    EXPECT_FALSE(reader.HasPassword());
    TearDown();
  }
}

TEST_F(AppFiles, AutoCnfContentRejectionsAreFatalAndEmptyTheFile) {
  Bytes badVersion = TestFiles::BuildAutoCnfRaw(7, {}, {}, {});
  badVersion[4] = 0x01;
  Bytes badCrc = TestFiles::BuildAutoCnfRaw(7, {}, TestFiles::AutoCnfMachineOptionSection(Bytes(64, 1)), {});
  badCrc[0] = 2;
  const struct {
    const char* name;
    Bytes file;
    uint32_t code;
    uint16_t info0;
  } cases[] = {
      {"version", badVersion, 0x9200C012u, 9},
      {"header CRC", badCrc, 0x9200C012u, 18},
      {"machine options not required",
       TestFiles::BuildAutoCnfRaw(7, {}, TestFiles::AutoCnfMachineOptionSection(Bytes(64, 1)), {}), 0x9200C018u, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    host.files[kAuto] = c.file;
    EXPECT_EQ(MFWQZ_AutoLoad(), 1);
    const std::vector<Event> events = TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, c.code);
    EXPECT_EQ(events[0].info0, c.info0);
    EXPECT_TRUE(host.files[kAuto].empty());
    EXPECT_EQ(MFWQZ_aDiagnoseFileInfo[0].ulSub1, 0xFFFFFFFFu);
    EXPECT_EQ(MFWQZ_geMachineOptionsStatus, 2u);
    TearDown();
  }
}

TEST_F(AppFiles, FailedWritesOfFwRevCnfLeaveTheOldFileAndTheState) {
  const struct {
    const char* name;
    int failWrites;
    int shortWrites;
    int failCloses;
    bool refuseOpen;
  } cases[] = {
      {"refused write", 1, 0, 0, false},
      {"short write", 0, 1, 0, false},
      {"failing close", 0, 0, 1, false},
      {"refused open", 0, 0, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Accept({{2, 3}});
    ASSERT_EQ(MFWQZ_RevLoad(1), 1);  // the installed file, now the last good content
    const Bytes before = host.files[kFwRev];
    MFWQZ_AcknowledgeFwMismatches = 1;
    MFWQZ_gbLockPostFw = 0;
    host.failWrites = c.failWrites;
    host.shortAnyWrites = c.shortWrites;
    host.failCloses = c.failCloses;
    if (c.refuseOpen) host.failing.insert(SCM_SC_OPEN_STORAGE);
    EXPECT_EQ(MFWQZ_RevStore(0), 0u);
    host.failing.clear();
    EXPECT_EQ(host.files[kFwRev], before);
    EXPECT_EQ(MFWQZ_AcknowledgeFwMismatches, 1u);
    EXPECT_EQ(MFWQZ_gbLockPostFw, 0u);
    EXPECT_EQ(host.openHandles, 0);
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), SCM_SC_UNLOCK_RESET), 1) << "the hold is released";
    const std::vector<Event> events = TakeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().code, 0x6200C086u);
    TearDown();
  }
}

TEST_F(AppFiles, FailedReadsKeepTheFileAndFailTheLoad) {
  const struct {
    const char* name;
    int failing;
    int shortRead;
  } cases[] = {{"refused size", SCM_SC_GET_STORAGE_LENGTH, 0}, {"short read", 0, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    TestFiles::FwRevCnfContent content;
    content.entries = {{2, 3}};
    host.files[kFwRev] = TestFiles::BuildFwRevCnf(content);
    const Bytes before = host.files[kFwRev];
    if (c.failing != 0) host.failing.insert(c.failing);
    host.faultyFile = kFwRev;
    host.shortReadBy = c.shortRead;
    EXPECT_EQ(MFWQZ_RevLoad(1), 0);
    host.failing.clear();
    EXPECT_EQ(host.files[kFwRev], before);
    EXPECT_EQ(host.openHandles, 0);
    EXPECT_EQ(TakeEvents().back().code, 0x6200C086u);
    TearDown();
  }
}

TEST_F(AppFiles, CorvaneUidIsCreatedWhenMissingAndTheFlashCopyIsWhatTheCheckerReads) {
  host.files.erase(kUid);
  host.flash = Bytes(18, 0);
  ASSERT_EQ(MFWQZ_ReadCorvaneId(kQor.data()), 1);
  EXPECT_EQ(MFWQZ_bCvnChanged, 1u) << "flash area 16 holds another identity";
  // The host keeps a created file's name in lower case; look it up as the host does.
  const Bytes* created = host.Find(kUid);
  ASSERT_NE(created, nullptr);
  ASSERT_EQ(created->size(), 18u);
  Bytes buffer = *created;
  Param::CCorvaneUid file(18, buffer.data());
  file.ReadContent(18);
  EXPECT_EQ(0, std::memcmp(file.GetQorUdid(), kQor.data(), 6));
  EXPECT_LT(file.GetTimestamp(), 1ull << 52);
  ASSERT_EQ(MFWQZ_SetCorvaneId(), 1);
  EXPECT_EQ(*host.flash, *host.Find(kUid));
  Bytes flashBuffer = *host.flash;
  Param::CCorvaneUid flash(18, flashBuffer.data());
  flash.ReadContent(18);
  EXPECT_EQ(flash.GetTimestamp(), file.GetTimestamp());
  EXPECT_EQ(MFWQZ_ReadCorvaneId(kQor.data()), 1);
  EXPECT_EQ(MFWQZ_bCvnChanged, 0u);
  EXPECT_EQ(host.openHandles, 0);
  const std::vector<Event> events = TakeEvents();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events.back(), (Event{2, 0x6200C087u, 0, 4}));
}

TEST_F(AppFiles, CorvaneUidOfAWrongSizeIsRecreatedAndABusyOneKept) {
  host.files[kUid] = Bytes(17, 1);
  ASSERT_EQ(MFWQZ_ReadCorvaneId(kQor.data()), 1);
  EXPECT_EQ(host.files[kUid].size(), 18u);
  EXPECT_EQ(host.openHandles, 0);
  const Bytes created = host.files[kUid];
  host.failing.insert(SCM_SC_GET_STORAGE_LENGTH);
  EXPECT_EQ(MFWQZ_ReadCorvaneId(kQor.data()), 0);
  host.failing.clear();
  EXPECT_EQ(host.files[kUid], created) << "an I/O failure keeps the file";
  EXPECT_EQ(TakeEvents().back(), (Event{2, 0x6200C087u, 0, 1}));
}

TEST_F(AppFiles, MachineOptionArguments) {
  uint8_t buffer[80];
  EXPECT_EQ(MFWQZ_GetMachineOptions(nullptr, 4), 2u);
  EXPECT_EQ(MFWQZ_GetMachineOptions(buffer, 77), 2u);
  const std::vector<Event> events = TakeEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].code, 0x9200C017u);
  EXPECT_EQ(events[0].info0, 0);
  EXPECT_EQ(events[1].info0, 1);
  EXPECT_EQ(events[1].info1, 77u);
}

}  // namespace
}  // namespace FwTest
