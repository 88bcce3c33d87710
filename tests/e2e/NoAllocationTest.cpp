// The running programs allocate nothing: scmdemo runs the real scmchecker and
// scmfirmware under the host simulator with twelve nodes, guarded for at least
// a thousand cycles, with the allocation counter preloaded into every process;
// from the start of the firmware's cyclic task and the checker's check task on,
// neither program may allocate, stand-in included.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "AllocCountFile.h"
#include "DemoOptions.h"
#include "DemoProcess.h"

namespace {

#ifdef SCM_ALLOC_COUNT_LIB
using ScmDemoTest::DemoProcess;
namespace Exit = ScmDemo::ExitStatus;

/// Seconds of guarding: about a hundred cycles a second, with room for a slow machine.
constexpr const char* kGuardSeconds = "14";
/// Guarding cycles the run must reach at the least.
constexpr double kGuardCycles = 1000;

/// The counts and threads of a process, for failure messages.
std::string Describe(const ScmAllocCount::ProcessCounts& p) {
  std::ostringstream o;
  o << p.program << " pid " << p.pid << ": " << p.before << " before start, " << p.after << " after\n";
  for (const auto& t : p.threads) o << "  thread " << t.name << ": " << t.before << " before, " << t.after << " after\n";
  for (const std::string& s : p.sites) o << "  at " << s << "\n";
  return o.str();
}
#endif

TEST(NoAllocation, NeitherProgramAllocatesOnceItsCycleRuns) {
#ifndef SCM_ALLOC_COUNT_LIB
  GTEST_SKIP() << "the allocation counter is not built here (sanitizer builds bring their own allocator)";
#else
  DemoProcess demo(SCM_DEMO_PATH, "noalloc");
  const std::string counts = demo.Directory() + "/counts";
  std::filesystem::create_directories(counts);
  const auto ended = demo.Run({"--nodes", "12", "--duration", kGuardSeconds, "--time-limit", "30"},
                              {{"LD_PRELOAD", SCM_ALLOC_COUNT_LIB}, {"SCM_ALLOC_COUNT_DIR", counts}});
  ASSERT_EQ(ended.status, Exit::Success) << ended.output;
  const nlohmann::json s = demo.Summary();
  const double guarding = s["cycles"]["firmware"].get<double>() - s["cycles"]["firmwareAtGoal"].get<double>();
  EXPECT_GE(guarding, kGuardCycles);
  EXPECT_EQ(s["nodes"].size(), 12u);
  int programs = 0;
  for (const ScmAllocCount::ProcessCounts& p : ScmAllocCount::ReadDirectory(counts)) {
    // a build variant's programs carry its suffix (scmfirmware-alt, ...)
    if (p.program.rfind("scmfirmware", 0) != 0 && p.program.rfind("scmchecker", 0) != 0) continue;
    ++programs;
    EXPECT_TRUE(p.started) << Describe(p);
    EXPECT_GT(p.before, 0u) << "the counter saw the start-up: " << Describe(p);
    EXPECT_EQ(p.after, 0u) << Describe(p);
  }
  EXPECT_EQ(programs, 2);
#endif
}

}  // namespace
