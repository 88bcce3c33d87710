// The host's microsecond counter (call 0x80) as a shared page beside the host
// socket, so that reading it costs a program no round trip to the host.
//
// On the target the counter is a cheap system call; here the host keeps a
// small file "<socket path>.clock" mapped shared, holding the counter's base
// value and the monotonic time (CLOCK_MONOTONIC, nanoseconds) when it held, so
// a reader computes base + elapsed microseconds exactly as the host serves
// call 0x80. The host republishes whenever the counter is set or advanced and
// marks the page not valid while the call must go to the host instead (not
// started, stopping, a fault armed on 0x80); a reader that finds no valid page
// makes the ordinary round trip. Writer and readers meet through a sequence
// word (odd while the writer changes the page), so a reader never sees half an
// update. Nothing here allocates.
#pragma once

#include <cstdint>

namespace ScmHostClock {

/// Suffix of the page's file name after the socket path.
inline constexpr const char* kSuffix = ".clock";
/// Longest page path (socket paths are below 108 bytes).
inline constexpr unsigned kPathMax = 128;

/// Builds "<socketPath>.clock" into out (kPathMax bytes); false when it does not fit.
bool PagePath(const char* socketPath, char* out);

/// The host's side: creates, updates and removes the page.
class Publisher {
 public:
  Publisher() = default;
  ~Publisher();
  Publisher(const Publisher&) = delete;
  Publisher& operator=(const Publisher&) = delete;

  /// Creates (or replaces) the page beside the socket, not valid yet; false when it cannot.
  bool Open(const char* socketPath);
  /// Publishes the counter: base microseconds at epochNs (CLOCK_MONOTONIC); valid false sends readers to the host.
  void Publish(bool valid, uint64_t baseUs, int64_t epochNs);
  /// Marks the page gone for every reader and removes its file.
  void Close();

 private:
  void* page_ = nullptr;      ///< the mapping, null while closed
  char path_[kPathMax] = {};  ///< the page's file
};

/// The program's side: the counter from the page of the host at socketPath;
/// false (nothing written) when there is no valid page, then the caller asks the host.
bool ReadCounter(const char* socketPath, uint64_t* counterUs);

/// CLOCK_MONOTONIC in nanoseconds, the time base of the page.
int64_t MonotonicNs();

}  // namespace ScmHostClock
