// scmchecker's relay under the two-sided harness: order and per-cycle bounds
// of every kind, complementing, full destinations, the reset lock, a queue
// error in the middle of a cycle, and the pacing of the firmware's cycle.
#include <gtest/gtest.h>

#include <thread>

#include "CheckerHarness.h"
#include "CheckerTestSupport.h"
#include "FrameBuilder.h"
#include "MessageBuilder.h"

namespace {

using ScmTest::Bytes;
using ScmTest::CheckerHarness;
using ScmTest::CheckerHarnessOptions;
using ScmTest::LogRecord;

Bytes Frame(u16 adr) { return CheckerTest::PassingFrame(adr, 42); }

Bytes Event(u32 n) { return TestFrames::BuildEvent(1, 0x61230000u + n, static_cast<u16>(n), n); }

/// A short unknown response: forwarded unmarked, inspects nothing.
Bytes Response(u8 n) { return Bytes(12, n); }

Bytes Command(u16 identifier) {
  TestFrames::CommandSpec fields;
  fields.identifier = identifier;
  return TestFrames::BuildCommand(fields);
}

/// Starts the checker and completes the handshake.
void StartAndHandshake(CheckerHarness& harness) {
  harness.Start();
  ASSERT_TRUE(harness.Handshake());
}

TEST(CheckerRelayTest, OrderBoundsAndComplement) {
  CheckerHarnessOptions options;
  options.capacities = {{"frame-send", 30},     {"~frame-send", 30}, {"~frame-receive", 30},
                        {"frame-receive", 30},  {"~event", 20},      {"event", 20},
                        {"command", 4},         {"~status", 4},      {"unlock-request", 4},
                        {"~unlock-response", 4}};
  CheckerHarness harness(options);
  StartAndHandshake(harness);
  ASSERT_TRUE(harness.TakeCycle());
  // Cycle 1 (held): the host offers everything; the firmware produces its output.
  std::vector<Bytes> received, sent, events;
  for (u16 i = 0; i < 25; ++i) {
    received.push_back(Frame(i + 1));
    ASSERT_TRUE(harness.HostSend("frame-send", received.back()));
    sent.push_back(Frame(i + 100));
    ASSERT_TRUE(harness.FirmwareSend("frame-receive", sent.back()));
  }
  for (u32 i = 0; i < 12; ++i) {
    events.push_back(Event(i));
    ASSERT_TRUE(harness.FirmwareSend("event", events.back()));
  }
  ASSERT_TRUE(harness.HostSend("unlock-request", Bytes(21, 0x11)));
  ASSERT_TRUE(harness.HostSend("unlock-request", Bytes(21, 0x22)));
  ASSERT_TRUE(harness.FirmwareSend("unlock-response", Bytes(8, 0x33)));
  ASSERT_TRUE(harness.FirmwareSend("unlock-response", Bytes(8, 0x44)));
  ASSERT_TRUE(harness.HostSend("command", Command(1)));
  ASSERT_TRUE(harness.HostSend("command", Command(2)));
  ASSERT_TRUE(harness.FirmwareSend("status", Response(1)));
  ASSERT_TRUE(harness.FirmwareSend("status", Response(2)));
  // Nothing the host offered in this cycle reached the firmware during it.
  EXPECT_TRUE(harness.FirmwareCollect("command").empty());
  harness.GiveCycle();

  // After the firmware's cycle: 10 events, 20 sent frames, one command, one response.
  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.HostCollect("event"), std::vector<Bytes>(events.begin(), events.begin() + 10));
  EXPECT_EQ(harness.HostCollect("frame-receive"), std::vector<Bytes>(sent.begin(), sent.begin() + 20));
  EXPECT_EQ(harness.FirmwareCollect("command"), std::vector<Bytes>{Command(1)});
  EXPECT_EQ(harness.HostCollect("status"), std::vector<Bytes>{Response(1)});
  // Before this cycle: one unlock request and response, 20 received frames.
  EXPECT_EQ(harness.FirmwareCollect("unlock-request"), std::vector<Bytes>{Bytes(21, 0x11)});
  EXPECT_EQ(harness.HostCollect("unlock-response"), std::vector<Bytes>{Bytes(8, 0x33)});
  EXPECT_EQ(harness.FirmwareCollect("frame-send"),
            std::vector<Bytes>(received.begin(), received.begin() + 20));
  harness.GiveCycle();

  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.HostCollect("event"), std::vector<Bytes>(events.begin() + 10, events.end()));
  EXPECT_EQ(harness.HostCollect("frame-receive"), std::vector<Bytes>(sent.begin() + 20, sent.end()));
  EXPECT_EQ(harness.FirmwareCollect("command"), std::vector<Bytes>{Command(2)});
  EXPECT_EQ(harness.HostCollect("status"), std::vector<Bytes>{Response(2)});
  EXPECT_EQ(harness.FirmwareCollect("unlock-request"), std::vector<Bytes>{Bytes(21, 0x22)});
  EXPECT_EQ(harness.HostCollect("unlock-response"), std::vector<Bytes>{Bytes(8, 0x44)});
  EXPECT_EQ(harness.FirmwareCollect("frame-send"), std::vector<Bytes>(received.begin() + 20, received.end()));
  harness.GiveCycle();

  // A lock per command and per event, an unlock per response and per event.
  const ScmSim::LockState lock = harness.Host().ResetLock();
  EXPECT_EQ(lock.lockCalls, 2u + 12u);
  EXPECT_EQ(lock.unlockCalls, 2u + 12u);
  EXPECT_TRUE(harness.CollectLog().empty());
}

TEST(CheckerRelayTest, FullDestinationsWaitExceptSentFramesWhichAreDropped) {
  CheckerHarnessOptions options;
  options.capacities = {{"event", 2}, {"frame-receive", 1}, {"~frame-receive", 10}};
  options.counterStart = 61000000;  // the first drop warning may come at once
  CheckerHarness harness(options);
  StartAndHandshake(harness);
  // Events wait for room on the host's event queue.
  ASSERT_TRUE(harness.Cycle([&] {
    for (u32 i = 0; i < 3; ++i) ASSERT_TRUE(harness.FirmwareSend("event", Event(i)));
  }));
  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.Host().Waiting("~event"), 1);
  EXPECT_EQ(harness.HostCollect("event"), (std::vector<Bytes>{Event(0), Event(1)}));
  harness.GiveCycle();
  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.HostCollect("event"), std::vector<Bytes>{Event(2)});
  // Of four sent frames one finds room; three are discarded and warned of once.
  for (u16 i = 0; i < 4; ++i) ASSERT_TRUE(harness.FirmwareSend("frame-receive", Frame(i + 1)));
  harness.GiveCycle();
  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.HostCollect("frame-receive"), std::vector<Bytes>{Frame(1)});
  EXPECT_EQ(harness.Host().Waiting("~frame-receive"), 0);
  auto log = harness.CollectLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].level, 2);
  EXPECT_EQ(log[0].code, 0xE246);
  EXPECT_EQ(log[0].information1, 3u);
  // More drops within the minute are counted, not warned of.
  ASSERT_TRUE(harness.FirmwareSend("frame-receive", Frame(7)));
  ASSERT_TRUE(harness.FirmwareSend("frame-receive", Frame(8)));
  harness.GiveCycle();
  ASSERT_TRUE(harness.Cycle());
  ASSERT_TRUE(harness.TakeCycle());
  EXPECT_EQ(harness.CollectLog().size(), 1u);
  EXPECT_EQ(harness.HostCollect("frame-receive").size(), 1u);
  harness.GiveCycle();
}

TEST(CheckerRelayTest, QueueErrorMidBlockFailsSafeAndTheCycleGoesOn) {
  CheckerHarness harness;
  StartAndHandshake(harness);
  ASSERT_TRUE(harness.TakeCycle());
  MSG_Q_ID status = msgQOpen(harness.Host().FullName("status").c_str(), 0, 0, 0, 0, nullptr);
  ASSERT_NE(status, nullptr);
  ASSERT_EQ(msgQDelete(status), OK);
  ASSERT_TRUE(harness.FirmwareSend("status", Response(5)));
  harness.GiveCycle();
  ASSERT_TRUE(harness.TakeCycle());
  // The waiting response is taken away so that the error does not repeat.
  harness.FirmwareCollect("status");
  auto log = harness.CollectLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].code, 0xE243);
  EXPECT_EQ(harness.Host().Waiting("frame-send"), -1) << "fail-safe";
  // The next cycles run and relay events.
  ASSERT_TRUE(harness.FirmwareSend("event", Event(1)));
  harness.GiveCycle();
  ASSERT_TRUE(harness.Cycle());
  EXPECT_EQ(harness.HostCollect("event"), std::vector<Bytes>{Event(1)});
  EXPECT_EQ(harness.LogRecords().size(), 1u) << "logged once";
}

TEST(CheckerRelayTest, OneGivePerCycleAndAnUnlimitedWait) {
  CheckerHarness harness;
  StartAndHandshake(harness);
  ASSERT_TRUE(harness.TakeCycle());
  // Held for longer than many periods: no second give, no error.
  EXPECT_FALSE(harness.TakeCycle(std::chrono::milliseconds(1500)));
  harness.Host().AdvanceCounter(11000000);
  harness.GiveCycle();
  ASSERT_TRUE(harness.Cycle());
  ASSERT_TRUE(harness.Cycle());
  const auto log = harness.CollectLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].level, 2);
  EXPECT_EQ(log[0].code, 0xE205);
  EXPECT_EQ(log[0].information0, 42);
  EXPECT_GE(log[0].information1, 11000000u);
  EXPECT_LT(log[0].information1, 30000000u);
  EXPECT_TRUE(harness.Running());
}

}  // namespace
