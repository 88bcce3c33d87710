#include "DemoTimeline.h"

#include <algorithm>
#include <cstdio>

namespace ScmDemo {

namespace {

/// Pixels: left margin for the labels, the drawing's width, a row's height and gap, the bar chart's height.
constexpr double kLeft = 90, kWidth = 1000, kRowHeight = 18, kRowGap = 6, kBarHeight = 60;
/// Most bars the frame chart draws; cycles are grouped into this many at most.
constexpr uint64_t kMostBars = 500;
/// Most event marks drawn; a longer run draws its first ones and says how many it left out.
constexpr size_t kMostMarks = 2000;

/// Colour of a state; "lost" is operational by the node's word but not in the host's view.
struct StateColour {
  const char* state;   ///< the state's name
  const char* colour;  ///< its fill
};
constexpr StateColour kColours[] = {
    {"unassigned", "#bdbdbd"}, {"wait-scm-udid", "#f2c744"}, {"pre-operational", "#5b9bd5"},
    {"operational", "#4caf50"}, {"lost", "#e53935"},
};

const char* ColourOf(const std::string& state) {
  for (const StateColour& c : kColours) {
    if (state == c.state) return c.colour;
  }
  return "#ffffff";
}

/// The text with the five XML special characters escaped.
std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

}  // namespace

void Timeline::State(size_t row, uint64_t cycle, const std::string& state) {
  if (row >= rows.size()) return;
  auto& states = rows[row].states;
  if (states.empty() || states.back().second != state) states.emplace_back(cycle, state);
  lastCycle = std::max(lastCycle, cycle);
}

std::string TimelinePath(const std::string& summaryPath) {
  const std::string json = ".json";
  if (summaryPath.size() > json.size() &&
      summaryPath.compare(summaryPath.size() - json.size(), json.size(), json) == 0) {
    return summaryPath.substr(0, summaryPath.size() - json.size()) + ".svg";
  }
  return summaryPath + ".svg";
}

std::string TimelineSvg(const Timeline& t) {
  const uint64_t cycles = std::max<uint64_t>(t.lastCycle, 1);
  const auto x = [&](uint64_t cycle) { return kLeft + kWidth * static_cast<double>(std::min(cycle, cycles)) / cycles; };
  const double rowsTop = 30;
  const double barsTop = rowsTop + static_cast<double>(t.rows.size()) * (kRowHeight + kRowGap) + 20;
  const double legendTop = barsTop + kBarHeight + 30;
  const double height = legendTop + 30;
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(kLeft + kWidth + 20) + "\" height=\"" +
       Number(height) + "\" font-family=\"sans-serif\" font-size=\"11\">\n";
  s += "<title>scmdemo run: " + std::to_string(t.rows.size()) + " node(s), " + std::to_string(t.lastCycle) +
       " cycles</title>\n";
  s += "<text x=\"" + Number(kLeft) + "\" y=\"16\">cycles 0 to " + std::to_string(t.lastCycle) + "</text>\n";
  for (size_t r = 0; r < t.rows.size(); ++r) {
    const Timeline::Row& row = t.rows[r];
    const double y = rowsTop + static_cast<double>(r) * (kRowHeight + kRowGap);
    s += "<g class=\"node\">\n<text x=\"4\" y=\"" + Number(y + 13) + "\">" + Escape(row.label) + "</text>\n";
    for (size_t i = 0; i < row.states.size(); ++i) {
      const uint64_t from = row.states[i].first;
      const uint64_t to = i + 1 < row.states.size() ? row.states[i + 1].first : t.lastCycle;
      const double width = std::max(x(to) - x(from), 0.5);
      s += "<rect x=\"" + Number(x(from)) + "\" y=\"" + Number(y) + "\" width=\"" + Number(width) +
           "\" height=\"" + Number(kRowHeight) + "\" fill=\"" + ColourOf(row.states[i].second) + "\"><title>" +
           Escape(row.label + ": " + row.states[i].second + " from cycle " + std::to_string(from)) +
           "</title></rect>\n";
    }
    s += "</g>\n";
  }
  // frames per cycle, grouped into at most kMostBars bars
  const uint64_t group = std::max<uint64_t>(1, (cycles + kMostBars - 1) / kMostBars);
  std::map<uint64_t, uint32_t> bars;
  for (const auto& [cycle, frames] : t.framesPerCycle) bars[cycle / group] += frames;
  uint32_t most = 1;
  for (const auto& [bar, frames] : bars) most = std::max(most, frames);
  s += "<g class=\"frames\">\n<text x=\"4\" y=\"" + Number(barsTop + kBarHeight / 2) + "\">frames</text>\n";
  for (const auto& [bar, frames] : bars) {
    const double h = kBarHeight * frames / most;
    s += "<rect x=\"" + Number(x(bar * group)) + "\" y=\"" + Number(barsTop + kBarHeight - h) + "\" width=\"" +
         Number(std::max(x((bar + 1) * group) - x(bar * group), 0.5)) + "\" height=\"" + Number(h) +
         "\" fill=\"#607d8b\"><title>" +
         Escape(std::to_string(frames) + " frame(s) in cycle" + (group > 1 ? "s " : " ") +
                std::to_string(bar * group) + (group > 1 ? " to " + std::to_string((bar + 1) * group - 1) : "")) +
         "</title></rect>\n";
  }
  s += "</g>\n<g class=\"events\">\n";
  const double rowsBottom = barsTop - 20;
  for (size_t i = 0; i < t.events.size() && i < kMostMarks; ++i) {
    const double ex = x(t.events[i].first);
    s += "<line x1=\"" + Number(ex) + "\" y1=\"" + Number(rowsTop - 6) + "\" x2=\"" + Number(ex) + "\" y2=\"" +
         Number(rowsTop - 1) + "\" stroke=\"#6a1b9a\" stroke-width=\"2\"><title>" +
         Escape("cycle " + std::to_string(t.events[i].first) + ": " + t.events[i].second) + "</title></line>\n";
  }
  if (t.events.size() > kMostMarks) {
    s += "<text x=\"" + Number(kLeft) + "\" y=\"" + Number(height - 4) + "\">" +
         std::to_string(t.events.size() - kMostMarks) + " later event(s) not marked</text>\n";
  }
  s += "</g>\n";
  if (t.failSafeCycle) {
    const double fx = x(*t.failSafeCycle);
    s += "<line class=\"fail-safe\" x1=\"" + Number(fx) + "\" y1=\"" + Number(rowsTop - 8) + "\" x2=\"" + Number(fx) +
         "\" y2=\"" + Number(rowsBottom) + "\" stroke=\"#d50000\" stroke-width=\"2\"><title>" +
         Escape("fail-safe in cycle " + std::to_string(*t.failSafeCycle) + ": " + t.failSafeText) +
         "</title></line>\n";
  }
  double lx = kLeft;
  for (const StateColour& c : kColours) {
    s += "<rect x=\"" + Number(lx) + "\" y=\"" + Number(legendTop) + "\" width=\"12\" height=\"12\" fill=\"" +
         c.colour + "\"/><text x=\"" + Number(lx + 16) + "\" y=\"" + Number(legendTop + 10) + "\">" + c.state +
         "</text>\n";
    lx += 130;
  }
  s += "</svg>\n";
  return s;
}

}  // namespace ScmDemo
