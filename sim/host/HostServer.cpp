#include "HostServer.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "ScmHostSim.h"
#include "hostcall_protocol.h"

namespace ScmSim {

using namespace ScmHostCall;

HostServer::HostServer(HostSim& host, std::string path) : host_(host), path_(std::move(path)) {}

HostServer::~HostServer() { Stop(); }

void HostServer::Start() {
  sockaddr_un addr{};
  if (path_.empty() || path_.size() >= sizeof(addr.sun_path)) {
    throw std::runtime_error("host socket path empty or too long: " + path_);
  }
  struct stat st {};
  if (::lstat(path_.c_str(), &st) == 0) {
    const int probe = ConnectUnix(path_.c_str());
    if (probe >= 0) {
      ::close(probe);
      throw std::runtime_error("another host serves " + path_);
    }
    if (!S_ISSOCK(st.st_mode)) throw std::runtime_error(path_ + " exists and is no socket");
    ::unlink(path_.c_str());
  }
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path_.c_str());
  if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 ||
      ::listen(listenFd_, 64) != 0) {
    const std::string why = std::strerror(errno);
    ::close(listenFd_);
    listenFd_ = -1;
    throw std::runtime_error("cannot serve " + path_ + ": " + why);
  }
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
  acceptThread_ = std::thread(&HostServer::AcceptLoop, this);
}

void HostServer::Stop() {
  if (listenFd_ < 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (Connection& c : connections_) ::shutdown(c.fd, SHUT_RDWR);
  }
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t k = ::write(wakeFd_, &one, sizeof(one));
  if (acceptThread_.joinable()) acceptThread_.join();
  for (Connection& c : connections_) {
    if (c.thread.joinable()) c.thread.join();
    ::close(c.fd);
  }
  connections_.clear();
  ::close(listenFd_);
  ::close(wakeFd_);
  listenFd_ = -1;
  wakeFd_ = -1;
  ::unlink(path_.c_str());
}

void HostServer::ReapFinished() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (it->done.load()) {
      it->thread.join();
      ::close(it->fd);
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void HostServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    const int r = ::poll(fds, 2, 1000);
    if (r < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    ReapFinished();
    if (r <= 0 || (fds[0].revents & POLLIN) == 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ucred cred{};
    socklen_t len = sizeof(cred);
    ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len);
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::close(fd);
      return;
    }
    Connection& c = connections_.emplace_back();
    c.fd = fd;
    c.pid = cred.pid;
    c.thread = std::thread(&HostServer::ServeConnection, this, &c);
  }
}

void HostServer::ServeConnection(Connection* c) {
  std::vector<uint8_t> body;
  while (ReceiveFrame(c->fd, body)) {
    if (!HandleFrame(c, body)) break;
  }
  ::shutdown(c->fd, SHUT_RDWR);
  c->done.store(true);
}

bool HostServer::HandleFrame(Connection* c, const std::vector<uint8_t>& body) {
  Reader r(body.data(), body.size());
  const uint32_t kind = r.Get32();
  std::vector<uint8_t> reply;
  if (kind == SCM_HC_KIND_CONTROL) {
    const uint32_t argc = r.Get32();
    std::vector<std::string> argv;
    for (uint32_t i = 0; i < argc && r.Ok(); ++i) argv.push_back(r.GetString());
    if (!r.AtEnd()) return false;
    const auto [status, text] = host_.Control(argv);
    Put32(reply, static_cast<uint32_t>(status));
    PutBlob(reply, text.data(), text.size());
    return SendFrame(c->fd, reply);
  }
  if (kind != SCM_HC_KIND_CALL) return false;

  HostSim::CallIn in;
  in.number = r.Get32();
  in.pid = c->pid;
  in.fd = c->fd;
  for (uint32_t& w : in.w) w = r.Get32();
  const CallLayout* layout = FindCall(in.number);
  if (layout == nullptr) return false;
  for (const ArgLayout& a : layout->args) {
    if (a.kind == ArgKind::InString) {
      in.str = r.GetString();
      if (in.str.size() > SCM_HC_MAX_NAME) return false;
    } else if (a.kind == ArgKind::InBuffer) {
      in.in = r.GetBlob();
      if (in.in.size() != in.w[a.sizeWord]) return false;
    }
  }
  if (!r.AtEnd()) return false;

  const HostSim::CallOut out = host_.Serve(in);
  Put32(reply, static_cast<uint32_t>(out.result));
  Put32(reply, out.result == -1 ? out.err : 0u);
  if (out.result != -1) {
    for (int i = 0; i < 8; ++i) {
      const ArgLayout& a = layout->args[i];
      switch (a.kind) {
        case ArgKind::OutWord:
          Put32(reply, out.words[i]);
          break;
        case ArgKind::OutUdid:
          reply.insert(reply.end(), out.udid.begin(), out.udid.end());
          break;
        case ArgKind::OutByte:
          reply.push_back(out.byte);
          break;
        case ArgKind::OutBuffer:
          PutBlob(reply, out.buffer.data(), out.buffer.size());
          break;
        default:
          break;
      }
    }
  }
  return SendFrame(c->fd, reply);
}

}  // namespace ScmSim
