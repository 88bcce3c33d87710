#include "DemoView.h"

#include <chrono>
#include <deque>
#include <optional>

namespace ScmDemo {

namespace {

/// Latest events the terminal view keeps below the table.
constexpr size_t kShownEvents = 8;
/// Least time between two drawings of the terminal view.
constexpr std::chrono::milliseconds kRedrawPeriod{200};

std::string ProgramText(const ProgramSummary& p) {
  char line[160];
  std::snprintf(line, sizeof line, "%-11s pid %-7d %-26s cycles %llu", p.name.c_str(), p.pid, p.state.c_str(),
                static_cast<unsigned long long>(p.cycles));
  return line;
}

std::string NodeText(const NodeRow& n) {
  char line[200];
  std::snprintf(line, sizeof line, "%8u  %-17s  %-16s  %-22s  %8llu  %s", n.position, n.udid.c_str(),
                n.state.c_str(), n.lastService.c_str(), static_cast<unsigned long long>(n.cycles),
                n.faults.c_str());
  return line;
}

/// One screen, redrawn in place with cursor movements.
class TerminalView : public View {
 public:
  explicit TerminalView(std::FILE* out) : out_(out) {}
  void Show(const Snapshot& s) override {
    for (const std::string& e : s.newEvents) {
      events_.push_back(e);
      if (events_.size() > kShownEvents) events_.pop_front();
    }
    for (const std::string& c : s.newCommands) {
      commands_.push_back(c);
      if (commands_.size() > kShownCommands) commands_.pop_front();
    }
    for (const std::string& p : s.newProgress) {
      progress_.push_back(p);
      if (progress_.size() > kShownCommands) progress_.pop_front();
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
    std::vector<std::string> lines;
    char head[160];
    std::snprintf(head, sizeof head, "scmdemo: domain %u, %.1f s", s.sdn, s.seconds);
    lines.push_back(head);
    if (!s.hostSocket.empty()) lines.push_back("host socket: " + s.hostSocket + "   namespace: " + s.simNamespace);
    lines.push_back("handshake: " + s.handshake);
    lines.push_back("fail-safe: " + s.failSafe);
    for (const ProgramSummary& p : s.programs) lines.push_back(ProgramText(p));
    if (!s.nodesSimulated) lines.push_back("nodes: none simulated in this run");
    if (!s.nodes.empty()) {
      lines.push_back("position  UDID               state             last service            cycles    faults");
      for (size_t i = 0; i < s.nodes.size(); ++i) {
        lines.push_back(NodeText(s.nodes[i]) + (i < s.marks.size() && !s.marks[i].empty() ? "  [" + s.marks[i] + "]" : ""));
      }
    }
    if (!s.remoteRecord.empty()) lines.push_back("status: " + s.remoteRecord);
    for (const std::string& c : commands_) lines.push_back("  " + c);
    if (!progress_.empty()) lines.push_back("order progress:");
    for (const std::string& p : progress_) lines.push_back("  " + p);
    lines.push_back("frames from the firmware: " + std::to_string(s.framesFromFirmware));
    lines.push_back("latest events (" + std::to_string(s.eventTotal) + " in all):");
    for (const std::string& e : events_) lines.push_back("  " + e);
    // back to the first line of the last drawing, clear to the end, draw again
    if (drawn_ > 0) std::fprintf(out_, "\033[%zuF\033[J", drawn_);
    for (const std::string& l : lines) std::fprintf(out_, "%s\n", l.c_str());
    drawn_ = lines.size();
    std::fflush(out_);
  }

  std::FILE* out_;                  ///< the terminal
  size_t drawn_ = 0;                ///< lines of the last drawing
  std::deque<std::string> events_;  ///< latest events shown
  std::deque<std::string> commands_;  ///< latest remote commands shown
  std::deque<std::string> progress_;  ///< latest changes of the order's progress shown
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

std::unique_ptr<View> MakeView(std::FILE* out, bool terminal) {
  if (terminal) return std::make_unique<TerminalView>(out);
  return std::make_unique<LineView>(out);
}

}  // namespace ScmDemo
