// The session relay against substitute messaging and inspectors: order and
// bounds per kind, complementing, the check-bit comparison, the reset lock
// around events, commands and responses, fail-safe and the lifecycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>

#include "CDefaultSession.h"
#include "CException.h"
#include "CInspector.h"
#include "CAuthentification.h"
#include "CCorvane.h"
#include "CCorvaneCommissioner.h"
#include "CDefaultInspector.h"
#include "CPassThroughInspector.h"
#include "Check/CAdditionalParameterInspector.h"
#include "Check/CFirmwareInspector.h"
#include "Check/CParameterInspector.h"
#include "Check/CUdidInspector.h"
#include "CheckerTestDomain.h"
#include "CheckerTestSupport.h"
#include "ErrorCodes.h"
#include "FakeMessaging.h"
#include "FrameBuilder.h"
#include "Hmi/CDecodedCommand.h"
#include "MessageBuilder.h"
#include "rtp_mem_control.h"

namespace {

using CheckerTest::Bytes;
using CheckerTest::Complement;
using CheckerTest::FakeMessaging;
using CheckerTest::Q;
using Main::CDefaultSession;
using Util::CException;
using Util::ErrorCodes;

/// What the substitute host records and answers.
struct HostCalls {
  int lockCalls = 0;        ///< ScmLockReset calls
  int unlockCalls = 0;      ///< ScmUnlockReset calls
  bool failLock = false;    ///< ScmLockReset fails
  bool failUnlock = false;  ///< ScmUnlockReset fails
  u32 counterLow = 0;       ///< microsecond counter's low word
  int resetPlcCalls = 0;    ///< ScmResetPlc calls
};
HostCalls host;

void InstallHost() {
  host = HostCalls{};
  ScmMemSetSyscallHook([](const _Vx_usr_arg_t words[8], int number) -> _Vx_usr_arg_t {
    switch (number) {
      case 0x80:
        *reinterpret_cast<u32*>(words[0]) = host.counterLow;
        *reinterpret_cast<u32*>(words[1]) = 0;
        return 0;
      case 0x8D:
        ++host.lockCalls;
        return host.failLock ? -1 : 0;
      case 0x8E:
        ++host.unlockCalls;
        return host.failUnlock ? -1 : 0;
      case 0x93:
        ++host.resetPlcCalls;
        return 0;
      default:
        return -1;
    }
  });
}

/// An inspector that removes the check bits like the pass-through one, except
/// where a test asks it to skip one pair or to throw.
class ScriptedInspector : public Main::CInspector {
 public:
  int skipMask = -1;              ///< index of the check-bit pair left out, -1 none
  bool throwOnSent = false;       ///< InspectSentFrame throws after its XORs
  bool throwOnReceived = false;   ///< InspectReceivedFrame throws
  bool throwOnEvent = false;      ///< InspectEvent throws
  bool throwOnCommand = false;    ///< InspectCommand throws
  int commands = 0;               ///< InspectCommand calls
  int events = 0;                 ///< InspectEvent calls
  int received = 0;               ///< InspectReceivedFrame calls
  int sent = 0;                   ///< InspectSentFrame calls
  u16 lastCommandIdentifier = 0;  ///< header identifier of the last inspected command

  void InspectCommand(const Hmi::CDecodedCommand& command) override {
    ++commands;
    lastCommandIdentifier = command.GetIdentifier();
    if (throwOnCommand) throw CException(0xE2D7, 5);
  }
  void InspectEvent(const Event::CDecodedEvent&) override {
    ++events;
    if (throwOnEvent) throw CException(0xE2DE, 6);
  }
  void InspectReceivedFrame(const Frame::CDecodedFrame&) override {
    ++received;
    if (throwOnReceived) throw CException(0xE2D5, 7);
  }
  void InspectSentFrame(const Frame::CDecodedFrame&, u16 length, u8* frame) override {
    ++sent;
    for (int i = 0; i < 4; ++i) {
      if (i == skipMask) continue;
      const u8 mask = Main::CPassThroughInspector::ms_CheckBitMasks[i];
      for (u16 j = 0; j < length; ++j) frame[j] = static_cast<u8>(frame[j] ^ mask);
    }
    if (throwOnSent) throw CException(0xE2DF, 1, 2);
  }
  bool IsValid() const override { return true; }
};

Bytes ValidFrame(u16 adr) { return CheckerTest::PassingFrame(adr, 7); }

Bytes Command(u16 identifier) {
  TestFrames::CommandSpec fields;
  fields.identifier = identifier;
  fields.code = 0x1234;
  return TestFrames::BuildCommand(fields);
}

Bytes SuccessfulStatus() {
  TestFrames::StatusSpec fields;
  fields.result = 0;
  return TestFrames::BuildStatus(fields);
}

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScmMemReset();
    SetCheckerTestDomain(7);
    InstallHost();
  }
  void TearDown() override { ScmMemReset(); }

  CDefaultSession& Session() {
    if (!initialized_) {
      session_.Initialize();
      initialized_ = true;
    }
    return session_;
  }
  static CException Caught(const std::function<void()>& action) { return CheckerTest::Caught(action); }

  FakeMessaging messaging_;
  ScriptedInspector inspector_;
  CDefaultSession session_{messaging_, inspector_};
  bool initialized_ = false;
};

TEST_F(SessionTest, InitializeSpawnsTheTimeoutTaskOnce) {
  session_.Initialize();
  const auto spawns = ScmMemSpawns();
  ASSERT_EQ(spawns.size(), 1u);
  EXPECT_EQ(spawns[0].name, "scm0007/timeout");
  EXPECT_EQ(spawns[0].priority, 127);
  EXPECT_EQ(spawns[0].options, 0);
  EXPECT_EQ(spawns[0].stackSize, 4096u);
  EXPECT_EQ(spawns[0].args[0], reinterpret_cast<_Vx_usr_arg_t>(&session_));
  EXPECT_EQ(Caught([&] { session_.Initialize(); }).GetCode(), ErrorCodes::ms_InternalError);
}

TEST_F(SessionTest, RefusedTimeoutTaskIsReported) {
  ScmMemRefuseSpawn("timeout");
  EXPECT_EQ(Caught([&] { session_.Initialize(); }).GetCode(), ErrorCodes::ms_TimeoutTaskNotSpawned);
  // Still not initialized.
  EXPECT_EQ(Caught([&] { session_.HandleAllEvents(); }).GetCode(), ErrorCodes::ms_InternalError);
}

TEST_F(SessionTest, EveryOperationBeforeInitializeIsInternalError) {
  const std::vector<std::function<void()>> operations = {
      [&] { session_.HandleAllUnlockRequests(); }, [&] { session_.HandleAllUnlockResponses(); },
      [&] { session_.HandleAllReceivedFrames(); }, [&] { session_.HandleAllSentFrames(); },
      [&] { session_.HandleAllCommands(); },       [&] { session_.HandleAllResponses(); },
      [&] { session_.HandleAllEvents(); },         [&] { session_.SwitchToFailSafe(); },
      [&] { session_.GetPlcResetTimestamp(); },
  };
  for (size_t i = 0; i < operations.size(); ++i) {
    SCOPED_TRACE(i);
    const CException error = Caught(operations[i]);
    EXPECT_EQ(error.GetCode(), ErrorCodes::ms_InternalError);
    EXPECT_NE(error.GetInformation0(), 0);
  }
  EXPECT_EQ(messaging_.InhibitCalls(), 0);
}

TEST_F(SessionTest, PerCycleBoundsAndComplement) {
  struct Case {
    const char* what;
    Q source;
    Q destination;
    bool fromScm;
    std::function<void(CDefaultSession&)> handle;
    size_t perCycle;
    std::function<Bytes(int)> message;
  };
  const std::vector<Case> cases = {
      {"unlock requests", Q::UnlockRequestHost, Q::UnlockRequestScm, false,
       [](CDefaultSession& s) { s.HandleAllUnlockRequests(); }, 1, [](int i) { return Bytes(21, u8(i)); }},
      {"unlock responses", Q::UnlockResponseScm, Q::UnlockResponseHost, true,
       [](CDefaultSession& s) { s.HandleAllUnlockResponses(); }, 1, [](int i) { return Bytes(8, u8(i)); }},
      {"received frames", Q::FrameFromHost, Q::FrameToScm, false,
       [](CDefaultSession& s) { s.HandleAllReceivedFrames(); }, 20,
       [](int i) { return ValidFrame(u16(i + 1)); }},
      {"events", Q::EventScm, Q::EventHost, true, [](CDefaultSession& s) { s.HandleAllEvents(); }, 10,
       [](int i) { return TestFrames::BuildEvent(1, 0x12340000u + u32(i), 0, 0); }},
      {"sent frames", Q::FrameFromScm, Q::FrameToHost, true,
       [](CDefaultSession& s) { s.HandleAllSentFrames(); }, 20, [](int i) { return ValidFrame(u16(i + 1)); }},
      {"commands", Q::CommandHost, Q::CommandScm, false, [](CDefaultSession& s) { s.HandleAllCommands(); }, 1,
       [](int i) { return Command(u16(i)); }},
      {"responses", Q::ResponseScm, Q::ResponseHost, true, [](CDefaultSession& s) { s.HandleAllResponses(); },
       1, [](int i) { return Bytes(12, u8(i)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Bytes> plain;
    for (int i = 0; i < 25; ++i) {
      plain.push_back(c.message(i));
      messaging_.Put(c.source, c.fromScm ? Complement(plain.back()) : plain.back());
    }
    c.handle(Session());
    auto& out = messaging_.Queue(c.destination);
    ASSERT_EQ(out.size(), c.perCycle);
    for (size_t i = 0; i < out.size(); ++i) {
      EXPECT_EQ(out[i], c.fromScm ? plain[i] : Complement(plain[i]));
    }
    EXPECT_EQ(messaging_.Queue(c.source).size(), 25 - c.perCycle);
    // The next cycle takes the next ones.
    c.handle(Session());
    EXPECT_EQ(out.size(), std::min<size_t>(25, 2 * c.perCycle));
    EXPECT_EQ(out[c.perCycle], c.fromScm ? plain[c.perCycle] : Complement(plain[c.perCycle]));
    messaging_.Queue(c.source).clear();
    out.clear();
  }
}

TEST_F(SessionTest, FullDestinationLeavesMessagesWaitingExceptSentFrames) {
  messaging_.SetCapacity(Q::EventHost, 0);
  messaging_.Put(Q::EventScm, Complement(TestFrames::BuildEvent(1, 0x12340000u, 0, 0)));
  Session().HandleAllEvents();
  EXPECT_EQ(messaging_.Queue(Q::EventScm).size(), 1u);
  EXPECT_EQ(host.lockCalls, 0);

  messaging_.SetCapacity(Q::FrameToHost, 0);
  for (int i = 0; i < 3; ++i) messaging_.Put(Q::FrameFromScm, Complement(ValidFrame(u16(i + 1))));
  Session().HandleAllSentFrames();
  EXPECT_TRUE(messaging_.Queue(Q::FrameFromScm).empty()) << "discarded";
  EXPECT_EQ(inspector_.sent, 0) << "a dropped frame is not inspected";
}

TEST_F(SessionTest, LeavingOutAnyCheckBitPairStopsTheFrame) {
  for (int skip = 0; skip < 4; ++skip) {
    SCOPED_TRACE(skip);
    inspector_.skipMask = skip;
    const Bytes frame = ValidFrame(9);
    messaging_.Put(Q::FrameFromScm, Complement(frame));
    const CException error = Caught([&] { Session().HandleAllSentFrames(); });
    EXPECT_EQ(error.GetCode(), ErrorCodes::ms_CheckBitsMissing);
    const u8 mask = Main::CPassThroughInspector::ms_CheckBitMasks[skip];
    const u16 forwarded = static_cast<u16>((frame[0] ^ mask) | ((frame[1] ^ mask) << 8));
    EXPECT_EQ(error.GetInformation0(), forwarded);
    EXPECT_EQ(error.GetInformation1(), static_cast<u32>(frame[0] | (frame[1] << 8)));
    EXPECT_TRUE(messaging_.Queue(Q::FrameToHost).empty());
  }
}

/// The four checks behind the real dispatching inspector, each throwing on request.
class ThrowingChecks : public Check::CUdidInspector,
                       public Check::CFirmwareInspector,
                       public Check::CParameterInspector,
                       public Check::CAdditionalParameterInspector,
                       public Main::CCorvane,
                       public Main::CCorvaneCommissioner,
                       public Main::CAuthentification {
 public:
  int throwAt = -1;           ///< 1..4: the check that throws on a sent frame (UDID first), -1 none
  bool acknowledged = true;   ///< key medium acknowledged
  int position = 0;           ///< checks run for the current frame
  void Check() {
    if (++position == throwAt) throw CException(static_cast<u16>(0xE2D0 + position), 5, 0);
  }
  void InspectCommand(const Hmi::CDecodedCommand&) override {}
  void InspectEvent(const Event::CDecodedEvent&) override {}
  void InspectReceivedFrame(const Frame::CDecodedFrame&) override {}
  void InspectSentFrame(const Frame::CDecodedFrame&) override { Check(); }
  bool IsValid() const override { return true; }
  void Acknowledge() override {}
  bool IsAcknowledged() const override { return acknowledged; }
  bool IsSetupModeActive() const override { return false; }
  void SetSetupModeActive(bool) override {}
  bool CanManuallyAcknowledgeCorvane() const override { return true; }
  bool CanAutomaticallyAcknowledgeCorvane() const override { return false; }
  bool HasPassword() const override { return false; }
  bool IsValidInvertedPassword(const u8*) const override { return true; }
  void SetInvertedPassword(const u8*) override {}
};

// The check-bit protocol with the real session and dispatching inspector: a
// sent frame leaves only when all four checks returned, and then plain; when
// any check throws, or the key-medium rule refuses first, nothing is sent.
TEST_F(SessionTest, SentFrameLeavesOnlyWhenAllFourChecksReturned) {
  TestFrames::FrameSpec op;
  op.id = TestFrames::Ids::SnmtService;
  op.adr = 5;
  op.sdn = 7;
  op.tadr = 1;
  op.payload = {0x02};
  const Bytes frame = TestFrames::BuildFrame(op);
  for (int throwAt = 0; throwAt <= 5; ++throwAt) {
    SCOPED_TRACE(throwAt);
    ThrowingChecks checks;
    checks.throwAt = throwAt >= 1 && throwAt <= 4 ? throwAt : -1;
    checks.acknowledged = throwAt != 5;
    Main::CDefaultInspector inspector(checks, checks, checks, checks, checks, checks, checks);
    FakeMessaging messaging;
    CDefaultSession session(messaging, inspector);
    ScmMemReset();
    InstallHost();
    session.Initialize();
    messaging.Put(Q::FrameFromScm, Complement(frame));
    if (throwAt == 0) {
      session.HandleAllSentFrames();
      ASSERT_EQ(messaging.Queue(Q::FrameToHost).size(), 1u);
      EXPECT_EQ(messaging.Queue(Q::FrameToHost).front(), frame);
      EXPECT_EQ(checks.position, 4);
      continue;
    }
    const CException error = Caught([&] { session.HandleAllSentFrames(); });
    EXPECT_EQ(error.GetCode(), throwAt == 5 ? 0xE249 : 0xE2D0 + throwAt);
    EXPECT_EQ(checks.position, throwAt == 5 ? 0 : throwAt);
    EXPECT_TRUE(messaging.Queue(Q::FrameToHost).empty());
  }
}

TEST_F(SessionTest, InspectorExceptionStopsTheSentFrame) {
  inspector_.throwOnSent = true;
  messaging_.Put(Q::FrameFromScm, Complement(ValidFrame(3)));
  EXPECT_EQ(Caught([&] { Session().HandleAllSentFrames(); }).GetCode(), 0xE2DF);
  EXPECT_TRUE(messaging_.Queue(Q::FrameToHost).empty());
}

TEST_F(SessionTest, InspectorExceptionStopsTheReceivedFrame) {
  inspector_.throwOnReceived = true;
  messaging_.Put(Q::FrameFromHost, ValidFrame(3));
  EXPECT_EQ(Caught([&] { Session().HandleAllReceivedFrames(); }).GetCode(), 0xE2D5);
  EXPECT_TRUE(messaging_.Queue(Q::FrameToScm).empty());
}

TEST_F(SessionTest, EventWhoseInspectionThrowsStillReachesTheHostUnlocked) {
  inspector_.throwOnEvent = true;
  const Bytes event = TestFrames::BuildEvent(1, 0x12340000u, 3, 4);
  messaging_.Put(Q::EventScm, Complement(event));
  EXPECT_EQ(Caught([&] { Session().HandleAllEvents(); }).GetCode(), 0xE2DE);
  ASSERT_EQ(messaging_.Queue(Q::EventHost).size(), 1u);
  EXPECT_EQ(messaging_.Queue(Q::EventHost)[0], event);
  EXPECT_EQ(host.lockCalls, 1);
  EXPECT_EQ(host.unlockCalls, 1);
}

TEST_F(SessionTest, ShortEventIsForwardedAndItsLockReleased) {
  const Bytes event = {1, 2, 3};
  messaging_.Put(Q::EventScm, Complement(event));
  EXPECT_EQ(Caught([&] { Session().HandleAllEvents(); }).GetCode(), ErrorCodes::ms_EventTooShort);
  ASSERT_EQ(messaging_.Queue(Q::EventHost).size(), 1u);
  EXPECT_EQ(messaging_.Queue(Q::EventHost)[0], event);
  EXPECT_EQ(host.lockCalls, host.unlockCalls);
}

TEST_F(SessionTest, ResetLockFailuresAreReported) {
  host.failLock = true;
  messaging_.Put(Q::EventScm, Complement(TestFrames::BuildEvent(1, 0x12340000u, 0, 0)));
  EXPECT_EQ(Caught([&] { Session().HandleAllEvents(); }).GetCode(), ErrorCodes::ms_LockResetFailed);
  messaging_.Put(Q::CommandHost, Command(1));
  EXPECT_EQ(Caught([&] { Session().HandleAllCommands(); }).GetCode(), ErrorCodes::ms_LockResetFailed);
  host.failLock = false;
  host.failUnlock = true;
  messaging_.Put(Q::EventScm, Complement(TestFrames::BuildEvent(1, 0x12340000u, 0, 0)));
  EXPECT_EQ(Caught([&] { Session().HandleAllEvents(); }).GetCode(), ErrorCodes::ms_UnlockResetFailed);
  messaging_.Put(Q::ResponseScm, Complement(Bytes(12, 0)));
  EXPECT_EQ(Caught([&] { Session().HandleAllResponses(); }).GetCode(), ErrorCodes::ms_UnlockResetFailed);
}

TEST_F(SessionTest, OneLockPerCommandOneUnlockPerResponse) {
  messaging_.Put(Q::CommandHost, Command(1));
  Session().HandleAllCommands();
  EXPECT_EQ(host.lockCalls, 1);
  EXPECT_EQ(host.unlockCalls, 0);
  messaging_.Put(Q::ResponseScm, Complement(Bytes(12, 0)));
  Session().HandleAllResponses();
  EXPECT_EQ(host.lockCalls, 1);
  EXPECT_EQ(host.unlockCalls, 1);
  messaging_.Put(Q::EventScm, Complement(TestFrames::BuildEvent(1, 0x12340000u, 0, 0)));
  Session().HandleAllEvents();
  EXPECT_EQ(host.lockCalls, 2);
  EXPECT_EQ(host.unlockCalls, 2);
}

TEST_F(SessionTest, SuccessfulResponseInspectsOnlyTheLatestCommand) {
  messaging_.Put(Q::CommandHost, Command(11));
  Session().HandleAllCommands();
  messaging_.Put(Q::CommandHost, Command(22));
  Session().HandleAllCommands();
  messaging_.Put(Q::ResponseScm, Complement(SuccessfulStatus()));
  Session().HandleAllResponses();
  EXPECT_EQ(inspector_.commands, 1);
  EXPECT_EQ(inspector_.lastCommandIdentifier, 22);
  // A failed response inspects nothing.
  TestFrames::StatusSpec failed;
  failed.result = 5;
  messaging_.Put(Q::ResponseScm, Complement(TestFrames::BuildStatus(failed)));
  Session().HandleAllResponses();
  EXPECT_EQ(inspector_.commands, 1);
  ASSERT_EQ(messaging_.Queue(Q::ResponseHost).size(), 2u);
}

TEST_F(SessionTest, ResponseWhoseInspectionFailsArrivesMarked) {
  inspector_.throwOnCommand = true;
  messaging_.Put(Q::CommandHost, Command(1));
  Session().HandleAllCommands();
  messaging_.Put(Q::ResponseScm, Complement(SuccessfulStatus()));
  EXPECT_EQ(Caught([&] { Session().HandleAllResponses(); }).GetCode(), 0xE2D7);
  ASSERT_EQ(messaging_.Queue(Q::ResponseHost).size(), 1u);
  const Bytes& forwarded = messaging_.Queue(Q::ResponseHost)[0];
  EXPECT_EQ(forwarded[TestFrames::ResponseOffsets::FailSafeByte], 4) << "marked checker fail-safe";
  EXPECT_TRUE(messaging_.FramesInhibited());
  EXPECT_EQ(host.unlockCalls, 1);
}

TEST_F(SessionTest, StatusResponsesAreMarkedOnlyInFailSafe) {
  messaging_.Put(Q::ResponseScm, Complement(SuccessfulStatus()));
  messaging_.Put(Q::CommandHost, Command(1));
  Session().HandleAllCommands();
  Session().HandleAllResponses();
  EXPECT_EQ(messaging_.Queue(Q::ResponseHost)[0][TestFrames::ResponseOffsets::FailSafeByte], 0x55);
  Session().SwitchToFailSafe();
  messaging_.Put(Q::ResponseScm, Complement(SuccessfulStatus()));
  Session().HandleAllResponses();
  EXPECT_EQ(messaging_.Queue(Q::ResponseHost)[1][TestFrames::ResponseOffsets::FailSafeByte], 4);
}

/// One row of the fail-safe mark table as the relay applies it.
struct MarkRow {
  u8 firmware;          ///< byte 23 as the firmware wrote it
  bool checkerFailSafe; ///< the checker is in fail-safe before the response
  bool inspectionThrows;///< the postponed command's inspection throws
  u8 forwarded;         ///< byte 23 the host receives
};

void PrintTo(const MarkRow& r, std::ostream* os) {
  *os << "firmware " << int(r.firmware) << (r.checkerFailSafe ? " checker fail-safe" : " checker sound")
      << (r.inspectionThrows ? " inspection throws" : " inspection passes");
}

class SessionMarkTest : public SessionTest, public ::testing::WithParamInterface<MarkRow> {};

TEST_P(SessionMarkTest, ASuccessfulClassicStatusReachesTheHostWithTheTablesMark) {
  const MarkRow& row = GetParam();
  inspector_.throwOnCommand = row.inspectionThrows;
  if (row.checkerFailSafe) {
    Session().SwitchToFailSafe();
  }
  messaging_.Put(Q::CommandHost, Command(1));
  Session().HandleAllCommands();
  TestFrames::StatusSpec fields;
  fields.result = 0;
  fields.moduleStateLow = row.firmware;
  const Bytes status = TestFrames::BuildStatus(fields);
  messaging_.Put(Q::ResponseScm, Complement(status));
  if (row.inspectionThrows) {
    EXPECT_EQ(Caught([&] { Session().HandleAllResponses(); }).GetCode(), 0xE2D7);
  } else {
    Session().HandleAllResponses();
  }
  EXPECT_EQ(inspector_.commands, 1);
  ASSERT_EQ(messaging_.Queue(Q::ResponseHost).size(), 1u);
  Bytes expected = status;
  expected[TestFrames::ResponseOffsets::FailSafeByte] = row.forwarded;
  EXPECT_EQ(messaging_.Queue(Q::ResponseHost)[0], expected);
}

// 0x55 only when both channels are sound, 2 the firmware alone, 4 the checker
// alone, 6 both; a failed inspection puts the checker in fail-safe.
const MarkRow kMarkRows[] = {
    {0x55, false, false, 0x55}, {0x55, false, true, 4}, {0x55, true, false, 4}, {0x55, true, true, 4},
    {0xAA, false, false, 2},    {0xAA, false, true, 6}, {0xAA, true, false, 6}, {0xAA, true, true, 6},
};
INSTANTIATE_TEST_SUITE_P(Table, SessionMarkTest, ::testing::ValuesIn(kMarkRows));

TEST_F(SessionTest, FailSafeStopsSentFramesForGood) {
  Session().SwitchToFailSafe();
  EXPECT_EQ(messaging_.InhibitCalls(), 1);
  // Even if the messaging still offered a frame, none is read.
  FakeMessaging open;
  ScriptedInspector inspector;
  CDefaultSession session(open, inspector);
  session.Initialize();
  session.SwitchToFailSafe();
  open.Put(Q::FrameFromScm, Complement(ValidFrame(1)));
  // The substitute reports frames inhibited; a queue reading would throw on the empty destination.
  session.HandleAllSentFrames();
  EXPECT_EQ(inspector.sent, 0);
  session.SwitchToFailSafe();
  EXPECT_EQ(open.InhibitCalls(), 2) << "a repeat only repeats the harmless inhibit";
}

TEST_F(SessionTest, FirstUnlockRequestArmsTheDeadlineWhateverItsLength) {
  EXPECT_EQ(Session().GetPlcResetTimestamp(), 0u);
  messaging_.Put(Q::UnlockRequestHost, Bytes(5, 0x11));
  timespec before{};
  clock_gettime(CLOCK_REALTIME, &before);
  Session().HandleAllUnlockRequests();
  timespec after{};
  clock_gettime(CLOCK_REALTIME, &after);
  const u32 deadline = Session().GetPlcResetTimestamp();
  EXPECT_GE(deadline, static_cast<u32>(before.tv_sec) + 20);
  EXPECT_LE(deadline, static_cast<u32>(after.tv_sec) + 20);
  EXPECT_EQ(messaging_.Queue(Q::UnlockRequestScm)[0], Complement(Bytes(5, 0x11)));
  messaging_.Put(Q::UnlockRequestHost, Bytes(21, 0x22));
  Session().HandleAllUnlockRequests();
  EXPECT_EQ(Session().GetPlcResetTimestamp(), deadline);
}

TEST_F(SessionTest, QueueErrorMidBlockPropagates) {
  messaging_.Put(Q::ResponseScm, Complement(Bytes(12, 0)));
  messaging_.FailNext(Q::ResponseHost);
  EXPECT_EQ(Caught([&] { Session().HandleAllResponses(); }).GetCode(), ErrorCodes::ms_QueueSendFailed);
}

void NullSessionScenario() {
  ScmMemReset();
  SetCheckerTestDomain(7);
  ScmMemCreateQueue("/scm0007/event", 4, 11);
  CDefaultSession::WaitForUnlockTimeout(0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}

TEST(SessionTimeoutTaskTest, NullSessionLogsAndExits) {
  EXPECT_EXIT(NullSessionScenario(), ::testing::ExitedWithCode(255), "");
}

}  // namespace
