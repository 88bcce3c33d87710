// What scmdemo tells a person about the shipped scenarios and the faults it
// knows, and how a scenario's run is judged: by the outcome the scenario
// file expects, whatever that outcome is.
#pragma once

#include <string>

#include "DomainDescription.h"

namespace ScmDemo {

/// One line per scenario of the file: name, expected outcome, description.
std::string ScenarioListText(const SimDomain::ScenarioResult& file, const std::string& path);

/// Every node fault and wire fault with its written form and meaning.
std::string FaultListText();

/// How a scenario's run compares with the outcome its file expects.
struct ScenarioVerdict {
  bool asExpected = false;  ///< the run ended as the scenario expects
  int exitStatus = 0;       ///< 0 when as expected, else the run's status (ScenarioDiffers for a success)
  std::string text;         ///< one sentence for the summary
};

/// Judges a run of a scenario: expectedOperational is the file's outcome
/// ("operational" true, "not-operational" false); runStatus the run's own status;
/// handshakeAccepted whether both programs got that far.
ScenarioVerdict JudgeScenario(bool expectedOperational, int runStatus, bool handshakeAccepted);

}  // namespace ScmDemo
