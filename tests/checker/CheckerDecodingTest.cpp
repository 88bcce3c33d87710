// What the checker's real decoders change in the relay, under the two-sided
// harness: refused frames from the network, the SCM UDID learned from the
// firmware's assign-UDID-of-SCM request, and the marking of status responses.
#include <gtest/gtest.h>

#include "CheckerHarness.h"
#include "CheckerTestSupport.h"
#include "FrameBuilder.h"
#include "MessageBuilder.h"

namespace {

using ScmTest::Bytes;
using ScmTest::CheckerHarness;
using ScmTest::LogRecord;

constexpr TestFrames::Udid kScmUdid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};

Bytes Frame(u16 adr) { return CheckerTest::PassingFrame(adr, 42); }

/// An SSDO response of node 5 coded with the SCM UDID, as the network delivers it.
Bytes CodedSsdoResponse() {
  TestFrames::FrameSpec fields;
  fields.id = TestFrames::Ids::SsdoResponse;
  fields.adr = 1;
  fields.sdn = 42;
  fields.tadr = 5;
  fields.payload = {0x99, 1, 2, 3, 4, 5, 6, 7};
  return TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(fields, kScmUdid));
}

/// The firmware's SNMT assign-UDID-of-SCM request.
Bytes AssignUdidOfScm() {
  TestFrames::FrameSpec fields;
  fields.id = TestFrames::Ids::SnmtService;
  fields.adr = 1;
  fields.sdn = 42;
  fields.tadr = 1;
  fields.payload = {0x0E, kScmUdid[0], kScmUdid[1], kScmUdid[2], kScmUdid[3], kScmUdid[4], kScmUdid[5]};
  return TestFrames::BuildFrame(fields);
}

class CheckerDecodingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    harness_.Start();
    ASSERT_TRUE(harness_.Handshake());
    ASSERT_TRUE(harness_.TakeCycle());
  }
  /// Lets the checker finish this cycle and start the next one.
  void NextCycle() {
    harness_.GiveCycle();
    ASSERT_TRUE(harness_.TakeCycle());
  }
  CheckerHarness harness_;
};

TEST_F(CheckerDecodingTest, RefusedReceivedFrameIsDroppedWithOneWarning) {
  Bytes bad = Frame(1);
  bad.back() ^= 0x01;
  ASSERT_TRUE(harness_.HostSend("frame-send", bad));
  ASSERT_TRUE(harness_.HostSend("frame-send", Frame(2)));
  NextCycle();
  EXPECT_EQ(harness_.FirmwareCollect("frame-send"), std::vector<Bytes>{Frame(2)});
  const auto log = harness_.CollectLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].level, 2);
  EXPECT_GE(log[0].code, 0xE2BE);
  EXPECT_LE(log[0].code, 0xE2C3);
  EXPECT_EQ(harness_.Host().Waiting("frame-send"), 0) << "not fail-safe";
}

TEST_F(CheckerDecodingTest, SsdoFramePassesOnlyAfterAssignUdidOfScm) {
  ASSERT_TRUE(harness_.HostSend("frame-send", CodedSsdoResponse()));
  NextCycle();
  EXPECT_TRUE(harness_.FirmwareCollect("frame-send").empty()) << "undecodable with the zero UDID";
  EXPECT_EQ(harness_.CollectLog().size(), 1u);
  ASSERT_TRUE(harness_.FirmwareSend("frame-receive", AssignUdidOfScm()));
  NextCycle();
  EXPECT_EQ(harness_.HostCollect("frame-receive"), std::vector<Bytes>{AssignUdidOfScm()});
  ASSERT_TRUE(harness_.HostSend("frame-send", CodedSsdoResponse()));
  NextCycle();
  EXPECT_EQ(harness_.FirmwareCollect("frame-send"), std::vector<Bytes>{CodedSsdoResponse()});
  EXPECT_EQ(harness_.CollectLog().size(), 1u);
}

TEST_F(CheckerDecodingTest, StatusResponsesAreMarkedOnlyAfterFailSafe) {
  TestFrames::StatusSpec classic;
  classic.result = 4;
  TestFrames::NewStatusSpec fresh;
  fresh.result = 4;
  ASSERT_TRUE(harness_.FirmwareSend("status", TestFrames::BuildStatus(classic)));
  NextCycle();
  ASSERT_TRUE(harness_.FirmwareSend("status", TestFrames::BuildNewStatus(fresh)));
  NextCycle();
  auto before = harness_.HostCollect("status");
  ASSERT_EQ(before.size(), 2u);
  EXPECT_EQ(before[0], TestFrames::BuildStatus(classic));
  EXPECT_EQ(before[1], TestFrames::BuildNewStatus(fresh));
  // A frame without its check bits cannot happen with the pass-through
  // inspector; a deleted host queue is what switches this checker to fail-safe.
  MSG_Q_ID unlock = msgQOpen(harness_.Host().FullName("unlock-response").c_str(), 0, 0, 0, 0, nullptr);
  ASSERT_EQ(msgQDelete(unlock), OK);
  ASSERT_TRUE(harness_.FirmwareSend("unlock-response", Bytes(8, 1)));
  // Each cycle now fails before its give while the response waits; take it away.
  harness_.GiveCycle();
  EXPECT_FALSE(harness_.TakeCycle(std::chrono::milliseconds(300)));
  harness_.FirmwareCollect("unlock-response");
  ASSERT_TRUE(harness_.TakeCycle());
  EXPECT_EQ(harness_.Host().Waiting("frame-send"), -1);
  ASSERT_TRUE(harness_.FirmwareSend("status", TestFrames::BuildStatus(classic)));
  NextCycle();
  ASSERT_TRUE(harness_.FirmwareSend("status", TestFrames::BuildNewStatus(fresh)));
  NextCycle();
  auto after = harness_.HostCollect("status");
  ASSERT_EQ(after.size(), 2u);
  Bytes markedClassic = TestFrames::BuildStatus(classic);
  markedClassic[TestFrames::ResponseOffsets::FailSafeByte] = 4;
  EXPECT_EQ(after[0], markedClassic);
  Bytes markedNew = TestFrames::BuildNewStatus(fresh);
  markedNew[TestFrames::ResponseOffsets::Flags] |= 0x10;
  EXPECT_EQ(after[1], markedNew);
}

}  // namespace
