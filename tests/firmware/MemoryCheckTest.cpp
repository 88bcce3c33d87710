// The memory CRC manager over sections the test owns: block and step sizes,
// empty sections, the wrap from the last section to the first, a changed byte
// and reference tables of the wrong size.
#include <gtest/gtest.h>

#include <vector>

#include "FwUnitSupport.h"
#include "HNFhwt.h"
#include "HNFiff_Crc.h"
#include "HNFiff_ModuleState.h"

namespace FwTest {
namespace {

class FwMemoryCheck : public FwFixture {
 public:
  /// Section sizes: one full block, empty, two blocks (one byte in the second), a short one, empty.
  static constexpr uint32_t kSizes[HNFhwt_kSectionCount] = {16384, 0, 16385, 300, 0};
  void SetUp() override {
    FwFixture::SetUp();
    for (uint32_t s = 0; s < HNFhwt_kSectionCount; ++s) {
      bytes[s].resize(kSizes[s] + 1);
      for (size_t i = 0; i < bytes[s].size(); ++i) {
        bytes[s][i] = static_cast<uint8_t>(i * 31 + s);
      }
      refs[s].assign((kSizes[s] + 16383) / 16384, 0xDEADBEEF);
      Bind(s, refs[s].size());
    }
    HNFhwt_SetSections(table, HNFhwt_kSectionCount);
  }
  void TearDown() override {
    // The table and its bytes go with the fixture: no later test's cycle may walk them.
    HNFhwt_SetSections(nullptr, 0);
    FwFixture::TearDown();
  }
  void Bind(uint32_t s, size_t refCount) {
    refs[s].resize(refCount + 1);
    table[s] = HNFhwt_Section{bytes[s].data(), bytes[s].data() + kSizes[s], refs[s].data(), refs[s].data() + refCount};
  }
  /// Runs n manager steps.
  void Steps(int n) {
    for (int i = 0; i < n; ++i) {
      HNFhwt_Manager();
    }
  }
  std::vector<uint8_t> bytes[HNFhwt_kSectionCount];
  std::vector<uint32_t> refs[HNFhwt_kSectionCount];
  HNFhwt_Section table[HNFhwt_kSectionCount];
};

TEST_F(FwMemoryCheck, ReferencesAreTheCrcOfEachBlock) {
  ASSERT_EQ(HNFhwt_TakeReferences(), 0);
  EXPECT_EQ(refs[0][0], HNFiff_Crc32CalcSwp(0, 16384, bytes[0].data()));
  EXPECT_EQ(refs[2][0], HNFiff_Crc32CalcSwp(0, 16384, bytes[2].data()));
  EXPECT_EQ(refs[2][1], HNFiff_Crc32CalcSwp(0, 1, bytes[2].data() + 16384));
  EXPECT_EQ(refs[3][0], HNFiff_Crc32CalcSwp(0, 300, bytes[3].data()));
}

TEST_F(FwMemoryCheck, AReferenceTableOneEntryTooLongOrTooShortFailsInit) {
  for (const size_t count : {size_t{1}, size_t{3}}) {
    SCOPED_TRACE(count);
    Bind(2, count);
    EXPECT_EQ(HNFhwt_TakeReferences(), 1);
  }
  Bind(2, 2);
  EXPECT_EQ(HNFhwt_TakeReferences(), 0);
  HNFhwt_SetSections(table, HNFhwt_kSectionCount - 1);
  EXPECT_EQ(HNFhwt_TakeReferences(), 1);
}

TEST_F(FwMemoryCheck, AFullBlockCompletesOnItsSixtyFourthStepAndAChangedByteIsFatal) {
  ASSERT_EQ(HNFhwt_TakeReferences(), 0);
  bytes[0][16000] ^= 1;
  Steps(63);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  EXPECT_EQ(HNFhwt_gPosition.ulOffset, 63u * 256);
  Steps(1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{
                              {3, HNFhwt_kEvtMemoryCrc, 0,
                               static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bytes[0].data()))}}));
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 0);
  // Fail-safe: the manager stands still.
  const HNFhwt_Position before = HNFhwt_gPosition;
  Steps(10);
  EXPECT_EQ(HNFhwt_gPosition.ulSection, before.ulSection);
  EXPECT_EQ(HNFhwt_gPosition.ulOffset, before.ulOffset);
}

TEST_F(FwMemoryCheck, OnePassSkipsEmptySectionsAndWrapsToTheFirst) {
  ASSERT_EQ(HNFhwt_TakeReferences(), 0);
  // Section 0: 64 steps; section 1 empty; section 2: 64 + 1; section 3: 2; section 4 empty.
  Steps(64);
  EXPECT_EQ(HNFhwt_gPosition.ulSection, 1u);
  Steps(1);
  EXPECT_EQ(HNFhwt_gPosition.ulSection, 2u);
  EXPECT_EQ(HNFhwt_gPosition.ulOffset, 256u);
  Steps(63);
  EXPECT_EQ(HNFhwt_gPosition.ulBlock, 1u);
  Steps(1);
  EXPECT_EQ(HNFhwt_gPosition.ulSection, 3u);
  Steps(2);
  EXPECT_EQ(HNFhwt_gPosition.ulSection, 4u);
  Steps(1);
  EXPECT_EQ(HNFhwt_gPosition.ulSection, 0u);
  EXPECT_EQ(HNFhwt_gPosition.ulOffset, 256u);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
}

TEST_F(FwMemoryCheck, AChangedByteInTheSecondBlockNamesThatBlocksAddress) {
  ASSERT_EQ(HNFhwt_TakeReferences(), 0);
  bytes[2][16384] ^= 0x80;
  Steps(64 + 64);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  Steps(1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{
                              {3, HNFhwt_kEvtMemoryCrc, 0,
                               static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bytes[2].data() + 16384))}}));
}

}  // namespace
}  // namespace FwTest
