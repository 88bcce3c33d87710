// What the tests of the remote-control records share: the status request, a
// configured module and the fixture that starts from an idle remote control.
#pragma once
#include "FwUnitSupport.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MessageBuilder.h"

namespace FwTest {

/// Module flag: missing registered.
inline constexpr u32 kMissing = 0x800;
/// Module flag: UDID mismatch.
inline constexpr u32 kMismatch = 0x400;
/// Module flag: UDID change waiting for the operator.
inline constexpr u32 kEncoder = 0x800000;
/// Module flag: firmware differs.
inline constexpr u32 kFirmware = 0x8000;

/// A status request with the fixture's identifier.
inline TestFrames::Bytes Request(u16 code, u16 echo = 0x0033) {
  TestFrames::CommandSpec fields;
  fields.identifier = 0x0A0B;
  fields.commandClass = TestFrames::kStatusRequest;
  fields.echo = echo;
  fields.code = code;
  return TestFrames::BuildCommand(fields);
}

/// Configures module sadr with the given flags.
inline void Configure(u32 sadr, u32 flags = 0) { MFWQZ_ModuleInfo[sadr].ulFlags = 1 | flags; }

/// Everything that makes a key-medium change acceptable.
inline void KeyAcceptable() {
  MFWQZ_bCvnFromQorAvailable = 1;
  MFWQZ_bTargetMacAvailable = 1;
  MFWQZ_bCorvaneChanged = 1;
  MFWQZ_gbRemoteActive = 1;
  HNFstp_bCorvaneEmpty = 0;
  SetSetupState(kSetupOff);
}

/// The firmware with no confirmation running, not starting up, a key-medium file present.
class FwRecords : public FwFixture {
 protected:
  void SetUp() override {
    FwFixture::SetUp();
    MFWQZ_Confirm.ulState = MFWQZ_k_CNF_IDLE;
    MFWQZ_gbStartUp = 0;
    HNFstp_bCorvaneEmpty = 0;
  }
  TestFrames::Bytes Answer(const TestFrames::Bytes& message) { return AnswerTo(message); }
};

}  // namespace FwTest
