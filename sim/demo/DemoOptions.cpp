#include "DemoOptions.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "DemoScenario.h"
#include "DomainDescription.h"

namespace ScmDemo {

namespace {

/// The command line in one line, printed with a refused option.
constexpr const char* kUsageLine =
    "usage: scmdemo [--nodes N | --description FILE] [OPTIONS...]  (scmdemo --help lists every option)";

/// Splits "SADR:NAME[=VALUE]"; false when it has no SADR in 1..1023.
bool SplitFault(const std::string& text, FaultOption& out) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
  const std::string number = text.substr(0, colon);
  if (number.find_first_not_of("0123456789") != std::string::npos || number.size() > 4) return false;
  const unsigned long sadr = std::stoul(number);
  if (sadr < 1 || sadr > 1023) return false;
  out.sadr = static_cast<uint16_t>(sadr);
  out.fault = text.substr(colon + 1);
  return true;
}

}  // namespace

ParseOutcome ParseOptions(int argc, const char* const* argv, DemoOptions& options) {
  CLI::App app{
      "Runs one simulated safety domain: the host simulator, scmchecker and scmfirmware\n"
      "(the older release's scmchecker-legacy and scmfirmware-legacy with --legacy).\n"
      "Exit status: 0 success, 1 set-up failed, 2 time limit, 3 domain fail-safe,\n"
      "4 a program exited, 5 bad options or description, 6 a node left operational,\n"
      "7 a step of the scripted operator failed, 8 the download step failed,\n"
      "9 a scenario's nodes all operational where it\n"
      "expects one out, 130 interrupted. With --scenario, 0 whenever the run ends as the scenario expects.",
      "scmdemo"};
  std::vector<std::string> faults;
  auto* nodes = app.add_option("-n,--nodes", options.nodes,
                               "a uniform domain of N ideal nodes at SADR 1..N (12 at most; 101 with --legacy)")
                    ->check(CLI::Range(1u, kMaxNodesOlder));
  app.add_flag("--legacy", options.legacy,
               "the older release: scmfirmware-legacy and scmchecker-legacy, the domain's files in the older "
               "layout, up to 101 nodes");
  auto* description =
      app.add_option("-d,--description", options.description, "the domain description file (default: the shipped one)");
  nodes->excludes(description);
  app.add_option("-f,--fault", faults, "a node fault SADR:NAME[=VALUE] (repeatable)");
  app.add_option("-w,--wire-fault", options.wireFaults,
                 "a wire fault NODE:to|from:K|rate=P:drop|duplicate|delay=D|corrupt (repeatable)");
  app.add_option("--seed", options.seed, "seed of the rated wire faults")->capture_default_str();
  app.add_option("--duration", options.durationSeconds, "seconds to run on once the goal is reached")
      ->check(CLI::Range(0.0, 86400.0));
  app.add_flag("--count-lost-nodes", options.countLostNodes,
               "count nodes a fault takes out and the firmware brings back, instead of ending the run");
  app.add_option("--time-limit", options.timeLimitSeconds, "seconds within which the goal must be reached")
      ->check(CLI::Range(0.001, 86400.0));
  app.add_option("--trace", options.traceFile, "write the frame trace to this file");
  app.add_option("--pcap", options.pcapFile,
                 "write every frame of the trace into this pcap capture (UDP on the loopback interface)");
  app.add_option("--pcap-port", options.pcapPort,
                 "the capture's UDP port of the firmware side; the nodes' side is the next port")
      ->check(CLI::Range(1, 65534))
      ->capture_default_str();
  app.add_flag("--keep-storage", options.keepStorage, "keep the run's directory and storage files");
  app.add_option("--summary", options.summaryFile, "the machine-readable summary file")
      ->capture_default_str();
  app.add_flag("--cleanup", options.cleanupOnly,
               "remove what dead runs left behind (shared-memory objects, run directories) and end");
  app.add_option("--download", options.download,
                 "after the goal, download this description's kel_para.saf, unlock it and reach the goal again");
  app.add_option("--download-fault", options.downloadFault,
                 "the host cuts short or refuses the firmware's first write after the request")
      ->check(CLI::IsMember({"none", "short", "refuse"}))
      ->capture_default_str();
  std::string damaged = "commit";
  app.add_option("--damaged-writes", damaged, "a close after a short or refused write commits or discards the file")
      ->check(CLI::IsMember({"commit", "discard"}))
      ->capture_default_str();
  app.add_flag("--qor-first-write-fails", options.qorFirstWriteFails,
               "the Qor controller answers the firmware's first variable write with a failing 3-byte reply, then runs normally");
  app.add_option("--unlock-word", options.unlockWord, "the word the download is locked with");
  app.add_option("--checker", options.checkerPath, "scmchecker to start")->capture_default_str();
  app.add_option("--firmware", options.firmwarePath, "scmfirmware to start")->capture_default_str();
  std::string emulator;
  app.add_option("--emulator", emulator,
                 "run both programs under this command, its words separated by spaces, "
                 "e.g. --emulator \"qemu-arm -L /usr/arm-linux-gnueabihf\"");
  auto* operatorFile = app.add_option("--operator", options.operatorFile, "the scripted operator's steps, one a line");
  app.add_option("--scenario", options.scenario,
                 "a scenario of the CI scenario file: its domain, faults, wire faults and operator steps")
      ->excludes(operatorFile);
  bool listScenarios = false;
  bool listFaults = false;
  app.add_flag("--list-scenarios", listScenarios, "list the shipped scenarios, one line each, and end");
  app.add_flag("--list-faults", listFaults, "list every node fault and wire fault with its meaning, and end");
  app.add_option("--status-period", options.statusPeriodSeconds,
                 "seconds between reads of the status record (0: none)")
      ->check(CLI::Range(0.0, 3600.0))
      ->capture_default_str();

  ParseOutcome out;
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out.message = app.help();
    out.exitStatus = ExitStatus::Success;
    return out;
  } catch (const CLI::ParseError& e) {
    out.message = std::string("scmdemo: ") + e.what() + "\n" + kUsageLine;
    out.exitStatus = ExitStatus::BadOptions;
    return out;
  }
  if (listScenarios || listFaults) {
    if (listScenarios) {
      const std::string path = SimDomain::DefaultScenariosPath();
      const SimDomain::ScenarioResult file = SimDomain::LoadScenarioFile(path);
      if (!file.error.empty()) {
        out.message = "scmdemo: " + path + ": " + file.error;
        out.exitStatus = ExitStatus::SetupFailed;
        return out;
      }
      out.message = ScenarioListText(file, path);
    }
    if (listFaults) out.message += FaultListText();
    if (!out.message.empty() && out.message.back() == '\n') out.message.pop_back();
    out.exitStatus = ExitStatus::Success;
    return out;
  }
  auto refuse = [&](const std::string& text) {
    out.message = "scmdemo: " + text;
    out.exitStatus = ExitStatus::BadOptions;
    return out;
  };
  if (!options.description.empty()) {
    std::ifstream file(options.description);
    if (!file) return refuse("--description: cannot read " + options.description);
  }
  if (options.nodes > MaxNodes(options.legacy)) {
    return refuse("--nodes " + std::to_string(options.nodes) + ": the current release serves at most " +
                  std::to_string(kMaxNodes) + " nodes (the older release, --legacy, " + std::to_string(kMaxNodesOlder) +
                  ")");
  }
  options.checkerGiven = app.count("--checker") > 0;
  options.firmwareGiven = app.count("--firmware") > 0;
  if (options.summaryFile.empty()) return refuse("--summary: a file name is needed");
  std::istringstream emulatorWords(emulator);
  options.emulator.clear();
  for (std::string word; emulatorWords >> word;) options.emulator.push_back(word);
  if (!options.emulator.empty() && options.emulator.front().find('/') == std::string::npos) {
    // the supervisor starts programs by path: look the emulator up as a shell would
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "");
    std::string dir;
    std::string found;
    while (found.empty() && std::getline(dirs, dir, ':')) {
      const std::string candidate = (dir.empty() ? "." : dir) + "/" + options.emulator.front();
      if (::access(candidate.c_str(), X_OK) == 0) found = candidate;
    }
    if (found.empty()) return refuse("--emulator: " + options.emulator.front() + " not found");
    options.emulator.front() = found;
  }
  options.commitDamagedWrites = damaged == "commit";
  if (!options.download.empty()) {
    std::ifstream file(options.download);
    if (!file) return refuse("--download: cannot read " + options.download);
  } else if (options.downloadFault != "none") {
    return refuse("--download-fault needs --download");
  }
  if (!options.scenario.empty()) {
    const std::string path = SimDomain::DefaultScenariosPath();
    const SimDomain::ScenarioResult file = SimDomain::LoadScenarioFile(path);
    if (!file.error.empty()) return refuse("--scenario: " + path + ": " + file.error);
    const auto it = std::find_if(file.scenarios.begin(), file.scenarios.end(),
                                 [&options](const SimDomain::Scenario& s) { return s.name == options.scenario; });
    if (it == file.scenarios.end()) return refuse("--scenario " + options.scenario + ": not in " + path);
    if (!it->domain.empty()) {
      if (options.nodes != 0 || !options.description.empty()) {
        return refuse("--scenario " + options.scenario + " brings its own domain: no --nodes or --description");
      }
      options.description = it->domain;
    }
    faults.insert(faults.begin(), it->faults.begin(), it->faults.end());
    options.wireFaults.insert(options.wireFaults.begin(), it->wireFaults.begin(), it->wireFaults.end());
    options.operatorSteps = it->operatorSteps;
    options.scenarioOperational = it->operational;
  }
  for (const std::string& text : faults) {
    FaultOption f;
    if (!SplitFault(text, f)) return refuse("--fault " + text + ": expected SADR:NAME[=VALUE] with SADR 1 to 1023");
    options.faults.push_back(f);
  }
  out.run = true;
  return out;
}

void UseLegacyPrograms(DemoOptions& options) {
  options.legacy = true;
  if (!options.checkerGiven) options.checkerPath = options.legacyCheckerPath;
  if (!options.firmwareGiven) options.firmwarePath = options.legacyFirmwarePath;
}

}  // namespace ScmDemo
