// Qor variables on the fake host's Qor controller: what each send writes, the
// wait while the controller's fail-safe state is unknown, every failure with
// its event and the latch that stops later writes, and the recovery probe.
#include <gtest/gtest.h>

#include <functional>

#include "FwUnitSupport.h"
#include "HNFcyc.h"
#include "HNFiff_Crc.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "ScmProfile.h"
#include "ScmSystemCalls.h"

namespace FwTest {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kEvtWrite = 0x9200C092;

using QorVariables = FwFixture;

TEST_F(QorVariables, WhatEachSendWrites) {
  const u8 password[16] = {'p', 'w', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9};
  const u8 none[16] = {};
  const u16 list[10] = {5, 9, 700, 0, 0, 0, 0, 0, 0, 0};
  Bytes listValue = {5, 0, 9, 0, 0xBC, 0x02};
  listValue.resize(20, 0);
  const uint32_t crc = HNFiff_Crc32CalcSwp(0, 20, listValue.data());
  for (int i = 0; i < 4; ++i) {
    listValue.push_back(static_cast<u8>(crc >> (8 * i)));
  }
  struct Row {
    const char* what;
    std::function<i32()> send;
    int id;
    Bytes value;
  };
  std::vector<Row> rows = {
      {"password", [&] { return MFWQZ_SendPasswordToQor(password); }, 1, Bytes(password, password + 16)},
      {"no password: zeros", [&] { return MFWQZ_SendPasswordToQor(none); }, 1, Bytes(16, 0)},
      {"optional modules and their CRC", [&] { return MFWQZ_SendOptionalModulesToQor(list); }, 3, listValue},
      {"SCM version", [] { return MFWQZ_SendScmVersionToQor(0x0104); }, 5, Bytes{0x04, 0x01}},
  };
  if constexpr (!SCM_kLegacy) {
    // Variable 6 exists only with the current release's setup mode.
    rows.push_back({"setup mode on", [] { return SendSetupModeToQor(1); }, 6, Bytes{1, 0}});
    rows.push_back({"setup mode off", [] { return SendSetupModeToQor(0); }, 6, Bytes{0, 0}});
  }
  for (const auto& r : rows) {
    SetUp();
    EXPECT_EQ(r.send(), 0) << r.what;
    Bytes request = {static_cast<u8>(0x20 | r.id), static_cast<u8>(r.value.size())};
    request.insert(request.end(), r.value.begin(), r.value.end());
    EXPECT_EQ(host.qorRequests, std::vector<Bytes>{request}) << r.what;
    EXPECT_EQ(host.qorVariables[r.id], r.value) << r.what;
    EXPECT_EQ(host.qorChannelsOpen, 0) << r.what;
    EXPECT_EQ(MFWQZ_QorHasFailed(), 0) << r.what;
    EXPECT_TRUE(TakeEvents().empty()) << r.what;
    TearDown();
  }
}

TEST_F(QorVariables, FailSafeStateUnknownWaitsThenNormalWritesAndAnyOtherLatches) {
  const struct {
    const char* what;
    std::vector<uint8_t> states;
    i32 result;
    int stateCalls;
    size_t requests;
    std::vector<Event> events;
  } rows[] = {
      {"normal at once", {0}, 0, 1, 1, {}},
      {"unknown for a while", {255, 255, 255, 0}, 0, 4, 1, {}},
      {"fail-safe", {255, 4}, -1, 2, 0, {{3, 0x9200C093, 4, kSdn}}},
  };
  for (const auto& r : rows) {
    SetUp();
    host.qorStates = r.states;
    const int delays = ScmMemDelayCalls();
    EXPECT_EQ(MFWQZ_SendScmVersionToQor(0x104), r.result) << r.what;
    EXPECT_EQ(host.qorStateCalls, r.stateCalls) << r.what;
    EXPECT_EQ(ScmMemDelayCalls() - delays, r.stateCalls - 1) << r.what << ": one hundredth of a second each";
    EXPECT_EQ(host.qorRequests.size(), r.requests) << r.what;
    EXPECT_EQ(TakeEvents(), r.events) << r.what;
    EXPECT_EQ(MFWQZ_QorHasFailed(), r.result == 0 ? 0 : 1) << r.what;
    if (r.result != 0) {
      // Latched: later sends write nothing and raise nothing.
      host.qorStates = {0};
      EXPECT_EQ(MFWQZ_SendPasswordToQor(MFWQZ_gaucPassword), -1) << r.what;
      EXPECT_TRUE(host.qorRequests.empty()) << r.what;
      EXPECT_TRUE(TakeEvents().empty()) << r.what;
    }
    TearDown();
  }
}

TEST_F(QorVariables, EveryFailureRaisesItsEventAndLatches) {
  const struct {
    const char* what;
    std::function<void(FakeHost&)> fault;
    u16 info0;
    u32 info1;
    size_t requests;
  } rows[] = {
      {"read answer to a write", [](FakeHost& h) { h.qorReplies.push_back(Bytes{0x85, 0}); }, 7, 0x0085, 1},
      {"error reply", [](FakeHost& h) { h.qorReplies.push_back(Bytes{0xE5, 0}); }, 7, 0x00E5, 1},
      {"non-zero status", [](FakeHost& h) { h.qorReplies.push_back(Bytes{0xA5, 3}); }, 7, 0x03A5, 1},
      {"3 bytes", [](FakeHost& h) { h.qorReplies.push_back(Bytes{0xA5, 0, 7}); }, 8, 0x0700A5, 1},
      {"1 byte", [](FakeHost& h) { h.qorReplies.push_back(Bytes{0xA5}); }, 9, 1, 1},
      {"more than 3 bytes read as 3", [](FakeHost& h) { h.qorReplies.push_back(Bytes{0xA5, 0, 1, 2}); }, 8,
       0x0100A5, 1},
      {"no reply for 10 s",
       [](FakeHost& h) {
         h.qorReplies.push_back(std::nullopt);
         h.onCall = [&h](int n) {
           if (n == SCM_SC_RECEIVE_CHANNEL) h.counter += 1000000;
         };
       },
       13, 5, 1},
      {"open refused", [](FakeHost& h) { h.failing.insert(SCM_SC_OPEN_CHANNEL); }, 0, kSdn, 0},
      {"send refused", [](FakeHost& h) { h.failing.insert(SCM_SC_SEND_CHANNEL); }, 1, kSdn, 0},
      {"receive error", [](FakeHost& h) { h.failing.insert(SCM_SC_RECEIVE_CHANNEL); }, 7, kSdn, 1},
      {"close refused", [](FakeHost& h) { h.failing.insert(SCM_SC_CLOSE_CHANNEL); }, 3, kSdn, 1},
  };
  for (const auto& r : rows) {
    SetUp();
    r.fault(host);
    EXPECT_EQ(MFWQZ_SendScmVersionToQor(0x104), -1) << r.what;
    host.onCall = nullptr;
    EXPECT_EQ(host.qorRequests.size(), r.requests) << r.what;
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, kEvtWrite, r.info0, r.info1}})) << r.what;
    EXPECT_EQ(MFWQZ_QorHasFailed(), 1) << r.what;
    if (r.info0 != 3) {
      EXPECT_EQ(host.qorChannelsOpen, 0) << r.what << ": the channel is closed";
    }
    host.failing.clear();
    host.qorRequests.clear();
    EXPECT_EQ(MFWQZ_SendPasswordToQor(MFWQZ_gaucPassword), -1) << r.what;
    EXPECT_TRUE(host.qorRequests.empty()) << r.what << ": latched";
    EXPECT_TRUE(TakeEvents().empty()) << r.what;
    TearDown();
  }
}

TEST_F(QorVariables, BadArgumentsRaiseWithoutLatching) {
  EXPECT_EQ(WriteValueToQor(3, 4, nullptr), -1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, kEvtWrite, 4, 3}}));
  const u8 data[200] = {};
  EXPECT_EQ(WriteValueToQor(2, 199, data), -1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, kEvtWrite, 5, 2}}));
  EXPECT_EQ(MFWQZ_QorHasFailed(), 0);
  EXPECT_TRUE(host.qorRequests.empty());
  EXPECT_EQ(WriteValueToQor(2, 198, data), 0) << "198 bytes are the most";
}

TEST_F(QorVariables, TheProbeFindsTheControllerAgainAndTheBackgroundTaskResets) {
  const struct {
    const char* what;
    std::vector<uint8_t> states;
    std::function<void(FakeHost&)> fault;
    u8 recovered;
    size_t probes;
  } rows[] = {
      {"answered", {0}, [](FakeHost&) {}, 1, 1},
      {"still fail-safe", {4}, [](FakeHost&) {}, 0, 0},
      {"not answered", {0},
       [](FakeHost& h) {
         h.qorReplies.push_back(std::nullopt);
         h.onCall = [&h](int n) {
           if (n == SCM_SC_RECEIVE_CHANNEL) h.counter += 1000000;
         };
       },
       0, 1},
      {"open refused", {0}, [](FakeHost& h) { h.failing.insert(SCM_SC_OPEN_CHANNEL); }, 0, 0},
  };
  for (const auto& r : rows) {
    SetUp();
    EXPECT_EQ(MFWQZ_QorHasRecovered(), 0) << r.what << ": nothing failed";
    EXPECT_TRUE(host.calls.empty()) << r.what;
    MFWQZ_gbQorFailed = 1;
    host.qorStates = r.states;
    r.fault(host);
    const int locks = host.lockResets;
    EXPECT_EQ(MFWQZ_QorHasRecovered(), r.recovered) << r.what;
    host.onCall = nullptr;
    EXPECT_EQ(host.qorRequests, std::vector<Bytes>(r.probes, Bytes{SCM_kLegacy ? u8{0x04} : u8{0x01}})) << r.what;
    EXPECT_EQ(host.qorChannelsOpen, 0) << r.what;
    EXPECT_EQ(host.lockResets - locks, r.states[0] == 0 ? 1 : 0) << r.what;
    EXPECT_EQ(host.unlockResets, host.lockResets) << r.what;
    host.failing.clear();
    if (r.recovered == 0) {
      host.qorStates = {4};
    }
    EXPECT_EQ(HNFcyc_BackgroundPass(), r.recovered == 1 ? 0 : 1) << r.what;
    EXPECT_EQ(host.resetCalls, r.recovered == 1 ? 1 : 0) << r.what;
    TearDown();
  }
}

}  // namespace
}  // namespace FwTest
