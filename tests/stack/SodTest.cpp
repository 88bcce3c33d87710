// Object dictionary: lookup, read, write rules, actual length, flags, start-up.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "SOD.h"
#include "StackFixture.h"

namespace StackTest {
namespace {

class SodTest : public StackFixture {};

// ---- lookup ----
struct LookupCase {
  u16 index;     ///< looked-up index
  u8 sub;        ///< looked-up sub-index
  bool found;    ///< expected to be found
  u16 errNum;    ///< expected error number
  u32 abort;     ///< expected abort code
};

class SodLookupTest : public StackFixture, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(SodLookupTest, FindsOrNamesWhatIsMissing) {
  const LookupCase& c = GetParam();
  const SOD_Entry* h = nullptr;
  SOD_ErrorInfo err{};
  const SOD_AttrPart* attr = SOD_AttrGet(c.index, c.sub, &h, 0, &err);
  EXPECT_EQ(attr != nullptr, c.found);
  EXPECT_EQ(err.usErrNum, c.errNum);
  EXPECT_EQ(err.ulAbortCode, c.abort);
  if (c.found) {
    EXPECT_EQ(h->usIndex, c.index);
    EXPECT_EQ(h->ucSubIndex, c.sub);
    EXPECT_EQ(attr, &h->attr);
    EXPECT_TRUE(SOD_HdlValid(h, nullptr));
  } else {
    EXPECT_EQ(h, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SodLookupTest,
                         ::testing::Values(LookupCase{0x1200, 1, true, 0xFFFF, 0},
                                           LookupCase{0x100C, 1, true, 0xFFFF, 0},
                                           LookupCase{0x2000, 11, true, 0xFFFF, 0},
                                           LookupCase{0x1200, 9, false, 0xF721, 0x06090011},
                                           LookupCase{0x1200, 0, false, 0xF721, 0x06090011},
                                           LookupCase{0x1300, 0, false, 0xF721, 0x06020000},
                                           LookupCase{0x0001, 0, false, 0xF721, 0x06020000},
                                           LookupCase{0xFFFF, 0, false, 0xF721, 0x06020000}));

TEST_F(SodTest, LookupWithoutOutputsIsRefused) {
  SOD_ErrorInfo err{};
  EXPECT_EQ(SOD_AttrGet(0x1200, 1, nullptr, 0, &err), nullptr);
  EXPECT_EQ(err.usErrNum, 0xF71E);
  EXPECT_EQ(err.ulAbortCode, 0x08000000U);
  const SOD_Entry* h = nullptr;
  EXPECT_EQ(SOD_AttrGet(0x1200, 1, &h, 0, nullptr), nullptr);
}

TEST_F(SodTest, IterationVisitsTheTableInOrderAndStaysAtTheEnd) {
  const SOD_Entry* h = nullptr;
  SOD_ErrorInfo err{};
  ASSERT_NE(SOD_AttrGetNext(true, &h, &err), nullptr);
  EXPECT_EQ(h, SOD_GetSodStartAddr());
  u32 count = 1;
  u32 prev = (static_cast<u32>(h->usIndex) << 8) | h->ucSubIndex;
  while (SOD_AttrGetNext(false, &h, &err) != nullptr) {
    const u32 key = (static_cast<u32>(h->usIndex) << 8) | h->ucSubIndex;
    EXPECT_GT(key, prev);
    prev = key;
    ++count;
  }
  // The older release's table also holds the 14 objects the current release's ranges describe.
  EXPECT_EQ(count, SCM_ProfileValue<u32>(24, 38));
  EXPECT_EQ(SOD_AttrGetNext(false, &h, &err), nullptr);
  EXPECT_EQ(SOD_AttrGetNext(false, nullptr, &err), nullptr);
  EXPECT_EQ(err.usErrNum, 0xF723);
}

TEST_F(SodTest, HandlesInsideTheTableOnEntryBoundariesAreValid) {
  const SOD_Entry* h = Handle(0x1200, 2);
  SOD_ErrorInfo err{};
  EXPECT_TRUE(SOD_HdlValid(h, &err));
  const auto* skewed = reinterpret_cast<const SOD_Entry*>(reinterpret_cast<const u8*>(h) + 1);
  EXPECT_FALSE(SOD_HdlValid(skewed, &err));
  EXPECT_EQ(err.usErrNum, 0xF724);
  EXPECT_EQ(err.ulAbortCode, 0x08000021U);
  const SOD_Entry outside{};
  EXPECT_FALSE(SOD_HdlValid(&outside, nullptr));
  EXPECT_FALSE(SOD_HdlValid(nullptr, nullptr));
}

// ---- read ----
struct ReadCase {
  std::string name;   ///< what is read
  u16 index;          ///< object
  u8 sub;             ///< sub-index
  u32 offset;         ///< read offset
  u32 size;           ///< read size
  bool refuseRead;    ///< the domain's before-read refuses
  u16 errNum;         ///< expected error number (0xFFFF: success)
  u32 abort;          ///< expected abort code
};

class SodReadTest : public StackFixture, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(SodReadTest, ChecksInOrder) {
  const ReadCase& c = GetParam();
  g_switches.refuseRead = c.refuseRead;
  SOD_ErrorInfo err{};
  const void* value = SOD_Read(Handle(c.index, c.sub), c.offset, c.size, &err);
  EXPECT_EQ(err.usErrNum, c.errNum);
  EXPECT_EQ(err.ulAbortCode, c.abort);
  EXPECT_EQ(value != nullptr, c.errNum == 0xFFFF);
  EXPECT_TRUE(g_errors.empty()) << "reads leave the report to the caller";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SodReadTest,
    ::testing::Values(ReadCase{"u16 whole", 0x1200, 1, 0, 0, false, 0xFFFF, 0},
                      ReadCase{"u16 with offset", 0x1200, 1, 1, 0, false, 0xF702, 0x08000000},
                      ReadCase{"u16 with size", 0x1200, 1, 0, 1, false, 0xF702, 0x08000000},
                      ReadCase{"string segment", 0x2000, 7, 2, 6, false, 0xFFFF, 0},
                      ReadCase{"string offset at length", 0x2000, 7, 8, 0, false, 0xF703, 0x06070012},
                      ReadCase{"string size beyond", 0x2000, 7, 2, 7, false, 0xF703, 0x06070012},
                      ReadCase{"domain read allowed", 0x2000, 8, 0, 0, false, 0xFFFF, 0},
                      ReadCase{"domain read refused", 0x2000, 8, 0, 0, true, 0x2711, 0x08000020}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return n;
    });

TEST_F(SodTest, ReadReturnsTheValueAddressPlusOffset) {
  SOD_ErrorInfo err{};
  EXPECT_EQ(SOD_Read(Handle(0x2000, 7), 3, 2, &err), g_values.vstring + 3);
  EXPECT_EQ(SOD_Read(Handle(0x1200, 2), 0, 0, &err), &g_values.scmSadr);
  // A pointer object reads the value behind the stored pointer.
  g_values.pointed = 0xCAFE;
  EXPECT_EQ(SOD_Read(Handle(0x2000, 9), 0, 0, &err), &g_values.pointed);
  EXPECT_EQ(SOD_Read(Handle(0x2000, 9), 0, 0, nullptr), nullptr);
  EXPECT_EQ(SOD_Read(nullptr, 0, 0, &err), nullptr);
  EXPECT_EQ(err.usErrNum, 0xF724);
}

TEST_F(SodTest, BeforeReadCallbackSeesOffsetAndSize) {
  SOD_ErrorInfo err{};
  ASSERT_NE(SOD_Read(Handle(0x2000, 8), 4, 8, &err), nullptr);
  ASSERT_EQ(g_callbackCalls.size(), 1U);
  EXPECT_EQ(g_callbackCalls[0].service, SOD_k_SRV_BEFORE_READ);
  EXPECT_EQ(g_callbackCalls[0].offset, 4U);
  EXPECT_EQ(g_callbackCalls[0].size, 8U);
}

TEST_F(SodTest, CallbackServicesAreNumberedPerRelease) {
  // The current release numbers before read 1, before write 2, after write 3
  // (0 is its attribute get); the older release has no attribute get and
  // numbers the same accesses 0, 1 and 2.
  const u8 beforeRead = SCM_ProfileValue<u8>(1, 0);
  const u8 beforeWrite = SCM_ProfileValue<u8>(2, 1);
  const u8 afterWrite = SCM_ProfileValue<u8>(3, 2);
  const SOD_Entry* h = Handle(0x2000, 8);
  SOD_ErrorInfo err{};
  ASSERT_NE(SOD_Read(h, 0, 0, &err), nullptr);
  const u8 value[16] = {1, 2, 3, 4};  // a whole write of the domain takes its 16 bytes
  ASSERT_TRUE(SOD_Write(h, value, false, 0, 0));
  std::vector<u8> services;
  for (const CallbackCall& c : g_callbackCalls) services.push_back(c.service);
  EXPECT_EQ(services, (std::vector<u8>{beforeRead, beforeWrite, afterWrite}));
  EXPECT_EQ(SOD_k_SRV_BEFORE_READ, beforeRead);
  EXPECT_EQ(SOD_k_SRV_BEFORE_WRITE, beforeWrite);
  EXPECT_EQ(SOD_k_SRV_AFTER_WRITE, afterWrite);
}

// ---- write ----
struct WriteCase {
  std::string name;             ///< the rule shown
  u16 index;                    ///< object
  u8 sub;                       ///< sub-index
  std::vector<u8> data;         ///< the new value (empty: null data)
  bool app;                     ///< application write
  u32 offset;                   ///< write offset
  u32 size;                     ///< write size
  std::function<void()> setup;  ///< prepares the case
  bool ok;                      ///< expected result
  u16 code;                     ///< expected reported code (0: none)
  u32 abort;                    ///< expected abort code
  bool valueChanges;            ///< the first data byte reaches the value
};

std::vector<u8> Le16(i32 v) { return {static_cast<u8>(v), static_cast<u8>(v >> 8)}; }
std::vector<u8> Le32(u32 v) { return {static_cast<u8>(v), static_cast<u8>(v >> 8), static_cast<u8>(v >> 16), static_cast<u8>(v >> 24)}; }
template <typename T>
std::vector<u8> Raw(T v) {
  std::vector<u8> b(sizeof(T));
  std::memcpy(b.data(), &v, sizeof(T));
  return b;
}
void Nothing() {}

class SodWriteTest : public StackFixture, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(SodWriteTest, FirstRefusingRuleReportsItsCode) {
  const WriteCase& c = GetParam();
  c.setup();
  g_errors.clear();
  g_callbackCalls.clear();
  const SOD_Entry* h = Handle(c.index, c.sub);
  ASSERT_NE(h, nullptr);
  u8* value = SOD_ValueAddr(&h->attr);
  const bool inside = c.offset < h->attr.ulLength;
  const u8 before = inside ? value[c.offset] : 0;
  const bool ok = SOD_Write(h, c.data.empty() ? nullptr : c.data.data(), c.app, c.offset, c.size);
  EXPECT_EQ(ok, c.ok);
  if (c.code == 0) {
    EXPECT_TRUE(g_errors.empty());
  } else {
    ASSERT_EQ(g_errors.size(), 1U);
    EXPECT_EQ(g_errors[0], (ErrorReport{c.code, c.abort}));
    EXPECT_EQ(SERR_GetLastAddInfo(), c.abort);
  }
  if (inside && !c.data.empty()) {
    EXPECT_EQ(value[c.offset], c.valueChanges ? c.data[0] : before);
  }
}

const WriteCase k_writeCases[] = {
    {"no data", 0x2000, 2, {}, false, 0, 0, Nothing, false, 0xF706, 0x08000000, false},
    {"write access disabled", 0x2000, 2, Le32(20), false, 0, 0, [] { SOD_DisableSodWrite(); }, false, 0x2707, 0x08000022, false},
    {"offset on a u32", 0x2000, 2, Le32(20), false, 1, 0, Nothing, false, 0xF708, 0x08000000, false},
    {"size on a u32", 0x2000, 2, Le32(20), false, 0, 4, Nothing, false, 0xF708, 0x08000000, false},
    {"string offset at length", 0x2000, 7, {'A'}, false, 8, 1, Nothing, false, 0xF709, 0x06070012, false},
    {"string segment beyond", 0x2000, 7, {'A'}, false, 4, 5, Nothing, false, 0xF709, 0x06070012, false},
    {"read-only same value", 0x2000, 6, Le16(0x1234), false, 0, 0, Nothing, true, 0, 0, true},
    {"read-only other value", 0x2000, 6, Le16(0x1235), false, 0, 0, Nothing, false, 0x270B, 0x06010002, false},
    {"read-only by the application", 0x2000, 6, Le16(0x4321), true, 0, 0, Nothing, true, 0, 0, true},
    {"constant by the application", 0x2000, 5, {9}, true, 0, 0, Nothing, false, 0x270B, 0x06010002, false},
    {"constant by the network", 0x2000, 5, {7}, false, 0, 0, Nothing, false, 0x270B, 0x06010002, false},
    {"int16 at maximum", 0x2000, 1, Le16(100), false, 0, 0, Nothing, true, 0, 0, true},
    {"int16 above", 0x2000, 1, Le16(101), false, 0, 0, Nothing, false, 0x270D, 0x06090031, false},
    {"int16 below", 0x2000, 1, Le16(-101), false, 0, 0, Nothing, false, 0x270E, 0x06090032, false},
    {"int16 at minimum", 0x2000, 1, Le16(-100), false, 0, 0, Nothing, true, 0, 0, true},
    {"uint32 above", 0x2000, 2, Le32(1001), false, 0, 0, Nothing, false, 0x270D, 0x06090031, false},
    {"uint32 below", 0x2000, 2, Le32(9), false, 0, 0, Nothing, false, 0x270E, 0x06090032, false},
    {"uint32 high bit is large", 0x2000, 2, Le32(0x80000000U), false, 0, 0, Nothing, false, 0x270D, 0x06090031, false},
    {"real32 above", 0x2000, 3, Raw(2.6F), false, 0, 0, Nothing, false, 0x270D, 0x06090031, false},
    {"real32 below", 0x2000, 3, Raw(-1.6F), false, 0, 0, Nothing, false, 0x270E, 0x06090032, false},
    {"real32 inside", 0x2000, 3, Raw(-1.25F), false, 0, 0, Nothing, true, 0, 0, true},
    {"int64 above", 0x2000, 10, Raw<i64>(6), false, 0, 0, Nothing, false, 0x270D, 0x06090031, false},
    {"int64 below", 0x2000, 10, Raw<i64>(-6), false, 0, 0, Nothing, false, 0x270E, 0x06090032, false},
    {"real64 below", 0x2000, 11, Raw(-0.5), false, 0, 0, Nothing, false, 0x270E, 0x06090032, false},
    {"boolean 1", 0x2000, 4, {1}, false, 0, 0, Nothing, true, 0, 0, true},
    {"boolean 2", 0x2000, 4, {2}, false, 0, 0, Nothing, false, 0x270F, 0x06090031, false},
    {"visible string with 0x7F", 0x2000, 7, {'A', 0x7F}, false, 0, 2, Nothing, false, 0x270C, 0x06090030, false},
    {"visible string with 0x1F", 0x2000, 7, {'A', 0x1F}, false, 0, 2, Nothing, false, 0x270C, 0x06090030, false},
    {"visible string with 0", 0x2000, 7, {'A', 0, 'B'}, false, 0, 3, Nothing, true, 0, 0, true},
    {"before-write refuses", 0x2000, 8, {1, 2}, false, 0, 2, [] { g_switches.refuseWrite = true; }, false, 0x2712, 0x08000020, false},
    {"after-write refuses", 0x2000, 8, std::vector<u8>(16, 5), false, 0, 0, [] { g_switches.refuseAfterWrite = true; }, false, 0x2713, 0x08000020, true},
};

INSTANTIATE_TEST_SUITE_P(Rules, SodWriteTest, ::testing::ValuesIn(k_writeCases), [](const auto& info) {
  std::string n = info.param.name;
  for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return n;
});

TEST_F(SodTest, InvalidHandleIsRefused) {
  u32 value = 20;
  EXPECT_FALSE(SOD_Write(nullptr, &value, false, 0, 0));
  EXPECT_EQ(LastError(), (ErrorReport{0xF724, 0x08000021}));
}

TEST_F(SodTest, ReadOnlySameValueRunsNoCallbackAndNoRangeCheck) {
  // The read-only domain number holds 0; writing 0 again succeeds at once.
  u16 zero = 0;
  EXPECT_TRUE(SOD_Write(Handle(0x1200, 1), &zero, false, 0, 0));
  EXPECT_TRUE(g_errors.empty());
  EXPECT_TRUE(g_callbackCalls.empty());
}

TEST_F(SodTest, SameValueRuleComparesThePointedValue) {
  static u32 s_value = 0x55;
  static u32* s_ptr = &s_value;
  static const SOD_Entry k_table[] = {
      {0x2001, 0, {0x0804, SOD_k_UINT32, 4, nullptr, &s_ptr, nullptr, nullptr}},
      {SOD_k_END_INDEX, 0, {}},
  };
  UseTables(k_table, nullptr);
  ASSERT_TRUE(SOD_Init());
  s_value = 0x55;
  u32 same = 0x55;
  EXPECT_TRUE(SOD_Write(Handle(0x2001, 0), &same, false, 0, 0));
  u32 other = 0x56;
  EXPECT_FALSE(SOD_Write(Handle(0x2001, 0), &other, false, 0, 0));
  EXPECT_EQ(LastError().code, 0x270B);
}

TEST_F(SodTest, PointerObjectWritesBehindThePointer) {
  u32 value = 0xABCD;
  ASSERT_TRUE(SOD_Write(Handle(0x2000, 9), &value, false, 0, 0));
  EXPECT_EQ(g_values.pointed, 0xABCDU);
}

TEST_F(SodTest, SegmentedWriteCallsAfterWriteOnceAtTheActualLength) {
  const SOD_Entry* h = Handle(0x2000, 8);
  ASSERT_TRUE(SOD_ActualLenSet(h, 10));
  const u8 data[6] = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(SOD_Write(h, data, false, 0, 4));
  ASSERT_TRUE(SOD_Write(h, data, false, 4, 6));
  std::vector<CallbackCall> after;
  for (const CallbackCall& c : g_callbackCalls) {
    if (c.service == SOD_k_SRV_AFTER_WRITE) after.push_back(c);
  }
  ASSERT_EQ(after.size(), 1U);
  EXPECT_EQ(after[0].offset, 4U);
  EXPECT_EQ(after[0].size, 6U);
  EXPECT_FALSE(after[0].hasData);
  EXPECT_EQ(g_values.domain[3], 4);
  EXPECT_EQ(g_values.domain[9], 6);
}

TEST_F(SodTest, EmptyValueWriteRunsTheWholeWriteAndEndsTheValue) {
  const SOD_Entry* h = Handle(0x2000, 8);
  g_values.domain[0] = 0x77;
  ASSERT_TRUE(SOD_ActualLenSet(h, 5));
  g_callbackCalls.clear();
  ASSERT_TRUE(SOD_Write(h, SOD_pvEmptyValue, false, 0, 0));
  u32 len = 99;
  ASSERT_TRUE(SOD_ActualLenGet(h, &len));
  EXPECT_EQ(len, 0U);
  EXPECT_EQ(g_values.domain[0], 0x77) << "nothing copied";
  ASSERT_EQ(g_callbackCalls.size(), 2U);
  EXPECT_EQ(g_callbackCalls[0].service, SOD_k_SRV_BEFORE_WRITE);
  EXPECT_EQ(g_callbackCalls[1].service, SOD_k_SRV_AFTER_WRITE);
}

TEST_F(SodTest, EmptyValueWriteIsRefusedAsAWholeWriteWouldBe) {
  const SOD_Entry* h = Handle(0x2000, 8);
  ASSERT_TRUE(SOD_ActualLenSet(h, 5));
  g_switches.refuseWrite = true;
  EXPECT_FALSE(SOD_Write(h, SOD_pvEmptyValue, false, 0, 0));
  EXPECT_EQ(LastError(), (ErrorReport{0x2712, 0x08000020}));
  u32 len = 0;
  SOD_ActualLenGet(h, &len);
  EXPECT_EQ(len, 5U);
  EXPECT_FALSE(SOD_Write(Handle(0x2000, 2), SOD_pvEmptyValue, false, 0, 0));
  EXPECT_EQ(LastError(), (ErrorReport{0xF708, 0x08000000}));
  EXPECT_FALSE(SOD_Write(Handle(0x2000, 5), SOD_pvEmptyValue, true, 0, 0));
}

TEST_F(SodTest, ActualLength) {
  u32 len = 0;
  ASSERT_TRUE(SOD_ActualLenGet(Handle(0x2000, 2), &len));
  EXPECT_EQ(len, 4U);
  ASSERT_TRUE(SOD_ActualLenSet(Handle(0x2000, 7), 8));
  ASSERT_TRUE(SOD_ActualLenGet(Handle(0x2000, 7), &len));
  EXPECT_EQ(len, 8U);
  EXPECT_FALSE(SOD_ActualLenSet(Handle(0x2000, 7), 9));
  EXPECT_EQ(LastError(), (ErrorReport{0xF716, 0x08000000}));
  EXPECT_FALSE(SOD_ActualLenSet(Handle(0x2000, 2), 2));
  EXPECT_EQ(LastError(), (ErrorReport{0xF717, 0x08000000}));
  EXPECT_FALSE(SOD_ActualLenGet(Handle(0x2000, 2), nullptr));
  EXPECT_EQ(LastError(), (ErrorReport{0xF719, 0x08000000}));
}

TEST_F(SodTest, LockAndWriteEnable) {
  EXPECT_FALSE(SOD_IsLocked());
  EXPECT_TRUE(SOD_WriteAccess());
  EXPECT_TRUE(SOD_Lock());
  EXPECT_TRUE(SOD_IsLocked());
  EXPECT_FALSE(SOD_Lock());
  EXPECT_EQ(LastError(), (ErrorReport{0x1726, 0x08000022}));
  EXPECT_FALSE(SOD_DisableSodWrite());
  EXPECT_EQ(LastError(), (ErrorReport{0x172E, 0x08000000}));
  // The lock is a protocol lock: the dictionary still writes.
  u32 value = 20;
  EXPECT_TRUE(SOD_Write(Handle(0x2000, 2), &value, false, 0, 0));
  EXPECT_TRUE(SOD_Unlock());
  EXPECT_FALSE(SOD_Unlock());
  EXPECT_EQ(LastError(), (ErrorReport{0xF729, 0x08000022}));
  EXPECT_FALSE(SOD_EnableSodWrite());
  EXPECT_EQ(LastError(), (ErrorReport{0xF72C, 0x08000000}));
  EXPECT_TRUE(SOD_DisableSodWrite());
  EXPECT_FALSE(SOD_WriteAccess());
  EXPECT_FALSE(SOD_DisableSodWrite());
  EXPECT_EQ(LastError(), (ErrorReport{0x172E, 0x08000000}));
  EXPECT_TRUE(SOD_EnableSodWrite());
  // SOD_Init starts unlocked and enabled again.
  SOD_Lock();
  SOD_DisableSodWrite();
  ASSERT_TRUE(SOD_Init());
  EXPECT_FALSE(SOD_IsLocked());
  EXPECT_TRUE(SOD_WriteAccess());
}

// ---- start-up ----
class SodFaultyTableTest : public ::testing::TestWithParam<FaultyTable> {};

TEST_P(SodFaultyTableTest, FailsInitWithItsCode) {
  const FaultyTable& t = GetParam();
  ResetFakes();
  UseTables(t.real, t.virt);
  EXPECT_FALSE(SOD_Init());
  ASSERT_FALSE(g_errors.empty());
  EXPECT_EQ(g_errors.back(), (ErrorReport{t.code, t.info})) << t.name;
}

INSTANTIATE_TEST_SUITE_P(Tables, SodFaultyTableTest, ::testing::ValuesIn(FaultyTables()), [](const auto& info) {
  std::string n = info.param.name;
  for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return n;
});

TEST_F(SodTest, DefaultsLoadForRealAndVirtualObjects) {
  g_values.s16 = 9;
  g_values.ownSadr = 55;
  g_values.txSpdo2 = 66;
  g_values.guardTime = 1;
  g_values.domain[15] = 3;
  g_values.readOnly = 1;
  g_values.arrayData[2] = 4;
  ASSERT_TRUE(SOD_Init());
  EXPECT_TRUE(g_errors.empty());
  EXPECT_EQ(g_values.guardTime, 100000U);
  EXPECT_EQ(g_values.lifeTimeFactor, 2);
  EXPECT_EQ(g_values.snmtTimeout, 20000U);
  EXPECT_EQ(g_values.u32v, 10U);
  EXPECT_EQ(g_values.constant, 7);
  EXPECT_EQ(g_values.readOnly, 0x1234);
  EXPECT_EQ(g_values.s16, 0);
  EXPECT_EQ(g_values.domain[15], 0);
  EXPECT_EQ(g_values.ownSadr, 0);
  EXPECT_EQ(g_values.txSpdoCount, 3);
  EXPECT_EQ(g_values.arrayData[2], 0);
  // Zero lies outside 0x1C00/2's range: it is written all the same, without a report.
  EXPECT_EQ(g_values.txSpdo2, 0);
}

}  // namespace
}  // namespace StackTest
