// The host-call seam against a scripted fake host that answers with crafted
// replies: what reaches the caller's memory, and what a malformed reply does.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "hostcall_protocol.h"
#include "vxworks.h"

namespace {

using namespace ScmHostCall;
using Bytes = std::vector<uint8_t>;

/// A host that answers every request on its socket with one fixed reply body and keeps the last request.
class FakeHost {
 public:
  explicit FakeHost(Bytes reply) : reply_(std::move(reply)) {
    char tmpl[] = "/tmp/scmseamtest.XXXXXX";
    dir_ = mkdtemp(tmpl);
    path_ = dir_ + "/fake.sock";
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path_.c_str());
    ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    ::listen(listenFd_, 4);
    thread_ = std::thread([this] {
      const int fd = ::accept(listenFd_, nullptr, nullptr);
      Bytes body;
      while (fd >= 0 && ReceiveFrame(fd, body)) {
        request_ = body;
        if (!SendFrame(fd, reply_)) break;
      }
      if (fd >= 0) ::close(fd);
    });
    setenv("SCM_SIM_HOST_SOCKET", path_.c_str(), 1);
  }
  ~FakeHost() {
    ::shutdown(listenFd_, SHUT_RDWR);
    // a call on a fresh thread connects once more so that the accept returns if nobody called
    std::thread([] { rtpSyscall(0, 0, 0, 0, 0, 0, 0, 0, 0x8A); }).join();
    thread_.join();
    ::close(listenFd_);
    std::filesystem::remove_all(dir_);
    unsetenv("SCM_SIM_HOST_SOCKET");
  }
  /// The last request body the fake host received.
  const Bytes& Request() const { return request_; }

 private:
  Bytes reply_;          ///< sent for every request
  Bytes request_;        ///< last request received
  std::string dir_;      ///< temporary directory
  std::string path_;     ///< socket path
  int listenFd_ = -1;    ///< listening socket
  std::thread thread_;   ///< serves one connection
};

/// Reply body: result, errno, then raw out bytes.
Bytes Reply(int32_t result, uint32_t err, const Bytes& outs = {}) {
  Bytes b;
  Put32(b, static_cast<uint32_t>(result));
  Put32(b, err);
  b.insert(b.end(), outs.begin(), outs.end());
  return b;
}

/// Out bytes: a u32 length and the bytes.
Bytes Blob(const Bytes& bytes) {
  Bytes b;
  PutBlob(b, bytes.data(), bytes.size());
  return b;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Word(uint32_t v) {
  Bytes b;
  Put32(b, v);
  return b;
}

/// Runs a read-storage call (0x87, max 4) in its own thread (so it makes its own connection) against a fake reply.
struct ReadResult {
  _Vx_usr_arg_t result;  ///< seam result
  int err;               ///< errno after the call
  uint8_t buf[8];        ///< caller's buffer (4 bytes allowed, 4 guard bytes)
  uint32_t count;        ///< caller's count word
};
ReadResult ReadThroughFake(const Bytes& reply) {
  FakeHost host(reply);
  ReadResult r{};
  std::memset(r.buf, 0xEE, sizeof(r.buf));
  r.count = 0xDDDDDDDD;
  std::thread([&r] {
    errno = 0;
    r.result = rtpSyscall(3, 4, reinterpret_cast<_Vx_usr_arg_t>(r.buf),
                          reinterpret_cast<_Vx_usr_arg_t>(&r.count), 0, 0, 0, 0, 0x87);
    r.err = errno;
  }).join();
  return r;
}

TEST(HostSeamTest, WellFormedReplyIsCopiedWithinTheCallersSizes) {
  const ReadResult r = ReadThroughFake(Reply(3, 0, Concat(Blob({1, 2, 3}), Word(3))));
  EXPECT_EQ(r.result, 3);
  EXPECT_EQ(Bytes(r.buf, r.buf + 4), (Bytes{1, 2, 3, 0xEE}));
  EXPECT_EQ(r.count, 3u);
}

TEST(HostSeamTest, MalformedRepliesCopyNothing) {
  struct Case {
    const char* what;  ///< description
    Bytes reply;       ///< what the fake host answers
  };
  const Case cases[] = {
      {"out buffer larger than the caller's maximum", Reply(5, 0, Concat(Blob({1, 2, 3, 4, 5}), Word(5)))},
      {"count word missing", Reply(3, 0, Blob({1, 2, 3}))},
      {"bytes after the last out argument", Reply(3, 0, Concat(Concat(Blob({1, 2, 3}), Word(3)), {9}))},
      {"out buffer shorter than its length says", Reply(3, 0, Concat(Word(4), {1, 2}))},
      {"empty reply", {}},
  };
  for (const Case& c : cases) {
    const ReadResult r = ReadThroughFake(c.reply);
    EXPECT_EQ(r.result, -1) << c.what;
    EXPECT_EQ(r.err, SCM_ERRNO_HOST_CALL) << c.what;
    EXPECT_TRUE(std::all_of(r.buf, r.buf + 8, [](uint8_t b) { return b == 0xEE; })) << c.what;
    EXPECT_EQ(r.count, 0xDDDDDDDDu) << c.what;
  }
}

TEST(HostSeamTest, FailureCarriesTheHostsErrnoAndLeavesOutArgumentsAlone) {
  const ReadResult r = ReadThroughFake(Reply(-1, 0x10C00));
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.err, 0x10C00);
  EXPECT_EQ(r.count, 0xDDDDDDDDu);
}

TEST(HostSeamTest, ValuesAreSentAsLow32BitsAndAddressesAsZero) {
  FakeHost host(Reply(0, 0, Word(0)));
  const char* name = "kel_para.saf";
  uint32_t handle = 0;
  std::thread([&] {
    rtpSyscall(static_cast<_Vx_usr_arg_t>(0x100000005ll), reinterpret_cast<_Vx_usr_arg_t>(name), 'r',
               reinterpret_cast<_Vx_usr_arg_t>(&handle), 77, 0, 0, 0, 0x84);
  }).join();
  Reader r(host.Request().data(), host.Request().size());
  EXPECT_EQ(r.Get32(), SCM_HC_KIND_CALL);
  EXPECT_EQ(r.Get32(), 0x84u);
  const uint32_t expected[8] = {5, 0, 'r', 0, 0, 0, 0, 0};
  for (uint32_t e : expected) EXPECT_EQ(r.Get32(), e) << "unused words are not sent either";
  EXPECT_EQ(r.GetString(), "kel_para.saf");
  EXPECT_TRUE(r.AtEnd());
}

TEST(HostSeamTest, NullAddressesAreRefusedUnsent) {
  FakeHost host(Reply(0, 0));
  uint32_t word = 0;
  struct Case {
    const char* what;               ///< description
    std::function<_Vx_usr_arg_t()> call;  ///< the call
  };
  const Case cases[] = {
      {"null name", [] { return rtpSyscall(5, 0, 'r', 0, 0, 0, 0, 0, 0x84); }},
      {"null out word", [] { return rtpSyscall(5, 1, 0, 0, 0, 0, 0, 0, 0x90); }},
      {"null in-buffer with a count",
       [&word] { return rtpSyscall(1, 4, 0, reinterpret_cast<_Vx_usr_arg_t>(&word), 0, 0, 0, 0, 0x88); }},
      {"null out buffer with a maximum",
       [&word] { return rtpSyscall(1, 4, 0, reinterpret_cast<_Vx_usr_arg_t>(&word), 0, 0, 0, 0, 0x87); }},
  };
  for (const Case& c : cases) {
    errno = 0;
    EXPECT_EQ(c.call(), -1) << c.what;
    EXPECT_EQ(errno, SCM_ERRNO_HOST_CALL) << c.what;
  }
  EXPECT_TRUE(host.Request().empty()) << "nothing was sent";
}

}  // namespace
