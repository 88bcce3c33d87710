// The cyclic memory test over sections the test owns: map validation, the
// reference pass, the position at which a changed byte is found and the
// short, empty and zero-section cases.
#include <gtest/gtest.h>

#include <vector>

#include "CException.h"
#include "CProcessImageTester.h"
#include "ErrorCodes.h"
#include "HNFiff_Crc.h"

namespace {

using Util::CException;
using Util::CProcessImageTester;
using Util::CProcessImageTesterSectionMap;
using Util::ErrorCodes;

constexpr u32 kBlock = CProcessImageTester::ms_CrcBlockLength;

/// A section of the given length with its reference table.
struct Section {
  explicit Section(u32 length) : bytes(length + 1), table((length + kBlock - 1) / kBlock + 1, 0xDEADBEEF) {
    for (u32 i = 0; i < length; ++i) {
      bytes[i] = static_cast<u8>(i * 7 + 3);
    }
    this->length = length;
  }
  CProcessImageTesterSectionMap Map() {
    return CProcessImageTesterSectionMap(bytes.data(), bytes.data() + length, table.data(),
                                         table.data() + (length + kBlock - 1) / kBlock);
  }
  std::vector<u8> bytes;   ///< the section (one spare byte so that an empty one has a real address)
  std::vector<u32> table;  ///< reference CRCs (one spare entry)
  u32 length;              ///< bytes of the section
};

u16 InternalErrorLine(const CProcessImageTesterSectionMap* const* maps, u32 count) {
  try {
    CProcessImageTester tester(count, maps);
  } catch (const CException& error) {
    EXPECT_EQ(error.GetCode(), ErrorCodes::ms_InternalError);
    return error.GetInformation0();
  }
  return 0;
}

TEST(ProcessImageTesterTest, RejectsEveryBadMap) {
  Section section(3 * kBlock);
  u8* s = section.bytes.data();
  u32* t = section.table.data();
  struct Case {
    const char* what;
    CProcessImageTesterSectionMap map;
  };
  const Case cases[] = {
      {"null start", CProcessImageTesterSectionMap(nullptr, s + 10, t, t + 1)},
      {"null end", CProcessImageTesterSectionMap(s, nullptr, t, t + 1)},
      {"null table start", CProcessImageTesterSectionMap(s, s + 10, nullptr, t + 1)},
      {"null table end", CProcessImageTesterSectionMap(s, s + 10, t, nullptr)},
      {"end below start", CProcessImageTesterSectionMap(s + 10, s, t, t)},
      {"table end below start", CProcessImageTesterSectionMap(s, s + 10, t + 1, t)},
      {"table one short", CProcessImageTesterSectionMap(s, s + kBlock + 1, t, t + 1)},
      {"table one long", CProcessImageTesterSectionMap(s, s + kBlock, t, t + 2)},
      {"empty section with an entry", CProcessImageTesterSectionMap(s, s, t, t + 1)},
  };
  std::vector<u16> lines;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CProcessImageTesterSectionMap* maps[] = {&c.map};
    const u16 line = InternalErrorLine(maps, 1);
    EXPECT_NE(line, 0);
    lines.push_back(line);
  }
  // Each check has its own line; the two table-size cases share one.
  EXPECT_NE(lines[0], lines[1]);
  EXPECT_NE(lines[4], lines[5]);
  EXPECT_EQ(lines[6], lines[7]);

  EXPECT_NE(InternalErrorLine(nullptr, 1), 0);
  const CProcessImageTesterSectionMap* nullMap[] = {nullptr};
  EXPECT_NE(InternalErrorLine(nullMap, 1), 0);
  // A bad map after a good one is found too.
  const CProcessImageTesterSectionMap good = section.Map();
  const CProcessImageTesterSectionMap* second[] = {&good, nullptr};
  EXPECT_NE(InternalErrorLine(second, 2), 0);
}

TEST(ProcessImageTesterTest, AcceptsGoodAndEmptyMaps) {
  Section a(kBlock), b(0), c(kBlock + 1);
  const CProcessImageTesterSectionMap ma = a.Map(), mb = b.Map(), mc = c.Map();
  const CProcessImageTesterSectionMap* maps[] = {&ma, &mb, &mc};
  EXPECT_EQ(InternalErrorLine(maps, 3), 0);
}

TEST(ProcessImageTesterTest, ZeroSectionsDoNothing) {
  const CProcessImageTesterSectionMap* none[] = {nullptr};
  CProcessImageTester tester(0, none);
  tester.Initialize();
  for (int i = 0; i < 3; ++i) {
    tester.TestOneMemoryBlock();
  }
}

TEST(ProcessImageTesterTest, InitializeStoresEveryBlocksCrc) {
  Section a(2 * kBlock + 5), b(100);
  const CProcessImageTesterSectionMap ma = a.Map(), mb = b.Map();
  const CProcessImageTesterSectionMap* maps[] = {&ma, &mb};
  CProcessImageTester tester(2, maps);
  tester.Initialize();
  EXPECT_EQ(a.table[0], HNFiff_Crc32CalcSwp(0, kBlock, a.bytes.data()));
  EXPECT_EQ(a.table[1], HNFiff_Crc32CalcSwp(0, kBlock, a.bytes.data() + kBlock));
  EXPECT_EQ(a.table[2], HNFiff_Crc32CalcSwp(0, 5, a.bytes.data() + 2 * kBlock));
  EXPECT_EQ(a.table[3], 0xDEADBEEFu) << "nothing written past the table";
  EXPECT_EQ(b.table[0], HNFiff_Crc32CalcSwp(0, 100, b.bytes.data()));
}

TEST(ProcessImageTesterTest, UnchangedMemoryPassesManyRounds) {
  Section a(kBlock + 1), b(0), c(300);
  const CProcessImageTesterSectionMap ma = a.Map(), mb = b.Map(), mc = c.Map();
  const CProcessImageTesterSectionMap* maps[] = {&ma, &mb, &mc};
  CProcessImageTester tester(3, maps);
  tester.Initialize();
  // One round: 64 + 1 steps for a, 1 for the empty b, 2 for c.
  for (int i = 0; i < 3 * 68; ++i) {
    tester.TestOneMemoryBlock();
  }
}

/// Steps until the tester throws; returns the step count (0 when it never did within limit).
int StepsUntilMismatch(CProcessImageTester& tester, int limit, CException& caught) {
  for (int step = 1; step <= limit; ++step) {
    try {
      tester.TestOneMemoryBlock();
    } catch (const CException& error) {
      caught = error;
      return step;
    }
  }
  return 0;
}

TEST(ProcessImageTesterTest, ChangedByteFoundAtTheLastStepOfItsBlock) {
  Section s0(500), s1(4 * kBlock + 10);
  const CProcessImageTesterSectionMap m0 = s0.Map(), m1 = s1.Map();
  const CProcessImageTesterSectionMap* maps[] = {&m0, &m1};
  CProcessImageTester tester(2, maps);
  tester.Initialize();
  s1.bytes[3 * kBlock + 17] ^= 0x01;
  CException caught(0);
  // Section 0 takes 2 steps, blocks 0..2 of section 1 take 64 each, block 3 its 64th.
  EXPECT_EQ(StepsUntilMismatch(tester, 1000, caught), 2 + 3 * 64 + 64);
  EXPECT_EQ(caught.GetCode(), ErrorCodes::ms_MemoryBlockCrcDiffers);
  EXPECT_EQ(caught.GetInformation0(), 1);
  EXPECT_EQ(caught.GetInformation1(), 3u);
}

TEST(ProcessImageTesterTest, OneByteSecondBlockIsCompleteAfterOneStep) {
  Section s(kBlock + 1);
  const CProcessImageTesterSectionMap m = s.Map();
  const CProcessImageTesterSectionMap* maps[] = {&m};
  CProcessImageTester tester(1, maps);
  tester.Initialize();
  s.bytes[kBlock] ^= 0xFF;
  CException caught(0);
  EXPECT_EQ(StepsUntilMismatch(tester, 1000, caught), 65);
  EXPECT_EQ(caught.GetInformation0(), 0);
  EXPECT_EQ(caught.GetInformation1(), 1u);
}

TEST(ProcessImageTesterTest, EmptySectionCostsOneStep) {
  Section s0(0), s1(10);
  const CProcessImageTesterSectionMap m0 = s0.Map(), m1 = s1.Map();
  const CProcessImageTesterSectionMap* maps[] = {&m0, &m1};
  CProcessImageTester tester(2, maps);
  tester.Initialize();
  s1.bytes[9] ^= 0x80;
  CException caught(0);
  EXPECT_EQ(StepsUntilMismatch(tester, 10, caught), 2);
  EXPECT_EQ(caught.GetInformation0(), 1);
}

}  // namespace
