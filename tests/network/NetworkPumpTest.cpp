// The network bound to a domain's real queues: cycles as gives of the
// firmware-side "frame-send" semaphore, requests from host "frame-receive",
// answers on host "frame-send", and the frame queues deleted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "FrameBuilder.h"
#include "NetworkPump.h"
#include "ScmQueueNames.h"
#include "rtp_testhooks.h"

namespace {

constexpr u16 kSdn = 6;  ///< domain of the tests

class NetworkPumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string ns = "nettest" + std::to_string(getpid()) + "_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    setenv("SCM_SIM_NAMESPACE", ns.c_str(), 1);
    char name[SCM_QUEUE_NAME_SIZE];
    fromFirmware_ = msgQOpen(GetQualifiedRuntimeQueueName(kSdn, "frame-receive", name), 64, 521, 0,
                             OM_CREATE | OM_EXCL, nullptr);
    toFirmware_ = msgQOpen(GetQualifiedRuntimeQueueName(kSdn, "frame-send", name), 2, 521, 0,
                           OM_CREATE | OM_EXCL, nullptr);
    sem_ = semOpen(GetQualifiedScmQueueName(kSdn, "frame-send", name), SEM_TYPE_BINARY, SEM_EMPTY, 0,
                   OM_CREATE | OM_EXCL, nullptr);
    ASSERT_NE(fromFirmware_, nullptr);
    ASSERT_NE(toFirmware_, nullptr);
    ASSERT_NE(sem_, nullptr);
    SimNodes::NodeConfig c;
    c.position = 3;
    c.udid = {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x03};
    network_.emplace(std::vector<SimNodes::NodeConfig>{c});
    pump_.emplace(kSdn, *network_, [this] { return now_; });
    ASSERT_TRUE(pump_->Open());
  }
  void TearDown() override {
    pump_.reset();
    msgQClose(fromFirmware_);
    msgQClose(toFirmware_);
    semClose(sem_);
    ScmSimRemoveNamespaceObjects();
    unsetenv("SCM_SIM_NAMESPACE");
  }
  void Transmit(const ScmSim::FrameBytes& frame) {
    ScmSim::FrameBytes copy = frame;
    ASSERT_EQ(msgQSend(fromFirmware_, reinterpret_cast<char*>(copy.data()), static_cast<unsigned>(copy.size()),
                       NO_WAIT, 0),
              OK);
  }
  std::optional<ScmSim::FrameBytes> Take() {
    char buf[521];
    const ssize_t n = msgQReceive(toFirmware_, buf, sizeof buf, NO_WAIT);
    if (n < 0) return std::nullopt;
    return ScmSim::FrameBytes(buf, buf + n);
  }
  static ScmSim::FrameBytes UdidRequest() {
    TestFrames::FrameSpec fields;
    fields.id = 0x28;
    fields.adr = 3;
    fields.sdn = kSdn;
    fields.tadr = 20;
    return TestFrames::BuildFrame(fields);
  }

  MSG_Q_ID fromFirmware_ = nullptr;             ///< host "frame-receive"
  MSG_Q_ID toFirmware_ = nullptr;               ///< host "frame-send"
  SEM_ID sem_ = nullptr;                        ///< firmware-side "frame-send" semaphore
  u64 now_ = 0;                                 ///< host time of the pump
  std::optional<ScmSim::FrameNetwork> network_; ///< the network
  std::optional<ScmSim::NetworkPump> pump_;     ///< the pump under test
};

TEST_F(NetworkPumpTest, CycleIsTheGivesOfTheFirmwareSideSendSemaphore) {
  EXPECT_EQ(pump_->Cycle(), 0u);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(semGive(sem_), OK);
  }
  EXPECT_EQ(pump_->Cycle(), 3u);  // a binary semaphore stays full, every give counts
  ASSERT_EQ(semTake(sem_, NO_WAIT), OK);
  EXPECT_EQ(pump_->Cycle(), 3u);
}

TEST_F(NetworkPumpTest, AnswerIsOnHostFrameSendAfterOnePass) {
  ASSERT_EQ(semGive(sem_), OK);
  now_ = 500;
  Transmit(UdidRequest());
  pump_->Step();
  const auto answer = Take();
  ASSERT_TRUE(answer);
  EXPECT_EQ(TestFrames::ParseFrame(*answer).id, 0x29);
  EXPECT_EQ(pump_->Counts().sent, 1u);
  EXPECT_EQ(pump_->Counts().lateAnswers, 0u);
  pump_->WithNetwork([](const ScmSim::FrameNetwork& net) {
    ASSERT_EQ(net.Trace().size(), 2u);
    EXPECT_EQ(net.Trace()[0].cycle, 1u);
    EXPECT_EQ(net.Trace()[0].timeUs, 500u);
  });
}

TEST_F(NetworkPumpTest, FullQueueKeepsAnswersInOrderForTheNextPass) {
  for (int i = 0; i < 3; ++i) {
    Transmit(UdidRequest());
  }
  pump_->Step();
  EXPECT_EQ(pump_->Counts().sent, 2u);  // the queue holds two
  EXPECT_EQ(pump_->Counts().sendRetries, 1u);
  ASSERT_TRUE(Take());
  ASSERT_TRUE(Take());
  ASSERT_EQ(semGive(sem_), OK);
  pump_->Step();
  ASSERT_TRUE(Take());
  EXPECT_EQ(pump_->Counts().lateAnswers, 1u);  // due in cycle 0, sent in cycle 1
}

TEST_F(NetworkPumpTest, DeletedFrameQueuesAreNoticed) {
  EXPECT_FALSE(pump_->QueuesDeleted());
  ASSERT_EQ(msgQDelete(fromFirmware_), OK);
  fromFirmware_ = nullptr;
  pump_->Step();
  EXPECT_TRUE(pump_->QueuesDeleted());
}

TEST_F(NetworkPumpTest, ThreadCarriesFramesUntilStopped) {
  pump_->Start(100);
  Transmit(UdidRequest());
  std::optional<ScmSim::FrameBytes> answer;
  for (int i = 0; i < 2000 && !answer; ++i) {
    usleep(1000);
    answer = Take();
  }
  pump_->Stop();
  ASSERT_TRUE(answer);
  EXPECT_EQ(TestFrames::ParseFrame(*answer).id, 0x29);
}

}  // namespace
