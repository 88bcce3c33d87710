// scmdemo: runs one simulated safety domain on this machine and reports how it
// went (see README.md beside this file for the options and exit statuses).
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>

#include "DemoDomain.h"
#include "DemoOptions.h"
#include "DemoRun.h"
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
std::string WriteDescriptionBeside(const std::string& summaryFile, const std::string& text) {
  const std::filesystem::path path = std::filesystem::path(summaryFile).parent_path() / "scmdemo-domain.toml";
  std::ofstream out(path, std::ios::trunc);
  out << text;
  return out.flush() ? path.string() : std::string();
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
  const ScmDemo::ParseOutcome parsed = ScmDemo::ParseOptions(argc, argv, options);
  if (!parsed.run) {
    std::fprintf(parsed.exitStatus == 0 ? stdout : stderr, "%s\n", parsed.message.c_str());
    return parsed.exitStatus;
  }
  ScmDemo::DomainPlan plan;
  const std::string refused = ScmDemo::PlanDomain(options, plan);
  if (!refused.empty()) {
    std::fprintf(stderr, "scmdemo: %s\n", refused.c_str());
    return ScmDemo::ExitStatus::BadOptions;
  }
  InstallStopHandlers();
  ScmDemo::Summary summary;
  if (options.nodes != 0) summary.descriptionWritten = WriteDescriptionBeside(options.summaryFile, plan.descriptionText);
  std::printf("scmdemo: domain %u from %s, %zu node(s)\n", plan.sdn, plan.source.c_str(), plan.nodes.size());
  if (!options.faults.empty() || !options.wireFaults.empty()) {
    std::printf("scmdemo: %zu node fault(s), %zu wire fault(s)\n", options.faults.size(), options.wireFaults.size());
  }
  std::printf("scmdemo: the goal is every node operational%s\n",
              options.durationSeconds > 0 ? ", and staying so for the duration" : "");
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
  std::printf("%s", ScmDemo::SummaryText(summary).c_str());
  const std::string written = ScmDemo::WriteSummary(summary, options.summaryFile);
  if (!written.empty()) {
    std::fprintf(stderr, "scmdemo: %s\n", written.c_str());
  } else {
    std::printf("summary written to %s\n", options.summaryFile.c_str());
  }
  return status;
}
