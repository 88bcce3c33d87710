// The host-call seam: rtpSyscall marshals each call by its argument table to
// the host-runtime simulator over the Unix socket named by SCM_SIM_HOST_SOCKET.
//
// Each thread keeps its own connection, so that a call that blocks (waiting
// for a host condition) stalls only the task that made it. A connection made
// before a fork or to an earlier host is noticed and replaced.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "hostcall_protocol.h"
#include "rtp_runlock.h"
#include "vxworks.h"

namespace ScmHostCall {

bool SendAll(int fd, const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    const ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return false;
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

bool ReceiveAll(int fd, void* data, size_t n) {
  auto* p = static_cast<uint8_t*>(data);
  while (n > 0) {
    const ssize_t k = ::recv(fd, p, n, 0);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return false;
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

bool SendFrame(int fd, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> frame;
  frame.reserve(body.size() + 4);
  Put32(frame, static_cast<uint32_t>(body.size()));
  frame.insert(frame.end(), body.begin(), body.end());
  return SendAll(fd, frame.data(), frame.size());
}

bool ReceiveFrame(int fd, std::vector<uint8_t>& body) {
  uint8_t len[4];
  if (!ReceiveAll(fd, len, 4)) return false;
  const uint32_t n = static_cast<uint32_t>(len[0]) | (static_cast<uint32_t>(len[1]) << 8) |
                     (static_cast<uint32_t>(len[2]) << 16) | (static_cast<uint32_t>(len[3]) << 24);
  if (n > SCM_HC_MAX_FRAME) return false;
  body.resize(n);
  return n == 0 || ReceiveAll(fd, body.data(), n);
}

int ConnectUnix(const char* path) {
  sockaddr_un addr{};
  if (path == nullptr || std::strlen(path) >= sizeof(addr.sun_path)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace ScmHostCall

namespace {

using namespace ScmHostCall;

/// The calling thread's connection to the host.
struct Connection {
  int fd = -1;        ///< socket, -1 = none
  pid_t owner = 0;    ///< process that made it (a forked child must not share it)
  std::string path;   ///< socket path it was made to
  ~Connection() { Drop(); }
  void Drop() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

thread_local Connection tConnection;

/// True when an idle connection was closed by its peer (a request/reply stream never has unread data).
bool IsStale(int fd) {
  pollfd p{fd, POLLIN | POLLRDHUP, 0};
  const int r = ::poll(&p, 1, 0);
  return r != 0;
}

/// The thread's live connection to the host of SCM_SIM_HOST_SOCKET, -1 when unreachable.
int HostConnection() {
  const char* path = std::getenv("SCM_SIM_HOST_SOCKET");
  if (path == nullptr || *path == '\0') return -1;
  Connection& c = tConnection;
  if (c.fd >= 0) {
    if (c.owner != ::getpid()) {
      // inherited through fork: the parent still uses this socket, so only forget it here
      ::close(c.fd);
      c.fd = -1;
    } else if (c.path != path || IsStale(c.fd)) {
      c.Drop();
    }
  }
  if (c.fd < 0) {
    c.fd = ConnectUnix(path);
    c.owner = ::getpid();
    c.path = path;
  }
  return c.fd;
}

/// Fails the call without sending or copying anything.
_Vx_usr_arg_t Refuse() {
  errno = SCM_ERRNO_HOST_CALL;
  return -1;
}

/// Low 32 bits of a word: values are u32 zero-extended to words.
uint32_t Low32(_Vx_usr_arg_t w) { return static_cast<uint32_t>(static_cast<uintptr_t>(w)); }

}  // namespace

_Vx_usr_arg_t rtpSyscall(_Vx_usr_arg_t w0, _Vx_usr_arg_t w1, _Vx_usr_arg_t w2, _Vx_usr_arg_t w3,
                         _Vx_usr_arg_t w4, _Vx_usr_arg_t w5, _Vx_usr_arg_t w6, _Vx_usr_arg_t w7,
                         int number) {
  const CallLayout* layout = FindCall(static_cast<uint32_t>(number));
  if (layout == nullptr) return Refuse();
  const _Vx_usr_arg_t words[8] = {w0, w1, w2, w3, w4, w5, w6, w7};

  // Check every address and length before anything is sent.
  std::vector<uint8_t> body;
  Put32(body, SCM_HC_KIND_CALL);
  Put32(body, layout->number);
  for (int i = 0; i < 8; ++i) {
    Put32(body, layout->args[i].kind == ArgKind::Value ? Low32(words[i]) : 0u);
  }
  for (int i = 0; i < 8; ++i) {
    const ArgLayout& a = layout->args[i];
    const void* addr = reinterpret_cast<const void*>(words[i]);
    switch (a.kind) {
      case ArgKind::InString: {
        if (addr == nullptr) return Refuse();
        const size_t n = ::strnlen(static_cast<const char*>(addr), SCM_HC_MAX_NAME + 1);
        if (n > SCM_HC_MAX_NAME) return Refuse();
        PutBlob(body, addr, n);
        break;
      }
      case ArgKind::InBuffer: {
        const uint32_t n = Low32(words[a.sizeWord]);
        if (n > SCM_HC_MAX_FRAME / 2) return Refuse();
        if (addr == nullptr && n > 0) return Refuse();
        PutBlob(body, addr, n);
        break;
      }
      case ArgKind::OutBuffer:
        if (addr == nullptr && Low32(words[a.sizeWord]) > 0) return Refuse();
        break;
      case ArgKind::OutWord:
      case ArgKind::OutUdid:
      case ArgKind::OutByte:
        if (addr == nullptr) return Refuse();
        break;
      case ArgKind::None:
      case ArgKind::Value:
        break;
    }
  }

  const int fd = HostConnection();
  if (fd < 0) return Refuse();
  const bool blocking = layout->number == SCM_HC_WAIT_FOR_CONDITION;
  if (blocking) ScmSimBlockingBegin();
  std::vector<uint8_t> reply;
  const bool exchanged = SendFrame(fd, body) && ReceiveFrame(fd, reply);
  if (blocking) ScmSimBlockingEnd();
  if (!exchanged) {
    tConnection.Drop();
    return Refuse();
  }

  // Parse the whole reply and check it fits before copying anything to the caller.
  Reader r(reply.data(), reply.size());
  const int32_t result = static_cast<int32_t>(r.Get32());
  const uint32_t err = r.Get32();
  struct Copy {
    void* to;            ///< caller's address
    const uint8_t* from; ///< reply bytes
    size_t n;            ///< byte count
  };
  std::vector<Copy> copies;
  uint32_t outWords[8] = {};
  if (result != -1) {
    for (int i = 0; i < 8; ++i) {
      const ArgLayout& a = layout->args[i];
      void* addr = reinterpret_cast<void*>(words[i]);
      switch (a.kind) {
        case ArgKind::OutWord: {
          // the caller's word is in this machine's byte order; the wire is little-endian
          const uint32_t v = r.Get32();
          outWords[i] = v;
          copies.push_back({addr, reinterpret_cast<const uint8_t*>(&outWords[i]), 4});
          break;
        }
        case ArgKind::OutUdid:
          copies.push_back({addr, r.GetBytes(SCM_HC_UDID_SIZE), SCM_HC_UDID_SIZE});
          break;
        case ArgKind::OutByte:
          copies.push_back({addr, r.GetBytes(1), 1});
          break;
        case ArgKind::OutBuffer: {
          const uint32_t n = r.Get32();
          if (n > Low32(words[a.sizeWord])) return Refuse();
          copies.push_back({addr, r.GetBytes(n), n});
          break;
        }
        default:
          break;
      }
    }
  }
  if (!r.AtEnd()) {
    tConnection.Drop();
    return Refuse();
  }
  for (const Copy& c : copies) {
    if (c.n > 0) std::memcpy(c.to, c.from, c.n);
  }
  if (result == -1) errno = static_cast<int>(err);
  return static_cast<_Vx_usr_arg_t>(result);
}
