// The host-call seam: rtpSyscall marshals each call by its argument table to
// the host-runtime simulator over the Unix socket named by SCM_SIM_HOST_SOCKET.
//
// Each thread keeps its own connection, so that a call that blocks (waiting
// for a host condition) stalls only the task that made it. A connection made
// before a fork or to an earlier host is noticed and replaced. No call
// allocates: requests are laid out in a fixed buffer with the callers'
// in-buffers sent from where they are, replies are read straight from the
// socket. The microsecond counter (0x80) comes from the host's counter page
// without a round trip while the host keeps one (hostclock.h).
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <poll.h>
#include <pthread.h>
#include <sys/uio.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "hostcall_protocol.h"
#include "hostclock.h"
#include "rtp_internal.h"
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

/// Bytes of a request before its in-arguments: kind, number and the eight words.
constexpr size_t kRequestHead = 4 * 10;
/// Bytes of a reply's fixed start: result and errno.
constexpr size_t kReplyHead = 8;
/// Room for the length word, the request head and one in-string with its length.
constexpr size_t kRequestRoom = 4 + kRequestHead + 4 + SCM_HC_MAX_NAME;
/// Pieces of a request: its own bytes between the callers' in-buffers.
constexpr int kMaxPieces = 2 * 8 + 1;

/// The calling thread's connection to the host. Trivially destructible on
/// purpose: a thread-local with a destructor registers it at first use, and
/// that registration allocates, in whatever task makes its first host call.
struct Connection {
  int fd = -1;                      ///< socket, -1 = none
  pid_t owner = 0;                  ///< process that made it (a forked child must not share it)
  char path[sizeof(sockaddr_un::sun_path)] = {};  ///< socket path it was made to
  void Drop() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

thread_local Connection tConnection;

/// Key whose destructor closes a thread's connection when the thread ends
/// (its first-level slots need no allocation).
pthread_key_t gCloseKey;
/// Creates gCloseKey once per process.
pthread_once_t gCloseKeyOnce = PTHREAD_ONCE_INIT;

void CloseAtThreadExit(void* connection) { static_cast<Connection*>(connection)->Drop(); }
void MakeCloseKey() { (void)pthread_key_create(&gCloseKey, CloseAtThreadExit); }

/// True when an idle connection was closed by its peer (a request/reply stream never has unread data).
bool IsStale(int fd) {
  pollfd p{fd, POLLIN | POLLRDHUP, 0};
  const int r = ::poll(&p, 1, 0);
  return r != 0;
}

/// The thread's live connection to the host at path, -1 when unreachable.
int HostConnection(const char* path) {
  Connection& c = tConnection;
  if (c.fd >= 0) {
    if (c.owner != static_cast<pid_t>(scmsim::SelfPid())) {
      // inherited through fork: the parent still uses this socket, so only forget it here
      ::close(c.fd);
      c.fd = -1;
    } else if (std::strcmp(c.path, path) != 0 || IsStale(c.fd)) {
      c.Drop();
    }
  }
  if (c.fd < 0 && std::strlen(path) < sizeof(c.path)) {
    c.fd = ConnectUnix(path);
    c.owner = static_cast<pid_t>(scmsim::SelfPid());
    std::strcpy(c.path, path);
    (void)pthread_once(&gCloseKeyOnce, MakeCloseKey);
    (void)pthread_setspecific(gCloseKey, &c);
  }
  return c.fd;
}

/// The host's socket path, null when none is configured.
const char* HostSocketPath() {
  const char* path = scmsim::ReadSetting(scmsim::Setting::HostSocket);
  return path != nullptr && *path != '\0' ? path : nullptr;
}

/// Fails the call without sending or copying anything.
_Vx_usr_arg_t Refuse() {
  errno = SCM_ERRNO_HOST_CALL;
  return -1;
}

/// Low 32 bits of a word: values are u32 zero-extended to words.
uint32_t Low32(_Vx_usr_arg_t w) { return static_cast<uint32_t>(static_cast<uintptr_t>(w)); }

/// Writes a little-endian u32 at p.
void Store32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

/// A little-endian u32 at p.
uint32_t Load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

/// A request laid out without copying the callers' in-buffers: its own bytes
/// (length word, head, string and buffer lengths) in a fixed buffer, the
/// in-buffers as pieces of their own.
struct Request {
  uint8_t own[kRequestRoom];   ///< the request's own bytes
  size_t used = 0;             ///< bytes of own in use
  iovec pieces[kMaxPieces];    ///< the frame in order
  int count = 0;               ///< pieces in use
  size_t pieceStart = 0;       ///< start in own of the piece being filled
  uint64_t total = 0;          ///< frame bytes after the length word

  /// Appends bytes of its own (room is checked by the caller's layout).
  void Own(const void* data, size_t n) {
    std::memcpy(own + used, data, n);
    used += n;
  }
  void Own32(uint32_t v) {
    Store32(own + used, v);
    used += 4;
  }
  /// Closes the own piece being filled and adds a caller's buffer as the next piece.
  void Borrow(const void* data, size_t n) {
    CloseOwn();
    if (n > 0) pieces[count++] = iovec{const_cast<void*>(data), n};
  }
  /// Ends the own piece being filled.
  void CloseOwn() {
    if (used > pieceStart) pieces[count++] = iovec{own + pieceStart, used - pieceStart};
    pieceStart = used;
  }
};

/// Sends every piece; false on any failure (never raises SIGPIPE).
bool SendPieces(int fd, iovec* pieces, int count) {
  int first = 0;
  while (first < count) {
    msghdr m{};
    m.msg_iov = pieces + first;
    m.msg_iovlen = static_cast<size_t>(count - first);
    const ssize_t k = ::sendmsg(fd, &m, MSG_NOSIGNAL);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return false;
    size_t sent = static_cast<size_t>(k);
    while (first < count && sent >= pieces[first].iov_len) {
      sent -= pieces[first].iov_len;
      ++first;
    }
    if (first < count) {
      pieces[first].iov_base = static_cast<uint8_t*>(pieces[first].iov_base) + sent;
      pieces[first].iov_len -= sent;
    }
  }
  return true;
}

/// Small outs of a reply, held until the whole reply is read and checked.
struct HeldOut {
  void* to = nullptr;  ///< caller's address
  uint8_t bytes[8];    ///< the value in the caller's layout
  size_t n = 0;        ///< byte count
};

/// Bytes of a small out argument, 0 for any other kind.
size_t SmallOutSize(ArgKind kind) {
  switch (kind) {
    case ArgKind::OutWord:
      return 4;
    case ArgKind::OutUdid:
      return SCM_HC_UDID_SIZE;
    case ArgKind::OutByte:
      return 1;
    default:
      return 0;
  }
}

/// True when the out arguments after index i are small ones only; *bytes their sum.
bool OnlySmallOutsAfter(const CallLayout& layout, int i, uint64_t* bytes) {
  *bytes = 0;
  for (int k = i + 1; k < 8; ++k) {
    if (layout.args[k].kind == ArgKind::OutBuffer) return false;
    *bytes += SmallOutSize(layout.args[k].kind);
  }
  return true;
}

/// Reads the reply of a call straight from the socket: result, errno, then
/// the outs in order. Small outs are held and copied to the caller only once
/// the whole reply proved sound. An out-buffer's bytes go straight into the
/// caller's buffer, and only after the frame's length showed that exactly
/// they and the small outs behind them follow, within the caller's capacity;
/// so a malformed reply copies nothing. False when the reply is malformed
/// (the caller drops the connection).
bool ReadReply(int fd, const CallLayout& layout, const _Vx_usr_arg_t words[8], int32_t* result, uint32_t* err) {
  uint8_t word[4];
  if (!ReceiveAll(fd, word, 4)) return false;
  uint64_t remaining = Load32(word);
  if (remaining > SCM_HC_MAX_FRAME || remaining < kReplyHead) return false;
  uint8_t head[kReplyHead];
  if (!ReceiveAll(fd, head, kReplyHead)) return false;
  remaining -= kReplyHead;
  *result = static_cast<int32_t>(Load32(head));
  *err = Load32(head + 4);
  if (*result == -1) return remaining == 0;
  HeldOut held[8];
  int heldCount = 0;
  for (int i = 0; i < 8; ++i) {
    const ArgLayout& a = layout.args[i];
    void* addr = reinterpret_cast<void*>(words[i]);
    const size_t n = SmallOutSize(a.kind);
    switch (a.kind) {
      case ArgKind::OutWord:
      case ArgKind::OutUdid:
      case ArgKind::OutByte:
        break;
      case ArgKind::OutBuffer: {
        if (remaining < 4 || !ReceiveAll(fd, word, 4)) return false;
        remaining -= 4;
        const uint32_t length = Load32(word);
        uint64_t behind = 0;
        if (length > Low32(words[a.sizeWord]) || !OnlySmallOutsAfter(layout, i, &behind) ||
            remaining != length + behind) {
          return false;
        }
        if (length > 0 && !ReceiveAll(fd, addr, length)) return false;
        remaining -= length;
        continue;
      }
      default:
        continue;
    }
    HeldOut& h = held[heldCount++];
    if (remaining < n || !ReceiveAll(fd, h.bytes, n)) return false;
    remaining -= n;
    h.to = addr;
    h.n = n;
    if (a.kind == ArgKind::OutWord) {
      // the caller's word is in this machine's byte order; the wire is little-endian
      const uint32_t v = Load32(h.bytes);
      std::memcpy(h.bytes, &v, 4);
    }
  }
  if (remaining != 0) return false;
  for (int i = 0; i < heldCount; ++i) std::memcpy(held[i].to, held[i].bytes, held[i].n);
  return true;
}

}  // namespace

_Vx_usr_arg_t rtpSyscall(_Vx_usr_arg_t w0, _Vx_usr_arg_t w1, _Vx_usr_arg_t w2, _Vx_usr_arg_t w3,
                         _Vx_usr_arg_t w4, _Vx_usr_arg_t w5, _Vx_usr_arg_t w6, _Vx_usr_arg_t w7,
                         int number) {
  const CallLayout* layout = FindCall(static_cast<uint32_t>(number));
  if (layout == nullptr) return Refuse();
  const _Vx_usr_arg_t words[8] = {w0, w1, w2, w3, w4, w5, w6, w7};
  const char* path = HostSocketPath();
  if (path == nullptr) return Refuse();

  // The counter is read from the host's page when it keeps one: no round trip.
  if (layout->number == SCM_HC_GET_USEC_COUNTER && words[0] != 0 && words[1] != 0) {
    uint64_t counter = 0;
    if (ScmHostClock::ReadCounter(path, &counter)) {
      const uint32_t low = static_cast<uint32_t>(counter);
      const uint32_t high = static_cast<uint32_t>(counter >> 32);
      std::memcpy(reinterpret_cast<void*>(words[0]), &low, 4);
      std::memcpy(reinterpret_cast<void*>(words[1]), &high, 4);
      return 0;
    }
  }

  // Check every address and length before anything is sent; the request is
  // laid out in a fixed buffer, the callers' in-buffers are sent from where they are.
  Request req;
  req.Own32(0);  // the length word, filled in below
  req.Own32(SCM_HC_KIND_CALL);
  req.Own32(layout->number);
  for (int i = 0; i < 8; ++i) {
    req.Own32(layout->args[i].kind == ArgKind::Value ? Low32(words[i]) : 0u);
  }
  for (int i = 0; i < 8; ++i) {
    const ArgLayout& a = layout->args[i];
    const void* addr = reinterpret_cast<const void*>(words[i]);
    switch (a.kind) {
      case ArgKind::InString: {
        if (addr == nullptr) return Refuse();
        const size_t n = ::strnlen(static_cast<const char*>(addr), SCM_HC_MAX_NAME + 1);
        // one name per call fits the fixed buffer
        if (n > SCM_HC_MAX_NAME || req.used + 4 + n > sizeof(req.own)) return Refuse();
        req.Own32(static_cast<uint32_t>(n));
        req.Own(addr, n);
        break;
      }
      case ArgKind::InBuffer: {
        const uint32_t n = Low32(words[a.sizeWord]);
        if (n > SCM_HC_MAX_FRAME / 2) return Refuse();
        if (addr == nullptr && n > 0) return Refuse();
        if (req.used + 4 > sizeof(req.own)) return Refuse();
        req.Own32(n);
        req.Borrow(addr, n);
        req.total += n;
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
  req.CloseOwn();
  req.total += req.used - 4;
  if (req.total > SCM_HC_MAX_FRAME) return Refuse();
  Store32(req.own, static_cast<uint32_t>(req.total));

  const int fd = HostConnection(path);
  if (fd < 0) return Refuse();
  const bool blocking = layout->number == SCM_HC_WAIT_FOR_CONDITION;
  if (blocking) ScmSimBlockingBegin();
  int32_t result = -1;
  uint32_t err = 0;
  const bool exchanged = SendPieces(fd, req.pieces, req.count) && ReadReply(fd, *layout, words, &result, &err);
  if (blocking) ScmSimBlockingEnd();
  if (!exchanged) {
    tConnection.Drop();
    return Refuse();
  }
  if (result == -1) errno = static_cast<int>(err);
  return static_cast<_Vx_usr_arg_t>(result);
}
