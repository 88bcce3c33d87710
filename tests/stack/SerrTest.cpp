// Error reporting, statistic counters, control-flow counter, domain number and
// extended consecutive time.
#include <gtest/gtest.h>

#include "ScmProfile.h"
#include "SCFM.h"
#include "SDN.h"
#include "SERR.h"
#include "SOD.h"
#include "SPDO.h"
#include "StackFixture.h"

namespace StackTest {
namespace {

class SerrTest : public StackFixture {};

TEST_F(SerrTest, SetErrorHandsCodeAndInfoToTheCallbackAndKeepsTheInfo) {
  SERR_SetError(0x2306, 0x11223344);
  SERR_SetError(0xF30F, 7);
  ASSERT_EQ(g_errors.size(), 2U);
  EXPECT_EQ(g_errors[0], (ErrorReport{0x2306, 0x11223344}));
  EXPECT_EQ(g_errors[1], (ErrorReport{0xF30F, 7}));
  EXPECT_EQ(SERR_GetLastAddInfo(), 7U);
  SERR_Init();
  EXPECT_EQ(SERR_GetLastAddInfo(), 0U);
}

TEST_F(SerrTest, CommonAndSpdoCountersCount) {
  u32 before = 0;
  ASSERT_TRUE(SERR_GetCommonStatCtr(SERR_k_CRC1, &before));
  SERR_CountCommonEvt(SERR_k_CRC1);
  u32 after = 0;
  ASSERT_TRUE(SERR_GetCommonStatCtr(SERR_k_CRC1, &after));
  EXPECT_EQ(after, before + 1);
  u32 spdo = 0;
  SERR_GetCommonStatCtr(SERR_k_SPDO, &spdo);
  SERR_CountSpdoEvt();
  u32 spdo2 = 0;
  SERR_GetCommonStatCtr(SERR_k_SPDO, &spdo2);
  EXPECT_EQ(spdo2, spdo + 1);
}

/// Acyclic slots: one per node, 12 in the current release and 101 in the older one.
constexpr u16 k_ACYC_SLOTS = SCM_kLegacy ? 101 : 12;

TEST_F(SerrTest, ReadersRefuseBadIndicesAndNullOutputs) {
  u32 out = 0;
  EXPECT_TRUE(SERR_GetCommonStatCtr(12, &out));
  EXPECT_FALSE(SERR_GetCommonStatCtr(13, &out));
  EXPECT_FALSE(SERR_GetCommonStatCtr(0, nullptr));
  EXPECT_TRUE(SERR_GetAcycStatCtr(k_ACYC_SLOTS - 1, 3, &out));
  EXPECT_FALSE(SERR_GetAcycStatCtr(k_ACYC_SLOTS, 0, &out));
  EXPECT_FALSE(SERR_GetAcycStatCtr(0, 4, &out));
  EXPECT_FALSE(SERR_GetAcycStatCtr(0, 0, nullptr));
}

TEST_F(SerrTest, AcyclicEventsCountTheirSlotAndCommonTwelveButBadIndicesCountNothing) {
  u32 common = 0;
  u32 slot = 0;
  SERR_GetCommonStatCtr(SERR_k_ACYC, &common);
  SERR_GetAcycStatCtr(5, 2, &slot);
  SERR_CountAcycEvt(5, 2);
  u32 common2 = 0;
  u32 slot2 = 0;
  SERR_GetCommonStatCtr(SERR_k_ACYC, &common2);
  SERR_GetAcycStatCtr(5, 2, &slot2);
  EXPECT_EQ(common2, common + 1);
  EXPECT_EQ(slot2, slot + 1);
  SERR_CountAcycEvt(k_ACYC_SLOTS, 0);
  SERR_CountAcycEvt(0, 13);
  SERR_CountCommonEvt(13);
  u32 common3 = 0;
  SERR_GetCommonStatCtr(SERR_k_ACYC, &common3);
  EXPECT_EQ(common3, common2);
}

TEST_F(SerrTest, SameCallSequenceGivesTheSameControlFlowCount) {
  auto run = [] {
    SCFM_Init();
    SERR_SetError(0x2306, 1);
    SERR_CountCommonEvt(3);
    u32 out = 0;
    SERR_GetCommonStatCtr(3, &out);
    SERR_GetCommonStatCtr(99, &out);
    SOD_ErrorInfo err{};
    const SOD_Entry* h = nullptr;
    SOD_AttrGet(0x1200, 9, &h, 0, &err);
    return SCFM_GetResetPath();
  };
  const u32 first = run();
  EXPECT_GT(first, 0U);
  EXPECT_EQ(run(), first);
  EXPECT_EQ(SCFM_GetResetPath(), 1U);  // only the reader's own step since the reset
}

TEST_F(SerrTest, DomainNumberIsReadAndSetThroughTheReadOnlyObject) {
  ASSERT_TRUE(SDN_Init());
  EXPECT_EQ(SDN_GetSdn(), 0);
  ASSERT_TRUE(SDN_SetSdn(77));
  EXPECT_EQ(SDN_GetSdn(), 77);
  EXPECT_EQ(g_values.sdn, 77);
  // The network may not change it.
  u16 other = 5;
  EXPECT_FALSE(SOD_Write(Handle(0x1200, 1), &other, false, 0, 0));
  EXPECT_EQ(LastError(), (ErrorReport{0x270B, 0x06010002}));
}

TEST_F(SerrTest, DomainNumberWithABeforeReadCallbackIsRefused) {
  static u16 s_sdn = 0;
  static auto clbk = [](u8, SOD_Entry*, const void*, u32, u32, u32*) { return true; };
  static const SOD_Entry k_table[] = {
      {0x1200, 1, {0x0104, SOD_k_UINT16, 2, nullptr, &s_sdn, nullptr, +clbk}},
      {SOD_k_END_INDEX, 0, {}},
  };
  UseTables(k_table, nullptr);
  ASSERT_TRUE(SOD_Init());
  g_errors.clear();
  EXPECT_FALSE(SDN_Init());
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0xF201, 0}}));
}

TEST_F(SerrTest, DomainNumberMissingReportsTheLookupError) {
  static u16 s_other = 0;
  static const SOD_Entry k_table[] = {
      {0x1300, 1, {0x0004, SOD_k_UINT16, 2, nullptr, &s_other, nullptr, nullptr}},
      {SOD_k_END_INDEX, 0, {}},
  };
  UseTables(k_table, nullptr);
  ASSERT_TRUE(SOD_Init());
  EXPECT_FALSE(SDN_Init());
  EXPECT_EQ(LastError(), (ErrorReport{0xF745, 0x06020000}));
}

TEST_F(SerrTest, ExtendedCtAddsWrapSafeDifferences) {
  SPDO_InitExtCt();
  EXPECT_EQ(SPDO_GetExtCt()->ucInit, 0);
  EXPECT_EQ(SPDO_GetExtCt()->ullCurrent, 0U);
  SPDO_SetExtCtInitValue(0xFF00000000ULL);
  EXPECT_EQ(SPDO_GetExtCt()->ucInit, 1);
  EXPECT_EQ(SPDO_GetExtCt()->ulLastCt, 0U);
  SPDO_UpdateExtCtValue(0xFFFFFFF0U);
  SPDO_UpdateExtCtValue(0x00000010U);  // the CT wrapped: 0x20 more
  EXPECT_EQ(SPDO_GetExtCt()->ullCurrent, 0xFF00000000ULL + 0xFFFFFFF0ULL + 0x20ULL);
  EXPECT_EQ(SPDO_GetExtCt()->ullInitial, 0xFF00000000ULL);
  EXPECT_EQ(SPDO_GetExtCt()->ulLastCt, 0x10U);
}

}  // namespace
}  // namespace StackTest
