// The idle checks over the real object dictionary: the parameter check against
// 0x1018/6, the block checker's limits, the error-counter reports with their
// holds, the counter getters, and the machine options behind 0xE400/2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ApplicationFileBuilders.h"
#include "EPSglobal.h"
#include "EPSod.h"
#include "HNFhwt.h"
#include "HNFiff_Crc.h"
#include "MFWQZ.h"
#include "MFWQZ_AppFiles.h"
#include "MFWQZ_Placeholder.h"
#include "ParamFixture.h"
#include "ParameterFileBuilders.h"
#include "SERR.h"

namespace ParamTest {
namespace {

using FwTest::Event;

/// Bytes of 0x1018/6: the u32 timestamp and 67 CRCs.
constexpr std::size_t kRefBytes = 4 + 4 * 67;

Event ParFault(std::uint32_t block, std::uint32_t crc) {
  return {2, EPS_kEvtParameterCrc, static_cast<std::uint16_t>(block << 8), crc};
}

class Idle : public ParamFixture {
 public:
  void SetUp() override {
    ParamFixture::SetUp();
    MFWQZ_gbMachineOptionsActive = 0;
    MFWQZ_geMachineOptionsStatus = 2;
  }
  void TearDown() override {
    MFWQZ_gbMachineOptionsActive = 0;
    MFWQZ_geMachineOptionsStatus = 2;
    ParamFixture::TearDown();
  }
  /// Asks for one parameter check and runs the idle pass; the result field, or -1 when not done.
  int Check() {
    EPS_gCalcCrc = EPS_kCalcCrcRequest;
    EPS_Idle();
    if ((EPS_gCalcCrc & EPS_kCalcCrcDone) == 0 || (EPS_gCalcCrc & EPS_kCalcCrcRequest) != 0) {
      return -1;
    }
    return static_cast<int>((EPS_gCalcCrc >> EPS_kCalcCrcResultShift) & EPS_kCalcCrcResultMask);
  }
  /// The references of the loaded parameters, learnt block by block from the check's own reports.
  Bytes LearnReferences() {
    Bytes refs(kRefBytes, 0);
    EPS_gOwnChecksum.pucData = refs.data();
    EPS_gOwnChecksum.ulActLen = static_cast<std::uint32_t>(refs.size());
    // Each check reports the first block that differs (blocks of zero bytes have CRC 0 and match at once).
    int lastBlock = -1;
    for (int i = 0; i < 67; ++i) {
      (void)Check();
      const auto events = TakeEvents();
      if (events.empty()) {
        break;
      }
      EXPECT_EQ(events.size(), 1u);
      const int block = events[0].info0 >> 8;
      EXPECT_GT(block, lastBlock);
      lastBlock = block;
      Put32(refs, 4 + 4 * static_cast<std::size_t>(block), events[0].info1);
    }
    return refs;
  }
  /// The demo key file with a 0x1018/6 record appended to its parameter area.
  Bytes KelWithReferences(const Bytes& refs) {
    const Bytes& k = demoFiles.kelParaSaf;
    const Bytes first(k.begin() + Get32(k, 8), k.begin() + Get32(k, 8) + Get32(k, 12));
    Bytes area(k.begin() + Get32(k, 28), k.begin() + Get32(k, 28) + Get32(k, 32));
    const Bytes record = TestFiles::Records({{0x1018, 6, refs}});
    area.insert(area.end(), record.begin(), record.end());
    return TestFiles::BuildKelParaSaf(area, first);
  }
  Bytes refsStorage;
};

TEST_F(Idle, AKeyFileHoldingItsOwnReferencesPassesAndAChangedParameterIsFound) {
  InitDemo();
  (void)TakeEvents();
  refsStorage = LearnReferences();
  EXPECT_EQ(Check(), 1);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  // The same references delivered by the key file itself.
  Init(KelWithReferences(refsStorage), demoFiles.corvaneDat, *demoFiles.parData1);
  ASSERT_EQ(TakeEvents(), std::vector<Event>{});
  EXPECT_EQ(Read(0x1018, 6), refsStorage);
  EXPECT_EQ(Check(), 1);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  // A saved parameter of the first block changed afterwards.
  ASSERT_TRUE(WriteNet(0x1201, 2, {7}));
  EXPECT_EQ(Check(), 0);
  const auto events = TakeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, EPS_kEvtParameterCrc);
  EXPECT_EQ(events[0].info0, 0u);
}

TEST_F(Idle, TheParameterErrorFlagGivesZeroWithoutAWalk) {
  InitDemo();
  (void)TakeEvents();
  EPS_gOwnChecksum.ulActLen = 0;
  EPS_gGlobal.ucParamError = 1;
  EXPECT_EQ(Check(), 0);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
}

TEST_F(Idle, NoRequestOrADoneCheckRunsNothing) {
  InitDemo();
  (void)TakeEvents();
  EPS_gOwnChecksum.ulActLen = 0;
  EPS_gCalcCrc = 0;
  EPS_Idle();
  EXPECT_EQ(EPS_gCalcCrc, 0u);
  EPS_gCalcCrc = EPS_kCalcCrcRequest | EPS_kCalcCrcDone;
  EPS_Idle();
  EXPECT_EQ(EPS_gCalcCrc, EPS_kCalcCrcRequest | EPS_kCalcCrcDone);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
}

/// The block checker over 512-byte blocks of known bytes.
class ParCheck : public Idle {
 public:
  void SetUp() override {
    Idle::SetUp();
    data.resize(68 * 512 + 100);
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    refs.assign(kRefBytes, 0);
    for (std::size_t b = 0; b < 67; ++b) {
      Put32(refs, 4 + 4 * b, HNFiff_Crc32CalcSwp(0, 512, data.data() + 512 * b));
    }
    EPS_gOwnChecksum.pucData = refs.data();
    EPS_gOwnChecksum.ulActLen = static_cast<std::uint32_t>(refs.size());
  }
  void TearDown() override {
    EPS_gOwnChecksum.ulActLen = 0;
    Idle::TearDown();
  }
  Bytes data;
  Bytes refs;
};

TEST_F(ParCheck, CompletingTheSixtySeventhBlockEndsWithZeroAndNoEvent) {
  EPS_ParCheckStart();
  // Fed in pieces that cross the block boundaries.
  for (std::size_t at = 0; at < data.size(); at += 333) {
    EPS_ParCheckFeed(data.data() + at, static_cast<std::uint32_t>(std::min<std::size_t>(333, data.size() - at)));
  }
  EXPECT_EQ(EPS_ParCheckEnded(), 1);
  EXPECT_EQ(EPS_ParCheckFinish(), 0);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
}

TEST_F(ParCheck, TheLastPartialBlockIsComparedToo) {
  Put32(refs, 4 + 4 * 2, HNFiff_Crc32CalcSwp(0, 100, data.data() + 1024));
  EPS_ParCheckStart();
  EPS_ParCheckFeed(data.data(), 1124);
  EXPECT_EQ(EPS_ParCheckFinish(), 1);
  EPS_ParCheckStart();
  EPS_ParCheckFeed(data.data(), 1125);
  EXPECT_EQ(EPS_ParCheckFinish(), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{ParFault(2, HNFiff_Crc32CalcSwp(0, 101, data.data() + 1024))}));
}

TEST_F(ParCheck, AReferenceBeyondTheActualLengthCountsAsADifference) {
  EPS_gOwnChecksum.ulActLen = 4 + 4 * 10;
  EPS_ParCheckStart();
  EPS_ParCheckFeed(data.data(), 20 * 512);
  EXPECT_EQ(EPS_ParCheckFinish(), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{ParFault(10, HNFiff_Crc32CalcSwp(0, 512, data.data() + 5120))}));
}

TEST_F(ParCheck, TheFirstDifferenceEndsTheWalk) {
  data[512 * 3 + 17] ^= 1;
  EPS_ParCheckStart();
  EPS_ParCheckFeed(data.data(), 10 * 512);
  EXPECT_EQ(EPS_ParCheckEnded(), 1);
  EXPECT_EQ(EPS_ParCheckFinish(), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{ParFault(3, HNFiff_Crc32CalcSwp(0, 512, data.data() + 1536))}));
}

TEST_F(Idle, ErrorCountersAreReportedAtMostOncePerHoldFromStartUp) {
  InitDemo();
  (void)TakeEvents();
  const std::uint64_t start = 5000000;
  host.counter = start;
  EPS_Idle();  // start-up: the holds begin
  // Unit 5 grows every second: reported once the 10-minute hold has passed, then at most every 10 minutes.
  std::vector<Event> unit5;
  for (std::uint64_t s = 1; s <= 1300; ++s) {
    host.counter = start + s * 1000000;
    ++EPS_gGlobal.aulErrorCounters[5];
    EPS_Idle();
    for (const auto& e : TakeEvents()) {
      unit5.push_back(e);
    }
  }
  EXPECT_EQ(unit5, (std::vector<Event>{{2, EPS_kEvtUnit5Errors, 600, 600}, {2, EPS_kEvtUnit5Errors, 600, 1200}}));
  // Unit 3: a hold of an hour from start-up; unit 5's hold has passed meanwhile.
  EPS_gGlobal.aulErrorCounters[3] = 4;
  host.counter = start + 3599000000ull;
  EPS_Idle();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, EPS_kEvtUnit5Errors, 100, 1300}}));
  // The counters are looked at every 10 s: the next look after the hour.
  host.counter = start + 3608000000ull;
  EPS_Idle();
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  host.counter = start + 3609000000ull;
  EPS_Idle();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, EPS_kEvtUnit3Errors, 4, 4}}));
  EPS_gGlobal.aulErrorCounters[3] = 9;
  host.counter = start + 3609000000ull + 3599000000ull;
  EPS_Idle();
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  host.counter = start + 3609000000ull + 3610000000ull;  // the first look after the hold
  EPS_Idle();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, EPS_kEvtUnit3Errors, 5, 9}}));
}

TEST_F(Idle, CounterGettersAndTheirBounds) {
  InitDemo();
  EPS_gGlobal.aulErrorCounters[15] = 77;
  EXPECT_EQ(EPS_GetErrorCounter(15), 77);
  EXPECT_EQ(EPS_GetErrorCounter(16), -1);
  std::uint32_t before = 0;
  ASSERT_TRUE(SERR_GetCommonStatCtr(12, &before));
  SERR_CountCommonEvt(12);
  EXPECT_EQ(EPS_GetCommonEventCounter(0, 12), static_cast<std::int64_t>(before) + 1);
  EXPECT_EQ(EPS_GetCommonEventCounter(0, 13), -1);
  EXPECT_EQ(EPS_GetCommonEventCounter(1, 0), -1);
}

/// The 76 option bytes the stand-in application hands out.
Bytes Options() {
  Bytes o(76);
  for (std::size_t i = 0; i < o.size(); ++i) {
    o[i] = static_cast<std::uint8_t>(0xA0 + i);
  }
  return o;
}

/// The 92 bytes expected behind 0xE400/2.
Bytes OptionSet(std::uint32_t timestamp) {
  const Bytes o = Options();
  Bytes set(16, 0);
  set[0] = 2;
  set[1] = 1;
  Put16(set, 2, 1);
  Put32(set, 4, 76);
  Put32(set, 8, HNFiff_Crc32CalcSwp(0, 76, o.data()));
  Put32(set, 12, timestamp);
  set.insert(set.end(), o.begin(), o.end());
  return set;
}

TEST_F(Idle, MachineOptionsBecomeTheScmsOwnSetWithTheTimestampOfAutoCnf) {
  const Bytes autoCnf = TestFiles::BuildAutoCnfRaw(0x12345678u, {}, {}, {});
  ASSERT_EQ(Get16(autoCnf, 4), 0x0400);
  Bytes otherVersion = autoCnf;
  Put16(otherVersion, 4, 0x0300);
  const struct {
    const char* what;
    bool active;
    bool set;
    std::optional<Bytes> file;
    std::optional<std::uint32_t> timestamp;  ///< none: 0xE400/2 stays as loaded
    std::vector<Event> events;
  } cases[] = {
      {"inactive", false, true, autoCnf, std::nullopt, {}},
      {"no options (status 2)", true, false, autoCnf, std::nullopt, {}},
      {"version 0x0400", true, true, autoCnf, 0x12345678u, {}},
      {"another version", true, true, otherVersion, 0u, {{3, EPS_kEvtAutoCnfVersion, 9, 0x0300}}},
      {"missing", true, true, std::nullopt, 0u, {{2, 0x62008A02u, 0, 3}}},
      {"short", true, true, Bytes(autoCnf.begin(), autoCnf.begin() + 63), 0u, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InitDemo();
    (void)TakeEvents();
    host.files.erase("AUTOCNF.BIN");
    if (c.file) {
      host.files["AUTOCNF.BIN"] = *c.file;
    }
    const auto before = Read(0xE400, 2);
    MFWQZ_gbMachineOptionsActive = c.active ? 1 : 0;
    MFWQZ_geMachineOptionsStatus = c.set ? 1 : 2;
    const Bytes o = Options();
    std::memcpy(MFWQZ_aucMachineOptions, o.data(), o.size());
    EPS_WriteExternalMachineOptionsToSod();
    EXPECT_EQ(TakeEvents(), c.events);
    EXPECT_EQ(Read(0xE400, 2), c.timestamp ? std::optional<Bytes>(OptionSet(*c.timestamp)) : before);
  }
}

}  // namespace
}  // namespace ParamTest
