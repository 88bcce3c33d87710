#include "DemoSummary.h"

#include <nlohmann/json.hpp>

#include <cstdarg>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace ScmDemo {

namespace {

std::string Hex(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", code);
  return text;
}

template <typename T>
nlohmann::json Optional(const std::optional<T>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json MomentJson(const std::optional<SimNodes::Moment>& m) {
  if (!m) return nullptr;
  return {{"cycle", m->cycle}, {"timeUs", m->timeUs}};
}

/// Everything the host sees of one node, for the checks of the end-to-end runs.
nlohmann::json RecordJson(const SimNodes::NodeRecord& r) {
  nlohmann::json requests = nlohmann::json::object();
  for (std::size_t i = 0; i < SimNodes::kServiceCount; ++i) {
    const SimNodes::ServiceCount& c = r.services[i];
    if (c.received == 0 && c.answered == 0) continue;
    requests[std::string(SimNodes::ServiceName(static_cast<SimNodes::Service>(i)))] = {
        {"received", c.received}, {"answered", c.answered}};
  }
  nlohmann::json pending = nullptr;
  if (r.pendingSnFail) pending = {(*r.pendingSnFail)[0], (*r.pendingSnFail)[1]};
  return {{"state", std::string(SimNodes::StateName(r.state))},
          {"sadr", r.sadr},
          {"sdn", r.sdn},
          {"requests", requests},
          {"lastRequest", r.lastRequest ? nlohmann::json(std::string(SimNodes::ServiceName(*r.lastRequest)))
                                        : nlohmann::json(nullptr)},
          {"lastRequestAt", MomentJson(r.lastRequest ? std::optional<SimNodes::Moment>(r.lastRequestAt)
                                                     : std::nullopt)},
          {"framesReceived", r.framesReceived},
          {"framesDropped", r.framesDropped},
          {"requestsUnanswered", r.requestsUnanswered},
          {"framesSent", r.framesSent},
          {"resetGuardingSent", r.resetGuardingSent},
          {"assignedAt", MomentJson(r.assignedAt)},
          {"operationalAt", MomentJson(r.operationalAt)},
          {"operationalCount", r.operationalCount},
          {"operationalEndedAt", MomentJson(r.operationalEndedAt)},
          {"operationalEndedBy", r.operationalEndedBy},
          {"operationalEndedFrame", r.operationalEndedFrame},
          {"operationalEnds", r.operationalEnds},
          {"guardAnswers", r.guardAnswers},
          {"lifeTimeLosses", r.lifeTimeLosses},
          {"busyAnswers", r.busyAnswers},
          {"snFailsSent", r.snFailsSent},
          {"pendingSnFail", pending},
          {"acksAccepted", r.acksAccepted},
          {"acksRefused", r.acksRefused},
          {"downloadsComplete", r.downloadsComplete},
          {"downloadsMatching", r.downloadsMatching},
          {"additionalSetsReceived", r.additionalSetsReceived},
          {"abortsSent", r.abortsSent},
          {"repeatRequests", r.repeatRequests},
          {"faultsApplied", r.faultsApplied}};
}

/// printf into a string of the length the text needs.
__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

}  // namespace

std::string SummaryText(const Summary& s) {
  std::string t;
  // each piece sized to what it holds: a reason naming many nodes is never cut
  std::string line;
  t += Format("summary: %s (exit status %d): %s\n", s.outcome.c_str(), s.exitStatus, s.reason.c_str());
  line = Format("  domain %u, %.2f s; handshake %s", s.sdn, s.wallSeconds,
                s.handshakeAccepted ? "accepted" : "not completed");
  t += line;
  if (s.handshakeSeconds) {
    t += Format(" after %.2f s (ident 0x%08X)", *s.handshakeSeconds, s.identWord.value_or(0));
  }
  t += "\n";
  t += Format("  cycles: firmware %llu, checker %llu (%s)\n", static_cast<unsigned long long>(s.firmwareCycles),
              static_cast<unsigned long long>(s.checkerCycles), s.cycleCounting.c_str());
  for (const ProgramSummary& p : s.programs) {
    t += Format("  %-11s pid %d, started %u time(s), %s\n", p.name.c_str(), p.pid, p.starts, p.state.c_str());
  }
  if (s.failSafe.empty()) t += "  fail-safe: never\n";
  for (const FailSafeEntry& f : s.failSafe) {
    line = Format("  fail-safe at %.2f s: %s: ", f.seconds, f.cause.c_str());
    t += line + f.detail + "\n";
  }
  t += "  domain: " + s.domainSource + "\n";
  if (!s.descriptionWritten.empty()) t += "  its description: " + s.descriptionWritten + "\n";
  if (!s.nodesSimulated) t += "  nodes: none simulated in this run\n";
  for (const NodeSummary& n : s.nodes) {
    // a node that calls itself operational while the firmware started it over is lost, not operational
    const bool lost = n.record && n.record->state == SimNodes::NodeState::Operational &&
                      !SimNodes::HostSeesOperational(*n.record);
    t += Format("  node %u (%s): %s", n.position, n.udid.c_str(),
                lost ? "lost (its own record: operational)" : n.state.c_str());
    if (n.cyclesToOperational) {
      t += Format(", operational after %llu cycles (%.2f s)", static_cast<unsigned long long>(*n.cyclesToOperational),
                  n.secondsToOperational.value_or(0));
    }
    if (!n.operationalEnded.empty()) t += ", " + n.operationalEnded;
    if (!n.reason.empty()) t += ", not operational: " + n.reason;
    t += ", guard answers " + std::to_string(n.guardAnswers);
    for (const std::string& f : n.faults) t += ", fault " + f;
    if (n.record) {
      for (const auto& [fault, answers] : n.record->faultsApplied) {
        t += " (" + fault + " changed " + std::to_string(answers) + " answer(s))";
      }
      t += ", last request " + n.lastService;
    }
    t += "\n";
  }
  line = Format("  frames from the firmware: %llu; status responses %llu; unlock responses %llu\n",
                static_cast<unsigned long long>(s.framesFromFirmware),
                static_cast<unsigned long long>(s.statusResponses), static_cast<unsigned long long>(s.unlockResponses));
  t += line;
  if (s.download) {
    const DownloadSummary& d = *s.download;
    t += Format("  download: kel_para.saf of %s, word %s, first write %s, damaged writes %s\n", d.description.c_str(),
                Hex(d.word).c_str(), d.fault.c_str(), d.commitDamagedWrites ? "committed" : "discarded");
    for (const UnlockExchange& r : d.requests) {
      t += Format("    unlock request %u at %.2f s: %s\n", r.identifier, r.requestSeconds,
                  r.result ? (*r.result == 0 ? "unlocked" : "refused") : "no answer");
    }
    line = Format(
        "    file %s; domain resets %u (%s), controller resets %u; ", d.fileUnlocked ? "unlocked" : "not unlocked",
        d.domainResets,
        d.resetSeconds ? (std::to_string(*d.resetSeconds).substr(0, 5) + " s after the request").c_str() : "none seen",
        d.plcResets);
    t += line;
    if (d.secondGoalSeconds) {
      line = Format("every node operational again at %.2f s\n", *d.secondGoalSeconds);
    } else {
      line = Format("the second goal not reached\n");
    }
    t += line;
  }
  if (s.nodeLeaves != 0 || s.nodeReturns != 0) {
    line = Format("  nodes taken out after the goal: %u; brought back: %u\n", s.nodeLeaves, s.nodeReturns);
    t += line;
    constexpr size_t kDropLines = 20;  // the JSON holds them all
    for (size_t i = 0; i < s.nodeDrops.size() && i < kDropLines; ++i) {
      const NodeDrop& d = s.nodeDrops[i];
      t += Format("    node %u left in cycle %llu (%s), ", d.position, static_cast<unsigned long long>(d.leftCycle),
                  d.why.c_str());
      t += d.backCycle ? "back in cycle " + std::to_string(*d.backCycle) + "\n" : std::string("not back\n");
    }
    if (s.nodeDrops.size() > kDropLines) t += "    ... " + std::to_string(s.nodeDrops.size() - kDropLines) + " more\n";
  }
  if (s.nodesSimulated) {
    const ScmSim::NetworkCounts& c = s.network;
    line = Format(
        "  network: %llu to nodes, %llu to the firmware, %llu for no node, %llu no request; "
        "wire faults: %llu dropped, %llu duplicated, %llu delayed, %llu corrupted; %llu late answer(s)\n",
        static_cast<unsigned long long>(c.toNodes), static_cast<unsigned long long>(c.toFirmware),
        static_cast<unsigned long long>(c.noNode), static_cast<unsigned long long>(c.notRequest),
        static_cast<unsigned long long>(c.dropped), static_cast<unsigned long long>(c.duplicated),
        static_cast<unsigned long long>(c.delayed), static_cast<unsigned long long>(c.corrupted),
        static_cast<unsigned long long>(s.pump.lateAnswers));
    t += line;
    if (!s.wireFaults.empty()) {
      t += Format("  seed of the wire faults: %llu (--seed %llu repeats them frame by frame)\n",
                  static_cast<unsigned long long>(s.seed), static_cast<unsigned long long>(s.seed));
    }
  }
  t += Format("  events: %llu", static_cast<unsigned long long>(s.eventTotal));
  if (s.malformedEvents != 0) t += " (" + std::to_string(s.malformedEvents) + " not 11 bytes)";
  t += "\n";
  for (const EventCount& e : s.events) {
    t += Format("    %s x%u %s\n", Hex(e.code).c_str(), e.count, e.name.empty() ? "(unknown code)" : e.name.c_str());
  }
  if (!s.timelineFile.empty()) t += "  timeline: " + s.timelineFile + "\n";
  if (!s.scenario.empty()) t += "  scenario " + s.scenario + ": " + s.scenarioVerdict + "\n";
  if (!s.runDirectory.empty()) t += "  run directory kept: " + s.runDirectory + "\n";
  t += "  host socket: " + s.hostSocket + ", object namespace: " + s.simNamespace + "\n";
  const OperatorSummary& op = s.operatorSide;
  t += "  operator: " + std::to_string(op.commands.size()) + " commands, " + std::to_string(op.strayAnswers) +
       " stray answers";
  if (op.scriptSteps > 0) {
    t += ", script " + std::to_string(op.stepsDone) + " of " + std::to_string(op.scriptSteps) + " steps";
  }
  t += "\n";
  if (!op.failedStep.empty()) t += "    failed step: " + op.failedStep + "\n";
  if (!op.orderProgress.empty()) t += "    order progress:\n";
  for (const std::string& p : op.orderProgress) t += "      " + p + "\n";
  if (!op.lastStatus.empty()) t += "    last status: " + op.lastStatus + "\n";
  if (!s.kept.qorVariables.empty()) {
    t += "  Qor variables:";
    for (const auto& [id, bytes] : s.kept.qorVariables) t += " " + std::to_string(id) + "=" + bytes;
    t += "\n";
  }
  for (const auto& [name, bytes] : s.kept.files) {
    t += "  " + name + ": " + std::to_string(bytes.size() / 2) + " bytes\n";
  }
  if (!s.kept.files.empty()) t += "  flash area 16: " + s.kept.flash + "\n";
  return t;
}

std::string SummaryJson(const Summary& s) {
  nlohmann::json j;
  j["outcome"] = s.outcome;
  j["exitStatus"] = s.exitStatus;
  j["reason"] = s.reason;
  j["sdn"] = s.sdn;
  j["domain"] = {{"source", s.domainSource}, {"descriptionWritten", s.descriptionWritten}};
  j["wallSeconds"] = s.wallSeconds;
  j["handshake"] = {{"accepted", s.handshakeAccepted},
                    {"identWord", Optional(s.identWord)},
                    {"seconds", Optional(s.handshakeSeconds)}};
  j["goalSeconds"] = Optional(s.goalSeconds);
  j["cycles"] = {{"firmware", s.firmwareCycles},
                 {"checker", s.checkerCycles},
                 {"firmwareAtGoal", Optional(s.firmwareCyclesAtGoal)},
                 {"counting", s.cycleCounting}};
  j["programs"] = nlohmann::json::array();
  for (const ProgramSummary& p : s.programs) {
    j["programs"].push_back({{"name", p.name},
                             {"pid", p.pid},
                             {"starts", p.starts},
                             {"state", p.state},
                             {"cycles", p.cycles},
                             {"cpuSeconds", {{"atGoal", Optional(p.cpuSecondsAtGoal)},
                                             {"atEnd", Optional(p.cpuSecondsAtEnd)},
                                             {"cyclicAtGoal", Optional(p.cyclicCpuSecondsAtGoal)},
                                             {"cyclicAtEnd", Optional(p.cyclicCpuSecondsAtEnd)}}},
                             {"cpuSlices", {{"atGoal", Optional(p.cpuSlicesAtGoal)},
                                            {"atEnd", Optional(p.cpuSlicesAtEnd)}}},
                             {"wakeUps", {{"atGoal", Optional(p.wakeUpsAtGoal)}, {"atEnd", Optional(p.wakeUpsAtEnd)}}},
                             {"preemptions", {{"atGoal", Optional(p.preemptionsAtGoal)},
                                              {"atEnd", Optional(p.preemptionsAtEnd)}}}});
  }
  j["failSafe"] = nlohmann::json::array();
  for (const FailSafeEntry& f : s.failSafe) {
    j["failSafe"].push_back({{"cause", f.cause}, {"detail", f.detail}, {"seconds", f.seconds}});
  }
  nlohmann::json byCode = nlohmann::json::array();
  for (const EventCount& e : s.events) {
    byCode.push_back({{"code", Hex(e.code)}, {"name", e.name}, {"count", e.count}});
  }
  j["events"] = {{"total", s.eventTotal}, {"malformed", s.malformedEvents}, {"byCode", byCode}};
  j["framesFromFirmware"] = s.framesFromFirmware;
  j["statusResponses"] = s.statusResponses;
  j["nodeLeaves"] = s.nodeLeaves;
  j["nodeReturns"] = s.nodeReturns;
  j["nodeDrops"] = nlohmann::json::array();
  for (const NodeDrop& d : s.nodeDrops) {
    j["nodeDrops"].push_back(
        {{"position", d.position}, {"leftCycle", d.leftCycle}, {"why", d.why}, {"backCycle", Optional(d.backCycle)}});
  }
  j["unlockResponses"] = s.unlockResponses;
  j["hostSocket"] = s.hostSocket;
  j["namespace"] = s.simNamespace;
  const OperatorSummary& op = s.operatorSide;
  j["operator"] = {{"commands", op.commands},       {"objectReads", op.objectReads},
                   {"lastStatus", op.lastStatus},   {"lastNewStatus", op.lastNewStatus},
                   {"strayAnswers", op.strayAnswers}, {"scriptSteps", op.scriptSteps},
                   {"stepsDone", op.stepsDone},     {"failedStep", op.failedStep},
                   {"classicRecords", op.classicRecords}, {"classicRecordsSound", op.classicRecordsSound},
                   {"remoteEvents", op.remoteEvents},
                   {"orderProgress", op.orderProgress},
                   {"downloads", op.downloads},
                   {"unlocks", op.unlocks}};
  nlohmann::json qor = nlohmann::json::object();
  for (const auto& [id, bytes] : s.kept.qorVariables) qor[std::to_string(id)] = bytes;
  nlohmann::json files = nlohmann::json::object();
  for (const auto& [name, bytes] : s.kept.files) files[name] = bytes;
  j["kept"] = {{"qorVariables", qor}, {"files", files}, {"flash", s.kept.flash}, {"qorRequests", s.kept.qorRequests}};
  const ScmSim::NetworkCounts& c = s.network;
  j["network"] = {{"fromFirmware", c.fromFirmware}, {"toNodes", c.toNodes},     {"noNode", c.noNode},
                  {"notRequest", c.notRequest},     {"toFirmware", c.toFirmware}, {"dropped", c.dropped},
                  {"duplicated", c.duplicated},     {"delayed", c.delayed},       {"corrupted", c.corrupted},
                  {"lateAnswers", s.pump.lateAnswers}, {"sendRetries", s.pump.sendRetries}};
  j["nodesSimulated"] = s.nodesSimulated;
  j["nodes"] = nlohmann::json::array();
  for (const NodeSummary& n : s.nodes) {
    j["nodes"].push_back({{"position", n.position},
                          {"sadr", n.sadr},
                          {"udid", n.udid},
                          {"state", n.state},
                          {"operational", n.record && SimNodes::HostSeesOperational(*n.record)},
                          {"cyclesToOperational", Optional(n.cyclesToOperational)},
                          {"secondsToOperational", Optional(n.secondsToOperational)},
                          {"guardAnswers", n.guardAnswers},
                          {"faults", n.faults},
                          {"lastService", n.lastService},
                          {"operationalEnded", n.operationalEnded},
                          {"reason", n.reason},
                          {"record", n.record ? RecordJson(*n.record) : nlohmann::json(nullptr)}});
  }
  j["requested"] = {{"nodes", s.nodesRequested},
                    {"description", s.description},
                    {"faults", s.faults},
                    {"wireFaults", s.wireFaults},
                    {"seed", s.seed},
                    {"durationSeconds", s.durationSeconds},
                    {"timeLimitSeconds", s.timeLimitSeconds}};
  j["runDirectory"] = s.runDirectory;
  j["timeline"] = s.timelineFile;
  if (!s.scenario.empty()) {
    j["scenario"] = {{"name", s.scenario}, {"verdict", s.scenarioVerdict}, {"asExpected", s.scenarioAsExpected}};
  }
  if (s.download) {
    const DownloadSummary& d = *s.download;
    nlohmann::json requests = nlohmann::json::array();
    for (const UnlockExchange& r : d.requests) {
      requests.push_back({{"identifier", r.identifier},
                          {"requestSeconds", r.requestSeconds},
                          {"result", Optional(r.result)},
                          {"answerSeconds", Optional(r.answerSeconds)}});
    }
    j["download"] = {{"description", d.description},
                     {"word", Hex(d.word)},
                     {"fault", d.fault},
                     {"damagedWrites", d.commitDamagedWrites ? "commit" : "discard"},
                     {"requests", requests},
                     {"changedNodes", d.changedNodes},
                     {"fileUnlocked", d.fileUnlocked},
                     {"resets", {{"domain", d.domainResets},
                                 {"plc", d.plcResets},
                                 {"secondsAfterRequest", Optional(d.resetSeconds)},
                                 {"byFirmware", d.resetByFirmware}}},
                     {"secondGoalSeconds", Optional(d.secondGoalSeconds)}};
  } else {
    j["download"] = nullptr;
  }
  return j.dump(2) + "\n";
}

std::string WriteSummary(const Summary& s, const std::string& path) {
  // written beside and renamed, so a reader never sees half a summary
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    // the message names the file asked for; the temporary beside it is a detail of the writing
    if (!out) return "cannot write the summary " + path + ": " + std::strerror(errno);
    out << SummaryJson(s);
    if (!out.flush()) return "cannot write the summary " + path + ": " + std::strerror(errno);
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) return "cannot write the summary: cannot rename " + temporary + " to " + path + ": " + ec.message();
  return "";
}

}  // namespace ScmDemo
