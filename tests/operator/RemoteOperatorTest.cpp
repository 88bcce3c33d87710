// The operator's remote control against an in-process simulated host: answers
// pair with their command by the echo word, a missing one times out, a stray
// one is counted, never two commands are open, and the readers refuse records
// that do not fit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>

#include "HostOperator.h"
#include "RemoteMessages.h"
#include "RemoteNames.h"

namespace {

using namespace std::chrono_literals;
using ScmSim::Bytes;
using ScmSim::RemoteOrder;

class RemoteOperatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    const std::string tag = std::to_string(getpid()) + "-" + std::to_string(counter++);
    directory_ = "/tmp/scmrop-" + tag;
    std::filesystem::create_directories(directory_);
    config_.sdn = 43;
    config_.socketPath = directory_ + "/host.sock";
    config_.storageDir = directory_ + "/storage";
    config_.simNamespace = "scmrop" + tag;
    host_ = std::make_unique<ScmSim::HostSim>(config_);
    host_->Start();
    operator_ = std::make_unique<ScmSim::HostOperator>(*host_);
  }
  void TearDown() override {
    operator_.reset();
    host_->Stop();
    host_.reset();
    std::filesystem::remove_all(directory_);
  }
  /// A classic status answer carrying echo.
  static Bytes StatusAnswer(uint16_t echo, uint16_t result = 0) {
    TestFrames::StatusSpec fields;
    fields.requestClass = TestFrames::kStatusRequest;
    fields.echo = echo;
    fields.result = result;
    fields.mismatches = 1;
    fields.sadrs[0] = 2;
    fields.mismatchBits[0] = 1;
    return TestFrames::BuildStatus(fields);
  }
  static RemoteOrder Status(uint16_t code = 0) {
    RemoteOrder order;
    order.code = code;
    return order;
  }
  std::string directory_;
  ScmSim::HostConfig config_;
  std::unique_ptr<ScmSim::HostSim> host_;
  std::unique_ptr<ScmSim::HostOperator> operator_;
};

TEST_F(RemoteOperatorTest, CommandsAreNumberedSentWithIdentifierZeroAndThePassword) {
  operator_->SetPassword(*ScmSim::HostOperator::ParsePassword("secret"));
  RemoteOrder enter;
  enter.kind = RemoteOrder::Kind::Enter;
  enter.code = 0x0060;
  ASSERT_TRUE(operator_->SendRemote(enter));
  TestFrames::CommandSpec fields;
  fields.code = 0x0060;
  fields.echo = 1;
  fields.password = {'s', 'e', 'c', 'r', 'e', 't'};
  EXPECT_EQ(host_->Collect("command"), TestFrames::BuildCommand(fields));
  ASSERT_TRUE(host_->Inject("status", StatusAnswer(1)));
  ASSERT_TRUE(operator_->AwaitRemote(10s));
  RemoteOrder read;
  read.kind = RemoteOrder::Kind::ObjectRead;
  read.objects = {{0x2410, 10}};
  ASSERT_TRUE(operator_->SendRemote(read));
  TestFrames::ObjectReadSpec readFields;
  readFields.word = 2;  // object reads carry the number in the word at 8
  readFields.objects = {{0x2410, 10}};
  EXPECT_EQ(host_->Collect("command"), TestFrames::BuildObjectRead(readFields));
}

TEST_F(RemoteOperatorTest, AnswersPairByEchoWordAndStraysAreCounted) {
  ASSERT_TRUE(operator_->SendRemote(Status()));
  ASSERT_TRUE(host_->Inject("status", StatusAnswer(99)));  // not ours
  ASSERT_TRUE(host_->Inject("status", StatusAnswer(1)));
  const auto x = operator_->AwaitRemote(10s);
  ASSERT_TRUE(x);
  EXPECT_FALSE(x->timedOut);
  EXPECT_EQ(x->answer, StatusAnswer(1));
  EXPECT_EQ(x->Result(), 0);
  EXPECT_EQ(operator_->StrayAnswers(), 1u);
  ASSERT_TRUE(operator_->LastStatus());
  EXPECT_EQ(operator_->LastStatus()->mismatches, 1);
  EXPECT_NE(x->text.find("mismatches 1 [2]"), std::string::npos) << x->text;
  EXPECT_FALSE(operator_->ReadResponse()) << "paired answers do not reach the raw reader";
}

TEST_F(RemoteOperatorTest, MissingAnswerTimesOutAndArrivesStray) {
  ASSERT_TRUE(operator_->SendRemote(Status()));
  const auto x = operator_->AwaitRemote(30ms);
  ASSERT_TRUE(x);
  EXPECT_TRUE(x->timedOut);
  EXPECT_FALSE(x->answer);
  EXPECT_FALSE(operator_->RemoteOpen());
  ASSERT_TRUE(host_->Inject("status", StatusAnswer(1)));
  operator_->Poll();
  EXPECT_EQ(operator_->StrayAnswers(), 1u);
}

TEST_F(RemoteOperatorTest, NeverTwoCommandsOpen) {
  ASSERT_TRUE(operator_->SendRemote(Status()));
  EXPECT_FALSE(operator_->SendRemote(Status(0x5000)));
  EXPECT_EQ(host_->Waiting("command"), 1);
  const auto text = ScmSim::RunRemoteCommand(*operator_, {"remote", "status"}, 10ms);
  EXPECT_EQ(text.first, 1);
  EXPECT_EQ(host_->Waiting("command"), 1);
}

TEST_F(RemoteOperatorTest, RawCommandsCarryTheNumberWhereTheyHaveRoom) {
  RemoteOrder raw;
  raw.kind = RemoteOrder::Kind::Raw;
  raw.payload = {0x00, 0x01, 0xEE, 0xEE, 0x60, 0x00, 0x00};
  ASSERT_TRUE(operator_->SendRemote(raw));
  EXPECT_EQ(host_->Collect("command"), (Bytes{3, 0, 0, 0, 0x00, 0x01, 0x01, 0x00, 0x60, 0x00, 0x00}));
  // The firmware answers a too short command with class, echo and result; the echo is what it read.
  Bytes answer(280, 0);
  answer[0] = 4;
  answer[4] = 0x00;
  answer[5] = 0x01;
  answer[6] = 0x01;
  answer[8] = 30;
  ASSERT_TRUE(host_->Inject("status", answer));
  const auto x = operator_->AwaitRemote(10s);
  ASSERT_TRUE(x && x->answer);
  EXPECT_EQ(x->Result(), 30);
  RemoteOrder tiny;
  tiny.kind = RemoteOrder::Kind::Raw;
  tiny.payload = {0x00};
  ASSERT_TRUE(operator_->SendRemote(tiny));
  Bytes tinyAnswer(280, 0);
  tinyAnswer[0] = 4;
  tinyAnswer[8] = 30;
  ASSERT_TRUE(host_->Inject("status", tinyAnswer));
  EXPECT_TRUE(operator_->AwaitRemote(10s)->answer) << "no room for the number: it pairs with echo 0";
}

TEST_F(RemoteOperatorTest, PasswordsFromTextAndHex) {
  using ScmSim::HostOperator;
  EXPECT_EQ(HostOperator::ParsePassword(""), ScmSim::RemotePassword{});
  EXPECT_EQ(HostOperator::ParsePassword("ab"), (ScmSim::RemotePassword{'a', 'b'}));
  EXPECT_EQ(HostOperator::ParsePassword("hex:01ff"), (ScmSim::RemotePassword{0x01, 0xFF}));
  EXPECT_FALSE(HostOperator::ParsePassword("0123456789abcdefg"));
  EXPECT_FALSE(HostOperator::ParsePassword("hex:0"));
  EXPECT_FALSE(HostOperator::ParsePassword("hex:zz"));
  EXPECT_TRUE(HostOperator::ParsePassword("0123456789abcdef"));
}

TEST_F(RemoteOperatorTest, ReadersRefuseRecordsThatDoNotFit) {
  TestFrames::ObjectReadAnswerSpec read;
  read.entries = {{0x2410, 10, 0, 1}};
  const struct {
    const char* name;
    Bytes record;
    bool (*reads)(const Bytes&);
  } cases[] = {
      {"status", TestFrames::BuildStatus({}), [](const Bytes& b) { return TestFrames::ReadStatus(b).has_value(); }},
      {"new status", TestFrames::BuildNewStatus({}),
       [](const Bytes& b) { return TestFrames::ReadNewStatus(b).has_value(); }},
      {"password information", TestFrames::BuildPasswordInfo({}),
       [](const Bytes& b) { return TestFrames::ReadPasswordInfo(b).has_value(); }},
      {"controller UDID", TestFrames::BuildControllerUdid({}),
       [](const Bytes& b) { return TestFrames::ReadControllerUdid(b).has_value(); }},
      {"address list", TestFrames::BuildAddressList({}),
       [](const Bytes& b) { return TestFrames::ReadAddressList(b).has_value(); }},
      {"module flags", TestFrames::BuildModuleFlags({}),
       [](const Bytes& b) { return TestFrames::ReadModuleFlags(b).has_value(); }},
      {"object-read answer", TestFrames::BuildObjectReadAnswer(read),
       [](const Bytes& b) { return TestFrames::ReadObjectReadAnswer(b).has_value(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(c.reads(c.record));
    Bytes shorter = c.record;
    shorter.pop_back();
    EXPECT_FALSE(c.reads(shorter));
    Bytes longer = c.record;
    longer.push_back(0);
    EXPECT_FALSE(c.reads(longer));
    Bytes command = c.record;
    command[0] = 3;  // not a response
    EXPECT_FALSE(c.reads(command));
  }
}

TEST_F(RemoteOperatorTest, NamesForPeople) {
  EXPECT_EQ(ScmSim::ResultName(0), "accepted");
  EXPECT_EQ(ScmSim::ResultName(8), "wrong password");
  EXPECT_EQ(ScmSim::ResultName(99), "result 99");
  EXPECT_EQ(ScmSim::EnterCodeName(0x0060), "accept 1 exchanged module");
  EXPECT_EQ(ScmSim::StatusCodeName(0x6001), "address list page 1");
  EXPECT_EQ(ScmSim::RemoteStateName(3), "being confirmed");
  EXPECT_EQ(ScmSim::StateBitNames(0x0E84), "start-up or scan, password set");
  EXPECT_EQ(ScmSim::FailSafeByteName(0x55), "sound");
  EXPECT_EQ(ScmSim::FailSafeByteName(4), "checker fail-safe");
  EXPECT_EQ(ScmSim::FailSafeByteName(6), "both fail-safe");
}

}  // namespace
