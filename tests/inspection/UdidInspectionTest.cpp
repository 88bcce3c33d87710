// The UDID check through the dispatching inspector: fresh answers after each
// assignment, UDIDs answered by two SADRs, encoder reports, the acknowledgement
// of modules under each commissioner answer, the write-back and the checker's
// start-up.
#include <gtest/gtest.h>

#include "InspectionRows.h"

namespace InspectTest {
namespace {

constexpr u16 kModulesEvent = 8;  ///< information0 of the modules-acknowledged event

/// Command data of a modules acknowledgement of count (5 = all).
u16 ModulesData(u32 count) {
  switch (count) {
    case 5: return 0x0020;
    case 4: return 0x0030;
    case 3: return 0x0040;
    case 2: return 0x0050;
    default: return 0x0060;
  }
}

Outcome Refused(u16 sadr, u32 flags) { return Outcome{0xE2D8, sadr, flags}; }

/// A node at sadr answering with udid, with matching identity and checksum.
std::vector<Step> Node(u16 sadr, const Udid& udid, u16 ct = 100) {
  return Join({Assign(sadr, udid), Identify(sadr, kVendorId, kProductCode, Revision(kMajor, kMinorAcknowledged), ct),
               UploadChecksum(sadr, sadr == 5 ? kChecksum5 : kChecksum6, static_cast<u16>(ct + 10))});
}

Step Op(u16 sadr, Outcome expected = kAccepted) { return Sent("op " + std::to_string(sadr), SetToOp(sadr), expected); }

Step Count(u32 expected) {
  return Do("count " + std::to_string(expected), [expected](Inspection& i) {
    EXPECT_EQ(i.udidChecker->GetUnacknowledgedModuleCount(), expected);
  });
}

TEST(UdidInspection, AnswersAndAssignments) {
  RunRows({
      {"assignment and fresh answer", {}, Join({Node(5, kUdid5), {Op(5)}})},
      {"answer to a UDID request", {}, Join({Node(5, kUdid5), {Received("udid", ResponseUdid(5, kUdid5)), Op(5)}})},
      {"re-assignment without a fresh answer",
       {},
       Join({Node(5, kUdid5), {Sent("assign again", AssignSadr(5, kUdid5)), Op(5, Refused(5, 0x3F))}}),
       false},
      {"never answered", {}, {Op(5, Refused(5, 0x05))}, false},
      {"a SADR never required nor answered", {}, {Op(9, Refused(9, 0x00))}, false},
      {"an answer with an unacknowledged UDID", {}, Join({Node(5, kUdidOther), {Op(5, Refused(5, 0x37))}}), false},
      {"one UDID answered by two SADRs",
       {},
       Join({Node(5, kUdid5), Node(6, kUdid5, 130), {Op(5, Refused(5, 0x1F))}}),
       false},
      {"the second SADR of a shared UDID",
       {},
       Join({Node(5, kUdid5), Node(6, kUdid5, 130), {Op(6, Refused(6, 0x17))}}),
       false},
      {"a shared UDID becomes unique again when the other SADR answers its own",
       {},
       Join({Node(5, kUdid5), Node(6, kUdid5, 130), {Received("6 answers its own", SadrAssigned(6, kUdid6)), Op(5), Op(6)}})},
      {"a moved UDID leaves the old SADR at its next assignment",
       {},
       Join({Node(5, kUdid5), Node(6, kUdid5, 130), Node(5, kUdid6, 160), Node(6, kUdid6, 190),
             {Op(5, Refused(5, 0x17)), }}),
       false},
      {"a UDID of six zero bytes", {}, Join({Assign(5, kUdid5), {Received("zero", SadrAssigned(5, Udid{}), Outcome{0xE2D6, 0, 5})}})},
  });
}

TEST(UdidInspection, EncoderReports) {
  RunRows({
      {"encoder failure refuses until acknowledged",
       {},
       Join({Node(5, kUdid5),
             {Received("fail 3/2", SnFail(5, 3, 2)), Op(5, Refused(5, 0x2F)), Sent("ack 3/2", SnAck(5, 3, 2)), Op(5)}}),
       false},
      {"encoder failure then acknowledgement",
       {},
       Join({Node(5, kUdid5), {Received("fail 3/2", SnFail(5, 3, 2)), Sent("ack 3/2", SnAck(5, 3, 2)), Op(5)}})},
      {"other groups and codes do nothing",
       {},
       Join({Node(5, kUdid5),
             {Received("fail 3/1", SnFail(5, 3, 1)), Received("fail 5/2", SnFail(5, 5, 2)), Sent("ack 4/2", SnAck(5, 4, 2)),
              Op(5)}})},
      {"encoder failure of a SADR not discovered", {}, {Received("fail 3/2", SnFail(7, 3, 2), Outcome{0xE2D5, 0, 7})}},
      {"encoder acknowledgement of a SADR not discovered", {}, {Sent("ack 3/2", SnAck(7, 3, 2), Outcome{0xE2D5, 0, 7})}},
  });
}

TEST(UdidInspection, Acknowledgements) {
  auto written = [](std::vector<UdidEntry> expected) { return ExpectWritten(&Inspection::udidSink, expected, "udid"); };
  const auto nothingWritten = ExpectNothingWritten(&Inspection::udidSink);
  const UdidEntry other5{5, Complement(kUdidOther)};
  const UdidEntry own6{6, Complement(kUdid6)};
  const UdidEntry keep9{9, Complement(Udid{9, 9, 9, 9, 9, 9})};
  auto withUnrequired9 = [](Inspection& i) {
    i.acknowledgedUdids.script.entries.push_back({9, Complement(Udid{9, 9, 9, 9, 9, 9})});
  };
  RunRows({
      {"counted operator acknowledgement writes every acknowledged SADR ascending",
       withUnrequired9,
       Join({Node(5, kUdidOther), {Count(1), CommandStep("ack 1", EnterCommand(ModulesData(1))), Count(0), Op(5)}}),
       true,
       written({other5, own6, keep9})},
      {"a count differing from the checker's",
       {},
       Join({Node(5, kUdidOther), {CommandStep("ack 2", EnterCommand(ModulesData(2))), Op(5, Refused(5, 0x37))}}),
       false,
       nothingWritten},
      {"all modules",
       {},
       Join({Node(5, kUdidOther), Node(6, Udid{1, 2, 3, 4, 5, 6}, 130),
             {Count(2), CommandStep("ack all", EnterCommand(ModulesData(5))), Count(0), Op(5), Op(6)}}),
       true,
       written({other5, {6, Complement(Udid{1, 2, 3, 4, 5, 6})}})},
      {"operator acknowledgement not allowed",
       [](Inspection& i) { i.surroundings.manualUdids = false; },
       Join({Node(5, kUdidOther), {CommandStep("ack 1", EnterCommand(ModulesData(1))), Op(5, Refused(5, 0x37))}}),
       false,
       nothingWritten},
      {"automatic acknowledgement by the firmware's event (low 16 bits of the count)",
       [](Inspection& i) { i.surroundings.automaticUdids = true; },
       Join({Node(5, kUdidOther), {EventStep("modules acknowledged", kModulesEvent, 0x00010001), Op(5)}}),
       true,
       written({other5, own6})},
      {"the firmware's event without automatic acknowledgement",
       {},
       Join({Node(5, kUdidOther), {EventStep("modules acknowledged", kModulesEvent, 1), Op(5, Refused(5, 0x37))}}),
       false,
       nothingWritten},
      {"an acknowledgement meeting a shared UDID",
       {},
       Join({Node(5, kUdidOther), Node(6, kUdidOther, 130),
             {CommandStep("ack all", EnterCommand(ModulesData(5)), Outcome{0xE2D7, 0, 5})}}),
       true,
       [](Inspection& i) {
         EXPECT_EQ(i.udidSink.opens, 1);
         EXPECT_EQ(i.udidSink.closes, 0);
         EXPECT_EQ(i.log, (std::vector<std::string>{"udid writer open"}));
       }},
      {"the count follows its invariant after an acknowledgement with an inconsistent module",
       {},
       Join({Node(5, kUdid5), {Received("fail 3/2", SnFail(5, 3, 2))}, Node(6, kUdidOther, 130),
             {Count(2), CommandStep("ack 2", EnterCommand(ModulesData(2))), Count(1), Sent("ack 3/2", SnAck(5, 3, 2)),
              Count(0), Op(5), Op(6)}}),
       true},
  });
}

TEST(UdidInspection, CheckerInitialize) {
  RunRows({{"a later acknowledged entry overwrites an earlier one",
            [](Inspection& i) {
              i.acknowledgedUdids.script.entries = {{5, Complement(kUdidOther)}, {5, Complement(kUdid5)}};
            },
            Join({Node(5, kUdid5), {Op(5)}})}});
  struct Case {
    const char* name;
    std::function<void(Inspection&)> change;
    Outcome expected;
  };
  const std::vector<Case> cases = {
      {"required SADR 0", [](Inspection& i) { i.required.script.entries.push_back(0); }, Outcome{0xE2D4, 0, 0}},
      {"required SADR 1024", [](Inspection& i) { i.required.script.entries.push_back(1024); }, Outcome{0xE2D4, 0, 1024}},
      {"acknowledged SADR 1024",
       [](Inspection& i) { i.acknowledgedUdids.script.entries.push_back({1024, Complement(kUdid5)}); },
       Outcome{0xE2D4, 0, 1024}},
      {"acknowledged UDID zero",
       [](Inspection& i) { i.acknowledgedUdids.script.entries.push_back({9, Complement(Udid{})}); },
       Outcome{0xE2D6, 0, 9}},
      {"required stream error", [](Inspection& i) { i.required.script.throwAtRead = 1; }, Outcome{0xE2AE, 0, 0x4242}},
      {"acknowledged stream error", [](Inspection& i) { i.acknowledgedUdids.script.throwAtRead = 0; },
       Outcome{0xE2AE, 0, 0x4242}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto inspection = std::make_unique<Inspection>();
    InstallDomain(*inspection);
    c.change(*inspection);
    EXPECT_EQ(OutcomeOf([&] { inspection->udidChecker->Initialize(); }), c.expected);
  }
  auto inspection = std::make_unique<Inspection>();
  InstallDomain(*inspection);
  EXPECT_EQ(OutcomeOf([&] { inspection->udidChecker->IsValidModule(5); }).code, kInternal);
  EXPECT_EQ(OutcomeOf([&] { inspection->udidChecker->TryAcknowledgeModules(0); }).code, kInternal);
  inspection->udidChecker->Initialize();
  EXPECT_EQ(inspection->required.script.closes, 1);
  EXPECT_EQ(inspection->acknowledgedUdids.script.closes, 1);
  EXPECT_EQ(OutcomeOf([&] { inspection->udidChecker->Initialize(); }).code, kInternal);
  EXPECT_EQ(OutcomeOf([&] { inspection->udidChecker->AddDiscoveredModule(1024, kUdid5.data()); }),
            (Outcome{0xE2D4, 0, 1024}));
}

}  // namespace
}  // namespace InspectTest
