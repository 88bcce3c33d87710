// Base of every decoded message of the Qor variable channel (channel 6):
//
//   byte 0  bits 0-2 variable number | bit 5 (0x20) command flag, set in a write
//           | bit 6 (0x40) status flag, set in an error | bit 7 (0x80) direction
//           flag, set in an answer of the controller
//   byte 1  payload length
//   byte 2.. payload
//
// The object keeps the length and a pointer into the caller's bytes, which it
// only reads; it stays valid while the caller's buffer is unchanged.
#pragma once
#include "ScmTypes.h"

namespace Sio {

class CDecodedMessageHandler;

class CDecodedMessage {
 public:
  /// Calls the handler operation named after the concrete kind (none for the unknown message).
  virtual void Accept(CDecodedMessageHandler& handler) const = 0;
  virtual ~CDecodedMessage();

  CDecodedMessage(const CDecodedMessage&) = delete;
  CDecodedMessage& operator=(const CDecodedMessage&) = delete;

  static constexpr u8 ms_VariableMask = 0x07;   ///< bits of byte 0 holding the variable number
  static constexpr u8 ms_CommandFlag = 0x20;    ///< byte 0: a write
  static constexpr u8 ms_StatusFlag = 0x40;     ///< byte 0: an error
  static constexpr u8 ms_DirectionFlag = 0x80;  ///< byte 0: an answer of the controller
  static constexpr u8 ms_MessageLengthMax = 200;  ///< longest message on the channel

  /// Stores length and pointer; null data throws 0xE200.
  void Initialize(u8 length, const u8* data);

  /// Byte 0 AND 7; length 0 throws 0xE2D1 (i1 0), null data 0xE200.
  static u8 GetVariable(u8 length, const u8* data);
  /// Bit 5 of byte 0 (same checks).
  static bool GetCommand(u8 length, const u8* data);
  /// Bit 6 of byte 0 (same checks).
  static bool GetStatus(u8 length, const u8* data);
  /// Bit 7 of byte 0 (same checks).
  static bool GetDirection(u8 length, const u8* data);

 protected:
  CDecodedMessage();

  /// Byte 0 of a raw message with the checks of the field readers.
  static u8 FirstByte(u8 length, const u8* data);

  u8 GetLength() const { return m_Length; }           ///< length of the bound message
  const u8* GetData() const { return m_pData; }       ///< the bound message

 private:
  u8 m_Length;         ///< length of the bound message; 0 while unbound
  const u8* m_pData;   ///< the message in the caller's buffer; null while unbound
};

}  // namespace Sio
