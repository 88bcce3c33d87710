// The simulated Qor controller behind host channel 6 (the Qor variable
// channel): it keeps variables 0 to 7 and answers each request with one reply
// on the handle it came on. Tests can script the next replies.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace ScmSim {

/// How the controller answers one of the next requests.
struct QorReplyScript {
  enum class Kind {
    Normal,  ///< the reply the request deserves (a write is stored)
    Raw,     ///< the bytes given, the request is not carried out
    None,    ///< no reply at all, the request is not carried out
  };
  Kind kind = Kind::Normal;                ///< what to answer
  std::vector<uint8_t> bytes;              ///< reply of Kind::Raw
  std::chrono::milliseconds delay{0};      ///< the reply waits this long before it can be received
};

/// Variables and open channels of the Qor controller; not thread-safe (the host serialises calls).
class QorController {
 public:
  /// The host channel number of the Qor variable channel.
  static constexpr uint32_t kChannel = 6;
  /// Number of variables kept.
  static constexpr unsigned kVariables = 8;
  /// Longest variable payload.
  static constexpr uint8_t kMaxPayload = 198;
  /// Most channels open at once.
  static constexpr size_t kMaxChannels = 16;
  /// Requests kept for Requests(); later ones are carried out but not kept.
  static constexpr size_t kRequestsKept = 4096;

  /// Opens a channel: handle, or -1.
  int32_t Open(uint32_t sendSize, uint32_t receiveSize);
  /// Closes a channel and drops its pending replies.
  bool Close(int32_t handle);
  /// Handles one request; bytes sent, or -1 (unknown handle, longer than the send size).
  int32_t Send(int32_t handle, const std::vector<uint8_t>& request);
  /// Takes the oldest ready reply truncated to max; 0 bytes when none waits; -1 unknown handle.
  int32_t Receive(int32_t handle, uint32_t max, std::vector<uint8_t>& out);
  /// Drops every channel (reset, stop).
  void CloseAll() { channels_.clear(); }

  /// The next requests are answered as scripted, in order.
  void Script(const QorReplyScript& script) { script_.push_back(script); }
  /// Stored value of a variable, none when never written.
  std::optional<std::vector<uint8_t>> Variable(unsigned variable) const;
  /// Every request sent so far (up to kRequestsKept), oldest first.
  const std::vector<std::vector<uint8_t>>& Requests() const { return requests_; }
  /// Sets a variable as a write would (none: never written); false for a variable or length out of range.
  bool SetVariable(unsigned variable, std::optional<std::vector<uint8_t>> value);
  /// The reply a request deserves; a valid write is stored.
  std::vector<uint8_t> Answer(const std::vector<uint8_t>& request);

 private:
  struct Reply {
    std::chrono::steady_clock::time_point ready;  ///< receivable from then on
    std::vector<uint8_t> bytes;                   ///< reply bytes
  };
  struct Channel {
    uint32_t sendSize = 0;       ///< longest request
    uint32_t receiveSize = 0;    ///< receive buffer size given at open
    std::deque<Reply> replies;   ///< replies waiting, oldest first
  };
  std::array<std::optional<std::vector<uint8_t>>, kVariables> variables_;  ///< stored values
  std::deque<QorReplyScript> script_;      ///< scripted next replies
  std::map<int32_t, Channel> channels_;    ///< open channels
  std::vector<std::vector<uint8_t>> requests_;  ///< requests sent so far, oldest first
};

}  // namespace ScmSim
