// The ratio of a measured run's cycles to operational to the lock-step count
// of the same domain, and what voids it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ScmBench {

/// The ratio, or why there is none.
struct ReferenceRatio {
  std::optional<double> ratio;  ///< measured last-node cycles / lock-step cycles
  std::string voidReason;       ///< empty with a ratio, else why it is void
};

/// The ratio of the measured last node's cycles to the lock-step count. Late
/// answers (or none counted) void it: each cost the measured run cycles that
/// the lock-step run never spends.
inline ReferenceRatio RatioOf(std::optional<double> measuredLastNode, std::optional<std::uint64_t> lockStepCycles,
                              std::optional<double> lateAnswers) {
  if (!lockStepCycles || *lockStepCycles == 0) return {std::nullopt, "no lock-step count"};
  if (!lateAnswers) return {std::nullopt, "late answers not counted"};
  if (*lateAnswers > 0) return {std::nullopt, "late answers"};
  if (!measuredLastNode) return {std::nullopt, "not every node operational"};
  return {*measuredLastNode / static_cast<double>(*lockStepCycles), ""};
}

}  // namespace ScmBench
