// The older release's block-wise parameter check (EPS_CrcCalculationManager)
// over a table of large saved parameters: every block of the object in which a
// difference is found is compared and reported, the walk stops after that
// object, any difference makes the result 0, the 67th block ends the walk, and
// growing error counters are never reported.
#include <gtest/gtest.h>

#include <vector>

#include "EPSglobal.h"
#include "EPSod.h"
#include "FwUnitSupport.h"
#include "HNFhwt.h"
#include "HNFiff_Crc.h"
#include "SAPL.h"
#include "SOD.h"
#include "ScmProfile.h"

static_assert(SCM_kLegacy, "built only in the older release's profile");

namespace FwTest {
namespace {

/// Bytes of each of the two large saved parameters.
constexpr std::size_t kBig = 40 * 512;
/// Bytes of 0x1018/6: the u32 timestamp and 67 CRCs.
constexpr std::size_t kRefBytes = 4 + 4 * 67;

std::vector<uint8_t> g_first(kBig);   ///< 0x2000/1: blocks 0 to 39
uint32_t g_middle;                    ///< 0x2001/1: the first 4 bytes of block 40
std::vector<uint8_t> g_last(kBig);    ///< 0x2002/1: the rest of block 40 and later blocks (as long as its actual length)
uint32_t g_unsaved;                   ///< 0x2003/1: not a saved parameter
SOD_VarData g_firstVar;               ///< value record of 0x2000/1
SOD_VarData g_lastVar;                ///< value record of 0x2002/1

/// The test table: the references, two large domains around a u32, and an unsaved u32.
const SOD_Entry k_table[] = {
    {0x1018, 6, {0x0C, SOD_k_DOMAIN, kRefBytes, nullptr, &EPS_gOwnChecksum, nullptr, nullptr}},
    {0x2000, 1, {0x14, SOD_k_DOMAIN, kBig, nullptr, &g_firstVar, nullptr, nullptr}},
    {0x2001, 1, {0x14, SOD_k_UINT32, 4, nullptr, &g_middle, nullptr, nullptr}},
    {0x2002, 1, {0x14, SOD_k_DOMAIN, kBig, nullptr, &g_lastVar, nullptr, nullptr}},
    {0x2003, 1, {0x04, SOD_k_UINT32, 4, nullptr, &g_unsaved, nullptr, nullptr}},
    {SOD_k_END_INDEX, 0, {0, 0, 0, nullptr, nullptr, nullptr, nullptr}},
};

Event ParFault(uint32_t block, uint32_t crc) { return {2, EPS_kEvtParameterCrc, static_cast<uint16_t>(block << 8), crc}; }

class LegacyCrcManager : public FwFixture {
 public:
  void SetUp() override {
    FwFixture::SetUp();
    // The firmware's virtual ranges stay registered beside the test table, empty
    // and at the start-up maximum, as the stack's start-up finds them.
    EPS_OdBindStorage();
    EPS_OdSetDomainMax(EPS_kDomainMaxInit);
    g_firstVar = {static_cast<u32>(kBig), g_first.data()};
    g_lastVar = {static_cast<u32>(kBig), g_last.data()};
    refs_.assign(kRefBytes, 0);
    EPS_gOwnChecksum.pucData = refs_.data();
    EPS_gOwnChecksum.ulActLen = static_cast<u32>(refs_.size());
    saved_ = SAPL_ps_OD;
    SAPL_ps_OD = k_table;
    ASSERT_TRUE(SOD_Init()) << ::testing::PrintToString(TakeEvents());
    // Values after the start-up defaults (which clear them).
    for (std::size_t i = 0; i < kBig; ++i) {
      g_first[i] = static_cast<uint8_t>(i * 7 + 3);
      g_last[i] = static_cast<uint8_t>(i * 5 + 1);
    }
    g_middle = 0x11223344u;
    EPS_gGlobal.ucParamError = 0;
    LearnReferences();
    (void)TakeEvents();
  }
  void TearDown() override {
    SAPL_ps_OD = saved_;
    EPS_OdBindRealStorage();  // 0x1018/6 back on its own bytes
    (void)SOD_Init();
    FwFixture::TearDown();
  }
  /// The saved bytes in walk order.
  static std::vector<uint8_t> Stream() {
    std::vector<uint8_t> s(g_first.begin(), g_first.begin() + g_firstVar.ulActLen);
    const auto* m = reinterpret_cast<const uint8_t*>(&g_middle);
    s.insert(s.end(), m, m + 4);
    s.insert(s.end(), g_last.begin(), g_last.begin() + g_lastVar.ulActLen);
    return s;
  }
  /// CRC of block b of the current stream (the last one partial).
  static uint32_t BlockCrc(const std::vector<uint8_t>& s, std::size_t b) {
    const std::size_t at = 512 * b;
    const std::size_t n = std::min<std::size_t>(512, s.size() - at);
    return HNFiff_Crc32CalcSwp(0, static_cast<i32>(n), s.data() + at);
  }
  /// References of the current stream's blocks.
  void LearnReferences() {
    const std::vector<uint8_t> s = Stream();
    for (std::size_t b = 0; 512 * b < s.size() && b < 67; ++b) {
      const uint32_t crc = BlockCrc(s, b);
      for (int k = 0; k < 4; ++k) {
        refs_[4 + 4 * b + k] = static_cast<uint8_t>(crc >> (8 * k));
      }
    }
  }
  /// Asks for one check and runs the manager; the result field, or -1 when not done.
  static int Check() {
    EPS_gCalcCrc = EPS_kCalcCrcRequest;
    EPS_CrcCalculationManager();
    if ((EPS_gCalcCrc & EPS_kCalcCrcDone) == 0 || (EPS_gCalcCrc & EPS_kCalcCrcRequest) != 0) {
      return -1;
    }
    return static_cast<int>((EPS_gCalcCrc >> EPS_kCalcCrcResultShift) & EPS_kCalcCrcResultMask);
  }
  std::vector<uint8_t> refs_;
  const SOD_Entry* saved_ = nullptr;
};

TEST_F(LegacyCrcManager, EqualParametersGiveOneWithoutAnEvent) {
  g_lastVar.ulActLen = 1000;  // 42 blocks in all
  LearnReferences();
  EXPECT_EQ(Check(), 1);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
}

TEST_F(LegacyCrcManager, EveryDifferingBlockOfTheObjectIsReportedAndTheWalkStopsAfterIt) {
  g_first[512 * 3 + 10] ^= 0xFF;  // block 3
  g_first[512 * 7] ^= 0xFF;       // block 7, the same object
  g_last[600] ^= 0xFF;            // block 41, in the next large object: never reached
  const std::vector<uint8_t> s = Stream();
  EXPECT_EQ(Check(), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{ParFault(3, BlockCrc(s, 3)), ParFault(7, BlockCrc(s, 7))}));
}

TEST_F(LegacyCrcManager, TheLastPartialBlockIsComparedAtTheEnd) {
  g_lastVar.ulActLen = 1000;  // 21,484 bytes: block 41 holds the last 492
  LearnReferences();
  EXPECT_EQ(Check(), 1);
  g_last[999] ^= 0xFF;
  const std::vector<uint8_t> s = Stream();
  EXPECT_EQ(Check(), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{ParFault(41, BlockCrc(s, 41))}));
}

TEST_F(LegacyCrcManager, TheSixtySeventhBlockEndsTheWalkWithZero) {
  // 67 blocks and 8 bytes more: every referenced block equal.
  g_lastVar.ulActLen = static_cast<u32>(67 * 512 + 8 - kBig - 4);
  ASSERT_LE(g_lastVar.ulActLen, kBig);
  LearnReferences();
  EXPECT_EQ(Check(), 0);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  // Exactly 66 blocks and a partial one: the partial 67th decides.
  g_lastVar.ulActLen = static_cast<u32>(66 * 512 + 100 - kBig - 4);
  LearnReferences();
  EXPECT_EQ(Check(), 0);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  g_lastVar.ulActLen = static_cast<u32>(65 * 512 + 100 - kBig - 4);
  LearnReferences();
  EXPECT_EQ(Check(), 1);
}

TEST_F(LegacyCrcManager, AParameterErrorGivesZeroWithoutAWalk) {
  g_first[0] ^= 0xFF;
  EPS_gGlobal.ucParamError = 1;
  EXPECT_EQ(Check(), 0);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
}

TEST_F(LegacyCrcManager, GrowingErrorCountersAreNeverReported) {
  EPS_IdleInit();
  EPS_CrcCalculationManager();
  EPS_gGlobal.aulErrorCounters[5] = 7;  // SNMT master
  EPS_gGlobal.aulErrorCounters[3] = 9;  // frame serializer
  for (uint64_t s : {EPS_kHoldUnit5Us + 1, EPS_kHoldUnit3Us + 1, 2 * EPS_kHoldUnit3Us + 1}) {
    host.counter = s;
    EPS_CrcCalculationManager();
  }
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  EPS_gGlobal.aulErrorCounters[5] = 0;
  EPS_gGlobal.aulErrorCounters[3] = 0;
}

}  // namespace
}  // namespace FwTest
