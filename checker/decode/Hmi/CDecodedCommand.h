// Base of every decoded operator command: the command-channel header (u16
// type 3, u16 identifier) and the remote-control payload, little-endian. The
// object keeps the length and a pointer into the caller's buffer, which it
// only reads.
//
//   0-3 selector (u32; the type in bytes 0-1, the identifier in bytes 2-3)
//   4-5 command (class word) | 6-7 number (echo word) | 8-9 data (selection
//   code) | 10-25 password | 26-41 new password (password change only)
#pragma once
#include "ScmTypes.h"

namespace Hmi {

class CDecodedCommandVisitor;

class CDecodedCommand {
 public:
  /// Calls the visitor operation named after the concrete kind (none for the unknown command).
  virtual void Accept(CDecodedCommandVisitor& visitor) const = 0;
  virtual ~CDecodedCommand();

  CDecodedCommand(const CDecodedCommand&) = delete;
  CDecodedCommand& operator=(const CDecodedCommand&) = delete;

  static constexpr u32 ms_SelectorLength = 4;        ///< bytes of the selector (the channel header)
  static constexpr u16 ms_CommandType = 3;           ///< header type of commands, bytes 0-1
  static constexpr u16 ms_EnterCommand = 0x0100;     ///< command word of enter commands
  static constexpr u16 ms_StatusRequest = 0x0200;    ///< command word of status requests
  static constexpr u8 ms_CommandLength = 26;         ///< bytes every field but the new password needs
  static constexpr u8 ms_ChangedPasswordLength = 42; ///< bytes the new password needs
  static constexpr u32 ms_PasswordLength = 16;       ///< bytes of a password

  /// Stores length and pointer; no check.
  void Initialize(u8 length, const u8* command);

  /// Fields of the bound command: null 0xE200, length 25 or less 0xE2C6 (i1 length).
  u32 GetSelector() const;
  u16 GetIdentifier() const;
  u16 GetCommand() const;
  u16 GetNumber() const;
  u16 GetData() const;
  /// The 16 password bytes, inside the caller's buffer.
  const u8* GetPassword() const;

  /// The same fields of a raw command.
  static u32 GetSelector(u8 length, const u8* command);
  static u16 GetIdentifier(u8 length, const u8* command);
  static u16 GetCommand(u8 length, const u8* command);
  static u16 GetNumber(u8 length, const u8* command);
  static u16 GetData(u8 length, const u8* command);
  static const u8* GetPassword(u8 length, const u8* command);

 protected:
  CDecodedCommand();

  /// Recognizer test: header type 3 (bytes 0-1) first, then the command word.
  static bool HasCommand(u8 length, const u8* command, u16 commandWord);
  /// The field at offset of a raw command that must be at least minimum bytes long.
  static const u8* Field(u8 length, const u8* command, u32 offset, u8 minimum);

  u8 GetLength() const { return m_Length; }                  ///< length of the bound command
  const u8* GetCommandBytes() const { return m_pCommand; }  ///< the bound command

 private:
  u8 m_Length;           ///< length of the bound command; 0 while unbound
  const u8* m_pCommand;  ///< the command in the caller's buffer; null while unbound
};

}  // namespace Hmi
