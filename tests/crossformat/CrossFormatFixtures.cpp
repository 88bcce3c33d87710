// scm_crossformat_fixtures write DIR | read DIR
//
// The bytes that cross between processes and machines, made by this build: the
// generator's parameter files of a small domain and of one with large sets,
// safety frames, event records (the firmware's own record and the builder's),
// commands and both status responses. "write" puts each into DIR as one file.
// "read" takes the files another build (of another architecture) wrote: each
// must equal this build's own bytes, and the parameter files must pass the
// checker's readers. Exit status 0 when everything holds, 1 naming the first
// file that differs or cannot be read, 2 for a bad command line.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "CCorvaneDat.h"
#include "CException.h"
#include "CKelParaSaf.h"
#include "CParData1Bin.h"
#include "FrameBuilder.h"
#include "HNFevt.h"
#include "MessageBuilder.h"
#include "ScmGen.h"

namespace {

using Bytes = std::vector<u8>;
using Fixtures = std::map<std::string, Bytes>;

/// Largest files the checker's readers take here (the programs' own limits are larger).
constexpr u32 kKelParaSafLimit = 262144;
constexpr u32 kOtherFileLimit = 65536;

/// A domain of three nodes with an additional set each for two of them; with large sets when asked.
ScmGen::Domain MakeDomain(bool largeSets) {
  ScmGen::Domain d;
  for (u16 i = 0; i < 3; ++i) {
    ScmGen::Node n;
    n.sadr = static_cast<u16>(1 + 4 * i);
    n.udid = {0x02, 0x5C, 0x3E, 0xA0, 0x00, static_cast<u8>(n.sadr)};
    n.vendorId = 0x0025C3E0;
    n.productCode = 0x1000u + i;
    n.revision = 0x00020003u + i;
    n.parameterSet = Bytes(largeSets ? 20000 : 40 + i, static_cast<u8>(0x5A + i));
    n.checksum = Bytes(4 * (i + 1u), static_cast<u8>(0xA0 + i));
    n.additionalSadrs = {static_cast<u16>(100 + i)};
    d.nodes.push_back(n);
  }
  d.scm.commissioning = std::array<u32, 3>{1, 0, 1};
  d.scm.configuration = ScmGen::ConfigurationData{1, 0, 1, 5};
  d.sets.push_back({5, 1, Bytes(largeSets ? 30000 : 24, 0x11), 7, {}});
  d.sets.push_back({9, 15, Bytes(16, 0x22), 8, {}});
  return d;
}

/// Adds the generator's files of a domain under a name prefix; false with a message when it fails.
bool AddDomainFiles(Fixtures& out, const std::string& prefix, const ScmGen::Domain& domain) {
  const ScmGen::Result r = ScmGen::Generate(domain);
  if (!r.error.empty()) {
    std::fprintf(stderr, "generator: %s\n", r.error.c_str());
    return false;
  }
  out[prefix + ScmGen::kKelParaSafName] = r.files.kelParaSaf;
  out[prefix + ScmGen::kCorvaneDatName] = r.files.corvaneDat;
  if (r.files.parData1) out[prefix + ScmGen::kParData1Name] = *r.files.parData1;
  return true;
}

/// Every fixture this build makes, by file name.
bool MakeFixtures(Fixtures& out) {
  if (!AddDomainFiles(out, "small-", MakeDomain(false)) || !AddDomainFiles(out, "large-", MakeDomain(true))) {
    return false;
  }
  const TestFrames::Udid scmUdid{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};
  const struct {
    const char* name;
    TestFrames::FrameSpec spec;
  } frames[] = {
      {"frame-snmt-8.bin", {0x28, 3, 1, 0x1234, 1, 5, Bytes{0x40, 1, 2, 3, 4, 5, 6, 7}, {}, {}}},
      {"frame-ssdo-20.bin", {0x39, 0x3FF, 1023, 0xFFFF, 2, 0x3F, Bytes(20, 0xC3), {}, {}}},
      {"frame-slim-11.bin", {0x3A, 7, 1, 0x0101, 7, 0, Bytes(11, 0x96), {}, {}}},
      {"frame-spdo-254.bin", {0x06, 9, 42, 0x8000, 0, 1, Bytes(254, 0x0F), {}, {}}},
  };
  for (const auto& f : frames) {
    out[f.name] = TestFrames::BuildFrame(f.spec);
    out[std::string("coded-") + f.name] = TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(f.spec, scmUdid));
  }
  const struct {
    u8 level;
    u32 code;
    u16 information0;
    u32 information1;
  } events[] = {{3, 0x92008610, 9, 0}, {1, 0x61101234, 0xFFFF, 0x89ABCDEF}, {4, 0x60100001, 0x0102, 0x03040506}};
  int index = 0;
  for (const auto& e : events) {
    const std::string suffix = std::to_string(index++) + ".bin";
    out["event-builder-" + suffix] = TestFrames::BuildEvent(e.level, e.code, e.information0, e.information1);
    Bytes record(TestFrames::MessageSizes::Event);
    HNFevt_FillRecord(record.data(), e.code, e.information0, e.information1, e.level);
    out["event-firmware-" + suffix] = record;
  }
  TestFrames::CommandSpec command;
  command.identifier = 0xBEEF;
  command.echo = 0x1234;
  command.code = 0x5001;
  command.password = {'s', 'e', 'c', 'r', 'e', 't'};
  out["command-26.bin"] = TestFrames::BuildCommand(command);
  command.newPassword = std::array<u8, 16>{'n', 'e', 'w'};
  out["command-42.bin"] = TestFrames::BuildCommand(command);
  TestFrames::StatusSpec status;
  status.identifier = 0xBEEF;
  status.result = 0x0102;
  status.missing = 2;
  status.sadrs[0] = 1;
  status.sadrs[100] = 1022;
  status.missingBits[15] = 0x80;
  out["status-280.bin"] = TestFrames::BuildStatus(status);
  TestFrames::NewStatusSpec newStatus;
  newStatus.configured = 12;
  newStatus.stateBits = 0x80000E01u;
  out["newstatus-52.bin"] = TestFrames::BuildNewStatus(newStatus);
  return true;
}

bool ReadFile(const std::string& path, Bytes& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool EndsWith(const std::string& name, const char* tail) {
  const std::string t(tail);
  return name.size() >= t.size() && name.compare(name.size() - t.size(), t.size(), t) == 0;
}

/// Reads a parameter file with the checker's reader of its kind; other files pass.
bool CheckerReads(const std::string& name, Bytes bytes) {
  try {
    const u32 size = static_cast<u32>(bytes.size());
    if (EndsWith(name, ScmGen::kKelParaSafName)) {
      Param::CKelParaSaf(kKelParaSafLimit, bytes.data()).ReadContent(size);
    } else if (EndsWith(name, ScmGen::kCorvaneDatName)) {
      Param::CCorvaneDat(kOtherFileLimit, bytes.data()).ReadContent(size);
    } else if (EndsWith(name, ScmGen::kParData1Name)) {
      Param::CParData1Bin(kOtherFileLimit, bytes.data()).ReadContent(size);
    }
  } catch (const Util::CException& e) {
    std::fprintf(stderr, "%s: the checker's reader refused it (code 0x%04X)\n", name.c_str(),
                 static_cast<unsigned>(e.GetCode()));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  if (mode != "write" && mode != "read") {
    std::fprintf(stderr, "usage: scm_crossformat_fixtures write|read DIR\n");
    return 2;
  }
  const std::string dir = argv[2];
  Fixtures fixtures;
  if (!MakeFixtures(fixtures)) return 1;
  for (const auto& [name, bytes] : fixtures) {
    const std::string path = dir + "/" + name;
    if (mode == "write") {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      if (!out.flush()) {
        std::fprintf(stderr, "%s: cannot write\n", path.c_str());
        return 1;
      }
      continue;
    }
    Bytes theirs;
    if (!ReadFile(path, theirs)) {
      std::fprintf(stderr, "%s: cannot read\n", path.c_str());
      return 1;
    }
    if (theirs != bytes) {
      std::fprintf(stderr, "%s: %zu bytes differ from this build's %zu\n", name.c_str(), theirs.size(), bytes.size());
      return 1;
    }
    if (!CheckerReads(name, theirs)) return 1;
  }
  std::printf("%s %zu files in %s\n", mode == "write" ? "wrote" : "read and matched", fixtures.size(), dir.c_str());
  return 0;
}
