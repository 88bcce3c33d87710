// Scenarios and faults for people: the shipped scenarios listed one line each,
// every fault listed with its meaning, an unknown fault answered with the valid
// ones, and a scenario's run judged by the outcome its file expects.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "DemoOptions.h"
#include "DemoProcess.h"
#include "DemoScenario.h"
#include "DomainDescription.h"
#include "NodeFaults.h"

namespace {

namespace Exit = ScmDemo::ExitStatus;
using ScmDemoTest::DemoProcess;
using ScmDemoTest::Ended;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

TEST(DemoScenario, ListNamesEveryShippedScenarioOnOneLineWithItsOutcome) {
  DemoProcess demo(SCM_DEMO_PATH, "scenario-list");
  const Ended e = demo.Run({"--list-scenarios"});
  ASSERT_EQ(e.status, Exit::Success) << e.output;
  const SimDomain::ScenarioResult file = SimDomain::LoadScenarioFile(SimDomain::DefaultScenariosPath());
  ASSERT_EQ(file.error, "");
  const std::vector<std::string> lines = Lines(e.output);
  ASSERT_EQ(lines.size(), file.scenarios.size() + 1) << e.output;
  for (size_t i = 0; i < file.scenarios.size(); ++i) {
    const SimDomain::Scenario& s = file.scenarios[i];
    std::istringstream words(lines[i + 1]);
    std::string name, outcome;
    words >> name >> outcome;
    EXPECT_EQ(name, s.name);
    EXPECT_EQ(outcome, s.operational ? "operational" : "not-operational");
    EXPECT_NE(lines[i + 1].find(s.description), std::string::npos) << lines[i + 1];
    // the outcomes stand in one column whatever the names' lengths
    const size_t column = lines[1].find_first_not_of(' ', 2 + file.scenarios[0].name.size());
    EXPECT_EQ(lines[i + 1].find_first_not_of(' ', 2 + s.name.size()), column) << lines[i + 1];
  }
}

TEST(DemoScenario, FaultListHoldsEveryNodeAndWireFault) {
  DemoProcess demo(SCM_DEMO_PATH, "fault-list");
  const Ended e = demo.Run({"--list-faults"});
  ASSERT_EQ(e.status, Exit::Success) << e.output;
  for (const SimNodes::FaultUsage& u : SimNodes::FaultUsages()) {
    EXPECT_NE(e.output.find("  " + std::string(u.form) + " "), std::string::npos) << u.form;
    EXPECT_NE(e.output.find(std::string(u.meaning)), std::string::npos) << u.meaning;
  }
  for (const char* wire : {"  drop ", "  duplicate ", "  delay=D ", "  corrupt "}) {
    EXPECT_NE(e.output.find(wire), std::string::npos) << wire;
  }
}

TEST(DemoScenario, UnknownFaultIsAnsweredWithTheValidOnes) {
  DemoProcess demo(SCM_DEMO_PATH, "fault-unknown");
  const Ended e = demo.Run({"--nodes", "2", "--fault", "2:loud"});
  EXPECT_EQ(e.status, Exit::BadOptions);
  EXPECT_NE(e.output.find("unknown fault; the valid ones: " + SimNodes::ValidFaultForms()), std::string::npos)
      << e.output;
}

struct JudgeCase {
  bool expectedOperational;  ///< the scenario file's outcome
  int runStatus;             ///< how the run itself ended
  bool handshake;            ///< both programs accepted each other
  bool asExpected;           ///< the verdict
  int exitStatus;            ///< scmdemo's status
  const char* text;          ///< the summary's sentence
};

TEST(DemoScenario, RunIsJudgedByTheExpectedOutcome) {
  const JudgeCase cases[] = {
      {true, Exit::Success, true, true, Exit::Success, "expected operational, ended operational: as expected"},
      {false, Exit::TimeLimit, true, true, Exit::Success,
       "expected not-operational, ended not-operational: as expected"},
      {false, Exit::Success, true, false, Exit::ScenarioDiffers,
       "expected not-operational, ended operational: NOT as expected"},
      {true, Exit::TimeLimit, true, false, Exit::TimeLimit,
       "expected operational, ended not-operational: NOT as expected"},
      {false, Exit::TimeLimit, false, false, Exit::TimeLimit,
       "expected not-operational, ended exit status 2: NOT as expected"},
      {false, Exit::FailSafe, true, false, Exit::FailSafe,
       "expected not-operational, ended exit status 3: NOT as expected"},
  };
  for (const JudgeCase& c : cases) {
    const ScmDemo::ScenarioVerdict v = ScmDemo::JudgeScenario(c.expectedOperational, c.runStatus, c.handshake);
    EXPECT_EQ(v.asExpected, c.asExpected) << c.text;
    EXPECT_EQ(v.exitStatus, c.exitStatus) << c.text;
    EXPECT_EQ(v.text, c.text);
  }
}

// A scenario that keeps a node out ends by its time limit, and that is its success.
TEST(DemoScenario, ShippedScenarioRunsByNameAndEndsAsExpected) {
  DemoProcess demo(SCM_DEMO_PATH, "scenario-run");
  const Ended e = demo.Run({"--scenario", "wrong-vendor", "--time-limit", "5"});
  EXPECT_EQ(e.status, Exit::Success) << e.output;
  const nlohmann::json s = demo.Summary();
  EXPECT_EQ(s["outcome"], "time-limit");
  EXPECT_EQ(s["exitStatus"], Exit::Success);
  EXPECT_EQ(s["scenario"]["name"], "wrong-vendor");
  EXPECT_EQ(s["scenario"]["asExpected"], true);
  EXPECT_EQ(s["scenario"]["verdict"], "expected not-operational, ended not-operational: as expected");
  EXPECT_EQ(s["requested"]["faults"], nlohmann::json::array({"2:wrong-vendor"}));
  EXPECT_NE(e.output.find("scenario wrong-vendor: expected not-operational, ended not-operational: as expected"),
            std::string::npos)
      << e.output;
}

}  // namespace
