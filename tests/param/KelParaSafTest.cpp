// "kel_para.saf": valid files, refusals in check order, read state, section hold.
#include <functional>

#include "CKelParaSaf.h"
#include "CKelParaSafScmSectionParameterReader.h"
#include "ParamTestSupport.h"
#include "ParameterFileBuilders.h"

namespace {

using namespace ParamTest;
using namespace TestFiles;

constexpr u32 ms_Capacity = 262144;  // the persistence's buffer

/// Reads the file in a buffer of the given capacity and returns the section's records.
std::vector<std::pair<u16, Bytes>> ReadSection(const Bytes& file, u32 capacity) {
  FileBuffer buffer(file, capacity);
  Param::CKelParaSaf kel(buffer.Capacity(), buffer.Data());
  kel.ReadContent(static_cast<u32>(file.size()));
  Param::CKelParaSafScmSectionParameterReader reader(kel);
  reader.Open();
  std::vector<std::pair<u16, Bytes>> seen;
  u16 index = 0;
  u8 sub = 0;
  u32 length = 0;
  const u8* data = nullptr;
  while (reader.TryReadNext(index, sub, length, data)) {
    EXPECT_GE(data, buffer.Data());
    EXPECT_LE(data + length, buffer.Data() + file.size());
    seen.emplace_back(index, Bytes(data, data + length));
  }
  reader.Close();
  return seen;
}

TEST(KelParaSaf, ValidFiles) {
  struct Case {
    const char* name;
    Bytes section;        // records of the SCM section
    Bytes firstArea;      // the area the checker does not read
    std::size_t records;  // records expected
  };
  const Bytes typical = Records({U16Record(0xC400, 1, 5), U32Record(0xC400, 2, 0x11), {0x1018, 6, Bytes(20, 3)}});
  const Bytes oneBlock = Records({{0x3000, 1, Bytes(16384 - 7, 1)}});
  const Bytes twoBlocks = Records({{0x3000, 1, Bytes(16385 - 7, 2)}});
  // The largest section the capacity allows: 64 + L + 4 x 16 = 262,144.
  const Bytes largest = Records({{0x3000, 1, Bytes(ms_Capacity - 64 - 64 - 7, 4)}});
  const std::vector<Case> cases = {
      {"minimal", {}, {}, 0},
      {"typical", typical, {}, 3},
      {"first area", typical, Bytes(100, 9), 3},
      {"one block", oneBlock, {}, 1},
      {"two blocks", twoBlocks, {}, 1},
      {"largest", largest, {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = BuildKelParaSaf(c.section, c.firstArea);
    ASSERT_LE(file.size(), ms_Capacity);
    const auto seen = ReadSection(file, static_cast<u32>(file.size()));
    EXPECT_EQ(seen.size(), c.records);
  }
  EXPECT_EQ(BuildKelParaSaf(largest).size(), ms_Capacity);
  EXPECT_EQ(BuildKelParaSaf({}).size(), 64u);
}

TEST(KelParaSaf, EmptyContentHasAnEmptySection) {
  FileBuffer buffer({}, 16);
  Param::CKelParaSaf kel(buffer.Capacity(), buffer.Data());
  kel.ReadContent(0);
  u32 length = 1;
  const u8* section = nullptr;
  kel.StartReadingScmSection(length, section);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(section, buffer.Data());
  kel.StopReadingScmSection();
}

TEST(KelParaSaf, Refusals) {
  const Bytes good = BuildKelParaSaf(Records({U16Record(0xC400, 1, 5), {0x3000, 1, Bytes(40, 1)}}));
  const u32 size = static_cast<u32>(good.size());
  const u16 storedCrc = GetU16(good, 62);
  ExpectRefusals<Param::CKelParaSaf>(good, {
      {"header length", [](Bytes& f) { PutU16(f, 0, 65); }, false, {0xE254, 0, 65}},
      {"version", [](Bytes& f) { PutU16(f, 2, 0x0201); }, false, {0xE255, 0, 0x0201}},
      {"version before total", [](Bytes& f) { PutU16(f, 2, 0x0100); PutU32(f, 4, 1); }, false, {0xE255, 0, 0x0100}},
      {"total before CRC", [](Bytes& f) { PutU32(f, 4, 1000); }, false, {0xE256, 0, 1000}},
      {"section kind", [](Bytes& f) { PutU32(f, 44, 0x100); }, false, {0xE257, 0, 0x100}},
      {"header CRC", [](Bytes& f) { f[50] ^= 1; }, false, {0xE258, 0, storedCrc}},
      {"offset", [](Bytes& f) { PutU32(f, 28, 63); }, true, {0xE259, 0, 63}},
      {"section beyond", [size](Bytes& f) { PutU32(f, 32, size); }, true, {0xE25A, 0, size}},
      {"section wraps", [](Bytes& f) { PutU32(f, 28, 0xFFFFFFF0u); PutU32(f, 32, 0x20); }, true, {0xE25A, 0, 0x20}},
      {"section length 2^32-1", [](Bytes& f) { PutU32(f, 32, 0xFFFFFFFFu); }, true, {0xE25A, 0, 0xFFFFFFFFu}},
      {"CRC offset", [](Bytes& f) { PutU32(f, 36, GetU32(f, 36) - 1); }, true, {0xE25B, 0, size - 5}},
      {"CRC count", [](Bytes& f) { PutU32(f, 40, 2); }, true, {0xE25C, 0, 2}},
      {"CRC count 0", [](Bytes& f) { PutU32(f, 40, 0); }, true, {0xE25C, 0, 0}},
      {"CRC list beyond", [size](Bytes& f) { PutU32(f, 36, size - 3); }, true, {0xE25D, 0, 1}},
      {"CRC list wraps", [](Bytes& f) { PutU32(f, 36, 0xFFFFFFFCu); }, true, {0xE25D, 0, 1}},
  }, RefreshKelParaSafHeaderCrc);
  // Block CRC: the computed CRC of the damaged block.
  Bytes file = good;
  const u32 offset = GetU32(file, 28);
  file[offset + 10] ^= 0x40;
  const u32 computed = Crc32(file.data() + offset, GetU32(file, 32));
  FileBuffer buffer(file);
  Param::CKelParaSaf kel(buffer.Capacity(), buffer.Data());
  EXPECT_REFUSAL(kel.ReadContent(size), 0xE25E, 0, computed);
}

TEST(KelParaSaf, LengthRefusals) {
  FileBuffer buffer(BuildKelParaSaf({}), 0x10040);
  Param::CKelParaSaf kel(buffer.Capacity(), buffer.Data());
  EXPECT_REFUSAL(kel.ReadContent(0x10041), 0xE253, 0x0040, 0x10041);
  EXPECT_REFUSAL(kel.ReadContent(0xFFFFFFFFu), 0xE253, 0x0040, 0xFFFFFFFFu);
  EXPECT_REFUSAL(kel.ReadContent(63), 0xE253, 0, 63);
  EXPECT_REFUSAL(kel.ReadContent(1), 0xE253, 0, 1);
}

TEST(KelParaSaf, SectionWithinCapacityButBeyondTheFile) {
  Bytes file = BuildKelParaSaf(Records({U16Record(0xC400, 1, 5)}));
  PutU32(file, 32, GetU32(file, 32) + 100);
  RefreshKelParaSafHeaderCrc(file);
  FileBuffer buffer(file, 4096);
  Param::CKelParaSaf kel(buffer.Capacity(), buffer.Data());
  EXPECT_REFUSAL(kel.ReadContent(static_cast<u32>(file.size())), 0xE25A, 0, GetU32(file, 32));
}

TEST(KelParaSaf, ReadState) {
  const Bytes good = BuildKelParaSaf(Records({U16Record(0xC400, 1, 5)}));
  FileBuffer buffer(good);
  Param::CKelParaSaf kel(buffer.Capacity(), buffer.Data());
  u32 length = 0;
  const u8* section = nullptr;
  EXPECT_MISUSE(kel.StartReadingScmSection(length, section));
  EXPECT_MISUSE(kel.StopReadingScmSection());
  kel.ReadContent(static_cast<u32>(good.size()));
  buffer.Data()[0] = 0;
  EXPECT_TRUE(CatchRefusal([&] { kel.ReadContent(static_cast<u32>(good.size())); }).has_value());
  EXPECT_MISUSE(kel.StartReadingScmSection(length, section));
  buffer.Data()[0] = 64;
  kel.ReadContent(static_cast<u32>(good.size()));
  kel.StartReadingScmSection(length, section);
  EXPECT_EQ(length, 9u);
  EXPECT_EQ(section, buffer.Data() + 64);
  EXPECT_MISUSE(kel.StartReadingScmSection(length, section));
  kel.StopReadingScmSection();
  EXPECT_MISUSE(Param::CKelParaSaf(16, nullptr));
}

TEST(KelParaSafScmSectionParameterReader, HoldsTheSectionAndKeepsItOnRecordErrors) {
  Bytes section = Records({U16Record(0xC400, 1, 5)});
  section.resize(section.size() + 3, 0);  // stray bytes
  const Bytes file = BuildKelParaSaf(section);
  FileBuffer buffer(file);
  Param::CKelParaSaf kel(buffer.Capacity(), buffer.Data());
  Param::CKelParaSafScmSectionParameterReader reader(kel);
  Param::CKelParaSafScmSectionParameterReader other(kel);
  EXPECT_MISUSE(reader.Open());  // unread
  kel.ReadContent(static_cast<u32>(file.size()));
  reader.Open();
  EXPECT_MISUSE(other.Open());
  EXPECT_MISUSE(reader.Open());
  u16 index = 0;
  u8 sub = 0;
  u32 length = 0;
  const u8* data = nullptr;
  ASSERT_TRUE(reader.TryReadNext(index, sub, length, data));
  EXPECT_REFUSAL(reader.TryReadNext(index, sub, length, data), 0xE2AA, 0, 9);
  EXPECT_MISUSE(other.Open());  // still held after the record error
  reader.Close();
  other.Open();
  other.Close();
  EXPECT_MISUSE(other.Close());
}

}  // namespace
