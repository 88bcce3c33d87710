// The application's stand-ins of the configuration manager's node callbacks.
#include <gtest/gtest.h>

#include "FwUnitSupport.h"
#include "MFWQZ_Placeholder.h"
#include "SAPL.h"

namespace FwTest {
namespace {

using FwScmCallbacks = FwFixture;

TEST_F(FwScmCallbacks, EveryNodeOfTheSadrRangeIsProcessed) {
  const struct {
    u16 sadr;
    bool processed;
  } cases[] = {{0, false}, {1, true}, {512, true}, {1023, true}, {1024, false}, {0xFFFF, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(SAPL_ScmProcessSn(c.sadr), c.processed) << c.sadr;
  }
}

TEST_F(FwScmCallbacks, ARevisionIsAcceptedOnlyWhenItEqualsTheExpectedOne) {
  const struct {
    u32 expected, received;
    bool accepted;
  } cases[] = {{0x00010000, 0x00010000, true}, {0x00010000, 0x00010001, false}, {0x00020000, 0x00010000, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(SAPL_ScmRevisionNumberClbk(7, c.expected, c.received), c.accepted) << std::hex << c.received;
  }
}

TEST_F(FwScmCallbacks, StatusReportsAreRecordedPerSadr) {
  SAPL_ScmNodeStatusChangedClbk(5, 0x00, 0x80);
  SAPL_ScmNodeStatusChangedClbk(5, 0x80, 0x81);
  SAPL_ScmNodeStatusChangedClbk(9, 0x81, 0x81);
  SAPL_ScmNodeStatusChangedClbk(1024, 0x00, 0x81);  // outside the table: nothing recorded
  EXPECT_EQ(MFWQZ_gaPlaceholderNodeStatus[5].ulCount, 2u);
  EXPECT_EQ(MFWQZ_gaPlaceholderNodeStatus[5].ucOldStatus, 0x80);
  EXPECT_EQ(MFWQZ_gaPlaceholderNodeStatus[5].ucNewStatus, 0x81);
  EXPECT_EQ(MFWQZ_gaPlaceholderNodeStatus[9].ulCount, 1u);
  EXPECT_EQ(MFWQZ_gaPlaceholderNodeStatus[9].ucOldStatus, 0x81);
  EXPECT_EQ(MFWQZ_gaPlaceholderNodeStatus[6].ulCount, 0u);
  const u8 udid[6] = {1, 2, 3, 4, 5, 6};
  SAPL_ScmUdidMismatchClbk(5, udid, 0);
  EXPECT_EQ(MFWQZ_gaPlaceholderNodeStatus[5].ulCount, 2u);
  EXPECT_TRUE(TakeEvents().empty());
}

}  // namespace
}  // namespace FwTest
