// Feeds every robustness driver seeded random bytes and mutations of valid
// files: bit flips, truncation, extension, and fields set to boundary values.
#include <functional>
#include <random>

#include "ApplicationFileBuilders.h"
#include "ParamDrivers.h"
#include "ParamTestSupport.h"
#include "ParameterFileBuilders.h"
#include "ScmGen.h"

namespace {

using namespace TestFiles;
using Driver = std::string (*)(const std::uint8_t*, std::size_t);
using ParamDrivers::FixUp;
using ParamDrivers::FixAutoCnf;
using ParamDrivers::FixCorvaneDat;
using ParamDrivers::FixFwRevCnf;
using ParamDrivers::FixKelParaSaf;
using ParamDrivers::FixParData1;

constexpr std::uint32_t ms_Seed = 0x5CA1AB1Eu;  // fixed in CI; printed with every failure

/// Values a field is set to: 0, 1, 63, 64, 2^16-1, 2^32-1 and their neighbours.
const std::vector<std::uint32_t> ms_Boundaries = {0,      1,      2,          62,         63,         64,
                                                  65,     0xFFFE, 0xFFFF,     0x10000,    0xFFFFFFFEu, 0xFFFFFFFFu,
                                                  0x8000, 0x7FFFFFFFu, 0x80000000u};

struct Seed {
  const char* name;  ///< what the valid file is
  Bytes file;        ///< its bytes
};

/// Runs one input and reports what broke, with the seed and the mutation.
void Check(Driver drive, const FixUp& fix, const Bytes& input, const std::string& what) {
  const std::string broken = drive(input.data(), input.size());
  EXPECT_TRUE(broken.empty()) << broken << " for " << what << " (seed 0x" << std::hex << ms_Seed << ")";
  Bytes fixed = input;
  fix(fixed);
  const std::string brokenFixed = drive(fixed.data(), fixed.size());
  EXPECT_TRUE(brokenFixed.empty()) << brokenFixed << " for " << what << " with CRCs fixed (seed 0x" << std::hex
                                   << ms_Seed << ")";
}

void Mutate(Driver drive, const FixUp& fix, const std::vector<Seed>& seeds) {
  std::mt19937 random(ms_Seed);
  for (const auto& seed : seeds) {
    const Bytes& file = seed.file;
    const std::string name = seed.name;
    Check(drive, fix, file, name);
    // Bit flips: every bit of the first 128 bytes, random ones behind them.
    for (std::size_t bit = 0; bit < std::min<std::size_t>(file.size(), 128) * 8; ++bit) {
      Bytes m = file;
      m[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
      Check(drive, fix, m, name + " flip " + std::to_string(bit));
    }
    for (int i = 0; i < 200 && file.size() > 128; ++i) {
      Bytes m = file;
      const std::size_t at = 128 + random() % (file.size() - 128);
      m[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
      Check(drive, fix, m, name + " flip at " + std::to_string(at));
    }
    // Truncation: every length for small files, a sample for large ones.
    const std::size_t step = file.size() > 2048 ? file.size() / 512 : 1;
    for (std::size_t length = 0; length < file.size(); length += step) {
      Check(drive, fix, Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)),
            name + " cut to " + std::to_string(length));
    }
    // Extension by 1 to 8 bytes, zero and random.
    for (std::size_t extra = 1; extra <= 8; ++extra) {
      Bytes zeros = file;
      zeros.resize(file.size() + extra, 0);
      Check(drive, fix, zeros, name + " extended by zeros " + std::to_string(extra));
      Bytes noise = file;
      for (std::size_t i = 0; i < extra; ++i) noise.push_back(static_cast<std::uint8_t>(random()));
      Check(drive, fix, noise, name + " extended by noise " + std::to_string(extra));
    }
    // Fields: every u16 and u32 of the first 64 bytes, and random places behind them.
    std::vector<std::size_t> places;
    for (std::size_t at = 0; at + 2 <= std::min<std::size_t>(file.size(), 64); at += 2) places.push_back(at);
    for (int i = 0; i < 24 && file.size() > 68; ++i) places.push_back(64 + random() % (file.size() - 68));
    for (std::size_t at : places) {
      for (std::uint32_t value : ms_Boundaries) {
        Bytes m16 = file;
        PutU16(m16, at, static_cast<std::uint16_t>(value));
        Check(drive, fix, m16, name + " u16 at " + std::to_string(at) + " = " + std::to_string(value));
        if (at + 4 <= file.size()) {
          Bytes m32 = file;
          PutU32(m32, at, value);
          Check(drive, fix, m32, name + " u32 at " + std::to_string(at) + " = " + std::to_string(value));
        }
      }
    }
  }
  // Seeded random bytes, some of them behind a valid header.
  for (int i = 0; i < 300; ++i) {
    Bytes m(random() % 400);
    for (auto& b : m) b = static_cast<std::uint8_t>(random());
    if (i % 2 == 1 && !seeds.empty()) {
      const Bytes& head = seeds[static_cast<std::size_t>(i) % seeds.size()].file;
      std::copy(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(std::min(head.size(), m.size())), m.begin());
    }
    Check(drive, fix, m, "random " + std::to_string(i));
  }
}

Udid U(std::uint8_t v) { return ParamDrivers::SampleUdid(v); }

/// The files the sample-file generator writes for a small domain with every kind of file.
const ScmGen::FileSet& Generated() {
  static const ScmGen::FileSet files = [] {
    const ScmGen::Result r = ParamDrivers::GenerateEveryKindOfFile();
    EXPECT_EQ(r.error, "");
    return r.files;
  }();
  return files;
}

TEST(Robustness, KelParaSaf) {
  std::vector<Record> records = NodeRecords(0xC400, 5, 1, 2, 3);
  records.push_back(U16Record(0xC400, 1, 5));
  records.push_back({0xC400, 14, Bytes(8, 1)});
  records.push_back({0xCC05, 1, Bytes(6, 2)});
  records.push_back({0xE405, 1, {1, 1, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
  records.push_back(U32Record(0x210B, 1, 1));
  records.push_back(U32Record(0x2106, 4, 1));
  Mutate(ParamDrivers::DriveKelParaSaf, FixKelParaSaf,
         {{"empty", {}}, {"minimal", BuildKelParaSaf({})}, {"typical", BuildKelParaSaf(Records(records), Bytes(10, 3))},
          {"two blocks", BuildKelParaSaf(Records({{0x3000, 1, Bytes(16400, 1)}}))},
          {"generated", Generated().kelParaSaf}});
}

TEST(Robustness, AutoCnfBin) {
  Mutate(ParamDrivers::DriveAutoCnfBin, FixAutoCnf,
         {{"empty", {}},
          {"header only", BuildAutoCnf({1, false, {}, {}, {}})},
          {"typical", BuildAutoCnf({2, true, {{1, U(1)}, {2, Udid{}}}, Bytes(64, 9), ModuleFlags{}})},
          {"old layout", BuildAutoCnfOldLayout({{3, U(3)}, {4, U(4)}})},
          {"generated", Generated().autoCnf.value_or(Bytes{})}});
}

TEST(Robustness, ParData1Bin) {
  Mutate(ParamDrivers::DriveParData1Bin, FixParData1,
         {{"empty", {}},
          {"header only", BuildParData1({})},
          {"typical", BuildParData1({{0, 1, Bytes(20, 1)}, {15, 1023, {}}})},
          {"skipping", BuildParData1({{1, 2000, Bytes(4, 1)}, {2, 7, Bytes(3, 2)}}, 0x0200)},
          {"generated", Generated().parData1.value_or(Bytes{})}});
}

TEST(Robustness, CorvaneDat) {
  const std::vector<Seed> seeds = {{"empty", {}},
                                   {"minimal", BuildCorvaneDat({})},
                                   {"typical", BuildCorvaneDat(CorvaneDatRecords({{1, U(1)}, {2, Udid{}}, {1023, U(3)}}))}};
  Mutate(ParamDrivers::DriveCorvaneDat, FixCorvaneDat, seeds);
  Mutate(ParamDrivers::DriveCorvaneDatChk, FixCorvaneDat, seeds);
}

TEST(Robustness, CorvaneUid) {
  const std::vector<Seed> seeds = {{"empty", {}},
                                   {"record", BuildCorvaneUid(U(7), 0x12345678ABull)},
                                   {"generated", Generated().corvaneUid.value_or(Bytes{})}};
  Mutate(ParamDrivers::DriveCorvaneUid, [](Bytes&) {}, seeds);
  Mutate(ParamDrivers::DriveCorvaneUidChk, [](Bytes&) {}, seeds);
}

TEST(Robustness, FwRevCnfBin) {
  FwRevCnfContent typical;
  typical.entries = {{1, 2}, {5, 0}, {1023, 0xFFFF}};
  typical.flags = 0x1F;
  const std::vector<Seed> seeds = {{"empty", {}},
                                   {"no entries", BuildFwRevCnf({})},
                                   {"typical", BuildFwRevCnf(typical)},
                                   {"generated", Generated().fwRevCnf.value_or(Bytes{})}};
  Mutate(ParamDrivers::DriveFwRevCnfBin, FixFwRevCnf, seeds);
  Mutate(ParamDrivers::DriveFwRevCnfBinChk, FixFwRevCnf, seeds);
}

}  // namespace
