// The event, command and response decoders against records built from the
// firmware-side layouts: recognised and unknown kinds, length refusals, the
// module-count mapping and the fail-safe marks written into responses.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "CException.h"
#include "ErrorCodes.h"
#include "Event/CDecodedEventVisitor.h"
#include "Event/CEventDecoder.h"
#include "Hmi/CCommandDecoder.h"
#include "Hmi/CDecodedCommandVisitor.h"
#include "Hmi/CDecodedResponseVisitor.h"
#include "Hmi/CResponseDecoder.h"
#include "MessageBuilder.h"

namespace {

using TestFrames::Bytes;
using Util::ErrorCodes;

/// Runs call and returns the exception it threw, if any.
std::optional<Util::CException> Thrown(const std::function<void()>& call) {
  try {
    call();
  } catch (const Util::CException& e) {
    return e;
  }
  return std::nullopt;
}

void ExpectCode(const std::function<void()>& call, u16 code, std::optional<u32> information1 = std::nullopt) {
  const auto e = Thrown(call);
  ASSERT_TRUE(e) << "no exception";
  EXPECT_EQ(e->GetCode(), code) << std::hex << e->GetCode();
  if (information1) {
    EXPECT_EQ(e->GetInformation1(), *information1);
  }
}

// ---------------------------------------------------------------- events

/// Records the event operation: 1 key medium, 2 modules, 3 firmware.
class EventRecorder : public Event::CDecodedEventVisitor {
 public:
  int operation = 0;  ///< last operation, 0 none
  int calls = 0;      ///< number of calls
  u32 moduleCount = 0;  ///< GetAcknowledgedModuleCount of the modules kind
  void VisitCorvaneAcknowledged(const Event::CDecodedCorvaneAcknowledged&) override { Record(1); }
  void VisitModulesAcknowledged(const Event::CDecodedModulesAcknowledged& e) override {
    Record(2);
    moduleCount = e.GetAcknowledgedModuleCount();
  }
  void VisitFirmwareAcknowledged(const Event::CDecodedFirmwareAcknowledged&) override { Record(3); }

 private:
  void Record(int op) {
    operation = op;
    ++calls;
  }
};

struct EventCase {
  u8 level;      ///< level
  u32 code;      ///< event code
  u16 info0;     ///< information0
  int operation; ///< expected operation, 0 unknown
};

TEST(EventDecoder, RecognisedAndUnknownEvents) {
  const std::vector<EventCase> cases = {
      {1, 0x6200C094, 7, 1}, {1, 0x6200C095, 7, 1}, {1, 0x6200C094, 8, 2}, {1, 0x6200C095, 8, 2},
      {1, 0x6200C094, 9, 3}, {1, 0x6200C095, 9, 3},
      {1, 0x1234C095, 9, 3},  // upper 16 bits are not looked at
      {1, 0xFFFFC094, 8, 2},
      {2, 0x6200C094, 8, 0},  // level 2
      {3, 0x6200C094, 7, 0}, {0, 0x6200C095, 9, 0},
      {1, 0x6200C094, 10, 0}, {1, 0x6200C095, 6, 0}, {1, 0x6200C094, 0, 0},
      {1, 0x6200C093, 8, 0}, {1, 0x6200C096, 8, 0}, {1, 0xC0946200, 8, 0},
  };
  Event::CEventDecoder decoder;
  for (const EventCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.level) + " " + std::to_string(c.code) + " " + std::to_string(c.info0));
    const Bytes bytes = TestFrames::BuildEvent(c.level, c.code, c.info0, 0x01020304);
    const Bytes before = bytes;
    const Event::CDecodedEvent* e = decoder.GetDecodedEvent(static_cast<u8>(bytes.size()), bytes.data());
    EventRecorder visitor;
    e->Accept(visitor);
    EXPECT_EQ(visitor.operation, c.operation);
    EXPECT_EQ(visitor.calls, c.operation == 0 ? 0 : 1);
    EXPECT_EQ(e->GetLevel(), c.level);
    EXPECT_EQ(e->GetCode(), c.code);
    EXPECT_EQ(e->GetInformation0(), c.info0);
    EXPECT_EQ(e->GetInformation1(), 0x01020304u);
    if (c.operation == 2) {
      EXPECT_EQ(visitor.moduleCount, 0x01020304u);
    }
    EXPECT_EQ(bytes, before);
  }
}

TEST(EventDecoder, LengthRefusalsCarryTheLength) {
  Event::CEventDecoder decoder;
  Bytes bytes = TestFrames::BuildEvent(1, 0x6200C094, 8, 5);
  for (u8 n = 0; n <= 10; ++n) {
    ExpectCode([&] { decoder.GetDecodedEvent(n, bytes.data()); }, ErrorCodes::ms_EventTooShort, n);
    ExpectCode([&] { Event::CDecodedEvent::GetCode(n, bytes.data()); }, ErrorCodes::ms_EventTooShort, n);
  }
  bytes.push_back(0xEE);  // 12 bytes: decoded from the first 11
  EventRecorder visitor;
  decoder.GetDecodedEvent(12, bytes.data())->Accept(visitor);
  EXPECT_EQ(visitor.operation, 2);
  ExpectCode([&] { decoder.GetDecodedEvent(11, nullptr); }, ErrorCodes::ms_InternalError);
  Event::CDecodedUnknownEvent unbound;
  ExpectCode([&] { unbound.GetLevel(); }, ErrorCodes::ms_InternalError);
}

// ---------------------------------------------------------------- commands

/// Records the command operation: 1..7 in the visitor's order.
class CommandRecorder : public Hmi::CDecodedCommandVisitor {
 public:
  int operation = 0;  ///< last operation, 0 none
  int calls = 0;      ///< number of calls
  void VisitChangePassword(const Hmi::CDecodedChangePassword&) override { Record(1); }
  void VisitAcknowledgeCorvane(const Hmi::CDecodedAcknowledgeCorvane&) override { Record(2); }
  void VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules&) override { Record(3); }
  void VisitAcknowledgeFirmware(const Hmi::CDecodedAcknowledgeFirmware&) override { Record(4); }
  void VisitRequestStatus(const Hmi::CDecodedRequestStatus&) override { Record(5); }
  void VisitActivateSetupMode(const Hmi::CDecodedActivateSetupMode&) override { Record(6); }
  void VisitDeactivateSetupMode(const Hmi::CDecodedDeactivateSetupMode&) override { Record(7); }

 private:
  void Record(int op) {
    operation = op;
    ++calls;
  }
};

struct CommandCase {
  u16 type;        ///< header type
  u16 identifier;  ///< header identifier
  u16 command;     ///< class word
  u16 data;        ///< selection code
  bool newPassword;  ///< 42-byte layout
  int operation;   ///< expected operation, 0 unknown
};

TEST(CommandDecoder, RecognisedAndUnknownCommands) {
  const std::vector<CommandCase> cases = {
      {3, 0, 0x0100, 0x5000, true, 1},  {3, 0, 0x0100, 0x5000, false, 1},  // 26 bytes is still a password change
      {3, 0, 0x0100, 0x0200, false, 2}, {3, 0, 0x0100, 0x0020, false, 3}, {3, 0, 0x0100, 0x0030, false, 3},
      {3, 0, 0x0100, 0x0040, false, 3}, {3, 0, 0x0100, 0x0050, false, 3}, {3, 0, 0x0100, 0x0060, false, 3},
      {3, 0, 0x0100, 0x0100, false, 4}, {3, 0, 0x0200, 0x0000, false, 5}, {3, 0, 0x0100, 0x9000, false, 6},
      {3, 0, 0x0100, 0x9100, false, 7},
      // A non-zero identifier is echoed by the firmware and recognised alike.
      {3, 7, 0x0100, 0x0200, false, 2}, {3, 0xFFFF, 0x0200, 0x0000, false, 5}, {3, 1, 0x0100, 0x9000, false, 6},
      {4, 0, 0x0100, 0x0200, false, 0}, {0x0103, 0, 0x0100, 0x0200, false, 0}, {2, 0, 0x0200, 0, false, 0},
      {3, 0, 0x0100, 0x0070, false, 0}, {3, 0, 0x0100, 0x0010, false, 0}, {3, 0, 0x0200, 0x0001, false, 0},
      {3, 0, 0x0200, 0x5000, false, 0}, {3, 0, 0x0200, 0x0200, false, 0}, {3, 0, 0x0100, 0x0000, false, 0},
      {3, 0, 0x0100, 0xF000, false, 0}, {3, 0, 0x8100, 0x0200, false, 0}, {3, 0, 0x0000, 0x0200, false, 0},
  };
  Hmi::CCommandDecoder decoder;
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.identifier) + " " + std::to_string(c.command) +
                 " " + std::to_string(c.data));
    TestFrames::CommandSpec fields;
    fields.type = c.type;
    fields.identifier = c.identifier;
    fields.commandClass = c.command;
    fields.code = c.data;
    fields.echo = 0xA5C3;
    fields.password[3] = 0x33;
    if (c.newPassword) {
      fields.newPassword = std::array<u8, 16>{};
    }
    const Bytes bytes = TestFrames::BuildCommand(fields);
    const Bytes before = bytes;
    const Hmi::CDecodedCommand* cmd = decoder.GetDecodedCommand(static_cast<u8>(bytes.size()), bytes.data());
    CommandRecorder visitor;
    cmd->Accept(visitor);
    EXPECT_EQ(visitor.operation, c.operation);
    EXPECT_EQ(visitor.calls, c.operation == 0 ? 0 : 1);
    EXPECT_EQ(cmd->GetSelector(), static_cast<u32>(c.type) | (static_cast<u32>(c.identifier) << 16));
    EXPECT_EQ(cmd->GetIdentifier(), c.identifier);
    EXPECT_EQ(Hmi::CDecodedCommand::GetIdentifier(static_cast<u8>(bytes.size()), bytes.data()), c.identifier);
    EXPECT_EQ(cmd->GetCommand(), c.command);
    EXPECT_EQ(cmd->GetNumber(), 0xA5C3);
    EXPECT_EQ(cmd->GetData(), c.data);
    EXPECT_EQ(cmd->GetPassword(), bytes.data() + 10);
    EXPECT_EQ(bytes, before);
  }
}

TEST(CommandDecoder, LengthRefusalsAndTheNewPassword) {
  Hmi::CCommandDecoder decoder;
  TestFrames::CommandSpec fields;
  fields.code = 0x5000;
  fields.newPassword = std::array<u8, 16>{};
  const Bytes bytes = TestFrames::BuildCommand(fields);
  for (u8 n = 0; n <= 25; ++n) {
    ExpectCode([&] { decoder.GetDecodedCommand(n, bytes.data()); }, ErrorCodes::ms_CommandTooShort, n);
  }
  for (u8 n = 26; n <= 41; ++n) {
    const auto* cmd = dynamic_cast<const Hmi::CDecodedChangePassword*>(decoder.GetDecodedCommand(n, bytes.data()));
    ASSERT_NE(cmd, nullptr);
    ExpectCode([&] { cmd->GetChangedPassword(); }, ErrorCodes::ms_CommandTooShort, n);
  }
  const auto* cmd = dynamic_cast<const Hmi::CDecodedChangePassword*>(decoder.GetDecodedCommand(42, bytes.data()));
  ASSERT_NE(cmd, nullptr);
  EXPECT_EQ(cmd->GetChangedPassword(), bytes.data() + 26);
  ExpectCode([&] { decoder.GetDecodedCommand(26, nullptr); }, ErrorCodes::ms_InternalError);
  Hmi::CDecodedUnknownCommand unbound;
  ExpectCode([&] { unbound.GetData(); }, ErrorCodes::ms_InternalError);
}

TEST(CommandDecoder, ModuleCountMapping) {
  const std::vector<std::pair<u16, u32>> table = {{0x0020, 5}, {0x0030, 4}, {0x0040, 3}, {0x0050, 2}, {0x0060, 1}};
  Hmi::CCommandDecoder decoder;
  for (auto [data, count] : table) {
    TestFrames::CommandSpec fields;
    fields.code = data;
    const Bytes bytes = TestFrames::BuildCommand(fields);
    const auto* cmd =
        dynamic_cast<const Hmi::CDecodedAcknowledgeModules*>(decoder.GetDecodedCommand(26, bytes.data()));
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(cmd->GetAcknowledgedModuleCount(), count);
  }
  // Bound by hand to another selection code, the mapping is misuse.
  TestFrames::CommandSpec fields;
  fields.code = 0x0070;
  const Bytes bytes = TestFrames::BuildCommand(fields);
  Hmi::CDecodedAcknowledgeModules modules;
  modules.Initialize(26, bytes.data());
  ExpectCode([&] { modules.GetAcknowledgedModuleCount(); }, ErrorCodes::ms_InternalError);
}

// ---------------------------------------------------------------- responses

/// Records the response operation (1 classic, 2 new) and applies the checker's marks.
class ResponseMarker : public Hmi::CDecodedResponseVisitor {
 public:
  explicit ResponseMarker(bool failSafe) : m_FailSafe(failSafe) {}
  int operation = 0;  ///< last operation, 0 none
  int calls = 0;      ///< number of calls
  void VisitStatus(Hmi::CDecodedStatus& s) override {
    operation = 1;
    ++calls;
    s.SetFailSafeFlags(m_FailSafe);
  }
  void VisitStatusNew(Hmi::CDecodedStatusNew& s) override {
    operation = 2;
    ++calls;
    s.SetFailSafeFlag(m_FailSafe);
  }

 private:
  bool m_FailSafe;  ///< the checker's fail-safe state to mark
};

struct ResponseCase {
  const char* name;  ///< case name
  Bytes bytes;       ///< the response
  int operation;     ///< expected operation, 0 unknown
};

std::vector<ResponseCase> ResponseCases() {
  std::vector<ResponseCase> cases;
  cases.push_back({"classic", TestFrames::BuildStatus({}), 1});
  TestFrames::StatusSpec echoed;
  echoed.identifier = 0x0909;
  cases.push_back({"classic with identifier", TestFrames::BuildStatus(echoed), 1});
  TestFrames::StatusSpec wrongType;
  wrongType.type = 3;
  cases.push_back({"classic of type 3", TestFrames::BuildStatus(wrongType), 0});
  Bytes shortStatus = TestFrames::BuildStatus({});
  shortStatus.pop_back();
  cases.push_back({"classic of 279 bytes", shortStatus, 0});
  cases.push_back({"new", TestFrames::BuildNewStatus({}), 2});
  TestFrames::NewStatusSpec n;
  n.identifier = 0x1234;
  cases.push_back({"new with identifier", TestFrames::BuildNewStatus(n), 2});
  for (u8 version : {u8{0}, u8{1}, u8{3}, u8{0xFF}}) {
    TestFrames::NewStatusSpec v;
    v.version = version;
    cases.push_back({"new of another version", TestFrames::BuildNewStatus(v), 0});
  }
  TestFrames::NewStatusSpec code;
  code.code = 0x5001;
  cases.push_back({"new with another code", TestFrames::BuildNewStatus(code), 0});
  TestFrames::NewStatusSpec cls;
  cls.requestClass = 0x0100;
  cases.push_back({"new to an enter command", TestFrames::BuildNewStatus(cls), 0});
  Bytes shortNew = TestFrames::BuildNewStatus({});
  shortNew.pop_back();
  cases.push_back({"new of 51 bytes", shortNew, 0});
  // 280 bytes that also carry the new record's marks: the new status is tested first.
  Bytes both = TestFrames::BuildNewStatus({});
  both.resize(280, 0);
  cases.push_back({"280 bytes with the new record", both, 2});
  cases.push_back({"12 bytes", Bytes(12, 0x04), 0});
  cases.push_back({"empty", Bytes{}, 0});
  return cases;
}

TEST(ResponseDecoder, RecognisedAndUnknownResponses) {
  Hmi::CResponseDecoder decoder;
  for (ResponseCase& c : ResponseCases()) {
    SCOPED_TRACE(c.name);
    Bytes bytes = c.bytes;
    bytes.reserve(bytes.size() + 1);
    Hmi::CDecodedResponse* r = decoder.GetDecodedResponse(static_cast<u16>(bytes.size()), bytes.data());
    ResponseMarker visitor(false);
    r->Accept(visitor);
    EXPECT_EQ(visitor.operation, c.operation);
    EXPECT_EQ(visitor.calls, c.operation == 0 ? 0 : 1);
    if (c.operation == 0) {
      EXPECT_EQ(bytes, c.bytes);
    }
  }
}

TEST(ResponseDecoder, ClassicFailSafeByte) {
  struct Case {
    u8 before;     ///< byte 23 as the firmware wrote it
    u8 sound;      ///< after the mark while the checker is sound
    u8 failSafe;   ///< after the mark in checker fail-safe
  };
  const std::vector<Case> table = {{0x55, 0x55, 4}, {0xAA, 2, 6}, {0x02, 2, 6}, {0x04, 2, 6},
                                   {0x06, 2, 6},    {0x00, 2, 6}, {0x54, 2, 6}, {0xFF, 2, 6}};
  Hmi::CResponseDecoder decoder;
  for (const Case& c : table) {
    for (bool failSafe : {false, true}) {
      TestFrames::StatusSpec fields;
      fields.moduleStateLow = c.before;
      fields.result = 0;
      const Bytes original = TestFrames::BuildStatus(fields);
      Bytes bytes = original;
      Hmi::CDecodedResponse* r = decoder.GetDecodedResponse(static_cast<u16>(bytes.size()), bytes.data());
      ResponseMarker visitor(failSafe);
      r->Accept(visitor);
      ASSERT_EQ(visitor.operation, 1);
      Bytes expected = original;
      expected[23] = failSafe ? c.failSafe : c.sound;
      EXPECT_EQ(bytes, expected) << "before " << int(c.before) << " fail-safe " << failSafe;
      auto* status = static_cast<Hmi::CDecodedStatus*>(r);
      EXPECT_EQ(status->IsOk(), expected[23] == 0x55);
      EXPECT_EQ(status->GetFailSafeFlags(), expected[23]);
      EXPECT_TRUE(status->IsSuccessful());
    }
  }
}

TEST(ResponseDecoder, MarkingTheSameResponseAgainStartsFromTheFirmwaresByte) {
  struct Case {
    u8 before;   ///< byte 23 as the firmware wrote it
    bool first;  ///< the checker's state at the first mark
    u8 after;    ///< byte 23 after a second mark in checker fail-safe
  };
  const std::vector<Case> table = {{0x55, false, 4}, {0x55, true, 4}, {0xAA, false, 6}, {0xAA, true, 6},
                                   {0x04, false, 6}, {0x04, true, 6}};
  Hmi::CResponseDecoder decoder;
  for (const Case& c : table) {
    SCOPED_TRACE(::testing::Message() << "before " << int(c.before) << " first mark fail-safe " << c.first);
    TestFrames::StatusSpec fields;
    fields.moduleStateLow = c.before;
    Bytes bytes = TestFrames::BuildStatus(fields);
    auto* status = static_cast<Hmi::CDecodedStatus*>(decoder.GetDecodedResponse(static_cast<u16>(bytes.size()), bytes.data()));
    status->SetFailSafeFlags(c.first);
    status->SetFailSafeFlags(true);
    EXPECT_EQ(bytes[23], c.after);
    status->SetFailSafeFlags(true);
    EXPECT_EQ(bytes[23], c.after);
  }
  // A new response in the same buffer is marked from its own byte, even when
  // it holds what the previous mark wrote.
  TestFrames::StatusSpec fields;
  fields.moduleStateLow = 0x55;
  Bytes bytes = TestFrames::BuildStatus(fields);
  auto* status = static_cast<Hmi::CDecodedStatus*>(decoder.GetDecodedResponse(static_cast<u16>(bytes.size()), bytes.data()));
  status->SetFailSafeFlags(true);
  ASSERT_EQ(bytes[23], 4);
  status = static_cast<Hmi::CDecodedStatus*>(decoder.GetDecodedResponse(static_cast<u16>(bytes.size()), bytes.data()));
  status->SetFailSafeFlags(false);
  EXPECT_EQ(bytes[23], 2);
}

TEST(ResponseDecoder, NewFailSafeFlag) {
  struct Case {
    u32 before;    ///< flags word as written
    bool failSafe; ///< the checker's state
    u32 after;     ///< flags word after the mark
  };
  const std::vector<Case> table = {{0x0E00, false, 0x0E00}, {0x0E00, true, 0x0E10}, {0x0E10, false, 0x0E10},
                                   {0x0E10, true, 0x0E10},  {0xFFFFFFEF, true, 0xFFFFFFFF}, {0, false, 0}};
  Hmi::CResponseDecoder decoder;
  for (const Case& c : table) {
    TestFrames::NewStatusSpec fields;
    fields.stateBits = c.before;
    fields.result = 7;
    const Bytes original = TestFrames::BuildNewStatus(fields);
    Bytes bytes = original;
    Hmi::CDecodedResponse* r = decoder.GetDecodedResponse(static_cast<u16>(bytes.size()), bytes.data());
    ResponseMarker visitor(c.failSafe);
    r->Accept(visitor);
    ASSERT_EQ(visitor.operation, 2);
    Bytes expected = original;
    TestFrames::PutLe(expected, 44, c.after, 4);
    EXPECT_EQ(bytes, expected);
    auto* status = static_cast<Hmi::CDecodedStatusNew*>(r);
    EXPECT_EQ(status->GetFailSafeFlag(), (c.after & 0x10) != 0);
    EXPECT_EQ(status->IsOk(), (c.after & 0x10) == 0);
    EXPECT_EQ(status->GetStatus(), 7);
    EXPECT_FALSE(status->IsSuccessful());
  }
}

TEST(ResponseDecoder, ShortOperationsAndNull) {
  Hmi::CResponseDecoder decoder;
  ExpectCode([&] { decoder.GetDecodedResponse(52, nullptr); }, ErrorCodes::ms_InternalError);
  Bytes bytes = TestFrames::BuildStatus({});
  // Bound by hand to a shorter length, every operation refuses with the length.
  Hmi::CDecodedStatus status;
  status.Initialize(279, bytes.data());
  ExpectCode([&] { status.GetStatus(); }, ErrorCodes::ms_ResponseTooShort, 279);
  ExpectCode([&] { status.SetFailSafeFlags(true); }, ErrorCodes::ms_ResponseTooShort, 279);
  EXPECT_EQ(bytes, TestFrames::BuildStatus({}));
  Hmi::CDecodedStatusNew statusNew;
  statusNew.Initialize(51, bytes.data());
  ExpectCode([&] { statusNew.SetFailSafeFlag(true); }, ErrorCodes::ms_ResponseTooShort, 51);
  for (u16 n = 0; n <= 12; ++n) {
    ExpectCode([&] { Hmi::CDecodedResponse::GetSelector(n, bytes.data()); }, ErrorCodes::ms_ResponseTooShort, n);
  }
  EXPECT_EQ(Hmi::CDecodedResponse::GetSelector(13, bytes.data()), 4u);
  EXPECT_EQ(Hmi::CDecodedResponse::GetCommand(13, bytes.data()), 0x0100);
  Hmi::CDecodedUnknownResponse unbound;
  ExpectCode([&] { unbound.GetSelector(); }, ErrorCodes::ms_InternalError);
}

}  // namespace
