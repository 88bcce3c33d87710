// The controller's answer to a read request: direction flag set, status and
// command flags clear; byte 1 is the payload length, the payload follows.
#pragma once
#include "CDecodedMessage.h"

namespace Sio {

class CDecodedReadResponse : public CDecodedMessage {
 public:
  static constexpr u8 ms_PayloadOffset = 2;  ///< first payload byte

  CDecodedReadResponse();
  ~CDecodedReadResponse() override;

  void Accept(CDecodedMessageHandler& handler) const override;

  /// Direction 1, status 0, command 0; length 0 throws 0xE2D1 (i1 0).
  static bool IsReadResponse(u8 length, const u8* data);
  /// Byte 1; length below 2 throws 0xE2D1 (i1 length).
  static u8 GetPayloadLength(u8 length, const u8* data);
  /// Pointer to byte 2 inside the caller's bytes; length below 3 throws 0xE2D1 (i1 length).
  static const u8* GetPayload(u8 length, const u8* data);

  /// The same of the bound message.
  u8 GetPayloadLength() const;
  const u8* GetPayload() const;
};

}  // namespace Sio
