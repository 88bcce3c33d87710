// The operator against an in-process simulated host: what it drains, what it
// sends, and each of the three fail-safe signals (and what is not one).
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include "HostOperator.h"
#include "vxworks.h"

namespace {

using namespace std::chrono_literals;
using ScmSim::Bytes;
using ScmSim::EventRecord;
using ScmSim::FailSafeCause;

class HostOperatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    const std::string tag = std::to_string(getpid()) + "-" + std::to_string(counter++);
    directory_ = "/tmp/scmop-" + tag;
    std::filesystem::create_directories(directory_);
    config_.sdn = 42;
    config_.socketPath = directory_ + "/host.sock";
    config_.storageDir = directory_ + "/storage";
    config_.simNamespace = "scmop" + tag;
  }
  void TearDown() override {
    operator_.reset();
    if (host_) host_->Stop();
    host_.reset();
    std::filesystem::remove_all(directory_);
  }
  void Start() {
    host_ = std::make_unique<ScmSim::HostSim>(config_);
    host_->Start();
    operator_ = std::make_unique<ScmSim::HostOperator>(*host_);
  }
  void InjectEvent(const EventRecord& r) { ASSERT_TRUE(host_->Inject("event", ScmSim::EncodeEventRecord(r))); }
  /// Checks until the signal shows or the time runs out (a backstop for a loaded machine).
  bool WaitSignal(FailSafeCause cause, std::chrono::milliseconds limit = 30s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (operator_->CheckFailSafe().Has(cause)) return true;
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  std::string directory_;                       ///< socket and storage of this test
  ScmSim::HostConfig config_;                   ///< the host's configuration
  std::unique_ptr<ScmSim::HostSim> host_;       ///< the simulated host
  std::unique_ptr<ScmSim::HostOperator> operator_;  ///< the operator under test
};

TEST_F(HostOperatorTest, DrainsAndDecodesEventsInOrder) {
  Start();
  InjectEvent({1, 0x6200AF40u, 0, 0x01040003u});
  InjectEvent({2, 0x6200AF19u, 1, 64});
  InjectEvent({1, 0x6200AF40u, 0, 0x01040004u});
  ASSERT_TRUE(host_->Inject("event", Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(operator_->Poll(), 4u);
  EXPECT_EQ(host_->Waiting("event"), 0);
  const auto& events = operator_->Events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].seq, 1u);
  ASSERT_TRUE(events[1].record);
  EXPECT_EQ(events[1].record->code, 0x6200AF19u);
  EXPECT_EQ(events[1].record->information0, 1);
  EXPECT_EQ(events[1].record->information1, 64u);
  EXPECT_FALSE(events[3].record);
  EXPECT_EQ(events[3].bytes, (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(operator_->MalformedEvents(), 1u);
  EXPECT_EQ(operator_->EventTotal(), 4u);
  EXPECT_EQ(operator_->EventCounts().at(0x6200AF40u), 2u);
  EXPECT_EQ(operator_->EventCounts().at(0x6200AF19u), 1u);
  // NewEvents hands out each event once
  EXPECT_EQ(operator_->NewEvents().size(), 4u);
  EXPECT_TRUE(operator_->NewEvents().empty());
  InjectEvent({2, 0x62008482u, 0, 1});
  operator_->Poll();
  const auto fresh = operator_->NewEvents();
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_EQ(fresh[0].seq, 5u);
}

TEST_F(HostOperatorTest, KeepsStatusAndUnlockResponsesRaw) {
  Start();
  const Bytes first(280, 0x44);
  const Bytes second{4, 0, 1, 0, 9};
  const Bytes unlock{1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(host_->Inject("status", first));
  ASSERT_TRUE(host_->Inject("status", second));
  ASSERT_TRUE(host_->Inject("unlock-response", unlock));
  EXPECT_EQ(operator_->Poll(), 3u);
  ASSERT_EQ(operator_->UnlockResponses().size(), 1u);
  EXPECT_EQ(operator_->UnlockResponses()[0].bytes, unlock);
  auto r = operator_->ReadResponse();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->bytes, first);
  EXPECT_EQ(r->seq, 1u);
  r = operator_->ReadResponse();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->bytes, second);
  EXPECT_FALSE(operator_->ReadResponse());
}

TEST_F(HostOperatorTest, SendsCommandsOnTheHostCommandQueue) {
  config_.capacities["command"] = 2;
  Start();
  const Bytes command{3, 0, 7, 0, 0, 1, 0, 0};
  EXPECT_TRUE(operator_->SendCommand(command));
  EXPECT_TRUE(operator_->SendCommand(command));
  EXPECT_FALSE(operator_->SendCommand(command));  // full
  EXPECT_EQ(host_->Collect("command"), command);
  EXPECT_FALSE(operator_->SendCommand(Bytes(43, 0)));  // longer than a command
}

TEST_F(HostOperatorTest, NoSignalForAQuietDomainOrOrdinaryEvents) {
  Start();
  InjectEvent({2, 0x6200AF19u, 0, 0});
  InjectEvent({3, 0xE246u, 0, 5});
  EXPECT_FALSE(operator_->CheckFailSafe().Any());
  EXPECT_EQ(operator_->FailSafe().First().cause, FailSafeCause::None);
}

TEST_F(HostOperatorTest, ClassNineEventIsFailSafe) {
  Start();
  InjectEvent({3, 0x9200AF18u, 0, 0x02000000u});
  InjectEvent({3, 0x92008816u, 0, 1});
  const auto& state = operator_->CheckFailSafe();
  ASSERT_EQ(state.signals.size(), 1u);  // each cause once, the first one kept
  EXPECT_EQ(state.First().cause, FailSafeCause::FatalEvent);
  EXPECT_NE(state.First().detail.find("0x9200AF18"), std::string::npos) << state.First().detail;
}

TEST_F(HostOperatorTest, DeletedFrameQueueIsFailSafe) {
  for (const char* queue : {"frame-send", "frame-receive", "~frame-send", "~frame-receive"}) {
    SCOPED_TRACE(queue);
    Start();
    const std::string name = host_->FullName(queue);
    MSG_Q_ID id = msgQOpen(name.c_str(), 0, 0, 0, 0, nullptr);
    ASSERT_NE(id, nullptr);
    EXPECT_FALSE(operator_->CheckFailSafe().Any());
    ASSERT_EQ(msgQDelete(id), OK);
    msgQClose(id);
    const auto& state = operator_->CheckFailSafe();
    ASSERT_TRUE(state.Has(FailSafeCause::FrameQueueDeleted));
    EXPECT_NE(state.First().detail.find(name), std::string::npos) << state.First().detail;
    TearDown();
    SetUp();
  }
}

TEST_F(HostOperatorTest, WatchedProgramThatExitsIsFailSafe) {
  Start();
  const int id = host_->Programs().Start("/bin/sh", {"-c", "exit 3"});
  ASSERT_GT(id, 0);
  operator_->WatchProgram(id, "shell");
  ASSERT_TRUE(WaitSignal(FailSafeCause::ProgramExited));
  EXPECT_NE(operator_->FailSafe().First().detail.find("shell"), std::string::npos);
  EXPECT_NE(operator_->FailSafe().First().detail.find("exited with status 3"), std::string::npos)
      << operator_->FailSafe().First().detail;
}

TEST_F(HostOperatorTest, ProgramStoppedOnRequestIsNoSignal) {
  Start();
  const int id = host_->Programs().Start("/bin/sleep", {"30"});
  ASSERT_GT(id, 0);
  operator_->WatchProgram(id, "sleeper");
  EXPECT_FALSE(operator_->CheckFailSafe().Any());
  ASSERT_TRUE(host_->Programs().Stop(id));
  EXPECT_FALSE(operator_->CheckFailSafe().Any());
}

TEST_F(HostOperatorTest, DomainResetIsNoSignal) {
  Start();
  const int id = host_->Programs().Start("/bin/sleep", {"30"});
  ASSERT_GT(id, 0);
  operator_->WatchProgram(id, "sleeper");
  EXPECT_FALSE(operator_->CheckFailSafe().Any());
  host_->TriggerReset();
  // look all through the reset: the kills and the re-created queues never count
  const auto end = std::chrono::steady_clock::now() + 3s;
  bool restarted = false;
  while (std::chrono::steady_clock::now() < end && !restarted) {
    EXPECT_FALSE(operator_->CheckFailSafe().Any()) << operator_->FailSafe().First().detail;
    const auto info = host_->Programs().Info(id);
    restarted = host_->Resets().done == 1 && info && info->running && info->starts == 2;
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(restarted);
  EXPECT_FALSE(operator_->CheckFailSafe().Any());
  // a restarted program that then ends is a signal again
  ::kill(host_->Programs().Info(id)->pid, SIGKILL);
  EXPECT_TRUE(WaitSignal(FailSafeCause::ProgramExited));
}

}  // namespace
