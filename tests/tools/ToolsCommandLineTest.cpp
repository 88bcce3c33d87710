// Every program of sim/ and tools/ behaves alike on its command line: --help
// prints the usage to standard output with status 0; an unknown option is
// refused with the usage on standard error and the program's documented status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

/// One program and the status it documents for a refused command line.
struct Tool {
  const char* name;  ///< program name
  const char* path;  ///< the built executable
  int badStatus;     ///< status for an unknown option
  bool native;       ///< built for the build machine (runs without the emulator in a cross build)
};

/// The programs of this build (the list comes from the build, which knows which are built).
const Tool kTools[] = {SCM_TOOL_TABLE};

/// What one run printed and how it ended.
struct Ran {
  int status = -1;   ///< exit status, -1 when it did not exit
  std::string out;   ///< standard output
  std::string err;   ///< standard error
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Ran RunTool(const Tool& tool, const std::string& argument) {
  const std::string base = "/tmp/scm-tools-test-" + std::to_string(::getpid());
  // In a cross build the programs are the target's: run them under the emulator the tests are given.
  const char* emulator = std::getenv("SCM_SIM_EMULATOR");
  const std::string prefix =
      emulator != nullptr && *emulator != '\0' && !tool.native ? std::string(emulator) + " " : std::string();
  const std::string command =
      prefix + "'" + tool.path + "' " + argument + " >" + base + ".out 2>" + base + ".err";
  const int raw = std::system(command.c_str());
  Ran ran;
  if (raw != -1 && WIFEXITED(raw)) ran.status = WEXITSTATUS(raw);
  ran.out = ReadAll(base + ".out");
  ran.err = ReadAll(base + ".err");
  std::remove((base + ".out").c_str());
  std::remove((base + ".err").c_str());
  return ran;
}

TEST(ToolsCommandLine, HelpPrintsTheUsageWithStatusZero) {
  for (const Tool& tool : kTools) {
    SCOPED_TRACE(tool.name);
    const Ran ran = RunTool(tool, "--help");
    EXPECT_EQ(ran.status, 0) << ran.err;
    const bool usage = ran.out.find("usage: ") != std::string::npos || ran.out.find("Usage: ") != std::string::npos;
    EXPECT_TRUE(usage) << ran.out;
  }
}

TEST(ToolsCommandLine, UnknownOptionIsRefusedWithTheUsage) {
  for (const Tool& tool : kTools) {
    SCOPED_TRACE(tool.name);
    const Ran ran = RunTool(tool, "--no-such-option");
    EXPECT_EQ(ran.status, tool.badStatus) << ran.out << ran.err;
    EXPECT_NE(ran.err.find("usage: "), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find("--no-such-option"), std::string::npos) << ran.err;
  }
}

TEST(ToolsCommandLine, UnknownOptionWithAValueIsRefusedAsUnknown) {
  for (const Tool& tool : kTools) {
    SCOPED_TRACE(tool.name);
    const Ran ran = RunTool(tool, "--no-such-option 1");
    EXPECT_EQ(ran.status, tool.badStatus) << ran.out << ran.err;
    EXPECT_NE(ran.err.find("--no-such-option"), std::string::npos) << ran.err;
    EXPECT_EQ(ran.err.find("missing value"), std::string::npos) << ran.err;
  }
}

TEST(ToolsCommandLine, AStatusOtherThanTwoIsNamedInTheHelp) {
  for (const Tool& tool : kTools) {
    if (tool.badStatus == 2) continue;
    SCOPED_TRACE(tool.name);
    const Ran ran = RunTool(tool, "--help");
    EXPECT_NE(ran.out.find(std::to_string(tool.badStatus) + " bad options"), std::string::npos) << ran.out;
  }
}

TEST(ToolsCommandLine, EveryProgramOfTheBuildIsListed) {
  // scmdemo and the host's tools are always built with the tests
  std::string names;
  for (const Tool& tool : kTools) names += std::string(tool.name) + " ";
  for (const char* expected : {"scmhost ", "scmhostctl ", "scm_vxegen "}) {
    EXPECT_NE(names.find(expected), std::string::npos) << names;
  }
}

}  // namespace
