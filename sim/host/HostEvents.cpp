#include "HostEvents.h"

#include <array>
#include <cstdio>

namespace ScmSim {

namespace {

/// First code of the stack's events: 0x?200A000 + (stack error code AND 0xFFF).
constexpr uint32_t kStackEventBase = 0x0200A000u;
/// Mask of the part that names the stack error.
constexpr uint32_t kStackEventMask = 0x0FFFF000u;
/// Unit nibble of the platform's own 0x?200AFxx codes (not a stack unit).
constexpr uint32_t kPlatformUnit = 0xF;

/// One named code.
struct NamedCode {
  uint32_t code;      ///< the event code
  EventKind kind;     ///< what it is about
  const char* name;   ///< what the operator reads
};

/// The firmware's and the checker's codes an operator of a simulated domain meets.
constexpr std::array kNamedCodes{
    // start-up, handshake and cycle timing
    NamedCode{0x62008481u, EventKind::StartUp, "firmware release below 1.0"},
    NamedCode{0x62008482u, EventKind::StartUp, "gap over 10 s between two cycles"},
    NamedCode{0x6200AF1Eu, EventKind::StartUp, "cycle semaphore call failed"},
    NamedCode{0x92008610u, EventKind::StartUp, "executable self-test failed"},
    NamedCode{0x92008811u, EventKind::StartUp, "task not spawned"},
    NamedCode{0x92008816u, EventKind::StartUp, "checker ident word differs"},
    NamedCode{0x92008818u, EventKind::StartUp, "Qor UDID without the vendor prefix"},
    NamedCode{0x92008804u, EventKind::StartUp, "application initialisation failed"},
    NamedCode{0x92008500u, EventKind::StartUp, "event of an unknown class"},
    NamedCode{0x92008701u, EventKind::StartUp, "module-state words inconsistent"},
    NamedCode{0x92008607u, EventKind::StartUp, "memory block CRC differs"},
    NamedCode{0x62008483u, EventKind::StartUp, "unlock request too short"},
    NamedCode{0x6200AF1Du, EventKind::ParameterFile, "file unlock failed"},
    // parameter and key files
    NamedCode{0x92008807u, EventKind::ParameterFile, "file list incomplete"},
    NamedCode{0x92008802u, EventKind::ParameterFile, "parameter file not opened"},
    NamedCode{0x92008803u, EventKind::ParameterFile, "parameter file read short"},
    NamedCode{0x92008808u, EventKind::ParameterFile, "parameter file size not read"},
    NamedCode{0x92008809u, EventKind::ParameterFile, "parameter file does not fit its space"},
    NamedCode{0x9200AF18u, EventKind::ParameterFile, "kel_para.saf refused"},
    NamedCode{0x6200AF19u, EventKind::ParameterFile, "corvane.dat refused"},
    NamedCode{0x9200AF1Bu, EventKind::ParameterFile, "pardata1.bin refused"},
    NamedCode{0x6200AF12u, EventKind::ParameterFile, "parameter record length wrong"},
    NamedCode{0x6200AF14u, EventKind::ParameterFile, "parameter record object unknown"},
    NamedCode{0x9200AF22u, EventKind::ParameterFile, "parameter record not written"},
    NamedCode{0x6200AF1Au, EventKind::ParameterFile, "parameter CRC differs"},
    NamedCode{0x6200AF41u, EventKind::ParameterFile, "corvane.dat not written"},
    NamedCode{0x9200AF08u, EventKind::ParameterFile, "time base unknown"},
    NamedCode{0x9200AF16u, EventKind::ParameterFile, "time base value missing"},
    NamedCode{0x9200AF42u, EventKind::ParameterFile, "machine option value missing"},
    NamedCode{0x9200AF0Cu, EventKind::ParameterFile, "stack initialisation failed"},
    // the configuration manager's errors the firmware reports as events
    NamedCode{0x6200A105u, EventKind::StackError, "SCM: unexpected event, the node starts again"},
    NamedCode{0x6200A10Au, EventKind::StackError, "SCM: unexpected answer to set-to-operational, the node starts again"},
    NamedCode{0x6200A10Bu, EventKind::StackError, "SCM: unexpected guard answer, the node starts again"},
    NamedCode{0x6200A10Eu, EventKind::StackError, "SCM: SSDO transfer aborted by the node (abort code)"},
    NamedCode{0x6200A10Fu, EventKind::StackError, "SCM: SSDO transfer aborted by the node (state, SADR)"},
    NamedCode{0x6200A110u, EventKind::StackError, "SCM: additional parameter set refused: version byte not 1"},
    NamedCode{0x6200A111u, EventKind::StackError, "SCM: additional parameter set refused: SADR field differs"},
    NamedCode{0x6200A112u, EventKind::StackError, "SCM: additional parameter set refused: 15 bytes or fewer"},
    NamedCode{0x6200A113u, EventKind::StackError, "SCM: additional parameter set refused: not readable"},
    NamedCode{0x6200A115u, EventKind::StackError, "SCM: parameter read refused: answer too long"},
    NamedCode{0x6200A117u, EventKind::StackError, "SCM: parameter checksum length differs"},
    NamedCode{0x9200A101u, EventKind::StackError, "fatal SCM: operator acknowledge with a bad index"},
    NamedCode{0x9200A102u, EventKind::StackError, "fatal SCM: operator acknowledge in a wrong state"},
    NamedCode{0x9200A103u, EventKind::StackError, "fatal SCM: SN FAIL acknowledge with a bad index"},
    NamedCode{0x9200A104u, EventKind::StackError, "fatal SCM: SN FAIL acknowledge in a wrong state"},
    NamedCode{0x9200A106u, EventKind::StackError, "fatal SCM: state out of range"},
    NamedCode{0x9200A107u, EventKind::StackError, "fatal SCM: no node configured"},
    NamedCode{0x9200A108u, EventKind::StackError, "fatal SCM: node status not writable"},
    NamedCode{0x9200A109u, EventKind::StackError, "fatal SCM: resource kind out of range"},
    NamedCode{0x9200A10Cu, EventKind::StackError, "fatal SCM: object with callbacks cannot be bound"},
    NamedCode{0x9200A10Du, EventKind::StackError, "fatal SCM: no free-frame counter"},
    NamedCode{0x9200A116u, EventKind::StackError, "fatal SCM: initial CT above 40 bits"},
    NamedCode{0x9200A501u, EventKind::StackError, "fatal SNMT master: send on a busy slot"},
    NamedCode{0x9200A502u, EventKind::StackError, "fatal SNMT master: bad transition kind"},
    NamedCode{0x9200A503u, EventKind::StackError, "fatal SNMT master: no UDID"},
    NamedCode{0x9200A504u, EventKind::StackError, "fatal SNMT master: additional SADR out of range"},
    NamedCode{0x9200A505u, EventKind::StackError, "fatal SNMT master: TxSPDO number out of range"},
    NamedCode{0x9200A511u, EventKind::StackError, "fatal SNMT master: response or timer on a free slot"},
    NamedCode{0x9200A513u, EventKind::StackError, "fatal SNMT master: no free-frame counter"},
    NamedCode{0x9200A514u, EventKind::StackError, "fatal SNMT master: no free slot"},
    NamedCode{0x9200AA1Cu, EventKind::StackError, "fatal SSDO client: bad state"},
    NamedCode{0x9200AA1Du, EventKind::StackError, "fatal SSDO client: no free client"},
    NamedCode{0x9200AA25u, EventKind::StackError, "fatal SSDO client: no free-frame counter"},
    NamedCode{0x9200AA26u, EventKind::StackError, "fatal SSDO client: bad service event"},
    NamedCode{0x9200AA27u, EventKind::StackError, "fatal SSDO client: bad service event"},
    NamedCode{0x9200AA28u, EventKind::StackError, "fatal SSDO client: a transfer already runs for this SADR"},
    NamedCode{0x9200AA2Bu, EventKind::StackError, "fatal SSDO client: no completion at a time-out"},
    NamedCode{0x9200A201u, EventKind::StackError, "fatal domain number: its object has a before-read callback"},
    NamedCode{0x9200A305u, EventKind::StackError, "fatal frame serializer: LE 255 asked for"},
    NamedCode{0x9200A30Bu, EventKind::StackError, "fatal frame serializer: data type out of range"},
    NamedCode{0x9200A316u, EventKind::StackError, "fatal frame serializer: no frame block from the platform"},
    NamedCode{0x9200A317u, EventKind::StackError, "fatal frame serializer: frame block not marked for sending"},
    NamedCode{0x9200A319u, EventKind::StackError, "fatal frame serializer: object with a before-read callback"},
    NamedCode{0x9200A602u, EventKind::StackError, "fatal SNMT slave: no free-frame counter"},
    NamedCode{0x9200A606u, EventKind::StackError, "fatal SNMT slave: unconfirmed SN FAIL of group 4"},
    NamedCode{0x9200A61Bu, EventKind::StackError, "fatal SNMT slave: no output for the state"},
    NamedCode{0x9200A61Cu, EventKind::StackError, "fatal SNMT slave: state out of range"},
    NamedCode{0x9200A643u, EventKind::StackError, "fatal SNMT slave: event without request and response headers"},
    NamedCode{0x9200A648u, EventKind::StackError, "fatal SNMT slave: guard check while not running"},
    NamedCode{0x9200A706u, EventKind::StackError, "fatal object dictionary: no data"},
    NamedCode{0x9200A708u, EventKind::StackError, "fatal object dictionary: offset or size for a fixed-size type"},
    NamedCode{0x9200A709u, EventKind::StackError, "fatal object dictionary: offset or size beyond the object"},
    NamedCode{0x9200A716u, EventKind::StackError, "fatal object dictionary: length above the maximum"},
    NamedCode{0x9200A717u, EventKind::StackError, "fatal object dictionary: length set on a fixed-size type"},
    NamedCode{0x9200A719u, EventKind::StackError, "fatal object dictionary: no output for the length"},
    NamedCode{0x9200A71Bu, EventKind::StackError, "fatal object dictionary: no table"},
    NamedCode{0x9200A71Cu, EventKind::StackError, "fatal object dictionary: empty table"},
    NamedCode{0x9200A724u, EventKind::StackError, "fatal object dictionary: invalid handle"},
    NamedCode{0x9200A729u, EventKind::StackError, "fatal object dictionary: unlock while not locked"},
    NamedCode{0x9200A72Cu, EventKind::StackError, "fatal object dictionary: write already enabled"},
    NamedCode{0x9200A734u, EventKind::StackError, "fatal object dictionary: table not in ascending order"},
    NamedCode{0x9200A74Eu, EventKind::StackError, "fatal object dictionary: no structure"},
    NamedCode{0x9200A74Fu, EventKind::StackError, "fatal object dictionary: no data to write"},
    NamedCode{0x9200A751u, EventKind::StackError, "fatal object dictionary: offset or size for a fixed-size type"},
    NamedCode{0x9200A755u, EventKind::StackError, "fatal object dictionary: virtual object without structure"},
    NamedCode{0x9200A756u, EventKind::StackError, "fatal object dictionary: virtual length above the maximum"},
    NamedCode{0x9200A757u, EventKind::StackError, "fatal object dictionary: virtual length set on a fixed-size type"},
    NamedCode{0x9200A759u, EventKind::StackError, "fatal object dictionary: virtual object without structure"},
    NamedCode{0x9200A75Au, EventKind::StackError, "fatal object dictionary: no output for the virtual length"},
    NamedCode{0x9200A905u, EventKind::StackError, "fatal stack control: no frame given"},
    NamedCode{0x9200A908u, EventKind::StackError, "fatal stack control: state out of range"},
    NamedCode{0x9200AA0Bu, EventKind::StackError, "fatal SSDO client: buffer smaller than its type"},
    NamedCode{0x9200AA0Cu, EventKind::StackError, "fatal SSDO client: payload length below 12"},
    NamedCode{0x9200AA0Du, EventKind::StackError, "fatal SSDO client: size wrong for its type"},
    NamedCode{0x9200AB03u, EventKind::StackError, "fatal SSDO server: state out of range"},
    NamedCode{0x9200AB09u, EventKind::StackError, "fatal SSDO server: unexpected stored command"},
    NamedCode{0x9200AB0Bu, EventKind::StackError, "fatal SSDO server: unexpected stored command"},
    NamedCode{0x9200AB14u, EventKind::StackError, "fatal SSDO server: partial write pending without the lock"},
    NamedCode{0x6200AF5Fu, EventKind::StackError, "SNMT master errors increased"},
    NamedCode{0x6200AF60u, EventKind::StackError, "frame serializer errors increased"},
    // file access
    NamedCode{0x62008A01u, EventKind::FileAccess, "file close failed"},
    NamedCode{0x62008A02u, EventKind::FileAccess, "file open refused"},
    NamedCode{0x62008A03u, EventKind::FileAccess, "file read failed"},
    NamedCode{0x62008A04u, EventKind::FileAccess, "file size failed"},
    NamedCode{0x62008A05u, EventKind::FileAccess, "file write failed"},
    // channels and the event store
    NamedCode{0x92008191u, EventKind::Channel, "queue not opened or closed"},
    NamedCode{0x92008192u, EventKind::Channel, "channel buffer handed out twice"},
    NamedCode{0x92008193u, EventKind::Channel, "channel send failed"},
    NamedCode{0x92008194u, EventKind::Channel, "channel received twice"},
    NamedCode{0x92008195u, EventKind::Channel, "channel receive failed"},
    NamedCode{0x92008196u, EventKind::Channel, "unknown channel"},
    NamedCode{0x92008197u, EventKind::Channel, "channel buffer too small"},
    NamedCode{0x92008198u, EventKind::Channel, "channel buffer misused"},
    NamedCode{0x92008199u, EventKind::Channel, "channel queue state not read"},
    NamedCode{0x62008709u, EventKind::Channel, "command of an unknown type"},
    NamedCode{0x6200AF0Eu, EventKind::Channel, "frame send buffer refused"},
    NamedCode{0x9200AF0Au, EventKind::Channel, "frame pump buffer misused"},
    NamedCode{0x62108580u, EventKind::Channel, "event queue full: an event was lost"},
    // safety node failure
    NamedCode{kSnFailEventCode, EventKind::SnFail, "SN FAIL"},
    // the application's module table, node callbacks, scans and quits
    NamedCode{0x6200C030u, EventKind::Application, "module: extended CT initialisation failed"},
    NamedCode{0x6200C089u, EventKind::Application, "module missing"},
    NamedCode{0x6200C08Au, EventKind::Application, "module revision differs from the accepted one"},
    NamedCode{0x6200C08Du, EventKind::Application, "module invalid"},
    NamedCode{0x6200C08Eu, EventKind::Application, "module parameters refused"},
    NamedCode{0x6200C08Bu, EventKind::Application, "remote control: command answered or order confirmed (result, code)"},
    NamedCode{0x6200C090u, EventKind::Application, "remote control: the host refused to hold off resets"},
    // confirmations, setup mode, Qor variables and application files
    NamedCode{0x9200C000u, EventKind::Application, "confirmation: machine in a state it cannot be in (tag, state)"},
    NamedCode{0x9200C001u, EventKind::Application, "confirmation: code that no order carries"},
    NamedCode{0x6200C07Fu, EventKind::Application, "user-data format: file emptied (2 pardata1.bin, 3 autocnf.bin)"},
    NamedCode{0x6200C094u, EventKind::Application, "setup mode: switched or accepted by itself (case, count)"},
    NamedCode{0x6200C095u, EventKind::Application, "setup mode off: accepted by the commissioning settings (case, count)"},
    NamedCode{0x9200C092u, EventKind::Application, "Qor variable not written (where, detail)"},
    NamedCode{0x9200C093u, EventKind::Application, "Qor controller fail-safe: variable not written (state, domain)"},
    NamedCode{0x6200C086u, EventKind::Application, "fwrevcnf.bin unusable or not written (reason, detail)"},
    NamedCode{0x6200C087u, EventKind::Application, "key-medium identity: corvane.uid or flash area 16 (reason)"},
    NamedCode{0x6200C088u, EventKind::Application, "autocnf.bin of the old layout read"},
    NamedCode{0x9200C012u, EventKind::Application, "autocnf.bin unusable (check, detail)"},
    NamedCode{0x9200C017u, EventKind::Application, "machine options asked with a bad argument"},
    NamedCode{0x9200C018u, EventKind::Application, "machine options and their requirement disagree"},
    NamedCode{0x9200C019u, EventKind::Application, "autocnf.bin module-flag section unusable"},
    NamedCode{0x9200C01Au, EventKind::Application, "application: null argument"},
    NamedCode{0x9200C002u, EventKind::Application, "application: UDID-mismatch count below zero"},
    NamedCode{0x9200C003u, EventKind::Application, "application: erroneous-module count below zero"},
    NamedCode{0x9200C004u, EventKind::Application, "application: unknown node status"},
    NamedCode{0x9200C005u, EventKind::Application, "application: node callback outside the cycle"},
    NamedCode{0x9200C006u, EventKind::Application, "application: encoder change in a state that allows none"},
    NamedCode{0x9200C007u, EventKind::Application, "application: encoder change meets a firmware or UDID difference"},
    NamedCode{0x9200C009u, EventKind::Application, "application: object not readable"},
    NamedCode{0x9200C00Au, EventKind::Application, "application: object of other attributes"},
    NamedCode{0x9200C00Bu, EventKind::Application, "application: node-list SADR out of range or repeated"},
    NamedCode{0x9200C00Cu, EventKind::Application, "application: SADR out of range or not configured"},
    NamedCode{0x9200C00Du, EventKind::Application, "application: UDID quit failed"},
    NamedCode{0x9200C00Eu, EventKind::Application, "application: scan, quit or start-up handshake broken"},
    NamedCode{0x9200C00Fu, EventKind::Application, "application: null pointer"},
    NamedCode{0x9200C010u, EventKind::Application, "application: module revision stored twice"},
    NamedCode{0x9200C011u, EventKind::Application, "application: acknowledge with nothing to acknowledge"},
    NamedCode{0x9200C013u, EventKind::Application, "application: configuration mode not 0"},
    NamedCode{0x9200C014u, EventKind::Application, "application: auto-configured SADR not in the node list"},
    NamedCode{0x9200C015u, EventKind::Application, "application: UDID for a module not auto-configured"},
    NamedCode{0x9200C016u, EventKind::Application, "application: auto-configuration UDID not written"},
    NamedCode{0x9200C01Du, EventKind::Application, "application: SADR out of range asked by the SCM"},
    // the checker's log records
    NamedCode{0xE200u, EventKind::Checker, "checker: internal assertion"},
    NamedCode{0xE202u, EventKind::Checker, "checker: executable self-test failed"},
    NamedCode{0xE203u, EventKind::Checker, "checker: firmware ident word differs"},
    NamedCode{0xE204u, EventKind::Checker, "checker: check task not spawned"},
    NamedCode{0xE205u, EventKind::Checker, "checker: cycle gap over 10 s"},
    NamedCode{0xE206u, EventKind::Checker, "checker: cycle semaphore call failed"},
    NamedCode{0xE209u, EventKind::Checker, "checker: timeout task not spawned"},
    NamedCode{0xE20Au, EventKind::Checker, "checker: real-time clock not readable"},
    NamedCode{0xE20Bu, EventKind::Checker, "checker: check bits missing"},
    NamedCode{0xE20Cu, EventKind::Checker, "checker: reset lock failed"},
    NamedCode{0xE20Du, EventKind::Checker, "checker: reset unlock failed"},
    NamedCode{0xE20Eu, EventKind::Checker, "checker: unlock deadline passed"},
    NamedCode{0xE242u, EventKind::Checker, "checker: queue not opened"},
    NamedCode{0xE243u, EventKind::Checker, "checker: queue state not read"},
    NamedCode{0xE244u, EventKind::Checker, "checker: receive failed"},
    NamedCode{0xE245u, EventKind::Checker, "checker: send failed"},
    NamedCode{0xE246u, EventKind::Checker, "checker: frames to the host dropped"},
    NamedCode{0xE249u, EventKind::Checker, "checker: set-to-operational before the key medium is acknowledged"},
    NamedCode{0xE24Du, EventKind::Checker, "checker: memory block CRC differs"},
    NamedCode{0xE2BEu, EventKind::Checker, "checker: frame too short"},
    NamedCode{0xE2BFu, EventKind::Checker, "checker: frame shorter than its length"},
    NamedCode{0xE2C0u, EventKind::Checker, "checker: frame CRC wrong"},
    NamedCode{0xE2C1u, EventKind::Checker, "checker: sub-frame payloads differ"},
    NamedCode{0xE2C2u, EventKind::Checker, "checker: SPDO frame"},
    NamedCode{0xE2C3u, EventKind::Checker, "checker: frame of another id"},
    NamedCode{0xE2C6u, EventKind::Checker, "checker: command too short"},
    NamedCode{0xE2C8u, EventKind::Checker, "checker: event too short"},
    NamedCode{0xE2CAu, EventKind::Checker, "checker: response too short"},
    NamedCode{0xE2D8u, EventKind::Checker, "checker: set-to-operational refused (UDID)"},
    NamedCode{0xE2DFu, EventKind::Checker, "checker: set-to-operational refused (firmware)"},
    NamedCode{0xE2E6u, EventKind::Checker, "checker: set-to-operational refused (parameter checksum)"},
    NamedCode{0xE2EDu, EventKind::Checker, "checker: additional parameter header differs"},
};

/// Ranges of checker codes named by the component that raises them.
struct CheckerRange {
  uint32_t first;    ///< first code of the range
  uint32_t last;     ///< last code of the range
  const char* name;  ///< what the operator reads
};
constexpr std::array kCheckerRanges{
    CheckerRange{0xE212u, 0xE228u, "checker: acknowledged values inconsistent"},
    CheckerRange{0xE230u, 0xE235u, "checker: storage call failed"},
    CheckerRange{0xE238u, 0xE23Eu, "checker: controller variable channel failed"},
    CheckerRange{0xE24Fu, 0xE2BCu, "checker: parameter or key file refused"},
    CheckerRange{0xE2D4u, 0xE2EDu, "checker: check refused"},
};

/// Names of the stack's units by the unit nibble of its error codes.
const char* StackUnitName(uint32_t unit) {
  switch (unit) {
    case 0x1: return "SCM";
    case 0x2: return "SDN";
    case 0x3: return "SFS";
    case 0x5: return "SNMTM";
    case 0x6: return "SNMTS";
    case 0x7: return "SOD";
    case 0x9: return "SSC";
    case 0xA: return "SSDOC";
    case 0xB: return "SSDOS";
    default: return nullptr;
  }
}

/// What a unit does, in words, for the codes of it that have no name of their own.
const char* StackUnitWords(uint32_t unit) {
  switch (unit) {
    case 0x1: return "configuration manager";
    case 0x2: return "domain number";
    case 0x3: return "frame serializer";
    case 0x5: return "SNMT master";
    case 0x6: return "SNMT slave";
    case 0x7: return "object dictionary";
    case 0x9: return "stack control";
    case 0xA: return "SSDO client: argument refused or internal error";
    case 0xB: return "SSDO server";
    default: return "";
  }
}

/// Unit nibble when the code is a stack error turned into an event, else none.
std::optional<uint32_t> StackUnitOf(uint32_t code) {
  const uint8_t cls = EventClass(code);
  if ((cls != kOrdinaryEventClass && cls != kFatalEventClass) || (code & kStackEventMask) != kStackEventBase) {
    return std::nullopt;
  }
  const uint32_t unit = (code >> 8) & 0xFu;
  if (unit == kPlatformUnit || StackUnitName(unit) == nullptr) return std::nullopt;
  return unit;
}

const NamedCode* FindNamed(uint32_t code) {
  for (const NamedCode& n : kNamedCodes) {
    if (n.code == code) return &n;
  }
  return nullptr;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

void PutLe(std::vector<uint8_t>& b, size_t at, uint32_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::optional<EventRecord> DecodeEventRecord(const std::vector<uint8_t>& bytes) {
  if (bytes.size() != kEventRecordSize) return std::nullopt;
  EventRecord r;
  r.level = bytes[0];
  r.code = Le32(bytes, 1);
  r.information0 = static_cast<uint16_t>(bytes[5] | bytes[6] << 8);
  r.information1 = Le32(bytes, 7);
  return r;
}

std::vector<uint8_t> EncodeEventRecord(const EventRecord& record) {
  std::vector<uint8_t> b(kEventRecordSize);
  b[0] = record.level;
  PutLe(b, 1, record.code, 4);
  PutLe(b, 5, record.information0, 2);
  PutLe(b, 7, record.information1, 4);
  return b;
}

uint8_t EventClass(uint32_t code) { return static_cast<uint8_t>(code >> 28); }

bool IsInformationEvent(uint32_t code) { return ((code >> 20) & 0xFu) == 1; }

bool IsCheckerRecord(uint32_t code) { return (code & 0xFFFFFF00u) == 0xE200u; }

bool IsFatalEvent(uint32_t code) { return EventClass(code) == kFatalEventClass; }

SnFailInfo DecodeSnFail(uint32_t information1) {
  SnFailInfo s;
  s.sadr = static_cast<uint16_t>(information1 & 0xFFFFu);
  s.group = static_cast<uint8_t>(information1 >> 16);
  s.code = static_cast<uint8_t>(information1 >> 24);
  return s;
}

EventKind KindOf(uint32_t code) {
  if (const NamedCode* n = FindNamed(code)) return n->kind;
  if (StackUnitOf(code)) return EventKind::StackError;
  if (IsCheckerRecord(code)) return EventKind::Checker;
  if ((code & 0x0FFFFF00u) == 0x0200C000u) return EventKind::Application;
  return EventKind::Unknown;
}

const char* KindName(EventKind kind) {
  switch (kind) {
    case EventKind::StartUp: return "start-up";
    case EventKind::ParameterFile: return "parameter file";
    case EventKind::FileAccess: return "file access";
    case EventKind::Channel: return "channel";
    case EventKind::StackError: return "stack error";
    case EventKind::SnFail: return "SN FAIL";
    case EventKind::Application: return "application";
    case EventKind::Checker: return "checker";
    case EventKind::Unknown: break;
  }
  return "unknown";
}

std::string HexCode(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", code);
  return text;
}

std::string EventCodeName(uint32_t code) {
  if (const NamedCode* n = FindNamed(code)) return n->name;
  if (auto unit = StackUnitOf(code)) {
    char text[112];
    std::snprintf(text, sizeof text, "%sstack error %s 0x%02X (%s)", IsFatalEvent(code) ? "fatal " : "",
                  StackUnitName(*unit), code & 0xFFu, StackUnitWords(*unit));
    return text;
  }
  if (IsCheckerRecord(code)) {
    for (const CheckerRange& r : kCheckerRanges) {
      if (code >= r.first && code <= r.last) return r.name;
    }
    return "checker error";
  }
  if ((code & 0x0FFFFF00u) == 0x0200C000u) {
    return IsFatalEvent(code) ? "application internal error" : "application information";
  }
  return "";
}

std::string DescribeEvent(const EventRecord& record) {
  char head[64];
  std::snprintf(head, sizeof head, "level %u %s", record.level, HexCode(record.code).c_str());
  std::string line = head;
  const std::string name = EventCodeName(record.code);
  line += name.empty() ? std::string(" (unknown code)") : " " + name;
  char info[96];
  if (record.code == kSnFailEventCode) {
    const SnFailInfo s = DecodeSnFail(record.information1);
    std::snprintf(info, sizeof info, ": SADR %u group %u code %u", s.sadr, s.group, s.code);
  } else if (record.code == 0x62108580u) {
    std::snprintf(info, sizeof info, ": lost code ending 0x%04X, %u events so far", record.information0,
                  record.information1);
  } else {
    std::snprintf(info, sizeof info, ": information0 0x%04X information1 0x%08X", record.information0,
                  record.information1);
  }
  return line + info;
}

}  // namespace ScmSim
