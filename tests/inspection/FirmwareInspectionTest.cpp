// The firmware-version check through the dispatching inspector: identity
// answers in any order, compatibility and matching of the minor revision,
// the acknowledgement triggers and the checker's start-up.
#include <gtest/gtest.h>

#include "ErrorCodes.h"
#include "InspectionRows.h"

namespace InspectTest {
namespace {

constexpr u16 kAcknowledgeFirmware = 0x0100;  ///< command data
constexpr u16 kChangePassword = 0x5000;       ///< command data
constexpr u16 kFirmwareEvent = 9;             ///< information0 of the firmware-acknowledged event

Outcome Refused5(u32 flags) { return Outcome{0xE2DF, 5, flags}; }

/// Assignment, the given identity answers and the checksum of 5.
std::vector<Step> With(std::vector<Step> identity) {
  return Join({Assign(5, kUdid5), identity, UploadChecksum(5, kChecksum5)});
}

std::vector<Step> Minor(u16 minor) { return Identify(5, kVendorId, kProductCode, Revision(kMajor, minor)); }

Step Op5(Outcome expected = kAccepted) { return Sent("op", SetToOp(5), expected); }

TEST(FirmwareInspection, IdentityAndCompatibility) {
  RunRows({
      {"answers 1, 2, 3", {}, Join({With(Minor(kMinorAcknowledged)), {Op5()}})},
      {"answers 3, 1, 2",
       {},
       Join({With({Received("revision", UploadExpedited(5, 0x1018, 3, U32(Revision(kMajor, kMinorAcknowledged)), 20)),
                   Received("vendor", UploadExpedited(5, 0x1018, 1, U32(kVendorId), 21)),
                   Received("product", UploadExpedited(5, 0x1018, 2, U32(kProductCode), 22))}),
             {Op5()}})},
      {"a plain 0 reads as not received",
       {},
       Join({With({Received("vendor 0", UploadExpedited(5, 0x1018, 1, U32(0), 20)),
                   Received("product", UploadExpedited(5, 0x1018, 2, U32(kProductCode), 21)),
                   Received("revision", UploadExpedited(5, 0x1018, 3, U32(Revision(kMajor, kMinorAcknowledged)), 22))}),
             {Op5(Refused5(0x05))}}),
       false},
      {"the missing value completes a collection later",
       {},
       Join({With({Received("product", UploadExpedited(5, 0x1018, 2, U32(kProductCode), 21)),
                   Received("revision", UploadExpedited(5, 0x1018, 3, U32(Revision(kMajor, kMinorAcknowledged)), 22)),
                   Received("vendor", UploadExpedited(5, 0x1018, 1, U32(kVendorId), 23))}),
             {Op5()}})},
      {"minor below the required one", {}, Join({With(Minor(4)), {Op5(Refused5(0x07))}}), false},
      {"minor equal to the required one, not acknowledged", {}, Join({With(Minor(5)), {Op5(Refused5(0x0F))}}), false},
      {"minor above the acknowledged one", {}, Join({With(Minor(8)), {Op5(Refused5(0x0F))}}), false},
      {"another major", {}, Join({With(Identify(5, kVendorId, kProductCode, Revision(3, 7))), {Op5(Refused5(0x07))}}), false},
      {"another vendor",
       {},
       Join({With(Identify(5, kVendorId + 1, kProductCode, Revision(kMajor, 7))), {Op5(Refused5(0x07))}}),
       false},
      {"another product",
       {},
       Join({With(Identify(5, kVendorId, kProductCode + 1, Revision(kMajor, 7))), {Op5(Refused5(0x07))}}),
       false},
      {"no identity read since the assignment",
       {},
       Join({Introduce(5), Assign(5, kUdid5), UploadChecksum(5, kChecksum5, 120), {Op5(Refused5(0x1F))}}),
       false},
      {"a minor revision 0", {}, Join({Assign(5, kUdid5), {Received("revision 2.0", UploadExpedited(5, 0x1018, 3, U32(Revision(kMajor, 0)), 20)),
                                                            Received("vendor", UploadExpedited(5, 0x1018, 1, U32(kVendorId), 21)),
                                                            Received("product", UploadExpedited(5, 0x1018, 2, U32(kProductCode), 22),
                                                                     Outcome{0xE2DE, 0, 5})}})},
      {"a 2-byte identity answer",
       {},
       Join({Assign(5, kUdid5), {Received("vendor", UploadExpedited(5, 0x1018, 1, {0xCD, 0xAB}, 20), Outcome{0xE2DD, 5, 2})}})},
      {"an answer to sub-index 4 is ignored",
       {},
       Join({With(Join({{Received("sub 4", UploadExpedited(5, 0x1018, 4, {1, 2}, 19))}, Minor(kMinorAcknowledged)})), {Op5()}})},
  });
}

TEST(FirmwareInspection, Acknowledgements) {
  auto written = [](std::vector<MinorEntry> expected) { return ExpectWritten(&Inspection::minorSink, expected, "minor"); };
  const auto nothingWritten = ExpectNothingWritten(&Inspection::minorSink);
  const MinorEntry ack8{5, static_cast<u16>(~8)};
  const MinorEntry ack6{6, static_cast<u16>(~kMinorAcknowledged)};
  RunRows({
      {"operator acknowledgement makes minor 8 the acknowledged one",
       {},
       Join({With(Minor(8)), {CommandStep("acknowledge firmware", EnterCommand(kAcknowledgeFirmware)), Op5()}}),
       true,
       written({ack8, ack6})},
      {"operator acknowledgement not allowed",
       [](Inspection& i) { i.surroundings.manualFirmware = false; },
       Join({With(Minor(8)), {CommandStep("acknowledge firmware", EnterCommand(kAcknowledgeFirmware)), Op5(Refused5(0x0F))}}),
       false,
       nothingWritten},
      {"automatic acknowledgement by the firmware's event",
       [](Inspection& i) { i.surroundings.automaticFirmware = true; },
       Join({With(Minor(8)), {EventStep("firmware acknowledged", kFirmwareEvent, 0), Op5()}}),
       true,
       written({ack8, ack6})},
      {"the firmware's event without automatic acknowledgement",
       {},
       Join({With(Minor(8)), {EventStep("firmware acknowledged", kFirmwareEvent, 0), Op5(Refused5(0x0F))}}),
       false,
       nothingWritten},
      {"a password change acknowledges no firmware",
       {},
       Join({With(Minor(8)),
             {CommandStep("change password",
                          [] {
                            TestFrames::CommandSpec c = EnterCommand(kChangePassword);
                            c.newPassword = Password{1, 2, 3};
                            return c;
                          }()),
              Op5(Refused5(0x0F))}}),
       false,
       nothingWritten},
      {"an incompatible module is not acknowledged",
       {},
       Join({With(Minor(4)), {CommandStep("acknowledge firmware", EnterCommand(kAcknowledgeFirmware)), Op5(Refused5(0x07))}}),
       false,
       written({{5, static_cast<u16>(~kMinorAcknowledged)}, ack6})},
  });
}

TEST(FirmwareInspection, CheckerInitialize) {
  RunRows({{"a later acknowledged entry overwrites an earlier one",
            [](Inspection& i) { i.acknowledgedMinors.script.entries.push_back({5, static_cast<u16>(~8)}); },
            Join({With(Minor(8)), {Op5()}})}});
  struct Case {
    const char* name;
    std::function<void(Inspection&)> change;
    Outcome expected;
  };
  const std::vector<Case> cases = {
      {"required SADR 0",
       [](Inspection& i) { i.requiredFirmware.script.entries.push_back({0, 1, 1, 1, 1}); }, Outcome{0xE2DC, 0, 0}},
      {"required vendor 0",
       [](Inspection& i) { i.requiredFirmware.script.entries.push_back({7, 0xFFFFFFFF, 1, 1, 1}); }, Outcome{0xE2DE, 0, 7}},
      {"required product 0",
       [](Inspection& i) { i.requiredFirmware.script.entries.push_back({7, 1, 0xFFFFFFFF, 1, 1}); }, Outcome{0xE2DE, 0, 7}},
      {"required major 0",
       [](Inspection& i) { i.requiredFirmware.script.entries.push_back({7, 1, 1, 0xFFFF, 1}); }, Outcome{0xE2DE, 0, 7}},
      {"required minor 0",
       [](Inspection& i) { i.requiredFirmware.script.entries.push_back({7, 1, 1, 1, 0xFFFF}); }, Outcome{0xE2DE, 0, 7}},
      {"acknowledged SADR 1024",
       [](Inspection& i) { i.acknowledgedMinors.script.entries.push_back({1024, 1}); }, Outcome{0xE2DC, 0, 1024}},
      {"acknowledged minor 0",
       [](Inspection& i) { i.acknowledgedMinors.script.entries.push_back({9, 0xFFFF}); }, Outcome{0xE2DE, 0, 9}},
      {"required stream error", [](Inspection& i) { i.requiredFirmware.script.throwAtRead = 0; }, Outcome{0xE2AE, 0, 0x4242}},
      {"acknowledged stream error", [](Inspection& i) { i.acknowledgedMinors.script.throwAtRead = 2; },
       Outcome{0xE2AE, 0, 0x4242}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto inspection = std::make_unique<Inspection>();
    InstallDomain(*inspection);
    c.change(*inspection);
    EXPECT_EQ(OutcomeOf([&] { inspection->firmwareChecker->Initialize(); }), c.expected);
  }
  auto inspection = std::make_unique<Inspection>();
  InstallDomain(*inspection);
  EXPECT_EQ(OutcomeOf([&] { inspection->firmwareChecker->IsValidModule(5); }).code, kInternal);
  EXPECT_EQ(OutcomeOf([&] { inspection->firmwareChecker->TryAcknowledgeModules(); }).code, kInternal);
  inspection->firmwareChecker->Initialize();
  EXPECT_EQ(inspection->requiredFirmware.script.closes, 1);
  EXPECT_EQ(inspection->acknowledgedMinors.script.closes, 1);
  EXPECT_EQ(OutcomeOf([&] { inspection->firmwareChecker->Initialize(); }).code, kInternal);
  EXPECT_EQ(OutcomeOf([&] { inspection->firmwareChecker->IsRequiredModule(0); }), (Outcome{0xE2DC, 0, 0}));
}

}  // namespace
}  // namespace InspectTest
