// Generator of the domain's parameter files ("kel_para.saf", "corvane.dat" and
// "pardata1.bin") and of the application's files ("autocnf.bin", "fwrevcnf.bin"
// and "corvane.uid") from a model of one safety domain. It writes only file
// sets that both the firmware and the checker accept, and refuses any other
// domain with a message that names the offending field.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ScmGen {

/// The release whose programs read the files. The older one (scmfirmware-legacy and
/// scmchecker-legacy) serves up to 101 nodes, holds the auto-configuration arrays at
/// 0xD000/1-4, carries every additional set in the node list ("pardata1.bin" does not
/// exist) and knows no commissioning settings (0x210B) and no "fwrevcnf.bin" flags above 0x04.
enum class Layout {
  Current,  ///< scmfirmware and scmchecker
  Older,    ///< scmfirmware-legacy and scmchecker-legacy
};

using Bytes = std::vector<std::uint8_t>;   ///< file or payload bytes
using Udid = std::array<std::uint8_t, 6>;  ///< 6 UDID bytes

/// Configuration data of the application (objects 0x2106/4-7).
struct ConfigurationData {
  std::uint32_t machineOptionsActive = 0;  ///< external machine options required (0x2106/4)
  std::uint32_t startupFlagsActive = 0;    ///< start-up flags required, 0 or 1 (0x2106/5)
  std::uint32_t remoteActive = 0;          ///< remote control switched on (0x2106/6)
  std::uint32_t scansAtStartup = 5;        ///< scans at start-up, 1 to 10 (0x2106/7)
};

/// One machine option (object 0x2100/number).
struct MachineOption {
  std::uint8_t number = 1;  ///< 1 to 32
  std::uint8_t value = 0;   ///< 0 off, else on
};

/// The SCM's own settings.
struct ScmSettings {
  std::uint32_t guardTime = 100000;     ///< 0x100C/1, 60,000 to 600,000
  std::uint8_t lifeTimeFactor = 2;      ///< 0x100C/2, 1 to 255
  std::int32_t timeBase = 2;            ///< 0x1200/3, 0 to 3
  std::uint32_t ssdoTimeout = 20000;    ///< 0x1201/1, 1 to 65,535
  std::uint8_t ssdoRetries = 5;         ///< 0x1201/2
  std::uint32_t snmtTimeout = 20000;    ///< 0x1202/1, at least 1
  std::uint8_t snmtRetries = 5;         ///< 0x1202/2
  std::vector<MachineOption> machineOptions;                        ///< 0x2100/n, optional
  std::optional<std::array<std::uint32_t, 3>> commissioning;        ///< 0x210B/1-3, optional
  std::optional<ConfigurationData> configuration;                   ///< 0x2106/4-7, optional
};

/// One node of the node list, in list order.
struct Node {
  std::uint16_t sadr = 0;               ///< main SADR, 1 to 1022, unique
  Udid udid{};                          ///< expected UDID (all zero: not known yet)
  std::uint32_t vendorId = 0;           ///< expected vendor id
  std::uint32_t productCode = 0;        ///< expected product code
  std::uint32_t revision = 0;           ///< expected revision number
  Bytes parameterSet;                   ///< the parameter set downloaded over SSDO
  Bytes checksum;                       ///< expected parameter checksum, 4 to 256 bytes, a multiple of 4
  std::uint32_t timestamp = 0;          ///< parameter timestamp
  std::uint32_t flags = 0;              ///< node flags
  std::uint16_t ssdoPayloadLength = 8;  ///< SSDO payload length, 8 to 128
  std::uint32_t pollTime = 0;           ///< poll time
  std::vector<std::uint16_t> additionalSadrs;  ///< additional SADRs of the node
  bool optional = false;                ///< optional module: missing is no error (0x2106/1)
  bool requiredAtStartup = false;       ///< required at start-up (0x2106/2)
  bool notProcessed = false;            ///< the SCM shall not process it (0x2106/3)
  bool autoConfigured = false;          ///< its UDID comes from "autocnf.bin" (0x2106/8)
};

/// One additional parameter set.
struct AdditionalSet {
  std::uint16_t sadr = 0;      ///< SADR of a node-list node other than 1
  std::uint8_t number = 1;     ///< set number, 1 to 15
  Bytes payload;               ///< the set's bytes
  std::uint32_t timestamp = 0; ///< the set's timestamp
  std::string origin;          ///< where the set was described, for messages ("set[i]" when empty)
  bool inNodeList = false;     ///< carried by the node list of "kel_para.saf" (object 0xE3FF + SADR,
                               ///< sub-index number + 1) instead of "pardata1.bin"
};

/// One SADR with its UDID, as "corvane.dat" and "autocnf.bin" list them.
struct UdidEntry {
  std::uint16_t sadr = 0;  ///< safety address
  Udid udid{};             ///< its UDID as stored
};

/// The module-flag section of "autocnf.bin": two arrays (268 bytes) or three (396 bytes).
struct ModuleFlags {
  bool threeArrays = true;       ///< version 0x0101 with the no-process array
  Bytes optional = Bytes(128);   ///< optional array, bit SADR mod 8 of byte SADR div 8 (128 bytes at most)
  Bytes startup = Bytes(128);    ///< start-up array, same bit order
  Bytes noProcess = Bytes(128);  ///< no-process array (three arrays only)
};

/// What "autocnf.bin" holds.
struct AutoCnf {
  std::uint32_t timestamp = 0;             ///< header time stamp (0 in the old layout)
  bool udidSection = true;                 ///< a UDID section is present
  std::vector<UdidEntry> udids;            ///< its entries, in the given order
  std::optional<Bytes> machineOptions;     ///< the 64 machine option bytes, when the section is present
  std::optional<ModuleFlags> moduleFlags;  ///< the module-flag section, when present
  bool oldLayout = false;                  ///< version 0x0300: the UDID section alone, no header, no file CRC
};

/// One module entry of "fwrevcnf.bin".
struct RevisionEntry {
  std::uint16_t sadr = 0;      ///< safety address, 1 to 1023, ascending
  std::uint16_t revision = 0;  ///< minor revision as stored (low 16 bits)
};

/// What "fwrevcnf.bin" (version 0x0101) holds.
struct FwRevCnf {
  std::vector<RevisionEntry> entries;       ///< accepted module revisions
  std::uint16_t flags = 0x06;               ///< feature flags (0x02 and 0x04 always set by the firmware)
  Udid qorUdid{};                           ///< accepted Qor-controller UDID
  std::array<std::uint8_t, 8> targetId{};   ///< accepted CPU product code and serial number
  std::array<std::uint8_t, 16> password{};  ///< password bytes (a 0 byte follows them in the file)
};

/// What "corvane.uid" holds.
struct CorvaneUid {
  Udid qorUdid{};          ///< Qor-controller UDID the key medium was last used with
  std::uint64_t time = 0;  ///< creation time in microseconds, below 2^52
};

/// One safety domain as the generator sees it.
struct Domain {
  Layout layout = Layout::Current;      ///< the release the files are written for
  ScmSettings scm;                      ///< the SCM's settings
  std::vector<Node> nodes;              ///< the node list, 1 to MaxNodes(layout) nodes
  std::vector<AdditionalSet> sets;      ///< additional parameter sets; one in "pardata1.bin" replaces
                                        ///< the node list's set of the same SADR and number (the
                                        ///< older layout carries every set in the node list)
  std::optional<std::uint16_t> sdn;     ///< safety domain number of the demo
  std::optional<Udid> qorUdid;          ///< Qor controller UDID of the demo
  std::optional<AutoCnf> autoCnf;       ///< "autocnf.bin", written when present
  std::optional<FwRevCnf> fwRevCnf;     ///< "fwrevcnf.bin", written when present
  std::optional<CorvaneUid> corvaneUid; ///< "corvane.uid", written when present
};

/// The generated files.
struct FileSet {
  Bytes kelParaSaf;               ///< "kel_para.saf"
  Bytes corvaneDat;               ///< "corvane.dat"
  std::optional<Bytes> parData1;  ///< "pardata1.bin", only when a set outside the node list exists
                                  ///< (never in the older layout)
  std::optional<Bytes> autoCnf;   ///< "autocnf.bin", when the domain describes it
  std::optional<Bytes> fwRevCnf;  ///< "fwrevcnf.bin", when the domain describes it
  std::optional<Bytes> corvaneUid;  ///< "corvane.uid", when the domain describes it
};

/// Names of the generated files.
inline constexpr const char* kKelParaSafName = "kel_para.saf";
inline constexpr const char* kCorvaneDatName = "corvane.dat";
inline constexpr const char* kParData1Name = "pardata1.bin";
inline constexpr const char* kAutoCnfName = "autocnf.bin";
inline constexpr const char* kFwRevCnfName = "fwrevcnf.bin";
inline constexpr const char* kCorvaneUidName = "corvane.uid";
inline constexpr const char* kCorvaneDatChkName = "corvane.dat.chk";
inline constexpr const char* kFwRevCnfChkName = "fwrevcnf.bin.chk";
inline constexpr const char* kCorvaneUidChkName = "corvane.uid.chk";

/// Creation time of the "corvane.uid" of an installed domain that describes none, in microseconds.
inline constexpr std::uint64_t kInstalledCorvaneTime = 0x000F123456789ABCull;

/// Bytes of the safe file space both "kel_para.saf" and "pardata1.bin" must share.
inline constexpr std::uint32_t kSafeSpaceSize = 196608;
/// Largest "pardata1.bin" the firmware and the checker read: the whole safe file space.
inline constexpr std::uint32_t kParData1Max = 196608;

/// Checks a domain; an empty string when it can be written, else a message naming the field.
std::string Validate(const Domain& domain);

/// The files of a valid domain, or the message of Validate in error.
struct Result {
  std::string error;  ///< empty on success
  FileSet files;      ///< the files, when error is empty
};
Result Generate(const Domain& domain);

/// Writes the files into dir under their names: all or none, never a half-written file.
/// A stale "pardata1.bin" is removed when the set has none; an application file the domain
/// does not describe is left alone, since the firmware writes "fwrevcnf.bin" and
/// "corvane.uid" itself. Empty string or the failure.
std::string WriteFileSet(const FileSet& files, const std::filesystem::path& dir);

/// A key medium installed and acknowledged on its controller: the "corvane.uid" of the
/// controller, the checker's complemented copies that agree with the plain files, and the
/// bytes of flash area 16, equal to "corvane.uid".
struct InstalledState {
  Bytes fwRevCnf;                    ///< "fwrevcnf.bin": the described one, else WithAcknowledgedFirmware's
  Bytes autoCnf;                     ///< "autocnf.bin": the described one, else empty
  Bytes corvaneUid;                  ///< "corvane.uid"
  Bytes corvaneUidChk;               ///< "corvane.uid.chk"
  Bytes corvaneDatChk;               ///< "corvane.dat.chk"
  std::optional<Bytes> fwRevCnfChk;  ///< "fwrevcnf.bin.chk", only for a described "fwrevcnf.bin"
  Bytes flash;                       ///< flash area 16 of the controller
};

/// Target id (CPU product code 0x00012345, serial number 0x00C0FFEE, little-endian) of the simulated host.
inline constexpr std::array<std::uint8_t, 8> kHostTargetId = {0x45, 0x23, 0x01, 0x00, 0xEE, 0xFF, 0xC0, 0x00};

/// The installed state of a valid domain. Its identity is the described "corvane.uid", else
/// the domain's Qor UDID (qorUdid when it names none) with kInstalledCorvaneTime; its
/// "fwrevcnf.bin" the described one, else WithAcknowledgedFirmware's for that UDID and targetId.
InstalledState Install(const Domain& domain, const Udid& qorUdid,
                       const std::array<std::uint8_t, 8>& targetId = kHostTargetId);

/// The domain with every node's minor revision acknowledged: a domain that describes no
/// "fwrevcnf.bin" gets one listing each node's SADR with the low 16 bits of its revision
/// (ascending), the controller's UDID (the domain's, else qorUdid) and targetId (flags 0x07), so that Generate
/// writes it and Install its agreeing copy. A described "fwrevcnf.bin" stays as it is.
Domain WithAcknowledgedFirmware(Domain domain, const Udid& qorUdid,
                                const std::array<std::uint8_t, 8>& targetId = kHostTargetId);

/// Writes the installed state's files (not the flash bytes) into dir: all or none. Empty or the failure.
std::string WriteInstalledState(const InstalledState& state, const std::filesystem::path& dir);

/// Generate and WriteFileSet: nothing is written when the domain is refused.
std::string GenerateInto(const Domain& domain, const std::filesystem::path& dir);

}  // namespace ScmGen
