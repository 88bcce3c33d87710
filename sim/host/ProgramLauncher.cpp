#include "ProgramLauncher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <sys/wait.h>

#include <cerrno>

namespace ScmSim {

ProgramLauncher::ProgramLauncher() : thread_(&ProgramLauncher::Serve, this) {}

ProgramLauncher::~ProgramLauncher() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

pid_t ProgramLauncher::Spawn(const char* path, char* const* argv, char* const* envp, int stdoutFd) {
  std::lock_guard<std::mutex> caller(callers_);
  pid_t pid = -1;
  int error = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  request_ = [&] { pid = ForkExec(path, argv, envp, stdoutFd, &error); };
  done_ = false;
  changed_.notify_all();
  changed_.wait(lock, [this] { return done_; });
  if (pid < 0) errno = error;
  return pid;
}

void ProgramLauncher::Serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || request_; });
    if (request_) {
      request_();
      request_ = nullptr;
      done_ = true;
      changed_.notify_all();
      continue;
    }
    if (stopping_) return;
  }
}

pid_t ProgramLauncher::ForkExec(const char* path, char* const* argv, char* const* envp, int stdoutFd, int* error) {
  // the child reports a failed exec over this pipe; a successful exec closes it empty
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    *error = errno;
    return -1;
  }
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) {
    *error = errno;
    ::close(report[0]);
    ::close(report[1]);
    return -1;
  }
  if (pid == 0) {
    // only async-signal-safe calls from here on
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);  // the host went before the request took
    if (stdoutFd != STDOUT_FILENO) ::dup2(stdoutFd, STDOUT_FILENO);
    // the host may block or catch signals in its threads; its programs start with the defaults
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) ::sigaction(sig, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(path, argv, envp);
    const int failed = errno;
    ssize_t ignored = ::write(report[1], &failed, sizeof failed);
    (void)ignored;
    ::_exit(127);
  }
  ::close(report[1]);
  int failed = 0;
  ssize_t got = 0;
  do {
    got = ::read(report[0], &failed, sizeof failed);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got == static_cast<ssize_t>(sizeof failed)) {
    // exec failed: the child is gone already; reap it so it leaves no zombie
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    *error = failed;
    return -1;
  }
  return pid;
}

}  // namespace ScmSim
