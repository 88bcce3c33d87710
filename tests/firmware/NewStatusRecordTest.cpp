// The new status record, only in the current release's build (the older
// release answers its code 32, as UnknownStatusRequestAnswers32 shows): counts
// and state bits compared whole with what the project's builder writes.
#include <gtest/gtest.h>

#include <string>

#include "FwRecords.h"
#include "FwRemoteSupport.h"
#include "HNFevt.h"
#include "HNFiff_ModuleState.h"
#include "MFWQZ_Remote.h"

namespace FwTest {
namespace {

TEST_F(FwRecords, NewRecordCountsAndStateBits) {
  Configure(2, kMismatch);
  Configure(3, kFirmware);
  Configure(4, kMissing);
  Configure(5);
  const struct {
    const char* name;
    void (*change)();
    u32 bits;
  } cases[] = {
      {"plain", [] {}, 0x0E40},
      {"key acceptable", KeyAcceptable, 0x0E41},
      {"start-up", [] { MFWQZ_gbStartUp = 1; }, 0x0E44},
      {"fail-safe", [] { HNFiff_ModuleStateFailSafe(); }, 0x0E50},
      {"setup mode", [] { MFWQZ_SetupModeDesc.ulState = MFWQZ_k_SM_ON; }, 0x0E60},
      {"key file empty at start-up", [] { HNFstp_bCorvaneEmpty = 1; }, 0x0E00},
      {"password set", [] { MFWQZ_gaucPassword[15] = 1; }, 0x0EC0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetRemoteControl();
    MFWQZ_gbStartUp = 0;
    HNFstp_bCorvaneEmpty = 0;
    glFailSafeA = HNFiff_kModuleStateNormal;
    glFailSafeB = HNFiff_kModuleStateNormal;
    c.change();
    TestFrames::NewStatusSpec fields;
    fields.identifier = 0x0A0B;
    fields.echo = 0x0033;
    fields.missing = 1;
    fields.mismatches = std::string(c.name) == "setup mode" ? 0 : 1;
    fields.firmwareDifferences = std::string(c.name) == "setup mode" ? 0 : 1;
    fields.configured = 4;
    fields.stateBits = c.bits;
    EXPECT_EQ(Answer(Request(0x5000)), TestFrames::BuildNewStatus(fields));
  }
}

TEST_F(FwRecords, NewRecordBuilderRefusesNullArguments) {
  static const u8 kCmd[38] = {};
  glFailSafeA = HNFiff_kModuleStateNormal;
  glFailSafeB = HNFiff_kModuleStateNormal;
  HNFevt_ulEventsSinceFailSafe = 0;
  EXPECT_EQ(MFWQZ_RCNewStatusBuild(nullptr, kCmd), 0u);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C01A, 3, 4}}));
}

}  // namespace
}  // namespace FwTest
