// The scripted operator's steps and conditions, the mailbox between the
// host's control interface and the run, and what the view shows of remote
// control.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "DemoRemote.h"
#include "DemoView.h"

namespace {

using ScmDemo::OperatorStep;

TEST(DemoRemoteTest, StepsParseIntoTheirOrders) {
  std::string error;
  auto send = ScmDemo::ParseOperatorStep("send enter 0x0060 --password wrong expect 8", error);
  ASSERT_TRUE(send) << error;
  EXPECT_EQ(send->kind, OperatorStep::Kind::Send);
  EXPECT_EQ(send->order.kind, ScmSim::RemoteOrder::Kind::Enter);
  EXPECT_EQ(send->order.code, 0x0060);
  EXPECT_EQ(send->order.password, (ScmSim::RemotePassword{'w', 'r', 'o', 'n', 'g'}));
  EXPECT_EQ(send->expectResult, 8);

  auto change = ScmDemo::ParseOperatorStep("send enter 0x5000 hex:0102 expect 0", error);
  ASSERT_TRUE(change) << error;
  EXPECT_EQ(change->order.newPassword, (ScmSim::RemotePassword{1, 2}));

  auto page = ScmDemo::ParseOperatorStep("send status 0x6000 2 expect 32", error);
  ASSERT_TRUE(page) << error;
  EXPECT_EQ(page->order.kind, ScmSim::RemoteOrder::Kind::Status);
  EXPECT_EQ(page->order.code, 0x6002);

  auto read = ScmDemo::ParseOperatorStep("send read 0x2410/10 0x2410/12 expect 1,-", error);
  ASSERT_TRUE(read) << error;
  ASSERT_EQ(read->order.objects.size(), 2u);
  EXPECT_EQ(read->order.objects[1], (TestFrames::ObjectRef{0x2410, 12}));
  EXPECT_EQ(read->expectValues, (std::vector<std::optional<uint32_t>>{1u, std::nullopt}));

  auto raw = ScmDemo::ParseOperatorStep("send raw 000100 expect 30", error);
  ASSERT_TRUE(raw) << error;
  EXPECT_EQ(raw->order.payload, (ScmSim::Bytes{0x00, 0x01, 0x00}));

  auto wait = ScmDemo::ParseOperatorStep("wait last-completed=0x60 within 12", error);
  ASSERT_TRUE(wait) << error;
  EXPECT_EQ(wait->condition, "last-completed");
  EXPECT_EQ(wait->conditionValue, "0x60");
  EXPECT_EQ(wait->seconds, 12);

  auto pause = ScmDemo::ParseOperatorStep("pause 0.5", error);
  ASSERT_TRUE(pause) << error;
  EXPECT_EQ(pause->seconds, 0.5);

  auto own = ScmDemo::ParseOperatorStep("download kel_para.saf", error);
  ASSERT_TRUE(own) << error;
  EXPECT_EQ(own->kind, OperatorStep::Kind::Download);
  EXPECT_EQ(own->file, "kel_para.saf");
  EXPECT_EQ(own->source, "") << "the run's own file";
  EXPECT_EQ(own->word, std::nullopt) << "the run's word";

  auto given = ScmDemo::ParseOperatorStep("download @@temp.szp /tmp/new.szp --word 0x01020304", error);
  ASSERT_TRUE(given) << error;
  EXPECT_EQ(given->file, "@@temp.szp");
  EXPECT_EQ(given->source, "/tmp/new.szp");
  EXPECT_EQ(given->word, 0x01020304u);

  auto unlock = ScmDemo::ParseOperatorStep("unlock 7 KEL_PARA.SAF --word 0x5A5AA5C3 expect -1", error);
  ASSERT_TRUE(unlock) << error;
  EXPECT_EQ(unlock->kind, OperatorStep::Kind::Unlock);
  EXPECT_EQ(unlock->identifier, 7u);
  EXPECT_EQ(unlock->file, "KEL_PARA.SAF");
  EXPECT_EQ(unlock->word, 0x5A5AA5C3u);
  EXPECT_EQ(unlock->expectUnlock, -1);
  auto unlocked = ScmDemo::ParseOperatorStep("unlock 8 kel_para.saf expect 0", error);
  ASSERT_TRUE(unlocked) << error;
  EXPECT_EQ(unlocked->expectUnlock, 0);
  EXPECT_EQ(unlocked->word, std::nullopt);

  auto restarted = ScmDemo::ParseOperatorStep("wait restarted within 40", error);
  ASSERT_TRUE(restarted) << error;
  EXPECT_EQ(restarted->condition, "restarted");
  EXPECT_EQ(restarted->seconds, 40);
}

TEST(DemoRemoteTest, BadStepsAreRefusedWithAReason) {
  for (const char* line : {"send enter 0x60", "send enter 0x60 expect", "send read 0x2410/10 expect 1,2",
                           "send read 0x2410 expect 1", "wait mismatches", "wait startup-over=1", "wait nothing=1",
                           "wait mismatches=x", "password 0123456789abcdefXY", "dance", "pause", "download",
                           "download a b c", "download kel_para.saf --word x", "download fourteen_bytes",
                           "unlock 1 kel_para.saf", "unlock 1 kel_para.saf expect 1", "unlock x kel_para.saf expect 0",
                           "unlock 1 expect 0", "wait restarted=1"}) {
    SCOPED_TRACE(line);
    std::string error;
    EXPECT_FALSE(ScmDemo::ParseOperatorStep(line, error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(DemoRemoteTest, ConditionsReadTheClassicRecord) {
  TestFrames::StatusSpec r;
  r.startupOrScan = 0;
  r.mismatches = 1;
  r.remoteState = 3;
  r.lastCompleted = 0x0060;
  r.storedCode = 0x5000;
  r.sadrs[0] = 2;
  r.sadrs[1] = 3;
  r.mismatchBits[0] = 0x01;
  r.keyChangeAcceptable = 1;
  const struct {
    const char* step;
    bool holds;
  } cases[] = {
      {"wait startup-over", true},    {"wait mismatches=1", true},  {"wait mismatches=0", false},
      {"wait missing=0", true},       {"wait firmware=1", false},   {"wait remote-state=3", true},
      {"wait last-completed=0x60", true}, {"wait stored=0x5000", true}, {"wait marked=2", true},
      {"wait marked=3", false},       {"wait unmarked=3", true},    {"wait unmarked=2", false},
      {"wait key-change=1", true},    {"wait key-change=0", false},
      {"wait restarted", false},  // the run judges it, never the record
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    std::string error;
    const auto step = ScmDemo::ParseOperatorStep(c.step, error);
    ASSERT_TRUE(step) << error;
    EXPECT_EQ(ScmDemo::ConditionHolds(*step, r), c.holds);
  }
  r.startupOrScan = 1;
  std::string error;
  EXPECT_FALSE(ScmDemo::ConditionHolds(*ScmDemo::ParseOperatorStep("wait startup-over", error), r));
}

TEST(DemoRemoteTest, MailboxHandsOneCommandToTheLoopAndItsAnswerBack) {
  ScmDemo::RemoteMailbox mailbox;
  EXPECT_FALSE(mailbox.Take());
  std::pair<int, std::string> reply;
  std::thread client([&] { reply = mailbox.Ask({"remote", "status"}); });
  std::optional<std::vector<std::string>> taken;
  while (!(taken = mailbox.Take())) std::this_thread::yield();
  EXPECT_EQ(*taken, (std::vector<std::string>{"remote", "status"}));
  EXPECT_FALSE(mailbox.Take()) << "taken once";
  mailbox.Answer({0, "answered\n"});
  client.join();
  EXPECT_EQ(reply, (std::pair<int, std::string>{0, "answered\n"}));
  mailbox.Close();
  EXPECT_EQ(mailbox.Ask({"remote", "status"}).first, 1) << "the run has ended";
}

TEST(DemoRemoteTest, ViewShowsSocketRecordMarksAndCommands) {
  char* data = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  auto view = ScmDemo::MakeView(out, false);
  ScmDemo::Snapshot s;
  s.hostSocket = "/tmp/x/host.sock";
  s.simNamespace = "ns1";
  s.remoteRecord = "remote none, mismatches 1";
  s.newCommands = {"#1 status -> accepted (0)"};
  view->Show(s);
  view->Finish();
  std::fclose(out);
  const std::string text(data, size);
  std::free(data);
  EXPECT_NE(text.find("host socket: /tmp/x/host.sock (namespace ns1)"), std::string::npos) << text;
  EXPECT_NE(text.find("operator #1 status -> accepted (0)"), std::string::npos) << text;
  EXPECT_NE(text.find("status: remote none, mismatches 1"), std::string::npos) << text;
}

}  // namespace
