// The memory CRC manager over the real protected sections of this test binary,
// which links the same section fragment as the programs: one full pass is
// clean, and a byte flipped in a constant array of .rodata is found when its
// block is next completed.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "FwUnitSupport.h"
#include "HNFhwt.h"
#include "HNFiff_ModuleState.h"

extern "C" {
extern const u8 LdInitStart[], LdInitEnd[], LdTextStart[], LdTextEnd[], LdFiniStart[], LdFiniEnd[];
extern const u8 LdRoDataStart[], LdRoDataEnd[], LdRoData1Start[], LdRoData1End[];
extern u32 LdInitCrcStart[], LdInitCrcEnd[], LdTextCrcStart[], LdTextCrcEnd[], LdFiniCrcStart[],
    LdFiniCrcEnd[];
extern u32 LdRoDataCrcStart[], LdRoDataCrcEnd[], LdRoData1CrcStart[], LdRoData1CrcEnd[];
}

namespace {

/// A constant array that lands in .rodata.
extern const uint8_t kProbe[8192];
__attribute__((used)) const uint8_t kProbe[8192] = {1, 2, 3, 4, 5, 6, 7, 8};

const HNFhwt_Section kSections[HNFhwt_kSectionCount] = {
    {LdInitStart, LdInitEnd, LdInitCrcStart, LdInitCrcEnd},
    {LdTextStart, LdTextEnd, LdTextCrcStart, LdTextCrcEnd},
    {LdFiniStart, LdFiniEnd, LdFiniCrcStart, LdFiniCrcEnd},
    {LdRoDataStart, LdRoDataEnd, LdRoDataCrcStart, LdRoDataCrcEnd},
    {LdRoData1Start, LdRoData1End, LdRoData1CrcStart, LdRoData1CrcEnd},
};

/// Manager steps of one full pass over the sections.
uint64_t StepsPerPass() {
  uint64_t steps = 0;
  for (const auto& s : kSections) {
    const uint64_t length = static_cast<uint64_t>(s.pucEnd - s.pucStart);
    for (uint64_t at = 0; at < length; at += HNFhwt_kBlockSize) {
      const uint64_t block = length - at < HNFhwt_kBlockSize ? length - at : HNFhwt_kBlockSize;
      steps += (block + HNFhwt_kStepBytes - 1) / HNFhwt_kStepBytes;
    }
  }
  return steps;
}

/// Flips one bit of a read-only byte, with its page writable only meanwhile.
void FlipReadOnly(const uint8_t* byte) {
  const long page = sysconf(_SC_PAGESIZE);
  auto* start = reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(byte) & ~static_cast<uintptr_t>(page - 1));
  ASSERT_EQ(mprotect(start, static_cast<size_t>(page), PROT_READ | PROT_WRITE), 0);
  volatile uint8_t* writable = const_cast<volatile uint8_t*>(static_cast<const volatile uint8_t*>(byte));
  *writable = static_cast<uint8_t>(*writable ^ 0x10);
  ASSERT_EQ(mprotect(start, static_cast<size_t>(page), PROT_READ), 0);
}

using FwMemorySections = FwTest::FwFixture;

TEST_F(FwMemorySections, OnePassIsCleanAndAFlippedRoDataByteIsFatalAtItsBlock) {
  const uint8_t* probe = &kProbe[4096];
  ASSERT_GE(probe, LdRoDataStart);
  ASSERT_LT(probe, LdRoDataEnd);
  // .text and .rodata are there; .rodata1 normally is not and then is empty.
  EXPECT_GT(LdTextEnd - LdTextStart, 0);
  EXPECT_GT(LdRoDataEnd - LdRoDataStart, 0);
  HNFhwt_SetSections(kSections, HNFhwt_kSectionCount);
  ASSERT_EQ(HNFhwt_TakeReferences(), 0);
  const uint64_t pass = StepsPerPass();
  for (uint64_t i = 0; i < pass; ++i) {
    HNFhwt_Manager();
  }
  EXPECT_EQ(TakeEvents(), std::vector<FwTest::Event>{});
  // The pass ended after the last block of .rodata: the next step starts a section anew.
  EXPECT_EQ(HNFhwt_gPosition.ulBlock, 0u);
  EXPECT_EQ(HNFhwt_gPosition.ulOffset, 0u);

  FlipReadOnly(probe);
  const uintptr_t blockStart =
      reinterpret_cast<uintptr_t>(LdRoDataStart) +
      (reinterpret_cast<uintptr_t>(probe) - reinterpret_cast<uintptr_t>(LdRoDataStart)) / HNFhwt_kBlockSize *
          HNFhwt_kBlockSize;
  std::vector<FwTest::Event> events;
  for (uint64_t i = 0; i < pass && events.empty(); ++i) {
    HNFhwt_Manager();
    events = TakeEvents();
  }
  FlipReadOnly(probe);
  EXPECT_EQ(events, (std::vector<FwTest::Event>{
                        {3, HNFhwt_kEvtMemoryCrc, 0, static_cast<uint32_t>(blockStart)}}));
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 0);
}

}  // namespace
