// The older release's key-medium copy, Qor variable 4: what its read accepts,
// every reply it refuses with its event and the latch that stops every later
// exchange, and what its write sends.
#include <gtest/gtest.h>

#include <functional>

#include "FwUnitSupport.h"
#include "HNFcyc.h"
#include "HNFiff_Crc.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_KeyMedium.h"
#include "MFWQZ_KeyMediumQorVariable.h"
#include "ScmSystemCalls.h"

namespace FwTest {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kEvtQor = 0x9200C092;
constexpr uint32_t kEvtFailSafe = 0x9200C093;

/// 18 bytes of an identity, 0x40 + i.
Bytes Identity() {
  Bytes id;
  for (uint8_t i = 0; i < 18; ++i) id.push_back(static_cast<uint8_t>(0x40 + i));
  return id;
}

/// The reply {first, length byte, data}.
Bytes Reply(uint8_t first, uint8_t length, const Bytes& data) {
  Bytes r(data.size() + 2, 0);
  r[0] = first;
  r[1] = length;
  for (size_t i = 0; i < data.size(); ++i) r[i + 2] = data[i];
  return r;
}

using KeyMediumQorVariable = FwFixture;

TEST_F(KeyMediumQorVariable, AValidReplyIsTheIdentityAndTheRequestIsTheOneByteId) {
  host.qorReplies.push_back(Reply(0x84, 18, Identity()));
  u8 id[18] = {};
  EXPECT_EQ(MFWQZ_LoadCorvaneIdFromQor(id), 0);
  EXPECT_EQ(Bytes(id, id + 18), Identity());
  EXPECT_EQ(host.qorRequests, std::vector<Bytes>{Bytes{0x04}});
  EXPECT_EQ(host.qorChannelsOpen, 0);
  EXPECT_EQ(MFWQZ_QorHasFailed(), 0);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(KeyMediumQorVariable, EveryRefusedReplyRaisesItsEventAndLatches) {
  const Bytes idBytes = Identity();
  Bytes shortId = idBytes;
  shortId.pop_back();
  const struct {
    const char* what;
    std::function<void(FakeHost&)> fault;
    Event event;
  } rows[] = {
      {"3 bytes", [](FakeHost& h) { h.qorReplies.push_back(Bytes{0x84, 1, 7}); }, {3, kEvtQor, 11, 0x070184}},
      {"1 byte", [](FakeHost& h) { h.qorReplies.push_back(Bytes{0x84}); }, {3, kEvtQor, 12, 1}},
      {"2 bytes (a write's answer)", [](FakeHost& h) { h.qorReplies.push_back(Bytes{0x84, 0}); }, {3, kEvtQor, 12, 2}},
      {"19 bytes", [&](FakeHost& h) { h.qorReplies.push_back(Reply(0x84, 17, shortId)); }, {3, kEvtQor, 12, 19}},
      {"21 bytes", [&](FakeHost& h) { h.qorReplies.push_back(Reply(0x84, 19, Reply(0, 0, shortId))); },
       {3, kEvtQor, 12, 21}},
      {"wrong first byte (the id without the read bit)",
       [&](FakeHost& h) { h.qorReplies.push_back(Reply(0x04, 18, idBytes)); }, {3, kEvtQor, 10, 18 * 256 + 0x04}},
      {"wrong first byte (another id)", [&](FakeHost& h) { h.qorReplies.push_back(Reply(0x85, 18, idBytes)); },
       {3, kEvtQor, 10, 18 * 256 + 0x85}},
      {"wrong length byte", [&](FakeHost& h) { h.qorReplies.push_back(Reply(0x84, 16, idBytes)); },
       {3, kEvtQor, 10, 16 * 256 + 0x84}},
      {"no reply for 10 s",
       [](FakeHost& h) {
         h.qorReplies.push_back(std::nullopt);
         h.onCall = [&h](int n) {
           if (n == SCM_SC_RECEIVE_CHANNEL) h.counter += 1000000;
         };
       },
       {3, kEvtQor, 13, 4}},
      {"fail-safe state 4", [](FakeHost& h) { h.qorStates = {255, 4}; }, {3, kEvtFailSafe, 4, kSdn}},
      {"fail-safe state 1", [](FakeHost& h) { h.qorStates = {1}; }, {3, kEvtFailSafe, 1, kSdn}},
      {"receive error", [](FakeHost& h) { h.failing.insert(SCM_SC_RECEIVE_CHANNEL); }, {3, kEvtQor, 7, kSdn}},
  };
  for (const auto& r : rows) {
    SetUp();
    r.fault(host);
    u8 id[18] = {};
    EXPECT_EQ(MFWQZ_LoadCorvaneIdFromQor(id), -1) << r.what;
    host.onCall = nullptr;
    EXPECT_EQ(TakeEvents(), std::vector<Event>{r.event}) << r.what;
    EXPECT_EQ(MFWQZ_QorHasFailed(), 1) << r.what;
    EXPECT_EQ(host.qorChannelsOpen, 0) << r.what << ": the channel is closed";
    EXPECT_EQ(MFWQZ_ReadKeyMediumCopy(id), 0) << r.what;
    // Latched: neither a read nor a write of variable 4 is tried again, and nothing more is raised.
    host.failing.clear();
    host.qorStates = {0};
    host.qorRequests.clear();
    const Bytes value = Identity();
    EXPECT_EQ(MFWQZ_LoadCorvaneIdFromQor(id), -1) << r.what;
    EXPECT_EQ(MFWQZ_SaveCorvaneIdToQor(value.data()), -1) << r.what;
    EXPECT_TRUE(host.qorRequests.empty()) << r.what << ": latched";
    EXPECT_TRUE(TakeEvents().empty()) << r.what;
    TearDown();
  }
}

TEST_F(KeyMediumQorVariable, TheWriteSendsVariableFourAndTheReadGivesItBack) {
  const Bytes value = Identity();
  EXPECT_EQ(MFWQZ_SaveCorvaneIdToQor(value.data()), 0);
  EXPECT_EQ(host.qorRequests, std::vector<Bytes>{Reply(0x24, 18, value)});
  EXPECT_EQ(host.qorVariables[4], value);
  u8 id[18] = {};
  EXPECT_EQ(MFWQZ_ReadKeyMediumCopy(id), 1);
  EXPECT_EQ(Bytes(id, id + 18), value);
  EXPECT_EQ(MFWQZ_WriteKeyMediumCopy(value.data()), 1);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(KeyMediumQorVariable, ARefusedWriteRaisesTheWriteEventAndLatches) {
  host.qorReplies.push_back(Bytes{0xA4, 3});
  const Bytes value = Identity();
  EXPECT_EQ(MFWQZ_WriteKeyMediumCopy(value.data()), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, kEvtQor, 7, 0x03A4}}));
  EXPECT_EQ(MFWQZ_QorHasFailed(), 1);
}

}  // namespace
}  // namespace FwTest

namespace FwTest {
namespace {

TEST_F(KeyMediumQorVariable, VariableThreeListsConfiguredModulesNeitherMissingNorAnswered) {
  // SADR 3 answered, 4 registered missing, 6 not configured, 1 the Qor controller: not listed.
  const struct {
    u16 sadr;
    u32 flags;
  } modules[] = {{1, 0x1}, {3, 0x5}, {4, 0x801}, {5, 0x1}, {6, 0x0}, {7, 0x3}, {9, 0x10001}};
  for (const auto& m : modules) MFWQZ_ModuleInfo[m.sadr].ulFlags = m.flags;
  for (u16 sadr = 100; sadr < 110; ++sadr) MFWQZ_ModuleInfo[sadr].ulFlags = 0x1;
  u16 list[10] = {};
  MFWQZ_BuildMissingOptionalList(list);
  EXPECT_EQ(std::vector<u16>(list, list + 10), (std::vector<u16>{5, 7, 9, 100, 101, 102, 103, 104, 105, 106}))
      << "the first ten";
  // The trigger of the background pass sends it as variable 3.
  for (u16 sadr = 100; sadr < 110; ++sadr) MFWQZ_ModuleInfo[sadr].ulFlags = 0;
  HNFcyc_TriggerSendOptionalModulesToQorInBgTask = 1;
  HNFcyc_BgTask();
  EXPECT_EQ(HNFcyc_TriggerSendOptionalModulesToQorInBgTask, 0u);
  ASSERT_EQ(host.qorVariables.count(3), 1u);
  Bytes value = {5, 0, 7, 0, 9, 0};
  value.resize(20, 0);
  const uint32_t crc = HNFiff_Crc32CalcSwp(0, 20, value.data());
  for (int i = 0; i < 4; ++i) value.push_back(static_cast<u8>(crc >> (8 * i)));
  EXPECT_EQ(host.qorVariables[3], value);
}

}  // namespace
}  // namespace FwTest
