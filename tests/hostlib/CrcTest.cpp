// The four table-driven CRC routines against a plain bitwise MSB-first
// computation written here from the definition.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "HNFiff_Crc.h"

namespace {

/// Bitwise MSB-first CRC of width bits: no reflection, no final XOR.
u32 Reference(unsigned width, u32 polynomial, u32 seed, const std::vector<u8>& data) {
  const u32 mask = width == 32 ? 0xFFFFFFFFu : ((1u << width) - 1u);
  const u32 top = 1u << (width - 1);
  u32 reg = seed & mask;
  for (u8 byte : data) {
    reg ^= static_cast<u32>(byte) << (width - 8);
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & top) ? ((reg << 1) ^ polynomial) : (reg << 1);
      reg &= mask;
    }
  }
  return reg;
}

/// One routine with its polynomial and table.
struct Routine {
  const char* name;                                     ///< routine
  unsigned width;                                       ///< register width
  u32 polynomial;                                       ///< generator
  u32 (*calc)(u32 seed, i32 length, const void* data);  ///< the routine, widened
  u32 (*entry)(unsigned index);                         ///< its table entry
};

const Routine kRoutines[] = {
    {"HNFiff_Crc8CalcSwp", 8, 0x2F,
     [](u32 s, i32 n, const void* d) -> u32 { return HNFiff_Crc8CalcSwp(static_cast<u8>(s), n, d); },
     [](unsigned i) -> u32 { return HNFiff_gaucCrc8Tab[i]; }},
    {"HNFiff_Crc16CalcSwp", 16, 0x5935,
     [](u32 s, i32 n, const void* d) -> u32 { return HNFiff_Crc16CalcSwp(static_cast<u16>(s), n, d); },
     [](unsigned i) -> u32 { return HNFiff_gausCrc16Tab[i]; }},
    {"HNFiff_Crc16_755B_CalcSwp", 16, 0x755B,
     [](u32 s, i32 n, const void* d) -> u32 { return HNFiff_Crc16_755B_CalcSwp(static_cast<u16>(s), n, d); },
     [](unsigned i) -> u32 { return HNFiff_gausCrc16_755B_Tab[i]; }},
    {"HNFiff_Crc32CalcSwp", 32, 0x1EDC6F41u,
     [](u32 s, i32 n, const void* d) -> u32 { return HNFiff_Crc32CalcSwp(s, n, d); },
     [](unsigned i) -> u32 { return HNFiff_gaulCrc32Tab[i]; }},
};

std::vector<u8> Bytes(const std::string& text) {
  return std::vector<u8>(text.begin(), text.end());
}

/// Inputs of several shapes: short text, every byte value, a long pseudo-random run.
std::vector<std::vector<u8>> Inputs() {
  std::vector<std::vector<u8>> inputs = {Bytes("abc"), Bytes("123456789"), {0x00}, {0xFF},
                                         std::vector<u8>(37, 0xFF), std::vector<u8>(16, 0x00)};
  std::vector<u8> all(256);
  for (unsigned i = 0; i < 256; ++i) {
    all[i] = static_cast<u8>(i);
  }
  inputs.push_back(all);
  std::vector<u8> noise(5000);
  u32 state = 0x12345678u;
  for (u8& b : noise) {
    state = state * 1103515245u + 12345u;
    b = static_cast<u8>(state >> 16);
  }
  inputs.push_back(noise);
  return inputs;
}

TEST(CrcTest, EveryTableEntryIsTheBitwiseCrcOfItsIndex) {
  for (const Routine& r : kRoutines) {
    SCOPED_TRACE(r.name);
    for (unsigned i = 0; i < 256; ++i) {
      ASSERT_EQ(r.entry(i), Reference(r.width, r.polynomial, 0, {static_cast<u8>(i)})) << "entry " << i;
    }
  }
}

TEST(CrcTest, RoutinesMatchTheBitwiseReferenceForSeveralInputsAndSeeds) {
  for (const Routine& r : kRoutines) {
    SCOPED_TRACE(r.name);
    const u32 mask = r.width == 32 ? 0xFFFFFFFFu : ((1u << r.width) - 1u);
    for (const std::vector<u8>& input : Inputs()) {
      for (u32 seed : {0u, 1u, 0xA5A5A5A5u & mask, mask}) {
        EXPECT_EQ(r.calc(seed, static_cast<i32>(input.size()), input.data()),
                  Reference(r.width, r.polynomial, seed, input))
            << "length " << input.size() << " seed " << seed;
      }
    }
  }
}

TEST(CrcTest, ChainingByTheSeedEqualsOneCall) {
  const std::vector<u8> data = Inputs().back();
  for (const Routine& r : kRoutines) {
    SCOPED_TRACE(r.name);
    const u32 whole = r.calc(0, 300, data.data());
    for (i32 split = 0; split <= 300; split += 7) {
      const u32 first = r.calc(0, split, data.data());
      EXPECT_EQ(r.calc(first, 300 - split, data.data() + split), whole) << "split " << split;
    }
    // three pieces
    const u32 a = r.calc(0, 100, data.data());
    const u32 b = r.calc(a, 150, data.data() + 100);
    EXPECT_EQ(r.calc(b, 50, data.data() + 250), whole);
  }
}

TEST(CrcTest, NullDataGivesZeroEvenWithASeed) {
  for (const Routine& r : kRoutines) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(r.calc(0x5A, 10, nullptr), 0u);
    EXPECT_EQ(r.calc(0x5A, 0, nullptr), 0u);
    EXPECT_EQ(r.calc(0, -1, nullptr), 0u);
  }
}

TEST(CrcTest, ZeroOrNegativeLengthGivesTheSeedUnchanged) {
  const u8 data[4] = {1, 2, 3, 4};
  for (const Routine& r : kRoutines) {
    SCOPED_TRACE(r.name);
    const u32 mask = r.width == 32 ? 0xFFFFFFFFu : ((1u << r.width) - 1u);
    for (i32 length : {0, -1, -1000, INT32_MIN}) {
      EXPECT_EQ(r.calc(0x1234ABCDu & mask, length, data), 0x1234ABCDu & mask) << length;
      EXPECT_EQ(r.calc(0, length, data), 0u) << length;
    }
  }
}

TEST(CrcTest, ResultIsNotByteSwapped) {
  // one byte 0x01 through CRC-16 0x755B: register 0x0100 shifted eight times
  const u8 one = 0x01;
  EXPECT_EQ(HNFiff_Crc16_755B_CalcSwp(0, 1, &one), Reference(16, 0x755B, 0, {0x01}));
  EXPECT_EQ(HNFiff_Crc32CalcSwp(0, 1, &one), HNFiff_gaulCrc32Tab[1]);
  EXPECT_EQ(HNFiff_gaulCrc32Tab[1], 0x1EDC6F41u);
  EXPECT_EQ(HNFiff_gausCrc16Tab[1], 0x5935u);
  EXPECT_EQ(HNFiff_gaucCrc8Tab[1], 0x2Fu);
}

}  // namespace
