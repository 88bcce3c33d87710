// Record, UDID and minor revision codecs: record ends, refusals and room.
#include "CByteArrayMinorRevisionReader.h"
#include "CByteArrayMinorRevisionWriter.h"
#include "CByteArrayParameterReader.h"
#include "CByteArrayParameterWriter.h"
#include "CByteArrayUdidReader.h"
#include "ParamTestSupport.h"
#include "ParameterFileBuilders.h"

namespace {

using namespace ParamTest;
using namespace TestFiles;

struct RecordSeen {
  std::uint16_t index;
  std::uint8_t subIndex;
  Bytes data;
  bool operator==(const RecordSeen&) const = default;
};

std::vector<RecordSeen> DrainRecords(Param::CByteArrayParameterReader& reader) {
  std::vector<RecordSeen> seen;
  u16 index = 0;
  u8 sub = 0;
  u32 length = 0;
  const u8* data = nullptr;
  while (reader.TryReadNext(index, sub, length, data)) {
    seen.push_back({index, sub, Bytes(data, data + length)});
  }
  return seen;
}

TEST(ByteArrayParameterReader, ReadsRecordsUpToTheExactEnd) {
  const Bytes region = Records({U16Record(0xC400, 1, 7), {0x1234, 9, {}}, {0x2000, 2, {1, 2, 3}}});
  FileBuffer buffer(region);
  Param::CByteArrayParameterReader reader;
  reader.Initialize(buffer.Capacity(), buffer.Data());
  reader.Open();
  EXPECT_EQ(DrainRecords(reader), (std::vector<RecordSeen>{{0xC400, 1, {7, 0}}, {0x1234, 9, {}}, {0x2000, 2, {1, 2, 3}}}));
  // The end stays the end.
  u16 index = 0;
  u8 sub = 0;
  u32 length = 0;
  const u8* data = nullptr;
  EXPECT_FALSE(reader.TryReadNext(index, sub, length, data));
  reader.Close();
}

TEST(ByteArrayParameterReader, ZeroLengthRecordPointsWhereItsDataWouldStart) {
  FileBuffer buffer(Records({{0x1000, 1, {}}}));
  Param::CByteArrayParameterReader reader;
  reader.Initialize(buffer.Capacity(), buffer.Data());
  reader.Open();
  u16 index = 0;
  u8 sub = 0;
  u32 length = 99;
  const u8* data = nullptr;
  ASSERT_TRUE(reader.TryReadNext(index, sub, length, data));
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(data, buffer.Data() + 7);
}

class StrayBytes : public ::testing::TestWithParam<int> {};

TEST_P(StrayBytes, OneToSixStrayBytesAreRefused) {
  Bytes region = Records({U16Record(0xC400, 1, 7)});
  const u32 recordEnd = static_cast<u32>(region.size());
  region.resize(region.size() + GetParam(), 0);
  FileBuffer buffer(region);
  Param::CByteArrayParameterReader reader;
  reader.Initialize(buffer.Capacity(), buffer.Data());
  reader.Open();
  u16 index = 0;
  u8 sub = 0;
  u32 length = 0;
  const u8* data = nullptr;
  ASSERT_TRUE(reader.TryReadNext(index, sub, length, data));
  EXPECT_REFUSAL(reader.TryReadNext(index, sub, length, data), 0xE2AA, 0, recordEnd);
}

INSTANTIATE_TEST_SUITE_P(All, StrayBytes, ::testing::Range(1, 7));

TEST(ByteArrayParameterReader, DataBeyondTheRegionIsRefusedWithoutWrapping) {
  struct Case {
    u32 length;      // length field of the only record
    u32 dataBytes;   // data bytes that follow
  };
  for (const Case c : {Case{5, 4}, Case{0xFFFFFFFFu, 3}, Case{0xFFFFFFF9u, 0}, Case{0xFFFFFFFAu, 2}, Case{0x80000000u, 1}}) {
    Bytes region;
    AppendU16(region, 0x1000);
    region.push_back(1);
    AppendU32(region, c.length);
    region.resize(region.size() + c.dataBytes, 0);
    FileBuffer buffer(region);
    Param::CByteArrayParameterReader reader;
    reader.Initialize(buffer.Capacity(), buffer.Data());
    reader.Open();
    u16 index = 0;
    u8 sub = 0;
    u32 length = 0;
    const u8* data = nullptr;
    EXPECT_REFUSAL(reader.TryReadNext(index, sub, length, data), 0xE2AC, 7, c.length) << c.length;
  }
}

TEST(ByteArrayParameterReader, Misuse) {
  Param::CByteArrayParameterReader reader;
  u8 byte = 0;
  u16 index = 0;
  u8 sub = 0;
  u32 length = 0;
  const u8* data = nullptr;
  EXPECT_MISUSE(reader.Open());
  EXPECT_MISUSE(reader.TryReadNext(index, sub, length, data));
  EXPECT_MISUSE(reader.Close());
  EXPECT_MISUSE(reader.Initialize(1, nullptr));
  reader.Initialize(0, &byte);
  reader.Open();
  EXPECT_MISUSE(reader.Open());
  EXPECT_MISUSE(reader.Initialize(0, &byte));
  EXPECT_FALSE(reader.TryReadNext(index, sub, length, data));
  reader.Close();
  EXPECT_MISUSE(reader.TryReadNext(index, sub, length, data));
  reader.Open();  // again after Close
  reader.Close();
}

TEST(ByteArrayParameterWriter, WritesTheRecordLayoutAndRefusesWhenFull) {
  const Bytes expected = Records({U16Record(0xC400, 1, 0x0203), {0x1234, 9, {}}});
  FileBuffer buffer({}, expected.size() + 6, 16);
  Param::CByteArrayParameterWriter writer;
  writer.Initialize(buffer.Capacity(), buffer.Data());
  writer.Open();
  const u8 value[2] = {3, 2};
  writer.WriteNext(0xC400, 1, 2, value);
  writer.WriteNext(0x1234, 9, 0, value);
  EXPECT_EQ(writer.GetContentLength(), expected.size());
  // 6 bytes left: no room for even an empty record.
  EXPECT_REFUSAL(writer.WriteNext(0x1000, 1, 0, value), 0xE2B1, expected.size(), buffer.Capacity());
  EXPECT_MISUSE(writer.WriteNext(0x1000, 1, 0, nullptr));
  EXPECT_EQ(writer.GetContentLength(), expected.size());
  writer.Close();
  EXPECT_EQ(buffer.Content(static_cast<u32>(expected.size())), expected);
  EXPECT_TRUE(buffer.GuardIntact());
  EXPECT_MISUSE(writer.GetContentLength());
}

TEST(ByteArrayParameterWriter, HugeLengthsAreRefusedWithoutWrapping) {
  FileBuffer buffer({}, 64, 16);
  Param::CByteArrayParameterWriter writer;
  writer.Initialize(buffer.Capacity(), buffer.Data());
  writer.Open();
  const u8 value[1] = {1};
  for (u32 length : {58u, 0xFFFFFFFFu, 0xFFFFFFF9u, 0xFFFFFFC0u}) {
    EXPECT_REFUSAL(writer.WriteNext(0x1000, 1, length, value), 0xE2B1, 0, 64) << length;
  }
  EXPECT_TRUE(buffer.GuardIntact());
}

TEST(ByteArrayUdidReader, EightNPlusFiveBytesYieldNEntries) {
  Bytes region;
  for (u16 sadr : {1, 1023, 7}) {
    AppendU16(region, sadr);
    for (int i = 0; i < 6; ++i) region.push_back(static_cast<u8>(sadr + i));
  }
  region.resize(region.size() + 5, 0xEE);
  FileBuffer buffer(region);
  Param::CByteArrayUdidReader reader;
  reader.Initialize(buffer.Capacity(), buffer.Data());
  reader.Open();
  std::vector<u16> sadrs;
  u16 sadr = 0;
  const u8* udid = nullptr;
  while (reader.TryReadNext(sadr, udid)) {
    sadrs.push_back(sadr);
    EXPECT_EQ(udid[0], static_cast<u8>(sadr));
  }
  EXPECT_EQ(sadrs, (std::vector<u16>{1, 1023, 7}));
  reader.Close();
}

TEST(ByteArrayUdidReader, SafetyAddressesOutsideTheRangeAreRefused) {
  for (u16 bad : {0, 1024, 0xFFFF}) {
    Bytes region;
    AppendU16(region, bad);
    region.resize(8, 1);
    FileBuffer buffer(region);
    Param::CByteArrayUdidReader reader;
    reader.Initialize(buffer.Capacity(), buffer.Data());
    reader.Open();
    u16 sadr = 0;
    const u8* udid = nullptr;
    EXPECT_REFUSAL(reader.TryReadNext(sadr, udid), 0xE2AE, 0, bad);
  }
}

TEST(ByteArrayMinorRevision, ReaderAndWriterRoundTrip) {
  FileBuffer buffer({}, 10, 16);
  Param::CByteArrayMinorRevisionWriter writer;
  writer.Initialize(buffer.Capacity(), buffer.Data());
  writer.Open();
  writer.WriteNext(5, 0x0102);
  EXPECT_REFUSAL(writer.WriteNext(0, 1), 0xE2B2, 0, 0);
  EXPECT_REFUSAL(writer.WriteNext(1024, 1), 0xE2B2, 0, 1024);
  writer.WriteNext(1023, 0xFFFF);
  // 2 bytes left: room comes before the SADR.
  EXPECT_REFUSAL(writer.WriteNext(0, 1), 0xE2B1, 8, 10);
  EXPECT_EQ(writer.GetContentLength(), 8u);
  writer.Close();
  EXPECT_TRUE(buffer.GuardIntact());
  EXPECT_EQ(buffer.Content(8), (Bytes{5, 0, 2, 1, 0xFF, 3, 0xFF, 0xFF}));

  Param::CByteArrayMinorRevisionReader reader;
  reader.Initialize(10, buffer.Data());
  reader.Open();
  u16 sadr = 0;
  u16 revision = 0;
  ASSERT_TRUE(reader.TryReadNext(sadr, revision));
  EXPECT_EQ(sadr, 5);
  EXPECT_EQ(revision, 0x0102);
  ASSERT_TRUE(reader.TryReadNext(sadr, revision));
  EXPECT_EQ(sadr, 1023);
  EXPECT_EQ(revision, 0xFFFF);
  EXPECT_FALSE(reader.TryReadNext(sadr, revision));  // 2 stray bytes end the stream
  reader.Close();
}

TEST(ByteArrayMinorRevisionReader, SafetyAddressZeroIsRefused) {
  FileBuffer buffer(Bytes{0, 0, 1, 0});
  Param::CByteArrayMinorRevisionReader reader;
  reader.Initialize(buffer.Capacity(), buffer.Data());
  reader.Open();
  u16 sadr = 0;
  u16 revision = 0;
  EXPECT_REFUSAL(reader.TryReadNext(sadr, revision), 0xE2AE, 0, 0);
}

}  // namespace
