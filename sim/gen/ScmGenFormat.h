// Layout constants of the parameter files and the little-endian writer the
// generator builds them with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ScmGen.h"

namespace ScmGen {

inline constexpr std::size_t kMaxNodes = 12;            ///< nodes of the current release's node list
inline constexpr std::size_t kMaxNodesOlder = 101;      ///< nodes of the older release's node list
inline constexpr std::uint16_t kMaxNodeSadr = 1022;     ///< highest node SADR (1023 is the SCM's)
inline constexpr std::uint16_t kMinSsdoPayload = 8;     ///< smallest SSDO payload length
inline constexpr std::uint16_t kMaxSsdoPayload = 128;   ///< largest SSDO payload length every SCM path handles
inline constexpr std::uint32_t kDomainMax = 0x20000;    ///< largest domain of the object list
inline constexpr std::uint32_t kHeaderSize = 64;        ///< header of every file
inline constexpr std::uint32_t kEntryHeaderSize = 16;   ///< header of a "pardata1.bin" entry
inline constexpr std::uint16_t kAddParBase = 0xE3FF;    ///< additional sets of SADR s: object kAddParBase + s
inline constexpr std::uint32_t kCrcBlock = 16384;       ///< bytes per block CRC
inline constexpr std::uint16_t kSadrCount = 1023;       ///< SADRs of the domain
inline constexpr std::size_t kMaxAutoUdids = 12;        ///< UDIDs of "autocnf.bin" the current firmware takes
inline constexpr std::size_t kMaxAutoUdidsOlder = 101;  ///< UDIDs of "autocnf.bin" the older firmware takes
inline constexpr std::size_t kMachineOptionSize = 64;   ///< machine option bytes of "autocnf.bin"
inline constexpr std::size_t kFlagArraySize = 128;      ///< bytes of one module-flag array
inline constexpr std::uint16_t kFwRevAlwaysFlags = 0x06;  ///< "fwrevcnf.bin" flags the firmware always sets
inline constexpr std::uint16_t kFwRevKnownFlags = 0x1F;   ///< "fwrevcnf.bin" flags both current sides know
inline constexpr std::uint16_t kFwRevKnownFlagsOlder = 0x07;  ///< the flags both older sides know
inline constexpr std::uint16_t kModuleMarkIndex = 0x2106;       ///< current object of the module-mark arrays
inline constexpr std::uint16_t kModuleMarkIndexOlder = 0xD000;  ///< the older release's object of them
inline constexpr unsigned kCorvaneUidTimeBits = 52;     ///< bits of the "corvane.uid" time the firmware keeps

/// Nodes of the node list of a layout.
constexpr std::size_t MaxNodes(Layout layout) { return layout == Layout::Older ? kMaxNodesOlder : kMaxNodes; }
/// UDIDs of "autocnf.bin" the firmware of a layout takes.
constexpr std::size_t MaxAutoUdids(Layout layout) {
  return layout == Layout::Older ? kMaxAutoUdidsOlder : kMaxAutoUdids;
}
/// "fwrevcnf.bin" flags the programs of a layout know.
constexpr std::uint16_t FwRevKnownFlags(Layout layout) {
  return layout == Layout::Older ? kFwRevKnownFlagsOlder : kFwRevKnownFlags;
}

/// Appends little-endian values to a byte vector.
class ByteWriter {
 public:
  explicit ByteWriter(Bytes& out) : out_(out) {}
  void U8(std::uint8_t v) { out_.push_back(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v));
    U8(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void Append(const Bytes& b) { out_.insert(out_.end(), b.begin(), b.end()); }

 private:
  Bytes& out_;  ///< the bytes written to
};

/// Stores a little-endian u16 / u32 at an offset.
void PutU16(Bytes& b, std::size_t at, std::uint16_t v);
void PutU32(Bytes& b, std::size_t at, std::uint32_t v);

}  // namespace ScmGen
