// A status record written by the firmware's own builder, relayed by the real
// scmchecker under the two-sided harness: the host reads its fail-safe byte
// 0x55 while both channels are sound, and 4 once the checker is fail-safe.
#include <gtest/gtest.h>

#include <cstring>

#include "CheckerHarness.h"
#include "HNFiff_ModuleState.h"
#include "MFWQZ.h"
#include "MFWQZ_Remote.h"
#include "MessageBuilder.h"

namespace {

using ScmTest::Bytes;
using ScmTest::CheckerHarness;

/// The status request the host sends (identifier 0).
Bytes Request() {
  TestFrames::CommandSpec fields;
  fields.commandClass = TestFrames::kStatusRequest;
  fields.echo = 0x0021;
  return TestFrames::BuildCommand(fields);
}

/// The classic record the firmware answers the request with, header included (identifier 0).
Bytes FirmwareStatus() {
  MFWQZ_ModuleInfo[2].ulFlags = MFWQZ_kFlagConfigured | MFWQZ_kFlagUdidMismatch;
  const Bytes request = Request();
  Bytes message(4 + MFWQZ_kStatusSize, 0);
  message[0] = 4;
  EXPECT_EQ(MFWQZ_RCStatus_Build(message.data() + 4, request.data() + 4, 0), 1u);
  return message;
}

/// Relays the request to the firmware side and the firmware's status back; the plain bytes the host reads.
/// The checker pairs a success answer with the command it relayed last.
Bytes Relay(CheckerHarness& harness, const Bytes& status) {
  EXPECT_TRUE(harness.TakeCycle());
  EXPECT_TRUE(harness.HostSend("command", Request()));
  harness.GiveCycle();
  EXPECT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.FirmwareCollect("command"), std::vector<Bytes>{Request()});
  EXPECT_TRUE(harness.FirmwareSend("status", status));
  harness.GiveCycle();
  EXPECT_TRUE(harness.TakeCycle());
  const std::vector<Bytes> relayed = harness.HostCollect("status");
  harness.GiveCycle();
  EXPECT_EQ(relayed.size(), 1u);
  return relayed.empty() ? Bytes{} : relayed[0];
}

TEST(RemoteStatusRelay, SoundChannelsLeaveTheByteAsTheFirmwareWroteIt) {
  HNFiff_ModuleStateInit();
  const Bytes status = FirmwareStatus();
  ASSERT_EQ(status[TestFrames::ResponseOffsets::FailSafeByte], 0x55);
  CheckerHarness harness;
  harness.Start();
  ASSERT_TRUE(harness.Handshake());
  const Bytes relayed = Relay(harness, status);
  EXPECT_EQ(relayed, status);
}

TEST(RemoteStatusRelay, TheCheckersFailSafeMarksTheRecord) {
  HNFiff_ModuleStateInit();
  const Bytes status = FirmwareStatus();
  CheckerHarness harness;
  harness.Start();
  const auto ident = harness.WaitCondition1();
  ASSERT_TRUE(ident);
  harness.AnswerCondition2(*ident ^ 0x00010000u);  // a firmware of another build: the checker goes fail-safe
  Bytes expected = status;
  expected[TestFrames::ResponseOffsets::FailSafeByte] = 4;
  EXPECT_EQ(Relay(harness, status), expected);
}

}  // namespace
