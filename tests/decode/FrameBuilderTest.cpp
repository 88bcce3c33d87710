// The shared frame builder and its test-side decoder: CRCs against a bitwise
// computation, byte placement against hand-laid bytes, and the round trip.
#include <gtest/gtest.h>

#include "FrameBuilder.h"
#include "MessageBuilder.h"

namespace {

using TestFrames::Bytes;
using TestFrames::FrameSpec;
using TestFrames::Udid;

/// MSB-first CRC, bit by bit, start 0, no final XOR: the reference for the table routines.
u16 BitwiseCrc(const u8* data, std::size_t n, unsigned width, u16 polynomial) {
  const u32 top = 1u << (width - 1);
  const u32 mask = (1u << width) - 1;
  u32 reg = 0;
  for (std::size_t i = 0; i < n; ++i) {
    reg ^= static_cast<u32>(data[i]) << (width - 8);
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & top) ? ((reg << 1) ^ polynomial) & mask : (reg << 1) & mask;
    }
  }
  return static_cast<u16>(reg);
}

/// Reference CRC for a frame of this id and LE over n bytes.
u16 ReferenceCrc(u8 id, std::size_t le, const u8* data, std::size_t n) {
  if (le <= 8) {
    return BitwiseCrc(data, n, 8, 0x2F);
  }
  return BitwiseCrc(data, n, 16, TestFrames::IsSlimId(id) ? 0x5935 : 0x755B);
}

Bytes Payload(std::size_t n, u8 seed) {
  Bytes p(n);
  for (std::size_t i = 0; i < n; ++i) {
    p[i] = static_cast<u8>(seed + 17 * i);
  }
  return p;
}

const Udid kUdid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};

struct CrcCase {
  u8 id;           ///< frame id
  std::size_t le;  ///< payload length
  std::size_t total;  ///< expected total length
};

class BuilderCrc : public ::testing::TestWithParam<CrcCase> {};

TEST_P(BuilderCrc, CrcsAndLengthMatchBitwiseReference) {
  const CrcCase c = GetParam();
  FrameSpec fields{c.id, 0x155, 0x2A3, 0xBEEF, 0x301, 0x2B, Payload(c.le, 0x40), std::nullopt, std::nullopt};
  const Bytes f = TestFrames::BuildFrame(fields);
  ASSERT_EQ(f.size(), c.total);
  const std::size_t w = c.le <= 8 ? 1 : 2;
  const u16 crc1 = ReferenceCrc(c.id, c.le, f.data(), 4 + c.le);
  EXPECT_EQ(f[4 + c.le], crc1 & 0xFF);
  if (w == 2) {
    EXPECT_EQ(f[5 + c.le], crc1 >> 8);
  }
  const std::size_t twoAt = 4 + c.le + w;
  const std::size_t covered = TestFrames::IsSlimId(c.id) ? 5 : 5 + c.le;
  const u16 crc2 = ReferenceCrc(c.id, c.le, f.data() + twoAt, covered);
  EXPECT_EQ(f[twoAt + covered], crc2 & 0xFF);
  if (w == 2) {
    EXPECT_EQ(f[twoAt + covered + 1], crc2 >> 8);
  }
  EXPECT_EQ(TestFrames::FrameCrc(c.id, c.le, f.data(), 4 + c.le), crc1);
}

INSTANTIATE_TEST_SUITE_P(Widths, BuilderCrc,
                         ::testing::Values(CrcCase{0x29, 0, 11}, CrcCase{0x29, 8, 27}, CrcCase{0x29, 9, 31},
                                           CrcCase{0x38, 254, 521}, CrcCase{0x3A, 8, 19},
                                           CrcCase{0x3A, 9, 22}, CrcCase{0x3B, 12, 25},
                                           CrcCase{0x39, 12, 37}, CrcCase{0x3B, 254, 267}));

TEST(FrameBuilder, PlacesEveryFieldAtItsOffset) {
  // ADR 0x2A5, SDN 0x001, CT 0x1234, TADR 0x302, TR 0x15, payload 0xAB, id 0x2D.
  FrameSpec fields{0x2D, 0x2A5, 0x001, 0x1234, 0x302, 0x15, {0xAB}, std::nullopt, std::nullopt};
  const Bytes f = TestFrames::BuildFrame(fields);
  ASSERT_EQ(f.size(), 13u);
  const u16 sdnField = 0x2A5 ^ 0x001;
  const Bytes expectedOne = {0xA5, static_cast<u8>((0x2D << 2) | 2), 1, 0x34, 0xAB};
  const Bytes expectedTwo = {static_cast<u8>(sdnField & 0xFF), static_cast<u8>((0x2D << 2) | (sdnField >> 8)),
                             0x12, 0x02, static_cast<u8>((0x15 << 2) | 3), 0xAB};
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 5), expectedOne);
  EXPECT_EQ(f[5], BitwiseCrc(expectedOne.data(), 5, 8, 0x2F));
  EXPECT_EQ(Bytes(f.begin() + 6, f.begin() + 12), expectedTwo);
  EXPECT_EQ(f[12], BitwiseCrc(expectedTwo.data(), 6, 8, 0x2F));
}

TEST(FrameBuilder, UdidCodingCoversSixBytesOfTwoIncludingSlimCrc) {
  FrameSpec plain{0x3B, 5, 7, 9, 11, 0, Payload(12, 1), std::nullopt, std::nullopt};
  FrameSpec coded = plain;
  coded.scmUdid = kUdid;
  const Bytes a = TestFrames::BuildFrame(plain);
  const Bytes b = TestFrames::BuildFrame(coded);
  ASSERT_EQ(a.size(), 25u);
  const std::size_t twoAt = 4 + 12 + 2;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const u8 key = (i >= twoAt && i < twoAt + 6) ? kUdid[i - twoAt] : 0;
    EXPECT_EQ(b[i], a[i] ^ key) << "byte " << i;
  }
}

TEST(FrameBuilder, FirmwareCodingSkipsSnmt) {
  FrameSpec snmt{0x2C, 1, 1, 0, 1, 0, {0x02}, std::nullopt, std::nullopt};
  EXPECT_FALSE(TestFrames::WithFirmwareCoding(snmt, kUdid).scmUdid.has_value());
  snmt.id = 0x38;
  EXPECT_TRUE(TestFrames::WithFirmwareCoding(snmt, kUdid).scmUdid.has_value());
}

TEST(FrameParser, RoundTripsEveryFieldWithAndWithoutCoding) {
  for (u8 id : {u8{0x28}, u8{0x2B}, u8{0x38}, u8{0x3A}, u8{0x3B}}) {
    for (std::size_t le : {0u, 1u, 8u, 9u, 40u}) {
      FrameSpec fields{id, 0x3FF, 0x155, 0xA55A, 0x200, 0x3F, Payload(le, id), std::nullopt, std::nullopt};
      fields = TestFrames::WithFirmwareCoding(fields, kUdid);
      TestFrames::ParseOptions options;
      options.scmUdid = fields.scmUdid;
      const auto r = TestFrames::ParseFrame(TestFrames::BuildFrame(fields), options);
      ASSERT_TRUE(r.ok) << r.error;
      EXPECT_EQ(r.id, id);
      EXPECT_EQ(r.adr, 0x3FF);
      EXPECT_EQ(r.sdn, 0x155);
      EXPECT_EQ(r.ct, 0xA55A);
      EXPECT_EQ(r.tadr, 0x200);
      EXPECT_EQ(r.tr, 0x3F);
      EXPECT_EQ(r.payload, fields.payload);
    }
  }
}

TEST(FrameParser, ReportsEachFault) {
  FrameSpec fields{0x39, 3, 4, 5, 6, 7, Payload(10, 3), kUdid, std::nullopt};
  const Bytes good = TestFrames::BuildFrame(fields);
  TestFrames::ParseOptions withUdid{kUdid, std::nullopt};
  EXPECT_FALSE(TestFrames::ParseFrame(good).crc2Ok);  // coding not removed
  Bytes f = good;
  f.pop_back();
  EXPECT_FALSE(TestFrames::ParseFrame(f, withUdid).ok);
  f = good;
  f[4] ^= 1;
  EXPECT_FALSE(TestFrames::ParseFrame(f, withUdid).crc1Ok);
  // Differing payloads with both CRCs right.
  FrameSpec other = fields;
  other.payload[0] ^= 1;
  const Bytes g = TestFrames::BuildFrame(other);
  f = good;
  std::copy(g.begin() + 16, g.end(), f.begin() + 16);
  const auto r = TestFrames::ParseFrame(f, withUdid);
  EXPECT_TRUE(r.crc1Ok);
  EXPECT_TRUE(r.crc2Ok);
  EXPECT_FALSE(r.payloadsEqual);
  EXPECT_FALSE(r.ok);
}

TEST(FrameParser, ExtendedCtRoundTrip) {
  FrameSpec fields{0x30, 3, 4, 5, 0, 0x30, Payload(2, 3), kUdid, TestFrames::ExtendedCt{0x11, 0x22, 0x33}};
  const auto r = TestFrames::ParseFrame(TestFrames::BuildFrame(fields), {kUdid, fields.extendedCt});
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.tadr, 0);
}

TEST(FrameBuilder, BlockFormRotation) {
  FrameSpec fields{0x3A, 3, 4, 5, 6, 7, Payload(9, 3), kUdid, std::nullopt};
  const Bytes q = TestFrames::BuildFrame(fields);
  const Bytes b = TestFrames::QueueToBlockForm(q);
  ASSERT_EQ(b.size(), q.size());
  // TWO first, then ONE (4 + LE + 2 bytes): ONE's LE byte sits 2 bytes into ONE.
  EXPECT_EQ(b[b.size() - (4 + 9 + 2) + 2], 9);  // LE byte of ONE
  EXPECT_EQ(TestFrames::BlockToQueueForm(b, 0x3A, 9), q);
}

TEST(MessageBuilder, LayoutsAtTheirOffsets) {
  const Bytes e = TestFrames::BuildEvent(1, 0x6200C094, 8, 0x01020304);
  EXPECT_EQ(e, (Bytes{1, 0x94, 0xC0, 0x00, 0x62, 8, 0, 4, 3, 2, 1}));
  TestFrames::CommandSpec c;
  c.identifier = 0x0707;
  c.echo = 0xBEEF;
  c.code = 0x0200;
  c.password[0] = 0x99;
  const Bytes cmd = TestFrames::BuildCommand(c);
  ASSERT_EQ(cmd.size(), 26u);
  EXPECT_EQ(Bytes(cmd.begin(), cmd.begin() + 11), (Bytes{3, 0, 7, 7, 0, 1, 0xEF, 0xBE, 0, 2, 0x99}));
  c.newPassword = std::array<u8, 16>{};
  (*c.newPassword)[15] = 0x42;
  const Bytes pw = TestFrames::BuildCommand(c);
  ASSERT_EQ(pw.size(), 42u);
  EXPECT_EQ(pw[41], 0x42);
  TestFrames::StatusSpec s;
  s.result = 0x1234;
  s.moduleStateLow = 0xAA;
  const Bytes st = TestFrames::BuildStatus(s);
  ASSERT_EQ(st.size(), 280u);
  EXPECT_EQ(st[0], 4);
  EXPECT_EQ(st[8], 0x34);
  EXPECT_EQ(st[9], 0x12);
  EXPECT_EQ(st[23], 0xAA);
  TestFrames::NewStatusSpec n;
  n.stateBits = 0x80000E10;
  const Bytes ns = TestFrames::BuildNewStatus(n);
  ASSERT_EQ(ns.size(), 52u);
  EXPECT_EQ(Bytes(ns.begin() + 4, ns.begin() + 13), (Bytes{0, 2, 0, 0, 0, 0, 0, 0x50, 2}));
  EXPECT_EQ(Bytes(ns.begin() + 44, ns.begin() + 48), (Bytes{0x10, 0x0E, 0, 0x80}));
}

}  // namespace
