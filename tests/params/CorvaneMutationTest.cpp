// "corvane.dat": header, CRC and record faults of a generated file; faults
// leave the UDID list empty and are not fatal.
#include <gtest/gtest.h>

#include <functional>

#include "EPSglobal.h"
#include "EPSudid.h"
#include "ParamFixture.h"
#include "ParameterFileBuilders.h"

namespace ParamTest {
namespace {

using FwTest::Event;
constexpr std::uint32_t kCorvane = 0x6200AF19;  ///< fault of "corvane.dat"

Event Fault(std::uint16_t reason, std::uint32_t info) { return {2, kCorvane, reason, info}; }

struct CorvaneRow {
  const char* name;                                  ///< what changes
  std::function<std::vector<Event>(Bytes&)> mutate;  ///< changes the file, returns the expected events
  bool loads = false;                                ///< the UDIDs load
};

void PrintTo(const CorvaneRow& row, std::ostream* os) { *os << row.name; }

class CorvaneMutation : public ParamFixture, public ::testing::WithParamInterface<CorvaneRow> {};

TEST_P(CorvaneMutation, RaisesTheNamedEventAndStaysNormal) {
  Bytes f = demoFiles.corvaneDat;
  const std::vector<Event> expected = GetParam().mutate(f);
  Init(demoFiles.kelParaSaf, f, *demoFiles.parData1);
  EXPECT_EQ(TakeEvents(), expected);
  EXPECT_EQ(EPS_gGlobal.ulModuleState, 0xFF00AA55u);
  const auto& udid = demo.nodes[2].udid;
  EXPECT_EQ(Read(static_cast<std::uint16_t>(0xCC00 + demo.nodes[2].sadr), 1),
            GetParam().loads ? Bytes(udid.begin(), udid.end()) : Bytes(6, 0));
}

/// Data length of the generated file.
std::uint32_t DataLength(const Bytes& f) { return Get32(f, 12); }

const CorvaneRow kRows[] = {
    {"version 0", [](Bytes& f) {
       Put16(f, 2, 0);
       RefreshCorvaneHeader(f);
       return std::vector<Event>{Fault(0, 0x20000)};
     }},
    {"version 3", [](Bytes& f) {
       Put16(f, 2, 3);
       RefreshCorvaneHeader(f);
       return std::vector<Event>{Fault(0, 0x20003)};
     }},
    {"file length field", [](Bytes& f) {
       Put32(f, 4, static_cast<std::uint32_t>(f.size() - 1));
       RefreshCorvaneHeader(f);
       return std::vector<Event>{Fault(1, static_cast<std::uint32_t>(f.size() - 1))};
     }},
    {"header length in the sum", [](Bytes& f) {
       Put16(f, 0, 68);
       RefreshCorvaneHeader(f);
       return std::vector<Event>{Fault(1, static_cast<std::uint32_t>(f.size()))};
     }},
    {"header CRC", [](Bytes& f) {
       f[63] ^= 0x80;
       return std::vector<Event>{Fault(2, Get16(f, 62))};
     }},
    {"CRC count", [](Bytes& f) {
       f.insert(f.end(), 4, 0);
       Put32(f, 4, static_cast<std::uint32_t>(f.size()));
       Put32(f, 20, 2);
       RefreshCorvaneHeader(f);
       return std::vector<Event>{Fault(3, 2)};
     }},
    {"data beyond the file", [](Bytes& f) {
       Put32(f, 8, 0xFFFFFFF0u);
       RefreshCorvaneHeader(f);
       return std::vector<Event>{Fault(4, static_cast<std::uint32_t>(f.size()))};
     }},
    {"CRC list beyond the file", [](Bytes& f) {
       Put32(f, 16, static_cast<std::uint32_t>(f.size() - 3));
       RefreshCorvaneHeader(f);
       return std::vector<Event>{Fault(4, static_cast<std::uint32_t>(f.size()))};
     }},
    {"block CRC", [](Bytes& f) {
       f[64 + 13 * 5 + 8] ^= 1;
       return std::vector<Event>{Fault(6, DataLength(f))};
     }},
    {"63 bytes", [](Bytes& f) {
       f.resize(63);
       return std::vector<Event>{Fault(1, 63)};
     }},
    {"cut to its 64-byte header", [](Bytes& f) {
       f.resize(64);
       return std::vector<Event>{Fault(1, Get32(f, 4))};
     }},
    {"12 data bytes", [](Bytes& f) {
       f = TestFiles::BuildCorvaneDat(Bytes(12, 0));
       return std::vector<Event>{Fault(4, 12)};
     }},
    {"13 data bytes", [](Bytes& f) {
       f = TestFiles::BuildCorvaneDat(TestFiles::CorvaneDatRecords({{12, {0, 0x11, 0x22, 0x33, 0x44, 0x52}}}));
       return std::vector<Event>{};
     }, true},
    {"version 1 loads and is rewritten", [](Bytes& f) {
       Put16(f, 2, 1);
       RefreshCorvaneHeader(f, true);
       return std::vector<Event>{Fault(7, 0x20001)};
     }, true},
    {"version 1 with the version-2 header CRC", [](Bytes& f) {
       Put16(f, 2, 1);
       RefreshCorvaneHeader(f, false);
       return std::vector<Event>{Fault(2, Get16(f, 62))};
     }},
};
INSTANTIATE_TEST_SUITE_P(Header, CorvaneMutation, ::testing::ValuesIn(kRows));

using CorvaneParse = ParamFixture;

TEST_F(CorvaneParse, AVersion1FileRequestsTheRewrite) {
  Bytes f = demoFiles.corvaneDat;
  Put16(f, 2, 1);
  RefreshCorvaneHeader(f, true);
  Init(demoFiles.kelParaSaf, f, *demoFiles.parData1);
  EXPECT_EQ(EPS_gUdidStore.bRequested, 1);
  EXPECT_EQ(EPS_UdidStoreInProgress(), 1);
}

TEST_F(CorvaneParse, OnlyUdidRecordsLoadEveryOtherIsAnUnknownObject) {
  const Bytes data = TestFiles::Records({{0x1200, 2, Bytes(6, 1)},
                                         {0xCC0D, 1, {0, 0x11, 0x22, 0x33, 0x44, 0x52}},
                                         {0xCC0E, 2, Bytes(6, 2)}});
  Init(demoFiles.kelParaSaf, TestFiles::BuildCorvaneDat(data), *demoFiles.parData1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x6200AF14, 0, 0x00021200}, {2, 0x6200AF14, 0, 0x0002CC0E}}));
  EXPECT_EQ(EPS_gGlobal.ucParamError, 1);
  EXPECT_EQ(U32(0x1200, 2), 1023u);
  EXPECT_EQ(Read(0xCC0D, 1), (Bytes{0, 0x11, 0x22, 0x33, 0x44, 0x52}));
}

TEST_F(CorvaneParse, AnEmptyFileIsNotParsedAndNotReported) {
  Init(demoFiles.kelParaSaf, {}, *demoFiles.parData1);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(CorvaneParse, ConfigurationModeOneSkipsTheFile) {
  Bytes area(demoFiles.kelParaSaf.begin() + 64, demoFiles.kelParaSaf.end() - 4);
  const Bytes mode = TestFiles::Records({{0x101B, 1, {1}}});
  area.insert(area.end(), mode.begin(), mode.end());
  Bytes broken = demoFiles.corvaneDat;
  broken[10] ^= 1;
  Init(TestFiles::BuildKelParaSaf(area), broken, *demoFiles.parData1);
  EXPECT_TRUE(TakeEvents().empty());
}

}  // namespace
}  // namespace ParamTest
