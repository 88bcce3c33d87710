// Surface 6: the frame pump and the command channel of the started firmware,
// met through their firmware-side queues with whatever the other side puts
// there: frames and commands of any length, complemented or not. What the
// firmware answers stays within its limits: every "status" message at most
// 280 bytes behind a response header, every event 11 bytes; no fatal event.
// (The frames the firmware sends go on to the simulated nodes.)
//
// Input: steps until the input ends, each
//   u8 control: bits 0-2 cycles to run first; bit 3 "command" (else
//               "frame-send"); bit 4 put the bytes as they stand (else complemented)
//   the message (u16 length, bytes).
#include "FrameBuilder.h"
#include "FuzzFirmware.h"
#include "HNFcom.h"
#include "MessageBuilder.h"

namespace ScmFuzz {

namespace {

constexpr u8 kCyclesMask = 0x07;  ///< control: cycles before the message
constexpr u8 kCommand = 0x08;     ///< control: the command queue
constexpr u8 kRaw = 0x10;         ///< control: bytes as they stand
constexpr u64 kCycleLimit = 400;  ///< cycles one input may run
constexpr std::size_t kMessageMax = 600;  ///< longest message put

Bytes Step(u8 control, const Bytes& message) {
  Bytes step = {control};
  AppendField(step, message);
  return step;
}

/// Every message the firmware put on its sending queues keeps its limits.
void CheckAnswers(FirmwareUnderFuzz& firmware) {
  for (const Bytes& status : firmware.TakeRaw("status")) {
    Require(status.size() <= HNFcom_kStatusTxSize, "status message of " + std::to_string(status.size()) + " bytes");
    const Bytes plain = Complemented(status);
    Require(plain.size() >= 4 && plain[0] == TestFrames::kResponseType && plain[1] == 0,
            "status message without a response header");
  }
}

}  // namespace

std::vector<Bytes> Seeds() {
  using namespace TestFrames;
  CommandSpec enter;
  enter.identifier = 7;
  enter.code = 0x1234;
  CommandSpec password = enter;
  password.newPassword = std::array<u8, 16>{1, 2, 3};
  CommandSpec status;
  status.commandClass = kStatusRequest;
  status.code = 0x5000;
  FrameSpec request;
  request.id = Ids::UdidRequest;
  request.adr = 1023;
  request.sdn = FwTest::kSdn;
  request.tadr = 2;
  std::vector<Bytes> seeds;
  for (const Bytes& command : {BuildCommand(enter), BuildCommand(password), BuildCommand(status)}) {
    Bytes seed = Step(kCommand | 1, command);
    const Bytes again = Step(kCommand | 2, command);
    seed.insert(seed.end(), again.begin(), again.end());
    seeds.push_back(seed);
  }
  seeds.push_back(Step(1, BuildFrame(request)));
  seeds.push_back(Step(kRaw | 1, Bytes(521, 0xFF)));
  seeds.push_back(Step(kCommand | kRaw | 1, Bytes(42, 0xFF)));
  return seeds;
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  FirmwareUnderFuzz firmware(false);
  u64 cycles = 0;
  while (!in.AtEnd() && cycles < kCycleLimit) {
    const u8 control = in.U8();
    for (u8 i = 0; i < (control & kCyclesMask); ++i, ++cycles) {
      firmware.Cycle();
      CheckAnswers(firmware);
    }
    Bytes message = in.Field();
    if (message.size() > kMessageMax) message.resize(kMessageMax);
    const char* queue = (control & kCommand) != 0 ? "command" : "frame-send";
    firmware.PutRaw(queue, (control & kRaw) != 0 ? message : Complemented(message));
  }
  for (int i = 0; i < 3; ++i) {
    firmware.Cycle();
    CheckAnswers(firmware);
  }
}

}  // namespace ScmFuzz
