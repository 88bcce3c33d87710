#include "DemoScenario.h"

#include <algorithm>
#include <cstdio>

#include "DemoOptions.h"
#include "NodeFaults.h"

namespace ScmDemo {

namespace {

/// The outcome words of the scenario file.
const char* OutcomeWord(bool operational) { return operational ? "operational" : "not-operational"; }

/// The wire faults in their written form with their meaning.
constexpr const char* kWireFaultForms[][2] = {
    {"drop", "the frame never arrives"},
    {"duplicate", "the frame arrives twice"},
    {"delay=D", "the frame arrives D cycles later"},
    {"corrupt", "one bit flipped, which the receiver's CRC check catches"},
};

}  // namespace

std::string ScenarioListText(const SimDomain::ScenarioResult& file, const std::string& path) {
  std::string text = "scenarios of " + path + " (scmdemo --scenario NAME):\n";
  // the names' column is as wide as the longest name, so the outcomes stand in one column
  size_t width = 0;
  for (const SimDomain::Scenario& s : file.scenarios) width = std::max(width, s.name.size());
  for (const SimDomain::Scenario& s : file.scenarios) {
    const std::string outcome = OutcomeWord(s.operational);
    text += "  " + s.name + std::string(width - s.name.size() + 1, ' ') + outcome +
            std::string(outcome.size() < 16 ? 17 - outcome.size() : 1, ' ') + s.description + "\n";
  }
  return text;
}

std::string FaultListText() {
  std::string text =
      "node faults (--fault SADR:FAULT, or faults = [...] under [node.device] of a description):\n";
  char line[160];
  for (const SimNodes::FaultUsage& u : SimNodes::FaultUsages()) {
    std::snprintf(line, sizeof line, "  %-20s ", std::string(u.form).c_str());
    text += line + std::string(u.meaning) + "\n";
  }
  text += "wire faults (--wire-fault NODE:to|from:K|rate=P:FAULT; K counts the node's frames in that direction\n"
          "from 1, P is a probability per frame drawn from --seed):\n";
  for (const auto& w : kWireFaultForms) {
    std::snprintf(line, sizeof line, "  %-20s %s\n", w[0], w[1]);
    text += line;
  }
  return text;
}

ScenarioVerdict JudgeScenario(bool expectedOperational, int runStatus, bool handshakeAccepted) {
  ScenarioVerdict v;
  // a scenario that keeps a node out ends by the time limit once the programs accepted each other
  const bool stayedOut = runStatus == ExitStatus::TimeLimit && handshakeAccepted;
  v.asExpected = expectedOperational ? runStatus == ExitStatus::Success : stayedOut;
  const std::string actual = runStatus == ExitStatus::Success ? "operational"
                             : stayedOut                      ? "not-operational"
                                                              : "exit status " + std::to_string(runStatus);
  v.text = std::string("expected ") + OutcomeWord(expectedOperational) + ", ended " + actual +
           (v.asExpected ? ": as expected" : ": NOT as expected");
  // a run that reached every node where the scenario expects one out has no status of its own to keep
  v.exitStatus = v.asExpected                          ? ExitStatus::Success
                 : runStatus == ExitStatus::Success ? ExitStatus::ScenarioDiffers
                                                    : runStatus;
  return v;
}

}  // namespace ScmDemo
