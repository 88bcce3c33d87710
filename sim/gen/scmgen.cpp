// scmgen: writes "kel_para.saf", "corvane.dat" and, when the domain has
// additional sets, "pardata1.bin" from a domain description into a directory.
// A description it cannot write validly is refused with a message naming the
// field, and nothing is written.
#include <cstdio>
#include <filesystem>
#include <string>

#include "ScmGen.h"
#include "ScmGenDescription.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: scmgen <description.toml> <output directory>\n");
    return 2;
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
  const std::string error = ScmGen::GenerateInto(description.domain, argv[2]);
  if (!error.empty()) {
    std::fprintf(stderr, "scmgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
