// Programs of a cross build (ARM) run on the build machine under user-mode
// emulation, which the kernel cannot start by itself here. Whoever starts a
// program (the host simulator's supervisor, test harnesses) puts the command
// named by the environment variable SCM_SIM_EMULATOR in front of it; ctest sets
// it for the tests of a cross build, a native build leaves it unset.
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

/// The words of SCM_SIM_EMULATOR (its first one the emulator's full path), split at spaces; empty when unset.
inline std::vector<std::string> ScmSimEmulatorCommand() {
  std::vector<std::string> words;
  const char* value = std::getenv("SCM_SIM_EMULATOR");
  std::istringstream in(value != nullptr ? value : "");
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

/// The argument vector that starts program with args, under the emulator when one is set; its first
/// word is the file to execute.
inline std::vector<std::string> ScmSimProgramCommand(const std::string& program,
                                                     const std::vector<std::string>& args = {}) {
  std::vector<std::string> command = ScmSimEmulatorCommand();
  command.push_back(program);
  command.insert(command.end(), args.begin(), args.end());
  return command;
}
