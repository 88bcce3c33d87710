// scmgen: writes "kel_para.saf", "corvane.dat" and, when the domain has
// additional sets, "pardata1.bin" from a domain description into a directory.
// With --installed it also writes the key medium as installed and acknowledged
// on its controller: "corvane.uid" and the checker's ".chk" copies; the
// controller's flash area 16 must then hold the 18 bytes of "corvane.uid".
// A description it cannot write validly is refused with a message naming the
// field, and nothing is written.
#include <cstdio>
#include <filesystem>
#include <string>

#include "ScmGen.h"
#include "ScmGenDescription.h"

namespace {
/// The Qor controller UDID the host simulator serves when the domain names none.
constexpr ScmGen::Udid kHostQorUdid{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30};
}  // namespace

int main(int argc, char** argv) {
  const bool installed = argc == 4 && std::string(argv[1]) == "--installed";
  if (argc != 3 && !installed) {
    std::fprintf(stderr, "usage: scmgen [--installed] <description.toml> <output directory>\n");
    return 2;
  }
  if (installed) {
    ++argv;
  }
  const ScmGen::DescriptionResult description = ScmGen::LoadDescription(argv[1]);
  if (!description.error.empty()) {
    std::fprintf(stderr, "scmgen: %s\n", description.error.c_str());
    return 1;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(argv[2], ec)) {
    std::fprintf(stderr, "scmgen: %s: not a directory\n", argv[2]);
    return 1;
  }
  // An installed domain also has every node's firmware acknowledged.
  const ScmGen::Domain domain =
      installed ? ScmGen::WithAcknowledgedFirmware(description.domain, kHostQorUdid) : description.domain;
  std::string error = ScmGen::GenerateInto(domain, argv[2]);
  if (error.empty() && installed) {
    error = ScmGen::WriteInstalledState(ScmGen::Install(domain, kHostQorUdid), argv[2]);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "scmgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
