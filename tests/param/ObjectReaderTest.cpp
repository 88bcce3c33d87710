// The object readers over "kel_para.saf"'s SCM section: entries, skipped
// records, refusals, and the section freed before an object error passes on.
#include <functional>

#include "CKelParaSaf.h"
#include "CKelParaSafScmSectionParameterReader.h"
#include "CParameterAdditionalParameterHeaderReader.h"
#include "CParameterCommissioningFlagReader.h"
#include "CParameterConfigurationDataReader.h"
#include "CParameterFirmwareVersionReader.h"
#include "CParameterParameterChecksumReader.h"
#include "CParameterSafetyAddressReader.h"
#include "CParameterUdidReader.h"
#include "CParameterUdidWriter.h"
#include "CByteArrayParameterWriter.h"
#include "ParamTestSupport.h"
#include "ParameterFileBuilders.h"

namespace {

using namespace ParamTest;
using namespace TestFiles;

/// A "kel_para.saf" of the given records, read, with its section reader.
class KelFile {
 public:
  explicit KelFile(const std::vector<Record>& records)
      : m_File(BuildKelParaSaf(Records(records))), m_Buffer(m_File), m_Kel(m_Buffer.Capacity(), m_Buffer.Data()) {
    m_Kel.ReadContent(static_cast<u32>(m_File.size()));
  }
  Param::CKelParaSafScmSectionParameterReader& Section() { return m_Section; }
  /// True when another stream may take the section now.
  bool SectionFree() {
    Param::CKelParaSafScmSectionParameterReader probe(m_Kel);
    if (CatchRefusal([&] { probe.Open(); }).has_value()) return false;
    probe.Close();
    return true;
  }
  const u8* Begin() { return m_Buffer.Data(); }
  const u8* End() { return m_Buffer.Data() + m_File.size(); }

 private:
  Bytes m_File;
  FileBuffer m_Buffer;
  Param::CKelParaSaf m_Kel;
  Param::CKelParaSafScmSectionParameterReader m_Section{m_Kel};
};

Record Raw(u16 index, u8 sub, std::size_t length, u8 fill = 1) { return {index, sub, Bytes(length, fill)}; }

struct Version {
  u16 sadr;
  u32 vendor;
  u32 product;
  u16 high;
  u16 low;
  bool operator==(const Version&) const = default;
};

std::vector<Version> ReadVersions(KelFile& kel) {
  Param::CParameterFirmwareVersionReader reader(kel.Section());
  reader.Open();
  std::vector<Version> out;
  Version v{};
  while (reader.TryReadNext(v.sadr, v.vendor, v.product, v.high, v.low)) out.push_back(v);
  reader.Close();
  return out;
}

TEST(ParameterFirmwareVersionReader, Entries) {
  std::vector<Record> records = NodeRecords(0xC400, 5, 0x11223344, 0x55667788, 0x01020304);
  records.push_back(U32Record(0x1018, 2, 9));       // other object
  records.push_back(U32Record(0xC7FF, 4, 9));       // beyond the node list
  records.push_back(Raw(0xC401, 11, 300));          // other sub-index of a node
  for (const auto& r : NodeRecords(0xC7FE, 1023, 1, 2, 0xFFFF0000)) records.push_back(r);
  KelFile kel(records);
  EXPECT_EQ(ReadVersions(kel), (std::vector<Version>{{5, 0x11223344, 0x55667788, 0x0102, 0x0304},
                                                     {1023, 1, 2, 0xFFFF, 0x0000}}));
  EXPECT_TRUE(kel.SectionFree());
}

TEST(ParameterFirmwareVersionReader, Refusals) {
  struct Case {
    const char* name;
    std::vector<Record> records;
    Refusal expected;
  };
  auto node = [](u16 sadr) { return NodeRecords(0xC400, sadr, 1, 2, 3); };
  auto swapped = node(5);
  std::swap(swapped[2], swapped[3]);
  auto split = node(5);
  split.insert(split.begin() + 3, U16Record(0xC401, 1, 6));  // another object between 3 and 4
  const std::vector<Case> cases = {
      {"4 before 3", swapped, {0xE2B5, 0, 0xC400}},
      {"4 alone", {U32Record(0xC400, 4, 1)}, {0xE2B5, 0, 0xC400}},
      {"object changes before 4", split, {0xE2B5, 0, 0xC400}},
      {"SADR length", {Raw(0xC400, 1, 3)}, {0xE2B4, 1, 3}},
      {"vendor length", {U16Record(0xC400, 1, 5), Raw(0xC400, 2, 2)}, {0xE2B4, 2, 2}},
      {"product length", {U16Record(0xC400, 1, 5), Raw(0xC400, 3, 0)}, {0xE2B4, 3, 0}},
      {"revision length", {Raw(0xC400, 4, 5)}, {0xE2B4, 4, 5}},
      {"SADR 0", node(0), {0xE2B6, 0, 0}},
      {"SADR 1024", node(1024), {0xE2B6, 0, 1024}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KelFile kel(c.records);
    EXPECT_EQ(CatchRefusal([&] { ReadVersions(kel); }), std::optional<Refusal>(c.expected));
    EXPECT_TRUE(kel.SectionFree());  // closed before the throw
  }
}

TEST(ParameterParameterChecksumReader, EntriesAndRefusals) {
  {
    KelFile kel({U16Record(0xC400, 1, 7), Raw(0xC400, 14, 8, 0xAB), Raw(0xC400, 11, 3), U16Record(0xC401, 1, 8),
                 Raw(0xC401, 14, 256, 0xCD)});
    Param::CParameterParameterChecksumReader reader(kel.Section());
    reader.Open();
    u16 sadr = 0;
    u32 length = 0;
    const u8* checksum = nullptr;
    ASSERT_TRUE(reader.TryReadNext(sadr, length, checksum));
    EXPECT_EQ(sadr, 7);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(checksum[0], 0xAB);
    EXPECT_TRUE(checksum >= kel.Begin() && checksum + length <= kel.End());
    ASSERT_TRUE(reader.TryReadNext(sadr, length, checksum));
    EXPECT_EQ(sadr, 8);
    EXPECT_EQ(length, 256u);
    EXPECT_FALSE(reader.TryReadNext(sadr, length, checksum));
    reader.Close();
  }
  struct Case {
    const char* name;
    std::vector<Record> records;
    Refusal expected;
  };
  const std::vector<Case> cases = {
      {"6 bytes", {U16Record(0xC400, 1, 7), Raw(0xC400, 14, 6)}, {0xE2B4, 14, 6}},
      {"0 bytes", {U16Record(0xC400, 1, 7), Raw(0xC400, 14, 0)}, {0xE2B4, 14, 0}},
      {"above 256", {U16Record(0xC400, 1, 7), Raw(0xC400, 14, 260)}, {0xE2B4, 14, 260}},
      {"no SADR", {Raw(0xC400, 14, 4)}, {0xE2B5, 0, 0xC400}},
      {"SADR of another object", {U16Record(0xC400, 1, 7), Raw(0xC401, 14, 4)}, {0xE2B5, 0, 0xC401}},
      {"SADR length", {Raw(0xC400, 1, 1)}, {0xE2B4, 1, 1}},
      {"SADR range", {U16Record(0xC400, 1, 0)}, {0xE2B6, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KelFile kel(c.records);
    Param::CParameterParameterChecksumReader reader(kel.Section());
    reader.Open();
    u16 sadr = 0;
    u32 length = 0;
    const u8* checksum = nullptr;
    EXPECT_EQ(CatchRefusal([&] { reader.TryReadNext(sadr, length, checksum); }), std::optional<Refusal>(c.expected));
    EXPECT_TRUE(kel.SectionFree());
  }
}

TEST(ParameterSafetyAddressReader, EntriesAndRefusals) {
  {
    KelFile kel({U16Record(0xC400, 1, 3), U16Record(0xC400, 2, 9), U16Record(0xBFFF, 1, 0), U16Record(0xC7FE, 1, 1023)});
    Param::CParameterSafetyAddressReader reader(kel.Section());
    reader.Open();
    std::vector<u16> sadrs;
    u16 sadr = 0;
    while (reader.TryReadNext(sadr)) sadrs.push_back(sadr);
    reader.Close();
    EXPECT_EQ(sadrs, (std::vector<u16>{3, 1023}));
  }
  for (const auto& [records, expected] : std::vector<std::pair<std::vector<Record>, Refusal>>{
           {{Raw(0xC400, 1, 4)}, {0xE2B4, 1, 4}}, {{U16Record(0xC400, 1, 1024)}, {0xE2B6, 0, 1024}}}) {
    KelFile kel(records);
    Param::CParameterSafetyAddressReader reader(kel.Section());
    reader.Open();
    u16 sadr = 0;
    EXPECT_EQ(CatchRefusal([&] { reader.TryReadNext(sadr); }), std::optional<Refusal>(expected));
    EXPECT_TRUE(kel.SectionFree());
  }
}

TEST(ParameterUdidReader, EntriesAndRefusals) {
  {
    KelFile kel({Raw(0xCC01, 1, 6, 1), Raw(0xCC00, 1, 6), Raw(0xCFFF, 254, 6, 2), Raw(0xCFFF, 255, 6), Raw(0xCC05, 0, 6),
                 Raw(0xCFFF, 2, 6, 3)});
    Param::CParameterUdidReader reader(kel.Section());
    reader.Open();
    std::vector<std::pair<u16, u8>> seen;
    u16 sadr = 0;
    const u8* udid = nullptr;
    while (reader.TryReadNext(sadr, udid)) seen.emplace_back(sadr, udid[0]);
    reader.Close();
    EXPECT_EQ(seen, (std::vector<std::pair<u16, u8>>{{1, 1}, {1023, 2}, {1023, 3}}));
  }
  KelFile kel({Raw(0xCC01, 1, 5)});
  Param::CParameterUdidReader reader(kel.Section());
  reader.Open();
  u16 sadr = 0;
  const u8* udid = nullptr;
  EXPECT_REFUSAL(reader.TryReadNext(sadr, udid), 0xE2B4, 0, 5);
  EXPECT_TRUE(kel.SectionFree());
}

TEST(ParameterUdidWriter, WritesUdidRecordsAndRefusesBadSafetyAddresses) {
  FileBuffer buffer({}, 64, 16);
  Param::CByteArrayParameterWriter records;
  records.Initialize(buffer.Capacity(), buffer.Data());
  Param::CParameterUdidWriter writer(records);
  writer.Open();
  const Udid udid = {1, 2, 3, 4, 5, 6};
  writer.WriteNext(1023, udid.data());
  EXPECT_REFUSAL(writer.WriteNext(0, udid.data()), 0xE2B8, 0, 0);
  EXPECT_REFUSAL(writer.WriteNext(1024, udid.data()), 0xE2B8, 0, 1024);
  EXPECT_EQ(writer.GetContentLength(), 13u);  // still open
  writer.Close();
  EXPECT_EQ(buffer.Content(13), CorvaneDatRecords({{1023, udid}}));
}

TEST(ParameterAdditionalParameterHeaderReader, EntriesAndRefusals) {
  auto header = [](u8 number, u16 sadr, std::size_t length = 16) {
    Bytes h(length, 0x77);
    h[0] = number;
    h[1] = 1;
    h[2] = static_cast<u8>(sadr);
    h[3] = static_cast<u8>(sadr >> 8);
    return h;
  };
  {
    KelFile kel({{0xE400, 1, header(0, 1)}, {0xE7FE, 17, header(15, 1023, 40)}, {0xE400, 18, header(16, 0)},
                 {0xE7FF, 1, header(16, 0)}, {0xE400, 0, header(16, 0)}});
    Param::CParameterAdditionalParameterHeaderReader reader(kel.Section());
    reader.Open();
    std::vector<std::pair<u16, u8>> seen;
    u16 sadr = 0;
    u8 number = 0;
    const u8* data = nullptr;
    while (reader.TryReadNext(sadr, number, data)) seen.emplace_back(sadr, number);
    reader.Close();
    EXPECT_EQ(seen, (std::vector<std::pair<u16, u8>>{{1, 0}, {1023, 15}}));
  }
  struct Case {
    const char* name;
    Record record;
    Refusal expected;
  };
  const std::vector<Case> cases = {
      {"short", {0xE401, 2, header(1, 1, 15)}, {0xE2B9, 0xE401, 15}},
      {"SADR 0", {0xE401, 2, header(1, 0)}, {0xE2BA, 0, 0}},
      {"SADR 1024", {0xE401, 2, header(1, 1024)}, {0xE2BA, 0, 1024}},
      {"number 16", {0xE401, 2, header(16, 1)}, {0xE2BB, 0, 16}},
      {"number 255", {0xE401, 2, header(255, 1)}, {0xE2BB, 0, 255}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KelFile kel({c.record});
    Param::CParameterAdditionalParameterHeaderReader reader(kel.Section());
    reader.Open();
    u16 sadr = 0;
    u8 number = 0;
    const u8* data = nullptr;
    EXPECT_EQ(CatchRefusal([&] { reader.TryReadNext(sadr, number, data); }), std::optional<Refusal>(c.expected));
    EXPECT_TRUE(kel.SectionFree());
  }
}

TEST(ParameterCommissioningFlagReader, Results) {
  struct Case {
    const char* name;
    std::vector<Record> records;
    bool result;
    bool setup, corvane, firmware;
  };
  const std::vector<Case> cases = {
      {"absent", {U32Record(0x2106, 4, 1)}, false, false, false, false},
      {"1 and 2 only", {U32Record(0x210B, 1, 1), U32Record(0x210B, 2, 1)}, true, true, false, true},
      {"all three", {U32Record(0x210B, 3, 1), U32Record(0x210B, 1, 0), U32Record(0x210B, 2, 0)}, true, false, true, false},
      {"setup non-zero", {U32Record(0x210B, 1, 0x100)}, true, true, false, false},
      {"confirmations only when 1",
       {U32Record(0x210B, 1, 2), U32Record(0x210B, 2, 2), U32Record(0x210B, 3, 0x101)}, true, true, false, false},
      {"sub-index 0 only", {Raw(0x210B, 0, 1)}, true, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KelFile kel(c.records);
    Param::CParameterCommissioningFlagReader reader(kel.Section());
    for (int round = 0; round < 2; ++round) {  // one result per Open
      reader.Open();
      bool setup = true, corvane = true, firmware = true;
      EXPECT_EQ(reader.TryReadNext(setup, corvane, firmware), c.result);
      EXPECT_EQ(setup, c.setup);
      EXPECT_EQ(corvane, c.corvane);
      EXPECT_EQ(firmware, c.firmware);
      EXPECT_FALSE(reader.TryReadNext(setup, corvane, firmware));
      reader.Close();
    }
  }
  for (const auto& [record, expected] : std::vector<std::pair<Record, Refusal>>{
           {Raw(0x210B, 1, 1), {0xE2B4, 1, 1}}, {Raw(0x210B, 2, 0), {0xE2B4, 2, 0}}, {Raw(0x210B, 3, 8), {0xE2B4, 3, 8}}}) {
    KelFile kel({record});
    Param::CParameterCommissioningFlagReader reader(kel.Section());
    reader.Open();
    bool a = false, b = false, c = false;
    EXPECT_EQ(CatchRefusal([&] { reader.TryReadNext(a, b, c); }), std::optional<Refusal>(expected));
    EXPECT_TRUE(kel.SectionFree());
  }
}

TEST(ParameterConfigurationDataReader, Results) {
  struct Case {
    const char* name;
    std::vector<Record> records;
    bool result;
    bool active;
  };
  const std::vector<Case> cases = {
      {"absent", {U32Record(0x210B, 1, 1)}, false, false},
      {"active", {U32Record(0x2106, 4, 5)}, true, true},
      {"inactive", {U32Record(0x2106, 4, 0)}, true, false},
      {"object without the flag", {U32Record(0x2106, 5, 1)}, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KelFile kel(c.records);
    Param::CParameterConfigurationDataReader reader(kel.Section());
    reader.Open();
    bool active = true;
    EXPECT_EQ(reader.TryReadNext(active), c.result);
    EXPECT_EQ(active, c.active);
    EXPECT_FALSE(reader.TryReadNext(active));
    reader.Close();
  }
  KelFile kel({Raw(0x2106, 4, 2)});
  Param::CParameterConfigurationDataReader reader(kel.Section());
  reader.Open();
  bool active = false;
  EXPECT_REFUSAL(reader.TryReadNext(active), 0xE2B4, 4, 2);
  EXPECT_TRUE(kel.SectionFree());
}

}  // namespace
