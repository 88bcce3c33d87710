#include "DemoSpawn.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace ScmDemo {

pid_t SpawnLogged(const std::vector<std::string>& argv, const std::string& log,
                  const std::map<std::string, std::string>& env) {
  if (argv.empty()) return -1;
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
  if (std::freopen(log.c_str(), "w", stdout) == nullptr) ::_exit(127);
  ::dup2(::fileno(stdout), STDERR_FILENO);
  std::vector<std::string> args = argv;
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  ::execv(pointers[0], pointers.data());
  ::_exit(127);
}

}  // namespace ScmDemo
