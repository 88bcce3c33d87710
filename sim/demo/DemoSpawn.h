// Starts a program as a child process with its standard output and error in a
// log file: the benchmark and the tests run scmdemo this way.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace ScmDemo {

/// Starts argv[0] with argv and the extra environment, output and errors to log; the child's pid, or -1.
pid_t SpawnLogged(const std::vector<std::string>& argv, const std::string& log,
                  const std::map<std::string, std::string>& env = {});

}  // namespace ScmDemo
