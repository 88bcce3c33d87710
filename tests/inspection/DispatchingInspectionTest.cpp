// The dispatching inspector: the order of the four checks, the check bits each
// removes, the key-medium rule before any check, the password test and the
// commands and events it handles itself, and which received frames reach the
// checks.
#include <gtest/gtest.h>

#include <cstring>

#include "ErrorCodes.h"
#include "InspectionRows.h"

namespace InspectTest {
namespace {

/// A check that records its calls in a shared log and throws when told.
class RecordingCheck : public Check::CUdidInspector,
                       public Check::CFirmwareInspector,
                       public Check::CParameterInspector,
                       public Check::CAdditionalParameterInspector {
 public:
  RecordingCheck(std::string name, std::vector<std::string>& log) : m_Name(std::move(name)), m_Log(log) {}
  bool throwOnSent = false;  ///< InspectSentFrame throws 0xE2D8 after recording
  bool valid = true;         ///< IsValid answer
  mutable int validAsked = 0;  ///< IsValid calls

  void InspectCommand(const Hmi::CDecodedCommand&) override { m_Log.push_back(m_Name + " command"); }
  void InspectEvent(const Event::CDecodedEvent&) override { m_Log.push_back(m_Name + " event"); }
  void InspectReceivedFrame(const Frame::CDecodedFrame&) override { m_Log.push_back(m_Name + " received"); }
  void InspectSentFrame(const Frame::CDecodedFrame&) override {
    m_Log.push_back(m_Name + " sent");
    if (throwOnSent) {
      throw Util::CException(0xE2D8, 5, 0x3F);
    }
  }
  bool IsValid() const override {
    ++validAsked;
    return valid;
  }

 private:
  std::string m_Name;
  std::vector<std::string>& m_Log;
};

/// The dispatching inspector over four recording checks.
struct Dispatch {
  std::vector<std::string> log;
  Surroundings surroundings;
  RecordingCheck udid{"udid", log};
  RecordingCheck firmware{"firmware", log};
  RecordingCheck parameter{"parameter", log};
  RecordingCheck additional{"additional", log};
  Main::CDefaultInspector inspector{surroundings, surroundings, surroundings, udid, firmware, parameter, additional};
  Frame::CFrameDecoder decoder;

  /// Inspects a sent frame; returns the outcome and leaves the buffer in buffer.
  Outcome Sent(const FrameSpec& fields, Bytes& buffer) {
    const Bytes plain = TestFrames::BuildFrame(fields);
    buffer = Complement(plain);
    return OutcomeOf([&] {
      inspector.InspectSentFrame(*decoder.GetDecodedFrame(static_cast<u16>(plain.size()), plain.data(), kScmUdid.data()),
                                 static_cast<u16>(buffer.size()), buffer.data());
    });
  }
  Outcome Received(const FrameSpec& fields) {
    const Bytes plain = TestFrames::BuildFrame(fields);
    return OutcomeOf([&] {
      inspector.InspectReceivedFrame(
          *decoder.GetDecodedFrame(static_cast<u16>(plain.size()), plain.data(), kScmUdid.data()));
    });
  }
};

Bytes Xor(const Bytes& bytes, u8 mask) {
  Bytes out = bytes;
  for (u8& b : out) {
    b = static_cast<u8>(b ^ mask);
  }
  return out;
}

TEST(DispatchingInspection, SentFrameCheckBitsFollowTheChecksThatReturned) {
  const FrameSpec frame = DownloadExpedited(5, 0x101A, 0, {1, 2, 3, 4}, 9);
  const Bytes plain = TestFrames::BuildFrame(frame);
  const std::vector<std::string> all = {"udid sent", "firmware sent", "parameter sent", "additional sent"};
  {
    SCOPED_TRACE("all four return");
    auto d = std::make_unique<Dispatch>();
    Bytes buffer;
    EXPECT_EQ(d->Sent(frame, buffer), kAccepted);
    EXPECT_EQ(buffer, plain);
    EXPECT_EQ(d->log, all);
  }
  const u8 returned[] = {0x00, 0x03, 0x0F, 0x3F};
  for (int thrower = 0; thrower < 4; ++thrower) {
    SCOPED_TRACE("check " + std::to_string(thrower) + " throws");
    auto d = std::make_unique<Dispatch>();
    RecordingCheck* checks[] = {&d->udid, &d->firmware, &d->parameter, &d->additional};
    checks[thrower]->throwOnSent = true;
    Bytes buffer;
    EXPECT_EQ(d->Sent(frame, buffer), (Outcome{0xE2D8, 5, 0x3F}));
    EXPECT_EQ(buffer, Xor(Complement(plain), returned[thrower]));
    EXPECT_EQ(d->log, std::vector<std::string>(all.begin(), all.begin() + thrower + 1));
  }
  {
    SCOPED_TRACE("set to operational before the key medium is acknowledged");
    auto d = std::make_unique<Dispatch>();
    d->surroundings.acknowledged = false;
    const Bytes opPlain = TestFrames::BuildFrame(SetToOp(5));
    Bytes buffer;
    EXPECT_EQ(d->Sent(SetToOp(5), buffer), (Outcome{0xE249, 0, 0}));
    EXPECT_EQ(buffer, Complement(opPlain));
    EXPECT_TRUE(d->log.empty());
    EXPECT_FALSE(d->inspector.IsValid());
    EXPECT_EQ(d->udid.validAsked, 0);
  }
  {
    SCOPED_TRACE("set to operational with the key medium acknowledged");
    auto d = std::make_unique<Dispatch>();
    Bytes buffer;
    EXPECT_EQ(d->Sent(SetToOp(5), buffer), kAccepted);
    EXPECT_EQ(d->log, all);
  }
}

TEST(DispatchingInspection, InvertCheckBitsCoversExactlyTheLength) {
  auto d = std::make_unique<Dispatch>();
  Bytes buffer = {0x00, 0xFF, 0x5A, 0xA5};
  d->inspector.InvertCheckBits(3, buffer.data(), 0x30);
  EXPECT_EQ(buffer, (Bytes{0x30, 0xCF, 0x6A, 0xA5}));
  EXPECT_EQ(OutcomeOf([&] { d->inspector.InvertCheckBits(3, nullptr, 0x30); }).code, kInternal);
  EXPECT_EQ(Main::CDefaultInspector::ms_UdidCheckBitMask | Main::CDefaultInspector::ms_FirmwareCheckBitMask |
                Main::CDefaultInspector::ms_ParameterCheckBitMask |
                Main::CDefaultInspector::ms_AdditionalParameterCheckBitMask,
            0xFF);
}

TEST(DispatchingInspection, ReceivedFramesOfThisDomainReachTheChecksInOrder) {
  struct Case {
    const char* name;
    FrameSpec frame;
    bool checked;
  };
  FrameSpec otherDomain = SadrAssigned(5, kUdid5);
  otherDomain.sdn = kSdn + 1;
  FrameSpec adrZero = SadrAssigned(5, kUdid5);
  adrZero.adr = 0;
  const std::vector<Case> cases = {
      {"this domain", SadrAssigned(5, kUdid5), true},
      {"another domain", otherDomain, false},
      {"ADR 0", adrZero, false},
      {"TADR 0", SadrAssigned(0, kUdid5), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto d = std::make_unique<Dispatch>();
    EXPECT_EQ(d->Received(c.frame), kAccepted);
    const std::vector<std::string> checked = {"udid received", "firmware received", "parameter received",
                                              "additional received"};
    EXPECT_EQ(d->log, c.checked ? checked : std::vector<std::string>{});
  }
}

TEST(DispatchingInspection, IsValidStopsAtTheFirstFalse) {
  for (int falseAt = 0; falseAt <= 4; ++falseAt) {
    SCOPED_TRACE(falseAt);
    auto d = std::make_unique<Dispatch>();
    RecordingCheck* checks[] = {&d->udid, &d->firmware, &d->parameter, &d->additional};
    if (falseAt < 4) {
      checks[falseAt]->valid = false;
    }
    EXPECT_EQ(d->inspector.IsValid(), falseAt == 4);
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(checks[k]->validAsked, k <= falseAt ? 1 : 0) << k;
    }
  }
}

// Commands and events with the real checks behind the dispatching inspector.
const Password kStored = {'s', 'e', 'c', 'r', 'e', 't'};
const Password kWrong = {'w', 'r', 'o', 'n', 'g'};
const Password kNew = {'n', 'e', 'w'};

Password Inverted(const Password& p) {
  Password out{};
  for (std::size_t k = 0; k < p.size(); ++k) {
    out[k] = static_cast<u8>(~p[k]);
  }
  return out;
}

void WithStored(Inspection& i) { i.surroundings.storedInverted = Inverted(kStored); }

std::vector<Step> Node5() { return Introduce(5); }

std::vector<Step> Node5WithOtherUdid() {
  return Join({Assign(5, kUdidOther), Identify(5, kVendorId, kProductCode, Revision(kMajor, kMinorAcknowledged)),
               UploadChecksum(5, kChecksum5)});
}

TEST(DispatchingInspection, CommandsAndEvents) {
  auto passwords = [](std::vector<Password> expected) {
    return [expected](Inspection& i) { EXPECT_EQ(i.surroundings.passwordsSet, expected); };
  };
  TestFrames::CommandSpec change = EnterCommand(0x5000, kStored);
  change.newPassword = kNew;
  TestFrames::CommandSpec wrongChange = EnterCommand(0x5000, kWrong);
  wrongChange.newPassword = kNew;
  RunRows({
      {"a wrong password changes nothing, not even the setup mode",
       WithStored,
       Join({Node5WithOtherUdid(),
             {CommandStep("setup on", EnterCommand(0x9000, kWrong)), CommandStep("ack modules", EnterCommand(0x0060, kWrong)),
              CommandStep("ack key medium", EnterCommand(0x0200, kWrong)), CommandStep("change", wrongChange),
              Sent("op", SetToOp(5), Outcome{0xE2D8, 5, 0x37})}}),
       false,
       [](Inspection& i) {
         EXPECT_TRUE(i.surroundings.setupModeSets.empty());
         EXPECT_TRUE(i.surroundings.passwordsSet.empty());
         EXPECT_EQ(i.surroundings.corvaneAcknowledgements, 0);
         EXPECT_EQ(i.udidSink.opens, 0);
       }},
      {"a valid password change stores the new password", WithStored, {CommandStep("change", change)}, true,
       passwords({Inverted(kNew)})},
      {"setup mode on and off", WithStored,
       {CommandStep("setup on", EnterCommand(0x9000, kStored)), CommandStep("setup off", EnterCommand(0x9100, kStored))},
       true, [](Inspection& i) { EXPECT_EQ(i.surroundings.setupModeSets, (std::vector<bool>{true, false})); }},
      {"key-medium acknowledgement keeps the stored password", WithStored,
       {CommandStep("ack key medium", EnterCommand(0x0200, kStored))}, true,
       [](Inspection& i) {
         EXPECT_EQ(i.surroundings.corvaneAcknowledgements, 1);
         EXPECT_EQ(i.surroundings.passwordsSet, (std::vector<Password>{Inverted(kStored)}));
       }},
      {"key-medium acknowledgement without a stored password stores the empty one", {},
       {CommandStep("ack key medium", EnterCommand(0x0200, kWrong))}, true,
       [](Inspection& i) {
         EXPECT_EQ(i.surroundings.corvaneAcknowledgements, 1);
         EXPECT_EQ(i.surroundings.passwordsSet, (std::vector<Password>{Inverted(Password{})}));
       }},
      {"key-medium acknowledgement not allowed changes nothing",
       [](Inspection& i) {
         WithStored(i);
         i.surroundings.manualCorvane = false;
       },
       {CommandStep("ack key medium", EnterCommand(0x0200, kStored))}, true,
       [](Inspection& i) {
         EXPECT_EQ(i.surroundings.corvaneAcknowledgements, 0);
         EXPECT_TRUE(i.surroundings.passwordsSet.empty());
       }},
      {"modules and firmware acknowledgements keep the stored password", WithStored,
       {CommandStep("ack modules", EnterCommand(0x0060, kStored)), CommandStep("ack firmware", EnterCommand(0x0100, kStored))},
       true, passwords({Inverted(kStored), Inverted(kStored)})},
      {"a status request changes nothing", WithStored,
       {CommandStep("status", [] {
          TestFrames::CommandSpec c = EnterCommand(0, kStored);
          c.commandClass = TestFrames::kStatusRequest;
          return c;
        }())},
       true, passwords({})},
      {"key-medium event with automatic acknowledgement",
       [](Inspection& i) {
         i.surroundings.acknowledged = false;
         i.surroundings.automaticCorvane = true;
       },
       {EventStep("key medium acknowledged", 7, 0)}, true,
       [](Inspection& i) { EXPECT_EQ(i.surroundings.corvaneAcknowledgements, 1); }},
      {"key-medium event without automatic acknowledgement",
       [](Inspection& i) { i.surroundings.acknowledged = false; },
       {EventStep("key medium acknowledged", 7, 0), Sent("op", SetToOp(5), Outcome{0xE249, 0, 0})}, false,
       [](Inspection& i) { EXPECT_EQ(i.surroundings.corvaneAcknowledgements, 0); }},
      {"another domain's answer changes nothing", {},
       Join({Node5(), {Received("another domain's answer", [] {
                         FrameSpec f = SadrAssigned(5, kUdidOther);
                         f.sdn = kSdn + 1;
                         return f;
                       }()),
                       Received("TADR 0", SadrAssigned(0, kUdidOther)), Sent("op", SetToOp(5))}})},
      {"a sent frame with SADR 0", {}, {Sent("op 0", SetToOp(0), Outcome{kInternal, 0, 0})}, true},
  });
}

}  // namespace
}  // namespace InspectTest
