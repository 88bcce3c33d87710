// scmgen: writes "kel_para.saf", "corvane.dat" and, when the domain has
// additional sets, "pardata1.bin" from a domain description into a directory;
// a description of release "older" is written in the older release's layout
// (every additional set in "kel_para.saf", no "pardata1.bin").
// With --installed it also writes the key medium as installed and acknowledged
// on its controller: "corvane.uid" and the checker's ".chk" copies; the
// controller's flash area 16 (Qor variable 4 in the older release) must then
// hold the 18 bytes of "corvane.uid".
// A description it cannot write validly is refused with a message naming the
// field, and nothing is written.
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ScmGen.h"
#include "ScmGenDescription.h"

namespace {
/// The Qor controller UDID the host simulator serves when the domain names none.
constexpr ScmGen::Udid kHostQorUdid{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30};

/// What scmgen prints for --help and with a refused command line.
constexpr const char* kUsage =
    "usage: scmgen [--installed] <description.toml> <output directory>\n"
    "  writes the domain's storage files into the directory (created when missing) and names each;\n"
    "  --installed also writes the key medium as installed and acknowledged (the controller's copy,\n"
    "  flash area 16 or Qor variable 4 for release \"older\", must hold the bytes of corvane.uid).\n"
    "exit status: 0 written, 1 refused description or write failure, 2 bad command line\n";

/// Modification times of the files in a directory, by name.
std::map<std::string, std::filesystem::file_time_type> Files(const std::filesystem::path& directory) {
  std::map<std::string, std::filesystem::file_time_type> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
    if (entry.is_regular_file(ec)) files[entry.path().filename().string()] = entry.last_write_time(ec);
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  bool installed = false;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      return 0;
    }
    if (arg == "--installed") {
      installed = true;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "scmgen: unknown option %s\n%s", arg.c_str(), kUsage);
      return 2;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) {
    std::fprintf(stderr, "scmgen: a description and an output directory are needed\n%s", kUsage);
    return 2;
  }
  const std::string& input = positional[0];
  const std::string& output = positional[1];
  const ScmGen::DescriptionResult description = ScmGen::LoadDescription(input);
  if (!description.error.empty()) {
    std::fprintf(stderr, "scmgen: %s\n", description.error.c_str());
    return 1;
  }
  std::error_code ec;
  std::filesystem::create_directories(output, ec);
  if (!std::filesystem::is_directory(output, ec)) {
    std::fprintf(stderr, "scmgen: %s: not a directory and cannot be created\n", output.c_str());
    return 1;
  }
  const auto before = Files(output);
  // An installed domain also has every node's firmware acknowledged.
  const ScmGen::Domain domain =
      installed ? ScmGen::WithAcknowledgedFirmware(description.domain, kHostQorUdid) : description.domain;
  std::string error = ScmGen::GenerateInto(domain, output);
  if (error.empty() && installed) {
    error = ScmGen::WriteInstalledState(ScmGen::Install(domain, kHostQorUdid), output);
  }
  if (!error.empty()) {
    // a refusal of the domain names the description it came from
    const bool refused = !ScmGen::Validate(domain).empty();
    std::fprintf(stderr, "scmgen: %s%s\n", refused ? (input + ": ").c_str() : "", error.c_str());
    return 1;
  }
  for (const auto& [name, time] : Files(output)) {
    const auto old = before.find(name);
    if (old == before.end() || old->second != time) {
      std::printf("wrote %s\n", (std::filesystem::path(output) / name).string().c_str());
    }
  }
  return 0;
}
