// "autocnf.bin": both layouts, refusals in check order, the UDID section's
// checks at Open, and its hand-out once per read.
#include <functional>

#include "ApplicationFileBuilders.h"
#include "CAutoCnfBin.h"
#include "CAutoCnfBinUdidSectionUdidReader.h"
#include "ParamTestSupport.h"

namespace {

using namespace ParamTest;
using namespace TestFiles;

Udid MakeUdid(u8 seed) { return {seed, 2, 3, 4, 5, static_cast<u8>(seed ^ 0x5A)}; }

std::vector<std::pair<u16, Bytes>> ReadUdids(Param::CAutoCnfBin& file, const u8* begin, const u8* end) {
  Param::CAutoCnfBinUdidSectionUdidReader reader(file);
  reader.Open();
  std::vector<std::pair<u16, Bytes>> out;
  u16 sadr = 0;
  const u8* udid = nullptr;
  while (reader.TryReadNext(sadr, udid)) {
    EXPECT_TRUE(udid >= begin && udid + 6 <= end);
    out.emplace_back(sadr, UdidBytes(udid));
  }
  reader.Close();
  return out;
}

/// Module flags at 64, machine options behind them: the checker sets no order.
Bytes FlagsBeforeOptions(const Bytes& options) {
  Bytes file = BuildAutoCnfRaw(3, {}, AutoCnfMachineOptionSection(options), AutoCnfModuleFlagSection({}));
  Bytes swapped(file.begin(), file.begin() + 64);
  Append(swapped, AutoCnfModuleFlagSection({}));
  Append(swapped, AutoCnfMachineOptionSection(options));
  swapped.resize(swapped.size() + 4);
  PutU32(swapped, 24, 64 + 396);
  PutU32(swapped, 32, 64);
  RefreshAutoCnfHeaderCrc(swapped);
  RefreshAutoCnfFileCrc(swapped);
  return swapped;
}

TEST(AutoCnfBin, ValidFiles) {
  std::vector<UdidEntry> many;
  for (u16 i = 1; i <= 101; ++i) many.push_back({i, MakeUdid(static_cast<u8>(i))});
  const Bytes options(64, 0x3C);
  ModuleFlags two;
  two.threeArrays = false;
  struct Case {
    const char* name;
    Bytes file;
    u32 timestamp;
    std::size_t udids;
    bool options;
  };
  const std::vector<Case> cases = {
      {"header only", BuildAutoCnf({7, false, {}, {}, {}}), 7, 0, false},
      {"empty UDID list", BuildAutoCnf({8, true, {}, {}, {}}), 8, 0, false},
      {"typical", BuildAutoCnf({0x12345678, true, {{3, MakeUdid(3)}, {1, MakeUdid(1)}}, options, ModuleFlags{}}),
       0x12345678, 2, true},
      {"268-byte module flags", BuildAutoCnf({1, true, {{3, MakeUdid(3)}}, {}, two}), 1, 1, false},
      {"zero UDID skipped", BuildAutoCnf({1, true, {{3, Udid{}}, {4, MakeUdid(4)}}, options, {}}), 1, 1, true},
      {"largest list", BuildAutoCnf({2, true, many, options, ModuleFlags{}}), 2, 101, true},
      {"flags before options", FlagsBeforeOptions(options), 3, 0, true},
      {"section count 5", [&] {
         Bytes f = BuildAutoCnf({4, true, {{3, MakeUdid(3)}}, {}, {}});
         PutU16(f, 0, 5);
         RefreshAutoCnfHeaderCrc(f);
         RefreshAutoCnfFileCrc(f);
         return f;
       }(), 4, 1, false},
      {"old layout", BuildAutoCnfOldLayout({{9, MakeUdid(9)}, {2, MakeUdid(2)}}), 0, 2, false},
      {"old layout, empty list", BuildAutoCnfOldLayout({}), 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FileBuffer buffer(c.file);
    Param::CAutoCnfBin file(buffer.Capacity(), buffer.Data());
    ASSERT_EQ(CatchRefusal([&] { file.ReadContent(buffer.Capacity()); }), std::nullopt);
    EXPECT_EQ(file.GetTimestamp(), c.timestamp);
    EXPECT_EQ(file.HasMachineOptionSection(), c.options);
    u16 length = 1;
    const u8* data = nullptr;
    file.GetRawMachineOptionSection(length, data);
    EXPECT_EQ(length, c.options ? 76 : 0);
    if (c.options) {
      EXPECT_EQ(Bytes(data, data + 76), AutoCnfMachineOptionSection(options));
    }
    EXPECT_EQ(ReadUdids(file, buffer.Data(), buffer.Data() + c.file.size()).size(), c.udids);
  }
  EXPECT_EQ(BuildAutoCnf({0, false, {}, {}, {}}).size(), 68u);
}

TEST(AutoCnfBin, EmptyContent) {
  FileBuffer buffer({}, 8);
  Param::CAutoCnfBin file(buffer.Capacity(), buffer.Data());
  EXPECT_MISUSE(file.GetTimestamp());
  EXPECT_MISUSE(file.HasMachineOptionSection());
  EXPECT_MISUSE(file.GetUdidSection());
  file.ReadContent(0);
  EXPECT_EQ(file.GetTimestamp(), 0u);
  EXPECT_FALSE(file.HasMachineOptionSection());
  EXPECT_TRUE(ReadUdids(file, buffer.Data(), buffer.Data()).empty());
  EXPECT_TRUE(ReadUdids(file, buffer.Data(), buffer.Data()).empty());  // an empty list is handed out again
}

TEST(AutoCnfBin, Refusals) {
  const Bytes udid = AutoCnfUdidSection({{3, MakeUdid(3)}});          // 20 bytes
  const Bytes options = AutoCnfMachineOptionSection(Bytes(64, 1));     // 76 bytes
  const Bytes flags = AutoCnfModuleFlagSection({});                    // 396 bytes
  const Bytes good = BuildAutoCnfRaw(5, udid, options, flags);
  const u32 size = static_cast<u32>(good.size());
  const u32 crcPosition = size - 4;
  ExpectRefusals<Param::CAutoCnfBin>(good, {
      {"section count", [](Bytes& f) { PutU16(f, 0, 6); PutU16(f, 2, 0); }, false, {0xE285, 0, 6}},
      {"header length", [](Bytes& f) { PutU16(f, 2, 63); }, false, {0xE286, 0, 63}},
      {"version", [](Bytes& f) { PutU16(f, 4, 0x0401); }, false, {0xE287, 0, 0x0401}},
      {"information offset", [](Bytes& f) { PutU16(f, 6, 9); }, false, {0xE288, 0, 9}},
      {"UDID offset", [](Bytes& f) { PutU32(f, 16, 65); }, false, {0xE28A, 0, 65}},
      {"UDID offset without length", [](Bytes& f) { PutU32(f, 12, 0); }, false, {0xE28A, 0, 64}},
      {"UDID beyond", [size](Bytes& f) { PutU32(f, 12, size); }, false, {0xE289, 64, size}},
      {"UDID length 2^32-1", [](Bytes& f) { PutU32(f, 12, 0xFFFFFFFFu); }, false, {0xE289, 64, 0xFFFF}},
      {"UDID length 9", [](Bytes& f) { PutU32(f, 12, 9); }, false, {0xE29E, 0, 9}},
      {"UDID length 1", [](Bytes& f) { PutU32(f, 12, 1); }, false, {0xE29E, 0, 1}},
      {"options 75", [](Bytes& f) { PutU32(f, 20, 75); }, false, {0xE28C, 0, 75}},
      {"options offset 0", [](Bytes& f) { PutU32(f, 24, 0); }, false, {0xE28D, 0, 0}},
      {"options offset 63", [](Bytes& f) { PutU32(f, 24, 63); }, false, {0xE28D, 0, 63}},
      {"options offset without length", [](Bytes& f) { PutU32(f, 20, 0); }, false, {0xE28D, 0, 84}},
      {"options beyond", [size](Bytes& f) { PutU32(f, 24, size - 75); }, false, {0xE28B, static_cast<u16>(size - 75), 76}},
      {"options wrap", [](Bytes& f) { PutU32(f, 24, 0xFFFFFFC0u); }, false, {0xE28B, 0xFFC0, 76}},
      {"flags 267", [](Bytes& f) { PutU32(f, 28, 267); }, false, {0xE28F, 0, 267}},
      {"flags 397", [](Bytes& f) { PutU32(f, 28, 397); }, false, {0xE28F, 0, 397}},
      {"flags offset", [](Bytes& f) { PutU32(f, 32, 1); }, false, {0xE290, 0, 1}},
      {"flags beyond", [](Bytes& f) { PutU32(f, 32, 0xFFFFFF00u); }, false, {0xE28E, 0xFF00, 396}},
      {"header CRC", [](Bytes& f) { f[40] ^= 1; }, false, {0xE291, 0, Crc32([&] { Bytes g = good; g[40] ^= 1; return g; }().data(), 60)}},
      {"file CRC", [](Bytes& f) { f[100] ^= 1; }, false,
       {0xE2A5, 0, Crc32([&] { Bytes g = good; g[100] ^= 1; return g; }().data(), crcPosition)}},
      {"huge UDID section", [](Bytes& f) { PutU32(f, 28, 0); PutU32(f, 32, 0); PutU32(f, 20, 0); PutU32(f, 24, 0); PutU32(f, 12, 0xFFFF); PutU32(f, 16, 64); },
       true, {0xE289, 64, 0xFFFF}},
  }, [](Bytes& f) {
    RefreshAutoCnfHeaderCrc(f);
    RefreshAutoCnfFileCrc(f);
  });
}

TEST(AutoCnfBin, LengthsAndTheFileCrcPosition) {
  const Bytes good = BuildAutoCnf({5, true, {{3, MakeUdid(3)}}, Bytes(64, 1), {}});
  const u32 size = static_cast<u32>(good.size());
  {
    FileBuffer buffer(good, 0x10000);
    Param::CAutoCnfBin file(buffer.Capacity(), buffer.Data());
    EXPECT_REFUSAL(file.ReadContent(0x10001), 0xE283, 0, 0x10001);
    EXPECT_REFUSAL(file.ReadContent(0xFFFFFFFFu), 0xE283, 0, 0xFFFFFFFFu);
    EXPECT_REFUSAL(file.ReadContent(63), 0xE284, 0, 63);
    // Cut short behind the sections: the file CRC lies outside the content.
    for (u32 cut = 1; cut <= 4; ++cut) {
      EXPECT_REFUSAL(file.ReadContent(size - cut), 0xE2A5, 1, size - 4);
    }
    // Extended: the file CRC is found where the sections end.
    file.ReadContent(size + 10);
    EXPECT_EQ(file.GetTimestamp(), 5u);
  }
  // A section lying behind the file CRC is refused with its own code.
  Bytes behind = BuildAutoCnfRaw(1, {}, AutoCnfMachineOptionSection({}), {});  // 64 + 76 + 4
  PutU32(behind, 24, 144);
  RefreshAutoCnfHeaderCrc(behind);
  behind.resize(220, 0);
  FileBuffer buffer(behind);
  Param::CAutoCnfBin file(buffer.Capacity(), buffer.Data());
  EXPECT_REFUSAL(file.ReadContent(220), 0xE28B, 144, 76);
}

TEST(AutoCnfBin, OldLayoutIsTestedBeforeTheHeaderMinimum) {
  const Bytes old = BuildAutoCnfOldLayout({});  // 12 bytes
  FileBuffer buffer(old);
  Param::CAutoCnfBin file(buffer.Capacity(), buffer.Data());
  file.ReadContent(12);
  EXPECT_EQ(file.GetTimestamp(), 0u);
  // 8 bytes with version 0x0300 are the old layout too: too short a section, refused at Open.
  file.ReadContent(8);
  Param::CAutoCnfBinUdidSectionUdidReader reader(file);
  EXPECT_REFUSAL(reader.Open(), 0xE2A0, 0, 0);
  // 7 bytes are not: below the header.
  EXPECT_REFUSAL(file.ReadContent(7), 0xE284, 0, 7);
}

TEST(AutoCnfBinUdidSection, RefusalsSurfaceAtOpen) {
  const Bytes good = AutoCnfUdidSection({{3, MakeUdid(3)}, {4, MakeUdid(4)}});  // 28 bytes
  struct Case {
    const char* name;
    std::function<void(Bytes&)> mutate;
    Refusal expected;
  };
  const std::vector<Case> cases = {
      {"count 102", [](Bytes& s) { PutU16(s, 0, 102); }, {0xE29F, 0, 102}},
      {"count 0xFFFF", [](Bytes& s) { PutU16(s, 0, 0xFFFF); }, {0xE29F, 0, 0xFFFF}},
      {"count beyond the section", [](Bytes& s) { PutU16(s, 0, 3); }, {0xE2A0, 0, 24}},
      {"entry length", [](Bytes& s) { PutU16(s, 2, 9); }, {0xE2A1, 0, 9}},
      {"version", [](Bytes& s) { PutU16(s, 4, 0x0400); }, {0xE2A2, 0, 0x0400}},
      {"entry offset", [](Bytes& s) { PutU16(s, 6, 10); }, {0xE2A3, 0, 10}},
      {"CRC", [](Bytes& s) { s[9] ^= 1; }, {0xE2A4, 0, GetU32(good, 24)}},
  };
  for (const auto& c : cases) {
    for (bool oldLayout : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (oldLayout ? " (old layout)" : ""));
      Bytes section = good;
      c.mutate(section);
      const Bytes file = oldLayout ? section : BuildAutoCnfRaw(1, section, {}, {});
      if (oldLayout && GetU16(section, 4) != 0x0300) continue;  // no longer the old layout
      FileBuffer buffer(file);
      Param::CAutoCnfBin object(buffer.Capacity(), buffer.Data());
      object.ReadContent(buffer.Capacity());  // errors inside the section do not surface here
      Param::CAutoCnfBinUdidSectionUdidReader reader(object);
      EXPECT_EQ(CatchRefusal([&] { reader.Open(); }), std::optional<Refusal>(c.expected));
    }
  }
  // SADR 0 surfaces on reading.
  Bytes section = AutoCnfUdidSection({{0, MakeUdid(3)}});
  FileBuffer buffer(BuildAutoCnfRaw(1, section, {}, {}));
  Param::CAutoCnfBin object(buffer.Capacity(), buffer.Data());
  object.ReadContent(buffer.Capacity());
  Param::CAutoCnfBinUdidSectionUdidReader reader(object);
  reader.Open();
  u16 sadr = 0;
  const u8* udid = nullptr;
  EXPECT_REFUSAL(reader.TryReadNext(sadr, udid), 0xE2AE, 0, 0);
}

TEST(AutoCnfBinUdidSection, HandedOutOncePerRead) {
  const Bytes bytes = BuildAutoCnf({1, true, {{3, MakeUdid(3)}}, {}, {}});
  FileBuffer buffer(bytes);
  Param::CAutoCnfBin file(buffer.Capacity(), buffer.Data());
  file.ReadContent(buffer.Capacity());
  Param::CAutoCnfBinUdidSectionUdidReader reader(file);
  reader.Open();
  EXPECT_MISUSE(reader.Open());
  reader.Close();
  EXPECT_MISUSE(reader.Open());  // nothing handed out a second time
  file.ReadContent(buffer.Capacity());
  EXPECT_EQ(ReadUdids(file, buffer.Data(), buffer.Data() + bytes.size()).size(), 1u);
  // A failed read leaves the file unread, a later good one serves again.
  buffer.Data()[2] = 0;
  EXPECT_REFUSAL(file.ReadContent(buffer.Capacity()), 0xE286, 0, 0);
  EXPECT_MISUSE(file.GetTimestamp());
  buffer.Data()[2] = 64;
  file.ReadContent(buffer.Capacity());
  EXPECT_EQ(ReadUdids(file, buffer.Data(), buffer.Data() + bytes.size()).size(), 1u);
  EXPECT_MISUSE(Param::CAutoCnfBin(4, nullptr));
}

}  // namespace
