// Programs of a cross build (ARM) run on the build machine under user-mode
// emulation, which the kernel here does not start by itself. Whoever starts a
// program (the host simulator's supervisor, test harnesses) starts it under
// the command the environment variable SCM_SIM_EMULATOR names (ctest sets it
// for the tests of a cross build) when the program is built for another
// machine than the emulator itself, which always runs natively. Native
// programs (a shell, a build tool) and missing files are started as they are.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

/// The machine an ELF file is built for (its e_machine field), 0 when it is no readable ELF file.
inline uint32_t ScmSimElfMachine(const std::string& path) {
  unsigned char header[20] = {};
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  const ssize_t n = read(fd, header, sizeof header);
  close(fd);
  if (n != static_cast<ssize_t>(sizeof header) || header[0] != 0x7F || header[1] != 'E' || header[2] != 'L' ||
      header[3] != 'F') {
    return 0;
  }
  // e_machine at offset 18, in the file's own byte order (EI_DATA 1 little-, 2 big-endian)
  return header[5] == 2 ? (uint32_t{header[18]} << 8) | header[19] : (uint32_t{header[19]} << 8) | header[18];
}

/// The argument vector that starts program with args, under SCM_SIM_EMULATOR's words when the
/// program needs it; its first word is the file to execute. Built before a fork.
inline std::vector<std::string> ScmSimProgramCommand(const std::string& program,
                                                     const std::vector<std::string>& args = {}) {
  std::vector<std::string> command;
  const char* value = std::getenv("SCM_SIM_EMULATOR");
  std::istringstream in(value != nullptr ? value : "");
  for (std::string word; in >> word;) command.push_back(word);
  if (!command.empty()) {
    const uint32_t machine = ScmSimElfMachine(program);
    if (machine == 0 || machine == ScmSimElfMachine(command.front())) command.clear();
  }
  command.push_back(program);
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

/// Pointers to the words of a command, ended by a null pointer, for exec and posix_spawn.
inline std::vector<char*> ScmSimArgv(std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  return argv;
}
