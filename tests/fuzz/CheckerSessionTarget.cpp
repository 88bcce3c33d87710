// Surface 7: the checker's session relay with messages on every host-side and
// firmware-side queue, handled in the order of the check task's cycle
// (unlock requests and responses, received frames, then events, sent frames,
// commands and responses), with the inspector the checker runs: the
// dispatching inspector over the UDID, firmware and parameter-checksum checks
// of a small installed domain (SADRs 5 and 6, the inspection tests'). A checker
// error is a CException, after which the program switches to fail-safe and
// keeps cycling; nothing else may escape. What it forwards keeps the kind's
// length limit, and the bytes of what it relays are those it received
// (complemented or restored), fail-safe marks of responses apart.
//
// Input: messages until the input ends, each
//   u8 selector: low three bits the queue (modulo 7); bit 6 the bytes as they
//                stand on the queue (else given plain: a firmware-side message
//                is complemented, a sent frame also carries the check bits);
//                bit 7 recompute a frame's CRCs
//   the message (u16 length, bytes; cut to the queue's longest message).
#include <array>
#include <cstdio>
#include <deque>
#include <memory>

#include "CDefaultSession.h"
#include "CException.h"
#include "CPassThroughInspector.h"
#include "CheckerTestDomain.h"
#include "InspectionRows.h"
#include "FakeMessaging.h"
#include "FrameBuilder.h"
#include "FuzzFrames.h"
#include "FuzzTarget.h"
#include "MessageBuilder.h"
#include "rtp_mem_control.h"

namespace ScmFuzz {

namespace {

using CheckerTest::Q;
using Main::CDefaultSession;

constexpr u8 kQueueMask = 0x07;  ///< selector: the queue
constexpr u8 kRaw = 0x40;        ///< selector: bytes as they stand
constexpr u8 kSeal = 0x80;       ///< selector: recompute a frame's CRCs
constexpr int kCycles = 3;       ///< cycles run over the messages
constexpr u16 kSdn = 7;          ///< the checker's domain

/// One source queue: where it goes, its longest message, whether the firmware side writes it.
struct Source {
  Q from;           ///< the queue the checker reads
  Q to;             ///< the queue it relays to
  std::size_t max;  ///< longest message on the queue
  bool fromScm;     ///< written by the firmware (complemented)
};

constexpr std::array<Source, 7> kSources = {{
    {Q::UnlockRequestHost, Q::UnlockRequestScm, CDefaultSession::ms_UnlockMessageLengthMax, false},
    {Q::UnlockResponseScm, Q::UnlockResponseHost, CDefaultSession::ms_UnlockMessageLengthMax, true},
    {Q::FrameFromHost, Q::FrameToScm, CDefaultSession::ms_FrameLengthMax, false},
    {Q::EventScm, Q::EventHost, CDefaultSession::ms_EventLengthMax, true},
    {Q::FrameFromScm, Q::FrameToHost, CDefaultSession::ms_FrameLengthMax, true},
    {Q::CommandHost, Q::CommandScm, CDefaultSession::ms_CommandLengthMax, false},
    {Q::ResponseScm, Q::ResponseHost, CDefaultSession::ms_ResponseLengthMax, true},
}};
constexpr std::size_t kSentFrames = 4;  ///< index of the sent frames in kSources
constexpr std::size_t kResponses = 6;   ///< index of the responses in kSources

/// Whether a byte of a relayed message may be a fail-safe mark: the session
/// marks a response by the layout its decoder recognises, classic (byte 23)
/// or new (bytes 44..47), whatever the length.
bool IsMark(std::size_t index, std::size_t at) {
  if (index != kResponses) return false;
  return at == TestFrames::ResponseOffsets::FailSafeByte ||
         (at >= TestFrames::ResponseOffsets::Flags && at < TestFrames::ResponseOffsets::Flags + 4);
}

/// The substitute host: microsecond counter, reset lock, controller reset.
void InstallHost() {
  ScmMemSetSyscallHook([](const _Vx_usr_arg_t words[8], int number) -> _Vx_usr_arg_t {
    switch (number) {
      case 0x80:
        *reinterpret_cast<u32*>(words[0]) = 1000;
        *reinterpret_cast<u32*>(words[1]) = 0;
        return 0;
      case 0x8D:
      case 0x8E:
      case 0x93:
        return 0;
      default:
        return -1;
    }
  });
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  char two[4];
  for (const u8 b : bytes) {
    std::snprintf(two, sizeof(two), "%02x", b);
    text += two;
  }
  return text;
}

/// Whether a message relayed from this source is the taken one, complemented or restored.
bool Relays(std::size_t index, const Bytes& taken, const Bytes& relayed) {
  if (taken.size() != relayed.size()) return false;
  const Bytes expected = CheckerTest::Complement(taken);
  for (std::size_t at = 0; at < expected.size(); ++at) {
    if (relayed[at] != expected[at] && !IsMark(index, at)) return false;
  }
  return true;
}

Bytes Message(u8 selector, const Bytes& message) {
  Bytes m = {selector};
  AppendField(m, message);
  return m;
}

}  // namespace

std::vector<Bytes> Seeds() {
  using namespace TestFrames;
  using namespace InspectTest;
  FrameSpec request;
  request.id = Ids::UdidRequest;
  request.adr = 5;
  request.sdn = kSdn;
  request.tadr = 1;
  const Bytes frame = BuildFrame(request);
  CommandSpec command;
  command.identifier = 3;
  command.code = 0x1234;
  StatusSpec status;
  status.identifier = 3;
  Bytes cycle = Message(0, Bytes(21, 1));
  for (const Bytes& m : {Message(1, Bytes(8, 2)), Message(2 | kSeal, frame), Message(3, BuildEvent(1, 0x12340000u, 0, 0)),
                         Message(4 | kSeal, frame), Message(5, BuildCommand(command)), Message(6, BuildStatus(status))}) {
    cycle.insert(cycle.end(), m.begin(), m.end());
  }
  // A node of the installed domain introduced: assigned, answering with its UDID, identified,
  // its checksum read, then set to operational (sent frames 4, received 2).
  Bytes introduce;
  auto add = [&introduce](u8 selector, const FrameSpec& f) {
    const Bytes m = Message(selector, BuildFrame(f));
    introduce.insert(introduce.end(), m.begin(), m.end());
  };
  auto sent = [&add](const FrameSpec& f) { add(4, f); };
  auto received = [&add](const FrameSpec& f) { add(2, f); };
  sent(AssignSadr(5, kUdid5));
  received(SadrAssigned(5, kUdid5));
  received(UploadExpedited(5, 0x1018, 1, U32(kVendorId), 100));
  received(UploadExpedited(5, 0x1018, 2, U32(kProductCode), 101));
  received(UploadExpedited(5, 0x1018, 3, U32((static_cast<u32>(kMajor) << 16) | kMinorAcknowledged), 102));
  received(UploadExpedited(5, 0x1018, 6, kChecksum5, 103));
  sent(SetToOp(5));
  return {cycle, introduce, Message(2 | kSeal, frame), Message(4 | kSeal, frame),
          Message(6, BuildNewStatus(NewStatusSpec{})), Message(5, BuildCommand(command))};
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  ScmMemReset();
  SetCheckerTestDomain(kSdn);
  InstallHost();
  CheckerTest::FakeMessaging messaging;
  const auto inspection = std::make_unique<InspectTest::Inspection>();
  InspectTest::InstallDomain(*inspection);
  inspection->Initialize();
  CDefaultSession session(messaging, *inspection->inspector);
  session.Initialize();
  // What each source queue got, as the session will read it.
  std::array<std::deque<Bytes>, kSources.size()> put;
  InputReader in(data, size);
  while (!in.AtEnd()) {
    const u8 selector = in.U8();
    const std::size_t index = (selector & kQueueMask) % kSources.size();
    const Source& source = kSources[index];
    Bytes message = in.Field();
    if (message.size() > source.max) message.resize(source.max);
    if ((selector & kSeal) != 0 && (source.from == Q::FrameFromHost || source.from == Q::FrameFromScm)) {
      SealFrame(message, nullptr);
    }
    if ((selector & kRaw) == 0 && source.fromScm) {
      if (index == kSentFrames) {
        for (const u8 mask : Main::CPassThroughInspector::ms_CheckBitMasks) {
          for (u8& b : message) b = static_cast<u8>(b ^ mask);
        }
      }
      message = CheckerTest::Complement(message);
    }
    messaging.Put(source.from, message);
    put[index].push_back(message);
  }
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    try {
      session.HandleAllUnlockRequests();
      session.HandleAllUnlockResponses();
      session.HandleAllReceivedFrames();
      session.HandleAllEvents();
      session.HandleAllSentFrames();
      session.HandleAllCommands();
      session.HandleAllResponses();
    } catch (const Util::CException&) {
      session.SwitchToFailSafe();
    }
  }
  for (std::size_t index = 0; index < kSources.size(); ++index) {
    const Source& source = kSources[index];
    const std::deque<Bytes>& out = messaging.Queue(source.to);
    const std::size_t taken = put[index].size() - messaging.Queue(source.from).size();
    Require(out.size() <= taken, "more messages relayed than taken");
    // Messages leave in the order they came; a frame that does not decode is dropped.
    std::size_t next = 0;
    for (const Bytes& message : out) {
      Require(message.size() <= source.max, "relayed message of " + std::to_string(message.size()) + " bytes");
      if (index == kSentFrames) continue;  // the check bits are the inspector's
      while (next < taken && !Relays(index, put[index][next], message)) ++next;
      Require(next < taken, "queue " + std::to_string(index) + ": relayed message " + Hex(message) +
                                " was not taken as it stands");
      ++next;
    }
  }
  ScmMemReset();
}

}  // namespace ScmFuzz
