// The older release's object list: every range of the current release's list
// expanded into real entries, no virtual range registered, the node list for
// 101 nodes, the configuration arrays at 0xD000, no 0x210B; an entry with the
// virtual bit fails the start-up check; and the block-wise parameter check
// covers the node objects up to 0xC464.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "EPSglobal.h"
#include "EPSod.h"
#include "FwUnitSupport.h"
#include "HNFhwt.h"
#include "SAPL.h"
#include "SOD.h"
#include "ScmProfile.h"

static_assert(SCM_kLegacy, "built only in the older release's profile");

namespace FwTest {
namespace {

/// Event of a fatal stack error: the stack's code in the low 12 bits.
constexpr uint32_t kEvtStackFatal = 0x9200A000u;

class LegacyObjectList : public FwFixture {
 public:
  void SetUp() override {
    FwFixture::SetUp();
    EPS_OdBindStorage();
    EPS_OdSetDomainMax(EPS_kDomainMaxInit);
    ASSERT_TRUE(SOD_Init()) << ::testing::PrintToString(TakeEvents());
    EPS_OdSetDomainMax(EPS_kDomainMax);
  }
  void TearDown() override {
    SAPL_ps_OD = EPS_OdBuildExpandedTable();
    EPS_OdSetDomainMax(EPS_kDomainMaxInit);
    FwFixture::TearDown();
  }
  /// The entry of (index, sub) in the real table, or null.
  static const SOD_Entry* Entry(uint16_t index, uint8_t sub) {
    const SOD_Entry* handle = nullptr;
    SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
    return SOD_AttrGet(index, sub, &handle, 0, &err) != nullptr ? handle : nullptr;
  }
  /// Resolves (index, sub) through the access functions; the access structure.
  static SOD_Access Access(uint16_t index, uint8_t sub) {
    SOD_Access acc{};
    acc.obj.usIndex = index;
    acc.obj.ucSubIndex = sub;
    SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
    (void)SOD_AttrGetVirt(&acc, &err);
    return acc;
  }
};

TEST_F(LegacyObjectList, NoVirtualRangeIsRegisteredAndNoEntryIsVirtual) {
  EXPECT_EQ(SAPL_ps_SOD_VIRT->usFirstIndex, SOD_k_END_INDEX);
  std::size_t entries = 0;
  for (const SOD_Entry* e = SAPL_ps_OD; e->usIndex != SOD_k_END_INDEX; ++e) {
    EXPECT_EQ(e->attr.usAttr & SOD_k_ATTR_VIRT, 0) << std::hex << e->usIndex << "/" << int(e->ucSubIndex);
    ++entries;
  }
  // The current list's 86 rows less the four moved arrays, 0x1C00/0-3, 101 x 16 node
  // objects, 1023 x 3 additional SADRs, 1023 x 2 UDIDs, 0xD000/0-4, 1023 x 17 sets.
  EXPECT_EQ(entries, 86u - 4u + 4u + 101u * 16u + 1023u * 3u + 1023u * 2u + 5u + 1023u * 17u);
}

struct RealCase {
  const char* name;  ///< the objects
  uint16_t first;    ///< first index
  uint16_t last;     ///< last index
  uint8_t lastSub;   ///< sub-indices 0 to this
};

class EveryObjectIsReal : public LegacyObjectList, public ::testing::WithParamInterface<RealCase> {};

TEST_P(EveryObjectIsReal, AndResolvesThroughTheAccessFunctionsToItsEntry) {
  const RealCase& c = GetParam();
  for (uint32_t index = c.first; index <= c.last; ++index) {
    for (uint32_t sub = 0; sub <= c.lastSub; ++sub) {
      const SOD_Entry* e = Entry(static_cast<uint16_t>(index), static_cast<uint8_t>(sub));
      ASSERT_NE(e, nullptr) << std::hex << index << "/" << sub;
      const SOD_Access acc = Access(static_cast<uint16_t>(index), static_cast<uint8_t>(sub));
      ASSERT_EQ(acc.pHdl, e) << std::hex << index << "/" << sub;
    }
    EXPECT_EQ(Entry(static_cast<uint16_t>(index), static_cast<uint8_t>(c.lastSub + 1)), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Ranges, EveryObjectIsReal,
                         ::testing::Values(RealCase{"OwnCommunication", 0x1C00, 0x1C00, 3},
                                           RealCase{"NodeList", 0xC400, 0xC464, 15},
                                           RealCase{"AdditionalSadrs", 0xC801, 0xCBFF, 2},
                                           RealCase{"UdidList", 0xCC01, 0xCFFF, 1},
                                           RealCase{"ConfigurationArrays", 0xD000, 0xD000, 4},
                                           RealCase{"AdditionalParameterLists", 0xE400, 0xE7FE, 16}),
                         [](const ::testing::TestParamInfo<RealCase>& i) { return std::string(i.param.name); });

TEST_F(LegacyObjectList, NodeObjectsBeyondTheCurrentListHoldTheNodeStorage) {
  const SOD_Entry* sadr = Entry(0xC464, EPS_kNodeSubSadr);
  ASSERT_NE(sadr, nullptr);
  EXPECT_EQ(sadr->attr.pvData, &EPS_gaNodes[100].usSadr);
  EXPECT_EQ(sadr->attr.usAttr, SOD_k_ATTR_READ | SOD_k_ATTR_WRITE | SOD_k_ATTR_CRC);
  const SOD_Entry* count = Entry(0xC40C, 0);
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(*static_cast<const uint8_t*>(count->attr.pvData), 15);
  EXPECT_EQ(Entry(0xC465, 0), nullptr);
  // Domains follow the domain maximum.
  EXPECT_EQ(Entry(0xC464, EPS_kNodeSubParSet)->attr.ulLength, EPS_kDomainMax);
  EXPECT_EQ(Entry(0xE7FE, 16)->attr.ulLength, EPS_kDomainMax);
  EXPECT_EQ(Entry(0xC40C, EPS_kNodeSubCompare)->attr.ulLength, EPS_kDomainMax);
}

TEST_F(LegacyObjectList, ConfigurationArraysMoveToD000AndThereIsNo210B) {
  for (uint8_t sub : {1, 2, 3, 8}) {
    EXPECT_EQ(Entry(0x2106, sub), nullptr) << int(sub);
  }
  const uint8_t moved[4] = {1, 2, 3, 8};
  for (uint8_t m = 0; m < 4; ++m) {
    const SOD_Entry* from = nullptr;
    for (const SOD_Entry* e = EPS_OdBaseTable(); e->usIndex != SOD_k_END_INDEX; ++e) {
      if (e->usIndex == 0x2106 && e->ucSubIndex == moved[m]) {
        from = e;
      }
    }
    ASSERT_NE(from, nullptr);
    const SOD_Entry* to = Entry(0xD000, static_cast<uint8_t>(m + 1));
    ASSERT_NE(to, nullptr);
    EXPECT_EQ(to->attr.pvData, from->attr.pvData);
    EXPECT_EQ(to->attr.usAttr, from->attr.usAttr);
    EXPECT_EQ(to->attr.ulLength, from->attr.ulLength);
  }
  EXPECT_EQ(*static_cast<const uint8_t*>(Entry(0xD000, 0)->attr.pvData), 4);
  EXPECT_EQ(*static_cast<const uint8_t*>(Entry(0x2106, 0)->attr.pvData), 7);
  for (uint8_t sub = 4; sub <= 7; ++sub) {
    EXPECT_NE(Entry(0x2106, sub), nullptr) << int(sub);
  }
  for (uint8_t sub = 0; sub <= 3; ++sub) {
    EXPECT_EQ(Entry(0x210B, sub), nullptr) << int(sub);
  }
}

TEST_F(LegacyObjectList, AnEntryWithTheVirtualBitFailsTheStartUpCheck) {
  static std::vector<SOD_Entry> copy;
  copy.assign(SAPL_ps_OD, SAPL_ps_OD + 1);
  for (const SOD_Entry* e = SAPL_ps_OD; e->usIndex != SOD_k_END_INDEX; ++e) {
    copy.push_back(e[1]);
  }
  std::size_t at = 0;
  while (copy[at].usIndex != 0xC464 || copy[at].ucSubIndex != EPS_kNodeSubFlags) {
    ++at;
  }
  copy[at].attr.usAttr |= SOD_k_ATTR_VIRT;
  SAPL_ps_OD = copy.data();
  (void)TakeEvents();
  EXPECT_FALSE(SOD_Init());
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, kEvtStackFatal + 0x735, 0, 0xC464000Cu}}));
}

TEST_F(LegacyObjectList, ABlockWiseCheckCoversTheLastNodeObject) {
  static std::vector<uint8_t> refs;
  refs.assign(4 + 4 * 67, 0);
  EPS_gOwnChecksum.pucData = refs.data();
  EPS_gOwnChecksum.ulActLen = static_cast<u32>(refs.size());
  const auto check = [] {
    EPS_gCalcCrc = EPS_kCalcCrcRequest;
    EPS_CrcCalculationManager();
    return (EPS_gCalcCrc >> EPS_kCalcCrcResultShift) & EPS_kCalcCrcResultMask;
  };
  // Learn the references block by block from the check's own reports.
  for (int round = 0; round < 67 && check() != 1; ++round) {
    for (const Event& e : TakeEvents()) {
      const uint32_t block = e.info0 >> 8;
      for (int k = 0; k < 4; ++k) {
        refs[4 + 4 * block + k] = static_cast<uint8_t>(e.info1 >> (8 * k));
      }
    }
  }
  ASSERT_EQ(check(), 1u);
  ASSERT_EQ(TakeEvents(), std::vector<Event>{});
  EPS_gaNodes[100].ulPollTime = 0x12345678u;  // 0xC464/9, a saved parameter
  EXPECT_EQ(check(), 0u);
  const std::vector<Event> events = TakeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, EPS_kEvtParameterCrc);
  EPS_gaNodes[100].ulPollTime = 0;
  EXPECT_EQ(check(), 1u);
  EPS_OdBindRealStorage();
}

}  // namespace
}  // namespace FwTest
