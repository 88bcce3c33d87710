// Surface 5: the safety stack as SCM and as a node, met by arbitrary frame
// sequences through the frame pump and the dispatcher of the started firmware
// (twelve configured nodes of the demo description), time advancing between
// frames. Malformed network input is dropped or answered, never fatal: any
// fatal event is a finding.
//
// Input: a flag byte (bit 0: the simulated nodes stay silent, so that the
// input alone answers the SCM), then steps until the input ends, each
//   u8 control: bits 0-3 cycles to run first; bit 4 recompute the frame's
//               CRCs; bit 5 the frame carries the SCM-UDID coding; bit 6 no frame
//   the frame (u16 length, bytes in queue form), put complemented on "frame-send".
// The seeds are the nodes' own answers of a run to guarding, recorded with the
// cycle each one came in, and requests to the SCM's own node.
#include "FrameBuilder.h"
#include "FuzzFirmware.h"
#include "FuzzFrames.h"
#include "HNFstp.h"

namespace ScmFuzz {

namespace {

constexpr u8 kSilentNodes = 0x01;  ///< flag: the nodes never answer
constexpr u8 kCyclesMask = 0x0F;   ///< control: cycles before the frame
constexpr u8 kSeal = 0x10;         ///< control: recompute the CRCs
constexpr u8 kCoded = 0x20;        ///< control: SCM-UDID coding
constexpr u8 kNoFrame = 0x40;      ///< control: cycles only
constexpr u64 kCycleLimit = 1500;  ///< cycles one input may run
constexpr std::size_t kFrameMax = 600;  ///< longest frame put (the queue refuses above 521)

/// Cycles of the recorded run: to operational and through a guard time.
constexpr u64 kRecordedCycles = 400;

void AppendCycles(Bytes& out, u64 cycles) {
  while (cycles > 0) {
    const u64 n = cycles < kCyclesMask ? cycles : kCyclesMask;
    out.push_back(static_cast<u8>(kNoFrame | n));
    cycles -= n;
  }
}

/// The conversation of a normal run as an input: the nodes' answers in their cycles.
Bytes RecordedRun(bool silent) {
  Bytes input = {static_cast<u8>(silent ? kSilentNodes : 0)};
  if (!silent) {
    AppendCycles(input, kRecordedCycles);
    return input;
  }
  FirmwareUnderFuzz firmware(false);
  u64 gap = 0;
  for (u64 c = 0; c < kRecordedCycles; ++c) {
    firmware.Cycle();
    ++gap;
    for (const Bytes& frame : firmware.Run().Pending()) {
      AppendCycles(input, gap > kCyclesMask ? gap - kCyclesMask : 0);
      input.push_back(static_cast<u8>(gap < kCyclesMask ? gap : kCyclesMask));
      AppendField(input, frame);
      gap = 0;
    }
  }
  return input;
}

/// The SCM UDID the firmware starts with: its own node's UDID, and the coding of SSDO frames.
const TestFrames::Udid& ScmUdid() {
  static const TestFrames::Udid s_Udid = [] {
    FirmwareUnderFuzz firmware(true);
    return firmware.Run().ScmUdid();
  }();
  return s_Udid;
}

/// A request to the SCM's own node (its SADR, the domain's SDN, CT and TR 0 as a manager sends
/// them), as one step with three cycles behind it; with coded, in the SCM-UDID coding.
Bytes ToScm(u8 id, const Bytes& payload, bool coded = false) {
  TestFrames::FrameSpec f;
  f.id = id;
  f.adr = 1023;
  f.sdn = FwTest::kSdn;
  f.tadr = 2;
  f.payload = payload;
  if (coded) f.scmUdid = ScmUdid();
  Bytes step = {static_cast<u8>(2 | kSeal | (coded ? kCoded : 0))};
  AppendField(step, TestFrames::BuildFrame(f));
  AppendCycles(step, 3);
  return step;
}

/// An input of nodes answering and these steps: the SCM's own node first gets its SADR
/// (assigned to its node UDID: 0, then the SCM UDID's bytes 4 down to 0), then the request.
Bytes AssignedThen(const Bytes& request) {
  const TestFrames::Udid& scm = ScmUdid();
  const Bytes own = {0, scm[4], scm[3], scm[2], scm[1], scm[0]};
  Bytes input = {0};
  const Bytes assign = ToScm(TestFrames::Ids::AssignSadr, own);
  input.insert(input.end(), assign.begin(), assign.end());
  input.insert(input.end(), request.begin(), request.end());
  return input;
}

}  // namespace

std::vector<Bytes> Seeds() {
  using namespace TestFrames;
  std::vector<Bytes> seeds = {RecordedRun(true), RecordedRun(false), AssignedThen(ToScm(Ids::UdidRequest, {})),
                              AssignedThen(ToScm(Ids::ResetGuarding, {}))};
  // Every extended service with its payload length: set to pre-operational, set to operational
  // (timestamp), guard, additional SADR, error acknowledge, SCM UDID, extended CT, SCM stop and
  // operational.
  const std::pair<u8, std::size_t> services[] = {{0x00, 1}, {0x02, 5}, {0x08, 1}, {0x0A, 5}, {0x0C, 3},
                                                 {0x0E, 7}, {0x10, 6}, {0x04, 1}, {0x06, 1}};
  for (const auto& [service, le] : services) {
    Bytes payload = {service, 0x02, 0x00, 0x02, 0x00, 0x10, 0x20};
    payload.resize(le);
    seeds.push_back(AssignedThen(ToScm(Ids::SnmtService, payload)));
  }
  // SSDO: expedited upload of the identity, expedited download of the SDN, segmented download
  // initiate, slim upload.
  seeds.push_back(AssignedThen(ToScm(Ids::SsdoRequest, {0x20, 0x18, 0x10, 0x01, 0, 0, 0, 0}, true)));
  seeds.push_back(AssignedThen(ToScm(Ids::SsdoRequest, {0x21, 0x00, 0x12, 0x01, 7, 0, 0, 0}, true)));
  seeds.push_back(AssignedThen(ToScm(Ids::SsdoRequest, {0x29, 0x00, 0x10, 0x00, 16, 0, 0, 0}, true)));
  seeds.push_back(AssignedThen(ToScm(Ids::SlimSsdoRequest, {0x20, 0x00, 0x10, 0x00}, true)));
  return seeds;
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  const u8 flags = in.U8();
  FirmwareUnderFuzz firmware((flags & kSilentNodes) != 0);
  const TestFrames::Udid& udid = firmware.Run().ScmUdid();
  u64 cycles = 0;
  while (!in.AtEnd() && cycles < kCycleLimit) {
    const u8 control = in.U8();
    for (u8 i = 0; i < (control & kCyclesMask); ++i, ++cycles) firmware.Cycle();
    if ((control & kNoFrame) != 0) continue;
    Bytes frame = in.Field();
    if (frame.size() > kFrameMax) frame.resize(kFrameMax);
    if ((control & kSeal) != 0) SealFrame(frame, (control & kCoded) != 0 ? &udid : nullptr);
    firmware.PutFrame(frame);
  }
  // The last frames are served, and their answers met.
  for (int i = 0; i < 3; ++i) firmware.Cycle();
}

}  // namespace ScmFuzz
