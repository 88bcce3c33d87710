#include "DemoProcess.h"

#include "DemoSpawn.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace ScmDemoTest {

namespace {

/// A run that has not ended by then is killed: no test waits for ever.
constexpr std::chrono::seconds kRunCeiling{180};

}  // namespace

DemoProcess::DemoProcess(std::string demoPath, const std::string& tag) : demo_(std::move(demoPath)) {
  static std::atomic<int> counter{0};
  directory_ = "/tmp/scmdemo-" + tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  std::filesystem::create_directories(directory_);
  summary_ = directory_ + "/summary.json";
}

DemoProcess::~DemoProcess() {
  std::error_code ec;
  std::filesystem::remove_all(directory_, ec);
}

Ended DemoProcess::Run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                       int signal, const std::function<bool(pid_t)>& signalWhen) const {
  const std::string log = directory_ + "/output.txt";
  std::error_code ec;
  std::filesystem::remove(summary_, ec);
  Ended ended;
  std::vector<std::string> all{demo_, "--summary", summary_};
  all.insert(all.end(), args.begin(), args.end());
  ended.pid = ScmDemo::SpawnLogged(all, log, env);
  if (ended.pid < 0) return ended;
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + kRunCeiling;
  bool signalled = signal == 0;
  pid_t done = 0;
  while ((done = ::waitpid(ended.pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end) {
    // the run is still there (not reaped), so its pid names it alone
    if (!signalled && (!signalWhen || signalWhen(ended.pid))) {
      ::kill(ended.pid, signal);
      signalled = true;
      continue;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (done == 0) {
    ::kill(ended.pid, SIGKILL);
    ::waitpid(ended.pid, &status, 0);
  }
  if (WIFEXITED(status)) ended.status = WEXITSTATUS(status);
  std::ifstream in(log);
  ended.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return ended;
}

bool DemoProcess::HasSummary() const { return std::filesystem::exists(summary_); }

nlohmann::json DemoProcess::Summary() const {
  std::ifstream in(summary_);
  if (!in) return nlohmann::json::object();
  return nlohmann::json::parse(in, nullptr, false);
}

std::vector<TraceFields> DemoProcess::ReadTrace(const std::string& path) {
  std::vector<TraceFields> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    TraceFields fields;
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
      const size_t eq = word.find('=');
      if (eq != std::string::npos) fields[word.substr(0, eq)] = word.substr(eq + 1);
    }
    lines.push_back(std::move(fields));
  }
  return lines;
}

std::string DemoProcess::Tail(const std::string& path, size_t count) {
  std::ifstream in(path);
  std::deque<std::string> last;
  std::string line;
  while (std::getline(in, line)) {
    last.push_back(line);
    if (last.size() > count) last.pop_front();
  }
  std::string text;
  for (const std::string& l : last) text += l + "\n";
  return text;
}

std::vector<std::string> DemoProcess::Leftovers(pid_t pid) {
  std::vector<std::string> left;
  const std::string ns = "scmdemo" + std::to_string(pid) + ".";
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm")) {
    if (e.path().filename().string().find(ns) != std::string::npos) left.push_back(e.path());
  }
  return left;
}

std::vector<std::string> DemoProcess::ProgramsOf(pid_t pid) {
  const std::string wanted = "SCM_SIM_NAMESPACE=scmdemo" + std::to_string(pid);
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
    std::ifstream in(e.path() / "environ");
    std::string entry;
    while (std::getline(in, entry, '\0')) {
      if (entry == wanted) found.push_back(e.path().filename().string());
    }
  }
  return found;
}

}  // namespace ScmDemoTest
