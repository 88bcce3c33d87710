// Small helpers for the node tests: requests as the configuration manager
// sends them, answers parsed back, and a node brought to a given state.
#pragma once
#include <optional>
#include <string>

#include "FrameBuilder.h"
#include "SimNode.h"

namespace NodeTest {

using SimNodes::Bytes;
using SimNodes::Udid;

constexpr u16 kSdn = 5;          ///< domain number of the tests
constexpr u16 kScmSadr = 20;     ///< SADR of the configuration manager
constexpr u16 kPosition = 3;     ///< SADR of the node under test
constexpr u32 kTimestamp = 0x11223344;  ///< described parameter timestamp
inline constexpr Udid kNodeUdid{0x02, 0x5C, 0x3E, 0x00, 0x00, 0x03};  ///< described node UDID
inline constexpr Udid kScmUdid{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};   ///< the SCM's UDID

/// A described node at kPosition with a 12-byte parameter set.
SimNodes::NodeConfig DefaultConfig();

/// An SNMT request to the node.
Bytes Snmt(u8 id, Bytes payload, u16 adr = kPosition, u16 sdn = kSdn, u16 ct = 0, u8 tr = 0);
/// An SNMT service request (0x2C).
Bytes Service(Bytes payload, u16 adr = kPosition, u16 sdn = kSdn);
/// An SSDO request coded with udid (slim: 0x3A).
Bytes Ssdo(Bytes payload, u16 ct, bool slim = false, const Udid& udid = kScmUdid, u16 adr = kPosition, u8 tr = 0);
/// An answer parsed back (SSDO answers decoded with the SCM UDID).
TestFrames::ParsedFrame Parse(const Bytes& frame, const Udid& udid = kScmUdid);
/// The set-to-operational request with a timestamp.
Bytes SetOp(u32 timestamp = kTimestamp);

/// Assigns SADR and SCM UDID: the node is pre-operational afterwards.
void Configure(SimNodes::SimNode& node);
/// Configures the node and sets it to operational (busy answers repeated).
void MakeOperational(SimNodes::SimNode& node);

/// A segmented download initiate of 0x101A/0 (command 0x29 or 0x2B) announcing total
/// bytes, with first bytes of fill as its first data.
Bytes SegmentedInitiate(u8 command, u32 total, std::size_t first, u8 fill);
/// A command, index and sub-index.
Bytes WithIndex(u8 command, u16 index, u8 sub);
/// Little-endian u32 appended.
void PutU32(Bytes& out, u32 v);
/// Little-endian u32 at p.
u32 GetU32(const Bytes& b, std::size_t at);

}  // namespace NodeTest
