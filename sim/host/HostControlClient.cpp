#include "HostControlClient.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "hostcall_protocol.h"

namespace ScmSim {

using namespace ScmHostCall;

std::pair<int, std::string> SendControl(const std::string& socket, const std::vector<std::string>& argv) {
  const int fd = ConnectUnix(socket.c_str());
  if (fd < 0) return {kControlUnreachable, "cannot reach the host at " + socket + "\n"};
  std::vector<uint8_t> body;
  Put32(body, SCM_HC_KIND_CONTROL);
  Put32(body, static_cast<uint32_t>(argv.size()));
  for (const std::string& a : argv) PutBlob(body, a.data(), a.size());
  std::vector<uint8_t> reply;
  const bool ok = SendFrame(fd, body) && ReceiveFrame(fd, reply);
  ::close(fd);
  if (!ok) return {kControlUnreachable, "the host closed the connection\n"};
  Reader r(reply.data(), reply.size());
  const uint32_t status = r.Get32();
  std::string text = r.GetString();
  if (!r.AtEnd()) return {kControlUnreachable, "malformed reply from the host\n"};
  return {static_cast<int>(status), text};
}

std::string RunDirectoryParent() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

std::vector<std::string> FindRunningDomains() {
  std::vector<std::string> found;
  std::error_code ec;
  const std::string prefix = kRunDirectoryPrefix;
  for (const auto& entry : std::filesystem::directory_iterator(RunDirectoryParent(), ec)) {
    if (entry.path().filename().string().compare(0, prefix.size(), prefix) != 0) continue;
    const std::filesystem::path socket = entry.path() / kRunSocketName;
    struct stat st;
    if (::lstat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != ::getuid()) continue;
    // a socket whose host is gone does not answer
    if (SendControl(socket.string(), {"domain"}).first == 0) found.push_back(socket.string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::optional<DomainIdentity> ParseDomainIdentity(const std::string& answer) {
  DomainIdentity id;
  std::istringstream words(answer);
  bool sdn = false, ns = false, socket = false;
  for (std::string word; words >> word;) {
    const size_t eq = word.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string key = word.substr(0, eq);
    const std::string value = word.substr(eq + 1);
    if (key == "sdn") {
      char* end = nullptr;
      const unsigned long v = std::strtoul(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || v < 1 || v > 1023) return std::nullopt;
      id.sdn = static_cast<unsigned>(v);
      sdn = true;
    } else if (key == "namespace") {
      id.simNamespace = value;
      ns = true;
    } else if (key == "socket") {
      id.socket = value;
      socket = true;
    }
  }
  if (!sdn || !ns || !socket) return std::nullopt;
  return id;
}

}  // namespace ScmSim
