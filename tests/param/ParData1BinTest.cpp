// "pardata1.bin": valid files of both versions, refusals with their steps,
// the header stream and its hold on the data area.
#include <functional>

#include "CParData1Bin.h"
#include "CParData1BinAdditionalParameterHeaderReader.h"
#include "ParamTestSupport.h"
#include "ParameterFileBuilders.h"

namespace {

using namespace ParamTest;
using namespace TestFiles;

struct Header {
  u16 sadr;
  u8 number;
  Bytes bytes;
  bool operator==(const Header&) const = default;
};

std::vector<Header> ReadHeaders(Param::CParData1Bin& file, const u8* begin, const u8* end) {
  Param::CParData1BinAdditionalParameterHeaderReader reader(file);
  reader.Open();
  std::vector<Header> out;
  u16 sadr = 0;
  u8 number = 0;
  const u8* header = nullptr;
  while (reader.TryReadNext(sadr, number, header)) {
    EXPECT_TRUE(header >= begin && header + 16 <= end);
    out.push_back({sadr, number, Bytes(header, header + 16)});
  }
  reader.Close();
  return out;
}

TEST(ParData1Bin, ValidFiles) {
  const ParBlock a{0, 1, Bytes(76, 0x11), 0x100};
  const ParBlock b{15, 1023, {}, 0x200};
  const ParBlock c{200, 7, Bytes(20000, 0x22)};  // the number is not checked here
  const ParBlock high{1, 2000, Bytes(10, 1), 0, 9};  // skipped in a 0x0200 file, version byte ignored
  const ParBlock big{3, 4, Bytes(70000, 0x33)};      // a file above 64 KiB
  Bytes stray = BuildParData1Raw([&] { Bytes d = ParDataBlock(a); d.resize(d.size() + 15, 0); return d; }(), 1, 0x0100, 0);
  struct Case {
    const char* name;
    Bytes file;
    std::vector<std::pair<u16, u8>> headers;
    u32 timestamp;
  };
  const std::vector<Case> cases = {
      {"header only", BuildParData1({}, 0x0100, 9), {}, 9},
      {"typical", BuildParData1({a, b}, 0x0100, 0xABCDEF01u), {{1, 0}, {1023, 15}}, 0xABCDEF01u},
      {"two blocks of CRCs", BuildParData1({c}), {{7, 200}}, 0},
      {"version 0x0200", BuildParData1({a, high, b}, 0x0200), {{1, 0}, {1023, 15}}, 0},
      {"above 64 KiB", BuildParData1({big}), {{4, 3}}, 0},
      {"15 stray bytes", stray, {{1, 0}}, 0},
      // The largest for the persistence's 196,608 bytes: 64 + 196,496 + 4 x 12.
      {"largest", BuildParData1({{5, 9, Bytes(196496 - 16, 0x44)}}), {{9, 5}}, 0},
  };
  for (const auto& cs : cases) {
    SCOPED_TRACE(cs.name);
    FileBuffer buffer(cs.file);
    Param::CParData1Bin file(buffer.Capacity(), buffer.Data());
    ASSERT_EQ(CatchRefusal([&] { file.ReadContent(buffer.Capacity()); }), std::nullopt);
    EXPECT_EQ(file.GetTimestamp(), cs.timestamp);
    std::vector<std::pair<u16, u8>> seen;
    for (const auto& h : ReadHeaders(file, buffer.Data(), buffer.Data() + cs.file.size())) {
      seen.emplace_back(h.sadr, h.number);
    }
    EXPECT_EQ(seen, cs.headers);
  }
  EXPECT_EQ(BuildParData1({{5, 9, Bytes(196496 - 16, 0x44)}}).size(), 196608u);
  // The headers come as stored.
  const Bytes file = BuildParData1({a});
  FileBuffer buffer(file);
  Param::CParData1Bin object(buffer.Capacity(), buffer.Data());
  object.ReadContent(buffer.Capacity());
  const Bytes block = ParDataBlock(a);
  EXPECT_EQ(ReadHeaders(object, buffer.Data(), buffer.Data() + file.size()),
            (std::vector<Header>{{1, 0, Bytes(block.begin(), block.begin() + 16)}}));
}

TEST(ParData1Bin, EmptyContentAndReadState) {
  FileBuffer buffer({}, 64);
  Param::CParData1Bin file(buffer.Capacity(), buffer.Data());
  u32 count = 0;
  u32 length = 0;
  const u8* data = nullptr;
  EXPECT_MISUSE(file.GetTimestamp());
  EXPECT_MISUSE(file.StartReadingData(count, length, data));
  file.ReadContent(0);
  EXPECT_EQ(file.GetTimestamp(), 0u);
  file.StartReadingData(count, length, data);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(length, 0u);
  EXPECT_MISUSE(file.StartReadingData(count, length, data));
  EXPECT_MISUSE(file.ReadContent(0));  // data in use
  file.StopReadingData();
  EXPECT_MISUSE(file.StopReadingData());
  EXPECT_MISUSE(Param::CParData1Bin(4, nullptr));
}

TEST(ParData1Bin, Refusals) {
  const Bytes good = BuildParData1({{1, 5, Bytes(30, 1)}});
  const u32 size = static_cast<u32>(good.size());
  ExpectRefusals<Param::CParData1Bin>(good, {
      {"header length", [](Bytes& f) { PutU16(f, 2, 65); }, false, {0xE2A8, 2, 65}},
      {"version", [](Bytes& f) { PutU16(f, 4, 0x0300); }, false, {0xE2A8, 3, 0x0300}},
      {"entry offset", [](Bytes& f) { PutU16(f, 6, 0); }, false, {0xE2A8, 4, 0}},
      {"header CRC", [&](Bytes& f) { PutU32(f, 60, 1); }, false, {0xE2A8, 10, 1}},
      {"data offset", [](Bytes& f) { PutU32(f, 16, 63); }, true, {0xE2A8, 5, 63}},
      {"data beyond", [size](Bytes& f) { PutU32(f, 12, size); }, true, {0xE2A8, 6, size}},
      {"data wraps", [](Bytes& f) { PutU32(f, 16, 0xFFFFFFFFu); PutU32(f, 12, 1); }, true, {0xE2A8, 6, 1}},
      {"CRC offset", [](Bytes& f) { PutU32(f, 24, 64); }, true, {0xE2A8, 7, 64}},
      {"CRC count", [](Bytes& f) { PutU32(f, 20, 0xFFFFFFFFu); }, true, {0xE2A8, 8, 0xFFFFFFFFu}},
      {"CRC list beyond", [size](Bytes& f) { PutU32(f, 24, size - 1); }, true, {0xE2A8, 9, 1}},
      {"CRC list wraps", [](Bytes& f) { PutU32(f, 24, 0xFFFFFFFEu); }, true, {0xE2A8, 9, 1}},
  }, RefreshParData1HeaderCrc);
  Bytes file = good;
  file[64 + 20] ^= 1;
  FileBuffer buffer(file, 0x10000);
  Param::CParData1Bin object(buffer.Capacity(), buffer.Data());
  EXPECT_REFUSAL(object.ReadContent(size), 0xE2A8, 11, Crc32(file.data() + 64, size - 68));
  EXPECT_REFUSAL(object.ReadContent(0x10001), 0xE2A8, 1, 0x10001);
  EXPECT_REFUSAL(object.ReadContent(63), 0xE2A8, 1, 63);
  EXPECT_MISUSE(object.GetTimestamp());  // failed reads leave it unread
  std::copy(good.begin(), good.end(), buffer.Data());
  object.ReadContent(size);
  EXPECT_EQ(object.GetTimestamp(), 0u);
}

TEST(ParData1BinAdditionalParameterHeaderReader, BlockRefusals) {
  struct Case {
    const char* name;
    std::function<Bytes()> data;
    u16 version;
    Refusal expected;
  };
  auto block = [](ParBlock b) { return ParDataBlock(b); };
  const std::vector<Case> cases = {
      {"version byte", [&] { return block({1, 5, {}, 0, 2}); }, 0x0100, {0xE2BC, 1, 2}},
      {"SADR 0", [&] { return block({1, 0, {}}); }, 0x0100, {0xE2BC, 2, 0}},
      {"SADR 2000 in 0x0100", [&] { return block({1, 2000, {}}); }, 0x0100, {0xE2BC, 2, 2000}},
      {"SADR 1024 in 0x0200", [&] { return block({1, 1024, {}}); }, 0x0200, {0xE2BC, 2, 1024}},
      {"payload beyond", [&] { Bytes d = block({1, 5, Bytes(4, 1)}); d.pop_back(); return d; }, 0x0100, {0xE2BC, 3, 4}},
      {"payload 2^32-1", [&] { Bytes d = block({1, 5, Bytes(4, 1)}); PutU32(d, 4, 0xFFFFFFFFu); return d; }, 0x0100,
       {0xE2BC, 3, 0xFFFFFFFFu}},
      {"skipped block beyond", [&] { Bytes d = block({1, 2000, Bytes(4, 1)}); PutU32(d, 4, 0xFFFFFFF0u); return d; },
       0x0200, {0xE2BC, 3, 0xFFFFFFF0u}},
      {"payload CRC", [&] { Bytes d = block({1, 5, Bytes(4, 1)}); PutU32(d, 8, 7); return d; }, 0x0100, {0xE2BC, 4, 7}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = BuildParData1Raw(c.data(), 1, c.version, 0);
    FileBuffer buffer(file);
    Param::CParData1Bin object(buffer.Capacity(), buffer.Data());
    object.ReadContent(buffer.Capacity());
    Param::CParData1BinAdditionalParameterHeaderReader reader(object);
    reader.Open();
    u16 sadr = 0;
    u8 number = 0;
    const u8* header = nullptr;
    EXPECT_EQ(CatchRefusal([&] { reader.TryReadNext(sadr, number, header); }), std::optional<Refusal>(c.expected));
    // The data area stays taken until Close.
    Param::CParData1BinAdditionalParameterHeaderReader other(object);
    EXPECT_MISUSE(other.Open());
    reader.Close();
    other.Open();
    other.Close();
  }
}

TEST(ParData1BinAdditionalParameterHeaderReader, Misuse) {
  const Bytes file = BuildParData1({});
  FileBuffer buffer(file);
  Param::CParData1Bin object(buffer.Capacity(), buffer.Data());
  Param::CParData1BinAdditionalParameterHeaderReader reader(object);
  u16 sadr = 0;
  u8 number = 0;
  const u8* header = nullptr;
  EXPECT_MISUSE(reader.Open());  // unread
  object.ReadContent(buffer.Capacity());
  EXPECT_MISUSE(reader.TryReadNext(sadr, number, header));
  EXPECT_MISUSE(reader.Close());
  reader.Open();
  EXPECT_MISUSE(reader.Open());
  EXPECT_FALSE(reader.TryReadNext(sadr, number, header));
  reader.Close();
}

}  // namespace
