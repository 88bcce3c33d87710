// The domain the simulated host keeps: its queues and semaphores, the
// conditions, the reset lock, resets, the programs it starts and the control
// interface over its socket.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "HostControlClient.h"
#include "HostOperator.h"
#include "HostUnlock.h"
#include "ProcFiles.h"
#include "HostTestSupport.h"
#include "ScmQueueNames.h"
#include "ScmSystemCalls.h"
#include "hostcall_protocol.h"
#include "vxworks.h"

namespace hosttest {
namespace {

using namespace ScmHostCall;


MSG_Q_ID OpenQueue(const std::string& name) { return msgQOpen(name.c_str(), 0, 0, 0, 0, nullptr); }
SEM_ID OpenSem(const std::string& name) { return semOpen(name.c_str(), 0, 0, 0, 0, nullptr); }

using HostDomainTest = HostTest;

TEST_F(HostDomainTest, CreatesTheFourteenQueuesAndTwoSemaphoresThenSetsCondition0) {
  struct Expect {
    char* (*getter)(u16, char*);  ///< the programs' name getter
    int maxLength;                ///< longest message
    int capacity;                 ///< messages held
  };
  const Expect expected[] = {
      {ScmGetEventQueueToRuntimeName, 11, 32},          {ScmGetEventQueueFromScmName, 11, 32},
      {ScmGetResponseQueueToRuntimeName, 280, 8},       {ScmGetResponseQueueFromScmName, 280, 8},
      {ScmGetCommandQueueFromRuntimeName, 42, 8},       {ScmGetCommandQueueToScmName, 42, 8},
      {ScmGetFrameQueueToRuntimeName, 521, 64},         {ScmGetFrameQueueFromScmName, 521, 64},
      {ScmGetFrameQueueFromRuntimeName, 521, 64},       {ScmGetFrameQueueToScmName, 521, 64},
      {ScmGetUnlockResponseQueueToRuntimeName, 8, 4},   {ScmGetUnlockResponseQueueFromScmName, 8, 4},
      {ScmGetUnlockRequestQueueFromRuntimeName, 21, 4}, {ScmGetUnlockRequestQueueToScmName, 21, 4},
  };
  char name[SCM_QUEUE_NAME_SIZE];
  for (const Expect& e : expected) {
    e.getter(kSdn, name);
    MSG_Q_ID q = OpenQueue(name);
    ASSERT_NE(q, nullptr) << name;
    MSG_Q_INFO info{};
    ASSERT_EQ(msgQInfoGet(q, &info), OK);
    EXPECT_EQ(info.maxMsgLength, e.maxLength) << name;
    EXPECT_EQ(info.maxMsgs, e.capacity) << name;
    EXPECT_EQ(info.numMsgs, 0) << name;
    msgQClose(q);
  }
  for (auto getter : {ScmGetFrameQueueToScmName, ScmGetFrameQueueFromScmName}) {
    getter(kSdn, name);
    SEM_ID s = OpenSem(name);
    ASSERT_NE(s, nullptr) << name;
    EXPECT_EQ(semTake(s, NO_WAIT), ERROR) << name << " starts empty";
    EXPECT_EQ(errno, SCM_ERRNO_UNAVAILABLE);
    semClose(s);
  }
  u32 value = 0;
  EXPECT_EQ(ScmWaitForCondition(kSdn, 0, &value), 0);
  EXPECT_EQ(host_->Condition(1), std::nullopt);
  EXPECT_EQ(host_->Condition(2), std::nullopt);
  EXPECT_NE(host_->Status().find("queues=14/14 semaphores=2/2 condition0=set"), std::string::npos);
}

TEST_F(HostDomainTest, InjectsAndCollectsBytesAsGivenOrComplemented) {
  MSG_Q_ID q = OpenQueue(host_->FullName("~command"));
  ASSERT_NE(q, nullptr);
  ASSERT_TRUE(host_->Inject("~command", Bytes{0x01, 0x02}));
  ASSERT_TRUE(host_->InjectComplemented("~command", Bytes{0x00, 0xF0}));
  char buf[64];
  ASSERT_EQ(msgQReceive(q, buf, sizeof(buf), NO_WAIT), 2);
  EXPECT_EQ(Bytes(buf, buf + 2), (Bytes{0x01, 0x02}));
  ASSERT_EQ(msgQReceive(q, buf, sizeof(buf), NO_WAIT), 2);
  EXPECT_EQ(Bytes(buf, buf + 2), (Bytes{0xFF, 0x0F}));
  EXPECT_FALSE(host_->InjectComplemented("command", Bytes{1})) << "complementing is for \"~\" queues only";
  EXPECT_FALSE(host_->Inject("nonsense", Bytes{1}));
  EXPECT_FALSE(host_->Inject("command", Bytes(43, 0))) << "longer than the queue's maximum";
  EXPECT_TRUE(host_->Inject("command", Bytes{})) << "an empty message";

  MSG_Q_ID ev = OpenQueue(host_->FullName("~event"));
  char event[11] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ASSERT_EQ(msgQSend(ev, event, 11, NO_WAIT, MSG_PRI_NORMAL), OK);
  ASSERT_EQ(msgQSend(ev, event, 11, NO_WAIT, MSG_PRI_NORMAL), OK);
  EXPECT_EQ(host_->Waiting("~event"), 2);
  EXPECT_EQ(host_->Collect("~event"), Bytes(event, event + 11));
  const std::optional<Bytes> plain = host_->CollectComplemented("~event");
  ASSERT_TRUE(plain.has_value());
  EXPECT_EQ((*plain)[1], 0xFE);
  EXPECT_EQ(host_->Collect("~event"), std::nullopt) << "empty";
  msgQClose(q);
  msgQClose(ev);
}

class ConfiguredDomainTest : public HostTest {
 protected:
  void Configure(ScmSim::HostConfig& config) override {
    config.capacities = {{"event", 3}, {"~frame-send", 255}};
    config.omit = {"~status", "sem:~frame-send"};
  }
};

TEST_F(ConfiguredDomainTest, CapacitiesAndOmittedObjectsFollowTheConfiguration) {
  MSG_Q_INFO info{};
  MSG_Q_ID ev = OpenQueue(host_->FullName("event"));
  ASSERT_EQ(msgQInfoGet(ev, &info), OK);
  EXPECT_EQ(info.maxMsgs, 3);
  MSG_Q_ID fs = OpenQueue(host_->FullName("~frame-send"));
  ASSERT_EQ(msgQInfoGet(fs, &info), OK);
  EXPECT_EQ(info.maxMsgs, 255);
  EXPECT_EQ(OpenQueue(host_->FullName("~status")), nullptr);
  EXPECT_NE(OpenQueue(host_->FullName("status")), nullptr);
  EXPECT_EQ(OpenSem(host_->FullName("~frame-send")), nullptr);
  EXPECT_NE(OpenSem(host_->FullName("~frame-receive")), nullptr);
  EXPECT_NE(OpenQueue(host_->FullName("~frame-send")), nullptr) << "the queue of that name is there";
  EXPECT_NE(host_->Status().find("queues=13/14 semaphores=1/2"), std::string::npos);
}

TEST_F(HostDomainTest, SecondHostOnTheSameSocketFailsAndLeavesNothing) {
  ScmSim::HostConfig other = config_;
  other.simNamespace = ns_ + "b";
  other.storageDir = dir_ + "/other";
  ScmSim::HostSim second(other);
  EXPECT_THROW(second.Start(), std::runtime_error);
  const std::string ours = ns_;
  ns_ = other.simNamespace;
  EXPECT_EQ(ObjectsLeft(), 0) << "the objects the failed host made are gone again";
  ns_ = ours;
  setenv("SCM_SIM_NAMESPACE", ns_.c_str(), 1);
  setenv("SCM_SIM_HOST_SOCKET", config_.socketPath.c_str(), 1);
  u32 value = 0;
  EXPECT_EQ(ScmWaitForCondition(kSdn, 0, &value), 0) << "the first host still serves";
}

TEST(HostConfigTest, RefusesCapacitiesOutOfRangeAndUnknownNames) {
  for (const auto& [name, cap] : std::vector<std::pair<std::string, uint32_t>>{
           {"event", 256}, {"event", 0}, {"nonsense", 4}}) {
    ScmSim::HostConfig config;
    config.socketPath = "/tmp/unused.sock";
    config.storageDir = "/tmp/unused";
    config.capacities[name] = cap;
    ScmSim::HostSim host(config);
    EXPECT_THROW(host.Start(), std::runtime_error) << name << "=" << cap;
  }
}

// ---------------------------------------------------------------- conditions

TEST_F(HostDomainTest, ConditionsAreLatchedAndWakeWaitersInOtherProcesses) {
  auto waitFor = [](unsigned condition) {
    return [condition](Child& self) {
      u32 value = 0;
      if (ScmWaitForCondition(kSdn, condition, &value) != 0) return 1;
      self.Tell(value);
      return 0;
    };
  };
  Child first(waitFor(1));
  Child second(waitFor(1));
  ASSERT_TRUE(Eventually([&] { return host_->BlockedWaits() == 2; }));
  EXPECT_EQ(first.Hear(100), std::nullopt) << "condition 1 is not set yet";
  EXPECT_EQ(ScmSetCondition(kSdn, 1, 0xCAFE), 0);
  EXPECT_EQ(first.Hear(), 0xCAFEu);
  EXPECT_EQ(second.Hear(), 0xCAFEu) << "every waiter wakes";
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);

  Child late(waitFor(1));
  EXPECT_EQ(late.Hear(), 0xCAFEu) << "a wait on a set condition returns at once";
  EXPECT_EQ(late.Wait(), 0);
}

TEST_F(HostDomainTest, WaiterThatDiesDoesNotWedgeTheHost) {
  Child doomed([](Child&) {
    u32 value = 0;
    ScmWaitForCondition(kSdn, 2, &value);
    return 0;
  });
  ASSERT_TRUE(Eventually([&] { return host_->BlockedWaits() == 1; }));
  doomed.Kill();
  EXPECT_TRUE(Eventually([&] { return host_->BlockedWaits() == 0; })) << "the host notices the dead waiter";
  EXPECT_EQ(ScmSetCondition(kSdn, 2, 9), 0);
  u32 value = 0;
  EXPECT_EQ(ScmWaitForCondition(kSdn, 2, &value), 0);
  EXPECT_EQ(value, 9u);

  Child blocked([](Child&) {
    u32 v = 0;
    return ScmWaitForCondition(kSdn, 1, &v) == 0 ? 0 : 1;
  });
  ASSERT_TRUE(Eventually([&] { return host_->BlockedWaits() == 1; }));
  host_->Stop();
  EXPECT_EQ(blocked.Wait(), 1) << "a wait still blocked fails when the host stops";
}

// ---------------------------------------------------------------- resets

TEST_F(HostDomainTest, ResetWaitsForTheLockAndGoesAheadWhenTheHolderDies) {
  Child holder([](Child& self) {
    self.Tell(static_cast<uint32_t>(ScmLockReset(kSdn)));
    pause();
    return 0;
  });
  ASSERT_EQ(holder.Hear(), 0u);
  ScmSim::LockState lock = host_->ResetLock();
  EXPECT_TRUE(lock.locked);
  ASSERT_EQ(lock.holders.size(), 1u);
  EXPECT_EQ(lock.holders[0], holder.Pid());
  EXPECT_EQ(lock.lockCalls, 1u);

  EXPECT_EQ(ScmUnlockReset(kSdn), 0) << "unlock without lock is fine and frees nobody else's lock";
  EXPECT_TRUE(host_->ResetLock().locked);
  EXPECT_EQ(ScmReset(kSdn), 0);
  EXPECT_FALSE(host_->WaitResetsDone(1, std::chrono::milliseconds(100))) << "held off by the lock";
  EXPECT_EQ(host_->Resets().pending, 1u);

  holder.Kill();
  EXPECT_TRUE(host_->WaitResetsDone(1, std::chrono::milliseconds(kPatienceMs)));
  EXPECT_FALSE(host_->ResetLock().locked);
  EXPECT_EQ(host_->Resets().pending, 0u);
}

TEST_F(HostDomainTest, OwnLockAndUnlockAreCounted) {
  EXPECT_EQ(ScmLockReset(kSdn), 0);
  EXPECT_EQ(ScmLockReset(kSdn), 0);
  EXPECT_TRUE(host_->ResetLock().locked);
  EXPECT_EQ(ScmUnlockReset(kSdn), 0);
  const ScmSim::LockState s = host_->ResetLock();
  EXPECT_FALSE(s.locked);
  EXPECT_EQ(s.lockCalls, 2u);
  EXPECT_EQ(s.unlockCalls, 1u);
}

TEST_F(HostDomainTest, ResetRecreatesObjectsClearsConditionsAndRestartsPrograms) {
  const int id = host_->Programs().Start(SCM_HOST_TEST_PROGRAM, {"wait"});
  ASSERT_GT(id, 0);
  ASSERT_TRUE(host_->Programs().WaitOutput(id, "started", std::chrono::milliseconds(kPatienceMs)));
  const ScmSim::ProgramInfo before = *host_->Programs().Info(id);
  const std::string expectedEnv = "sdn=5 namespace=" + ns_ + " socket=" + config_.socketPath;
  EXPECT_NE(before.output.find(expectedEnv), std::string::npos) << before.output;

  MSG_Q_ID oldCommand = OpenQueue(host_->FullName("command"));
  ASSERT_TRUE(host_->Inject("command", Bytes{1, 2, 3}));
  MSG_Q_ID frames = OpenQueue(host_->FullName("~frame-send"));
  ASSERT_EQ(msgQDelete(frames), OK) << "deleted as the checker's fail-safe does";
  SEM_ID oldSem = OpenSem(host_->FullName("~frame-receive"));
  ASSERT_NE(oldSem, nullptr);
  ASSERT_EQ(ScmSetCondition(kSdn, 1, 11), 0);
  ASSERT_EQ(ScmSetCondition(kSdn, 2, 22), 0);
  const i32 writer = ScmOpenStorage(kSdn, "corvane.dat", 'w');
  ASSERT_GE(writer, 0);
  // what the controller keeps: flash area 16 and its variables
  const Bytes identity(18, 0x5A);
  ASSERT_TRUE(host_->SetFlash(identity));
  ASSERT_TRUE(host_->SetQorVariable(4, identity));

  host_->TriggerReset();
  ASSERT_TRUE(host_->WaitResetsDone(1, std::chrono::milliseconds(kPatienceMs)));

  char buf[64];
  EXPECT_EQ(msgQSend(oldCommand, buf, 1, NO_WAIT, MSG_PRI_NORMAL), ERROR) << "old handles are dead";
  EXPECT_NE(errno, SCM_ERRNO_UNAVAILABLE);
  MSG_Q_ID newCommand = OpenQueue(host_->FullName("command"));
  ASSERT_NE(newCommand, nullptr);
  EXPECT_EQ(msgQReceive(newCommand, buf, sizeof(buf), NO_WAIT), ERROR) << "re-created empty";
  EXPECT_EQ(errno, SCM_ERRNO_UNAVAILABLE);
  EXPECT_NE(OpenQueue(host_->FullName("~frame-send")), nullptr) << "the deleted queue is back";
  EXPECT_EQ(semGive(oldSem), ERROR);
  EXPECT_NE(OpenSem(host_->FullName("~frame-receive")), nullptr);
  EXPECT_EQ(host_->Condition(0), 1u);
  EXPECT_EQ(host_->Condition(1), std::nullopt);
  EXPECT_EQ(host_->Condition(2), std::nullopt);
  EXPECT_EQ(ScmCloseStorage(writer), -1) << "open handles went with the reset";
  EXPECT_EQ(host_->GetFile("corvane.dat"), std::nullopt);
  EXPECT_EQ(host_->Flash(), identity) << "flash area 16 survives the reset";
  EXPECT_EQ(host_->QorVariable(4), identity) << "so does Qor variable 4";

  ASSERT_TRUE(Eventually([&] {
    const auto info = host_->Programs().Info(id);
    return info->starts == 2 && info->output.find("started", info->output.find("started") + 1) != std::string::npos;
  }));
  const ScmSim::ProgramInfo after = *host_->Programs().Info(id);
  EXPECT_TRUE(after.running);
  EXPECT_NE(after.pid, before.pid);
  EXPECT_EQ(::kill(before.pid, 0), -1) << "the old process is gone";
  msgQClose(oldCommand);
  msgQClose(newCommand);
  msgQClose(frames);
  semClose(oldSem);
}

TEST_F(HostDomainTest, ResetCallsOnlyRecordedWhenSoConfigured) {
  host_->SetResetActs(false, false);
  EXPECT_EQ(ScmResetPlc(32), 0);
  EXPECT_EQ(ScmReset(kSdn), 0);
  EXPECT_FALSE(host_->WaitResetsDone(1, std::chrono::milliseconds(50)));
  const ScmSim::ResetState s = host_->Resets();
  EXPECT_EQ(s.plcRequests, 1u);
  EXPECT_EQ(s.domainRequests, 1u);
  EXPECT_EQ(s.pending, 0u);
  host_->SetResetActs(false, true);
  EXPECT_EQ(ScmResetPlc(32), 0);
  EXPECT_TRUE(host_->WaitResetsDone(1, std::chrono::milliseconds(kPatienceMs)));
  const auto log = host_->CallLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().number, 0x93u);
  EXPECT_EQ(log.back().values[0], 32u);
}

// ---------------------------------------------------------------- programs

TEST_F(HostDomainTest, SupervisorCapturesOutputAndExitStatusAndStops) {
  const int quick = host_->Programs().Start(SCM_HOST_TEST_PROGRAM, {"exit3"});
  ASSERT_GT(quick, 0);
  ASSERT_TRUE(host_->Programs().WaitExit(quick, std::chrono::milliseconds(kPatienceMs)));
  const ScmSim::ProgramInfo q = *host_->Programs().Info(quick);
  ASSERT_TRUE(q.exitStatus.has_value());
  EXPECT_TRUE(WIFEXITED(*q.exitStatus));
  EXPECT_EQ(WEXITSTATUS(*q.exitStatus), 3);
  EXPECT_NE(q.output.find("args=1"), std::string::npos);

  const int slow = host_->Programs().Start(SCM_HOST_TEST_PROGRAM, {});
  ASSERT_TRUE(host_->Programs().WaitOutput(slow, "started", std::chrono::milliseconds(kPatienceMs)));
  EXPECT_TRUE(host_->Programs().Stop(slow));
  const ScmSim::ProgramInfo s = *host_->Programs().Info(slow);
  EXPECT_FALSE(s.running);
  EXPECT_TRUE(WIFSIGNALED(*s.exitStatus));
  EXPECT_EQ(host_->Programs().Start("/nonexistent/program", {}), -1);
}

TEST_F(HostDomainTest, TaskBlockedInAConditionWaitLetsItsProcessRunOn) {
  const int id = host_->Programs().Start(SCM_HOST_TASK_PROGRAM, {});
  ASSERT_GT(id, 0);
  ASSERT_TRUE(host_->Programs().WaitExit(id, std::chrono::milliseconds(kPatienceMs)))
      << host_->Programs().Info(id)->output;
  const ScmSim::ProgramInfo p = *host_->Programs().Info(id);
  const size_t ran = p.output.find("initial ran while the waiter waits");
  const size_t woke = p.output.find("waiter woke 0 42");
  ASSERT_NE(ran, std::string::npos) << p.output;
  ASSERT_NE(woke, std::string::npos) << p.output;
  EXPECT_LT(ran, woke);
  EXPECT_EQ(WEXITSTATUS(*p.exitStatus), 0);
}

// ---------------------------------------------------------------- control over the socket

std::pair<int, std::string> Control(const std::string& socket, const std::vector<std::string>& argv) {
  return ScmSim::SendControl(socket, argv);
}

// With an operator installed (as scmdemo and scmhost do), download, unlock and
// unlock-response go through it: the answer is the operator's, taken once, and
// never read from under it by the control socket.
TEST_F(HostDomainTest, DownloadAndUnlockGoThroughTheInstalledOperator) {
  const std::string& s = config_.socketPath;
  ScmSim::HostOperator op(*host_);
  std::vector<std::string> served;
  host_->OnRemoteCommand([&op, &served](const std::vector<std::string>& argv) {
    served.push_back(argv[0]);
    return ScmSim::RunRemoteCommand(op, argv);
  });
  const ScmSim::Bytes plain = {0x40, 0x00, 0x00, 0x02, 0x11, 0x22};
  EXPECT_EQ(Control(s, {"download", "kel_para.saf", "400000021122", "0x5A5AA5C3"}), (std::pair<int, std::string>{0, ""}));
  EXPECT_EQ(host_->GetFile("kel_para.saf"), ScmSim::LockForDownload(plain, 0x5A5AA5C3u));
  EXPECT_EQ(host_->GetFile("kel_para.saf.swp"), ScmSim::Bytes(plain.begin(), plain.begin() + 4));
  EXPECT_EQ(Control(s, {"unlock", "7", "kel_para.saf", "0x5A5AA5C3"}), (std::pair<int, std::string>{0, ""}));
  const std::optional<ScmSim::Bytes> message = ScmSim::UnlockRequestMessage(7, "kel_para.saf", 0x5A5AA5C3u);
  ASSERT_TRUE(message.has_value());
  std::string request;
  for (const uint8_t b : *message) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", b);
    request += two;
  }
  EXPECT_EQ(Control(s, {"collect", "unlock-request"}).second, request + "\n");
  EXPECT_EQ(Control(s, {"unlock-response"}), (std::pair<int, std::string>{1, "nothing waiting\n"}));
  // The firmware's answer: identifier 7, result -1.
  ASSERT_EQ(Control(s, {"inject", "unlock-response", "07000000ffffffff"}).first, 0);
  EXPECT_EQ(Control(s, {"unlock-response"}), (std::pair<int, std::string>{0, "7 -1\n"}));
  EXPECT_EQ(Control(s, {"unlock-response"}), (std::pair<int, std::string>{1, "nothing waiting\n"}));
  EXPECT_EQ(Control(s, {"unlock", "8", "a-name-of-14-b", "1"}).first, 2);
  EXPECT_EQ(served, (std::vector<std::string>{"download", "unlock", "unlock-response", "unlock-response",
                                              "unlock-response", "unlock"}));
  host_->OnRemoteCommand({});
}

TEST_F(HostDomainTest, ControlCommandsOverTheSocket) {
  const std::string& s = config_.socketPath;
  struct Case {
    std::vector<std::string> argv;  ///< command
    int status;                     ///< expected status
    std::string text;               ///< expected text ("*" = anything)
  };
  const Case cases[] = {
      {{"cond", "1"}, 1, "unset\n"},
      {{"cond", "1", "0x10"}, 0, ""},
      {{"cond", "1"}, 0, "16\n"},
      {{"cond", "3"}, 2, "*"},
      {{"udid", "02-5C-3E-00-00-07"}, 0, ""},
      {{"udid"}, 0, "025c3e000007\n"},
      {{"udid", "0102"}, 2, "*"},
      {{"inject-complement", "~command", "00ff"}, 0, ""},
      {{"collect", "~command"}, 0, "ff00\n"},
      {{"collect", "~command"}, 1, "*"},
      {{"inject-complement", "command", "00"}, 1, "*"},
      {{"inject", "~event", "-"}, 0, ""},
      {{"collect-complement", "~event"}, 0, "-\n"},
      {{"put", "A.BIN", "0102"}, 0, ""},
      {{"get", "a.bin"}, 0, "0102\n"},
      {{"get", "../a.bin"}, 1, "*"},
      {{"flash", "absent"}, 0, ""},
      {{"flash"}, 0, "absent\n"},
      {{"flash", "0102030405060708090a0b0c0d0e0f101112"}, 0, ""},
      {{"flash", "0102030405060708090a0b0c0d0e0f10111213"}, 1, "*"},
      {{"qor-script", "raw", "c100", "5"}, 0, ""},
      {{"qor-var", "1"}, 0, "unset\n"},
      {{"qor-var", "4", "0001025c3e10203000"}, 0, ""},
      {{"qor-var", "4"}, 0, "0001025c3e10203000\n"},
      {{"qor-var", "4", "unset"}, 0, ""},
      {{"qor-var", "4"}, 0, "unset\n"},
      {{"qor-var", "8", "00"}, 1, "a variable is 0 to 7 and holds at most 198 bytes\n"},
      {{"failsafe", "255"}, 0, ""},
      {{"failsafe"}, 0, "255\n"},
      {{"product-code", "fail"}, 0, ""},
      {{"product-code"}, 0, "fail\n"},
      {{"counter", "100"}, 0, ""},
      {{"busy", "2"}, 0, ""},
      {{"fault", "0x86", "1", "4"}, 0, ""},
      {{"lock"}, 0, "locked=no holders= lock-calls=0 unlock-calls=0\n"},
      {{"resets"}, 0, "domain-requests=0 plc-requests=0 pending=0 done=0\n"},
      {{"shutdown"}, 1, "*"},
      {{"frobnicate"}, 2, "*"},
  };
  for (const Case& c : cases) {
    const auto [status, text] = Control(s, c.argv);
    EXPECT_EQ(status, c.status) << c.argv[0] << ": " << text;
    if (c.text != "*") {
      EXPECT_EQ(text, c.text) << c.argv[0];
    }
  }
  EXPECT_EQ(ScmGetCpuProductCode(), 0u);
  EXPECT_EQ(ScmOpenStorage(kSdn, "a.bin", 'r'), -1) << "busy";
  const auto [status, text] = Control(s, {"log"});
  EXPECT_EQ(status, 0);
  EXPECT_NE(text.find("ScmOpenStorage(5, \"a.bin\", 'r', &out) = -1 errno=0x10c00"), std::string::npos) << text;
  EXPECT_NE(Control(s, {"status"}).second.find("condition1=0x10"), std::string::npos);
}


// The views sample the programs' threads while programs come and go: one that ended
// between the directory listing and the read must give "unreadable", not end the run.
TEST(ProcFiles, AProgramThatEndedReadsAsUnreadableAndALiveOneWhole) {
  const std::optional<std::string> self = ScmSim::ReadProcFile("/proc/self/stat");
  ASSERT_TRUE(self.has_value());
  EXPECT_EQ(self->substr(0, self->find(' ')), std::to_string(getpid()));
  EXPECT_EQ(ScmSim::ReadProcFile("/proc/self/no-such-file"), std::nullopt);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  const std::string dir = "/proc/" + std::to_string(child);
  EXPECT_EQ(ScmSim::ReadProcFile(dir + "/stat"), std::nullopt);
  EXPECT_EQ(ScmSim::ReadProcFile(dir + "/task/" + std::to_string(child) + "/schedstat"), std::nullopt);
}

}  // namespace
}  // namespace hosttest
