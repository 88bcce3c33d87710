// The operator's reading of the records on the host "event" queue: the
// 11-byte record split into its fields, the class and kind of a code, and a
// readable name for the codes an operator of a simulated domain meets (stack
// errors, safety node failures, start-up, parameter files, fatal ones, and
// the checker's own log records). Unknown codes read as their hex value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ScmSim {

/// One event record as the host receives it (plain bytes, little-endian).
struct EventRecord {
  uint8_t level = 0;          ///< 1 information, 2 warning, 3 fatal or error, 4 as given
  uint32_t code = 0;          ///< event code; top nibble the class
  uint16_t information0 = 0;  ///< first information field
  uint32_t information1 = 0;  ///< second information field
};

/// Bytes of one record on the queue.
inline constexpr size_t kEventRecordSize = 11;
/// Class of the codes that make the firmware fail-safe.
inline constexpr uint8_t kFatalEventClass = 9;
/// Class of the firmware's ordinary codes.
inline constexpr uint8_t kOrdinaryEventClass = 6;
/// The firmware's report of a safety node failure.
inline constexpr uint32_t kSnFailEventCode = 0x6200AF40u;

/// What an event code is about, for grouping in views and summaries.
enum class EventKind {
  Unknown,        ///< a code this reader has no name for
  StartUp,        ///< start-up, handshake and cycle timing of the firmware
  ParameterFile,  ///< loading, checking or writing the parameter and key files
  FileAccess,     ///< the firmware's storage calls
  Channel,        ///< the firmware's message channels and event store
  StackError,     ///< an error of the safety stack reported as an event
  SnFail,         ///< a safety node failure (SN FAIL)
  Application,    ///< the firmware application's information and internal errors
  Checker,        ///< a log record of the checker
};

/// The record's fields; none unless it is exactly 11 bytes.
std::optional<EventRecord> DecodeEventRecord(const std::vector<uint8_t>& bytes);
/// The 11 bytes of a record (for tests and injectors).
std::vector<uint8_t> EncodeEventRecord(const EventRecord& record);

/// Bits 31..28 of the code.
uint8_t EventClass(uint32_t code);
/// Bits 23..20 equal to 1 mark an information event.
bool IsInformationEvent(uint32_t code);
/// The checker logs its error codes 0xE200..0xE2FF with the upper bytes zero.
bool IsCheckerRecord(uint32_t code);
/// A class-9 code: the firmware is fail-safe from it on.
bool IsFatalEvent(uint32_t code);

/// The parts of an SN FAIL event's information1.
struct SnFailInfo {
  uint16_t sadr = 0;  ///< bits 0..15: the node's SADR
  uint8_t group = 0;  ///< bits 16..23: error group
  uint8_t code = 0;   ///< bits 24..31: error code
};
SnFailInfo DecodeSnFail(uint32_t information1);

/// Kind of a code.
EventKind KindOf(uint32_t code);
/// Short name of a kind ("start-up", "SN FAIL", ...).
const char* KindName(EventKind kind);
/// Readable name of a code, empty when this reader does not know it.
std::string EventCodeName(uint32_t code);
/// The code as eight hex digits, "0x6200AF40".
std::string HexCode(uint32_t code);
/// One line: level, code, name and the information fields, decoded where the code says how.
std::string DescribeEvent(const EventRecord& record);

}  // namespace ScmSim
