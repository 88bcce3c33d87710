#include "DemoOutputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ScmDemo {

std::string CheckWritable(const std::string& what, const std::string& path) {
  const std::string refused = "cannot write the " + what + " " + path + ": ";
  struct stat st;
  const bool existed = ::stat(path.c_str(), &st) == 0;
  if (existed && S_ISDIR(st.st_mode)) return refused + "it is a directory";
  // opened for appending, so an existing file keeps its bytes; a new one is removed again
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return refused + std::strerror(errno);
  ::close(fd);
  if (!existed) ::unlink(path.c_str());
  return "";
}

std::string CheckOutputs(const std::vector<std::pair<std::string, std::string>>& outputs) {
  for (const auto& [what, path] : outputs) {
    if (path.empty()) continue;
    std::string refused = CheckWritable(what, path);
    if (!refused.empty()) return refused;
  }
  return "";
}

}  // namespace ScmDemo
