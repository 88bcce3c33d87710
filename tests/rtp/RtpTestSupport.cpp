#include "RtpTestSupport.h"

#include <chrono>
#include <thread>

#include "rtp_emulator.h"

namespace rtptest {

RunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  int out[2];
  if (pipe(out) != 0) {
    return {-1, ""};
  }
  std::vector<std::string> command = ScmSimProgramCommand(argv.front(), {argv.begin() + 1, argv.end()});
  std::vector<char*> args = ScmSimArgv(command);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    for (const std::string& setting : env) {
      const size_t eq = setting.find('=');
      setenv(setting.substr(0, eq).c_str(), setting.substr(eq + 1).c_str(), 1);
    }
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  std::string output;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = read(out[0], buffer, sizeof(buffer))) > 0) {
    output.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

bool WaitFor(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kChildTimeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace rtptest
