#include "CDecodedCommand.h"

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"

namespace Hmi {

namespace {

constexpr u32 kTypeOffset = 0;        ///< u16 header type
constexpr u32 kIdentifierOffset = 2;  ///< u16 header identifier
constexpr u32 kCommandOffset = 4;     ///< u16 command (class word)
constexpr u32 kNumberOffset = 6;      ///< u16 number (echo word)
constexpr u32 kDataOffset = 8;        ///< u16 data (selection code)
constexpr u32 kPasswordOffset = 10;   ///< 16-byte password

u16 ReadU16(const u8* p) { return static_cast<u16>(p[0] | (p[1] << 8)); }

}  // namespace

CDecodedCommand::CDecodedCommand() : m_Length(0), m_pCommand(nullptr) {}

CDecodedCommand::~CDecodedCommand() { m_pCommand = nullptr; }

void CDecodedCommand::Initialize(u8 length, const u8* command) {
  m_Length = length;
  m_pCommand = command;
}

const u8* CDecodedCommand::Field(u8 length, const u8* command, u32 offset, u8 minimum) {
  UTIL_CHECK(command != nullptr);
  if (length < minimum) {
    throw Util::CException(Util::ErrorCodes::ms_CommandTooShort, static_cast<u32>(length));
  }
  return command + offset;
}

u32 CDecodedCommand::GetSelector(u8 length, const u8* command) {
  const u8* p = Field(length, command, kTypeOffset, ms_CommandLength);
  return static_cast<u32>(ReadU16(p)) | (static_cast<u32>(ReadU16(p + 2)) << 16);
}

u16 CDecodedCommand::GetIdentifier(u8 length, const u8* command) {
  return ReadU16(Field(length, command, kIdentifierOffset, ms_CommandLength));
}

u16 CDecodedCommand::GetCommand(u8 length, const u8* command) { return ReadU16(Field(length, command, kCommandOffset, ms_CommandLength)); }

u16 CDecodedCommand::GetNumber(u8 length, const u8* command) { return ReadU16(Field(length, command, kNumberOffset, ms_CommandLength)); }

u16 CDecodedCommand::GetData(u8 length, const u8* command) { return ReadU16(Field(length, command, kDataOffset, ms_CommandLength)); }

const u8* CDecodedCommand::GetPassword(u8 length, const u8* command) {
  return Field(length, command, kPasswordOffset, ms_CommandLength);
}

u32 CDecodedCommand::GetSelector() const { return GetSelector(m_Length, m_pCommand); }

u16 CDecodedCommand::GetIdentifier() const { return GetIdentifier(m_Length, m_pCommand); }

u16 CDecodedCommand::GetCommand() const { return GetCommand(m_Length, m_pCommand); }

u16 CDecodedCommand::GetNumber() const { return GetNumber(m_Length, m_pCommand); }

u16 CDecodedCommand::GetData() const { return GetData(m_Length, m_pCommand); }

const u8* CDecodedCommand::GetPassword() const { return GetPassword(m_Length, m_pCommand); }

bool CDecodedCommand::HasCommand(u8 length, const u8* command, u16 commandWord) {
  // The identifier in bytes 2-3 takes part in no recognizer: the firmware echoes any.
  const u16 type = static_cast<u16>(GetSelector(length, command) & 0xFFFF);
  return type == ms_CommandType && GetCommand(length, command) == commandWord;
}

}  // namespace Hmi
