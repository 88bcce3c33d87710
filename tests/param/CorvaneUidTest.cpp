// "corvane.uid" and "corvane.uid.chk": the record, its refusals, and the ".chk" writer.
#include "ApplicationFileBuilders.h"
#include "CCorvaneUid.h"
#include "CCorvaneUidChk.h"
#include "ParamTestSupport.h"

namespace {

using namespace ParamTest;
using namespace TestFiles;

const Udid ms_Udid = {0x02, 0x5C, 0x3E, 0x01, 0x02, 0x03};

TEST(CorvaneUid, ValidFiles) {
  struct Case {
    const char* name;
    Bytes file;
    u32 capacity;
    Bytes udid;
    u64 timestamp;
  };
  Bytes longer = BuildCorvaneUid(ms_Udid, 0x000FFFFF12345678ull);
  longer.push_back(0xEE);
  longer.push_back(0xEE);
  const std::vector<Case> cases = {
      {"empty", {}, 256, Bytes(6, 0), 0},
      {"record", BuildCorvaneUid(ms_Udid, 0x000FFFFF12345678ull), 18, Bytes(ms_Udid.begin(), ms_Udid.end()),
       0x000FFFFF12345678ull},
      {"20 bytes", longer, 20, Bytes(ms_Udid.begin(), ms_Udid.end()), 0x000FFFFF12345678ull},
      {"full buffer", [] { Bytes f = BuildCorvaneUid(ms_Udid, 1); f.resize(256, 1); return f; }(), 256,
       Bytes(ms_Udid.begin(), ms_Udid.end()), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FileBuffer buffer(c.file, c.capacity);
    Param::CCorvaneUid file(buffer.Capacity(), buffer.Data());
    file.ReadContent(static_cast<u32>(c.file.size()));
    EXPECT_EQ(UdidBytes(file.GetQorUdid()), c.udid);
    EXPECT_EQ(file.GetTimestamp(), c.timestamp);
    EXPECT_EQ(file.GetContentLength(), c.file.size());
  }
}

TEST(CorvaneUid, RefusalsAndReadState) {
  Bytes file = BuildCorvaneUid(ms_Udid, 5);
  FileBuffer buffer(file);
  Param::CCorvaneUid object(buffer.Capacity(), buffer.Data());
  EXPECT_MISUSE(object.GetQorUdid());
  EXPECT_MISUSE(object.GetTimestamp());
  EXPECT_MISUSE(object.GetContentLength());
  for (u32 length : {1u, 17u}) EXPECT_REFUSAL(object.ReadContent(length), 0xE24F, 0, length);
  EXPECT_REFUSAL(object.ReadContent(19), 0xE24F, 0, 19);  // above the capacity
  EXPECT_REFUSAL(object.ReadContent(0xFFFFFFFFu), 0xE24F, 0, 0xFFFFFFFFu);
  buffer.Data()[0] = 0x01;
  buffer.Data()[1] = 0x01;
  EXPECT_REFUSAL(object.ReadContent(18), 0xE250, 0, 0x0101);
  EXPECT_MISUSE(object.GetTimestamp());
  buffer.Data()[0] = 0x00;
  object.ReadContent(18);
  EXPECT_EQ(object.GetTimestamp(), 5u);
  EXPECT_MISUSE(Param::CCorvaneUid(18, nullptr));
}

TEST(CorvaneUidChk, EmptyReadsAsTheComplementOfAnEmptyFile) {
  FileBuffer buffer({}, 256);
  Param::CCorvaneUidChk chk(buffer.Capacity(), buffer.Data());
  EXPECT_MISUSE(chk.GetInvertedQorUdid());
  EXPECT_MISUSE(chk.SetInvertedTimestamp(0));
  EXPECT_MISUSE(chk.WriteContent());
  chk.ReadContent(0);
  EXPECT_EQ(UdidBytes(chk.GetInvertedQorUdid()), Bytes(6, 0xFF));
  EXPECT_EQ(chk.GetInvertedTimestamp(), ~0ull);
  chk.WriteContent();  // unchanged: nothing
  EXPECT_EQ(chk.GetContentLength(), 0u);
  EXPECT_EQ(buffer.Data()[0], 0x5A);
}

TEST(CorvaneUidChk, WriterRoundTripAndBuilderBytes) {
  FileBuffer buffer({}, 18, 16);
  Param::CCorvaneUidChk chk(buffer.Capacity(), buffer.Data());
  chk.ReadContent(0);
  const Bytes inverted = Complement(Bytes(ms_Udid.begin(), ms_Udid.end()));
  const u64 timestamp = 0x000A0B0C01020304ull;
  chk.SetInvertedQorUdid(inverted.data());
  chk.SetInvertedTimestamp(~timestamp);
  EXPECT_MISUSE(chk.SetInvertedQorUdid(nullptr));
  chk.WriteContent();
  ASSERT_EQ(chk.GetContentLength(), 18u);
  Udid invertedUdid{};
  std::copy(inverted.begin(), inverted.end(), invertedUdid.begin());
  EXPECT_EQ(buffer.Content(18), BuildCorvaneUid(invertedUdid, ~timestamp));
  EXPECT_TRUE(buffer.GuardIntact());
  Param::CCorvaneUidChk again(buffer.Capacity(), buffer.Data());
  again.ReadContent(18);
  EXPECT_EQ(UdidBytes(again.GetInvertedQorUdid()), inverted);
  EXPECT_EQ(again.GetInvertedTimestamp(), ~timestamp);
}

TEST(CorvaneUidChk, CapacityBelowTheRecordIsRefused) {
  u8 bytes[17] = {};
  EXPECT_REFUSAL(Param::CCorvaneUidChk(17, bytes), 0xE24F, 0, 17);
  EXPECT_REFUSAL(Param::CCorvaneUidChk(0, bytes), 0xE24F, 0, 0);
  EXPECT_MISUSE(Param::CCorvaneUidChk(18, nullptr));
}

}  // namespace
