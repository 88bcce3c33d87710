// What a simulated safety node is: its identity, its parameters, how it
// answers, where the network finds it and which faults it carries.
#pragma once
#include <array>
#include <optional>
#include <vector>

#include "NodeFaults.h"
#include "ScmTypes.h"

namespace SimNodes {

using Bytes = std::vector<u8>;   ///< frame bytes or object data
using Udid = std::array<u8, 6>;  ///< a 6-byte UDID

/// Limits of the node's answers and of what it takes.
namespace Limits {
constexpr u16 MinPayload = 8;            ///< smallest SSDO payload limit a node list allows
constexpr u16 MaxPayload = 254;          ///< largest SSDO payload limit a node list allows
constexpr u8 MaxAnswerLe = 12;           ///< largest LE of a normal answer the SCM's dispatcher takes (37 bytes)
constexpr u8 MaxSlimAnswerLe = 24;       ///< largest LE of a slim answer the SCM's dispatcher takes (37 bytes)
constexpr u8 MinWindow = 1;              ///< smallest preload window
constexpr u8 MaxWindow = 15;             ///< largest preload window
constexpr u32 ParameterCapacity = 4096;  ///< largest parameter set object 0x101A/0 holds
}  // namespace Limits

/// An additional parameter set the node asks for with SN FAIL group 5.
struct AdditionalSetAsk {
  u8 code = 0xF0;  ///< SN FAIL code: (code & 0x0F) + 1 is the set's sub-index, 0xF0 and up the whole set
  Bytes expected;  ///< the set as it must arrive; empty takes any download
};

/// One node as it really is.
struct NodeConfig {
  u16 position = 0;               ///< SADR at which the network finds the node (1..1023)
  Udid udid{};                    ///< UDID the node list expects; the device carries it unless udid-mismatch
  u32 vendorId = 0;               ///< 0x1018/1
  u32 productCode = 0;            ///< 0x1018/2
  u32 revision = 0;               ///< 0x1018/3
  Bytes checksum;                 ///< 0x1018/6 once the described parameter set is in place
  u32 timestamp = 0;              ///< 0x1018/7 once the described parameter set is in place
  std::optional<Bytes> initialChecksum;  ///< set: 0x1018/6 at start, before any download
  std::optional<u32> initialTimestamp;   ///< set: 0x1018/7 at start, before any download
  Bytes parameterSet;             ///< the parameter set the node list downloads to 0x101A/0
  u16 payloadLimit = 12;          ///< SSDO payload limit (the node list's SSDO payload length)
  u8 preloadWindow = 1;           ///< preload window announced in the answer to a preload initiate
  u32 busyAnswers = 0;            ///< busy answers to set-to-operational before the outcome
  bool resetGuarding = false;     ///< sends reset-guarding frames while unassigned
  u64 resetGuardIntervalUs = 1000000;  ///< time between two reset-guarding frames
  u8 resetGuardLimit = 255;       ///< reset-guarding frames per unassigned spell; 255 is no limit
  u64 guardTimeUs = 1000000;      ///< guard time the SCM guards with
  u8 lifeFactor = 3;              ///< guard times without a guard request before the node leaves operational
  std::optional<AdditionalSetAsk> askAdditional;  ///< set: asks for this additional set before operational
  NodeFaults faults;              ///< the node's faults
};

/// The UDID the device carries: the expected one, or with udid-mismatch another
/// one (the last byte's top bit flipped).
Udid DeviceUdid(const NodeConfig& config);

}  // namespace SimNodes
