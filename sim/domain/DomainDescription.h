// A safety domain described in one readable TOML file: the domain number, the
// Qor controller's UDID, guarding, and per node what the node list expects and
// the device as it really is (each device value defaults to the expectation),
// with the faults. A description that contradicts itself is refused before
// anything starts, with a message that names the field.
//
//   sdn = 7                              # 1..1023
//   release = "older"                    # the programs the domain is for: "current" (the default,
//                                        #   scmfirmware and scmchecker, 1..12 nodes) or "older"
//                                        #   (scmfirmware-legacy and scmchecker-legacy, 1..101 nodes,
//                                        #   the older file layout, no commissioning settings)
//   qor_udid = "02-5C-3E-10-20-30"       # the UDID the host serves; node SADR 1 carries it
//   faults = ["3:wrong-vendor"]          # SADR:fault, as on the command line
//   [install]                            # how the key medium is installed (optional)
//   key_medium = "other-controller"      # the controller's copy of the key-medium identity (flash
//                                        #   area 16; Qor variable 4 in the older release) is another
//                                        #   controller's; "fresh-controller": none (flash area 16
//                                        #   absent; 18 zero bytes in variable 4); "acknowledged" (the
//                                        #   default): this key medium's
//   cpu = "exchanged"                    # "fwrevcnf.bin" accepts another CPU's target id: the
//                                        #   controller's CPU was exchanged since ("accepted", the
//                                        #   default: this CPU's)
//   [guarding]
//   time_us = 10000000                   # guard time in microseconds (written as CT ticks, rounded up)
//   life_factor = 3                      # guard times before a node gives up
//   [[node]]
//   sadr = 3                             # the node list's SADR
//   udid = "02-5C-3E-A0-00-03"           # what the node list expects ...
//   vendor_id = 0x0025C3E0
//   product_code = 0x1003
//   revision = 0x00010000
//   timestamp = 0x20260003
//   checksum = "A1 B2 C3 D4"             # hex bytes
//   parameter_set = "0102..."            # hex bytes
//   payload_length = 12                  # SSDO payload length, 8..254
//   additional_sets = ["..."]            # additional parameter sets 1..16, hex bytes
//   faults = ["busy=2"]
//   [node.device]                        # ... and the device as it really is
//   position = 3                         # where the network finds it
//   udid, vendor_id, product_code, revision, payload_limit, preload_window,
//   busy_answers, reset_guarding, reset_guard_interval_us, reset_guard_limit,
//   ask_additional = 0xF0 (the SN FAIL group 5 code that asks for a set)
//   timestamp, checksum                  # held at start; the described set brings the expected ones
//
// The SCM's own settings and the node-list values the sample-file generator
// writes into the parameter files (the simulated nodes do not read them):
//   [scm]
//   time_base = 2                        # CT time base 0..3 (a tick of about 1.04, 10.4, 104, 1042 us)
//   ssdo_timeout = 20000                 # SSDO timeout in CT ticks (written as it stands), and retries
//   ssdo_retries = 5
//   snmt_timeout = 20000                 # SNMT timeout in CT ticks (written as it stands), and retries
//   snmt_retries = 5
//   machine_options = [[1, 1], [32, 0]]  # optional: [number 1..32, value]
//   commissioning = [1, 0, 1]            # optional: the three commissioning settings
//   configuration = [0, 1, 1, 5]         # optional: machine options active, start-up flags active,
//                                        #   remote active, scans at start-up
//   and per [[node]]: flags, poll_time, additional_sadrs = [200, 201],
//   additional_set_timestamps = [...]    # one per additional set, 0 when left out
//
// A checksum left out while parameter_set is given is the set's CRC-32
// (little-endian); every other field left out takes its default for the SADR.
// A parameter set is a stream of records (u16 index, u8 sub-index, u32 length,
// data); the generated one ends with a record 0x1018/6 holding the checksum,
// as real sets do, so that whoever watches the download sees the checksum.
// The node list's vendor id, product code and both halves of the revision
// must not be 0 (0 means none in the key files).
#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "NodeConfig.h"

namespace SimDomain {

using SimNodes::Bytes;
using SimNodes::Udid;

/// The programs a domain is described for.
enum class Release {
  Current,  ///< scmfirmware and scmchecker
  Older,    ///< scmfirmware-legacy and scmchecker-legacy: up to 101 nodes, the older file layout
};

/// The key medium an installed domain starts with: what the controller holds as its copy of
/// the identity (flash area 16; Qor variable 4 in the older release).
enum class KeyMedium {
  Acknowledged,     ///< this key medium's identity ("corvane.uid")
  OtherController,  ///< another controller's identity: the operator must accept the key medium
  FreshController,  ///< none yet (flash area 16 absent; 18 zero bytes in variable 4)
};

/// The CPU the installed "fwrevcnf.bin" (and its ".chk") accept by its target id.
enum class InstalledCpu {
  Accepted,   ///< the host's CPU
  Exchanged,  ///< another CPU: the host's was put in since the files were written
};

/// Limits of a description.
namespace DomainLimits {
constexpr u16 MaxNodes = 12;              ///< nodes the current configuration manager serves
constexpr u16 MaxNodesOlder = 101;        ///< nodes the older release's configuration manager serves
/// Nodes the configuration manager of a release serves.
constexpr u16 MaxNodesOf(Release release) { return release == Release::Older ? MaxNodesOlder : MaxNodes; }
constexpr u16 MaxSadr = 1023;             ///< largest SADR and domain number
constexpr u16 QorSadr = 1;                ///< SADR of the node that stands for the Qor controller
constexpr std::size_t MaxAdditionalSets = 16;  ///< additional parameter sets per node
constexpr std::size_t MinAdditionalSet = 16;   ///< shortest additional set the configuration manager takes
}  // namespace DomainLimits

/// Defaults of a description.
namespace DomainDefaults {
constexpr u16 Sdn = 1;                                               ///< domain number
inline constexpr Udid QorUdid{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30};   ///< the host's default Qor UDID
constexpr u64 GuardTimeUs = 10000000;                                ///< guard time in microseconds (96000 ticks at the default time base 2)
constexpr u8 LifeFactor = 3;                                         ///< life time factor
constexpr u32 VendorId = 0x0025C3E0;                                 ///< vendor id of every node
constexpr u32 ProductCodeBase = 0x1000;                              ///< product code = base + SADR
constexpr u32 Revision = 0x00010001;                                 ///< revision number: major 1, minor 1 (neither half may be 0)
constexpr u32 TimestampBase = 0x20260000;                            ///< timestamp = base + SADR
constexpr u16 PayloadLength = 12;                                    ///< SSDO payload length
constexpr std::size_t ParameterFillerSize = 24;                      ///< data bytes of a generated set's first record
constexpr u16 ParameterFillerIndex = 0x2000;                          ///< that record's index is this plus the SADR
constexpr std::size_t ParameterSetSize = 7 + ParameterFillerSize + 7 + 4;  ///< generated set: filler record, then the 0x1018/6 checksum record
}  // namespace DomainDefaults

/// One node: what the node list expects and the device as it really is.
struct NodeEntry {
  u16 sadr = 0;                ///< the node list's SADR; the node's name in faults
  Udid udid{};                 ///< expected UDID
  u32 vendorId = 0;            ///< expected vendor id
  u32 productCode = 0;         ///< expected product code
  u32 revision = 0;            ///< expected revision number
  u32 timestamp = 0;           ///< expected parameter timestamp
  Bytes checksum;              ///< expected parameter checksum
  Bytes parameterSet;          ///< parameter set the node list downloads
  u16 payloadLength = 0;       ///< SSDO payload length of the node list
  std::vector<Bytes> additionalSets;  ///< additional parameter sets 1..n
  u32 flags = 0;                      ///< node-list flags
  u32 pollTime = 0;                   ///< node-list poll time
  std::vector<u16> additionalSadrs;   ///< additional SADRs of the node
  std::vector<u32> additionalSetTimestamps;  ///< timestamp of each additional set (missing ones 0)
  bool optional = false;                      ///< optional module: missing is no error
  bool requiredAtStartup = false;             ///< required at start-up
  bool notProcessed = false;                  ///< the SCM shall not process it
  bool autoConfigured = false;                ///< its UDID comes from "autocnf.bin"
  SimNodes::NodeConfig device;  ///< the device as it really is, faults included
};

/// The SCM's own settings beyond guarding.
struct ScmDescription {
  i32 timeBase = 2;           ///< CT time base
  u32 ssdoTimeout = 20000;    ///< SSDO timeout
  u8 ssdoRetries = 5;         ///< SSDO retries
  u32 snmtTimeout = 20000;    ///< SNMT timeout
  u8 snmtRetries = 5;         ///< SNMT retries
  std::vector<std::pair<u8, u8>> machineOptions;  ///< (number, value) of each machine option given
  std::optional<std::array<u32, 3>> commissioning;  ///< the three commissioning settings, when given
  std::optional<std::array<u32, 4>> configuration;  ///< options active, start-up flags active, remote active, scans
};

/// A whole domain.
struct Domain {
  u16 sdn = DomainDefaults::Sdn;                 ///< safety domain number
  Udid qorUdid = DomainDefaults::QorUdid;        ///< Qor controller UDID the host serves
  u64 guardTimeUs = DomainDefaults::GuardTimeUs; ///< guard time in microseconds
  u8 lifeFactor = DomainDefaults::LifeFactor;    ///< life time factor
  std::vector<NodeEntry> nodes;                  ///< the nodes, in description order
  ScmDescription scm;                            ///< the SCM's own settings beyond guarding
  KeyMedium keyMedium = KeyMedium::Acknowledged;  ///< the controller's copy of the key-medium identity
  InstalledCpu cpu = InstalledCpu::Accepted;     ///< the CPU the installed "fwrevcnf.bin" accepts
  Release release = Release::Current;            ///< the programs the domain is for
};

/// CT multipliers of the time bases 0..3: the CT is (microseconds x multiplier) >> 32.
inline constexpr std::array<u64, 4> CtMultiplier{0xF5C28F5Bull, 0x189374BCull, 0x02752546ull, 0x003EEA20ull};
/// A span in microseconds as CT ticks of a time base, rounded up; none when the
/// time base is not 0..3 or the ticks do not fit 32 bits (the guard-time object).
std::optional<u32> MicrosecondsToCtTicks(u64 microseconds, i32 timeBase);
/// The domain's guard time as the firmware counts it (0x100C/1), per MicrosecondsToCtTicks.
std::optional<u32> GuardTimeTicks(const Domain& domain);

/// Outcome of reading a description.
struct LoadResult {
  std::optional<Domain> domain;  ///< the domain, when accepted
  std::string error;             ///< else the message, naming the field
};

/// Reads a description from TOML text; source names it in messages.
LoadResult ParseDomain(std::string_view text, std::string_view source = "description");
/// Reads a description file.
LoadResult LoadDomainFile(const std::string& path);
/// Every key a description may hold, as dotted paths ("sdn", "guarding.time_us",
/// "node.sadr", "node.device.position", ...).
std::vector<std::string> DescriptionKeys();
/// Checks a domain for contradictions; empty when it holds.
std::string ValidateDomain(const Domain& domain);
/// Adds a fault given as "SADR:fault" (the command-line form); empty on success.
std::string ApplyFaultOption(Domain& domain, std::string_view option);
/// A uniform domain of count ideal nodes at SADR 1..count (count 1..MaxNodesOf(release) is not
/// checked here).
Domain UniformDomain(u16 count, u16 sdn = DomainDefaults::Sdn, Release release = Release::Current);
/// The domain as a description that ParseDomain reads back to the same domain.
std::string WriteDomain(const Domain& domain);
/// A node entry with every value at its default for this SADR.
NodeEntry DefaultNode(u16 sadr, const Udid& qorUdid = DomainDefaults::QorUdid);
/// The path of the shipped default domain.
std::string DefaultDomainPath();

/// UDID as "02-5C-3E-10-20-30".
std::string FormatUdid(const Udid& udid);
/// Bytes as upper-case hex pairs separated by spaces.
std::string FormatHex(const Bytes& bytes);

/// One scenario of the end-to-end runs: faults on a domain and the outcome.
struct Scenario {
  std::string name;                     ///< short name
  std::string description;              ///< what the run shows
  std::vector<std::string> faults;      ///< node faults, SADR:fault
  std::vector<std::string> wireFaults;  ///< wire faults, in the network's text form
  std::vector<std::string> operatorSteps;  ///< the scripted operator's steps (scmdemo --operator), in order
  bool operational = true;              ///< every node ends operational (else one stays out)
  std::string domain;                   ///< a description of its own (path beside the file); empty: the default
};

/// Outcome of reading a scenario file.
struct ScenarioResult {
  std::vector<Scenario> scenarios;  ///< the scenarios, in file order
  std::string error;                ///< empty when read, else the message naming the field
};

/// Reads a scenario file.
ScenarioResult LoadScenarioFile(const std::string& path);
/// The path of the shipped CI scenarios.
std::string DefaultScenariosPath();

}  // namespace SimDomain
