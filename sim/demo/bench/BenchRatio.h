// The ratio of a measured run's cycles to operational to the lock-step count
// of the same domain, and what voids it; the share of the cycle a program's CPU
// time per cycle takes; the floor its wake-ups set; the instructions per
// guarding cycle from callgrind.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <sstream>
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

/// The cycle both programs run at: the checker paces the firmware every 10 ms.
inline constexpr double kCycleSeconds = 0.010;

/// The share of the 10-ms cycle that a CPU time per cycle (seconds) takes; none without a time.
inline std::optional<double> ShareOfCycle(std::optional<double> cpuSecondsPerCycle) {
  if (!cpuSecondsPerCycle) return std::nullopt;
  return *cpuSecondsPerCycle / kCycleSeconds;
}

/// What a program's wake-ups per cycle alone cost at the price of one bare wake-up (seconds): the
/// least its CPU time per cycle can be while its tasks wake that often; none without either.
inline std::optional<double> WakeUpFloor(std::optional<double> wakeUpsPerCycle, std::optional<double> secondsPerWakeUp) {
  if (!wakeUpsPerCycle || !secondsPerWakeUp) return std::nullopt;
  return *wakeUpsPerCycle * *secondsPerWakeUp;
}

/// The instructions collected in a callgrind output: its "totals:" line, else
/// its "summary:" line; none when it has neither.
inline std::optional<std::uint64_t> CallgrindTotal(const std::string& text) {
  std::optional<std::uint64_t> summary;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    for (const char* key : {"totals:", "summary:"}) {
      const std::string k = key;
      if (line.compare(0, k.size(), k) != 0) continue;
      char* end = nullptr;
      const char* digits = line.c_str() + k.size();
      const unsigned long long v = std::strtoull(digits, &end, 10);
      if (end == digits) continue;
      if (k == "totals:") return v;
      summary = v;
    }
  }
  return summary;
}

/// Instructions per guarding cycle: the difference of two runs, one with
/// cycles more guarding cycles than the other; none when either total is
/// missing, no cycles were added or the longer run collected less.
inline std::optional<double> InstructionsPerCycle(std::optional<std::uint64_t> longer,
                                                  std::optional<std::uint64_t> shorter, std::uint64_t cycles) {
  if (!longer || !shorter || cycles == 0 || *longer < *shorter) return std::nullopt;
  return static_cast<double>(*longer - *shorter) / static_cast<double>(cycles);
}

}  // namespace ScmBench
