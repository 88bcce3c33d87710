// Access structures over the virtual object ranges (the current release only:
// the older release has no virtual ranges).
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "SOD.h"
#include "SodAccessFixture.h"

namespace StackTest {
namespace {

TEST_F(SodVirtTest, VirtualObjectTakesItsDescriptionFromTheCallback) {
  SOD_Access a = Resolved(0x1C00, 1);
  EXPECT_EQ(a.pHdl, nullptr);
  EXPECT_EQ(a.obj.attr.usAttr, 0x200C);
  EXPECT_EQ(a.obj.attr.ulDataType, SOD_k_UINT16);
  EXPECT_EQ(a.obj.attr.ulLength, 2U);
  EXPECT_EQ(a.obj.attr.pvData, &g_values.ownSadr);
  ASSERT_FALSE(g_callbackCalls.empty());
  EXPECT_EQ(g_callbackCalls.back().service, SOD_k_SRV_ATTR_GET);
}

TEST_F(SodVirtTest, RefusedAttributeGetMakesTheObjectUnresolvable) {
  g_switches.refuseAttrGet = true;
  g_switches.abortCode = 0x06040041;
  SOD_Access a = Acc(0x3000, 1);
  SOD_ErrorInfo err{};
  EXPECT_EQ(SOD_AttrGetVirt(&a, &err), nullptr);
  EXPECT_EQ(err.usErrNum, 0xF744);
  EXPECT_EQ(err.ulAbortCode, 0x06040041U);
}

TEST_F(SodVirtTest, ArrayRangeAddressesItsElementBySubIndex) {
  SOD_Access a = Resolved(0x3100, 2);
  EXPECT_EQ(a.obj.attr.pvData, &g_values.arrayData[2]);
  const u16 value = 0x4242;
  ASSERT_TRUE(SOD_WriteVirt(&a, &value, false));
  EXPECT_EQ(g_values.arrayData[2], 0x4242);
}

TEST_F(SodVirtTest, ReadsAndWritesGoThroughTheRangeCallback) {
  SOD_Access a = Resolved(0x3001, 1);
  g_callbackCalls.clear();
  const u32 value = 0xDEADBEEF;
  ASSERT_TRUE(SOD_WriteVirt(&a, &value, false));
  EXPECT_EQ(g_values.virtU32[1], 0xDEADBEEFU);
  SOD_ErrorInfo err{};
  EXPECT_EQ(SOD_ReadVirt(&a, &err), &g_values.virtU32[1]);
  EXPECT_EQ(Services(), (std::vector<u8>{SOD_k_SRV_BEFORE_WRITE, SOD_k_SRV_BEFORE_READ}));

  g_switches.refuseVirtRead = true;
  EXPECT_EQ(SOD_ReadVirt(&a, &err), nullptr);
  EXPECT_EQ(err.usErrNum, 0x274B);
  EXPECT_EQ(err.ulAbortCode, 0x08000020U);
  g_switches.refuseVirtWrite = true;
  EXPECT_FALSE(SOD_WriteVirt(&a, &value, false));
  EXPECT_EQ(LastError(), (ErrorReport{0x2752, 0x08000020}));
}

TEST_F(SodVirtTest, VirtualWriteRulesAndSegments) {
  SOD_Access n = Resolved(0x1C00, 1);
  const u16 tooBig = 1024;
  EXPECT_FALSE(SOD_WriteVirt(&n, &tooBig, false));
  EXPECT_EQ(LastError(), (ErrorReport{0x270D, 0x06090031}));
  n.ulSegOffset = 1;
  EXPECT_FALSE(SOD_WriteVirt(&n, &tooBig, false));
  EXPECT_EQ(LastError(), (ErrorReport{0xF751, 0x08000000}));
  SOD_Access c = Resolved(0x1C00, 0);
  const u8 three = 3;
  EXPECT_FALSE(SOD_WriteVirt(&c, &three, true));
  EXPECT_EQ(LastError(), (ErrorReport{0x270B, 0x06010002}));
  EXPECT_FALSE(SOD_WriteVirt(&n, nullptr, false));
  EXPECT_EQ(LastError(), (ErrorReport{0xF74F, 0x08000000}));
  ASSERT_TRUE(SOD_DisableSodWrite());
  EXPECT_FALSE(SOD_WriteVirt(&c, &three, false));
  EXPECT_EQ(LastError(), (ErrorReport{0x2750, 0x08000022}));
  ASSERT_TRUE(SOD_EnableSodWrite());

  SOD_Access s = Resolved(0x3000, 2);
  ASSERT_TRUE(SOD_ActualLenSetVirt(&s, 8));
  g_callbackCalls.clear();
  s.ulSegOffset = 0;
  s.ulSegSize = 4;
  const u8 text[4] = {'a', 'b', 'c', 'd'};
  ASSERT_TRUE(SOD_WriteVirt(&s, text, false));
  s.ulSegOffset = 4;
  ASSERT_TRUE(SOD_WriteVirt(&s, text, false));
  EXPECT_EQ(Services(), (std::vector<u8>{SOD_k_SRV_BEFORE_WRITE, SOD_k_SRV_BEFORE_WRITE, SOD_k_SRV_AFTER_WRITE}));
  // Out of bounds: reported like the real-table write, so the last info is this failure's.
  SERR_SetError(0x1000, 0x12345678);
  s.ulSegOffset = 6;
  EXPECT_FALSE(SOD_WriteVirt(&s, text, false));
  EXPECT_EQ(LastError(), (ErrorReport{0xF709, 0x06070012}));
  EXPECT_EQ(SERR_GetLastAddInfo(), 0x06070012U);
  const u8 bad[2] = {'a', 0x7F};
  s.ulSegOffset = 0;
  s.ulSegSize = 2;
  EXPECT_FALSE(SOD_WriteVirt(&s, bad, false));
  EXPECT_EQ(LastError(), (ErrorReport{0x270C, 0x06090030}));
}

TEST_F(SodVirtTest, VirtualEmptyValueWrite) {
  SOD_Access s = Resolved(0x3000, 2);
  ASSERT_TRUE(SOD_ActualLenSetVirt(&s, 4));
  g_callbackCalls.clear();
  ASSERT_TRUE(SOD_WriteVirt(&s, SOD_pvEmptyValue, false));
  u32 len = 9;
  ASSERT_TRUE(SOD_ActualLenGetVirt(&s, &len));
  EXPECT_EQ(len, 0U);
  EXPECT_EQ(Services(), (std::vector<u8>{SOD_k_SRV_BEFORE_WRITE, SOD_k_SRV_AFTER_WRITE}));
  SOD_Access n = Resolved(0x3000, 1);
  EXPECT_FALSE(SOD_WriteVirt(&n, SOD_pvEmptyValue, false));
  EXPECT_EQ(LastError(), (ErrorReport{0xF751, 0x08000000}));
}

TEST_F(SodVirtTest, ActualLengthOfVirtualObjects) {
  SOD_Access n = Resolved(0x1C00, 1);
  SOD_Access s = Resolved(0x3001, 2);
  u32 len = 0;
  ASSERT_TRUE(SOD_ActualLenGetVirt(&n, &len));
  EXPECT_EQ(len, 2U);
  ASSERT_TRUE(SOD_ActualLenSetVirt(&s, 3));
  ASSERT_TRUE(SOD_ActualLenGetVirt(&s, &len));
  EXPECT_EQ(len, 3U);
  EXPECT_FALSE(SOD_ActualLenSetVirt(&s, 9));
  EXPECT_EQ(LastError(), (ErrorReport{0xF756, 0x08000000}));
  EXPECT_FALSE(SOD_ActualLenSetVirt(&n, 1));
  EXPECT_EQ(LastError(), (ErrorReport{0xF757, 0x08000000}));
  EXPECT_FALSE(SOD_ActualLenSetVirt(nullptr, 1));
  EXPECT_EQ(LastError(), (ErrorReport{0xF755, 0x08000000}));
  EXPECT_FALSE(SOD_ActualLenGetVirt(nullptr, &len));
  EXPECT_EQ(LastError(), (ErrorReport{0xF759, 0x08000000}));
  EXPECT_FALSE(SOD_ActualLenGetVirt(&n, nullptr));
  EXPECT_EQ(LastError(), (ErrorReport{0xF75A, 0x08000000}));
}

TEST_F(SodVirtTest, IterationWalksRangeBySubIndexThenIndex) {
  std::vector<std::pair<u16, u8>> seen;
  SOD_Access a{};
  SOD_ErrorInfo err{};
  g_callbackCalls.clear();
  for (const SOD_AttrPart* p = SOD_AttrGetNextVirt(true, &a, &err); p != nullptr;
       p = SOD_AttrGetNextVirt(false, &a, &err)) {
    seen.emplace_back(a.obj.usIndex, a.obj.ucSubIndex);
  }
  EXPECT_EQ(err.usErrNum, 0xFFFF);
  const std::vector<std::pair<u16, u8>> expected = {
      {0x1C00, 0}, {0x1C00, 1}, {0x1C00, 2}, {0x1C00, 3}, {0x3000, 0}, {0x3000, 1}, {0x3000, 2}, {0x3001, 0},
      {0x3001, 1}, {0x3001, 2}, {0x3100, 0}, {0x3100, 1}, {0x3100, 2}, {0x3100, 3}};
  EXPECT_EQ(seen, expected);
  // Service 0 ran for each object of the two callback ranges.
  EXPECT_EQ(g_callbackCalls.size(), 10U);
}

}  // namespace
}  // namespace StackTest
