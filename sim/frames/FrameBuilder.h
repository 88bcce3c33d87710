// The one safety-frame codec outside both channels, written from the frame
// format alone (never from the serializer or a decoder): the simulated nodes
// speak it, and both channels are tested against frames that share no code
// with them.
//
// A frame in queue form is sub-frame ONE immediately followed by sub-frame TWO.
// W, the CRC width, is 1 byte when LE <= 8 and 2 bytes when LE > 8.
//
//   ONE: 0 ADR bits 0..7 | 1 ID << 2 | ADR bits 8..9 | 2 LE | 3 CT bits 0..7
//        | 4 .. 3+LE payload | CRC1 over ONE's bytes 0 .. 3+LE
//   TWO: 0 (ADR ^ SDN) bits 0..7 | 1 ID << 2 | (ADR ^ SDN) bits 8..9
//        | 2 CT bits 8..15 | 3 TADR bits 0..7 | 4 TR << 2 | TADR bits 8..9
//        | 5 .. 4+LE payload again (absent in slim frames, ids 0x3A/0x3B)
//        | CRC2 over all preceding bytes of TWO
//
// CRC-16 values travel low byte first. CRC-8 (0x2F) up to LE 8; above, slim
// frames use CRC-16 0x5935 and all others CRC-16 0x755B; all start from 0.
// The SCM-UDID coding XORs TWO's first six bytes with the SCM UDID after both
// CRCs are in place (for slim frames: five header bytes and the first CRC2 byte).
#pragma once
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ScmTypes.h"

namespace TestFrames {

using Bytes = std::vector<u8>;     ///< a message as it sits on a queue (plain, not complemented)
using Udid = std::array<u8, 6>;    ///< a 6-byte UDID
using ExtendedCt = std::array<u8, 3>;  ///< the three extended-CT bytes of SPDO frames 0x30/0x31

/// Frame ids of the system.
namespace Ids {
constexpr u8 UdidRequest = 0x28;          ///< SNMT request UDID
constexpr u8 UdidResponse = 0x29;         ///< SNMT UDID response
constexpr u8 AssignSadr = 0x2A;           ///< SNMT assign SADR
constexpr u8 SadrAssigned = 0x2B;         ///< SNMT SADR assigned
constexpr u8 SnmtService = 0x2C;          ///< SNMT extended service request
constexpr u8 SnmtServiceResponse = 0x2D;  ///< SNMT extended service response
constexpr u8 ResetGuarding = 0x2F;        ///< SNMT reset guarding of the SCM
constexpr u8 SpdoFirst = 0x30;            ///< first SPDO id
constexpr u8 SsdoRequest = 0x38;          ///< SSDO service request
constexpr u8 SsdoResponse = 0x39;         ///< SSDO service response
constexpr u8 SlimSsdoRequest = 0x3A;      ///< slim SSDO service request
constexpr u8 SlimSsdoResponse = 0x3B;     ///< slim SSDO service response
}  // namespace Ids

/// Byte offsets of the queue form.
namespace Offsets {
constexpr std::size_t OneAdrLow = 0;     ///< ONE: ADR bits 0..7
constexpr std::size_t OneIdAdrHigh = 1;  ///< ONE: ID << 2 | ADR bits 8..9
constexpr std::size_t OneLe = 2;         ///< ONE: LE
constexpr std::size_t OneCtLow = 3;      ///< ONE: CT bits 0..7
constexpr std::size_t OnePayload = 4;    ///< ONE: first payload byte
constexpr std::size_t TwoSdnLow = 0;     ///< TWO: (ADR ^ SDN) bits 0..7
constexpr std::size_t TwoIdSdnHigh = 1;  ///< TWO: ID << 2 | (ADR ^ SDN) bits 8..9
constexpr std::size_t TwoCtHigh = 2;     ///< TWO: CT bits 8..15
constexpr std::size_t TwoTadrLow = 3;    ///< TWO: TADR bits 0..7
constexpr std::size_t TwoTrTadrHigh = 4; ///< TWO: TR << 2 | TADR bits 8..9
constexpr std::size_t TwoPayload = 5;    ///< TWO: first payload byte (basic frames)
constexpr std::size_t CodedBytes = 6;    ///< bytes of TWO covered by the SCM-UDID coding
}  // namespace Offsets

/// Every field of one frame. Address fields are written with 10 bits, ID and
/// TR with 6 bits; higher bits are dropped, as the wire has no room for them.
struct FrameSpec {
  u8 id = 0;        ///< frame id
  u16 adr = 0;      ///< address field ADR
  u16 sdn = 0;      ///< safety domain number
  u16 ct = 0;       ///< consecutive time
  u16 tadr = 0;     ///< second address field TADR
  u8 tr = 0;        ///< time request number
  Bytes payload;    ///< the payload; LE is its size (at most 255)
  std::optional<Udid> scmUdid;         ///< set: apply the SCM-UDID coding with these bytes
  std::optional<ExtendedCt> extendedCt;  ///< set: XOR into TWO bytes 0, 1, 3 after the coding
};

/// True for the slim SSDO ids 0x3A and 0x3B (no payload in TWO).
bool IsSlimId(u8 id);
/// True for the SNMT ids 0x28..0x2F (never UDID-coded by the firmware).
bool IsSnmtId(u8 id);
/// CRC width in bytes for a payload length: 1 up to 8, else 2.
std::size_t CrcWidth(std::size_t le);
/// Total queue length of a frame with this id and LE.
std::size_t FrameLength(u8 id, std::size_t le);
/// Offset of sub-frame TWO in the queue form.
std::size_t SubFrameTwoOffset(std::size_t le);
/// The frame CRC over n bytes with the polynomial chosen by id and LE (CRC-8 in the low byte).
u16 FrameCrc(u8 id, std::size_t le, const u8* data, std::size_t n);

/// Builds the frame in queue form. The SCM-UDID coding is applied exactly when
/// fields.scmUdid is set, whatever the id; WithFirmwareCoding sets it as the
/// firmware's serializer would (all ids except SNMT).
Bytes BuildFrame(const FrameSpec& fields);
/// The frame with the SCM-UDID coding the firmware applies: udid for non-SNMT ids, none for SNMT.
FrameSpec WithFirmwareCoding(FrameSpec fields, const Udid& udid);

/// Queue form -> transmit-block form (TWO first, ONE behind it); reads ID and
/// LE from ONE and needs the whole frame (else an empty result).
Bytes QueueToBlockForm(const Bytes& queueForm);
/// Transmit-block form -> queue form for a frame of this id and LE (TWO's id
/// may be coded, so the caller names them); a wrong length gives an empty result.
Bytes BlockToQueueForm(const Bytes& blockForm, u8 id, std::size_t le);

/// How ParseFrame undoes the coding of TWO.
struct ParseOptions {
  std::optional<Udid> scmUdid;           ///< set: XOR TWO's first six bytes with it
  std::optional<ExtendedCt> extendedCt;  ///< set: XOR it out of TWO bytes 0, 1, 3 first
};

/// A frame parsed back from queue form, every check done apart from the channels.
struct ParsedFrame {
  bool ok = false;            ///< exact length, both CRCs right, ids equal, payloads equal
  std::string error;          ///< the first failed check, empty when ok
  std::size_t expectedLength = 0;  ///< total length computed from ID and LE
  u8 id = 0;                  ///< ID from ONE
  u8 twoId = 0;               ///< ID bits of TWO byte 1
  u16 adr = 0;                ///< ADR from ONE
  u16 sdn = 0;                ///< ONE's address field XOR TWO's
  u8 le = 0;                  ///< LE from ONE
  u16 ct = 0;                 ///< ONE byte 3 | TWO byte 2 << 8
  u16 tadr = 0;               ///< TADR from TWO
  u8 tr = 0;                  ///< TR from TWO
  Bytes payload;              ///< ONE's payload
  Bytes payloadTwo;           ///< TWO's payload (empty for slim frames)
  u16 crc1 = 0;               ///< CRC1 as received
  u16 crc2 = 0;               ///< CRC2 as received (after the decoding)
  bool crc1Ok = false;        ///< CRC1 matches
  bool crc2Ok = false;        ///< CRC2 matches
  bool payloadsEqual = false; ///< ONE's and TWO's payload equal (true for slim frames)
};

/// Parses queue form, removing the coding given in options; never reads past the buffer.
ParsedFrame ParseFrame(const Bytes& queueForm, const ParseOptions& options = {});

}  // namespace TestFrames
