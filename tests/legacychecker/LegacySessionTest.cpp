// The older checker's response path under the two-sided harness: status
// responses marked from the firmware's verdict and the checker's health; an
// error while inspecting the postponed command fails safe, marks the response
// again, gives the reset lock back and still forwards it before the record.
#include <gtest/gtest.h>

#include "CheckerHarness.h"
#include "MessageBuilder.h"

namespace {

using ScmTest::Bytes;
using ScmTest::CheckerHarness;
using ScmTest::CheckerHarnessOptions;

/// The older checker on the installed empty domain, past the handshake.
struct OlderChecker {
  CheckerHarness harness{ScmTest::LegacyCheckerOptions(CheckerHarnessOptions{})};
  OlderChecker() {
    harness.Start();
    EXPECT_TRUE(harness.Handshake());
    EXPECT_TRUE(harness.Cycle());
  }
  /// The status the firmware sends, as it reached the host.
  Bytes Through(const Bytes& status) {
    harness.FirmwareSend("status", status);
    EXPECT_TRUE(harness.Cycle());
    EXPECT_TRUE(harness.Cycle());
    const std::vector<Bytes> host = harness.HostCollect("status");
    return host.size() == 1 ? host[0] : Bytes{};
  }
};

TEST(LegacySession, StatusResponsesCarryTheFirmwaresVerdictAndTheCheckersHealth) {
  struct Row {
    uint8_t firmware;  ///< byte 23 as the firmware wrote it
    uint8_t host;      ///< byte 23 as the host gets it from a healthy checker
  };
  for (const Row row : {Row{0x55, 0x55}, Row{0x13, 2}}) {
    OlderChecker c;
    TestFrames::StatusSpec status;
    status.result = 1;
    status.moduleStateLow = row.firmware;
    const Bytes forwarded = c.Through(TestFrames::BuildStatus(status));
    ASSERT_EQ(forwarded.size(), 280u);
    EXPECT_EQ(forwarded[23], row.host);
  }
}

TEST(LegacySession, AnInspectionErrorFailsSafeMarksUnlocksAndForwardsTheResponse) {
  OlderChecker c;
  // A command too short to decode, then a successful response: the postponed command
  // cannot be inspected (0xE2C6).
  ASSERT_TRUE(c.harness.HostSend("command", Bytes(10, 0x03)));
  ASSERT_TRUE(c.harness.Cycle());
  const Bytes forwarded = c.Through(TestFrames::BuildStatus({}));
  ASSERT_EQ(forwarded.size(), 280u);
  EXPECT_EQ(forwarded[23], 4) << "marked again: the checker is no longer healthy";
  const auto log = c.harness.CollectLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].code, 0xE2C6);
  EXPECT_EQ(log[0].information1, 10u);
  EXPECT_EQ(c.harness.Host().Waiting("frame-send"), -1) << "fail-safe";
  const ScmSim::LockState lock = c.harness.Host().ResetLock();
  EXPECT_EQ(lock.lockCalls, 1u);
  EXPECT_EQ(lock.unlockCalls, 1u);
  EXPECT_FALSE(lock.locked);
}

}  // namespace
