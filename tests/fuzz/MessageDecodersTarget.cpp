// Surface 2: the checker's event, command and response decoders (the decode
// tests' robustness drivers). The response decoder works on a writable copy,
// as the session hands it the buffer it forwards. Input: a selector byte
// (0 event, 1 command, 2 response, taken modulo 3), then the message.
#include "DecoderDrivers.h"
#include "FuzzTarget.h"
#include "MessageBuilder.h"

namespace ScmFuzz {

namespace {
enum Kind : u8 { kEvent, kCommand, kResponse, kKinds };

Bytes With(Kind kind, const Bytes& message) { return Prefixed(kind, message); }
}  // namespace

std::vector<Bytes> Seeds() {
  using namespace TestFrames;
  std::vector<Bytes> seeds = {With(kEvent, BuildEvent(3, 0x9200A107u, 0, 6)),
                              With(kEvent, BuildEvent(1, 0x12340000u, 0xFFFF, 0xFFFFFFFFu))};
  CommandSpec command;
  command.identifier = 7;
  command.code = 0x1234;
  seeds.push_back(With(kCommand, BuildCommand(command)));
  command.newPassword = std::array<u8, 16>{1, 2, 3};
  seeds.push_back(With(kCommand, BuildCommand(command)));
  CommandSpec acknowledge;
  acknowledge.commandClass = kStatusRequest;
  acknowledge.code = 0x5000;
  seeds.push_back(With(kCommand, BuildCommand(acknowledge)));
  StatusSpec status;
  status.identifier = 7;
  seeds.push_back(With(kResponse, BuildStatus(status)));
  status.result = 1;
  status.moduleStateLow = 0;
  seeds.push_back(With(kResponse, BuildStatus(status)));
  seeds.push_back(With(kResponse, BuildNewStatus(NewStatusSpec{})));
  return seeds;
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  const u8 kind = static_cast<u8>(in.U8() % kKinds);
  Bytes message = in.Rest();
  try {
    switch (kind) {
      case kEvent:
        DecodeTest::DriveEventDecoder(Buffer(message), message.size());
        break;
      case kCommand:
        DecodeTest::DriveCommandDecoder(Buffer(message), message.size());
        break;
      default:
        DecodeTest::DriveResponseDecoder(Buffer(message), message.size());
        break;
    }
  } catch (const DecodeTest::DriverViolation& v) {
    Finding(v.what());
  }
}

}  // namespace ScmFuzz
