// Event registration, the store and the module-state word.
#include <gtest/gtest.h>

#include "ScmProfile.h"
#include "EPSerr.h"
#include "EPSglobal.h"
#include "FwUnitSupport.h"
#include "HNFevt.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "SCMint.h"

namespace FwTest {
namespace {

constexpr uint32_t N = HNFiff_kModuleStateNormal;
constexpr uint32_t F = HNFiff_kModuleStateFailSafe;
/// Node state in which the SCM waits for the SN-failure acknowledge.
constexpr uint32_t kWaitsForSnFailAck = SCM_k_ST_WF_SAPL_ACK;

class FwEventStore : public FwFixture {};

TEST_F(FwEventStore, DefaultLevelsFollowClassAndInformationBits) {
  const struct {
    uint32_t code;
    uint8_t level;
  } cases[] = {{0x92008191, 3}, {0x92108191, 3}, {0x62108580, 1}, {0x62008709, 2},
               {0x62208709, 2}, {0x52008000, 2}, {0x51108000, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(HNFevt_DefaultLevel(c.code), c.level) << std::hex << c.code;
  }
}

TEST_F(FwEventStore, RecordIsLittleEndianAndComplementedOnTheQueue) {
  HNFevt_EnregisterEventLevel(0x62008A02, 0x1234, 0xA1B2C3D4, 2);
  const auto raw = ScmMemQueueContents(ScmName("event").c_str());
  ASSERT_EQ(raw.size(), 1u);
  const std::vector<uint8_t> plain{2, 0x02, 0x8A, 0x00, 0x62, 0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1};
  EXPECT_EQ(raw[0], Complement(plain));
}

TEST_F(FwEventStore, ClassAndLevelDecideTheFailSafeSwitch) {
  const struct {
    uint32_t code;
    uint8_t level;
    bool failSafe;
    uint8_t stored;
  } cases[] = {
      {0x92008191, 3, true, 3}, {0x92008191, 1, true, 1}, {0x62008709, 1, false, 1}, {0x62008709, 2, false, 2},
      {0x62008709, 4, false, 4}, {0x62008709, 3, true, 3}, {0x62008709, 0, true, 2}, {0x62008709, 5, true, 2},
  };
  for (const auto& c : cases) {
    glFailSafeA = N;
    glFailSafeB = N;
    HNFevt_ulEventsSinceFailSafe = 0;
    HNFevt_EnregisterEventLevel(c.code, 1, 2, c.level);
    EXPECT_EQ(HNFiff_ModuleStateIsNormal() == 0, c.failSafe) << std::hex << c.code << " level " << int(c.level);
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{c.stored, c.code, 1, 2}}));
  }
}

TEST_F(FwEventStore, OtherClassRaisesUnknownClassFirstThenIsStored) {
  HNFevt_EnregisterEventLevel(0x52001234, 0, 9, 2);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x92008500, 0, 5}, {2, 0x52001234, 0, 9}}));
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 0);
  EXPECT_EQ(HNFevt_ulEventCount, 2u);
  EXPECT_EQ(HNFevt_sulCalled, 0u);
}

TEST_F(FwEventStore, DeepNestingOnlySwitchesToFailSafe) {
  HNFevt_sulCalled = 2;
  HNFevt_EnregisterEventLevel(0x62008709, 0, 0, 2);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 0);
  EXPECT_EQ(HNFevt_ulEventCount, 1u);
  EXPECT_EQ(HNFevt_sulCalled, 2u);
}

TEST_F(FwEventStore, LastFreeSlotCarriesTheOverflowEventAndAFullQueueLosesIt) {
  for (int i = 0; i < kEventCapacity - 1; ++i) {
    HNFevt_EnregisterEventLevel(0x62008709, 0, static_cast<uint32_t>(i), 2);
  }
  HNFevt_EnregisterEventLevel(0x6200ABCD, 7, 7, 2);
  HNFevt_EnregisterEventLevel(0x6200BCDE, 8, 8, 2);
  const auto events = TakeEvents();
  ASSERT_EQ(events.size(), static_cast<size_t>(kEventCapacity));
  EXPECT_EQ(events.back(), (Event{2, 0x62108580, 0xABCD, static_cast<uint32_t>(kEventCapacity)}));
  EXPECT_EQ(HNFevt_ulEventCount, static_cast<uint32_t>(kEventCapacity + 1));
}

TEST_F(FwEventStore, AtMostTwoEventsFollowTheOneThatSwitched) {
  HNFevt_EnregisterEvent(0x92008191, 1);
  for (uint32_t i = 2; i <= 5; ++i) {
    HNFevt_EnregisterEvent(0x62008709, i);
  }
  const auto events = TakeEvents();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].code, 0x92008191u);
  EXPECT_EQ(events[2].info1, 3u);
  EXPECT_EQ(HNFevt_ulEventsSinceFailSafe, 5u);
}

TEST_F(FwEventStore, QueueThatCannotBeOpenedIsTriedAgainByTheNextEvent) {
  ASSERT_EQ(ScmMemDeleteQueue(ScmName("event").c_str()), OK);
  HNFevt_EnregisterEvent(0x62008709, 1);
  ASSERT_EQ(ScmMemCreateQueue(ScmName("event").c_str(), kEventCapacity, 11), OK);
  HNFevt_EnregisterEvent(0x62008709, 2);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008709, 0, 2}}));
}

TEST_F(FwEventStore, EventsBeforeTheDomainIsKnownAreLost) {
  HNFstp_usSdn = 0;
  HNFevt_EnregisterEvent(0x62008709, 1);
  HNFstp_usSdn = kSdn;
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(HNFevt_ulEventCount, 1u);
}

TEST_F(FwEventStore, StateWordReadings) {
  const struct {
    uint32_t a, b;
    uint32_t result;
    std::vector<uint32_t> info1;
  } cases[] = {
      {N, N, N, {}},
      {F, F, F, {}},
      {0x12345678, 0x12345678, F, {0x12345678, 0x12345678}},
      {N, 0, F, {N, 0}},
      {F, 0, F, {F, 0}},
      {0, F, F, {0, F}},
  };
  for (const auto& c : cases) {
    glFailSafeA = c.a;
    glFailSafeB = c.b;
    HNFevt_ulEventsSinceFailSafe = 0;
    EXPECT_EQ(HNFiff_ModuleStateRead(), c.result);
    EXPECT_EQ(glFailSafeA, c.result);
    EXPECT_EQ(glFailSafeB, c.result);
    std::vector<uint32_t> info1;
    for (const auto& e : TakeEvents()) {
      EXPECT_EQ(e.code, 0x92008701u);
      info1.push_back(e.info1);
    }
    EXPECT_EQ(info1, c.info1) << std::hex << c.a << "/" << c.b;
  }
}

TEST_F(FwEventStore, InitCopiesOnlyANormalWordA) {
  glFailSafeA = N;
  glFailSafeB = 0;
  HNFiff_ModuleStateInit();
  EXPECT_EQ(glFailSafeB, N);
  glFailSafeA = 0x1234;
  glFailSafeB = 0;
  HNFiff_ModuleStateInit();
  EXPECT_EQ(glFailSafeB, 0u);
}

class FwStackErrors : public FwFixture {};

TEST_F(FwStackErrors, MappingOfStackErrorCodes) {
  const struct {
    uint16_t code;
    uint32_t info;
    std::vector<Event> events;
    int countedUnit;  // -1: none
    bool failSafe;
  } cases[] = {
      {0x4123, 77, {{3, 0x9200A123, 0, 77}}, -1, true},
      {0xC5FF, 1, {{3, 0x9200A5FF, 0, 1}}, -1, true},
      {0x1105, 9, {{1, 0x6200A105, 0, 9}}, -1, false},
      {0x0105, 9, {{2, 0x6200A105, 0, 9}}, -1, false},
      {0x2105, 9, {{2, 0x6200A105, 0, 9}}, -1, false},
      {0x0305, 1, {}, 3, false},
      {0x250B, 12, {}, 5, false},
      {0x0B01, 0, {}, 11, false},
  };
  for (const auto& c : cases) {
    glFailSafeA = N;
    glFailSafeB = N;
    HNFevt_ulEventsSinceFailSafe = 0;
    EPS_gGlobal = EPS_Global{};
    SAPL_SERR_SignalErrorClbk(c.code, c.info);
    EXPECT_EQ(TakeEvents(), c.events) << std::hex << c.code;
    // The older release counts nothing: every other stack error is dropped.
    const int counted = SCM_kLegacy ? -1 : c.countedUnit;
    for (int unit = 0; unit < 16; ++unit) {
      EXPECT_EQ(EPS_gGlobal.aulErrorCounters[unit], unit == counted ? 1u : 0u) << std::hex << c.code;
    }
    EXPECT_EQ(HNFiff_ModuleStateIsNormal() == 0, c.failSafe);
  }
}

TEST_F(FwStackErrors, ExpiredRequestOfAnOptionalNodeIsIgnored) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release counts no stack errors, so it has no exemption either";
  }
  MFWQZ_gaucOptFlags[12 / 8] |= 1u << (12 % 8);
  SAPL_SERR_SignalErrorClbk(0x250B, 12);
  EXPECT_EQ(EPS_gGlobal.aulErrorCounters[5], 0u);
  SAPL_SERR_SignalErrorClbk(0x250B, 13);
  EXPECT_EQ(EPS_gGlobal.aulErrorCounters[5], 1u);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwStackErrors, NodeFailuresRaiseTheirEventAndAreRoutedByGroup) {
  const struct {
    uint8_t group, code;
    bool encoder;
    bool acked;
  } cases[] = {{3, 2, true, false}, {4, 1, false, true}, {4, 4, false, !SCM_kLegacy},  // older: 4/4 waits
               {4, 2, false, false}, {3, 1, false, false}, {1, 1, false, false}};
  for (const auto& c : cases) {
    // The application knows SADR 0x123 as assigned and takes reports.
    MFWQZ_ModuleInfo[0x0123] = MFWQZ_ModuleInfoEntry{};
    MFWQZ_ModuleInfo[0x0123].ulFlags = MFWQZ_kFlagConfigured;
    MFWQZ_ModuleInfo[0x0123].ulNodeState = 0x80;
    MFWQZ_ulNumberOfUdidMisMatches = 0;
    MFWQZ_gbLockPost = 0;
    // The SCM calls back with the node already waiting for the acknowledge.
    SCM_as_FsmCb[5] = SCM_FsmCb{};
    SCM_as_FsmCb[5].ulState = kWaitsForSnFailAck;
    SAPL_ScmSnFailClbk(0x0123, c.group, c.code, 5);
    const uint32_t info1 = 0x0123u | (uint32_t{c.group} << 16) | (uint32_t{c.code} << 24);
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{1, 0x6200AF40, 0, info1}}));
    // An encoder change waits for the operator's quit with its handle.
    EXPECT_EQ(MFWQZ_ulNumberOfUdidMisMatches, c.encoder ? 1u : 0u);
    EXPECT_EQ(MFWQZ_ModuleInfo[0x0123].ulFlags, c.encoder ? 0x800001u : 0x1u);
    EXPECT_EQ(MFWQZ_ModuleInfo[0x0123].usAckHandle, c.encoder ? 5 : 0);
    EXPECT_EQ(SCM_as_FsmCb[5].usEvents, c.acked ? uint32_t{SCM_k_EVT_ACK} : 0u);
    if (c.acked) {
      EXPECT_EQ(SCM_as_FsmCb[5].aucRespData[0], 4);
      EXPECT_EQ(SCM_as_FsmCb[5].aucRespData[1], c.code);
    }
  }
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
}

TEST_F(FwStackErrors, EncoderAcknowledgeUsesGroupThreeCodeTwo) {
  SCM_as_FsmCb[9].ulState = kWaitsForSnFailAck;
  EXPECT_EQ(EPS_EncoderAck(9), 1);
  EXPECT_EQ(SCM_as_FsmCb[9].usEvents, SCM_k_EVT_ACK);
  EXPECT_EQ(SCM_as_FsmCb[9].aucRespData[0], 3);
  EXPECT_EQ(SCM_as_FsmCb[9].aucRespData[1], 2);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwStackErrors, EncoderAcknowledgeOfANodeThatDoesNotWaitIsTheStacksFatalRefusal) {
  EXPECT_EQ(EPS_EncoderAck(9), 0);
  EXPECT_EQ(SCM_as_FsmCb[9].usEvents, 0u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200A104, 0, 9}}));
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 0);
}

}  // namespace
}  // namespace FwTest
