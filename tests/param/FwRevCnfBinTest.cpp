// "fwrevcnf.bin" and "fwrevcnf.bin.chk": valid files, refusals in check order,
// the module streams, and the ".chk" writer against the builder's bytes.
#include <functional>

#include "ApplicationFileBuilders.h"
#include "CFwRevCnfBin.h"
#include "CFwRevCnfBinChk.h"
#include "CFwRevCnfBinChkInvertedMinorRevisionReader.h"
#include "CFwRevCnfBinChkInvertedMinorRevisionWriter.h"
#include "CFwRevCnfBinMinorRevisionReader.h"
#include "ParamTestSupport.h"

namespace {

using namespace ParamTest;
using namespace TestFiles;

FwRevCnfContent Typical() {
  FwRevCnfContent c;
  c.entries = {{1, 0x0102}, {7, 0}, {1023, 0xFFFF}};
  c.flags = 0x1F;
  c.qorUdid = {0x02, 0x5C, 0x3E, 9, 8, 7};
  c.targetId = {1, 2, 3, 4, 5, 6, 7, 8};
  for (int i = 0; i < 16; ++i) c.password[i] = static_cast<u8>('a' + i);
  return c;
}

template <class TReader>
std::vector<std::pair<u16, u16>> Drain(TReader& reader) {
  reader.Open();
  std::vector<std::pair<u16, u16>> out;
  u16 sadr = 0;
  u16 revision = 0;
  while (reader.TryReadNext(sadr, revision)) out.emplace_back(sadr, revision);
  reader.Close();
  return out;
}

TEST(FwRevCnfBin, ValidFiles) {
  FwRevCnfContent none;
  none.flags = 0;
  FwRevCnfContent largest = Typical();
  largest.entries.clear();
  for (u16 s = 1; s <= 1023; ++s) largest.entries.push_back({s, s});
  struct Case {
    const char* name;
    FwRevCnfContent content;
    std::size_t plainEntries;
  };
  const std::vector<Case> cases = {{"no entries", none, 0}, {"typical", Typical(), 2}, {"1023 entries", largest, 1023}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = BuildFwRevCnf(c.content);
    EXPECT_EQ(bytes.size(), 53 + 4 * c.content.entries.size());
    FileBuffer buffer(bytes);
    Param::CFwRevCnfBin file(buffer.Capacity(), buffer.Data());
    ASSERT_EQ(CatchRefusal([&] { file.ReadContent(buffer.Capacity()); }), std::nullopt);
    EXPECT_EQ(file.HasCpuId(), (c.content.flags & 1) != 0);
    EXPECT_EQ(file.HasQorUdid(), (c.content.flags & 2) != 0);
    EXPECT_EQ(file.HasPassword(), (c.content.flags & 4) != 0);
    EXPECT_EQ(file.WasCorvaneEmpty(), (c.content.flags & 8) != 0);
    EXPECT_EQ(file.IsSetupModeActive(), (c.content.flags & 16) != 0);
    EXPECT_EQ(Bytes(file.GetCpuId(), file.GetCpuId() + 8), Bytes(c.content.targetId.begin(), c.content.targetId.end()));
    EXPECT_EQ(UdidBytes(file.GetQorUdid()), Bytes(c.content.qorUdid.begin(), c.content.qorUdid.end()));
    EXPECT_EQ(Bytes(file.GetPassword(), file.GetPassword() + 16),
              Bytes(c.content.password.begin(), c.content.password.end()));
    Param::CFwRevCnfBinMinorRevisionReader reader(file);
    EXPECT_EQ(Drain(reader).size(), c.plainEntries);  // revision 0 skipped
    FileBuffer chkBuffer(bytes);
    Param::CFwRevCnfBinChk chk(chkBuffer.Capacity(), chkBuffer.Data());
    chk.ReadContent(chkBuffer.Capacity());
    Param::CFwRevCnfBinChkInvertedMinorRevisionReader chkReader(chk);
    EXPECT_EQ(Drain(chkReader).size(), c.content.entries.size());  // none skipped
    EXPECT_EQ(Bytes(chk.GetInvertedCpuId(), chk.GetInvertedCpuId() + 8),
              Bytes(c.content.targetId.begin(), c.content.targetId.end()));
  }
}

TEST(FwRevCnfBin, EmptyContent) {
  FileBuffer buffer({}, 64);
  Param::CFwRevCnfBin file(buffer.Capacity(), buffer.Data());
  EXPECT_MISUSE(file.HasCpuId());
  EXPECT_MISUSE(file.GetPassword());
  EXPECT_MISUSE(file.IsSetupModeActive());
  file.ReadContent(0);
  EXPECT_FALSE(file.HasCpuId() || file.HasQorUdid() || file.HasPassword() || file.WasCorvaneEmpty() ||
               file.IsSetupModeActive());
  EXPECT_EQ(Bytes(file.GetCpuId(), file.GetCpuId() + 8), Bytes(8, 0));
  EXPECT_EQ(UdidBytes(file.GetQorUdid()), Bytes(6, 0));
  EXPECT_EQ(Bytes(file.GetPassword(), file.GetPassword() + 16), Bytes(16, 0));
  Param::CFwRevCnfBinMinorRevisionReader reader(file);
  EXPECT_TRUE(Drain(reader).empty());
  FileBuffer chkBuffer({}, 64);
  Param::CFwRevCnfBinChk chk(chkBuffer.Capacity(), chkBuffer.Data());
  chk.ReadContent(0);
  EXPECT_EQ(Bytes(chk.GetInvertedCpuId(), chk.GetInvertedCpuId() + 8), Bytes(8, 0xFF));
  EXPECT_EQ(UdidBytes(chk.GetInvertedQorUdid()), Bytes(6, 0xFF));
  EXPECT_EQ(Bytes(chk.GetInvertedPassword(), chk.GetInvertedPassword() + 16), Bytes(16, 0xFF));
}

TEST(FwRevCnfBin, Refusals) {
  const Bytes good = BuildFwRevCnf(Typical());  // 65 bytes, p = 24
  const u32 size = static_cast<u32>(good.size());
  auto crc = [&](std::function<void(Bytes&)> m, std::size_t from, std::size_t length) {
    Bytes f = good;
    m(f);
    return Crc32(f.data() + from, length);
  };
  ExpectRefusals<Param::CFwRevCnfBin>(good, {
      {"count 1024", [](Bytes& f) { PutU16(f, 0, 1024); PutU16(f, 2, 0); }, false, {0xE276, 0, 1024}},
      {"entry length", [](Bytes& f) { PutU16(f, 2, 8); }, false, {0xE277, 0, 8}},
      {"version 0x0100", [](Bytes& f) { PutU16(f, 4, 0x0100); }, false, {0xE278, 0, 0x0100}},
      {"entry offset", [](Bytes& f) { PutU16(f, 6, 12); }, false, {0xE279, 0, 12}},
      {"module section beyond", [](Bytes& f) { PutU16(f, 0, 14); }, false, {0xE274, 8, 56}},
      {"module CRC", [](Bytes& f) { f[9] ^= 1; }, false, {0xE27A, 0, crc([](Bytes& f) { f[9] ^= 1; }, 0, 20)}},
      {"second section word", [](Bytes& f) { PutU16(f, 24, 9); }, false, {0xE27B, 0, 9}},
      {"second section offset", [](Bytes& f) { PutU16(f, 26, 5); }, false, {0xE27C, 0, 5}},
      {"flags 0x20", [](Bytes& f) { PutU16(f, 28, 0x20); }, false, {0xE27D, 0, 0x20}},
      {"flags 0x8000", [](Bytes& f) { PutU16(f, 28, 0x8001); }, false, {0xE27D, 0, 0x8001}},
      {"second CRC", [](Bytes& f) { f[40] ^= 1; }, false, {0xE27E, 0, crc([](Bytes& f) { f[40] ^= 1; }, 24, 37)}},
  });
  FileBuffer buffer(good, 0x10000);
  Param::CFwRevCnfBin object(buffer.Capacity(), buffer.Data());
  EXPECT_REFUSAL(object.ReadContent(11), 0xE273, 0, 11);
  EXPECT_REFUSAL(object.ReadContent(0x10001), 0xE273, 0, 0x10001);
  EXPECT_REFUSAL(object.ReadContent(0xFFFFFFFFu), 0xE273, 0, 0xFFFFFFFFu);
  EXPECT_REFUSAL(object.ReadContent(size - 1), 0xE275, 0, 24);  // second section cut short
  EXPECT_REFUSAL(object.ReadContent(24), 0xE275, 0, 24);
  EXPECT_REFUSAL(object.ReadContent(23), 0xE274, 8, 12);
  EXPECT_REFUSAL(object.ReadContent(12), 0xE274, 8, 12);
  // A version-0x0100 file as the firmware writes it.
  FwRevCnfContent old = Typical();
  old.version = 0x0100;
  const Bytes oldFile = BuildFwRevCnf(old);
  FileBuffer oldBuffer(oldFile);
  Param::CFwRevCnfBin oldObject(oldBuffer.Capacity(), oldBuffer.Data());
  EXPECT_REFUSAL(oldObject.ReadContent(oldBuffer.Capacity()), 0xE278, 0, 0x0100);
}

TEST(FwRevCnfBin, StreamsReleaseTheSectionAfterErrors) {
  FwRevCnfContent content = Typical();
  content.entries = {{1, 1}, {0, 1}};
  const Bytes bytes = BuildFwRevCnf(content);
  FileBuffer buffer(bytes);
  Param::CFwRevCnfBin file(buffer.Capacity(), buffer.Data());
  Param::CFwRevCnfBinMinorRevisionReader reader(file);
  Param::CFwRevCnfBinMinorRevisionReader other(file);
  EXPECT_MISUSE(reader.Open());
  file.ReadContent(buffer.Capacity());
  reader.Open();
  EXPECT_MISUSE(other.Open());
  EXPECT_MISUSE(file.ReadContent(0));
  u16 sadr = 0;
  u16 revision = 0;
  ASSERT_TRUE(reader.TryReadNext(sadr, revision));
  EXPECT_REFUSAL(reader.TryReadNext(sadr, revision), 0xE2AE, 0, 0);
  other.Open();
  other.Close();
  EXPECT_MISUSE(reader.Close());
}

TEST(FwRevCnfBinChk, WriterRoundTripAndBuilderBytes) {
  const FwRevCnfContent plain = Typical();
  FwRevCnfContent inverted = plain;
  for (auto& e : inverted.entries) e.revision = static_cast<u16>(~e.revision);
  for (auto& b : inverted.qorUdid) b = static_cast<u8>(~b);
  for (auto& b : inverted.targetId) b = static_cast<u8>(~b);
  for (auto& b : inverted.password) b = static_cast<u8>(~b);
  FileBuffer buffer({}, 0x10000);
  Param::CFwRevCnfBinChk chk(buffer.Capacity(), buffer.Data());
  chk.ReadContent(0);
  chk.SetInvertedCpuId(inverted.targetId.data());
  chk.SetInvertedQorUdid(inverted.qorUdid.data());
  chk.SetInvertedPassword(inverted.password.data());
  chk.SetCorvaneEmpty(true);
  chk.SetSetupModeActive(true);
  Param::CFwRevCnfBinChkInvertedMinorRevisionWriter writer(chk);
  writer.Open();
  for (const auto& e : inverted.entries) writer.WriteNext(e.sadr, e.revision);
  writer.Close();
  EXPECT_EQ(writer.GetContentLength(), 12u);
  chk.WriteContent();
  const Bytes expected = BuildFwRevCnf(inverted);
  ASSERT_EQ(chk.GetContentLength(), expected.size());
  EXPECT_EQ(buffer.Content(chk.GetContentLength()), expected);
  // Read back: the same entries, in order, as stored.
  chk.ReadContent(chk.GetContentLength());
  Param::CFwRevCnfBinChkInvertedMinorRevisionReader reader(chk);
  std::vector<std::pair<u16, u16>> expectedEntries;
  for (const auto& e : inverted.entries) expectedEntries.emplace_back(e.sadr, e.revision);
  EXPECT_EQ(Drain(reader), expectedEntries);
  EXPECT_EQ(UdidBytes(chk.GetInvertedQorUdid()), Bytes(inverted.qorUdid.begin(), inverted.qorUdid.end()));
  EXPECT_TRUE(chk.HasPassword() && chk.HasCpuId() && chk.HasQorUdid() && chk.WasCorvaneEmpty() &&
              chk.IsSetupModeActive());
  // Rewriting only the entries keeps the values (the own copies survive the overwrite).
  writer.Open();
  for (u16 s = 1; s <= 20; ++s) writer.WriteNext(s, s);
  writer.Close();
  chk.WriteContent();
  chk.ReadContent(chk.GetContentLength());
  EXPECT_EQ(Bytes(chk.GetInvertedPassword(), chk.GetInvertedPassword() + 16),
            Bytes(inverted.password.begin(), inverted.password.end()));
}

TEST(FwRevCnfBinChk, EmptyWrittenFileAndUnchanged) {
  FileBuffer buffer({}, 53, 16);
  Param::CFwRevCnfBinChk chk(buffer.Capacity(), buffer.Data());
  EXPECT_MISUSE(chk.WriteContent());
  EXPECT_MISUSE(chk.SetCorvaneEmpty(true));
  EXPECT_MISUSE(chk.SetInvertedPassword(buffer.Data()));
  chk.ReadContent(0);
  EXPECT_MISUSE(chk.SetInvertedPassword(nullptr));
  chk.WriteContent();
  EXPECT_EQ(chk.GetContentLength(), 0u);  // unchanged: nothing written
  Param::CFwRevCnfBinChkInvertedMinorRevisionWriter writer(chk);
  writer.Open();
  EXPECT_REFUSAL(writer.WriteNext(1, 1), 0xE2B1, 0, 0);  // no room in 53 bytes
  writer.Close();
  chk.WriteContent();
  FwRevCnfContent empty;
  empty.flags = 0;
  empty.qorUdid.fill(0xFF);
  empty.targetId.fill(0xFF);
  empty.password.fill(0xFF);
  ASSERT_EQ(chk.GetContentLength(), 53u);
  EXPECT_EQ(buffer.Content(53), BuildFwRevCnf(empty));
  EXPECT_TRUE(buffer.GuardIntact());
}

TEST(FwRevCnfBinChk, OutOfRoomLeavesTheGuardBytes) {
  constexpr u32 capacity = 53 + 4 * 5 + 2;
  FileBuffer buffer({}, capacity, 32);
  Param::CFwRevCnfBinChk chk(buffer.Capacity(), buffer.Data());
  chk.ReadContent(0);
  Param::CFwRevCnfBinChkInvertedMinorRevisionWriter writer(chk);
  writer.Open();
  for (u16 s = 1; s <= 5; ++s) writer.WriteNext(s, 0xFFFE);
  EXPECT_REFUSAL(writer.WriteNext(6, 1), 0xE2B1, 20, 22);
  writer.Close();
  chk.WriteContent();
  EXPECT_EQ(chk.GetContentLength(), 73u);
  EXPECT_TRUE(buffer.GuardIntact());
}

TEST(FwRevCnfBinChk, ModuleSectionMisuse) {
  u8 bytes[53 + 4 * 1100] = {};
  Param::CFwRevCnfBinChk chk(sizeof(bytes), bytes);
  u32 room = 0;
  u8* entries = nullptr;
  EXPECT_MISUSE(chk.StartWritingModuleSection(room, entries));  // unread
  chk.ReadContent(0);
  chk.StartWritingModuleSection(room, entries);
  EXPECT_EQ(room, 4u * 1100);
  EXPECT_EQ(entries, bytes + 8);
  EXPECT_MISUSE(chk.StartWritingModuleSection(room, entries));
  EXPECT_MISUSE(chk.WriteContent());
  EXPECT_MISUSE(chk.StopReadingModuleSection());
  EXPECT_MISUSE(chk.StopWritingModuleSection(room + 4));
  EXPECT_MISUSE(chk.StopWritingModuleSection(6));
  EXPECT_MISUSE(chk.StopWritingModuleSection(4 * 1024));
  chk.StopWritingModuleSection(4 * 1023);
  EXPECT_MISUSE(chk.StopWritingModuleSection(0));
  EXPECT_REFUSAL(Param::CFwRevCnfBinChk(52, bytes), 0xE273, 0, 52);
  EXPECT_MISUSE(Param::CFwRevCnfBinChk(53, nullptr));
}

}  // namespace

namespace {

TEST(FwRevCnfBin, ReadAgainAfterAFailure) {
  const Bytes good = BuildFwRevCnf(Typical());
  FileBuffer buffer(good);
  Param::CFwRevCnfBin file(buffer.Capacity(), buffer.Data());
  file.ReadContent(buffer.Capacity());
  buffer.Data()[4] = 0;  // version 0x0100
  EXPECT_REFUSAL(file.ReadContent(buffer.Capacity()), 0xE278, 0, 0x0100);
  EXPECT_MISUSE(file.HasPassword());
  u32 length = 0;
  const u8* entries = nullptr;
  EXPECT_MISUSE(file.StartReadingModuleSection(length, entries));
  buffer.Data()[4] = 1;
  file.ReadContent(buffer.Capacity());
  EXPECT_TRUE(file.HasPassword());
  EXPECT_MISUSE(Param::CFwRevCnfBin(64, nullptr));
}

}  // namespace
