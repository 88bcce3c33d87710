#include "HostControlClient.h"

#include <unistd.h>

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

}  // namespace ScmSim
