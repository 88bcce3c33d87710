// "pardata1.bin": header, CRC and entry faults of a generated file; every
// fault is fatal and empties the file on storage.
#include <gtest/gtest.h>

#include <functional>

#include "ParamFixture.h"
#include "ParameterFileBuilders.h"
#include "ScmSystemCalls.h"

namespace ParamTest {
namespace {

using FwTest::Event;
constexpr std::uint32_t kParData = 0x9200AF1B;  ///< fault of "pardata1.bin"

Event Fault(std::uint16_t reason, std::uint32_t info) { return {3, kParData, reason, info}; }
/// The report that the file was emptied.
const Event kEmptied = Fault(259, 0);

std::uint32_t DataLength(const Bytes& f) { return Get32(f, 12); }
/// Recomputes the block CRC and the header CRC after an entry changed.
void Refresh(Bytes& f) {
  RefreshBlocks(f, 64, DataLength(f), Get32(f, 24));
  RefreshParDataHeader(f);
}

struct ParRow {
  const char* name;                                  ///< what changes
  std::function<std::vector<Event>(Bytes&)> mutate;  ///< changes the file, returns the expected events
};

void PrintTo(const ParRow& row, std::ostream* os) { *os << row.name; }

class ParDataMutation : public ParamFixture, public ::testing::WithParamInterface<ParRow> {};

TEST_P(ParDataMutation, IsFatalAndEmptiesTheFile) {
  Bytes f = *demoFiles.parData1;
  std::vector<Event> expected = GetParam().mutate(f);
  expected.push_back(kEmptied);
  host.files["PARDATA1.BIN"] = f;
  Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, f);
  EXPECT_EQ(TakeEvents(), expected);
  EXPECT_TRUE(host.files["PARDATA1.BIN"].empty());
  EXPECT_EQ(host.openHandles, 0);
}

const ParRow kRows[] = {
    {"63 bytes", [](Bytes& f) {
       f.resize(63);
       return std::vector<Event>{Fault(1, 63)};
     }},
    {"version 0x0300", [](Bytes& f) {
       Put16(f, 4, 0x0300);
       RefreshParDataHeader(f);
       return std::vector<Event>{Fault(0, 0x0300)};
     }},
    {"header length", [](Bytes& f) {
       Put16(f, 2, 65);
       RefreshParDataHeader(f);
       return std::vector<Event>{Fault(8, 65)};
     }},
    {"size against data and CRCs", [](Bytes& f) {
       f.push_back(0);
       return std::vector<Event>{Fault(1, static_cast<std::uint32_t>(f.size()))};
     }},
    {"sum that would wrap", [](Bytes& f) {
       Put32(f, 20, 0x40000000u);
       RefreshParDataHeader(f);
       return std::vector<Event>{Fault(1, static_cast<std::uint32_t>(f.size()))};
     }},
    {"header CRC", [](Bytes& f) {
       f[61] ^= 0x10;
       return std::vector<Event>{Fault(2, Get32(f, 60))};
     }},
    {"data offset", [](Bytes& f) {
       Put32(f, 16, 65);
       RefreshParDataHeader(f);
       return std::vector<Event>{Fault(4, 65)};
     }},
    {"first-entry offset", [](Bytes& f) {
       Put16(f, 6, 80);
       RefreshParDataHeader(f);
       return std::vector<Event>{Fault(4, 80)};
     }},
    {"CRC count", [](Bytes& f) {
       f.resize(f.size() - 4);
       Put32(f, 20, 0);
       RefreshParDataHeader(f);
       return std::vector<Event>{Fault(3, 0)};
     }},
    {"CRC list beyond the file", [](Bytes& f) {
       Put32(f, 24, static_cast<std::uint32_t>(f.size() - 1));
       RefreshParDataHeader(f);
       return std::vector<Event>{Fault(4, static_cast<std::uint32_t>(f.size()))};
     }},
    {"block CRC", [](Bytes& f) {
       f[64 + 20] ^= 1;
       return std::vector<Event>{Fault(6, DataLength(f))};
     }},
    {"entry version", [](Bytes& f) {
       f[64 + 1] = 2;
       Refresh(f);
       return std::vector<Event>{Fault(256, 0x01000000u + 12)};
     }},
    {"entry number 16", [](Bytes& f) {
       f[64] = 16;
       Refresh(f);
       return std::vector<Event>{Fault(256, 0x01000000u + 12)};
     }},
    {"entry SADR 0", [](Bytes& f) {
       Put16(f, 64 + 2, 0);
       Refresh(f);
       return std::vector<Event>{Fault(256, 0x01000000u)};
     }},
    {"entry SADR outside the node list", [](Bytes& f) {
       Put16(f, 64 + 2, 500);
       Refresh(f);
       return std::vector<Event>{Fault(257, 0)};
     }},
    {"entry running into the CRC list", [](Bytes& f) {
       const std::size_t second = 64 + 16 + 20;
       Put32(f, second + 4, Get32(f, second + 4) + 4);
       Refresh(f);
       return std::vector<Event>{Fault(258, 1)};
     }},
    {"entry length that would wrap", [](Bytes& f) {
       Put32(f, 64 + 4, 0xFFFFFFF8u);
       Refresh(f);
       return std::vector<Event>{Fault(258, 0)};
     }},
    {"more entries than data", [](Bytes& f) {
       Put16(f, 0, 3);
       RefreshParDataHeader(f);
       return std::vector<Event>{Fault(258, 2)};
     }},
    {"header only", [](Bytes& f) {
       f = TestFiles::BuildParData1({});
       return std::vector<Event>{};
     }},
};
INSTANTIATE_TEST_SUITE_P(Faults, ParDataMutation, ::testing::ValuesIn(kRows));

using ParDataParse = ParamFixture;

TEST_F(ParDataParse, AnEmptyOrMissingFileLoadsNothingAndRaisesNothing) {
  Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, {});
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(Read(0xE3FF + 12, 2), Bytes{});
}

TEST_F(ParDataParse, AFileThatCannotBeOpenedToEmptyIsReason260) {
  host.files.erase("PARDATA1.BIN");
  // The host refuses the write open (a write open of a missing file would create it).
  host.failing = {SCM_SC_OPEN_STORAGE};
  Bytes f = *demoFiles.parData1;
  f[61] ^= 1;
  Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, f);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{Fault(2, Get32(f, 60)), Fault(260, 0xFAFE)}));
}

TEST_F(ParDataParse, ABusyStorageIsWaitedForWhileEmptying) {
  Bytes f = *demoFiles.parData1;
  f[61] ^= 1;
  host.files["PARDATA1.BIN"] = f;
  host.busyOpens = 3;
  Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, f);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{Fault(2, Get32(f, 60)), kEmptied}));
  EXPECT_TRUE(host.files["PARDATA1.BIN"].empty());
}

TEST_F(ParDataParse, EntriesOfSadr2000AndAboveAreSkippedInVersion0200) {
  const Bytes payload = {1, 2, 3};
  const Bytes f = TestFiles::BuildParData1({{1, 2000, {9, 9}}, {4, 12, payload}}, 0x0200);
  Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, f);
  EXPECT_TRUE(TakeEvents().empty());
  const auto set = Read(0xE3FF + 12, 5);
  ASSERT_TRUE(set.has_value());
  EXPECT_EQ(Bytes(set->begin() + 16, set->end()), payload);
}

TEST_F(ParDataParse, AVersion0200FileWhoseEntriesAreAllSkippedIsKept) {
  const Bytes f = TestFiles::BuildParData1({{1, 2000, {9, 9}}, {2, 3000, {8}}}, 0x0200);
  host.files["PARDATA1.BIN"] = f;
  Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, f);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(host.files["PARDATA1.BIN"], f);
}

TEST_F(ParDataParse, SetNumberZeroLoadsIntoSubIndexOne) {
  const Bytes f = TestFiles::BuildParData1({{0, 14, {7, 7, 7}}});
  Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, f);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(Address(0xE3FF + 14, 1), parData.data() + 64);
}

TEST_F(ParDataParse, StrayBytesBehindTheEntriesAreNotRead) {
  Bytes data = TestFiles::ParDataBlock({3, 12, {1, 2}});
  data.insert(data.end(), 5, 0xAB);
  Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, TestFiles::BuildParData1Raw(data, 1, 0x0100, 0));
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(Read(0xE3FF + 12, 4)->size(), 18u);
}

}  // namespace
}  // namespace ParamTest
