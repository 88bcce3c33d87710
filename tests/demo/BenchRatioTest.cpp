// The benchmark's ratio to the lock-step count, and what voids it.
#include <gtest/gtest.h>

#include "BenchRatio.h"

namespace {

struct RatioCase {
  const char* name;                        ///< case name
  std::optional<double> measured;          ///< measured last-node cycles
  std::optional<std::uint64_t> lockStep;   ///< lock-step count
  std::optional<double> late;              ///< late answers of the measured run
  std::optional<double> ratio;             ///< the ratio expected
  const char* voidReason;                  ///< why it is void, "" with a ratio
};

TEST(BenchRatio, IsMeasuredOverLockStepUnlessVoided) {
  const RatioCase cases[] = {
      {"Equal", 22.0, 22u, 0.0, 1.0, ""},
      {"Slower", 30.0, 20u, 0.0, 1.5, ""},
      {"OneLateAnswer", 30.0, 20u, 1.0, std::nullopt, "late answers"},
      {"LateNotCounted", 30.0, 20u, std::nullopt, std::nullopt, "late answers not counted"},
      {"NoLockStep", 30.0, std::nullopt, 0.0, std::nullopt, "no lock-step count"},
      {"ZeroLockStep", 30.0, 0u, 0.0, std::nullopt, "no lock-step count"},
      {"NotOperational", std::nullopt, 20u, 0.0, std::nullopt, "not every node operational"},
  };
  for (const RatioCase& c : cases) {
    const ScmBench::ReferenceRatio r = ScmBench::RatioOf(c.measured, c.lockStep, c.late);
    EXPECT_EQ(r.ratio, c.ratio) << c.name;
    EXPECT_EQ(r.voidReason, c.voidReason) << c.name;
  }
}

TEST(BenchShare, IsTheCpuTimePerCycleOverTenMilliseconds) {
  EXPECT_DOUBLE_EQ(ScmBench::ShareOfCycle(0.000025).value(), 0.0025);
  EXPECT_DOUBLE_EQ(ScmBench::ShareOfCycle(0.010).value(), 1.0);
  EXPECT_EQ(ScmBench::ShareOfCycle(std::nullopt), std::nullopt);
}

TEST(BenchWakeUpFloor, IsTheWakeUpsTimesTheBareWakeUpsCost) {
  EXPECT_DOUBLE_EQ(ScmBench::WakeUpFloor(2.0, 0.000009).value(), 0.000018);
  EXPECT_DOUBLE_EQ(ScmBench::WakeUpFloor(1.5, 0.000012).value(), 0.000018);
  EXPECT_EQ(ScmBench::WakeUpFloor(std::nullopt, 0.000009), std::nullopt);
  EXPECT_EQ(ScmBench::WakeUpFloor(2.0, std::nullopt), std::nullopt);
}

TEST(BenchCallgrind, TotalsComeFromTheTotalsLineElseTheSummary) {
  struct Case {
    const char* name;                       ///< case name
    const char* text;                       ///< callgrind output
    std::optional<std::uint64_t> total;     ///< expected
  };
  const Case cases[] = {
      {"Both", "events: Ir\nsummary: 532880\nfn=IRQ\ntotals: 532881\n", 532881u},
      {"SummaryOnly", "events: Ir\nsummary: 77\n", 77u},
      {"Neither", "events: Ir\nfn=IRQ\n", std::nullopt},
      {"NoDigits", "totals: x\n", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ScmBench::CallgrindTotal(c.text), c.total) << c.name;
}

TEST(BenchCallgrind, InstructionsPerCycleAreTheDifferenceOverTheAddedCycles) {
  EXPECT_DOUBLE_EQ(ScmBench::InstructionsPerCycle(2156795u, 532880u, 500u).value(), 3247.83);
  EXPECT_EQ(ScmBench::InstructionsPerCycle(1000u, 1000u, 10u), 0.0);
  EXPECT_EQ(ScmBench::InstructionsPerCycle(999u, 1000u, 10u), std::nullopt);
  EXPECT_EQ(ScmBench::InstructionsPerCycle(2000u, 1000u, 0u), std::nullopt);
  EXPECT_EQ(ScmBench::InstructionsPerCycle(std::nullopt, 1000u, 10u), std::nullopt);
  EXPECT_EQ(ScmBench::InstructionsPerCycle(2000u, std::nullopt, 10u), std::nullopt);
}

}  // namespace
