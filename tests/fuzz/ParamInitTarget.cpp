// Surface 4: the firmware's parameter-file parsers through EPS_Init into the
// real object dictionary, as the start-up runs them: one file from the input
// beside the demo domain's other two, or all three from the input. The files
// stay as they were loaded (the parsers only read them), and every object the
// node list, the UDID list, the additional SADRs and the additional
// parameter sets hold reads back within its file (the sanitizer sees any byte outside).
//
// Input: a mode byte (bits 0-1: 0 "kel_para.saf", 1 "corvane.dat",
// 2 "pardata1.bin" from the input, 3 all three; bit 7: recompute each file's
// CRCs first), then the file, or for mode 3 two fields (u16 length, bytes) and
// the third file as the rest.
#include "EPSod.h"
#include "FuzzTarget.h"
#include "FwKeyFile.h"
#include "ParamDrivers.h"
#include "ParamFixture.h"

namespace ScmFuzz {

namespace {

constexpr u8 kFileMask = 0x03;  ///< mode: which file comes from the input
constexpr u8 kAll = 0x03;       ///< mode: all three
constexpr u8 kFixCrcs = 0x80;   ///< mode: recompute the CRCs

/// The parameter fixture, driven without a test runner.
struct Fixture : ParamTest::ParamFixture {
  void TestBody() override {}
};

using FixUp = void (*)(Bytes&);
constexpr FixUp kFixes[3] = {ParamDrivers::FixKelParaSaf, ParamDrivers::FixCorvaneDat, ParamDrivers::FixParData1};

Bytes One(u8 file, const Bytes& content) { return Prefixed(static_cast<u8>(file | kFixCrcs), content); }

/// Reads an object's value with its actual length; touches every byte.
void ReadBack(Fixture& f, u16 index, u8 sub) {
  const std::optional<Bytes> value = f.Read(index, sub);
  if (value) {
    volatile u8 sum = 0;
    for (u8 b : *value) sum = static_cast<u8>(sum + b);
  }
}

}  // namespace

std::vector<Bytes> Seeds() {
  const ScmGen::FileSet files = ParamTest::Files(ParamTest::DemoDomain());
  Bytes all = {static_cast<u8>(kAll | kFixCrcs)};
  AppendField(all, files.kelParaSaf);
  AppendField(all, files.corvaneDat);
  all.insert(all.end(), files.parData1->begin(), files.parData1->end());
  return {One(0, files.kelParaSaf), One(0, FwTest::OneNodeKeyFile()), One(1, files.corvaneDat),
          One(2, *files.parData1), all};
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  static const ScmGen::FileSet demo = ParamTest::Files(ParamTest::DemoDomain());
  InputReader in(data, size);
  const u8 mode = in.U8();
  Bytes files[3] = {demo.kelParaSaf, demo.corvaneDat, *demo.parData1};
  if ((mode & kFileMask) == kAll) {
    files[0] = in.Field();
    files[1] = in.Field();
    files[2] = in.Rest();
  } else {
    files[mode & kFileMask] = in.Rest();
  }
  if ((mode & kFixCrcs) != 0) {
    for (int i = 0; i < 3; ++i) kFixes[i](files[i]);
  }
  // One fixture for the whole run: the next input's EPS_Init rebinds whatever
  // the object dictionary kept pointing into, so no clearing start-up runs between.
  // Never destroyed: its host stand-in would unhook from an ended platform at exit.
  static Fixture& f = *new Fixture;
  f.SetUp();
  f.Init(files[0], files[1], files[2]);
  Require(f.kel == files[0] && f.corvane == files[1] && f.parData == files[2], "EPS_Init changed a loaded file");
  for (u16 i = 0; i < EPS_kNodeCount; ++i) {
    for (u8 sub = 1; sub <= 15; ++sub) ReadBack(f, static_cast<u16>(0xC400 + i), sub);
    // The additional parameter sets "pardata1.bin" loaded for the node.
    const u16 sadr = EPS_gaNodes[i].usSadr;
    if (sadr >= 1 && sadr <= 1023) {
      for (u8 sub = 1; sub <= 16; ++sub) ReadBack(f, static_cast<u16>(EPS_kAddParBase + sadr), sub);
    }
  }
  for (u16 sadr = 1; sadr <= 1023; ++sadr) {
    ReadBack(f, static_cast<u16>(0xCC00 + sadr), 1);
  }
  for (u16 sadr = 2; sadr <= 1023; ++sadr) {
    ReadBack(f, static_cast<u16>(0xC800 + sadr), 1);
    ReadBack(f, static_cast<u16>(0xC800 + sadr), 2);
  }
}

}  // namespace ScmFuzz
