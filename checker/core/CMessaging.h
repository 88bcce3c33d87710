// Non-blocking access to the seven message kinds on both sides of the checker.
// "Inverted" names mark the firmware side, whose bytes are complemented; the
// messaging moves bytes as given, complementing is the session's work.
#pragma once
#include "ScmTypes.h"

namespace Main {

class CMessaging {
 public:
  virtual ~CMessaging() = default;

  // unlock requests: host to firmware
  virtual bool CanReceiveUnlockRequestFromRuntime() = 0;
  virtual u8 ReceiveUnlockRequestFromRuntime(u8 maxLength, u8* buffer) = 0;
  virtual bool CanSendUnlockRequestToScm() = 0;
  virtual void SendInvertedUnlockRequestToScm(u8 length, const u8* data) = 0;

  // unlock responses: firmware to host
  virtual bool CanReceiveUnlockResponseFromScm() = 0;
  virtual u8 ReceiveInvertedUnlockResponseFromScm(u8 maxLength, u8* buffer) = 0;
  virtual bool CanSendUnlockResponseToRuntime() = 0;
  virtual void SendUnlockResponseToRuntime(u8 length, const u8* data) = 0;

  // frames received from the network: host to firmware
  virtual bool CanReceiveFrameFromRuntime() = 0;
  virtual u16 ReceiveFrameFromRuntime(u16 maxLength, u8* buffer) = 0;
  virtual bool CanSendFrameToScm() = 0;
  virtual void SendInvertedFrameToScm(u16 length, const u8* data) = 0;

  // frames to transmit: firmware to host
  virtual bool CanReceiveFrameFromScm() = 0;
  virtual u16 ReceiveInvertedFrameFromScm(u16 maxLength, u8* buffer) = 0;
  virtual bool CanSendFrameToRuntime() = 0;
  virtual void SendFrameToRuntime(u16 length, const u8* data) = 0;

  /// Shuts the four frame queues for good.
  virtual void InhibitFrames() = 0;

  // operator commands: host to firmware
  virtual bool CanReceiveCommandFromRuntime() = 0;
  virtual u8 ReceiveCommandFromRuntime(u8 maxLength, u8* buffer) = 0;
  virtual bool CanSendCommandToScm() = 0;
  virtual void SendInvertedCommandToScm(u8 length, const u8* data) = 0;

  // status responses: firmware to host
  virtual bool CanReceiveResponseFromScm() = 0;
  virtual u16 ReceiveInvertedResponseFromScm(u16 maxLength, u8* buffer) = 0;
  virtual bool CanSendResponseToRuntime() = 0;
  virtual void SendResponseToRuntime(u16 length, const u8* data) = 0;

  // events: firmware to host
  virtual bool CanReceiveEventFromScm() = 0;
  virtual u8 ReceiveInvertedEventFromScm(u8 maxLength, u8* buffer) = 0;
  virtual bool CanSendEventToRuntime() = 0;
  virtual void SendEventToRuntime(u8 length, const u8* data) = 0;
};

}  // namespace Main
