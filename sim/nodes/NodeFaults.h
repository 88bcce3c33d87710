// Faults a simulated safety node can carry. Each fault has one name, used as it
// stands in domain descriptions and on command lines: "name" or "name=value".
//
//   silent                   never sends anything
//   silent-after=K           sends K frames, then nothing
//   silent-after-op          silent from its operational answer on
//   wrong-vendor             reports another vendor id
//   wrong-product            reports another product code
//   wrong-revision           reports another revision number
//   wrong-checksum           starts with another parameter checksum (the download road)
//   wrong-timestamp          starts with another parameter timestamp
//   short-timestamp          answers the parameter timestamp read with its first 2 bytes (segmented)
//   udid-mismatch            the device carries another UDID than the node list expects
//   busy=N                   N busy answers to set-to-operational before the outcome
//   always-busy              answers set-to-operational with busy for ever
//   sn-fail=G/C              SN FAIL group G code C at the first set-to-operational
//   sn-fail-always=G/C       SN FAIL group G code C at every set-to-operational
//   preload-refused          refuses segmented downloads with preload
//   oversize                 SSDO answers as long as a frame allows, beyond the payload limit
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScmTypes.h"

namespace SimNodes {

/// When a node stops sending.
enum class Silence : u8 {
  None,             ///< sends normally
  FromStart,        ///< never sends
  AfterFrames,      ///< sends silenceAfterFrames frames, then nothing
  AfterOperational  ///< stops after its operational answer went out
};

/// An SN FAIL that the node answers to set-to-operational.
struct SnFailFault {
  u8 group = 0;         ///< error group sent
  u8 code = 0;          ///< error code sent
  bool always = false;  ///< every attempt (true) or only the first one
};

/// All faults of one node; the default is an ideal node.
struct NodeFaults {
  Silence silence = Silence::None;   ///< silence kind
  u32 silenceAfterFrames = 0;        ///< frames sent before silence (AfterFrames)
  bool wrongVendor = false;          ///< vendor id reported complemented
  bool wrongProduct = false;         ///< product code reported complemented
  bool wrongRevision = false;        ///< revision number reported complemented
  bool wrongChecksum = false;        ///< parameter checksum differs until the set is downloaded
  bool wrongTimestamp = false;       ///< parameter timestamp differs until the set is downloaded
  bool shortTimestamp = false;       ///< parameter timestamp read answered with 2 bytes, segmented
  bool udidMismatch = false;         ///< the device carries another UDID
  std::optional<u32> busyAnswers;    ///< set: replaces the node's configured busy answers
  bool alwaysBusy = false;           ///< set-to-operational is always answered busy
  std::optional<SnFailFault> snFail; ///< SN FAIL at set-to-operational
  bool preloadRefused = false;       ///< segmented download with preload refused
  bool oversize = false;             ///< SSDO answers beyond the payload limit
};

/// Fault names as they appear in descriptions, on command lines and in records.
namespace FaultNames {
constexpr std::string_view Silent = "silent";                     ///< Silence::FromStart
constexpr std::string_view SilentAfter = "silent-after";          ///< Silence::AfterFrames, value K
constexpr std::string_view SilentAfterOp = "silent-after-op";     ///< Silence::AfterOperational
constexpr std::string_view WrongVendor = "wrong-vendor";          ///< wrongVendor
constexpr std::string_view WrongProduct = "wrong-product";        ///< wrongProduct
constexpr std::string_view WrongRevision = "wrong-revision";      ///< wrongRevision
constexpr std::string_view WrongChecksum = "wrong-checksum";      ///< wrongChecksum
constexpr std::string_view WrongTimestamp = "wrong-timestamp";    ///< wrongTimestamp
constexpr std::string_view ShortTimestamp = "short-timestamp";    ///< shortTimestamp
constexpr std::string_view UdidMismatch = "udid-mismatch";        ///< udidMismatch
constexpr std::string_view Busy = "busy";                         ///< busyAnswers, value N
constexpr std::string_view AlwaysBusy = "always-busy";            ///< alwaysBusy
constexpr std::string_view SnFail = "sn-fail";                    ///< snFail once, value G/C
constexpr std::string_view SnFailAlways = "sn-fail-always";       ///< snFail always, value G/C
constexpr std::string_view PreloadRefused = "preload-refused";    ///< preloadRefused
constexpr std::string_view Oversize = "oversize";                 ///< oversize
}  // namespace FaultNames

/// Every fault name, in the order of the list above.
const std::vector<std::string_view>& AllFaultNames();

/// One fault as a person writes it, with what it does.
struct FaultUsage {
  std::string_view form;     ///< "name" or "name=VALUE" as written
  std::string_view meaning;  ///< what the node does with it
};
/// Every fault in its written form with its meaning, in the order of the list above.
const std::vector<FaultUsage>& FaultUsages();
/// The written forms of every fault, separated by ", " (what an unknown name is told).
std::string ValidFaultForms();

/// Adds one fault given as "name" or "name=value" to faults. Returns an empty
/// string on success, else a message naming the fault and what is wrong.
std::string ApplyFault(std::string_view text, NodeFaults& faults);

/// The faults in their text form, one entry per fault set.
std::vector<std::string> DescribeFaults(const NodeFaults& faults);

}  // namespace SimNodes
