// A picture of the run beside its JSON summary: an SVG timeline with one row
// per node, its state over the cycles in colour, the frames per cycle as a
// small bar chart, the events as marks named on hover (<title>) and the
// fail-safe moment as a line. Any browser opens it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ScmDemo {

/// What the timeline shows, gathered while the run goes on.
struct Timeline {
  /// One node's row.
  struct Row {
    std::string label;                                  ///< "SADR 2"
    std::vector<std::pair<uint64_t, std::string>> states;  ///< (from cycle, state), in order
  };
  std::vector<Row> rows;                                ///< one per node, in description order
  std::map<uint64_t, uint32_t> framesPerCycle;          ///< frames that crossed the queues, by cycle
  std::vector<std::pair<uint64_t, std::string>> events;  ///< (cycle, the event in words)
  std::optional<uint64_t> failSafeCycle;                ///< when the domain went fail-safe
  std::string failSafeText;                             ///< why
  uint64_t lastCycle = 0;                               ///< the run's last cycle

  /// Notes a node's state in a cycle (a change opens a new span).
  void State(size_t row, uint64_t cycle, const std::string& state);
};

/// Where the timeline of a summary goes: its path with ".json" replaced by ".svg" (or ".svg" added).
std::string TimelinePath(const std::string& summaryPath);

/// The timeline as an SVG document.
std::string TimelineSvg(const Timeline& timeline);

}  // namespace ScmDemo
