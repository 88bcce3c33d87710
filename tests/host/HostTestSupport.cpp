#include "HostTestSupport.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hosttest {

void HostTest::SetUp() {
  static int counter = 0;
  ns_ = "hosttest" + std::to_string(getpid()) + "n" + std::to_string(++counter);
  char tmpl[] = "/tmp/scmhosttest.XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  dir_ = tmpl;
  config_.sdn = kSdn;
  config_.socketPath = dir_ + "/host.sock";
  config_.storageDir = dir_ + "/storage";
  config_.simNamespace = ns_;
  Configure(config_);
  host_ = std::make_unique<ScmSim::HostSim>(config_);
  host_->Start();
}

void HostTest::TearDown() {
  if (host_) host_->Stop();
  EXPECT_EQ(ObjectsLeft(), 0) << "the host left shared-memory objects";
  EXPECT_FALSE(std::filesystem::exists(config_.socketPath)) << "the host left its socket";
  host_.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

int HostTest::ObjectsLeft() const {
  int n = 0;
  const std::string prefix = "scmsim." + ns_ + ".";
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec)) {
    if (e.path().filename().string().rfind(prefix, 0) == 0) ++n;
  }
  return n;
}

Child::Child(const std::function<int(Child&)>& body) {
  int fds[2];
  if (pipe(fds) != 0) return;
  readFd_ = fds[0];
  writeFd_ = fds[1];
  pid_ = fork();
  if (pid_ == 0) {
    ::close(readFd_);
    const int status = body(*this);
    _exit(status);
  }
  ::close(writeFd_);
  writeFd_ = -1;
}

Child::~Child() {
  if (pid_ > 0 && !reaped_) Kill();
  if (readFd_ >= 0) ::close(readFd_);
}

void Child::Tell(uint32_t word) {
  [[maybe_unused]] const ssize_t k = ::write(writeFd_, &word, sizeof(word));
}

std::optional<uint32_t> Child::Hear(int timeoutMs) {
  pollfd p{readFd_, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
  uint32_t word = 0;
  if (::read(readFd_, &word, sizeof(word)) != static_cast<ssize_t>(sizeof(word))) return std::nullopt;
  return word;
}

void Child::Kill() {
  if (pid_ <= 0 || reaped_) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  reaped_ = true;
}

int Child::Wait(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      reaped_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  Kill();
  return -1;
}

bool Eventually(const std::function<bool()>& pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace hosttest
