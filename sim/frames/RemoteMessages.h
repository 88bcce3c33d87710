// The remaining remote-control messages outside both channels, written from
// the record tables alone: the object-read command, commands of any length,
// and every answer besides the two status records (password information and
// check, controller UDID, address list, module flags, object-read answers),
// with readers that turn each answer back into its fields and refuse what
// does not fit. All fields little-endian; messages plain, header included.
//
//   object read (16 + 4n):  0 class 0x8400 | 2 length + 2 | 4 service | 8 word
//                           | 10 version | 12 n | 16 per object: index, sub, 0
//   object-read answer:     0 class | 2 length + 2 | 4 service | 8 word | 10 result
//                           | 12 version | 14 entries | 18 per entry: index,
//                           sub, error, u32 value (refusals: 14 bytes, no entries)
//   password info / check:  0 class | 2 echo | 4 result | 6 code | 8 u8 answer
//   controller UDID (14):   0 class | 2 echo | 4 result | 6 code | 8 UDID[6]
//   address list (208):     0 class | 2 echo | 4 result | 6 code | 8 SADRs[100]
//   module flags (56):      0 class | 2 echo | 4 result | 6 code | 8, 24, 40 bits[16]
#pragma once
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "MessageBuilder.h"

namespace TestFrames {

/// Payload sizes of the answers (header excluded).
namespace AnswerSizes {
constexpr std::size_t PasswordInfo = 9;         ///< password information and check
constexpr std::size_t ControllerUdid = 14;      ///< controller UDID
constexpr std::size_t AddressList = 208;        ///< address list
constexpr std::size_t ModuleFlags = 56;         ///< module flags
constexpr std::size_t ObjectReadRefusal = 14;   ///< a refused object read
constexpr std::size_t ObjectReadHeader = 18;    ///< an object-read answer before its entries
constexpr std::size_t ObjectReadEntry = 8;      ///< one entry
}  // namespace AnswerSizes

/// Class of the object-read command.
constexpr u16 kObjectReadClass = 0x8400;
/// Most objects one object read carries on the command queue.
constexpr std::size_t kMaxReadObjects = 5;

/// A command message around any payload (bad commands of any length included).
Bytes BuildRawCommand(u16 identifier, const Bytes& payload);

/// One object to read.
struct ObjectRef {
  u16 index = 0;  ///< object index
  u8 sub = 0;     ///< sub-index
  bool operator==(const ObjectRef&) const = default;
};

/// The object-read command; count and lengthWord default to what the objects make.
struct ObjectReadSpec {
  u16 identifier = 0;                  ///< header identifier
  u16 service = 1;                     ///< service word (low byte 1 = read)
  u16 word = 0;                        ///< word at 8, echoed by the answer
  u16 version = 1;                     ///< format version
  std::vector<ObjectRef> objects;      ///< objects in order
  std::optional<u16> count;            ///< n as sent (default: objects.size())
  std::optional<u16> lengthWord;       ///< length word as sent (default: 18 + 4n)
};
Bytes BuildObjectRead(const ObjectReadSpec& fields);

/// Password information (code 0x1000) or password check (code 0x2000).
struct PasswordInfoSpec {
  u16 identifier = 0;              ///< header identifier
  u16 requestClass = kStatusRequest;  ///< class of the request
  u16 echo = 0;                    ///< echo word
  u16 result = 0;                  ///< result
  u16 code = 0x1000;               ///< code of the request
  u8 answer = 0;                   ///< 1 a password is set (and matches, for the check)
  bool operator==(const PasswordInfoSpec&) const = default;
};
Bytes BuildPasswordInfo(const PasswordInfoSpec& fields);
std::optional<PasswordInfoSpec> ReadPasswordInfo(const Bytes& message);

/// The controller UDID answer.
struct ControllerUdidSpec {
  u16 identifier = 0;              ///< header identifier
  u16 requestClass = kStatusRequest;  ///< class of the request
  u16 echo = 0;                    ///< echo word
  u16 result = 0;                  ///< result
  u16 code = 0x3000;               ///< code of the request
  Udid udid{};                     ///< the Qor controller's UDID
  bool operator==(const ControllerUdidSpec&) const = default;
};
Bytes BuildControllerUdid(const ControllerUdidSpec& fields);
std::optional<ControllerUdidSpec> ReadControllerUdid(const Bytes& message);

/// The address list of one page.
struct AddressListSpec {
  u16 identifier = 0;              ///< header identifier
  u16 requestClass = kStatusRequest;  ///< class of the request
  u16 echo = 0;                    ///< echo word
  u16 result = 0;                  ///< result (32 beyond the list)
  u16 code = 0x6000;               ///< code of the request, page in the low nibble
  std::array<u16, 100> sadrs{};    ///< SADRs of the page, 0 after the last
  bool operator==(const AddressListSpec&) const = default;
};
Bytes BuildAddressList(const AddressListSpec& fields);
std::optional<AddressListSpec> ReadAddressList(const Bytes& message);

/// The module flags of one page.
struct ModuleFlagsSpec {
  u16 identifier = 0;              ///< header identifier
  u16 requestClass = kStatusRequest;  ///< class of the request
  u16 echo = 0;                    ///< echo word
  u16 result = 0;                  ///< result (32 beyond the list)
  u16 code = 0x7000;               ///< code of the request, page in the low nibble
  std::array<u8, 16> missing{};    ///< bit k: k-th module of the page registered missing
  std::array<u8, 16> mismatch{};   ///< bit k: UDID mismatch
  std::array<u8, 16> firmware{};   ///< bit k: firmware difference
  bool operator==(const ModuleFlagsSpec&) const = default;
};
Bytes BuildModuleFlags(const ModuleFlagsSpec& fields);
std::optional<ModuleFlagsSpec> ReadModuleFlags(const Bytes& message);

/// One entry of an object-read answer.
struct ObjectEntry {
  u16 index = 0;   ///< object index
  u8 sub = 0;      ///< sub-index
  u8 error = 0;    ///< 0 read, 1 not read
  u32 value = 0;   ///< the value, or the reason (2 no object, 3 no sub-index, 7 unavailable)
  bool operator==(const ObjectEntry&) const = default;
};

/// An object-read answer; a refusal (refused = true) has 14 bytes and no entries; a refusal of class 0
/// answers a too short command and carries its result alone.
struct ObjectReadAnswerSpec {
  u16 identifier = 0;              ///< header identifier
  bool refused = false;            ///< the 14-byte form
  u16 requestClass = kObjectReadClass;  ///< class
  u16 service = 1;                 ///< service word
  u16 word = 0;                    ///< the command's word at 8
  u16 result = 0;                  ///< 0, 0x100 mixed errors, 1..5 refused
  u16 version = 1;                 ///< format version
  std::vector<ObjectEntry> entries;  ///< entries in order
  bool operator==(const ObjectReadAnswerSpec&) const = default;
};
Bytes BuildObjectReadAnswer(const ObjectReadAnswerSpec& fields);
std::optional<ObjectReadAnswerSpec> ReadObjectReadAnswer(const Bytes& message);

/// The classic status record's fields; none unless 280 bytes of type 4.
std::optional<StatusSpec> ReadStatus(const Bytes& message);
/// The new status record's fields; none unless 52 bytes of type 4 answering code 0x5000.
std::optional<NewStatusSpec> ReadNewStatus(const Bytes& message);

}  // namespace TestFrames
