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

}  // namespace
