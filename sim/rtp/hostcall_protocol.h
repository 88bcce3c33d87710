// Wire protocol between the host-call seam (rtpSyscall, one connection per
// thread) and the host-runtime simulator, over a Unix stream socket.
//
// Every frame starts with a u32 byte count of the rest of the frame; all
// integers are little-endian u32 unless said otherwise.
//
// Host call request:  kind = SCM_HC_KIND_CALL, call number, the eight words as
//   u32 values (address words are sent as 0), then for each argument word in
//   order that is an in-string or an in-buffer: u32 length + bytes. An
//   out-buffer's capacity is the value of its size word.
// Host call reply:    i32 result, u32 errno, then only when result != -1, for
//   each out argument in order: out word u32; out UDID 6 bytes; out byte 1 byte;
//   out buffer u32 length + bytes (length at most the capacity).
// Control request:    kind = SCM_HC_KIND_CONTROL, u32 argument count, then per
//   argument u32 length + bytes (a command line already split into words).
// Control reply:      u32 status (0 success), u32 length + text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ScmHostCall {

/// Frame kind: a host system call.
inline constexpr uint32_t SCM_HC_KIND_CALL = 0x4C4C4143u;
/// Frame kind: a control command of the simulator.
inline constexpr uint32_t SCM_HC_KIND_CONTROL = 0x4C525443u;
/// Largest frame either side accepts (guards against corrupt length words).
inline constexpr uint32_t SCM_HC_MAX_FRAME = 64u * 1024u * 1024u;
/// Longest file name (in-string) the seam sends; longer names are refused unsent.
inline constexpr size_t SCM_HC_MAX_NAME = 255;
/// Size of a UDID written by call 0x83.
inline constexpr size_t SCM_HC_UDID_SIZE = 6;

// errno values the simulated host sets (only 0x10C00 carries meaning for callers).
/// Storage busy: the open must be retried.
inline constexpr uint32_t SCM_HOST_ERRNO_BUSY = 0x10C00;
/// The call names another safety domain than the host serves.
inline constexpr uint32_t SCM_HOST_ERRNO_WRONG_DOMAIN = 0x3E0001;
/// An argument value is out of range (condition, channel, area, offset, mode, size).
inline constexpr uint32_t SCM_HOST_ERRNO_BAD_ARGUMENT = 0x3E0002;
/// The storage file does not exist.
inline constexpr uint32_t SCM_HOST_ERRNO_NOT_FOUND = 0x3E0003;
/// The handle is unknown, closed or opened for the other direction.
inline constexpr uint32_t SCM_HOST_ERRNO_BAD_HANDLE = 0x3E0004;
/// The host's file system failed.
inline constexpr uint32_t SCM_HOST_ERRNO_IO = 0x3E0005;
/// A failure injected by a test through the control interface.
inline constexpr uint32_t SCM_HOST_ERRNO_INJECTED = 0x3E0006;
/// The requested value is not available (product code, serial, flash content).
inline constexpr uint32_t SCM_HOST_ERRNO_UNAVAILABLE = 0x3E0007;
/// The file name is refused (empty, holds '/' or "..").
inline constexpr uint32_t SCM_HOST_ERRNO_BAD_NAME = 0x3E0008;
/// No room for another handle.
inline constexpr uint32_t SCM_HOST_ERRNO_NO_HANDLE = 0x3E0009;
/// The host is stopping.
inline constexpr uint32_t SCM_HOST_ERRNO_STOPPING = 0x3E000A;

/// What one of the eight words of a call carries.
enum class ArgKind : uint8_t {
  None,       ///< unused, sent as 0
  Value,      ///< a u32 value
  InString,   ///< address of a NUL-terminated name (at most SCM_HC_MAX_NAME characters)
  InBuffer,   ///< address of sizeWord's count of bytes sent to the host
  OutBuffer,  ///< address of room for sizeWord's count of bytes from the host
  OutWord,    ///< address of a u32 the host stores
  OutUdid,    ///< address of 6 bytes the host stores
  OutByte,    ///< address of a u8 the host stores
};

/// One argument word's description.
struct ArgLayout {
  ArgKind kind;      ///< what the word carries
  uint8_t sizeWord;  ///< for buffers: index of the word holding the byte count
};

/// One host call's description.
struct CallLayout {
  uint32_t number;     ///< call number 0x80..0x95
  const char* name;    ///< wrapper name, for logs
  ArgLayout args[8];     ///< the eight words
};

inline constexpr ArgLayout kNo{ArgKind::None, 0};        ///< unused word
inline constexpr ArgLayout kVal{ArgKind::Value, 0};       ///< value word
inline constexpr ArgLayout kStr{ArgKind::InString, 0};    ///< file name
inline constexpr ArgLayout kWord{ArgKind::OutWord, 0};    ///< u32 the host stores
inline constexpr ArgLayout kUdid{ArgKind::OutUdid, 0};    ///< 6-byte UDID the host stores
inline constexpr ArgLayout kByte{ArgKind::OutByte, 0};    ///< u8 the host stores
/// Buffer sent to the host, its byte count in word sizeWord.
constexpr ArgLayout In(uint8_t sizeWord) { return ArgLayout{ArgKind::InBuffer, sizeWord}; }
/// Buffer the host fills, its capacity in word sizeWord.
constexpr ArgLayout Out(uint8_t sizeWord) { return ArgLayout{ArgKind::OutBuffer, sizeWord}; }

/// Which words are values, in-strings, in/out buffers and out words, per call.
inline constexpr CallLayout kCalls[] = {
    {0x80, "ScmGetUSecCounter", {kWord, kWord, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x81, "ScmGetCpuProductCode", {kWord, kNo, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x82, "ScmGetCpuSerialNumber", {kWord, kNo, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x83, "ScmRequestQorUdid", {kVal, kUdid, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x84, "ScmOpenStorage", {kVal, kStr, kVal, kWord, kNo, kNo, kNo, kNo}},
    {0x85, "ScmCloseStorage", {kVal, kNo, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x86, "ScmGetStorageLength", {kVal, kWord, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x87, "ScmReadStorage", {kVal, kVal, Out(1), kWord, kNo, kNo, kNo, kNo}},
    {0x88, "ScmWriteStorage", {kVal, kVal, In(1), kWord, kNo, kNo, kNo, kNo}},
    {0x89, "ScmOpenChannel", {kVal, kVal, kVal, kVal, kWord, kNo, kNo, kNo}},
    {0x8A, "ScmCloseChannel", {kVal, kNo, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x8B, "ScmReceiveChannel", {kVal, kVal, Out(1), kWord, kNo, kNo, kNo, kNo}},
    {0x8C, "ScmSendChannel", {kVal, kVal, In(1), kWord, kNo, kNo, kNo, kNo}},
    {0x8D, "ScmLockReset", {kVal, kNo, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x8E, "ScmUnlockReset", {kVal, kNo, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x8F, "ScmReset", {kVal, kNo, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x90, "ScmWaitForCondition", {kVal, kVal, kWord, kNo, kNo, kNo, kNo, kNo}},
    {0x91, "ScmSetCondition", {kVal, kVal, kVal, kNo, kNo, kNo, kNo, kNo}},
    {0x92, "ScmGetQorFailSafeState", {kVal, kByte, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x93, "ScmResetPlc", {kVal, kNo, kNo, kNo, kNo, kNo, kNo, kNo}},
    {0x94, "ScmReadQorFlashFile", {kVal, kVal, kVal, kVal, Out(3), kWord, kNo, kNo}},
    {0x95, "ScmWriteQorFlashFile", {kVal, kVal, kVal, kVal, In(3), kWord, kNo, kNo}},
};

/// The description of a call number, or null for an unknown number.
inline const CallLayout* FindCall(uint32_t number) {
  for (const CallLayout& c : kCalls) {
    if (c.number == number) return &c;
  }
  return nullptr;
}

/// The microsecond counter, which the host also publishes as a page (hostclock.h).
inline constexpr uint32_t SCM_HC_GET_USEC_COUNTER = 0x80;
/// The call that blocks until a condition is set.
inline constexpr uint32_t SCM_HC_WAIT_FOR_CONDITION = 0x90;

/// Appends a little-endian u32.
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

/// Appends a u32 length and the bytes.
inline void PutBlob(std::vector<uint8_t>& out, const void* data, size_t n) {
  Put32(out, static_cast<uint32_t>(n));
  const auto* p = static_cast<const uint8_t*>(data);
  out.insert(out.end(), p, p + n);
}

/// Reads little-endian integers and blobs from a received frame, with bounds checks.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  /// False once any read ran past the end.
  bool Ok() const { return ok_; }
  /// True when every byte was consumed and no read failed.
  bool AtEnd() const { return ok_ && pos_ == size_; }
  /// Next u32, 0 past the end.
  uint32_t Get32() {
    if (size_ - pos_ < 4) {
      ok_ = false;
      return 0;
    }
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return v;
  }
  /// Next n raw bytes, null past the end.
  const uint8_t* GetBytes(size_t n) {
    if (size_ - pos_ < n) {
      ok_ = false;
      return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  /// Next u32 length plus bytes as a vector (empty on failure).
  std::vector<uint8_t> GetBlob() {
    const uint32_t n = Get32();
    const uint8_t* p = GetBytes(n);
    if (p == nullptr) return {};
    return std::vector<uint8_t>(p, p + n);
  }
  /// Next u32 length plus bytes as a string (empty on failure).
  std::string GetString() {
    const std::vector<uint8_t> b = GetBlob();
    return std::string(b.begin(), b.end());
  }

 private:
  const uint8_t* data_;  ///< frame bytes
  size_t size_;          ///< frame size
  size_t pos_ = 0;       ///< next byte to read
  bool ok_ = true;       ///< no read ran past the end
};

/// Sends all bytes; false on any failure (never raises SIGPIPE).
bool SendAll(int fd, const void* data, size_t n);
/// Receives exactly n bytes; false on end of stream or failure.
bool ReceiveAll(int fd, void* data, size_t n);
/// Sends one frame (length word + body).
bool SendFrame(int fd, const std::vector<uint8_t>& body);
/// Receives one frame body; false on failure or a length over SCM_HC_MAX_FRAME.
bool ReceiveFrame(int fd, std::vector<uint8_t>& body);
/// Connects to the Unix socket at path; -1 on failure.
int ConnectUnix(const char* path);

}  // namespace ScmHostCall
