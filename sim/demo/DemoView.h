// The live view of a run: on a terminal one screen redrawn in place, elsewhere
// (CI logs, pipes) one line per change.
#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DemoSummary.h"

namespace ScmDemo {

/// One simulated node as the view shows it.
struct NodeRow {
  unsigned position = 0;     ///< the SADR at which the network finds it
  std::string udid;          ///< its UDID
  std::string state;         ///< its state
  std::string lastService;   ///< the last request it received
  uint64_t cycles = 0;       ///< cycles to operational, or so far
  std::string faults;        ///< faults applied
  std::string reason;        ///< why it is not operational, empty when it is
  bool operational = false;  ///< the host sees it operational
};

/// Everything the view shows at one moment.
struct Snapshot {
  double seconds = 0;                  ///< since the run began
  unsigned sdn = 0;                    ///< safety domain number
  std::string handshake;               ///< the ident-word exchange
  std::string failSafe;                ///< "no" or the first signal
  std::vector<ProgramSummary> programs;  ///< checker and firmware
  bool nodesSimulated = false;         ///< the run has simulated nodes
  std::vector<NodeRow> nodes;          ///< one per node
  uint64_t framesFromFirmware = 0;     ///< frames the firmware sent towards the network
  uint64_t eventTotal = 0;             ///< events taken so far
  std::vector<std::string> newEvents;  ///< events taken since the last snapshot, described
  std::string hostSocket;              ///< the host's control socket
  std::string simNamespace;            ///< the run's object namespace
  std::string remoteRecord;            ///< the last status record, one line; empty when none
  std::vector<std::string> marks;      ///< per node row: its mark in the record ("mismatch", ...), or empty
  std::vector<std::string> newCommands;  ///< commands answered since the last snapshot, with their answers
  std::vector<std::string> newProgress;  ///< order progress (remote state, stored, last completed) changed since the last snapshot
  std::optional<double> secondsLeft;   ///< seconds left of the time limit (before the goal) or the duration
};

/// Columns and lines of a terminal.
struct ScreenSize {
  unsigned columns = 80;  ///< characters per line
  unsigned lines = 24;    ///< lines on the screen
};

/// The terminal view's lines for a screen of this size: none longer than its
/// columns, fewer than its lines (the cursor's line stays free, so nothing
/// scrolls). A header, one line per node with its reason cut to fit, then the
/// latest remote commands and events as space allows; wider screens add
/// columns, taller ones the programs and the host socket.
std::vector<std::string> ScreenLines(const Snapshot& snapshot, const std::deque<std::string>& events,
                                     const std::deque<std::string>& commands, ScreenSize size);

/// A live view.
class View {
 public:
  virtual ~View() = default;
  /// Shows the state of the run; called once per look at the domain.
  virtual void Show(const Snapshot& snapshot) = 0;
  /// The run has ended: leaves the last state readable.
  virtual void Finish() = 0;
};

/// The view for this output: redrawn in place on a terminal, one line per change elsewhere.
/// size tells the terminal's size at each drawing (default: asked of out's terminal, else 80x24).
std::unique_ptr<View> MakeView(std::FILE* out, bool terminal, std::function<ScreenSize()> size = {});

}  // namespace ScmDemo
