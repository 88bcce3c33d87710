// The messaging over the fourteen named queues of the safety domain, opened
// (never created) by name; the four frame queues can be deleted for every
// user of the domain when the checker goes fail-safe.
#pragma once
#include <atomic>

#include "CMessaging.h"
#include "vxworks.h"

namespace Main {

class CDefaultMessaging : public CMessaging {
 public:
  CDefaultMessaging();
  /// Zeroes the handles without closing the queues.
  ~CDefaultMessaging() override;

  CDefaultMessaging(const CDefaultMessaging&) = delete;
  CDefaultMessaging& operator=(const CDefaultMessaging&) = delete;

  /// Opens the fourteen queues in handle order; once only (again: 0xE200); a missing one throws 0xE242.
  void Initialize();

  bool CanReceiveUnlockRequestFromRuntime() override;
  u8 ReceiveUnlockRequestFromRuntime(u8 maxLength, u8* buffer) override;
  bool CanSendUnlockRequestToScm() override;
  void SendInvertedUnlockRequestToScm(u8 length, const u8* data) override;

  bool CanReceiveUnlockResponseFromScm() override;
  u8 ReceiveInvertedUnlockResponseFromScm(u8 maxLength, u8* buffer) override;
  bool CanSendUnlockResponseToRuntime() override;
  void SendUnlockResponseToRuntime(u8 length, const u8* data) override;

  bool CanReceiveFrameFromRuntime() override;
  u16 ReceiveFrameFromRuntime(u16 maxLength, u8* buffer) override;
  bool CanSendFrameToScm() override;
  void SendInvertedFrameToScm(u16 length, const u8* data) override;

  bool CanReceiveFrameFromScm() override;
  u16 ReceiveInvertedFrameFromScm(u16 maxLength, u8* buffer) override;
  bool CanSendFrameToRuntime() override;
  void SendFrameToRuntime(u16 length, const u8* data) override;

  void InhibitFrames() override;

  bool CanReceiveCommandFromRuntime() override;
  u8 ReceiveCommandFromRuntime(u8 maxLength, u8* buffer) override;
  bool CanSendCommandToScm() override;
  void SendInvertedCommandToScm(u8 length, const u8* data) override;

  bool CanReceiveResponseFromScm() override;
  u16 ReceiveInvertedResponseFromScm(u16 maxLength, u8* buffer) override;
  bool CanSendResponseToRuntime() override;
  void SendResponseToRuntime(u16 length, const u8* data) override;

  bool CanReceiveEventFromScm() override;
  u8 ReceiveInvertedEventFromScm(u8 maxLength, u8* buffer) override;
  bool CanSendEventToRuntime() override;
  void SendEventToRuntime(u8 length, const u8* data) override;

 private:
  /// Index of each queue handle, in the order they are opened.
  enum EQueue : unsigned {
    UnlockRequestFromRuntime,  ///< host "unlock-request"
    UnlockRequestToScm,        ///< firmware-side "unlock-request"
    UnlockResponseFromScm,     ///< firmware-side "unlock-response"
    UnlockResponseToRuntime,   ///< host "unlock-response"
    FrameFromRuntime,          ///< host "frame-send"
    FrameToScm,                ///< firmware-side "frame-send"
    FrameFromScm,              ///< firmware-side "frame-receive"
    FrameToRuntime,            ///< host "frame-receive"
    CommandFromRuntime,        ///< host "command"
    CommandToScm,              ///< firmware-side "command"
    ResponseFromScm,           ///< firmware-side "status"
    ResponseToRuntime,         ///< host "status"
    EventFromScm,              ///< firmware-side "event"
    EventToRuntime,            ///< host "event"
    QueueCount                 ///< number of queues
  };

  /// 0xE200 unless initialized.
  void CheckInitialized() const;
  /// True when the queue holds a message; a failed query throws 0xE243.
  bool HasMessage(EQueue queue);
  /// True when the queue has room for one more message; a failed query throws 0xE243.
  bool HasRoom(EQueue queue);
  /// As HasMessage/HasRoom, but false once frames are inhibited.
  bool FrameHasMessage(EQueue queue);
  bool FrameHasRoom(EQueue queue);
  /// Receives without waiting; returns the length; -1 throws 0xE244.
  unsigned Receive(EQueue queue, unsigned maxLength, u8* buffer);
  /// Sends without waiting; failure throws 0xE245.
  void Send(EQueue queue, unsigned length, const u8* data);
  /// Reads the count and capacity of a queue; failure throws 0xE243.
  void GetInfo(EQueue queue, MSG_Q_INFO& info);

  std::atomic<MSG_Q_ID> m_Queues[QueueCount];  ///< queue handles, 0 = not open or deleted
  std::atomic<bool> m_FramesEnabled;           ///< false for good once the frame queues are deleted
  bool m_Initialized;                          ///< set once by Initialize
};

}  // namespace Main
