// The older release's key-medium copy both ways, over the firmware tests'
// stand-in host: the installed state the generator writes for an older
// domain ("corvane.uid", with its identity in Qor variable 4) counts the key
// medium as unchanged; a fresh controller, whose variable 4 holds 18 zero
// bytes, starts with the key medium counted as changed, and the firmware's
// acceptance writes "corvane.uid"'s 18 bytes into variable 4, which the
// checker's reader of "corvane.uid" takes.
#include <gtest/gtest.h>

#include <vector>

#include "AppFixture.h"
#include "CCorvaneUid.h"
#include "MFWQZ.h"
#include "ScmGen.h"

namespace FwTest {
namespace {

using Bytes = std::vector<uint8_t>;
const TestFiles::Udid kQor = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30};
constexpr const char* kUid = "CORVANE.UID";
constexpr int kVariable = 4;

class OlderKeyMedium : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    InstallFiles({}, kQor);
    // The generator's installed state of an older domain: its "corvane.uid"; no flash area 16.
    ScmGen::Domain domain;
    domain.layout = ScmGen::Layout::Older;
    domain.nodes.resize(1);
    installed_ = ScmGen::Install(domain, kQor);
    host.files[kUid] = installed_.corvaneUid;
    host.flash.reset();
  }
  ScmGen::InstalledState installed_;  ///< what the generator installs
};

TEST_F(OlderKeyMedium, TheInstalledIdentityInVariableFourCountsTheKeyMediumUnchanged) {
  host.qorVariables[kVariable] = installed_.corvaneUid;
  ASSERT_EQ(MFWQZ_ReadCorvaneId(kQor.data()), 1);
  EXPECT_EQ(MFWQZ_bCvnChanged, 0u);
  EXPECT_EQ(MFWQZ_bCvnFromQorAvailable, 1u);
  EXPECT_EQ(host.qorRequests, std::vector<Bytes>{Bytes{kVariable}}) << "one read of variable 4";
  EXPECT_EQ(host.qorChannelsOpen, 0);
}

TEST_F(OlderKeyMedium, AFreshControllerStartsWithTheKeyMediumChangedUntilItIsAccepted) {
  host.qorVariables[kVariable] = Bytes(18, 0);
  ASSERT_EQ(MFWQZ_ReadCorvaneId(kQor.data()), 1);
  EXPECT_EQ(MFWQZ_bCvnChanged, 1u) << "18 zero bytes are another identity";
  EXPECT_EQ(MFWQZ_bCvnFromQorAvailable, 1u);
  EXPECT_EQ(TakeEvents().back(), (Event{2, 0x6200C087u, 0, 4}));
  // The acceptance writes the key medium's identity into variable 4 ...
  ASSERT_EQ(MFWQZ_SetCorvaneId(), 1);
  EXPECT_EQ(host.qorVariables[kVariable], installed_.corvaneUid);
  // ... which the checker's reader takes as the key medium's identity ...
  Bytes copy = host.qorVariables[kVariable];
  Param::CCorvaneUid checkerCopy(18, copy.data());
  ASSERT_NO_THROW(checkerCopy.ReadContent(18));
  EXPECT_EQ(Bytes(checkerCopy.GetQorUdid(), checkerCopy.GetQorUdid() + 6), Bytes(kQor.begin(), kQor.end()));
  EXPECT_EQ(checkerCopy.GetTimestamp(), ScmGen::kInstalledCorvaneTime);
  // ... and the next start counts it unchanged.
  ASSERT_EQ(MFWQZ_ReadCorvaneId(kQor.data()), 1);
  EXPECT_EQ(MFWQZ_bCvnChanged, 0u);
  EXPECT_EQ(host.qorChannelsOpen, 0);
}

}  // namespace
}  // namespace FwTest
