// The older checker's Qor variable storage against the in-process host
// simulator's Qor controller: scripted answers, injected channel faults,
// fail-safe states and the microsecond counter moved instead of real 10-s
// waits. Each row checks the code with both information fields, the failed
// latch, the order of the host calls and that every opened channel is closed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CChannelQorVariableStorage.h"
#include "CException.h"
#include "CheckerTestDomain.h"
#include "ErrorCodes.h"
#include "ScmHostSim.h"

namespace {

using Main::CChannelQorVariableStorage;
using Util::CException;
using Util::ErrorCodes;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kOpen = 0x89;
constexpr uint32_t kClose = 0x8A;
constexpr uint32_t kReceive = 0x8B;
constexpr uint32_t kSend = 0x8C;
constexpr uint32_t kLock = 0x8D;
constexpr uint32_t kUnlock = 0x8E;
constexpr uint32_t kState = 0x92;
constexpr uint16_t kSdn = 7;

/// Eighteen identity bytes as the firmware stores them.
Bytes Identity() {
  Bytes b;
  for (uint8_t i = 0; i < 18; ++i) b.push_back(static_cast<uint8_t>(0xA0 + i));
  return b;
}

/// A read response of variable 4 with payload length n and the given payload bytes.
Bytes ReadResponse(uint8_t n, const Bytes& payload) {
  Bytes b(2 + payload.size(), 0);
  b[0] = 0x84;
  b[1] = n;
  std::copy(payload.begin(), payload.end(), b.begin() + 2);
  return b;
}

class QorVariableStorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    char pattern[] = "/tmp/scmqorvar.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    const std::string ns = "qorv" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    setenv("SCM_SIM_NAMESPACE", ns.c_str(), 1);
    ScmSim::HostConfig config;
    config.sdn = kSdn;
    config.socketPath = directory_ + "/host.sock";
    config.storageDir = directory_ + "/storage";
    config.simNamespace = ns;
    host_ = std::make_unique<ScmSim::HostSim>(config);
    host_->Start();
    setenv("SCM_SIM_HOST_SOCKET", config.socketPath.c_str(), 1);
    SetCheckerTestDomain(kSdn);
  }
  void TearDown() override {
    host_->Stop();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  /// The numbers of the Qor and lock calls in the host's log, repeated receives folded into one.
  std::vector<uint32_t> CallOrder() const {
    std::vector<uint32_t> order;
    for (const auto& r : host_->CallLog()) {
      if (r.number != kOpen && r.number != kClose && r.number != kReceive && r.number != kSend &&
          r.number != kLock && r.number != kUnlock && r.number != kState) {
        continue;
      }
      if (r.number == kReceive && !order.empty() && order.back() == kReceive) continue;
      order.push_back(r.number);
    }
    return order;
  }
  /// Every channel the host opened was closed.
  void ExpectChannelsClosed() const {
    int opened = 0;
    int closed = 0;
    for (const auto& r : host_->CallLog()) {
      opened += r.number == kOpen && r.result != -1;
      closed += r.number == kClose && r.result == 0;
    }
    EXPECT_EQ(opened, closed);
  }
  int Calls(uint32_t number) const {
    const auto log = host_->CallLog();
    return static_cast<int>(
        std::count_if(log.begin(), log.end(), [number](const ScmSim::CallRecord& r) { return r.number == number; }));
  }
  /// Moves the counter past the answer time-out once the storage has polled at least once.
  void MoveCounterOnceReceiving() {
    mover_ = std::thread([this] {
      while (Calls(kReceive) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      host_->AdvanceCounter(10000001);
    });
  }
  void JoinMover() {
    if (mover_.joinable()) mover_.join();
  }

  std::string directory_;
  std::unique_ptr<ScmSim::HostSim> host_;
  std::thread mover_;
};

struct ReadRow {
  const char* name;                       ///< what the controller does
  std::optional<ScmSim::QorReplyScript> reply;  ///< the scripted answer, none = the normal one
  uint32_t faultCall = 0;                 ///< host call failing once, 0 = none
  uint8_t state = 0;                      ///< controller fail-safe state
  bool moveCounter = false;               ///< no answer: the counter is moved past 10 s
  uint8_t maxLength = 18;                 ///< the caller's maximum
  uint16_t code = 0;                      ///< expected code, 0 = the read returns
  uint16_t info0 = 0;                     ///< expected information0
  uint32_t info1 = 0;                     ///< expected information1
  uint8_t length = 0;                     ///< expected payload length when it returns
  std::vector<uint32_t> order;            ///< expected call order
};

ScmSim::QorReplyScript Raw(Bytes bytes) {
  ScmSim::QorReplyScript s;
  s.kind = ScmSim::QorReplyScript::Kind::Raw;
  s.bytes = std::move(bytes);
  return s;
}

ScmSim::QorReplyScript NoReply() {
  ScmSim::QorReplyScript s;
  s.kind = ScmSim::QorReplyScript::Kind::None;
  return s;
}

TEST_F(QorVariableStorageTest, ReadRowsGiveTheCodeTheLatchAndTheCallOrder) {
  const std::vector<uint32_t> whole{kState, kOpen, kSend, kReceive, kClose};
  Bytes nineteen = Identity();
  nineteen.push_back(0xEE);
  const ReadRow rows[] = {
      {"a good answer", Raw(ReadResponse(18, Identity())), 0, 0, false, 18, 0, 0, 0, 18, whole},
      {"a fail-safe controller", std::nullopt, 0, 2, false, 18, ErrorCodes::ms_QorFailSafe, 0, 2, 0, {kState}},
      {"channel not opened", std::nullopt, kOpen, 0, false, 18, ErrorCodes::ms_QorChannelOpenFailed, 0, 0, 0,
       {kState, kOpen, kClose}},
      {"receive failed", std::nullopt, kReceive, 0, false, 18, ErrorCodes::ms_QorChannelReceiveFailed, 0, 0, 0,
       whole},
      {"request not sent", std::nullopt, kSend, 0, false, 18, ErrorCodes::ms_QorChannelSendFailed, 0, 0, 0,
       {kState, kOpen, kSend, kClose}},
      {"channel not closed", Raw(ReadResponse(18, Identity())), kClose, 0, false, 18,
       ErrorCodes::ms_QorChannelCloseFailed, 0, 0, 0, {kState, kOpen, kSend, kReceive, kClose, kClose}},
      {"no answer within 10 s", NoReply(), 0, 0, true, 18, ErrorCodes::ms_QorMessageTooShort, 0, 0, 0, whole},
      {"an error answer", Raw({0xC4, 0}), 0, 0, false, 18, ErrorCodes::ms_QorNoReadResponse, 2, 0xC4, 0, whole},
      {"a write acknowledgement", Raw({0xA4, 0}), 0, 0, false, 18, ErrorCodes::ms_QorNoReadResponse, 2, 0xA4, 0,
       whole},
      {"a payload over the maximum", Raw(ReadResponse(19, nineteen)), 0, 0, false, 18,
       ErrorCodes::ms_QorPayloadTooLong, 0, 19, 0, whole},
      {"an answer shorter than its payload", Raw(ReadResponse(18, Bytes(5, 0x11))), 0, 0, false, 18,
       ErrorCodes::ms_QorMessageTooShort, 0, 7, 0, whole},
      {"a variable never written", std::nullopt, 0, 0, false, 18, 0, 0, 0, 0, whole},
  };
  for (const ReadRow& row : rows) {
    SCOPED_TRACE(row.name);
    host_->ClearCallLog();
    host_->SetQorFailSafeState(row.state);
    if (row.reply) host_->ScriptQorReply(*row.reply);
    if (row.faultCall != 0) host_->InjectFault(row.faultCall, 1);
    if (row.moveCounter) MoveCounterOnceReceiving();
    CChannelQorVariableStorage storage;
    uint8_t destination[32];
    std::fill(std::begin(destination), std::end(destination), 0x5A);
    std::optional<CException> error;
    uint8_t length = 0xFF;
    try {
      length = storage.Read(4, row.maxLength, destination);
    } catch (const CException& e) {
      error = e;
    }
    JoinMover();
    if (row.code == 0) {
      ASSERT_FALSE(error.has_value()) << std::hex << error->GetCode();
      EXPECT_EQ(length, row.length);
      EXPECT_FALSE(storage.HasFailed());
      if (row.length == 18) {
        EXPECT_EQ(Bytes(destination, destination + 18), Identity());
      }
      EXPECT_EQ(destination[row.length], 0x5A);
    } else {
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->GetCode(), row.code);
      EXPECT_EQ(error->GetInformation0(), row.info0);
      EXPECT_EQ(error->GetInformation1(), row.info1);
      EXPECT_TRUE(storage.HasFailed());
    }
    EXPECT_EQ(CallOrder(), row.order);
    ExpectChannelsClosed();
    host_->InjectFault(row.faultCall, 0);
  }
}

TEST_F(QorVariableStorageTest, AnUnknownStateIsPolledUntilKnownWithoutLimit) {
  host_->SetQorFailSafeState(0xFF);
  host_->ScriptQorReply(Raw(ReadResponse(18, Identity())));
  CChannelQorVariableStorage storage;
  uint8_t destination[18] = {};
  std::atomic<bool> done{false};
  std::thread reader([&] {
    EXPECT_EQ(storage.Read(4, 18, destination), 18);
    done = true;
  });
  // Far more than 10 s on the counter: the wait for a known state has no limit.
  while (Calls(kState) < 3) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  host_->AdvanceCounter(60000000);
  while (Calls(kState) < 5) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_FALSE(done.load());
  EXPECT_EQ(Calls(kOpen), 0);
  host_->SetQorFailSafeState(0);
  reader.join();
  EXPECT_TRUE(done.load());
  EXPECT_FALSE(storage.HasFailed());
}

TEST_F(QorVariableStorageTest, HasRecoveredProbesOnlyAfterAFailureAndLatches) {
  CChannelQorVariableStorage storage;
  EXPECT_FALSE(storage.HasRecovered());
  EXPECT_TRUE(host_->CallLog().empty()) << "no probe before any failure";

  host_->SetQorFailSafeState(3);
  uint8_t destination[18] = {};
  EXPECT_THROW(storage.Read(4, 18, destination), CException);
  ASSERT_TRUE(storage.HasFailed());

  // The controller still fail-safe: only the state is asked, the channel is not probed.
  host_->ClearCallLog();
  EXPECT_FALSE(storage.HasRecovered());
  EXPECT_EQ(CallOrder(), (std::vector<uint32_t>{kState}));

  // The state good but the channel failing: one lock/unlock pair around a failed exchange.
  host_->SetQorFailSafeState(0);
  host_->ClearCallLog();
  host_->InjectFault(kSend, 1);
  EXPECT_FALSE(storage.HasRecovered());
  EXPECT_EQ(CallOrder(), (std::vector<uint32_t>{kState, kLock, kOpen, kSend, kClose, kUnlock}));
  ExpectChannelsClosed();

  // Both good: one exchange without waiting for the answer, latched from then on.
  host_->ClearCallLog();
  EXPECT_TRUE(storage.HasRecovered());
  EXPECT_EQ(CallOrder(), (std::vector<uint32_t>{kState, kLock, kOpen, kSend, kReceive, kClose, kUnlock}));
  EXPECT_EQ(Calls(kReceive), 1);
  ExpectChannelsClosed();
  host_->ClearCallLog();
  host_->SetQorFailSafeState(5);
  EXPECT_TRUE(storage.HasRecovered());
  EXPECT_TRUE(CallOrder().empty());
  EXPECT_TRUE(storage.HasFailed());
}

TEST_F(QorVariableStorageTest, ANullDestinationIsAnInternalErrorWithoutAHostCall) {
  CChannelQorVariableStorage storage;
  try {
    storage.Read(4, 18, nullptr);
    FAIL() << "no exception";
  } catch (const CException& e) {
    EXPECT_EQ(e.GetCode(), ErrorCodes::ms_InternalError);
  }
  EXPECT_TRUE(CallOrder().empty());
}

}  // namespace
