// Substitute messaging for session tests: fourteen in-memory queues with
// capacities, the frame inhibit, and failures injected per queue.
#pragma once
#include <array>
#include <deque>
#include <optional>
#include <vector>

#include "CMessaging.h"

namespace CheckerTest {

using Bytes = std::vector<u8>;

/// The fourteen queues, named after the side and the message kind.
enum class Q : unsigned {
  UnlockRequestHost,
  UnlockRequestScm,
  UnlockResponseScm,
  UnlockResponseHost,
  FrameFromHost,
  FrameToScm,
  FrameFromScm,
  FrameToHost,
  CommandHost,
  CommandScm,
  ResponseScm,
  ResponseHost,
  EventScm,
  EventHost,
  Count
};

class FakeMessaging : public Main::CMessaging {
 public:
  FakeMessaging();

  /// Adds a message as it would sit on the queue (firmware-side ones already complemented).
  void Put(Q queue, const Bytes& bytes);
  /// Messages waiting on a queue, oldest first.
  std::deque<Bytes>& Queue(Q queue) { return m_Queues[Index(queue)]; }
  void SetCapacity(Q queue, size_t capacity) { m_Capacity[Index(queue)] = capacity; }
  /// The next operation on the queue throws this code (0xE244 on receive, 0xE245 on send).
  void FailNext(Q queue) { m_Fail[Index(queue)] = true; }
  int InhibitCalls() const { return m_InhibitCalls; }
  bool FramesInhibited() const { return m_FramesInhibited; }

  bool CanReceiveUnlockRequestFromRuntime() override { return CanReceive(Q::UnlockRequestHost); }
  u8 ReceiveUnlockRequestFromRuntime(u8 max, u8* buffer) override {
    return static_cast<u8>(Receive(Q::UnlockRequestHost, max, buffer));
  }
  bool CanSendUnlockRequestToScm() override { return CanSend(Q::UnlockRequestScm); }
  void SendInvertedUnlockRequestToScm(u8 length, const u8* data) override {
    Send(Q::UnlockRequestScm, length, data);
  }

  bool CanReceiveUnlockResponseFromScm() override { return CanReceive(Q::UnlockResponseScm); }
  u8 ReceiveInvertedUnlockResponseFromScm(u8 max, u8* buffer) override {
    return static_cast<u8>(Receive(Q::UnlockResponseScm, max, buffer));
  }
  bool CanSendUnlockResponseToRuntime() override { return CanSend(Q::UnlockResponseHost); }
  void SendUnlockResponseToRuntime(u8 length, const u8* data) override {
    Send(Q::UnlockResponseHost, length, data);
  }

  bool CanReceiveFrameFromRuntime() override { return !m_FramesInhibited && CanReceive(Q::FrameFromHost); }
  u16 ReceiveFrameFromRuntime(u16 max, u8* buffer) override {
    return static_cast<u16>(Receive(Q::FrameFromHost, max, buffer));
  }
  bool CanSendFrameToScm() override { return !m_FramesInhibited && CanSend(Q::FrameToScm); }
  void SendInvertedFrameToScm(u16 length, const u8* data) override { Send(Q::FrameToScm, length, data); }

  bool CanReceiveFrameFromScm() override { return !m_FramesInhibited && CanReceive(Q::FrameFromScm); }
  u16 ReceiveInvertedFrameFromScm(u16 max, u8* buffer) override {
    return static_cast<u16>(Receive(Q::FrameFromScm, max, buffer));
  }
  bool CanSendFrameToRuntime() override { return !m_FramesInhibited && CanSend(Q::FrameToHost); }
  void SendFrameToRuntime(u16 length, const u8* data) override { Send(Q::FrameToHost, length, data); }

  void InhibitFrames() override {
    ++m_InhibitCalls;
    m_FramesInhibited = true;
  }

  bool CanReceiveCommandFromRuntime() override { return CanReceive(Q::CommandHost); }
  u8 ReceiveCommandFromRuntime(u8 max, u8* buffer) override {
    return static_cast<u8>(Receive(Q::CommandHost, max, buffer));
  }
  bool CanSendCommandToScm() override { return CanSend(Q::CommandScm); }
  void SendInvertedCommandToScm(u8 length, const u8* data) override { Send(Q::CommandScm, length, data); }

  bool CanReceiveResponseFromScm() override { return CanReceive(Q::ResponseScm); }
  u16 ReceiveInvertedResponseFromScm(u16 max, u8* buffer) override {
    return static_cast<u16>(Receive(Q::ResponseScm, max, buffer));
  }
  bool CanSendResponseToRuntime() override { return CanSend(Q::ResponseHost); }
  void SendResponseToRuntime(u16 length, const u8* data) override { Send(Q::ResponseHost, length, data); }

  bool CanReceiveEventFromScm() override { return CanReceive(Q::EventScm); }
  u8 ReceiveInvertedEventFromScm(u8 max, u8* buffer) override {
    return static_cast<u8>(Receive(Q::EventScm, max, buffer));
  }
  bool CanSendEventToRuntime() override { return CanSend(Q::EventHost); }
  void SendEventToRuntime(u8 length, const u8* data) override { Send(Q::EventHost, length, data); }

 private:
  static unsigned Index(Q queue) { return static_cast<unsigned>(queue); }
  bool CanReceive(Q queue) { return !m_Queues[Index(queue)].empty(); }
  bool CanSend(Q queue) { return m_Queues[Index(queue)].size() < m_Capacity[Index(queue)]; }
  unsigned Receive(Q queue, unsigned max, u8* buffer);
  void Send(Q queue, unsigned length, const u8* data);

  std::array<std::deque<Bytes>, static_cast<unsigned>(Q::Count)> m_Queues;  ///< waiting messages
  std::array<size_t, static_cast<unsigned>(Q::Count)> m_Capacity;           ///< capacity per queue
  std::array<bool, static_cast<unsigned>(Q::Count)> m_Fail{};               ///< next operation fails
  int m_InhibitCalls = 0;                                                   ///< InhibitFrames calls
  bool m_FramesInhibited = false;                                           ///< frames stopped
};

/// The one's complement of every byte.
Bytes Complement(const Bytes& bytes);

}  // namespace CheckerTest
