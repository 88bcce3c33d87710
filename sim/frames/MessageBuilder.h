// Event records, remote-control commands and both status layouts outside both
// channels, written from the record tables alone. All fields are little-endian; the
// results are plain (not complemented) queue messages.
//
//   event (11 bytes):   0 level | 1-4 code | 5-6 information0 | 7-10 information1
//   channel header:     0-1 type (3 command, 4 response) | 2-3 identifier
//   command payload:    0 class | 2 echo | 4 selection code | 6 password[16]
//                       | 22 new password[16] (password change only)
//   status (276):       0 class | 2 echo | 4 result | 6 remote state | 8 stored code
//                       | 10 stored echo | 12 last completed code | 15 key change
//                       acceptable | 17 start-up or scan | 19 module-state low byte
//                       | 20 missing | 22 mismatches | 24 firmware differences
//                       | 26 SADRs[101] | 228, 244, 260 bit arrays[16]
//   new status (48):    0 class | 2 echo | 4 result | 6 code | 8 record version
//                       | 10 missing | 12 mismatches | 14 firmware differences
//                       | 16 configured modules | 40 state bits | 44 zero
#pragma once
#include <array>
#include <cstddef>
#include <optional>

#include "FrameBuilder.h"

namespace TestFrames {

/// Sizes on the queues (header included).
namespace MessageSizes {
constexpr std::size_t Event = 11;            ///< event record
constexpr std::size_t Header = 4;            ///< command-channel header
constexpr std::size_t Command = 26;          ///< fixed-size command
constexpr std::size_t PasswordChange = 42;   ///< command with a new password
constexpr std::size_t Status = 280;          ///< classic status response
constexpr std::size_t NewStatus = 52;        ///< new-format status response
}  // namespace MessageSizes

/// Channel header types.
constexpr u16 kCommandType = 3;   ///< commands, host to firmware
constexpr u16 kResponseType = 4;  ///< remote-control responses
/// Command classes.
constexpr u16 kEnterCommand = 0x0100;   ///< class of enter commands
constexpr u16 kStatusRequest = 0x0200;  ///< class of status requests
/// Record version the firmware writes into the new status record.
constexpr u8 kNewStatusVersion = 2;

/// Put an unsigned value of `bytes` bytes little-endian at out[offset].
void PutLe(Bytes& out, std::size_t offset, u32 value, std::size_t bytes);

/// The 11-byte event record.
Bytes BuildEvent(u8 level, u32 code, u16 information0, u32 information1);

/// One command; with newPassword it is the 42-byte password-change layout.
struct CommandSpec {
  u16 type = kCommandType;           ///< header type
  u16 identifier = 0;                ///< header identifier, echoed by the firmware
  u16 commandClass = kEnterCommand;  ///< class word
  u16 echo = 0;                      ///< echo word
  u16 code = 0;                      ///< selection code
  std::array<u8, 16> password{};     ///< password bytes
  std::optional<std::array<u8, 16>> newPassword;  ///< set: 42-byte password change
};
Bytes BuildCommand(const CommandSpec& fields);

/// The classic 280-byte status response.
struct StatusSpec {
  u16 type = kResponseType;           ///< header type
  u16 identifier = 0;                 ///< header identifier
  u16 requestClass = kEnterCommand;   ///< class of the request
  u16 echo = 0;                       ///< echo word of the request
  u16 result = 0;                     ///< result code, 0 success
  u16 remoteState = 0;                ///< remote state
  u16 storedCode = 0;                 ///< selection code of the stored command
  u16 storedEcho = 0;                 ///< echo word of the stored command
  u16 lastCompleted = 0;              ///< last completed code
  u8 keyChangeAcceptable = 0;         ///< payload byte 15
  u8 startupOrScan = 0;               ///< payload byte 17
  u8 moduleStateLow = 0x55;           ///< payload byte 19 (the fail-safe byte, queue byte 23)
  u16 missing = 0;                    ///< missing modules
  u16 mismatches = 0;                 ///< UDID mismatches
  u16 firmwareDifferences = 0;        ///< modules with a firmware difference
  std::array<u16, 101> sadrs{};       ///< SADRs of the first configured modules
  std::array<u8, 16> missingBits{};   ///< bit per module: missing
  std::array<u8, 16> mismatchBits{};  ///< bit per module: UDID mismatch
  std::array<u8, 16> firmwareBits{};  ///< bit per module: firmware difference
  bool operator==(const StatusSpec&) const = default;
};
Bytes BuildStatus(const StatusSpec& fields);

/// The 52-byte new-format status response.
struct NewStatusSpec {
  u16 type = kResponseType;            ///< header type
  u16 identifier = 0;                  ///< header identifier
  u16 requestClass = kStatusRequest;   ///< class of the request
  u16 echo = 0;                        ///< echo word
  u16 result = 0;                      ///< result code
  u16 code = 0x5000;                   ///< code of the request
  u8 version = kNewStatusVersion;      ///< record version
  u16 missing = 0;                     ///< missing modules
  u16 mismatches = 0;                  ///< UDID mismatches
  u16 firmwareDifferences = 0;         ///< firmware differences
  u16 configured = 0;                  ///< configured modules
  u32 stateBits = 0x0E00;              ///< state bits (0x200, 0x400, 0x800 always set)
  bool operator==(const NewStatusSpec&) const = default;
};
Bytes BuildNewStatus(const NewStatusSpec& fields);

/// Queue offsets the checker reads in responses (header included).
namespace ResponseOffsets {
constexpr std::size_t Status = 8;       ///< u16 result
constexpr std::size_t FailSafeByte = 23;  ///< classic: module-state low byte
constexpr std::size_t DataWord = 10;    ///< new: code of the request
constexpr std::size_t Version = 12;     ///< new: record version
constexpr std::size_t Flags = 44;       ///< new: u32 state bits
}  // namespace ResponseOffsets

}  // namespace TestFrames
