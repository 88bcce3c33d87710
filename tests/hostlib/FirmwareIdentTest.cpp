// The firmware ident block as linked into a program.
#include <gtest/gtest.h>

#include <cstdint>

#include "ScmFirmwareIdent.h"
#include "ScmProfile.h"

namespace {

TEST(FirmwareIdentTest, BlockIs256BytesBetweenItsLinkSymbols) {
  const auto start = reinterpret_cast<std::uintptr_t>(LdFwIdentStart);
  const auto end = reinterpret_cast<std::uintptr_t>(LdFwIdentEnd);
  EXPECT_EQ(end - start, SCM_FW_IDENT_BLOCK_SIZE);
}

TEST(FirmwareIdentTest, IdentWordIsLittleEndianAtBytes22To25AndEverythingElseIsZero) {
  const u32 word = static_cast<u32>(LdFwIdentStart[22]) | (static_cast<u32>(LdFwIdentStart[23]) << 8) |
                   (static_cast<u32>(LdFwIdentStart[24]) << 16) | (static_cast<u32>(LdFwIdentStart[25]) << 24);
  EXPECT_EQ(word, SCM_FW_IDENT_WORD);
  EXPECT_EQ(word, static_cast<u32>(SCM_FIRMWARE_IDENT));
  for (u32 i = 0; i < SCM_FW_IDENT_BLOCK_SIZE; ++i) {
    if (i < 22 || i > 25) {
      EXPECT_EQ(LdFwIdentStart[i], 0) << "byte " << i;
    }
  }
}

TEST(FirmwareIdentTest, EachReleaseCarriesItsOwnWordSoThatTheTwoNeverPair) {
  const u32 own = SCM_kLegacy ? static_cast<u32>(SCM_TEST_IDENT_LEGACY) : static_cast<u32>(SCM_TEST_IDENT_CURRENT);
  const u32 other = SCM_kLegacy ? static_cast<u32>(SCM_TEST_IDENT_CURRENT) : static_cast<u32>(SCM_TEST_IDENT_LEGACY);
  EXPECT_EQ(SCM_FW_IDENT_WORD, own);
  EXPECT_NE(SCM_FW_IDENT_WORD, other);
}

TEST(FirmwareIdentTest, ReleaseOfThisBuildIsAtLeast256) {
  EXPECT_GE(SCM_FW_IDENT_WORD >> 16, 0x100u);
}

}  // namespace
