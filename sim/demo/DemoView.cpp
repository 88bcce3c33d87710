#include "DemoView.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>

namespace ScmDemo {

namespace {

/// Latest events the terminal view keeps below the table (shown as the screen allows).
constexpr size_t kShownEvents = 40;
/// Least time between two drawings of the terminal view.
constexpr std::chrono::milliseconds kRedrawPeriod{200};

std::string ProgramText(const ProgramSummary& p) {
  char line[160];
  std::snprintf(line, sizeof line, "%-11s pid %-7d %-26s cycles %llu", p.name.c_str(), p.pid, p.state.c_str(),
                static_cast<unsigned long long>(p.cycles));
  return line;
}

/// The text cut to width characters; a cut shows as '~' in the last place.
std::string Fit(const std::string& text, size_t width) {
  if (text.size() <= width) return text;
  if (width == 0) return "";
  return text.substr(0, width - 1) + "~";
}

/// The text cut or padded to exactly width characters.
std::string Cell(const std::string& text, size_t width) {
  std::string cell = Fit(text, width);
  cell.resize(width, ' ');
  return cell;
}

/// Width of the faults column, shown from kWideColumns on.
constexpr size_t kFaultsWidth = 22;
/// Screens at least this wide show the faults column and the handshake in full.
constexpr unsigned kWideColumns = 110;
/// Events the view keeps shown before the optional lines get their room.
constexpr size_t kFirstEvents = 3;

/// The first word of a text ("accepted" of "accepted (ident ...)").
std::string FirstWord(const std::string& text) { return text.substr(0, text.find_first_of(" :(")); }

std::string HeaderText(const Snapshot& s, bool wide) {
  unsigned operational = 0;
  for (const NodeRow& n : s.nodes) operational += n.operational ? 1 : 0;
  char text[256];
  // whole seconds on a narrow screen: the header keeps within 80 columns
  const char* seconds = wide ? "%.1f s" : "%.0f s";
  const std::string failSafe = s.failSafe == "no" ? "no" : "YES: " + s.failSafe;
  std::snprintf(text, sizeof text, "SDN %u, handshake %s, fail-safe %s, %u of %zu operational, ", s.sdn,
                (wide ? s.handshake : FirstWord(s.handshake)).c_str(), failSafe.c_str(), operational, s.nodes.size());
  std::string header = text;
  std::snprintf(text, sizeof text, seconds, s.seconds);
  header += text;
  if (s.secondsLeft) {
    std::snprintf(text, sizeof text, seconds, *s.secondsLeft);
    header += std::string(", ") + text + " left";
  }
  return header;
}

/// SADR, UDID, state, last service, cycles: the columns before the reason.
constexpr size_t kSadrWidth = 4, kUdidWidth = 17, kStateWidth = 15, kServiceWidth = 13, kCyclesWidth = 7;

std::string NodeHeading(bool wide) {
  return Cell("SADR", kSadrWidth) + " " + Cell("UDID", kUdidWidth) + " " + Cell("state", kStateWidth) + " " +
         Cell("last service", kServiceWidth) + " " + Cell(" cycles", kCyclesWidth) + " " +
         (wide ? Cell("faults", kFaultsWidth) + " " : "") + "reason";
}

std::string NodeText(const NodeRow& n, const std::string& mark, bool wide) {
  char number[32];
  std::snprintf(number, sizeof number, "%*u", static_cast<int>(kSadrWidth), n.position);
  char cycles[32];
  std::snprintf(cycles, sizeof cycles, "%*llu", static_cast<int>(kCyclesWidth),
                static_cast<unsigned long long>(n.cycles));
  std::string reason = n.reason;
  if (!mark.empty()) reason = "[" + mark + "] " + reason;
  return Fit(number, kSadrWidth) + " " + Cell(n.udid, kUdidWidth) + " " + Cell(n.state, kStateWidth) + " " +
         Cell(n.lastService, kServiceWidth) + " " + Fit(cycles, kCyclesWidth) + " " +
         (wide ? Cell(n.faults.empty() ? "-" : n.faults, kFaultsWidth) + " " : "") + reason;
}

/// One screen, redrawn in place with cursor movements.
class TerminalView : public View {
 public:
  TerminalView(std::FILE* out, std::function<ScreenSize()> size) : out_(out), size_(std::move(size)) {}
  void Show(const Snapshot& s) override {
    for (const std::string& e : s.newEvents) {
      events_.push_back(e);
      if (events_.size() > kShownEvents) events_.pop_front();
    }
    for (const std::string& c : s.newCommands) {
      commands_.push_back(c);
      if (commands_.size() > kShownCommands) commands_.pop_front();
    }
    // an order's progress shows among the commands, in the order it came
    for (const std::string& p : s.newProgress) {
      commands_.push_back("order progress " + p);
      if (commands_.size() > kShownCommands) commands_.pop_front();
    }
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ > 0 && now - lastDraw_ < kRedrawPeriod) {
      pending_ = s;
      return;
    }
    lastDraw_ = now;
    pending_.reset();
    Draw(s);
  }
  void Finish() override {
    if (pending_) Draw(*pending_);
    pending_.reset();
    std::fflush(out_);
  }

 private:
  void Draw(const Snapshot& s) {
    const std::vector<std::string> lines = ScreenLines(s, events_, commands_, size_());
    // back to the first line of the last drawing, clear to the end, draw again
    if (drawn_ > 0) std::fprintf(out_, "\033[%zuF\033[J", drawn_);
    for (const std::string& l : lines) std::fprintf(out_, "%s\n", l.c_str());
    drawn_ = lines.size();
    std::fflush(out_);
  }

  std::FILE* out_;                  ///< the terminal
  std::function<ScreenSize()> size_;  ///< the terminal's size now
  size_t drawn_ = 0;                ///< lines of the last drawing
  std::deque<std::string> events_;  ///< latest events shown
  std::deque<std::string> commands_;  ///< latest remote commands shown
  static constexpr size_t kShownCommands = 4;  ///< remote commands the screen keeps
  std::chrono::steady_clock::time_point lastDraw_;  ///< when it was last drawn
  std::optional<Snapshot> pending_;  ///< the latest state not drawn yet
};

/// One line per change, for logs.
class LineView : public View {
 public:
  explicit LineView(std::FILE* out) : out_(out) {}
  void Show(const Snapshot& s) override {
    if (!s.hostSocket.empty()) {
      Change(s.seconds, "host socket", s.hostSocket + " (namespace " + s.simNamespace + ")", socket_);
    }
    Change(s.seconds, "handshake", s.handshake, handshake_);
    Change(s.seconds, "fail-safe", s.failSafe, failSafe_);
    programs_.resize(s.programs.size());
    for (size_t i = 0; i < s.programs.size(); ++i) {
      const ProgramSummary& p = s.programs[i];
      Change(s.seconds, p.name, "pid " + std::to_string(p.pid) + " " + p.state, programs_[i]);
    }
    nodes_.resize(s.nodes.size());
    for (size_t i = 0; i < s.nodes.size(); ++i) {
      const NodeRow& n = s.nodes[i];
      Change(s.seconds, "node " + std::to_string(n.position),
             n.state + " (" + n.lastService + ")" + (n.reason.empty() ? "" : ": " + n.reason), nodes_[i]);
    }
    for (const std::string& e : s.newEvents) Line(s.seconds, "event " + e);
    for (const std::string& c : s.newCommands) Line(s.seconds, "operator " + c);
    for (const std::string& p : s.newProgress) Line(s.seconds, "order progress " + p);
    if (!s.remoteRecord.empty()) Change(s.seconds, "status", s.remoteRecord, record_);
  }
  void Finish() override { std::fflush(out_); }

 private:
  void Change(double seconds, const std::string& what, const std::string& now, std::string& last) {
    if (now == last) return;
    last = now;
    Line(seconds, what + ": " + now);
  }
  void Line(double seconds, const std::string& text) {
    std::fprintf(out_, "[%8.3f s] %s\n", seconds, text.c_str());
    std::fflush(out_);
  }

  std::FILE* out_;                    ///< the log
  std::string handshake_;             ///< last handshake text
  std::string socket_;                ///< last socket text
  std::string record_;                ///< last status record text
  std::string failSafe_;              ///< last fail-safe text
  std::vector<std::string> programs_; ///< last state per program
  std::vector<std::string> nodes_;    ///< last state per node
};

}  // namespace

std::vector<std::string> ScreenLines(const Snapshot& s, const std::deque<std::string>& events,
                                     const std::deque<std::string>& commands, ScreenSize size) {
  const size_t width = std::max(1u, size.columns);
  const bool wide = size.columns >= kWideColumns;
  // the line under the last one holds the cursor: a full screen would scroll
  const size_t room = size.lines > 1 ? size.lines - 1 : 1;
  std::vector<std::string> top{HeaderText(s, wide)};
  std::vector<std::string> table;
  if (!s.nodesSimulated) {
    table.push_back("nodes: none simulated in this run");
  } else if (!s.nodes.empty()) {
    table.push_back(NodeHeading(wide));
    for (size_t i = 0; i < s.nodes.size(); ++i) {
      table.push_back(NodeText(s.nodes[i], i < s.marks.size() ? s.marks[i] : "", wide));
    }
  }
  if (top.size() + table.size() > room) {
    // a small screen: the nodes that fit, and how many do not
    const size_t keep = room > top.size() + 1 ? room - top.size() - 1 : 0;
    const size_t hidden = table.size() - keep;
    table.resize(keep);
    if (top.size() + table.size() < room) table.push_back("... " + std::to_string(hidden) + " more line(s)");
  }
  size_t left = room - std::min(room, top.size() + table.size());
  // what else fits, by priority: the first events, the socket, the status record, the programs, commands, more events
  const auto take = [&left](size_t wanted) {
    const size_t n = std::min(wanted, left);
    left -= n;
    return n;
  };
  const std::string eventsTitle = "latest events (" + std::to_string(s.eventTotal) + " in all):";
  const size_t titleLines = take(1);
  size_t eventLines = take(std::min(kFirstEvents, events.size()));
  const bool socket = !s.hostSocket.empty() && take(1) == 1;
  const bool status = !s.remoteRecord.empty() && take(1) == 1;
  const size_t programLines = take(s.programs.size());
  const size_t commandLines = take(commands.size());
  eventLines += take(events.size() - eventLines);

  std::vector<std::string> lines = top;
  if (socket) lines.push_back("host socket " + s.hostSocket + ", namespace " + s.simNamespace);
  for (size_t i = 0; i < programLines; ++i) lines.push_back(ProgramText(s.programs[i]));
  lines.insert(lines.end(), table.begin(), table.end());
  if (status) lines.push_back("status: " + s.remoteRecord);
  for (size_t i = commands.size() - commandLines; i < commands.size(); ++i) lines.push_back("  " + commands[i]);
  if (titleLines == 1) lines.push_back(eventsTitle);
  for (size_t i = events.size() - eventLines; i < events.size(); ++i) lines.push_back("  " + events[i]);
  for (std::string& l : lines) l = Fit(l, width);
  return lines;
}

std::unique_ptr<View> MakeView(std::FILE* out, bool terminal, std::function<ScreenSize()> size) {
  if (!terminal) return std::make_unique<LineView>(out);
  if (!size) {
    const int fd = ::fileno(out);
    size = [fd] {
      winsize w{};
      ScreenSize s;
      if (fd >= 0 && ::ioctl(fd, TIOCGWINSZ, &w) == 0 && w.ws_col > 0 && w.ws_row > 0) {
        s.columns = w.ws_col;
        s.lines = w.ws_row;
      }
      return s;
    };
  }
  return std::make_unique<TerminalView>(out, std::move(size));
}

}  // namespace ScmDemo
