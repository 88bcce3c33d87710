// Feeds the robustness drivers seeded random inputs of every length and
// mutations of valid messages (bit flips, truncation, extension, boundary
// values of LE and of the length fields). Each input sits in a heap buffer of
// exactly its length, so that the sanitizer build sees any read beyond it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <sstream>

#include "DecoderDrivers.h"
#include "FrameKinds.h"
#include "MessageBuilder.h"

namespace {

using TestFrames::Bytes;

/// The fixed seed of CI; printed with every failure.
constexpr std::uint32_t kSeed = 0x5CD0C0DE;

/// Mutations per valid message.
constexpr int kMutations = 300;

using Driver = std::function<bool(u8*, std::size_t)>;

/// Outcomes of the inputs of one test: decoded objects and refusals.
struct Tally {
  int decoded = 0;  ///< inputs that gave an object
  int refused = 0;  ///< inputs that were refused
};
Tally g_Tally;  ///< outcomes of the running test

std::string Hex(const Bytes& b) {
  std::ostringstream out;
  out << std::hex;
  for (u8 v : b) {
    out << (v < 16 ? "0" : "") << int(v);
  }
  return out.str();
}

/// Runs the driver on a heap copy of exactly the input's length.
void RunOne(const char* name, const Driver& driver, const Bytes& input) {
  std::unique_ptr<u8[]> buffer(new u8[input.size()]);
  std::copy(input.begin(), input.end(), buffer.get());
  try {
    if (driver(buffer.get(), input.size())) {
      ++g_Tally.decoded;
    } else {
      ++g_Tally.refused;
    }
  } catch (const DecodeTest::DriverViolation& v) {
    ADD_FAILURE() << name << ": " << v.what() << " (seed 0x" << std::hex << kSeed << ", input " << Hex(input)
                  << ")";
  } catch (...) {
    ADD_FAILURE() << name << ": unexpected exception (seed 0x" << std::hex << kSeed << ", input " << Hex(input)
                  << ")";
  }
}

class Mutator {
 public:
  explicit Mutator(std::uint32_t seed) : m_Rng(seed) {}

  std::size_t Below(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(m_Rng); }
  u8 Byte() { return static_cast<u8>(Below(256)); }

  Bytes Random(std::size_t n) {
    Bytes b(n);
    for (u8& v : b) {
      v = Byte();
    }
    return b;
  }

  /// One of: flip 1..4 bits, truncate, extend, or put a boundary value at one of the given offsets.
  Bytes Mutate(Bytes b, const std::vector<std::size_t>& boundaryOffsets, const std::vector<u8>& boundaryValues,
               const std::vector<std::size_t>& boundaryLengths) {
    switch (Below(5)) {
      case 0:
        for (std::size_t i = 0, n = 1 + Below(4); i < n && !b.empty(); ++i) {
          b[Below(b.size())] ^= static_cast<u8>(1u << Below(8));
        }
        break;
      case 1:
        b.resize(Below(b.size() + 1));
        break;
      case 2: {
        const Bytes extra = Random(1 + Below(24));
        b.insert(b.end(), extra.begin(), extra.end());
        break;
      }
      case 3:
        if (!boundaryOffsets.empty()) {
          const std::size_t at = boundaryOffsets[Below(boundaryOffsets.size())];
          if (at < b.size()) {
            b[at] = boundaryValues[Below(boundaryValues.size())];
          }
        }
        break;
      default:
        b.resize(boundaryLengths[Below(boundaryLengths.size())], Byte());
        break;
    }
    return b;
  }

 private:
  std::mt19937 m_Rng;  ///< the seeded generator
};

Driver Const(bool (*f)(const u8*, std::size_t)) {
  return [f](u8* d, std::size_t n) { return f(d, n); };
}

/// Both outcomes must have been reached often, or the inputs test little.
void ExpectBothOutcomes(int atLeast) {
  EXPECT_GE(g_Tally.decoded, atLeast) << "seed 0x" << std::hex << kSeed;
  EXPECT_GE(g_Tally.refused, atLeast) << "seed 0x" << std::hex << kSeed;
  g_Tally = {};
}

void RandomOfEveryLength(const char* name, const Driver& driver, std::size_t maxLength, Mutator& m) {
  for (std::size_t n = 0; n <= maxLength; ++n) {
    for (int k = 0; k < 8; ++k) {
      RunOne(name, driver, m.Random(n));
    }
  }
}

TEST(Robustness, FrameDecoder) {
  g_Tally = {};
  Mutator m(kSeed);
  const Driver driver = Const(&DecodeTest::DriveFrameDecoder);
  RandomOfEveryLength("frame random", driver, 600, m);
  // Random frames with a plausible header: an SNMT or SSDO id and an LE that fits.
  for (int k = 0; k < 2000; ++k) {
    Bytes b = m.Random(11 + m.Below(590));
    b[1] = static_cast<u8>(((0x28 + m.Below(24)) << 2) | (b[1] & 3));
    b[2] = static_cast<u8>(m.Below(std::min<std::size_t>(256, b.size() / 2)));
    RunOne("frame plausible", driver, b);
  }
  // Sound frames of random ids, lengths and service bytes.
  for (int k = 0; k < 2000; ++k) {
    TestFrames::FrameSpec fields;
    fields.id = static_cast<u8>(0x28 + m.Below(24));
    fields.adr = static_cast<u16>(m.Below(1024));
    fields.sdn = static_cast<u16>(m.Below(1024));
    fields.ct = static_cast<u16>(m.Below(65536));
    fields.tadr = static_cast<u16>(m.Below(1024));
    fields.tr = static_cast<u8>(m.Below(64));
    fields.payload = m.Random(m.Below(256));
    fields = TestFrames::WithFirmwareCoding(fields, DecodeTest::kScmUdid);
    RunOne("frame sound", driver, TestFrames::BuildFrame(fields));
  }
  const std::vector<u8> leValues = {0, 1, 3, 5, 6, 7, 8, 9, 10, 127, 128, 253, 254, 255};
  for (const auto& kind : DecodeTest::FrameKinds()) {
    for (std::size_t le : {kind.leMin, std::size_t{8}, std::size_t{9}, std::size_t{60}}) {
      for (bool slim : {false, true}) {
        const Bytes good = TestFrames::BuildFrame(DecodeTest::KindSpec(kind, std::max(le, kind.leMin), slim));
        const std::vector<std::size_t> lengths = {10, 11, good.size() - 1, good.size(), good.size() + 1, 521, 600};
        for (int k = 0; k < kMutations; ++k) {
          RunOne(kind.name, driver, m.Mutate(good, {2}, leValues, lengths));
        }
      }
    }
  }
  ExpectBothOutcomes(500);
}

TEST(Robustness, EventDecoder) {
  g_Tally = {};
  Mutator m(kSeed + 1);
  const Driver driver = Const(&DecodeTest::DriveEventDecoder);
  RandomOfEveryLength("event random", driver, 300, m);
  const std::vector<Bytes> valid = {
      TestFrames::BuildEvent(1, 0x6200C094, 7, 0), TestFrames::BuildEvent(1, 0x6200C095, 8, 5),
      TestFrames::BuildEvent(1, 0x6200C094, 9, 0), TestFrames::BuildEvent(2, 0x92008500, 1, 2)};
  const std::vector<u8> values = {0, 1, 2, 6, 7, 8, 9, 10, 0x94, 0x95, 0xC0, 0xFF};
  for (const Bytes& good : valid) {
    for (int k = 0; k < kMutations * 4; ++k) {
      RunOne("event mutated", driver, m.Mutate(good, {0, 1, 2, 5, 6}, values, {10, 11, 12, 255, 256, 300}));
    }
  }
  ExpectBothOutcomes(500);
}

TEST(Robustness, CommandDecoder) {
  g_Tally = {};
  Mutator m(kSeed + 2);
  const Driver driver = Const(&DecodeTest::DriveCommandDecoder);
  RandomOfEveryLength("command random", driver, 300, m);
  std::vector<Bytes> valid;
  for (u16 code : {0x5000, 0x0200, 0x0020, 0x0060, 0x0100, 0x9000, 0x9100, 0x0070}) {
    TestFrames::CommandSpec fields;
    fields.code = code;
    if (code == 0x5000) {
      fields.newPassword = std::array<u8, 16>{};
    }
    valid.push_back(TestFrames::BuildCommand(fields));
  }
  TestFrames::CommandSpec status;
  status.commandClass = 0x0200;
  valid.push_back(TestFrames::BuildCommand(status));
  const std::vector<u8> values = {0, 1, 2, 3, 4, 0x10, 0x20, 0x30, 0x50, 0x60, 0x90, 0x91, 0xFF};
  for (const Bytes& good : valid) {
    for (int k = 0; k < kMutations * 4; ++k) {
      RunOne("command mutated", driver, m.Mutate(good, {0, 2, 4, 5, 8, 9}, values, {25, 26, 41, 42, 255, 256, 300}));
    }
  }
  ExpectBothOutcomes(500);
}

TEST(Robustness, ResponseDecoder) {
  g_Tally = {};
  Mutator m(kSeed + 3);
  const Driver driver = &DecodeTest::DriveResponseDecoder;
  RandomOfEveryLength("response random", driver, 300, m);
  TestFrames::StatusSpec marked;
  marked.moduleStateLow = 0xAA;
  const std::vector<Bytes> valid = {TestFrames::BuildStatus({}), TestFrames::BuildStatus(marked),
                                    TestFrames::BuildNewStatus({})};
  const std::vector<u8> values = {0, 1, 2, 3, 4, 0x10, 0x50, 0x55, 0xFF};
  for (const Bytes& good : valid) {
    for (int k = 0; k < kMutations * 4; ++k) {
      RunOne("response mutated", driver,
             m.Mutate(good, {0, 2, 4, 5, 10, 11, 12, 23, 44}, values, {12, 13, 51, 52, 53, 279, 280, 281, 300}));
    }
  }
  ExpectBothOutcomes(500);
}

}  // namespace
