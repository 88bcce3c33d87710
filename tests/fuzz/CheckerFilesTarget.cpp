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

ScmGen::Udid U(u8 v) { return {v, 1, 2, 3, 4, v}; }

/// The files the generator writes for a small domain with every kind of file.
ScmGen::FileSet Generated() {
  ScmGen::Domain d;
  for (const u16 sadr : {1, 9}) {
    ScmGen::Node n;
    n.sadr = sadr;
    n.udid = U(static_cast<u8>(sadr));
    n.parameterSet = Bytes(12, static_cast<u8>(sadr));
    n.checksum = Bytes(8, 0xC5);
    n.additionalSadrs = {static_cast<u16>(100 + sadr)};
    d.nodes.push_back(n);
  }
  d.scm.commissioning = std::array<std::uint32_t, 3>{1, 1, 0};
  d.scm.configuration = ScmGen::ConfigurationData{1, 1, 0, 2};
  d.sets.push_back({9, 3, Bytes(10, 0x33), 4, {}});
  ScmGen::AutoCnf a;
  a.timestamp = 6;
  a.udids = {{9, U(9)}, {4, ScmGen::Udid{}}};
  a.machineOptions = Bytes(64, 1);
  a.moduleFlags = ScmGen::ModuleFlags{};
  d.autoCnf = a;
  d.fwRevCnf = ScmGen::FwRevCnf{{{1, 3}, {9, 0}}, 0x17, U(0x20), {1, 2, 3, 4, 5, 6, 7, 8}, {}};
  d.corvaneUid = ScmGen::CorvaneUid{U(0x20), 0xFFFFF12345678ull};
  const ScmGen::Result r = ScmGen::Generate(d);
  Require(r.error.empty(), "seed domain refused: " + r.error);
  return r.files;
}

}  // namespace

std::vector<Bytes> Seeds() {
  using namespace TestFiles;
  const ScmGen::FileSet files = Generated();
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
