// scmdemo: runs one simulated safety domain on this machine and reports how it
// went (see README.md beside this file for the options and exit statuses).
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>

#include "DemoCleanup.h"
#include "DemoDomain.h"
#include "DemoOptions.h"
#include "DemoOutputs.h"
#include "DemoRun.h"
#include "DemoScenario.h"
#include "DemoTimeline.h"
#include "DemoSummary.h"
#include "DemoView.h"

namespace {

/// Set by SIGINT, SIGTERM or SIGHUP: the run stops and cleans up.
std::atomic<bool> gStopRequested{false};

void OnStopSignal(int) { gStopRequested = true; }

void InstallStopHandlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

/// A uniform domain's description goes beside the summary, so the run can be repeated from it.
std::string DescriptionBeside(const std::string& summaryFile) {
  return (std::filesystem::path(summaryFile).parent_path() / "scmdemo-domain.toml").string();
}

/// Writes the description copy; empty or the failure with its path.
std::string WriteDescription(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::trunc);
  out << text;
  return out.flush() ? "" : "cannot write the description copy " + path + ": " + std::strerror(errno);
}

bool OnTerminal() {
  const char* term = std::getenv("TERM");
  return ::isatty(STDOUT_FILENO) == 1 && term != nullptr && std::strcmp(term, "dumb") != 0;
}

}  // namespace

int main(int argc, char** argv) {
  ScmDemo::DemoOptions options;
  options.checkerPath = SCM_DEMO_CHECKER_PATH;
  options.firmwarePath = SCM_DEMO_FIRMWARE_PATH;
  options.legacyCheckerPath = SCM_DEMO_LEGACY_CHECKER_PATH;
  options.legacyFirmwarePath = SCM_DEMO_LEGACY_FIRMWARE_PATH;
  const ScmDemo::ParseOutcome parsed = ScmDemo::ParseOptions(argc, argv, options);
  if (!parsed.run) {
    std::fprintf(parsed.exitStatus == 0 ? stdout : stderr, "%s\n", parsed.message.c_str());
    return parsed.exitStatus;
  }
  if (options.cleanupOnly) {
    std::printf("scmdemo: %s", ScmDemo::CleanedText(ScmDemo::RemoveDeadRuns()).c_str());
    return ScmDemo::ExitStatus::Success;
  }
  ScmDemo::DomainPlan plan;
  const std::string refused = ScmDemo::PlanDomain(options, plan);
  if (!refused.empty()) {
    std::fprintf(stderr, "scmdemo: %s\n", refused.c_str());
    return ScmDemo::ExitStatus::BadOptions;
  }
  // a domain of the older release runs with the older release's programs
  if (plan.legacy) ScmDemo::UseLegacyPrograms(options);
  // every file the run was asked to write is checked before anything starts
  const std::string descriptionCopy = options.nodes != 0 ? DescriptionBeside(options.summaryFile) : "";
  const std::string unwritable = ScmDemo::CheckOutputs(
      {{"summary", options.summaryFile},
       {"timeline", ScmDemo::TimelinePath(options.summaryFile)},
       {"trace", options.traceFile},
       {"pcap", options.pcapFile},
       {"description copy", descriptionCopy}});
  if (!unwritable.empty()) {
    std::fprintf(stderr, "scmdemo: %s\n", unwritable.c_str());
    return ScmDemo::ExitStatus::SetupFailed;
  }
  // what runs killed without their clean-up left behind goes before this run starts
  const ScmDemo::Cleaned cleaned = ScmDemo::RemoveDeadRuns();
  if (!cleaned.objects.empty() || !cleaned.directories.empty()) {
    std::printf("scmdemo: %s", ScmDemo::CleanedText(cleaned).c_str());
  }
  InstallStopHandlers();
  ScmDemo::Summary summary;
  if (!descriptionCopy.empty()) {
    const std::string failed = WriteDescription(descriptionCopy, plan.descriptionText);
    if (!failed.empty()) {
      std::fprintf(stderr, "scmdemo: %s\n", failed.c_str());
      return ScmDemo::ExitStatus::SetupFailed;
    }
    summary.descriptionWritten = descriptionCopy;
  }
  std::printf("scmdemo: domain %u from %s, %zu node(s)%s\n", plan.sdn, plan.source.c_str(), plan.nodes.size(),
              plan.legacy ? ", older release (scmchecker-legacy, scmfirmware-legacy)" : "");
  if (!options.faults.empty() || !options.wireFaults.empty()) {
    std::printf("scmdemo: %zu node fault(s), %zu wire fault(s)\n", options.faults.size(), options.wireFaults.size());
  }
  std::printf("scmdemo: the goal is every node operational%s\n",
              options.durationSeconds > 0 ? ", and staying so for the duration" : "");
  if (!options.scenario.empty()) {
    std::printf("scmdemo: scenario %s expects %s\n", options.scenario.c_str(),
                options.scenarioOperational ? "every node operational" : "a node to stay out until the time limit");
  }
  std::fflush(stdout);
  std::unique_ptr<ScmDemo::View> view = ScmDemo::MakeView(stdout, OnTerminal());
  int status = ScmDemo::ExitStatus::SetupFailed;
  try {
    status = ScmDemo::RunDomain(options, plan, gStopRequested, *view, summary);
  } catch (const std::exception& e) {
    // the run's host went with the exception, and with it the domain's objects and programs
    summary.outcome = "setup-failed";
    summary.exitStatus = status;
    summary.reason = e.what();
  }
  if (!options.scenario.empty()) {
    // a scenario's run succeeds when it ends as the scenario file expects, whatever that is
    const ScmDemo::ScenarioVerdict verdict =
        ScmDemo::JudgeScenario(options.scenarioOperational, status, summary.handshakeAccepted);
    summary.scenario = options.scenario;
    summary.scenarioVerdict = verdict.text;
    summary.scenarioAsExpected = verdict.asExpected;
    status = verdict.exitStatus;
    summary.exitStatus = status;
  }
  std::printf("%s", ScmDemo::SummaryText(summary).c_str());
  const std::string written = ScmDemo::WriteSummary(summary, options.summaryFile);
  if (!written.empty()) {
    // a result that could not be kept is a failed run, whatever the domain did
    std::fprintf(stderr, "scmdemo: %s\n", written.c_str());
    return ScmDemo::ExitStatus::SetupFailed;
  } else {
    std::printf("summary written to %s\n", options.summaryFile.c_str());
  }
  return status;
}
