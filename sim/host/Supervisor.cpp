#include "Supervisor.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "rtp_emulator.h"

extern char** environ;

namespace ScmSim {

Supervisor::Supervisor(std::map<std::string, std::string> environment)
    : environment_(std::move(environment)) {}

Supervisor::~Supervisor() { StopAll(); }

int Supervisor::Start(const std::string& path, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& extraEnvironment) {
  auto p = std::make_unique<Program>();
  p->info.path = path;
  p->info.args = args;
  p->env = extraEnvironment;
  std::lock_guard<std::mutex> lock(mutex_);
  p->info.id = nextId_;
  if (!Launch(*p)) return -1;
  ++nextId_;
  const int id = p->info.id;
  programs_[id] = std::move(p);
  return id;
}

bool Supervisor::Launch(Program& p) {
  // Called with mutex_ held; the previous watcher (if any) has finished.
  if (p.watcher.joinable()) p.watcher.join();
  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq != nullptr) env[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
  }
  for (const auto& [k, v] : environment_) env[k] = v;
  for (const auto& [k, v] : p.env) env[k] = v;
  std::vector<std::string> envStrings;
  for (const auto& [k, v] : env) envStrings.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  // a cross build's program runs under the emulator the environment names
  std::vector<std::string> argStrings = ScmSimProgramCommand(p.info.path, p.info.args);
  std::vector<char*> argv;
  for (std::string& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  // Checked here rather than left to posix_spawn: under user-mode emulation its
  // child's failed exec is not reported back and the start would seem to succeed.
  if (::access(argv[0], X_OK) != 0) return false;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  // forked on the launcher's thread: the program dies with the host, even with a SIGKILL
  const pid_t pid = launcher_.Spawn(argv[0], argv.data(), envp.data(), fds[1]);
  const int rc = pid < 0 ? -1 : 0;
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return false;
  }
  p.info.pid = pid;
  p.info.running = true;
  p.info.exitStatus.reset();
  ++p.info.starts;
  p.watcher = std::thread(&Supervisor::Watch, this, &p, pid, fds[0]);
  return true;
}

void Supervisor::Watch(Program* p, pid_t pid, int readFd) {
  // Reaps the process even when something it started keeps its output open.
  char buf[4096];
  auto append = [&](ssize_t k) {
    std::lock_guard<std::mutex> lock(mutex_);
    p->info.output.append(buf, static_cast<size_t>(k));
    changed_.notify_all();
  };
  int status = 0;
  bool reaped = false;
  bool open = true;
  while (!reaped) {
    if (open) {
      pollfd pfd{readFd, POLLIN, 0};
      if (::poll(&pfd, 1, 50) > 0) {
        const ssize_t k = ::read(readFd, buf, sizeof(buf));
        if (k > 0) {
          append(k);
          continue;
        }
        if (k == 0 || errno != EINTR) open = false;
      }
    }
    const pid_t r = ::waitpid(pid, &status, open ? WNOHANG : 0);
    reaped = r == pid || (r < 0 && errno != EINTR);
  }
  // what the process wrote before it ended
  ::fcntl(readFd, F_SETFL, O_NONBLOCK);
  for (ssize_t k; open && (k = ::read(readFd, buf, sizeof(buf))) > 0;) append(k);
  ::close(readFd);
  std::lock_guard<std::mutex> lock(mutex_);
  p->info.running = false;
  p->info.exitStatus = status;
  changed_.notify_all();
}

bool Supervisor::Stop(int id, std::chrono::milliseconds grace) {
  pid_t pid = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = programs_.find(id);
    if (it == programs_.end()) return false;
    it->second->info.stopped = true;
    if (!it->second->info.running) return true;
    pid = it->second->info.pid;
    ::kill(pid, SIGTERM);
  }
  if (WaitExit(id, grace)) return true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = programs_.find(id);
    if (it->second->info.running && it->second->info.pid == pid) ::kill(pid, SIGKILL);
  }
  return WaitExit(id, std::chrono::milliseconds(10000));
}

bool Supervisor::WaitExit(int id, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto it = programs_.find(id);
  if (it == programs_.end()) return false;
  Program* p = it->second.get();
  return changed_.wait_for(lock, timeout, [p] { return !p->info.running; });
}

bool Supervisor::WaitOutput(int id, const std::string& text, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto it = programs_.find(id);
  if (it == programs_.end()) return false;
  Program* p = it->second.get();
  return changed_.wait_for(lock, timeout,
                           [p, &text] { return p->info.output.find(text) != std::string::npos; });
}

std::optional<ProgramInfo> Supervisor::Info(int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = programs_.find(id);
  if (it == programs_.end()) return std::nullopt;
  return it->second->info;
}

std::vector<ProgramInfo> Supervisor::All() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ProgramInfo> all;
  for (const auto& [id, p] : programs_) all.push_back(p->info);
  return all;
}

void Supervisor::KillAll() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (auto& [id, p] : programs_) {
    if (p->info.running) ::kill(p->info.pid, SIGKILL);
  }
  changed_.wait(lock, [this] {
    for (auto& [id, p] : programs_) {
      if (p->info.running) return false;
    }
    return true;
  });
}

void Supervisor::RestartAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [id, p] : programs_) {
    if (!p->info.stopped && !p->info.running) Launch(*p);
  }
}

void Supervisor::StopAll() {
  std::vector<int> ids;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, p] : programs_) ids.push_back(id);
  }
  for (int id : ids) Stop(id, std::chrono::milliseconds(1000));
  std::vector<std::thread> watchers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, p] : programs_) {
      if (p->watcher.joinable()) watchers.push_back(std::move(p->watcher));
    }
  }
  for (std::thread& t : watchers) t.join();
}

}  // namespace ScmSim
