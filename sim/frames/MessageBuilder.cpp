#include "MessageBuilder.h"

namespace TestFrames {

namespace {

/// Payload offsets of the command.
constexpr std::size_t kCmdClass = 0;         ///< class word
constexpr std::size_t kCmdEcho = 2;          ///< echo word
constexpr std::size_t kCmdCode = 4;          ///< selection code
constexpr std::size_t kCmdPassword = 6;      ///< password
constexpr std::size_t kCmdNewPassword = 22;  ///< new password

/// Writes the command-channel header.
void PutHeader(Bytes& out, u16 type, u16 identifier) {
  PutLe(out, 0, type, 2);
  PutLe(out, 2, identifier, 2);
}

}  // namespace

void PutLe(Bytes& out, std::size_t offset, u32 value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) {
    out.at(offset + i) = static_cast<u8>(value >> (8 * i));
  }
}

Bytes BuildEvent(u8 level, u32 code, u16 information0, u32 information1) {
  Bytes out(MessageSizes::Event, 0);
  out[0] = level;
  PutLe(out, 1, code, 4);
  PutLe(out, 5, information0, 2);
  PutLe(out, 7, information1, 4);
  return out;
}

Bytes BuildCommand(const CommandSpec& fields) {
  Bytes out(fields.newPassword ? MessageSizes::PasswordChange : MessageSizes::Command, 0);
  const std::size_t h = MessageSizes::Header;
  PutHeader(out, fields.type, fields.identifier);
  PutLe(out, h + kCmdClass, fields.commandClass, 2);
  PutLe(out, h + kCmdEcho, fields.echo, 2);
  PutLe(out, h + kCmdCode, fields.code, 2);
  for (std::size_t i = 0; i < fields.password.size(); ++i) {
    out[h + kCmdPassword + i] = fields.password[i];
  }
  if (fields.newPassword) {
    for (std::size_t i = 0; i < fields.newPassword->size(); ++i) {
      out[h + kCmdNewPassword + i] = (*fields.newPassword)[i];
    }
  }
  return out;
}

Bytes BuildStatus(const StatusSpec& fields) {
  Bytes out(MessageSizes::Status, 0);
  const std::size_t h = MessageSizes::Header;
  PutHeader(out, fields.type, fields.identifier);
  PutLe(out, h + 0, fields.requestClass, 2);
  PutLe(out, h + 2, fields.echo, 2);
  PutLe(out, h + 4, fields.result, 2);
  PutLe(out, h + 6, fields.remoteState, 2);
  PutLe(out, h + 8, fields.storedCode, 2);
  PutLe(out, h + 10, fields.storedEcho, 2);
  PutLe(out, h + 12, fields.lastCompleted, 2);
  out[h + 15] = fields.keyChangeAcceptable;
  out[h + 17] = fields.startupOrScan;
  out[h + 19] = fields.moduleStateLow;
  PutLe(out, h + 20, fields.missing, 2);
  PutLe(out, h + 22, fields.mismatches, 2);
  PutLe(out, h + 24, fields.firmwareDifferences, 2);
  for (std::size_t i = 0; i < fields.sadrs.size(); ++i) {
    PutLe(out, h + 26 + 2 * i, fields.sadrs[i], 2);
  }
  for (std::size_t i = 0; i < 16; ++i) {
    out[h + 228 + i] = fields.missingBits[i];
    out[h + 244 + i] = fields.mismatchBits[i];
    out[h + 260 + i] = fields.firmwareBits[i];
  }
  return out;
}

Bytes BuildNewStatus(const NewStatusSpec& fields) {
  Bytes out(MessageSizes::NewStatus, 0);
  const std::size_t h = MessageSizes::Header;
  PutHeader(out, fields.type, fields.identifier);
  PutLe(out, h + 0, fields.requestClass, 2);
  PutLe(out, h + 2, fields.echo, 2);
  PutLe(out, h + 4, fields.result, 2);
  PutLe(out, h + 6, fields.code, 2);
  out[h + 8] = fields.version;
  PutLe(out, h + 10, fields.missing, 2);
  PutLe(out, h + 12, fields.mismatches, 2);
  PutLe(out, h + 14, fields.firmwareDifferences, 2);
  PutLe(out, h + 16, fields.configured, 2);
  PutLe(out, h + 40, fields.stateBits, 4);
  return out;
}

}  // namespace TestFrames
