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

/// A request to the SCM's own node from a node of the domain.
Bytes ToScm(u8 id, const Bytes& payload, bool coded) {
  TestFrames::FrameSpec f;
  f.id = id;
  f.adr = 1023;
  f.sdn = FwTest::kSdn;
  f.tadr = 2;
  f.ct = 0x0100;
  f.payload = payload;
  Bytes frame = TestFrames::BuildFrame(f);
  Bytes input = {0, static_cast<u8>(2 | kSeal | (coded ? kCoded : 0))};
  AppendField(input, frame);
  AppendCycles(input, 3);
  return input;
}

}  // namespace

std::vector<Bytes> Seeds() {
  using namespace TestFrames;
  return {RecordedRun(true), RecordedRun(false),
          ToScm(Ids::UdidRequest, {}, false),
          ToScm(Ids::SnmtService, {0x00, 0x00}, false),
          ToScm(Ids::ResetGuarding, {}, false),
          ToScm(Ids::SsdoRequest, {0x12, 0x18, 0x10, 0x01, 0, 0, 0, 0}, false),
          ToScm(Ids::SsdoRequest, {0x21, 0x00, 0x10, 0x00, 4, 0, 0, 0}, false)};
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
