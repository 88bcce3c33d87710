// "kel_para.saf": every header field, CRC and record fault of a generated file
// against the event and reason it must raise.
#include <gtest/gtest.h>

#include <functional>

#include "EPSglobal.h"
#include "ParamFixture.h"
#include "ParameterFileBuilders.h"

namespace ParamTest {
namespace {

using FwTest::Event;
constexpr std::uint32_t kKel = 0x9200AF18;     ///< fatal fault of "kel_para.saf"
constexpr std::uint32_t kLength = 0x6200AF12;  ///< record length fault
constexpr std::uint32_t kObject = 0x6200AF14;  ///< record of an unknown object
constexpr std::uint32_t kWrite = 0x9200AF22;   ///< record write refused

Event Fatal(std::uint16_t reason, std::uint32_t info) { return {3, kKel, reason, info}; }

/// Offsets of the generated file's parameter area.
std::uint32_t AreaLength(const Bytes& f) { return Get32(f, 32); }

struct KelRow {
  const char* name;                                   ///< what changes
  std::function<std::vector<Event>(Bytes&)> mutate;   ///< changes the file, returns the expected events
  bool nodesLoaded = false;                           ///< the node list loads
};

void PrintTo(const KelRow& row, std::ostream* os) { *os << row.name; }

class KelMutation : public ParamFixture, public ::testing::WithParamInterface<KelRow> {};

TEST_P(KelMutation, RaisesTheNamedEvent) {
  Bytes f = demoFiles.kelParaSaf;
  std::vector<Event> expected = GetParam().mutate(f);
  if (!GetParam().nodesLoaded) {
    expected = WithNoNode(expected);
  }
  // A sound "pardata1.bin" beside the key file: without the node list it is
  // not parsed, so it raises nothing and stays on storage as it was.
  host.files["PARDATA1.BIN"] = *demoFiles.parData1;
  Init(f, demoFiles.corvaneDat, *demoFiles.parData1);
  EXPECT_EQ(TakeEvents(), expected);
  EXPECT_EQ(U32(0xC400, 1), GetParam().nodesLoaded ? demo.nodes[0].sadr : 0u);
  EXPECT_EQ(host.files["PARDATA1.BIN"], *demoFiles.parData1);
  const auto& first = demo.sets.front();
  EXPECT_EQ(Read(static_cast<std::uint16_t>(0xE3FF + first.sadr), static_cast<std::uint8_t>(first.number + 1)),
            GetParam().nodesLoaded ? std::optional<Bytes>(Bytes(parData.begin() + 64,
                                                                parData.begin() + 64 + 16 + first.payload.size()))
                                   : std::optional<Bytes>(Bytes{}));
}

const KelRow kHeaderRows[] = {
    {"version", [](Bytes& f) {
       Put16(f, 2, 0x0201);
       RefreshKelHeader(f);
       return std::vector<Event>{Fatal(0, 0x2000201)};
     }},
    {"file length field", [](Bytes& f) {
       Put32(f, 4, static_cast<std::uint32_t>(f.size() + 1));
       RefreshKelHeader(f);
       return std::vector<Event>{Fatal(1, static_cast<std::uint32_t>(f.size() + 1))};
     }},
    {"areas longer than the file", [](Bytes& f) {
       Put32(f, 12, 4);
       RefreshKelHeader(f);
       return std::vector<Event>{Fatal(1, static_cast<std::uint32_t>(f.size()))};
     }},
    {"sum that would wrap", [](Bytes& f) {
       Put32(f, 12, 0xFFFFFFFFu - AreaLength(f) - 64 - 3);
       RefreshKelHeader(f);
       return std::vector<Event>{Fatal(1, static_cast<std::uint32_t>(f.size()))};
     }},
    {"header CRC", [](Bytes& f) {
       f[62] ^= 0x01;
       return std::vector<Event>{Fatal(2, Get16(f, 62))};
     }},
    {"CRC count", [](Bytes& f) {
       f.insert(f.end(), 4, 0);
       Put32(f, 4, static_cast<std::uint32_t>(f.size()));
       Put32(f, 40, 2);
       RefreshKelHeader(f);
       return std::vector<Event>{Fatal(3, 2)};
     }},
    {"parameter area beyond the file", [](Bytes& f) {
       Put32(f, 28, static_cast<std::uint32_t>(f.size()));
       RefreshKelHeader(f);
       return std::vector<Event>{Fatal(4, static_cast<std::uint32_t>(f.size()))};
     }},
    {"parameter area offset that would wrap", [](Bytes& f) {
       Put32(f, 28, 0xFFFFFFF0u);
       RefreshKelHeader(f);
       return std::vector<Event>{Fatal(4, static_cast<std::uint32_t>(f.size()))};
     }},
    {"CRC list beyond the file", [](Bytes& f) {
       Put32(f, 36, static_cast<std::uint32_t>(f.size() - 2));
       RefreshKelHeader(f);
       return std::vector<Event>{Fatal(4, static_cast<std::uint32_t>(f.size()))};
     }},
    {"area kind", [](Bytes& f) {
       Put32(f, 44, 258);
       RefreshKelHeader(f);
       return std::vector<Event>{Fatal(5, 258)};
     }},
    {"block CRC", [](Bytes& f) {
       f[64 + 10] ^= 0x40;
       return std::vector<Event>{Fatal(6, AreaLength(f))};
     }},
    {"63 bytes", [](Bytes& f) {
       f.resize(63);
       return std::vector<Event>{Fatal(1, 63)};
     }},
    {"cut to its 64-byte header", [](Bytes& f) {
       f.resize(64);
       return std::vector<Event>{Fatal(1, Get32(f, 4))};
     }},
    {"64 bytes with an empty area", [](Bytes& f) {
       f.resize(64);
       Put32(f, 4, 64);
       Put32(f, 32, 0);
       Put32(f, 36, 64);
       Put32(f, 40, 0);
       RefreshKelHeader(f);
       return std::vector<Event>{};
     }},
    {"bytes 48 to 61 not interpreted", [](Bytes& f) {
       f[50] = 0x77;
       RefreshKelHeader(f);
       return std::vector<Event>{};
     }, true},
};
INSTANTIATE_TEST_SUITE_P(Header, KelMutation, ::testing::ValuesIn(kHeaderRows));

/// A file around the demo's area with records appended (or the area cut).
Bytes WithArea(const Bytes& demoKel, const Bytes& extra, std::size_t cut = 0) {
  Bytes area(demoKel.begin() + 64, demoKel.begin() + 64 + AreaLength(demoKel) - cut);
  area.insert(area.end(), extra.begin(), extra.end());
  return TestFiles::BuildKelParaSaf(area);
}

Bytes Rec(std::uint16_t index, std::uint8_t sub, const Bytes& data) { return TestFiles::Records({{index, sub, data}}); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct RecordRow {
  const char* name;               ///< the record fault
  Bytes extra;                    ///< bytes appended to the demo's area
  std::vector<Event> expected;    ///< events
  bool flag;                      ///< the parameter-error flag is set
};

void PrintTo(const RecordRow& row, std::ostream* os) { *os << row.name; }

class KelRecordFault : public ParamFixture, public ::testing::WithParamInterface<RecordRow> {};

TEST_P(KelRecordFault, IsReportedAndTheRestLoads) {
  Init(WithArea(demoFiles.kelParaSaf, GetParam().extra), demoFiles.corvaneDat, *demoFiles.parData1);
  EXPECT_EQ(TakeEvents(), GetParam().expected);
  EXPECT_EQ(EPS_gGlobal.ucParamError, GetParam().flag ? 1 : 0);
  EXPECT_EQ(U32(0xC40B, 1), demo.nodes[11].sadr);
}

const RecordRow kRecordRows[] = {
    {"unknown object", Rec(0x3000, 1, {1}), {{2, kObject, 0, 0x00013000}}, true},
    {"unknown sub-index", Rec(0x100C, 9, {1}), {{2, kObject, 0, 0x0009100C}}, true},
    {"wrong length", Rec(0x100C, 1, {1, 2}), {{2, kLength, 0, 0x0001100C}}, true},
    {"string longer than its object", Rec(0x1200, 4, Bytes(7, 1)), {{2, kLength, 0, 0x00041200}}, true},
    {"constant object", Rec(0x1004, 0, {13}), {{3, kWrite, 1, 0x00001004}}, false},
    {"constant sub-index 0 of a range", Rec(0xC400, 0, {15}), {{3, kWrite, 1, 0x0000C400}}, false},
    {"time base outside its range", Rec(0x1200, 3, {4}), {{3, kWrite, 1, 0x00031200}}, false},
    {"1 stray byte", Bytes{0x01}, {}, false},
    {"6 stray bytes", Bytes(6, 0xEE), {}, false},
    {"record running past the area", Bytes{0x0C, 0x10, 0x01, 0x05, 0, 0, 0, 1, 2}, {{2, kLength, 0, 0x0001100C}}, true},
};
INSTANTIATE_TEST_SUITE_P(Records, KelRecordFault, ::testing::ValuesIn(kRecordRows));

using KelParse = ParamFixture;

TEST_F(KelParse, ReadOnlyObjectsThatAreNotConstantLoad) {
  // The record's value differs from what the object holds without it, so only a load gives it.
  Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, *demoFiles.parData1);
  ASSERT_NE(U32(0x2106, 6), 0x04030201u);
  Init(WithArea(demoFiles.kelParaSaf, Rec(0x2106, 6, {0x01, 0x02, 0x03, 0x04})), demoFiles.corvaneDat,
       *demoFiles.parData1);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(U32(0x2106, 6), 0x04030201u);
}

TEST_F(KelParse, ARecordForTheLastNodeIsCopiedTheSameForTheOneBeforeStaysInTheFile) {
  const Bytes set = {9, 8, 7, 6, 5};
  Init(WithArea(demoFiles.kelParaSaf, Concat(Rec(0xC40B, 11, set), Rec(0xC40A, 11, set))), demoFiles.corvaneDat,
       *demoFiles.parData1);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(Read(0xC40B, 11), set);
  EXPECT_EQ(Read(0xC40A, 11), set);
  EXPECT_EQ(Address(0xC40A, 11), kel.data() + kel.size() - 4 - set.size());
  const std::uint8_t* copied = Address(0xC40B, 11);
  EXPECT_FALSE(copied >= kel.data() && copied < kel.data() + kel.size());
}

/// A domain whose parameter area has exactly the given length.
Bytes KelOfAreaLength(ScmGen::Domain d, std::uint32_t length) {
  const Bytes first = Files(d).kelParaSaf;
  auto& set = d.nodes[0].parameterSet;
  set.resize(set.size() + length - AreaLength(first));
  return Files(d).kelParaSaf;
}

TEST_F(KelParse, AnAreaOf16384BytesHasOneCrcAndOneOf16385HasTwo) {
  for (const std::uint32_t length : {16384u, 16385u}) {
    SCOPED_TRACE(length);
    Bytes f = KelOfAreaLength(demo, length);
    ASSERT_EQ(AreaLength(f), length);
    EXPECT_EQ(Get32(f, 40), length == 16384u ? 1u : 2u);
    Init(f, demoFiles.corvaneDat, *demoFiles.parData1);
    EXPECT_TRUE(TakeEvents().empty());
    EXPECT_EQ(U32(0xC400, 10), length - (AreaLength(demoFiles.kelParaSaf) - demo.nodes[0].parameterSet.size()));
    // The second block's CRC is checked on its own.
    if (length == 16385u) {
      f[64 + 16384] ^= 1;
      host.files["PARDATA1.BIN"] = *demoFiles.parData1;
      Init(f, demoFiles.corvaneDat, *demoFiles.parData1);
      EXPECT_EQ(TakeEvents(), WithNoNode({Fatal(6, 1)}));
      EXPECT_EQ(host.files["PARDATA1.BIN"], *demoFiles.parData1);
    }
  }
}

TEST_F(KelParse, AnArea16385BytesLongWithOneCrcIsACountFault) {
  Bytes f = KelOfAreaLength(demo, 16385);
  f.resize(f.size() - 4);
  Put32(f, 4, static_cast<std::uint32_t>(f.size()));
  Put32(f, 40, 1);
  RefreshKelHeader(f);
  host.files["PARDATA1.BIN"] = *demoFiles.parData1;
  Init(f, demoFiles.corvaneDat, *demoFiles.parData1);
  EXPECT_EQ(TakeEvents(), WithNoNode({Fatal(3, 1)}));
  EXPECT_EQ(host.files["PARDATA1.BIN"], *demoFiles.parData1);
}

}  // namespace
}  // namespace ParamTest
