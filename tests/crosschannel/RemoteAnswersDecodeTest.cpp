// Remote control across the two channels: every answer the firmware writes on
// "~status" read back by the checker's response decoder, the checker's
// fail-safe marks written into the firmware's own records, and every command
// of the shared builders read alike by the checker's command decoder and the
// firmware.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <cstring>
#include <string>
#include <vector>

#include "FwUnitSupport.h"
#include "HNFiff_CmdChnl.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "Hmi/CCommandDecoder.h"
#include "Hmi/CDecodedAcknowledgeModules.h"
#include "Hmi/CDecodedChangePassword.h"
#include "Hmi/CDecodedCommandVisitor.h"
#include "Hmi/CDecodedResponseVisitor.h"
#include "Hmi/CDecodedStatus.h"
#include "Hmi/CDecodedStatusNew.h"
#include "Hmi/CResponseDecoder.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "MessageBuilder.h"
#include "RemoteMessages.h"

namespace CrossChannelTest {
namespace {

using TestFrames::Bytes;
using Password = std::array<u8, 16>;

/// Kinds the checker decodes a response into.
enum ResponseKind : int { UnknownResponse = 0, ClassicStatus = 1, NewStatus = 2 };

/// Records the visitor operation and what the decoded status reports.
class ResponseRecorder : public Hmi::CDecodedResponseVisitor {
 public:
  int kind = UnknownResponse;  ///< last operation
  u16 status = 0xFFFF;         ///< GetStatus of a status kind
  void VisitStatus(Hmi::CDecodedStatus& r) override {
    kind = ClassicStatus;
    status = r.GetStatus();
  }
  void VisitStatusNew(Hmi::CDecodedStatusNew& r) override {
    kind = NewStatus;
    status = r.GetStatus();
  }
};

class RemoteAcross : public FwTest::FwFixture {
 protected:
  void SetUp() override {
    FwFixture::SetUp();
    MFWQZ_gbRemoteActive = 1;
    MFWQZ_Confirm.ulState = MFWQZ_k_CNF_IDLE;
    MFWQZ_bCvnFromQorAvailable = 1;
    MFWQZ_gbStartUp = 0;
    MFWQZ_ModuleInfo[2].ulFlags = 1 | 0x400;
    MFWQZ_ModuleInfo[3].ulFlags = 1;
    MFWQZ_ulNumberOfUdidMisMatches = 1;
  }
  Bytes Answer(const Bytes& message) { return AnswerTo(message); }
  Hmi::CResponseDecoder responses;
  Hmi::CCommandDecoder commands;
};

Bytes Command(u16 cls, u16 code, u16 echo = 0x1234, std::optional<Password> newPassword = {}) {
  TestFrames::CommandSpec fields;
  fields.commandClass = cls;
  fields.code = code;
  fields.echo = echo;
  fields.newPassword = newPassword;
  return TestFrames::BuildCommand(fields);
}

TEST_F(RemoteAcross, EveryFirmwareAnswerDecodesAsItsKind) {
  Bytes objectRead = {3, 0, 0, 0, 0x00, 0x84, 22, 0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0x10, 0x24, 10, 0};
  Bytes tooLong = Command(0x0100, 0x0060);
  tooLong.push_back(0);
  Bytes shortChange = Command(0x0100, 0x5000);
  const struct {
    const char* name;
    Bytes command;
    size_t size;
    int kind;
    u16 status;
  } cases[] = {
      {"accepted enter command", Command(0x0100, 0x0060), 280, ClassicStatus, 0},
      {"refused enter command", Command(0x0100, 0x0050), 280, ClassicStatus, 17},
      {"unknown class", Command(0x0700, 0), 280, ClassicStatus, 5},
      {"wrong length", tooLong, 280, ClassicStatus, 30},
      {"password change of wrong length", shortChange, 280, ClassicStatus, 29},
      {"status", Command(0x0200, 0), 280, ClassicStatus, 0},
      {"unknown status request", Command(0x0200, 0x4000), 280, ClassicStatus, 32},
      {"new status", Command(0x0200, 0x5000), 52, NewStatus, 0},
      {"password information", Command(0x0200, 0x1000), 13, UnknownResponse, 0},
      {"password check", Command(0x0200, 0x2000), 13, UnknownResponse, 0},
      {"controller UDID", Command(0x0200, 0x3000), 18, UnknownResponse, 0},
      {"address list", Command(0x0200, 0x6000), 212, UnknownResponse, 0},
      {"module flags", Command(0x0200, 0x7000), 60, UnknownResponse, 0},
      {"object read", objectRead, 30, UnknownResponse, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MFWQZ_Remote = MFWQZ_RemoteState{};
    Bytes answer = Answer(c.command);
    ASSERT_EQ(answer.size(), c.size);
    Hmi::CDecodedResponse* decoded = responses.GetDecodedResponse(static_cast<u16>(answer.size()), answer.data());
    ASSERT_NE(decoded, nullptr);
    ResponseRecorder recorder;
    decoded->Accept(recorder);
    EXPECT_EQ(recorder.kind, c.kind);
    if (c.kind != UnknownResponse) {
      EXPECT_EQ(recorder.status, c.status);
    }
    if (answer.size() >= 13) {
      EXPECT_EQ(Hmi::CDecodedResponse::GetSelector(static_cast<u16>(answer.size()), answer.data()), 4u);
      EXPECT_EQ(Hmi::CDecodedResponse::GetCommand(static_cast<u16>(answer.size()), answer.data()),
                static_cast<u16>(c.command[4] | (c.command[5] << 8)));
    }
  }
}

TEST_F(RemoteAcross, IdentifierIsEchoedAndTheCheckerReadsIt) {
  Bytes command = Command(0x0200, 0);
  command[2] = 0x21;
  command[3] = 0x43;
  Bytes answer = Answer(command);
  Hmi::CDecodedResponse* decoded = responses.GetDecodedResponse(static_cast<u16>(answer.size()), answer.data());
  EXPECT_EQ(decoded->GetIdentifier(), 0x4321);
  ResponseRecorder recorder;
  decoded->Accept(recorder);
  EXPECT_EQ(recorder.kind, ClassicStatus) << "recognised by its type";
}

TEST_F(RemoteAcross, FailSafeMarksLandOnTheFirmwareRecords) {
  const struct {
    const char* name;
    bool firmwareFailSafe;
    bool checkerFailSafe;
    u8 byte23;
  } cases[] = {
      {"both sound", false, false, 0x55},
      {"checker fail-safe", false, true, 4},
      {"firmware fail-safe", true, false, 2},
      {"both fail-safe", true, true, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    glFailSafeA = HNFiff_kModuleStateNormal;
    glFailSafeB = HNFiff_kModuleStateNormal;
    if (c.firmwareFailSafe) {
      HNFiff_ModuleStateFailSafe();
    }
    Bytes classic = Answer(Command(0x0200, 0));
    EXPECT_EQ(classic.at(23), c.firmwareFailSafe ? 0xAA : 0x55);
    Hmi::CDecodedResponse* decoded = responses.GetDecodedResponse(static_cast<u16>(classic.size()), classic.data());
    auto* status = dynamic_cast<Hmi::CDecodedStatus*>(decoded);
    ASSERT_NE(status, nullptr);
    status->SetFailSafeFlags(c.checkerFailSafe);
    EXPECT_EQ(classic.at(23), c.byte23);

    Bytes fresh = Answer(Command(0x0200, 0x5000));
    auto* newStatus = dynamic_cast<Hmi::CDecodedStatusNew*>(
        responses.GetDecodedResponse(static_cast<u16>(fresh.size()), fresh.data()));
    ASSERT_NE(newStatus, nullptr);
    EXPECT_EQ(newStatus->GetFailSafeFlag(), c.firmwareFailSafe);
    newStatus->SetFailSafeFlag(c.checkerFailSafe);
    EXPECT_EQ(newStatus->GetFailSafeFlag(), c.firmwareFailSafe || c.checkerFailSafe);
    TakeEvents();
  }
}

/// Records the command kind the checker sees.
class CommandRecorder : public Hmi::CDecodedCommandVisitor {
 public:
  std::string kind = "unknown";  ///< last operation
  u32 modules = 0;               ///< module count of an acknowledgement
  const u8* newPassword = nullptr;  ///< new password of a change
  void VisitChangePassword(const Hmi::CDecodedChangePassword& c) override {
    kind = "change password";
    newPassword = c.GetChangedPassword();
  }
  void VisitAcknowledgeCorvane(const Hmi::CDecodedAcknowledgeCorvane&) override { kind = "key medium"; }
  void VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules& c) override {
    kind = "modules";
    modules = c.GetAcknowledgedModuleCount();
  }
  void VisitAcknowledgeFirmware(const Hmi::CDecodedAcknowledgeFirmware&) override { kind = "firmware"; }
  void VisitRequestStatus(const Hmi::CDecodedRequestStatus&) override { kind = "status"; }
  void VisitActivateSetupMode(const Hmi::CDecodedActivateSetupMode&) override { kind = "setup on"; }
  void VisitDeactivateSetupMode(const Hmi::CDecodedDeactivateSetupMode&) override { kind = "setup off"; }
};

TEST_F(RemoteAcross, BuilderCommandsReadAlikeInBothChannels) {
  const Password password = {'p', 'w', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF};
  std::memcpy(MFWQZ_gaucPassword, password.data(), 16);
  MFWQZ_ulNumberOfDiffFirmware = 1;
  MFWQZ_bCorvaneChanged = 0;
  const struct {
    u16 cls;
    u16 code;
    const char* kind;
    u32 modules;
  } cases[] = {
      {0x0100, 0x0060, "modules", 1},   {0x0100, 0x0100, "firmware", 0}, {0x0100, 0x5000, "change password", 0},
      {0x0100, 0x2000, "unknown", 0},   {0x0100, 0x9000, "setup on", 0}, {0x0100, 0x9100, "setup off", 0},
      {0x0200, 0x0000, "status", 0},    {0x0200, 0x5000, "unknown", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    MFWQZ_Remote = MFWQZ_RemoteState{};
    TestFrames::CommandSpec fields;
    fields.commandClass = c.cls;
    fields.code = c.code;
    fields.echo = 0x0BAD;
    fields.password = password;
    if (c.cls == 0x0100 && c.code == 0x5000) {
      fields.newPassword = Password{'n', 'e', 'w'};
    }
    const Bytes command = TestFrames::BuildCommand(fields);
    const Hmi::CDecodedCommand* decoded = commands.GetDecodedCommand(static_cast<u8>(command.size()), command.data());
    CommandRecorder recorder;
    decoded->Accept(recorder);
    EXPECT_EQ(recorder.kind, c.kind);
    EXPECT_EQ(recorder.modules, c.modules);
    EXPECT_EQ(decoded->GetCommand(), c.cls);
    EXPECT_EQ(decoded->GetNumber(), 0x0BAD);
    EXPECT_EQ(decoded->GetData(), c.code);
    EXPECT_EQ(0, std::memcmp(decoded->GetPassword(), password.data(), 16));
    if (recorder.newPassword != nullptr) {
      EXPECT_EQ(0, std::memcmp(recorder.newPassword, "new", 3));
    }
    // The firmware reads the same fields: class and echo come back, an accepted enter command is stored whole.
    const Bytes answer = Answer(command);
    EXPECT_EQ(static_cast<u16>(answer.at(4) | (answer.at(5) << 8)), c.cls);
    EXPECT_EQ(static_cast<u16>(answer.at(6) | (answer.at(7) << 8)), 0x0BAD);
    if (c.cls == 0x0100) {
      EXPECT_EQ(answer.at(8), 0) << "accepted";
      EXPECT_EQ(0, std::memcmp(MFWQZ_RemoteCmd, command.data() + 4, command.size() - 4));
    }
    TakeEvents();
  }
}

TEST_F(RemoteAcross, OperatorReadersReadFirmwareRecordsAndBuildersWriteTheirBytes) {
  MFWQZ_gaucPassword[0] = 'x';
  const u8 udid[6] = {0x02, 0x5C, 0x3E, 0, 0, 9};
  std::memcpy(HNFstp_aucQorUdid, udid, 6);
  MFWQZ_ModuleInfo[4].ulFlags = 1 | 0x8000 | 0x800;
  TestFrames::ObjectReadSpec read;
  read.word = 0x0042;
  read.objects = {{0x2410, 10}, {0x2410, 52}, {0x2424, 11}};
  TestFrames::ObjectReadSpec badRead = read;
  badRead.version = 2;
  const struct {
    const char* name;
    Bytes command;
  } cases[] = {
      {"status", Command(0x0200, 0)},
      {"refused enter command", Command(0x0100, 0x0050)},
      {"new status", Command(0x0200, 0x5000)},
      {"password information", Command(0x0200, 0x1000)},
      {"password check", Command(0x0200, 0x2000)},
      {"controller UDID", Command(0x0200, 0x3000)},
      {"address list", Command(0x0200, 0x6000)},
      {"address list beyond", Command(0x0200, 0x6001)},
      {"module flags", Command(0x0200, 0x7000)},
      {"object read", TestFrames::BuildObjectRead(read)},
      {"refused object read", TestFrames::BuildObjectRead(badRead)},
      {"too short object read", TestFrames::BuildRawCommand(0, Bytes{0x00, 0x84, 9})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes answer = Answer(c.command);
    const u16 cls = static_cast<u16>(c.command[4] | (c.command[5] << 8));
    const u16 code = c.command.size() >= 10 ? static_cast<u16>(c.command[8] | (c.command[9] << 8)) : 0;
    Bytes rebuilt;
    if (cls == 0x8400) {
      const auto fields = TestFrames::ReadObjectReadAnswer(answer);
      ASSERT_TRUE(fields.has_value());
      rebuilt = TestFrames::BuildObjectReadAnswer(*fields);
    } else if (answer.size() == 280) {
      const auto fields = TestFrames::ReadStatus(answer);
      ASSERT_TRUE(fields.has_value());
      rebuilt = TestFrames::BuildStatus(*fields);
    } else if (code == 0x5000) {
      const auto fields = TestFrames::ReadNewStatus(answer);
      ASSERT_TRUE(fields.has_value());
      EXPECT_EQ(fields->mismatches, 1);
      rebuilt = TestFrames::BuildNewStatus(*fields);
    } else if (code == 0x1000 || code == 0x2000) {
      const auto fields = TestFrames::ReadPasswordInfo(answer);
      ASSERT_TRUE(fields.has_value());
      EXPECT_EQ(fields->answer, code == 0x1000 ? 1 : 0);
      rebuilt = TestFrames::BuildPasswordInfo(*fields);
    } else if (code == 0x3000) {
      const auto fields = TestFrames::ReadControllerUdid(answer);
      ASSERT_TRUE(fields.has_value());
      EXPECT_EQ(fields->udid, (TestFrames::Udid{0x02, 0x5C, 0x3E, 0, 0, 9}));
      rebuilt = TestFrames::BuildControllerUdid(*fields);
    } else if ((code & 0xFFF0) == 0x6000) {
      const auto fields = TestFrames::ReadAddressList(answer);
      ASSERT_TRUE(fields.has_value());
      rebuilt = TestFrames::BuildAddressList(*fields);
    } else {
      const auto fields = TestFrames::ReadModuleFlags(answer);
      ASSERT_TRUE(fields.has_value());
      EXPECT_EQ(fields->mismatch[0], 0x01);
      EXPECT_EQ(fields->firmware[0], 0x04);
      EXPECT_EQ(fields->missing[0], 0x04);
      rebuilt = TestFrames::BuildModuleFlags(*fields);
    }
    EXPECT_EQ(rebuilt, answer);
    TakeEvents();
  }
}

}  // namespace
}  // namespace CrossChannelTest
