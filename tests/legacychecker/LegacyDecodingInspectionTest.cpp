// The older checker's command and response decoders beside the current ones,
// the two-flag status mark, and the older dispatching inspector: the password
// test, the UDID and firmware checks only behind an acknowledged key medium
// and before its own visit, combined acknowledgement codes applied part by
// part, and no events.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "CException.h"
#include "CheckerTestSupport.h"
#include "CLegacyInspector.h"
#include "ErrorCodes.h"
#include "Event/CEventDecoder.h"
#include "Hmi/CCommandDecoder.h"
#include "Hmi/CDecodedAcknowledgeModules.h"
#include "Hmi/CDecodedCombinedAcknowledgement.h"
#include "Hmi/CDecodedCommandVisitor.h"
#include "Hmi/CDecodedResponseVisitor.h"
#include "Hmi/CDecodedStatus.h"
#include "Hmi/CDecodedStatusNew.h"
#include "Hmi/CLegacyCommandDecoder.h"
#include "Hmi/CLegacyResponseDecoder.h"
#include "Hmi/CResponseDecoder.h"
#include "InspectionFixture.h"
#include "MessageBuilder.h"

namespace {

using TestFrames::Bytes;
using Util::CException;
using Util::ErrorCodes;

/// Names the visitor operation a command reaches.
class KindVisitor : public Hmi::CDecodedCommandVisitor {
 public:
  std::string kind = "none";  ///< the operation called, "none" when none
  void VisitChangePassword(const Hmi::CDecodedChangePassword&) override { kind = "password"; }
  void VisitAcknowledgeCorvane(const Hmi::CDecodedAcknowledgeCorvane&) override { kind = "corvane"; }
  void VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules&) override { kind = "modules"; }
  void VisitAcknowledgeFirmware(const Hmi::CDecodedAcknowledgeFirmware&) override { kind = "firmware"; }
  void VisitRequestStatus(const Hmi::CDecodedRequestStatus&) override { kind = "status"; }
  void VisitActivateSetupMode(const Hmi::CDecodedActivateSetupMode&) override { kind = "setup on"; }
  void VisitDeactivateSetupMode(const Hmi::CDecodedDeactivateSetupMode&) override { kind = "setup off"; }
};

/// The kind name of a decoded command: its visit, "combined" or "unknown".
std::string KindOf(const Hmi::CDecodedCommand& command) {
  KindVisitor visitor;
  command.Accept(visitor);
  if (visitor.kind != "none") return visitor.kind;
  return dynamic_cast<const Hmi::CDecodedCombinedAcknowledgement*>(&command) != nullptr ? "combined" : "unknown";
}

Bytes Command(u16 commandClass, u16 code) {
  TestFrames::CommandSpec spec;
  spec.commandClass = commandClass;
  spec.code = code;
  if (code == 0x5000) spec.newPassword = std::array<u8, 16>{1, 2, 3};
  return TestFrames::BuildCommand(spec);
}

struct CommandRow {
  u16 commandClass;     ///< class word
  u16 code;             ///< selection code
  const char* current;  ///< kind in the current build
  const char* older;    ///< kind in the older build
};

TEST(LegacyCommandDecoder, DecodesTheFiveKindsAndCombinedCodesWhereTheCurrentOneHasSetupMode) {
  const CommandRow rows[] = {
      {0x0100, 0x5000, "password", "password"},  {0x0100, 0x0200, "corvane", "corvane"},
      {0x0100, 0x0020, "modules", "modules"},    {0x0100, 0x0060, "modules", "modules"},
      {0x0100, 0x0100, "firmware", "firmware"},  {0x0200, 0x0000, "status", "status"},
      {0x0100, 0x9000, "setup on", "unknown"},   {0x0100, 0x9100, "setup off", "unknown"},
      // Combined codes: a part bit, no bit of 0xFC0F, a modules part of 0 or 0x20 to 0x60.
      {0x0100, 0x0300, "unknown", "combined"},   {0x0100, 0x0320, "unknown", "combined"},
      {0x0100, 0x0120, "unknown", "combined"},   {0x0100, 0x0360, "unknown", "combined"},
      {0x0100, 0x0240, "unknown", "combined"},
      // Outside the rule they stay unknown.
      {0x0100, 0x0010, "unknown", "unknown"},    {0x0100, 0x0310, "unknown", "unknown"},
      {0x0100, 0x0370, "unknown", "unknown"},    {0x0100, 0x03F0, "unknown", "unknown"},
      {0x0100, 0x0700, "unknown", "unknown"},    {0x0100, 0x0301, "unknown", "unknown"},
      {0x0100, 0x0000, "unknown", "unknown"},    {0x0200, 0x0300, "unknown", "unknown"},
  };
  Hmi::CCommandDecoder current;
  Hmi::CLegacyCommandDecoder older;
  for (const CommandRow& row : rows) {
    const Bytes bytes = Command(row.commandClass, row.code);
    const u8 length = static_cast<u8>(bytes.size());
    EXPECT_EQ(KindOf(*current.GetDecodedCommand(length, bytes.data())), row.current)
        << std::hex << row.commandClass << " " << row.code;
    EXPECT_EQ(KindOf(*older.GetDecodedCommand(length, bytes.data())), row.older)
        << std::hex << row.commandClass << " " << row.code;
  }
}

TEST(LegacyCommandDecoder, AShortCommandAndNullAreRefusedAsInTheCurrentBuild) {
  Hmi::CLegacyCommandDecoder older;
  const Bytes bytes = Command(0x0100, 0x0200);
  const CException shortError = CheckerTest::Caught([&] { older.GetDecodedCommand(25, bytes.data()); });
  EXPECT_EQ(shortError.GetCode(), ErrorCodes::ms_CommandTooShort);
  EXPECT_EQ(shortError.GetInformation1(), 25u);
  EXPECT_EQ(CheckerTest::Caught([&] { older.GetDecodedCommand(26, nullptr); }).GetCode(),
            ErrorCodes::ms_InternalError);
}

/// Names the response visit.
class ResponseKind : public Hmi::CDecodedResponseVisitor {
 public:
  std::string kind = "unknown";  ///< the operation called
  void VisitStatus(Hmi::CDecodedStatus&) override { kind = "status"; }
  void VisitStatusNew(Hmi::CDecodedStatusNew&) override { kind = "new status"; }
};

struct ResponseRow {
  const char* name;     ///< the response
  Bytes bytes;          ///< its bytes
  std::string current;  ///< kind or error code in the current build
  std::string older;    ///< in the older build
};

std::string DecodeName(Hmi::CResponseDecoding& decoder, Bytes bytes) {
  try {
    ResponseKind kind;
    decoder.GetDecodedResponse(static_cast<u16>(bytes.size()), bytes.data())->Accept(kind);
    return kind.kind;
  } catch (const CException& error) {
    char text[32];
    std::snprintf(text, sizeof(text), "%04X i1 %u", error.GetCode(), static_cast<unsigned>(error.GetInformation1()));
    return text;
  }
}

TEST(LegacyResponseDecoder, ReadsTheSelectorFirstAndKnowsOnlyTheClassicStatus) {
  const Bytes status = TestFrames::BuildStatus({});
  TestFrames::StatusSpec commandType;
  commandType.type = 3;
  Bytes header13(13, 0);
  header13[0] = 4;
  const ResponseRow rows[] = {
      {"classic status", status, "status", "status"},
      {"52-byte new status", TestFrames::BuildNewStatus({}), "new status", "unknown"},
      {"280 bytes of type 3", TestFrames::BuildStatus(commandType), "unknown", "unknown"},
      {"279 bytes of type 4", Bytes(status.begin(), status.end() - 1), "unknown", "unknown"},
      {"13-byte header", header13, "unknown", "unknown"},
      {"12 bytes", Bytes(status.begin(), status.begin() + 12), "unknown", "E2CA i1 12"},
  };
  Hmi::CResponseDecoder current;
  Hmi::CLegacyResponseDecoder older;
  for (const ResponseRow& row : rows) {
    EXPECT_EQ(DecodeName(current, row.bytes), row.current) << row.name;
    EXPECT_EQ(DecodeName(older, row.bytes), row.older) << row.name;
  }
  // Nothing received: the selector cannot be read.
  u8 none = 0;
  const CException empty = CheckerTest::Caught([&] { older.GetDecodedResponse(0, &none); });
  EXPECT_EQ(empty.GetCode(), ErrorCodes::ms_ResponseTooShort);
  EXPECT_EQ(empty.GetInformation1(), 0u);
}

TEST(DecodedStatusMark, TheTwoFlagFormWritesTheTableAndTheOneFlagFormFollowsIt) {
  struct Row {
    bool ok;
    bool healthy;
    u8 byte23;
  };
  const Row rows[] = {{true, true, 0x55}, {true, false, 4}, {false, true, 2}, {false, false, 6}};
  Hmi::CLegacyResponseDecoder decoder;
  for (const Row& row : rows) {
    TestFrames::StatusSpec spec;
    spec.moduleStateLow = row.ok ? 0x55 : 0x13;
    Bytes twoFlag = TestFrames::BuildStatus(spec);
    auto* status = static_cast<Hmi::CDecodedStatus*>(decoder.GetDecodedResponse(280, twoFlag.data()));
    status->SetFailSafeFlags(status->IsOk(), row.healthy);
    EXPECT_EQ(twoFlag[23], row.byte23) << row.ok << row.healthy;
    Bytes oneFlag = TestFrames::BuildStatus(spec);
    status = static_cast<Hmi::CDecodedStatus*>(decoder.GetDecodedResponse(280, oneFlag.data()));
    status->SetFailSafeFlags(!row.healthy);
    EXPECT_EQ(oneFlag[23], row.byte23) << row.ok << row.healthy;
  }
}

/// A check that records the data word of each command it sees and may throw.
class CommandCheck : public Check::CUdidInspector, public Check::CFirmwareInspector,
                     public Check::CParameterInspector, public Check::CAdditionalParameterInspector {
 public:
  CommandCheck(std::string name, std::vector<std::string>& log) : m_Name(std::move(name)), m_Log(log) {}
  bool throwOnCommand = false;  ///< InspectCommand throws 0xE2D8 after recording
  void InspectCommand(const Hmi::CDecodedCommand& command) override {
    char text[48];
    std::snprintf(text, sizeof(text), "%s %04X", m_Name.c_str(), command.GetData());
    m_Log.push_back(text);
    if (throwOnCommand) throw CException(ErrorCodes::ms_UdidSetToOpRefused, 1, 2);
  }
  void InspectEvent(const Event::CDecodedEvent&) override { m_Log.push_back(m_Name + " event"); }
  void InspectReceivedFrame(const Frame::CDecodedFrame&) override {}
  void InspectSentFrame(const Frame::CDecodedFrame&) override {}
  bool IsValid() const override { return true; }

 private:
  std::string m_Name;
  std::vector<std::string>& m_Log;
};

/// The older inspector over recording checks and the inspection fixture's surroundings.
struct OlderInspection {
  std::vector<std::string> log;
  InspectTest::Surroundings surroundings;
  CommandCheck udid{"udid", log};
  CommandCheck firmware{"firmware", log};
  CommandCheck parameter{"parameter", log};
  CommandCheck additional{"additional", log};
  Main::CLegacyInspector inspector{surroundings, surroundings, udid, firmware, parameter, additional};
  Hmi::CLegacyCommandDecoder decoder;

  /// Inspects a command with the given code and password; the outcome's code, 0 when none.
  u16 Inspect(u16 code, const std::array<u8, 16>& password = {}) {
    TestFrames::CommandSpec spec;
    spec.code = code;
    spec.password = password;
    const Bytes bytes = TestFrames::BuildCommand(spec);
    try {
      inspector.InspectCommand(*decoder.GetDecodedCommand(static_cast<u8>(bytes.size()), bytes.data()));
    } catch (const CException& error) {
      return error.GetCode();
    }
    return 0;
  }
};

TEST(LegacyInspector, WithoutAnAcknowledgedKeyMediumACommandStoresThePasswordButReachesNoCheck) {
  OlderInspection o;
  o.surroundings.acknowledged = false;
  EXPECT_EQ(o.Inspect(0x0040), 0);
  EXPECT_TRUE(o.log.empty());
  ASSERT_EQ(o.surroundings.passwordsSet.size(), 1u);
  // No password stored: the empty one is kept (sixteen zeros, complemented).
  InspectTest::Password emptyInverted;
  emptyInverted.fill(0xFF);
  EXPECT_EQ(o.surroundings.passwordsSet[0], emptyInverted);
}

TEST(LegacyInspector, AKeyMediumAcknowledgementActsAtOnceAndReachesTheChecksFromTheNextCommand) {
  OlderInspection o;
  o.surroundings.acknowledged = false;
  o.surroundings.manualCorvane = false;  // no commissioner is asked
  EXPECT_EQ(o.Inspect(0x0200), 0);
  EXPECT_EQ(o.surroundings.corvaneAcknowledgements, 1);
  EXPECT_TRUE(o.log.empty());
  EXPECT_EQ(o.Inspect(0x0100), 0);
  EXPECT_EQ(o.log, (std::vector<std::string>{"udid 0100", "firmware 0100"}));
}

TEST(LegacyInspector, TheChecksRunBeforeTheVisitSoAThrowingCheckLeavesThePasswordUnstored) {
  OlderInspection o;
  o.udid.throwOnCommand = true;
  EXPECT_EQ(o.Inspect(0x0060), ErrorCodes::ms_UdidSetToOpRefused);
  EXPECT_EQ(o.log, (std::vector<std::string>{"udid 0060"}));
  EXPECT_TRUE(o.surroundings.passwordsSet.empty());
}

TEST(LegacyInspector, AWrongPasswordChangesNothing) {
  OlderInspection o;
  o.surroundings.storedInverted = InspectTest::Password{};
  (*o.surroundings.storedInverted)[0] = 0x12;
  EXPECT_EQ(o.Inspect(0x0200, {0x77}), 0);
  EXPECT_TRUE(o.log.empty());
  EXPECT_EQ(o.surroundings.corvaneAcknowledgements, 0);
  EXPECT_TRUE(o.surroundings.passwordsSet.empty());
}

TEST(LegacyInspector, CombinedCodesAreAppliedAsSinglePartsInTheFirmwaresOrder) {
  struct Row {
    u16 code;                         ///< combined code
    bool acknowledged;                ///< key medium acknowledged before
    std::vector<std::string> checks;  ///< what the checks saw
    int corvaneAcknowledgements;      ///< key-medium acknowledgements
    size_t passwordsStored;           ///< passwords stored
  };
  const Row rows[] = {
      {0x0320, false, {"udid 0100", "firmware 0100", "udid 0020", "firmware 0020"}, 1, 3},
      {0x0260, false, {"udid 0060", "firmware 0060"}, 1, 2},
      {0x0120, true, {"udid 0100", "firmware 0100", "udid 0020", "firmware 0020"}, 0, 2},
      {0x0300, true, {"udid 0200", "firmware 0200", "udid 0100", "firmware 0100"}, 1, 2},
  };
  for (const Row& row : rows) {
    OlderInspection o;
    o.surroundings.acknowledged = row.acknowledged;
    EXPECT_EQ(o.Inspect(row.code), 0) << std::hex << row.code;
    EXPECT_EQ(o.log, row.checks) << std::hex << row.code;
    EXPECT_EQ(o.surroundings.corvaneAcknowledgements, row.corvaneAcknowledgements) << std::hex << row.code;
    EXPECT_EQ(o.surroundings.passwordsSet.size(), row.passwordsStored) << std::hex << row.code;
  }
}

TEST(LegacyInspector, HasNoEvents) {
  OlderInspection o;
  Event::CEventDecoder events;
  const Bytes event = TestFrames::BuildEvent(1, 0x6200C081, 0, 0);
  const CException error = CheckerTest::Caught(
      [&] { o.inspector.InspectEvent(*events.GetDecodedEvent(static_cast<u8>(event.size()), event.data())); });
  EXPECT_EQ(error.GetCode(), ErrorCodes::ms_InternalError);
  EXPECT_TRUE(o.log.empty());
}

}  // namespace
