// scmbench: the measured run of the main job. It runs scmdemo with uniform
// domains of ideal nodes (by default 1, 4 and 12), each until every node is
// operational and then guarding for a while, and reports from each run's
// summary: the cycles to operational per node and for the last node, the wall
// time, the CPU time per cycle of scmfirmware (configuration and guarding
// phases apart, the cyclic task alone beside the process) and of scmchecker,
// and the answers that missed their cycle. Beside each run it puts the
// lock-step count of the same domain (scmlockstep: the firmware cycled
// in-process against the same nodes) and the ratio of the two; answers that
// missed their cycle void the ratio. Each program's CPU time per guarding
// cycle is also given as its share of the 10-ms cycle; with the allocation
// counter built, both programs run with it preloaded and the allocations after
// their cycle started are reported; with valgrind on the PATH, the firmware's
// cyclic function (IRQ) is counted in instructions per guarding cycle under
// callgrind over scmlockstep of the same domain. Since a program's CPU time
// per cycle is mostly the cost of its tasks' wake-ups, which the machine's load
// sets, each program's wake-ups per guarding cycle are given too (times its
// threads went to sleep and were woken; preemptions apart, which are no
// wake-ups), beside the CPU cost of a bare timed wake-up measured on this
// machine during the same run, the floor the two make (wake-ups x bare cost:
// the least the program's cycle can cost while it wakes that often) and the
// load average. A table for people, a JSON file for scripts.
// Measure in the release build (cmake --preset default).
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "AllocCountFile.h"
#include "BenchRatio.h"
#include "DemoSpawn.h"
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using nlohmann::json;

/// Exit statuses of scmbench.
constexpr int kOk = 0;           ///< every run reached its goal
constexpr int kRunFailed = 1;    ///< a run did not end with status 0
constexpr int kBadOptions = 5;   ///< bad options

/// A number from the summary, or none when it is null or missing.
std::optional<double> Number(const json& j) {
  return j.is_number() ? std::optional<double>(j.get<double>()) : std::nullopt;
}

/// CPU seconds per cycle over a phase, or none when a value is missing or the phase has no cycles.
std::optional<double> PerCycle(std::optional<double> from, std::optional<double> to, double cycles) {
  if (!from || !to || cycles <= 0) return std::nullopt;
  return (*to - *from) / cycles;
}

json Opt(std::optional<double> v) { return v ? json(*v) : json(nullptr); }

std::string Micros(std::optional<double> seconds) {
  if (!seconds) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", *seconds * 1e6);
  return text;
}

/// A number with that many decimals, or "-".
std::string Fixed(std::optional<double> value, int decimals) {
  if (!value) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, *value);
  return text;
}

/// Percent of the 10-ms cycle, or "-".
std::string Percent(std::optional<double> share) {
  if (!share) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%", *share * 100.0);
  return text;
}

#ifndef SCM_BENCH_ALLOC_COUNT_LIB
/// No allocation counter in this build (sanitizers): nothing is counted.
#define SCM_BENCH_ALLOC_COUNT_LIB ""
#endif

#ifndef SCM_BENCH_LOCKSTEP_PATH
/// No lock-step program in this build: the runs have no reference.
#define SCM_BENCH_LOCKSTEP_PATH ""
#endif

/// The calling thread's CPU seconds and the times it was put on a CPU, from its schedstat; none when unreadable.
std::optional<std::pair<double, double>> OwnRun() {
  std::ifstream in("/proc/thread-self/schedstat");
  unsigned long long nanoseconds = 0, waited = 0, slices = 0;
  if (!(in >> nanoseconds >> waited >> slices)) return std::nullopt;
  return std::make_pair(static_cast<double>(nanoseconds) / 1e9, static_cast<double>(slices));
}

/// A thread that wakes every 10 ms by an absolute timed sleep and does nothing
/// else, for as long as a run goes on: the CPU time of one such wake-up is what
/// this machine charges a task for being woken, under its load of the moment.
class WakeUpReference {
 public:
  WakeUpReference() : thread_([this] { Loop(); }) {}
  ~WakeUpReference() { Stop(); }
  WakeUpReference(const WakeUpReference&) = delete;
  WakeUpReference& operator=(const WakeUpReference&) = delete;

  /// Ends the thread; the CPU seconds per wake-up, none when it could not be read or never woke.
  std::optional<double> Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
    return perWakeUp_;
  }

 private:
  void Loop() {
    const std::optional<std::pair<double, double>> start = OwnRun();
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    while (!stop_.load()) {
      next.tv_nsec += static_cast<long>(ScmBench::kCycleSeconds * 1e9);
      if (next.tv_nsec >= 1000000000L) {
        next.tv_nsec -= 1000000000L;
        ++next.tv_sec;
      }
      while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
      }
    }
    const std::optional<std::pair<double, double>> end = OwnRun();
    if (start && end && end->second > start->second) {
      perWakeUp_ = (end->first - start->first) / (end->second - start->second);
    }
  }

  std::atomic<bool> stop_{false};       ///< set to end the loop
  std::optional<double> perWakeUp_;     ///< the result, once the loop ended
  std::thread thread_;                  ///< the waking thread (last: starts once the rest is set)
};

/// The one-minute load average, none when unreadable.
std::optional<double> LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double load = 0;
  if (!(in >> load)) return std::nullopt;
  return load;
}

/// What each program's wake-ups per guarding cycle alone cost at the bare wake-up's price of the
/// same run (wakeUpFloorPerGuardingCycle, seconds): the least its CPU time per cycle can be while
/// its tasks wake that often; what it spends beyond is its own work and the stand-in's.
void AddWakeUpFloor(json& r) {
  const std::optional<double> perWakeUp = Number(r["referenceWakeUpSeconds"]);
  for (auto& [name, entry] : r["cpuPerCycle"].items()) {
    entry["wakeUpFloorPerGuardingCycle"] = Opt(ScmBench::WakeUpFloor(Number(entry["wakeUpsPerGuardingCycle"]), perWakeUp));
  }
}

/// Runs a program with the arguments, output to log; its exit status, -1 when it did not exit.
int RunLogged(const std::string& program, const std::vector<std::string>& args, const std::string& log,
              const std::map<std::string, std::string>& env = {}) {
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  const pid_t pid = ScmDemo::SpawnLogged(all, log, env);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// One measured run, from its summary.
json Measure(const json& s, unsigned nodes, int status) {
  json r;
  r["nodes"] = nodes;
  r["exitStatus"] = status;
  json perNode = json::array();
  std::optional<double> last;
  for (const json& n : s["nodes"]) {
    const std::optional<double> c = Number(n["cyclesToOperational"]);
    perNode.push_back({{"position", n["position"]}, {"cycles", Opt(c)}, {"seconds", n["secondsToOperational"]}});
    if (c && (!last || *c > *last)) last = c;
  }
  r["cyclesToOperational"] = perNode;
  r["lastNodeCycles"] = Opt(last);
  r["goalSeconds"] = s["goalSeconds"];
  r["wallSeconds"] = s["wallSeconds"];
  const double cycles = Number(s["cycles"]["firmware"]).value_or(0);
  const double atGoal = Number(s["cycles"]["firmwareAtGoal"]).value_or(0);
  for (const json& p : s["programs"]) {
    const json& cpu = p["cpuSeconds"];
    r["cpuPerCycle"][p["name"].get<std::string>()] = {
        {"configuration", Opt(PerCycle(0.0, Number(cpu["atGoal"]), atGoal))},
        {"guarding", Opt(PerCycle(Number(cpu["atGoal"]), Number(cpu["atEnd"]), cycles - atGoal))},
        {"cyclicConfiguration", Opt(PerCycle(0.0, Number(cpu["cyclicAtGoal"]), atGoal))},
        {"cyclicGuarding", Opt(PerCycle(Number(cpu["cyclicAtGoal"]), Number(cpu["cyclicAtEnd"]), cycles - atGoal))}};
    json& entry = r["cpuPerCycle"][p["name"].get<std::string>()];
    entry["guardingShareOfCycle"] = Opt(ScmBench::ShareOfCycle(Number(entry["guarding"])));
    const json& slices = p["cpuSlices"];
    entry["switchInsPerGuardingCycle"] =
        Opt(PerCycle(Number(slices["atGoal"]), Number(slices["atEnd"]), cycles - atGoal));
    const json& wakeUps = p["wakeUps"];
    entry["wakeUpsPerGuardingCycle"] =
        Opt(PerCycle(Number(wakeUps["atGoal"]), Number(wakeUps["atEnd"]), cycles - atGoal));
    const json& preemptions = p["preemptions"];
    entry["preemptionsPerGuardingCycle"] =
        Opt(PerCycle(Number(preemptions["atGoal"]), Number(preemptions["atEnd"]), cycles - atGoal));
  }
  r["firmwareCycles"] = cycles;
  r["lateAnswers"] = s["network"]["lateAnswers"];
  return r;
}

/// The whole text of a file ("" when it cannot be read).
std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Adds the lock-step reference of the run's domain and the ratio; false when the reference failed.
bool AddReference(json& r, const json& summary, const std::string& lockstep, const std::string& log) {
  r["lockStepCycles"] = nullptr;
  r["ratio"] = nullptr;
  r["ratioVoid"] = nullptr;
  const json& written = summary["domain"]["descriptionWritten"];
  if (lockstep.empty() || !written.is_string() || written.get<std::string>().empty()) {
    r["ratioVoid"] = lockstep.empty() ? "no lock-step program" : "no description written";
    return lockstep.empty();
  }
  const int ended = RunLogged(lockstep, {"--description", written.get<std::string>()}, log);
  const std::string out = ReadText(log);
  // scmlockstep labels its count: "cycles to operational: N"
  static constexpr const char* kLabel = "cycles to operational: ";
  const size_t at = out.find(kLabel);
  const char* number = at == std::string::npos ? out.c_str() : out.c_str() + at + std::strlen(kLabel);
  char* end = nullptr;
  const unsigned long long count = at == std::string::npos ? 0 : std::strtoull(number, &end, 10);
  if (ended != 0 || end == number || count == 0) {
    std::fprintf(stderr, "scmbench: the lock-step run of the %u-node domain ended with status %d:\n%s\n",
                 r["nodes"].get<unsigned>(), ended, out.c_str());
    r["ratioVoid"] = "lock-step run failed";
    return false;
  }
  r["lockStepCycles"] = count;
  const ScmBench::ReferenceRatio ratio =
      ScmBench::RatioOf(Number(r["lastNodeCycles"]), count, Number(r["lateAnswers"]));
  if (ratio.ratio) {
    r["ratio"] = *ratio.ratio;
  } else {
    r["ratioVoid"] = ratio.voidReason;
  }
  return true;
}

/// Adds the allocations of both programs before and after their cycle started (null when not counted).
void AddAllocations(json& r, const std::string& countDir) {
  r["allocations"] = nullptr;
  if (countDir.empty()) return;
  json a = json::object();
  for (const ScmAllocCount::ProcessCounts& p : ScmAllocCount::ReadDirectory(countDir)) {
    if (p.program != "scmfirmware" && p.program != "scmchecker") continue;
    a[p.program] = {{"beforeStart", p.before}, {"afterStart", p.after}, {"started", p.started}};
  }
  r["allocations"] = a;
}

/// The instructions callgrind collects in IRQ over scmlockstep of a description with that many guarding cycles.
std::optional<std::uint64_t> CallgrindIrq(const std::string& valgrind, const std::string& lockstep,
                                          const std::string& description, std::uint64_t guarding,
                                          const std::string& work) {
  const std::string out = work + "/callgrind-" + std::to_string(guarding) + ".out";
  const int ended = RunLogged(valgrind,
                              {"--tool=callgrind", "--callgrind-out-file=" + out, "--collect-atstart=no",
                               "--toggle-collect=IRQ*", lockstep, "--description", description, "--guarding",
                               std::to_string(guarding)},
                              work + "/callgrind-" + std::to_string(guarding) + ".txt");
  if (ended != 0) return std::nullopt;
  return ScmBench::CallgrindTotal(ReadText(out));
}

/// Adds the firmware's instructions per guarding cycle in IRQ (null without valgrind or a description).
void AddInstructions(json& r, const json& summary, const std::string& valgrind, const std::string& lockstep,
                     std::uint64_t cycles, const std::string& work) {
  r["cyclicInstructionsPerGuardingCycle"] = nullptr;
  const json& written = summary["domain"]["descriptionWritten"];
  if (valgrind.empty() || lockstep.empty() || cycles == 0 || !written.is_string() ||
      written.get<std::string>().empty()) {
    return;
  }
  const std::string description = written.get<std::string>();
  const std::optional<double> perCycle =
      ScmBench::InstructionsPerCycle(CallgrindIrq(valgrind, lockstep, description, cycles, work),
                                     CallgrindIrq(valgrind, lockstep, description, 0, work), cycles);
  r["cyclicInstructionsPerGuardingCycle"] = Opt(perCycle);
}

/// The valgrind on the PATH, empty when there is none.
std::string FindValgrind() {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/valgrind";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

/// A whole count or "-".
std::string Count(const json& v) { return v.is_number() ? std::to_string(v.get<long long>()) : "-"; }

/// The ratio column: the ratio, or "void" when late answers (or a missing count) void it.
std::string RatioText(const json& r) {
  if (!r["ratio"].is_number()) return "void";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", r["ratio"].get<double>());
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Measures the main job: scmdemo with uniform domains of ideal nodes.\n"
               "Exit status: 0 every run reached its goal, 1 a run failed, 5 bad options.",
               "scmbench"};
  std::vector<unsigned> counts{1, 4, 12};
  double guarding = 2.0;
  double timeLimit = 60.0;
  std::string output = "scmbench.json";
  std::string demo = SCM_BENCH_DEMO_PATH;
  std::string lockstep = SCM_BENCH_LOCKSTEP_PATH;
  app.add_option("-n,--nodes", counts, "node counts to measure (1 to 12)")->check(CLI::Range(1u, 12u))
      ->capture_default_str();
  app.add_option("--guarding", guarding, "seconds of guarding measured after the goal")->check(CLI::Range(0.1, 3600.0))
      ->capture_default_str();
  app.add_option("--time-limit", timeLimit, "time limit of each run")->check(CLI::Range(1.0, 3600.0))
      ->capture_default_str();
  app.add_option("-o,--output", output, "the machine-readable results")->capture_default_str();
  app.add_option("--demo", demo, "scmdemo to run")->capture_default_str();
  app.add_option("--lockstep", lockstep, "scmlockstep giving the reference count (empty: none)")
      ->capture_default_str();
  std::uint64_t callgrindCycles = 500;
  app.add_option("--callgrind-cycles", callgrindCycles,
                 "guarding cycles of scmlockstep under callgrind for the instructions per cycle (0: none)")
      ->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    if (code != 0) std::fputs("usage: scmbench [OPTIONS...]  (scmbench --help lists every option)\n", stderr);
    return code == 0 ? kOk : kBadOptions;
  }

  char pattern[] = "/tmp/scmbench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return kRunFailed;
  const std::string work = pattern;
  json results = json::array();
  int status = kOk;
  const std::string countLib = SCM_BENCH_ALLOC_COUNT_LIB;
  const std::string valgrind = callgrindCycles > 0 ? FindValgrind() : "";
  for (unsigned n : counts) {
    const std::string summary = work + "/summary-" + std::to_string(n) + ".json";
    const std::string log = work + "/output-" + std::to_string(n) + ".txt";
    std::string countDir;
    std::map<std::string, std::string> env;
    if (!countLib.empty()) {
      countDir = work + "/counts-" + std::to_string(n);
      std::filesystem::create_directories(countDir);
      env = {{"LD_PRELOAD", countLib}, {"SCM_ALLOC_COUNT_DIR", countDir}};
    }
    const std::optional<double> load = LoadAverage();
    WakeUpReference reference;
    const int ended = RunLogged(demo, {"--nodes", std::to_string(n), "--duration", std::to_string(guarding),
                                     "--time-limit", std::to_string(timeLimit), "--summary", summary,
                                     "--status-period", "0"},
                              log, env);
    const std::optional<double> perWakeUp = reference.Stop();
    std::ifstream in(summary);
    const json s = in ? json::parse(in, nullptr, false) : json();
    if (ended != 0 || s.is_discarded() || !s.is_object()) {
      std::ifstream l(log);
      std::fprintf(stderr, "scmbench: the run with %u node(s) ended with status %d:\n%s\n", n, ended,
                   std::string(std::istreambuf_iterator<char>(l), std::istreambuf_iterator<char>()).c_str());
      status = kRunFailed;
      if (!s.is_object()) continue;
    }
    json r = Measure(s, n, ended);
    r["loadAverage"] = Opt(load);
    r["referenceWakeUpSeconds"] = Opt(perWakeUp);
    AddWakeUpFloor(r);
    if (!AddReference(r, s, lockstep, work + "/lockstep-" + std::to_string(n) + ".txt")) status = kRunFailed;
    AddAllocations(r, countDir);
    AddInstructions(r, s, valgrind, lockstep, callgrindCycles, work);
    results.push_back(r);
  }
  std::filesystem::remove_all(work);

  std::printf("%5s %12s %10s %6s %10s %9s %12s %12s %12s %12s %12s %6s\n", "nodes", "last node", "lock-step",
              "ratio", "goal", "wall", "fw conf", "fw guard", "cyclic conf", "cyclic grd", "checker grd", "late");
  std::printf("%5s %12s %10s %6s %10s %9s %12s %12s %12s %12s %12s %6s\n", "", "(cycles)", "(cycles)", "", "(s)",
              "(s)", "(us/cycle)", "(us/cycle)", "(us/cycle)", "(us/cycle)", "(us/cycle)", "");
  for (const json& r : results) {
    const json& fw = r["cpuPerCycle"]["scmfirmware"];
    const json& ck = r["cpuPerCycle"]["scmchecker"];
    std::printf("%5u %12s %10s %6s %10.3f %9.3f %12s %12s %12s %12s %12s %6llu\n", r["nodes"].get<unsigned>(),
                r["lastNodeCycles"].is_number() ? std::to_string(r["lastNodeCycles"].get<long long>()).c_str() : "-",
                r["lockStepCycles"].is_number() ? std::to_string(r["lockStepCycles"].get<long long>()).c_str() : "-",
                RatioText(r).c_str(),
                Number(r["goalSeconds"]).value_or(0), Number(r["wallSeconds"]).value_or(0),
                Micros(Number(fw["configuration"])).c_str(), Micros(Number(fw["guarding"])).c_str(),
                Micros(Number(fw["cyclicConfiguration"])).c_str(), Micros(Number(fw["cyclicGuarding"])).c_str(),
                Micros(Number(ck["guarding"])).c_str(), r["lateAnswers"].get<unsigned long long>());
  }
  std::printf("CPU time from /proc schedstat; the checker has no cyclic task of its own to tell apart.\n"
              "ratio: last node's cycles / lock-step cycles of the same domain; late answers void it.\n\n");
  std::printf("%5s %12s %12s %12s %12s %12s %12s %14s %9s %9s %9s %9s %9s %9s %9s %6s\n", "nodes", "fw guard",
              "fw share", "checker grd", "checker shr", "fw allocs", "ck allocs", "IRQ instr", "fw wakes", "fw preem",
              "fw floor", "ck wakes", "ck preem", "ck floor", "wake-up", "load");
  std::printf("%5s %12s %12s %12s %12s %12s %12s %14s %9s %9s %9s %9s %9s %9s %9s %6s\n", "", "(us/cycle)",
              "(of 10 ms)", "(us/cycle)", "(of 10 ms)", "(after st.)", "(after st.)", "(per cycle)", "(/cycle)",
              "(/cycle)", "(us)", "(/cycle)", "(/cycle)", "(us)", "(us)", "(1 min)");
  for (const json& r : results) {
    const json& fw = r["cpuPerCycle"]["scmfirmware"];
    const json& ck = r["cpuPerCycle"]["scmchecker"];
    const json& a = r["allocations"];
    const json none;
    const json& fwAllocs = a.is_object() && a.contains("scmfirmware") ? a["scmfirmware"]["afterStart"] : none;
    const json& ckAllocs = a.is_object() && a.contains("scmchecker") ? a["scmchecker"]["afterStart"] : none;
    const json& ir = r["cyclicInstructionsPerGuardingCycle"];
    std::printf("%5u %12s %12s %12s %12s %12s %12s %14s %9s %9s %9s %9s %9s %9s %9s %6s\n", r["nodes"].get<unsigned>(),
                Micros(Number(fw["guarding"])).c_str(), Percent(Number(fw["guardingShareOfCycle"])).c_str(),
                Micros(Number(ck["guarding"])).c_str(), Percent(Number(ck["guardingShareOfCycle"])).c_str(),
                Count(fwAllocs).c_str(), Count(ckAllocs).c_str(),
                ir.is_number() ? std::to_string(std::llround(ir.get<double>())).c_str() : "-",
                Fixed(Number(fw["wakeUpsPerGuardingCycle"]), 2).c_str(),
                Fixed(Number(fw["preemptionsPerGuardingCycle"]), 2).c_str(),
                Micros(Number(fw["wakeUpFloorPerGuardingCycle"])).c_str(),
                Fixed(Number(ck["wakeUpsPerGuardingCycle"]), 2).c_str(),
                Fixed(Number(ck["preemptionsPerGuardingCycle"]), 2).c_str(),
                Micros(Number(ck["wakeUpFloorPerGuardingCycle"])).c_str(),
                Micros(Number(r["referenceWakeUpSeconds"])).c_str(), Fixed(Number(r["loadAverage"]), 1).c_str());
  }
  std::printf("share: CPU time per guarding cycle over the 10-ms cycle. allocs: allocations after the cyclic and\n"
              "check tasks started (preloaded counter; - when not built). IRQ instr: callgrind over scmlockstep\n"
              "of the same domain, the firmware's cyclic function per guarding cycle (- without valgrind).\n"
              "wakes: times a thread of the program went to sleep and was woken, per guarding cycle; preem: times\n"
              "one was preempted and put back (no wake-up of its own). wake-up: CPU time of one bare 10-ms timed\n"
              "wake-up of a thread during the run; floor: wakes x wake-up, what the wake-ups alone cost. load:\n"
              "load average when the run began.\n");
  std::ofstream out(output, std::ios::trunc);
  out << json{{"runs", results}, {"guardingSeconds", guarding}, {"callgrindCycles", callgrindCycles}}.dump(2) << "\n";
  if (!out.flush()) {
    std::fprintf(stderr, "scmbench: cannot write %s\n", output.c_str());
    return kRunFailed;
  }
  std::printf("results written to %s\n", output.c_str());
  return status;
}
