// Surface 9: the firmware's command channel and the remote control behind it
// (length and class rules, password, check table, status records, object
// reads), met with any command while the machines and counters that the check
// table reads stand anywhere the firmware can put them. Every message with a
// command header gets exactly one answer echoing its identifier, of one of the
// answer lengths; any other message is dropped with the drop event alone. No
// command raises a fatal event or changes the module state.
//
// Input: steps until the input ends, each u8 control, by its low two bits:
//   0 command:      the message (u16 length, bytes), put complemented on "command";
//                   with bit 2 set instead u8 kind, u8 code, u8 echo: a well-formed
//                   command built here (see BuiltCommand), the password it carries
//                   right or wrong
//   1 state:        u8 which, u8 value, u8 extra: one word the check table or a record reads (SetState)
//   2 confirmation: u8 value: the counter advances (value + 1) * 50 ms, one confirmation step
//   3 reset:        the remote-control state as at power-up
#include <algorithm>
#include <cstdio>
#include <string>

#include "FuzzTarget.h"
#include "FwRemoteSupport.h"
#include "FwUnitSupport.h"
#include "HNFcom.h"
#include "HNFevt.h"
#include "HNFiff_CmdChnl.h"
#include "HNFiff_ModuleState.h"
#include "MFWQZ.h"
#include "MFWQZ_BusOd.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "MessageBuilder.h"
#include "RemoteMessages.h"
#include "ScmSystemCalls.h"
#include "rtp_mem_control.h"

namespace ScmFuzz {

namespace {

using TestFrames::AnswerSizes::ObjectReadEntry;
using TestFrames::AnswerSizes::ObjectReadHeader;
using TestFrames::AnswerSizes::ObjectReadRefusal;

constexpr u8 kStepCommand = 0;       ///< control: a command message
constexpr u8 kStepState = 1;         ///< control: one state word
constexpr u8 kStepConfirm = 2;       ///< control: one confirmation step
constexpr u8 kStepReset = 3;         ///< control: remote control as at power-up
constexpr u8 kBuilt = 0x04;          ///< control of a command step: built from kind, code and echo
constexpr std::size_t kMessageMax = HNFcom_kCommandRxSize + 6;  ///< longest message put (the queue refuses more)
constexpr std::size_t kStepLimit = 300;  ///< steps one input may take
constexpr u32 kEvtCmdDropped = 0x62008709u;  ///< the channel's drop event
constexpr u32 kConfirmStepUs = 50000;        ///< counter advance per value unit, microseconds

/// The firmware unit tests' platform and state reset.
struct Platform : FwTest::FwFixture {
  void TestBody() override {}
};

/// Words a loaded diagnosis file leaves for the file-information objects.
const u32 s_aulFileWords[255] = {0x11223344u, 0xFFFFFFFFu, 1u};

/// Sets one word the check table or the records read to a value it can hold.
void SetState(FwTest::FakeHost& host, u8 which, u8 value, u8 extra) {
  switch (which % 16) {
    case 0: MFWQZ_gbRemoteActive = value & 1u; break;
    case 1: MFWQZ_gbQuitAll = value & 1u; break;
    case 2: MFWQZ_gbScanning = value & 1u; break;
    case 3: MFWQZ_KeyCnf.ulState = value % 4u; break;
    case 4: MFWQZ_KeyFormat.ulState = value % 3u; break;
    case 5: {
      static constexpr u32 kStates[] = {MFWQZ_k_CNF_IDLE, MFWQZ_k_CNF_WAIT, MFWQZ_k_CNF_HOLD};
      // A started user-data format ends in a reset and leaves the remote state final until then,
      // so no order is taken, and none waits for its confirmation, while it runs.
      if (kStates[value % 3u] == MFWQZ_k_CNF_WAIT && MFWQZ_UsrDataFormat.ulState != MFWQZ_k_USR_IDLE) break;
      MFWQZ_Confirm.ulState = kStates[value % 3u];
      break;
    }
    case 6: MFWQZ_ulNumberOfUdidMisMatches = value % 8u; break;
    case 7: MFWQZ_ulNumberOfDiffFirmware = value % 4u; break;
    case 8: MFWQZ_bCvnFromQorAvailable = value & 1u; break;
    case 9: {
      // One module configured, with extra's bits 2-5: missing, firmware difference, mismatch, UDID change.
      static constexpr u32 kBits[] = {0x800u, 0x8000u, 0x400u, 0x800000u};
      u32 flags = MFWQZ_kFlagConfigured;
      for (u32 b = 0; b < 4; ++b) flags |= ((extra >> (2 + b)) & 1u) != 0 ? kBits[b] : 0u;
      MFWQZ_ModuleInfo[1 + (value | ((extra & 3u) << 8)) % (MFWQZ_kModuleCount - 1)].ulFlags = flags;
      break;
    }
    case 10:
      // The host's storage writes fail from now on (the password file among them), or work again.
      if ((value & 1u) != 0) {
        host.failing.insert(SCM_SC_WRITE_STORAGE);
      } else {
        host.failing.erase(SCM_SC_WRITE_STORAGE);
      }
      break;
    case 11: MFWQZ_SetupModeDesc.ulState = (value & 1u) != 0 ? MFWQZ_k_SM_ON : MFWQZ_k_SM_OFF; break;
    case 12:
      // The first 4 * value modules configured: the pages past the first fill.
      for (u32 sadr = 1; sadr <= 4u * value; ++sadr) MFWQZ_ModuleInfo[sadr].ulFlags |= MFWQZ_kFlagConfigured;
      break;
    case 13: {
      MFWQZ_DiagnoseFileInfo& info = MFWQZ_aDiagnoseFileInfo[value % MFWQZ_kDiagnoseFiles];
      info.ulSub1 = extra * 0x01010101u;
      info.ulSub3 = value;
      info.ulWords = extra;
      info.pulWords = s_aulFileWords;
      break;
    }
    case 14: {
      static constexpr u32 kCompleted[] = {0, MFWQZ_kCodeFirmware, MFWQZ_kCodeKeyMedium, MFWQZ_kCodeQuit1,
                                           MFWQZ_kCodePassword};
      MFWQZ_Remote.ulLastCompleted = kCompleted[value % 5u];
      MFWQZ_Remote.ulState = extra % 5u;
      if (MFWQZ_Remote.ulState == MFWQZ_k_RS_ACCEPTED) {
        // Only a checked command is ever accepted: store one, as the enter command would.
        static constexpr u16 kAccepted[] = {MFWQZ_kCodeFirmware, MFWQZ_kCodeKeyMedium, MFWQZ_kCodeQuit1,
                                            MFWQZ_kCodePassword, MFWQZ_kCodeFormat};
        MFWQZ_PutU16(MFWQZ_RemoteCmd + MFWQZ_kCmdOffCode, kAccepted[(extra / 5u) % 5u]);
      }
      break;
    }
    default: MFWQZ_gaucPassword[value % MFWQZ_kPasswordBytes] = extra; break;
  }
}

/// The complement of every byte, as the channels carry messages.
Bytes Complemented(Bytes bytes) {
  for (u8& b : bytes) b = static_cast<u8>(~b);
  return bytes;
}

/// A well-formed command: kind bit 0 status request (else enter command), bit 1 the password
/// as set (else kind's high bits in its first byte), bit 2 a password change of 38 bytes;
/// code picks a selection code of the check table or a status page (page in its high bits).
Bytes BuiltCommand(u8 kind, u8 code, u8 echo) {
  static constexpr u16 kCodes[] = {0x0000, 0x0020, 0x0030, 0x0040, 0x0050, 0x0060, 0x0100, 0x0200,
                                   0x1000, 0x2000, 0x3000, 0x4000, 0x5000, 0x6000, 0x7000, 0x8000,
                                   0x9000, 0x9100, 0xF000};
  constexpr u8 kCodeCount = sizeof(kCodes) / sizeof(kCodes[0]);
  TestFrames::CommandSpec fields;
  fields.identifier = static_cast<u16>(echo | (code << 8));
  fields.commandClass = (kind & 1u) != 0 ? TestFrames::kStatusRequest : TestFrames::kEnterCommand;
  fields.echo = echo;
  fields.code = kCodes[code % kCodeCount];
  if (fields.code == 0x6000 || fields.code == 0x7000) fields.code |= static_cast<u16>((code / kCodeCount) & 0x0Fu);
  if ((kind & 2u) != 0) {
    std::copy(std::begin(MFWQZ_gaucPassword), std::end(MFWQZ_gaucPassword), fields.password.begin());
  } else {
    fields.password[0] = static_cast<u8>(kind >> 3);
  }
  if ((kind & 4u) != 0) fields.newPassword = std::array<u8, 16>{static_cast<u8>(echo), static_cast<u8>(kind)};
  return TestFrames::BuildCommand(fields);
}

void ResetRemote() {
  FwTest::ResetRemoteControl();
  MFWQZ_Confirm.ulState = MFWQZ_k_CNF_IDLE;
}

/// 1 when payload bytes are an answer length of the command's kind.
bool AnswerLengthFits(bool variable, std::size_t payload) {
  if (variable) {
    return payload == ObjectReadRefusal ||
           (payload >= ObjectReadHeader && (payload - ObjectReadHeader) % ObjectReadEntry == 0 &&
            payload <= ObjectReadHeader + ObjectReadEntry * TestFrames::kMaxReadObjects);
  }
  static constexpr std::size_t kFixed[] = {MFWQZ_kStatusSize,       MFWQZ_kNewStatusSize,    MFWQZ_kPwdInfoSize,
                                           MFWQZ_kUdidAnswerSize,   MFWQZ_kAddressListSize, MFWQZ_kModuleFlagsSize};
  return std::find(std::begin(kFixed), std::end(kFixed), payload) != std::end(kFixed);
}

void CheckNoFatal(Platform& platform, std::vector<FwTest::Event>& events, const char* when) {
  events = platform.TakeEvents();
  for (const FwTest::Event& e : events) {
    if (e.level >= HNFevt_kLevelFatal) {
      char text[120];
      std::snprintf(text, sizeof(text), "fatal event %s: level %u, 0x%08X, %u, 0x%X", when, e.level, e.code, e.info0,
                    e.info1);
      Finding(text);
    }
  }
}

/// One command through the channel, and what it must have answered.
void Command(Platform& platform, const Bytes& message) {
  const u32 moduleState = HNFiff_ModuleStateRead();
  static const u8 s_Empty = 0;
  const Bytes sent = Complemented(message);
  const bool taken = ScmMemQueuePut(FwTest::ScmName("command").c_str(), sent.empty() ? &s_Empty : sent.data(),
                                    sent.size()) == OK;
  HNFiff_CmdChnlRcv();
  const std::vector<Bytes> answers = platform.TakePlain("status");
  std::vector<FwTest::Event> events;
  CheckNoFatal(platform, events, "after a command");
  Require(HNFiff_ModuleStateRead() == moduleState, "a command changed the module state");
  const std::string size = std::to_string(message.size()) + "-byte message";
  if (!taken) {
    Require(message.size() > HNFcom_kCommandRxSize, "the queue refused a " + size);
    Require(answers.empty() && events.empty(), "answer or event to a " + size + " the queue refused");
    return;
  }
  if (message.size() < HNFiff_kCmdHeaderSize || message[0] != TestFrames::kCommandType || message[1] != 0) {
    Require(answers.empty(), "answer to a dropped " + size);
    Require(events.size() == 1 && events[0].code == kEvtCmdDropped, "a dropped " + size + " without its one event");
    return;
  }
  Require(answers.size() == 1, std::to_string(answers.size()) + " answers to a " + size);
  const Bytes& answer = answers[0];
  Require(answer.size() >= HNFiff_kCmdHeaderSize && answer.size() <= HNFcom_kStatusTxSize,
          "answer of " + std::to_string(answer.size()) + " bytes");
  Require(answer[0] == TestFrames::kResponseType && answer[1] == 0, "answer without a response header");
  Require(answer[2] == message[2] && answer[3] == message[3], "answer without the command's identifier");
  const bool variable = message.size() >= 6 && (message[5] & 0x80u) != 0;
  Require(AnswerLengthFits(variable, answer.size() - HNFiff_kCmdHeaderSize),
          "answer payload of " + std::to_string(answer.size() - HNFiff_kCmdHeaderSize) + " bytes to a " + size);
}

Bytes CommandStep(const Bytes& message) {
  Bytes step = {kStepCommand};
  AppendField(step, message);
  return step;
}

Bytes StateStep(u8 which, u8 value, u8 extra = 0) { return {kStepState, which, value, extra}; }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace

std::vector<Bytes> Seeds() {
  using namespace TestFrames;
  std::vector<Bytes> seeds;
  // Every status request, the pages past the list included.
  Bytes status;
  for (u16 code : {0x0000, 0x1000, 0x2000, 0x3000, 0x5000, 0x6000, 0x6003, 0x7000, 0x7001, 0x4444}) {
    CommandSpec request;
    request.commandClass = kStatusRequest;
    request.identifier = code;
    request.echo = 0x0A0B;
    request.code = code;
    status = Concat({status, CommandStep(BuildCommand(request))});
  }
  seeds.push_back(status);
  // The first password, remote control on, then every enter code with and without it.
  CommandSpec first;
  first.identifier = 1;
  first.code = MFWQZ_kCodePassword;
  first.newPassword = std::array<u8, 16>{7, 7, 7};
  Bytes enter = Concat({CommandStep(BuildCommand(first)), Bytes{kStepConfirm, 20}, Bytes{kStepConfirm, 20}});
  for (u16 code : {0x0200, 0x0060, 0x0050, 0x0040, 0x0030, 0x0020, 0x0100, 0x1000, 0x2000, 0x3000, 0x4000, 0x5000,
                   0x8000, 0x9000, 0x9100, 0xF000, 0x0777}) {
    CommandSpec command;
    command.identifier = code;
    command.code = code;
    command.password = {7, 7, 7};
    if (code == MFWQZ_kCodePassword) command.newPassword = std::array<u8, 16>{8};
    CommandSpec wrong = command;
    wrong.password = {};
    enter = Concat({enter, CommandStep(BuildCommand(wrong)), CommandStep(BuildCommand(command)),
                    Bytes{kStepConfirm, 12}, Bytes{kStepConfirm, 12}, Bytes{kStepConfirm, 120}});
  }
  seeds.push_back(enter);
  // The machines and counters the check table reads, then accepting exchanged modules.
  Bytes machines = Concat({StateStep(0, 1), StateStep(6, 3), StateStep(7, 1), StateStep(8, 1), StateStep(9, 5)});
  for (u8 which = 1; which < 12; ++which) {
    for (u16 code : {0x0040, 0x0100, 0x0200, 0x5000, 0x9000}) {
      CommandSpec command;
      command.code = code;
      if (code == MFWQZ_kCodePassword) command.newPassword = std::array<u8, 16>{};
      machines = Concat({machines, StateStep(which, 1), CommandStep(BuildCommand(command)), StateStep(which, 0)});
    }
  }
  seeds.push_back(machines);
  // Modules in every class over two pages, the records and pages that list them.
  Bytes modules = StateStep(12, 40);
  for (u8 k = 0; k < 16; ++k) modules = Concat({modules, StateStep(9, static_cast<u8>(7 * k), static_cast<u8>(k << 2))});
  for (u16 code : {0x0000, 0x5000, 0x6000, 0x6001, 0x6002, 0x7000, 0x7001, 0x7002}) {
    CommandSpec request;
    request.commandClass = kStatusRequest;
    request.code = code;
    modules = Concat({modules, CommandStep(BuildCommand(request))});
  }
  modules = Concat({modules, StateStep(14, 1, 4), StateStep(11, 1), CommandStep(BuildCommand([] {
                      CommandSpec request;
                      request.commandClass = kStatusRequest;
                      return request;
                    }()))});
  seeds.push_back(modules);
  // Built commands: every code as status request and as enter command with the right password.
  Bytes built = CommandStep(BuildCommand(first));
  for (u8 code = 0; code < 40; ++code) {
    for (u8 kind : {1, 2, 6, 8}) built = Concat({built, Bytes{kStepCommand | kBuilt, kind, code, code}});
    built = Concat({built, Bytes{kStepConfirm, 20}});
  }
  seeds.push_back(built);
  // Object reads: the diagnosis objects, unknown ones, wrong counts and length words.
  ObjectReadSpec read;
  read.identifier = 9;
  read.objects = {{0x2410, 8}, {0x2410, 14}, {0x2410, 32}, {0x2411, 1}, {0x2410, 0xFF}};
  ObjectReadSpec files = read;
  files.objects = {{0x2424, 1}, {0x2425, 2}, {0x2426, 3}, {0x2427, 11}, {0x2424, 12}};
  ObjectReadSpec miscounted = read;
  miscounted.count = 6;
  ObjectReadSpec badWord = read;
  badWord.objects.resize(2);
  badWord.lengthWord = 40;
  ObjectReadSpec service = read;
  service.service = 2;
  seeds.push_back(Concat({StateStep(13, 0, 2), StateStep(13, 3, 1), CommandStep(BuildObjectRead(files)),
                          CommandStep(BuildObjectRead(read)), CommandStep(BuildObjectRead(miscounted)),
                          CommandStep(BuildObjectRead(badWord)), CommandStep(BuildObjectRead(service)),
                          CommandStep(BuildRawCommand(4, Bytes{0x00, 0x84, 0, 0}))}));
  // Wrong lengths and headers: dropped, refused by the queue, or answered with the short record.
  seeds.push_back(Concat({CommandStep(Bytes{3, 0}), CommandStep(BuildRawCommand(2, Bytes(21, 0))),
                          CommandStep(Bytes(43, 0)), CommandStep(Bytes{5, 0, 1, 0, 0, 1})}));
  return seeds;
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  Platform platform;
  platform.SetUp();
  ResetRemote();
  for (std::size_t steps = 0; !in.AtEnd() && steps < kStepLimit; ++steps) {
    const u8 control = in.U8();
    switch (control & 0x03u) {
      case kStepCommand: {
        Bytes message;
        if ((control & kBuilt) != 0) {
          const u8 kind = in.U8();
          const u8 code = in.U8();
          message = BuiltCommand(kind, code, in.U8());
        } else {
          message = in.Field();
          if (message.size() > kMessageMax) message.resize(kMessageMax);
        }
        Command(platform, message);
        break;
      }
      case kStepState: {
        const u8 which = in.U8();
        const u8 value = in.U8();
        SetState(platform.host, which, value, in.U8());
        break;
      }
      case kStepConfirm: {
        platform.host.counter += (static_cast<u64>(in.U8()) + 1) * kConfirmStepUs;
        (void)MFWQZ_Confirmation();
        std::vector<FwTest::Event> events;
        CheckNoFatal(platform, events, "in a confirmation step");
        break;
      }
      case kStepReset: ResetRemote(); break;
      default: break;
    }
  }
  platform.TearDown();
}

}  // namespace ScmFuzz
