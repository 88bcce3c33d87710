// Frame serializer against the independent test-side frame builder, and the
// receive checks of the deserializer.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "FrameBuilder.h"
#include "SDN.h"
#include "SERR.h"
#include "SFS.h"
#include "StackFixture.h"
#include "StackFrames.h"

namespace StackTest {
namespace {

using TestFrames::Bytes;
using TestFrames::FrameSpec;

const TestFrames::Udid k_udid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};
constexpr u16 k_sdn = 0x2C1;

/// The extended-CT bytes of a received header are all 0 (the older release's header has none).
template <typename Header>
void ExpectNoExtCt(const Header& h) {
  if constexpr (requires { h.aucExtCt; }) {
    for (u8 b : h.aucExtCt) EXPECT_EQ(b, 0);
  }
}

class SfsTest : public StackFixture {
 protected:
  void SetUp() override {
    StackFixture::SetUp();
    StartFrames(k_udid, k_sdn);
  }

  static FrameSpec Spec(u8 id, u8 le) { return MakeSpec(id, le, {0x3A5, k_sdn, 0x1F3, 0xBEEF, 0x2B, 3, 7}); }
  static SFS_FrameHeader Header(const FrameSpec& s) {
    SFS_FrameHeader h{};
    h.usAdr = s.adr;
    h.ucId = s.id;
    h.usSdn = s.sdn;
    h.ucLe = static_cast<u8>(s.payload.size());
    h.usCt = s.ct;
    h.usTadr = s.tadr;
    h.ucTr = s.tr;
    return h;
  }
  static u8 TelType(u8 id) {
    if (SFS_IsSnmt(id)) return SFS_k_TT_SNMT;
    return SFS_IsSlim(id) ? SFS_k_TT_SSDO_SLIM : SFS_k_TT_SSDO;
  }
  /// Serializes through the stack; the block as handed to the platform.
  static Bytes Serialize(const SFS_FrameHeader& h, const Bytes& payload, u8 telType) {
    u8* block = SFS_GetMemBlock(telType, h.ucLe);
    EXPECT_NE(block, nullptr);
    if (block == nullptr) return {};
    if (!payload.empty()) std::memcpy(block + SFS_k_BLOCK_PAYLOAD, payload.data(), payload.size());
    EXPECT_TRUE(SFS_FrmSerialize(&h, block)) << ::testing::PrintToString(g_errors);
    return g_tx.frames.empty() ? Bytes{} : g_tx.frames.back();
  }
  static std::array<u32, SERR_kCommonCounters> Counters() {
    std::array<u32, SERR_kCommonCounters> c{};
    for (u8 i = 0; i < SERR_kCommonCounters; ++i) SERR_GetCommonStatCtr(i, &c[i]);
    return c;
  }
};

// ---- serializer and deserializer against fixtures ----
struct FrameCase {
  u8 id;  ///< frame id
  u8 le;  ///< payload length
};

class SfsFixtureTest : public SfsTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(SfsFixtureTest, SerializerBytesEqualTheFixture) {
  const FrameCase& c = GetParam();
  const FrameSpec fields = Spec(c.id, c.le);
  const Bytes fixture = TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(fields, k_udid));
  const Bytes block = Serialize(Header(fields), fields.payload, TelType(c.id));
  ASSERT_EQ(g_tx.requests.size(), 1U);
  EXPECT_EQ(g_tx.requests[0].type, TelType(c.id));
  EXPECT_EQ(g_tx.requests[0].length, fixture.size());
  EXPECT_EQ(block, TestFrames::QueueToBlockForm(fixture));
  EXPECT_EQ(TestFrames::BlockToQueueForm(block, c.id, c.le), fixture);
  EXPECT_TRUE(g_errors.empty());
}

TEST_P(SfsFixtureTest, DeserializerRecoversTheFixture) {
  const FrameCase& c = GetParam();
  const FrameSpec fields = Spec(c.id, c.le);
  Bytes frame = TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(fields, k_udid));
  SFS_FrameHeader h{};
  const u8* payload = SFS_FrmDeSerialize(frame.data(), static_cast<u16>(frame.size()), &h);
  ASSERT_NE(payload, nullptr) << ::testing::PrintToString(g_errors);
  EXPECT_EQ(h.usAdr, fields.adr);
  EXPECT_EQ(h.ucId, fields.id);
  EXPECT_EQ(h.usSdn, fields.sdn);
  EXPECT_EQ(h.ucLe, c.le);
  EXPECT_EQ(h.usCt, fields.ct);
  EXPECT_EQ(h.usTadr, fields.tadr);
  EXPECT_EQ(h.ucTr, fields.tr);
  EXPECT_EQ(Bytes(payload, payload + c.le), fields.payload);
  EXPECT_EQ(payload, frame.data() + 4);
  ExpectNoExtCt(h);
  EXPECT_TRUE(g_errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SfsFixtureTest,
    ::testing::Values(FrameCase{0x38, 0}, FrameCase{0x38, 8}, FrameCase{0x39, 9}, FrameCase{0x39, 12},
                      FrameCase{0x3A, 0}, FrameCase{0x3A, 8}, FrameCase{0x3B, 9}, FrameCase{0x3B, 12},
                      FrameCase{0x28, 0}, FrameCase{0x2C, 8}, FrameCase{0x2D, 9}, FrameCase{0x2F, 12},
                      FrameCase{0x38, 254}, FrameCase{0x3B, 254}, FrameCase{0x2D, 254}),
    [](const auto& info) {
      return "id" + std::to_string(info.param.id) + "_le" + std::to_string(info.param.le);
    });

TEST_F(SfsTest, EdgeLengthsAndCrcWidths) {
  EXPECT_EQ(SFS_FrameLength(false, 8), 27);
  EXPECT_EQ(SFS_FrameLength(false, 9), 31);
  EXPECT_EQ(SFS_FrameLength(true, 12), 25);
  EXPECT_EQ(SFS_FrameLength(false, 254), SFS_k_MAX_FRAME);
}

// ---- header checks ----
struct HeaderCase {
  std::string name;                            ///< the refused field
  std::function<void(SFS_FrameHeader&)> edit;  ///< breaks the header
  u16 code;                                    ///< expected code
  u32 info;                                    ///< expected info
};

class SfsHeaderTest : public SfsTest, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(SfsHeaderTest, RefusedHeaderSendsNothingAndLeavesNoBlockOut) {
  const HeaderCase& c = GetParam();
  SFS_FrameHeader h = Header(Spec(0x38, 4));
  c.edit(h);
  u8* block = SFS_GetMemBlock(SFS_k_TT_SSDO, 4);
  ASSERT_NE(block, nullptr);
  EXPECT_FALSE(SFS_FrmSerialize(&h, block));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{c.code, c.info}}));
  EXPECT_TRUE(g_tx.frames.empty());
  EXPECT_FALSE(g_tx.out);
  EXPECT_EQ(g_tx.releases, 1U);
  // The next sender still gets a block.
  EXPECT_NE(SFS_GetMemBlock(SFS_k_TT_SSDO, 4), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SfsHeaderTest,
    ::testing::Values(HeaderCase{"adr0", [](SFS_FrameHeader& h) { h.usAdr = 0; }, 0xF30F, 0},
                      HeaderCase{"adr1024", [](SFS_FrameHeader& h) { h.usAdr = 1024; }, 0xF30F, 1024},
                      HeaderCase{"id2E", [](SFS_FrameHeader& h) { h.ucId = 0x2E; }, 0xF310, 0x2E},
                      HeaderCase{"id36", [](SFS_FrameHeader& h) { h.ucId = 0x36; }, 0xF310, 0x36},
                      HeaderCase{"id3C", [](SFS_FrameHeader& h) { h.ucId = 0x3C; }, 0xF310, 0x3C},
                      HeaderCase{"id64", [](SFS_FrameHeader& h) { h.ucId = 64; }, 0xF310, 64},
                      HeaderCase{"sdn0", [](SFS_FrameHeader& h) { h.usSdn = 0; }, 0xF311, 0},
                      HeaderCase{"sdn1024", [](SFS_FrameHeader& h) { h.usSdn = 1024; }, 0xF311, 1024},
                      HeaderCase{"le255", [](SFS_FrameHeader& h) { h.ucLe = 255; }, 0xF312, 255},
                      HeaderCase{"tadr1024", [](SFS_FrameHeader& h) { h.usTadr = 1024; }, 0xF313, 1024},
                      HeaderCase{"tr64", [](SFS_FrameHeader& h) { h.ucTr = 64; }, 0xF314, 64},
                      HeaderCase{"le_not_the_block", [](SFS_FrameHeader& h) { h.ucLe = 5; }, 0xF317, 21}),
    [](const auto& info) { return info.param.name; });

TEST_F(SfsTest, TadrZeroIsSentAndTheSendFailureIsReported) {
  FrameSpec fields = Spec(0x2A, 6);
  fields.tadr = 0;
  const Bytes block = Serialize(Header(fields), fields.payload, SFS_k_TT_SNMT);
  EXPECT_EQ(TestFrames::BlockToQueueForm(block, 0x2A, 6), TestFrames::BuildFrame(fields));
  g_tx.refuseSend = true;
  u8* b = SFS_GetMemBlock(SFS_k_TT_SNMT, 6);
  ASSERT_NE(b, nullptr);
  g_errors.clear();
  SFS_FrameHeader h = Header(fields);
  EXPECT_FALSE(SFS_FrmSerialize(&h, b));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0xF317, 0}}));
}

// ---- receive checks ----
struct RxCase {
  std::string name;            ///< the failing check
  std::function<Bytes()> make; ///< the received frame
  u8 counter;                  ///< counter that counts it
  u16 code;                    ///< expected code
  std::function<u32(const Bytes&)> info;  ///< expected info, from the frame as given
};

Bytes Coded(FrameSpec s) { return TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(std::move(s), k_udid)); }
FrameSpec Base(u8 id, u8 le) { return MakeSpec(id, le, {0x155, k_sdn, 0x2AA, 0x1234, 3, 0xA0, 1}); }
u32 Fixed(u32 v, const Bytes&) { return v; }
using std::placeholders::_1;

/// Received CRC2 as the deserializer sees it (after removing the coding).
u32 DecodedCrc2(const Bytes& f) {
  TestFrames::ParseOptions o;
  o.scmUdid = k_udid;
  return TestFrames::ParseFrame(f, o).crc2;
}

const RxCase k_rxCases[] = {
    {"shorter_than_11", [] { return Bytes(10, 0x11); }, SERR_k_FRAME_LEN, 0x2301, std::bind(Fixed, 0, _1)},
    {"length_le8", [] { Bytes f = Coded(Base(0x38, 2)); f.push_back(0); return f; }, SERR_k_FRAME_LEN, 0x2301,
     std::bind(Fixed, (0x38 << 8) | 2, _1)},
    {"length_le9", [] { Bytes f = Coded(Base(0x38, 9)); f.pop_back(); return f; }, SERR_k_FRAME_LEN, 0x2302,
     std::bind(Fixed, (0x38 << 8) | 9, _1)},
    {"slim_length", [] { Bytes f = Coded(Base(0x3A, 4)); f.push_back(0); return f; }, SERR_k_FRAME_LEN, 0x2301,
     std::bind(Fixed, (0x3A << 8) | 4, _1)},
    {"le255", [] { Bytes f(523, 0); f[1] = 0x38 << 2; f[2] = 255; return f; }, SERR_k_LE_255, 0x2303,
     std::bind(Fixed, 255, _1)},
    {"adr0", [] { FrameSpec s = Base(0x38, 2); s.adr = 0; return Coded(s); }, SERR_k_ADR_0, 0x230D,
     std::bind(Fixed, 0, _1)},
    {"ids_differ", [] { Bytes f = TestFrames::BuildFrame(Base(0x2C, 2)); f[TestFrames::SubFrameTwoOffset(2) + 1] ^= 0x04; return f; },
     SERR_k_ID_DIFFER, 0x2304, std::bind(Fixed, (0x2CU << 16) + 0x2D, _1)},
    {"sdn0", [] { FrameSpec s = Base(0x38, 2); s.sdn = 0; return Coded(s); }, SERR_k_SDN_0, 0x230E,
     std::bind(Fixed, 0, _1)},
    {"tadr0", [] { FrameSpec s = Base(0x39, 2); s.tadr = 0; return Coded(s); }, SERR_k_TADR_0, 0x2318,
     std::bind(Fixed, 0, _1)},
    {"crc1_le8", [] { Bytes f = Coded(Base(0x38, 8)); f[12] ^= 0x01; return f; }, SERR_k_CRC1, 0x2307,
     [](const Bytes& f) { return static_cast<u32>(f[12]); }},
    {"crc1_le12", [] { Bytes f = Coded(Base(0x38, 12)); f[16] ^= 0x80; return f; }, SERR_k_CRC1, 0x2308,
     [](const Bytes& f) { return static_cast<u32>(f[16] | (f[17] << 8)); }},
    {"crc2_le8", [] { Bytes f = Coded(Base(0x2D, 8)); f.back() ^= 0x01; return f; }, SERR_k_CRC2, 0x2309,
     [](const Bytes& f) { return static_cast<u32>(f.back()); }},
    {"crc2_le12", [] { Bytes f = Coded(Base(0x39, 12)); f.back() ^= 0x01; return f; }, SERR_k_CRC2, 0x230A,
     DecodedCrc2},
    {"payloads_differ", [] {
       Bytes f = TestFrames::BuildFrame(Base(0x2C, 4));
       const std::size_t two = TestFrames::SubFrameTwoOffset(4);
       f[two + 5] ^= 0xFF;
       f[two + 9] = static_cast<u8>(TestFrames::FrameCrc(0x2C, 4, f.data() + two, 9));
       return f;
     }, SERR_k_DATA_DIFFER, 0x2306, std::bind(Fixed, 0, _1)},
    {"other_scm_udid", [] {
       FrameSpec s = Base(0x38, 4);
       s.scmUdid = TestFrames::Udid{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x32};
       return TestFrames::BuildFrame(s);
     }, SERR_k_CRC2, 0x2309, [](const Bytes& f) { return static_cast<u32>(f.back()); }},
    {"ssdo_without_coding", [] { return TestFrames::BuildFrame(Base(0x3B, 9)); }, SERR_k_ID_DIFFER, 0x2304,
     std::bind(Fixed, (0x3BU << 16) + (0x3BU ^ (0x5CU >> 2)), _1)},
    {"snmt_with_coding", [] { FrameSpec s = Base(0x2B, 6); s.scmUdid = k_udid; return TestFrames::BuildFrame(s); },
     SERR_k_ID_DIFFER, 0x2304, std::bind(Fixed, (0x2BU << 16) + (0x2BU ^ (0x5CU >> 2)), _1)},
};

class SfsRxTest : public SfsTest, public ::testing::WithParamInterface<RxCase> {};

TEST_P(SfsRxTest, RefusedWithItsCounterCodeAndInfo) {
  const RxCase& c = GetParam();
  Bytes frame = c.make();
  const Bytes given = frame;
  const auto before = Counters();
  SFS_FrameHeader h{};
  EXPECT_EQ(SFS_FrmDeSerialize(frame.data(), static_cast<u16>(frame.size()), &h), nullptr);
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{c.code, c.info(given)}}));
  auto expected = before;
  ++expected[c.counter];
  EXPECT_EQ(Counters(), expected);
}

INSTANTIATE_TEST_SUITE_P(Checks, SfsRxTest, ::testing::ValuesIn(k_rxCases),
                         [](const auto& info) { return info.param.name; });

TEST_F(SfsTest, ShortFrameIsRefusedWithoutBeingRead) {
  SFS_FrameHeader h{};
  EXPECT_EQ(SFS_FrmDeSerialize(nullptr, 10, &h), nullptr);
  EXPECT_EQ(LastError(), (ErrorReport{0x2301, 0}));
}

TEST_F(SfsTest, SpdoFrameAcceptsTadrZero) {
  FrameSpec s = Base(0x30, 2);
  s.tadr = 0;
  Bytes f = Coded(s);
  SFS_FrameHeader h{};
  EXPECT_NE(SFS_FrmDeSerialize(f.data(), static_cast<u16>(f.size()), &h), nullptr) << ::testing::PrintToString(g_errors);
}

// ---- extended CT ----
// The header's extended-CT bytes exist only in the current release: the cases
// run on a header whose type the compiler checks when they are used.
TEST_F(SfsTest, ExtendedCtBytesOfSpdoFramesOnSend) {
  FrameSpec fields = Spec(0x30, 3);
  fields.tadr = 0;
  fields.extendedCt = TestFrames::ExtendedCt{0x11, 0x22, 0x33};
  SFS_FrameHeader header = Header(fields);
  const auto run = [&](auto& h) {
    using FrameHeader = std::remove_reference_t<decltype(h)>;
    if constexpr (requires { h.aucExtCt; }) {
      h.aucExtCt[0] = 0x11;
      h.aucExtCt[1] = 0x22;
      h.aucExtCt[2] = 0x33;
      const Bytes block = Serialize(h, fields.payload, SFS_k_TT_SSDO);
      EXPECT_EQ(TestFrames::BlockToQueueForm(block, 0x30, 3),
                TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(fields, k_udid)));
      // Other frames never carry them.
      FrameSpec other = Spec(0x32, 3);
      FrameHeader h2 = Header(other);
      h2.aucExtCt[0] = 0x11;
      const Bytes block2 = Serialize(h2, other.payload, SFS_k_TT_SSDO);
      EXPECT_EQ(TestFrames::BlockToQueueForm(block2, 0x32, 3),
                TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(other, k_udid)));
    } else {
      GTEST_SKIP() << "the older release has no extended CT";
    }
  };
  run(header);
}

TEST_F(SfsTest, ExtendedCtBytesOfSpdoFramesOnReceive) {
  FrameSpec fields = Spec(0x31, 3);
  fields.tadr = 0;
  fields.tr = 0x30 | 0x05;
  fields.extendedCt = TestFrames::ExtendedCt{0x44, 0x55, 0x66};
  Bytes f = TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(fields, k_udid));
  SFS_FrameHeader header{};
  const auto run = [&](auto& h) {
    if constexpr (requires { h.aucExtCt; }) {
      ASSERT_NE(SFS_FrmDeSerialize(f.data(), static_cast<u16>(f.size()), &h), nullptr)
          << ::testing::PrintToString(g_errors);
      EXPECT_EQ(h.aucExtCt[0], 0x44);
      EXPECT_EQ(h.aucExtCt[1], 0x55);
      EXPECT_EQ(h.aucExtCt[2], 0x66);
      EXPECT_EQ(h.aucExtCt[3], 0);
      EXPECT_EQ(h.usSdn, k_sdn);
      EXPECT_EQ(h.usTadr, 0);
      EXPECT_EQ(h.ucTr, 0x35);
      // Without both TR bits the bytes stay 0.
      FrameSpec plain = Spec(0x31, 3);
      plain.tadr = 0;
      plain.tr = 0x10;
      Bytes g = TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(plain, k_udid));
      ASSERT_NE(SFS_FrmDeSerialize(g.data(), static_cast<u16>(g.size()), &h), nullptr);
      EXPECT_EQ(h.aucExtCt[0], 0);
      EXPECT_EQ(h.aucExtCt[2], 0);
    } else {
      // The older release extracts nothing: the bytes stay in TWO, whose copy of the
      // id no longer matches ONE's (0x2304 with ONE's id 0x31 and TWO's 0x24).
      EXPECT_EQ(SFS_FrmDeSerialize(f.data(), static_cast<u16>(f.size()), &h), nullptr);
      EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2304, 0x310024}}));
    }
  };
  run(header);
}

// ---- blocks, copy, start-up ----
TEST_F(SfsTest, MemBlockLengthsByType) {
  struct Row {
    u8 type;
    u8 le;
    u16 length;
  };
  const Row rows[] = {{2, 0, 11}, {2, 8, 27}, {2, 9, 31}, {2, 12, 37}, {3, 0, 11}, {3, 8, 19},
                      {3, 9, 22}, {3, 12, 25}, {4, 0, 11}, {4, 6, 23}, {4, 12, 37}, {2, 254, 521}};
  for (const Row& r : rows) {
    g_tx = TxFake{};
    ASSERT_NE(SFS_GetMemBlock(r.type, r.le), nullptr);
    ASSERT_EQ(g_tx.requests.size(), 1U);
    EXPECT_EQ(g_tx.requests[0].type, r.type);
    EXPECT_EQ(g_tx.requests[0].length, r.length) << +r.type << "/" << +r.le;
  }
  g_tx = TxFake{};
  EXPECT_EQ(SFS_GetMemBlock(2, 255), nullptr);
  EXPECT_TRUE(g_tx.requests.empty());
  EXPECT_EQ(LastError(), (ErrorReport{0xF305, 255}));
  g_tx.refuseBlock = true;
  EXPECT_EQ(SFS_GetMemBlock(2, 1), nullptr);
  EXPECT_EQ(LastError(), (ErrorReport{0xF316, 0}));
}

TEST_F(SfsTest, NetworkCopyByType) {
  const u32 sizes[14] = {1, 1, 2, 4, 8, 1, 2, 4, 8, 4, 8, 5, 5, 5};
  u8 src[16];
  for (u8 i = 0; i < 16; ++i) src[i] = static_cast<u8>(i + 1);
  for (u8 type = 0; type < 14; ++type) {
    u8 dest[16];
    std::memset(dest, 0xAA, sizeof(dest));
    ASSERT_TRUE(SFS_NetworkCopyGen(dest, src, 5, type));
    const auto copied = static_cast<u32>(std::count_if(dest, dest + 16, [](u8 b) { return b != 0xAA; }));
    EXPECT_EQ(copied, sizes[type]) << "type " << +type;
    EXPECT_EQ(dest[0], 1);
  }
  u8 dest[8];
  EXPECT_FALSE(SFS_NetworkCopyGen(dest, src, 1, 14));
  EXPECT_EQ(LastError(), (ErrorReport{0xF30B, 14}));
}

TEST_F(SfsTest, InitRefusesAReadCallbackAndAMissingUdid) {
  static u8 s_udid[6];
  static SOD_VarData s_var = {6, s_udid};
  static auto clbk = [](u8, SOD_Entry*, const void*, u32, u32, u32*) { return true; };
  static const SOD_Entry k_withCallback[] = {
      {0x1200, 4, {0x0104, SOD_k_OSTRING, 6, nullptr, &s_var, nullptr, +clbk}},
      {SOD_k_END_INDEX, 0, {}},
  };
  UseTables(k_withCallback, nullptr);
  ASSERT_TRUE(SOD_Init());
  g_errors.clear();
  EXPECT_FALSE(SFS_Init());
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0xF319, 0}}));
  static const SOD_Entry k_without[] = {
      {0x1200, 3, {0x0004, SOD_k_OSTRING, 6, nullptr, &s_var, nullptr, nullptr}},
      {SOD_k_END_INDEX, 0, {}},
  };
  UseTables(k_without, nullptr);
  ASSERT_TRUE(SOD_Init());
  g_errors.clear();
  EXPECT_FALSE(SFS_Init());
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0xF745, 0x06090011}}));
}

}  // namespace
}  // namespace StackTest
