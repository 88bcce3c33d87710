// The complemented-value adapters: inverting, merging, appending and computed.
#include "CAppendingInvertedAdditionalParameterHeaderReader.h"
#include "CComputedInvertedAdditionalParameterHeaderReader.h"
#include "CInvertingAdditionalParameterHeaderReader.h"
#include "CInvertingCommissioningFlagReader.h"
#include "CInvertingConfigurationDataReader.h"
#include "CInvertingFirmwareVersionReader.h"
#include "CInvertingMinorRevisionReader.h"
#include "CInvertingParameterChecksumReader.h"
#include "CInvertingUdidReader.h"
#include "CMergingInvertedUdidReader.h"
#include "ParamTestSupport.h"
#include "ParameterFileBuilders.h"

namespace {

using namespace ParamTest;
using namespace TestFiles;

/// A plain UDID stream over a list; counts Open and Close.
class ListUdidReader : public Param::CUdidReader {
 public:
  explicit ListUdidReader(std::vector<UdidEntry> entries) : m_Entries(std::move(entries)) {}
  void Open() override { ++m_Opens; m_Next = 0; }
  bool TryReadNext(u16& sadr, const u8*& udid) override {
    if (m_Next >= m_Entries.size()) return false;
    sadr = m_Entries[m_Next].sadr;
    udid = m_Entries[m_Next].udid.data();
    ++m_Next;
    return true;
  }
  void Close() override { ++m_Closes; }
  int m_Opens = 0;   ///< Open calls
  int m_Closes = 0;  ///< Close calls

 private:
  std::vector<UdidEntry> m_Entries;
  std::size_t m_Next = 0;
};

/// The 76-byte machine option section of a typical "autocnf.bin".
Bytes AppendedOptions() {
  Bytes options(76, 0);
  for (std::size_t i = 0; i < options.size(); ++i) options[i] = static_cast<u8>(i * 7);
  return options;
}

Udid U(u8 v) { return {v, v, v, v, v, static_cast<u8>(v + 1)}; }

TEST(InvertingAdapters, UdidAndMinorRevision) {
  ListUdidReader plain({{4, U(0x10)}, {2, U(0xF0)}});
  Param::CInvertingUdidReader reader(plain);
  reader.Open();
  u16 sadr = 0;
  const u8* udid = nullptr;
  ASSERT_TRUE(reader.TryReadNext(sadr, udid));
  EXPECT_EQ(sadr, 4);
  EXPECT_EQ(UdidBytes(udid), Complement(Bytes{0x10, 0x10, 0x10, 0x10, 0x10, 0x11}));
  ASSERT_TRUE(reader.TryReadNext(sadr, udid));
  EXPECT_EQ(sadr, 2);
  const u8* last = udid;
  EXPECT_FALSE(reader.TryReadNext(sadr, udid));
  EXPECT_EQ(sadr, 2);  // untouched at the end
  EXPECT_EQ(udid, last);
  reader.Close();
  EXPECT_EQ(plain.m_Opens, 1);
  EXPECT_EQ(plain.m_Closes, 1);

  class Revisions : public Param::CMinorRevisionReader {
   public:
    void Open() override { m_Done = false; }
    bool TryReadNext(u16& sadr, u16& revision) override {
      if (m_Done) return false;
      m_Done = true;
      sadr = 9;
      revision = 0x00FF;
      return true;
    }
    void Close() override {}
    bool m_Done = false;
  } revisions;
  Param::CInvertingMinorRevisionReader inverting(revisions);
  inverting.Open();
  u16 revision = 0;
  ASSERT_TRUE(inverting.TryReadNext(sadr, revision));
  EXPECT_EQ(sadr, 9);
  EXPECT_EQ(revision, 0xFF00);
  EXPECT_FALSE(inverting.TryReadNext(sadr, revision));
  EXPECT_EQ(revision, 0xFF00);
  inverting.Close();
}

TEST(InvertingAdapters, FirmwareVersionChecksumAndHeader) {
  class Versions : public Param::CFirmwareVersionReader {
   public:
    void Open() override { m_Done = false; }
    bool TryReadNext(u16& sadr, u32& vendor, u32& product, u16& high, u16& low) override {
      if (m_Done) return false;
      m_Done = true;
      sadr = 3;
      vendor = 0x12345678;
      product = 0;
      high = 0x0102;
      low = 0xFFFF;
      return true;
    }
    void Close() override {}
    bool m_Done = false;
  } versions;
  Param::CInvertingFirmwareVersionReader v(versions);
  v.Open();
  u16 sadr = 0, high = 0, low = 0;
  u32 vendor = 0, product = 0;
  ASSERT_TRUE(v.TryReadNext(sadr, vendor, product, high, low));
  EXPECT_EQ(sadr, 3);
  EXPECT_EQ(vendor, ~0x12345678u);
  EXPECT_EQ(product, 0xFFFFFFFFu);
  EXPECT_EQ(high, 0xFEFD);
  EXPECT_EQ(low, 0);
  EXPECT_FALSE(v.TryReadNext(sadr, vendor, product, high, low));
  v.Close();

  class Checksums : public Param::CParameterChecksumReader {
   public:
    void Open() override { m_Next = 0; ++m_Opens; }
    bool TryReadNext(u16& sadr, u32& length, const u8*& checksum) override {
      if (m_Next >= m_Lengths.size()) return false;
      sadr = 5;
      length = m_Lengths[m_Next++];
      checksum = m_Bytes.data();
      return true;
    }
    void Close() override { ++m_Closes; }
    std::vector<u32> m_Lengths = {4, 256, 260};
    Bytes m_Bytes = Bytes(300, 0x0F);
    std::size_t m_Next = 0;
    int m_Opens = 0, m_Closes = 0;
  } checksums;
  Param::CInvertingParameterChecksumReader c(checksums);
  c.Open();
  u32 length = 0;
  const u8* checksum = nullptr;
  ASSERT_TRUE(c.TryReadNext(sadr, length, checksum));
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(Bytes(checksum, checksum + 4), Bytes(4, 0xF0));
  EXPECT_NE(checksum, checksums.m_Bytes.data());
  ASSERT_TRUE(c.TryReadNext(sadr, length, checksum));
  EXPECT_EQ(Bytes(checksum, checksum + 256), Bytes(256, 0xF0));
  EXPECT_REFUSAL(c.TryReadNext(sadr, length, checksum), 0xE2B4, 14, 260);  // never copied past 256
  EXPECT_EQ(checksums.m_Closes, 1);

  class Headers : public Param::CAdditionalParameterHeaderReader {
   public:
    void Open() override { m_Done = false; }
    bool TryReadNext(u16& sadr, u8& number, const u8*& header) override {
      if (m_Done) return false;
      m_Done = true;
      sadr = 7;
      number = 2;
      header = m_Header.data();
      return true;
    }
    void Close() override {}
    Bytes m_Header = Bytes(16, 0x81);
    bool m_Done = false;
  } headers;
  Param::CInvertingAdditionalParameterHeaderReader h(headers);
  h.Open();
  u8 number = 0;
  const u8* header = nullptr;
  ASSERT_TRUE(h.TryReadNext(sadr, number, header));
  EXPECT_EQ(sadr, 7);
  EXPECT_EQ(number, 2);
  EXPECT_EQ(Bytes(header, header + 16), Bytes(16, 0x7E));
  EXPECT_FALSE(h.TryReadNext(sadr, number, header));
  h.Close();
}

TEST(InvertingAdapters, FlagsAreNegatedAndAbsentFlagsLeaveOutputsUntouched) {
  class Flags : public Param::CCommissioningFlagReader {
   public:
    void Open() override {}
    bool TryReadNext(bool& setup, bool& corvane, bool& firmware) override {
      if (!m_Present) return false;
      setup = true;
      corvane = false;
      firmware = true;
      return true;
    }
    void Close() override {}
    bool m_Present = true;
  } flags;
  Param::CInvertingCommissioningFlagReader f(flags);
  f.Open();
  bool setup = true, corvane = true, firmware = true;
  ASSERT_TRUE(f.TryReadNext(setup, corvane, firmware));
  EXPECT_FALSE(setup);
  EXPECT_TRUE(corvane);
  EXPECT_FALSE(firmware);
  flags.m_Present = false;
  setup = corvane = firmware = true;
  EXPECT_FALSE(f.TryReadNext(setup, corvane, firmware));
  EXPECT_TRUE(setup && corvane && firmware);
  f.Close();

  class Configuration : public Param::CConfigurationDataReader {
   public:
    void Open() override {}
    bool TryReadNext(bool& active) override {
      if (!m_Present) return false;
      active = false;
      return true;
    }
    void Close() override {}
    bool m_Present = true;
  } configuration;
  Param::CInvertingConfigurationDataReader c(configuration);
  c.Open();
  bool active = false;
  ASSERT_TRUE(c.TryReadNext(active));
  EXPECT_TRUE(active);
  configuration.m_Present = false;
  active = false;
  EXPECT_FALSE(c.TryReadNext(active));
  EXPECT_FALSE(active);
  c.Close();
}

/// Merges two plain lists through inverting adapters, as the persistence does,
/// and checks that every UDID handed out is intact when read.
std::vector<std::pair<u16, u8>> Merge(const std::vector<UdidEntry>& first, const std::vector<UdidEntry>& second) {
  ListUdidReader a(first);
  ListUdidReader b(second);
  Param::CInvertingUdidReader ia(a);
  Param::CInvertingUdidReader ib(b);
  Param::CMergingInvertedUdidReader merge(ia, ib);
  std::vector<std::pair<u16, u8>> out;
  for (int round = 0; round < 2; ++round) {  // opened again after Close
    out.clear();
    merge.Open();
    u16 sadr = 0;
    const u8* udid = nullptr;
    while (merge.TryReadNext(sadr, udid)) {
      const u8 value = static_cast<u8>(~udid[0]);
      EXPECT_EQ(static_cast<u8>(~udid[5]), static_cast<u8>(value + 1)) << "UDID of " << sadr << " overwritten";
      out.emplace_back(sadr, value);
    }
    EXPECT_FALSE(merge.TryReadNext(sadr, udid));
    merge.Close();
  }
  EXPECT_EQ(a.m_Opens, 2);
  EXPECT_EQ(b.m_Closes, 2);
  return out;
}

TEST(MergingInvertedUdidReader, Sources) {
  using Out = std::vector<std::pair<u16, u8>>;
  // The example: first (1, U1), (5, U2); second (1, U3), (3, U4).
  EXPECT_EQ(Merge({{1, U(1)}, {5, U(2)}}, {{1, U(3)}, {3, U(4)}}), (Out{{1, 1}, {3, 4}, {5, 2}}));
  EXPECT_EQ(Merge({}, {}), Out{});
  EXPECT_EQ(Merge({{2, U(1)}}, {}), (Out{{2, 1}}));
  EXPECT_EQ(Merge({}, {{2, U(1)}, {9, U(2)}}), (Out{{2, 1}, {9, 2}}));
  EXPECT_EQ(Merge({{1, U(1)}, {2, U(2)}}, {{1, U(3)}, {2, U(4)}}), (Out{{1, 1}, {2, 2}}));  // equal
  EXPECT_EQ(Merge({{1, U(1)}, {1023, U(2)}}, {{0, U(3)}, {1023, U(4)}}), (Out{{0, 3}, {1, 1}, {1023, 2}}));
  // Unsorted second source: an acknowledged SADR is never overridden.
  EXPECT_EQ(Merge({{2, U(1)}, {8, U(2)}}, {{9, U(3)}, {2, U(4)}, {8, U(5)}, {4, U(6)}}),
            (Out{{2, 1}, {8, 2}, {9, 3}, {4, 6}}));
  // Unsorted first source: delivered as it comes, its SADRs drop later second entries.
  EXPECT_EQ(Merge({{5, U(1)}, {3, U(2)}}, {{3, U(3)}, {5, U(4)}, {6, U(5)}}), (Out{{3, 3}, {5, 1}, {3, 2}, {6, 5}}));
}

/// A complemented header stream over a list of SADRs.
class ListHeaders : public Param::CInvertedAdditionalParameterHeaderReader {
 public:
  explicit ListHeaders(std::vector<u16> sadrs) : m_Sadrs(std::move(sadrs)) {}
  void Open() override { m_Next = 0; ++m_Opens; }
  bool TryReadNext(u16& sadr, u8& number, const u8*& header) override {
    ++m_Asked;
    if (m_Next >= m_Sadrs.size()) return false;
    sadr = m_Sadrs[m_Next++];
    number = 0;
    header = m_Header;
    return true;
  }
  void Close() override { ++m_Closes; }
  int m_Opens = 0, m_Closes = 0, m_Asked = 0;

 private:
  std::vector<u16> m_Sadrs;
  std::size_t m_Next = 0;
  u8 m_Header[16] = {};
};

TEST(AppendingInvertedAdditionalParameterHeaderReader, ChainsSourcesIncludingEmptyOnes) {
  struct Case {
    std::vector<u16> a, b, c;
    std::vector<u16> expected;
  };
  for (const auto& cs : std::vector<Case>{{{1, 2}, {3}, {4, 5}, {1, 2, 3, 4, 5}},
                                          {{}, {}, {}, {}},
                                          {{}, {7}, {}, {7}},
                                          {{}, {}, {9, 8}, {9, 8}},
                                          {{6}, {}, {}, {6}}}) {
    ListHeaders a(cs.a), b(cs.b), c(cs.c);
    Param::CAppendingInvertedAdditionalParameterHeaderReader chain(a, b, c);
    chain.Open();
    std::vector<u16> seen;
    u16 sadr = 0;
    u8 number = 0;
    const u8* header = nullptr;
    while (chain.TryReadNext(sadr, number, header)) seen.push_back(sadr);
    const int askedBefore = a.m_Asked;
    EXPECT_FALSE(chain.TryReadNext(sadr, number, header));
    EXPECT_EQ(a.m_Asked, askedBefore + 1);  // a source at its end is asked again
    chain.Close();
    EXPECT_EQ(seen, cs.expected);
    EXPECT_EQ(a.m_Opens + b.m_Opens + c.m_Opens, 3);
    EXPECT_EQ(a.m_Closes + b.m_Closes + c.m_Closes, 3);
  }
}

TEST(ComputedInvertedAdditionalParameterHeaderReader, DeliversOneComplementedHeaderPerOpen) {
  Param::CComputedInvertedAdditionalParameterHeaderReader computed;
  u16 sadr = 0;
  u8 number = 0;
  const u8* header = nullptr;
  computed.Open();
  EXPECT_FALSE(computed.TryReadNext(sadr, number, header));  // nothing set
  EXPECT_MISUSE(computed.SetAdditionalParameter(1, 2, 0, 0, header));  // open
  computed.Close();
  const Bytes options = AppendedOptions();
  EXPECT_MISUSE(computed.SetAdditionalParameter(1, 2, 0, 4, nullptr));
  EXPECT_REFUSAL(computed.SetAdditionalParameter(0, 2, 0, 4, options.data()), 0xE2BA, 0, 0);
  EXPECT_REFUSAL(computed.SetAdditionalParameter(1024, 2, 0, 4, options.data()), 0xE2BA, 0, 1024);
  EXPECT_REFUSAL(computed.SetAdditionalParameter(1, 16, 0, 4, options.data()), 0xE2BB, 0, 16);
  computed.SetAdditionalParameter(1, 2, 0xA1B2C3D4u, static_cast<u32>(options.size()), options.data());
  EXPECT_MISUSE(computed.SetAdditionalParameter(1, 2, 0, 4, options.data()));  // already set
  Bytes expected;
  expected.push_back(2);
  expected.push_back(1);
  AppendU16(expected, 1);
  AppendU32(expected, static_cast<u32>(options.size()));
  AppendU32(expected, Crc32(options.data(), options.size()));
  AppendU32(expected, 0xA1B2C3D4u);
  for (int round = 0; round < 2; ++round) {
    computed.Open();
    EXPECT_MISUSE(computed.Open());
    ASSERT_TRUE(computed.TryReadNext(sadr, number, header));
    EXPECT_EQ(sadr, 1);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(Bytes(header, header + 16), Complement(expected));
    EXPECT_FALSE(computed.TryReadNext(sadr, number, header));
    computed.Close();
  }
  EXPECT_MISUSE(computed.Close());
  EXPECT_MISUSE(computed.TryReadNext(sadr, number, header));
}

}  // namespace
