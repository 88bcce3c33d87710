// "corvane.dat" and "corvane.dat.chk": valid files, refusals, the streams'
// release after errors, and the ".chk" writer against the builder's bytes.
#include <functional>

#include "CCorvaneDat.h"
#include "CCorvaneDatChk.h"
#include "CCorvaneDatChkInvertedUdidReader.h"
#include "CCorvaneDatChkInvertedUdidWriter.h"
#include "CCorvaneDatUdidReader.h"
#include "ParamTestSupport.h"
#include "ParameterFileBuilders.h"

namespace {

using namespace ParamTest;
using namespace TestFiles;

Udid MakeUdid(u16 sadr) { return {0x02, 0x5C, 0x3E, static_cast<u8>(sadr >> 8), static_cast<u8>(sadr), 0x77}; }
Udid Inverted(const Udid& u) {
  Udid r{};
  for (int i = 0; i < 6; ++i) r[i] = static_cast<u8>(~u[i]);
  return r;
}

template <class TReader>
std::vector<std::pair<u16, Bytes>> Drain(TReader& reader) {
  reader.Open();
  std::vector<std::pair<u16, Bytes>> out;
  u16 sadr = 0;
  const u8* udid = nullptr;
  while (reader.TryReadNext(sadr, udid)) out.emplace_back(sadr, UdidBytes(udid));
  reader.Close();
  return out;
}

std::vector<std::pair<u16, Bytes>> Expected(const std::vector<UdidEntry>& entries) {
  std::vector<std::pair<u16, Bytes>> out;
  for (const auto& e : entries) out.emplace_back(e.sadr, Bytes(e.udid.begin(), e.udid.end()));
  return out;
}

TEST(CorvaneDat, ValidFiles) {
  const std::vector<UdidEntry> typical = {{1, MakeUdid(1)}, {2, Udid{}}, {1023, MakeUdid(1023)}};
  std::vector<UdidEntry> full;
  for (u16 s = 1; s <= 1023; ++s) full.push_back({s, s % 3 == 0 ? Udid{} : MakeUdid(s)});
  std::vector<UdidEntry> nonZero;
  for (const auto& e : full) if (e.udid != Udid{}) nonZero.push_back(e);
  // Largest for 65,536 bytes: records of 13 bytes in 65,452 bytes of room.
  std::vector<UdidEntry> largest;
  for (u16 i = 0; i < 65452 / 13; ++i) largest.push_back({static_cast<u16>(1 + i % 1023), MakeUdid(i)});
  struct Case {
    const char* name;
    Bytes file;
    std::vector<UdidEntry> plain;  // what the plain reader delivers
    std::size_t stored;            // what the ".chk" reader delivers
  };
  const std::vector<Case> cases = {
      {"minimal", BuildCorvaneDat({}), {}, 0},
      {"typical", BuildCorvaneDat(CorvaneDatRecords(typical)), {typical[0], typical[2]}, 3},
      {"written by the firmware", BuildCorvaneDatFull(full), nonZero, 1023},
      {"other sub-indices", BuildCorvaneDat(Records({{0xCC05, 254, Bytes(6, 1)}, {0xCC05, 255, Bytes(3, 1)}})),
       {{5, Udid{1, 1, 1, 1, 1, 1}}}, 1},
      {"largest", BuildCorvaneDat(CorvaneDatRecords(largest)), largest, largest.size()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FileBuffer buffer(c.file);
    Param::CCorvaneDat plain(buffer.Capacity(), buffer.Data());
    ASSERT_EQ(CatchRefusal([&] { plain.ReadContent(buffer.Capacity()); }), std::nullopt);
    Param::CCorvaneDatUdidReader reader(plain);
    EXPECT_EQ(Drain(reader), Expected(c.plain));
    FileBuffer chkBuffer(c.file);
    Param::CCorvaneDatChk chk(chkBuffer.Capacity(), chkBuffer.Data());
    chk.ReadContent(chkBuffer.Capacity());
    Param::CCorvaneDatChkInvertedUdidReader chkReader(chk);
    EXPECT_EQ(Drain(chkReader).size(), c.stored);
  }
  EXPECT_EQ(BuildCorvaneDatFull({}).size(), 13367u);
  EXPECT_LE(BuildCorvaneDat(CorvaneDatRecords(largest)).size(), 65536u);
}

TEST(CorvaneDat, Refusals) {
  const Bytes good = BuildCorvaneDat(CorvaneDatRecords({{1, MakeUdid(1)}, {9, MakeUdid(9)}}));
  const u32 size = static_cast<u32>(good.size());
  auto crcAfter = [&](std::function<void(Bytes&)> m) {
    Bytes f = good;
    m(f);
    return static_cast<u32>(Crc16(f.data(), 62));
  };
  ExpectRefusals<Param::CCorvaneDat>(good, {
      {"header length", [](Bytes& f) { PutU16(f, 0, 0); }, false, {0xE265, 0, 0}},
      {"version 1", [](Bytes& f) { PutU16(f, 2, 1); }, true, {0xE266, 0, 1}},
      {"total before CRC", [](Bytes& f) { PutU32(f, 4, 13367); }, false, {0xE267, 0, 13367}},
      {"header CRC", [](Bytes& f) { f[30] = 1; }, false, {0xE268, 0, crcAfter([](Bytes& f) { f[30] = 1; })}},
      {"offset", [](Bytes& f) { PutU32(f, 8, 0); }, true, {0xE269, 0, 0}},
      {"section beyond", [size](Bytes& f) { PutU32(f, 12, size); }, true, {0xE26A, 0, size}},
      {"section wraps", [](Bytes& f) { PutU32(f, 8, 0xFFFFFFFFu); PutU32(f, 12, 0xFFFFFFFFu); }, true,
       {0xE26A, 0, 0xFFFFFFFFu}},
      {"CRC offset", [](Bytes& f) { PutU32(f, 16, 0); }, true, {0xE26B, 0, 0}},
      {"CRC count", [](Bytes& f) { PutU32(f, 20, 0); }, true, {0xE26C, 0, 0}},
      {"CRC list beyond", [size](Bytes& f) { PutU32(f, 16, size); }, true, {0xE26D, 0, 1}},
      {"CRC list wraps", [](Bytes& f) { PutU32(f, 16, 0xFFFFFFFFu); }, true, {0xE26D, 0, 1}},
  }, RefreshCorvaneDatHeaderCrc);
  Bytes file = good;
  file[70] ^= 0x10;
  FileBuffer buffer(file, 0x10000);
  Param::CCorvaneDat object(buffer.Capacity(), buffer.Data());
  EXPECT_REFUSAL(object.ReadContent(size), 0xE26E, 0, Crc32(file.data() + 64, 26));
  EXPECT_REFUSAL(object.ReadContent(0x10001), 0xE263, 0, 0x10001);
  EXPECT_REFUSAL(object.ReadContent(0xFFFFFFFFu), 0xE263, 0, 0xFFFFFFFFu);
  EXPECT_REFUSAL(object.ReadContent(63), 0xE264, 0, 63);
  FileBuffer small(good, 0x1234);
  Param::CCorvaneDat smallObject(small.Capacity(), small.Data());
  EXPECT_REFUSAL(smallObject.ReadContent(0x1235), 0xE263, 0x1234, 0x1235);
}

TEST(CorvaneDat, ReadStateAndSectionHold) {
  Bytes section = CorvaneDatRecords({{1, MakeUdid(1)}});
  section.resize(section.size() + 2, 0);  // stray bytes
  const Bytes file = BuildCorvaneDat(section);
  FileBuffer buffer(file);
  Param::CCorvaneDat object(buffer.Capacity(), buffer.Data());
  Param::CCorvaneDatUdidReader reader(object);
  Param::CCorvaneDatUdidReader other(object);
  u32 length = 0;
  const u8* pointer = nullptr;
  EXPECT_MISUSE(object.StartReadingUdidSection(length, pointer));
  EXPECT_MISUSE(reader.Open());
  object.ReadContent(buffer.Capacity());
  reader.Open();
  EXPECT_MISUSE(other.Open());
  EXPECT_MISUSE(object.ReadContent(0));  // section in use
  u16 sadr = 0;
  const u8* udid = nullptr;
  ASSERT_TRUE(reader.TryReadNext(sadr, udid));
  EXPECT_REFUSAL(reader.TryReadNext(sadr, udid), 0xE2AA, 0, 13);
  other.Open();  // released by the error
  other.Close();
  EXPECT_MISUSE(reader.Close());
  // Object errors release the section too.
  const Bytes shortUdid = BuildCorvaneDat(Records({{0xCC01, 1, Bytes(5, 1)}}));
  FileBuffer shortBuffer(shortUdid);
  Param::CCorvaneDatChk chk(shortBuffer.Capacity(), shortBuffer.Data());
  chk.ReadContent(shortBuffer.Capacity());
  Param::CCorvaneDatChkInvertedUdidReader chkReader(chk);
  chkReader.Open();
  EXPECT_REFUSAL(chkReader.TryReadNext(sadr, udid), 0xE2B4, 0, 5);
  chkReader.Open();
  chkReader.Close();
}

TEST(CorvaneDatChk, WriterRoundTripAndBuilderBytes) {
  const std::vector<UdidEntry> acknowledged = {{1, MakeUdid(1)}, {500, Udid{}}, {1023, MakeUdid(1023)}};
  std::vector<UdidEntry> inverted;
  for (const auto& e : acknowledged) inverted.push_back({e.sadr, Inverted(e.udid)});
  FileBuffer buffer({}, 0x10000);
  Param::CCorvaneDatChk chk(buffer.Capacity(), buffer.Data());
  Param::CCorvaneDatChkInvertedUdidWriter writer(chk);
  writer.Open();  // no earlier read needed
  for (const auto& e : inverted) writer.WriteNext(e.sadr, e.udid.data());
  EXPECT_EQ(writer.GetContentLength(), 39u);
  writer.Close();
  EXPECT_EQ(writer.GetContentLength(), 39u);
  chk.WriteContent();
  const Bytes expected = BuildCorvaneDat(CorvaneDatRecords(inverted));
  ASSERT_EQ(chk.GetContentLength(), expected.size());
  EXPECT_EQ(buffer.Content(chk.GetContentLength()), expected);
  chk.ReadContent(chk.GetContentLength());
  Param::CCorvaneDatChkInvertedUdidReader reader(chk);
  EXPECT_EQ(Drain(reader), Expected(inverted));
  // The plain reader accepts the same bytes.
  Param::CCorvaneDat plain(buffer.Capacity(), buffer.Data());
  plain.ReadContent(static_cast<u32>(expected.size()));
}

TEST(CorvaneDatChk, EmptyAndUnchanged) {
  FileBuffer buffer({}, 0x10000);
  Param::CCorvaneDatChk chk(buffer.Capacity(), buffer.Data());
  EXPECT_MISUSE(chk.WriteContent());
  EXPECT_MISUSE(chk.GetContentLength());
  chk.ReadContent(0);
  chk.WriteContent();  // unchanged: nothing written
  EXPECT_EQ(chk.GetContentLength(), 0u);
  EXPECT_EQ(buffer.Data()[0], 0x5A);
  Param::CCorvaneDatChkInvertedUdidWriter writer(chk);
  writer.Open();
  writer.Close();
  chk.WriteContent();
  ASSERT_EQ(chk.GetContentLength(), 64u);
  const Bytes expected = BuildCorvaneDat({});
  EXPECT_EQ(buffer.Content(64), expected);
  EXPECT_EQ(GetU32(expected, 4), 64u);
  EXPECT_EQ(GetU32(expected, 16), 64u);
  // A second WriteContent changes nothing.
  buffer.Data()[0] = 0;
  chk.WriteContent();
  EXPECT_EQ(buffer.Data()[0], 0);
}

TEST(CorvaneDatChk, OutOfRoomLeavesTheGuardBytes) {
  constexpr u32 capacity = 200;  // room floor((200 x 16384 - 1,114,108) / 16388) = 131
  FileBuffer buffer({}, capacity, 64);
  Param::CCorvaneDatChk chk(buffer.Capacity(), buffer.Data());
  Param::CCorvaneDatChkInvertedUdidWriter writer(chk);
  writer.Open();
  const Udid udid = MakeUdid(1);
  u16 written = 0;
  std::optional<Refusal> refusal;
  while (!(refusal = CatchRefusal([&] { writer.WriteNext(static_cast<u16>(written + 1), udid.data()); }))) ++written;
  EXPECT_EQ(written, 131 / 13);
  EXPECT_EQ(*refusal, (Refusal{0xE2B1, static_cast<u16>(13 * written), 131}));
  EXPECT_REFUSAL(writer.WriteNext(0, udid.data()), 0xE2B8, 0, 0);
  writer.Close();
  chk.WriteContent();
  EXPECT_LE(chk.GetContentLength(), capacity);
  EXPECT_TRUE(buffer.GuardIntact());
  chk.ReadContent(chk.GetContentLength());
}

TEST(CorvaneDatChk, Room) {
  u8 bytes[65] = {};  // the room is only handed out, never written here
  struct Case {
    u32 capacity;
    u32 room;
  };
  for (const Case c : {Case{68, 0}, Case{69, 1}, Case{65536, 65452}, Case{0x40000, 262012},
                       Case{0xFFFFFFFFu, static_cast<u32>((0xFFFFFFFFull * 16384 - 1114108) / 16388)}}) {
    Param::CCorvaneDatChk chk(c.capacity, bytes);
    u32 room = 0;
    u8* section = nullptr;
    chk.StartWritingUdidSection(room, section);
    EXPECT_EQ(room, c.room) << c.capacity;
    EXPECT_EQ(section, bytes + 64);
    const u64 blocks = (static_cast<u64>(room) + 16383) / 16384;
    EXPECT_LE(64 + static_cast<u64>(room) + 4 * blocks, c.capacity);
    EXPECT_MISUSE(chk.StartWritingUdidSection(room, section));
    EXPECT_MISUSE(chk.StopReadingUdidSection());
    EXPECT_MISUSE(chk.StopWritingUdidSection(room + 1));
    chk.StopWritingUdidSection(room);
    EXPECT_MISUSE(chk.StopWritingUdidSection(0));
  }
  for (u32 capacity : {0u, 1u, 64u, 67u}) {
    Param::CCorvaneDatChk chk(capacity, bytes);
    u32 room = 0;
    u8* section = nullptr;
    EXPECT_MISUSE(chk.StartWritingUdidSection(room, section));
  }
}

}  // namespace

namespace {

TEST(CorvaneDat, EmptyContentAndReadAgainAfterAFailure) {
  const Bytes good = BuildCorvaneDat(CorvaneDatRecords({{4, MakeUdid(4)}}));
  FileBuffer buffer(good);
  Param::CCorvaneDat file(buffer.Capacity(), buffer.Data());
  Param::CCorvaneDatUdidReader reader(file);
  file.ReadContent(0);
  EXPECT_TRUE(Drain(reader).empty());
  buffer.Data()[2] = 1;  // version 1
  EXPECT_REFUSAL(file.ReadContent(buffer.Capacity()), 0xE266, 0, 1);
  EXPECT_MISUSE(reader.Open());  // unread after the failure
  buffer.Data()[2] = 2;
  file.ReadContent(buffer.Capacity());
  EXPECT_EQ(Drain(reader), Expected({{4, MakeUdid(4)}}));
  EXPECT_MISUSE(Param::CCorvaneDat(4, nullptr));
}

}  // namespace
