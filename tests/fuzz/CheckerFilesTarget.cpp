// Surface 3: each checker file class reading arbitrary content, every reader
// drained (the parameter tests' robustness drivers). Input: a selector byte
// (low four bits: the class, modulo 9; bit 7: recompute the file's CRCs first,
// so that mutations get past the checks), then the file.
#include <array>

#include "ApplicationFileBuilders.h"
#include "FuzzTarget.h"
#include "ParamDrivers.h"
#include "ParameterFileBuilders.h"
#include "ScmGen.h"
#include "ScmTypes.h"

namespace ScmFuzz {

namespace {

constexpr u8 kFixCrcs = 0x80;  ///< selector bit: recompute the CRCs

/// One file class: its driver and the fix-up of its CRCs.
struct FileClass {
  const char* name;                                            ///< file and class
  std::string (*drive)(const std::uint8_t*, std::size_t);      ///< the robustness driver
  void (*fix)(Bytes&);                                          ///< CRC fix-up, or null
};

void NoCrc(Bytes&) {}

const std::array<FileClass, 9> kClasses = {{
    {"kel_para.saf", ParamDrivers::DriveKelParaSaf, ParamDrivers::FixKelParaSaf},
    {"autocnf.bin", ParamDrivers::DriveAutoCnfBin, ParamDrivers::FixAutoCnf},
    {"pardata1.bin", ParamDrivers::DriveParData1Bin, ParamDrivers::FixParData1},
    {"corvane.dat", ParamDrivers::DriveCorvaneDat, ParamDrivers::FixCorvaneDat},
    {"corvane.dat.chk", ParamDrivers::DriveCorvaneDatChk, ParamDrivers::FixCorvaneDat},
    {"corvane.uid", ParamDrivers::DriveCorvaneUid, NoCrc},
    {"corvane.uid.chk", ParamDrivers::DriveCorvaneUidChk, NoCrc},
    {"fwrevcnf.bin", ParamDrivers::DriveFwRevCnfBin, ParamDrivers::FixFwRevCnf},
    {"fwrevcnf.bin.chk", ParamDrivers::DriveFwRevCnfBinChk, ParamDrivers::FixFwRevCnf},
}};

Bytes With(u8 selector, const Bytes& file) { return Prefixed(static_cast<u8>(selector | kFixCrcs), file); }

ScmGen::Udid U(u8 v) { return ParamDrivers::SampleUdid(v); }

}  // namespace

std::vector<Bytes> Seeds() {
  using namespace TestFiles;
  const ScmGen::Result generated = ParamDrivers::GenerateEveryKindOfFile();
  Require(generated.error.empty(), "sample domain refused: " + generated.error);
  const ScmGen::FileSet& files = generated.files;
  const Bytes corvane = BuildCorvaneDat(CorvaneDatRecords({{1, U(1)}, {2, Udid{}}, {1023, U(3)}}));
  return {With(0, files.kelParaSaf),
          With(0, BuildKelParaSaf({})),
          With(1, *files.autoCnf),
          With(1, BuildAutoCnfOldLayout({{3, U(3)}, {4, U(4)}})),
          With(2, *files.parData1),
          With(2, BuildParData1({{0, 1, Bytes(20, 1)}, {15, 1023, {}}})),
          With(3, files.corvaneDat),
          With(3, corvane),
          With(4, corvane),
          With(5, *files.corvaneUid),
          With(6, *files.corvaneUid),
          With(7, *files.fwRevCnf),
          With(8, *files.fwRevCnf)};
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  const u8 selector = in.U8();
  const FileClass& file = kClasses[(selector & 0x0F) % kClasses.size()];
  Bytes content = in.Rest();
  if ((selector & kFixCrcs) != 0) file.fix(content);
  const std::string broken = file.drive(Buffer(content), content.size());
  Require(broken.empty(), std::string(file.name) + ": " + broken);
}

}  // namespace ScmFuzz
