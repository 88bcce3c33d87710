// The object callbacks, the own node's application callbacks, the initial
// consecutive time and the failure reasons of EPS_Init.
#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "EPScallbacks.h"
#include "EPSinit.h"
#include "ScmFirmwareIdent.h"
#include "EPSglobal.h"
#include "EPSod.h"
#include "ParamFixture.h"
#include "SAPL.h"
#include "ParameterFileBuilders.h"
#include "SERR.h"
#include "SNMTS.h"

namespace {
bool g_clockFails = false;    ///< the real-time clock cannot be read
bool g_clockFixed = false;    ///< the real-time clock answers g_fixedTime
timespec g_fixedTime = {};    ///< the answer of a fixed clock
}  // namespace

// The tests' real-time clock: fixed or failing on demand, the system's otherwise.
extern "C" int clock_gettime(clockid_t clock, struct timespec* ts) noexcept {
  if (clock == CLOCK_REALTIME && g_clockFails) {
    errno = EINVAL;
    return -1;
  }
  if (clock == CLOCK_REALTIME && g_clockFixed) {
    *ts = g_fixedTime;
    return 0;
  }
  return static_cast<int>(syscall(SYS_clock_gettime, clock, ts));
}

namespace ParamTest {
namespace {

using FwTest::Event;

class Callbacks : public ParamFixture {
 protected:
  void TearDown() override {
    g_clockFails = false;
    g_clockFixed = false;
    ParamFixture::TearDown();
  }
  /// An application write of one object, as the parameter parser makes it.
  bool WriteApp(std::uint16_t index, std::uint8_t sub, const Bytes& value) {
    SOD_Access acc{};
    acc.obj.usIndex = index;
    acc.obj.ucSubIndex = sub;
    SOD_ErrorInfo err{};
    if (SOD_AttrGetVirt(&acc, &err) == nullptr) {
      return false;
    }
    return SOD_WriteVirt(&acc, value.data(), true);
  }
};

struct TimeBaseRow {
  std::uint8_t timeBase;   ///< value written into 0x1200/3
  std::uint64_t multiplier;  ///< CT multiplier it selects
};

class TimeBase : public Callbacks, public ::testing::WithParamInterface<TimeBaseRow> {};

TEST_P(TimeBase, SelectsTheCtMultiplier) {
  InitOneNode();
  ASSERT_TRUE(WriteApp(0x1200, 3, {GetParam().timeBase}));
  EXPECT_EQ(EPS_gGlobal.ullCtMultiplier, GetParam().multiplier);
  EXPECT_TRUE(TakeEvents().empty());
}

INSTANTIATE_TEST_SUITE_P(AllFour, TimeBase,
                         ::testing::Values(TimeBaseRow{0, 0xF5C28F5B}, TimeBaseRow{1, 0x189374BC},
                                           TimeBaseRow{2, 0x02752546}, TimeBaseRow{3, 0x003EEA20}));

TEST_F(Callbacks, BeforeTheTimeBaseIsWrittenCtRunsOnTimeBaseTwo) {
  EPS_gGlobal.ullCtMultiplier = 0;
  InitOneNode();
  EXPECT_EQ(EPS_gGlobal.ullCtMultiplier, 0x02752546u);
}

TEST_F(Callbacks, TimeBaseFourIsRefusedByItsRangeAndKeepsTheMultiplier) {
  InitOneNode();
  ASSERT_TRUE(WriteApp(0x1200, 3, {0}));
  EXPECT_FALSE(WriteApp(0x1200, 3, {4}));
  EXPECT_EQ(EPS_gGlobal.ullCtMultiplier, 0xF5C28F5Bu);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(Callbacks, TheMultiplierCallbackChecksTheStoredValueItself) {
  InitOneNode();
  std::int8_t stored = 5;
  SOD_Entry record{0x1200, 3, {0x41C, SOD_k_INT8, 1, nullptr, &stored, nullptr, EPS_CallbackSetCtMultiplyer}};
  std::uint32_t abort = 0;
  EXPECT_FALSE(EPS_CallbackSetCtMultiplyer(SOD_k_SRV_AFTER_WRITE, &record, nullptr, 0, 0, &abort));
  EXPECT_EQ(abort, 0x08000000u);
  EXPECT_EQ(EPS_gGlobal.ullCtMultiplier, 0x02752546u);
  record.attr.pvData = nullptr;
  abort = 0;
  EXPECT_FALSE(EPS_CallbackSetCtMultiplyer(SOD_k_SRV_AFTER_WRITE, &record, nullptr, 0, 0, &abort));
  EXPECT_EQ(abort, 0x08000000u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200AF08, 0, 1}, {3, 0x9200AF16, 0, 0}}));
}

TEST_F(Callbacks, MachineOptionsMirrorTheirObjects) {
  InitOneNode();
  ASSERT_TRUE(WriteApp(0x2100, 32, {1}));
  EXPECT_EQ(EPS_gGlobal.ulMachineOptions, 0x80000000u);
  ASSERT_TRUE(WriteApp(0x2100, 1, {7}));
  EXPECT_EQ(EPS_gGlobal.ulMachineOptions, 0x80000001u);
  ASSERT_TRUE(WriteApp(0x2100, 32, {0}));
  EXPECT_EQ(EPS_gGlobal.ulMachineOptions, 0x00000001u);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(Callbacks, MachineOptionSubIndexAndMissingValueAreRefused) {
  InitOneNode();
  std::uint8_t value = 1;
  SOD_Entry record{0x2100, 33, {0x41C, SOD_k_UINT8, 1, nullptr, &value, nullptr, EPS_MachineOption}};
  std::uint32_t abort = 0;
  EXPECT_FALSE(EPS_MachineOption(SOD_k_SRV_AFTER_WRITE, &record, nullptr, 0, 0, &abort));
  EXPECT_EQ(abort, 0x06020000u);
  record.ucSubIndex = 0;
  EXPECT_FALSE(EPS_MachineOption(SOD_k_SRV_AFTER_WRITE, &record, nullptr, 0, 0, &abort));
  EXPECT_EQ(abort, 0x06020000u);
  EXPECT_TRUE(TakeEvents().empty());
  record.ucSubIndex = 3;
  record.attr.pvData = nullptr;
  EXPECT_FALSE(EPS_MachineOption(SOD_k_SRV_AFTER_WRITE, &record, nullptr, 0, 0, &abort));
  EXPECT_EQ(abort, 0x08000000u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200AF42, 0, 0}}));
  EXPECT_EQ(EPS_gGlobal.ulMachineOptions, 0u);
}

TEST_F(Callbacks, TheCommonEventCountersAreShownIn0x1004) {
  InitOneNode();
  SERR_CountCommonEvt(3);
  SERR_CountCommonEvt(3);
  SERR_CountCommonEvt(12);
  EXPECT_EQ(U32(0x1004, 4), 2u);
  EXPECT_EQ(U32(0x1004, 13), 1u);
  EXPECT_EQ(U32(0x1004, 1), 0u);
  EXPECT_EQ(U32(0x1004, 0), 13u);
}

TEST_F(Callbacks, InitialCtIsWallClockPlusCounterIn40Bits) {
  g_clockFixed = true;
  g_fixedTime = {1700000000, 123456789};
  host.counter = 777;
  const std::uint64_t expected = (1700000000ull * 1000000u + 123456u + 777u) & 0xFFFFFFFFFFull;
  EXPECT_EQ(SAPL_SCM_GetInitialCtValueClbk(), expected);
}

TEST_F(Callbacks, InitialCtIsAllOnesWhenTheClockFails) {
  g_clockFails = true;
  EXPECT_EQ(SAPL_SCM_GetInitialCtValueClbk(), 0xFFFFFFFFFFull);
}

TEST_F(Callbacks, OwnNodeCallbacksSetTheirRequestBits) {
  InitOneNode();
  EXPECT_EQ(EPS_gGlobal.ulRequests, 0u);
  SAPL_SNMTS_SwitchToOpReqClbk();
  EXPECT_EQ(EPS_gGlobal.ulRequests, 0x1u);
  SAPL_SNMTS_CalcParamChkSumClbk();
  EXPECT_EQ(EPS_gGlobal.ulRequests, 0x3u);
  SAPL_SNMTS_ErrorAckClbk();
  EXPECT_EQ(EPS_gGlobal.ulRequests, 0x3u);
  EXPECT_TRUE(SAPL_SNMTS_ParameterSetProcessed());
  EPS_gGlobal.ulRequests |= EPS_kReqParameterSetPending;
  EXPECT_FALSE(SAPL_SNMTS_ParameterSetProcessed());
}

TEST_F(Callbacks, MissingArgumentsAreReasonOne) {
  const HNFstp_Identity identity = {LdFwIdentStart, kScmUdid.data()};
  EPS_Init(nullptr, &identity);
  EPS_Init(slots, nullptr);
  const HNFstp_Identity noUdid = {LdFwIdentStart, nullptr};
  EPS_Init(slots, &noUdid);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>(3, Event{3, 0x9200AF0C, 0, 1})));
  EXPECT_EQ(EPS_gGlobal.ucStackInitialised, 0);
}

TEST_F(Callbacks, AStackThatDoesNotStartIsReasonFourAndLoadsNoFile) {
  static const SOD_Entry kEmptyTable[] = {{0xFFFF, 0, {0, 0, 0, nullptr, nullptr, nullptr, nullptr}}};
  const SOD_Entry* const saved = SAPL_ps_OD;
  SAPL_ps_OD = kEmptyTable;
  Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, *demoFiles.parData1);
  SAPL_ps_OD = saved;
  const auto events = TakeEvents();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), (Event{3, 0x9200AF0C, 0, 4}));
  EXPECT_EQ(EPS_gGlobal.ucStackInitialised, 1);
  // Neither the configuration manager's activation nor the additional sets ran.
  for (const auto& e : events) {
    EXPECT_NE(e.code, 0x9200A107u);
    EXPECT_NE(e, (Event{3, 0x9200AF0C, 0, 6}));
    EXPECT_NE(e.code, 0x9200AF1Bu);
  }
  EXPECT_EQ(EPS_gaNodes[0].usSadr, 0u);
}

TEST_F(Callbacks, ARefusedActivationIsReasonSix) {
  // A key file without a node list: the configuration manager has no node and
  // refuses (its 0xF107, fatal); reason 6 ends the start-up.
  Init(TestFiles::BuildKelParaSaf({}), demoFiles.corvaneDat, {});
  EXPECT_EQ(TakeEvents(), WithNoNode({}));
}

TEST_F(Callbacks, ARefusedActivationLeavesASoundAdditionalSetsFileUnreadAndOnStorage) {
  // Without a node every entry would be refused for want of its node and the
  // file emptied on storage: it is not parsed at all, and stays byte for byte.
  host.files["PARDATA1.BIN"] = *demoFiles.parData1;
  Init(TestFiles::BuildKelParaSaf({}), demoFiles.corvaneDat, *demoFiles.parData1);
  EXPECT_EQ(TakeEvents(), WithNoNode({}));
  EXPECT_EQ(host.files["PARDATA1.BIN"], *demoFiles.parData1);
  EXPECT_EQ(host.openHandles, 0);
}

}  // namespace
}  // namespace ParamTest
